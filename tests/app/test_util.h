// Helpers shared by the application-frame tests.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it when the test program ends.
inline std::string make_temp_dir(const char *tag) {
    static std::vector<std::string> made;
    static bool registered = false;
    if (!registered) {
        registered = true;
        atexit([] {
            for (const std::string &d : made) std::filesystem::remove_all(d);
        });
    }
    std::string tmpl = std::string("/tmp/tavok_") + tag + "_XXXXXX";
    const char *d = mkdtemp(tmpl.data());
    if (!d) return std::string();
    made.push_back(d);
    return made.back();
}

inline void write_text(const std::string &path, const std::string &text) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

inline std::string read_text(const std::string &path) {
    std::string out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}
