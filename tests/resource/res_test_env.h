// Shared by the resource tests: one hidden window and drawing device for the whole program,
// pool start-up with test sizes, a scratch folder, and small file writers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "resource/res_pools.h"

// Creates the window and the device once (the device start-up also starts the pools).
bool res_test_device(void);

// Restarts the pools: the program's sizes, or larger 3D pools for the 3D paths.
void res_test_start_pools(bool large_3d = false);

// A fresh, empty scratch folder for the running test; ends with '/'.
std::string res_test_folder(void);

void res_test_write(const std::string &path, const std::string &text);
void res_test_write(const std::string &path, const std::vector<uint8_t> &bytes);

// RGBA pixels (4 bytes each) encoded as a PNG file in memory.
std::vector<uint8_t> res_test_png(int width, int height, const std::vector<uint8_t> &rgba);
// A w x h image whose pixel (x, y) has R = x * 7, G = y * 5, B = x ^ y, A = 255 (all mod 256).
std::vector<uint8_t> res_test_pattern(int width, int height);
uint32_t res_test_pattern_argb(int x, int y);
