// Motions that pass every load check yet multiply past the float range along a chain: keys at
// the value limit on a deep chain, zero keys, fades and mirrors of them, reach and swinging
// chains on top. Every matrix a pose hands out stays finite, and the bones take the placement
// the fallback rule gives, worked out here in double precision.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "instance_test_env.h"
#include "math/mat4.h"
#include "render/gfx_mesh.h"
#include "resource/names.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "scene/swing_chain.h"
#include "tools/packer/pack_frames.h"

namespace {

constexpr double LIMIT = 1e9; // the largest value a stored 3D body may hold
constexpr int DEPTH = 12;

PackMatrix scale_key(float s, float tx = 0, float ty = 0, float tz = 0) {
    return {s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, tx, ty, tz, 1};
}

// Every rotation element at v: a valid key that grows fastest along a chain.
PackMatrix full_key(float v) {
    return {v, v, v, 0, v, v, v, 0, v, v, v, 0, 0, 0, 0, 1};
}

std::string link(int i) {
    return "link" + std::to_string(i);
}

// "link0" .. "link<DEPTH-1>", each one under the one before, each `step` up from its parent.
ResourceHandle make_chain(float step) {
    PackFrame f{link(DEPTH - 1), pack_translation(0, step, 0), {}};
    for (int i = DEPTH - 2; i >= 0; --i) f = PackFrame{link(i), pack_translation(0, step, 0), {f}};
    std::vector<uint8_t> body = pack_hierarchy_body(f);
    return res_create_hierarchy("test", "link0", body.data(), static_cast<uint32_t>(body.size()));
}

// One track per link, each with the given keys.
ResourceHandle make_motion(const std::string &name, const std::vector<PackMatrix> &keys) {
    PackMotion m{name, static_cast<uint32_t>(keys.size()), {}};
    for (int i = 0; i < DEPTH; ++i) m.tracks.push_back(PackTrack{link(i), keys});
    std::vector<uint8_t> body = pack_motion_body(m);
    return res_create_motion("test", name.c_str(), body.data(), static_cast<uint32_t>(body.size()));
}

bool finite(const Mat4 &m) {
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m.m[i / 4][i % 4])) return false;
    return true;
}

bool within(const TestMat &m) {
    for (double v : m)
        if (!(std::fabs(v) <= LIMIT)) return false;
    return true;
}

// The placements the rule gives along the chain in double precision: a bone's rest is its
// frame's matrix under its parent, or its parent's placement when that would pass the limit;
// its key then goes before the rest unless that passes the limit.
std::vector<TestMat> reference(float step, const PackMatrix &key) {
    std::vector<TestMat> out;
    TestMat parent = inst_test_translation(0, 0, 0);
    for (int i = 0; i < DEPTH; ++i) {
        TestMat rest = test_mat_product(inst_test_translation(0, step, 0), parent);
        if (!within(rest)) rest = parent;
        TestMat posed = test_mat_product(test_mat_of(key.data()), rest);
        parent = within(posed) ? posed : rest;
        out.push_back(parent);
    }
    return out;
}

// A palette naming every link, each offset at the limit, as a model would carry it.
struct Palette {
    std::vector<std::string> names;
    std::vector<MeshBone> bones;
    MeshBuffers mesh{};
    Palette() {
        for (int i = 0; i < DEPTH; ++i) names.push_back(link(i));
        for (const std::string &n : names) {
            MeshBone b{n.c_str(), res_hash_name(n.c_str()), {}};
            for (int k = 0; k < 16; ++k) b.offset.m[k / 4][k % 4] = k % 5 == 0 ? 1.0f : 0.0f;
            b.offset.m[3][0] = b.offset.m[3][1] = b.offset.m[3][2] = -1e9f;
            bones.push_back(b);
        }
        mesh.bones = bones.data();
        mesh.counts_flags = static_cast<uint32_t>(DEPTH) << MESH_BONE_COUNT_SHIFT;
    }
};

class HostilePose : public ::testing::Test {
  protected:
    ModelInstance *in = nullptr;
    ResourceHandle chain = 0, good = 0;
    Palette palette;
    Mat4 world{};

    void SetUp() override {
        inst_test_start();
        chain = make_chain(3.0f);
        ASSERT_NE(chain, 0u);
        good = make_motion("good", {scale_key(1), scale_key(1, 0, 0, 0.5f)});
        ASSERT_NE(good, 0u);
        in = model_instance_alloc();
        ASSERT_NE(in, nullptr);
        const Vec3 at = {1e3f, 0, -1e3f};
        mat4_translation(&world, &at);
    }
    void TearDown() override { model_instance_free(in); }

    void pose(int32_t frame, int32_t snap) {
        model_instance_pose(in, &world, frame, &palette.mesh, 0, snap);
    }

    // Every pose, previous pose, world and palette matrix and the root motion are finite.
    void expect_finite(const std::string &what) {
        ASSERT_EQ(model_bone_count(in), DEPTH);
        for (int i = 0; i < DEPTH; ++i) {
            InstanceBone *b = model_bone_at(in, i);
            // Poses stay within the stored bodies' limit, which keeps every product of a pose
            // with a stored matrix (a child's rest, a palette offset) finite.
            EXPECT_TRUE(within(test_mat_of(&b->pose.m[0][0]))) << what << " pose " << i;
            EXPECT_TRUE(finite(b->previous_pose)) << what << " previous pose " << i;
            EXPECT_TRUE(finite(b->palette)) << what << " palette " << i;
            EXPECT_EQ(b->palette_index, i) << what;
            const Mat4 *w = model_bone_world(in, i, &world, 1);
            ASSERT_NE(w, nullptr);
            EXPECT_TRUE(finite(*w)) << what << " world " << i;
        }
        Vec3 d;
        model_root_delta(in, &d);
        EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z)) << what;
    }

    // Bone poses against the reference, relative to the larger of 1 and the value.
    void expect_reference(const std::vector<TestMat> &want, const std::string &what) {
        for (int i = 0; i < DEPTH; ++i)
            for (int k = 0; k < 16; ++k) {
                const double w = want[i][k];
                EXPECT_NEAR(model_bone_at(in, i)->pose.m[k / 4][k % 4], w,
                            1e-6 * std::fmax(1.0, std::fabs(w)))
                    << what << " bone " << i << " element " << k;
            }
    }
};

TEST_F(HostilePose, KeysAtTheLimitFallBackAlongADeepChain) {
    // Scale 1e8 per level: the second level's key would reach 1e16, so each bone from there
    // on keeps its rest under its parent until the rests themselves pass 1e9 (the fourth
    // level, 1.2e9 up), after which every bone keeps its parent's placement.
    const PackMatrix big = scale_key(1e8f);
    const ResourceHandle grow = make_motion("grow", {big});
    ASSERT_NE(grow, 0u);
    model_set_hierarchy_motion(in, static_cast<int32_t>(chain), static_cast<int32_t>(grow));
    pose(0, 1);
    expect_finite("scale 1e8");
    expect_reference(reference(3.0f, big), "scale 1e8");

    // Every rotation element at 1e4 (the third level's key passes the limit, the fourth
    // level's rest too) and at +-1e9, plain and mirrored.
    std::vector<ResourceHandle> full;
    for (float v : {1e4f, -1e4f, 1e9f, -1e9f}) {
        const std::string what = "full keys " + std::to_string(v);
        full.push_back(make_motion("full" + std::to_string(v), {full_key(v)}));
        ASSERT_NE(full.back(), 0u);
        model_set_hierarchy_motion(in, -1, static_cast<int32_t>(full.back()));
        pose(0, 1);
        expect_finite(what);
        expect_reference(reference(3.0f, full_key(v)), what);
        model_set_mirrored(in, 1);
        pose(0, 1);
        expect_finite(what + " mirrored");
        model_set_mirrored(in, 0);
    }
    // Fades between them blend the rows' lengths (up to 1.7e9 for rows of three 1e9s): where
    // the blend would pass the limit the fade shows the new pose.
    model_set_blend_length(in, 4);
    for (ResourceHandle next : full) {
        model_set_hierarchy_motion(in, -1, static_cast<int32_t>(next));
        for (int i = 0; i < 5; ++i) {
            pose(0, 0);
            expect_finite("fade " + std::to_string(i));
        }
    }
    model_set_blend_length(in, 0);

    // Scale keys at the limit between two frames, sampled at fractions.
    const ResourceHandle ramp = make_motion("ramp", {scale_key(1e9f, 1e9f), scale_key(-1e9f)});
    ASSERT_NE(ramp, 0u);
    model_set_hierarchy_motion(in, -1, static_cast<int32_t>(ramp));
    model_set_speed(in, 0.25f);
    pose(0, 1);
    for (int i = 0; i < 8; ++i) {
        pose(-1, 0);
        expect_finite("ramp " + std::to_string(i));
    }
}

TEST_F(HostilePose, ZeroKeysCollapseTheirBranchAndStayFinite) {
    // A key whose rotation rows are all zero flattens its bone and everything under it onto
    // one point: the key's translation under its parent.
    const PackMatrix zero = scale_key(0, 0, 1, 0);
    const ResourceHandle flat = make_motion("flat", {zero, scale_key(1)});
    ASSERT_NE(flat, 0u);
    model_set_hierarchy_motion(in, static_cast<int32_t>(chain), static_cast<int32_t>(flat));
    pose(0, 1);
    expect_finite("zero keys");
    expect_reference(reference(3.0f, zero), "zero keys");
    EXPECT_NEAR(model_bone_at(in, DEPTH - 1)->pose.m[3][1], 4.0f, 1e-6); // root 3 up, key 1 up
    // Halfway to an identity key, mirrored, and faded to and from a good motion.
    model_set_speed(in, 0.5f);
    for (int mirrored = 0; mirrored < 2; ++mirrored) {
        model_set_mirrored(in, mirrored);
        model_set_frame(in, 0);
        for (int i = 0; i < 3; ++i) {
            pose(-1, 0);
            expect_finite("zero to identity, mirrored " + std::to_string(mirrored));
        }
    }
    model_set_mirrored(in, 0);
    model_set_blend_length(in, 4);
    for (ResourceHandle next : {good, flat, good}) {
        model_set_hierarchy_motion(in, -1, static_cast<int32_t>(next));
        for (int i = 0; i < 5; ++i) {
            pose(0, 0);
            expect_finite("fade");
        }
    }
}

TEST_F(HostilePose, FadesMirrorsReachAndChainsOverHostilePosesStayFinite) {
    const ResourceHandle full = make_motion("full2", {full_key(1e9f), scale_key(0)});
    ASSERT_NE(full, 0u);
    model_set_hierarchy_motion(in, static_cast<int32_t>(chain), static_cast<int32_t>(good));
    pose(0, 1);
    model_set_blend_length(in, 6);
    model_set_speed(in, 0.5f);
    const Vec3 far = {1e9f, -1e9f, 1e9f}, near = {1, 1, 1};
    for (int round = 0; round < 4; ++round) {
        model_set_mirrored(in, round & 1);
        model_set_hierarchy_motion(in, -1, static_cast<int32_t>(round & 2 ? good : full));
        for (int i = 0; i < 7; ++i) {
            const std::string what = "round " + std::to_string(round) + " " + std::to_string(i);
            // Reach by the three-bone solver and by the iterative one, at both ends.
            ASSERT_TRUE(model_set_target_reach(in, 5, i & 1 ? &far : &near, 1.0f, 3));
            ASSERT_TRUE(model_set_target_reach(in, DEPTH - 1, i & 1 ? &near : &far, 0.5f, 6));
            Mat4 huge;
            const Vec3 s = {1e30f, 1e30f, 1e30f};
            mat4_identity(&huge);
            mat4_scale_rows(&huge, &huge, &s);
            ASSERT_TRUE(model_set_target_local(in, 8, &huge, 0.5f, 0));
            pose(-1, 0);
            expect_finite(what);
            if (round == 0 && i == 0) {
                ASSERT_TRUE(model_enable_chains(in, "link6", 1));
            }
        }
    }
    // A chain whose keys stretch one axis a thousandfold per level: the iterative solver's
    // turn at the top of a four-bone reach carries the links below past the limit, so the
    // reach is dropped and the chain keeps its animated poses.
    const ResourceHandle skew =
        make_motion("skew", {{1000, 500, 0, 0, 0, 1, 0, 0, 0, 0.3f, 1, 0, 0, 0, 0, 1}});
    ASSERT_NE(skew, 0u);
    model_set_mirrored(in, 0);
    model_enable_chains(in, "link6", 0);
    mat4_identity(&world);
    const Vec3 aim = {1, -1, 0.5f};
    model_set_hierarchy_motion(in, -1, static_cast<int32_t>(skew));
    pose(0, 1);
    std::vector<Mat4> animated;
    for (int k = 0; k < DEPTH; ++k) animated.push_back(model_bone_at(in, k)->pose);
    ASSERT_TRUE(model_set_target_reach(in, 3, &aim, 1.0f, 4));
    pose(0, 1);
    expect_finite("skewed reach");
    for (int k = 0; k < 6; ++k)
        for (int e = 0; e < 16; ++e)
            EXPECT_EQ(model_bone_at(in, k)->pose.m[e / 4][e % 4], animated[k].m[e / 4][e % 4]) << k;

    // A node scaled far beyond any scene: world matrices take the node's placement and the
    // chains' points, whose distances overflow, start again at their bones.
    ASSERT_TRUE(model_enable_chains(in, "link6", 1));
    const Vec3 s = {1e30f, 1e30f, 1e30f};
    mat4_scale_rows(&world, &world, &s);
    for (int i = 0; i < 4; ++i) {
        pose(-1, 0);
        expect_finite("huge node " + std::to_string(i));
        for (int k = 7; k < DEPTH; ++k) {
            const Vec3 p = model_bone_at(in, k)->chain->position;
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << k;
        }
    }
    // A node shrunk as far: a point's fall in the world is a leap in model space, and a bone
    // its point would carry past the limit keeps its animated pose.
    mat4_identity(&world);
    const Vec3 tiny = {1e-30f, 1e-30f, 1e-30f};
    mat4_scale_rows(&world, &world, &tiny);
    for (int i = 0; i < 4; ++i) {
        pose(-1, 0);
        expect_finite("tiny node " + std::to_string(i));
    }
    EXPECT_TRUE(model_enable_chains(in, "link6", 0));
}

TEST_F(HostilePose, MirroringAScaledKeyKeepsItsScale) {
    // A key of scale 2 and a quarter turn about x on every link but the root, mirrored across
    // the parent's y = 0 plane: scale 2 and the turn the other way.
    const double a = 3.14159265358979 / 2;
    PackMatrix turn{};
    TestMat want = test_mat_product(inst_test_rotation(SAMPLE_AXIS_X, -a),
                                    {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
    const TestMat given = test_mat_product(inst_test_rotation(SAMPLE_AXIS_X, a),
                                           {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
    for (int k = 0; k < 16; ++k) turn[k] = static_cast<float>(given[k]);
    PackMotion m{"turn", 1, {PackTrack{link(1), {turn}}}};
    std::vector<uint8_t> body = pack_motion_body(m);
    const ResourceHandle motion =
        res_create_motion("test", "turn", body.data(), static_cast<uint32_t>(body.size()));
    ASSERT_NE(motion, 0u);
    model_set_hierarchy_motion(in, static_cast<int32_t>(chain), static_cast<int32_t>(motion));
    model_set_mirrored(in, 1);
    pose(0, 1);
    // link1 under link0 (3 up): its key, then its rest 3 up, then its parent's.
    want = test_mat_product(test_mat_product(want, inst_test_translation(0, 3, 0)),
                            inst_test_translation(0, 3, 0));
    inst_test_expect_near(model_bone_at(in, 1)->pose, want, 1e-5, "mirrored scaled key");
}

} // namespace
