#include "instance_test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include "render/gfx_frame.h"
#include "resource/loader.h"
#include "tests/support/test_files.h"
#include "tests/support/test_render.h"
#include "tools/packer/pack_frames.h"

void inst_test_start(void) {
    static bool started;
    if (!started) {
        ASSERT_TRUE(test_render_start("instance test", 64, 64));
        std::string dir = test_temp_folder("instances");
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(chdir(dir.c_str()), 0); // the default data folders are bin/ here
        ASSERT_EQ(mkdir("bin", 0755), 0);
        std::string error;
        ASSERT_TRUE(datagen_write_3d("bin/", &error)) << error;
        started = true;
    }
    ResourcePoolSizes s = *res_default_sizes();
    for (ResourcePoolSize *p :
         {&s.hierarchies, &s.motions, &s.collmeshes, &s.shape_sets, &s.camera_tracks})
        *p = ResourcePoolSize{32, 4096, 1 << 18};
    s.models = 16;
    s.model_subsets = s.model_bones = 64;
    s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
    res_init(&s);
    loader_reset();
    gfx_reset_scene();
    for (const char *g : {"mdl", "mo", "T"}) ASSERT_TRUE(loader_enqueue(g, 0)) << g;
    int guard = 0;
    while (loader_step() == 1 && ++guard < 10000) {
    }
    ASSERT_LT(guard, 10000);
}

const SampleFile &inst_test_file(const std::string &group) {
    for (const SampleFile &f : datagen_3d_files())
        if (f.group == group) return f;
    ADD_FAILURE() << "no sample file " << group;
    return datagen_3d_files()[0];
}

const SampleHierarchy &inst_test_hierarchy(const std::string &group) {
    return inst_test_file(group).hierarchies.at(0);
}

const SampleMotion &inst_test_motion(const std::string &group, const std::string &name) {
    for (const SampleMotion &m : inst_test_file(group).motions)
        if (m.name == name) return m;
    ADD_FAILURE() << "no motion " << name;
    return inst_test_file(group).motions.at(0);
}

static PackFrame tree_of(const SampleHierarchy &h, int i) {
    PackFrame f{h.frames[i].name, h.frames[i].rest, {}};
    for (size_t k = 0; k < h.frames.size(); ++k)
        if (h.frames[k].parent == i) f.children.push_back(tree_of(h, static_cast<int>(k)));
    return f;
}

ResourceHandle inst_test_make_hierarchy(const SampleHierarchy &h) {
    std::vector<uint8_t> body = pack_hierarchy_body(tree_of(h, 0));
    return res_create_hierarchy("test", h.frames[0].name.c_str(), body.data(),
                                static_cast<uint32_t>(body.size()));
}

ResourceHandle inst_test_make_motion(const SampleMotion &s) {
    PackMotion m{s.name, s.frames, {}};
    for (const SampleTrack &t : s.tracks) {
        PackTrack p{t.frame, {}};
        for (uint32_t f = 0; f < s.frames; ++f) {
            TestMat k = inst_test_key(t, f);
            PackMatrix pm;
            for (int i = 0; i < 16; ++i) pm[i] = static_cast<float>(k[i]);
            p.keys.push_back(pm);
        }
        m.tracks.push_back(p);
    }
    std::vector<uint8_t> body = pack_motion_body(m);
    return res_create_motion("test", s.name.c_str(), body.data(),
                             static_cast<uint32_t>(body.size()));
}

TestMat inst_test_translation(double x, double y, double z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

TestMat inst_test_rotation(SampleAxis axis, double a) {
    const double c = std::cos(a), s = std::sin(a);
    if (axis == SAMPLE_AXIS_X) return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
    if (axis == SAMPLE_AXIS_Y) return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

TestMat inst_test_key(const SampleTrack &t, double f) {
    TestMat m = inst_test_rotation(t.axis, static_cast<double>(t.step) * f);
    for (int k = 0; k < 3; ++k) m[12 + k] = static_cast<double>(t.move[k]) * f;
    return m;
}

std::vector<TestMat> inst_test_poses(const SampleHierarchy &h, const SampleMotion *m, double f) {
    std::vector<TestMat> out;
    for (const SampleFrame &fr : h.frames) {
        TestMat local = test_mat_of(fr.rest.data());
        if (m)
            for (const SampleTrack &t : m->tracks)
                if (t.frame == fr.name) local = test_mat_product(inst_test_key(t, f), local);
        out.push_back(fr.parent >= 0 ? test_mat_product(local, out[fr.parent]) : local);
    }
    return out;
}

void inst_test_expect_near(const Mat4 &got, const TestMat &want, double tolerance,
                           const std::string &what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got.m[i / 4][i % 4], want[i], tolerance) << what << " element " << i;
}
