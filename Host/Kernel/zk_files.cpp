// zk_files.cpp - redirected files over POSIX descriptors.
//
// A handle (tagHANDLE) owns one descriptor and keeps the file position
// itself: every transfer is a pread or pwrite at that position, so seeking
// never costs a system call.
//
// Handle values. Null and MIF_INVALID_HANDLE (all ones) mean "no file". For
// them:
//   Z_RedirectedRead  returns -1 (MIF_ERR_NOMEM's value, "nothing read"),
//   Z_RedirectedWrite returns -5 (MIF_ERR_WRITE),
//   Z_RedirectedSeek  returns -14 (MIF_ERR_NOFILE),
//   Z_RedirectedClose returns -14 (MIF_ERR_NOFILE).
// A negative count or a null buffer with a positive count gives -13
// (MIF_ERR_ARG) from Read and Write; a count of 0 gives 0. A handle that was
// closed must not be used again (its memory is freed; the slow paths check a
// tag that close clears, and sanitizer builds report the use).
//
// Threads: any number of threads may use different handles at once (the
// registry of open handles, the counters and the faults are shared and
// locked or atomic). One handle is used by one thread at a time, like an
// unlocked stdio stream: the per-byte read path takes no lock.
//
// Open. The flags are POSIX open flags as given (0 = O_RDONLY, 66 = O_RDWR |
// O_CREAT), with O_CLOEXEC added. The mode argument names the access the
// caller asks for (256 = S_IRUSR, 128 = S_IWUSR); it is not used as the new
// file's permission bits: a created file gets 0666 filtered by the umask, as
// fopen would give it. (Taken literally, mode 128 = 0200 would create a file
// its owner cannot read back.) O_APPEND is honoured by the handle itself:
// every write goes to the current logical end. Directories are refused.
// Failure returns null.
//
// Reads. Each handle keeps a 64 KiB read buffer that stays valid across
// seeks, so the line reader's one-byte read and its one-byte step back
// (Z_RedirectedSeek(h, -1, 1)) cost a few nanoseconds: they move a pointer
// in the buffer and nothing else. Each refill calls the
// progress hook with the position and the file's size.
//
// Writes. Writes are buffered (64 KiB), and a write reports its failure on
// the call that failed, never later at close: before bytes are accepted past
// the file space already reserved, the handle reserves space with
// fallocate(2) mode 0 (what posix_fallocate does, without glibc's slow
// emulation on file systems that lack it) in 1 MiB chunks. When a chunk
// cannot be had (ENOSPC, or EFBIG under RLIMIT_FSIZE), it retries with
// exactly the bytes this call needs, and from then on reserves exactly; when
// that fails too, the call accepts only the bytes that fall inside the space
// already reserved and returns that short count. A buffered flush therefore
// never fails for lack of space or a size limit; an I/O error (EIO) during a
// flush makes the write in progress return short, every later write return
// 0 and the close return -5. Reservation extends the file on disk; the
// handle keeps the logical end (the larger of the size at open and the
// highest position written), reads stop there, seeks from the end count
// from there, and close truncates the file back to it, so over-reservation
// never shows once the file is closed. A file system without fallocate
// (EOPNOTSUPP, and devices: ENODEV, ESPIPE) makes the handle write through:
// each write call pwrites until done or an error, and returns the count
// written. Reads, writes and seeks may be mixed on one handle: pending writes
// are flushed before a read and before a seek that moves away from their
// end, and a write discards the read buffer.
//
// Only one handle should write a given file at a time: another process or
// handle sees the reserved (zero) tail until the writer closes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "zk_internal.h"

namespace {

constexpr uint64_t kHandleTag = 0x5a4b48414e444c45ull;  // "ZKHANDLE"
constexpr uint32_t kReadBufferSize = 64 * 1024;
constexpr uint32_t kWriteBufferSize = 64 * 1024;
constexpr int64_t kReserveChunk = 1024 * 1024;

}  // namespace

struct tagHANDLE {
    // The read window: the unread bytes of the read buffer from the cursor
    // on, [pWinNext, pWinEnd). A one-byte read from it moves pWinNext and
    // nothing else. The window is empty (all three pointers null) inside
    // every slow path, while writes are pending and while a read fault is
    // armed, so those calls all reach the slow paths.
    const uint8_t* pWinNext = nullptr;
    const uint8_t* pWinEnd = nullptr;
    const uint8_t* pWinStart = nullptr;  // pWinNext when the window was opened

    uint64_t nTag = kHandleTag;
    int fd = -1;
    bool bAppend = false;

    // The cursor, the file position of the next read or write, is
    // nPos + (pWinNext - pWinStart). Only the thread using the handle writes
    // these; Zk_ReadCalls reads them from others, so every access goes
    // through relaxed atomic builtins (plain moves on x86).
    int64_t nPos = 0;
    // One-byte reads served by the window are counted without a counter of
    // their own: each moves the cursor by exactly one and nothing else,
    // while every other move of the cursor (MovePos) moves nPosBias as well,
    // so their number is the cursor less nPosBias (modulo 2^64).
    uint64_t nPosBias = 0;

    // Read buffer: file bytes [nBufPos, nBufPos + nBufLen). Empty while
    // writes are pending.
    uint8_t* pBuf = nullptr;
    int64_t nBufPos = 0;
    uint32_t nBufLen = 0;

    // Calls counted on this handle (reads: those the fast path does not
    // serve), updated only by the thread using it.
    std::atomic<uint64_t> nReadCalls{0};
    std::atomic<uint64_t> nWriteCalls{0};

    // Write buffer: bytes for [nWPos, nWPos + nWLen); while it holds bytes,
    // nPos == nWPos + nWLen.
    uint8_t* pWBuf = nullptr;
    int64_t nWPos = 0;
    uint32_t nWLen = 0;

    // Space management.
    int64_t nEnd = 0;        // logical size: max(size at open, highest written)
    int64_t nReserved = 0;   // [0, nReserved) reserved by fallocate
    int64_t nChunk = kReserveChunk;  // 0 once a chunk failed: reserve exactly
    bool bExtended = false;  // fallocate was called: the file may be longer than nEnd
    bool bWriteThrough = false;
    int nError = 0;          // errno of a failed flush (sticky)

    // Registry links.
    tagHANDLE* pPrev = nullptr;
    tagHANDLE* pNext = nullptr;
};

namespace {

template <typename T>
inline T Load(const T& field) {
    return __atomic_load_n(&field, __ATOMIC_RELAXED);
}
template <typename T>
inline void Store(T& field, T value) {
    __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}

inline int64_t Pos(const tagHANDLE* h) {
    return Load(h->nPos) + (Load(h->pWinNext) - Load(h->pWinStart));
}

// Any move of the cursor other than a one-byte read from the window. The
// window is closed (every slow path closes it first).
inline void MovePos(tagHANDLE* h, int64_t nNew) {
    Store(h->nPosBias, Load(h->nPosBias) + (uint64_t(nNew) - uint64_t(Load(h->nPos))));
    Store(h->nPos, nNew);
}

// Folds the bytes read from the window into nPos and empties the window.
void CloseWindow(tagHANDLE* h) {
    Store(h->nPos, Pos(h));
    Store(h->pWinStart, static_cast<const uint8_t*>(nullptr));
    Store(h->pWinNext, static_cast<const uint8_t*>(nullptr));
    h->pWinEnd = nullptr;
}

// Opens the window on the buffered bytes from the cursor on, when the
// cursor is inside the read buffer, no write is pending and no read fault
// is armed. The window is closed.
void OpenWindow(tagHANDLE* h) {
    const uint64_t nOff = uint64_t(Load(h->nPos) - h->nBufPos);
    if (h->nWLen || nOff >= h->nBufLen || zk::g_faultArmed[zk::kFaultRead].load(std::memory_order_relaxed))
        return;
    const uint8_t* p = h->pBuf + nOff;
    Store(h->pWinStart, p);
    Store(h->pWinNext, p);
    h->pWinEnd = h->pBuf + h->nBufLen;
}

// Read calls made on a handle (from any thread; exact on the handle's own).
inline uint64_t ReadCallsOf(const tagHANDLE* h) {
    uint64_t nFast = uint64_t(Pos(h)) - __atomic_load_n(&h->nPosBias, __ATOMIC_RELAXED);
    return h->nReadCalls.load(std::memory_order_relaxed) + nFast;
}

// ---------------------------------------------------------------------------
// Registry of open handles.
// ---------------------------------------------------------------------------
struct Registry {
    std::mutex mutex;
    tagHANDLE head;   // sentinel of a circular list
    size_t nOpen = 0;
    Registry() { head.pPrev = head.pNext = &head; }
};

Registry& TheRegistry() {
    static Registry* pRegistry = new Registry;  // never destroyed
    return *pRegistry;
}

void Register(tagHANDLE* h) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    h->pNext = &r.head;
    h->pPrev = r.head.pPrev;
    r.head.pPrev->pNext = h;
    r.head.pPrev = h;
    ++r.nOpen;
}

void Unregister(tagHANDLE* h) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    h->pPrev->pNext = h->pNext;
    h->pNext->pPrev = h->pPrev;
    h->pPrev = h->pNext = nullptr;
    --r.nOpen;
    zk::g_readCallsBase.fetch_add(ReadCallsOf(h), std::memory_order_relaxed);
    zk::g_writeCallsBase.fetch_add(h->nWriteCalls.load(std::memory_order_relaxed),
                                   std::memory_order_relaxed);
}

inline bool IsValid(const tagHANDLE* h) {
    return h != nullptr && h != MIF_INVALID_HANDLE && h->nTag == kHandleTag;
}

inline void Bump(std::atomic<uint64_t>& counter) {
    // Only the thread that uses the handle writes its counter: a plain
    // load and store, no locked instruction.
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// System call helpers.
// ---------------------------------------------------------------------------

// Writes all n bytes at offset; returns the bytes written (short on error,
// with errno set).
size_t PWriteAll(int fd, const uint8_t* p, size_t n, int64_t nOffset) {
    size_t nDone = 0;
    while (nDone < n) {
        ssize_t r = ::pwrite(fd, p + nDone, n - nDone, off_t(nOffset + int64_t(nDone)));
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) {
            errno = EIO;
            break;
        }
        nDone += size_t(r);
    }
    return nDone;
}

ssize_t PRead(int fd, uint8_t* p, size_t n, int64_t nOffset) {
    for (;;) {
        ssize_t r = ::pread(fd, p, n, off_t(nOffset));
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

int FAllocate(int fd, int64_t nOffset, int64_t nLength) {
    for (;;) {
        if (::fallocate(fd, 0, off_t(nOffset), off_t(nLength)) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}

bool IsNoFallocate(int err) {
    return err == EOPNOTSUPP || err == ENOSYS || err == ENODEV || err == ESPIPE;
}

// ---------------------------------------------------------------------------
// Handle internals.
// ---------------------------------------------------------------------------

// The logical size: what reads stop at and seeks from the end count from.
int64_t LogicalSize(tagHANDLE* h) {
    if (h->bExtended) return h->nEnd;
    struct stat st;
    if (::fstat(h->fd, &st) == 0 && S_ISREG(st.st_mode)) return std::max<int64_t>(st.st_size, h->nEnd);
    return h->nEnd;
}

// Writes the pending bytes; false (and the sticky error set) on failure.
bool Flush(tagHANDLE* h) {
    if (h->nWLen == 0) return true;
    size_t nDone = PWriteAll(h->fd, h->pWBuf, h->nWLen, h->nWPos);
    bool bOk = nDone == h->nWLen;
    if (!bOk) h->nError = errno ? errno : EIO;
    h->nWLen = 0;
    return bOk;
}

enum ReserveResult { kReserved, kNoSpace, kUnsupported };

// Makes sure [0, nNeedEnd) is reserved.
ReserveResult Reserve(tagHANDLE* h, int64_t nNeedEnd) {
    if (nNeedEnd <= h->nReserved) return kReserved;
    h->bExtended = true;
    if (h->nChunk > 0) {
        int64_t nChunkEnd = std::max(nNeedEnd, h->nReserved + h->nChunk);
        nChunkEnd = (nChunkEnd + h->nChunk - 1) / h->nChunk * h->nChunk;
        int err = FAllocate(h->fd, h->nReserved, nChunkEnd - h->nReserved);
        if (err == 0) {
            h->nReserved = nChunkEnd;
            return kReserved;
        }
        if (IsNoFallocate(err)) return kUnsupported;
        h->nChunk = 0;  // from now on, reserve exactly what each call needs
    }
    int err = FAllocate(h->fd, h->nReserved, nNeedEnd - h->nReserved);
    if (err == 0) {
        h->nReserved = nNeedEnd;
        return kReserved;
    }
    if (IsNoFallocate(err)) return kUnsupported;
    errno = err;
    return kNoSpace;
}

int32_t WriteThrough(tagHANDLE* h, const uint8_t* p, int32_t nCount) {
    if (!Flush(h)) return 0;
    size_t nDone = PWriteAll(h->fd, p, size_t(nCount), Pos(h));
    MovePos(h, Pos(h) + int64_t(nDone));
    h->nEnd = std::max(h->nEnd, Pos(h));
    return int32_t(nDone);
}

int32_t WriteSlow(tagHANDLE* h, const uint8_t* p, int32_t nCount) {
    if (nCount < 0 || (!p && nCount > 0)) return MIF_ERR_ARG;
    if (nCount == 0) return 0;
    if (h->nError) return 0;
    h->nBufLen = 0;  // the read buffer may no longer match the file
    if (h->bAppend) {
        int64_t nAppendAt = LogicalSize(h);
        if (h->nWLen && Pos(h) != nAppendAt && !Flush(h)) return 0;
        MovePos(h, nAppendAt);
    }
    if (h->nWLen && h->nWPos + h->nWLen != Pos(h) && !Flush(h)) return 0;
    if (Pos(h) > INT64_MAX - nCount) return 0;  // past any file size
    if (h->bWriteThrough) return WriteThrough(h, p, nCount);

    int64_t nAccept = nCount;
    switch (Reserve(h, Pos(h) + nCount)) {
    case kReserved:
        break;
    case kUnsupported:
        h->bWriteThrough = true;
        return WriteThrough(h, p, nCount);
    case kNoSpace:
        // Accept only what falls inside the space already secured.
        nAccept = std::clamp<int64_t>(h->nReserved - Pos(h), 0, nCount);
        break;
    }
    if (!h->pWBuf) {
        h->pWBuf = static_cast<uint8_t*>(std::malloc(kWriteBufferSize));
        if (!h->pWBuf) return 0;
    }
    int64_t nDone = 0;
    while (nDone < nAccept) {
        if (h->nWLen == kWriteBufferSize && !Flush(h)) break;
        if (h->nWLen == 0) {
            h->nWPos = Pos(h);
            if (nAccept - nDone >= kWriteBufferSize) {
                // A large write goes straight to the file (space is reserved).
                size_t nWant = size_t(nAccept - nDone);
                size_t nWritten = PWriteAll(h->fd, p + nDone, nWant, Pos(h));
                MovePos(h, Pos(h) + int64_t(nWritten));
                nDone += int64_t(nWritten);
                if (nWritten != nWant) h->nError = errno ? errno : EIO;
                break;
            }
        }
        uint32_t nTake = uint32_t(std::min<int64_t>(kWriteBufferSize - h->nWLen, nAccept - nDone));
        std::memcpy(h->pWBuf + h->nWLen, p + nDone, nTake);
        h->nWLen += nTake;
        MovePos(h, Pos(h) + nTake);
        nDone += nTake;
    }
    h->nEnd = std::max(h->nEnd, Pos(h));
    return int32_t(nDone);
}

int32_t ReadSlow(tagHANDLE* h, uint8_t* p, int32_t nCount) {
    if (nCount < 0 || (!p && nCount > 0)) return MIF_ERR_ARG;
    if (nCount == 0) return 0;
    if (h->nWLen && !Flush(h)) return -1;
    int64_t nDone = 0;
    bool bError = false;
    while (nDone < nCount) {
        uint64_t nOff = uint64_t(Pos(h) - h->nBufPos);
        if (Pos(h) >= h->nBufPos && nOff < h->nBufLen) {
            uint32_t nTake = uint32_t(std::min<int64_t>(h->nBufLen - nOff, nCount - nDone));
            std::memcpy(p + nDone, h->pBuf + nOff, nTake);
            MovePos(h, Pos(h) + nTake);
            nDone += nTake;
            continue;
        }
        // Past the logical end (reserved tail of a file being written)?
        int64_t nLimit = INT64_MAX;
        if (h->bExtended) {
            nLimit = h->nEnd - Pos(h);
            if (nLimit <= 0) break;
        }
        int64_t nWant = nCount - nDone;
        if (zk::g_hasProgressHook.load(std::memory_order_relaxed))
            zk::ReportProgress(uint64_t(Pos(h)), uint64_t(LogicalSize(h)));
        if (nWant >= kReadBufferSize) {
            // A large read goes straight into the caller's buffer.
            ssize_t r = PRead(h->fd, p + nDone, size_t(std::min(nWant, nLimit)), Pos(h));
            if (r < 0) bError = true;
            if (r <= 0) break;
            MovePos(h, Pos(h) + r);
            nDone += r;
            continue;
        }
        if (!h->pBuf) {
            h->pBuf = static_cast<uint8_t*>(std::malloc(kReadBufferSize));
            if (!h->pBuf) {
                bError = true;
                break;
            }
        }
        h->nBufLen = 0;
        ssize_t r = PRead(h->fd, h->pBuf, size_t(std::min<int64_t>(kReadBufferSize, nLimit)), Pos(h));
        if (r < 0) bError = true;
        if (r <= 0) break;
        h->nBufPos = Pos(h);
        h->nBufLen = uint32_t(r);
    }
    if (nDone == 0 && bError) return -1;
    return int32_t(nDone);
}

// Every read that is not a one-byte read from the buffer.
__attribute__((noinline)) int32_t ReadCall(tagHANDLE* h, uint8_t* p, int32_t nCount) {
    if (!IsValid(h)) {
        zk::g_readCallsBase.fetch_add(1, std::memory_order_relaxed);
        zk::FaultFires(zk::kFaultRead);
        return -1;
    }
    Bump(h->nReadCalls);
    if (zk::FaultFires(zk::kFaultRead)) return -1;
    CloseWindow(h);
    const int32_t nResult = ReadSlow(h, p, nCount);
    OpenWindow(h);
    return nResult;
}

// Every write that the fast path of Z_RedirectedWrite does not take.
__attribute__((noinline)) int32_t WriteCall(tagHANDLE* h, const uint8_t* p, int32_t nCount) {
    if (!IsValid(h)) {
        zk::g_writeCallsBase.fetch_add(1, std::memory_order_relaxed);
        zk::FaultFires(zk::kFaultWrite);
        return MIF_ERR_WRITE;
    }
    Bump(h->nWriteCalls);
    if (zk::FaultFires(zk::kFaultWrite)) return 0;
    CloseWindow(h);
    const int32_t nResult = WriteSlow(h, p, nCount);
    OpenWindow(h);
    return nResult;
}

// The step-back observer (Zk_SetStepBackObserver). The flag keeps the
// line reader's step back at one relaxed load while no one watches.
std::atomic<bool> g_hasStepBackObserver{false};
std::mutex g_stepBackMutex;
ZkStepBackProc g_pfnStepBack = nullptr;
void* g_pStepBackUser = nullptr;

__attribute__((noinline)) void ReportStepBack(tagHANDLE* hFile, int64_t nPosition) {
    ZkStepBackProc pfn;
    void* pUser;
    {
        std::lock_guard<std::mutex> lock(g_stepBackMutex);
        pfn = g_pfnStepBack;
        pUser = g_pStepBackUser;
    }
    if (pfn) pfn(hFile, nPosition, pUser);
}

inline void NoteSeek(tagHANDLE* hFile, int64_t nOffset, int32_t nOrigin, int64_t nResult) {
    if (nOffset == -1 && nOrigin == 1 && nResult >= 0 &&
        g_hasStepBackObserver.load(std::memory_order_relaxed))
        ReportStepBack(hFile, nResult);
}

// Every seek that the fast path of Z_RedirectedSeek does not take.
__attribute__((noinline)) int64_t SeekCall(tagHANDLE* hFile, int64_t nOffset, int32_t nOrigin) {
    if (!IsValid(hFile)) return MIF_ERR_NOFILE;
    int64_t nBase;
    switch (nOrigin) {
    case 0: nBase = 0; break;
    case 1: nBase = Pos(hFile); break;
    case 2: nBase = LogicalSize(hFile); break;
    default: return MIF_ERR_ARG;
    }
    int64_t nTarget;
    if (__builtin_add_overflow(nBase, nOffset, &nTarget) || nTarget < 0) return MIF_ERR_ARG;
    if (hFile->nWLen && nTarget != hFile->nWPos + hFile->nWLen && !Flush(hFile))
        return MIF_ERR_WRITE;
    CloseWindow(hFile);
    MovePos(hFile, nTarget);
    OpenWindow(hFile);
    return nTarget;
}

}  // namespace

void zk::CloseReadWindows() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (tagHANDLE* h = r.head.pNext; h != &r.head; h = h->pNext) CloseWindow(h);
}

extern "C" {

tagHANDLE* Z_RedirectedOpen(const char* pszPath, int32_t nFlags, int32_t nMode) {
    (void)nMode;  // the access asked for; see the file comment
    if (!pszPath) return nullptr;
    const bool bAppend = (nFlags & O_APPEND) != 0;
    int fd;
    do {
        fd = ::open(pszPath, (nFlags & ~O_APPEND) | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    struct stat st;
    int err = ::fstat(fd, &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
    if (err) {
        ::close(fd);
        errno = err;
        return nullptr;
    }
    tagHANDLE* h = new (std::nothrow) tagHANDLE;
    if (!h) {
        ::close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    h->fd = fd;
    h->bAppend = bAppend;
    h->nEnd = S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
    Register(h);
    return h;
}

int32_t Z_RedirectedRead(tagHANDLE* hFile, void* pBuffer, int32_t nCount) {
    // The line reader's case, kept to a handful of instructions: one byte
    // from the read window of a handle that is neither null nor all ones.
    // Everything else takes ReadCall.
    // The hints keep that path free of taken branches.
    if (__builtin_expect(uintptr_t(hFile) + 1 > 1 && nCount == 1 && pBuffer, 1)) {
        const uint8_t* p = Load(hFile->pWinNext);
        if (__builtin_expect(p < hFile->pWinEnd, 1)) {
            *static_cast<uint8_t*>(pBuffer) = *p;
            Store(hFile->pWinNext, p + 1);  // counted by the cursor itself
            return 1;
        }
    }
    return ReadCall(hFile, static_cast<uint8_t*>(pBuffer), nCount);
}

int64_t Z_RedirectedSeek(tagHANDLE* hFile, int64_t nOffset, int32_t nOrigin) {
    // The line reader's step back: a relative move that stays inside the
    // read buffer moves the window's cursor (and the bias, as it is not a
    // read).
    if (uintptr_t(hFile) + 1 > 1 && nOrigin == 1 && hFile->pWinEnd) {
        const uint8_t* p = Load(hFile->pWinNext);
        if (nOffset >= hFile->pBuf - p && nOffset <= hFile->pWinEnd - p) {
            Store(hFile->nPosBias, Load(hFile->nPosBias) + uint64_t(nOffset));
            Store(hFile->pWinNext, p + nOffset);
            const int64_t nTarget = Pos(hFile);
            NoteSeek(hFile, nOffset, nOrigin, nTarget);
            return nTarget;
        }
    }
    const int64_t nResult = SeekCall(hFile, nOffset, nOrigin);
    NoteSeek(hFile, nOffset, nOrigin, nResult);
    return nResult;
}

int32_t Z_RedirectedWrite(tagHANDLE* hFile, const void* pBuffer, int32_t nCount) {
    // The common case of a save: a small write that extends the pending
    // buffer inside reserved space, with no write fault armed.
    tagHANDLE* h = hFile;
    if (uintptr_t(h) + 1 > 1 && nCount > 0 && pBuffer && h->nWLen &&
        h->nWLen + uint32_t(nCount) <= kWriteBufferSize && Pos(h) + nCount <= h->nReserved &&
        !h->bAppend && !zk::g_faultArmed[zk::kFaultWrite].load(std::memory_order_relaxed)) {
        Bump(h->nWriteCalls);
        std::memcpy(h->pWBuf + h->nWLen, pBuffer, size_t(nCount));
        h->nWLen += uint32_t(nCount);
        MovePos(h, Pos(h) + nCount);
        if (Pos(h) > h->nEnd) h->nEnd = Pos(h);
        return nCount;
    }
    return WriteCall(h, static_cast<const uint8_t*>(pBuffer), nCount);
}

void Zk_SetStepBackObserver(ZkStepBackProc pfnObserver, void* pUser) {
    std::lock_guard<std::mutex> lock(g_stepBackMutex);
    g_pfnStepBack = pfnObserver;
    g_pStepBackUser = pUser;
    g_hasStepBackObserver.store(pfnObserver != nullptr, std::memory_order_relaxed);
}

int32_t Z_RedirectedClose(tagHANDLE* hFile) {
    if (!IsValid(hFile)) return MIF_ERR_NOFILE;
    tagHANDLE* h = hFile;
    Unregister(h);
    int32_t nResult = MIF_OK;
    if (!Flush(h) || h->nError) nResult = MIF_ERR_WRITE;
    if (h->bExtended) {
        struct stat st;
        if (::fstat(h->fd, &st) == 0 && st.st_size > h->nEnd) {
            int r;
            do {
                r = ::ftruncate(h->fd, off_t(h->nEnd));
            } while (r != 0 && errno == EINTR);
            if (r != 0) nResult = MIF_ERR_WRITE;
        }
    }
    if (::close(h->fd) != 0 && errno != EINTR) nResult = MIF_ERR_WRITE;
    *static_cast<volatile uint64_t*>(&h->nTag) = 0;  // a stale handle fails the slow paths
    h->nBufLen = 0;
    h->nWLen = 0;
    h->nReserved = 0;
    std::free(h->pBuf);
    std::free(h->pWBuf);
    delete h;
    return nResult;
}

int32_t DeleteFile(const char* pszPath) {
    if (!pszPath) return MIF_ERR_ARG;
    return ::unlink(pszPath) == 0 ? MIF_OK : MIF_ERR_NOFILE;
}

// ---------------------------------------------------------------------------
// Test support (kernel_testing.h).
// ---------------------------------------------------------------------------
size_t Zk_OpenFileCount(void) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.nOpen;
}

uint64_t Zk_ReadCalls(void) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    uint64_t n = zk::g_readCallsBase.load(std::memory_order_relaxed);
    for (tagHANDLE* h = r.head.pNext; h != &r.head; h = h->pNext) n += ReadCallsOf(h);
    return n;
}

uint64_t Zk_WriteCalls(void) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    uint64_t n = zk::g_writeCallsBase.load(std::memory_order_relaxed);
    for (tagHANDLE* h = r.head.pNext; h != &r.head; h = h->pNext)
        n += h->nWriteCalls.load(std::memory_order_relaxed);
    return n;
}

}  // extern "C"
