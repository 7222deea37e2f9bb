// The data loader on real files in a scratch folder: enqueue rules, step sequences, folders and
// language, chunk un-scrambling, and the error codes that end the program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/settings.h"
#include "app/timer.h"
#include "res_test_env.h"
#include "tests/support/test_files.h"
#include "resource/chunks.h"
#include "resource/data_key.h"
#include "resource/loader.h"
#include "resource/res_texture.h"
#include "tools/packer/packer.h"

using Bytes = std::vector<uint8_t>;

struct Chunk {
    const char *tag;
    Bytes body;
    uint32_t version = 0; // 0: the loader's
};

static Bytes file_of(const std::vector<Chunk> &chunks) {
    Bytes out;
    for (const Chunk &c : chunks) {
        uint32_t tag = pack_tag_of(c.tag);
        pack_append_chunk(out, tag, c.version ? c.version : pack_expected_version(tag), c.body);
    }
    return out;
}

static Bytes texture_chunk(const std::string &name, int w, int h) {
    return pack_texture_body(name, res_test_pattern_png(w, h));
}

static Bytes crop_chunk(const std::vector<PackCrop> &crops) {
    Bytes body;
    std::string error;
    EXPECT_TRUE(pack_crop_body(crops, &body, &error)) << error;
    return body;
}

static void put_u32(Bytes &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A w x h uncompressed 32-bit DDS file of one colour.
static Bytes dds_file(int w, int h, uint32_t argb) {
    Bytes b = {'D', 'D', 'S', ' '};
    put_u32(b, 124);
    put_u32(b, 0x100F); // caps, height, width, pitch, pixel format
    put_u32(b, h);
    put_u32(b, w);
    put_u32(b, w * 4);
    put_u32(b, 0);
    put_u32(b, 0);
    for (int i = 0; i < 11; ++i) put_u32(b, 0);
    put_u32(b, 32);
    put_u32(b, 0x41); // RGB with alpha
    put_u32(b, 0);
    put_u32(b, 32);
    put_u32(b, 0x00FF0000);
    put_u32(b, 0x0000FF00);
    put_u32(b, 0x000000FF);
    put_u32(b, 0xFF000000);
    put_u32(b, 0x1000);
    for (int i = 0; i < 4; ++i) put_u32(b, 0);
    for (int i = 0; i < w * h; ++i) put_u32(b, argb);
    return b;
}

// Each test runs in its own scratch folder holding "bin/", the default data and texture folder.
class Loader : public ::testing::Test {
  protected:
    static constexpr const char *PARENT_DIR_VARIABLE = "TAVOK_RES_TEST_DIR";
    std::string dir;
    char old_cwd[PATH_MAX] = {};

    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ASSERT_TRUE(res_test_device());
        // A death test's child runs in the folder of the test that started it: the program ends
        // with _exit, so a folder of the child's own would never be removed.
        const char *parent_dir = std::getenv(PARENT_DIR_VARIABLE);
        dir = parent_dir ? parent_dir : test_temp_folder("res");
        ASSERT_FALSE(dir.empty());
        setenv(PARENT_DIR_VARIABLE, dir.c_str(), 1);
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("bin", 0755);
        mkdir("binj", 0755);
    }
    void TearDown() override {
        unsetenv(PARENT_DIR_VARIABLE);
        loader_shutdown();
        res_test_start_pools();
        EXPECT_EQ(chdir(old_cwd), 0);
    }
    void start(const std::string &tex_lst = "") {
        if (!tex_lst.empty()) res_test_write("bin/tex.lst", tex_lst);
        res_test_start_pools();
        loader_init();
    }
    static int32_t run_all() {
        int guard = 0;
        int32_t r;
        while ((r = loader_step()) == 1 && ++guard < 10000) {
        }
        return r;
    }
};

TEST_F(Loader, InitTakesDefaultFoldersAndTheTextureList) {
    start("cat a\ncat b\ntex b1.png\nsize 8 8\ncrop 0 0 4 4 q\n");
    EXPECT_STREQ(loader_data_folder(0), ".\\bin\\");
    EXPECT_STREQ(loader_data_folder(1), ".\\bin\\");
    EXPECT_STREQ(loader_texture_folder(), ".\\bin\\");
    ASSERT_EQ(loader_category_count(), 2);
    EXPECT_STREQ(loader_category_name(1), "b");
    EXPECT_EQ(loader_category_texture_count(1), 1);
    EXPECT_STREQ(loader_category_texture_name(1, 0), "b1.png");
    EXPECT_EQ(loader_category_crop_count(1), 1);
    EXPECT_STREQ(loader_category_crop_name(1, 0), "q");
    EXPECT_EQ(loader_category_name(2), nullptr);
    loader_set_data_folder(nullptr, 1);
    EXPECT_STREQ(loader_data_folder(1), ".\\");
}

TEST_F(Loader, EnqueueRules) {
    start();
    EXPECT_FALSE(loader_enqueue(nullptr, 0));
    EXPECT_FALSE(loader_enqueue(std::string(64, 'n').c_str(), 0));
    EXPECT_EQ(loader_get()->state, LOADER_IDLE); // a refused name leaves the state
    EXPECT_TRUE(loader_enqueue(std::string(63, 'n').c_str(), 0));
    EXPECT_EQ(loader_get()->state, LOADER_TAKE_REQUEST);
    EXPECT_TRUE(loader_enqueue("dup", 0));
    EXPECT_TRUE(loader_enqueue("dup", 7)); // still pending: queued once
    EXPECT_EQ(loader_get()->tail, 2u);
    for (int i = 2; i < LOADER_RING_SIZE; ++i)
        EXPECT_TRUE(loader_enqueue(("n" + std::to_string(i)).c_str(), 0));
    EXPECT_FALSE(loader_enqueue("full", 0));
    const char *list[2] = {"dup", "full"};
    EXPECT_FALSE(loader_enqueue_list(list, 2, 0));
    EXPECT_FALSE(loader_enqueue_list(nullptr, 1, 0));
    EXPECT_FALSE(loader_enqueue_list(list, 0, 0));

    // A name whose group exists is skipped without opening a file (there is none).
    loader_reset();
    res_intern_group("done");
    EXPECT_TRUE(loader_enqueue("done", 0));
    EXPECT_TRUE(loader_request_loaded("done"));
    EXPECT_FALSE(loader_request_loaded(nullptr));
    EXPECT_EQ(loader_step(), 0);
    EXPECT_EQ(loader_get()->head, 1u);
    // An empty ring is rewound at the next enqueue.
    EXPECT_TRUE(loader_enqueue("x", 0));
    EXPECT_EQ(loader_get()->head, 0u);
    EXPECT_EQ(loader_get()->tail, 1u);
}

TEST_F(Loader, DataFileLoadsOneChunkPerStep) {
    res_test_write("bin/two.bin",
                   file_of({{"TTTT", texture_chunk("pics\\a.png", 16, 16)},
                            {"CCCC", crop_chunk({{"ca", "a.png", 0, 0, 0.5f, 0.5f},
                                                 {"ghost", "ghost.png", 0.25f, 0, 1, 1}})}}));
    res_test_write("bin/empty.bin", Bytes{});
    start();
    const int textures = res_texture_count(), crops = res_crop_count();
    ASSERT_TRUE(loader_enqueue("two", 0));
    ASSERT_TRUE(loader_enqueue("empty", 0));
    DataLoader *L = loader_get();

    EXPECT_EQ(loader_step(), 1); // take the request
    EXPECT_STREQ(L->current_name, "two");
    EXPECT_EQ(L->file, nullptr);
    EXPECT_EQ(loader_step(), 1); // open, first chunk
    EXPECT_NE(L->file, nullptr);
    EXPECT_EQ(res_texture_count(), textures + 1);
    EXPECT_EQ(res_crop_count(), crops);
    EXPECT_EQ(loader_step(), 1); // second chunk
    EXPECT_EQ(res_crop_count(), crops + 2);
    EXPECT_EQ(L->bytes_read, L->file_size);
    EXPECT_EQ(loader_step(), 1); // end of file
    EXPECT_EQ(L->state, LOADER_FINISH);
    EXPECT_EQ(loader_step(), 1); // finish
    EXPECT_EQ(L->file, nullptr);
    EXPECT_EQ(L->head, 1u);
    // A file of no chunks is opened and closed without error.
    EXPECT_EQ(run_all(), 0);
    EXPECT_EQ(L->head, 2u);

    ResourceHandle a = res_find_texture("two", "a");
    ASSERT_NE(a, 0u);
    const CropRecord *ca = res_get_crop(res_find_crop("two", "ca"));
    ASSERT_NE(ca, nullptr);
    EXPECT_EQ(ca->texture, a);
    EXPECT_FLOAT_EQ(ca->u_size, 0.5f);
    // A crop on a texture that is not loaded keeps texture 0 and its coordinates.
    const CropRecord *ghost = res_get_crop(res_find_crop("two", "ghost"));
    ASSERT_NE(ghost, nullptr);
    EXPECT_EQ(ghost->texture, 0u);
    EXPECT_FLOAT_EQ(ghost->u0, 0.25f);
    // Loaded once: the group exists, so queueing it again opens nothing.
    EXPECT_TRUE(loader_enqueue("two", 0));
    EXPECT_EQ(run_all(), 0);
    EXPECT_EQ(res_texture_count(), textures + 1);
}

TEST_F(Loader, CategoryMakesOneTextureOrCropPerStep) {
    Bytes png = res_test_pattern_png(16, 16);
    res_test_write("bin/m1.png", png);
    res_test_write("bin/m2_clp.png", png);
    // If the category opened a data file, this one would end the program (short header).
    res_test_write("bin/menu.bin", Bytes{1, 2, 3});
    mkdir("bin/folder.png", 0755);
    start("cat menu\ntex m1.png size 16 16 crop 0 0 8 8 c1\n"
          "tex missing.png\ntex folder.png\ntex m2_clp.png size 16 16 crop 0 0 16 16 c2\n");
    const int textures = res_texture_count(), crops = res_crop_count();
    ASSERT_TRUE(loader_enqueue("menu", 0));
    EXPECT_EQ(loader_get()->requests[0].has_category, 1u);
    std::vector<std::pair<int, int>> made;
    while (loader_step() == 1) {
        made.push_back({res_texture_count() - textures, res_crop_count() - crops});
        if (made.size() > 1) { // at most one texture or one crop per step
            auto d = made.back(), p = made[made.size() - 2];
            EXPECT_LE((d.first - p.first) + (d.second - p.second), 1);
        }
    }
    EXPECT_EQ(res_texture_count() - textures, 2); // a missing image or a folder is not reported
    EXPECT_EQ(res_crop_count() - crops, 2);
    EXPECT_EQ(loader_get()->file, nullptr);
    // Textures first, then crops.
    size_t first_crop = 0;
    while (made[first_crop].second == 0) ++first_crop;
    EXPECT_EQ(made[first_crop].first, 2);
    ResourceHandle m2 = res_find_texture("menu", "m2_clp");
    ASSERT_NE(m2, 0u);
    EXPECT_EQ((res_get_texture(m2)->flags >> TEX_ADDRESS_V_SHIFT) & 7, 1);
    EXPECT_EQ(res_get_crop(res_find_crop("menu", "c2"))->texture, m2);
    EXPECT_FLOAT_EQ(res_get_crop(res_find_crop("menu", "c1"))->u_size, 0.5f);
}

TEST_F(Loader, CategoryWhoseNameHoldsADotLoadsIntoItsNamePartGroup) {
    res_test_write("bin/m1.png", res_test_pattern_png(16, 16));
    start("cat menu.v2\ntex m1.png size 16 16 crop 0 0 8 8 c1\n");
    ASSERT_TRUE(loader_enqueue("menu.v2", 0));
    EXPECT_EQ(run_all(), 0);
    EXPECT_NE(res_find_texture("menu", "m1"), 0u);
    EXPECT_NE(res_find_crop("menu", "c1"), 0u);
}

TEST_F(Loader, TextureChunkLoadsBackToTheSamePixels) {
    res_test_write("bin/pix.bin", file_of({{"TTTT", texture_chunk("pattern.png", 64, 32)}}));
    start();
    // The image bytes are stored scrambled: the PNG signature is not in the file as is.
    Bytes stored;
    ASSERT_TRUE(pack_read_file("bin/pix.bin", &stored));
    const uint8_t sig[4] = {0x89, 'P', 'N', 'G'};
    EXPECT_EQ(std::search(stored.begin(), stored.end(), sig, sig + 4), stored.end());

    ASSERT_TRUE(loader_enqueue("pix", 0));
    EXPECT_EQ(run_all(), 0);
    ResourceHandle h = res_find_texture("pix", "pattern");
    ASSERT_NE(h, 0u);
    EXPECT_EQ(res_get_texture(h)->width, 64);
    EXPECT_EQ(res_get_texture(h)->height, 32);
    EXPECT_EQ(res_get_texture(h)->flags & TEX_FLAG_MIPMAP, 0);
    for (int y = 0; y < 32; y += 3)
        for (int x = 0; x < 64; x += 5)
            ASSERT_EQ(res_texture_read_pixel(h, x, y), res_test_pattern_argb(x, y))
                << x << "," << y;
}

TEST_F(Loader, DdsFileInDataFolderZeroReplacesTheImage) {
    res_test_write("bin/over.bin", file_of({{"TTTT", texture_chunk("art\\over.png", 16, 16)},
                                            {"TTTT", texture_chunk("kept.png", 16, 16)}}));
    res_test_write("bin/over.dds", dds_file(4, 4, 0xFF123456));
    mkdir("bin/kept.dds", 0755); // a folder is no image file: the embedded image is kept
    start();
    ASSERT_TRUE(loader_enqueue("over", 2)); // value bit 1: mipmaps
    EXPECT_EQ(run_all(), 0);
    ResourceHandle over = res_find_texture("over", "over");
    ASSERT_NE(over, 0u);
    EXPECT_EQ(res_get_texture(over)->width, 4);
    EXPECT_EQ(res_texture_read_pixel(over, 1, 1), 0xFF123456u);
    EXPECT_EQ(res_get_texture(over)->flags & TEX_FLAG_MIPMAP, TEX_FLAG_MIPMAP);
    ResourceHandle kept = res_find_texture("over", "kept");
    ASSERT_NE(kept, 0u);
    EXPECT_EQ(res_texture_read_pixel(kept, 3, 2), res_test_pattern_argb(3, 2));
}

TEST_F(Loader, LanguageChoosesWhichFolderComesFirst) {
    res_test_write("bin/lang.bin", file_of({{"TTTT", texture_chunk("zero.png", 8, 8)}}));
    res_test_write("binj/lang.bin", file_of({{"TTTT", texture_chunk("one.png", 8, 8)}}));
    res_test_write("binj/only1.bin", file_of({{"TTTT", texture_chunk("j.png", 8, 8)}}));
    // The folders come from the start-up configuration, the language from the setting "golng".
    res_test_write("TK01.CF", "MDATAP bin/\nMDATAPJ binj/\nTEXP binj/\n");
    cfg_read("TK01.CF");
    settings_set_int("golng", 1);
    start();
    cfg_term();
    settings_free_all();
    EXPECT_STREQ(loader_data_folder(0), "bin/");
    EXPECT_STREQ(loader_data_folder(1), "binj/");
    EXPECT_STREQ(loader_texture_folder(), "binj/");
    EXPECT_EQ(loader_file_exists("only1"), 1);
    EXPECT_EQ(loader_file_exists("nowhere"), 0);

    ASSERT_TRUE(loader_enqueue("lang", 0));
    EXPECT_EQ(run_all(), 0);
    EXPECT_NE(res_find_texture("lang", "one"), 0u);
    EXPECT_EQ(res_find_texture("lang", "zero"), 0u);

    // Language 0 (also for any other setting value) takes folder 0 first.
    settings_set_int("golng", 2);
    loader_read_language();
    settings_free_all();
    EXPECT_EQ(loader_get()->language, 0u);
    // Folder i + language (mod 2) is tried i-th: an even language takes folder 0 first.
    loader_set_language(2);
    res_test_start_pools();
    ASSERT_TRUE(loader_enqueue("lang", 0));
    EXPECT_EQ(run_all(), 0);
    EXPECT_NE(res_find_texture("lang", "zero"), 0u);
}

TEST_F(Loader, OverlongFolderTextLeavesTheFolderEmpty) {
    res_test_write("bare.bin", file_of({{"TTTT", texture_chunk("bare.png", 8, 8)}}));
    start();
    // Init zeroes the loader before it sets the folders: a 256-character text is not taken.
    *loader_get() = DataLoader{};
    std::string long_folder(256, 'f');
    loader_set_data_folder(long_folder.c_str(), 0);
    loader_set_data_folder(long_folder.c_str(), 1);
    EXPECT_STREQ(loader_data_folder(0), "");
    std::string fits(255, 'f');
    loader_set_data_folder(fits.c_str(), 1);
    EXPECT_EQ(std::strlen(loader_data_folder(1)), 255u);
    loader_set_data_folder("", 1);
    // The file is opened by its bare name.
    ASSERT_TRUE(loader_enqueue("bare", 0));
    EXPECT_EQ(run_all(), 0);
    EXPECT_NE(res_find_texture("bare", "bare"), 0u);
}

TEST_F(Loader, ProgressAndRunUntil) {
    Bytes c = crop_chunk({{"c", "t", 0, 0, 1, 1}});
    res_test_write("bin/half.bin", file_of({{"CCCC", c}, {"CCCC", c}}));
    start();
    EXPECT_FLOAT_EQ(loader_progress(), 1.0f);
    ASSERT_TRUE(loader_enqueue("half", 0));
    EXPECT_EQ(loader_step(), 1);
    EXPECT_EQ(loader_step(), 1); // first of two equal chunks
    EXPECT_FLOAT_EQ(loader_progress(), 0.5f);
    EXPECT_EQ(run_all(), 0);
    EXPECT_FLOAT_EQ(loader_progress(), 0.5f); // head = tail = 1

    // At least one step even when the frame's share is above the limit.
    timer_init_perf_clock(60);
    timer_begin_frame_clock();
    res_test_start_pools();
    ASSERT_TRUE(loader_enqueue("half", 0));
    EXPECT_EQ(loader_run_until(-1.0f), 1);
    EXPECT_EQ(loader_get()->state, LOADER_OPEN_FILE);
    EXPECT_EQ(loader_run_until(1e30f), 0);
    EXPECT_NE(res_find_crop("half", "c"), 0u);
}

TEST_F(Loader, ReleaseToMarkResetsTheLoader) {
    res_test_write("bin/r.bin", file_of({{"TTTT", texture_chunk("r.png", 8, 8)}}));
    start();
    ResourceMark mark;
    res_mark(&mark);
    ASSERT_TRUE(loader_enqueue("r", 0));
    EXPECT_EQ(loader_step(), 1);
    EXPECT_EQ(loader_step(), 1);
    EXPECT_NE(loader_get()->file, nullptr);
    res_release_to_mark(&mark);
    EXPECT_EQ(loader_get()->file, nullptr);
    EXPECT_EQ(loader_get()->state, LOADER_IDLE);
    EXPECT_EQ(loader_get()->tail, 0u);
    EXPECT_EQ(res_find_texture("r", "r"), 0u);
}

// ---------------------------------------------------------------------------------------------
// Every error code ends the process with status 1 and its code and detail text.

struct ErrorCase {
    int code;
    std::string name;
    std::function<void()> prepare; // writes the files, may change the loader after start
    std::string text;              // expected detail text (a regular expression)
};

static Bytes u32s(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) put_u32(b, w);
    return b;
}

static Bytes with_text(Bytes b, const std::string &text) {
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

static void write_chunk(const std::string &name, const char *tag, const Bytes &body,
                        uint32_t version = 0) {
    res_test_write("bin/" + name + ".bin", file_of({{tag, body, version}}));
}

TEST_F(Loader, EveryErrorEndsTheProgram) {
    Bytes model(112, 0);
    model[4] = 112;
    model = with_text(model, "mdl");
    const Bytes hierarchy = with_text(u32s({1, 16, 0, 5}), "frame");
    const Bytes motion = with_text(u32s({0, 0, 20, 0, 0}), "walk");
    const Bytes collision = with_text(u32s({4}), "wall");
    const Bytes camera = with_text(u32s({40, 24, 1, 0, 0, 0, 0, 0, 0, 0}), "cam"); // one key

    std::vector<ErrorCase> cases = {
        {1, "nofile", [] {}, "nofile"},
        {1, "folder", [] { mkdir("bin/folder.bin", 0755); }, "folder"},
        {2, "cut",
         [] {
             res_test_write("bin/cut.bin", Bytes{1, 2, 3, 4, 5});
         },
         "cut"},
        {3, "short",
         [] {
             Bytes f = file_of({{"CCCC", u32s({0})}});
             f[8] = 100; // body size 100, 4 bytes present
             res_test_write("bin/short.bin", f);
         },
         "short"},
        {3, "huge",
         [] {
             Bytes f = file_of({{"CCCC", u32s({0})}});
             f[8] = f[9] = f[10] = 0xF0;
             f[11] = 0xFF; // nearly 4 GiB: refused without trying the allocation
             res_test_write("bin/huge.bin", f);
         },
         "huge"},
        {4, "v4", [] { write_chunk("v4", "MMMM", {}, 3); }, "v4/00000003/02000000"},
        // No error 5: a model that cannot be made is left missing and its chunk loads.
        {6, "v6", [] { write_chunk("v6", "BBBB", {}, 2); }, "v6/00000002/01000000"},
        {7, "h7", [&] { write_chunk("h7", "BBBB", hierarchy); }, "h7"},
        {8, "v8", [] { write_chunk("v8", "AAAA", {}, 1); }, "v8/00000001/02000000"},
        {9, "h9", [&] { write_chunk("h9", "AAAA", motion); }, "h9"},
        {10, "v10", [] { write_chunk("v10", "CCCL", {}, 7); }, "v10/00000007/01000000"},
        {11, "h11", [&] { write_chunk("h11", "CCCL", collision); }, "h11"},
        {12, "v12", [] { write_chunk("v12", "TTTT", {}, 0x02000000); }, "v12/02000000/01000000"},
        {13, "h13",
         [] {
             Bytes t = texture_chunk("x.png", 4, 4);
             t[8] = 0xFF; // image size past the body
             t[9] = 0xFF;
             write_chunk("h13", "TTTT", t);
         },
         "h13"},
        {13, "h13name",
         [] {
             Bytes t = u32s({12, 12, 0}); // the name would start at the body's end
             write_chunk("h13name", "TTTT", t);
         },
         "h13name"},
        {14, "v14", [] { write_chunk("v14", "CCCC", u32s({0}), 3); }, "v14/00000003/01000000"},
        {15, "h15",
         [] {
             Bytes c = crop_chunk({{"n", "t", 0, 0, 1, 1}});
             c.erase(c.end() - 4, c.end()); // the texture name no longer ends inside the body
             while (c.back() == 0) c.pop_back();
             write_chunk("h15", "CCCC", c);
         },
         "h15"},
        {15, "h15count",
         [] {
             write_chunk("h15count", "CCCC", u32s({1000, 0, 0}));
         },
         "h15count"},
        {16, "v16", [] { write_chunk("v16", "SXZA", {}, 9); }, "v16/00000009/01000000"},
        // No error 17: a shape set that cannot be made is left missing and its chunk loads.
        {18, "v18", [] { write_chunk("v18", "CAMR", {}, 0x02000000); }, "v18/02000000/01000000"},
        {19, "h19", [&] { write_chunk("h19", "CAMR", camera); }, "h19"},
        {20, "tag", [] { write_chunk("tag", "ZZZZ", u32s({1})); }, "tag/ZZZZ/5a5a5a5a"},
        {21, "nocat", [] {}, "nocat"},
        {22, "state", [] {}, "0000000b"},
    };
    for (const ErrorCase &c : cases) {
        c.prepare();
        const std::string pattern = "detail " + std::to_string(c.code) + ": " + c.text;
        EXPECT_EXIT(
            {
                start();
                ASSERT_TRUE(loader_enqueue(c.name.c_str(), 0));
                if (c.code == 21) loader_get()->requests[0].has_category = 1;
                if (c.code == 22) loader_get()->state = 11;
                run_all();
            },
            ::testing::ExitedWithCode(1), pattern)
            << "error " << c.code << " (" << c.name << ")";
    }
}

// ---------------------------------------------------------------------------------------------
// The packer tool writes files the loader reads back.

static int run_tool(const std::string &args) {
    std::string cmd = std::string(TAVOK_PACK_TOOL) + " " + args + " > tool.out 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Loader, PackerToolWritesLoadableFiles) {
    EXPECT_EQ(run_tool("--help"), 0);
    Bytes help;
    ASSERT_TRUE(pack_read_file("tool.out", &help));
    EXPECT_NE(std::string(help.begin(), help.end()).find("usage: tavok_pack"), std::string::npos);

    res_test_write("sheet.png", res_test_pattern_png(32, 32));
    res_test_write("crops.txt", "# name texture u0 v0 u_size v_size\n"
                                "left sheet.png 0 0 0.5 1\n\n"
                                "right sheet.png 0.5 0 0.5 1  # second half\n");
    res_test_write("raw.body", Bytes{});
    ASSERT_EQ(run_tool("-o bin/pk.bin --texture sheet.png --texture-as copy.png sheet.png "
                       "--crops crops.txt --raw CAMR raw.body"),
              0);
    start();
    ASSERT_TRUE(loader_enqueue("pk", 0));
    EXPECT_EQ(run_all(), 0);
    ResourceHandle sheet = res_find_texture("pk", "sheet");
    ASSERT_NE(sheet, 0u);
    EXPECT_NE(res_find_texture("pk", "copy"), 0u);
    EXPECT_EQ(res_texture_read_pixel(sheet, 31, 7), res_test_pattern_argb(31, 7));
    const CropRecord *right = res_get_crop(res_find_crop("pk", "right"));
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->texture, sheet);
    EXPECT_FLOAT_EQ(right->u0, 0.5f);
    EXPECT_FLOAT_EQ(right->v_size, 1.0f);

    // Bad input is refused with a message and a failing status.
    res_test_write("bad.txt", "short sheet.png 0 0\n");
    EXPECT_NE(run_tool("-o bin/bad.bin --crops bad.txt"), 0);
    res_test_write("key.txt", "a`b sheet.png 0 0 1 1\n"); // holds the crop-name key byte
    EXPECT_NE(run_tool("-o bin/bad.bin --crops key.txt"), 0);
    EXPECT_NE(run_tool("-o bin/bad.bin --texture missing.png"), 0);
    EXPECT_NE(run_tool("--texture sheet.png"), 0); // no output
    EXPECT_NE(run_tool("-o bin/bad.bin --raw TOOLONG raw.body"), 0);
    EXPECT_NE(run_tool("-o bin/bad.bin --bogus"), 0);
    for (const char *version : {"\"\"", "-1", "1FFFFFFFF", "12x"})
        EXPECT_NE(
            run_tool(std::string("-o bin/bad.bin --version ") + version + " --raw CAMR raw.body"),
            0)
            << version;
    // --version applies to the next chunk only: here it makes the loader's version error.
    ASSERT_EQ(run_tool("-o bin/ver.bin --version 01000000 --texture sheet.png --version 2 "
                       "--crops crops.txt"),
              0);
    Bytes ver;
    ASSERT_TRUE(pack_read_file("bin/ver.bin", &ver));
    uint32_t second = 12 + (ver[8] | ver[9] << 8 | ver[10] << 16 | ver[11] << 24);
    EXPECT_EQ(ver[second + 4], 2);
}
