// Writes the data set: loose PNG files with "tex.lst" for the texture-list groups, tagged data
// files for the others, and the WAV files.
#include "tools/datagen/datagen.h"

#include <filesystem>
#include <future>
#include <string>

#include "tools/datagen/sample3d.h"
#include "tools/packer/packer.h"

namespace {

bool write(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error) {
    if (pack_write_file(path, bytes)) return true;
    if (error) *error = "cannot write " + path;
    return false;
}

// "TTTT" per sheet, then one "CCCC" with every crop (in texture coordinates of its sheet).
bool packed_file(const ImageGroup &g, const std::vector<std::vector<uint8_t>> &pngs,
                 std::vector<uint8_t> *out, std::string *error) {
    const uint32_t tex_tag = pack_tag_of("TTTT"), crop_tag = pack_tag_of("CCCC");
    std::vector<PackCrop> crops;
    for (size_t i = 0; i < g.sheets.size(); ++i) {
        const Sheet &s = g.sheets[i];
        pack_append_chunk(*out, tex_tag, pack_expected_version(tex_tag),
                          pack_texture_body(s.texture, pngs[i]));
        float w = static_cast<float>(s.canvas.w), h = static_cast<float>(s.canvas.h);
        for (const SheetCrop &c : s.crops)
            crops.push_back({c.name, s.texture, c.x / w, c.y / h, c.w / w, c.h / h});
    }
    if (crops.empty()) return true;
    std::vector<uint8_t> body;
    if (!pack_crop_body(crops, &body, error)) return false;
    pack_append_chunk(*out, crop_tag, pack_expected_version(crop_tag), body);
    return true;
}

} // namespace

bool datagen_generate(const std::string &folder_in, std::string *error) {
    std::string folder = folder_in;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        if (error) *error = "cannot make " + folder + ": " + ec.message();
        return false;
    }
    if (!cv_text_ready()) {
        if (error) *error = "no outline font is installed";
        return false;
    }

    // Sounds are independent of the pictures: make them on a second thread.
    auto waves = std::async(std::launch::async, datagen_waves);
    std::vector<ImageGroup> groups = datagen_image_groups();

    // Encode every sheet; the encodings are independent, so spread them over threads.
    std::vector<std::vector<std::future<std::vector<uint8_t>>>> encoded(groups.size());
    for (size_t g = 0; g < groups.size(); ++g)
        for (const Sheet &s : groups[g].sheets)
            encoded[g].push_back(std::async(std::launch::async, [&s] { return cv_png(s.canvas); }));

    std::string tex_list = "# Texture-list groups: loose images and their crops in pixels.\n";
    for (size_t g = 0; g < groups.size(); ++g) {
        const ImageGroup &grp = groups[g];
        std::vector<std::vector<uint8_t>> pngs;
        for (auto &f : encoded[g]) {
            pngs.push_back(f.get());
            if (pngs.back().empty()) {
                if (error) *error = "cannot encode an image of " + grp.name;
                return false;
            }
        }
        if (grp.packed) {
            std::vector<uint8_t> file;
            if (!packed_file(grp, pngs, &file, error)) return false;
            if (!write(folder + grp.name + ".bin", file, error)) return false;
            continue;
        }
        tex_list += "\ncat " + grp.name + "\n";
        for (size_t i = 0; i < grp.sheets.size(); ++i) {
            const Sheet &s = grp.sheets[i];
            if (!write(folder + s.texture, pngs[i], error)) return false;
            tex_list += "tex " + s.texture + "\nsize " + std::to_string(s.canvas.w) + " " +
                        std::to_string(s.canvas.h) + "\n";
            for (const SheetCrop &c : s.crops)
                tex_list += "crop " + std::to_string(c.x) + " " + std::to_string(c.y) + " " +
                            std::to_string(c.w) + " " + std::to_string(c.h) + " " + c.name + "\n";
        }
    }
    if (!write(folder + "tex.lst", std::vector<uint8_t>(tex_list.begin(), tex_list.end()), error))
        return false;

    // The 3D sample set sits beside the game's data; no game scene loads it.
    if (!datagen_write_3d(folder, error)) return false;

    for (const Wave &w : waves.get())
        if (!write(folder + w.name + ".wav", datagen_wav_bytes(w), error)) return false;
    return true;
}
