// The key that scrambles tag words, texture image bytes and crop names in tagged data files.
// The loader and the packer build it from the same four-character text.
#pragma once
#include <cstdint>

// Its third character gives the low key byte that scrambles crop names; it is a character no
// resource name uses, so a scrambled name never holds a zero byte.
constexpr char DATA_KEY_TEXT[5] = "Tk`v";

// Each character is taken as a signed byte (sign-extended) and the four are combined as
// char 1 << 24 | char 3 << 16 | char 0 << 8 | char 2.
inline uint32_t data_key_from_text(const char *text) {
    int32_t c0 = static_cast<int8_t>(text[0]);
    int32_t c1 = static_cast<int8_t>(text[1]);
    int32_t c2 = static_cast<int8_t>(text[2]);
    int32_t c3 = static_cast<int8_t>(text[3]);
    return static_cast<uint32_t>(c1) << 24 | static_cast<uint32_t>(c3) << 16 |
           static_cast<uint32_t>(c0) << 8 | static_cast<uint32_t>(c2);
}

inline uint32_t data_key(void) {
    return data_key_from_text(DATA_KEY_TEXT);
}

// Texture image bytes: a running value starts at the key; per byte it grows by the key flag
// (1 when the key is not 0) and the byte is XORed with its low 8 bits. The same call scrambles
// and un-scrambles.
inline void data_key_scramble_image(uint8_t *bytes, uint32_t count, uint32_t key) {
    uint32_t flag = key != 0 ? 1u : 0u;
    uint32_t running = key;
    for (uint32_t i = 0; i < count; ++i) {
        running += flag;
        bytes[i] ^= static_cast<uint8_t>(running & 0xFF);
    }
}
