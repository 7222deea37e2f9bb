#include "scene/node_collision.h"

#include <cmath>
#include <cstring>

#include "collision/collider.h"
#include "math/mat4.h"
#include "math/plane.h"
#include "math/vec.h"
#include "render/gfx_frame.h"
#include "render/view.h"
#include "resource/res_collmesh.h"
#include "resource/res_pools.h"
#include "resource/res_texture.h"
#include "scene/model_node.h"
#include "scene/piece_node.h"
#include "scene/prim_node.h"

namespace {

constexpr uint32_t COLOR_SEGMENTS = 0x8000FFFFu, COLOR_OTHER = 0x80FF0000u;
constexpr uint32_t COLLMESH_SIZE_OFFSET = 56; // a float between the bounding centre and radius
constexpr float AUTO_SIZE_SCALE = 0.714f;
constexpr int SPHERE_POINTS = 10;

// What a debug node keeps in its object's user area.
struct SphereWire {
    Vec3 centre;
    float radius;
};
struct MeshWire {
    ResourceHandle mesh;
    uint32_t color;
};
static_assert(sizeof(SphereWire) <= OBJ_USER_BYTES && sizeof(MeshWire) <= OBJ_USER_BYTES,
              "debug data fits the user area");

Collider **model_list(SceneObject *o) {
    ModelNodeHead *h = mdlnode_head(o);
    return h ? &h->collision : nullptr;
}
Collider **prim_list(SceneObject *o) {
    PrimNode *p = primnode_of(o);
    return p ? &p->collision : nullptr;
}
Collider **mesh_list(SceneObject *o) {
    PieceMeshNode *n = meshnode_of(o);
    return n ? &n->collision : nullptr;
}
Collider *first(Collider **list) {
    return list ? *list : nullptr;
}

void sphere_wire_geometry(SceneObject *node, void *) {
    const SphereWire *w = reinterpret_cast<const SphereWire *>(node->user);
    primnode_camera_disc(node, &w->centre, w->radius, SPHERE_POINTS, view_get_cur_camera_matrix());
}

void mesh_wire_geometry(SceneObject *node, void *) {
    const MeshWire *w = reinterpret_cast<const MeshWire *>(node->user);
    primnode_begin(node, PRIM_TRIANGLES, 0);
    primnode_set_vertex_color(node, w->color);
    CollMeshWalk walk;
    CollMeshTriangleInfo t;
    res_collmesh_walk_begin(&walk, w->mesh);
    while (res_collmesh_walk_next(&walk, &t)) {
        primnode_set_normal(node, &t.normal);
        for (const Vec3 &c : t.corners) primnode_add_vertex(node, &c);
    }
    primnode_end(node);
}

} // namespace

SceneObject *coldebug_prim_node_new(OwnerId owner, const Mat4 *world, uint32_t color,
                                    PrimNodeCallback geometry) {
    SceneObject *o = primnode_create(owner, world, COLDEBUG_LAYER);
    if (!o) return nullptr;
    primnode_set_cull_mode(o, 2);
    primnode_set_lighting(o, 0);
    primnode_set_zwrite(o, 0);
    primnode_set_fog(o, 0);
    primnode_set_sphere_culling(o, 0);
    primnode_set_diffuse(o, color);
    primnode_set_callback(o, geometry, nullptr);
    return o;
}

namespace {

void draw_colliders(SceneObject *node, Collider *list, bool as_models) {
    for (Collider *c = list; c; c = c->chained) {
        const uint32_t color = (c->flags & COLL_SEGMENTS) ? COLOR_SEGMENTS : COLOR_OTHER;
        Mat4 transform;
        if (c->transform)
            transform = *c->transform;
        else
            mat4_identity(&transform);
        if (c->mesh == 0) {
            Vec3 centre;
            mat4_transform_point(&centre, &transform, &c->centre);
            coldebug_add_sphere_wire(node->owner, &centre, c->radius, color);
            continue;
        }
        if (!coll_collider_mesh(c)) continue; // the mesh was released
        const ResourceHandle model =
            as_models ? res_find_model(res_collmesh_group(c->mesh), res_collmesh_name(c->mesh)) : 0;
        if (!model) {
            coldebug_add_mesh_wire(node->owner, &transform, c->mesh, color);
            continue;
        }
        SceneObject *m = mdlnode_create(node->owner, &transform, model, COLDEBUG_LAYER);
        mdlnode_set_texture(m, res_white_texture());
        mdlnode_set_lighting(m, 0);
        mdlnode_set_blended(m, 1);
        mdlnode_set_zwrite(m, 0);
        mdlnode_set_fog(m, 0);
        mdlnode_set_diffuse(m, color);
    }
}

} // namespace

void primnode_camera_disc(SceneObject *node, const Vec3 *centre, float radius, int points,
                          const Mat4 *camera) {
    Vec3 p[SPHERE_POINTS];
    if (points > SPHERE_POINTS) points = SPHERE_POINTS;
    for (int i = 0; i < points; ++i) {
        const float a = (float)i / (float)points * 6.2831855f;
        const Vec3 local = {cosf(a) * radius, sinf(a) * radius, 0.0f};
        mat4_rotate_vector(&p[i], camera, &local);
        vec3_add(&p[i], &p[i], centre);
    }
    primnode_begin(node, PRIM_TRIANGLES, 0);
    for (int i = 1; i <= points - 2; ++i) {
        primnode_add_vertex(node, &p[0]);
        primnode_add_vertex(node, &p[i]);
        primnode_add_vertex(node, &p[i + 1]);
    }
    primnode_end(node);
}

void nodecoll_set_model(Collider **list, const Mat4 *world, ResourceHandle mesh, uint32_t filter,
                        bool ground) {
    if (!list) return;
    if (*list) {
        coll_set_model_collider(*list, mesh, filter, 0, nullptr);
        return;
    }
    // User word 0: the collider reports the mesh name's hash; it keeps the mesh handle itself.
    Collider *c = coll_create_model_collider(mesh, world, filter, coll_next_id(), 0, nullptr);
    if (!c) return;
    c->flags = ground ? (c->flags | COLL_GROUND) : (c->flags & ~COLL_GROUND);
    *list = c;
}

void nodecoll_set_sphere(Collider **list, const Mat4 *world, const Vec3 *centre, float radius,
                         uint32_t filter) {
    if (!list) return;
    if (*list) {
        coll_set_sphere_collider(*list, centre, radius, filter, 0, nullptr);
        return;
    }
    Collider *c =
        coll_create_sphere_collider(centre, radius, world, filter, coll_next_id(), 0, nullptr);
    if (!c) return;
    c->flags &= ~COLL_GROUND;
    *list = c;
}

void nodecoll_remove(Collider **list) {
    if (!list || !*list) return;
    coll_remove_collider(*list);
    *list = nullptr;
}

uint32_t nodecoll_probe_hit_count(const Collider *list) {
    uint32_t n = 0;
    for (const Collider *c = list; c; c = c->chained) n += c->probe_hits;
    return n;
}

bool nodecoll_get_probe_hit(const Collider *list, uint32_t n, ProbeHit *out) {
    uint32_t base = 0;
    for (const Collider *c = list; c; c = c->chained) {
        if (n < base + c->probe_hits) {
            const CollisionProbe *p = coll_find_probe_hit(c, n - base);
            if (!p) return false;
            if (out) *out = p->hit;
            return true;
        }
        base += c->probe_hits;
    }
    return false;
}

bool nodecoll_set_flag1(Collider *list, bool on) {
    if (!list) return false;
    list->flags = (on ? list->flags | COLL_SEGMENTS : list->flags & ~COLL_SEGMENTS) & ~COLL_GROUND;
    return true;
}

bool nodecoll_enable(Collider *list, bool on) {
    if (!list) return false;
    list->flags = on ? list->flags | COLL_GROUND : list->flags & ~COLL_GROUND;
    return true;
}

uint16_t nodecoll_group(const Collider *list) {
    return list ? (uint16_t)list->group : 0;
}

void mdlnode_set_collision_model(SceneObject *o, ResourceHandle mesh, uint32_t filter) {
    nodecoll_set_model(model_list(o), mdlnode_world_matrix(o), mesh, filter, false);
}
void mdlnode_set_collision_sphere(SceneObject *o, const Vec3 *centre, float radius,
                                  uint32_t filter) {
    nodecoll_set_sphere(model_list(o), mdlnode_world_matrix(o), centre, radius, filter);
}

void mdlnode_set_collision_sized(SceneObject *o, int view, const Mat4 *matrix, float size,
                                 const Vec3 *centre, float min_pixels, uint32_t filter) {
    if (!matrix) return;
    const Vec3 position = {matrix->m[3][0], matrix->m[3][1], matrix->m[3][2]};
    const float s =
        frustum_min_world_size(view_get_frustum_params(view), view_get_view_matrix(view), &position,
                               size, (float)gfx_get_screen_width(), min_pixels);
    mdlnode_set_collision_sphere(o, centre, s, filter);
}

void mdlnode_set_collision_auto(SceneObject *o, int view, const Mat4 *matrix, ResourceHandle mesh,
                                const Vec3 *centre, float min_pixels, uint32_t filter) {
    const CollisionMeshRecord *r = res_collmesh_record(mesh);
    if (!matrix || !r || !r->data || r->size < COLLMESH_SIZE_OFFSET + sizeof(float)) return;
    float raw;
    memcpy(&raw, r->data + COLLMESH_SIZE_OFFSET, sizeof(raw));
    const float size = AUTO_SIZE_SCALE * raw;
    const Vec3 position = {matrix->m[3][0], matrix->m[3][1], matrix->m[3][2]};
    const float s =
        frustum_min_world_size(view_get_frustum_params(view), view_get_view_matrix(view), &position,
                               size, (float)gfx_get_screen_width(), min_pixels);
    if (s <= size)
        mdlnode_set_collision_model(o, mesh, filter);
    else
        mdlnode_set_collision_sphere(o, centre, s, filter);
}

void mdlnode_remove_collision(SceneObject *o) {
    nodecoll_remove(model_list(o));
}
uint32_t mdlnode_probe_hit_count(SceneObject *o) {
    return nodecoll_probe_hit_count(first(model_list(o)));
}
bool mdlnode_get_probe_hit(SceneObject *o, uint32_t n, ProbeHit *out) {
    return nodecoll_get_probe_hit(first(model_list(o)), n, out);
}
bool mdlnode_set_collision_flag1(SceneObject *o, bool on) {
    return nodecoll_set_flag1(first(model_list(o)), on);
}
bool mdlnode_enable_collision(SceneObject *o, bool on) {
    return nodecoll_enable(first(model_list(o)), on);
}
uint16_t mdlnode_collision_group(SceneObject *o) {
    return nodecoll_group(first(model_list(o)));
}
Collider *mdlnode_collision_list(SceneObject *o) {
    return first(model_list(o));
}

void primnode_set_collision_sphere(SceneObject *o, const Vec3 *centre, float radius,
                                   uint32_t filter) {
    nodecoll_set_sphere(prim_list(o), primnode_world_matrix(o), centre, radius, filter);
}
void primnode_remove_collision(SceneObject *o) {
    nodecoll_remove(prim_list(o));
}
uint32_t primnode_probe_hit_count(SceneObject *o) {
    return nodecoll_probe_hit_count(first(prim_list(o)));
}
bool primnode_get_probe_hit(SceneObject *o, uint32_t n, ProbeHit *out) {
    return nodecoll_get_probe_hit(first(prim_list(o)), n, out);
}
bool primnode_set_collision_flag1(SceneObject *o, bool on) {
    return nodecoll_set_flag1(first(prim_list(o)), on);
}
bool primnode_enable_collision(SceneObject *o, bool on) {
    return nodecoll_enable(first(prim_list(o)), on);
}
uint16_t primnode_collision_group(SceneObject *o) {
    return nodecoll_group(first(prim_list(o)));
}
Collider *primnode_collision_list(SceneObject *o) {
    return first(prim_list(o));
}

void meshnode_set_collision_model(SceneObject *o, ResourceHandle mesh, uint32_t filter) {
    nodecoll_set_model(mesh_list(o), meshnode_world_matrix(o), mesh, filter, true);
}
void meshnode_remove_collision(SceneObject *o) {
    nodecoll_remove(mesh_list(o));
}
uint32_t meshnode_probe_hit_count(SceneObject *o) {
    return nodecoll_probe_hit_count(first(mesh_list(o)));
}
bool meshnode_get_probe_hit(SceneObject *o, uint32_t n, ProbeHit *out) {
    return nodecoll_get_probe_hit(first(mesh_list(o)), n, out);
}
bool meshnode_set_collision_flag1(SceneObject *o, bool on) {
    return nodecoll_set_flag1(first(mesh_list(o)), on);
}
bool meshnode_enable_collision(SceneObject *o, bool on) {
    return nodecoll_enable(first(mesh_list(o)), on);
}
uint16_t meshnode_collision_group(SceneObject *o) {
    return nodecoll_group(first(mesh_list(o)));
}
Collider *meshnode_collision_list(SceneObject *o) {
    return first(mesh_list(o));
}

void coldebug_model_node(SceneObject *o, bool as_models) {
    if (Collider *list = first(model_list(o))) draw_colliders(o, list, as_models);
}
void coldebug_prim_node(SceneObject *o) {
    if (Collider *list = first(prim_list(o))) draw_colliders(o, list, false);
}
void coldebug_mesh_node(SceneObject *o) {
    if (Collider *list = first(mesh_list(o))) draw_colliders(o, list, false);
}

SceneObject *coldebug_add_sphere_wire(OwnerId owner, const Vec3 *centre, float radius,
                                      uint32_t color) {
    if (!centre) return nullptr;
    SceneObject *o = coldebug_prim_node_new(owner, nullptr, color, sphere_wire_geometry);
    if (o) *reinterpret_cast<SphereWire *>(o->user) = {*centre, radius};
    return o;
}

SceneObject *coldebug_add_mesh_wire(OwnerId owner, const Mat4 *transform, ResourceHandle mesh,
                                    uint32_t color) {
    SceneObject *o = coldebug_prim_node_new(owner, transform, color, mesh_wire_geometry);
    if (o) *reinterpret_cast<MeshWire *>(o->user) = {mesh, color};
    return o;
}
