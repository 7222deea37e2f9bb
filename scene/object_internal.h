// The object pool's block, shared by the manager and the draw-list builder.
#pragma once
#include <cstdint>

#include "scene/object_manager.h"

struct ObjectPool {
    SceneObject objects[OBJ_POOL_SIZE];
    SceneObject *free_head;
    SceneObject *active_head;
    SceneObject *update_head;
    SceneObject *layer_heads[OBJ_LAYER_COUNT];
    uint32_t update_frame;
    int32_t live_count;
    int32_t last_update_count;
    int32_t update_list_count;
    uint32_t skip_next_update;
    uint32_t hidden[OBJ_GROUP_COUNT]; // non-zero: the DrawGroup is hidden
};

ObjectPool *obj_pool(void);
ObjectKind *obj_kind_table(void);
DrawList *obj_draw_list(void);

// Internal flag: the object's destroy is under way (its callbacks are running).
constexpr uint32_t OBJ_FLAG_DYING = 1u << 8;
