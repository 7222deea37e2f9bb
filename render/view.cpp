// Views and cameras: setters that mark, the lazy rebuild, slot access, projection and rays,
// camera shake and the view defaults.
#include "render/view.h"

#include <cstring>

#include "math/mat4.h"
#include "math/plane.h"
#include "math/vec.h"
#include "platform/sys/sys_rand.h"
#include "render/gfx_display.h"
#include "render/view_internal.h"

static ViewBlock s_views;

ViewBlock *view_block(void) {
    return &s_views;
}

static Mat4 *slot(int view, int index) {
    return &s_views.slots[view_index(view)][index];
}

// ---------------------------------------------------------------------------------------------
// Camera and projection setters

void view_set_enabled(int view, uint32_t enabled) {
    view_record(view)->enabled = enabled;
}

void view_set_camera_mode(int view, uint32_t mode) {
    ViewRecord *r = view_record(view);
    r->camera_mode = mode;
    r->recompute = 1;
}

void view_set_fov(int view, float radians) {
    ViewRecord *r = view_record(view);
    r->fov = radians;
    r->recompute = 1;
}

void view_set_proj_center(int view, float x, float y) {
    ViewRecord *r = view_record(view);
    r->center_x = x;
    r->center_y = y;
    r->recompute = 1;
}

void view_set_position_angles(int view, const Vec3 *position, const Vec3 *angles) {
    ViewRecord *r = view_record(view);
    if (position) r->position = *position;
    if (angles) r->angles = {angles->x, angles->y, angles->z};
    r->recompute = 1;
}

void view_set_look_at(int view, const Vec3 *eye, const Vec3 *target, const Vec3 *up) {
    ViewRecord *r = view_record(view);
    if (eye) r->position = *eye;
    if (target) r->look_at = *target;
    r->up = up ? *up : Vec3{0.0f, 1.0f, 0.0f};
    r->recompute = 1;
}

void view_set_matrix(int view, const Mat4 *m) {
    ViewRecord *r = view_record(view);
    if (m) r->matrix = *m;
    r->recompute = 1;
}

void view_set_viewport_aspect(int view, int32_t x, int32_t y, int32_t width, int32_t height,
                              float aspect) {
    ViewRecord *r = view_record(view);
    r->viewport_x = x;
    r->viewport_y = y;
    r->viewport_width = width == 0 ? 1 : width;
    r->viewport_height = height == 0 ? 1 : height;
    r->aspect = aspect;
    r->recompute = 1;
}

void view_set_viewport(int view, int32_t x, int32_t y, int32_t width, int32_t height) {
    // A zero size is stored as 1; the aspect follows the stored size so it stays finite.
    int32_t w = width == 0 ? 1 : width;
    int32_t h = height == 0 ? 1 : height;
    view_set_viewport_aspect(view, x, y, w, h, (float)w / (float)h);
}

void view_set_clip(int view, float near, float far, float limit) {
    ViewRecord *r = view_record(view);
    r->near = near;
    r->far = far;
    r->far_limit = limit < far ? limit : far;
    r->recompute = 1;
}

void view_set_near(int view, float near) {
    ViewRecord *r = view_record(view);
    r->near = near;
    r->recompute = 1;
}

void view_set_far(int view, float far) {
    ViewRecord *r = view_record(view);
    r->far = far;
    r->recompute = 1;
}

void view_set_far_limit(int view, float limit) {
    ViewRecord *r = view_record(view);
    r->far_limit = limit < r->far ? limit : r->far;
    r->recompute = 1;
}

void view_shake(int view, int32_t frames, float amplitude_x, float amplitude_y, float decay,
                int32_t level) {
    ViewRecord *r = view_record(view);
    if (r->shake_frames > 0 && level > r->shake_level) return;
    r->shake_frames = frames;
    r->shake_level = level;
    r->shake_amp_x = amplitude_x;
    r->shake_amp_y = amplitude_y;
    r->shake_decay = decay;
}

void view_set_current(int view) {
    gfx_display()->current_view = view_index(view);
}

// ---------------------------------------------------------------------------------------------
// Plain getters

uint32_t view_get_enabled(int view) {
    return view_record(view)->enabled;
}
uint32_t view_get_camera_mode(int view) {
    return view_record(view)->camera_mode;
}
float view_get_fov(int view) {
    return view_record(view)->fov;
}
float view_get_proj_center_x(int view) {
    return view_record(view)->center_x;
}
float view_get_proj_center_y(int view) {
    return view_record(view)->center_y;
}
float view_get_aspect(int view) {
    return view_record(view)->aspect;
}
float view_get_near(int view) {
    return view_record(view)->near;
}
float view_get_far(int view) {
    return view_record(view)->far;
}
float view_get_far_limit(int view) {
    return view_record(view)->far_limit;
}
Vec3 *view_get_look_at(int view) {
    return &view_record(view)->look_at;
}
Vec3 *view_get_up(int view) {
    return &view_record(view)->up;
}
float view_get_shake_x(int view) {
    return view_record(view)->shake_x;
}
float view_get_shake_y(int view) {
    return view_record(view)->shake_y;
}
uint32_t view_get_current(void) {
    return (uint32_t)gfx_display()->current_view;
}

void view_get_viewport(int view, int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
    const ViewRecord *r = view_record(view);
    if (x) *x = r->viewport_x;
    if (y) *y = r->viewport_y;
    if (width) *width = r->viewport_width;
    if (height) *height = r->viewport_height;
}

// ---------------------------------------------------------------------------------------------
// Updating getters

Vec3 *view_get_position(int view) {
    view_update(view);
    return &view_record(view)->position;
}

EulerAngles *view_get_angles(int view) {
    view_update(view);
    return &view_record(view)->angles;
}

Mat4 *view_get_matrix(int view) {
    view_update(view);
    return &view_record(view)->matrix;
}

FrustumParams *view_get_frustum_params(int view) {
    view_update(view);
    return &view_record(view)->frustum;
}

FrustumPlanes *view_get_frustum_planes(int view) {
    view_update(view);
    return &s_views.planes[view_index(view)][0];
}

FrustumPlanes *view_get_cull_planes(int view) {
    view_update(view);
    return &s_views.planes[view_index(view)][1];
}

FrustumPlanes *view_get_aux_cam_planes(int view, int k) {
    view_update(view);
    return &s_views.planes[view_index(view)][2 + view_aux_index(k) % 2];
}

FrustumPlanes *view_get_mirror_planes(int view) {
    view_update(view);
    return &s_views.planes[view_index(view)][4];
}

// ---------------------------------------------------------------------------------------------
// Matrix slots

static Mat4 *store_slot(int view, int index, const Mat4 *m) {
    Mat4 *dst = slot(view, index);
    if (m) *dst = *m;
    return dst;
}

static Mat4 *get_slot(int view, int index) {
    view_update(view);
    return slot(view, index);
}

// A bad aux camera index reads camera 0's slots; the stores ignore it.
static int aux_slot(int base, int k) {
    return base + view_aux_index(k) % 2;
}

#define VIEW_SLOT_OPS(store_name, cur_name, get_name, index)                                       \
    Mat4 *store_name(int view, const Mat4 *m) {                                                    \
        return store_slot(view, index, m);                                                         \
    }                                                                                              \
    Mat4 *cur_name(void) {                                                                         \
        return get_slot(gfx_display()->current_view, index);                                       \
    }                                                                                              \
    Mat4 *get_name(int view) {                                                                     \
        return get_slot(view, index);                                                              \
    }

#define VIEW_AUX_SLOT_OPS(store_name, cur_name, get_name, base)                                    \
    Mat4 *store_name(int view, int k, const Mat4 *m) {                                             \
        if (view_aux_index(k) > 1) return slot(view, base);                                        \
        return store_slot(view, base + k, m);                                                      \
    }                                                                                              \
    Mat4 *cur_name(int k) {                                                                        \
        return get_slot(gfx_display()->current_view, aux_slot(base, k));                           \
    }                                                                                              \
    Mat4 *get_name(int view, int k) {                                                              \
        return get_slot(view, aux_slot(base, k));                                                  \
    }

VIEW_SLOT_OPS(view_store_view_matrix, view_get_cur_view_matrix, view_get_view_matrix, 0)
VIEW_SLOT_OPS(view_store_camera_matrix, view_get_cur_camera_matrix, view_get_camera_matrix, 1)
VIEW_SLOT_OPS(view_store_proj, view_get_cur_proj, view_get_proj, 2)
VIEW_SLOT_OPS(view_store_proj_view, view_get_cur_proj_view, view_get_proj_view, 3)
VIEW_SLOT_OPS(view_store_view_proj, view_get_cur_view_proj, view_get_view_proj, 4)
VIEW_SLOT_OPS(view_store_cull_view_proj, view_get_cur_cull_view_proj, view_get_cull_view_proj, 5)
VIEW_AUX_SLOT_OPS(view_store_aux_cam_view, view_get_cur_aux_cam_view, view_get_aux_cam_view, 6)
VIEW_AUX_SLOT_OPS(view_store_aux_cam_matrix, view_get_cur_aux_cam_matrix, view_get_aux_cam_matrix,
                  8)
VIEW_AUX_SLOT_OPS(view_store_aux_cam_proj, view_get_cur_aux_cam_proj, view_get_aux_cam_proj, 10)
VIEW_AUX_SLOT_OPS(view_store_aux_cam_proj_view, view_get_cur_aux_cam_proj_view,
                  view_get_aux_cam_proj_view, 12)
VIEW_AUX_SLOT_OPS(view_store_aux_cam_view_proj, view_get_cur_aux_cam_view_proj,
                  view_get_aux_cam_view_proj, 14)
VIEW_SLOT_OPS(view_store_mirror_view, view_get_cur_mirror_view, view_get_mirror_view, 16)
VIEW_SLOT_OPS(view_store_mirror_camera_matrix, view_get_cur_mirror_camera_matrix,
              view_get_mirror_camera_matrix, 17)
VIEW_SLOT_OPS(view_store_mirror_proj, view_get_cur_mirror_proj, view_get_mirror_proj, 18)
VIEW_SLOT_OPS(view_store_mirror_proj_view, view_get_cur_mirror_proj_view, view_get_mirror_proj_view,
              19)
VIEW_SLOT_OPS(view_store_mirror_view_proj, view_get_cur_mirror_view_proj, view_get_mirror_view_proj,
              20)
VIEW_SLOT_OPS(view_store_extra_matrix, view_get_cur_extra_matrix, view_get_extra_matrix, 21)

// ---------------------------------------------------------------------------------------------
// The rebuild

void view_update(int view) {
    ViewRecord *r = view_record(view);
    if (!r->enabled || !r->recompute) return;
    int vi = view_index(view);

    Mat4 w, v;
    switch (r->camera_mode) {
        case CAMERA_POSITION_ANGLES:
            mat4_from_position_euler(&w, &r->position, &r->angles);
            mat4_inverse(&v, &w);
            r->matrix = w;
            break;
        case CAMERA_LOOK_AT:
            mat4_look_at_point(&w, &r->position, &r->look_at, &r->up, 0);
            mat4_inverse(&v, &w);
            r->matrix = w;
            break;
        case CAMERA_WORLD_MATRIX:
            w = r->matrix;
            mat4_inverse(&v, &w);
            break;
        case CAMERA_VIEW_MATRIX:
            v = r->matrix;
            mat4_inverse(&w, &v);
            break;
        default:
            mat4_identity(&w);
            mat4_identity(&v);
            break;
    }

    FrustumParams *f = &r->frustum;
    frustum_from_fov(f, r->fov, r->aspect, r->center_x, r->center_y, r->near, r->far);
    Mat4 p, p_cull;
    mat4_perspective_off_center(&p, f->left, f->right, f->bottom, f->top, f->near, f->far);
    mat4_perspective_off_center(&p_cull, f->left, f->right, f->bottom, f->top, f->near,
                                r->far_limit);

    Mat4 *s = s_views.slots[vi];
    s[VIEW_SLOT_VIEW] = v;
    s[VIEW_SLOT_CAMERA] = w;
    s[VIEW_SLOT_PROJ] = p;
    mat4_multiply(&s[VIEW_SLOT_PROJ_VIEW], &v, &p);
    mat4_multiply(&s[VIEW_SLOT_VIEW_PROJ], &p, &v);
    mat4_multiply(&s[VIEW_SLOT_CULL_VIEW_PROJ], &p_cull, &v);

    view_aux_build(vi, &w);
    view_mirror_build(vi, &v, &p);

    FrustumPlanes *pl = s_views.planes[vi];
    frustum_extract_planes(&pl[0], &s[VIEW_SLOT_VIEW_PROJ]);
    frustum_extract_planes(&pl[1], &s[VIEW_SLOT_CULL_VIEW_PROJ]);
    frustum_extract_planes(&pl[2], &s[VIEW_SLOT_AUX_VIEW_PROJ]);
    frustum_extract_planes(&pl[3], &s[VIEW_SLOT_AUX_VIEW_PROJ + 1]);
    frustum_extract_planes(&pl[4], &s[VIEW_SLOT_MIRROR_VIEW_PROJ]);

    if (r->camera_mode != CAMERA_POSITION_ANGLES)
        mat4_decompose_position_euler(&r->position, &r->angles, &w);
    r->recompute = 0;
}

// ---------------------------------------------------------------------------------------------
// Projection and rays

int32_t view_project_ndc(int view, float *x, float *y, const Vec3 *point) {
    ViewRecord *r = view_record(view);
    if (!r->enabled || !point) return -2;
    view_update(view);
    Vec4 p = {point->x, point->y, point->z, 1.0f}, c;
    mat4_transform_vec4(&c, slot(view, VIEW_SLOT_VIEW_PROJ), &p);
    float nx = c.x, ny = c.y;
    if (c.w != 0.0f) {
        nx = c.x / c.w;
        ny = c.y / c.w;
    }
    if (x) *x = nx;
    if (y) *y = ny;
    if (nx < -1.0f || nx > 1.0f || ny < -1.0f || ny > 1.0f) return -2;
    return c.w >= 0.0f ? 0 : -1;
}

int32_t view_project_point(int view, float *x, float *y, const Vec3 *point) {
    float nx = 0.0f, ny = 0.0f;
    if (!view_record(view)->enabled || !point) return -2;
    int32_t result = view_project_ndc(view, &nx, &ny, point);
    const ViewRecord *r = view_record(view);
    if (x) *x = (nx * 0.5f + 0.5f) * (float)r->viewport_width;
    if (y) *y = (0.5f - ny * 0.5f) * (float)r->viewport_height;
    return result;
}

// Ray through (u, v) of the unit square over the near-plane window, u right and v down.
static int32_t unit_square_ray(ViewRecord *r, Vec3 *direction, float u, float v) {
    const FrustumParams *f = &r->frustum;
    Vec3 d = {f->left + (f->right - f->left) * u, f->top + (f->bottom - f->top) * v, f->near};
    vec3_normalize(&d, &d);
    if (direction) mat4_rotate_vector(direction, &r->matrix, &d);
    return (u >= 0.0f && u <= 1.0f && v >= 0.0f && v <= 1.0f) ? 0 : -2;
}

int32_t view_screen_ray(int view, Vec3 *direction, float x, float y) {
    view_update(view);
    ViewRecord *r = view_record(view);
    if (r->viewport_width == 0 || r->viewport_height == 0) return -2;
    float u = (x - (float)r->viewport_x) / (float)r->viewport_width;
    float v = (y - (float)r->viewport_y) / (float)r->viewport_height;
    return unit_square_ray(r, direction, u, v);
}

int32_t view_ndc_ray(int view, Vec3 *direction, float x, float y) {
    view_update(view);
    return unit_square_ray(view_record(view), direction, x * 0.5f + 0.5f, 0.5f - y * 0.5f);
}

void view_near_point(int view, Vec3 *point, Vec3 *direction, float x, float y) {
    const Mat4 *m = view_get_matrix(view);
    const ViewRecord *r = view_record(view);
    const FrustumParams *f = &r->frustum;
    Vec3 q = {(f->right - f->left) * 0.5f * x, (f->top - f->bottom) * 0.5f * y, f->near};
    mat4_transform_point(&q, m, &q);
    if (point) *point = q;
    if (direction) vec3_direction(direction, &r->position, &q);
}

// ---------------------------------------------------------------------------------------------
// Shake, per-frame step and defaults

float gfx_random_range(float a, float b) {
    return a + (float)(sys_rand() % 10000) * (b - a) / 10000.0f;
}

void view_step_shake(int view) {
    ViewRecord *r = view_record(view);
    if (r->shake_frames < 1) {
        r->shake_x = 0.0f;
        r->shake_y = 0.0f;
        return;
    }
    r->shake_x = gfx_random_range(-r->shake_amp_x, r->shake_amp_x);
    r->shake_y = gfx_random_range(-r->shake_amp_y, r->shake_amp_y);
    r->shake_amp_x *= r->shake_decay;
    r->shake_amp_y *= r->shake_decay;
    r->shake_frames -= 1;
}

void view_step_frame(int view) {
    view_step_shake(view);
    view_step_light(view);
    view_step_fog(view);
    view_count_aux_cams(view);
}

void view_set_defaults(void) {
    const int32_t screen_w = gfx_get_screen_width();
    const int32_t screen_h = gfx_get_screen_height();
    for (int view = 0; view < VIEW_COUNT; ++view) {
        ViewRecord *r = view_record(view);
        view_light_set_defaults(view);
        view_fog_set_defaults(view);
        view_aux_set_defaults(view);
        view_mirror_set_defaults(view);
        r->enabled = view == 0 ? 1 : 0;
        view_set_camera_mode(view, CAMERA_LOOK_AT);
        view_set_fov(view, 0.7853982f);
        view_set_proj_center(view, 0.5f, 0.5f);
        Vec3 eye = {0.0f, 0.0f, 5.0f}, target = {0.0f, 0.0f, 0.0f}, up = {0.0f, 1.0f, 0.0f};
        view_set_look_at(view, &eye, &target, &up);
        view_set_viewport(view, 0, 0, screen_w, screen_h);
        view_set_clip(view, 0.1f, 100.0f, 100.0f);
        view_shake(view, 0, 0.0f, 0.0f, 1.0f, 5);
    }
}
