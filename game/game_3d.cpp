#include "game/game_3d.h"

#include <cstdio>
#include <cstring>

#include "game/asset_groups.h"
#include "math/mat4.h"
#include "math/vec.h"
#include "render/view.h"
#include "resource/loader.h"
#include "resource/res_frames.h"
#include "resource/res_texture.h"
#include "scene/anim_node.h"
#include "scene/attachment.h"
#include "scene/model_set.h"

namespace {

StageSetRow s_rows[1] = {{
    "stage",
    "s1",
    500.0f,
    1000.0f,
    0xFFFFFFFFu,
    {-1.0f, -1.0f, 0.0f},
    {0.0f, 1.0f},
    {0x00141414u, 0x00141414u},
    {0xFFFFFFFFu, 0xFFFFFFFFu},
    1.0471976f,
    0.1f,
    {500.0f, 500.0f},
    {80.0f, 140.0f},
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    {16, 12, 26000, 44000, 28000, 47000, 4000, 64000, 7,  1,   1, 2,
     1,  3,  15,    30,    20,    60,    80,   10,    16, 100, 1, 0},
    "sndvol",
}};

StageSetState s_state;

constexpr int32_t STAGE_COUNT = (int32_t)(sizeof s_rows / sizeof s_rows[0]);

void call(StageSetFn fn) {
    if (fn) fn();
}

// The row of the active set, else the first: marker lookups work whenever its data is loaded.
const StageSetRow &current_row(void) {
    return s_rows[s_state.active ? s_state.index : 0];
}

// The first `n` characters of the text followed by the suffix; false when that does not fit
// (a name cut short would name another record).
bool join(char (&out)[STAGE_NAME_SIZE], const char *text, size_t n, const char *suffix) {
    const int w = std::snprintf(out, STAGE_NAME_SIZE, "%.*s%s", (int)n, text, suffix);
    return w >= 0 && w < STAGE_NAME_SIZE;
}

// The model name up to its first '_', followed by the suffix.
bool first_part_with(char (&out)[STAGE_NAME_SIZE], const char *model, const char *suffix) {
    if (!model) return false;
    const char *cut = std::strchr(model, '_');
    return join(out, model, cut ? (size_t)(cut - model) : std::strlen(model), suffix);
}

// The stage hierarchy: the set's name + "_s" in its texture set's group.
ResourceHandle stage_hierarchy(void) {
    const StageSetRow &row = current_row();
    char name[STAGE_NAME_SIZE];
    return join(name, row.name, std::strlen(row.name), "_s")
               ? res_find_hierarchy(row.texture_set, name)
               : 0;
}

// The world matrix of the marker named by the model's first name part + suffix.
bool marker_matrix(const char *model, const char *suffix, Mat4 *out) {
    char name[STAGE_NAME_SIZE];
    return first_part_with(name, model, suffix) &&
           res_frame_world_matrix(stage_hierarchy(), name, out);
}

Vec3 translation_of(const Mat4 &m) {
    return {m.m[3][0], m.m[3][1], m.m[3][2]};
}

} // namespace

int32_t game_stage_count(void) {
    return STAGE_COUNT;
}

const StageSetRow *game_stage_row(int32_t index) {
    return index >= 0 && index < STAGE_COUNT ? &s_rows[index] : nullptr;
}

bool game_stage_start(int32_t index, uint32_t mode) {
    const StageSetRow *row = game_stage_row(index);
    if (!row) return false;
    char node_name[STAGE_NAME_SIZE];
    if (!join(node_name, row->name, std::strlen(row->name), "_dummy")) return false;
    // A set still running gives back its owner and resources before the new one starts.
    if (s_state.active) game_stage_end();
    s_state = StageSetState{};
    s_state.owner = owner_alloc();
    if (!s_state.owner) return false;
    s_state.index = index;
    s_state.mode = mode;
    res_mark(&s_state.mark);
    if (!modelset_init()) {
        owner_free(s_state.owner);
        s_state = StageSetState{};
        return false;
    }
    std::memcpy(s_state.node_name, node_name, sizeof node_name);
    s_state.active = true;
    return true;
}

bool game_stage_step(void) {
    if (!s_state.active) return true;
    StageSetRow &row = s_rows[s_state.index];
    switch (s_state.phase) {
        case STAGE_PHASE_LOAD: {
            if (row.texture_set) game_load_texture_group(row.texture_set, 2);
            view_set_fog_mode(0, 1);
            view_set_fog_start(0, row.fog_near);
            view_set_fog_end(0, row.fog_far);
            view_set_fog_color(0, row.fog_colour);
            view_set_light_goal_dir(0, &row.light_direction);
            const Vec3 axis = {row.light_axis[0], row.light_axis[1], 0.0f};
            view_set_light_goal_axis(0, &axis);
            view_set_light_goal_color0(0, row.ambient[0]);
            view_set_light_goal_color1(0, row.ambient[1]);
            view_set_light_goal_color2(0, row.diffuse[0]);
            view_set_light_goal_color3(0, row.diffuse[1]);
            view_set_fov(0, row.fov);
            view_set_clip(0, row.near_plane, row.far_plane[0], row.far_plane[1]);
            s_state.phase = STAGE_PHASE_BUILD;
            return false;
        }
        case STAGE_PHASE_BUILD:
            if (loader_run_until(80.0f) != 0) return false;
            row.scratch = 0;
            call(row.before_build);
            modelset_build(row.texture_set, row.name, nullptr, 0);
            call(row.after_build);
            s_state.phase = STAGE_PHASE_FINISH;
            return false;
        default:
            call(row.on_finish);
            return true;
    }
}

void game_stage_end(void) {
    // Only an active set: releasing to a spent or zeroed mark would empty every pool.
    if (!s_state.active) return;
    call(s_rows[s_state.index].on_end);
    modelset_release();
    res_release_to_mark(&s_state.mark);
    obj_release_owner(s_state.owner);
    owner_free(s_state.owner);
    s_state = StageSetState{};
}

const StageSetState *game_stage_state(void) {
    return &s_state;
}

const char *game_stage_name(int32_t index) {
    const StageSetRow *row = game_stage_row(index);
    return row ? row->name : nullptr;
}

int32_t game_stage_index(void) {
    return s_state.active ? s_state.index : -1;
}

const char *game_stage_row_name(void) {
    return s_state.active ? s_rows[s_state.index].name : nullptr;
}

bool game_stage_origin(Vec3 *position, EulerAngles *rotation) {
    Mat4 m;
    char name[STAGE_NAME_SIZE];
    const char *set = current_row().name;
    if (!join(name, set, std::strlen(set), "_dummy") ||
        !res_frame_world_matrix(stage_hierarchy(), name, &m))
        return false;
    if (position) *position = translation_of(m);
    if (rotation) mat4_to_euler(rotation, &m);
    return true;
}

void game_set_texture_filters(const char *group, const char *const *names, int32_t count) {
    for (int32_t i = 0; names && i < count; ++i)
        if (const ResourceHandle t = names[i] ? res_find_texture(group, names[i]) : 0)
            res_set_texture_filter(t, 1, 1);
}

bool game_node_swing_pos(const char *model, Vec3 *position, float *w) {
    Mat4 m;
    if (!marker_matrix(model, "_swnod", &m)) return false;
    if (position) *position = translation_of(m);
    if (w) *w = m.m[3][3];
    return true;
}

bool game_node_target_pos(const char *model, Vec3 *position) {
    Mat4 m;
    if (!marker_matrix(model, "_tnd", &m)) return false;
    if (position) *position = translation_of(m);
    return true;
}

bool game_node_lamp(const char *model, int32_t mode, Mat4 *out) {
    Mat4 m;
    if (!out || !marker_matrix(model, "_lnd", &m)) return false;
    if (mode == 0) {
        *out = m;
        return true;
    }
    const Vec3 at = translation_of(m), forward = {at.x, 0.0f, at.z}, up = {0.0f, 1.0f, 0.0f};
    if (vec3_dot(&forward, &forward) < 1e-12f) {
        mat4_identity(out);
        out->m[3][0] = at.x;
        out->m[3][1] = at.y;
        out->m[3][2] = at.z;
        return true;
    }
    mat4_orient_along_up(out, &at, &forward, &up, 0);
    return true;
}

ResourceHandle game_node_pad_motion(const char *model) {
    char name[STAGE_NAME_SIZE];
    return first_part_with(name, model, "_pad") ? res_find_motion(current_row().texture_set, name)
                                                : 0;
}

SceneObject *game_create_character(OwnerId parent, const Vec3 *position, const char *name,
                                   int32_t layer) {
    const CharacterRow *row = game_character_by_name(name);
    if (!row) return nullptr;
    const ResourceHandle model = res_find_model(row->model_group, row->hierarchy);
    if (!model) return nullptr;
    Mat4 world;
    mat4_identity(&world);
    if (position) {
        world.m[3][0] = position->x;
        world.m[3][1] = position->y;
        world.m[3][2] = position->z;
    }
    SceneObject *node = animnode_create(parent, &world, model, layer);
    if (!node) return nullptr;
    ResourceHandle motion = 0;
    game_find_motion(nullptr, &motion, row->motion_a, row->motion_b, 0);
    animnode_set_motion(node, (int32_t)res_find_hierarchy(row->model_group, row->hierarchy),
                        (int32_t)motion);
    animnode_set_color(node, row->colour);
    animnode_set_factor(node, row->scale);
    for (int32_t i = 0; i < row->attachment_count; ++i) {
        const CharacterAttachment &a = row->attachments[i];
        const ResourceHandle m = res_find_model(a.model_group, a.model_name);
        if (attach_model_to_bone(node, i, m, a.bone_name)) attach_set_diffuse(node, i, a.colour);
    }
    return node;
}

// The group of the node's hierarchy: where its motions are looked up.
static const char *motion_group(SceneObject *node) {
    return res_hierarchy_group(animnode_hierarchy_handle(node));
}

bool game_set_motion_by_name(SceneObject *node, const char *name) {
    const char *group = motion_group(node);
    const ResourceHandle motion = group && name ? res_find_motion(group, name) : 0;
    if (!motion) return false;
    animnode_set_motion(node, -1, (int32_t)motion);
    return true;
}

bool game_set_motion(SceneObject *node, ResourceHandle motion) {
    const char *group = motion_group(node), *of = res_motion_group(motion);
    // A motion of another group was made for another hierarchy.
    if (!group || !of || std::strcmp(group, of) != 0) return false;
    animnode_set_motion(node, -1, (int32_t)motion);
    return true;
}
