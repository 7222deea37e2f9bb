// Helpers of the game scene and the save file.
#include <gtest/gtest.h>

#include "game/asset_groups.h"
#include "game/game_scene.h"
#include "game/game_util.h"
#include "game_test_env.h"
#include "platform/sys/sys_rand.h"
#include "resource/loader.h"

#include <cstdio>

TEST(GameUtil, WrapAndClamp) {
    EXPECT_EQ(game_wrap_int(10, 0, 9), 0);
    EXPECT_EQ(game_wrap_int(12, 0, 9), 2);
    EXPECT_EQ(game_wrap_int(-1, 0, 9), 9);
    EXPECT_EQ(game_wrap_int(-25, 0, 9), 5);
    EXPECT_EQ(game_wrap_int(7, 3, 3), 3);
    EXPECT_EQ(game_clampf(5.0f, 0.3f, 3.0f), 3.0f);
    EXPECT_EQ(game_clampf(0.1f, 0.3f, 3.0f), 0.3f);
}

TEST(GameUtil, RandomNumbersStayInTheirRange) {
    sys_srand(1);
    EXPECT_EQ(game_rand_int(1, 7), 41 % 7 + 1); // the first draw of the generator is 41
    for (int i = 0; i < 200; ++i) {
        const int32_t n = game_rand_int(-2, 2);
        EXPECT_TRUE(n >= -2 && n <= 2) << n;
        const float f = game_rand_float(64.0f, 128.0f);
        EXPECT_TRUE(f >= 64.0f && f < 128.0f) << f;
    }
    EXPECT_EQ(game_rand_int(5, 4), 5); // an empty range gives its low end
}

TEST(GameUtil, ColourLerpWorksPerChannelAndClampsT) {
    EXPECT_EQ(game_colour_lerp(0xFF8080FFu, 0xFF0000FFu, 0.0f), 0xFF8080FFu);
    EXPECT_EQ(game_colour_lerp(0xFF8080FFu, 0xFF0000FFu, 1.0f), 0xFF0000FFu);
    EXPECT_EQ(game_colour_lerp(0xFF8080FFu, 0xFF0000FFu, 7.0f), 0xFF0000FFu);
    EXPECT_EQ(game_colour_lerp(0x00000000u, 0xFFFFFFFFu, -1.0f), 0x00000000u);
    // Half-way between red and green: each channel 127.5 truncates to 127.
    EXPECT_EQ(game_colour_lerp(0xFFFF0000u, 0xFF00FF00u, 0.5f), 0xFF7F7F00u);
    EXPECT_EQ(game_pack_colour(2.0f, -1.0f, 0.5f, 1.0f), 0xFF007FFFu);
}

TEST(GameUtil, NameCutsAndCharacterRows) {
    char out[16];
    game_name_cut_first(out, sizeof out, "abc_def_g");
    EXPECT_STREQ(out, "abc");
    game_name_cut_last(out, sizeof out, "abc_def_g");
    EXPECT_STREQ(out, "abc_def");
    game_name_cut_last(out, sizeof out, "plain");
    EXPECT_STREQ(out, "plain");
    game_name_cut_first(out, 4, "abcdefgh_x");
    EXPECT_STREQ(out, "abc");

    EXPECT_EQ(game_character_count(), 2);
    ASSERT_NE(game_character_by_name("T"), nullptr);
    EXPECT_STREQ(game_character_by_name("T")->motion_b, "Tdy");
    EXPECT_EQ(game_character_by_name("t"), nullptr);
    EXPECT_EQ(game_character_by_index(2), nullptr);
    EXPECT_EQ(game_character_by_index(0)->colour, 0xFFFFFFFFu);
}

class SaveFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(game_test_engine());
        game_test_remove_save();
    }
    void TearDown() override { game_test_remove_save(); }
    static int32_t loaded_open() {
        *game_scene_record() = GameSceneRecord{};
        game_load_save();
        return game_get_open_count();
    }
};

TEST_F(SaveFile, MissingShortOrCorruptLeavesOnlyEntryZeroOpen) {
    EXPECT_EQ(loaded_open(), 0);
    game_test_write_save(5, true, 23);
    EXPECT_EQ(loaded_open(), 0);
    game_test_write_save(5, false);
    EXPECT_EQ(loaded_open(), 0);
    EXPECT_EQ(game_scene_record()->saved_crc, 0u);
}

TEST_F(SaveFile, CountBeyondTheTableOpensEveryEntryAndKeepsTheFile) {
    for (uint32_t open : {11u, 0x80000000u, 0xFFFFFFFFu}) {
        game_test_write_save(open);
        EXPECT_EQ(loaded_open(), 10) << open;
        EXPECT_EQ(game_scene_record()->saved_values[1], 7u) << open;
    }
}

TEST_F(SaveFile, GoodFileGivesAllFiveValues) {
    game_test_write_save(10);
    EXPECT_EQ(loaded_open(), 10);
    const GameSceneRecord *g = game_scene_record();
    EXPECT_EQ(g->saved_values[1], 7u);
    EXPECT_EQ(g->saved_values[4], 10u);
    EXPECT_NE(g->saved_crc, 0u);
}

TEST(AssetGroups, CompanionNormalGroupIsQueuedFirstWhenItsFileExists) {
    ASSERT_TRUE(game_test_engine());
    FILE *f = std::fopen("bin/pic_NRM.bin", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    loader_reset();
    EXPECT_TRUE(game_load_texture_group("pic", 3));
    EXPECT_TRUE(game_load_texture_group("other", 0));
    const DataLoader *L = loader_get();
    ASSERT_EQ(L->tail - L->head, 3u);
    EXPECT_STREQ(L->requests[(L->head + 0) & 127].name, "pic_NRM");
    EXPECT_EQ(L->requests[(L->head + 0) & 127].value, 3u);
    EXPECT_STREQ(L->requests[(L->head + 1) & 127].name, "pic");
    EXPECT_STREQ(L->requests[(L->head + 2) & 127].name, "other");
    EXPECT_FALSE(game_load_texture_groups(nullptr, 2));
    loader_reset();
    std::remove("bin/pic_NRM.bin");
}
