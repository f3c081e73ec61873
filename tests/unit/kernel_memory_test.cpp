// kernel_memory_test.cpp - the kernel's memory calls: allocation rules and
// the ceiling, the ledger with its sites, releases of unknown pointers, each
// fault kind (once and persistent), the call counters, the small memory
// helpers and a thread smoke test of the ledger.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hostapi.h"
#include "kernel_test_util.h"
#include "kernel_testing.h"

using namespace kernel_test;

namespace {

constexpr uint64_t kDefaultCeiling = uint64_t(1) << 30;

class KernelMemory : public ::testing::Test {
protected:
    void TearDown() override { Zk_SetAllocationCeiling(kDefaultCeiling); }
};

// ---------------------------------------------------------------------------
// Allocation rules.
// ---------------------------------------------------------------------------
struct AllocCase {
    int32_t nCount;
    int32_t nSize;
    uint64_t nCeiling;
    bool bGranted;
    size_t nBytes;  // recorded in the ledger when granted
};

class KernelMemoryAlloc : public KernelMemory, public ::testing::WithParamInterface<AllocCase> {};

TEST_P(KernelMemoryAlloc, Rules) {
    const AllocCase& c = GetParam();
    Zk_SetAllocationCeiling(c.nCeiling);
    void* p = Z_LocalAlloc(c.nCount, c.nSize, __LINE__, __FILE__);
    if (!c.bGranted) {
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(Zk_LiveBlockCount(), 0u);
        return;
    }
    ASSERT_NE(p, nullptr);
    ZkBlockInfo info[2];
    ASSERT_EQ(Zk_LiveBlocks(info, 2), 1u);
    EXPECT_EQ(info[0].pBlock, p);
    EXPECT_EQ(info[0].nBytes, c.nBytes);
    if (c.nBytes) std::memset(p, 0xAB, c.nBytes);  // the whole block is usable
    Z_LocalFree(p, __LINE__, __FILE__);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KernelMemoryAlloc,
    ::testing::Values(AllocCase{-1, 4, kDefaultCeiling, false, 0},
                      AllocCase{4, -1, kDefaultCeiling, false, 0},
                      AllocCase{INT32_MIN, INT32_MIN, kDefaultCeiling, false, 0},
                      AllocCase{0, 4, kDefaultCeiling, true, 0},  // empty but valid
                      AllocCase{4, 0, kDefaultCeiling, true, 0},
                      AllocCase{10, 4, kDefaultCeiling, true, 40},
                      AllocCase{1024, 1024, 1 << 20, true, 1 << 20},  // exactly the ceiling
                      AllocCase{1025, 1024, 1 << 20, false, 0},       // above it
                      // Computed in 64 bits: no wrap to a small block.
                      AllocCase{65537, 65537, kDefaultCeiling, false, 0},
                      AllocCase{INT32_MAX, INT32_MAX, kDefaultCeiling, false, 0}));

TEST_F(KernelMemory, EmptyBlocksAreDistinct) {
    void* a = Z_LocalAlloc(0, 1, __LINE__, __FILE__);
    void* b = Z_LocalAlloc(0, 1, __LINE__, __FILE__);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(Zk_LiveBlockCount(), 2u);
    Z_LocalFree(a, __LINE__, __FILE__);
    Z_LocalFree(b, __LINE__, __FILE__);
}

TEST_F(KernelMemory, LedgerRecordsSites) {
    static const char kFileA[] = "API/Filters/Mif/Common/read.cpp";
    static const char kFileB[] = "API/Filters/Mif/Common/write.cpp";
    void* a = Z_LocalAlloc(3, 8, 120, kFileA);
    void* b = Z_LocalAlloc(1, 5, 340, kFileB);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ZkBlockInfo info[4] = {};
    ASSERT_EQ(Zk_LiveBlocks(info, 4), 2u);
    bool bSawA = false, bSawB = false;
    for (int i = 0; i < 2; ++i) {
        if (info[i].pBlock == a) {
            bSawA = true;
            EXPECT_EQ(info[i].nBytes, 24u);
            EXPECT_EQ(info[i].nLine, 120);
            EXPECT_EQ(info[i].pszFile, kFileA);  // the caller's pointer, not a copy
        } else if (info[i].pBlock == b) {
            bSawB = true;
            EXPECT_EQ(info[i].nBytes, 5u);
            EXPECT_EQ(info[i].nLine, 340);
        }
    }
    EXPECT_TRUE(bSawA && bSawB);
    // Fewer slots than blocks: fills what fits, still tells how many live.
    EXPECT_EQ(Zk_LiveBlocks(info, 1), 2u);
    EXPECT_EQ(Zk_LiveBlocks(nullptr, 0), 2u);
    Z_LocalFree(a, __LINE__, __FILE__);
    EXPECT_EQ(Zk_LiveBlockCount(), 1u);
    Z_LocalFree(b, __LINE__, __FILE__);
    EXPECT_EQ(Zk_LiveBlockCount(), 0u);
}

TEST_F(KernelMemory, FreeingNullOrUnknownPointersDoesNotCrash) {
    const uint64_t nBefore = Zk_UnknownReleaseCount();
    Z_LocalFree(nullptr, __LINE__, __FILE__);
    EXPECT_EQ(Zk_UnknownReleaseCount(), nBefore);
    int nOnStack = 0;
    Z_LocalFree(&nOnStack, __LINE__, __FILE__);
    EXPECT_EQ(Zk_UnknownReleaseCount(), nBefore + 1);
    void* p = Z_LocalAlloc(1, 16, __LINE__, __FILE__);
    ASSERT_NE(p, nullptr);
    Z_LocalFree(p, __LINE__, __FILE__);
    Z_LocalFree(p, __LINE__, __FILE__);  // twice
    EXPECT_EQ(Zk_UnknownReleaseCount(), nBefore + 2);
    EXPECT_EQ(Zk_LiveBlockCount(), 0u);
}

// ---------------------------------------------------------------------------
// Faults of each kind, once and persistent.
// ---------------------------------------------------------------------------
enum class Kind { kAlloc, kWrite, kRead };

struct FaultCase {
    const char* pszName;
    Kind kind;
    uint64_t nth;
    int32_t bPersistent;
    const char* pszPattern;  // per call from now: 'o' succeeds, 'x' fails
};

class KernelMemoryFaults : public KernelMemory, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(KernelMemoryFaults, FireOnTheNthCall) {
    const FaultCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = dir.File("faults.bin");
    ASSERT_TRUE(WriteWholeFile(path, std::string(64, 'r')));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), 2 /* O_RDWR */, 256 | 128);
    ASSERT_NE(h, nullptr);

    std::function<bool()> call;
    uint64_t (*counter)() = nullptr;
    switch (c.kind) {
    case Kind::kAlloc:
        Zk_FailAllocation(c.nth, c.bPersistent);
        counter = Zk_AllocationCalls;
        call = [] {
            void* p = Z_LocalAlloc(2, 2, __LINE__, __FILE__);
            Z_LocalFree(p, __LINE__, __FILE__);
            return p != nullptr;
        };
        break;
    case Kind::kWrite:
        Zk_FailWrite(c.nth, c.bPersistent);
        counter = Zk_WriteCalls;
        call = [h] { return Z_RedirectedWrite(h, "w", 1) == 1; };
        break;
    case Kind::kRead:
        Zk_FailRead(c.nth, c.bPersistent);
        counter = Zk_ReadCalls;
        call = [h] {
            char ch;
            return Z_RedirectedRead(h, &ch, 1) == 1;
        };
        break;
    }
    const uint64_t nCallsBefore = counter();
    std::string got;
    uint64_t nFailures = 0;
    for (const char* p = c.pszPattern; *p; ++p) {
        bool ok = call();
        got.push_back(ok ? 'o' : 'x');
        nFailures += ok ? 0 : 1;
    }
    EXPECT_EQ(got, c.pszPattern);
    EXPECT_EQ(Zk_FaultsFired(), nFailures);
    EXPECT_EQ(counter() - nCallsBefore, uint64_t(std::strlen(c.pszPattern)));
    Zk_ClearFaults();
    EXPECT_EQ(Zk_FaultsFired(), 0u);
    EXPECT_TRUE(call());  // cleared
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KernelMemoryFaults,
    ::testing::Values(FaultCase{"AllocNext", Kind::kAlloc, 1, 0, "xooo"},
                      FaultCase{"AllocThirdOnce", Kind::kAlloc, 3, 0, "ooxooo"},
                      FaultCase{"AllocThirdOn", Kind::kAlloc, 3, 1, "ooxxxx"},
                      FaultCase{"AllocOff", Kind::kAlloc, 0, 1, "oooo"},
                      FaultCase{"WriteNext", Kind::kWrite, 1, 0, "xooo"},
                      FaultCase{"WriteSecondOn", Kind::kWrite, 2, 1, "oxxxx"},
                      FaultCase{"ReadNext", Kind::kRead, 1, 0, "xooo"},
                      FaultCase{"ReadFourthOnce", Kind::kRead, 4, 0, "oooxoo"},
                      FaultCase{"ReadFirstOn", Kind::kRead, 1, 1, "xxxx"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.pszName); });

TEST_F(KernelMemory, RearmingReplacesTheFault) {
    Zk_FailAllocation(1, 1);
    Zk_FailAllocation(2, 0);
    void* a = Z_LocalAlloc(1, 1, __LINE__, __FILE__);
    void* b = Z_LocalAlloc(1, 1, __LINE__, __FILE__);
    void* c = Z_LocalAlloc(1, 1, __LINE__, __FILE__);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_NE(c, nullptr);
    Z_LocalFree(a, __LINE__, __FILE__);
    Z_LocalFree(c, __LINE__, __FILE__);
}

// ---------------------------------------------------------------------------
// Helpers.
// ---------------------------------------------------------------------------
TEST_F(KernelMemory, MemorySetCopyAndSetRect) {
    char buf[16];
    Z_MemorySet(buf, 'a', sizeof buf);
    EXPECT_EQ(std::string(buf, 16), std::string(16, 'a'));
    Z_MemoryCopy(buf, "0123456789", 10);
    EXPECT_EQ(std::string(buf, 10), "0123456789");
    Z_MemoryCopy(buf + 2, buf, 8);  // overlapping
    EXPECT_EQ(std::string(buf, 10), "0101234567");
    Z_MemorySet(nullptr, 0, 0);
    Z_MemoryCopy(nullptr, nullptr, 0);

    tagRECT rc;
    EXPECT_EQ(SetRect(&rc, 1, 2, 30, 40), MIF_OK);
    EXPECT_EQ(rc.left, 1);
    EXPECT_EQ(rc.top, 2);
    EXPECT_EQ(rc.right, 30);
    EXPECT_EQ(rc.bottom, 40);
    EXPECT_EQ(SetRect(nullptr, 0, 0, 1, 1), MIF_ERR_ARG);
}

// ---------------------------------------------------------------------------
// Threads.
// ---------------------------------------------------------------------------
TEST_F(KernelMemory, LedgerUnderThreads) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    const uint64_t nCallsBefore = Zk_AllocationCalls();
    std::atomic<bool> bStop{false};
    std::atomic<int> nErrors{0};
    std::thread reader([&] {
        ZkBlockInfo info[16];
        while (!bStop.load()) {
            size_t n = Zk_LiveBlocks(info, 16);
            for (size_t i = 0; i < n && i < 16; ++i)
                if (info[i].nLine <= 0 || info[i].nBytes == 0) ++nErrors;
            (void)Zk_LiveBlockCount();
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<void*> held;
            for (int i = 0; i < kRounds; ++i) {
                int32_t nSize = 1 + (i * 7 + t) % 300;
                void* p = Z_LocalAlloc(1, nSize, 1000 + t, __FILE__);
                if (!p) {
                    ++nErrors;
                    continue;
                }
                std::memset(p, t, size_t(nSize));
                held.push_back(p);
                if (held.size() > 32) {
                    Z_LocalFree(held.front(), __LINE__, __FILE__);
                    held.erase(held.begin());
                }
            }
            for (void* p : held) Z_LocalFree(p, __LINE__, __FILE__);
        });
    }
    for (auto& th : threads) th.join();
    bStop.store(true);
    reader.join();
    EXPECT_EQ(nErrors.load(), 0);
    EXPECT_EQ(Zk_LiveBlockCount(), 0u);
    EXPECT_EQ(Zk_AllocationCalls() - nCallsBefore, uint64_t(kThreads) * kRounds);
}

}  // namespace
