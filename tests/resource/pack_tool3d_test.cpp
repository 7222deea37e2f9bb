// The packer tool writes models, hierarchies, motions and camera tracks from text lists; the
// loader reads them back; malformed lists are refused with a message.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "res_test_env.h"
#include "resource/loader.h"
#include "resource/res_frames.h"
#include "resource/res_motion.h"
#include "tests/support/test_files.h"

namespace {

int run_pack(const std::string &args) {
    std::string cmd = std::string(TAVOK_PACK_TOOL) + " " + args + " > tool3d.out 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(PackTool3D, ListsOfEveryKindLoadBack) {
    ASSERT_TRUE(res_test_device());
    std::string dir = test_temp_folder("pack3d");
    char old_cwd[PATH_MAX];
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_EQ(mkdir("bin", 0755), 0);

    res_test_write("quad.txt", "model quad_NRx  # a square facing -z\n"
                               "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvn 0 0 -1\n"
                               "vt 0 1\nvt 1 1\nvt 1 0\nvt 0 0\n"
                               "material - 0 1\n"
                               "f 0/0/0 2/2/0 1/1/0\nf 0/0/0 3/3/0 2/2/0\n");
    res_test_write("frames.txt", "root - 0 1 0\n"
                                 "arm root 1 0 0\n"
                                 "hand arm 0 1 0 0  -1 0 0 0  0 0 1 0  0.5 0 0 1\n");
    res_test_write("walk.txt", "motion walk 2\ntrack arm\nkey 0 0 0\nkey 0 0 1\n");
    res_test_write("cam.txt", "camera cam 30 1 0.5\nkey 0 2 -5 0\nkey 1 2 -4 0.25\n");
    ASSERT_EQ(run_pack("-o bin/kinds.bin --model quad.txt --hierarchy frames.txt --motion "
                       "walk.txt --camera cam.txt"),
              0)
        << test_read_file("tool3d.out");

    res_test_start_pools(true);
    loader_init();
    ASSERT_TRUE(loader_enqueue("kinds", 0));
    int guard = 0;
    while (loader_step() == 1 && ++guard < 100) {
    }
    EXPECT_NE(res_find_model("kinds", "quad"), 0u);
    EXPECT_EQ(res_model_flags(res_find_model("kinds", "quad")) & 1u, 1u);
    ResourceHandle h = res_find_hierarchy("kinds", "root");
    ASSERT_NE(h, 0u);
    Mat4 m;
    ASSERT_TRUE(res_frame_world_matrix(h, "hand", &m));
    // hand: turned a quarter about z, 0.5 along x from arm, which is 1 along x from root at y 1.
    EXPECT_FLOAT_EQ(m.m[0][1], 1.0f);
    EXPECT_FLOAT_EQ(m.m[1][0], -1.0f);
    EXPECT_FLOAT_EQ(m.m[2][2], 1.0f);
    EXPECT_FLOAT_EQ(m.m[3][0], 1.5f);
    EXPECT_FLOAT_EQ(m.m[3][1], 1.0f);
    ResourceHandle walk = res_find_motion("kinds", "walk");
    ASSERT_NE(walk, 0u);
    EXPECT_EQ(res_motion_length(walk), 2u);
    ASSERT_TRUE(res_motion_key(walk, 0, 1, &m));
    EXPECT_EQ(m.m[3][2], 1.0f);
    float key[4];
    ASSERT_TRUE(res_camera_track_key(res_find_camera_track("kinds", "cam"), 1, key));
    EXPECT_EQ(key[3], 0.25f);
    loader_shutdown();
    res_test_start_pools();

    // Malformed lists: a message naming the file, and a failing status.
    const char *bad[][2] = {
        {"--hierarchy", "arm nobody 1 0 0\n"},
        {"--hierarchy", "root - 1 0\n"},
        {"--motion", "track arm\nkey 0 0 0\n"},
        {"--motion", "motion walk 2\nkey 0 0 0\n"},
        {"--camera", "camera cam x 1 1\n"},
        {"--model", "model m\nv 0 0 0\nf 0 1 2\n"},
        {"--model", "model m\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 0//0 1 2//0\n"},
        {"--model", "v 0 0 0\n"},
    };
    for (const auto &b : bad) {
        res_test_write("bad.txt", b[1]);
        EXPECT_NE(run_pack(std::string("-o bin/bad.bin ") + b[0] + " bad.txt"), 0) << b[1];
        EXPECT_NE(test_read_file("tool3d.out").find("bad.txt"), std::string::npos) << b[1];
    }
    EXPECT_EQ(chdir(old_cwd), 0);
}
