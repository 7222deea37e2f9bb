// 3D sprites: textured quads placed in the 3D scene, one object kind with three sub-kinds chosen
// by the first payload byte: a billboard (a rectangle that always faces the camera), a beam (a
// camera-facing strip between two points) and a free quad (four corners in world space). All
// share the head: textures, blend pair, depth compare, shader set and parameters, a mirror flag
// and two values handed to the shader as the third texture coordinate pair.
//
// Every accessor checks that the object is a 3D sprite of its own sub-kind family: on any other
// object (or null) setters change nothing, pointer getters give null and value getters 0.
// Indexed forms take corner indexes 0-3 only.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "scene/object_manager.h"

struct GfxDevice;

enum : uint8_t {
    SPRITE3D_BILLBOARD = 0,
    SPRITE3D_BEAM = 1,
    SPRITE3D_QUAD = 2,
};

enum : int32_t {
    SPRITE3D_LAYER = 47,
    SPRITE3D_PAYLOAD_BYTES = 236,
    SPRITE3D_SHADER_PARAM_BYTES = 40,
};

struct Sprite3DHead {
    uint8_t sub_kind;
    uint8_t mirror;     // non-zero: drawn also while the mirror camera is selected
    uint8_t blend;      // blend-pair index
    uint8_t depth_func; // compare index of the depth test
    uint32_t shader_set;
    uint8_t shader_params[SPRITE3D_SHADER_PARAM_BYTES];
    ResourceHandle texture;  // stage 0; 0 none
    ResourceHandle texture2; // stage 1; 0 none
    float value_a;           // third texture coordinate u of every vertex
    float value_b;           // third v, kept within 0 to 1
};

struct Sprite3DBillboard {
    Vec3 position; // the pivot
    float width, height;
    float depth_offset; // along the camera-to-sprite line, away from the camera
    float depth_key;    // offset times its absolute value, added to the sort key
    float uv[4];        // u0, v0, u1, v1 (v0 at the top edge)
    float uv2[4];
    float pivot_x, pivot_y; // 0 to 1 from the left and from the bottom
    float scale_x, scale_y;
    float rotation; // roll about the view axis, radians
    uint32_t colour;
    uint32_t lit; // non-zero: corners shaded by the view light
};

struct Sprite3DBeam {
    Vec3 start, end;
    float width;    // across the beam; the drawn half-width is a quarter of it
    float cap;      // beyond each end; the drawn extension is a quarter of it
    float uv[4][2]; // start-left, end-left, start-right, end-right
    float uv2[4][2];
    uint32_t start_colour, end_colour;
    uint32_t spare;
};

struct Sprite3DQuad {
    Vec3 corners[4]; // triangles 0-1-2 and 3-2-1
    float uv[4][2];
    float uv2[4][2];
    uint32_t colours[4];
    Vec3 place_position;
    EulerAngles place_angles;
    Vec3 place_scale;
    uint32_t transform; // non-zero: corners carried through the placement when drawn
};

struct Sprite3D {
    Sprite3DHead head;
    union {
        Sprite3DBillboard billboard;
        Sprite3DBeam beam;
        Sprite3DQuad quad;
    };
};
static_assert(sizeof(Sprite3D) <= SPRITE3D_PAYLOAD_BYTES, "3D sprite payload within 236 bytes");

// Vertex of the draw (format 834: position, diffuse colour, three coordinate pairs).
struct Sprite3DVertex {
    float x, y, z;
    uint32_t colour;
    float u0, v0; // stage 0
    float u1, v1; // stage 1
    float value_a, value_b;
};
constexpr uint32_t SPRITE3D_VERTEX_FORMAT = 834;

// Kind state: the id and the frame's counters (sprites that passed culling, draw calls).
struct Sprite3DKindState {
    int32_t kind_id;
    uint32_t sprites;
    uint32_t batches;
};

// Registration, hooks and statistics.
void sprite3d_register_kind(void);
void sprite3d_shutdown(void);
int32_t sprite3d_kind_id(void);
void sprite3d_reset_stats(void);
uint32_t sprite3d_stat_sprites(void);
uint32_t sprite3d_stat_batches(void);
Sprite3DKindState *sprite3d_kind_state(void);

// Kind callbacks: init writes the billboard defaults and puts the object on layer 47; the beam
// and quad inits turn a fresh billboard into their sub-kind.
void sprite3d_init(SceneObject *object);
void sprite3d_beam_init(SceneObject *object);
void sprite3d_quad_init(SceneObject *object);
void sprite3d_draw(SceneObject **run, int32_t count);

// The payload of a 3D sprite of the given sub-kind; null for anything else.
Sprite3D *sprite3d_payload(SceneObject *object, uint8_t sub_kind);

// The view-projection and camera matrices the sprites are placed with: the mirror camera's
// while it is selected, else the current view's.
void sprite3d_camera_matrices(Mat4 *view_proj, Mat4 *camera);

// Creators: null when no object is free. The "once" forms live for one frame.
SceneObject *sprite3d_create(OwnerId owner, const Vec3 *position, float rotation, float size,
                             ResourceHandle crop, uint32_t colour, uint8_t blend);
SceneObject *sprite3d_create_once(OwnerId owner, const Vec3 *position, float rotation, float size,
                                  ResourceHandle crop, uint32_t colour, uint8_t blend,
                                  float depth_offset);
SceneObject *sprite3d_beam_create(OwnerId owner, const Vec3 *start, const Vec3 *end, float width,
                                  uint32_t start_colour, uint32_t end_colour, ResourceHandle crop,
                                  uint8_t blend);
SceneObject *sprite3d_beam_create_once(OwnerId owner, const Vec3 *start, const Vec3 *end,
                                       float width, uint32_t start_colour, uint32_t end_colour,
                                       ResourceHandle crop, uint8_t blend);
SceneObject *sprite3d_quad_create(OwnerId owner, const Vec3 *c0, const Vec3 *c1, const Vec3 *c2,
                                  const Vec3 *c3, uint32_t colour0, uint32_t colour1,
                                  uint32_t colour2, uint32_t colour3, ResourceHandle crop,
                                  uint8_t blend);
SceneObject *sprite3d_quad_create_from_array(OwnerId owner, const Vec3 *corners,
                                             ResourceHandle crop, uint8_t blend);
SceneObject *sprite3d_quad_create_empty(OwnerId owner, ResourceHandle crop, uint8_t blend);
void sprite3d_show(SceneObject *object);

// Head fields, one set per sub-kind family.
#define SPRITE3D_HEAD_ACCESSORS(prefix)                                                            \
    Sprite3D *prefix##set_mirror(SceneObject *object, uint8_t mirror);                             \
    Sprite3D *prefix##set_blend(SceneObject *object, uint8_t blend);                               \
    Sprite3D *prefix##set_depth_func(SceneObject *object, uint8_t compare);                        \
    Sprite3D *prefix##set_shader(SceneObject *object, uint32_t set, const void *bytes,             \
                                 uint32_t length);                                                 \
    Sprite3D *prefix##set_texture(SceneObject *object, ResourceHandle texture);                    \
    Sprite3D *prefix##set_texture2(SceneObject *object, ResourceHandle texture);                   \
    ResourceHandle prefix##get_texture(SceneObject *object);                                       \
    ResourceHandle prefix##get_texture2(SceneObject *object);                                      \
    Sprite3D *prefix##set_crop(SceneObject *object, ResourceHandle crop);                          \
    Sprite3D *prefix##set_crop2(SceneObject *object, ResourceHandle crop);                         \
    Sprite3D *prefix##set_value_a(SceneObject *object, float value);                               \
    Sprite3D *prefix##set_value_b(SceneObject *object, float value);
SPRITE3D_HEAD_ACCESSORS(sprite3d_)
SPRITE3D_HEAD_ACCESSORS(sprite3d_beam_)
SPRITE3D_HEAD_ACCESSORS(sprite3d_quad_)
#undef SPRITE3D_HEAD_ACCESSORS

// Billboard.
Sprite3D *sprite3d_set_position(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_set_position_v(SceneObject *object, const Vec3 *position);
Vec3 *sprite3d_position_ptr(SceneObject *object);
Sprite3D *sprite3d_set_size(SceneObject *object, float width, float height);
float sprite3d_get_width(SceneObject *object);
float sprite3d_get_height(SceneObject *object);
Sprite3D *sprite3d_set_depth_offset(SceneObject *object, float offset);
float sprite3d_get_depth_offset(SceneObject *object);
Sprite3D *sprite3d_set_pivot(SceneObject *object, float x, float y);
float sprite3d_get_pivot_x(SceneObject *object);
float sprite3d_get_pivot_y(SceneObject *object);
Sprite3D *sprite3d_set_scale(SceneObject *object, float x, float y);
float sprite3d_get_scale_x(SceneObject *object);
float sprite3d_get_scale_y(SceneObject *object);
Sprite3D *sprite3d_set_rotation(SceneObject *object, float radians);
float sprite3d_get_rotation(SceneObject *object);
Sprite3D *sprite3d_set_colour(SceneObject *object, uint32_t colour);
uint32_t sprite3d_get_colour(SceneObject *object);
Sprite3D *sprite3d_set_lit(SceneObject *object, uint32_t lit);
uint32_t sprite3d_get_lit(SceneObject *object);
Sprite3D *sprite3d_set_uv(SceneObject *object, float u0, float v0, float u1, float v1);
Sprite3D *sprite3d_set_uv2(SceneObject *object, float u0, float v0, float u1, float v1);
float sprite3d_get_u0(SceneObject *object);
float sprite3d_get_v0(SceneObject *object);
float sprite3d_get_u1(SceneObject *object);
float sprite3d_get_v1(SceneObject *object);
float sprite3d_get_uv2_u0(SceneObject *object);
float sprite3d_get_uv2_v0(SceneObject *object);
float sprite3d_get_uv2_u1(SceneObject *object);
float sprite3d_get_uv2_v1(SceneObject *object);
// UV rectangle that maps a texture holding the rendered screen onto the sprite where it stands.
Sprite3D *sprite3d_set_screen_uv(SceneObject *object, float offset_x, float offset_y, float scale,
                                 uint32_t flip_u, uint32_t flip_v);
Sprite3D *sprite3d_set_screen_uv2(SceneObject *object, float offset_x, float offset_y, float scale,
                                  uint32_t flip_u, uint32_t flip_v);

// Beam.
Sprite3D *sprite3d_beam_set_start(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_beam_set_end(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_beam_set_start_v(SceneObject *object, const Vec3 *start);
Sprite3D *sprite3d_beam_set_end_v(SceneObject *object, const Vec3 *end);
Vec3 *sprite3d_beam_start_ptr(SceneObject *object);
Vec3 *sprite3d_beam_end_ptr(SceneObject *object);
Sprite3D *sprite3d_beam_set_width(SceneObject *object, float width);
Sprite3D *sprite3d_beam_set_cap(SceneObject *object, float cap);
Sprite3D *sprite3d_beam_set_width_cap(SceneObject *object, float width, float cap);
float sprite3d_beam_get_width(SceneObject *object);
float sprite3d_beam_get_cap(SceneObject *object);
Sprite3D *sprite3d_beam_set_uv(SceneObject *object, float u0, float v0, float u1, float v1);
Sprite3D *sprite3d_beam_set_uv2(SceneObject *object, float u0, float v0, float u1, float v1);
float sprite3d_beam_get_u0(SceneObject *object);
float sprite3d_beam_get_v0(SceneObject *object);
float sprite3d_beam_get_u1(SceneObject *object);
float sprite3d_beam_get_v1(SceneObject *object);
float sprite3d_beam_get_uv2_u0(SceneObject *object);
float sprite3d_beam_get_uv2_v0(SceneObject *object);
float sprite3d_beam_get_uv2_u1(SceneObject *object);
float sprite3d_beam_get_uv2_v1(SceneObject *object);
Sprite3D *sprite3d_beam_set_screen_uv(SceneObject *object, float offset_x, float offset_y,
                                      float scale);
Sprite3D *sprite3d_beam_set_screen_uv2(SceneObject *object, float offset_x, float offset_y,
                                       float scale);
Sprite3D *sprite3d_beam_set_start_colour(SceneObject *object, uint32_t colour);
Sprite3D *sprite3d_beam_set_end_colour(SceneObject *object, uint32_t colour);
Sprite3D *sprite3d_beam_set_colours(SceneObject *object, uint32_t start, uint32_t end);
uint32_t sprite3d_beam_get_start_colour(SceneObject *object);
uint32_t sprite3d_beam_get_end_colour(SceneObject *object);
Sprite3D *sprite3d_beam_set_spare(SceneObject *object, uint32_t value);

// Quad.
Sprite3D *sprite3d_quad_set_corner(SceneObject *object, float x, float y, float z, int32_t i);
Sprite3D *sprite3d_quad_set_corner0(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_quad_set_corner1(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_quad_set_corner2(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_quad_set_corner3(SceneObject *object, float x, float y, float z);
Sprite3D *sprite3d_quad_set_corner_v(SceneObject *object, const Vec3 *corner, int32_t i);
Sprite3D *sprite3d_quad_set_corner0_v(SceneObject *object, const Vec3 *corner);
Sprite3D *sprite3d_quad_set_corner1_v(SceneObject *object, const Vec3 *corner);
Sprite3D *sprite3d_quad_set_corner2_v(SceneObject *object, const Vec3 *corner);
Sprite3D *sprite3d_quad_set_corner3_v(SceneObject *object, const Vec3 *corner);
Vec3 *sprite3d_quad_corner_ptr(SceneObject *object, int32_t i);
Vec3 *sprite3d_quad_corner0_ptr(SceneObject *object);
Vec3 *sprite3d_quad_corner1_ptr(SceneObject *object);
Vec3 *sprite3d_quad_corner2_ptr(SceneObject *object);
Vec3 *sprite3d_quad_corner3_ptr(SceneObject *object);
Sprite3D *sprite3d_quad_set_uv(SceneObject *object, float u, float v, int32_t i);
Sprite3D *sprite3d_quad_set_uv_0(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv_1(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv_2(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv_3(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv2(SceneObject *object, float u, float v, int32_t i);
Sprite3D *sprite3d_quad_set_uv2_0(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv2_1(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv2_2(SceneObject *object, float u, float v);
Sprite3D *sprite3d_quad_set_uv2_3(SceneObject *object, float u, float v);
float *sprite3d_quad_uv_ptr(SceneObject *object, int32_t i);
float *sprite3d_quad_uv_0_ptr(SceneObject *object);
float *sprite3d_quad_uv_1_ptr(SceneObject *object);
float *sprite3d_quad_uv_2_ptr(SceneObject *object);
float *sprite3d_quad_uv_3_ptr(SceneObject *object);
float *sprite3d_quad_uv2_ptr(SceneObject *object, int32_t i);
float *sprite3d_quad_uv2_0_ptr(SceneObject *object);
float *sprite3d_quad_uv2_1_ptr(SceneObject *object);
float *sprite3d_quad_uv2_2_ptr(SceneObject *object);
float *sprite3d_quad_uv2_3_ptr(SceneObject *object);
Sprite3D *sprite3d_quad_set_colour(SceneObject *object, uint32_t colour, int32_t i);
Sprite3D *sprite3d_quad_set_colour0(SceneObject *object, uint32_t colour);
Sprite3D *sprite3d_quad_set_colour1(SceneObject *object, uint32_t colour);
Sprite3D *sprite3d_quad_set_colour2(SceneObject *object, uint32_t colour);
Sprite3D *sprite3d_quad_set_colour3(SceneObject *object, uint32_t colour);
Sprite3D *sprite3d_quad_set_colours(SceneObject *object, uint32_t colour);
uint32_t sprite3d_quad_get_colour(SceneObject *object, int32_t i);
uint32_t sprite3d_quad_get_colour0(SceneObject *object);
uint32_t sprite3d_quad_get_colour1(SceneObject *object);
uint32_t sprite3d_quad_get_colour2(SceneObject *object);
uint32_t sprite3d_quad_get_colour3(SceneObject *object);
Sprite3D *sprite3d_quad_set_placement(SceneObject *object, const Vec3 *position,
                                      const EulerAngles *angles);
Sprite3D *sprite3d_quad_set_place_position(SceneObject *object, const Vec3 *position);
Sprite3D *sprite3d_quad_set_place_angles(SceneObject *object, const EulerAngles *angles);
Sprite3D *sprite3d_quad_set_place_scale(SceneObject *object, const Vec3 *scale);
Vec3 *sprite3d_quad_place_position_ptr(SceneObject *object);
EulerAngles *sprite3d_quad_place_angles_ptr(SceneObject *object);
Vec3 *sprite3d_quad_place_scale_ptr(SceneObject *object);
Sprite3D *sprite3d_quad_set_transform(SceneObject *object, uint32_t on);
uint32_t sprite3d_quad_get_transform(SceneObject *object);

// Corners from shapes (see each for its layout).
// A flat w x d rectangle in the XZ plane about the position, turned by the angles (null: none).
Sprite3D *sprite3d_quad_build_flat(SceneObject *object, const Vec3 *position,
                                   const EulerAngles *angles, float width, float depth);
// A ribbon from p0 to p1: at each end a half-width w along up x direction, lifted by s along up
// and extended by e beyond the end. Pairwise: the corners go across each end in turn.
Sprite3D *sprite3d_quad_build_ribbon(SceneObject *object, const Vec3 *p0, const Vec3 *up0, float w0,
                                     float e0, float s0, const Vec3 *p1, const Vec3 *up1, float w1,
                                     float e1, float s1, uint32_t pairwise);
// A wall from p0 to p1 rising by s along up at each end, extended by e beyond the ends.
Sprite3D *sprite3d_quad_build_wall(SceneObject *object, const Vec3 *p0, const Vec3 *up0, float s0,
                                   float e0, const Vec3 *p1, const Vec3 *up1, float s1, float e1,
                                   uint32_t pairwise);
// Carries the corners through the placement and clears the transform switch.
Sprite3D *sprite3d_quad_bake_transform(SceneObject *object);

// The four world corners of a beam as drawn: a camera-facing strip whose screen direction is
// that of the projected ends, or the screen's x axis when they meet or are not finite.
void sprite3d_beam_corners(const Sprite3DBeam *beam, const Mat4 *view_proj, const Mat4 *camera,
                           Vec3 out[4]);

// The placement matrix of a quad: position and angles, rows scaled unless the scale is 1.
void sprite3d_quad_placement_matrix(const Sprite3DQuad *quad, Mat4 *out);

// Draw helpers.
float sprite3d_distance(const Vec3 *a, const Vec3 *b); // 0 below a squared 1e-10
float sprite3d_distance_sq(const Vec3 *a, const Vec3 *b);
float sprite3d_dot(const Vec3 *a, const Vec3 *b);
uint32_t colour_alpha(uint32_t argb);
uint32_t colour_red(uint32_t argb);
uint32_t colour_green(uint32_t argb);
uint32_t colour_blue(uint32_t argb);
float colour_alpha_f(uint32_t argb); // the channel / 255
float colour_red_f(uint32_t argb);
float colour_green_f(uint32_t argb);
float colour_blue_f(uint32_t argb);
float lerpf(float a, float b, float t);
// Per channel, t clamped to 0 to 1; each channel truncated to a byte.
uint32_t colour_lerp(uint32_t a, uint32_t b, float t);
uint32_t colour_pack_floats(float red, float green, float blue, float alpha);
uint32_t colour_pack_bytes(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha);
uint32_t colour_shift_rgb(uint32_t argb, uint32_t n); // n modulo 32; alpha kept
// Shader set `set` (negative keeps the bound one) with its parameters, no world matrix,
// material or lights.
void sprite3d_select_shader(int32_t set, const void *params, int32_t pass_arg, int32_t decl);
void sprite3d_unbind_stages(GfxDevice *device);
// Descending by the float in each object's scratch word.
void sprite3d_sort_far_first(SceneObject **list, int32_t count);
