#include "app/config.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

namespace {

const std::string &config_dir() {
    static std::string dir = test_temp_folder("cfg");
    return dir;
}

void read_config(const std::string &text) {
    std::string path = config_dir() + "/TK01.CF";
    ASSERT_TRUE(test_write_file(path, text));
    cfg_read(path.c_str());
}

} // namespace

TEST(Config, CommentsCaseAndIntegers) {
    read_config("# start-up keys\n"
                "REGION J #comment REGION U\n"
                "CLIENTW 1024\n"
                "clientw 640\n"
                "NEG 12-3\n"
                "ODD 1x\n"
                "HASH #value\n"
                "\x1A junk-after-eof-byte? \n");
    EXPECT_STREQ(cfg_get_string("REGION"), "J"); // the rest of the line was a comment
    EXPECT_EQ(cfg_get_int_or("CLIENTW", 800), 1024);
    EXPECT_EQ(cfg_get_int_or("clientw", 0), 640); // keys are case-sensitive
    EXPECT_EQ(cfg_get_string("Clientw"), nullptr);
    EXPECT_EQ(cfg_get_int_or("NEG", 0), -123);
    EXPECT_EQ(cfg_get_int_or("ODD", 0), 82);
    EXPECT_STREQ(cfg_get_string("HASH"), "#value"); // '#' in the value position is a value
    int32_t v = 55;
    EXPECT_FALSE(cfg_get_int("MISSING", &v));
    EXPECT_EQ(v, 0);
    EXPECT_EQ(cfg_get_int_or("MISSING", 9), 9);
}

TEST(Config, KeyAtEndOfFileAndDuplicates) {
    read_config("A 1\nA 2\nLAST");
    EXPECT_EQ(cfg_get_int_or("A", 0), 1); // first row wins
    EXPECT_STREQ(cfg_get_string("LAST"), "LAST");
}

TEST(Config, SixtyFifthPairIsIgnored) {
    std::string text;
    for (int i = 0; i < 65; ++i) text += "K" + std::to_string(i) + " " + std::to_string(i) + "\n";
    read_config(text);
    EXPECT_EQ(cfg_get_int_or("K63", -1), 63);
    EXPECT_EQ(cfg_get_string("K64"), nullptr);
}

TEST(Config, OverLongTokensEndTheReading) {
    read_config("A 1\n" + std::string(126, 'k') + " ok\nB " + std::string(127, 'v') + "\nC 3\n");
    EXPECT_EQ(cfg_get_int_or("A", 0), 1);
    EXPECT_STREQ(cfg_get_string(std::string(126, 'k').c_str()), "ok");
    EXPECT_EQ(cfg_get_string("B"), nullptr); // the value was too long: reading stopped
    EXPECT_EQ(cfg_get_string("C"), nullptr);

    read_config("A 1\n" + std::string(127, 'k') + " x\nC 3\n");
    EXPECT_EQ(cfg_get_int_or("A", 0), 1);
    EXPECT_EQ(cfg_get_string("C"), nullptr);

    // Tokens far beyond every buffer, a comment among them: no write past them, reading ends.
    read_config("A 1\n#" + std::string(1000, 'c') + " more\nB 2\n" + std::string(3000, 'z') +
                " 1\nC 3\n");
    EXPECT_EQ(cfg_get_int_or("A", 0), 1);
    EXPECT_EQ(cfg_get_int_or("B", 0), 2);
    EXPECT_EQ(cfg_get_string("C"), nullptr);
    read_config("A 1\n#" + std::string(1100, 'c') + "\nB 2\n");
    EXPECT_EQ(cfg_get_int_or("A", 0), 1);
    EXPECT_EQ(cfg_get_string("B"), nullptr); // an over-long comment token ends it too
}

TEST(Config, MissingFileAndWrapAround) {
    read_config("BIG 99999999999\nMIN -2147483648\n");
    // Unsigned arithmetic: the digits wrap modulo 2^32.
    EXPECT_EQ(cfg_get_int_or("BIG", 0), (int32_t)(uint32_t)(99999999999ull & 0xFFFFFFFFu));
    EXPECT_EQ(cfg_get_int_or("MIN", 0), INT32_MIN);
    cfg_read((config_dir() + "/none.CF").c_str());
    EXPECT_EQ(cfg_get_string("BIG"), nullptr);
    EXPECT_EQ(cfg_get_int_or("CLIENTW", 800), 800);
}
