// The sample data set: images grouped as the game loads them, the texture list, tagged data
// files, and the sound files, all drawn or synthesised here, deterministically.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/datagen/canvas.h"

struct SheetCrop {
    std::string name;
    int x, y, w, h; // pixels on the sheet
};

// One texture image with its crops.
struct Sheet {
    std::string texture; // image file name, e.g. "moji.png"
    Canvas canvas;
    std::vector<SheetCrop> crops;
};

// A texture group: a texture-list category of loose PNG files, or a tagged data file.
struct ImageGroup {
    std::string name;
    bool packed; // true: "<name>.bin" with "TTTT" and "CCCC" chunks
    std::vector<Sheet> sheets;
};

// Every image group the game loads (plus the "_NRM" companion of "face").
std::vector<ImageGroup> datagen_image_groups(void);

// 16-bit PCM sound.
struct Wave {
    std::string name; // file name without extension
    int channels;
    int rate;
    std::vector<int16_t> samples; // interleaved
};

std::vector<Wave> datagen_waves(void);
std::vector<uint8_t> datagen_wav_bytes(const Wave &wave);

// Writes the whole set into `folder` (created when missing; a trailing '/' is optional).
// False with *error set when something cannot be written.
bool datagen_generate(const std::string &folder, std::string *error);
