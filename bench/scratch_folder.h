// A scratch folder for a benchmark's generated data, under the system temporary folder and
// removed with everything in it when the program ends (a return from main or exit, whatever the
// status), so runs leave nothing behind.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

inline std::string bench_scratch_path;

inline void bench_scratch_remove(void) {
    if (bench_scratch_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(bench_scratch_path, ec);
    bench_scratch_path.clear();
}

// Makes the program's scratch folder ("<temp>/<prefix>_XXXXXX"); its path, or null when it could
// not be made. One per program: a second call gives the same folder.
inline const char *bench_scratch_folder(const char *prefix) {
    if (!bench_scratch_path.empty()) return bench_scratch_path.c_str();
    std::error_code ec;
    std::string path = std::filesystem::temp_directory_path(ec).string();
    if (ec || path.empty()) path = "/tmp";
    path += "/" + std::string(prefix) + "_XXXXXX";
    if (!mkdtemp(path.data())) return nullptr;
    bench_scratch_path = path;
    std::atexit(bench_scratch_remove);
    return bench_scratch_path.c_str();
}
