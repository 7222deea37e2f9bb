#include <cstring>
#include <vector>

#include "math_test_util.h"

namespace {

// A path buffer with guard bytes after it, to catch writes past its end.
struct GuardedPath {
    explicit GuardedPath(uint32_t bytes) : size(bytes), storage(bytes + 64, 0xCD) {}
    PathCurve *path() { return reinterpret_cast<PathCurve *>(storage.data()); }
    bool guard_intact() const {
        for (size_t i = size; i < storage.size(); ++i)
            if (storage[i] != 0xCD) return false;
        return true;
    }
    uint32_t size;
    std::vector<unsigned char> storage; // vector data is suitably aligned for PathCurve
};

uint32_t bytes_for(int nodes) {
    return 12u + 28u * (uint32_t)nodes;
}

} // namespace

TEST(Path, BufferSizes) {
    GuardedPath g(bytes_for(10));
    EXPECT_EQ(path_init(g.path(), g.size), 10);
    EXPECT_EQ(g.path()->byte_size, g.size);
    EXPECT_TRUE(g.guard_intact());
    EXPECT_EQ(path_capacity_for_bytes(39), 0);
    EXPECT_EQ(path_capacity_for_bytes(40), 1);
    // Under 12 bytes there is no header: refused, nothing written.
    unsigned char small[16];
    std::memset(small, 0xCD, sizeof small);
    EXPECT_EQ(path_init(small, 11), 0);
    for (unsigned char b : small) EXPECT_EQ(b, 0xCD);
    // The capacity is clamped to its 16-bit field.
    uint32_t bytes = bytes_for(40000);
    std::vector<unsigned char> big(bytes);
    EXPECT_EQ(path_init(big.data(), bytes), 32767);
    Vec3 pt = {1, 2, 3};
    EXPECT_NE(path_add_point(reinterpret_cast<PathCurve *>(big.data()), &pt), nullptr);
}

TEST(Path, NoCapacityMeansNoEffect) {
    GuardedPath g(39);
    ASSERT_EQ(path_init(g.path(), g.size), 0);
    Vec3 pt = {1, 2, 3}, out = {9, 9, 9};
    EXPECT_EQ(path_add_point(g.path(), &pt), nullptr);
    EXPECT_EQ(path_add_point_with_length(g.path(), &pt, 4.0f), nullptr);
    path_build_balanced3(g.path());
    path_evaluate(&out, g.path(), 1.0f);
    expect_vec3_near(out, 0, 0, 0, 0);
    EXPECT_TRUE(g.guard_intact());
}

TEST(Path, FullPathRefusesMorePoints) {
    GuardedPath g(bytes_for(2));
    path_init(g.path(), g.size);
    Vec3 a = {0, 0, 0}, b = {3, 4, 0}, c = {9, 9, 9};
    ASSERT_EQ(path_add_point(g.path(), &a), g.path());
    ASSERT_EQ(path_add_point(g.path(), &b), g.path());
    EXPECT_EQ(path_total_length(g.path()), 5.0f);
    EXPECT_EQ(path_add_point(g.path(), &c), nullptr);
    EXPECT_EQ(g.path()->count, 2);
    EXPECT_EQ(path_total_length(g.path()), 5.0f);
    EXPECT_EQ(path_nodes(g.path())[1].seg_length, 0.0f);
    EXPECT_TRUE(g.guard_intact());
}

TEST(Path, TwoPointExample) {
    GuardedPath g(bytes_for(2));
    path_init(g.path(), g.size);
    Vec3 a = {0, 0, 0}, b = {10, 0, 0}, out;
    path_add_point(g.path(), &a);
    path_add_point(g.path(), &b);
    path_build_smooth(g.path());
    const PathNode *n = path_nodes(g.path());
    expect_vec3_near(n[0].tangent, 1.03125f, 0, 0, 0);
    expect_vec3_near(n[1].tangent, 0.9375f, 0, 0, 0);
    path_evaluate(&out, g.path(), 5.0f);
    expect_vec3_near(out, 5.1171875f, 0, 0, 0);
    path_evaluate(&out, g.path(), 0.0f);
    expect_vec3_near(out, 0, 0, 0, 0);
    path_evaluate(&out, g.path(), 10.0f);
    expect_vec3_near(out, 10, 0, 0, 0);
    path_evaluate_fraction(&out, g.path(), 1.0f);
    expect_vec3_near(out, 10, 0, 0, 0);
    for (float d = 0.5f; d < 10.0f; d += 1.0f) {
        path_evaluate(&out, g.path(), d);
        EXPECT_EQ(out.y, 0.0f);
        EXPECT_EQ(out.z, 0.0f);
    }
    EXPECT_TRUE(g.guard_intact());
}

TEST(Path, SeveralPointsPassThroughTheirPoints) {
    GuardedPath g(bytes_for(5));
    path_init(g.path(), g.size);
    const Vec3 pts[5] = {{0, 0, 0}, {4, 1, 0}, {6, 5, 2}, {3, 8, 3}, {-1, 9, 3}};
    for (const Vec3 &p : pts) path_add_point(g.path(), &p);
    path_build_balanced3(g.path());
    float acc = 0.0f;
    const PathNode *n = path_nodes(g.path());
    for (int i = 0; i < 5; ++i) {
        Vec3 out;
        path_evaluate(&out, g.path(), acc);
        expect_vec3_near(out, pts[i].x, pts[i].y, pts[i].z, 2e-5f);
        acc += n[i].seg_length;
    }
    EXPECT_FLOAT_EQ(acc, path_total_length(g.path()));
    Vec3 out;
    path_evaluate_fraction(&out, g.path(), 0.0f);
    expect_vec3_near(out, 0, 0, 0, 0);
    // Interior tangents are unit directions bisecting the turn; chord lengths balance to 1.
    GuardedPath h(bytes_for(5));
    path_init(h.path(), h.size);
    for (const Vec3 &p : pts) path_add_point(h.path(), &p);
    path_compute_tangents(h.path());
    PathNode before[5];
    std::memcpy(before, path_nodes(h.path()), sizeof before);
    EXPECT_NEAR(std::sqrt(vec3_dot(&before[2].tangent, &before[2].tangent)), 1.0f, 1e-6f);
    path_balance_tangents(h.path());
    EXPECT_EQ(std::memcmp(before, path_nodes(h.path()), sizeof before), 0);
    path_halve_tangents(h.path());
    EXPECT_EQ(path_nodes(h.path())[3].tangent.x, before[3].tangent.x * 0.5f);
}

TEST(Path, FewerThanTwoPoints) {
    // An exact-size buffer: a sanitizer build flags any access past the one node.
    uint32_t size = bytes_for(1);
    std::vector<unsigned char> buffer(size);
    PathCurve *path = reinterpret_cast<PathCurve *>(buffer.data());
    path_init(path, size);
    Vec3 out = {9, 9, 9};
    path_evaluate(&out, path, 3.0f); // empty
    expect_vec3_near(out, 0, 0, 0, 0);
    Vec3 a = {1, 2, 3};
    path_add_point(path, &a);
    path_build_smooth(path);
    path_build_balanced3(path);
    path_halve_balanced(path);
    expect_vec3_near(path_nodes(path)[0].tangent, 0, 0, 0, 0);
    path_evaluate(&out, path, 3.0f);
    expect_vec3_near(out, 1, 2, 3, 0);
    path_evaluate_fraction(&out, path, 0.5f);
    expect_vec3_near(out, 1, 2, 3, 0);
}

TEST(Path, RepeatedPointsStayFinite) {
    GuardedPath g(bytes_for(4));
    path_init(g.path(), g.size);
    const Vec3 pts[4] = {{0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {2, 3, 0}};
    for (const Vec3 &p : pts) path_add_point(g.path(), &p);
    path_build_balanced3(g.path());
    for (float d = -1.0f; d < 7.0f; d += 0.25f) {
        Vec3 out;
        path_evaluate(&out, g.path(), d);
        EXPECT_TRUE(vec3_finite(out)) << d;
    }
}
