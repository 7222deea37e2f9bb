#include "test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

// Folders made by this program, removed when its static objects are destroyed. A forked child
// that exits (a death test, a child run) leaves them to the process that made them.
struct MadeFolders {
    std::vector<std::string> paths;
    pid_t owner = getpid();
    ~MadeFolders() {
        if (getpid() != owner) return;
        for (const std::string &p : paths) {
            std::error_code ec;
            std::filesystem::remove_all(p, ec);
        }
    }
};

MadeFolders &made_folders(void) {
    static MadeFolders made;
    return made;
}

} // namespace

std::string test_temp_folder(const char *tag) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string tmpl = (base / (std::string("tavok_") + (tag ? tag : "test") + "_XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) return std::string();
    made_folders().paths.push_back(tmpl);
    return tmpl;
}

bool test_write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool test_write_file(const std::string &path, const std::string &text) {
    return test_write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string test_read_file(const std::string &path) {
    std::string out;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}
