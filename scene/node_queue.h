// The render queue shared by the 3D node kinds (one draw callback runs at a time), its sorts and
// the pending-range stack they share. The 3D sprite kind borrows the main queue and the stack.
#pragma once
#include <cstdint>

#include "scene/object_manager.h"

struct PieceEntry;

enum : int32_t {
    NODE_QUEUE_SIZE = OBJ_POOL_SIZE,
    NODE_SORT_STACK = 9,
    NODE_SORT_SMALL = 10, // ranges with hi - lo at most this are left to the insertion pass
};

// Pending ranges that a quicksort of n entries can hold at most: the larger part is pushed and
// the smaller worked on, so after d pushes the range in hand holds at most n / 2^d entries, and
// only a range of 12 entries or more has a part of more than 10 to push.
constexpr int32_t node_sort_max_pending(int32_t n) {
    return n >= NODE_SORT_SMALL + 2 ? 1 + node_sort_max_pending(n / 2) : 0;
}
static_assert(node_sort_max_pending(NODE_QUEUE_SIZE) <= NODE_SORT_STACK,
              "a sort of the whole object pool fits the pending stack");

// Descending sorts. The node sorts read word 0 (scratch) of each object as a float distance or
// an unsigned key; the piece sorts read the piece entry's sort value.
void node_sort_by_distance(SceneObject **array, int32_t count);
void node_sort_by_key(SceneObject **array, int32_t count);
void piece_sort_by_distance(PieceEntry **array, int32_t count);
void piece_sort_by_key(PieceEntry **array, int32_t count);
// The deepest the pending stack went during the latest sort.
int32_t node_sort_last_depth(void);

float node_scratch_distance(const SceneObject *object);
void node_set_scratch_distance(SceneObject *object, float d2);

SceneObject **node_queue_array(void); // the main queue
SceneObject **node_side_queue(void);
int32_t *node_sort_stack_lo(void);
int32_t *node_sort_stack_hi(void);
