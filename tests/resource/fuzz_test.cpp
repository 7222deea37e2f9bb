// Seeded random corruption of a valid data file and of a valid texture list, loaded in process
// a few thousand times: every run must end in a clean load or in one of the loader's error codes,
// never in a crash, a hang or a read outside what was loaded (run it once under the ASan build).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/sys/sys_rand.h"
#include "res_test_env.h"
#include "resource/chunks.h"
#include "resource/loader.h"
#include "resource/res_collmesh.h"
#include "resource/res_texture.h"
#include "resource/tex_list.h"
#include "tests/support/test_files.h"
#include "tools/packer/pack_collision.h"
#include "tools/packer/pack_frames.h"
#include "tools/packer/pack_model.h"
#include "tools/packer/packer.h"

// The test program is linked with the fatal exit wrapped (see CMakeLists.txt): while a fuzz run
// is going, a fatal exit throws its error code back to the run instead of ending the process.
struct FatalThrown {
    uint16_t code;
};
static bool g_throw_fatal;

#define REAL_FATAL __real__Z14app_fatal_exittttPKc
#define WRAP_FATAL __wrap__Z14app_fatal_exittttPKc
extern "C" [[noreturn]] void REAL_FATAL(uint16_t, uint16_t, uint16_t, const char *);
extern "C" [[noreturn]] void WRAP_FATAL(uint16_t category, uint16_t code, uint16_t detail,
                                        const char *text) {
    if (g_throw_fatal) throw FatalThrown{detail};
    REAL_FATAL(category, code, detail, text);
}

using Bytes = std::vector<uint8_t>;

static uint32_t rnd(uint32_t n) {
    uint32_t r = static_cast<uint32_t>(sys_rand()) << 15 | static_cast<uint32_t>(sys_rand());
    return n ? r % n : 0;
}

struct Body {
    const char *tag;
    Bytes bytes;
};

// A quad of two triangles with every attribute: normals, texture coordinates, vertex colours,
// two bones and two materials; its "_NRx" part asks for tangents.
static PackModel fuzz_model(void) {
    PackModel m;
    m.name = "mdl_NRx";
    m.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    m.normals = {0, 0, -1};
    m.texcoords = {0, 1, 1, 1, 1, 0, 0, 0};
    m.colors = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    for (uint8_t k = 0; k < 4; ++k)
        m.skins.push_back({{static_cast<uint8_t>(k / 2), 0, 0, 0}, {1, 0, 0, 0}});
    const uint16_t corners[6] = {0, 2, 1, 0, 3, 2};
    for (uint16_t c : corners) {
        for (int a : {PACK_INDEX_POSITION, PACK_INDEX_TEXCOORD, PACK_INDEX_SKIN, PACK_INDEX_COLOR})
            m.indices[a].push_back(c);
        m.indices[PACK_INDEX_NORMAL].push_back(0);
    }
    m.bone_names = {"b0", "b1"};
    m.bone_offsets = {pack_translation(0, 0, 0), pack_translation(0, -1, 0)};
    m.materials = {{"pic.png", 0, 0, 0}, {"", 1, 1, 0}};
    return m;
}

// One chunk of every kind, each well formed.
static std::vector<Body> valid_bodies(void) {
    std::vector<Body> out;
    out.push_back({"TTTT", pack_texture_body("art\\pic.png", res_test_pattern_png(8, 8))});
    Bytes crops;
    std::string error;
    EXPECT_TRUE(pack_crop_body({{"left", "pic.png", 0, 0, 0.5f, 1},
                                {"right", "pic.png", 0.5f, 0, 0.5f, 1},
                                {"none", "gone.png", 0, 0, 1, 1}},
                               &crops, &error));
    out.push_back({"CCCC", crops});

    PackFrame child{"arm", pack_translation(1, 0, 0), {}};
    out.push_back({"BBBB", pack_hierarchy_body({"root_NRx", pack_translation(0, 1, 0), {child}})});
    PackTrack hip{"hip", {pack_translation(0, 0, 0), pack_translation(0, 0, 1)}};
    out.push_back({"AAAA", pack_motion_body({"walk_SPx", 2, {hip}})});

    std::vector<PackCollTriangle> wall = {{{3, 0, 0}, {3, 2, 0}, {3, 0, 2}, 1},
                                          {{3, 2, 0}, {3, 2, 2}, {3, 0, 2}, 2},
                                          {{0, 0, 0}, {0, 0, 4}, {4, 0, 0}, 3}};
    out.push_back({"CCCL", pack_collision_mesh_body("wall", wall, {2, 1, 2, -1})});

    out.push_back({"SXZA", pack_shape_set_body("balls", {{1, 0, 0, 0}, {0.5f, 2, 0, 0}})});

    out.push_back({"CAMR", pack_camera_body({"cam", 30, {0.5f, 2}, {{0, 1, 2, 3}, {4, 5, 6, 7}}})});

    out.push_back({"MMMM", pack_model_body(fuzz_model())});
    return out;
}

// Values that sit on the edges of what a body holds.
static uint32_t edge_value(uint32_t size) {
    static const uint32_t fixed[] = {0,          1,          3,          4,         12,
                                     0x7F,       0x80,       0xFF,       0xFFFF,    0x10000,
                                     0x7FFFFFFF, 0x80000000, 0xFFFFFFFC, 0xFFFFFFFF};
    switch (rnd(4)) {
        case 0:
            return fixed[rnd(sizeof fixed / sizeof fixed[0])];
        case 1:
            return size + rnd(9) - 4; // around the body's end
        case 2:
            return rnd(size + 1);
        default:
            return rnd(0xFFFFFFFFu);
    }
}

// A data file of the bodies with one to three corruptions: offsets and counts at the head of a
// body, bytes in a body, bytes shifted in or out, a header's size field, a flipped bit anywhere,
// or a file cut short.
static Bytes corrupted_file(std::vector<Body> bodies) {
    int kind = static_cast<int>(rnd(100));
    int count = 1 + static_cast<int>(rnd(3));
    bool header_size = kind >= 80 && kind < 88;
    for (int m = 0; m < count && kind < 80; ++m) {
        Bytes &b = bodies[rnd(static_cast<uint32_t>(bodies.size()))].bytes;
        if (b.empty()) continue;
        uint32_t size = static_cast<uint32_t>(b.size());
        if (kind < 45 && size >= 4) { // a word among the first twelve
            uint32_t words = size / 4 < 12 ? size / 4 : 12;
            pack_set_u32(b, 4 * rnd(words), edge_value(size));
        } else if (kind < 65) {
            b[rnd(size)] = static_cast<uint8_t>(rnd(256));
        } else if (rnd(2)) {
            b.insert(b.begin() + rnd(size + 1), 1 + rnd(5), static_cast<uint8_t>(rnd(256)));
        } else {
            uint32_t at = rnd(size);
            b.erase(b.begin() + at, b.begin() + at + 1 + rnd(size - at < 5 ? size - at : 5));
        }
    }
    Bytes file;
    std::vector<size_t> headers;
    for (const Body &b : bodies) {
        headers.push_back(file.size());
        uint32_t tag = pack_tag_of(b.tag);
        pack_append_chunk(file, tag, pack_expected_version(tag), b.bytes);
    }
    if (header_size) {
        size_t h = headers[rnd(static_cast<uint32_t>(headers.size()))];
        pack_set_u32(file, h + 8, edge_value(static_cast<uint32_t>(file.size() - h)));
    } else if (kind >= 88 && kind < 94) {
        for (int m = 0; m < count; ++m) {
            uint32_t bit = rnd(static_cast<uint32_t>(file.size()) * 8);
            file[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        }
    } else if (kind >= 94) {
        file.resize(rnd(static_cast<uint32_t>(file.size())));
    }
    return file;
}

// A texture list with one to four corruptions: a token replaced by a keyword, number, comment
// mark, control character or long word, a character range dropped, or the text cut short.
static std::string corrupted_list(std::string text) {
    // "" stands for a NUL character; "." and ".." name folders, which are no image files.
    static const char *const words[] = {"cat",
                                        "tex",
                                        "size",
                                        "crop",
                                        "#",
                                        "\n",
                                        "\r",
                                        "\x1a",
                                        "",
                                        "0",
                                        "-1",
                                        "16",
                                        "1e39",
                                        "nan",
                                        "2147483648",
                                        "x",
                                        ".",
                                        "..",
                                        "m1.png",
                                        "..\\..\\m1.png",
                                        "CAT",
                                        "crop 1 2 3",
                                        "tex m1.png size 0 0 crop 0 0 1 1 z"};
    int count = 1 + static_cast<int>(rnd(4));
    for (int m = 0; m < count && !text.empty(); ++m) {
        size_t at = rnd(static_cast<uint32_t>(text.size()));
        switch (rnd(4)) {
            case 0: {
                if (rnd(2)) { // the whole token, else its tail from `at`
                    size_t start = text.find_last_of(" \n", at);
                    at = start == std::string::npos ? 0 : start + 1;
                }
                size_t end = text.find_first_of(" \n", at);
                std::string w = rnd(8) == 0
                                    ? std::string(300 + rnd(200), 'w')
                                    : std::string(words[rnd(sizeof words / sizeof words[0])]);
                if (w.empty()) w = std::string(1, '\0');
                text.replace(at, end == std::string::npos ? std::string::npos : end - at, w);
                break;
            }
            case 1:
                text.erase(at, 1 + rnd(12));
                break;
            case 2:
                text.insert(at, 1, static_cast<char>(rnd(256)));
                break;
            default:
                if (rnd(3) == 0) text.resize(at);
                break;
        }
    }
    return text;
}

static const char *const VALID_LIST = "# menu art\n"
                                      "cat menu\n"
                                      "tex m1.png\n"
                                      "size 16 16\n"
                                      "crop 0 0 8 8 c1  # left half\n"
                                      "crop 8 0 8 8 c2\n"
                                      "tex m2_clp.png size 16 16 crop 0 0 16 16 c3\n"
                                      "cat other\n"
                                      "tex m1.png size 32 16\n"
                                      "crop 0 0 32 16 wide\n";

class Fuzz : public ::testing::Test {
  protected:
    std::string dir;
    char old_cwd[PATH_MAX] = {};
    ResourceMark mark{};

    void SetUp() override {
        ASSERT_TRUE(res_test_device());
        dir = test_temp_folder("resfuzz");
        ASSERT_FALSE(dir.empty());
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(mkdir("bin", 0755), 0);
        sys_srand(20261206);
        res_test_start_pools(true); // large 3D pools: their creators run on the corrupted bodies
        loader_init();
        res_mark(&mark);
    }
    void TearDown() override {
        g_throw_fatal = false;
        loader_shutdown();
        res_test_start_pools();
        EXPECT_EQ(chdir(old_cwd), 0);
    }

    // Steps the loader until it is idle or a fatal error is thrown; the error code, 0 for none.
    static int run_loader(int *steps) {
        g_throw_fatal = true;
        int code = 0;
        try {
            while (loader_step() == 1 && ++*steps < 1000) {
            }
        } catch (const FatalThrown &e) {
            code = e.code;
        }
        g_throw_fatal = false;
        return code;
    }

    // Everything a run made is gone again and the loader holds nothing.
    void expect_back_at_mark(uint32_t memory, int run) {
        res_release_to_mark(&mark);
        res_mark(&mark);
        ASSERT_EQ(res_texture_memory(), memory) << "run " << run;
        ASSERT_EQ(loader_get()->file, nullptr) << "run " << run;
        ASSERT_EQ(loader_get()->body, nullptr) << "run " << run;
    }
};

TEST_F(Fuzz, CorruptedDataFilesEndInALoadOrALoaderError) {
    const std::vector<Body> bodies = valid_bodies();
    const uint32_t memory = res_texture_memory();
    const int counts[3] = {res_group_count(), res_texture_count(), res_crop_count()};

    // The file as written loads whole.
    {
        Bytes file;
        for (const Body &b : bodies) {
            uint32_t tag = pack_tag_of(b.tag);
            pack_append_chunk(file, tag, pack_expected_version(tag), b.bytes);
        }
        res_test_write("bin/fz.bin", file);
        ASSERT_TRUE(loader_enqueue("fz", 0));
        int steps = 0;
        ASSERT_EQ(run_loader(&steps), 0);
        EXPECT_NE(res_find_texture("fz", "pic"), 0u);
        EXPECT_NE(res_find_crop("fz", "right"), 0u);
        EXPECT_NE(res_find_hierarchy("fz", "root"), 0u);
        EXPECT_NE(res_find_camera_track("fz", "cam"), 0u);
        EXPECT_NE(res_find_motion("fz", "walk"), 0u);
        EXPECT_NE(res_find_collmesh("fz", "wall"), 0u);
        EXPECT_NE(res_find_shape_set("fz", "balls"), 0u);
        EXPECT_NE(res_find_model("fz", "mdl"), 0u);
        EXPECT_NE(res_find_collmesh("fz", "wall"), 0u);
        EXPECT_NE(res_find_shape_set("fz", "balls"), 0u);
        expect_back_at_mark(memory, -1);
    }

    std::map<int, int> endings;
    for (int run = 0; run < 3000; ++run) {
        res_test_write("bin/fz.bin", corrupted_file(bodies));
        ASSERT_TRUE(loader_enqueue("fz", rnd(4)));
        int steps = 0;
        int code = run_loader(&steps);
        ASSERT_LT(steps, 1000) << "run " << run;
        ASSERT_TRUE(code == 0 || (code >= 2 && code <= 20)) << "run " << run << ": " << code;
        ++endings[code];
        expect_back_at_mark(memory, run);
    }
    EXPECT_EQ(res_group_count(), counts[0]);
    EXPECT_EQ(res_texture_count(), counts[1]);
    EXPECT_EQ(res_crop_count(), counts[2]);
    // Both ends are reached often: clean loads and each kind of reading error.
    EXPECT_GT(endings[0], 100);
    for (int code : {2, 3, 13, 15, 20}) EXPECT_GT(endings[code], 5) << "error " << code;
}

// Damages aimed at what each reader must refuse: every one ends in the kind's loader error,
// or, for the kinds whose handlers always succeed, in a missing resource.
TEST_F(Fuzz, AimedDamagesEndInALoaderErrorOrAMissingResource) {
    const std::vector<Body> bodies = valid_bodies();
    auto body_of = [&](const char *tag) {
        for (const Body &b : bodies)
            if (std::strcmp(b.tag, tag) == 0) return b.bytes;
        return Bytes{};
    };
    struct Case {
        const char *what, *tag;
        Bytes body;
        int code; // 0: loads, with the resource missing when `missing` is set
        bool missing;
    };
    std::vector<Case> cases;
    {
        Bytes b = body_of("BBBB");
        pack_set_u32(b, 68 + 12, 4); // the first push becomes a pop at the start
        cases.push_back({"a pop below the start", "BBBB", b, 7, false});
    }
    {
        Bytes b = body_of("AAAA");
        uint32_t table, track;
        ASSERT_TRUE(chunk_read_u32(b.data(), (uint32_t)b.size(), 12, &table));
        ASSERT_TRUE(chunk_read_u32(b.data(), (uint32_t)b.size(), table, &track));
        pack_set_u32(b, track + 8, 3); // two keys written
        cases.push_back({"a key count past the body", "AAAA", b, 9, false});
    }
    {
        Bytes b = body_of("CCCL");
        pack_set_u32(b, offsetof(CollMeshHeader, cell_count), 5); // a 2 x 1 x 2 grid
        cases.push_back({"a cell count that disagrees with the grid", "CCCL", b, 11, false});
    }
    {
        Bytes b = body_of("CCCL");
        const auto *h = reinterpret_cast<const CollMeshHeader *>(b.data());
        ASSERT_GE(h->level_count, 1u);
        const auto *level = reinterpret_cast<const CollMeshLevel *>(b.data() + h->levels);
        ASSERT_EQ(level->child_kind, COLLMESH_CELLS_ARE_CHILDREN);
        pack_set_u32(b, level->nodes + offsetof(CollMeshNode, children), h->cell_count);
        cases.push_back({"a child number equal to the cell count", "CCCL", b, 11, false});
    }
    // Values no use can carry: NaN, infinities, finite values past 1e9.
    auto set_f32 = [](Bytes &b, size_t at, float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        pack_set_u32(b, at, v);
    };
    {
        Bytes b = body_of("BBBB");
        set_f32(b, 4 + 4 * 5, NAN); // the root's matrix follows the first tag
        cases.push_back({"a NaN frame matrix", "BBBB", b, 7, false});
        b = body_of("AAAA");
        uint32_t table, track;
        ASSERT_TRUE(chunk_read_u32(b.data(), (uint32_t)b.size(), 12, &table));
        ASSERT_TRUE(chunk_read_u32(b.data(), (uint32_t)b.size(), table, &track));
        set_f32(b, track + 12 + 4 * 13, 3e38f);
        cases.push_back({"a motion key of 3e38", "AAAA", b, 9, false});
        b = body_of("CCCL");
        const auto *h = reinterpret_cast<const CollMeshHeader *>(b.data());
        ASSERT_GE(h->large_count, 1u);
        set_f32(b, h->large + offsetof(CollMeshLarge, triangle) + 4, -INFINITY);
        cases.push_back({"an infinite collision corner", "CCCL", b, 11, false});
        b = body_of("CAMR");
        set_f32(b, 24 + 8, NAN);
        cases.push_back({"a NaN camera key", "CAMR", b, 19, false});
        b = body_of("SXZA");
        uint32_t spheres;
        ASSERT_TRUE(chunk_read_u32(b.data(), (uint32_t)b.size(), 4, &spheres));
        set_f32(b, spheres, 3e38f);
        set_f32(b, spheres + 4, 3e38f);
        cases.push_back({"a sphere reaching past the float range", "SXZA", b, 0, true});
    }
    {
        PackModel m = fuzz_model();
        m.indices[PACK_INDEX_TEXCOORD][4] = 0xFFFF;
        cases.push_back({"an index past its array", "MMMM", pack_model_body(m), 0, true});
        Bytes b = pack_model_body(fuzz_model());
        pack_set_u32(b, 4 * PACK_MODEL_TRIANGLES, 0x60000000u);
        cases.push_back({"T = 0x60000000", "MMMM", b, 0, true});
        m = fuzz_model();
        m.skins[3].bones[1] = 2;
        cases.push_back(
            {"a bone index equal to the bone count", "MMMM", pack_model_body(m), 0, true});
        m = fuzz_model();
        m.normals.clear();
        m.indices[PACK_INDEX_NORMAL].clear();
        cases.push_back({"a layout with no declaration", "MMMM", pack_model_body(m), 0, true});
        m = fuzz_model();
        m.texcoords = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
        cases.push_back({"degenerate texture coordinates", "MMMM", pack_model_body(m), 0, false});
    }
    for (const Case &c : cases) {
        Bytes file;
        uint32_t tag = pack_tag_of(c.tag);
        pack_append_chunk(file, tag, pack_expected_version(tag), c.body);
        res_test_write("bin/aim.bin", file);
        ASSERT_TRUE(loader_enqueue("aim", 0));
        int steps = 0;
        EXPECT_EQ(run_loader(&steps), c.code) << c.what;
        if (c.code == 0 && std::strcmp(c.tag, "MMMM") == 0) {
            EXPECT_EQ(res_find_model("aim", "mdl") == 0, c.missing) << c.what;
        }
        if (c.code == 0 && std::strcmp(c.tag, "SXZA") == 0) {
            EXPECT_EQ(res_find_shape_set("aim", "balls") == 0, c.missing) << c.what;
        }
        expect_back_at_mark(res_texture_memory(), 0);
    }
}

TEST_F(Fuzz, CorruptedTextureListsParseAndLoad) {
    Bytes png = res_test_pattern_png(16, 16);
    res_test_write("bin/m1.png", png);
    res_test_write("bin/m2_clp.png", png);
    const uint32_t memory = res_texture_memory();
    int loaded_runs = 0, crops_made = 0;
    for (int run = 0; run < 3000; ++run) {
        std::string text = corrupted_list(VALID_LIST);
        FILE *f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::rewind(f);
        TexCategory *list = nullptr;
        EXPECT_EQ(texlist_parse(f, &list), 1);
        std::fclose(f);
        // Every crop names an image of the list (shared, not copied) and every text is whole.
        std::vector<const char *> images;
        for (TexCategory *c = list; c; c = c->next)
            for (TexEntry *e = c->entries; e; e = e->next) images.push_back(e->name);
        for (TexCategory *c = list; c; c = c->next) {
            ASSERT_LE(std::strlen(c->name), static_cast<size_t>(TEXLIST_TOKEN_MAX));
            for (TexCrop *k = c->crops; k; k = k->next)
                ASSERT_NE(std::find(images.begin(), images.end(), k->texture_name), images.end())
                    << "run " << run;
        }
        texlist_free(list);

        // Every tenth list is also loaded, category by category.
        if (run % 10) continue;
        res_test_write("bin/tex.lst", text);
        loader_shutdown();
        loader_init();
        for (int i = 0; i < loader_category_count() && i < 16; ++i)
            loader_enqueue(loader_category_name(i), 0);
        int before = res_crop_count();
        int steps = 0;
        int code = run_loader(&steps);
        ASSERT_LT(steps, 1000) << "run " << run;
        // Categories never open a data file, and a missing image is not reported.
        ASSERT_EQ(code, 0) << "run " << run;
        if (code == 0) {
            ++loaded_runs;
            crops_made += res_crop_count() - before;
        }
        expect_back_at_mark(memory, run);
    }
    EXPECT_GT(loaded_runs, 100);
    EXPECT_GT(crops_made, 100);
}
