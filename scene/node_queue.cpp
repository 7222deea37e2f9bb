#include "scene/node_queue.h"

#include <cstring>

#include "resource/res_matrix.h"

namespace {

SceneObject *s_main[NODE_QUEUE_SIZE];
SceneObject *s_side[NODE_QUEUE_SIZE];
int32_t s_stack_lo[NODE_SORT_STACK];
int32_t s_stack_hi[NODE_SORT_STACK];
int32_t s_last_depth;

static_assert(node_sort_max_pending(RES_PIECE_COUNT) <= NODE_SORT_STACK,
              "a sort of the piece pool fits the pending stack");

float as_float(uint32_t word) {
    float f;
    memcpy(&f, &word, sizeof(f));
    return f;
}

// Non-recursive quicksort, descending, then one insertion pass (an entry moves left past
// smaller values only, so equal values keep their order in that pass). `value` reads an entry's
// sort value; it is read afresh for every comparison, the pivot's once per partition.
template <typename T, typename Value> void sort_descending(T **a, int32_t n, Value value) {
    s_last_depth = 0;
    if (n < 2) return;
    int32_t lo = 0, hi = n - 1, depth = 0;
    for (;;) {
        if (hi - lo <= NODE_SORT_SMALL) {
            if (depth == 0) break;
            --depth;
            lo = s_stack_lo[depth];
            hi = s_stack_hi[depth];
        }
        const auto pivot = value(a[(lo + hi) / 2]);
        int32_t i = lo, j = hi;
        for (;;) {
            while (value(a[i]) > pivot) ++i;
            while (value(a[j]) < pivot) --j;
            if (i >= j) break;
            T *t = a[i];
            a[i] = a[j];
            a[j] = t;
            ++i;
            --j;
        }
        const int32_t left = i - lo, right = hi - j;
        // The larger part waits on the stack (when it is worth a partition), the smaller one
        // goes on; on equal sizes the right part waits.
        const bool push_left = left > right;
        const int32_t larger = push_left ? left : right;
        if (larger > NODE_SORT_SMALL && depth < NODE_SORT_STACK) {
            s_stack_lo[depth] = push_left ? lo : j + 1;
            s_stack_hi[depth] = push_left ? i - 1 : hi;
            ++depth;
            if (depth > s_last_depth) s_last_depth = depth;
        }
        if (push_left)
            lo = j + 1;
        else
            hi = i - 1;
    }
    for (int32_t k = 1; k < n; ++k) {
        T *e = a[k];
        const auto v = value(e);
        int32_t m = k;
        while (m > 0 && value(a[m - 1]) < v) {
            a[m] = a[m - 1];
            --m;
        }
        a[m] = e;
    }
}

} // namespace

float node_scratch_distance(const SceneObject *o) {
    return as_float(o->scratch);
}
void node_set_scratch_distance(SceneObject *o, float d2) {
    memcpy(&o->scratch, &d2, sizeof(d2));
}

void node_sort_by_distance(SceneObject **a, int32_t n) {
    sort_descending(a, n, [](const SceneObject *o) { return node_scratch_distance(o); });
}
void node_sort_by_key(SceneObject **a, int32_t n) {
    sort_descending(a, n, [](const SceneObject *o) { return o->scratch; });
}
void piece_sort_by_distance(PieceEntry **a, int32_t n) {
    sort_descending(a, n, [](const PieceEntry *p) { return p->value; });
}
void piece_sort_by_key(PieceEntry **a, int32_t n) {
    sort_descending(a, n, [](const PieceEntry *p) { return p->key; });
}
int32_t node_sort_last_depth(void) {
    return s_last_depth;
}

SceneObject **node_queue_array(void) {
    return s_main;
}
SceneObject **node_side_queue(void) {
    return s_side;
}
int32_t *node_sort_stack_lo(void) {
    return s_stack_lo;
}
int32_t *node_sort_stack_hi(void) {
    return s_stack_hi;
}
