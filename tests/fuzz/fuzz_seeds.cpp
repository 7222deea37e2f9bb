// Writes a fuzz target's seed inputs: the generated sample data of the run folder where the
// target reads such files, small files made here where it has none, and damaged copies of each
// made by the suite's damage helper.
// Usage: fuzz_seeds <target> <run folder's bin> <output folder>
#include <cstdio>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "app/settings.h"
#include "tests/image/image_test_util.h"
#include "tests/movie/movie_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/test_fuzz.h"

using Bytes = FuzzBytes;

static Bytes bytes_of(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

// Files of the folder whose names end in `suffix`, at most `limit` bytes each.
static std::vector<Bytes> sample_files(const std::string &folder, const char *suffix,
                                       size_t limit) {
    std::vector<Bytes> out;
    DIR *d = opendir(folder.c_str());
    if (!d) return out;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        size_t n = strlen(suffix);
        if (name.size() < n || name.compare(name.size() - n, n, suffix) != 0) continue;
        std::string text = test_read_file(folder + "/" + name);
        if (!text.empty() && text.size() <= limit) out.push_back(bytes_of(text));
    }
    closedir(d);
    return out;
}

// Each chunk of the sample data files as a file of its own (header and body), so that every
// chunk kind the data set holds seeds the loader in a small input.
static std::vector<Bytes> sample_chunks(const std::string &folder) {
    std::vector<Bytes> out;
    for (const Bytes &file : sample_files(folder, ".bin", 1u << 30)) {
        size_t at = 0;
        while (at + 12 <= file.size()) {
            uint32_t size = fuzz_get_field(file, {at + 8, 4, false});
            if (size > file.size() - at - 12) break;
            if (size <= 16384) out.emplace_back(file.begin() + at, file.begin() + at + 12 + size);
            at += 12 + size;
        }
    }
    return out;
}

static Bytes bmp_file(int w, int h, int bpp) {
    int stride = (w * bpp / 8 + 3) & ~3;
    uint32_t palette = bpp <= 8 ? (4u << bpp) : 0;
    Bytes f(54 + palette + size_t(stride) * h, 0x5A);
    f[0] = 'B', f[1] = 'M';
    test_put32(f, 2, uint32_t(f.size()));
    test_put32(f, 10, 54 + palette);
    test_put32(f, 14, 40);
    test_put32(f, 18, uint32_t(w)), test_put32(f, 22, uint32_t(h));
    test_put16(f, 26, 1), test_put16(f, 28, uint32_t(bpp));
    test_put32(f, 30, 0);
    test_put32(f, 46, bpp <= 8 ? (1u << bpp) : 0);
    return f;
}

static std::vector<Bytes> made_samples(const std::string &target) {
    std::vector<Bytes> out;
    if (target == "config") {
        out.push_back(bytes_of("# window and region\nWINDOW 1\nREGION 0\nTEXP .\\bin\\\n"));
        out.push_back(bytes_of("KEY -12\nLANG 1 # comment\r\nDATA0 .\\bin\\\x1a"));
    } else if (target == "settings") {
        // What the store itself writes for the program's key table.
        settings_load_files("seed", settings_get_region_table(), settings_get_region_row_count());
        settings_set_string("name", "two words");
        settings_set_float("gain", 0.5f);
        settings_save_files();
        settings_free_all();
        out.push_back(bytes_of(test_read_file("seed0.CFG")));
    } else if (target == "save") {
        for (uint32_t open : {0u, 5u, 10u, 11u}) {
            Bytes b(24, 0);
            fuzz_put_field(b, {0, 4, false}, open);
            fuzz_put_field(b, {4, 4, false}, 3);
            fuzz_put_field(b, {20, 4, false}, app_crc32(b.data(), 20));
            out.push_back(b);
        }
    } else if (target == "png") {
        std::vector<uint8_t> px(4 * 4 * 4);
        for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 37);
        for (int c = 1; c <= 4; ++c) out.push_back(test_encode_png_pixels(4, 4, c, px));
    } else if (target == "jpeg") {
        std::vector<uint8_t> px(16 * 8 * 3);
        for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 13);
        out.push_back(test_encode_jpeg(px.data(), 16, 8, 3, 80));
        out.push_back(test_encode_jpeg(px.data(), 16, 8, 1, 50, true));
    } else if (target == "bmp") {
        for (int bpp : {1, 4, 8, 24, 32}) out.push_back(bmp_file(5, 3, bpp));
    } else if (target == "avi") {
        const auto paint = [](int index, uint8_t *pixels, int pitch) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 3 * 8; ++x) pixels[y * pitch + x] = uint8_t(index * 50 + x * y);
        };
        if (movie_write_avi("a.avi", 8, 4, 3, 10, paint))
            out.push_back(bytes_of(test_read_file("a.avi")));
        if (movie_write_avi("b.avi", 4, 2, 2, 30, paint, 1001))
            out.push_back(bytes_of(test_read_file("b.avi")));
    } else if (target == "dds") {
        const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
        out.push_back(
            test_dds_file(8, 8, 4, 4, 0x31545844, 0, nullptr, Bytes(8 * 4 + 8 * 3, 0x6C)));
        out.push_back(test_dds_file(4, 4, 0, 4, 0x35545844, 0, nullptr, Bytes(16, 0x93)));
        out.push_back(test_dds_file(4, 4, 0, 4, 0x33545844, 0, nullptr, Bytes(16, 0x39)));
        out.push_back(test_dds_file(2, 2, 2, 0x41, 0, 32, argb, Bytes(16 + 4, 0xC4)));
    }
    return out;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: fuzz_seeds <target> <run folder's bin> <output folder>\n");
        return 2;
    }
    // Whole paths: the settings store writes its files in a scratch folder made current.
    char bin_path[PATH_MAX], out_path[PATH_MAX];
    if (!realpath(argv[2], bin_path) || !realpath(argv[3], out_path)) {
        fprintf(stderr, "fuzz_seeds: no folder %s or %s\n", argv[2], argv[3]);
        return 1;
    }
    const std::string target = argv[1], bin = bin_path, here = out_path;
    std::string scratch = test_temp_folder("seeds");
    if (scratch.empty() || chdir(scratch.c_str()) != 0) return 1;

    std::vector<Bytes> good = made_samples(target);
    auto add = [&](std::vector<Bytes> more) { good.insert(good.end(), more.begin(), more.end()); };
    if (target == "stage") add(sample_files(bin, ".txt", 65536));
    if (target == "texlist") add(sample_files(bin, ".lst", 65536));
    if (target == "datafile") add(sample_chunks(bin));
    if (target == "wav") add(sample_files(bin, ".wav", 65536));
    if (good.empty()) {
        fprintf(stderr, "fuzz_seeds: no samples for %s\n", target.c_str());
        return 1;
    }
    // Damaged copies aim at the header words half of the time.
    FuzzRng rng{20261207};
    int n = 0;
    auto write = [&](const Bytes &b) {
        char name[32];
        snprintf(name, sizeof name, "/seed-%04d", n++);
        return test_write_file(here + name, b);
    };
    for (const Bytes &g : good) {
        std::vector<FuzzField> fields;
        for (size_t at = 0; at + 4 <= g.size() && at < 64; at += 4)
            fields.push_back({at, 4, false});
        if (!write(g)) return 1;
        for (int i = 0; i < 8; ++i)
            if (!write(fuzz_damage(g, fields, rng))) return 1;
    }
    printf("%d seeds for %s\n", n, target.c_str());
    return 0;
}
