// The two auxiliary cameras and the mirror plane of each view. Their matrices fill slots 6-20
// of the view's matrix table and plane sets 2-4 at every rebuild (view_update), enabled or not.
#pragma once

#include <cstdint>

#include "math/math_types.h"

struct ViewAuxCamera {
    uint32_t enabled; // counted per frame into the view's aux camera count
    uint32_t fit;     // non-zero: fitted around a sphere ahead of the view camera
    Vec3 position;    // eye; written back by every rebuild in fit mode
    Vec3 direction;   // stored normalised
    uint32_t color;   // not read by the renderer
    Vec4 color_f;
    float distance; // eye distance from the sphere centre
    float ahead;    // sphere centre distance ahead of the view camera
    float radius;
    float fov;       // written by every rebuild in fit mode
    float near, far; // written by every rebuild in fit mode
    float param;     // not read by the renderer
};

struct ViewMirrorPlane {
    uint32_t enabled;
    Vec3 point;
    Vec3 normal; // stored normalised
    Plane plane; // (normal, -dot(normal, point))
};

void view_set_aux_cam_enabled(int view, int k, uint32_t enabled);
void view_set_aux_cam_dir(int view, int k, const Vec3 *dir);
void view_set_aux_cam_color(int view, int k, uint32_t argb);
void view_set_aux_cam_fit(int view, int k, float distance, float ahead, float radius);
void view_set_aux_cam_fit_flag(int view, int k, uint32_t fit);
void view_set_aux_cam_position(int view, int k, const Vec3 *position);
void view_set_aux_cam_proj(int view, int k, float fov, float near, float far);
void view_set_aux_cam_param(int view, int k, float param);
void view_set_active_aux_cam(uint32_t index);

uint32_t view_get_aux_cam_enabled(int view, int k);
uint32_t view_get_aux_cam_fit_flag(int view, int k);
Vec3 *view_get_aux_cam_dir(int view, int k);
Vec3 *view_get_aux_cam_position(int view, int k);
uint32_t view_get_aux_cam_color(int view, int k);
Vec4 *view_get_aux_cam_color_f(int view, int k);
float view_get_aux_cam_distance(int view, int k);
float view_get_aux_cam_ahead(int view, int k);
float view_get_aux_cam_radius(int view, int k);
float view_get_aux_cam_param(int view, int k);
float view_get_aux_cam_near(int view, int k); // updates the view first
float view_get_aux_cam_far(int view, int k);  // updates the view first
uint32_t view_get_active_aux_cam(void);
uint32_t view_get_aux_cam_count(int view);

void view_set_mirror_enabled(int view, uint32_t enabled);
// point null = origin, normal null = (0, 1, 0); the normal is stored normalised.
void view_set_mirror_plane(int view, const Vec3 *point, const Vec3 *normal);
uint32_t view_get_mirror_enabled(int view);
Plane *view_get_mirror_plane(int view);
Vec3 *view_get_mirror_point(int view);
Vec3 *view_get_mirror_normal(int view);

// Defaults written by view_set_defaults.
void view_aux_set_defaults(int view);
void view_mirror_set_defaults(int view);
// Per-frame: the number of the view's two aux cameras whose enabled word is non-zero.
void view_count_aux_cams(int view);
