#include "math_test_util.h"

namespace {

Transform sample(float px, float yaw, float scale) {
    Transform t;
    xform_init(&t);
    Vec3 p = {px, 1.0f, -2.0f}, s = {scale, scale, scale};
    EulerAngles a = {0.3f, yaw, -0.2f};
    xform_set_position_euler(&t, &p, &a);
    xform_set_scale(&t, &s);
    return t;
}

void expect_xform_near(const Transform &a, const Transform &b, float tol) {
    expect_vec3_near(a.position, b.position.x, b.position.y, b.position.z, tol);
    expect_vec3_near(a.scale, b.scale.x, b.scale.y, b.scale.z, tol);
    EXPECT_NEAR(a.rotation.x, b.rotation.x, tol);
    EXPECT_NEAR(a.rotation.y, b.rotation.y, tol);
    EXPECT_NEAR(a.rotation.z, b.rotation.z, tol);
    EXPECT_NEAR(a.rotation.w, b.rotation.w, tol);
}

} // namespace

TEST(Transform, InitIsTheIdentity) {
    Transform t, back;
    xform_init(&t);
    Mat4 m;
    xform_to_mat4(&m, &t);
    EXPECT_FALSE(mat4_differs_from_identity(&m, 0.0f));
    xform_from_mat4(&back, &m);
    expect_xform_near(back, t, 0.0f);
}

TEST(Transform, MatrixRoundTrip) {
    Transform t = sample(4.0f, 1.1f, 1.0f), back;
    Mat4 m;
    xform_to_mat4(&m, &t);
    xform_from_mat4(&back, &m);
    expect_xform_near(back, t, 2e-6f);
    // With scale 2 the scale comes back, but the rotation is the trace-method quaternion of
    // the scaled rows, not of unit length.
    Transform s = sample(4.0f, 0.0f, 2.0f);
    s.rotation = Quat{0, 0, 0, 1};
    xform_to_mat4(&m, &s);
    xform_from_mat4(&back, &m);
    expect_vec3_near(back.scale, 2.0f, 2.0f, 2.0f, 0.0f);
    EXPECT_FLOAT_EQ(back.rotation.w, std::sqrt(7.0f) / 2.0f);
}

TEST(Transform, EulerSetterMatchesTheEulerMatrix) {
    Transform t;
    xform_init(&t);
    EulerAngles a = {-0.6f, 2.2f, 0.9f}, back;
    xform_set_rotation_euler(&t, &a);
    Mat4 m, e;
    xform_to_mat4(&m, &t);
    mat4_identity(&e);
    mat4_rotation_euler(&e, &a);
    EXPECT_FALSE(mat4_differs(&m, &e, 2e-6f));
    Vec3 pos, scale;
    xform_decompose(&pos, &back, &scale, &t);
    EXPECT_NEAR(back.x, a.x, 2e-5f);
    EXPECT_NEAR(back.y, a.y, 2e-5f);
    EXPECT_NEAR(back.z, a.z, 2e-5f);
    expect_vec3_near(scale, 1, 1, 1, 0);
}

TEST(Transform, CompositionOrder) {
    Transform a = sample(3.0f, 0.7f, 1.0f), b = sample(-1.0f, -0.4f, 1.0f), ab;
    xform_multiply(&ab, &a, &b); // b first, then a
    Mat4 ma, mb, mab, expect;
    xform_to_mat4(&ma, &a);
    xform_to_mat4(&mb, &b);
    xform_to_mat4(&mab, &ab);
    mat4_multiply(&expect, &ma, &mb);
    EXPECT_FALSE(mat4_differs(&mab, &expect, 1e-5f));
    Transform t1, t2;
    xform_then_mat4(&t1, &ma, &b);
    xform_after_mat4(&t2, &a, &mb);
    expect_xform_near(t1, ab, 1e-6f);
    expect_xform_near(t2, ab, 1e-6f);
}

TEST(Transform, LocalEdits) {
    Transform t;
    xform_init(&t);
    Vec3 s = {2, 2, 2};
    xform_set_scale(&t, &s);
    EulerAngles yaw = {0, kMathHalfPi, 0};
    xform_set_rotation_euler(&t, &yaw); // local +Z faces world +X
    Vec3 fwd = {0, 0, 1};
    Transform moved;
    xform_translate_local(&moved, &t, &fwd);
    expect_vec3_near(moved.position, 2.0f, 0.0f, 0.0f, 1e-6f); // along the scaled axis
    Vec3 k = {3, 4, 5};
    xform_scale(&moved, &moved, &k);
    expect_vec3_near(moved.scale, 6, 8, 10, 1e-6f);
}

TEST(Transform, BlendEnds) {
    Transform a = sample(0.0f, 0.2f, 1.0f), b = sample(10.0f, 1.4f, 3.0f), r;
    xform_blend(&r, &a, &b, 1.0f);
    expect_xform_near(r, b, 1e-6f);
    xform_blend(&r, &a, &b, 0.5f);
    expect_vec3_near(r.position, 5.0f, 1.0f, -2.0f, 1e-6f);
    expect_vec3_near(r.scale, 2.0f, 2.0f, 2.0f, 1e-6f);
    // The same rotation stored negated: s = 0 returns a's rotation negated.
    Transform nb = b;
    nb.rotation = Quat{-b.rotation.x, -b.rotation.y, -b.rotation.z, -b.rotation.w};
    xform_blend(&r, &a, &nb, 0.0f);
    EXPECT_NEAR(r.rotation.w, -a.rotation.w, 1e-6f);
    EXPECT_NEAR(r.rotation.y, -a.rotation.y, 1e-6f);
}
