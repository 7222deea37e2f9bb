#include "math_test_util.h"

TEST(Geom3d, DistancesToLines) {
    Vec3 a = {0, 0, 0}, b = {10, 0, 0}, p = {3, 4, 0};
    EXPECT_FLOAT_EQ(geom3d_distance_sq_to_line(&a, &b, &p), 16.0f);
    EXPECT_EQ(geom3d_distance_sq_to_line(&a, &a, &p), 0.0f);
    Vec3 dir = {0, 0, 2}, zero = {0, 0, 0};
    EXPECT_FLOAT_EQ(geom3d_distance_sq_to_ray_line(&a, &dir, &p), 25.0f);
    EXPECT_EQ(geom3d_distance_sq_to_ray_line(&a, &zero, &p), 0.0f);
    EXPECT_EQ(geom3d_point_near_line(&a, &dir, &p, 5.0f), 1); // inclusive
    EXPECT_EQ(geom3d_point_near_line(&a, &dir, &p, 4.99f), 0);
    EXPECT_EQ(geom3d_point_near_line(&a, &zero, &p, 100.0f), 0);
    // A point on the line never comes out negative through rounding.
    Vec3 on = {0.1f, 0.2f, 0.3f}, far = {1000.1f, 2000.2f, 3000.3f}, q = {500.1f, 1000.2f, 1500.3f};
    EXPECT_GE(geom3d_distance_sq_to_line(&on, &far, &q), 0.0f);
}

TEST(Geom3d, FootOnSegment) {
    Vec3 a = {0, 0, 0}, b = {4, 0, 0}, p = {1, 3, 0}, delta, foot;
    EXPECT_EQ(geom3d_foot_on_segment(&delta, &foot, &p, &a, &b), 1);
    expect_vec3_near(foot, 1.0f, 0.0f, 0.0f, 0.0f);
    expect_vec3_near(delta, 0.0f, 3.0f, 0.0f, 0.0f);
    Vec3 beyond = {5, 1, 0};
    EXPECT_EQ(geom3d_foot_on_segment(nullptr, &foot, &beyond, &a, &b), 0);
    expect_vec3_near(foot, 5.0f, 0.0f, 0.0f, 0.0f);
    // A zero-length segment is its one point: no division by zero.
    EXPECT_EQ(geom3d_foot_on_segment(&delta, &foot, &p, &b, &b), 1);
    expect_vec3_near(foot, 4.0f, 0.0f, 0.0f, 0.0f);
    expect_vec3_near(delta, -3.0f, 3.0f, 0.0f, 0.0f);
}

TEST(Geom3d, SideAndSpheres) {
    Vec3 a = {0, 5, 0}, b = {1, -3, 1}, c = {2, 9, 2}, left = {0, 0, 1}, right = {1, 0, 0};
    EXPECT_EQ(geom3d_side_xz(&a, &b, &c), 1);
    EXPECT_EQ(geom3d_side_xz(&a, &b, &left), 0);
    EXPECT_EQ(geom3d_side_xz(&a, &b, &right), 2);
    Vec3 c0 = {0, 0, 0}, c1 = {2, 0, 0};
    EXPECT_EQ(geom3d_spheres_touch(&c0, 1.0f, &c1, 1.0f), 1);
    EXPECT_EQ(geom3d_spheres_touch(&c0, 1.0f, &c1, 0.99f), 0);
}

TEST(Geom3d, SphereTouchesSegment) {
    Vec3 centre = {0, 0, 0}, start = {-5, 0.5f, 0}, delta = {10, 0, 0}, zero = {0, 0, 0};
    EXPECT_EQ(geom3d_sphere_touches_segment(&start, &delta, &centre, 1.0f), 1);
    Vec3 short_delta = {3, 0, 0}; // ends at x = -2
    EXPECT_EQ(geom3d_sphere_touches_segment(&start, &short_delta, &centre, 1.0f), 0);
    Vec3 inside = {0.5f, 0, 0}, outside = {2, 0, 0};
    EXPECT_EQ(geom3d_sphere_touches_segment(&inside, &zero, &centre, 1.0f), 1);
    EXPECT_EQ(geom3d_sphere_touches_segment(&outside, &zero, &centre, 1.0f), 0);
}

TEST(Geom3d, SegmentHitsSphere) {
    Vec3 centre = {1, 2, 3}, start = {1, 2, -7}, delta = {0, 0, 20}, point, normal;
    float t = NAN;
    ASSERT_EQ(geom3d_segment_hits_sphere(&start, &delta, &centre, 2.0f, &t, &point, &normal), 1);
    EXPECT_FLOAT_EQ(t, 8.0f / 20.0f); // (|start - centre| - r) / |delta|
    expect_vec3_near(point, 1.0f, 2.0f, 1.0f, 1e-6f);
    expect_vec3_near(normal, 0.0f, 0.0f, -1.0f, 1e-6f);
    Vec3 inner = {1, 2, 3.5f};
    ASSERT_EQ(geom3d_segment_hits_sphere(&inner, &delta, &centre, 2.0f, &t, &point, nullptr), 1);
    EXPECT_LT(t, 0.0f);
    expect_vec3_near(point, 1.0f, 2.0f, 1.0f, 1e-6f);
    Vec3 miss = {5, 5, -7};
    EXPECT_EQ(geom3d_segment_hits_sphere(&miss, &delta, &centre, 2.0f, &t, &point, &normal), 0);
}

TEST(Geom3d, SegmentHitsSphereAtTangencyWritesItsOutputs) {
    // Segments grazing spheres: whenever a hit is reported the hit point is written, and it
    // lies on the sphere.
    int hits = 0;
    for (int k = 0; k < 400; ++k) {
        float r = 0.37f + 0.013f * (float)k;
        float ang = 0.1f * (float)k;
        Vec3 centre = {3.0f * std::cos(ang), -1.0f + 0.01f * (float)k, 2.0f * std::sin(ang)};
        Vec3 start = {centre.x - 7.3f, centre.y + r, centre.z};
        Vec3 delta = {14.1f, 0.0f, 0.0f};
        float t = NAN;
        Vec3 point = unwritten_vec3(), normal = unwritten_vec3();
        if (!geom3d_segment_hits_sphere(&start, &delta, &centre, r, &t, &point, &normal)) continue;
        ++hits;
        ASSERT_TRUE(std::isfinite(t)) << k;
        ASSERT_TRUE(vec3_finite(point) && vec3_finite(normal)) << k;
        EXPECT_NEAR(std::sqrt(vec3_distance_sq(&point, &centre)), r, 1e-4f * (1.0f + r));
    }
    EXPECT_GT(hits, 100);
}

TEST(Geom3d, SegmentTouchesBox) {
    Vec3 mn = {0, 0, 0}, mx = {2, 2, 2};
    Vec3 in = {0.5f, 0.5f, 0.5f}, small = {0.5f, 0.5f, 0.5f};
    EXPECT_EQ(geom3d_segment_touches_box(&in, &small, &mn, &mx), 1);
    // Corners given in the other order still bound the box.
    EXPECT_EQ(geom3d_segment_touches_box(&in, &small, &mx, &mn), 1);
    Vec3 through = {-1, 1, 1}, long_delta = {4, 0, 0};
    EXPECT_EQ(geom3d_segment_touches_box(&through, &long_delta, &mn, &mx), 1);
    Vec3 above = {-1, 3, 1};
    EXPECT_EQ(geom3d_segment_touches_box(&above, &long_delta, &mn, &mx), 0);
    Vec3 diag = {-1, 3, 1}, diag_delta = {4, -2, 0}; // clips the top edge region
    EXPECT_EQ(geom3d_segment_touches_box(&diag, &diag_delta, &mn, &mx), 1);
    // Lying in the top face's plane, crossing the face from outside to outside.
    Vec3 on_top = {-1, 2, 1};
    EXPECT_EQ(geom3d_segment_touches_box(&on_top, &long_delta, &mn, &mx), 1);
    Vec3 on_top_miss = {-1, 2, 3};
    EXPECT_EQ(geom3d_segment_touches_box(&on_top_miss, &long_delta, &mn, &mx), 0);
}

TEST(Geom3d, SegmentHitsTriangleFromTheFront) {
    // (B - A) x (C - B) points to -y for this winding: the front faces down.
    const Vec3 tri[3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    Vec3 n;
    Vec3 e0 = {1, 0, 0}, e1 = {-1, 0, 1};
    vec3_cross(&n, &e0, &e1);
    ASSERT_LT(n.y, 0.0f);
    Vec3 below = {0.25f, -1, 0.25f}, up = {0, 2, 0}, point, normal;
    ASSERT_EQ(geom3d_segment_hits_triangle(&point, &normal, tri, &below, &up), 1);
    expect_vec3_near(point, 0.25f, 0.0f, 0.25f, 1e-6f);
    expect_vec3_near(normal, 0.0f, -1.0f, 0.0f, 0.0f);
    Vec3 above = {0.25f, 1, 0.25f}, down = {0, -2, 0};
    EXPECT_EQ(geom3d_segment_hits_triangle(&point, &normal, tri, &above, &down), 0);
    Vec3 to_plane = {0, 1, 0}; // ends exactly on the plane: t = 1
    EXPECT_EQ(geom3d_segment_hits_triangle(nullptr, nullptr, tri, &below, &to_plane), 1);
    Vec3 edge = {0.5f, -1, 0.0f}; // on edge A-B
    EXPECT_EQ(geom3d_segment_hits_triangle(nullptr, nullptr, tri, &edge, &up), 1);
    Vec3 outside = {0.75f, -1, 0.75f};
    EXPECT_EQ(geom3d_segment_hits_triangle(nullptr, nullptr, tri, &outside, &up), 0);
}

TEST(Geom3d, ZeroAreaTriangleIsNeverHit) {
    const Vec3 line[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    const Vec3 point3[3] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
    Vec3 start = {1, 0, 0}, delta = {0, 1, 0}, p = unwritten_vec3();
    EXPECT_EQ(geom3d_segment_hits_triangle(&p, nullptr, line, &start, &delta), 0);
    Vec3 at = {1, 1, 1};
    EXPECT_EQ(geom3d_segment_hits_triangle(&p, nullptr, point3, &at, &delta), 0);
    EXPECT_TRUE(std::isnan(p.x));
}
