#include "math_test_util.h"
#include "reference_values.h"

TEST(Frustum, FromFieldOfView) {
    for (const FovCase &c : kFovCases) {
        FrustumParams p;
        ASSERT_EQ(frustum_from_fov(&p, c.fov, c.aspect, c.cx, c.cy, c.near, c.far), &p);
        SCOPED_TRACE(c.fov);
        EXPECT_EQ(p.left, c.expected[0]);
        EXPECT_EQ(p.right, c.expected[1]);
        EXPECT_EQ(p.bottom, c.expected[2]);
        EXPECT_EQ(p.top, c.expected[3]);
        EXPECT_EQ(p.near, c.expected[4]);
        EXPECT_EQ(p.far, c.expected[5]);
    }
    EXPECT_EQ(frustum_from_fov(nullptr, 1, 1, 0.5f, 0.5f, 1, 2), nullptr);
}

TEST(Frustum, AnglesNeverInvert) {
    // Half-angles past 90 degrees would turn the tangents' signs and the frustum inside out.
    const float angles[] = {0.0f, 0.5f, 1.5f, 1.6f, 2.0f, 3.0f, 3.2f};
    for (float a : angles) {
        FrustumParams p;
        frustum_from_angles(&p, a, a, a, a, 1.5f, 1.0f, 100.0f);
        EXPECT_GT(p.top, 0.0f) << a;
        EXPECT_LT(p.bottom, 0.0f) << a;
        EXPECT_LT(p.left, 0.0f) << a;
        EXPECT_GT(p.right, 0.0f) << a;
        EXPECT_TRUE(std::isfinite(p.top) && std::isfinite(p.left)) << a;
    }
    FrustumParams p;
    frustum_from_angles(&p, 0.4f, 0.2f, 0.3f, 0.1f, 2.0f, 0.5f, 10.0f);
    EXPECT_FLOAT_EQ(p.top, std::tan(0.4f) * 0.5f);
    EXPECT_FLOAT_EQ(p.bottom, -std::tan(0.2f) * 0.5f);
    EXPECT_FLOAT_EQ(p.left, -std::tan(0.3f) * 0.5f * 2.0f);
    EXPECT_FLOAT_EQ(p.right, std::tan(0.1f) * 0.5f * 2.0f);
}

TEST(Frustum, PlanesOfTheIdentity) {
    Mat4 id;
    mat4_identity(&id);
    FrustumPlanes fp;
    frustum_extract_planes(&fp, &id);
    const float expect[6][4] = {{0, 0, 1, 1}, {0, 0, -1, 1}, {-1, 0, 0, 1},
                                {1, 0, 0, 1}, {0, 1, 0, 1},  {0, -1, 0, 1}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fp.planes[i].a, expect[i][0]) << i;
        EXPECT_EQ(fp.planes[i].b, expect[i][1]) << i;
        EXPECT_EQ(fp.planes[i].c, expect[i][2]) << i;
        EXPECT_EQ(fp.planes[i].d, expect[i][3]) << i;
    }
}

TEST(Frustum, PlanesOfAViewProjection) {
    FrustumParams fr;
    frustum_from_fov(&fr, 1.0f, 1.5f, 0.5f, 0.5f, 1.0f, 50.0f);
    Mat4 proj, view, vp;
    mat4_projection_from_frustum(&proj, &fr);
    Vec3 eye = {5, 2, -3}, target = {5, 2, 10}, up = {0, 1, 0};
    Mat4 cam;
    mat4_look_at_point_up(&cam, &eye, &target, &up, 0);
    mat4_inverse(&view, &cam);
    mat4_multiply(&vp, &proj, &view); // view first, then projection
    FrustumPlanes fp;
    frustum_extract_planes(&fp, &vp);
    for (const Plane &p : fp.planes) EXPECT_NEAR(p.a * p.a + p.b * p.b + p.c * p.c, 1.0f, 1e-5f);
    Vec3 inside = {5.5f, 2.3f, 10.0f}, behind = {5, 2, -4}, beyond = {5, 2, 46.5f},
         wide = {40, 2, 10};
    for (const Plane &p : fp.planes) EXPECT_GT(plane_dot_point(&p, &inside), 0.0f);
    EXPECT_LT(plane_dot_point(&fp.planes[0], &behind), 0.0f);
    EXPECT_GT(plane_dot_point(&fp.planes[1], &beyond), 0.0f);
    Vec3 past_far = {5, 2, 47.5f};
    EXPECT_LT(plane_dot_point(&fp.planes[1], &past_far), 0.0f);
    int outside = 0;
    for (const Plane &p : fp.planes) outside += plane_dot_point(&p, &wide) < 0.0f;
    EXPECT_EQ(outside, 1);
    // Plane 0 (w + z) lies at n*f/(2f - n) in front of the eye, between n/2 and n.
    float z0 = 1.0f * 50.0f / (100.0f - 1.0f);
    Vec3 on0 = {5, 2, -3 + z0};
    EXPECT_NEAR(plane_dot_point(&fp.planes[0], &on0), 0.0f, 1e-5f);
}

TEST(Frustum, RescaleReadsBackTheFieldOfView) {
    FrustumParams p, r;
    frustum_from_fov(&p, 1.0f, 1.5f, 0.3f, 0.6f, 0.5f, 300.0f);
    frustum_rescale(&r, &p, 1.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(r.left, p.left, 1e-5f);
    EXPECT_NEAR(r.right, p.right, 1e-5f);
    EXPECT_NEAR(r.bottom, p.bottom, 1e-5f);
    EXPECT_NEAR(r.top, p.top, 1e-5f);
    EXPECT_EQ(r.near, 0.5f);
    EXPECT_EQ(r.far, 300.0f);
    FrustumParams centred, wider, expect;
    frustum_from_fov(&centred, 0.8f, 1.25f, 0.5f, 0.5f, 1.0f, 100.0f);
    frustum_rescale(&wider, &centred, 1.5f, 2.0f, 2.0f, 0.0f);
    frustum_from_fov(&expect, 1.2f, 2.5f, 0.5f, 0.5f, 2.0f, 100.0f);
    EXPECT_NEAR(wider.top, expect.top, 1e-5f);
    EXPECT_NEAR(wider.right, expect.right, 1e-5f);
    EXPECT_EQ(wider.near, 2.0f);
    frustum_rescale_sides(&wider, &centred, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(wider.top, centred.top, 1e-5f);
    EXPECT_NEAR(wider.left, centred.left, 1e-5f);
}

TEST(Frustum, ScreenSizeRules) {
    FrustumParams p = {-1, 1, -0.75f, 0.75f, 1, 100};
    // Window width at depth 10 is 20: a size of 2 covers a tenth of 800 pixels.
    EXPECT_FLOAT_EQ(frustum_pixels_for_size(&p, 10, 2, 800), 80.0f);
    EXPECT_FLOAT_EQ(frustum_size_for_pixels(&p, 10, 800, 80), 2.0f);
    EXPECT_EQ(frustum_min_size_at(&p, 10, 2, 800, 80), 2.0f); // equal passes
    EXPECT_FLOAT_EQ(frustum_min_size_at(&p, 10, 2, 800, 160), 4.0f);
    EXPECT_EQ(frustum_min_size_at(&p, 10, 0.001f, 800, 0), 0.001f);
    Mat4 view;
    mat4_identity(&view);
    view.m[3][2] = 5.0f;
    Vec3 point = {3, 3, 5};
    EXPECT_FLOAT_EQ(frustum_min_world_size(&p, &view, &point, 2, 800, 160), 4.0f);
    EXPECT_EQ(mathf_fraction(3, 2, 2), 0.0f);
    EXPECT_FLOAT_EQ(mathf_fraction(3, 2, 6), 0.25f);
}

TEST(Plane, Construction) {
    Plane p, z = {0, 0, 0, 5};
    plane_normalize(&p, &z);
    EXPECT_EQ(p.a, 0.0f);
    EXPECT_EQ(p.d, 0.0f);
    Plane q = {0, 3, 4, 10};
    plane_normalize(&q, &q);
    EXPECT_FLOAT_EQ(q.b, 0.6f);
    EXPECT_FLOAT_EQ(q.d, 2.0f);
    Vec3 a = {0, 1, 0}, b = {1, 1, 0}, c = {1, 1, 1};
    plane_from_points(&p, &a, &b, &c);
    EXPECT_FLOAT_EQ(p.b, -1.0f); // (b - a) x (c - b) = -y
    EXPECT_FLOAT_EQ(p.d, 1.0f);
    Vec3 off = {7, 3.5f, -2}, offset, projected;
    Plane unnorm = {0, 2, 0, -2}; // y = 1
    vec3_project_onto_plane(&offset, &projected, &off, &unnorm);
    expect_vec3_near(offset, 0, 2.5f, 0, 1e-6f);
    expect_vec3_near(projected, 7, 1, -2, 1e-6f);
}
