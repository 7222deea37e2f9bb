// The frame's draw list: visible objects layer by layer, 63 first, each layer sorted by its
// full sort key (descending), and the walks that hand runs of like objects to their kinds.

#include "scene/object_internal.h"

namespace {

constexpr int32_t SORT_STACK = 2048;
constexpr int32_t SMALL_RANGE = 10; // ranges with high - low at most this go to insertion sort

struct SortScratch {
    SceneObject *entries[OBJ_POOL_SIZE];
    int32_t low[SORT_STACK];
    int32_t high[SORT_STACK];
};
SortScratch s_sort;

bool drawn(const SceneObject *o) {
    if (!(o->flags & OBJ_FLAG_VISIBLE)) return false;
    const uint32_t group = (o->flags & OBJ_FLAG_GROUP_MASK) >> OBJ_FLAG_GROUP_SHIFT;
    return obj_pool()->hidden[group] == 0;
}

void append(DrawList *list, SceneObject *o) {
    if (list->count < (uint32_t)OBJ_POOL_SIZE) list->entries[list->count++] = o;
}

// Hoare partition around the key of the middle entry; the pivot key is read once, so the
// swaps do not move it.
void partition(SceneObject **a, int32_t low, int32_t high, int32_t *out_i, int32_t *out_j) {
    const uint32_t pivot = a[(low + high) / 2]->full_key;
    int32_t i = low, j = high;
    for (;;) {
        while (a[i]->full_key > pivot) ++i;
        while (a[j]->full_key < pivot) --j;
        if (i >= j) break;
        SceneObject *t = a[i];
        a[i] = a[j];
        a[j] = t;
        ++i;
        --j;
    }
    *out_i = i;
    *out_j = j;
}

// Quicksort down to small ranges with an explicit stack (only the larger part is pushed, so it
// stays shallow), then one insertion pass over everything. Descending, unsigned keys. The exact
// steps fix the order of equal keys, which is the draw order within a run.
void sort_descending(SceneObject **a, int32_t n) {
    int32_t low = 0, high = n - 1, depth = 0;
    for (;;) {
        if (high - low <= SMALL_RANGE) {
            if (depth == 0) break;
            --depth;
            low = s_sort.low[depth];
            high = s_sort.high[depth];
        }
        int32_t i, j;
        partition(a, low, high, &i, &j);
        const int32_t left_size = i - low, right_size = high - j;
        if (left_size > right_size) {
            if (left_size > SMALL_RANGE && depth < SORT_STACK) {
                s_sort.low[depth] = low;
                s_sort.high[depth] = i - 1;
                ++depth;
            }
            low = j + 1;
        } else {
            if (right_size > SMALL_RANGE && depth < SORT_STACK) {
                s_sort.low[depth] = j + 1;
                s_sort.high[depth] = high;
                ++depth;
            }
            high = i - 1;
        }
    }
    for (int32_t k = 1; k < n; ++k) {
        SceneObject *o = a[k];
        int32_t m = k;
        while (m > 0 && a[m - 1]->full_key < o->full_key) {
            a[m] = a[m - 1];
            --m;
        }
        a[m] = o;
    }
}

// Whether `o` may join the run that `head` starts. Besides the keys, the kind (and, for layer
// walks, the layer byte) must match: an unsorted layer keeps stale keys, which must neither
// hand one kind's draw callback the objects of another nor carry a run across layers.
bool same_run(const SceneObject *head, const SceneObject *o, uint32_t mask, bool test_layer) {
    if ((o->full_key & mask) != (head->full_key & mask)) return false;
    if (o->kind != head->kind) return false;
    return !test_layer || o->layer == head->layer;
}

// Calls each run's kind with the run; a run is a maximal sequence whose keys agree in `mask`.
// The walk starts at entry `start`.
void draw_runs(uint32_t mask, bool test_layer, int32_t first, int32_t last, uint32_t start = 0) {
    const DrawList *list = obj_draw_list();
    const ObjectKind *kinds = obj_kind_table();
    const uint32_t count = list->count;
    uint32_t k = start;
    while (k < count) {
        SceneObject *head = list->entries[k];
        uint32_t end = k + 1;
        while (end < count && same_run(head, list->entries[end], mask, test_layer)) ++end;
        const int32_t layer = head->layer;
        const int32_t kind = head->kind & 0xF;
        const bool in_range = !test_layer || (layer >= first && layer <= last);
        if (in_range && kinds[kind].draw)
            kinds[kind].draw(const_cast<SceneObject **>(&list->entries[k]), (int32_t)(end - k));
        k = end;
    }
}

} // namespace

void obj_sort_layer(int32_t layer) {
    if (layer < 0 || layer >= OBJ_LAYER_COUNT) return;
    const ObjectKind *kinds = obj_kind_table();
    int32_t n = 0;
    for (SceneObject *o = obj_pool()->layer_heads[layer]; o && n < OBJ_POOL_SIZE;
         o = o->layer_next) {
        if (!drawn(o)) continue;
        uint32_t key = o->base_key;
        const ObjectSortKeyFn sort_key = kinds[o->kind & 0xF].sort_key;
        if (sort_key) key |= sort_key(o) & 0xFFFF;
        o->full_key = key;
        s_sort.entries[n++] = o;
    }
    if (n > 1) sort_descending(s_sort.entries, n);
    DrawList *list = obj_draw_list();
    for (int32_t k = 0; k < n; ++k)
        if (s_sort.entries[k]->flags & OBJ_FLAG_VISIBLE) append(list, s_sort.entries[k]);
}

void obj_build_draw_list(void) {
    DrawList *list = obj_draw_list();
    list->ready = 0;
    list->count = 0;
    for (int32_t layer = OBJ_LAYER_COUNT - 1; layer >= 0; --layer) {
        SceneObject *head = obj_pool()->layer_heads[layer];
        if (!head) continue;
        if (head->full_key != 0) {
            obj_sort_layer(layer);
            continue;
        }
        for (SceneObject *o = head; o; o = o->layer_next)
            if (drawn(o)) append(list, o);
    }
    list->ready = 1;
}

void obj_draw_layers(int32_t first, int32_t last) {
    draw_runs(OBJ_KEY_RUN_MASK, true, first, last);
}

void obj_draw_layers_from(uint32_t start, int32_t first, int32_t last) {
    draw_runs(OBJ_KEY_RUN_MASK, true, first, last, start);
}

void obj_draw_all(void) {
    draw_runs(0x00FFFFFFu, false, 0, 0);
}
