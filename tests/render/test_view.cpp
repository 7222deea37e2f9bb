// Views and cameras: camera modes, lazy rebuild, projection and rays, shake, clip and viewport.
#include <gtest/gtest.h>

#include <cmath>

#include "math/mat4.h"
#include "math/vec.h"
#include "platform/sys/sys_rand.h"
#include "render/gfx_display.h"
#include "render/view.h"
#include "view_test_env.h"

namespace {

constexpr float kEps = 1e-4f;

class ViewTest : public ViewFixture {
  protected:
    void SetUp() override {
        ViewFixture::SetUp();
        view_set_current(0);
    }
};

void expect_vec3(const Vec3 &v, float x, float y, float z, float eps = kEps) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

bool is_identity(const Mat4 *m) {
    return mat4_differs_from_identity(m, kEps) == 0;
}

// The view matrix applied to a world point.
Vec3 to_view_space(int view, Vec3 p) {
    Vec3 out;
    mat4_transform_point(&out, view_get_view_matrix(view), &p);
    return out;
}

TEST_F(ViewTest, DefaultsLookDownMinusZFromFiveUnitsOut) {
    EXPECT_EQ(view_get_enabled(0), 1u);
    EXPECT_EQ(view_get_enabled(1), 0u);
    EXPECT_EQ(view_get_camera_mode(0), (uint32_t)CAMERA_LOOK_AT);
    EXPECT_FLOAT_EQ(view_get_aspect(0), 800.0f / 600.0f);
    int32_t w = 0, h = 0;
    view_get_viewport(0, nullptr, nullptr, &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    // Forward row of the camera world matrix points at the target.
    const Mat4 *cam = view_get_camera_matrix(0);
    expect_vec3({cam->m[2][0], cam->m[2][1], cam->m[2][2]}, 0, 0, -1);
    expect_vec3({cam->m[3][0], cam->m[3][1], cam->m[3][2]}, 0, 0, 5);
    // The look-at target sits 5 units ahead in view space.
    expect_vec3(to_view_space(0, {0, 0, 0}), 0, 0, 5);
}

TEST_F(ViewTest, LookAtModeWritesWorldMatrixAndAnglesBack) {
    Vec3 eye = {3, 4, 0}, target = {3, 4, 10};
    view_set_look_at(0, &eye, &target, nullptr);
    const Mat4 *m = view_get_matrix(0);
    expect_vec3({m->m[3][0], m->m[3][1], m->m[3][2]}, 3, 4, 0);
    expect_vec3({m->m[2][0], m->m[2][1], m->m[2][2]}, 0, 0, 1);
    EXPECT_TRUE(mat4_differs(m, view_get_camera_matrix(0), kEps) == 0);
    const EulerAngles *a = view_get_angles(0);
    EXPECT_NEAR(a->x, 0.0f, kEps);
    EXPECT_NEAR(a->y, 0.0f, kEps);
    expect_vec3(*view_get_position(0), 3, 4, 0);
    // View matrix and camera matrix are inverses.
    Mat4 product;
    mat4_multiply(&product, view_get_view_matrix(0), view_get_camera_matrix(0));
    EXPECT_TRUE(is_identity(&product));
}

TEST_F(ViewTest, PositionAnglesModeBuildsCameraFromEuler) {
    view_set_camera_mode(0, CAMERA_POSITION_ANGLES);
    Vec3 pos = {1, 2, 3}, angles = {0, (float)M_PI / 2, 0}; // yaw a quarter turn: +Z to +X
    view_set_position_angles(0, &pos, &angles);
    const Mat4 *cam = view_get_camera_matrix(0);
    expect_vec3({cam->m[2][0], cam->m[2][1], cam->m[2][2]}, 1, 0, 0);
    expect_vec3({cam->m[3][0], cam->m[3][1], cam->m[3][2]}, 1, 2, 3);
    EXPECT_TRUE(mat4_differs(view_get_matrix(0), cam, kEps) == 0);
    // A point one unit along +X from the camera is straight ahead at depth 1.
    expect_vec3(to_view_space(0, {2, 2, 3}), 0, 0, 1);
    // Mode 0 keeps the angles as given.
    EXPECT_FLOAT_EQ(view_get_angles(0)->y, (float)M_PI / 2);
}

TEST_F(ViewTest, MatrixModesTakeCameraOrViewMatrixAsGiven) {
    Mat4 world;
    mat4_from_position_euler_f(&world, 4, 5, 6, 0.3f, -0.7f, 0.0f);

    view_set_camera_mode(0, CAMERA_WORLD_MATRIX);
    view_set_matrix(0, &world);
    EXPECT_EQ(mat4_differs(view_get_camera_matrix(0), &world, kEps), 0);
    Mat4 product;
    mat4_multiply(&product, view_get_view_matrix(0), &world);
    EXPECT_TRUE(is_identity(&product));
    expect_vec3(*view_get_position(0), 4, 5, 6);
    EXPECT_NEAR(view_get_angles(0)->x, 0.3f, kEps);
    EXPECT_NEAR(view_get_angles(0)->y, -0.7f, kEps);

    Mat4 view_m;
    mat4_inverse(&view_m, &world);
    view_set_camera_mode(0, CAMERA_VIEW_MATRIX);
    view_set_matrix(0, &view_m);
    EXPECT_EQ(mat4_differs(view_get_view_matrix(0), &view_m, kEps), 0);
    EXPECT_EQ(mat4_differs(view_get_camera_matrix(0), &world, 1e-3f), 0);
    expect_vec3(*view_get_position(0), 4, 5, 6, 1e-3f);
}

TEST_F(ViewTest, UnknownModeGivesIdentityMatrices) {
    view_set_camera_mode(0, 9);
    EXPECT_TRUE(is_identity(view_get_view_matrix(0)));
    EXPECT_TRUE(is_identity(view_get_camera_matrix(0)));
}

TEST_F(ViewTest, ProductSlotsApplyViewAndProjectionInOrder) {
    const Mat4 *v = view_get_view_matrix(0), *p = view_get_proj(0);
    Vec4 world = {0.5f, -0.25f, 1.0f, 1.0f}, vs, expected, got;
    mat4_transform_vec4(&vs, v, &world);
    mat4_transform_vec4(&expected, p, &vs);
    mat4_transform_vec4(&got, view_get_view_proj(0), &world);
    EXPECT_NEAR(got.x, expected.x, kEps);
    EXPECT_NEAR(got.y, expected.y, kEps);
    EXPECT_NEAR(got.z, expected.z, kEps);
    EXPECT_NEAR(got.w, expected.w, kEps);
    // The reverse product applies the projection first.
    Mat4 reverse;
    mat4_multiply(&reverse, v, p);
    EXPECT_EQ(mat4_differs(view_get_proj_view(0), &reverse, kEps), 0);
}

TEST_F(ViewTest, SetterMarksAndFirstGetterRebuildsOnce) {
    view_set_fov(0, 1.0f);
    Mat4 rebuilt = *view_get_view_proj(0);
    // Overwrite the slot behind the view's back: a second getter must not rebuild it.
    Mat4 marker;
    mat4_identity(&marker);
    marker.m[3][3] = 42.0f;
    view_store_view_proj(0, &marker);
    EXPECT_EQ(view_get_view_proj(0)->m[3][3], 42.0f);
    EXPECT_EQ(view_get_frustum_planes(0), view_get_frustum_planes(0));
    // The next setter marks again and the getter rebuilds from the record.
    view_set_fov(0, 1.0f);
    EXPECT_EQ(mat4_differs(view_get_view_proj(0), &rebuilt, 0.0f), 0);
    // The extra slot is never written by the rebuild.
    view_store_extra_matrix(0, &marker);
    view_set_fov(0, 0.5f);
    EXPECT_EQ(view_get_extra_matrix(0)->m[3][3], 42.0f);
}

TEST_F(ViewTest, DisabledViewKeepsStaleSlotsAndProjectsNothing) {
    Mat4 before = *view_get_view_proj(0);
    view_set_enabled(0, 0);
    view_set_fov(0, 1.2f);
    EXPECT_EQ(mat4_differs(view_get_view_proj(0), &before, 0.0f), 0);
    float x = -7.0f, y = -7.0f;
    Vec3 origin = {0, 0, 0};
    EXPECT_EQ(view_project_point(0, &x, &y, &origin), -2);
    EXPECT_EQ(x, -7.0f);
    EXPECT_EQ(y, -7.0f);
}

TEST_F(ViewTest, ProjectionGivesCodesAndPixels) {
    float x = 0, y = 0;
    Vec3 centre = {0, 0, 0};
    EXPECT_EQ(view_project_point(0, &x, &y, &centre), 0);
    EXPECT_NEAR(x, 400.0f, 1e-3f);
    EXPECT_NEAR(y, 300.0f, 1e-3f);
    // Up in the world is up on the screen (smaller pixel y).
    Vec3 above = {0, 1, 0};
    EXPECT_EQ(view_project_point(0, &x, &y, &above), 0);
    EXPECT_LT(y, 300.0f);
    // Behind the camera, on its axis: -1.
    Vec3 behind = {0, 0, 10};
    EXPECT_EQ(view_project_ndc(0, &x, &y, &behind), -1);
    // Far off to the side: outside.
    Vec3 side = {100, 0, 0};
    EXPECT_EQ(view_project_point(0, &x, &y, &side), -2);
}

TEST_F(ViewTest, ProjectedPointAndScreenRayAgree) {
    Vec3 eye = {1, 2, 8}, target = {0, 0, 0};
    view_set_look_at(0, &eye, &target, nullptr);
    view_set_viewport(0, 0, 0, 640, 480);
    const Vec3 points[] = {{0.7f, -0.4f, 1.0f}, {-1.5f, 1.0f, -2.0f}, {0, 0, 0}};
    for (const Vec3 &p : points) {
        float x = 0, y = 0;
        ASSERT_EQ(view_project_point(0, &x, &y, &p), 0);
        Vec3 dir, expected;
        ASSERT_EQ(view_screen_ray(0, &dir, x, y), 0);
        vec3_direction(&expected, &eye, &p);
        expect_vec3(dir, expected.x, expected.y, expected.z, 1e-3f);
    }
    // The centre of the viewport looks along the camera's forward row.
    Vec3 dir;
    EXPECT_EQ(view_ndc_ray(0, &dir, 0, 0), 0);
    const Mat4 *cam = view_get_camera_matrix(0);
    expect_vec3(dir, cam->m[2][0], cam->m[2][1], cam->m[2][2], 1e-4f);
    // Off the screen the ray is still written, with -2.
    EXPECT_EQ(view_screen_ray(0, &dir, -10.0f, 5.0f), -2);
    // The near point under the centre lies near units ahead of the eye.
    Vec3 near_p, near_dir;
    view_near_point(0, &near_p, &near_dir, 0, 0);
    EXPECT_NEAR(std::sqrt(vec3_distance_sq(&near_p, &eye)), view_get_near(0), 1e-4f);
    expect_vec3(near_dir, cam->m[2][0], cam->m[2][1], cam->m[2][2], 1e-3f);
}

TEST_F(ViewTest, ClipKeepsFarLimitBelowFarExceptForSetFar) {
    view_set_clip(0, 0.1f, 50.0f, 80.0f);
    EXPECT_EQ(view_get_far_limit(0), 50.0f);
    view_set_far(0, 30.0f);
    EXPECT_EQ(view_get_far_limit(0), 50.0f);
    view_set_far_limit(0, 40.0f);
    EXPECT_EQ(view_get_far_limit(0), 30.0f);
    // The culling projection uses the limit: a point between limit and far is culled by it.
    view_set_clip(0, 0.1f, 100.0f, 20.0f);
    Vec4 p = {0, 0, -25, 1}, clip; // 30 units ahead of the eye at z = 5
    mat4_transform_vec4(&clip, view_get_cull_view_proj(0), &p);
    EXPECT_GT(clip.z / clip.w, 1.0f);
    mat4_transform_vec4(&clip, view_get_view_proj(0), &p);
    EXPECT_LT(clip.z / clip.w, 1.0f);
}

TEST_F(ViewTest, ZeroViewportSizeIsStoredAsOneWithFiniteAspect) {
    view_set_viewport(0, 0, 0, 200, 0);
    int32_t w = 0, h = 0;
    view_get_viewport(0, nullptr, nullptr, &w, &h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(view_get_aspect(0), 200.0f);
    const Mat4 *p = view_get_proj(0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(p->m[i][j]));
    // The defaults on a screen of no size get the same treatment.
    gfx_display()->screen_width = 0;
    gfx_display()->screen_height = 0;
    view_set_defaults();
    view_get_viewport(0, nullptr, nullptr, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(view_get_aspect(0), 1.0f);
    p = view_get_proj(0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_TRUE(std::isfinite(p->m[i][j]));
}

TEST_F(ViewTest, ShakeReplacesOnlyAtEqualOrLowerLevel) {
    view_shake(0, 10, 8, 8, 1.0f, 5);
    view_shake(0, 3, 1, 1, 1.0f, 7); // higher level: ignored
    view_step_shake(0);
    EXPECT_LE(std::fabs(view_get_shake_x(0)), 8.0f);
    view_shake(0, 2, 0.5f, 0.5f, 1.0f, 3); // lower level: replaces
    for (int i = 0; i < 2; ++i) {
        view_step_shake(0);
        EXPECT_LE(std::fabs(view_get_shake_x(0)), 0.5f);
        EXPECT_LE(std::fabs(view_get_shake_y(0)), 0.5f);
    }
    view_step_shake(0); // frames used up
    EXPECT_EQ(view_get_shake_x(0), 0.0f);
    EXPECT_EQ(view_get_shake_y(0), 0.0f);
    // Once the running shake is over any level starts.
    view_shake(0, 1, 2, 2, 1.0f, 9);
    sys_srand(1);
    view_step_shake(0);
    EXPECT_NE(view_get_shake_x(0), 0.0f);
}

TEST_F(ViewTest, ShakeDecaysEachFrame) {
    view_shake(0, 3, 8, 8, 0.5f, 1);
    const float bounds[] = {8, 4, 2};
    for (float b : bounds) {
        view_step_shake(0);
        EXPECT_GE(view_get_shake_x(0), -b);
        EXPECT_LT(view_get_shake_x(0), b);
        EXPECT_GE(view_get_shake_y(0), -b);
        EXPECT_LT(view_get_shake_y(0), b);
    }
    // A view reset does not cut a running shake of a lower level short.
    view_shake(0, 5, 1, 1, 1.0f, 2);
    view_set_defaults();
    view_step_shake(0);
    EXPECT_FALSE(view_get_shake_x(0) == 0.0f && view_get_shake_y(0) == 0.0f);
}

TEST_F(ViewTest, BadViewNumbersTouchNeitherView) {
    view_set_fov(5, 2.0f);
    view_set_fov(-1, 2.0f);
    EXPECT_FLOAT_EQ(view_get_fov(0), 0.7853982f);
    EXPECT_FLOAT_EQ(view_get_fov(1), 0.7853982f);
    float x, y;
    Vec3 p = {0, 0, 0};
    EXPECT_EQ(view_project_point(7, &x, &y, &p), -2);
}

} // namespace
