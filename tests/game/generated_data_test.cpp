// The game on the generated sample data set of the build's run folder: every group and crop the
// game asks for is there, and a whole chase of entry 0 plays through to the picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/input.h"
#include "game/actors.h"
#include "game/asset_groups.h"
#include "game/game_scene.h"
#include "game_test_env.h"
#include "platform/sys/sys_rand.h"
#include "resource/loader.h"
#include "resource/res_pools.h"
#include "scene/object_manager.h"

namespace fs = std::filesystem;

namespace {

// Works in the build's run folder for one test, then goes back to the test data.
class GeneratedData : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(game_test_engine());
#ifdef GAME_RUN_DIR
        if (!fs::exists(fs::path(GAME_RUN_DIR) / "bin" / "tex.lst"))
            GTEST_SKIP() << "no generated data in " << GAME_RUN_DIR;
        // A save there would change the rules the chase below relies on; it is left alone.
        if (fs::exists(fs::path(GAME_RUN_DIR) / "sav.bin"))
            GTEST_SKIP() << "a save file in " << GAME_RUN_DIR;
        fs::current_path(GAME_RUN_DIR);
        loader_init();
        entered = true;
#else
        GTEST_SKIP() << "no run folder";
#endif
    }
    void TearDown() override {
        if (!entered) return;
        game_scene_exit();
        fs::current_path(game_test_run_dir());
        loader_init();
    }
    bool entered = false;
};

} // namespace

TEST_F(GeneratedData, HoldsEveryCropTheGameDraws) {
    obj_reset_all();
    game_scene_init();
    const char *groups[] = {"chr00", "chr09", "cgchr00p1", "cgchr09p1"};
    game_load_texture_groups(groups, 4);
    while (loader_step() != 0) {
    }
    const char *needed[][2] = {
        {"t", "t"},
        {"t", "s1"},
        {"t", "s2"},
        {"bg", "bg01"},
        {"bg", "hardle"},
        {"bg", "nodata"},
        {"bg", "wall01t"},
        {"bg", "wall01b"},
        {"bg", "shadow"},
        {"face", "chr00"},
        {"face", "chr09"},
        {"faceg", "chr05"},
        {"moji", "sel"},
        {"moji", "if"},
        {"moji", "metor"},
        {"moji", "n3"},
        {"moji", "n2"},
        {"moji", "n1"},
        {"moji", "ng"},
        {"moji", "go"},
        {"moji", "moji_big"},
        {"moji", "moji_cry1"},
        {"moji", "moji_cry7"},
        {"player", "cm"},
        {"player", "run01"},
        {"player", "run02"},
        {"player", "wait01"},
        {"player", "ppose04"},
        {"player", "ppose11"},
        {"player", "cam01"},
        {"player", "cam02"},
        {"player", "camfla"},
        {"chr00", "run01"},
        {"chr00", "guard02"},
        {"chr00", "back04"},
        {"chr00", "normal04"},
        {"chr00", "pose14"},
        {"chr09", "pose21"},
        {"cgchr00p1", "cgchr00p1"},
        {"cgchr09p1", "cgchr09p1"},
    };
    for (const auto &n : needed) EXPECT_NE(res_find_crop(n[0], n[1]), 0u) << n[0] << "/" << n[1];
    EXPECT_NE(res_find_group("face_NRM"), 0u); // the companion group came in with "face"
}

TEST_F(GeneratedData, WholeChaseOfEntryZero) {
    sys_srand(1);
    obj_reset_all();
    game_scene_init();
    GameSceneRecord &g = *game_scene_record();
    game_test_hold({}, 2);
    game_test_hold({'Z'}, 1);
    game_test_hold({}, 1);
    ASSERT_EQ(g.phase, GAME_PHASE_SELECT);
    game_test_press({'Z'});
    game_test_hold({}, 241);
    ASSERT_EQ(g.phase, GAME_PHASE_PLAY);
    int frames = 0;
    while (!board_is_stopped() && g.time_left > 0 && frames < 6000) {
        game_test_chase_keys();
        game_test_frame();
        ++frames;
    }
    ASSERT_TRUE(board_is_stopped()) << "time left " << g.time_left;
    for (int i = 0; i < 40 && board_data()->state != BOARD_FINISH; ++i) game_test_press({'Z'});
    ASSERT_EQ(board_data()->state, BOARD_FINISH);
    for (int i = 0; i < 700 && g.phase == GAME_PHASE_PLAY; ++i) game_test_hold({}, 1);
    game_test_hold({}, 1);
    ASSERT_EQ(g.phase, GAME_PHASE_PICTURE);
    game_test_hold({'X', VK_RIGHT}, 5);
    game_test_hold({VK_DOWN}, 5);
    EXPECT_FLOAT_EQ(g.pan_x, -20.0f);
    EXPECT_LT(g.picture_zoom, 1.0f);
    game_test_press({'Z'});
    game_test_hold({}, 1);
    EXPECT_EQ(g.phase, GAME_PHASE_SELECT);
}
