// Auxiliary cameras and mirror planes: their settings and their part of the view rebuild.
#include "render/view_aux.h"

#include <cmath>

#include "math/mat4.h"
#include "math/plane.h"
#include "math/vec.h"
#include "render/gfx_display.h"
#include "render/view_internal.h"

static ViewAuxCamera *aux(int view, int k) {
    return &view_block()->aux[view_index(view)][view_aux_index(k)];
}

static ViewMirrorPlane *mirror(int view) {
    return &view_block()->mirror[view_index(view)];
}

static void mark(int view) {
    view_record(view)->recompute = 1;
}

// ---------------------------------------------------------------------------------------------
// Aux camera settings

void view_set_aux_cam_enabled(int view, int k, uint32_t enabled) {
    aux(view, k)->enabled = enabled;
}

void view_set_aux_cam_dir(int view, int k, const Vec3 *dir) {
    if (dir) vec3_normalize(&aux(view, k)->direction, dir);
    mark(view);
}

void view_set_aux_cam_color(int view, int k, uint32_t argb) {
    ViewAuxCamera *a = aux(view, k);
    a->color = argb;
    view_argb_to_float4(&a->color_f, argb);
}

void view_set_aux_cam_fit(int view, int k, float distance, float ahead, float radius) {
    ViewAuxCamera *a = aux(view, k);
    a->distance = distance;
    a->ahead = ahead;
    a->radius = radius;
    mark(view);
}

void view_set_aux_cam_fit_flag(int view, int k, uint32_t fit) {
    aux(view, k)->fit = fit;
    mark(view);
}

void view_set_aux_cam_position(int view, int k, const Vec3 *position) {
    if (position) aux(view, k)->position = *position;
    mark(view);
}

void view_set_aux_cam_proj(int view, int k, float fov, float near, float far) {
    ViewAuxCamera *a = aux(view, k);
    a->fov = fov;
    a->near = near;
    a->far = far;
    mark(view);
}

void view_set_aux_cam_param(int view, int k, float param) {
    aux(view, k)->param = param;
}

void view_set_active_aux_cam(uint32_t index) {
    gfx_display()->aux_camera = (int32_t)index;
}

uint32_t view_get_aux_cam_enabled(int view, int k) {
    return aux(view, k)->enabled;
}
uint32_t view_get_aux_cam_fit_flag(int view, int k) {
    return aux(view, k)->fit;
}
Vec3 *view_get_aux_cam_dir(int view, int k) {
    return &aux(view, k)->direction;
}
Vec3 *view_get_aux_cam_position(int view, int k) {
    return &aux(view, k)->position;
}
uint32_t view_get_aux_cam_color(int view, int k) {
    return aux(view, k)->color;
}
Vec4 *view_get_aux_cam_color_f(int view, int k) {
    return &aux(view, k)->color_f;
}
float view_get_aux_cam_distance(int view, int k) {
    return aux(view, k)->distance;
}
float view_get_aux_cam_ahead(int view, int k) {
    return aux(view, k)->ahead;
}
float view_get_aux_cam_radius(int view, int k) {
    return aux(view, k)->radius;
}
float view_get_aux_cam_param(int view, int k) {
    return aux(view, k)->param;
}
uint32_t view_get_active_aux_cam(void) {
    return (uint32_t)gfx_display()->aux_camera;
}
uint32_t view_get_aux_cam_count(int view) {
    return view_block()->aux_count[view_index(view)];
}

float view_get_aux_cam_near(int view, int k) {
    view_update(view);
    return aux(view, k)->near;
}

float view_get_aux_cam_far(int view, int k) {
    view_update(view);
    return aux(view, k)->far;
}

// ---------------------------------------------------------------------------------------------
// Mirror plane

void view_set_mirror_enabled(int view, uint32_t enabled) {
    mirror(view)->enabled = enabled;
}

void view_set_mirror_plane(int view, const Vec3 *point, const Vec3 *normal) {
    static const Vec3 k_up = {0.0f, 1.0f, 0.0f};
    ViewMirrorPlane *m = mirror(view);
    m->point = point ? *point : Vec3{0.0f, 0.0f, 0.0f};
    vec3_normalize(&m->normal, normal ? normal : &k_up);
    plane_from_point_normal(&m->plane, &m->point, &m->normal);
    mark(view);
}

uint32_t view_get_mirror_enabled(int view) {
    return mirror(view)->enabled;
}
Plane *view_get_mirror_plane(int view) {
    return &mirror(view)->plane;
}
Vec3 *view_get_mirror_point(int view) {
    return &mirror(view)->point;
}
Vec3 *view_get_mirror_normal(int view) {
    return &mirror(view)->normal;
}

// ---------------------------------------------------------------------------------------------
// Defaults and per-frame count

void view_aux_set_defaults(int view) {
    const Vec3 dir = {1.0f, -1.0f, 1.0f}, origin = {0.0f, 0.0f, 0.0f};
    for (int k = 0; k < 2; ++k) {
        view_set_aux_cam_enabled(view, k, 0);
        view_set_aux_cam_dir(view, k, &dir);
        view_set_aux_cam_color(view, k, 0x8C323232);
        view_set_aux_cam_fit(view, k, 30.0f, 4.8f, 5.0f);
        view_set_aux_cam_fit_flag(view, k, 1);
        view_set_aux_cam_position(view, k, &origin);
        view_set_aux_cam_param(view, k, 0.008f);
    }
}

void view_mirror_set_defaults(int view) {
    const Vec3 point = {0.0f, 0.1f, 0.0f}, normal = {0.0f, 1.0f, 0.0f};
    view_set_mirror_enabled(view, 0);
    view_set_mirror_plane(view, &point, &normal);
}

void view_count_aux_cams(int view) {
    uint32_t n = 0;
    for (int k = 0; k < 2; ++k)
        if (aux(view, k)->enabled) ++n;
    view_block()->aux_count[view_index(view)] = n;
}

// ---------------------------------------------------------------------------------------------
// Rebuild

void view_aux_build(int view, const Mat4 *w) {
    Mat4 *slots = view_block()->slots[view_index(view)];
    for (int k = 0; k < 2; ++k) {
        ViewAuxCamera *a = aux(view, k);

        // Projection: fitted around the sphere (the eye just outside it when it would be
        // inside), or the camera's own field of view and clip distances.
        if (a->fit) {
            float r = a->radius;
            float d = r > a->distance ? r + 0.001f : a->distance;
            a->fov = 2.0f * std::asin(r / d);
            a->near = d - r;
            a->far = d + r;
        }
        FrustumParams f;
        frustum_from_fov(&f, a->fov, 1.0f, 0.5f, 0.5f, a->near, a->far);
        Mat4 *proj = &slots[VIEW_SLOT_AUX_PROJ + k];
        mat4_perspective_off_center(proj, f.left, f.right, f.bottom, f.top, f.near, f.far);

        EulerAngles angles;
        vec3_direction_to_angles(&angles, &a->direction);
        Mat4 *world = &slots[VIEW_SLOT_AUX_CAMERA + k];
        if (a->fit) {
            // Sphere centre ahead of the view camera along its forward row.
            Vec3 centre = {w->m[3][0] + w->m[2][0] * a->ahead, w->m[3][1] + w->m[2][1] * a->ahead,
                           w->m[3][2] + w->m[2][2] * a->ahead};
            Vec3 eye;
            vec3_add_scaled(&eye, &centre, &a->direction, -a->distance);
            Vec3 up, y = {0.0f, 1.0f, 0.0f};
            vec3_turn_direction(&up, &y, angles.x, angles.y, 1.0f);
            a->position = eye;
            mat4_look_at_point(world, &eye, &centre, &up, 0);
        } else {
            mat4_from_position_euler(world, &a->position, &angles);
        }
        Mat4 *view_m = &slots[VIEW_SLOT_AUX_VIEW + k];
        mat4_inverse(view_m, world);
        mat4_multiply(&slots[VIEW_SLOT_AUX_PROJ_VIEW + k], view_m, proj);
        mat4_multiply(&slots[VIEW_SLOT_AUX_VIEW_PROJ + k], proj, view_m);
    }
}

void view_mirror_build(int view, const Mat4 *v, const Mat4 *p) {
    Mat4 *slots = view_block()->slots[view_index(view)];
    const Plane *plane = &mirror(view)->plane;
    Mat4 reflect;
    mat4_reflect(&reflect, plane);
    Mat4 *mv = &slots[VIEW_SLOT_MIRROR_VIEW];
    mat4_multiply(mv, v, &reflect); // reflect first, then the view
    mat4_inverse(&slots[VIEW_SLOT_MIRROR_CAMERA], mv);
    Mat4 *op = &slots[VIEW_SLOT_MIRROR_PROJ];
    mat4_oblique_clip_projection(op, p, mv, plane);
    mat4_multiply(&slots[VIEW_SLOT_MIRROR_PROJ_VIEW], mv, op);
    mat4_multiply(&slots[VIEW_SLOT_MIRROR_VIEW_PROJ], op, mv);
}
