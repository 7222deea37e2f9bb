// Shared by the resource tests: pool start-up with test sizes, a file writer that fails the test,
// and the test image pattern. The window, device and scratch folders come from tests/support.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "resource/res_pools.h"

// The hidden window and the drawing device, made once (the device start-up also starts the pools).
bool res_test_device(void);

// Restarts the pools: the program's sizes, or larger 3D pools for the 3D paths.
void res_test_start_pools(bool large_3d = false);

// Writes the whole file; a file that cannot be written fails the running test.
void res_test_write(const std::string &path, const std::string &text);
void res_test_write(const std::string &path, const std::vector<uint8_t> &bytes);

// A w x h PNG image whose pixel (x, y) has R = x * 7, G = y * 5, B = x ^ y, A = 255 (all mod
// 256), and one of its pixels as ARGB.
std::vector<uint8_t> res_test_pattern_png(int width, int height);
uint32_t res_test_pattern_argb(int x, int y);
