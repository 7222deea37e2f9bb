#include "scene/point_light.h"

#include <cstring>

#include <cmath>

#include "app/input.h"
#include "math/mat4.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "scene/node_collision.h"
#include "scene/prim_node.h"

namespace {

PointLightPool s_pool;

constexpr int KEY_F9 = 120;
constexpr int DISC_POINTS = 7;

struct Disc {
    Vec3 centre;
    float radius;
};
static_assert(sizeof(Disc) <= OBJ_USER_BYTES, "disc data fits the user area");

// Seven points on the light's circle, facing view 0's camera, drawn as a fan of five triangles.
void disc_geometry(SceneObject *node, void *) {
    const Disc *d = reinterpret_cast<const Disc *>(node->user);
    primnode_camera_disc(node, &d->centre, d->radius, DISC_POINTS, view_get_camera_matrix(0));
}

// A walk over the active list in progress: freeing the light it would visit next moves it on,
// so callbacks may free any light, the next one and themselves included.
struct LightWalk {
    PointLight *next;
    LightWalk *outer;
};
LightWalk *s_walks;

struct LightWalkScope {
    LightWalk walk;
    LightWalkScope() : walk{s_pool.active_head, s_walks} { s_walks = &walk; }
    ~LightWalkScope() { s_walks = walk.outer; }
    PointLight *take() {
        PointLight *l = walk.next;
        if (l) walk.next = l->next;
        return l;
    }
};

bool in_pool(const PointLight *l) {
    if (l < s_pool.lights || l >= s_pool.lights + PLIGHT_POOL_SIZE) return false;
    return ((uintptr_t)l - (uintptr_t)s_pool.lights) % sizeof(PointLight) == 0;
}

void refresh_colour(PointLight *l) {
    l->color_f[0] = (float)((l->color >> 16) & 0xFF) / 255.0f;
    l->color_f[1] = (float)((l->color >> 8) & 0xFF) / 255.0f;
    l->color_f[2] = (float)(l->color & 0xFF) / 255.0f;
    l->color_f[3] = (float)(l->color >> 24) / 255.0f;
}

float distance_sq(const Vec3 *a, const Vec3 *b) {
    const float dx = a->x - b->x, dy = a->y - b->y, dz = a->z - b->z;
    return dx * dx + dy * dy + dz * dz;
}

// Key order for picking: smaller first, NaN after every number.
bool key_before(float a, float b) {
    if (b != b) return a == a;
    return a < b;
}

} // namespace

void plight_init_pool(void) {
    memset(&s_pool, 0, sizeof(s_pool));
    for (int32_t i = 0; i < PLIGHT_POOL_SIZE; ++i) {
        PointLight *l = &s_pool.lights[i];
        l->prev = i > 0 ? l - 1 : nullptr;
        l->next = i + 1 < PLIGHT_POOL_SIZE ? l + 1 : nullptr;
    }
    s_pool.free_head = &s_pool.lights[0];
    // A walk interrupted by the reset ends rather than running into the free list.
    for (LightWalk *w = s_walks; w; w = w->outer) w->next = nullptr;
}

PointLight *plight_create(uint32_t owner, const Vec3 *position, float radius, uint32_t argb) {
    PointLight *l = s_pool.free_head;
    if (!l) return nullptr;
    s_pool.free_head = l->next;
    if (s_pool.free_head) s_pool.free_head->prev = nullptr;
    memset(l, 0, sizeof(*l));
    l->next = s_pool.active_head;
    if (l->next) l->next->prev = l;
    s_pool.active_head = l;
    l->flags = PLIGHT_FLAG_IN_USE | PLIGHT_FLAG_CREATED;
    l->owner = owner;
    if (position) l->position = *position;
    l->radius = radius;
    l->parameter = 1.0f;
    l->color = argb;
    s_pool.count++;
    return l;
}

PointLight *plight_create_one_frame(uint32_t owner, const Vec3 *position, float radius,
                                    uint32_t argb) {
    PointLight *l = plight_create(owner, position, radius, argb);
    plight_kill(l);
    return l;
}

void plight_kill(PointLight *l) {
    if (in_pool(l) && (l->flags & PLIGHT_FLAG_IN_USE)) l->flags |= PLIGHT_FLAG_KILL;
}

void plight_free(PointLight *l) {
    // A light not in use is already on the free list: pushing it again would tie a cycle.
    if (!in_pool(l) || !(l->flags & PLIGHT_FLAG_IN_USE)) return;
    for (LightWalk *w = s_walks; w; w = w->outer)
        if (w->next == l) w->next = l->next;
    l->flags &= ~PLIGHT_FLAG_IN_USE;
    if (l->prev)
        l->prev->next = l->next;
    else
        s_pool.active_head = l->next;
    if (l->next) l->next->prev = l->prev;
    l->prev = nullptr;
    l->next = s_pool.free_head;
    if (l->next) l->next->prev = l;
    s_pool.free_head = l;
    s_pool.count--;
}

void plight_release_owner(uint32_t owner) {
    if (owner == 0) return;
    LightWalkScope walk;
    while (PointLight *l = walk.take())
        if (l->owner == owner) plight_free(l);
}

int32_t plight_count(void) {
    return s_pool.count;
}

void plight_update_all(void) {
    LightWalkScope walk;
    while (PointLight *l = walk.take()) {
        const int remove = l->update ? l->update(l) : 0;
        // The callback may have freed this light (or reset the pool): it is then left alone.
        if (!(l->flags & PLIGHT_FLAG_IN_USE)) continue;
        refresh_colour(l);
        if (remove) {
            if (l->destroy) l->destroy(l);
            plight_free(l);
        }
    }
}

void plight_cull_per_camera(void) {
    s_pool.visible_count[0] = s_pool.visible_count[1] = 0;
    if (!s_pool.active_head) return;
    for (int view = 0; view < PLIGHT_VIEW_COUNT; ++view) {
        const FrustumPlanes *planes = view_get_cull_planes(view);
        for (PointLight *l = s_pool.active_head; l; l = l->next) {
            bool visible = true;
            for (const Plane &p : planes->planes)
                if (p.a * l->position.x + p.b * l->position.y + p.c * l->position.z + p.d <
                    -l->radius)
                    visible = false;
            if (!visible) continue;
            l->radius_sq = l->radius * l->radius;
            s_pool.visible[view][s_pool.visible_count[view]++] = l;
        }
    }
}

void plight_sweep_killed(void) {
    LightWalkScope walk;
    while (PointLight *l = walk.take())
        if (l->flags & PLIGHT_FLAG_KILL) plight_free(l);
}

int32_t plight_pick_for_sphere(PointLight **out, int32_t max, int view, const Vec3 *centre,
                               float radius) {
    if (!out || !centre || view < 0 || view >= PLIGHT_VIEW_COUNT || max <= 0) return 0;
    const Vec3 *camera = view_get_position(view);
    int32_t n = 0;
    for (int32_t i = 0; i < s_pool.visible_count[view]; ++i) {
        PointLight *l = s_pool.visible[view][i];
        const float d2 = distance_sq(centre, &l->position);
        l->pick_key = d2;
        if (!(d2 <= radius * radius + l->radius_sq)) continue;
        l->pick_key = d2 + distance_sq(camera, &l->position);
        // Stable insertion by key: ties keep the visible-list order, NaN keys go last.
        int32_t m = n++;
        while (m > 0 && key_before(l->pick_key, s_pool.pick[m - 1]->pick_key)) {
            s_pool.pick[m] = s_pool.pick[m - 1];
            --m;
        }
        s_pool.pick[m] = l;
    }
    const int32_t taken = n < max ? n : max;
    for (int32_t i = 0; i < taken; ++i) out[i] = s_pool.pick[i];
    return taken;
}

int32_t plight_visible_count(int view) {
    return view >= 0 && view < PLIGHT_VIEW_COUNT ? s_pool.visible_count[view] : 0;
}

const PointLightPool *plight_pool(void) {
    return &s_pool;
}

SceneObject *plight_debug_disc(uint32_t owner, const Vec3 *centre, float radius, uint32_t color) {
    if (!centre) return nullptr;
    SceneObject *o = coldebug_prim_node_new(owner, nullptr, color, disc_geometry);
    if (!o) return nullptr;
    primnode_set_blend_mode(o, 2);
    primnode_set_texture(o, res_white_texture());
    *reinterpret_cast<Disc *>(o->user) = {*centre, radius};
    return o;
}

void plight_debug_draw(void) {
    if (input_key_pressed(KEY_F9)) s_pool.debug_view ^= 1;
    if (!s_pool.debug_view) return;
    for (PointLight *l = s_pool.active_head; l; l = l->next) {
        const uint32_t color =
            (l->flags & PLIGHT_FLAG_CREATED) ? (l->color & 0x00FFFFFFu) | 0x80000000u : 0x60FF0000u;
        plight_debug_disc(l->owner, &l->position, l->radius, color);
    }
}
