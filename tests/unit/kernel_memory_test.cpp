// kernel_memory_test.cpp - the kernel's memory calls: allocation rules and
// the ceiling, the ledger with its sites, releases of unknown pointers,
// each fault kind (once and persistent) with its counter, and the helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "kernel_test_util.h"
#include "kernel_testing.h"

namespace {

constexpr uint64_t kDefaultCeiling = uint64_t(1) << 30;

TEST(KernelMemory, AllocationRulesAndCeiling) {
    const struct { int32_t nCount, nSize; uint64_t nCeiling; bool bGranted; } kCases[] = {
        {-1, 4, kDefaultCeiling, false}, {4, -1, kDefaultCeiling, false},
        {INT32_MIN, INT32_MIN, kDefaultCeiling, false},
        {0, 4, kDefaultCeiling, true},  {4, 0, kDefaultCeiling, true},  // empty but valid
        {10, 4, kDefaultCeiling, true}, {1024, 1024, 1 << 20, true},    // exactly the ceiling
        {1025, 1024, 1 << 20, false},
        {65537, 65537, kDefaultCeiling, false},  // computed in 64 bits: no wrap
        {INT32_MAX, INT32_MAX, kDefaultCeiling, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.nCount << " x " << c.nSize << " under " << c.nCeiling);
        Zk_SetAllocationCeiling(c.nCeiling);
        void* p = Z_LocalAlloc(c.nCount, c.nSize, __LINE__, __FILE__);
        Zk_SetAllocationCeiling(kDefaultCeiling);
        EXPECT_EQ(p != nullptr, c.bGranted);
        ZkBlockInfo info[2];
        ASSERT_EQ(Zk_LiveBlocks(info, 2), c.bGranted ? 1u : 0u);
        if (!p) continue;
        EXPECT_EQ(info[0].pBlock, p);
        EXPECT_EQ(info[0].nBytes, size_t(c.nCount) * size_t(c.nSize));
        std::memset(p, 0xAB, info[0].nBytes);  // the whole block is usable
        Z_LocalFree(p, __LINE__, __FILE__);
    }
}

TEST(KernelMemory, LedgerRecordsEachBlockWithItsSite) {
    static const char kFileA[] = "read.cpp", kFileB[] = "write.cpp";
    void* a = Z_LocalAlloc(3, 8, 120, kFileA);
    void* b = Z_LocalAlloc(1, 5, 340, kFileB);
    void* e1 = Z_LocalAlloc(0, 1, 1, kFileA);
    void* e2 = Z_LocalAlloc(0, 1, 2, kFileA);
    EXPECT_NE(e1, e2);  // empty blocks are distinct
    ZkBlockInfo info[8] = {};
    ASSERT_EQ(Zk_LiveBlocks(info, 8), 4u);
    int nSeen = 0;
    for (const ZkBlockInfo& i : info) {
        if (i.pBlock != a && i.pBlock != b) continue;
        ++nSeen;
        EXPECT_EQ(i.nBytes, i.pBlock == a ? 24u : 5u);
        EXPECT_EQ(i.nLine, i.pBlock == a ? 120 : 340);
        EXPECT_EQ(i.pszFile, i.pBlock == a ? kFileA : kFileB);  // the caller's pointer, not a copy
    }
    EXPECT_EQ(nSeen, 2);
    EXPECT_EQ(Zk_LiveBlocks(info, 1), 4u);  // fewer slots: still tells how many live
    EXPECT_EQ(Zk_LiveBlocks(nullptr, 0), 4u);
    for (void* p : {a, b, e1, e2}) Z_LocalFree(p, __LINE__, __FILE__);
    EXPECT_EQ(Zk_LiveBlockCount(), 0u);
}

TEST(KernelMemory, ReleasesOfUnknownPointersAreCountedNotFreed) {
    const uint64_t nBefore = Zk_UnknownReleaseCount();
    Z_LocalFree(nullptr, __LINE__, __FILE__);
    EXPECT_EQ(Zk_UnknownReleaseCount(), nBefore);
    int nOnStack = 0;
    Z_LocalFree(&nOnStack, __LINE__, __FILE__);
    void* p = Z_LocalAlloc(1, 16, __LINE__, __FILE__);
    Z_LocalFree(p, __LINE__, __FILE__);
    Z_LocalFree(p, __LINE__, __FILE__);  // twice
    EXPECT_EQ(Zk_UnknownReleaseCount(), nBefore + 2);
}

TEST(KernelMemory, EachFaultKindFiresOnTheNthCall) {
    kernel_test::TempDir dir;
    const std::string path = dir.File("faults");
    ASSERT_TRUE(kernel_test::WriteWholeFile(path, std::string(64, 'r')));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), 2 /* O_RDWR */, 256 | 128);
    ASSERT_NE(h, nullptr);
    const struct {
        void (*pfnArm)(uint64_t, int32_t);
        uint64_t (*pfnCounter)();
        std::function<bool()> call;
    } kKinds[] = {
        {Zk_FailAllocation, Zk_AllocationCalls, [] {
             void* p = Z_LocalAlloc(2, 2, __LINE__, __FILE__);
             Z_LocalFree(p, __LINE__, __FILE__);
             return p != nullptr;
         }},
        {Zk_FailWrite, Zk_WriteCalls, [h] { return Z_RedirectedWrite(h, "w", 1) == 1; }},
        {Zk_FailRead, Zk_ReadCalls, [h] { char c; return Z_RedirectedRead(h, &c, 1) == 1; }},
    };
    const struct {
        uint64_t nth;
        int32_t bPersistent;
        const char* pszPattern;  // per call from now: 'o' succeeds, 'x' fails
    } kCases[] = {{1, 0, "xooo"}, {3, 0, "ooxooo"}, {3, 1, "ooxxxx"}, {1, 1, "xxxx"}, {0, 1, "oooo"}};
    for (size_t k = 0; k < 3; ++k)
        for (const auto& c : kCases) {
            SCOPED_TRACE(testing::Message() << "kind " << k << ": " << c.pszPattern);
            kKinds[k].pfnArm(c.nth, c.bPersistent);
            const uint64_t nCallsBefore = kKinds[k].pfnCounter();
            std::string got;
            for (size_t i = std::strlen(c.pszPattern); i > 0; --i) got += kKinds[k].call() ? 'o' : 'x';
            EXPECT_EQ(got, c.pszPattern);
            EXPECT_EQ(Zk_FaultsFired(), uint64_t(std::count(got.begin(), got.end(), 'x')));
            EXPECT_EQ(kKinds[k].pfnCounter() - nCallsBefore, got.size());
            Zk_ClearFaults();
            EXPECT_EQ(Zk_FaultsFired(), 0u);
            EXPECT_TRUE(kKinds[k].call());
        }
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
}

}  // namespace
