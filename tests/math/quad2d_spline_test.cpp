#include "math_test_util.h"
#include "reference_values.h"

namespace {

Quad2D rect(float x0, float y0, float x1, float y1) {
    return Quad2D{{{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}}};
}

// A square of half size h centred at (cx, cy), turned by ang.
Quad2D turned_square(float cx, float cy, float h, float ang) {
    float c = std::cos(ang) * h, s = std::sin(ang) * h;
    auto at = [&](float u, float v) { return Vec2{cx + u * c - v * s, cy + u * s + v * c}; };
    return Quad2D{{at(-1, -1), at(1, -1), at(-1, 1), at(1, 1)}};
}

} // namespace

TEST(Geom2d, SidesAndCrossings) {
    Vec2 a = {0, 0}, b = {4, 0}, above = {1, 1}, below = {1, -1}, on = {9, 0};
    EXPECT_EQ(geom2d_side(&a, &b, &above), 0);
    EXPECT_EQ(geom2d_side(&a, &b, &below), 2);
    EXPECT_EQ(geom2d_side(&a, &b, &on), 1);
    EXPECT_EQ(geom2d_points_on_different_sides(&a, &b, &above, &below), 1);
    Vec2 c = {2, -2}, d = {2, 2}, e = {5, -2}, f = {5, 2};
    EXPECT_EQ(geom2d_segments_intersect(&a, &b, &c, &d), 1);
    EXPECT_EQ(geom2d_segments_intersect(&a, &b, &e, &f), 0);
    EXPECT_EQ(geom2d_segments_cross(&a, &b, &c, &d), 1);
    EXPECT_EQ(geom2d_segments_cross(&a, &b, &e, &f), 0);
    // Touching at an end point: a crossing (product 0) but a third side for the side codes.
    Vec2 g = {4, -2}, h = {4, 2};
    EXPECT_EQ(geom2d_segments_cross(&a, &b, &g, &h), 1);
    EXPECT_EQ(geom2d_segments_intersect(&a, &b, &g, &h), 1);
}

TEST(Geom2d, LineAndSegmentIntersections) {
    Vec2 p0 = {0, 0}, p1 = {4, 4}, q0 = {0, 4}, q1 = {4, 0}, out;
    EXPECT_EQ(geom2d_line_intersection(&out, &p0, &p1, &q0, &q1), 1);
    EXPECT_FLOAT_EQ(out.x, 2.0f);
    EXPECT_FLOAT_EQ(out.y, 2.0f);
    Vec2 r0 = {0, 1}, r1 = {4, 5};
    EXPECT_EQ(geom2d_line_intersection(&out, &p0, &p1, &r0, &r1), 0);
    EXPECT_EQ(out.x, p0.x);
    EXPECT_EQ(geom2d_segment_intersection(&out, &p0, &p1, &q0, &q1), 1);
    EXPECT_FLOAT_EQ(out.x, 2.0f);
    EXPECT_EQ(geom2d_segment_intersection(&out, &p0, &p1, &r0, &r1), 0);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    Vec2 short1 = {3, 3}, short0 = {2.5f, 2.5f};
    EXPECT_EQ(geom2d_segment_intersection(&out, &short0, &short1, &q0, &q1),
              0); // lines meet at 2,2
}

TEST(Geom2d, FootDistanceAndCircle) {
    Vec2 p0 = {0, 0}, p1 = {2, 2}, q = {2, 0}, foot;
    geom2d_foot_on_line(&foot, &p0, &p1, &q);
    EXPECT_FLOAT_EQ(foot.x, 1.0f);
    EXPECT_FLOAT_EQ(foot.y, 1.0f);
    Vec2 v1 = {0, 5};
    geom2d_foot_on_line(&foot, &p0, &v1, &q);
    EXPECT_EQ(foot.x, 0.0f);
    EXPECT_EQ(foot.y, 0.0f);
    EXPECT_FLOAT_EQ(geom2d_distance_to_line(&p0, &p1, &q), std::sqrt(2.0f));
    EXPECT_EQ(geom2d_distance_to_line(&p0, &p0, &q), 0.0f);
    Vec2 c = {1, 1}, w0 = {3, 0}, w1 = {3, 5}, w2 = {3, 8};
    EXPECT_EQ(geom2d_segment_hits_circle(&c, 1.9f, &w0, &w1), 0);
    EXPECT_EQ(geom2d_segment_hits_circle(&c, 2.0f, &w0, &w1), 1); // touching counts
    EXPECT_EQ(geom2d_segment_hits_circle(&c, 2.0f, &w1, &w2), 0); // nearest point is an end
    // A zero-length segment is its point.
    Vec2 inside = {1.2f, 1.1f};
    EXPECT_EQ(geom2d_segment_hits_circle(&c, 0.5f, &inside, &inside), 1);
    Vec2 outside = {3, 3};
    EXPECT_EQ(geom2d_segment_hits_circle(&c, 0.5f, &outside, &outside), 0);
}

TEST(Geom2d, QuadContainsAndCircles) {
    Quad2D q = rect(0, 0, 4, 2);
    Vec2 corner = {4, 2}, in = {1, 1}, out = {5, 1};
    EXPECT_EQ(geom2d_quad_contains_point(&q, &corner), 1);
    EXPECT_EQ(geom2d_quad_contains_point(&q, &in), 1);
    EXPECT_EQ(geom2d_quad_contains_point(&q, &out), 0);
    Quad2D t = turned_square(0, 0, 1, 0.785398f);
    Vec2 diag = {1.3f, 0}, inside_diamond = {1.2f, 0.1f}, near_corner = {0.9f, 0.9f};
    EXPECT_EQ(geom2d_quad_contains_point(&t, &diag), 1);
    EXPECT_EQ(geom2d_quad_contains_point(&t, &inside_diamond), 1);
    EXPECT_EQ(geom2d_quad_contains_point(&t, &near_corner), 0);

    Vec2 centre = {2, 1};
    EXPECT_EQ(geom2d_quad_hits_circle(&q, &centre, 0.5f), 1); // wholly inside
    Vec2 beyond = {6, 1};
    EXPECT_EQ(geom2d_quad_hits_circle(&q, &beyond, 1.5f), 0);
    Vec2 by_corner = {4.5f, 2.5f};
    EXPECT_EQ(geom2d_quad_hits_circle(&q, &by_corner, 0.8f), 1);
    EXPECT_EQ(geom2d_quad_hits_circle(&q, &by_corner, 0.6f), 0);
    Vec2 diagonal_out = {5.5f, 3.5f}; // inside no single edge band yet clear of every edge
    EXPECT_EQ(geom2d_quad_hits_circle(&q, &diagonal_out, 1.0f), 0);
}

TEST(Geom2d, QuadOverlapsAndSegments) {
    Quad2D a = rect(0, 0, 1, 1), b = rect(1, 0, 2, 1), c = rect(1.01f, 0, 2, 1);
    EXPECT_EQ(geom2d_quads_overlap(&a, &b), 1); // sharing an edge
    EXPECT_EQ(geom2d_quads_overlap(&a, &c), 0);
    // Two diamonds whose bounding boxes overlap but whose sides do not meet.
    Quad2D d1 = turned_square(0, 0, 1, 0.785398f), d2 = turned_square(1.5f, 1.5f, 1, 0.785398f);
    EXPECT_EQ(geom2d_quads_overlap(&d1, &d2), 0);
    Quad2D d3 = turned_square(1.2f, 1.2f, 1, 0.785398f);
    EXPECT_EQ(geom2d_quads_overlap(&d1, &d3), 1);

    Vec2 pin = {0.5f, 0.5f};
    EXPECT_EQ(geom2d_quad_hits_segment(&a, &pin, &pin), 1); // zero length inside
    Vec2 s0 = {-1, 0.5f}, s1 = {3, 0.5f}, s2 = {-1, 3}, s3 = {3, 3.5f};
    EXPECT_EQ(geom2d_quad_hits_segment(&a, &s0, &s1), 1);
    EXPECT_EQ(geom2d_quad_hits_segment(&a, &s2, &s3), 0);
    Vec2 g0 = {1.5f, -1}, g1 = {-1, 1.5f}; // crosses the corner region diagonally
    EXPECT_EQ(geom2d_quad_hits_segment(&a, &g0, &g1), 1);
    Vec2 m0 = {3.5f, -1}, m1 = {-1, 3.5f};
    EXPECT_EQ(geom2d_quad_hits_segment(&a, &m0, &m1), 0);
}

TEST(Spline, MatchesTheReferenceSolution) {
    const int n = (int)(sizeof kSplineXs / sizeof kSplineXs[0]);
    for (const SplineCase &c : kSplineCases)
        EXPECT_NEAR(spline_cubic_eval(kSplineXs, kSplineYs, n, c.x), c.expected,
                    2e-6 * (1.0 + std::fabs(c.expected)))
            << c.x;
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(spline_cubic_eval(kSplineXs, kSplineYs, n, kSplineXs[i]), kSplineYs[i]);
}

TEST(Spline, EdgesAndLines) {
    const float xs[] = {0, 1, 3, 4, 7, 8, 9, 10, 11}, line[] = {1, 3, 7, 9, 15, 17, 19, 21, 23};
    EXPECT_EQ(spline_cubic_eval(xs, line, 9, 2.0f), 0.0f);
    EXPECT_EQ(spline_cubic_eval(xs, line, 1, 0.5f), 0.0f);
    EXPECT_EQ(spline_cubic_eval(xs, line, 5, -0.1f), 0.0f);
    EXPECT_EQ(spline_cubic_eval(xs, line, 5, 7.5f), 0.0f);
    for (float x = 0.1f; x < 7.0f; x += 0.45f)
        EXPECT_NEAR(spline_cubic_eval(xs, line, 5, x), 2 * x + 1, 1e-5f);
    // Two knots: the straight line between them.
    EXPECT_NEAR(spline_cubic_eval(xs, line, 2, 0.25f), 1.5f, 1e-6f);
    float h[8], m[8];
    ASSERT_EQ(spline_cubic_setup(xs, line, 4, h, m), 1);
    for (int i = 0; i <= 4; ++i) EXPECT_NEAR(m[i], 0.0f, 1e-5f);
}

TEST(Spline, KnotsThatDoNotIncreaseGiveZero) {
    const float repeated[] = {0, 1, 1, 2}, backwards[] = {0, 2, 1, 3}, ys[] = {0, 5, -3, 2};
    EXPECT_EQ(spline_cubic_eval(repeated, ys, 4, 0.5f), 0.0f);
    EXPECT_EQ(spline_cubic_eval(backwards, ys, 4, 0.5f), 0.0f);
    float h[8], m[8] = {42, 42, 42, 42, 42, 42, 42, 42};
    EXPECT_EQ(spline_cubic_setup(backwards, ys, 3, h, m), 0);
    EXPECT_EQ(m[1], 42.0f); // untouched
}
