// The game's helpers for 3D content: the stage set (camera, fog and light of view 0 and a
// model set built once its texture set has loaded, all given back when the set ends), lookups
// of the stage's marker frames and the texture filters of named textures. The play of the
// game uses none of them; they are the interface through which 3D content comes in.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_pools.h"
#include "scene/object_manager.h"

typedef void (*StageSetFn)(void);

struct StageSetRow {
    const char *name;        // the model set built, and with "_dummy" the origin marker
    const char *texture_set; // the data file queued; its group holds the stage's records
    float fog_near, fog_far;
    uint32_t fog_colour;
    Vec3 light_direction;
    float light_axis[2]; // x and y of the light's axis (z 0)
    uint32_t ambient[2]; // light colours 0 and 1 (both ambient terms)
    uint32_t diffuse[2]; // light colours 2 and 3 (diffuse and specular terms)
    float fov;           // vertical, radians
    float near_plane;    //
    float far_plane[2];  // far distance and the far limit used for culling
    float projection[2]; // kept with the row; no view field takes them
    uint32_t scratch;    // cleared before the build
    StageSetFn before_build, after_build, on_finish, on_end;
    int32_t settings[24]; // operator-setting defaults carried along, read by nothing here
    const char *settings_name;
};

enum StageSetPhase : uint32_t { STAGE_PHASE_LOAD, STAGE_PHASE_BUILD, STAGE_PHASE_FINISH };

constexpr int32_t STAGE_NAME_SIZE = 64;

struct StageSetState {
    uint32_t phase;
    int32_t index;
    uint32_t mode;
    OwnerId owner;
    ResourceMark mark;
    char node_name[STAGE_NAME_SIZE]; // the set's name followed by "_dummy"
    bool active;
};

int32_t game_stage_count(void);
const StageSetRow *game_stage_row(int32_t index); // null outside the table
// Ends a set still active, then starts set `index`: a resource mark, a fresh owner and a fresh
// model set. False (nothing started) for an index outside the table or without a free owner.
bool game_stage_start(int32_t index, uint32_t mode);
// One step of loading and building; true once the set is finished (and without an active set).
bool game_stage_step(void);
// Gives back everything the set made and loaded; nothing without an active set.
void game_stage_end(void);
const StageSetState *game_stage_state(void);
const char *game_stage_name(int32_t index); // null outside the table
int32_t game_stage_index(void);             // the active set's index, -1 without one
const char *game_stage_row_name(void);      // the active set's name, null without one

// The origin marker (the set's name + "_dummy") in the stage hierarchy: its world position
// and rotation (Euler angles, yaw in y). False when the marker or the hierarchy is missing.
bool game_stage_origin(Vec3 *position, EulerAngles *rotation);
// Address codes U and V 1 (wrap) for every named texture of the group that exists.
void game_set_texture_filters(const char *group, const char *const *names, int32_t count);

// Markers named by a model name up to its first '_' plus "_swnod", "_tnd" or "_lnd", looked up
// in the current set's stage hierarchy by their world matrices.
// The swing point: its position and the fourth value of its translation row (1 for a rigid
// frame; a frame's weight when it is not).
bool game_node_swing_pos(const char *model, Vec3 *position, float *w);
bool game_node_target_pos(const char *model, Vec3 *position);
// The lamp: mode 0 its world matrix; mode 1 a matrix at its position whose z axis looks along
// its horizontal direction from the stage origin (y zeroed), y up.
bool game_node_lamp(const char *model, int32_t mode, Mat4 *out);
// The motion named by the model name up to its first '_' + "_pad" in the set's group; 0 none.
ResourceHandle game_node_pad_motion(const char *model);

// Characters: an animated node of a character row's model, its hierarchy and first motion
// (named the row's A or B), with the row's colour (diffuse) and scale factor (the material
// factor) and each attachment on its bone. Null for an unknown row, a missing model or a
// full object pool.
SceneObject *game_create_character(OwnerId parent, const Vec3 *position, const char *row,
                                   int32_t layer);
// A node's motions are those of its hierarchy's group. Both set the motion with the node's
// hierarchy kept; false (nothing changed) for a motion not found in that group.
bool game_set_motion_by_name(SceneObject *node, const char *name);
bool game_set_motion(SceneObject *node, ResourceHandle motion);
