// Writing tagged data files: chunk headers with the scrambled tag, "TTTT" bodies from image
// files, "CCCC" bodies from crop lists, and raw bodies for the other tags. The builders of the
// 3D kinds have files of their own beside this one.
#pragma once
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

struct PackCrop {
    std::string name;
    std::string texture_name;
    float u0, v0, u_size, v_size;
};

// Little-endian words and floats, 4-byte padding, and NUL-terminated texts padded to 4 bytes
// (the result is the text's offset).
void pack_put_u32(std::vector<uint8_t> &out, uint32_t v);
void pack_set_u32(std::vector<uint8_t> &out, size_t at, uint32_t v);
void pack_put_f32(std::vector<uint8_t> &out, float f);
void pack_align4(std::vector<uint8_t> &out);
uint32_t pack_put_text(std::vector<uint8_t> &out, const std::string &text);

// The version the loader expects for a tag (0x01000000 for an unknown tag).
uint32_t pack_expected_version(uint32_t tag);
// Tag value from its four characters in file order ("TTTT" -> 0x54545454).
uint32_t pack_tag_of(const char *four);

// Appends a 12-byte header {tag ^ key, version, size} and the body.
void pack_append_chunk(std::vector<uint8_t> &out, uint32_t tag, uint32_t version,
                       const std::vector<uint8_t> &body);

// "TTTT" body {name offset, image offset, image size, name, image bytes scrambled}.
std::vector<uint8_t> pack_texture_body(const std::string &image_name,
                                       const std::vector<uint8_t> &image_bytes);
// "CCCC" body with the texts scrambled. False (and *error set) when a text holds the key's
// scrambling byte, which would cut it short when loaded.
bool pack_crop_body(const std::vector<PackCrop> &crops, std::vector<uint8_t> *body,
                    std::string *error);
// Calls `take` with each line that holds anything once '#' comments are cut; when it fails,
// false with *error "line N: expected \"<expected>\"".
bool pack_parse_lines(const std::string &text, const char *expected, std::string *error,
                      const std::function<bool(std::istream &)> &take);
// Parses a crop list: one crop a line, "name texture u0 v0 u_size v_size", '#' comments.
bool pack_parse_crop_list(const std::string &text, std::vector<PackCrop> *crops,
                          std::string *error);

bool pack_read_file(const std::string &path, std::vector<uint8_t> *out);
bool pack_write_file(const std::string &path, const std::vector<uint8_t> &bytes);
