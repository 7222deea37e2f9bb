#include "scene/model_set.h"

#include <cstdio>
#include <cstring>

#include "collision/coll_mesh.h"
#include "resource/res_frames.h"
#include "resource/res_pools.h"
#include "scene/model_node.h"
#include "scene/node_collision.h"
#include "scene/node_settings.h"
#include "scene/piece_node.h"

namespace {

ModelSet s_set;

// The one part the builder places: suffix and placement flags.
struct ModelSetSuffix {
    const char *suffix;
    uint32_t flags;
};
const ModelSetSuffix SUFFIXES[1] = {{"_s", MODELSET_MERGE | MODELSET_COLLISION}};

// PieceFlags fields the placement flags set.
constexpr uint32_t PIECE_BLENDED = 1u << 1, PIECE_LIGHTING = 1u << 2, PIECE_ZWRITE = 1u << 4,
                   PIECE_FOG = 1u << 5, PIECE_PASSES = 3u << 6;
constexpr int PIECE_BLEND_SHIFT = 8, PIECE_CULL_SHIFT = 13, PIECE_ALPHA_SHIFT = 16;

void piece_field(uint32_t *flags, int shift, uint32_t width_mask, uint32_t value) {
    *flags = (*flags & ~(width_mask << shift)) | (value & width_mask) << shift;
}

// Whether the text from the name's last '_' is '_' + part.
bool last_part_is(const char *name, const char *part) {
    const char *cut = name ? std::strrchr(name, '_') : nullptr;
    return cut && std::strcmp(cut + 1, part) == 0;
}

int32_t layer_for(uint32_t f) {
    if (f & MODELSET_NO_ZWRITE) return 50;
    if (f & MODELSET_BLENDED) return 51;
    return 53;
}

// First row matching the name among rows for which `wanted` holds; null without rows.
template <typename Wanted>
const ModelSetRow *row_for(const ModelSetRow *rows, const char *name, Wanted wanted) {
    for (const ModelSetRow *r = rows; r && r->pattern; ++r)
        if (wanted(*r) && modelset_name_matches(r->pattern, name)) return r;
    return nullptr;
}

// Two texts joined into a buffer of MODELSET_NAME_SIZE; false when they do not fit.
bool join_name(char *out, const char *a, size_t a_len, const char *b) {
    const int n = std::snprintf(out, MODELSET_NAME_SIZE, "%.*s%s", (int)a_len, a, b);
    return n >= 0 && n < MODELSET_NAME_SIZE;
}

SceneObject *make_model_node(const char *group, const char *frame, uint32_t f,
                             const ModelSetRow *row, const Mat4 *matrix, uint32_t load_flags) {
    const bool nd = last_part_is(frame, "nd"), ad = last_part_is(frame, "ad");
    const ResourceHandle model = res_find_model(group, frame);
    if (!nd && !model) return nullptr;
    SceneObject *o = mdlnode_create_persistent(s_set.owner, matrix, model, layer_for(f));
    if (!o) return nullptr;
    if (nd) o->flags &= ~OBJ_FLAG_VISIBLE; // an empty node: a place, nothing drawn
    if (f & MODELSET_NO_ZWRITE) {
        mdlnode_set_blended(o, 1);
        mdlnode_set_zwrite(o, 0);
    } else if (f & MODELSET_BLENDED) {
        mdlnode_set_blended(o, 1);
        mdlnode_set_alpha_ref(o, 3);
    } else {
        mdlnode_set_alpha_ref(o, 2);
    }
    if (f & MODELSET_BILLBOARD) mdlnode_set_billboard(o, 1);
    if (f & MODELSET_CULL) mdlnode_set_cull_mode(o, 2);
    mdlnode_set_lighting(o, (f & MODELSET_UNLIT) ? 0 : 1);
    mdlnode_set_fog(o, (f & MODELSET_NO_FOG) ? 0 : 1);
    if (ad) mdlnode_set_blend_mode(o, 2);
    if ((f & MODELSET_COLLISION) && !nd) {
        if (const ResourceHandle mesh = res_find_collmesh(group, frame)) {
            mdlnode_set_collision_model(o, mesh, load_flags);
            mdlnode_enable_collision(o, true);
        }
    }
    if (f & MODELSET_ALT_PASSES) {
        mdlnode_set_alt_pass1(o, 1);
        mdlnode_set_alt_pass2(o, 1);
    }
    if (row) {
        std::memcpy(o->user, &row->update_value, sizeof row->update_value);
        obj_set_update(o, row->update);
        if (row->callback) row->callback(o, model, frame);
    }
    return o;
}

bool add_piece(const char *group, const char *frame, uint32_t f, const ModelSetRow *row) {
    const ResourceHandle model = res_find_model(group, frame);
    if (!model) return false;
    uint32_t flags;
    meshnode_init_piece_flags(&flags);
    if (f & MODELSET_NO_ZWRITE)
        flags = (flags | PIECE_BLENDED) & ~PIECE_ZWRITE;
    else if (f & MODELSET_BLENDED) {
        flags |= PIECE_BLENDED;
        piece_field(&flags, PIECE_ALPHA_SHIFT, 7, 3);
    } else {
        piece_field(&flags, PIECE_ALPHA_SHIFT, 7, 2);
    }
    if (f & MODELSET_CULL) piece_field(&flags, PIECE_CULL_SHIFT, 7, 2);
    if (f & MODELSET_UNLIT) flags &= ~PIECE_LIGHTING;
    if (f & MODELSET_NO_FOG) flags &= ~PIECE_FOG;
    if (last_part_is(frame, "ad")) piece_field(&flags, PIECE_BLEND_SHIFT, 31, 2);
    if (f & MODELSET_ALT_PASSES) flags |= PIECE_PASSES;
    if (row && row->piece) row->piece(&flags, model, frame);
    return res_pieces_add(group, frame, &flags);
}

SceneObject *make_piece_node(PieceEntry *chain, uint32_t f, ResourceHandle mesh,
                             uint32_t load_flags) {
    if (!chain) return nullptr;
    SceneObject *o = obj_create(s_set.owner);
    if (!o) return nullptr;
    obj_set_kind(o, meshnode_kind_id());
    node_show(o);
    obj_set_layer(o, layer_for(f));
    meshnode_set_pieces(o, chain);
    if ((f & MODELSET_COLLISION) && (int32_t)mesh >= 1)
        meshnode_set_collision_model(o, mesh, load_flags);
    return o;
}

SceneObject *place_merged(const char *group, ResourceHandle hierarchy, ResourceHandle mesh,
                          const ModelSetRow *rows, uint32_t f, uint32_t load_flags,
                          ModelSetSlot *slot) {
    FrameWalk walk;
    if (!res_frames_begin(&walk, hierarchy)) return nullptr;
    res_pieces_begin();
    FrameItem it;
    while (res_frames_next(&walk, &it)) {
        if (it.tag != RES_FRAME_NAME || !it.name || last_part_is(it.name, "nd")) continue;
        const ModelSetRow *row =
            row_for(rows, it.name, [](const ModelSetRow &r) { return r.piece != nullptr; });
        if (add_piece(group, it.name, f, row)) ++slot->count;
    }
    PieceEntry *chain = nullptr;
    res_pieces_end(&chain);
    SceneObject *node = make_piece_node(chain, f, mesh, load_flags);
    if (!node && chain) {
        // No object for the chain: give its entries back rather than leave the pool short.
        res_pieces_free(chain);
        slot->count = 0;
    }
    return node;
}

void place_separate(const char *group, ResourceHandle hierarchy, const ModelSetRow *rows,
                    uint32_t f, uint32_t load_flags, ModelSetSlot *slot) {
    FrameWalk walk;
    if (!res_frames_begin(&walk, hierarchy)) return;
    // Back to the entry depth at the end, whatever the list's pushes and pops: the stack is
    // shared with every later walker.
    const int32_t entry = res_matrix_depth();
    res_matrix_push();
    res_matrix_load(nullptr);
    res_matrix_push();
    FrameItem it;
    while (res_frames_next(&walk, &it)) {
        if (res_frames_apply_to_stack(&it) || !it.name) continue;
        const ModelSetRow *row = row_for(rows, it.name, [](const ModelSetRow &r) {
            return r.callback || r.update_value || r.update;
        });
        if (make_model_node(group, it.name, f, row, res_matrix_top(), load_flags)) ++slot->count;
    }
    while (res_matrix_depth() > entry) res_matrix_pop();
}

const CollisionMeshRecord *wall_record(void) {
    return s_set.wall_mesh ? res_collmesh_record(s_set.wall_mesh) : nullptr;
}

} // namespace

bool modelset_name_matches(const char *p, const char *n) {
    if (!p || !n) return false;
    while (*p) {
        if (*p == '*') return *n != 0;
        if (*p == '#') {
            if (*n < '0' || *n > '9') return false;
            while (*n >= '0' && *n <= '9') ++n;
            ++p;
            continue;
        }
        if (*p != *n) return false;
        ++p;
        ++n;
    }
    return *n == 0;
}

OwnerId modelset_init(void) {
    if (s_set.owner) modelset_release();
    s_set = ModelSet{};
    s_set.owner = owner_alloc();
    return s_set.owner;
}

void modelset_release(void) {
    if (s_set.owner) {
        obj_release_owner(s_set.owner);
        owner_free(s_set.owner);
    }
    s_set = ModelSet{};
}

OwnerId modelset_owner(void) {
    return s_set.owner;
}

const ModelSet *modelset_get(void) {
    return &s_set;
}

SceneObject *modelset_place_part(const char *group, const char *part, const ModelSetRow *rows,
                                 uint32_t f, uint32_t load_flags) {
    // Objects of owner 0 are never released: without an owner nothing is placed.
    if (!s_set.owner || !part) return nullptr;
    const ResourceHandle hierarchy = res_find_hierarchy(group, part);
    if (!hierarchy || s_set.slot_count >= MODELSET_SLOT_COUNT) return nullptr;
    const bool merge = (f & MODELSET_MERGE) != 0;
    if (!merge && !res_frames_stack_room(hierarchy, 2)) return nullptr;
    ModelSetSlot *slot = &s_set.slots[s_set.slot_count++];
    *slot = ModelSetSlot{f, 0};
    if (merge)
        return place_merged(group, hierarchy, res_find_collmesh(group, part), rows, f, load_flags,
                            slot);
    place_separate(group, hierarchy, rows, f, load_flags, slot);
    return nullptr;
}

ResourceHandle modelset_build(const char *group, const char *name, const ModelSetRow *rows,
                              uint32_t load_flags) {
    if (!s_set.owner || !name) return 0;
    const char *cut = std::strrchr(name, '_');
    const size_t base = cut ? (size_t)(cut - name) : std::strlen(name);
    char part[MODELSET_NAME_SIZE], wall[MODELSET_NAME_SIZE];
    // A name cut short would name another resource: refuse it instead.
    if (!join_name(part, name, base, SUFFIXES[0].suffix) || !join_name(wall, name, base, "_wall"))
        return 0;
    s_set.part_result = modelset_place_part(group, part, rows, SUFFIXES[0].flags, load_flags);
    s_set.wall_mesh = res_find_collmesh(group, wall);
    return s_set.wall_mesh;
}

SceneObject *modelset_part_by_suffix(const char *suffix) {
    for (const ModelSetSuffix &s : SUFFIXES)
        if (suffix && std::strcmp(s.suffix, suffix) == 0) return s_set.part_result;
    return nullptr;
}

uint32_t modelset_kind_count(uint32_t kind) {
    for (uint32_t i = 0; i < s_set.slot_count; ++i)
        if ((s_set.slots[i].flags & ~MODELSET_COLLISION) == kind) return s_set.slots[i].count;
    return 0;
}

bool modelset_wall_raycast(const Vec3 *start, const Vec3 *delta, Vec3 *out_point, Vec3 *out_normal,
                           uint32_t *out_face) {
    const CollisionMeshRecord *r = wall_record();
    return r && start && delta &&
           coll_raycast_mesh(r, nullptr, start, delta, out_point, out_normal, out_face) != 0;
}

bool modelset_wall_sweep(const Vec3 *start, const Vec3 *delta, Vec3 *out_hit, Vec3 *out_slide,
                         Vec3 *out_normal, uint32_t *out_face) {
    const CollisionMeshRecord *r = wall_record();
    return r && start && delta &&
           coll_segment_slide_mesh(r, nullptr, start, delta, out_hit, out_slide, out_normal,
                                   out_face) != 0;
}
