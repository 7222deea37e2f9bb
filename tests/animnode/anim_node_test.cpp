// Animated nodes: the skinned figure drawn posed, rigid models and attachments on its bones,
// frame colliders, the skeleton of a posed instance and the frame forwarding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "anim_test_env.h"
#include "collision/collider.h"
#include "math/mat4.h"
#include "nodes_test_env.h"
#include "render/gfx_state.h"
#include "render/shader.h"
#include "render/view.h"
#include "resource/res_frames.h"
#include "resource/res_matrix.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/model_instance.h"
#include "scene/wire_prims.h"
#include "tools/packer/pack_frames.h"

namespace {

constexpr uint32_t BACKGROUND = 0xFF000000u;

TestMat translation(double x, double y, double z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

Vec3 apply(const TestMat &m, double x, double y, double z) {
    return {(float)(x * m[0] + y * m[4] + z * m[8] + m[12]),
            (float)(x * m[1] + y * m[5] + z * m[9] + m[13]),
            (float)(x * m[2] + y * m[6] + z * m[10] + m[14])};
}

class AnimNodes : public ::testing::Test {
  protected:
    const SampleHierarchy *by = nullptr;
    const SampleMotion *mime = nullptr;
    ResourceHandle by_model = 0, by_hierarchy = 0, mime_motion = 0;

    void SetUp() override {
        ASSERT_TRUE(anim_test_begin(BACKGROUND));
        by = anim_test_hierarchy("mo");
        mime = anim_test_motion("mo", "mime");
        ASSERT_TRUE(by && mime);
        by_model = res_find_model("mo", "By");
        by_hierarchy = res_find_hierarchy("mo", "By");
        mime_motion = res_find_motion("mo", "mime");
        look_from({0, 1, 7}, {0, 1, 0});
        nodes_test_load_shaders(); // the bone palette is a vertex shader's
    }
    void TearDown() override {
        shader_release_all();
        anim_test_end();
    }

    void look_from(Vec3 eye, Vec3 target) {
        const Vec3 up = {0, 1, 0};
        view_set_look_at(0, &eye, &target, &up);
    }

    SceneObject *figure(const Mat4 *world, ResourceHandle model) {
        SceneObject *node = animnode_create(0, world, model, NODE_DEFAULT_LAYER);
        EXPECT_NE(animnode_instance(node), nullptr);
        animnode_set_motion(node, (int32_t)by_hierarchy, (int32_t)mime_motion);
        return node;
    }

    // The skinned position of a point on the front face (z = 0.1) of a leg's lower box, a
    // fraction f of the way up from its foot, by the description: the box's foot corners
    // follow the lower bone, its knee corners half the lower and half the upper bone. Each
    // bone moves a vertex by its offset (minus its rest joint), then its posed world matrix.
    Vec3 lower_leg_point(const char *upper, const char *lower, double f, uint32_t frame) {
        const int u = anim_frame_index(*by, upper), l = anim_frame_index(*by, lower);
        const TestMat rest_u = anim_rest_world(*by, u), rest_l = anim_rest_world(*by, l);
        const TestMat mu = test_mat_product(translation(-rest_u[12], -rest_u[13], -rest_u[14]),
                                            anim_posed_world(*by, mime, u, frame));
        const TestMat ml = test_mat_product(translation(-rest_l[12], -rest_l[13], -rest_l[14]),
                                            anim_posed_world(*by, mime, l, frame));
        // On the face, the point is the foot edge's blend plus f of a knee corner (the knee
        // corner's side hardly matters: both bones carry the knee alike).
        const double x = rest_l[12], y = rest_l[13] - 1.0 + f, z = 0.1;
        const Vec3 p = apply(ml, x, y, z);
        const Vec3 ku = apply(mu, x, rest_l[13], z), kl = apply(ml, x, rest_l[13], z);
        return {p.x + (float)(0.5 * f) * (ku.x - kl.x), p.y + (float)(0.5 * f) * (ku.y - kl.y),
                p.z + (float)(0.5 * f) * (ku.z - kl.z)};
    }
};

} // namespace

// At frame 5 of "mime" the left foot has swung out: it is drawn where the pose puts it, and the
// place it hangs at rest is clear. The right knee's corners are weighted half to the right upper
// bone: they follow that bone (the left one swings the other way).
TEST_F(AnimNodes, SkinnedFigureDrawsItsPoseAtFrameFive) {
    SceneObject *node = figure(nullptr, by_model);
    animnode_update(node, 5);
    EXPECT_EQ(animnode_frame(node), 5u);
    nodes_test_frame();
    const Vec3 foot = lower_leg_point("leg_L_up", "leg_L_lo", 0.15, 5);
    const Vec3 knee = lower_leg_point("leg_R_up", "leg_R_lo", 0.85, 5);
    int x, y;
    for (const Vec3 &p : {foot, knee}) {
        nodes_test_screen_of(p, &x, &y);
        ASSERT_TRUE(x > 0 && y > 0 && x < NODES_TEST_WIDTH - 1 && y < NODES_TEST_HEIGHT - 1);
    }
    EXPECT_NE(nodes_test_pixel_at(foot) & 0xFFFFFF, 0u) << foot.x << " " << foot.y;
    EXPECT_NE(nodes_test_pixel_at(knee) & 0xFFFFFF, 0u) << knee.x << " " << knee.y;
    EXPECT_EQ(nodes_test_pixel_at({0.5f, 0.15f, 0.1f}) & 0xFFFFFF, 0u);
}

// A rigid model on an animated node draws under the node's world matrix, the same after a
// skinned node was drawn in the same run.
TEST_F(AnimNodes, RigidModelDrawsAtItsWorldPositionAfterASkinnedDraw) {
    const ResourceHandle box = res_find_model("T", "B1");
    ASSERT_NE(box, 0u);
    Mat4 near_world, far_world;
    mat4_identity(&near_world);
    near_world.m[3][0] = -1.5f, near_world.m[3][1] = 1.0f, near_world.m[3][2] = 1.0f;
    mat4_identity(&far_world);
    far_world.m[3][2] = -2.0f;
    const Vec3 at = {-1.5f, 1.0f, 1.75f};

    SceneObject *alone = animnode_create(0, &near_world, box, NODE_DEFAULT_LAYER);
    nodes_test_frame();
    const uint32_t want = nodes_test_pixel_at(at);
    EXPECT_NE(want & 0xFFFFFF, 0u);
    obj_destroy(alone);

    gfx_clear(GFX_CLEAR_ALL, BACKGROUND);
    SceneObject *skinned = figure(&far_world, by_model);
    animnode_update(skinned, 5);
    animnode_create(0, &near_world, box, NODE_DEFAULT_LAYER); // nearer: drawn after the figure
    nodes_test_frame();
    EXPECT_TRUE(rgb_near(nodes_test_pixel_at(at), want, 1))
        << std::hex << nodes_test_pixel_at(at) << " want " << want;
}

// A skinned attachment draws with the owner's instance under the owner's world matrix once:
// on a node at (5, 0, 0) it covers the figure there, and nothing at (10, 0, 0).
TEST_F(AnimNodes, SkinnedAttachmentOverlapsTheBody) {
    look_from({7.5f, 1, 9}, {7.5f, 1, 0});
    Mat4 world;
    mat4_identity(&world);
    world.m[3][0] = 5.0f;
    SceneObject *node = figure(&world, 0);
    ASSERT_TRUE(attach_model_to_bone(node, 3, by_model, "no such bone"));
    EXPECT_EQ(attach_get_bone_matrix(node, 3), nullptr); // the owner's matrix
    animnode_update(node, 0);
    nodes_test_frame();
    EXPECT_NE(nodes_test_pixel_at({5.5f, 1.5f, 0.1f}) & 0xFFFFFF, 0u);
    EXPECT_EQ(nodes_test_pixel_at({10.5f, 1.5f, 0.1f}) & 0xFFFFFF, 0u);
    EXPECT_EQ(nodes_test_pixel_at({5.0f, 3.5f, 0.0f}) & 0xFFFFFF, 0u);
}

// A rigid attachment on a bone follows it after every update: its matrix is the bone's posed
// world matrix under the node's; a motion on another hierarchy leaves no slot on a bone handed
// back, and the bone is found again when the figure comes back.
TEST_F(AnimNodes, AttachmentsFollowTheirBoneAcrossMotionChanges) {
    const ResourceHandle t = res_find_model("T", "T");
    Mat4 world;
    mat4_identity(&world);
    world.m[3][0] = 1.0f, world.m[3][2] = -3.0f;
    SceneObject *node = figure(&world, by_model);
    ASSERT_TRUE(attach_model_to_bone(node, 0, t, "leg_L_lo"));
    EXPECT_FALSE(attach_model_to_bone(node, 1, 0, "leg_L_lo")); // no model: nothing attached
    EXPECT_EQ(attach_get_model(node, 1), 0u);
    const int lo = anim_frame_index(*by, "leg_L_lo");
    for (uint32_t f : {3u, 6u}) {
        animnode_update(node, (int32_t)f);
        const Mat4 *m = attach_get_bone_matrix(node, 0);
        ASSERT_NE(m, nullptr);
        const TestMat want =
            test_mat_product(anim_posed_world(*by, mime, lo, f), test_mat_of(&world.m[0][0]));
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(m->m[i / 4][i % 4], want[i], 1e-4) << f;
    }

    const ModelInstance *instance = animnode_instance(node);
    animnode_set_motion(node, (int32_t)res_find_hierarchy("T", "B1"),
                        (int32_t)res_find_motion("T", "Tme"));
    animnode_update(node, 1);
    EXPECT_EQ(attach_get_bone_matrix(node, 0), nullptr); // no such bone in this hierarchy

    animnode_set_motion(node, (int32_t)by_hierarchy, (int32_t)mime_motion);
    animnode_update(node, 2);
    const Mat4 *m = attach_get_bone_matrix(node, 0);
    bool among_bones = false;
    for (const InstanceBone *b = instance->bones; b; b = b->next) among_bones |= m == &b->world;
    EXPECT_TRUE(among_bones);

    // Slots: 20 of them, an empty one reads as nothing, detaching gives the record back.
    EXPECT_FALSE(attach_model_to_bone(node, ATTACH_SLOT_COUNT, t, "leg_L_lo"));
    EXPECT_EQ(attach_get_diffuse(node, 5), 0xFFFFFFFFu);
    EXPECT_EQ(attach_pool()->count, 2); // slot 1 was taken, though it holds no model
    attach_detach_all(node);
    EXPECT_EQ(attach_pool()->count, 0);
    EXPECT_EQ(attach_get_model(node, 0), 0u);
}

// The node's shader reaches every attachment, with the whole parameter block.
TEST_F(AnimNodes, ShaderReachesTheAttachments) {
    SceneObject *node = figure(nullptr, by_model);
    ASSERT_TRUE(attach_model_to_bone(node, 7, res_find_model("T", "T"), "leg_R_lo"));
    uint8_t params[64];
    for (int i = 0; i < 64; ++i) params[i] = (uint8_t)(i + 1);
    animnode_set_shader(node, 3, params, 64);
    EXPECT_EQ(attach_get_shader(node, 7), 3u);
    EXPECT_EQ(memcmp(attach_parameters(node, 7), params, NODE_PARAM_BYTES), 0);
}

// A frame named so that "CM_" + its name is a collision mesh of the hierarchy's group gets a
// collider on its bone, which moves with the node; other frames get none.
TEST_F(AnimNodes, FrameCollidersMoveWithTheirFrame) {
    PackFrame root{"B1c", pack_translation(0, 1, 0), {}};
    root.children.push_back({"B1_body", pack_translation(0, 1, 0), {}});
    root.children.push_back({"B1_tail", pack_translation(0, 0, -1), {}});
    // "CM_" and this name do not fit the mesh name: no collider, nothing written past it.
    root.children.push_back({std::string(80, 'b'), pack_translation(0, 0, 1), {}});
    const std::vector<uint8_t> body = pack_hierarchy_body(root);
    const ResourceHandle h = res_create_hierarchy("T", "B1c", body.data(), (uint32_t)body.size());
    ASSERT_NE(h, 0u);
    SceneObject *node = animnode_create(0, nullptr, 0, NODE_DEFAULT_LAYER);
    animnode_set_motion(node, (int32_t)h, 0);
    animnode_build_frame_collision(node, -1, 0);
    ASSERT_EQ(animnode_collider_count(node), 1);
    EXPECT_STREQ((const char *)animnode_collider_at(node, 0)->user_pointer, "B1_body");
    EXPECT_EQ(animnode_collider_at(node, 1), nullptr);
    EXPECT_TRUE(animnode_set_collision_flag1_named(node, "B1_body", 1));
    EXPECT_FALSE(animnode_set_collision_flag1_named(node, "B1_tail", 1));

    // The mesh is the box of half height 0.5 about the frame, at y = 2 under the node.
    auto top_at = [](float x) {
        const Vec3 start = {x, 10, 0}, down = {0, -20, 0};
        Vec3 p = {0, 0, 0};
        return coll_segment_hit_point(&start, &down, &p, nullptr, nullptr, 0, COLL_FILTER_ANY)
                   ? p.y
                   : -1.0f;
    };
    animnode_update(node, 0);
    EXPECT_NEAR(top_at(0.0f), 2.5f, 1e-4);
    animnode_world_matrix(node)->m[3][0] = 3.0f;
    animnode_update(node, 0);
    EXPECT_NEAR(top_at(3.0f), 2.5f, 1e-4);
    EXPECT_EQ(top_at(0.0f), -1.0f);

    // Released under the node and its place taken: the bones go at the next update, and the
    // collider with them.
    ResourceMark mark;
    res_mark(&mark);
    const ResourceHandle copy =
        res_create_hierarchy("T", "B1d", body.data(), (uint32_t)body.size());
    animnode_set_motion(node, (int32_t)copy, 0);
    ASSERT_EQ(animnode_collider_count(node), 1);
    res_release_to_mark(&mark);
    ASSERT_EQ(res_create_hierarchy("T", "B1e", body.data(), (uint32_t)body.size()), copy);
    animnode_update(node, 0);
    EXPECT_EQ(animnode_collider_count(node), 0);
    animnode_set_motion(node, (int32_t)h, 0);
    animnode_build_frame_collision(node, -1, 0);
    ASSERT_EQ(animnode_collider_count(node), 1);

    // A motion on another hierarchy: the colliders are rebuilt on its bones (it has none).
    animnode_set_motion(node, (int32_t)by_hierarchy, (int32_t)mime_motion);
    EXPECT_EQ(animnode_collider_count(node), 0);
    EXPECT_EQ(top_at(3.0f), -1.0f);
}

// The posed skeleton's bones end at the posed frame positions; the stack keeps its depth.
TEST_F(AnimNodes, PosedSkeletonEndsAtThePosedFrames) {
    SceneObject *node = figure(nullptr, by_model);
    animnode_update(node, 4);
    const int32_t depth = res_matrix_depth();
    EXPECT_EQ(animnode_draw_skeleton(node, false, true), (int32_t)by->frames.size() - 1);
    EXPECT_EQ(res_matrix_depth(), depth);
    std::vector<Vec3> ends;
    for (int i = 0; i < OBJ_POOL_SIZE; ++i) {
        SceneObject *o = obj_at(i);
        if (o && (o->flags & OBJ_FLAG_IN_USE) && o->kind == wire_line_kind_id()) {
            const WireLine *l = obj_payload<WireLine>(o);
            if (l->color0 == 0xFFFF0000u && l->color1 == 0xFF00FF00u) ends.push_back(l->p1);
        }
    }
    ASSERT_EQ(ends.size(), by->frames.size() - 1);
    for (size_t i = 1; i < by->frames.size(); ++i) {
        const TestMat w = anim_posed_world(*by, mime, (int)i, 4);
        bool seen = false;
        for (const Vec3 &e : ends)
            seen |= std::fabs(e.x - w[12]) < 1e-4 && std::fabs(e.y - w[13]) < 1e-4 &&
                    std::fabs(e.z - w[14]) < 1e-4;
        EXPECT_TRUE(seen) << by->frames[i].name;
    }
}

// Each parent-child pair in list order, with both bones found.
TEST_F(AnimNodes, BonePairsFollowTheHierarchy) {
    SceneObject *node = figure(nullptr, by_model);
    std::vector<std::string> pairs;
    EXPECT_EQ(animnode_for_each_bone_pair(
                  node,
                  [](SceneObject *, InstanceBone *pb, const char *pn, InstanceBone *cb,
                     const char *cn, void *arg) {
                      if (pb && cb && pb->name == pn && cb->name == cn)
                          static_cast<std::vector<std::string> *>(arg)->push_back(std::string(pn) +
                                                                                  ">" + cn);
                  },
                  &pairs),
              (int32_t)by->frames.size() - 1);
    std::vector<std::string> want;
    for (const SampleFrame &f : by->frames)
        if (f.parent >= 0) want.push_back(by->frames[f.parent].name + ">" + f.name);
    std::sort(pairs.begin(), pairs.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(pairs, want);
    EXPECT_EQ(animnode_for_each_bone_pair(node, nullptr, nullptr), 0);

    // A word that is no tag ends the walk: only the pair before it is visited.
    std::vector<uint32_t> b;
    auto frame = [&](uint32_t name_offset) {
        b.push_back(RES_FRAME_MATRIX);
        for (int i = 0; i < 16; ++i) {
            const float f = i % 5 == 0 ? 1.0f : 0.0f;
            uint32_t u;
            memcpy(&u, &f, 4);
            b.push_back(u);
        }
        b.insert(b.end(), {RES_FRAME_NAME, name_offset, 0});
    };
    frame(0);
    b.push_back(RES_FRAME_PUSH);
    frame(0);
    b.insert(b.end(), {RES_FRAME_POP, 9, RES_FRAME_PUSH});
    frame(0);
    b.insert(b.end(), {RES_FRAME_POP, RES_FRAME_END});
    const ResourceHandle odd = res_create_hierarchy(
        "x", "odd", reinterpret_cast<uint8_t *>(b.data()), (uint32_t)(b.size() * 4));
    ASSERT_NE(odd, 0u);
    animnode_set_motion(node, (int32_t)odd, 0);
    EXPECT_EQ(animnode_for_each_bone_pair(
                  node,
                  [](SceneObject *, InstanceBone *, const char *, InstanceBone *, const char *,
                     void *) {},
                  nullptr),
              1);
}

// Whole frames: a frame past the end clamps to the last, one before the start to the start, a
// motion without frames has only frame 0; total frames count the completed loops.
TEST_F(AnimNodes, FrameSettingClampsToTheMotion) {
    SceneObject *node = figure(nullptr, by_model);
    EXPECT_EQ(animnode_length(node), mime->frames);
    EXPECT_EQ(animnode_start_frame(node), 2u);
    animnode_set_frame(node, 1000);
    EXPECT_EQ(animnode_frame(node), mime->frames - 1);
    animnode_set_frame(node, 0);
    EXPECT_EQ(animnode_frame(node), 2u);
    animnode_set_start_frame(node, 0);
    animnode_set_frame(node, 5);
    for (int i = 0; i < 2 * (int)mime->frames; ++i) animnode_update(node, -1);
    EXPECT_EQ(animnode_loop_count(node), 2u);
    EXPECT_EQ(animnode_total_frames(node), 5u + 2u * mime->frames);

    animnode_set_motion(node, (int32_t)by_hierarchy, 0);
    EXPECT_EQ(animnode_length(node), 0u);
    animnode_set_frame(node, 7);
    EXPECT_EQ(animnode_frame(node), 0u);
}

TEST_F(AnimNodes, WithoutAnInstanceNoBoneIsFound) {
    SceneObject *posed = figure(nullptr, by_model);
    const char *root = by->frames[0].name.c_str();
    ASSERT_EQ(animnode_bone_index(posed, root), 0); // index 0 is a real bone

    std::vector<ModelInstance *> taken;
    while (ModelInstance *m = model_instance_alloc()) taken.push_back(m);
    SceneObject *bare = animnode_create(0, nullptr, by_model, NODE_DEFAULT_LAYER);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(animnode_instance(bare), nullptr);
    animnode_set_motion(bare, (int32_t)by_hierarchy, (int32_t)mime_motion);
    EXPECT_EQ(animnode_bone_index(bare, root), -1);
    EXPECT_EQ(animnode_bone_world_by_name(bare, root, true), nullptr);
    EXPECT_EQ(animnode_bone_count(bare), 0);
    EXPECT_EQ(animnode_length(bare), 0u);
    for (ModelInstance *m : taken) model_instance_free(m);
}
