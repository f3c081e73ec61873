// zk_internal.h - what the kernel's own sources share: fault injection, call
// counters, the allocation ceiling, the progress hook and the stderr notice
// for releases of unknown pointers. Not installed; nothing outside
// Host/Kernel includes it.
#ifndef HOST_KERNEL_ZK_INTERNAL_H
#define HOST_KERNEL_ZK_INTERNAL_H

#include <atomic>
#include <cstddef>
#include <cstdint>

// The kernel is built with hidden visibility; the host calls and the testing
// calls are the only symbols it exports.
#pragma GCC visibility push(default)
#include "hostapi.h"
#include "kernel_testing.h"
#pragma GCC visibility pop

namespace zk {

enum FaultKind { kFaultAlloc = 0, kFaultWrite = 1, kFaultRead = 2, kFaultKinds = 3 };

// True while a fault of this kind is armed. One relaxed load: the slow
// paths ask this first and only take a lock when a fault is armed.
extern std::atomic<bool> g_faultArmed[kFaultKinds];
// Empties the read window of every open handle, so that each read reaches
// the fault's count (arming a read fault calls it; the one-byte read path
// never looks at the faults). Arm read faults while no other thread reads.
void CloseReadWindows();
// Takes one call of this kind into the fault's count; true when the call
// must fail (then Zk_FaultsFired grows by one).
bool FaultFiresSlow(FaultKind kind);
inline bool FaultFires(FaultKind kind) {
    return g_faultArmed[kind].load(std::memory_order_relaxed) && FaultFiresSlow(kind);
}

// Counters of calls that no open handle carries (allocations, calls on
// invalid handles, and the totals of closed handles). The per-handle parts
// live in the handles (zk_files.cpp) so that the per-byte read costs no
// locked instruction.
extern std::atomic<uint64_t> g_allocCalls;
extern std::atomic<uint64_t> g_readCallsBase;
extern std::atomic<uint64_t> g_writeCallsBase;

// The allocation ceiling in bytes (Zk_SetAllocationCeiling).
uint64_t AllocationCeiling();

// Calls the progress hook, when one is set. g_hasProgressHook tells cheaply
// whether one is, so that callers compute the arguments only then.
extern std::atomic<bool> g_hasProgressHook;
void ReportProgress(uint64_t nDone, uint64_t nTotal);

// Counts a release of a pointer the kernel does not know and prints one
// line to stderr naming what was released and where.
void ReportUnknownRelease(const char* pszWhat, const void* p, int32_t nLine,
                          const char* pszFile);

}  // namespace zk

#endif  // HOST_KERNEL_ZK_INTERNAL_H
