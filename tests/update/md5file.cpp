// md5file FILE...: prints "<digest>  <file>" per file like md5sum, with our MD5 (used by
// scripts/measure-md5 to compare speed and results with coreutils).
#include <cstdio>
#include <vector>

#include "update/md5.h"

int main(int argc, char** argv)
{
    std::vector<char> block(1 << 16);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        FILE* f = std::fopen(argv[i], "rb");
        if (!f) {
            std::perror(argv[i]);
            status = 1;
            continue;
        }
        upd::Md5 md5;
        size_t count;
        while ((count = std::fread(block.data(), 1, block.size(), f)) > 0)
            md5.Append(block.data(), count);
        std::fclose(f);
        std::printf("%s  %s\n", md5.FinishHex().c_str(), argv[i]);
    }
    return status;
}
