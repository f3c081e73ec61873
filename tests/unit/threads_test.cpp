// threads_test.cpp - eight host threads at once, each loading (vector and
// raster, cached and not), rendering and saving its own files in a loop,
// get exactly what one thread alone gets. Run under ThreadSanitizer in its
// own build, these tests also show the filter and the host libraries share
// nothing unguarded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "drawengine.h"
#include "mif_test_support.h"
#include "representative_files.h"

using miftest::Drawing;
using miftest::TempDir;

namespace {

const int kThreads = 8, kRounds = 3;

// What one file gives: result codes, object count, saved bytes and the
// checksums of the rows of an uncached and a cached raster load.
struct FileOutcome {
    std::vector<int> results;
    size_t nObjects = 0;
    std::string mif, mid;
    uint64_t nRows24 = 0, nRows8 = 0;
    bool bRowsInOrder = true;

    auto Fields() const { return std::tie(results, nObjects, mif, mid, nRows24, nRows8, bRowsInOrder); }
    bool operator==(const FileOutcome& other) const { return Fields() == other.Fields(); }
};

FileOutcome RunFile(const char* pszPath, const TempDir& dir) {
    FileOutcome outcome;
    Drawing drawing;
    outcome.results.push_back(miftest::LoadPath(pszPath, &drawing.h));
    outcome.nObjects = miftest::Objects(&drawing.h).size();
    outcome.results.push_back(miftest::SavePath(dir.Path("out.mif"), &drawing.h));
    outcome.mif = miftest::ReadBytes(dir.Path("out.mif"));
    outcome.mid = miftest::ReadBytes(dir.Path("out.mid"));

    miftest::RasterRows rows;
    outcome.results.push_back(miftest::RasterLoadPath(pszPath, nullptr, 120, 90, 24, &rows));
    outcome.nRows24 = rows.nChecksum;
    outcome.bRowsInOrder = rows.bInOrder;
    _CACHESLOT slot = {sizeof(slot), 0, nullptr};
    outcome.results.push_back(miftest::InfoPath(pszPath, &slot));
    outcome.results.push_back(miftest::RasterLoadPath(pszPath, &slot, 64, 48, 8, &rows));
    outcome.nRows8 = rows.nChecksum;
    outcome.bRowsInOrder = outcome.bRowsInOrder && rows.bInOrder;
    fltFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE);
    return outcome;
}

std::vector<FileOutcome> RunAllFiles(const TempDir& dir) {
    std::vector<FileOutcome> outcomes;
    for (const char* pszPath : miftest::kRepresentativeFiles) outcomes.push_back(RunFile(pszPath, dir));
    return outcomes;
}

}  // namespace

TEST(Threads, EightHostThreadsGetWhatOneThreadGets) {
    TempDir alone;
    const std::vector<FileOutcome> expected = RunAllFiles(alone);
    for (size_t i = 0; i < miftest::kRepresentativeFileCount; ++i) {
        SCOPED_TRACE(miftest::kRepresentativeFiles[i]);
        EXPECT_EQ(expected[i].results, std::vector<int>(5, MIF_OK));
        EXPECT_GT(expected[i].nObjects, 0u);
        EXPECT_TRUE(expected[i].bRowsInOrder);
    }

    // Each thread keeps the outcome of every round; compared afterwards.
    std::vector<std::vector<std::vector<FileOutcome>>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &got] {
            TempDir dir;
            for (int round = 0; round < kRounds; ++round) got[t].push_back(RunAllFiles(dir));
        });
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t)
        for (int round = 0; round < kRounds; ++round)
            for (size_t i = 0; i < miftest::kRepresentativeFileCount; ++i)
                EXPECT_TRUE(got[t][round][i] == expected[i])
                    << "thread " << t << ", round " << round << ", " << miftest::kRepresentativeFiles[i];
}

// A large raster paint runs in two bands on two threads; the picture is the
// one-thread picture up to anti-aliasing rounding where cairo composites
// through a different clip (a few levels in a few pixels).
TEST(Threads, APaintSplitInTwoBandsGivesTheOneThreadPicture) {
    const int32_t kWidth = 480, kHeight = 360;
    const auto Paint = [&](_VECTORHANDLE* pHandle, bool bSplit) {
        std::vector<uint8_t> pixels(size_t(3) * kWidth * kHeight, 0);
        _HOSTBITMAP bitmap = {sizeof(bitmap), kWidth, kHeight, 24, 3 * kWidth, 0, nullptr, 0, 0, 0, 0, pixels.data()};
        ZDRWCONTEXT* pContext = nullptr;
        EXPECT_EQ(Z_Drw_FromBitmap(Z_Drw_GetDefaultEngine(), &pContext, &bitmap), MIF_OK);
        pHandle->rcViewport = {0, 0, kWidth, kHeight};
        Z_Drw_SetSplitPainting(bSplit);
        EXPECT_EQ(Z_VecDraw(pContext, pHandle, 1), MIF_OK);
        Z_Drw_SetSplitPainting(1);
        Z_Drw_Destroy(pContext);
        return pixels;
    };
    for (const char* pszPath : miftest::kRepresentativeFiles) {
        SCOPED_TRACE(pszPath);
        Drawing drawing;
        ASSERT_EQ(miftest::LoadPath(pszPath, &drawing.h), MIF_OK);
        const std::vector<uint8_t> one = Paint(&drawing.h, false), split = Paint(&drawing.h, true);
        size_t nInk = 0, nDiffering = 0;
        int nLargest = 0;
        for (size_t i = 0; i < one.size(); ++i) {
            nInk += one[i] != 0xFF;
            nDiffering += one[i] != split[i];
            nLargest = std::max(nLargest, std::abs(one[i] - split[i]));
        }
        // A band painting the wrong objects or rows differs by far more.
        EXPECT_GT(nInk, one.size() / 1000);
        EXPECT_LE(nLargest, 8);
        EXPECT_LE(nDiffering, one.size() / 1000);
    }
}

TEST(Threads, OnlyLargeBitmapPaintsAreSplit) {
    std::vector<uint8_t> pixels(size_t(3) * 64 * 300);
    const _VECTORPOINT ptMin = {0, 0, 0, 0}, ptMax = {1, 1, 0, 0};
    for (int32_t nRows : {300, 255}) {
        SCOPED_TRACE(nRows);
        _HOSTBITMAP bitmap = {sizeof(bitmap), 64, nRows, 24, 3 * 64, 0, nullptr, 0, 0, 0, 0, pixels.data()};
        ZDRWCONTEXT* pContext = nullptr;
        ASSERT_EQ(Z_Drw_FromBitmap(Z_Drw_GetDefaultEngine(), &pContext, &bitmap), MIF_OK);
        ZDRWCONTEXT* pLower = nullptr;
        EXPECT_EQ(Z_Drw_SplitPaint(pContext, &pLower), DRW_ERR_STATE);  // no paint yet
        const tagRECT rc = {0, 0, 64, nRows};
        ASSERT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 1, 0), MIF_OK);
        EXPECT_EQ(Z_Drw_SplitPaint(pContext, &pLower), MIF_OK);
        EXPECT_EQ(pLower != nullptr, nRows >= 256);
        if (pLower != nullptr) {
            EXPECT_EQ(Z_Drw_EndPaint(pLower), MIF_OK);
            Z_Drw_Destroy(pLower);
        }
        EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
        Z_Drw_Destroy(pContext);
    }
}

