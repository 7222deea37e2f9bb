// Auxiliary cameras (fitted and free) and the mirrored camera with its oblique near plane.
#include <gtest/gtest.h>

#include <cmath>

#include "math/mat4.h"
#include "math/vec.h"
#include "render/gfx_display.h"
#include "render/view.h"
#include "view_test_env.h"

namespace {

class ViewAuxTest : public ViewFixture {};

Vec3 translation(const Mat4 *m) {
    return {m->m[3][0], m->m[3][1], m->m[3][2]};
}

Vec3 forward(const Mat4 *m) {
    return {m->m[2][0], m->m[2][1], m->m[2][2]};
}

float distance(Vec3 a, Vec3 b) {
    return std::sqrt(vec3_distance_sq(&a, &b));
}

// Vertical field of view of a centred projection.
float fov_of(const Mat4 *proj) {
    return 2.0f * std::atan(1.0f / proj->m[1][1]);
}

// Depth after the perspective divide of a world point through a view-projection matrix.
float clip_depth(const Mat4 *view_proj, Vec3 p) {
    Vec4 in = {p.x, p.y, p.z, 1.0f}, c;
    mat4_transform_vec4(&c, view_proj, &in);
    return c.z / c.w;
}

bool inside(const FrustumPlanes *planes, Vec3 p) {
    for (const Plane &pl : planes->planes)
        if (pl.a * p.x + pl.b * p.y + pl.c * p.z + pl.d < 0.0f) return false;
    return true;
}

TEST_F(ViewAuxTest, DefaultFitCameraEnclosesSphereAheadOfTheView) {
    EXPECT_NEAR(view_get_aux_cam_near(0, 0), 25.0f, 1e-4f);
    EXPECT_NEAR(view_get_aux_cam_far(0, 0), 35.0f, 1e-4f);
    EXPECT_NEAR(fov_of(view_get_aux_cam_proj(0, 0)), 2.0f * std::asin(5.0f / 30.0f), 1e-4f);
    // The default camera sits at (0, 0, 5) looking down -Z: the centre is 4.8 ahead of it.
    const Vec3 centre = {0, 0, 0.2f};
    Vec3 eye = translation(view_get_aux_cam_matrix(0, 1));
    EXPECT_NEAR(distance(eye, centre), 30.0f, 1e-3f);
    Vec3 f = forward(view_get_aux_cam_matrix(0, 1)), d = *view_get_aux_cam_dir(0, 1);
    EXPECT_NEAR(f.x, d.x, 1e-4f);
    EXPECT_NEAR(f.y, d.y, 1e-4f);
    EXPECT_NEAR(f.z, d.z, 1e-4f);
    EXPECT_NEAR(d.x, 1.0f / std::sqrt(3.0f), 1e-6f);
    EXPECT_TRUE(inside(view_get_aux_cam_planes(0, 1), centre));
    Mat4 product;
    mat4_multiply(&product, view_get_aux_cam_view(0, 1), view_get_aux_cam_matrix(0, 1));
    EXPECT_EQ(mat4_differs_from_identity(&product, 1e-4f), 0);
}

TEST_F(ViewAuxTest, FitCameraFollowsTheViewCamera) {
    Vec3 before = translation(view_get_aux_cam_matrix(0, 0));
    Vec3 eye = {10, 0, 5}, target = {10, 0, 0};
    view_set_look_at(0, &eye, &target, nullptr);
    Vec3 after = translation(view_get_aux_cam_matrix(0, 0));
    EXPECT_NEAR(after.x - before.x, 10.0f, 1e-3f);
    EXPECT_NEAR(after.y, before.y, 1e-3f);
    EXPECT_NEAR(after.z, before.z, 1e-3f);
    EXPECT_NEAR(view_get_aux_cam_position(0, 0)->x, after.x, 1e-4f);
}

TEST_F(ViewAuxTest, RadiusAboveDistanceMovesTheProjectionOutside) {
    view_set_aux_cam_fit(0, 0, 3.0f, 4.8f, 5.0f);
    EXPECT_NEAR(view_get_aux_cam_near(0, 0), 0.001f, 1e-4f);
    EXPECT_NEAR(view_get_aux_cam_far(0, 0), 10.001f, 1e-4f);
    EXPECT_LT(fov_of(view_get_aux_cam_proj(0, 0)), (float)M_PI);
    EXPECT_GT(fov_of(view_get_aux_cam_proj(0, 0)), 3.0f);
    // The eye keeps the stored distance.
    EXPECT_NEAR(distance(*view_get_aux_cam_position(0, 0), {0, 0, 0.2f}), 3.0f, 1e-4f);
}

TEST_F(ViewAuxTest, FreeCameraUsesItsOwnPlaceAndProjection) {
    Vec3 pos = {1, 2, 3}, dir = {0, 0, -4};
    view_set_aux_cam_fit_flag(0, 1, 0);
    view_set_aux_cam_position(0, 1, &pos);
    view_set_aux_cam_dir(0, 1, &dir);
    view_set_aux_cam_proj(0, 1, 1.0f, 0.5f, 40.0f);
    Vec3 t = translation(view_get_aux_cam_matrix(0, 1)), f = forward(view_get_aux_cam_matrix(0, 1));
    EXPECT_NEAR(t.x, 1.0f, 1e-5f);
    EXPECT_NEAR(t.z, 3.0f, 1e-5f);
    EXPECT_NEAR(f.z, -1.0f, 1e-5f);
    EXPECT_EQ(view_get_aux_cam_near(0, 1), 0.5f);
    EXPECT_EQ(view_get_aux_cam_far(0, 1), 40.0f);
    EXPECT_NEAR(fov_of(view_get_aux_cam_proj(0, 1)), 1.0f, 1e-5f);
    EXPECT_TRUE(inside(view_get_aux_cam_planes(0, 1), {1, 2, -10}));
    EXPECT_FALSE(inside(view_get_aux_cam_planes(0, 1), {1, 2, 10}));
}

TEST_F(ViewAuxTest, EnabledCamerasAreCountedPerFrame) {
    view_count_aux_cams(0);
    EXPECT_EQ(view_get_aux_cam_count(0), 0u);
    view_set_aux_cam_enabled(0, 1, 1);
    EXPECT_EQ(view_get_aux_cam_count(0), 0u);
    view_step_frame(0);
    EXPECT_EQ(view_get_aux_cam_count(0), 1u);
    view_set_aux_cam_color(0, 1, 0xFF00FF00);
    EXPECT_EQ(view_get_aux_cam_color_f(0, 1)->y, 1.0f);
}

TEST_F(ViewAuxTest, MirrorPlaneIsStoredNormalised) {
    Vec3 point = {0, 2, 0}, normal = {0, 2, 0};
    view_set_mirror_plane(0, &point, &normal);
    EXPECT_EQ(view_get_mirror_normal(0)->y, 1.0f);
    const Plane *p = view_get_mirror_plane(0);
    EXPECT_EQ(p->b, 1.0f);
    EXPECT_EQ(p->d, -2.0f);
    view_set_mirror_plane(0, nullptr, nullptr);
    EXPECT_EQ(view_get_mirror_plane(0)->d, 0.0f);
}

TEST_F(ViewAuxTest, MirroredCameraSitsBelowThePlaneAndClipsAtIt) {
    Vec3 eye = {0, 3, 5}, target = {0, 0, 0};
    view_set_look_at(0, &eye, &target, nullptr);
    Vec3 mirrored = translation(view_get_mirror_camera_matrix(0));
    EXPECT_NEAR(mirrored.x, 0.0f, 1e-4f);
    EXPECT_NEAR(mirrored.y, -2.8f, 1e-4f); // reflected about y = 0.1
    EXPECT_NEAR(mirrored.z, 5.0f, 1e-4f);
    // Above the plane: drawn in the mirror; below it (between the mirrored eye and the plane):
    // cut by the oblique near plane.
    const Mat4 *vp = view_get_mirror_view_proj(0);
    float above = clip_depth(vp, {0, 0.5f, 0}), below = clip_depth(vp, {0, -0.5f, 0});
    EXPECT_GE(above, 0.0f);
    EXPECT_LE(above, 1.0f);
    EXPECT_LT(below, 0.0f);
    EXPECT_TRUE(inside(view_get_mirror_planes(0), {0, 0.5f, 0}));
}

} // namespace
