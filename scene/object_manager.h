// The object manager: every drawable or updatable thing of a scene is a SceneObject taken from
// one fixed pool. Objects have a kind (registered once at graphics start-up), a draw layer
// 0-63, a sub-order and an owner. Each frame the update pass runs the objects' own update
// callbacks, the draw list collects the visible objects layer by layer in sort-key order, the
// layer ranges are drawn through the kinds' draw callbacks one run of like objects at a time,
// and objects killed for one frame are destroyed after presentation.
#pragma once
#include <cstdint>

#include "scene/owner_id.h"

struct SceneObject;

typedef int (*ObjectUpdateFn)(SceneObject *object); // non-zero destroys the object
typedef void (*ObjectDestroyFn)(SceneObject *object);
typedef void (*ObjectDrawFn)(SceneObject **run, int32_t count);
typedef void (*ObjectInitFn)(SceneObject *object);
typedef void (*ObjectTermFn)(SceneObject *object);
typedef uint32_t (*ObjectSortKeyFn)(SceneObject *object);

enum : int32_t {
    OBJ_POOL_SIZE = 4096,
    OBJ_LAYER_COUNT = 64,
    OBJ_KIND_ROWS = 16, // row 0 is never used
    OBJ_GROUP_COUNT = 8,
    OBJ_PAYLOAD_BYTES = 256,
    OBJ_USER_BYTES = 256,
    OBJ_DEFAULT_SUB_ORDER = 7,
};

enum : uint32_t {
    OBJ_FLAG_IN_USE = 1u << 0,
    OBJ_FLAG_KILL_MASK = 3u << 1, // non-zero: destroy after this frame's draw
    OBJ_FLAG_KILLED = 2u << 1,    // what obj_kill writes
    OBJ_FLAG_VISIBLE = 1u << 3,
    OBJ_FLAG_GROUP_SHIFT = 4, // DrawGroup 0-7 in bits 4-6
    OBJ_FLAG_GROUP_MASK = 7u << 4,
    OBJ_FLAG_ON_UPDATE = 1u << 7,
};

// ObjectSortKey: layer in bits 24-31, sub-order in 20-23, kind id in 16-19, kind's key in 0-15.
enum : uint32_t {
    OBJ_KEY_LAYER_SHIFT = 24,
    OBJ_KEY_SUB_SHIFT = 20,
    OBJ_KEY_KIND_SHIFT = 16,
    OBJ_KEY_RUN_MASK = 0xFFFF0000u, // layer, sub-order and kind: one draw run
};

struct SceneObject {
    uint32_t scratch; // free for the kind's draw callback; the manager never touches it
    uint32_t flags;
    uint8_t kind;      // 1-15; 0 = no kind yet
    uint8_t layer;     // DrawLayer 0-63
    uint8_t sub_order; // low 4 bits enter the key; default 7
    uint32_t full_key; // the sort key last computed for this object
    uint32_t owner;    // OwnerId
    uint32_t base_key; // layer, sub-order and kind bits of the key; bits 0-15 zero
    ObjectUpdateFn update;
    ObjectDestroyFn destroy;
    SceneObject *active_prev, *active_next; // active list, or the free list while free
    SceneObject *update_prev, *update_next;
    SceneObject *layer_prev, *layer_next;
    alignas(16) uint8_t payload[OBJ_PAYLOAD_BYTES]; // the kind's own record; zeroed at creation
    uint8_t user[OBJ_USER_BYTES];                   // free for the creator; zeroed at creation
};

// The kind's record inside an object's payload.
template <typename T> inline T *obj_payload(SceneObject *object) {
    static_assert(sizeof(T) <= OBJ_PAYLOAD_BYTES, "kind payloads stay within 256 bytes");
    return reinterpret_cast<T *>(object->payload);
}
template <typename T> inline const T *obj_payload(const SceneObject *object) {
    static_assert(sizeof(T) <= OBJ_PAYLOAD_BYTES, "kind payloads stay within 256 bytes");
    return reinterpret_cast<const T *>(object->payload);
}

struct ObjectKind {
    uint32_t used;
    ObjectDrawFn draw;
    ObjectInitFn init;
    ObjectTermFn term;
    ObjectSortKeyFn sort_key;
};

struct DrawList {
    uint32_t ready;
    uint32_t count;
    SceneObject *entries[OBJ_POOL_SIZE];
};

// Lifecycle. Init and term clear the kind table and reset everything; reset keeps the kinds
// and runs no destroy, term or release callback.
void obj_manager_init(void);
void obj_manager_term(void);
void obj_reset_all(void);

// Kinds: the lowest free row 1-15 gets the callbacks (each may be null); 0 for a payload over
// 256 bytes or a full table.
int32_t obj_register_kind(ObjectDrawFn draw, ObjectInitFn init, ObjectTermFn term,
                          ObjectSortKeyFn sort_key, int32_t payload_size);
// Only for an object without a kind: stores the id, runs the kind's init, sets the key bits.
// Ids outside 1-15 are refused.
void obj_set_kind(SceneObject *object, int32_t kind_id);
const ObjectKind *obj_get_kind(int32_t kind_id); // null outside 1-15

// Objects. obj_create gives null when the pool is empty or the owner is above 8191.
SceneObject *obj_create(OwnerId owner);
void obj_destroy(SceneObject *object); // null, foreign or free objects: nothing
void obj_kill(SceneObject *object);    // destroyed after this frame's draw
void obj_set_update(SceneObject *object, ObjectUpdateFn callback);
void obj_join_update_list(SceneObject *object);
void obj_leave_update_list(SceneObject *object);
void obj_set_layer(SceneObject *object, int32_t layer); // layers above 63 are refused
void obj_set_sub_order(SceneObject *object, int32_t value);
void obj_unlink_layer(SceneObject *object);
void obj_link_layer(SceneObject *object, int32_t layer);
// Calls fn with every active object, newest first. Destroying objects from fn is safe.
void obj_for_each(void (*fn)(SceneObject *object));
void obj_release_owner(OwnerId owner);
void obj_show_group(int32_t group, bool shown);
void obj_show_all_groups(bool shown);
void obj_skip_next_update(void);

// Per frame, in this order: update pass, draw-list build, layer ranges, destroy killed.
void obj_update_pass(void);
void obj_build_draw_list(void);
void obj_draw_layers(int32_t first, int32_t last);
// The same walk from draw-list entry `start` on: the entries before it are passed over.
void obj_draw_layers_from(uint32_t start, int32_t first, int32_t last);
void obj_draw_all(void);
void obj_destroy_killed(void);
// Sorts a layer's visible objects into the draw list (part of the build).
void obj_sort_layer(int32_t layer);

// Counters and inspection.
int32_t obj_get_update_count(void); // last pass: destroyed by callbacks + live after it
int32_t obj_get_update_list_count(void);
uint32_t obj_get_update_frame(void);
int32_t obj_get_live_count(void);
const DrawList *obj_get_draw_list(void);
int32_t obj_index(const SceneObject *object); // pool index, -1 for a foreign pointer
SceneObject *obj_at(int32_t index);           // null outside the pool
