// The renderer's two views (0 = the game camera, 1 = a second view, disabled by default).
// A view is a camera placed by one of four modes, an off-centre perspective projection, a
// viewport, clip distances and a camera shake; everything derived from them (22 matrix slots
// and five sets of frustum planes) is rebuilt lazily: setters only mark the view, and every
// getter of derived data first calls view_update, which rebuilds once and clears the mark.
// View numbers other than 0 and 1 address a scratch record that is never drawn.
#pragma once

#include <cstdint>

#include "math/math_types.h"
#include "render/view_aux.h"
#include "render/view_light.h"

enum : int { VIEW_COUNT = 2, VIEW_SLOT_COUNT = 22, VIEW_PLANE_SET_COUNT = 5 };

// How the camera is placed (W = camera world matrix, V = view matrix = inverse of W).
enum CameraMode : uint32_t {
    CAMERA_POSITION_ANGLES = 0, // W from position and Euler angles
    CAMERA_LOOK_AT = 1,         // W looks from the eye (position) at the target
    CAMERA_WORLD_MATRIX = 2,    // W is the record's matrix
    CAMERA_VIEW_MATRIX = 3,     // V is the record's matrix
};

// Matrix slots of a view.
enum ViewSlot : int {
    VIEW_SLOT_VIEW = 0,
    VIEW_SLOT_CAMERA = 1,
    VIEW_SLOT_PROJ = 2,
    VIEW_SLOT_PROJ_VIEW = 3,      // projection then view (the reverse product)
    VIEW_SLOT_VIEW_PROJ = 4,      // view then projection
    VIEW_SLOT_CULL_VIEW_PROJ = 5, // view then projection with the far limit
    VIEW_SLOT_AUX_VIEW = 6,       // + k
    VIEW_SLOT_AUX_CAMERA = 8,
    VIEW_SLOT_AUX_PROJ = 10,
    VIEW_SLOT_AUX_PROJ_VIEW = 12,
    VIEW_SLOT_AUX_VIEW_PROJ = 14,
    VIEW_SLOT_MIRROR_VIEW = 16,
    VIEW_SLOT_MIRROR_CAMERA = 17,
    VIEW_SLOT_MIRROR_PROJ = 18,
    VIEW_SLOT_MIRROR_PROJ_VIEW = 19,
    VIEW_SLOT_MIRROR_VIEW_PROJ = 20,
    VIEW_SLOT_EXTRA = 21, // stored and read only through its own operations
};

struct ViewRecord {
    uint32_t enabled;
    uint32_t recompute; // 1 = derived data is stale
    uint32_t camera_mode;
    Vec3 position; // mode 0 position, mode 1 eye; taken back from W after a rebuild in modes 1-3
    EulerAngles angles;
    Vec3 look_at;
    Vec3 up;
    Mat4 matrix; // input of modes 2 and 3; holds W after a rebuild in modes 0 and 1
    float fov;   // vertical, radians
    float center_x, center_y;
    float near, far;
    float far_limit; // shorter far distance used for culling
    int32_t viewport_x, viewport_y, viewport_width, viewport_height;
    float aspect;
    ViewFog fog;
    int32_t shake_frames;
    int32_t shake_level;
    float shake_amp_x, shake_amp_y;
    float shake_decay;
    float shake_x, shake_y; // this frame's offsets
    FrustumParams frustum;
};

// Camera and projection setters (all mark the view unless noted).
void view_set_enabled(int view, uint32_t enabled); // does not mark
void view_set_camera_mode(int view, uint32_t mode);
void view_set_fov(int view, float radians);
void view_set_proj_center(int view, float x, float y);
void view_set_position_angles(int view, const Vec3 *position, const Vec3 *angles);
void view_set_look_at(int view, const Vec3 *eye, const Vec3 *target, const Vec3 *up);
void view_set_matrix(int view, const Mat4 *m);
void view_set_viewport_aspect(int view, int32_t x, int32_t y, int32_t width, int32_t height,
                              float aspect);
// The aspect is taken from the stored size, so a zero width or height gives a finite projection.
void view_set_viewport(int view, int32_t x, int32_t y, int32_t width, int32_t height);
void view_set_clip(int view, float near, float far, float limit);
void view_set_near(int view, float near);
void view_set_far(int view, float far); // the far limit is not re-clamped
void view_set_far_limit(int view, float limit);
// Starts a shake unless one of a lower level is still running. Does not mark.
void view_shake(int view, int32_t frames, float amplitude_x, float amplitude_y, float decay,
                int32_t level);
void view_set_current(int view);

// Plain getters.
uint32_t view_get_enabled(int view);
uint32_t view_get_camera_mode(int view);
float view_get_fov(int view);
float view_get_proj_center_x(int view);
float view_get_proj_center_y(int view);
float view_get_aspect(int view);
float view_get_near(int view);
float view_get_far(int view);
float view_get_far_limit(int view);
Vec3 *view_get_look_at(int view);
Vec3 *view_get_up(int view);
void view_get_viewport(int view, int32_t *x, int32_t *y, int32_t *width, int32_t *height);
float view_get_shake_x(int view);
float view_get_shake_y(int view);
uint32_t view_get_current(void);

// Updating getters.
Vec3 *view_get_position(int view);
EulerAngles *view_get_angles(int view);
Mat4 *view_get_matrix(int view);
FrustumParams *view_get_frustum_params(int view);
FrustumPlanes *view_get_frustum_planes(int view);
FrustumPlanes *view_get_cull_planes(int view);
FrustumPlanes *view_get_mirror_planes(int view);
FrustumPlanes *view_get_aux_cam_planes(int view, int k);

// Matrix slots: store (used by view_update), getter of the current view, getter of a view.
Mat4 *view_store_view_matrix(int view, const Mat4 *m);
Mat4 *view_get_cur_view_matrix(void);
Mat4 *view_get_view_matrix(int view);
Mat4 *view_store_camera_matrix(int view, const Mat4 *m);
Mat4 *view_get_cur_camera_matrix(void);
Mat4 *view_get_camera_matrix(int view);
Mat4 *view_store_proj(int view, const Mat4 *m);
Mat4 *view_get_cur_proj(void);
Mat4 *view_get_proj(int view);
Mat4 *view_store_proj_view(int view, const Mat4 *m);
Mat4 *view_get_cur_proj_view(void);
Mat4 *view_get_proj_view(int view);
Mat4 *view_store_view_proj(int view, const Mat4 *m);
Mat4 *view_get_cur_view_proj(void);
Mat4 *view_get_view_proj(int view);
Mat4 *view_store_cull_view_proj(int view, const Mat4 *m);
Mat4 *view_get_cur_cull_view_proj(void);
Mat4 *view_get_cull_view_proj(int view);
Mat4 *view_store_aux_cam_view(int view, int k, const Mat4 *m);
Mat4 *view_get_cur_aux_cam_view(int k);
Mat4 *view_get_aux_cam_view(int view, int k);
Mat4 *view_store_aux_cam_matrix(int view, int k, const Mat4 *m);
Mat4 *view_get_cur_aux_cam_matrix(int k);
Mat4 *view_get_aux_cam_matrix(int view, int k);
Mat4 *view_store_aux_cam_proj(int view, int k, const Mat4 *m);
Mat4 *view_get_cur_aux_cam_proj(int k);
Mat4 *view_get_aux_cam_proj(int view, int k);
Mat4 *view_store_aux_cam_proj_view(int view, int k, const Mat4 *m);
Mat4 *view_get_cur_aux_cam_proj_view(int k);
Mat4 *view_get_aux_cam_proj_view(int view, int k);
Mat4 *view_store_aux_cam_view_proj(int view, int k, const Mat4 *m);
Mat4 *view_get_cur_aux_cam_view_proj(int k);
Mat4 *view_get_aux_cam_view_proj(int view, int k);
Mat4 *view_store_mirror_view(int view, const Mat4 *m);
Mat4 *view_get_cur_mirror_view(void);
Mat4 *view_get_mirror_view(int view);
Mat4 *view_store_mirror_camera_matrix(int view, const Mat4 *m);
Mat4 *view_get_cur_mirror_camera_matrix(void);
Mat4 *view_get_mirror_camera_matrix(int view);
Mat4 *view_store_mirror_proj(int view, const Mat4 *m);
Mat4 *view_get_cur_mirror_proj(void);
Mat4 *view_get_mirror_proj(int view);
Mat4 *view_store_mirror_proj_view(int view, const Mat4 *m);
Mat4 *view_get_cur_mirror_proj_view(void);
Mat4 *view_get_mirror_proj_view(int view);
Mat4 *view_store_mirror_view_proj(int view, const Mat4 *m);
Mat4 *view_get_cur_mirror_view_proj(void);
Mat4 *view_get_mirror_view_proj(int view);
Mat4 *view_store_extra_matrix(int view, const Mat4 *m);
Mat4 *view_get_cur_extra_matrix(void);
Mat4 *view_get_extra_matrix(int view);

// The lazy rebuild of every matrix slot (but the extra one) and plane set.
void view_update(int view);

// Screen position of a world point: 0 in front of the camera, -1 behind it, -2 when the view
// is disabled (nothing written) or the point lies outside [-1, 1].
int32_t view_project_point(int view, float *x, float *y, const Vec3 *point);
int32_t view_project_ndc(int view, float *x, float *y, const Vec3 *point);
// World-space ray directions through a screen position; 0 inside the view, -2 outside.
int32_t view_screen_ray(int view, Vec3 *direction, float x, float y);
int32_t view_ndc_ray(int view, Vec3 *direction, float x, float y);
// The point on the near plane under an NDC position, and the direction to it from the camera.
void view_near_point(int view, Vec3 *point, Vec3 *direction, float x, float y);

// Both views (lights, fog, aux cameras, mirror, camera, projection, shake) to their defaults.
void view_set_defaults(void);
// The per-frame view step: shake, light transition, fog fade, aux camera count.
void view_step_frame(int view);
void view_step_shake(int view);

// a + (rand() % 10000) * (b - a) / 10000 with the C runtime's generator.
float gfx_random_range(float a, float b);
