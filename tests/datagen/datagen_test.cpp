// The generated data set: every file the game opens, the texture list, loading through the data
// loader into the groups and crops the game looks up, the sound formats, the stage maps, the
// actors' placement in their crops, and a byte-identical second run.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "audio/sound_manager.h"
#include "platform/sound/wave_file.h"
#include "render/gfx_texture.h"
#include "resource/loader.h"
#include "resource/res_pools.h"
#include "resource/tex_list.h"
#include "tests/support/test_files.h"
#include "tests/support/test_render.h"
#include "tools/datagen/datagen.h"

namespace {

// The sound files the sound manager loads: its effect slots, voices or music.
std::vector<std::string> sound_names(const char *(*name_of)(int32_t), int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(name_of(i));
    return names;
}
const std::vector<std::string> SLOT_SOUNDS = sound_names(snd_slot_name, SND_SLOT_COUNT);
const std::vector<std::string> VOICES = sound_names(snd_voice_name, SND_VOICE_COUNT);
const std::vector<std::string> MUSIC = sound_names(snd_music_name, SND_MUSIC_COUNT);

std::string two(const char *prefix, int i, const char *suffix = "") {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%02d%s", prefix, i, suffix);
    return buf;
}

// Crop names by group, with each crop's size in pixels.
struct Want {
    const char *name;
    int w, h;
};

std::vector<Want> actor_crops(bool player) {
    std::vector<Want> v = {{"run01", 120, 144}, {"run02", 120, 144}, {"wait01", 120, 144}};
    if (player) {
        for (int i = 4; i <= 11; ++i) v.push_back({nullptr, 120, 144});
        v.push_back({"cam01", 120, 144});
        v.push_back({"cam02", 120, 144});
        v.push_back({"cm", 48, 48});
        v.push_back({"camfla", 128, 128});
    } else {
        for (const char *n : {"guard01", "guard02", "back01", "back02", "back03", "back04",
                              "normal01", "normal02", "normal03", "normal04"})
            v.push_back({n, 120, 144});
        for (int i = 14; i <= 21; ++i) v.push_back({nullptr, 120, 144});
    }
    return v;
}

std::vector<std::string> actor_names(bool player) {
    std::vector<std::string> names;
    int k = player ? 4 : 14;
    for (const Want &w : actor_crops(player))
        names.push_back(w.name ? w.name : two(player ? "ppose" : "pose", k++));
    return names;
}

std::string g_root; // holds bin/ with the generated set

std::vector<uint8_t> read_all(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                                std::istreambuf_iterator<char>());
}

bool is_pow2(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// PNG width and height from its header.
bool png_size(const std::string &path, int *w, int *h) {
    std::vector<uint8_t> b = read_all(path);
    if (b.size() < 24 || b[1] != 'P' || b[2] != 'N' || b[3] != 'G') return false;
    *w = b[16] << 24 | b[17] << 16 | b[18] << 8 | b[19];
    *h = b[20] << 24 | b[21] << 16 | b[22] << 8 | b[23];
    return true;
}

class DataSet : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        g_root = test_temp_folder("datagen");
        ASSERT_FALSE(g_root.empty());
        g_root += '/';
        std::string error;
        ASSERT_TRUE(datagen_generate(g_root + "bin", &error)) << error;
    }
    static std::string bin(const std::string &name) { return g_root + "bin/" + name; }
};

TEST_F(DataSet, EveryFileTheGameOpensExists) {
    std::vector<std::string> files = {"tex.lst", "face.bin", "faceg.bin", "face_NRM.bin",
                                      "player.bin"};
    for (int i = 0; i < 10; ++i) files.push_back(two("chr", i, ".bin"));
    for (const auto *names : {&SLOT_SOUNDS, &VOICES, &MUSIC})
        for (const std::string &s : *names) files.push_back(s + ".wav");
    for (const std::string &f : files) {
        struct stat st;
        EXPECT_EQ(stat(bin(f).c_str(), &st), 0) << f;
        EXPECT_GT(st.st_size, 0) << f;
    }
    // No save file: a fresh start.
    EXPECT_NE(access(bin("sav.bin").c_str(), F_OK), 0);
}

TEST_F(DataSet, TextureListNamesItsImagesAndCrops) {
    FILE *f = std::fopen(bin("tex.lst").c_str(), "r");
    ASSERT_NE(f, nullptr);
    TexCategory *list = nullptr;
    texlist_parse(f, &list);
    std::fclose(f);

    std::map<std::string, std::set<std::string>> want = {
        {"t", {"t", "s1", "s2"}},
        {"bg", {"bg01", "hardle", "nodata", "wall01t", "wall01b", "shadow"}},
        {"moji",
         {"sel", "if", "metor", "n3", "n2", "n1", "ng", "go", "moji_big", "moji_cry1", "moji_cry2",
          "moji_cry3", "moji_cry4", "moji_cry5", "moji_cry6", "moji_cry7"}},
    };
    for (int i = 0; i < 10; ++i) want[two("cgchr", i, "p1")] = {two("cgchr", i, "p1")};
    EXPECT_EQ(texlist_count(list), static_cast<int>(want.size()));

    for (auto &[name, crops] : want) {
        TexCategory *cat = texlist_find_category(list, name.c_str());
        ASSERT_NE(cat, nullptr) << name;
        std::set<std::string> got;
        for (int i = 0; i < texlist_crop_count(cat); ++i) {
            TexCrop *c = texlist_crop_at(cat, i);
            got.insert(c->name);
            // Inside its image, with a non-empty extent.
            EXPECT_GE(c->u0, 0.0f) << c->name;
            EXPECT_GE(c->v0, 0.0f) << c->name;
            EXPECT_GT(c->u_size, 0.0f) << c->name;
            EXPECT_LE(c->u0 + c->u_size, 1.0f) << c->name;
            EXPECT_LE(c->v0 + c->v_size, 1.0f) << c->name;
        }
        EXPECT_EQ(got, crops) << name;
        for (int i = 0; i < texlist_texture_count(cat); ++i) {
            int w = 0, h = 0;
            const char *file = texlist_texture_at(cat, i)->name;
            ASSERT_TRUE(png_size(bin(file), &w, &h)) << file;
            EXPECT_TRUE(is_pow2(w) && is_pow2(h)) << file << " " << w << "x" << h;
        }
    }
    // The screens fill 800 x 600 of a 1024 x 1024 image.
    TexCrop *title = texlist_crop_at(texlist_find_category(list, "t"), 0);
    EXPECT_FLOAT_EQ(title->u_size * 1024, 800.0f);
    EXPECT_FLOAT_EQ(title->v_size * 1024, 600.0f);
    texlist_free(list);
}

TEST_F(DataSet, SlotSoundsAreMonoAndMusicLoopsWithoutAClick) {
    for (const std::string &s : SLOT_SOUNDS) {
        SndlWave w{};
        ASSERT_EQ(sndl_wave_read(&w, bin(s + ".wav").c_str()), SNDL_WAVE_OK) << s;
        EXPECT_TRUE(sndl_wave_is_playable(&w.format)) << s;
        EXPECT_EQ(w.format.channels, 1) << s; // played as 3D buffers
        EXPECT_EQ(w.format.bits_per_sample, 16) << s;
        double seconds = double(w.data_bytes) / w.format.avg_bytes_per_sec;
        EXPECT_GE(seconds, 0.15) << s;
        sndl_wave_free(&w);
    }
    for (const std::string &s : MUSIC) {
        SndlWave w{};
        ASSERT_EQ(sndl_wave_read(&w, bin(s + ".wav").c_str()), SNDL_WAVE_OK) << s;
        EXPECT_EQ(w.format.channels, 2) << s;
        EXPECT_EQ(w.format.bits_per_sample, 16) << s;
        double seconds = double(w.data_bytes) / w.format.avg_bytes_per_sec;
        EXPECT_GE(seconds, 2.0) << s;
        const int16_t *pcm = reinterpret_cast<const int16_t *>(w.bytes + w.data_offset);
        size_t frames = w.data_bytes / 4;
        for (int ch = 0; ch < 2; ++ch) {
            // The step from the last frame back to the first is no bigger than the steps
            // inside the loop: no click at the seam.
            int biggest = 0, peak = 0;
            for (size_t i = 1; i < frames; ++i) {
                biggest = std::max(biggest, std::abs(pcm[2 * i + ch] - pcm[2 * (i - 1) + ch]));
                peak = std::max(peak, std::abs(int(pcm[2 * i + ch])));
            }
            int seam = std::abs(pcm[ch] - pcm[2 * (frames - 1) + ch]);
            EXPECT_LE(seam, biggest) << s;
            EXPECT_GT(peak, 8000) << s << ": audible";
        }
        sndl_wave_free(&w);
    }
    // Each slot sounds different: no two files alike.
    std::set<std::vector<uint8_t>> distinct;
    for (const std::string &s : SLOT_SOUNDS) distinct.insert(read_all(bin(s + ".wav")));
    EXPECT_EQ(distinct.size(), SLOT_SOUNDS.size());
}

// Reads a stage map as the game does: columns, rows, then one cell per character at or above
// '0', the rest of each line skipped.
bool read_stage(const std::string &path, int *cols, int *rows, std::vector<std::string> *cells) {
    std::ifstream f(path);
    if (!(f >> *cols >> *rows)) return false;
    std::string line;
    std::getline(f, line);
    for (int r = 0; r < *rows && std::getline(f, line); ++r) {
        std::string row;
        for (char c : line)
            if (c >= '0') row += c;
        cells->push_back(row);
    }
    return true;
}

TEST(StageMaps, TenMapsWithLanesHurdlesAndBlockedCells) {
    for (int s = 1; s <= 10; ++s) {
        std::string path = std::string(TAVOK_SOURCE_DIR) + "/data/" + two("stg", s, ".txt");
        int cols = 0, rows = 0;
        std::vector<std::string> cells;
        ASSERT_TRUE(read_stage(path, &cols, &rows, &cells)) << path;
        EXPECT_GE(cols, 40) << path;
        EXPECT_LE(cols, 1025) << path;
        EXPECT_GE(rows, 8) << path;
        EXPECT_LE(rows, 10) << path;
        ASSERT_EQ(static_cast<int>(cells.size()), rows) << path;
        int hurdles = 0, blocks = 0;
        for (int r = 0; r < rows; ++r) {
            ASSERT_GE(static_cast<int>(cells[r].size()), cols) << path << " row " << r;
            for (int c = 0; c < cols; ++c) {
                char v = cells[r][c];
                // Only tiles that are drawn: '0'-'9', 'A' and 'B'.
                EXPECT_TRUE((v >= '0' && v <= '9') || v == 'A' || v == 'B') << path;
                if (r >= 2) hurdles += v == '1';
                if (r >= 2) blocks += v == 'B';
            }
        }
        EXPECT_GE(hurdles, 5) << path;
        EXPECT_GE(blocks, 1) << path;
        // The lanes (rows 2 and down) never close every row of a column.
        for (int c = 0; c < cols; ++c) {
            bool open = false;
            for (int r = 2; r < rows; ++r) open |= cells[r][c] == '0';
            EXPECT_TRUE(open) << path << " column " << c;
        }
        // The start is clear for both actors.
        for (int r = 2; r < rows; ++r) EXPECT_EQ(cells[r].substr(0, 8), "00000000") << path;
    }
}

// Actors stand on row 141 of their 144-row crops and never touch the crop's sides.
TEST(ActorCrops, FeetOnTheAnchorRowAndNothingCutOff) {
    std::vector<ImageGroup> groups = datagen_image_groups();
    int checked = 0;
    for (const ImageGroup &g : groups) {
        if (g.name != "player" && g.name.rfind("chr", 0) != 0) continue;
        const Sheet &s = g.sheets.at(0);
        for (const SheetCrop &c : s.crops) {
            if (c.h != 144) continue;
            int lowest = -1;
            bool side_touched = false;
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x) {
                    float a =
                        s.canvas.px[(static_cast<size_t>(c.y + y) * s.canvas.w + c.x + x) * 4 + 3];
                    if (a < 0.5f) continue;
                    lowest = y;
                    if (x == 0 || x == c.w - 1 || y == 0) side_touched = true;
                }
            EXPECT_FALSE(side_touched) << g.name << "/" << c.name;
            EXPECT_LE(lowest, 141) << g.name << "/" << c.name;
            // Hops lift the feet a little; every other pose stands on the row.
            EXPECT_GE(lowest, 128) << g.name << "/" << c.name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 13 + 10 * 21);
}

TEST_F(DataSet, SecondRunWritesTheSameBytes) {
    std::string again = g_root + "again";
    std::string error;
    ASSERT_TRUE(datagen_generate(again, &error)) << error;
    int files = 0;
    for (const char *name : {"tex.lst", "t_title.png", "moji.png", "chr04.bin", "player.bin",
                             "face.bin", "music0.wav", "zq3_car003.wav", "cgchr09p1.png"}) {
        std::vector<uint8_t> a = read_all(bin(name)), b = read_all(again + "/" + name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name;
        ++files;
    }
    EXPECT_EQ(files, 9);
}

// Loading through the data loader needs the drawing device.
class DataSetLoad : public DataSet {
  protected:
    char old_cwd[PATH_MAX] = {};

    void SetUp() override {
        ASSERT_TRUE(test_render_device("datagen test", 64, 64));
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        ASSERT_EQ(chdir(g_root.c_str()), 0); // the default folders are bin/ here
        res_init(nullptr);                   // the program's pool sizes
        loader_init();
    }
    void TearDown() override {
        loader_shutdown();
        EXPECT_EQ(chdir(old_cwd), 0);
    }

    static void load(const char *name) {
        // As the game does: the "_NRM" companion first when its data file exists.
        if (loader_file_exists((std::string(name) + "_NRM").c_str())) {
            ASSERT_TRUE(loader_enqueue((std::string(name) + "_NRM").c_str(), 0));
        }
        ASSERT_TRUE(loader_enqueue(name, 0));
    }
    static void run_loader() {
        int guard = 0;
        while (loader_step() == 1 && ++guard < 100000) {
        }
        EXPECT_LT(guard, 100000);
    }
    static void expect_crop(const std::string &group, const char *name, int w, int h) {
        const CropRecord *c = res_get_crop(res_find_crop(group.c_str(), name));
        ASSERT_NE(c, nullptr) << group << "/" << name;
        const TextureHandle *t = res_get_texture(c->texture);
        ASSERT_NE(t, nullptr) << group << "/" << name;
        // Power-of-two images are used as they are: the texture is the image's own size.
        EXPECT_EQ(t->width, t->image_width) << group << "/" << name;
        EXPECT_EQ(t->height, t->image_height) << group << "/" << name;
        EXPECT_NEAR(c->u_size * t->width, w, 0.01) << group << "/" << name;
        EXPECT_NEAR(c->v_size * t->height, h, 0.01) << group << "/" << name;
    }
};

TEST_F(DataSetLoad, GroupsLoadIntoTheProgramsPoolsWithEveryCrop) {
    // Both loader paths: texture-list categories and tagged data files.
    EXPECT_EQ(loader_category_count(), 13);
    EXPECT_EQ(loader_file_exists("face_NRM"), 1);
    EXPECT_EQ(loader_file_exists("player_NRM"), 0);

    for (const char *g : {"t", "bg", "face", "faceg", "moji", "player"}) load(g);
    run_loader();
    EXPECT_NE(res_find_group("face_NRM"), 0u);
    EXPECT_NE(res_find_texture("face_NRM", "face_normal"), 0u);

    for (const char *n : {"t", "s1", "s2"}) expect_crop("t", n, 800, 600);
    for (const char *n : {"bg01", "hardle", "nodata", "wall01t", "wall01b"})
        expect_crop("bg", n, 64, 64);
    expect_crop("bg", "shadow", 64, 24);
    for (int i = 0; i < 10; ++i) {
        expect_crop("face", two("chr", i).c_str(), 64, 64);
        expect_crop("faceg", two("chr", i).c_str(), 64, 64);
    }
    expect_crop("moji", "metor", 800, 88);
    for (const char *n :
         {"sel", "if", "go", "moji_big", "n3", "n2", "n1", "ng", "moji_cry1", "moji_cry7"})
        EXPECT_NE(res_find_crop("moji", n), 0u) << n;
    std::vector<Want> player = actor_crops(true);
    std::vector<std::string> player_names = actor_names(true);
    for (size_t i = 0; i < player.size(); ++i)
        expect_crop("player", player_names[i].c_str(), player[i].w, player[i].h);

    // One chase and one picture at a time, released to a mark as the game does.
    std::vector<std::string> target_names = actor_names(false);
    for (int i = 0; i < 10; ++i) {
        ResourceMark mark;
        res_mark(&mark);
        std::string chr = two("chr", i), pic = two("cgchr", i, "p1");
        load(chr.c_str());
        load(pic.c_str());
        run_loader();
        for (const std::string &n : target_names) expect_crop(chr, n.c_str(), 120, 144);
        expect_crop(pic, pic.c_str(), 512, 512);
        res_release_to_mark(&mark);
        EXPECT_EQ(res_find_group(chr.c_str()), 0u);
    }
}

} // namespace
