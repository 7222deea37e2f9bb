// The model set: a stage's frame hierarchy placed in the scene under one owner id, either as
// one piece-mesh node holding every model frame as a piece (merge) or as one model node per
// frame walked with the matrix stack (separate), together with the set's wall collision mesh.
// One global record holds the set; releasing it releases every object it made.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "scene/object_manager.h"

constexpr int32_t MODELSET_SLOT_COUNT = 16;
// Room for a part or wall name: the set's base name and its suffix. Longer names are refused.
constexpr int32_t MODELSET_NAME_SIZE = 64;

// Placement flags of a part, used for every node it makes.
enum : uint32_t {
    MODELSET_MERGE = 0x001,      // frames become pieces of one piece-mesh node
    MODELSET_NO_ZWRITE = 0x002,  // blended, no depth writes, layer 50
    MODELSET_BILLBOARD = 0x004,  // the node faces the camera
    MODELSET_CULL = 0x008,       // cull mode 2
    MODELSET_UNLIT = 0x010,      // lighting off
    MODELSET_NO_FOG = 0x020,     // fog off
    MODELSET_BLENDED = 0x040,    // blended, alpha reference 3, layer 51 (without 0x002)
    MODELSET_COLLISION = 0x080,  // a collider on the part's or frame's collision mesh
    MODELSET_ALT_PASSES = 0x100, // the aux and mirror passes on
};

typedef void (*ModelSetNodeFn)(SceneObject *node, ResourceHandle model, const char *frame);
typedef void (*ModelSetPieceFn)(uint32_t *piece_flags, ResourceHandle model, const char *frame);

// A frame row: the first row whose pattern matches a frame's name applies to it. A table ends
// with a row whose pattern is null. Patterns: '#' matches a run of one or more digits, '*' the
// rest of the name (at least one character); other characters match themselves.
struct ModelSetRow {
    const char *pattern;
    ModelSetNodeFn callback; // separate mode: called with each node made
    uint32_t update_value;   // separate mode: stored in the node's first user word
    ObjectUpdateFn update;   // separate mode: the node's update callback
    ModelSetPieceFn piece;   // merge mode: may change each piece's flags word
};

struct ModelSetSlot {
    uint32_t flags; // placement flags of the part
    uint32_t count; // objects (separate) or pieces (merge) made for it
};

struct ModelSet {
    ModelSetSlot slots[MODELSET_SLOT_COUNT];
    SceneObject *part_result; // piece-mesh node of the "_s" part; null when none was made
    ResourceHandle wall_mesh; // base name + "_wall"; 0 when absent
    uint32_t slot_count;
    OwnerId owner;
};

// Releases a set still held, then starts a fresh one under a new owner id (0 when none is
// free: nothing is built then).
OwnerId modelset_init(void);
// Releases every object of the set's owner and frees the id; the record is cleared.
void modelset_release(void);
// Places the part base name + "_s" (the base name is the name cut at its last '_') merged
// with collision, and finds the wall mesh base name + "_wall"; the wall mesh handle, 0 when
// none or when nothing could be built (no owner, a name too long).
ResourceHandle modelset_build(const char *group, const char *name, const ModelSetRow *rows,
                              uint32_t load_flags);
OwnerId modelset_owner(void);
const ModelSet *modelset_get(void);

// Places one part (a hierarchy named `part`); the piece-mesh node in merge mode, else null.
SceneObject *modelset_place_part(const char *group, const char *part, const ModelSetRow *rows,
                                 uint32_t placement, uint32_t load_flags);
// The piece-mesh node of the part with that suffix ("_s"), null otherwise.
SceneObject *modelset_part_by_suffix(const char *suffix);
// Object count of the first slot whose flags without the collision bit equal `kind`, 0 when
// none (the builder places kind 1, a merged part).
uint32_t modelset_kind_count(uint32_t kind);

bool modelset_name_matches(const char *pattern, const char *name);

// Segment queries against the wall mesh (no transform); false without a wall mesh.
bool modelset_wall_raycast(const Vec3 *start, const Vec3 *delta, Vec3 *out_point, Vec3 *out_normal,
                           uint32_t *out_face);
bool modelset_wall_sweep(const Vec3 *start, const Vec3 *delta, Vec3 *out_hit, Vec3 *out_slide,
                         Vec3 *out_normal, uint32_t *out_face);
