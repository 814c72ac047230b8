// Writes the fuzzer's seed corpus: one small file of every format, into the folder named.
#include "image/bitmap_files.h"

#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& seed : BitmapSeedFiles()) {
        std::string path = std::string(argv[1]) + "/" + seed.first + ".bmp";
        FILE* file = fopen(path.c_str(), "wb");
        if (!file || fwrite(seed.second.data(), 1, seed.second.size(), file) != seed.second.size())
            return 1;
        fclose(file);
    }
    return 0;
}
