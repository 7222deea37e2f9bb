#include <cstring>

#include "math_test_util.h"
#include "reference_values.h"

namespace {

float vlen(const Vec3 &v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Quat quat_of_order(const char *order, const EulerAngles *a) {
    Quat q;
    if (!std::strcmp(order, "zyx")) quat_from_euler_zyx(&q, a);
    if (!std::strcmp(order, "xzy")) quat_from_euler_xzy(&q, a);
    if (!std::strcmp(order, "yxz")) quat_from_euler_yxz(&q, a);
    if (!std::strcmp(order, "xyz")) quat_from_euler_xyz(&q, a);
    if (!std::strcmp(order, "yzx")) quat_from_euler_yzx(&q, a);
    if (!std::strcmp(order, "zxy")) quat_from_euler_zxy(&q, a);
    return q;
}

} // namespace

TEST(Vec3, LengthFloorAndNormalize) {
    Vec3 v = {1e-6f, 0.0f, 0.0f}, n;
    EXPECT_EQ(vec3_length(&v), 0.0f);
    EXPECT_EQ(vec3_length_sq_floor(&v), 0.0f);
    Vec3 zero = {0.0f, 0.0f, 0.0f};
    vec3_normalize(&n, &zero);
    expect_vec3_near(n, 0.0f, 0.0f, 0.0f, 0.0f);
    // No epsilon in normalise: a tiny vector still becomes a unit vector.
    Vec3 tiny = {1e-30f, 0.0f, 0.0f};
    vec3_normalize(&n, &tiny);
    EXPECT_FLOAT_EQ(n.x, 1.0f);
}

TEST(Vec3, SlerpBlendsDirectionAndLength) {
    Vec3 a = {2.0f, 0.0f, 0.0f}, b = {0.0f, 0.0f, 4.0f}, r;
    vec3_slerp(&r, &a, &b, 0.5f);
    float h = 3.0f * std::sqrt(0.5f);
    expect_vec3_near(r, h, 0.0f, h, 1e-6f);
    vec3_slerp(&r, &a, &b, 1.0f);
    expect_vec3_near(r, 0.0f, 0.0f, 4.0f, 1e-6f);
    Vec3 zero = {0.0f, 0.0f, 0.0f};
    vec3_slerp(&r, &zero, &b, 1.0f);
    expect_vec3_near(r, 0.0f, 0.0f, 4.0f, 0.0f);
    vec3_slerp(&r, &a, &zero, 0.0f);
    expect_vec3_near(r, 2.0f, 0.0f, 0.0f, 0.0f);
}

TEST(Vec3, SlerpOfParallelVectorsKeepsTheDirection) {
    // Parallel inputs have no turn: the result is the direction at the blended length, not
    // zero, and a unit-vector dot rounded past 1 does not turn into NaN.
    const Vec3 dirs[] = {{1.0f, 1.0f, 1.0f}, {0.3f, -0.7f, 0.2f}, {-5.0f, 2.0f, 9.0f}};
    for (const Vec3 &d : dirs) {
        Vec3 a, b, r;
        vec3_scale(&a, &d, 1.0f);
        vec3_scale(&b, &d, 3.0f);
        vec3_slerp(&r, &a, &b, 0.5f);
        ASSERT_TRUE(vec3_finite(r));
        expect_vec3_near(r, d.x * 2.0f, d.y * 2.0f, d.z * 2.0f, 2e-6f * vlen(d) * 2.0f);
    }
}

TEST(EulerAngles, DirectionsAndBack) {
    Vec3 d;
    EulerAngles a = {0.0f, 0.0f, 0.0f};
    vec3_angles_to_direction(&d, &a);
    expect_vec3_near(d, 0.0f, 0.0f, 1.0f, 0.0f);
    a = {kMathHalfPi, 0.0f, 0.0f};
    vec3_angles_to_direction(&d, &a);
    expect_vec3_near(d, 0.0f, -1.0f, 0.0f, 1e-7f);
    vec3_angles_to_direction(&d, nullptr);
    expect_vec3_near(d, 0.0f, 0.0f, 0.0f, 0.0f);

    Vec3 x = {1.0f, 0.0f, 0.0f};
    vec3_direction_to_angles(&a, &x);
    EXPECT_EQ(a.x, 0.0f);
    EXPECT_FLOAT_EQ(a.y, kMathHalfPi);
    // Round trip through a direction, and the pitch matches row 2 of the Euler matrix.
    EulerAngles in = {0.4f, -2.2f, 0.0f}, back;
    vec3_angles_to_direction(&d, &in);
    vec3_direction_to_angles(&back, &d);
    EXPECT_NEAR(back.x, in.x, 1e-6f);
    EXPECT_NEAR(back.y, in.y, 1e-6f);
    Mat4 m;
    mat4_rotation_euler(&m, &in);
    expect_vec3_near(d, m.m[2][0], m.m[2][1], m.m[2][2], 1e-7f);

    Vec3 down_up = {0.0f, -1.0f, 0.0f};
    vec3_direction_to_angles_up(&a, &x, &down_up);
    EXPECT_FLOAT_EQ(a.x, kMathPi);
    EXPECT_FLOAT_EQ(a.y, kMathHalfPi + kMathPi);

    Vec3 p0 = {1, 1, 1}, p1 = {1, 5, 1};
    vec3_angles_between_points(&a, &p0, &p1);
    EXPECT_EQ(a.x, 0.0f); // straight up: no heading, so all zero
}

TEST(EulerAngles, PointsOnACircle) {
    Vec3 r;
    // Points of a circle lie at the radius, in the plane perpendicular to the axis.
    Vec3 centre = {1, -2, 4};
    const Vec3 axes[] = {{0, 1, 0}, {1, 0, 0}, {0.3f, 0.5f, -0.8f}};
    for (const Vec3 &axis : axes) {
        Vec3 n;
        vec3_normalize(&n, &axis);
        for (float ang = 0.0f; ang < 6.0f; ang += 0.7f) {
            vec3_point_on_circle(&r, &centre, &axis, ang, 2.5f);
            Vec3 d;
            vec3_sub(&d, &r, &centre);
            EXPECT_NEAR(vlen(d), 2.5f, 1e-5f);
            EXPECT_NEAR(vec3_dot(&d, &n), 0.0f, 1e-5f);
        }
    }
}

TEST(Quat, EulerMembersBuildTheirProducts) {
    for (const EulerProductCase &c : kEulerProductCases) {
        SCOPED_TRACE(c.order);
        EulerAngles a = {c.angles[0], c.angles[1], c.angles[2]};
        Quat q = quat_of_order(c.order, &a);
        EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 2e-6f);
        Mat4 m;
        quat_to_mat3x4(&m, &q);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(m.m[i][j], c.rows[i][j], 2e-6f);
    }
}

TEST(Quat, ZxyMatchesTheEulerMatrix) {
    EulerAngles a = {0.7f, -1.9f, 2.6f};
    Quat q;
    quat_from_euler_zxy(&q, &a);
    Mat4 fromq, m;
    mat4_identity(&fromq);
    mat4_identity(&m);
    quat_to_mat3x4(&fromq, &q);
    mat4_rotation_euler(&m, &a);
    EXPECT_FALSE(mat4_differs(&fromq, &m, 2e-6f));
}

TEST(Quat, AxisAngleRoundTripAndRoundedW) {
    Vec3 axis = {0.0f, 0.6f, 0.8f}, back;
    Quat q;
    quat_from_axis_angle(&q, &axis, 1.2f);
    float angle = 0.0f;
    quat_to_axis_angle(&back, &angle, &q);
    EXPECT_NEAR(angle, 1.2f, 1e-6f);
    expect_vec3_near(back, 0.0f, 0.6f, 0.8f, 1e-6f);
    // w rounded just past 1 reads as no rotation, never NaN.
    Quat over = {0.0f, 0.0f, 0.0f, 1.0000001f};
    quat_to_axis_angle(&back, &angle, &over);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_TRUE(vec3_finite(back));
    Quat lg;
    quat_log(&lg, &over);
    EXPECT_EQ(lg.x, 0.0f);
    EXPECT_EQ(lg.w, 0.0f);
    Quat under = {0.0f, 0.0f, 0.0f, -1.0000001f};
    quat_log(&lg, &under);
    EXPECT_TRUE(std::isfinite(lg.x) && std::isfinite(lg.y) && std::isfinite(lg.z));
    // The small-divisor clamp keeps the sign.
    Quat small = {1e-6f, -1e-6f, 0.0f, 1.0f};
    quat_axis_divided(&back, &small, -1e-7f);
    expect_vec3_near(back, -0.1f, 0.1f, 0.0f, 1e-7f);
}

TEST(Quat, FromTwoVectorsCarriesFromOntoTo) {
    Vec3 from = {1, 0, 0}, to = {0, 0, 1};
    Quat q;
    quat_from_two_vectors(&q, &from, &to);
    Mat4 m;
    mat4_identity(&m);
    quat_to_mat3x4(&m, &q);
    Vec3 r;
    mat4_rotate_vector(&r, &m, &from);
    expect_vec3_near(r, 0.0f, 0.0f, 1.0f, 1e-6f);
    Vec3 same = {2, 0, 0}, opposite = {-1, 0, 0};
    quat_from_two_vectors(&q, &from, &same);
    EXPECT_EQ(q.w, 1.0f);
    quat_from_two_vectors(&q, &from, &opposite);
    EXPECT_EQ(q.w, 1.0f);
}

TEST(Quat, SlerpTakesTheShortPath) {
    Vec3 y = {0, 1, 0};
    Quat a, b, r, expect;
    quat_identity(&a);
    quat_from_axis_angle(&b, &y, kMathHalfPi);
    quat_slerp(&r, &a, &b, 0.5f);
    quat_from_axis_angle(&expect, &y, kMathPi / 4);
    EXPECT_NEAR(r.y, expect.y, 1e-6f);
    EXPECT_NEAR(r.w, expect.w, 1e-6f);
    quat_slerp(&r, &b, &b, 0.3f);
    EXPECT_EQ(r.y, b.y);
    EXPECT_EQ(r.w, b.w);
    // Negated b is the same rotation: the blend starts from -a.
    Quat nb = {-b.x, -b.y, -b.z, -b.w};
    quat_slerp(&r, &a, &nb, 0.5f);
    EXPECT_NEAR(r.y, -expect.y, 1e-6f);
    EXPECT_NEAR(r.w, -expect.w, 1e-6f);
    quat_slerp(&r, &a, &nb, 0.0f);
    EXPECT_NEAR(r.w, -1.0f, 1e-6f);
}

TEST(Quat, ExpLogAndJacobian) {
    Quat v = {0.3f, -0.2f, 0.5f, 0.0f}, e, l;
    quat_exp(&e, &v);
    quat_log(&l, &e);
    EXPECT_NEAR(l.x, v.x, 1e-6f);
    EXPECT_NEAR(l.y, v.y, 1e-6f);
    EXPECT_NEAR(l.z, v.z, 1e-6f);

    // The Jacobian against central differences of exp, at a regular point, a small one and 0.
    const Quat points[] = {{0.3f, -0.2f, 0.5f, 0.0f}, {1e-3f, 2e-3f, -1e-3f, 0.0f}, {0, 0, 0, 0}};
    for (const Quat &p : points) {
        Quat rows[3];
        quat_exp_jacobian(&rows[0], &rows[1], &rows[2], &p);
        for (int i = 0; i < 3; ++i) {
            double h = 1e-3;
            double pv[3] = {p.x, p.y, p.z};
            auto exp_d = [](const double *x, double *o) {
                double t = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
                double f = t == 0 ? 1.0 : std::sin(t) / t;
                o[0] = x[0] * f;
                o[1] = x[1] * f;
                o[2] = x[2] * f;
                o[3] = std::cos(t);
            };
            double plus[3] = {pv[0], pv[1], pv[2]}, minus[3] = {pv[0], pv[1], pv[2]};
            plus[i] += h;
            minus[i] -= h;
            double ep[4], em[4];
            exp_d(plus, ep);
            exp_d(minus, em);
            const float got[4] = {rows[i].x, rows[i].y, rows[i].z, rows[i].w};
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(got[k], (ep[k] - em[k]) / (2 * h), 2e-5) << i;
        }
    }
}
