#include "app/settings.h"
#include "platform/sys/sys_file.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <cstring>
#include <set>

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_free_all();
        dir = test_temp_folder("settings");
        base = dir + "/OPS";
    }
    void TearDown() override { settings_free_all(); }
    std::string file(const char *suffix) { return base + suffix; }
    std::string dir, base;
};

const int32_t k_life = 9, k_vol = 16;
const float k_gain = 0.5f;
const SettingsKeyRow k_rows[] = {
    {"life", SETTINGS_INT, &k_life, 1},
    {"vol", SETTINGS_INT, &k_vol, 0},
    {"gain", SETTINGS_FLOAT, &k_gain, 1},
    {"name", SETTINGS_STRING, "deck", 0},
};

uint32_t crc_of_file(const std::string &path) {
    std::string s = test_read_file(path);
    return app_crc32((const uint8_t *)s.data(), (uint32_t)s.size());
}

uint32_t stored_crc(const std::string &path) {
    std::string s = test_read_file(path);
    if (s.size() != 4) return 0;
    const uint8_t *b = (const uint8_t *)s.data();
    return b[0] | b[1] << 8 | b[2] << 16 | (uint32_t)b[3] << 24;
}

} // namespace

TEST(Crc, KnownValues) {
    EXPECT_EQ(app_crc32((const uint8_t *)"abc", 3), 0x352441C2u);
    EXPECT_EQ(app_crc32((const uint8_t *)"123456789", 9), 0xCBF43926u);
    EXPECT_EQ(app_crc32(nullptr, 0), 0u);
    EXPECT_EQ(app_crc8((const uint8_t *)"abc", 3), 0xFFFFFF48u);
    EXPECT_EQ(app_crc8((const uint8_t *)"", 0), 0u);
}

TEST_F(SettingsTest, ValuesDefaultsAndTypes) {
    settings_set_int_default("only_default", 5);
    int32_t v = 77;
    EXPECT_FALSE(settings_get_int("only_default", &v));
    EXPECT_EQ(settings_reset_int("only_default"), 0);
    EXPECT_EQ(settings_get_int_default("only_default"), 5);
    settings_set_int("only_default", 8);
    EXPECT_EQ(settings_get_int_or("only_default", 0), 8);
    EXPECT_EQ(settings_reset_int("only_default"), 5);
    EXPECT_EQ(settings_get_int_or("only_default", 0), 5);
    EXPECT_EQ(settings_get_int_or("nothing", -4), -4);

    settings_set_string("s", "a");
    settings_set_string("s", "a much longer text"); // the block grows
    EXPECT_STREQ(settings_get_string("s"), "a much longer text");
    float f;
    EXPECT_FALSE(settings_get_float("s", &f));
    // Turning a short string key into a number must not write past its 2-byte block.
    settings_set_string("t", "a");
    settings_set_int("t", 0x12345678);
    EXPECT_EQ(settings_get_int_or("t", 0), 0x12345678);
    EXPECT_EQ(settings_get_string("t"), nullptr);

    // Insertion order is kept.
    settings_free_all();
    settings_add("one");
    settings_add("two");
    ASSERT_NE(settings_find("one"), nullptr);
    EXPECT_EQ(settings_find("one")->next, settings_find("two"));
}

TEST_F(SettingsTest, TwoGenerationsWithCorruptedFile) {
    settings_load_files(base.c_str(), k_rows, 4);
    // Neither generation existed: the defaults are saved to both.
    EXPECT_EQ(test_read_file(file("0.CFG")),
              "life\t0\t9\nvol\t0\t16\ngain\t1\t0.500000\nname\t2\tdeck\n");
    EXPECT_EQ(test_read_file(file("0.CFG")), test_read_file(file("1.CFG")));
    EXPECT_EQ(stored_crc(file("0.CRC")), crc_of_file(file("0.CFG")));
    EXPECT_EQ(settings_file_size(file("0.CFG").c_str()), 46);
    EXPECT_EQ(settings_file_size(file("9.CFG").c_str()), 0);

    settings_set_int("life", 3);
    settings_set_float("gain", 0.1234567f);
    settings_save_files();
    settings_free_all();

    // Damage generation 0 only: the load takes generation 1.
    std::string g0 = test_read_file(file("0.CFG"));
    g0[0] = 'x';
    ASSERT_TRUE(test_write_file(file("0.CFG"), g0));
    settings_load_files(base.c_str(), k_rows, 4);
    EXPECT_EQ(settings_get_int_or("life", 0), 3);
    EXPECT_EQ(settings_get_int_default("life"), 9);
    float gain = 0;
    ASSERT_TRUE(settings_get_float("gain", &gain));
    EXPECT_FLOAT_EQ(gain, 0.123457f); // six decimals
    EXPECT_EQ(settings_get_int_or("xife", -1), -1);
    // And the load rewrote generation 0 good again.
    EXPECT_EQ(test_read_file(file("0.CFG")), test_read_file(file("1.CFG")));
    EXPECT_EQ(stored_crc(file("0.CRC")), crc_of_file(file("0.CFG")));
    settings_free_all();

    // Both damaged (generation 1 by a missing CRC file): defaults only.
    ASSERT_TRUE(test_write_file(file("0.CFG"), "life\t0\t1\n"));
    remove(file("1.CRC").c_str());
    settings_load_files(base.c_str(), k_rows, 4);
    EXPECT_EQ(settings_get_int_or("life", 0), 9);
}

// File steps that fail at the n-th step from the start of a save, counting every step.
static const SettingsFileOps *g_real_ops;
static int g_step, g_fail_at;
static bool step_fails() {
    return g_step++ == g_fail_at;
}
static const SettingsFileOps k_failing_ops = {
    [](const char *path) { return step_fails() ? nullptr : g_real_ops->open(path); },
    [](FILE *f, const void *b, size_t n) { return !step_fails() && g_real_ops->write(f, b, n); },
    [](FILE *f) { return !step_fails() && g_real_ops->flush(f); },
    [](FILE *f) { return g_real_ops->close(f) && !step_fails(); },
    [](const char *from, const char *to) { return !step_fails() && g_real_ops->rename(from, to); },
};

TEST_F(SettingsTest, SaveFailingAtAnyStepLeavesTheLastGoodValues) {
    settings_load_files(base.c_str(), k_rows, 4);
    settings_set_int("life", 3);
    ASSERT_TRUE(settings_save_files());
    int last_good = 3;
    // Each file takes five steps (open, write, flush, close, rename) and a generation two files
    // (settings, checksum): a failure in the first ten leaves generation 0 as it was, a later
    // one finds it already replaced, whole, by the new values.
    int fail_at = 0;
    for (;; ++fail_at) {
        const int value = 100 + fail_at;
        settings_set_int("life", value);
        g_step = 0;
        g_fail_at = fail_at;
        g_real_ops = settings_set_file_ops(&k_failing_ops);
        const bool saved = settings_save_files();
        settings_set_file_ops(nullptr);
        if (g_step <= fail_at) { // no step failed: the whole save
            EXPECT_TRUE(saved);
            break;
        }
        EXPECT_FALSE(saved) << "failing step " << fail_at;
        // The save stops there: at most the failed file's close follows.
        EXPECT_LE(g_step, fail_at + 2) << "failing step " << fail_at;
        for (const char *leftover : {"0.CFG.tmp", "0.CRC.tmp", "1.CFG.tmp", "1.CRC.tmp"})
            EXPECT_FALSE(sys_file_exists(file(leftover).c_str())) << fail_at << " " << leftover;
        settings_free_all();
        settings_load_files(base.c_str(), k_rows, 4);
        const int expected = fail_at < 10 ? last_good : value;
        EXPECT_EQ(settings_get_int_or("life", 0), expected) << "failing step " << fail_at;
        EXPECT_STREQ(settings_get_string("name"), "deck");
        last_good = expected; // the load saved what it found to both generations
    }
    EXPECT_EQ(fail_at, 20);
}

TEST_F(SettingsTest, StringsWithSpacesEmptyOrLongSurviveASave) {
    const std::string long_text(400, 'w');
    settings_load_files(base.c_str(), nullptr, 0);
    settings_set_string("path", "C:\\my games\\ ");
    settings_set_string("empty", "");
    settings_set_string("long", long_text.c_str());
    settings_set_int("after", 5);
    settings_save_files();
    settings_free_all();
    settings_load_files(base.c_str(), nullptr, 0);
    EXPECT_STREQ(settings_get_string("path"), "C:\\my games\\ ");
    EXPECT_STREQ(settings_get_string("empty"), "");
    EXPECT_EQ(settings_get_string("long"), long_text);
    EXPECT_EQ(settings_get_int_or("after", 0), 5);
}

TEST_F(SettingsTest, HostileFileContents) {
    // A matching CRC over garbage: an over-long key and bad numbers end the reading safely.
    std::string text = "a\t0\t1\n" + std::string(4000, 'b') + "\t0\t2\nc\t0\t3\n";
    ASSERT_TRUE(test_write_file(file("0.CFG"), text));
    uint32_t crc = app_crc32((const uint8_t *)text.data(), (uint32_t)text.size());
    std::string crc_bytes((const char *)&crc, 4);
    ASSERT_TRUE(test_write_file(file("0.CRC"), crc_bytes));
    settings_load_files(base.c_str(), nullptr, 0);
    EXPECT_EQ(settings_get_int_or("a", 0), 1);
    EXPECT_EQ(settings_get_int_or("c", 0), 0);
    settings_free_all();

    text = "a\tzz\t1\nb\t0\tq\n";
    ASSERT_TRUE(test_write_file(file("0.CFG"), text));
    crc = app_crc32((const uint8_t *)text.data(), (uint32_t)text.size());
    ASSERT_TRUE(test_write_file(file("0.CRC"), std::string((const char *)&crc, 4)));
    settings_load_files(base.c_str(), nullptr, 0);
    EXPECT_EQ(settings_find("b"), nullptr);
}

TEST_F(SettingsTest, ApplyRowsAndTheKeyTable) {
    settings_load_files(base.c_str(), k_rows, 4);
    settings_set_int("life", 1);
    settings_set_int("vol", 2);
    settings_apply_flagged_rows(k_rows, 4);
    EXPECT_EQ(settings_get_int_or("life", 0), 9); // flag 1: written back
    EXPECT_EQ(settings_get_int_or("vol", 0), 2);  // flag 0: left alone
    settings_apply_all_rows(k_rows, 4);
    EXPECT_EQ(settings_get_int_or("vol", 0), 16);

    const SettingsKeyRow *t = settings_get_region_table();
    ASSERT_EQ(settings_get_region_row_count(), 66);
    std::set<std::string> keys;
    for (int i = 0; i < 66; ++i) {
        ASSERT_NE(t[i].key, nullptr) << i;
        keys.insert(t[i].key);
    }
    EXPECT_EQ(keys.size(), 66u);
    settings_free_all();
    settings_load_files(base.c_str(), t, 66);
    EXPECT_EQ(settings_get_int_or("ioacmax", 0), 44000);
    EXPECT_EQ(settings_get_int_or("gosst", 0), 30);
    EXPECT_EQ(settings_get_int_or("bslf5", 0), 10);
    EXPECT_EQ(settings_get_int_or("golng", -1), 0);
    EXPECT_EQ(settings_get_int_or("coinstart", 0), 1);
    const SettingsKeyRow *alt = settings_get_alt_key_table();
    settings_apply_all_rows(alt, 66);
    EXPECT_EQ(settings_get_int_or("golng", -1), 1);
    EXPECT_EQ(settings_get_int_or("gospd", -1), 1);
    EXPECT_EQ(settings_get_int_or("coinstart", 0), 2);
}
