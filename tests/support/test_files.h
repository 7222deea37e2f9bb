// Scratch folders and whole-file reads and writes for tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A fresh, empty folder in the system's temporary folder, its name starting with `tag`; removed
// with everything in it when the test program ends. No trailing slash; empty on failure.
std::string test_temp_folder(const char *tag);

// Writes the whole file; false when it cannot be written.
bool test_write_file(const std::string &path, const std::vector<uint8_t> &bytes);
bool test_write_file(const std::string &path, const std::string &text);

// The whole file as bytes; empty when it cannot be read.
std::string test_read_file(const std::string &path);
