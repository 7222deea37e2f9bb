#include "app/app.h"
#include "app/app_hooks.h"
#include "app/scene_manager.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;
int g_frame;
uint32_t g_end_at_frame;

void log(const char *what) {
    g_log.push_back(std::to_string(g_frame) + ":" + what);
}

class SceneManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved[0] = app_scene_table()[0];
        saved[1] = app_scene_table()[1];
        saved[2] = app_scene_table()[2];
        g_log.clear();
        g_frame = 0;
        g_end_at_frame = 0;
        app_scene_table()[0] = {[] { log("init0"); },
                                [] {
                                    log("update0");
                                    return (uint32_t)(g_frame == (int)g_end_at_frame);
                                },
                                [] { log("exit0"); }};
        app_scene_table()[2] = {[] { log("init2"); }, [] { return 1u; }, nullptr};
        *app_hooks() = AppHooks();
    }
    void TearDown() override {
        for (int i = 0; i < 3; ++i) app_scene_table()[i] = saved[i];
        *app_hooks() = AppHooks();
    }
    void run_frames(int n) {
        for (int i = 0; i < n; ++i) {
            ++g_frame;
            app_update_scenes();
        }
    }
    SceneRow saved[3];
};

} // namespace

TEST_F(SceneManagerTest, InitInSecondFrameUpdateFromThird) {
    app_init_scene_manager();
    run_frames(4);
    std::vector<std::string> want = {"2:init0", "3:update0", "4:update0"};
    EXPECT_EQ(g_log, want);
    EXPECT_EQ(app_get_scene_manager_state()->phase, 3u);
    EXPECT_EQ(app_get_scene_manager_state()->scene_index, 0u);
}

TEST_F(SceneManagerTest, EndedSceneMovesToTheIdleRow) {
    g_end_at_frame = 4;
    app_init_scene_manager();
    run_frames(8);
    std::vector<std::string> want = {"2:init0", "3:update0", "4:update0", "4:exit0"};
    EXPECT_EQ(g_log, want); // row 1 is all null: idle for ever, row 2 never reached
    EXPECT_EQ(app_get_scene_manager_state()->scene_index, 1u);
    EXPECT_EQ(app_get_scene_manager_state()->phase, 3u);
}

TEST_F(SceneManagerTest, MarkIsTakenAndReleased) {
    static int marks, releases;
    marks = releases = 0;
    app_hooks()->scene_mark = [] { ++marks; };
    app_hooks()->scene_release_to_mark = [] { ++releases; };
    app_init_scene_manager();
    EXPECT_EQ(marks, 1);
    app_term_scene_manager();
    EXPECT_EQ(releases, 1);
}

TEST(FatalExit, StatusOneAndOneStderrLine) {
    app_set_fatal_word(0x1234);
    EXPECT_EQ(app_get_fatal_word(), 0x1234u);
    app_clear_fatal_state();
    EXPECT_EQ(app_get_fatal_word(), 0u);
    EXPECT_EXIT(app_fatal_exit(1, 0, 7, "st01.bin/00000002/00000003"), ::testing::ExitedWithCode(1),
                "fatal error: category 1, code 0, detail 7: st01.bin/00000002/00000003: a data "
                "file holds a damaged chunk\n");
    EXPECT_EXIT(app_fatal_exit(1, 0, 1, "st01"), ::testing::ExitedWithCode(1),
                "detail 1: st01: a data file is missing from the data folders\n");
}

TEST(FatalExit, SoundErrorLineNamesTheCauseAndTheFile) {
    app_hooks()->snd_get_error = [] { return 256u; };
    app_init_scene_manager();
    // No device: the line tells how to run without sound.
    EXPECT_EXIT(app_update_scenes(), ::testing::ExitedWithCode(1),
                "category 3, code 256, detail 0: no sound output device.*ALSOFT_DRIVERS=null");
    app_hooks()->snd_get_error = [] { return 258u; };
    app_hooks()->snd_get_error_file = [] { return "bin/zq3_pon000.wav"; };
    EXPECT_EXIT(app_update_scenes(), ::testing::ExitedWithCode(1),
                "code 258, detail 0: bin/zq3_pon000.wav: a sound file is missing or cannot be "
                "read\n");
    app_hooks()->snd_get_error = [] { return 0u; };
    app_update_scenes(); // no error: returns
    *app_hooks() = AppHooks();
}

TEST(Region, FirstLetterOnly) {
    EXPECT_EQ(app_region_from_string("USA"), 1u);
    EXPECT_EQ(app_region_from_string("us"), 0u);
    EXPECT_EQ(app_region_from_string("A"), 3u);
    EXPECT_EQ(app_region_from_string("Japan"), 2u);
    EXPECT_EQ(app_region_from_string("E"), 0u);
    EXPECT_EQ(app_region_from_string(nullptr), 0u);
    app_set_region(2);
    EXPECT_EQ(app_get_region(), 2u);
    app_set_region(0);
}
