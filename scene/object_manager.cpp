#include "scene/object_manager.h"

#include <cstring>

#include "render/movie.h"
#include "render/rtview.h"
#include "scene/object_internal.h"
#include "scene/point_light.h"

namespace {

ObjectPool s_pool;
ObjectKind s_kinds[OBJ_KIND_ROWS]; // outside the pool block: a reset keeps the kinds
DrawList s_draw_list;

// A list walk in progress. Unlinking the object a walk would visit next moves the walk on, so
// callbacks may destroy any object, the next one included, while a walk runs.
enum WalkListId { WALK_ACTIVE, WALK_UPDATE };
struct WalkCursor {
    WalkListId list;
    SceneObject *next;
    WalkCursor *outer;
};
WalkCursor *s_walks;

struct WalkScope {
    WalkCursor cursor;
    WalkScope(WalkListId list, SceneObject *first) : cursor{list, first, s_walks} {
        s_walks = &cursor;
    }
    ~WalkScope() { s_walks = cursor.outer; }
    SceneObject *take() {
        SceneObject *o = cursor.next;
        if (o) cursor.next = cursor.list == WALK_ACTIVE ? o->active_next : o->update_next;
        return o;
    }
};

void walks_skip(WalkListId list, SceneObject *o, SceneObject *successor) {
    for (WalkCursor *c = s_walks; c; c = c->outer)
        if (c->list == list && c->next == o) c->next = successor;
}

bool in_use(const SceneObject *o) {
    return obj_index(o) >= 0 && (o->flags & OBJ_FLAG_IN_USE);
}

bool layer_linked(const SceneObject *o) {
    return o->layer_prev || s_pool.layer_heads[o->layer & 63] == o;
}

void active_unlink(SceneObject *o) {
    walks_skip(WALK_ACTIVE, o, o->active_next);
    if (o->active_prev)
        o->active_prev->active_next = o->active_next;
    else
        s_pool.active_head = o->active_next;
    if (o->active_next) o->active_next->active_prev = o->active_prev;
    o->active_prev = o->active_next = nullptr;
}

void set_key_bits(SceneObject *o, uint32_t shift, uint32_t mask, uint32_t value) {
    o->base_key = (o->base_key & ~(mask << shift)) | ((value & mask) << shift);
}

} // namespace

ObjectPool *obj_pool(void) {
    return &s_pool;
}
ObjectKind *obj_kind_table(void) {
    return s_kinds;
}
DrawList *obj_draw_list(void) {
    return &s_draw_list;
}

int32_t obj_index(const SceneObject *o) {
    if (o < s_pool.objects || o >= s_pool.objects + OBJ_POOL_SIZE) return -1;
    const uintptr_t offset = (uintptr_t)o - (uintptr_t)s_pool.objects;
    if (offset % sizeof(SceneObject) != 0) return -1;
    return (int32_t)(offset / sizeof(SceneObject));
}

SceneObject *obj_at(int32_t index) {
    return index >= 0 && index < OBJ_POOL_SIZE ? &s_pool.objects[index] : nullptr;
}

void obj_manager_init(void) {
    memset(s_kinds, 0, sizeof(s_kinds));
    obj_reset_all();
}

void obj_manager_term(void) {
    memset(s_kinds, 0, sizeof(s_kinds));
    obj_reset_all();
}

void obj_reset_all(void) {
    memset(&s_pool, 0, sizeof(s_pool));
    memset(&s_draw_list, 0, sizeof(s_draw_list));
    for (int32_t i = 0; i < OBJ_POOL_SIZE; ++i) {
        SceneObject *o = &s_pool.objects[i];
        o->active_prev = i > 0 ? o - 1 : nullptr;
        o->active_next = i + 1 < OBJ_POOL_SIZE ? o + 1 : nullptr;
    }
    s_pool.free_head = &s_pool.objects[0];
    // A walk interrupted by the reset ends here rather than running into the free list.
    for (WalkCursor *c = s_walks; c; c = c->outer) c->next = nullptr;
    owner_clear_all();
    obj_aux_init();
    rtview_reset_slots();
    plight_init_pool();
    movie_reset_slots();
}

int32_t obj_register_kind(ObjectDrawFn draw, ObjectInitFn init, ObjectTermFn term,
                          ObjectSortKeyFn sort_key, int32_t payload_size) {
    if (payload_size > OBJ_PAYLOAD_BYTES) return 0;
    for (int32_t id = 1; id < OBJ_KIND_ROWS; ++id) {
        ObjectKind *k = &s_kinds[id];
        if (k->used) continue;
        k->draw = draw;
        k->init = init;
        k->term = term;
        k->sort_key = sort_key;
        k->used = 1;
        return id;
    }
    return 0;
}

const ObjectKind *obj_get_kind(int32_t kind_id) {
    return kind_id >= 1 && kind_id < OBJ_KIND_ROWS ? &s_kinds[kind_id] : nullptr;
}

void obj_set_kind(SceneObject *o, int32_t kind_id) {
    if (!in_use(o) || o->kind != 0) return;
    if (kind_id < 1 || kind_id >= OBJ_KIND_ROWS) return;
    o->kind = (uint8_t)kind_id;
    if (s_kinds[kind_id].init) s_kinds[kind_id].init(o);
    set_key_bits(o, OBJ_KEY_KIND_SHIFT, 0xF, (uint32_t)kind_id);
}

SceneObject *obj_create(OwnerId owner) {
    if (owner >= OWNER_ID_COUNT) return nullptr;
    SceneObject *o = s_pool.free_head;
    if (!o) return nullptr;
    s_pool.free_head = o->active_next;
    if (s_pool.free_head) s_pool.free_head->active_prev = nullptr;
    memset(o, 0, sizeof(*o));
    o->active_next = s_pool.active_head;
    if (o->active_next) o->active_next->active_prev = o;
    s_pool.active_head = o;
    o->flags = OBJ_FLAG_IN_USE;
    o->owner = owner;
    obj_link_layer(o, 0);
    obj_set_sub_order(o, OBJ_DEFAULT_SUB_ORDER);
    s_pool.live_count++;
    return o;
}

void obj_destroy(SceneObject *o) {
    if (!in_use(o) || (o->flags & OBJ_FLAG_DYING)) return;
    o->flags |= OBJ_FLAG_DYING; // a callback that destroys this object again does nothing
    if (o->destroy) o->destroy(o);
    // A callback that reset the objects (and may have created this record anew) has ended
    // this destroy: its links now belong to the free list or to the new object.
    if (!(o->flags & OBJ_FLAG_DYING)) return;
    const ObjectKind *k = obj_get_kind(o->kind);
    if (k && k->term) k->term(o);
    if (!(o->flags & OBJ_FLAG_DYING)) return;
    obj_unlink_layer(o);
    obj_leave_update_list(o);
    o->flags &= ~(OBJ_FLAG_IN_USE | OBJ_FLAG_DYING);
    active_unlink(o);
    o->active_next = s_pool.free_head;
    if (o->active_next) o->active_next->active_prev = o;
    s_pool.free_head = o;
    s_pool.live_count--;
}

void obj_kill(SceneObject *o) {
    if (!in_use(o)) return;
    o->flags = (o->flags & ~OBJ_FLAG_KILL_MASK) | OBJ_FLAG_KILLED;
    obj_join_update_list(o);
}

void obj_set_update(SceneObject *o, ObjectUpdateFn callback) {
    if (!callback || !in_use(o)) return;
    o->update = callback;
    obj_join_update_list(o);
}

void obj_join_update_list(SceneObject *o) {
    if (!in_use(o) || (o->flags & OBJ_FLAG_ON_UPDATE)) return;
    o->update_prev = nullptr;
    o->update_next = s_pool.update_head;
    if (o->update_next) o->update_next->update_prev = o;
    s_pool.update_head = o;
    o->flags |= OBJ_FLAG_ON_UPDATE;
    s_pool.update_list_count++;
}

void obj_leave_update_list(SceneObject *o) {
    if (obj_index(o) < 0 || !(o->flags & OBJ_FLAG_ON_UPDATE)) return;
    walks_skip(WALK_UPDATE, o, o->update_next);
    if (o->update_prev)
        o->update_prev->update_next = o->update_next;
    else
        s_pool.update_head = o->update_next;
    if (o->update_next) o->update_next->update_prev = o->update_prev;
    o->update_prev = o->update_next = nullptr;
    o->flags &= ~OBJ_FLAG_ON_UPDATE;
    s_pool.update_list_count--;
}

void obj_unlink_layer(SceneObject *o) {
    if (obj_index(o) < 0 || !layer_linked(o)) return;
    if (o->layer_prev)
        o->layer_prev->layer_next = o->layer_next;
    else
        s_pool.layer_heads[o->layer & 63] = o->layer_next;
    if (o->layer_next) o->layer_next->layer_prev = o->layer_prev;
    o->layer_prev = o->layer_next = nullptr;
}

// The layer byte follows the list the object is on, so a later unlink finds the right head.
void obj_link_layer(SceneObject *o, int32_t layer) {
    if (!in_use(o) || layer < 0 || layer >= OBJ_LAYER_COUNT) return;
    obj_unlink_layer(o);
    o->layer = (uint8_t)layer;
    o->layer_prev = nullptr;
    o->layer_next = s_pool.layer_heads[layer];
    if (o->layer_next) o->layer_next->layer_prev = o;
    s_pool.layer_heads[layer] = o;
}

void obj_set_layer(SceneObject *o, int32_t layer) {
    if (!in_use(o) || layer < 0 || layer >= OBJ_LAYER_COUNT) return;
    obj_unlink_layer(o);
    obj_link_layer(o, layer);
    set_key_bits(o, OBJ_KEY_LAYER_SHIFT, 0xFF, (uint32_t)layer);
    o->full_key = o->base_key;
}

void obj_set_sub_order(SceneObject *o, int32_t value) {
    if (obj_index(o) < 0) return;
    o->sub_order = (uint8_t)value;
    set_key_bits(o, OBJ_KEY_SUB_SHIFT, 0xF, (uint32_t)value);
    o->full_key = o->base_key;
}

void obj_for_each(void (*fn)(SceneObject *object)) {
    if (!fn) return;
    WalkScope walk(WALK_ACTIVE, s_pool.active_head);
    while (SceneObject *o = walk.take()) fn(o);
}

void obj_release_owner(OwnerId owner) {
    if (owner == 0 || owner >= OWNER_ID_COUNT) return;
    {
        WalkScope walk(WALK_ACTIVE, s_pool.active_head);
        while (SceneObject *o = walk.take())
            if (o->owner == owner) obj_destroy(o);
    }
    movie_stop_owner(owner);
    plight_release_owner(owner);
    rtview_release_owner(owner);
    obj_aux_release_owner(owner);
}

void obj_show_group(int32_t group, bool shown) {
    if (group < 0 || group >= OBJ_GROUP_COUNT) return;
    s_pool.hidden[group] = shown ? 0 : 1;
}

void obj_show_all_groups(bool shown) {
    for (int32_t g = 0; g < OBJ_GROUP_COUNT; ++g) s_pool.hidden[g] = shown ? 0 : 1;
}

void obj_skip_next_update(void) {
    s_pool.skip_next_update = 1;
}

void obj_update_pass(void) {
    if (s_pool.skip_next_update) {
        s_pool.skip_next_update = 0;
        return;
    }
    s_pool.last_update_count = 0;
    {
        WalkScope walk(WALK_UPDATE, s_pool.update_head);
        while (SceneObject *o = walk.take()) {
            if (!o->update) continue; // killed objects sit on the list without a callback
            if (o->update(o) != 0) {
                obj_destroy(o);
                s_pool.last_update_count++;
            }
        }
    }
    s_pool.last_update_count += s_pool.live_count;
    s_pool.update_frame++;
}

void obj_destroy_killed(void) {
    WalkScope walk(WALK_ACTIVE, s_pool.active_head);
    while (SceneObject *o = walk.take())
        if (o->flags & OBJ_FLAG_KILL_MASK) obj_destroy(o);
}

int32_t obj_get_update_count(void) {
    return s_pool.last_update_count;
}
int32_t obj_get_update_list_count(void) {
    return s_pool.update_list_count;
}
uint32_t obj_get_update_frame(void) {
    return s_pool.update_frame;
}
int32_t obj_get_live_count(void) {
    return s_pool.live_count;
}
const DrawList *obj_get_draw_list(void) {
    return &s_draw_list;
}
