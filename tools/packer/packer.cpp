// Tagged data file writer shared by the packer tool and the tests.
#include "tools/packer/packer.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "resource/chunks.h"
#include "resource/data_key.h"

void pack_put_u32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void pack_set_u32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void pack_put_f32(std::vector<uint8_t> &out, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    pack_put_u32(out, v);
}

void pack_align4(std::vector<uint8_t> &out) {
    while (out.size() % 4) out.push_back(0);
}

uint32_t pack_put_text(std::vector<uint8_t> &out, const std::string &text) {
    uint32_t at = static_cast<uint32_t>(out.size());
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    pack_align4(out);
    return at;
}

uint32_t pack_expected_version(uint32_t tag) {
    // Models and motions are at version 2, every other kind at version 1.
    return (tag == CHUNK_TAG_MODELS || tag == CHUNK_TAG_MOTION) ? 0x02000000u : 0x01000000u;
}

uint32_t pack_tag_of(const char *four) {
    uint32_t v = 0;
    for (int i = 0; i < 4 && four[i]; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(four[i])) << (8 * i);
    return v;
}

void pack_append_chunk(std::vector<uint8_t> &out, uint32_t tag, uint32_t version,
                       const std::vector<uint8_t> &body) {
    pack_put_u32(out, tag ^ data_key());
    pack_put_u32(out, version);
    pack_put_u32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> pack_texture_body(const std::string &image_name,
                                       const std::vector<uint8_t> &image_bytes) {
    size_t name_bytes = (image_name.size() + 1 + 3) & ~static_cast<size_t>(3);
    uint32_t image_offset = static_cast<uint32_t>(12 + name_bytes);
    std::vector<uint8_t> body;
    body.reserve(image_offset + image_bytes.size());
    pack_put_u32(body, 12);
    pack_put_u32(body, image_offset);
    pack_put_u32(body, static_cast<uint32_t>(image_bytes.size()));
    for (char c : image_name) body.push_back(static_cast<uint8_t>(c));
    while (body.size() < image_offset) body.push_back(0);
    for (uint8_t b : image_bytes) body.push_back(b);
    data_key_scramble_image(body.data() + image_offset, static_cast<uint32_t>(image_bytes.size()),
                            data_key());
    return body;
}

bool pack_crop_body(const std::vector<PackCrop> &crops, std::vector<uint8_t> *body,
                    std::string *error) {
    uint8_t k = static_cast<uint8_t>(data_key() & 0xFF);
    std::vector<uint8_t> &b = *body;
    b.clear();
    pack_put_u32(b, static_cast<uint32_t>(crops.size()));
    size_t entries = b.size();
    b.resize(entries + crops.size() * CHUNK_CROP_ENTRY_SIZE, 0);
    auto put_text = [&](const std::string &text) -> bool {
        if (k != 0 && text.find(static_cast<char>(k)) != std::string::npos) {
            if (error)
                *error = "name \"" + text + "\" holds the character '" +
                         std::string(1, static_cast<char>(k)) + "', which cannot be stored";
            return false;
        }
        for (char c : text) b.push_back(static_cast<uint8_t>(c) ^ k);
        b.push_back(0);
        return true;
    };
    for (size_t i = 0; i < crops.size(); ++i) {
        const PackCrop &c = crops[i];
        size_t e = entries + i * CHUNK_CROP_ENTRY_SIZE;
        pack_set_u32(b, e, static_cast<uint32_t>(b.size()));
        if (!put_text(c.name)) return false;
        pack_set_u32(b, e + 4, static_cast<uint32_t>(b.size()));
        if (!put_text(c.texture_name)) return false;
        std::vector<uint8_t> coords;
        pack_put_f32(coords, c.u0);
        pack_put_f32(coords, c.v0);
        pack_put_f32(coords, c.u_size);
        pack_put_f32(coords, c.v_size);
        std::memcpy(&b[e + 16], coords.data(), 16);
    }
    pack_align4(b);
    return true;
}

bool pack_parse_lines(const std::string &text, const char *expected, std::string *error,
                      const std::function<bool(std::istream &)> &take) {
    std::istringstream in(text);
    std::string line;
    int line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue; // empty line
        std::istringstream fields(line);
        if (!take(fields)) {
            if (error)
                *error = "line " + std::to_string(line_no) + ": expected \"" + expected + "\"";
            return false;
        }
    }
    return true;
}

bool pack_parse_crop_list(const std::string &text, std::vector<PackCrop> *crops,
                          std::string *error) {
    return pack_parse_lines(
        text, "name texture u0 v0 u_size v_size", error, [&](std::istream &fields) {
            PackCrop c{};
            if (!(fields >> c.name >> c.texture_name >> c.u0 >> c.v0 >> c.u_size >> c.v_size))
                return false;
            crops->push_back(c);
            return true;
        });
}

bool pack_read_file(const std::string &path, std::vector<uint8_t> *out) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool pack_write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}
