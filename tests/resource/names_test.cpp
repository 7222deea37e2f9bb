// Name hash and name helpers.
#include <gtest/gtest.h>

#include <string>

#include <cstring>

#include "resource/names.h"

TEST(NameHelpers, NameAndFolderOfPath) {
    char out[64];
    res_name_of_path(out, sizeof out, "a\\b/c\\pic.tex.png");
    EXPECT_STREQ(out, "pic");
    res_name_of_path(out, sizeof out, "bare");
    EXPECT_STREQ(out, "bare");
    res_name_of_path(out, sizeof out, nullptr);
    EXPECT_STREQ(out, "");
    res_folder_of_path(out, sizeof out, "a\\b/c.png");
    EXPECT_STREQ(out, "a\\b");
    res_folder_of_path(out, sizeof out, "c.png");
    EXPECT_STREQ(out, "");
    // Bounded: the output is cut, never overrun.
    char small[4];
    res_name_of_path(small, sizeof small, "folder/longname.png");
    EXPECT_STREQ(small, "lon");
}

TEST(NameHelpers, SuffixFlags) {
    char out[64];
    EXPECT_EQ(res_name_suffix_flags(out, sizeof out, "body_NRx_SPx"), 3u);
    EXPECT_STREQ(out, "body");
    EXPECT_EQ(res_name_suffix_flags(out, sizeof out, "body_SPx_arm"), 2u);
    EXPECT_STREQ(out, "body_arm");
    // A part that only begins with "NRx" is kept and sets nothing.
    EXPECT_EQ(res_name_suffix_flags(out, sizeof out, "body_NRxy"), 0u);
    EXPECT_STREQ(out, "body_NRxy");
    // In place: written only when a part was found.
    char name[32] = "arm_NRx";
    EXPECT_EQ(res_name_suffix_flags(name, sizeof name, name), 1u);
    EXPECT_STREQ(name, "arm");
    // A long name keeps its whole text.
    std::string long_name = std::string(300, 'n') + "_NRx_tail";
    EXPECT_EQ(res_name_suffix_flags(long_name.data(), long_name.size() + 1, long_name.data()), 1u);
    EXPECT_EQ(std::string(long_name.c_str()), std::string(300, 'n') + "_tail");
}

TEST(NameHelpers, PartsJoinsAndCompare) {
    EXPECT_TRUE(res_name_has_part("a_b_c", "b"));
    EXPECT_TRUE(res_name_has_part("a_b_c", "c"));
    EXPECT_FALSE(res_name_has_part("a_bc", "b"));
    char out[16];
    res_name_with_suffix(out, sizeof out, "head_old_x", "new");
    EXPECT_STREQ(out, "head_new");
    res_name_join(out, sizeof out, "mat", "normal");
    EXPECT_STREQ(out, "mat_normal");
    res_name_join(out, sizeof out, nullptr, "normal");
    EXPECT_STREQ(out, "");
    res_name_join(out, sizeof out, "averyveryverylong", "normal");
    EXPECT_EQ(std::strlen(out), sizeof out - 1);

    EXPECT_EQ(res_compare_nocase("Apple", "aPPLE"), 0);
    // The difference of the characters as given, not lower-cased.
    EXPECT_EQ(res_compare_nocase("aB", "aC"), 'B' - 'C');
    EXPECT_EQ(res_compare_nocase("ab", "a"), 'b');
    EXPECT_STREQ(res_lower_copy(out, sizeof out, "MiXeD"), "mixed");
    EXPECT_EQ(res_name_contains("wall_clp", "_clp"), static_cast<const char *>("wall_clp") + 4);
}

TEST(NameHelpers, ClipFlagSetsClampBothWays) {
    uint8_t flags = 0x01; // mipmapped, wrap
    res_name_clip_flag(&flags, "sky_clp");
    EXPECT_EQ(flags, 0x01 | (1 << 1) | (1 << 4));
    flags = 0x01;
    res_name_clip_flag(&flags, "sky");
    EXPECT_EQ(flags, 0x01);
}
