// kernel_testing.h - what the host kernel stand-in offers tests and tools
// beyond the host calls: the ledger of live memory blocks and open files,
// fault injection, an allocation ceiling, a progress hook and a step-back
// observer for hosts.
//
// This is not part of the filter's host interface; the filter never calls it.
#ifndef HOST_KERNEL_KERNEL_TESTING_H
#define HOST_KERNEL_KERNEL_TESTING_H

#include <stddef.h>
#include <stdint.h>

extern "C" {

// One live block of Z_LocalAlloc, with the site that allocated it.
struct ZkBlockInfo {
    const void* pBlock;
    size_t nBytes;
    int32_t nLine;
    const char* pszFile;   // the path the caller passed (not copied)
};

// Number of blocks allocated with Z_LocalAlloc and not yet freed.
size_t Zk_LiveBlockCount(void);
// Copies up to nMax live blocks into pOut; returns how many are live.
size_t Zk_LiveBlocks(ZkBlockInfo* pOut, size_t nMax);
// Number of files opened with Z_RedirectedOpen and not yet closed.
size_t Zk_OpenFileCount(void);
// Number of bitmaps whose pixels are allocated and not yet freed.
size_t Zk_LiveBitmapCount(void);

// Faults. Each counts calls from now on: nth = 1 makes the very next call
// fail; 0 switches the fault off. A fault fires once (transient) unless
// bPersistent is non-zero, in which case every call from the n-th on fails.
// A failed allocation returns null; a failed write writes nothing and
// returns 0; a failed read returns -1.
// Allocation calls are Z_LocalAlloc, Z_AllocateBitmap and a Z_ColorResBitmap
// that has to allocate pixels (one each; the bitmap calls then return -1).
// Write calls are Z_RedirectedWrite and read calls Z_RedirectedRead, on any
// handle. Arm a read fault while no other thread is reading.
void Zk_FailAllocation(uint64_t nth, int32_t bPersistent);
void Zk_FailWrite(uint64_t nth, int32_t bPersistent);
void Zk_FailRead(uint64_t nth, int32_t bPersistent);
// Switches every fault off.
void Zk_ClearFaults(void);
// How many injected faults have fired since the last Zk_ClearFaults.
uint64_t Zk_FaultsFired(void);

// Calls made so far (counters never reset; take differences).
uint64_t Zk_AllocationCalls(void);
uint64_t Zk_WriteCalls(void);
uint64_t Zk_ReadCalls(void);

// Releases of pointers the kernel did not hand out (Z_LocalFree of an
// unknown or already freed block, Z_FreeBitmap of foreign pixels or
// palette): counted here, never freed, one line each on stderr.
uint64_t Zk_UnknownReleaseCount(void);

// Largest single block Z_LocalAlloc grants, in bytes (default 1 GiB);
// larger requests return null as if memory were exhausted. Bitmap pixels
// (Z_AllocateBitmap, Z_ColorResBitmap) obey the same ceiling (-1 above it).
void Zk_SetAllocationCeiling(uint64_t nBytes);

// Progress hook for hosts: called now and then while a file is read (on
// each refill of a handle's 64 KiB read buffer), with the bytes consumed so
// far and the file's size. Null switches it off.
typedef void (*ZkProgressProc)(uint64_t nDone, uint64_t nTotal, void* pUser);
void Zk_SetProgressHook(ZkProgressProc pfnHook, void* pUser);

// Step-back observer for hosts that watch a reader: called after every
// Z_RedirectedSeek(h, -1, 1) that succeeded, on the reading thread, with the
// handle and the position stepped back to. The MIF line reader steps back
// one byte at the start of every line it reads and after a lone CR, so the
// positions are the line starts as it sees them. Null switches it off.
struct tagHANDLE;
typedef void (*ZkStepBackProc)(tagHANDLE* hFile, int64_t nPosition, void* pUser);
void Zk_SetStepBackObserver(ZkStepBackProc pfnObserver, void* pUser);

}  // extern "C"

#endif  // HOST_KERNEL_KERNEL_TESTING_H
