// disk_full_test.cpp - a save that runs into a file size limit (RLIMIT_FSIZE
// in a forked child, SIGXFSZ ignored, as a full disk would stop it) fails
// with -5 and leaves no file behind; it never reports success with a
// truncated file. A limit the whole output fits in saves normally.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "mif_test_support.h"

using miftest::Drawing;
using miftest::TempDir;

namespace {

const char kExample[] = MIF_EXAMPLES_DIR "/example.mif";

// Saves the drawing in a child process whose files may not grow past
// nLimit bytes; returns the save's result as the child reported it.
int SaveUnderLimit(_VECTORHANDLE* pHandle, const std::string& path, rlim_t nLimit) {
    miftest::ChildRun run = miftest::RunInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {nLimit, nLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::vector<int>();
        return std::vector<int>{miftest::SavePath(path, pHandle)};
    }, 60);
    return run.bExited && run.values.size() == 1 ? run.values[0] : 0;
}

}  // namespace

TEST(DiskFull, SaveIntoASizeLimitFailsWholeOrSucceedsWhole) {
    TempDir dir;
    Drawing drawing;
    ASSERT_EQ(miftest::LoadPath(kExample, &drawing.h), MIF_OK);
    std::string path = dir.Path("out.mif");
    std::string midPath = dir.Path("out.mid");
    ASSERT_EQ(miftest::SavePath(path, &drawing.h), MIF_OK);
    const std::string mif = miftest::ReadBytes(path);
    const std::string mid = miftest::ReadBytes(midPath);
    ASSERT_GT(mif.size(), mid.size());
    DeleteFile(path.c_str());
    DeleteFile(midPath.c_str());

    // Limits below the .mid file's size cut both files; those between the
    // two sizes cut only the .mif file.
    const rlim_t nMif = mif.size();
    const rlim_t nMid = mid.size();
    const rlim_t aLimits[] = {0, 1, nMid / 2, nMid - 1, nMid, nMif / 2, nMif - 100, nMif - 1, nMif, nMif + 1};
    for (rlim_t nLimit : aLimits) {
        SCOPED_TRACE("limit " + std::to_string(nLimit) + " bytes");
        int nRet = SaveUnderLimit(&drawing.h, path, nLimit);
        if (nLimit >= nMif) {
            EXPECT_EQ(nRet, MIF_OK);
            EXPECT_EQ(miftest::ReadBytes(path), mif);
            EXPECT_EQ(miftest::ReadBytes(midPath), mid);
        } else {
            EXPECT_EQ(nRet, MIF_ERR_WRITE);
            EXPECT_FALSE(miftest::FileExists(path));
            EXPECT_FALSE(miftest::FileExists(midPath));
        }
        DeleteFile(path.c_str());
        DeleteFile(midPath.c_str());
    }
}
