// tavok_datagen: draws and synthesises the sample data set into a folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/datagen/datagen.h"

int main(int argc, char **argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs("usage: tavok_datagen FOLDER\n"
                   "\n"
                   "Writes the sample data set (images, texture list, tagged data files and sound\n"
                   "files) into FOLDER, the run folder's bin/.\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    std::string error;
    if (!datagen_generate(argv[1], &error)) {
        std::fprintf(stderr, "tavok_datagen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
