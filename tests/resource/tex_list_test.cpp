// Texture list grammar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "resource/tex_list.h"

static TexCategory *parse(const std::string &text) {
    FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    TexCategory *head = nullptr;
    EXPECT_EQ(texlist_parse(f, &head), 1);
    std::fclose(f);
    return head;
}

TEST(TexList, CategoriesTexturesAndCrops) {
    TexCategory *list = parse("# sample\n"
                              "cat title  # the title screen\n"
                              "tex logo.png\n"
                              "size 128 64\n"
                              "crop 0 0 64 32 logo_a\n"
                              "crop 64 32 64 32 logo_b\n"
                              "tex back.png size 256 256 crop 0 128 256 128 back_low\n"
                              "cat select\n"
                              "tex face.png\n");
    ASSERT_EQ(texlist_count(list), 2);
    TexCategory *title = texlist_find_category(list, "title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(texlist_find_category(list, "Title"), nullptr);
    EXPECT_EQ(texlist_category_at(list, 1), texlist_find_category(list, "select"));
    ASSERT_EQ(texlist_texture_count(title), 2);
    EXPECT_STREQ(texlist_texture_at(title, 1)->name, "back.png");
    ASSERT_EQ(texlist_crop_count(title), 3);

    TexCrop *a = texlist_crop_at(title, 0);
    EXPECT_STREQ(a->name, "logo_a");
    EXPECT_EQ(a->texture_name, texlist_texture_at(title, 0)->name); // shared, not copied
    EXPECT_FLOAT_EQ(a->u0, 0.0f);
    EXPECT_FLOAT_EQ(a->v0, 0.0f);
    EXPECT_FLOAT_EQ(a->u_size, 0.5f);
    EXPECT_FLOAT_EQ(a->v_size, 0.5f);
    TexCrop *b = texlist_crop_at(title, 1);
    EXPECT_FLOAT_EQ(b->u0, 0.5f);
    EXPECT_FLOAT_EQ(b->v0, 0.5f);
    TexCrop *low = texlist_crop_at(title, 2);
    EXPECT_STREQ(low->texture_name, "back.png");
    EXPECT_FLOAT_EQ(low->v0, 0.5f);
    EXPECT_EQ(texlist_texture_count(nullptr), 0);
    EXPECT_EQ(texlist_crop_at(title, 3), nullptr);
    EXPECT_EQ(texlist_crop_at(title, -1), nullptr);
    EXPECT_EQ(texlist_texture_at(nullptr, 0), nullptr);
    EXPECT_EQ(texlist_category_at(list, 2), nullptr);
    texlist_free(list);
}

TEST(TexList, TexResetsSizeAndKeywordsAreCaseSensitive) {
    // "size" before "tex" is reset by it: crops divide by 0 until the next "size".
    // "CROP" is an unknown token: the tokens after it are read as keyword candidates.
    TexCategory *list = parse("cat c\nsize 64 64\ntex t.png\ncrop 8 8 8 8 zero\n"
                              "CROP 1 2 3 4 upper\nsize 16 16\ncrop 8 8 8 8 half\n");
    TexCategory *c = texlist_find_category(list, "c");
    ASSERT_EQ(texlist_crop_count(c), 2);
    EXPECT_TRUE(std::isinf(texlist_crop_at(c, 0)->u0));
    EXPECT_STREQ(texlist_crop_at(c, 1)->name, "half");
    EXPECT_FLOAT_EQ(texlist_crop_at(c, 1)->u_size, 0.5f);
    texlist_free(list);
}

TEST(TexList, IncompleteAndOrphanStatementsAddNothing) {
    // A crop whose fields do not all parse is not appended; statements with no current record
    // are ignored; the file may end in the middle of a statement.
    TexCategory *list = parse("tex orphan.png\ncrop 0 0 1 1 orphan\ncat c\ncrop 0 0 1 1 nocrop\n"
                              "tex t.png size 10 10\ncrop 1 2 x 4 bad\ncrop 1 2 3 4 good\n"
                              "crop 1 2 3");
    ASSERT_EQ(texlist_count(list), 1);
    TexCategory *c = list;
    EXPECT_EQ(texlist_texture_count(c), 1);
    ASSERT_EQ(texlist_crop_count(c), 1);
    EXPECT_STREQ(texlist_crop_at(c, 0)->name, "good");
    texlist_free(list);
}

TEST(TexList, LongTokensAreCutAndCommentsEndAtLineBreaks) {
    std::string longname(1000, 'n');
    TexCategory *list = parse("#comment cat hidden\r"
                              "cat " +
                              longname +
                              "\n# x\x1a"
                              "cat b\n");
    ASSERT_EQ(texlist_count(list), 2);
    EXPECT_EQ(std::string(list->name), std::string(TEXLIST_TOKEN_MAX, 'n'));
    EXPECT_STREQ(list->next->name, "b");
    texlist_free(list);
}

TEST(TexList, ImageAndSizeCarryOverIntoTheNextCategory) {
    TexCategory *list = parse("cat a\ntex a.png\nsize 8 8\ncat b\ncrop 0 0 4 4 carried\n");
    TexCategory *b = texlist_find_category(list, "b");
    ASSERT_EQ(texlist_crop_count(b), 1);
    TexCrop *c = texlist_crop_at(b, 0);
    EXPECT_EQ(c->texture_name, texlist_texture_at(list, 0)->name);
    EXPECT_FLOAT_EQ(c->u_size, 0.5f);
    EXPECT_EQ(texlist_texture_count(b), 0);
    texlist_free(list);
}
