// replay_main.cpp - the main of a fuzz target built without libFuzzer: runs
// the target once over every file named on the command line, and over every
// file below each named folder, so that CTest replays the seeds and the
// inputs of past findings in every build.
#include <ftw.h>
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize);

namespace {

size_t s_nReplayed = 0;

int ReplayFile(const char* pszPath, const struct stat*, int nKind, struct FTW*) {
    if (nKind != FTW_F)
        return 0;
    std::ifstream in(pszPath, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++s_nReplayed;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (nftw(argv[i], ReplayFile, 16, FTW_PHYS) != 0) {
            fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
    }
    printf("replayed %zu inputs\n", s_nReplayed);
    return s_nReplayed > 0 ? 0 : 1;
}
