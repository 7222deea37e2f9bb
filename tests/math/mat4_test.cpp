#include <cmath>
#include <cstring>

#include "math_test_util.h"
#include "reference_values.h"

namespace {

Mat4 sample_affine() {
    Mat4 m;
    EulerAngles a = {0.4f, -1.1f, 2.3f};
    Vec3 p = {3.0f, -2.0f, 7.5f}, s = {1.5f, 0.5f, 2.0f};
    mat4_from_position_euler(&m, &p, &a);
    return *mat4_scale_rows(&m, &m, &s);
}

Mat4 sample_projection() {
    Mat4 p;
    return *mat4_perspective_off_center(&p, -0.8f, 1.2f, -0.6f, 0.7f, 0.5f, 200.0f);
}

void expect_identity_within(const Mat4 &m, float tol) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], i == j ? 1.0f : 0.0f, tol) << i << j;
}

} // namespace

TEST(Mat4, MultiplyAppliesTheSecondArgumentFirst) {
    Mat4 t, r, tr;
    Vec3 move = {10, 0, 0};
    mat4_translation(&t, &move);
    mat4_identity(&r);
    mat4_pre_rotate_y(&r, &r, kMathHalfPi); // +X turns to -Z
    mat4_multiply(&tr, &t, &r);             // r first, then t
    Vec3 x = {1, 0, 0}, out;
    mat4_transform_point(&out, &tr, &x);
    expect_vec3_near(out, 10.0f, 0.0f, -1.0f, 1e-6f);
}

TEST(Mat4, MultiplyMayWriteOverEitherInput) {
    Mat4 a = sample_affine(), b = sample_projection(), ref, x;
    mat4_multiply(&ref, &a, &b);
    x = a;
    mat4_multiply(&x, &x, &b);
    EXPECT_EQ(std::memcmp(&x, &ref, sizeof(Mat4)), 0);
    x = b;
    mat4_multiply(&x, &a, &x);
    EXPECT_EQ(std::memcmp(&x, &ref, sizeof(Mat4)), 0);
}

TEST(Mat4, InverseOfGeneralMatrices) {
    const Mat4 samples[] = {sample_affine(), sample_projection(),
                            mat4_rows({2, 1, 0, 3, -1, 4, 2, 0, 0.5f, 0, 3, 1, 1, 2, -1, 5})};
    for (const Mat4 &m : samples) {
        Mat4 inv, prod;
        mat4_inverse(&inv, &m);
        mat4_multiply(&prod, &m, &inv);
        expect_identity_within(prod, 1e-5f);
        mat4_multiply(&prod, &inv, &m);
        expect_identity_within(prod, 1e-5f);
        Mat4 same = m;
        mat4_inverse(&same, &same); // in place
        EXPECT_EQ(std::memcmp(&same, &inv, sizeof(Mat4)), 0);
    }
}

TEST(Mat4, SingularInverse) {
    Mat4 flat = sample_affine();
    Vec3 squash = {1, 0, 1};
    mat4_scale_rows(&flat, &flat, &squash);
    Mat4 out;
    std::memset(&out, 0x5A, sizeof out);
    Mat4 before = out;
    EXPECT_EQ(mat4_inverse_checked(&out, &flat), nullptr);
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    EXPECT_EQ(mat4_inverse(&out, &flat), &out);
    EXPECT_FALSE(mat4_differs_from_identity(&out, 0.0f));
}

TEST(Mat4, EulerMatrixAndBack) {
    for (float x = -1.5f; x < 1.5f; x += 0.37f)
        for (float y = -3.0f; y < 3.1f; y += 0.9f)
            for (float z = -3.0f; z < 3.1f; z += 1.1f) {
                EulerAngles a = {x, y, z}, back;
                Mat4 m;
                mat4_rotation_euler(&m, &a);
                mat4_to_euler(&back, &m);
                EXPECT_NEAR(back.x, x, 2e-5f);
                EXPECT_NEAR(back.y, y, 2e-5f);
                EXPECT_NEAR(back.z, z, 2e-5f);
            }
}

TEST(Mat4, EveryEulerOrderInvertsItsProduct) {
    // Regular cases: each member reads back the angles of the product in its order.
    struct Member {
        const char *order;
        EulerAngles *(*fn)(EulerAngles *, const Mat4 *);
    };
    const Member members[] = {{"zxy", mat4_to_euler},
                              {"yxz", mat4_to_euler_yaw_first},
                              {"zyx", mat4_to_euler_zyx},
                              {"xzy", mat4_to_euler_xzy},
                              {"xyz", mat4_to_euler_xyz}};
    int checked = 0;
    for (const Member &mb : members)
        for (const EulerProductCase &c : kEulerProductCases) {
            if (std::strcmp(c.order, mb.order)) continue;
            // The middle angle must lie within +-pi/2 for a unique answer.
            int mid = mb.order[1] == 'x' ? 0 : mb.order[1] == 'y' ? 1 : 2;
            if (std::fabs(c.angles[mid]) >= kMathHalfPi) continue;
            bool outer_ok = true;
            for (int k = 0; k < 3; ++k) outer_ok &= std::fabs(c.angles[k]) < kMathPi;
            if (!outer_ok) continue;
            Mat4 m;
            mat4_identity(&m);
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) m.m[i][j] = c.rows[i][j];
            EulerAngles got;
            mb.fn(&got, &m);
            SCOPED_TRACE(mb.order);
            EXPECT_NEAR(got.x, c.angles[0], 2e-5f);
            EXPECT_NEAR(got.y, c.angles[1], 2e-5f);
            EXPECT_NEAR(got.z, c.angles[2], 2e-5f);
            ++checked;
        }
    EXPECT_GE(checked, 10);
}

TEST(Mat4, GimbalBranches) {
    struct Member {
        const char *name;
        EulerAngles *(*fn)(EulerAngles *, const Mat4 *);
    };
    const Member members[] = {{"mat4_to_euler", mat4_to_euler},
                              {"mat4_to_euler_yaw_first", mat4_to_euler_yaw_first},
                              {"mat4_to_euler_zyx", mat4_to_euler_zyx},
                              {"mat4_to_euler_xzy", mat4_to_euler_xzy},
                              {"mat4_to_euler_xyz", mat4_to_euler_xyz}};
    for (const GimbalCase &c : kGimbalCases) {
        SCOPED_TRACE(c.member);
        Mat4 m;
        mat4_identity(&m);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m.m[i][j] = c.rows[i][j];
        for (const Member &mb : members) {
            if (std::strcmp(mb.name, c.member)) continue;
            EulerAngles got;
            mb.fn(&got, &m);
            EXPECT_EQ(got.x, c.expected[0]);
            EXPECT_EQ(got.y, c.expected[1]);
            EXPECT_EQ(got.z, c.expected[2]);
        }
    }
    // Pitch of exactly pi/2 through the main order: (pi/2, 0, z - y).
    EulerAngles a = {kMathHalfPi, 0.6f, -0.9f}, got;
    Mat4 m;
    mat4_rotation_euler(&m, &a);
    mat4_to_euler(&got, &m);
    EXPECT_EQ(got.x, kMathHalfPi);
    EXPECT_EQ(got.y, 0.0f);
    EXPECT_NEAR(got.z, -1.5f, 1e-6f);
}

TEST(Mat4, PreRotationsMatchProducts) {
    Mat4 m = sample_affine(), r, pre, prod;
    EulerAngles a = {0.3f, 1.2f, -0.7f};
    mat4_identity(&r);
    mat4_rotation_euler(&r, &a);
    mat4_pre_rotate_euler(&pre, &m, &a);
    mat4_multiply(&prod, &m, &r); // r first, then m
    EXPECT_FALSE(mat4_differs(&pre, &prod, 1e-5f));
    Vec3 pos = {1, 2, 3};
    Mat4 t, expect, inplace = m;
    mat4_translation(&t, &pos);
    mat4_multiply(&expect, &m, &t);
    mat4_multiply(&expect, &expect, &r); // R x T x m
    mat4_pre_position_euler(&inplace, nullptr, &pos, &a);
    EXPECT_FALSE(mat4_differs(&inplace, &expect, 1e-5f));
    Vec3 axis = {1, 1, 0};
    Mat4 aa, pa;
    mat4_from_position_axis_angle(&aa, &pos, &axis, 0.8f);
    mat4_pre_position_axis_angle(&pa, &m, &pos, &axis, 0.8f);
    mat4_multiply(&expect, &m, &aa);
    EXPECT_FALSE(mat4_differs(&pa, &expect, 1e-6f));
}

TEST(Mat4, SwapAxesRoundTrip) {
    Mat4 m = sample_affine(), s, u;
    mat4_swap_axes(&s, &m);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(s.m[1][j], -m.m[0][j]);
    mat4_unswap_axes(&u, &s);
    EXPECT_FALSE(mat4_differs(&u, &m, 0.0f));
}

TEST(Mat4, ProjectPointDropsTheSignOfW) {
    Mat4 m;
    mat4_identity(&m);
    m.m[3][3] = -2.0f;
    Vec3 p = {4, 6, 8}, out;
    mat4_project_point(&out, &m, &p);
    expect_vec3_near(out, 2.0f, 3.0f, 8.0f, 0.0f);
    m.m[3][3] = 0.0f;
    mat4_project_point(&out, &m, &p);
    expect_vec3_near(out, 4.0f, 6.0f, 8.0f, 0.0f);
}

TEST(Mat4, ProjectionsMapDepthToZeroOne) {
    Mat4 p = sample_projection(), o;
    Vec4 near_pt = {0.1f, 0.2f, 0.5f, 1}, far_pt = {-3, 5, 200, 1}, h;
    mat4_transform_vec4(&h, &p, &near_pt);
    EXPECT_NEAR(h.z / h.w, 0.0f, 1e-6f);
    mat4_transform_vec4(&h, &p, &far_pt);
    EXPECT_NEAR(h.z / h.w, 1.0f, 1e-6f);
    // Left edge at the near plane maps to x = -1, top edge to y = +1.
    Vec4 corner = {-0.8f, 0.7f, 0.5f, 1};
    mat4_transform_vec4(&h, &p, &corner);
    EXPECT_NEAR(h.x / h.w, -1.0f, 1e-6f);
    EXPECT_NEAR(h.y / h.w, 1.0f, 1e-6f);
    mat4_ortho_off_center(&o, -4, 4, -3, 3, 1, 9);
    Vec3 n = {4, -3, 1}, f = {0, 0, 9}, r;
    mat4_transform_point(&r, &o, &n);
    expect_vec3_near(r, 1.0f, -1.0f, 0.0f, 1e-6f);
    mat4_transform_point(&r, &o, &f);
    EXPECT_NEAR(r.z, 1.0f, 1e-6f);
}

TEST(Mat4, OrientationFrames) {
    Vec3 up = {0, 1, 0};
    Mat4 m;
    // Forward along up: the nudge still gives unit rows.
    Vec3 vertical = {0, 3, 0};
    mat4_orient_along(&m, nullptr, &vertical, &up, 0);
    for (int i = 0; i < 3; ++i) {
        Vec3 r = {m.m[i][0], m.m[i][1], m.m[i][2]};
        EXPECT_NEAR(vec3_dot(&r, &r), 1.0f, 1e-5f);
    }
    mat4_orient_along_up(&m, nullptr, &vertical, &up, 0);
    expect_vec3_near(Vec3{m.m[0][0], m.m[0][1], m.m[0][2]}, 1, 0, 0, 0);
    expect_vec3_near(Vec3{m.m[1][0], m.m[1][1], m.m[1][2]}, 0, 1, 0, 0);
    expect_vec3_near(Vec3{m.m[2][0], m.m[2][1], m.m[2][2]}, 0, 0, 1, 0);
    // Look-at: the target lies straight ahead.
    Vec3 eye = {1, 1, 1}, target = {4, 5, 1}, ahead;
    mat4_look_at_point(&m, &eye, &target, &up, 0);
    expect_vec3_near(Vec3{m.m[2][0], m.m[2][1], m.m[2][2]}, 0.6f, 0.8f, 0.0f, 1e-6f);
    mat4_look_at_point_up(&m, &eye, &target, &up, 0);
    Vec3 z = {0, 0, 1};
    mat4_rotate_vector(&ahead, &m, &z);
    expect_vec3_near(ahead, 1.0f, 0.0f, 0.0f, 1e-6f);
}

TEST(Mat4, FrameFromUpIsOrthonormalForEveryUp) {
    // Up with three equal components makes the shuffled helper axis parallel to it.
    const Vec3 ups[] = {{0, 1, 0}, {1, 1, 1}, {-2, -2, -2}, {0.3f, -0.5f, 0.8f}, {0, 0, 1}};
    for (const Vec3 &up : ups) {
        Mat4 m;
        Vec3 pos = {5, 6, 7};
        mat4_from_position_up(&m, &pos, &up);
        Vec3 rows[3];
        for (int i = 0; i < 3; ++i) rows[i] = Vec3{m.m[i][0], m.m[i][1], m.m[i][2]};
        Vec3 n;
        vec3_normalize(&n, &up);
        expect_vec3_near(rows[1], n.x, n.y, n.z, 1e-6f);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(vec3_dot(&rows[i], &rows[j]), i == j ? 1.0f : 0.0f, 1e-5f);
        EXPECT_EQ(m.m[3][0], 5.0f);
    }
}

TEST(Mat4, ReflectAndShadow) {
    Plane y1 = {0, 2, 0, -2}; // y = 1, not normalised
    Mat4 r;
    mat4_reflect(&r, &y1);
    Vec3 p = {4, 3, -1}, out;
    mat4_transform_point(&out, &r, &p);
    expect_vec3_near(out, 4.0f, -1.0f, -1.0f, 1e-6f);

    Plane ground = {0, 1, 0, 0};
    Mat4 s;
    Vec3 toward_sun = {0, 1, 0};
    mat4_shadow(&s, &toward_sun, &ground, 1);
    Vec4 q = {3, 5, 7, 1}, h;
    mat4_transform_vec4(&h, &s, &q);
    expect_vec3_near(Vec3{h.x / h.w, h.y / h.w, h.z / h.w}, 3.0f, 0.0f, 7.0f, 1e-6f);
    Vec3 lamp = {0, 10, 0};
    mat4_shadow(&s, &lamp, &ground, 0);
    Vec4 q2 = {1, 5, 0, 1};
    mat4_transform_vec4(&h, &s, &q2);
    expect_vec3_near(Vec3{h.x / h.w, h.y / h.w, h.z / h.w}, 2.0f, 0.0f, 0.0f, 1e-6f);
}

TEST(Mat4, ObliqueClipProjection) {
    Mat4 proj, view, out;
    mat4_perspective_off_center(&proj, -1, 1, -1, 1, 1, 100);
    mat4_identity(&view);
    // A plane whose clip-space image passes through the clip origin: projection unchanged.
    Plane through = {1, 0, 0, 0};
    mat4_oblique_clip_projection(&out, &proj, &view, &through);
    EXPECT_EQ(std::memcmp(&out, &proj, sizeof(Mat4)), 0);
    // Otherwise the plane becomes a depth limit: facing one way its points map to depth 0
    // (the carried plane is used as it is), facing the other way to depth 1 (negated, plus 1).
    const Plane planes[2] = {{-0.2f, -0.1f, 1.0f, -5.0f}, {0.2f, 0.1f, -1.0f, 5.0f}};
    for (int k = 0; k < 2; ++k) {
        const Plane &pl = planes[k];
        mat4_oblique_clip_projection(&out, &proj, &view, &pl);
        for (float x = -2; x <= 2; x += 1)
            for (float y = -2; y <= 2; y += 1) {
                float z = (pl.d + pl.a * x + pl.b * y) / -pl.c;
                Vec4 pt = {x, y, z, 1}, h;
                mat4_transform_vec4(&h, &out, &pt);
                EXPECT_NEAR(h.z / h.w, (float)k, 1e-5f);
            }
    }
}

TEST(Mat4, InterpolateBlendsRotationScaleAndPosition) {
    Mat4 a, b, out;
    EulerAngles ra = {0, 0.2f, 0}, rb = {0, 1.0f, 0};
    Vec3 pa = {0, 0, 0}, pb = {10, -4, 2};
    mat4_from_position_euler(&a, &pa, &ra);
    mat4_from_position_euler(&b, &pb, &rb);
    mat4_interpolate(&out, &a, &b, 0.0f);
    EXPECT_EQ(std::memcmp(&out, &a, sizeof(Mat4)), 0);
    mat4_interpolate(&out, &a, &b, 1.0f);
    EXPECT_EQ(std::memcmp(&out, &b, sizeof(Mat4)), 0);
    mat4_interpolate(&out, &a, &b, 0.5f);
    Mat4 expect;
    EulerAngles mid = {0, 0.6f, 0};
    Vec3 pm = {5, -2, 1};
    mat4_from_position_euler(&expect, &pm, &mid);
    EXPECT_FALSE(mat4_differs(&out, &expect, 1e-6f));
    // Axis scales blend linearly per row.
    Mat4 s1, s3;
    Vec3 one = {1, 1, 1}, three = {3, 5, 7};
    mat4_identity(&s1);
    mat4_identity(&s3);
    mat4_scale_rows(&s1, &s1, &one);
    mat4_scale_rows(&s3, &s3, &three);
    mat4_interpolate(&out, &s1, &s3, 0.25f);
    Vec3 s;
    mat4_axis_scales(&s, &out);
    expect_vec3_near(s, 1.5f, 2.0f, 2.5f, 1e-6f);
    // Scaled rotations blend by their angles: halfway from no turn to a quarter turn about y,
    // both at scale 2, is an eighth turn at scale 2 (the rows' scale is not read as angle).
    Mat4 r0, r90;
    EulerAngles e0 = {0, 0, 0}, e90 = {0, 1.5707963267948966f, 0};
    Vec3 origin = {0, 0, 0}, two = {2, 2, 2};
    mat4_from_position_euler(&r0, &origin, &e0);
    mat4_from_position_euler(&r90, &origin, &e90);
    mat4_scale_rows(&r0, &r0, &two);
    mat4_scale_rows(&r90, &r90, &two);
    for (float t : {0.25f, 0.5f, 0.999f}) {
        mat4_interpolate(&out, &r0, &r90, t);
        const double angle = t * 1.5707963267948966, c = 2 * std::cos(angle),
                     sn = 2 * std::sin(angle);
        // Row 0 is the x axis turned about y: (cos, 0, -sin) x 2, in either sign convention
        // the turn's magnitude shows in the diagonal.
        EXPECT_NEAR(out.m[0][0], c, 1e-5) << t;
        EXPECT_NEAR(out.m[2][2], c, 1e-5) << t;
        EXPECT_NEAR(std::fabs(out.m[0][2]), sn, 1e-5) << t;
        EXPECT_NEAR(out.m[1][1], 2.0, 1e-5) << t;
    }
}

TEST(Mat4, ScalesAndDecomposition) {
    Mat4 m = sample_affine();
    Vec3 s;
    mat4_axis_scales(&s, &m);
    expect_vec3_near(s, 1.5f, 0.5f, 2.0f, 1e-6f);
    float mx = mat4_max_axis_scale(&m);
    EXPECT_NEAR(mx / 2.0f, 1.0f, 1.0f / 2048.0f);
    Vec3 pos;
    EulerAngles ang;
    Mat4 unit;
    EulerAngles a = {0.4f, -1.1f, 2.3f};
    Vec3 p = {3.0f, -2.0f, 7.5f};
    mat4_from_position_euler(&unit, &p, &a);
    mat4_decompose(&pos, &ang, &s, &unit);
    expect_vec3_near(pos, 3.0f, -2.0f, 7.5f, 0.0f);
    EXPECT_NEAR(ang.x, 0.4f, 1e-5f);
    EXPECT_NEAR(ang.y, -1.1f, 1e-5f);
    EXPECT_NEAR(ang.z, 2.3f, 1e-5f);
    // The scale is not divided out: a pitch whose scaled sine passes 1 reads as the gimbal case.
    Vec3 two = {2, 2, 2};
    EulerAngles pitch = {0.6f, 0.0f, 0.0f};
    Mat4 big;
    mat4_from_position_euler(&big, &p, &pitch);
    mat4_scale_rows(&big, &big, &two);
    mat4_decompose(nullptr, &ang, &s, &big);
    EXPECT_EQ(ang.x, kMathHalfPi);
    expect_vec3_near(s, 2.0f, 2.0f, 2.0f, 1e-6f);
}

TEST(Mat4, DiffersIsStrict) {
    Mat4 a = sample_affine(), b = a;
    EXPECT_EQ(mat4_differs(&a, &a, 0.0f), 0);
    b.m[2][1] += 0.5f;
    EXPECT_EQ(mat4_differs(&a, &b, 0.5f), 0);
    EXPECT_NE(mat4_differs(&a, &b, 0.49f), 0);
    Mat4 id;
    mat4_identity(&id);
    id.m[3][0] = 1e-3f;
    EXPECT_EQ(mat4_differs_from_identity(&id, 1e-3f), 0);
    EXPECT_NE(mat4_differs_from_identity(&id, 1e-4f), 0);
}
