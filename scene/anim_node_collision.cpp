// Frame colliders of animated nodes: a collision mesh named "CM_" + a frame's name in the
// hierarchy's group puts a collider on that frame's bone.
#include <cstring>

#include "collision/collider.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/model_instance.h"
#include "scene/node_collision.h"

namespace {

constexpr int32_t MESH_NAME_BYTES = 64; // "CM_" + frame names that do not fit get no collider

ModelNodeHead *head_of(SceneObject *node) {
    AnimModelNode *n = animnode_of(node);
    return n ? &n->head : nullptr;
}

void set_bit(Collider *c, uint32_t bit, uint32_t on) {
    c->flags = on ? c->flags | bit : c->flags & ~bit;
}

// The frame name a collider was made for, while the node's hierarchy still holds it.
const char *frame_name_of(SceneObject *node, const Collider *c) {
    const ModelInstance *instance = animnode_instance(node);
    const HierarchyRecord *r = instance ? res_hierarchy_record(instance->hierarchy) : nullptr;
    const char *name = static_cast<const char *>(c->user_pointer);
    if (!r || !r->frames || !name) return nullptr;
    const char *begin = reinterpret_cast<const char *>(r->frames);
    return name >= begin && name < begin + r->size ? name : nullptr;
}

Collider *named(SceneObject *node, const char *frame) {
    ModelNodeHead *h = head_of(node);
    if (!h || !frame) return nullptr;
    for (Collider *c = h->collision; c; c = c->chained) {
        const char *name = frame_name_of(node, c);
        if (name && strcmp(name, frame) == 0) return c;
    }
    return nullptr;
}

bool set_all(SceneObject *node, uint32_t bit, uint32_t on) {
    ModelNodeHead *h = head_of(node);
    if (!h) return false;
    for (Collider *c = h->collision; c; c = c->chained) set_bit(c, bit, on);
    return true;
}

} // namespace

void animnode_build_frame_collision(SceneObject *node, int32_t hierarchy, uint32_t filter) {
    ModelNodeHead *h = head_of(node);
    ModelInstance *instance = h ? h->instance : nullptr;
    if (!instance) return;
    const uint32_t segments = h->collision ? h->collision->flags & COLL_SEGMENTS : COLL_SEGMENTS;
    const uint32_t ground = h->collision ? h->collision->flags & COLL_GROUND : 0;
    animnode_remove_collision(node);
    const ResourceHandle hh = hierarchy < 0 ? instance->hierarchy : (ResourceHandle)hierarchy;
    const char *group = res_hierarchy_group(hh);
    if (!group) return;
    const uint16_t id = coll_next_id();
    Collider *last = nullptr;
    for (InstanceBone *b = instance->bones; b; b = b->next) {
        char mesh_name[MESH_NAME_BYTES];
        if (!b->name || strlen(b->name) + 4 > sizeof(mesh_name)) continue;
        strcpy(mesh_name, "CM_");
        strcat(mesh_name, b->name);
        const ResourceHandle mesh = res_find_collmesh(group, mesh_name);
        if (!mesh) continue;
        Collider *c =
            coll_create_model_collider(mesh, &b->world, filter, id, 0, const_cast<char *>(b->name));
        if (!c) break;
        c->flags = (c->flags & ~(COLL_SEGMENTS | COLL_GROUND)) | segments | ground;
        if (last)
            last->chained = c;
        else
            h->collision = c;
        last = c;
    }
}

void animnode_remove_collision(SceneObject *node) {
    if (ModelNodeHead *h = head_of(node)) nodecoll_remove(&h->collision);
}

uint32_t animnode_probe_hit_count(SceneObject *node) {
    ModelNodeHead *h = head_of(node);
    return h ? nodecoll_probe_hit_count(h->collision) : 0;
}

bool animnode_get_probe_hit(SceneObject *node, uint32_t n, ProbeHit *out) {
    ModelNodeHead *h = head_of(node);
    return h && nodecoll_get_probe_hit(h->collision, n, out);
}

void coldebug_anim_node(SceneObject *node, bool as_models) {
    if (animnode_of(node)) coldebug_model_node(node, as_models);
}

bool animnode_set_collision_flag1_all(SceneObject *node, uint32_t on) {
    return set_all(node, COLL_SEGMENTS, on);
}
bool animnode_enable_collision_all(SceneObject *node, uint32_t on) {
    return set_all(node, COLL_GROUND, on);
}
bool animnode_set_collision_flag1_named(SceneObject *node, const char *frame, uint32_t on) {
    Collider *c = named(node, frame);
    if (c) set_bit(c, COLL_SEGMENTS, on);
    return c != nullptr;
}
bool animnode_enable_collision_named(SceneObject *node, const char *frame, uint32_t on) {
    Collider *c = named(node, frame);
    if (c) set_bit(c, COLL_GROUND, on);
    return c != nullptr;
}

int32_t animnode_collider_count(SceneObject *node) {
    ModelNodeHead *h = head_of(node);
    int32_t n = 0;
    for (Collider *c = h ? h->collision : nullptr; c; c = c->chained) ++n;
    return n;
}

Collider *animnode_collider_at(SceneObject *node, int32_t index) {
    ModelNodeHead *h = head_of(node);
    Collider *c = h && index >= 0 ? h->collision : nullptr;
    for (; c && index > 0; --index) c = c->chained;
    return c;
}
