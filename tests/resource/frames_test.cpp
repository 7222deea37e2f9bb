// Frame hierarchies, motions and camera tracks: bodies made by the packer load through their
// chunk handlers and read back through the walk and the queries; damaged bodies are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "res_test_env.h"
#include "resource/chunks.h"
#include "resource/res_frames.h"
#include "resource/res_matrix.h"
#include "resource/res_motion.h"
#include "tests/support/test_matrix.h"
#include "tools/packer/pack_frames.h"
#include "tools/packer/packer.h"

using Bytes = std::vector<uint8_t>;

namespace {

void pack_set_f32(Bytes &b, size_t at, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    pack_set_u32(b, at, v);
}

// Rotation about z by a (row vectors: x turns towards y), then the translation t.
PackMatrix turn_z(double a, float tx, float ty, float tz) {
    float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, tx, ty, tz, 1};
}

void expect_near(const Mat4 &got, const TestMat &want, const char *what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got.m[i / 4][i % 4], want[i], 1e-5) << what << " " << i;
}

// root (turned 30 degrees, raised) with two limbs of two frames; the left limb's upper frame
// carries an "_NRx" part that is stripped when stored.
PackFrame body_frames(void) {
    PackFrame lo_l{"lo_L", turn_z(0.4, 0, -1, 0), {}};
    PackFrame up_l{"up_L_NRx", turn_z(-0.3, 0.5f, 0, 0), {lo_l}};
    PackFrame lo_r{"lo_R", turn_z(0.2, 0, -1, 0), {}};
    PackFrame up_r{"up_R", pack_translation(-0.5f, 0, 0), {lo_r}};
    return {"hip", turn_z(M_PI / 6, 0, 2, 0), {up_l, up_r}};
}

class Frames : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(res_test_device());
        res_test_start_pools(true);
    }
    void TearDown() override { res_test_start_pools(); }

    // The handle of the hierarchy the body made, 0 when it was refused.
    static ResourceHandle load_hierarchy(Bytes body) {
        int32_t before = res_hierarchy_count();
        if (!chunk_load_hierarchy("g", body.data(), static_cast<uint32_t>(body.size()), 0) ||
            res_hierarchy_count() != before + 1)
            return 0;
        return res_index_to_handle(before);
    }
};

} // namespace

TEST_F(Frames, HierarchyLoadsAndAnswersItsQueries) {
    const PackFrame root = body_frames();
    ResourceHandle h = load_hierarchy(pack_hierarchy_body(root));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(res_find_hierarchy("g", "hip"), h);
    const HierarchyRecord *r = res_hierarchy_record(h);
    EXPECT_EQ(r->named_count, 5u);
    EXPECT_EQ(r->matrix_count, 5u);
    EXPECT_EQ(r->depth, 2);

    // The walk: names in list order with the hash of their stripped text, the matrix before
    // each, and the parent each hangs under.
    const char *names[] = {"hip", "up_L", "lo_L", "up_R", "lo_R"};
    const int parents[] = {-1, 0, 1, 0, 3};
    const PackMatrix *matrices[] = {&root.matrix, &root.children[0].matrix,
                                    &root.children[0].children[0].matrix, &root.children[1].matrix,
                                    &root.children[1].children[0].matrix};
    FrameWalk w;
    FrameItem it;
    ASSERT_TRUE(res_frames_begin(&w, h));
    int n = 0;
    while (res_frames_next(&w, &it)) {
        if (it.tag != RES_FRAME_NAME) continue;
        ASSERT_LT(n, 5);
        EXPECT_STREQ(it.name, names[n]);
        EXPECT_EQ(it.hash, res_hash_name(names[n]));
        EXPECT_EQ(it.index, n);
        EXPECT_EQ(it.parent, parents[n]) << names[n];
        ASSERT_TRUE(it.has_matrix);
        EXPECT_EQ(std::memcmp(&it.matrix, matrices[n]->data(), 64), 0) << names[n];
        ++n;
    }
    EXPECT_EQ(n, 5);

    // World matrices: each frame's matrix applied before its parent's, from identity.
    res_matrix_push();
    const int depth = res_matrix_depth();
    Mat4 m;
    // A frame's world matrix: its own matrix, then its parent's, up to the root.
    auto world = [&](const PackFrame &limb) {
        TestMat w = test_mat_of(limb.children[0].matrix.data());
        for (const PackFrame *f : {&limb, &root})
            w = test_mat_product(w, test_mat_of(f->matrix.data()));
        return w;
    };
    auto lo_l = world(root.children[0]);
    ASSERT_TRUE(res_frame_world_matrix(h, "lo_L", &m));
    expect_near(m, lo_l, "lo_L");
    auto lo_r = world(root.children[1]);
    ASSERT_TRUE(res_frame_world_matrix(h, "lo_R", &m)); // the left limb no longer applies
    expect_near(m, lo_r, "lo_R");
    EXPECT_FALSE(res_frame_world_matrix(h, "up_L_NRx", &m));
    EXPECT_FALSE(res_frame_world_matrix(h, "none", &m));
    EXPECT_EQ(res_matrix_depth(), depth);
    res_matrix_pop();

    ASSERT_TRUE(res_find_frame_matrix(h, "up_R", &m));
    EXPECT_EQ(std::memcmp(&m, root.children[1].matrix.data(), 64), 0);
    EXPECT_FALSE(res_find_frame_matrix(h, "nothing", &m));

    // Descendants: the whole subtree, or within a depth limit; a leaf has none.
    EXPECT_EQ(res_frame_descendant_count(h, "hip", 0), 4);
    EXPECT_EQ(res_frame_descendant_count(h, "hip", 1), 2);
    EXPECT_EQ(res_frame_descendant_count(h, "up_L", 0), 1);
    EXPECT_EQ(res_frame_descendant_count(h, "lo_L", 0), 0);
    EXPECT_EQ(res_frame_descendant_count(h, "none", 0), 0);
    EXPECT_STREQ(res_frame_descendant_name(h, "hip", 1, 1), "up_R");
    EXPECT_STREQ(res_frame_descendant_name(h, "hip", 3, 0), "lo_R");
    EXPECT_EQ(res_frame_descendant_name(h, "hip", 4, 0), nullptr);
    EXPECT_STREQ(res_frame_descendant_name(h, "up_R", 0, 0), "lo_R");
}

TEST_F(Frames, ListsThatCannotBeWalkedSoundlyAreRefused) {
    // A chain of n frames, each under the one before: nesting n - 1.
    auto chain = [](int n) {
        PackFrame f{"f" + std::to_string(n - 1), pack_translation(0, 1, 0), {}};
        for (int i = n - 2; i >= 0; --i)
            f = PackFrame{"f" + std::to_string(i), pack_translation(0, 1, 0), {f}};
        return pack_hierarchy_body(f);
    };
    // Deepest accepted nesting: a walker pushing twice first still fits the stack.
    ResourceHandle deep = load_hierarchy(chain(RES_FRAME_MAX_DEPTH + 1));
    ASSERT_NE(deep, 0u);
    Mat4 m;
    ASSERT_TRUE(res_frame_world_matrix(deep, "f61", &m));
    EXPECT_FLOAT_EQ(m.m[3][1], 62.0f); // every level applied: no push was lost
    EXPECT_TRUE(res_frames_stack_room(deep, 2));
    EXPECT_FALSE(res_frames_stack_room(deep, 3));
    res_matrix_push();
    EXPECT_TRUE(res_frame_world_matrix(deep, "f61", &m));
    res_matrix_push();
    EXPECT_FALSE(res_frame_world_matrix(deep, "f61", &m)); // no room left above this depth
    res_matrix_pop();
    res_matrix_pop();
    EXPECT_EQ(load_hierarchy(chain(RES_FRAME_MAX_DEPTH + 2)), 0u);

    // 254 named frames are taken, 255 are not.
    PackFrame wide{"w", pack_translation(0, 0, 0), {}};
    for (int i = 1; i < 254; ++i) wide.children.push_back({"c" + std::to_string(i), {}, {}});
    EXPECT_NE(load_hierarchy(pack_hierarchy_body(wide)), 0u);
    wide.name = "w2";
    wide.children.push_back({"extra", {}, {}});
    EXPECT_EQ(load_hierarchy(pack_hierarchy_body(wide)), 0u);

    const Bytes good = pack_hierarchy_body(body_frames());
    const uint32_t end = 4 * (5 * 17 + 5 * 3 + 8 + 1); // items of the five frames and the end
    ASSERT_EQ(good[end - 4], 5);
    struct Damage {
        const char *what;
        std::function<void(Bytes &)> apply;
    } damages[] = {
        {"pop below the start", [](Bytes &b) { pack_set_u32(b, 68 + 12, 4); }},
        {"no end tag", [&](Bytes &b) { b.resize(end - 4); }},
        {"end tag replaced", [&](Bytes &b) { pack_set_u32(b, end - 4, 9); }},
        {"matrix cut short", [&](Bytes &b) { b.resize(60); }},
        {"name inside the list", [](Bytes &b) { pack_set_u32(b, 72, 80); }},
        {"name past the body", [](Bytes &b) { pack_set_u32(b, 72, 0xFFFFFFF0u); }},
        {"name not ended", [](Bytes &b) { std::fill(b.end() - 4, b.end(), 'x'); }},
    };
    for (const Damage &d : damages) {
        res_test_start_pools(true);
        Bytes b = good;
        d.apply(b);
        EXPECT_FALSE(chunk_load_hierarchy("g", b.data(), static_cast<uint32_t>(b.size()), 0))
            << d.what;
        EXPECT_EQ(res_hierarchy_count(), 0) << d.what;
    }
    // A refused body gives back the bytes it took: the same body stored next sits where it would.
    res_test_start_pools(true);
    uint8_t *start = res_pools()->hierarchies.data.cursor;
    Bytes b = good;
    pack_set_u32(b, 68 + 12, 4);
    EXPECT_EQ(res_create_hierarchy("g", "x", b.data(), static_cast<uint32_t>(b.size())), 0u);
    EXPECT_EQ(res_pools()->hierarchies.data.cursor, start);
    EXPECT_EQ(res_pools()->hierarchies.names.cursor, res_pools()->hierarchies.names.start);
}

TEST_F(Frames, HierarchiesWithHostileMatricesAreRefused) {
    // NaN, an infinity and a value past 1e9 in one frame's matrix.
    for (float f : {NAN, -INFINITY, 2e9f}) {
        PackFrame root = body_frames();
        root.children[1].children[0].matrix[5] = f;
        EXPECT_EQ(load_hierarchy(pack_hierarchy_body(root)), 0u) << f;
    }
    // A chain of n frames each scaling by 10 stays within 1e9 up to n = 9: the deepest world
    // matrix then scales by exactly 10^9. At n = 10 every matrix alone is still small, but
    // the product is not.
    auto chain = [](int n) {
        const PackMatrix ten = {10, 0, 0, 0, 0, 10, 0, 0, 0, 0, 10, 0, 0, 0, 0, 1};
        PackFrame f{"s" + std::to_string(n - 1), ten, {}};
        for (int i = n - 2; i >= 0; --i) f = PackFrame{"s" + std::to_string(i), ten, {f}};
        return pack_hierarchy_body(f);
    };
    ResourceHandle h = load_hierarchy(chain(9));
    ASSERT_NE(h, 0u);
    Mat4 m;
    ASSERT_TRUE(res_frame_world_matrix(h, "s8", &m));
    EXPECT_EQ(m.m[0][0], 1e9f);
    EXPECT_EQ(m.m[2][2], 1e9f);
    EXPECT_EQ(m.m[3][3], 1.0f);
    res_test_start_pools(true);
    EXPECT_EQ(load_hierarchy(chain(10)), 0u);
    EXPECT_EQ(res_find_hierarchy("g", "s0"), 0u);
}

namespace {

PackMotion two_tracks(void) {
    PackMotion m{"walk_SPx", 3, {}};
    PackTrack a{"up_L_NRx", {}}, b{"lo_R", {}};
    for (int f = 0; f < 3; ++f) {
        a.keys.push_back(turn_z(f * 0.25, 0, 0, 0));
        b.keys.push_back(pack_translation(0, 0, 0.5f * f));
    }
    b.keys.pop_back(); // fewer keys than frames: the key count says so
    m.tracks = {a, b};
    return m;
}

} // namespace

TEST_F(Frames, MotionTracksAndKeys) {
    const PackMotion want = two_tracks();
    Bytes body = pack_motion_body(want);
    ASSERT_TRUE(chunk_load_motion("g", body.data(), static_cast<uint32_t>(body.size()), 0));
    ResourceHandle m = res_find_motion("g", "walk");
    ASSERT_NE(m, 0u);
    EXPECT_EQ(res_motion_length(m), 3u);
    EXPECT_EQ(res_motion_track_count(m), 2);
    EXPECT_STREQ(res_motion_track_name(m, 0), "up_L");
    EXPECT_STREQ(res_motion_track_name(m, 1), "lo_R");
    EXPECT_EQ(res_motion_track_name(m, 2), nullptr);
    EXPECT_EQ(res_motion_track_index(m, "lo_R"), 1);
    EXPECT_EQ(res_motion_track_index(m, "up_L_NRx"), -1);
    EXPECT_EQ(res_motion_track_value(m, "up_L"), 3u);
    EXPECT_EQ(res_motion_track_value(m, "lo_R"), 2u);
    EXPECT_EQ(res_motion_track_value(m, "hip"), 0u);
    EXPECT_EQ(res_motion_track_keys(m, "hip"), nullptr);
    const Mat4 *keys = res_motion_track_keys(m, "up_L");
    ASSERT_NE(keys, nullptr);
    EXPECT_FLOAT_EQ(keys[2].m[0][1], static_cast<float>(std::sin(0.5)));
    Mat4 k;
    ASSERT_TRUE(res_motion_key(m, 1, 1, &k));
    EXPECT_FLOAT_EQ(k.m[3][2], 0.5f);
    EXPECT_FALSE(res_motion_key(m, 1, 2, &k)); // past the key count
    EXPECT_FALSE(res_motion_key(m, 2, 0, &k));
    EXPECT_EQ(res_motion_second_block(m), 0u);

    // A motion without tracks and the track limits.
    PackMotion none{"still", 1, {}};
    body = pack_motion_body(none);
    EXPECT_TRUE(chunk_load_motion("g", body.data(), static_cast<uint32_t>(body.size()), 0));
    EXPECT_EQ(res_motion_track_count(res_find_motion("g", "still")), 0);
    PackMotion many{"many", 65535, std::vector<PackTrack>(254, PackTrack{"t", {}})};
    body = pack_motion_body(many);
    EXPECT_NE(res_create_motion("g", "many", body.data(), static_cast<uint32_t>(body.size())), 0u);
}

TEST_F(Frames, MotionsThatDoNotFitTheirBodyAreRefused) {
    const Bytes good = pack_motion_body(two_tracks());
    // Offsets of the layout the packer writes: header, name, table, then the tracks.
    const uint32_t table = 20 + 12, first = table + 8, second = first + 12 + 3 * 64;
    struct Damage {
        const char *what;
        std::function<void(Bytes &)> apply;
    } damages[] = {
        {"255 tracks", [](Bytes &b) { pack_set_u32(b, 0, 255); }},
        {"65,536 frames", [](Bytes &b) { pack_set_u32(b, 4, 65536); }},
        {"track table past the body", [](Bytes &b) { pack_set_u32(b, 12, 0xFFFFFFFCu); }},
        {"track past the body", [&](Bytes &b) { pack_set_u32(b, table, 0x7FFFFFF0u); }},
        {"track not aligned", [&](Bytes &b) { pack_set_u32(b, table, first + 1); }},
        {"key count past the body", [&](Bytes &b) { pack_set_u32(b, second + 8, 3); }},
        {"key count wrapping 32 bits", [&](Bytes &b) { pack_set_u32(b, first + 8, 0x04000000u); }},
        {"track name past the body", [&](Bytes &b) { pack_set_u32(b, second, 1u << 30); }},
        {"track inside the table", [&](Bytes &b) { pack_set_u32(b, table, table - 4); }},
        // Values: NaN, an infinity and past 1e9 in a key.
        {"NaN key", [&](Bytes &b) { pack_set_f32(b, first + 12 + 4 * 5, NAN); }},
        {"infinite key", [&](Bytes &b) { pack_set_f32(b, second + 12 + 4 * 12, -INFINITY); }},
        {"key past 1e9", [&](Bytes &b) { pack_set_f32(b, second + 12, 1.5e9f); }},
        // Ranges inside the 20-byte header or over another table.
        {"motion name inside the header", [](Bytes &b) { pack_set_u32(b, 8, 4); }},
        {"track table inside the header", [](Bytes &b) { pack_set_u32(b, 12, 8); }},
        {"track at offset 4", [&](Bytes &b) { pack_set_u32(b, table, 4); }},
        {"second block inside the header", [](Bytes &b) { pack_set_u32(b, 16, 4); }},
        {"two tracks sharing one record", [&](Bytes &b) { pack_set_u32(b, table + 4, first); }},
        {"keys running into the next track", [&](Bytes &b) { pack_set_u32(b, first + 8, 4); }},
        {"track name inside a track", [&](Bytes &b) { pack_set_u32(b, second, first + 12); }},
    };
    for (const Damage &d : damages) {
        Bytes b = good;
        d.apply(b);
        EXPECT_FALSE(chunk_load_motion("g", b.data(), static_cast<uint32_t>(b.size()), 0))
            << d.what;
        EXPECT_EQ(res_motion_count(), 0) << d.what;
    }
}

TEST_F(Frames, CameraTrackKeys) {
    PackCamera c{"cam", 7, {1.5f, -2.0f}, {{1, 2, 3, 4}, {5, 6, 7, 8}}};
    Bytes body = pack_camera_body(c);
    ASSERT_TRUE(chunk_load_camera_track("g", body.data(), static_cast<uint32_t>(body.size()), 0));
    ResourceHandle h = res_find_camera_track("g", "cam");
    ASSERT_NE(h, 0u);
    const CameraTrackRecord *r = res_camera_track_record(h);
    EXPECT_EQ(r->key_count, 2u);
    EXPECT_EQ(r->word, 7u);
    EXPECT_EQ(r->values[1], -2.0f);
    float k[4];
    ASSERT_TRUE(res_camera_track_key(h, 1, k));
    EXPECT_EQ(k[0], 5.0f);
    EXPECT_EQ(k[3], 8.0f);
    EXPECT_FALSE(res_camera_track_key(h, 2, k));
}

TEST_F(Frames, CameraTracksWithHostileKeysOrLayoutAreRefused) {
    const PackCamera c{"cam", 7, {1.5f, -2.0f}, {{1, 2, 3, 4}, {5, 6, 7, 8}}};
    const Bytes good = pack_camera_body(c); // header 24 bytes, keys at 24, then the name
    struct Damage {
        const char *what;
        std::function<void(Bytes &)> apply;
    } damages[] = {
        {"NaN key", [](Bytes &b) { pack_set_f32(b, 24 + 4, NAN); }},
        {"infinite key", [](Bytes &b) { pack_set_f32(b, 24 + 16 + 12, INFINITY); }},
        {"key past 1e9", [](Bytes &b) { pack_set_f32(b, 24, -3e38f); }},
        {"keys inside the header", [](Bytes &b) { pack_set_u32(b, 4, 8); }},
        {"name inside the header", [](Bytes &b) { pack_set_u32(b, 0, 12); }},
        {"name over the keys", [](Bytes &b) { pack_set_u32(b, 0, 24 + 16 + 12); }},
    };
    for (const Damage &d : damages) {
        Bytes b = good;
        d.apply(b);
        EXPECT_FALSE(chunk_load_camera_track("g", b.data(), static_cast<uint32_t>(b.size()), 0))
            << d.what;
        EXPECT_EQ(res_camera_track_count(), 0) << d.what;
    }
    Bytes b = good;
    pack_set_f32(b, 24, 1e9f); // the limit itself is taken
    EXPECT_TRUE(chunk_load_camera_track("g", b.data(), static_cast<uint32_t>(b.size()), 0));
}
