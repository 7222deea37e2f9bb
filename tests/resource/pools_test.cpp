// Resource pools: creation rule, handles, finds, marks, name storage, memory estimates, crops,
// resize and the device-reset walk.
#include <gtest/gtest.h>

#include <cstring>

#include "res_test_env.h"
#include "tools/packer/pack_collision.h"
#include "tools/packer/pack_frames.h"
#include "resource/chunks.h"
#include "resource/res_pools.h"
#include "resource/res_texture.h"

class Pools : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(res_test_device());
        res_test_start_pools();
    }
    void TearDown() override { res_test_start_pools(); }
};

TEST_F(Pools, BuiltinTexturesAndCreationRule) {
    EXPECT_EQ(res_texture_count(), 6);
    EXPECT_EQ(res_texture_read_pixel(res_white_texture(), 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(res_texture_read_pixel(res_magenta_texture(), 0, 0), 0xFFFF00FFu);
    EXPECT_EQ(res_texture_read_pixel(res_flat_normal_texture(), 0, 0), 0xFF8080FFu);
    EXPECT_STREQ(res_texture_group(res_black_texture()), "disp");
    EXPECT_EQ(res_find_texture("disp", "cy"), res_cyan_texture());

    ResourceHandle a = res_create_texture("g", "t", 8, 8, 0);
    ASSERT_NE(a, 0u);
    EXPECT_EQ(res_create_texture("g", "t", 16, 16, 0), a); // existing (group, name)
    EXPECT_EQ(res_texture_count(), 7);
    EXPECT_NE(res_create_texture("h", "t", 8, 8, 0), a); // another group is another record

    // A create the device refuses takes no record; the next one takes its place.
    const int32_t count = res_texture_count();
    EXPECT_EQ(res_create_texture_from_file("g", "missing.png", 0), 0u);
    EXPECT_EQ(res_create_depth_surface("g", "z", 0, 0, 0), 0u);
    EXPECT_EQ(res_texture_count(), count);
    EXPECT_EQ(res_depth_surface_count(), 0);
    EXPECT_EQ(res_pools()->textures.highest_count, count);
    EXPECT_EQ(res_create_texture("g", "next", 8, 8, 0), static_cast<ResourceHandle>(count + 1));
    EXPECT_STREQ(res_texture_name(count + 1), "next");

    EXPECT_EQ(res_texture_record(0), nullptr);
    EXPECT_EQ(res_texture_record(static_cast<ResourceHandle>(-1)), nullptr);
    EXPECT_EQ(res_texture_record(res_texture_count() + 1), nullptr);
    EXPECT_EQ(res_get_crop(1), nullptr);
    EXPECT_EQ(res_handle_to_index(3, 3), 2);
    EXPECT_EQ(res_handle_to_index(4, 3), -1);
}

TEST_F(Pools, FullPoolsRefuse) {
    for (int i = res_texture_count(); i < 64; ++i) {
        std::string name = "t" + std::to_string(i);
        ASSERT_NE(res_create_texture("g", name.c_str(), 1, 1, 0), 0u) << i;
    }
    EXPECT_EQ(res_create_texture("g", "one_more", 1, 1, 0), 0u);
    EXPECT_EQ(res_texture_count(), 64);

    // 32 groups (one is "disp"): a 33rd group is refused and the record has none.
    for (int i = 1; i < 32; ++i) res_intern_group(("grp" + std::to_string(i)).c_str());
    EXPECT_EQ(res_group_count(), 32);
    EXPECT_EQ(res_intern_group("extra"), nullptr);
    ResourceHandle c = res_make_crop("extra", "c", 0, 0, 1, 1, "none");
    ASSERT_NE(c, 0u);
    EXPECT_EQ(res_crop_group(c), nullptr);
}

TEST_F(Pools, GroupNameThatDoesNotFitAddsNoEntry) {
    ResourcePoolSizes s = *res_default_sizes();
    s.groups.name_bytes = 16; // "disp" takes 5
    res_init(&s);
    EXPECT_NE(res_intern_group("abcdefghi"), nullptr); // 5 + 9 + 2 = 16
    EXPECT_EQ(res_intern_group("x"), nullptr);
    EXPECT_EQ(res_group_count(), 2);
    EXPECT_EQ(res_find_group("x"), 0u);
    ResourceHandle c = res_make_crop("x", "c", 0, 0, 1, 1, "t");
    ASSERT_NE(c, 0u);
    EXPECT_EQ(res_crop_group(c), nullptr);
    EXPECT_EQ(res_find_crop(nullptr, "c"), c);
}

TEST_F(Pools, ReleaseToMarkIsNewestFirst) {
    ResourceMark before;
    for (int i = 0; i < 3; ++i)
        res_make_crop("g", ("c" + std::to_string(i)).c_str(), 0, 0, 1, 1, "x");
    res_mark(&before);
    EXPECT_EQ(before.valid, 1u);
    EXPECT_EQ(before.counts[RES_COUNT_CROPS], 3);
    ResourceHandle fourth = res_make_crop("g", "c3", 0, 0, 1, 1, "x");
    res_make_crop("g", "c4", 0, 0, 1, 1, "x");
    res_create_texture("late", "t", 4, 4, 0);
    const char *fourth_name = res_crop_name(fourth);
    uint32_t memory = res_texture_memory();
    EXPECT_EQ(res_crop_count(), 5);

    res_release_to_mark(&before);
    EXPECT_EQ(before.valid, 0u);
    EXPECT_EQ(res_crop_count(), 3);
    EXPECT_EQ(res_texture_count(), 6);
    EXPECT_EQ(res_find_group("late"), 0u);
    EXPECT_EQ(res_texture_memory(), memory - 4 * 4 * 4);
    // Newest first gave every byte back: the next name lands where the fourth one was.
    ResourceHandle again = res_make_crop("g", "zz", 0, 0, 1, 1, "x");
    EXPECT_EQ(res_crop_name(again), fourth_name);
    EXPECT_EQ(res_find_crop("g", "c4"), 0u);

    // A negative count is marked as 0.
    res_pools()->depth_surfaces.count = -1;
    ResourceMark m;
    res_mark(&m);
    EXPECT_EQ(m.counts[RES_COUNT_DEPTH_SURFACES], 0);
    EXPECT_EQ(res_depth_surface_count(), 0);
}

TEST_F(Pools, FindRules) {
    ResourceHandle in_a = res_make_crop("A", "shared", 0, 0, 1, 1, "x");
    ResourceHandle in_b = res_make_crop("B", "shared", 0, 0, 1, 1, "x");
    ResourceHandle no_group = res_make_crop(nullptr, "loose", 0, 0, 1, 1, "x");
    EXPECT_EQ(res_find_crop(nullptr, "shared"), in_a); // first of any group
    EXPECT_EQ(res_find_crop("B", "shared"), in_b);
    EXPECT_EQ(res_find_crop("C", "shared"), 0u);
    EXPECT_EQ(res_find_crop(nullptr, "loose"), no_group);
    // A record without a group (hash 0) matches a group that hashes to 0 without a text compare.
    EXPECT_EQ(res_find_crop("", "loose"), no_group);
    EXPECT_EQ(res_find_crop("A", "loose"), 0u);
    // "A" and "\x01" hash alike: the text compare tells them apart, for groups and names.
    ASSERT_EQ(res_hash_name("A"), res_hash_name("\x01"));
    EXPECT_EQ(res_find_crop("\x01", "shared"), 0u);
    ResourceHandle named_a = res_make_crop("g", "A", 0, 0, 1, 1, "x");
    EXPECT_EQ(res_find_crop("g", "\x01"), 0u);
    EXPECT_EQ(res_find_crop("g", "A"), named_a);
    EXPECT_EQ(res_find_crop("g", "shared.png"), 0u);
    // Creators store the name part of a path.
    ResourceHandle pathed = res_make_crop("g", "dir\\sub/face.png", 0, 0, 1, 1, "x");
    EXPECT_STREQ(res_crop_name(pathed), "face");
}

TEST_F(Pools, NameNeedsTwoMoreBytesThanItsLength) {
    ResourcePoolSizes s = *res_default_sizes();
    s.crops.name_bytes = 10;
    res_init(&s);
    ResourceHandle fits = res_make_crop("g", "abcdefgh", 0, 0, 1, 1, "x"); // 8 + 2 = 10
    ASSERT_NE(fits, 0u);
    EXPECT_STREQ(res_crop_name(fits), "abcdefgh");
    res_release_crop(fits);
    res_pools()->crops.count = 0;
    ResourceHandle cut = res_make_crop("g", "abcdefghi", 0, 0, 1, 1, "x"); // needs 11
    ASSERT_NE(cut, 0u);
    EXPECT_EQ(res_crop_name(cut), nullptr);
    // Such a record is reachable only through its handle; finds pass over it.
    EXPECT_EQ(res_find_crop("g", "abcdefghi"), 0u);
    ResourceHandle second = res_make_crop("g", "abcdefghi", 0, 0, 1, 1, "x");
    EXPECT_NE(second, cut);
}

TEST_F(Pools, MemoryEstimatesAndClampNames) {
    uint32_t base = res_texture_memory();
    ResourceHandle plain = res_create_texture("g", "plain", 256, 256, 0);
    ASSERT_NE(plain, 0u);
    EXPECT_EQ(res_texture_memory() - base, 262144u);

    std::vector<uint8_t> png = res_test_pattern_png(256, 256);
    ResourceHandle mip =
        res_create_texture_from_memory("g", "mip_clp.png", png.data(), png.size(), 1);
    ASSERT_NE(mip, 0u);
    EXPECT_EQ(res_texture_memory() - base, 262144u + 360448u);
    EXPECT_STREQ(res_texture_name(mip), "mip_clp");
    // "_clp": clamp (1) both ways without any filter call.
    uint8_t flags = res_get_texture(mip)->flags;
    EXPECT_EQ((flags >> TEX_ADDRESS_U_SHIFT) & 7, 1);
    EXPECT_EQ((flags >> TEX_ADDRESS_V_SHIFT) & 7, 1);
    EXPECT_EQ(flags & TEX_FLAG_MIPMAP, TEX_FLAG_MIPMAP);
    EXPECT_EQ((res_get_texture(plain)->flags >> TEX_ADDRESS_U_SHIFT) & 7, 0);

    EXPECT_TRUE(res_set_texture_filter(plain, 9, 1)); // codes are masked to three bits
    EXPECT_EQ((res_get_texture(plain)->flags >> TEX_ADDRESS_U_SHIFT) & 7, 1);
    EXPECT_FALSE(res_set_texture_filter(0, 1, 1));

    res_release_texture(mip);
    EXPECT_EQ(res_texture_memory() - base, 262144u);
}

TEST_F(Pools, CropsFromPixelsAndMirroredRects) {
    ResourceHandle tex = res_create_texture("g", "sheet", 256, 128, 0);
    ASSERT_NE(tex, 0u);
    ResourceHandle c = res_create_crop("g", "part", 0, 0, 128, 64, tex);
    const CropRecord *r = res_get_crop(c);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->texture, tex);
    EXPECT_FLOAT_EQ(r->u0, 0.0f);
    EXPECT_FLOAT_EQ(r->v0, 0.0f);
    EXPECT_FLOAT_EQ(r->u_size, 0.5f);
    EXPECT_FLOAT_EQ(r->v_size, 0.5f);
    EXPECT_EQ(res_create_crop("g", "bad", 0, 0, 1, 1, 999), 0u);
    // A texture without area gives no crop rather than infinite coordinates.
    ResourceHandle flat = res_create_texture("g", "flat", 16, 16, 0);
    ASSERT_NE(flat, 0u);
    res_get_texture(flat)->height = 0;
    EXPECT_EQ(res_create_crop("g", "flat", 0, 0, 1, 1, flat), 0u);

    // Upside down over the whole texture.
    res_set_crop_rect(c, 0, 128, 256, -128, tex);
    EXPECT_FLOAT_EQ(r->u0, 0.0f);
    EXPECT_FLOAT_EQ(r->v0, 1.0f);
    EXPECT_FLOAT_EQ(r->u_size, 1.0f);
    EXPECT_FLOAT_EQ(r->v_size, -1.0f);
    res_set_crop_rect(c, 1, 2, 3, 4, 0);
    EXPECT_EQ(r->texture, 0u);
    EXPECT_FLOAT_EQ(r->u_size, 0.0f);
    res_set_crop_rect(0, 1, 2, 3, 4, tex); // invalid crop: nothing

    ResourceHandle missing = res_make_crop("g", "m", 0.25f, 0.5f, 0.125f, 0.0625f, "nothere.png");
    r = res_get_crop(missing);
    EXPECT_EQ(r->texture, 0u);
    EXPECT_FLOAT_EQ(r->u0, 0.25f);
    EXPECT_FLOAT_EQ(r->v_size, 0.0625f);
    EXPECT_EQ(res_get_crop(res_make_crop("g", "s", 0, 0, 1, 1, "dir\\sheet.png"))->texture, tex);
}

TEST_F(Pools, ResizeAndDeviceResetWalk) {
    uint32_t base = res_texture_memory();
    ResourceHandle rt = res_create_render_texture("g", "target", 64, 32, 0);
    ASSERT_NE(rt, 0u);
    TextureHandle *t = res_get_texture(rt);
    EXPECT_EQ(t->kind, TEX_KIND_TARGET);
    EXPECT_EQ(res_texture_memory() - base, 64u * 32u * 4u);

    res_resize_texture(rt, 32, 16, 0);
    EXPECT_EQ(t->kind, TEX_KIND_TARGET);
    EXPECT_NE(t->texture, nullptr);
    EXPECT_EQ(t->width, 32);
    EXPECT_EQ(res_texture_memory() - base, 32u * 16u * 4u);

    res_release_targets();
    EXPECT_EQ(t->texture, nullptr);
    EXPECT_EQ(t->width, 32);                                           // sizes kept while lost
    EXPECT_NE(res_get_texture(res_white_texture())->texture, nullptr); // managed: untouched
    res_restore_targets();
    EXPECT_NE(t->texture, nullptr);
    EXPECT_EQ(t->kind, TEX_KIND_TARGET);

    res_resize_texture(rt, 0, 16, 0);
    EXPECT_EQ(t->texture, nullptr);
    EXPECT_EQ(t->kind, TEX_KIND_TARGET);
    EXPECT_EQ(res_texture_memory(), base);
}

TEST_F(Pools, DepthSurfaces) {
    uint32_t base = res_texture_memory();
    ResourceHandle d = res_create_depth_surface("g", "z.buf", 64, 64, 1);
    ASSERT_NE(d, 0u);
    EXPECT_STREQ(res_depth_surface_name(d), "z");
    SurfaceHandle *s = res_get_depth_surface(d);
    EXPECT_EQ(res_texture_memory() - base, 64u * 64u * s->bits_per_pixel / 8u);
    res_resize_depth_surface(d, 32, 32, 1);
    EXPECT_EQ(res_texture_memory() - base, 32u * 32u * s->bits_per_pixel / 8u);
    res_release_depth_surface(d);
    EXPECT_EQ(res_texture_memory(), base);
}

TEST_F(Pools, ThreeDPoolsHoldNothingWithContent) {
    const uint8_t body[8] = {5, 0, 0, 0, 5, 0, 0, 0}; // an empty frame list
    EXPECT_EQ(res_create_hierarchy("g", "h", body, sizeof body), 0u);
    EXPECT_EQ(res_hierarchy_count(), 0);
    EXPECT_EQ(res_create_motion("g", "m", body, 1), 0u);
    EXPECT_EQ(res_create_shape_set("g", "s", body, 4), 0u);
    EXPECT_EQ(res_create_camera_track("g", "c", body, 1, 0, 0, 0), 0u);
    // An empty body fits: one record with no name (1-byte name buffer), then the pool is full.
    ResourceHandle empty = res_create_camera_track("g", "c", body, 0, 0, 0, 0);
    ASSERT_NE(empty, 0u);
    EXPECT_EQ(res_camera_track_name(empty), nullptr);
    EXPECT_EQ(res_create_camera_track("g", "d", body, 0, 0, 0, 0), 0u);

    res_test_start_pools(true);
    ResourceHandle h = res_create_hierarchy("g", "h", body, sizeof body);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(res_find_hierarchy("g", "h"), h);
    EXPECT_EQ(std::memcmp(res_hierarchy_record(h)->frames, body, sizeof body), 0);
}

TEST_F(Pools, ThreeDRecordsKeepACopyOfTheirBodyAndAFoundNameKeepsTheFirst) {
    res_test_start_pools(true);
    std::vector<uint8_t> motion = pack_motion_body({"m", 1, {}}); // no tracks: stored as given
    uint8_t keys[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ResourceHandle m = res_create_motion("g", "m", motion.data(), (uint32_t)motion.size());
    ResourceHandle c = res_create_camera_track("g", "c", keys, 1, 0, 0, 0);
    ASSERT_TRUE(m && c);
    const std::vector<uint8_t> original = motion;
    motion[0] = 99; // the records hold their own copies
    keys[0] = 99;
    const MotionRecord *r = res_motion_record(m);
    ASSERT_EQ(r->size, original.size());
    EXPECT_EQ(std::memcmp(r->data, original.data(), original.size()), 0);
    EXPECT_EQ(res_camera_track_record(c)->keys[0], 1);
    EXPECT_EQ(res_camera_track_record(c)->keys[15], 16);
    EXPECT_EQ(res_create_motion("g", "m", original.data(), 20), m);
    EXPECT_EQ(res_motion_record(m)->data, r->data);
    EXPECT_EQ(res_motion_record(m)->size, original.size());
    EXPECT_EQ(res_motion_count(), 1);
}

TEST_F(Pools, ThreeDChunksAreNamedByTheTextTheirBodyPointsAt) {
    res_test_start_pools(true);
    // Word 0 and word 2 both point at the text after the five words (a motion without tracks
    // keeps its track count word 0).
    auto body = [](const char *text) {
        std::vector<uint8_t> b(20, 0);
        b[0] = b[8] = 20;
        b.insert(b.end(), text, text + std::strlen(text) + 1);
        return b;
    };
    std::vector<uint8_t> motion = body("walk_NRx"), model = body("mdl");
    std::vector<uint8_t> wall = pack_collision_mesh_body("wall_SPx", {}, PackCollGrid{}),
                         shape = pack_shape_set_body("ball_NRx", {});
    motion[0] = 0; // no tracks
    EXPECT_TRUE(chunk_load_motion("g", motion.data(), (uint32_t)motion.size(), 0));
    EXPECT_TRUE(chunk_load_collision_mesh("g", wall.data(), (uint32_t)wall.size(), 0));
    EXPECT_TRUE(chunk_load_shape_set("g", shape.data(), (uint32_t)shape.size(), 0));
    EXPECT_NE(res_find_motion("g", "walk"), 0u); // suffixes stripped
    EXPECT_NE(res_find_collmesh("g", "wall"), 0u);
    EXPECT_NE(res_find_shape_set("g", "ball_NRx"), 0u); // kept whole

    // A name offset past the body, or a text that does not end inside it, is refused; a shape
    // set is then left missing and its chunk still loads.
    motion[8] = 200;
    EXPECT_FALSE(chunk_load_motion("g", motion.data(), (uint32_t)motion.size(), 0));
    std::vector<uint8_t> cut = body("cut");
    cut.pop_back();
    EXPECT_FALSE(chunk_load_collision_mesh("g", cut.data(), (uint32_t)cut.size(), 0));
    const int32_t sets = res_shape_set_count();
    EXPECT_TRUE(chunk_load_shape_set("g", shape.data(), 3, 0));
    EXPECT_EQ(res_shape_set_count(), sets);
    EXPECT_EQ(res_motion_count(), 1);
    EXPECT_EQ(res_collmesh_count(), 1);
    // Models: a body too short for its header, a name past the body or a model of no
    // triangles leaves the model missing; the chunk still loads.
    model.resize(112 + 4, 0);
    model[4] = 112;
    std::memcpy(&model[112], "mdl", 4);
    EXPECT_TRUE(chunk_load_models("g", model.data(), (uint32_t)model.size(), 0));
    EXPECT_TRUE(chunk_load_models("g", model.data(), 111, 0));
    model[4] = 120;
    EXPECT_TRUE(chunk_load_models("g", model.data(), (uint32_t)model.size(), 0));
    EXPECT_EQ(res_model_count(), 0);
}
