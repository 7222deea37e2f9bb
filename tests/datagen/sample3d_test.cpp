// The generated 3D sample set loads through the data loader into larger pools, and what the
// pools hold matches the generator's description; loading and releasing it a hundred times
// gives every record and byte back.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "resource/loader.h"
#include "resource/res_collmesh.h"
#include "resource/res_frames.h"
#include "resource/res_matrix.h"
#include "resource/res_motion.h"
#include "resource/res_pools.h"
#include "tests/support/test_files.h"
#include "tests/support/test_matrix.h"
#include "tests/support/test_render.h"
#include "tools/datagen/sample3d.h"

namespace {

// World matrix of frame i: its rest matrix, then each parent's in turn.
TestMat world_of(const SampleHierarchy &h, int i) {
    TestMat w = test_mat_of(h.frames[i].rest.data());
    for (int p = h.frames[i].parent; p >= 0; p = h.frames[p].parent)
        w = test_mat_product(w, test_mat_of(h.frames[p].rest.data()));
    return w;
}

int depth_of(const SampleHierarchy &h, int i) {
    int d = 0;
    for (int p = h.frames[i].parent; p >= 0; p = h.frames[p].parent) ++d;
    return d;
}

// Frames below frame i, at most `limit` levels deeper (0: any), in list order.
std::vector<std::string> descendants(const SampleHierarchy &h, int i, int limit) {
    std::vector<std::string> out;
    for (size_t k = 0; k < h.frames.size(); ++k) {
        int levels = 0;
        for (int p = static_cast<int>(k); p >= 0 && p != i; p = h.frames[p].parent) ++levels;
        bool below = false;
        for (int p = h.frames[k].parent; p >= 0; p = h.frames[p].parent) below |= p == i;
        if (below && (limit == 0 || levels <= limit)) out.push_back(h.frames[k].name);
    }
    return out;
}

// The name hash written out: per byte, bits 0 to 5 shifted in at the bottom, the polynomial
// 0x04C11DB7 XORed in when a set bit leaves the top.
uint32_t hash_of(const std::string &name) {
    uint32_t h = 0;
    for (unsigned char c : name)
        for (int i = 0; i < 6; ++i) {
            bool top = h >> 31;
            h = h << 1 | ((c >> i) & 1u);
            if (top) h ^= 0x04C11DB7u;
        }
    return h;
}

// Key f of a track from its description: the elementary rotation about the axis, in double.
TestMat key_of(const SampleTrack &t, uint32_t f) {
    double a = static_cast<double>(t.step) * f, c = std::cos(a), s = std::sin(a);
    TestMat m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (t.axis == SAMPLE_AXIS_X) m = {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
    if (t.axis == SAMPLE_AXIS_Y) m = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
    if (t.axis == SAMPLE_AXIS_Z) m = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int k = 0; k < 3; ++k) m[12 + k] = static_cast<double>(t.move[k]) * f;
    return m;
}

void expect_near(const Mat4 &got, const TestMat &want, const std::string &what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got.m[i / 4][i % 4], want[i], 1e-5) << what << " " << i;
}

std::string name_part(const std::string &file) {
    return file.substr(0, file.find('.'));
}

std::string g_folder; // holds bin/ with the 3D files

class Sample3D : public ::testing::Test {
  protected:
    char old_cwd[PATH_MAX] = {};

    static void SetUpTestSuite() {
        g_folder = test_temp_folder("sample3d");
        ASSERT_FALSE(g_folder.empty());
        ASSERT_EQ(mkdir((g_folder + "/bin").c_str(), 0755), 0);
        std::string error;
        ASSERT_TRUE(datagen_write_3d(g_folder + "/bin/", &error)) << error;
    }

    void SetUp() override {
        ASSERT_TRUE(test_render_device("sample3d test", 64, 64));
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        ASSERT_EQ(chdir(g_folder.c_str()), 0); // the default data folders are bin/ here
        ResourcePoolSizes s = *res_default_sizes();
        for (ResourcePoolSize *p :
             {&s.hierarchies, &s.motions, &s.collmeshes, &s.shape_sets, &s.camera_tracks})
            *p = ResourcePoolSize{16, 1024, 1 << 16};
        s.models = 16;
        s.model_subsets = s.model_bones = 64;
        s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
        res_init(&s);
        loader_init();
    }
    void TearDown() override {
        loader_shutdown();
        res_init(nullptr);
        EXPECT_EQ(chdir(old_cwd), 0);
    }

    static void load_all() {
        for (const SampleFile &f : datagen_3d_files())
            ASSERT_TRUE(loader_enqueue(f.group.c_str(), 0));
        int guard = 0;
        while (loader_step() == 1 && ++guard < 10000) {
        }
        ASSERT_LT(guard, 10000);
    }
};

} // namespace

TEST_F(Sample3D, EveryRecordMatchesTheDescription) {
    load_all();
    for (const SampleFile &f : datagen_3d_files()) {
        const char *g = f.group.c_str();
        ASSERT_NE(res_find_group(g), 0u) << g;
        for (const SampleTexture &t : f.textures)
            EXPECT_NE(res_find_texture(g, name_part(t.file).c_str()), 0u) << t.file;
        for (const SampleModel &m : f.models)
            EXPECT_NE(res_find_model(g, m.name.c_str()), 0u) << g << "/" << m.name;

        for (const SampleHierarchy &h : f.hierarchies) {
            const std::string &root = h.frames[0].name;
            ResourceHandle hh = res_find_hierarchy(g, root.c_str());
            ASSERT_NE(hh, 0u) << root;
            EXPECT_EQ(res_hierarchy_record(hh)->named_count, h.frames.size()) << root;
            // Names in list order with their hashes, each under its parent.
            FrameWalk w;
            FrameItem it;
            ASSERT_TRUE(res_frames_begin(&w, hh));
            size_t n = 0;
            while (res_frames_next(&w, &it)) {
                if (it.tag != RES_FRAME_NAME) continue;
                ASSERT_LT(n, h.frames.size());
                EXPECT_STREQ(it.name, h.frames[n].name.c_str());
                EXPECT_EQ(it.hash, hash_of(h.frames[n].name)) << it.name;
                EXPECT_EQ(it.parent, h.frames[n].parent) << it.name;
                EXPECT_EQ(it.depth, depth_of(h, static_cast<int>(n))) << it.name;
                ++n;
            }
            EXPECT_EQ(n, h.frames.size());
            for (size_t i = 0; i < h.frames.size(); ++i) {
                const std::string &name = h.frames[i].name;
                Mat4 m;
                ASSERT_TRUE(res_find_frame_matrix(hh, name.c_str(), &m)) << name;
                EXPECT_EQ(std::memcmp(&m, h.frames[i].rest.data(), 64), 0) << name;
                ASSERT_TRUE(res_frame_world_matrix(hh, name.c_str(), &m)) << name;
                expect_near(m, world_of(h, static_cast<int>(i)), name);
                for (int limit : {0, 1, 2}) {
                    std::vector<std::string> want = descendants(h, static_cast<int>(i), limit);
                    ASSERT_EQ(res_frame_descendant_count(hh, name.c_str(), limit),
                              static_cast<int32_t>(want.size()))
                        << name << " limit " << limit;
                    for (size_t k = 0; k < want.size(); ++k)
                        EXPECT_STREQ(res_frame_descendant_name(hh, name.c_str(),
                                                               static_cast<int32_t>(k), limit),
                                     want[k].c_str());
                }
            }
            EXPECT_EQ(res_matrix_depth(), 0);
        }

        for (const SampleMotion &sm : f.motions) {
            ResourceHandle m = res_find_motion(g, sm.name.c_str());
            ASSERT_NE(m, 0u) << sm.name;
            EXPECT_EQ(res_motion_length(m), sm.frames);
            ASSERT_EQ(res_motion_track_count(m), static_cast<int32_t>(sm.tracks.size()));
            if (!sm.untracked.empty())
                EXPECT_EQ(res_motion_track_index(m, sm.untracked.c_str()), -1) << sm.name;
            for (size_t i = 0; i < sm.tracks.size(); ++i) {
                const SampleTrack &t = sm.tracks[i];
                EXPECT_STREQ(res_motion_track_name(m, static_cast<int32_t>(i)), t.frame.c_str());
                EXPECT_EQ(res_motion_track_value(m, t.frame.c_str()), sm.frames);
                const Mat4 *keys = res_motion_track_keys(m, t.frame.c_str());
                ASSERT_NE(keys, nullptr);
                for (uint32_t k = 0; k < sm.frames; ++k)
                    expect_near(keys[k], key_of(t, k), sm.name + "/" + t.frame);
            }
        }

        for (const SampleCollMesh &c : f.collmeshes) {
            ResourceHandle h = res_find_collmesh(g, c.name.c_str());
            ASSERT_NE(h, 0u) << c.name;
            ASSERT_EQ(res_collmesh_triangle_count(h), static_cast<int32_t>(c.triangles.size()));
            // Every triangle comes back once, found by its face word.
            for (int32_t i = 0; i < res_collmesh_triangle_count(h); ++i) {
                CollMeshTriangleInfo got;
                ASSERT_TRUE(res_collmesh_triangle(h, i, &got));
                int matches = 0;
                for (const PackCollTriangle &t : c.triangles) {
                    if (t.face != got.face) continue;
                    ++matches;
                    const float *want[3] = {t.a, t.b, t.c};
                    for (int k = 0; k < 3; ++k) {
                        EXPECT_EQ(got.corners[k].x, want[k][0]) << c.name << " " << t.face;
                        EXPECT_EQ(got.corners[k].y, want[k][1]) << c.name << " " << t.face;
                        EXPECT_EQ(got.corners[k].z, want[k][2]) << c.name << " " << t.face;
                    }
                }
                EXPECT_EQ(matches, 1) << c.name << " face " << got.face;
            }
        }

        for (const SampleShapeSet &s : f.shape_sets) {
            ResourceHandle h = res_find_shape_set(g, s.name.c_str());
            ASSERT_NE(h, 0u) << s.name;
            EXPECT_FLOAT_EQ(res_shapeset_record(h)->radius, s.radius);
        }

        for (const PackCamera &c : f.cameras) {
            ResourceHandle h = res_find_camera_track(g, c.name.c_str());
            ASSERT_NE(h, 0u) << c.name;
            const CameraTrackRecord *r = res_camera_track_record(h);
            EXPECT_EQ(r->word, c.word);
            EXPECT_EQ(r->values[0], c.values[0]);
            EXPECT_EQ(r->values[1], c.values[1]);
            ASSERT_EQ(r->key_count, c.keys.size());
            for (uint32_t k = 0; k < r->key_count; ++k) {
                float key[4];
                ASSERT_TRUE(res_camera_track_key(h, k, key));
                EXPECT_EQ(std::memcmp(key, c.keys[k].data(), 16), 0) << c.name << " " << k;
            }
        }
    }

    // What the description states in words: the shape-set radius, the wall facing -x, and
    // the normal-mapped box's slot 1 linked to the normal texture of the companion file.
    EXPECT_FLOAT_EQ(res_shapeset_record(res_find_shape_set("mdl", "balls"))->radius, 5.5f);
    ResourceHandle wall = res_find_collmesh("s1", "stage_wall");
    for (int32_t i = 0; i < res_collmesh_triangle_count(wall); ++i) {
        CollMeshTriangleInfo t;
        ASSERT_TRUE(res_collmesh_triangle(wall, i, &t));
        for (int k = 0; k < 3; ++k) EXPECT_EQ(t.corners[k].x, 3.0f);
        EXPECT_LT(t.normal.x, -0.99f);
    }
    ResourceHandle nbox = res_find_model("mdl", "nbox");
    ASSERT_NE(nbox, 0u);
    EXPECT_EQ(res_model_flags(nbox) & 1u, 1u);
    const ModelData *d = res_model_record(nbox)->data;
    ASSERT_NE(d, nullptr);
    ASSERT_GE(d->materials[0].slot_count, 2u);
    EXPECT_EQ(d->materials[0].slot_textures[0], res_find_texture("mdl", "nbox"));
    EXPECT_EQ(d->materials[0].slot_textures[1], res_find_texture("mdl_NRM", "nbox_normal"));
    EXPECT_NE(d->materials[0].slot_textures[1], 0u);
}

TEST_F(Sample3D, LoadingAndReleasingEveryFileAHundredTimesGivesEverythingBack) {
    ResourcePools *p = res_pools();
    auto cursors = [p] {
        std::vector<const uint8_t *> c = {p->groups.names.cursor, p->textures.names.cursor,
                                          p->models.names.cursor, p->models.material_names.cursor,
                                          p->models.bone_names.cursor};
        for (auto *pool :
             {&p->hierarchies.names, &p->hierarchies.data, &p->motions.names, &p->motions.data,
              &p->collmeshes.names, &p->collmeshes.data, &p->shape_sets.names, &p->shape_sets.data,
              &p->camera_tracks.names, &p->camera_tracks.data})
            c.push_back(pool->cursor);
        return c;
    };
    ResourceMark start;
    res_mark(&start);
    const std::vector<const uint8_t *> at_start = cursors();
    const uint32_t textures = res_texture_memory(), models = res_model_memory();
    int32_t described = 0;
    for (const SampleFile &f : datagen_3d_files()) described += (int32_t)f.models.size();
    ASSERT_EQ(described, 10);
    for (int run = 0; run < 100; ++run) {
        ResourceMark mark;
        res_mark(&mark);
        load_all();
        ASSERT_EQ(res_hierarchy_count(), 3) << run;
        ASSERT_EQ(res_model_count(), described) << run;
        res_release_to_mark(&mark);
        ResourceMark now;
        res_mark(&now);
        for (int i = 0; i < RES_COUNTER_COUNT; ++i)
            ASSERT_EQ(now.counts[i], start.counts[i]) << "counter " << i << " run " << run;
        ASSERT_EQ(cursors(), at_start) << run;
        ASSERT_EQ(res_texture_memory(), textures) << run;
        ASSERT_EQ(res_model_memory(), models) << run;
    }
}

TEST(Sample3DFiles, ASecondRunWritesTheSameBytes) {
    std::string a = test_temp_folder("s3a"), b = test_temp_folder("s3b"), error;
    ASSERT_TRUE(datagen_write_3d(a + "/", &error)) << error;
    ASSERT_TRUE(datagen_write_3d(b + "/", &error)) << error;
    for (const SampleFile &f : datagen_3d_files()) {
        std::string x = test_read_file(a + "/" + f.group + ".bin");
        EXPECT_FALSE(x.empty()) << f.group;
        EXPECT_EQ(x, test_read_file(b + "/" + f.group + ".bin")) << f.group;
    }
}
