// The 3D sprite kind: registration, payload defaults, creators and accessors.
#include "scene/sprite3d.h"

#include <cmath>
#include <cstring>

#include "math/mat4.h"
#include "math/vec.h"
#include "render/view.h"
#include "resource/res_pools.h"
#include "scene/node_settings.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu;
constexpr uint8_t DEFAULT_BLEND = 1;      // source alpha over the target
constexpr uint8_t DEFAULT_DEPTH_FUNC = 3; // less or equal
constexpr uint32_t PARAM_BYTES = SPRITE3D_SHADER_PARAM_BYTES;

Sprite3DKindState s_state;

// Texture and UV rectangle (u0, v0, u1, v1) of a crop; an unknown crop gives no texture and the
// whole rectangle.
ResourceHandle crop_rect(ResourceHandle crop, float r[4]) {
    const CropRecord *c = res_get_crop(crop);
    if (!c) {
        r[0] = r[1] = 0.0f;
        r[2] = r[3] = 1.0f;
        return 0;
    }
    r[0] = c->u0;
    r[1] = c->v0;
    r[2] = c->u0 + c->u_size;
    r[3] = c->v0 + c->v_size;
    return c->texture;
}

void set_pair(float p[2], float u, float v) {
    p[0] = u;
    p[1] = v;
}

// Beam pairs run start-left, end-left, start-right, end-right.
void beam_pairs(float pairs[4][2], const float r[4]) {
    set_pair(pairs[0], r[0], r[1]);
    set_pair(pairs[1], r[2], r[1]);
    set_pair(pairs[2], r[0], r[3]);
    set_pair(pairs[3], r[2], r[3]);
}

// Quad pairs follow corners 0-3: top-left, bottom-left, top-right, bottom-right.
void quad_pairs(float pairs[4][2], const float r[4]) {
    set_pair(pairs[0], r[0], r[1]);
    set_pair(pairs[1], r[0], r[3]);
    set_pair(pairs[2], r[2], r[1]);
    set_pair(pairs[3], r[2], r[3]);
}

void set_uv_set(Sprite3D *s, const float r[4], bool second) {
    switch (s->head.sub_kind) {
        case SPRITE3D_BILLBOARD:
            std::memcpy(second ? s->billboard.uv2 : s->billboard.uv, r, 4 * sizeof(float));
            break;
        case SPRITE3D_BEAM:
            beam_pairs(second ? s->beam.uv2 : s->beam.uv, r);
            break;
        default:
            quad_pairs(second ? s->quad.uv2 : s->quad.uv, r);
            break;
    }
}

Sprite3D *set_crop(Sprite3D *s, ResourceHandle crop, bool second) {
    if (!s) return nullptr;
    float r[4];
    const ResourceHandle texture = crop_rect(crop, r);
    (second ? s->head.texture2 : s->head.texture) = texture;
    set_uv_set(s, r, second);
    return s;
}

float clamp01(float v) {
    return !(v > 0.0f) ? 0.0f : v > 1.0f ? 1.0f : v;
}

bool corner_ok(int32_t i) {
    return i >= 0 && i < 4;
}

Sprite3D *billboard(SceneObject *o) {
    return sprite3d_payload(o, SPRITE3D_BILLBOARD);
}
Sprite3D *beam(SceneObject *o) {
    return sprite3d_payload(o, SPRITE3D_BEAM);
}
Sprite3D *quad(SceneObject *o) {
    return sprite3d_payload(o, SPRITE3D_QUAD);
}
Sprite3D *quad_at(SceneObject *o, int32_t i) {
    return corner_ok(i) ? quad(o) : nullptr;
}

SceneObject *create(OwnerId owner) {
    if (s_state.kind_id == 0) return nullptr;
    SceneObject *o = obj_create(owner);
    if (o) obj_set_kind(o, s_state.kind_id);
    return o;
}

void screen_uv(Sprite3D *s, float ox, float oy, float scale, uint32_t flip_u, uint32_t flip_v,
               float out[4]) {
    const Sprite3DBillboard &b = s->billboard;
    Mat4 vp, cam;
    sprite3d_camera_matrices(&vp, &cam);
    const Vec3 a = {-(b.width * b.pivot_x) * b.scale_x, (1.0f - b.pivot_y) * b.height * b.scale_y,
                    b.depth_offset};
    const Vec3 c = {(1.0f - b.pivot_x) * b.width * b.scale_x, -(b.height * b.pivot_y) * b.scale_y,
                    b.depth_offset};
    Vec3 pa, pb;
    mat4_rotate_vector(&pa, &cam, &a);
    mat4_rotate_vector(&pb, &cam, &c);
    vec3_add(&pa, &pa, &b.position);
    vec3_add(&pb, &pb, &b.position);
    mat4_project_point(&pa, &vp, &pa);
    mat4_project_point(&pb, &vp, &pb);
    const float hx = (pb.x - pa.x) * scale * 0.5f, hy = (pb.y - pa.y) * scale * 0.5f;
    const float cx = (pa.x + pb.x) * 0.5f + ox, cy = (pa.y + pb.y) * 0.5f + oy;
    out[0] = (cx + (flip_u ? hx : -hx)) * 0.5f + 0.5f;
    out[1] = (cy + (flip_v ? hy : -hy)) * -0.5f + 0.5f;
    out[2] = (cx + (flip_u ? -hx : hx)) * 0.5f + 0.5f;
    out[3] = (cy + (flip_v ? -hy : hy)) * -0.5f + 0.5f;
}

void beam_screen_uv(Sprite3D *s, float ox, float oy, float scale, float out[4][2]) {
    Mat4 vp, cam;
    sprite3d_camera_matrices(&vp, &cam);
    Vec3 corners[4];
    sprite3d_beam_corners(&s->beam, &vp, &cam, corners);
    for (int k = 0; k < 4; ++k) {
        Vec3 p;
        mat4_project_point(&p, &vp, &corners[k]);
        set_pair(out[k], p.x * 0.5f + 0.5f + ox, -p.y * 0.5f + 0.5f + oy);
    }
    if (scale == 1.0f) return;
    float c[2];
    for (int a = 0; a < 2; ++a)
        c[a] = ((out[0][a] + out[3][a]) * 0.5f + (out[1][a] + out[2][a]) * 0.5f) * 0.5f;
    for (int k = 0; k < 4; ++k)
        for (int a = 0; a < 2; ++a) out[k][a] = c[a] + (out[k][a] - c[a]) * scale;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Kind

void sprite3d_register_kind(void) {
    s_state = Sprite3DKindState{};
    s_state.kind_id =
        obj_register_kind(sprite3d_draw, sprite3d_init, nullptr, nullptr, SPRITE3D_PAYLOAD_BYTES);
}

void sprite3d_shutdown(void) {}

int32_t sprite3d_kind_id(void) {
    return s_state.kind_id;
}

void sprite3d_reset_stats(void) {
    s_state.sprites = 0;
    s_state.batches = 0;
}

uint32_t sprite3d_stat_sprites(void) {
    return s_state.sprites;
}

uint32_t sprite3d_stat_batches(void) {
    return s_state.batches;
}

Sprite3DKindState *sprite3d_kind_state(void) {
    return &s_state;
}

Sprite3D *sprite3d_payload(SceneObject *o, uint8_t sub_kind) {
    if (!o || s_state.kind_id == 0 || o->kind != s_state.kind_id) return nullptr;
    Sprite3D *s = obj_payload<Sprite3D>(o);
    return s->head.sub_kind == sub_kind ? s : nullptr;
}

void sprite3d_init(SceneObject *o) {
    if (!o) return;
    Sprite3D *s = obj_payload<Sprite3D>(o);
    std::memset(s, 0, sizeof(*s));
    s->head.sub_kind = SPRITE3D_BILLBOARD;
    s->head.blend = DEFAULT_BLEND;
    s->head.depth_func = DEFAULT_DEPTH_FUNC;
    s->head.value_a = 1.0f;
    Sprite3DBillboard &b = s->billboard;
    b.width = b.height = 1.0f;
    b.uv[2] = b.uv[3] = 1.0f;
    b.pivot_x = b.pivot_y = 0.5f;
    b.scale_x = b.scale_y = 1.0f;
    b.colour = WHITE;
    obj_set_layer(o, SPRITE3D_LAYER);
}

void sprite3d_beam_init(SceneObject *o) {
    Sprite3D *s = billboard(o);
    if (!s) return;
    std::memset(&s->beam, 0, sizeof(s->beam));
    s->head.sub_kind = SPRITE3D_BEAM;
    s->head.texture = s->head.texture2 = 0;
    Sprite3DBeam &b = s->beam;
    b.end = {1.0f, 1.0f, 0.0f};
    b.width = 1.0f;
    const float full[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    beam_pairs(b.uv, full);
    beam_pairs(b.uv2, full);
    b.start_colour = b.end_colour = WHITE;
}

void sprite3d_quad_init(SceneObject *o) {
    Sprite3D *s = billboard(o);
    if (!s) return;
    std::memset(&s->quad, 0, sizeof(s->quad));
    s->head.sub_kind = SPRITE3D_QUAD;
    s->head.texture = s->head.texture2 = 0;
    Sprite3DQuad &q = s->quad;
    // The corners a billboard's defaults leave in these bytes.
    q.corners[1] = q.corners[3] = {1.0f, 1.0f, 0.0f};
    const float full[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    quad_pairs(q.uv, full);
    quad_pairs(q.uv2, full);
    for (uint32_t &c : q.colours) c = WHITE;
    q.place_scale = {1.0f, 1.0f, 1.0f};
}

void sprite3d_camera_matrices(Mat4 *view_proj, Mat4 *camera) {
    const bool mirror = scenedraw_get_camera_select() == 1;
    *view_proj = mirror ? *view_get_cur_mirror_view_proj() : *view_get_cur_view_proj();
    *camera = mirror ? *view_get_cur_mirror_camera_matrix() : *view_get_cur_camera_matrix();
}

void sprite3d_beam_corners(const Sprite3DBeam *b, const Mat4 *view_proj, const Mat4 *camera,
                           Vec3 out[4]) {
    Vec3 ps, pe;
    mat4_project_point(&ps, view_proj, &b->start);
    mat4_project_point(&pe, view_proj, &b->end);
    float dx = pe.x - ps.x, dy = pe.y - ps.y;
    const float len_sq = dx * dx + dy * dy;
    // Ends on one screen point, or not finite: the strip lies along the screen's x axis.
    if (!(len_sq > 1e-8f) || !std::isfinite(len_sq)) {
        dx = 1.0f;
        dy = 0.0f;
    } else {
        const float len = std::sqrt(len_sq);
        dx /= len;
        dy /= len;
    }
    const float ax = dx * b->cap * 0.25f, ay = dy * b->cap * 0.25f;
    const float bx = -dy * b->width * 0.25f, by = dx * b->width * 0.25f;
    const float off[4][2] = {
        {-ax + bx, -ay + by}, {ax + bx, ay + by}, {-ax - bx, -ay - by}, {ax - bx, ay - by}};
    const Vec3 *right = reinterpret_cast<const Vec3 *>(camera->m[0]);
    const Vec3 *up = reinterpret_cast<const Vec3 *>(camera->m[1]);
    for (int k = 0; k < 4; ++k) {
        out[k] = (k & 1) ? b->end : b->start;
        vec3_add_scaled(&out[k], &out[k], right, off[k][0]);
        vec3_add_scaled(&out[k], &out[k], up, off[k][1]);
    }
}

void sprite3d_quad_placement_matrix(const Sprite3DQuad *q, Mat4 *out) {
    mat4_from_position_euler(out, &q->place_position, &q->place_angles);
    const Vec3 &sc = q->place_scale;
    if (sc.x != 1.0f || sc.y != 1.0f || sc.z != 1.0f) mat4_scale_rows(out, out, &sc);
}

// ---------------------------------------------------------------------------------------------
// Creators

void sprite3d_show(SceneObject *o) {
    if (o) o->flags |= OBJ_FLAG_VISIBLE;
}

SceneObject *sprite3d_create(OwnerId owner, const Vec3 *position, float rotation, float size,
                             ResourceHandle crop, uint32_t colour, uint8_t blend) {
    SceneObject *o = create(owner);
    Sprite3D *s = billboard(o);
    if (!s) return nullptr;
    if (position) s->billboard.position = *position;
    s->billboard.rotation = rotation;
    s->billboard.width = s->billboard.height = size;
    set_crop(s, crop, false);
    s->billboard.colour = colour;
    s->head.blend = blend;
    sprite3d_show(o);
    return o;
}

SceneObject *sprite3d_create_once(OwnerId owner, const Vec3 *position, float rotation, float size,
                                  ResourceHandle crop, uint32_t colour, uint8_t blend,
                                  float depth_offset) {
    SceneObject *o = sprite3d_create(owner, position, rotation, size, crop, colour, blend);
    sprite3d_set_depth_offset(o, depth_offset);
    if (o) obj_kill(o);
    return o;
}

SceneObject *sprite3d_beam_create(OwnerId owner, const Vec3 *start, const Vec3 *end, float width,
                                  uint32_t start_colour, uint32_t end_colour, ResourceHandle crop,
                                  uint8_t blend) {
    SceneObject *o = create(owner);
    sprite3d_beam_init(o);
    Sprite3D *s = beam(o);
    if (!s) return nullptr;
    if (start) s->beam.start = *start;
    if (end) s->beam.end = *end;
    s->beam.width = s->beam.cap = width;
    s->beam.start_colour = start_colour;
    s->beam.end_colour = end_colour;
    set_crop(s, crop, false);
    s->head.blend = blend;
    sprite3d_show(o);
    return o;
}

SceneObject *sprite3d_beam_create_once(OwnerId owner, const Vec3 *start, const Vec3 *end,
                                       float width, uint32_t start_colour, uint32_t end_colour,
                                       ResourceHandle crop, uint8_t blend) {
    SceneObject *o =
        sprite3d_beam_create(owner, start, end, width, start_colour, end_colour, crop, blend);
    if (o) obj_kill(o);
    return o;
}

SceneObject *sprite3d_quad_create_empty(OwnerId owner, ResourceHandle crop, uint8_t blend) {
    SceneObject *o = create(owner);
    sprite3d_quad_init(o);
    Sprite3D *s = quad(o);
    if (!s) return nullptr;
    set_crop(s, crop, false);
    s->head.blend = blend;
    sprite3d_show(o);
    return o;
}

SceneObject *sprite3d_quad_create(OwnerId owner, const Vec3 *c0, const Vec3 *c1, const Vec3 *c2,
                                  const Vec3 *c3, uint32_t colour0, uint32_t colour1,
                                  uint32_t colour2, uint32_t colour3, ResourceHandle crop,
                                  uint8_t blend) {
    SceneObject *o = sprite3d_quad_create_empty(owner, crop, blend);
    Sprite3D *s = quad(o);
    if (!s) return nullptr;
    const Vec3 *given[4] = {c0, c1, c2, c3};
    const uint32_t colours[4] = {colour0, colour1, colour2, colour3};
    for (int k = 0; k < 4; ++k) {
        if (given[k]) s->quad.corners[k] = *given[k];
        s->quad.colours[k] = colours[k];
    }
    return o;
}

SceneObject *sprite3d_quad_create_from_array(OwnerId owner, const Vec3 *corners,
                                             ResourceHandle crop, uint8_t blend) {
    SceneObject *o = sprite3d_quad_create_empty(owner, crop, blend);
    Sprite3D *s = quad(o);
    if (!s) return nullptr;
    if (corners) std::memcpy(s->quad.corners, corners, sizeof(s->quad.corners));
    return o;
}

// ---------------------------------------------------------------------------------------------
// Head fields: the same fields, one family per sub-kind

#define SPRITE3D_HEAD_FAMILY(prefix, of)                                                           \
    Sprite3D *prefix##set_mirror(SceneObject *o, uint8_t mirror) {                                 \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.mirror = mirror;                                                            \
        return s;                                                                                  \
    }                                                                                              \
    Sprite3D *prefix##set_blend(SceneObject *o, uint8_t blend) {                                   \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.blend = blend;                                                              \
        return s;                                                                                  \
    }                                                                                              \
    Sprite3D *prefix##set_depth_func(SceneObject *o, uint8_t compare) {                            \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.depth_func = compare;                                                       \
        return s;                                                                                  \
    }                                                                                              \
    Sprite3D *prefix##set_shader(SceneObject *o, uint32_t set, const void *bytes,                  \
                                 uint32_t length) {                                                \
        Sprite3D *s = of(o);                                                                       \
        if (!s) return nullptr;                                                                    \
        s->head.shader_set = set;                                                                  \
        if (bytes && length > 0)                                                                   \
            std::memcpy(s->head.shader_params, bytes,                                              \
                        length < PARAM_BYTES ? length : PARAM_BYTES);                              \
        return s;                                                                                  \
    }                                                                                              \
    Sprite3D *prefix##set_texture(SceneObject *o, ResourceHandle texture) {                        \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.texture = texture;                                                          \
        return s;                                                                                  \
    }                                                                                              \
    Sprite3D *prefix##set_texture2(SceneObject *o, ResourceHandle texture) {                       \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.texture2 = texture;                                                         \
        return s;                                                                                  \
    }                                                                                              \
    ResourceHandle prefix##get_texture(SceneObject *o) {                                           \
        const Sprite3D *s = of(o);                                                                 \
        return s ? s->head.texture : 0;                                                            \
    }                                                                                              \
    ResourceHandle prefix##get_texture2(SceneObject *o) {                                          \
        const Sprite3D *s = of(o);                                                                 \
        return s ? s->head.texture2 : 0;                                                           \
    }                                                                                              \
    Sprite3D *prefix##set_crop(SceneObject *o, ResourceHandle crop) {                              \
        return set_crop(of(o), crop, false);                                                       \
    }                                                                                              \
    Sprite3D *prefix##set_crop2(SceneObject *o, ResourceHandle crop) {                             \
        return set_crop(of(o), crop, true);                                                        \
    }                                                                                              \
    Sprite3D *prefix##set_value_a(SceneObject *o, float value) {                                   \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.value_a = value;                                                            \
        return s;                                                                                  \
    }                                                                                              \
    Sprite3D *prefix##set_value_b(SceneObject *o, float value) {                                   \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->head.value_b = clamp01(value);                                                   \
        return s;                                                                                  \
    }
SPRITE3D_HEAD_FAMILY(sprite3d_, billboard)
SPRITE3D_HEAD_FAMILY(sprite3d_beam_, beam)
SPRITE3D_HEAD_FAMILY(sprite3d_quad_, quad)
#undef SPRITE3D_HEAD_FAMILY

// ---------------------------------------------------------------------------------------------
// Billboard

// Accessors that store or expose one field, each guarded by its family's check: a single
// value, a vector given by pointer (null stores nothing), a point by coordinates, and the
// address of a field.
#define SPRITE3D_SETTER(name, of, type, field)                                                     \
    Sprite3D *name(SceneObject *o, type value) {                                                   \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->field = value;                                                                   \
        return s;                                                                                  \
    }
#define SPRITE3D_SETTER_PTR(name, of, type, field)                                                 \
    Sprite3D *name(SceneObject *o, const type *value) {                                            \
        Sprite3D *s = of(o);                                                                       \
        if (s && value) s->field = *value;                                                         \
        return s;                                                                                  \
    }
#define SPRITE3D_SETTER_XYZ(name, of, field)                                                       \
    Sprite3D *name(SceneObject *o, float x, float y, float z) {                                    \
        Sprite3D *s = of(o);                                                                       \
        if (s) s->field = {x, y, z};                                                               \
        return s;                                                                                  \
    }
#define SPRITE3D_FIELD_PTR(name, of, type, field)                                                  \
    type *name(SceneObject *o) {                                                                   \
        Sprite3D *s = of(o);                                                                       \
        return s ? &s->field : nullptr;                                                            \
    }
SPRITE3D_SETTER_XYZ(sprite3d_set_position, billboard, billboard.position)
SPRITE3D_SETTER_PTR(sprite3d_set_position_v, billboard, Vec3, billboard.position)
SPRITE3D_FIELD_PTR(sprite3d_position_ptr, billboard, Vec3, billboard.position)
SPRITE3D_SETTER(sprite3d_set_rotation, billboard, float, billboard.rotation)
SPRITE3D_SETTER(sprite3d_set_colour, billboard, uint32_t, billboard.colour)
SPRITE3D_SETTER(sprite3d_set_lit, billboard, uint32_t, billboard.lit)
SPRITE3D_SETTER_XYZ(sprite3d_beam_set_start, beam, beam.start)
SPRITE3D_SETTER_XYZ(sprite3d_beam_set_end, beam, beam.end)
SPRITE3D_SETTER_PTR(sprite3d_beam_set_start_v, beam, Vec3, beam.start)
SPRITE3D_SETTER_PTR(sprite3d_beam_set_end_v, beam, Vec3, beam.end)
SPRITE3D_FIELD_PTR(sprite3d_beam_start_ptr, beam, Vec3, beam.start)
SPRITE3D_FIELD_PTR(sprite3d_beam_end_ptr, beam, Vec3, beam.end)
SPRITE3D_SETTER(sprite3d_beam_set_width, beam, float, beam.width)
SPRITE3D_SETTER(sprite3d_beam_set_cap, beam, float, beam.cap)
SPRITE3D_SETTER(sprite3d_beam_set_start_colour, beam, uint32_t, beam.start_colour)
SPRITE3D_SETTER(sprite3d_beam_set_end_colour, beam, uint32_t, beam.end_colour)
SPRITE3D_SETTER(sprite3d_beam_set_spare, beam, uint32_t, beam.spare)
SPRITE3D_SETTER_PTR(sprite3d_quad_set_place_position, quad, Vec3, quad.place_position)
SPRITE3D_SETTER_PTR(sprite3d_quad_set_place_angles, quad, EulerAngles, quad.place_angles)
SPRITE3D_SETTER_PTR(sprite3d_quad_set_place_scale, quad, Vec3, quad.place_scale)
SPRITE3D_FIELD_PTR(sprite3d_quad_place_position_ptr, quad, Vec3, quad.place_position)
SPRITE3D_FIELD_PTR(sprite3d_quad_place_angles_ptr, quad, EulerAngles, quad.place_angles)
SPRITE3D_FIELD_PTR(sprite3d_quad_place_scale_ptr, quad, Vec3, quad.place_scale)
SPRITE3D_SETTER(sprite3d_quad_set_transform, quad, uint32_t, quad.transform)
#undef SPRITE3D_SETTER
#undef SPRITE3D_SETTER_PTR
#undef SPRITE3D_SETTER_XYZ
#undef SPRITE3D_FIELD_PTR

Sprite3D *sprite3d_set_size(SceneObject *o, float width, float height) {
    Sprite3D *s = billboard(o);
    if (s) {
        s->billboard.width = width;
        s->billboard.height = height;
    }
    return s;
}

Sprite3D *sprite3d_set_depth_offset(SceneObject *o, float d) {
    Sprite3D *s = billboard(o);
    if (s) {
        s->billboard.depth_offset = d;
        s->billboard.depth_key = d * std::fabs(d);
    }
    return s;
}

Sprite3D *sprite3d_set_pivot(SceneObject *o, float x, float y) {
    Sprite3D *s = billboard(o);
    if (s) {
        s->billboard.pivot_x = x;
        s->billboard.pivot_y = y;
    }
    return s;
}

Sprite3D *sprite3d_set_scale(SceneObject *o, float x, float y) {
    Sprite3D *s = billboard(o);
    if (s) {
        s->billboard.scale_x = x;
        s->billboard.scale_y = y;
    }
    return s;
}

Sprite3D *sprite3d_set_uv(SceneObject *o, float u0, float v0, float u1, float v1) {
    Sprite3D *s = billboard(o);
    if (s) {
        const float r[4] = {u0, v0, u1, v1};
        std::memcpy(s->billboard.uv, r, sizeof r);
    }
    return s;
}

Sprite3D *sprite3d_set_uv2(SceneObject *o, float u0, float v0, float u1, float v1) {
    Sprite3D *s = billboard(o);
    if (s) {
        const float r[4] = {u0, v0, u1, v1};
        std::memcpy(s->billboard.uv2, r, sizeof r);
    }
    return s;
}

#define SPRITE3D_FIELD_GETTER(type, name, of, field)                                               \
    type name(SceneObject *o) {                                                                    \
        const Sprite3D *s = of(o);                                                                 \
        return s ? s->field : type{};                                                              \
    }
SPRITE3D_FIELD_GETTER(float, sprite3d_get_width, billboard, billboard.width)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_height, billboard, billboard.height)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_depth_offset, billboard, billboard.depth_offset)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_pivot_x, billboard, billboard.pivot_x)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_pivot_y, billboard, billboard.pivot_y)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_scale_x, billboard, billboard.scale_x)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_scale_y, billboard, billboard.scale_y)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_rotation, billboard, billboard.rotation)
SPRITE3D_FIELD_GETTER(uint32_t, sprite3d_get_colour, billboard, billboard.colour)
SPRITE3D_FIELD_GETTER(uint32_t, sprite3d_get_lit, billboard, billboard.lit)
SPRITE3D_FIELD_GETTER(float, sprite3d_get_u0, billboard, billboard.uv[0])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_v0, billboard, billboard.uv[1])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_u1, billboard, billboard.uv[2])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_v1, billboard, billboard.uv[3])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_uv2_u0, billboard, billboard.uv2[0])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_uv2_v0, billboard, billboard.uv2[1])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_uv2_u1, billboard, billboard.uv2[2])
SPRITE3D_FIELD_GETTER(float, sprite3d_get_uv2_v1, billboard, billboard.uv2[3])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_width, beam, beam.width)
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_cap, beam, beam.cap)
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_u0, beam, beam.uv[0][0])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_v0, beam, beam.uv[0][1])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_u1, beam, beam.uv[3][0])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_v1, beam, beam.uv[3][1])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_uv2_u0, beam, beam.uv2[0][0])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_uv2_v0, beam, beam.uv2[0][1])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_uv2_u1, beam, beam.uv2[3][0])
SPRITE3D_FIELD_GETTER(float, sprite3d_beam_get_uv2_v1, beam, beam.uv2[3][1])
SPRITE3D_FIELD_GETTER(uint32_t, sprite3d_beam_get_start_colour, beam, beam.start_colour)
SPRITE3D_FIELD_GETTER(uint32_t, sprite3d_beam_get_end_colour, beam, beam.end_colour)
SPRITE3D_FIELD_GETTER(uint32_t, sprite3d_quad_get_transform, quad, quad.transform)
#undef SPRITE3D_FIELD_GETTER

Sprite3D *sprite3d_set_screen_uv(SceneObject *o, float ox, float oy, float scale, uint32_t flip_u,
                                 uint32_t flip_v) {
    Sprite3D *s = billboard(o);
    if (s) screen_uv(s, ox, oy, scale, flip_u, flip_v, s->billboard.uv);
    return s;
}

Sprite3D *sprite3d_set_screen_uv2(SceneObject *o, float ox, float oy, float scale, uint32_t flip_u,
                                  uint32_t flip_v) {
    Sprite3D *s = billboard(o);
    if (s) screen_uv(s, ox, oy, scale, flip_u, flip_v, s->billboard.uv2);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Beam

Sprite3D *sprite3d_beam_set_width_cap(SceneObject *o, float width, float cap) {
    sprite3d_beam_set_width(o, width);
    return sprite3d_beam_set_cap(o, cap);
}

Sprite3D *sprite3d_beam_set_uv(SceneObject *o, float u0, float v0, float u1, float v1) {
    Sprite3D *s = beam(o);
    const float r[4] = {u0, v0, u1, v1};
    if (s) beam_pairs(s->beam.uv, r);
    return s;
}

Sprite3D *sprite3d_beam_set_uv2(SceneObject *o, float u0, float v0, float u1, float v1) {
    Sprite3D *s = beam(o);
    const float r[4] = {u0, v0, u1, v1};
    if (s) beam_pairs(s->beam.uv2, r);
    return s;
}

Sprite3D *sprite3d_beam_set_screen_uv(SceneObject *o, float ox, float oy, float scale) {
    Sprite3D *s = beam(o);
    if (s) beam_screen_uv(s, ox, oy, scale, s->beam.uv);
    return s;
}

Sprite3D *sprite3d_beam_set_screen_uv2(SceneObject *o, float ox, float oy, float scale) {
    Sprite3D *s = beam(o);
    if (s) beam_screen_uv(s, ox, oy, scale, s->beam.uv2);
    return s;
}

Sprite3D *sprite3d_beam_set_colours(SceneObject *o, uint32_t start, uint32_t end) {
    sprite3d_beam_set_start_colour(o, start);
    return sprite3d_beam_set_end_colour(o, end);
}

// ---------------------------------------------------------------------------------------------
// Quad

Sprite3D *sprite3d_quad_set_corner(SceneObject *o, float x, float y, float z, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    if (s) s->quad.corners[i] = {x, y, z};
    return s;
}

Sprite3D *sprite3d_quad_set_corner_v(SceneObject *o, const Vec3 *p, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    if (s && p) s->quad.corners[i] = *p;
    return s;
}

Vec3 *sprite3d_quad_corner_ptr(SceneObject *o, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    return s ? &s->quad.corners[i] : nullptr;
}

Sprite3D *sprite3d_quad_set_uv(SceneObject *o, float u, float v, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    if (s) set_pair(s->quad.uv[i], u, v);
    return s;
}

Sprite3D *sprite3d_quad_set_uv2(SceneObject *o, float u, float v, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    if (s) set_pair(s->quad.uv2[i], u, v);
    return s;
}

float *sprite3d_quad_uv_ptr(SceneObject *o, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    return s ? s->quad.uv[i] : nullptr;
}

float *sprite3d_quad_uv2_ptr(SceneObject *o, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    return s ? s->quad.uv2[i] : nullptr;
}

Sprite3D *sprite3d_quad_set_colour(SceneObject *o, uint32_t colour, int32_t i) {
    Sprite3D *s = quad_at(o, i);
    if (s) s->quad.colours[i] = colour;
    return s;
}

uint32_t sprite3d_quad_get_colour(SceneObject *o, int32_t i) {
    const Sprite3D *s = quad_at(o, i);
    return s ? s->quad.colours[i] : 0;
}

Sprite3D *sprite3d_quad_set_colours(SceneObject *o, uint32_t colour) {
    Sprite3D *s = quad(o);
    if (s)
        for (uint32_t &c : s->quad.colours) c = colour;
    return s;
}

// The numbered forms are the indexed ones with the index fixed.
#define SPRITE3D_QUAD_NUMBERED(n)                                                                  \
    Sprite3D *sprite3d_quad_set_corner##n(SceneObject *o, float x, float y, float z) {             \
        return sprite3d_quad_set_corner(o, x, y, z, n);                                            \
    }                                                                                              \
    Sprite3D *sprite3d_quad_set_corner##n##_v(SceneObject *o, const Vec3 *p) {                     \
        return sprite3d_quad_set_corner_v(o, p, n);                                                \
    }                                                                                              \
    Vec3 *sprite3d_quad_corner##n##_ptr(SceneObject *o) {                                          \
        return sprite3d_quad_corner_ptr(o, n);                                                     \
    }                                                                                              \
    Sprite3D *sprite3d_quad_set_uv_##n(SceneObject *o, float u, float v) {                         \
        return sprite3d_quad_set_uv(o, u, v, n);                                                   \
    }                                                                                              \
    Sprite3D *sprite3d_quad_set_uv2_##n(SceneObject *o, float u, float v) {                        \
        return sprite3d_quad_set_uv2(o, u, v, n);                                                  \
    }                                                                                              \
    float *sprite3d_quad_uv_##n##_ptr(SceneObject *o) {                                            \
        return sprite3d_quad_uv_ptr(o, n);                                                         \
    }                                                                                              \
    float *sprite3d_quad_uv2_##n##_ptr(SceneObject *o) {                                           \
        return sprite3d_quad_uv2_ptr(o, n);                                                        \
    }                                                                                              \
    Sprite3D *sprite3d_quad_set_colour##n(SceneObject *o, uint32_t colour) {                       \
        return sprite3d_quad_set_colour(o, colour, n);                                             \
    }                                                                                              \
    uint32_t sprite3d_quad_get_colour##n(SceneObject *o) {                                         \
        return sprite3d_quad_get_colour(o, n);                                                     \
    }
SPRITE3D_QUAD_NUMBERED(0)
SPRITE3D_QUAD_NUMBERED(1)
SPRITE3D_QUAD_NUMBERED(2)
SPRITE3D_QUAD_NUMBERED(3)
#undef SPRITE3D_QUAD_NUMBERED

Sprite3D *sprite3d_quad_set_placement(SceneObject *o, const Vec3 *p, const EulerAngles *a) {
    sprite3d_quad_set_place_position(o, p);
    return sprite3d_quad_set_place_angles(o, a);
}

// ---------------------------------------------------------------------------------------------
// Quad shapes

Sprite3D *sprite3d_quad_build_flat(SceneObject *o, const Vec3 *position, const EulerAngles *angles,
                                   float width, float depth) {
    Sprite3D *s = quad(o);
    if (!s || !position) return s;
    Mat4 m;
    if (angles)
        mat4_from_position_euler(&m, position, angles);
    else
        mat4_translation(&m, position);
    const float w = width * 0.5f, d = depth * 0.5f;
    const Vec3 local[4] = {{-w, 0, d}, {-w, 0, -d}, {w, 0, d}, {w, 0, -d}};
    Vec3 *c = s->quad.corners;
    mat4_transform_points4(&c[0], &c[1], &c[2], &c[3], &m, &local[0], &local[1], &local[2],
                           &local[3]);
    return s;
}

Sprite3D *sprite3d_quad_build_ribbon(SceneObject *o, const Vec3 *p0, const Vec3 *up0, float w0,
                                     float e0, float s0, const Vec3 *p1, const Vec3 *up1, float w1,
                                     float e1, float s1, uint32_t pairwise) {
    Sprite3D *s = quad(o);
    if (!s || !p0 || !up0 || !p1 || !up1) return s;
    Vec3 n, side0, side1, a0, a1;
    vec3_direction(&n, p0, p1);
    vec3_scale(&side0, vec3_cross(&side0, up0, &n), w0);
    vec3_scale(&side1, vec3_cross(&side1, up1, &n), w1);
    vec3_add_scaled(&a0, vec3_add_scaled(&a0, p0, up0, s0), &n, -e0);
    vec3_add_scaled(&a1, vec3_add_scaled(&a1, p1, up1, s1), &n, e1);
    Vec3 *c = s->quad.corners;
    const int left1 = pairwise ? 2 : 1, right0 = pairwise ? 1 : 2;
    vec3_sub(&c[0], &a0, &side0);
    vec3_add(&c[right0], &a0, &side0);
    vec3_sub(&c[left1], &a1, &side1);
    vec3_add(&c[3], &a1, &side1);
    return s;
}

Sprite3D *sprite3d_quad_build_wall(SceneObject *o, const Vec3 *p0, const Vec3 *up0, float s0,
                                   float e0, const Vec3 *p1, const Vec3 *up1, float s1, float e1,
                                   uint32_t pairwise) {
    Sprite3D *s = quad(o);
    if (!s || !p0 || !up0 || !p1 || !up1) return s;
    Vec3 n, b0, b1, t0, t1;
    vec3_direction(&n, p0, p1);
    vec3_add_scaled(&b0, p0, &n, -e0);
    vec3_add_scaled(&b1, p1, &n, e1);
    vec3_add_scaled(&t0, &b0, up0, s0);
    vec3_add_scaled(&t1, &b1, up1, s1);
    Vec3 *c = s->quad.corners;
    c[0] = t0;
    c[pairwise ? 1 : 2] = b0;
    c[pairwise ? 2 : 1] = t1;
    c[3] = b1;
    return s;
}

Sprite3D *sprite3d_quad_bake_transform(SceneObject *o) {
    Sprite3D *s = quad(o);
    if (!s) return nullptr;
    Mat4 m;
    sprite3d_quad_placement_matrix(&s->quad, &m);
    Vec3 *c = s->quad.corners;
    const Vec3 in[4] = {c[0], c[1], c[2], c[3]};
    mat4_transform_points4(&c[0], &c[1], &c[2], &c[3], &m, &in[0], &in[1], &in[2], &in[3]);
    s->quad.transform = 0;
    return s;
}
