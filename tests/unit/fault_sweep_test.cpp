// fault_sweep_test.cpp - every allocation, every write and a sample of the
// reads of info, load (vector, raster, raster from the info's cache) and
// save, made to fail one at a time on files that hold every object type.
// Each failed run must give its documented code and leave nothing behind:
// no memory block, open file, bitmap or object copy, and after a failed
// save neither output file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "kernel_testing.h"
#include "mif_test_support.h"
#include "representative_files.h"

using miftest::Drawing;
using miftest::TempDir;

namespace {

// The operation under test runs arm() just before the call the fault is
// meant for, so that its preparation (a clean info, a clean load) is spared.
typedef std::function<void()> Arm;
typedef int (*SweptCall)(const std::string& path, const TempDir& dir, const Arm& arm);

const int32_t kWidth = 32, kHeight = 24;

int Info(const std::string& path, const TempDir&, const Arm& arm) {
    _CACHESLOT slot = {sizeof(slot), 0, nullptr};
    arm();
    int nRet = miftest::InfoPath(path, &slot);
    fltFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE);
    return nRet;
}

int VectorLoad(const std::string& path, const TempDir&, const Arm& arm) {
    Drawing drawing;
    arm();
    return miftest::LoadPath(path, &drawing.h);
}

// 8 bits per pixel, so that the conversion and the palette take part.
int RasterLoad(const std::string& path, const TempDir&, const Arm& arm) {
    miftest::RasterRows rows;
    arm();
    return miftest::RasterLoadPath(path, nullptr, kWidth, kHeight, 8, &rows);
}

int CachedRasterLoad(const std::string& path, const TempDir&, const Arm& arm) {
    _CACHESLOT slot = {sizeof(slot), 0, nullptr};
    int nRet = miftest::InfoPath(path, &slot);
    if (nRet == MIF_OK) {
        miftest::RasterRows rows;
        arm();
        nRet = miftest::RasterLoadPath(path, &slot, kWidth, kHeight, 8, &rows);
    }
    fltFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE);
    return nRet;
}

int Save(const std::string& path, const TempDir& dir, const Arm& arm) {
    Drawing drawing;
    miftest::LoadPath(path, &drawing.h);
    arm();
    int nRet = miftest::SavePath(dir.Path("out.mif"), &drawing.h);
    // A failed save leaves neither file, a successful one both.
    EXPECT_EQ(miftest::FileExists(dir.Path("out.mif")), nRet == MIF_OK);
    EXPECT_EQ(miftest::FileExists(dir.Path("out.mid")), nRet == MIF_OK);
    return nRet;
}

enum FaultKind { kAllocation, kWrite, kRead };

// A read fault is persistent: the file stays unreadable from there on.
void ArmFault(FaultKind kind, uint64_t nth) {
    (kind == kAllocation ? Zk_FailAllocation : kind == kWrite ? Zk_FailWrite : Zk_FailRead)(nth, kind == kRead);
}

uint64_t CallCount(FaultKind kind) {
    return kind == kAllocation ? Zk_AllocationCalls() : kind == kWrite ? Zk_WriteCalls() : Zk_ReadCalls();
}

// A read failure on a line's first byte gives -14. One inside a line cuts
// the line short, and the cut line may end the load before the next read
// meets the failure: a VERSION number or FONT name cut in two is refused
// (-9), a style clause cut after a PLINE ends the load as the end of data (2).
bool IsDocumented(FaultKind kind, int nRet) {
    if (kind == kRead) return nRet == MIF_ERR_NOFILE || nRet == MIF_ERR_FORMAT || nRet == MIF_END;
    return nRet == (kind == kAllocation ? MIF_ERR_NOMEM : MIF_ERR_WRITE);
}

// Runs the call with one fault at the nth call of its kind; true when the
// fault fired. Checks the result and that nothing was left behind.
bool RunWithFault(SweptCall call, const std::string& path, FaultKind kind, uint64_t nth) {
    TempDir dir;
    int nRet = call(path, dir, [&] { ArmFault(kind, nth); });
    bool bFired = Zk_FaultsFired() > 0;
    Zk_ClearFaults();
    EXPECT_TRUE(!bFired || IsDocumented(kind, nRet)) << "fault at call " << nth << " gave " << nRet;
    EXPECT_EQ(miftest::HostLeftovers(), "") << "fault at call " << nth;
    return bFired;
}

// Allocations and writes: every one, until a run meets no fault. Reads: the
// first, the last and every 37th in between (fewer on large files).
int Sweep(SweptCall call, const std::string& path, FaultKind kind) {
    TempDir dir;
    uint64_t nBefore = CallCount(kind);
    EXPECT_EQ(call(path, dir, [&] { nBefore = CallCount(kind); }), MIF_OK) << "the run without faults";
    uint64_t nCalls = CallCount(kind) - nBefore;
    int nPoints = 0;
    if (kind != kRead) {
        for (uint64_t nth = 1; RunWithFault(call, path, kind, nth); ++nth) ++nPoints;
        EXPECT_EQ(static_cast<uint64_t>(nPoints), nCalls) << "every call of the clean run was swept";
        return nPoints;
    }
    auto sweepRead = [&](uint64_t nth) {
        EXPECT_TRUE(RunWithFault(call, path, kind, nth)) << "read " << nth << " of " << nCalls;
        ++nPoints;
    };
    uint64_t nStride = std::max<uint64_t>(37, nCalls / 64);
    for (uint64_t nth = 1; nth < nCalls; nth += nStride) sweepRead(nth);
    sweepRead(nCalls);
    return nPoints;
}

struct SweptOperation { const char* pszName; SweptCall call; FaultKind aKinds[2]; int nKinds; };

const SweptOperation kOperations[] = {
    {"info", Info, {kAllocation, kRead}, 2}, {"vector load", VectorLoad, {kAllocation, kRead}, 2},
    {"raster load", RasterLoad, {kAllocation, kRead}, 2},
    {"cached raster load", CachedRasterLoad, {kAllocation}, 1},  // reads nothing
    {"save", Save, {kAllocation, kWrite}, 2},
};

const char* const kKindNames[] = {"allocation", "write", "read"};

}  // namespace

TEST(FaultSweep, EveryFaultPointGivesItsCodeAndLeavesNothing) {
    std::map<std::string, int> points;
    for (const char* pszFile : miftest::kRepresentativeFiles) {
        if (!miftest::FileExists(pszFile)) {
            ADD_FAILURE() << "missing " << pszFile;
            continue;
        }
        for (const SweptOperation& operation : kOperations) {
            for (int i = 0; i < operation.nKinds; ++i) {
                FaultKind kind = operation.aKinds[i];
                SCOPED_TRACE(std::string(pszFile) + ": " + operation.pszName + ", " + kKindNames[kind]);
                points[std::string(operation.pszName) + " " + kKindNames[kind]] +=
                    Sweep(operation.call, pszFile, kind);
            }
        }
    }
    for (const auto& entry : points) {
        printf("fault points swept, %s: %d\n", entry.first.c_str(), entry.second);
        testing::Test::RecordProperty(entry.first, entry.second);
        EXPECT_GT(entry.second, 0) << entry.first;
    }
}
