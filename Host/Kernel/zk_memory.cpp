// zk_memory.cpp - the kernel's memory calls and the test support shared by
// every part of the kernel: the ledger of live blocks, fault injection, call
// counters, the allocation ceiling and the progress hook.
//
// Ledger: every Z_LocalAlloc block is recorded in a hash map from the block's
// address to its size and allocating site, under one mutex (O(1) per
// allocation and release on average). Keeping the record outside the block
// lets Z_LocalFree recognise any pointer it did not hand out - a foreign
// pointer, or a block already freed - without reading memory it does not own:
// such a release is counted, reported on stderr and otherwise ignored.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "zk_internal.h"

namespace zk {

// ---------------------------------------------------------------------------
// Faults.
// ---------------------------------------------------------------------------
std::atomic<bool> g_faultArmed[kFaultKinds];

namespace {

struct Fault {
    uint64_t nRemaining = 0;   // calls until the fault fires (1: the next)
    bool bPersistent = false;
    bool bFiring = false;      // persistent fault that has started firing
};

std::mutex g_faultMutex;
Fault g_faults[kFaultKinds];
std::atomic<uint64_t> g_faultsFired{0};

void ArmFault(FaultKind kind, uint64_t nth, int32_t bPersistent) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    Fault& f = g_faults[kind];
    f.nRemaining = nth;
    f.bPersistent = bPersistent != 0;
    f.bFiring = false;
    g_faultArmed[kind].store(nth != 0, std::memory_order_release);
    if (kind == kFaultRead && nth != 0) CloseReadWindows();
}

}  // namespace

bool FaultFiresSlow(FaultKind kind) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (!g_faultArmed[kind].load(std::memory_order_relaxed)) return false;
    Fault& f = g_faults[kind];
    if (f.bFiring) {
        g_faultsFired.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    if (f.nRemaining > 1) {
        --f.nRemaining;
        return false;
    }
    f.nRemaining = 0;
    g_faultsFired.fetch_add(1, std::memory_order_relaxed);
    if (f.bPersistent)
        f.bFiring = true;
    else
        g_faultArmed[kind].store(false, std::memory_order_release);
    return true;
}

// ---------------------------------------------------------------------------
// Counters, ceiling, progress hook, unknown releases.
// ---------------------------------------------------------------------------
std::atomic<uint64_t> g_allocCalls{0};
std::atomic<uint64_t> g_readCallsBase{0};
std::atomic<uint64_t> g_writeCallsBase{0};

namespace {

constexpr uint64_t kDefaultCeiling = uint64_t(1) << 30;  // 1 GiB
std::atomic<uint64_t> g_ceiling{kDefaultCeiling};

}  // namespace

std::atomic<bool> g_hasProgressHook{false};

namespace {

std::mutex g_hookMutex;
ZkProgressProc g_pfnHook = nullptr;
void* g_pHookUser = nullptr;

std::atomic<uint64_t> g_unknownReleases{0};

}  // namespace

uint64_t AllocationCeiling() { return g_ceiling.load(std::memory_order_relaxed); }

void ReportProgress(uint64_t nDone, uint64_t nTotal) {
    ZkProgressProc pfn;
    void* pUser;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        pfn = g_pfnHook;
        pUser = g_pHookUser;
    }
    // Called outside the lock: a hook may set another hook.
    if (pfn) pfn(nDone, nTotal, pUser);
}

void ReportUnknownRelease(const char* pszWhat, const void* p, int32_t nLine,
                          const char* pszFile) {
    g_unknownReleases.fetch_add(1, std::memory_order_relaxed);
    std::fprintf(stderr, "zkkrn: %s of unknown pointer %p at %s:%d ignored\n", pszWhat, p,
                 pszFile ? pszFile : "?", static_cast<int>(nLine));
}

// ---------------------------------------------------------------------------
// Ledger.
// ---------------------------------------------------------------------------
namespace {

struct BlockSite {
    size_t nBytes;
    int32_t nLine;
    const char* pszFile;
};

struct Ledger {
    std::mutex mutex;
    std::unordered_map<const void*, BlockSite> blocks;
};

// Never destroyed: blocks may be released from static destructors of other
// libraries after this one's would have run.
Ledger& TheLedger() {
    static Ledger* pLedger = new Ledger;
    return *pLedger;
}

}  // namespace

}  // namespace zk

using namespace zk;

extern "C" {

void* Z_LocalAlloc(int32_t nCount, int32_t nElementSize, int32_t nLine, const char* pszFile) {
    g_allocCalls.fetch_add(1, std::memory_order_relaxed);
    if (FaultFires(kFaultAlloc)) return nullptr;
    if (nCount < 0 || nElementSize < 0) return nullptr;
    const uint64_t nBytes = uint64_t(nCount) * uint64_t(nElementSize);  // < 2^62
    if (nBytes > AllocationCeiling()) return nullptr;
    // A count of 0 still gets a distinct, valid block.
    void* p = std::malloc(nBytes ? size_t(nBytes) : 1);
    if (!p) return nullptr;
    Ledger& ledger = TheLedger();
    try {
        std::lock_guard<std::mutex> lock(ledger.mutex);
        ledger.blocks.emplace(p, BlockSite{size_t(nBytes), nLine, pszFile});
    } catch (...) {  // the map could not grow
        std::free(p);
        return nullptr;
    }
    return p;
}

void Z_LocalFree(void* pBlock, int32_t nLine, const char* pszFile) {
    if (!pBlock) return;
    Ledger& ledger = TheLedger();
    bool bKnown;
    {
        std::lock_guard<std::mutex> lock(ledger.mutex);
        bKnown = ledger.blocks.erase(pBlock) != 0;
    }
    if (bKnown)
        std::free(pBlock);
    else
        ReportUnknownRelease("Z_LocalFree", pBlock, nLine, pszFile);
}

void Z_MemorySet(void* pDest, int32_t nValue, size_t nCount) {
    if (pDest && nCount) std::memset(pDest, nValue, nCount);
}

// Overlapping ranges are allowed (the copy behaves as memmove).
void Z_MemoryCopy(void* pDest, const void* pSource, size_t nCount) {
    if (pDest && pSource && nCount) std::memmove(pDest, pSource, nCount);
}

int32_t SetRect(tagRECT* pRect, int32_t nLeft, int32_t nTop, int32_t nRight, int32_t nBottom) {
    if (!pRect) return MIF_ERR_ARG;
    pRect->left = nLeft;
    pRect->top = nTop;
    pRect->right = nRight;
    pRect->bottom = nBottom;
    return MIF_OK;
}

// ---------------------------------------------------------------------------
// Test support (kernel_testing.h).
// ---------------------------------------------------------------------------
size_t Zk_LiveBlockCount(void) {
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    return ledger.blocks.size();
}

size_t Zk_LiveBlocks(ZkBlockInfo* pOut, size_t nMax) {
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    size_t i = 0;
    if (pOut) {
        for (const auto& entry : ledger.blocks) {
            if (i == nMax) break;
            pOut[i++] = ZkBlockInfo{entry.first, entry.second.nBytes, entry.second.nLine,
                                    entry.second.pszFile};
        }
    }
    return ledger.blocks.size();
}

void Zk_FailAllocation(uint64_t nth, int32_t bPersistent) { ArmFault(kFaultAlloc, nth, bPersistent); }
void Zk_FailWrite(uint64_t nth, int32_t bPersistent) { ArmFault(kFaultWrite, nth, bPersistent); }
void Zk_FailRead(uint64_t nth, int32_t bPersistent) { ArmFault(kFaultRead, nth, bPersistent); }

void Zk_ClearFaults(void) {
    std::lock_guard<std::mutex> lock(g_faultMutex);
    for (int k = 0; k < kFaultKinds; ++k) {
        g_faults[k] = Fault{};
        g_faultArmed[k].store(false, std::memory_order_release);
    }
    g_faultsFired.store(0, std::memory_order_relaxed);
}

uint64_t Zk_FaultsFired(void) { return g_faultsFired.load(std::memory_order_relaxed); }

uint64_t Zk_AllocationCalls(void) { return g_allocCalls.load(std::memory_order_relaxed); }

uint64_t Zk_UnknownReleaseCount(void) { return g_unknownReleases.load(std::memory_order_relaxed); }

void Zk_SetAllocationCeiling(uint64_t nBytes) { g_ceiling.store(nBytes, std::memory_order_relaxed); }

void Zk_SetProgressHook(ZkProgressProc pfnHook, void* pUser) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_pfnHook = pfnHook;
    g_pHookUser = pUser;
    g_hasProgressHook.store(pfnHook != nullptr, std::memory_order_relaxed);
}

}  // extern "C"
