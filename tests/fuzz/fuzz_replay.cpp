// The regression run of a fuzz target without libFuzzer: every file named, and every file in
// every folder named, goes through the target once. A fault ends the run as it would the fuzzer.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static bool replay_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so a read past its end is seen.
    uint8_t *copy = new uint8_t[bytes.size() ? bytes.size() : 1];
    std::copy(bytes.begin(), bytes.end(), copy);
    LLVMFuzzerTestOneInput(copy, bytes.size());
    delete[] copy;
    return true;
}

int main(int argc, char **argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) != 0) {
            fprintf(stderr, "%s: not found\n", argv[i]);
            return 1;
        }
        if (!S_ISDIR(st.st_mode)) {
            if (!replay_file(argv[i])) return 1;
            ++count;
            continue;
        }
        DIR *d = opendir(argv[i]);
        if (!d) return 1;
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            if (!replay_file(std::string(argv[i]) + "/" + e->d_name)) return 1;
            ++count;
        }
        closedir(d);
    }
    if (count == 0) {
        fprintf(stderr, "no input replayed\n");
        return 1;
    }
    printf("%d inputs replayed\n", count);
    return 0;
}
