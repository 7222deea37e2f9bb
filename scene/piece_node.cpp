#include "scene/piece_node.h"

#include <cstring>

#include "math/mat4.h"
#include "platform/gpu/gpu.h"
#include "render/gfx_mesh.h"
#include "render/gfx_state.h"
#include "render/shader.h"
#include "render/view.h"
#include "resource/res_matrix.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_collision.h"
#include "scene/node_draw.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"
#include "scene/point_light.h"

namespace {

constexpr uint16_t SHADER_NORMAL_MAPPED = 2;

uint32_t bits(uint32_t flags, uint32_t shift, uint32_t width) {
    return (flags >> shift) & ((1u << width) - 1);
}

// The piece's model, or null when the record was released (release to mark) or made anew for
// another model since the piece was added: the record is never read for a stale piece.
const ModelRecord *piece_model(const PieceEntry *p) {
    const ModelRecord *r = res_model_record(p->model);
    if (!r || !r->data || !r->header.name) return nullptr;
    return r->header.name_hash == p->model_name_hash ? r : nullptr;
}

struct VisiblePiece {
    PieceEntry *piece;
    SceneObject *node;
    NodeBounds bounds;
};
VisiblePiece s_visible[RES_PIECE_COUNT];

// A piece's sphere: its model's bounding sphere as stored, since pieces are stored in world
// space. The far allowance is the piece's own radius squared, as the model keeps it beside the
// radius (the reader stores the file's radius squared there), so a piece is kept or dropped the
// same wherever it stands; a model node's allowance instead covers the model about the node's
// origin, which a piece does not have.
void piece_bounds(NodeBounds *out, const MeshBuffers *mesh) {
    const float *e = mesh->extra_bounds;
    out->centre = {e[0], e[1], e[2]};
    out->radius = e[4];
    out->outer_radius = e[4];
    out->far_allowance = e[5];
}

VisiblePiece *visible_of(PieceEntry *p) {
    for (VisiblePiece &v : s_visible)
        if (v.piece == p) return &v;
    return nullptr;
}

} // namespace

int32_t meshnode_kind_id(void) {
    return scenedraw_settings()->mesh_kind;
}
bool meshnode_is_mesh_node(const SceneObject *o) {
    return o && o->kind != 0 && o->kind == scenedraw_settings()->mesh_kind;
}
PieceMeshNode *meshnode_of(SceneObject *o) {
    return meshnode_is_mesh_node(o) ? obj_payload<PieceMeshNode>(o) : nullptr;
}
Mat4 *meshnode_world_matrix(SceneObject *o) {
    PieceMeshNode *n = meshnode_of(o);
    return n ? &n->world : nullptr;
}
void meshnode_set_pieces(SceneObject *o, PieceEntry *chain) {
    if (PieceMeshNode *n = meshnode_of(o)) n->pieces = chain;
}
void meshnode_set_material(SceneObject *o, uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                           uint32_t specular, float power, float factor) {
    if (PieceMeshNode *n = meshnode_of(o))
        n->default_material = node_material_set_all(&n->material, ambient, diffuse, emissive,
                                                    specular, power, factor);
}
void meshnode_set_ambient(SceneObject *o, uint32_t argb) {
    if (PieceMeshNode *n = meshnode_of(o))
        n->default_material = node_material_set_ambient(&n->material, argb);
}
void meshnode_set_diffuse(SceneObject *o, uint32_t argb) {
    if (PieceMeshNode *n = meshnode_of(o))
        n->default_material = node_material_set_diffuse(&n->material, argb);
}
void meshnode_set_color(SceneObject *o, uint32_t argb) {
    meshnode_set_diffuse(o, argb);
}
void meshnode_set_emissive(SceneObject *o, uint32_t argb) {
    if (PieceMeshNode *n = meshnode_of(o))
        n->default_material = node_material_set_emissive(&n->material, argb);
}
void meshnode_set_specular(SceneObject *o, uint32_t argb, float power) {
    if (PieceMeshNode *n = meshnode_of(o))
        n->default_material = node_material_set_specular(&n->material, argb, power);
}
void meshnode_set_factor(SceneObject *o, float factor) {
    if (PieceMeshNode *n = meshnode_of(o))
        n->default_material = node_material_set_factor(&n->material, factor);
}
uint32_t meshnode_get_diffuse(SceneObject *o) {
    PieceMeshNode *n = meshnode_of(o);
    return n ? n->material.diffuse : 0;
}
NodeMaterial *meshnode_material(SceneObject *o) {
    PieceMeshNode *n = meshnode_of(o);
    return n ? &n->material : nullptr;
}
void meshnode_set_shader(SceneObject *o, uint16_t shader_id, const void *params, int32_t size) {
    PieceMeshNode *n = meshnode_of(o);
    if (!n) return;
    n->shader_id = shader_id;
    if (size > 0 && params)
        memcpy(n->params, params, size < NODE_PARAM_BYTES ? (size_t)size : NODE_PARAM_BYTES);
}
void meshnode_reset_shader(SceneObject *o) {
    if (PieceMeshNode *n = meshnode_of(o)) n->shader_id = 0;
}
void meshnode_init_piece_flags(uint32_t *flags) {
    if (flags) *flags = PIECE_FLAGS_DEFAULT;
}

void meshnode_kind_init(SceneObject *o) {
    PieceMeshNode *n = obj_payload<PieceMeshNode>(o);
    n->shader_id = 0;
    n->default_material = 1;
    n->material = NODE_MATERIAL_DEFAULTS;
    n->shader_float = 1.0f;
    mat4_identity(&n->world);
    n->collision = nullptr;
    n->pieces = nullptr;
    obj_set_layer(o, NODE_DEFAULT_LAYER);
    node_show(o);
}

void meshnode_kind_term(SceneObject *o) {
    PieceMeshNode *n = obj_payload<PieceMeshNode>(o);
    nodecoll_remove(&n->collision);
    res_pieces_free(n->pieces);
    n->pieces = nullptr;
}

void meshnode_kind_draw(SceneObject **run, int32_t count) {
    NodePassCamera camera;
    node_pass_camera(&camera);
    PieceEntry **scratch = res_pieces_scratch();
    int32_t opaque = 0, blended = 0;
    Mat4 identity;
    mat4_identity(&identity);
    for (int32_t i = 0; i < count; ++i) {
        PieceMeshNode *n = obj_payload<PieceMeshNode>(run[i]);
        for (PieceEntry *p = n->pieces; p && opaque + blended < RES_PIECE_COUNT; p = p->next) {
            const uint32_t f = p->flags;
            if (!bits(f, 0, 1)) continue;
            if (camera.aux && !bits(f, 6, 1)) continue;
            if (camera.mirror && !bits(f, 7, 1)) continue;
            const ModelRecord *r = piece_model(p);
            if (!r) continue;
            VisiblePiece &v = s_visible[opaque + blended];
            piece_bounds(&v.bounds, &r->mesh);
            const float dx = v.bounds.centre.x - camera.position.x,
                        dy = v.bounds.centre.y - camera.position.y,
                        dz = v.bounds.centre.z - camera.position.z;
            const float d2 = dx * dx + dy * dy + dz * dz;
            if (d2 - v.bounds.far_allowance > camera.far_limit_sq) continue;
            if (!node_sphere_in_frustum(camera.planes, &v.bounds.centre, v.bounds.radius)) continue;
            v.piece = p;
            v.node = run[i];
            p->node_word = (uint32_t)obj_index(run[i]);
            if (bits(f, 1, 1)) {
                p->value = d2 + v.bounds.radius;
                scratch[RES_PIECE_COUNT - 1 - blended++] = p;
            } else {
                // Pieces of one node stay together: the key's top bits are the node's index.
                p->key = piece_sort_key(f, obj_index(run[i]));
                scratch[opaque++] = p;
            }
        }
    }
    if (opaque + blended == 0) return;
    piece_sort_by_key(scratch, opaque);
    piece_sort_by_distance(&scratch[RES_PIECE_COUNT - blended], blended);

    node_begin_run(&camera, true, 3);
    gpu_set_transform(GPU_TS_WORLD, &identity.m[0][0]);
    const SceneDrawSettings *s = scenedraw_settings();
    int32_t last_model = -1, last_format = -1, last_lights = 0;
    const SceneObject *last_node = nullptr;
    for (int32_t k = 0; k < opaque + blended; ++k) {
        PieceEntry *p = k < opaque ? scratch[k] : scratch[RES_PIECE_COUNT - blended + (k - opaque)];
        const VisiblePiece *v = visible_of(p);
        const ModelRecord *r = piece_model(p);
        if (!v || !r) continue;
        const PieceMeshNode *n = obj_payload<PieceMeshNode>(v->node);
        const uint32_t f = p->flags;
        uint16_t shader = n->shader_id;
        if (shader == 0 && (res_model_flags(p->model) & 1)) shader = SHADER_NORMAL_MAPPED;
        const int32_t cull = s->cull_override != -1 ? s->cull_override : (int32_t)bits(f, 13, 3);
        const int32_t alpha_ref = s->alpha_ref_over == 1 ? 4 : (int32_t)bits(f, 16, 3);
        bool changed = gfx_set_draw_states(
            node_lighting_for(&r->mesh, bits(f, 2, 1)), bits(f, 4, 1), (int32_t)bits(f, 19, 3),
            scenedraw_node_fog(bits(f, 5, 1)), (int32_t)bits(f, 8, 5), cull,
            (int32_t)bits(f, 24, 2), alpha_ref, shader);
        if ((int32_t)r->mesh.vertex_format != last_format) changed = true;
        last_format = (int32_t)r->mesh.vertex_format;

        PointLight *lights[NODE_MAX_LIGHTS];
        int32_t light_count = 0;
        if (bits(f, 3, 1))
            light_count = plight_pick_for_sphere(lights, NODE_MAX_LIGHTS, (int)view_get_current(),
                                                 &v->bounds.centre, v->bounds.radius);
        // The shader constants follow every change of states, node or lights: a piece without
        // lights after one with lights must not keep the earlier lights' constants.
        const bool same_node = v->node == last_node;
        int32_t set = -2; // no bind
        if (changed)
            set = shader;
        else if (!same_node || light_count != 0 || light_count != last_lights)
            set = -1;
        if (set != -2)
            shader_select(set, n->params, s->pass_arg, (int32_t)r->mesh.vertex_decl, nullptr,
                          &n->material, &r->mesh, nullptr, 1.0f, lights, light_count);
        last_node = v->node;
        last_lights = light_count;
        if (set >= 0 || last_model != (int32_t)p->model) {
            node_bind_buffers(&r->mesh);
            last_model = (int32_t)p->model;
        }
        node_draw_subsets(r, 0, (int32_t)bits(f, 22, 2));
    }
    node_end_run();
}
