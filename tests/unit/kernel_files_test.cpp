// kernel_files_test.cpp - the kernel's redirected files: invalid handles,
// opening, the line reader's per-byte read with its one-byte step back,
// seeks, mixed reads and writes, write failures surfacing on the failing
// call (a size limit in a child process, a full device), faults on reads and
// writes, the progress hook and several threads at once.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "hostapi.h"
#include "kernel_test_util.h"
#include "kernel_testing.h"

using namespace kernel_test;

namespace {

// The line reader of the spec (Part 2.1): one byte per read, a one-byte step
// back after the first byte of a line and after the byte that follows a CR.
int ReadLineLikeFilter(tagHANDLE* h, std::string& line) {
    line.clear();
    char c;
    if (Z_RedirectedRead(h, &c, 1) != 1) return 2;
    Z_RedirectedSeek(h, -1, 1);
    for (;;) {
        if (Z_RedirectedRead(h, &c, 1) != 1) return 1;
        if (c == '\n') return 1;
        if (c == '\r') {
            char next;
            if (Z_RedirectedRead(h, &next, 1) != 1 || next == '\n') return 1;
            Z_RedirectedSeek(h, -1, 1);
            return 1;
        }
        line.push_back(c);
    }
}

std::vector<std::string> ReadAllLines(const std::string& path) {
    std::vector<std::string> lines;
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
    if (!h) return {"<open failed>"};
    std::string line;
    while (ReadLineLikeFilter(h, line) == 1) lines.push_back(line);
    Z_RedirectedClose(h);
    return lines;
}

class KernelFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Ok()); }
    TempDir m_dir;
};

// ---------------------------------------------------------------------------
// Invalid handles.
// ---------------------------------------------------------------------------
TEST(KernelFilesInvalid, NoFileHandlesGiveErrorCodes) {
    tagHANDLE* const aHandles[] = {nullptr, MIF_INVALID_HANDLE};
    for (tagHANDLE* h : aHandles) {
        char c = 0;
        EXPECT_EQ(Z_RedirectedRead(h, &c, 1), -1);
        EXPECT_EQ(Z_RedirectedWrite(h, "x", 1), MIF_ERR_WRITE);
        EXPECT_EQ(Z_RedirectedSeek(h, 0, 0), MIF_ERR_NOFILE);
        EXPECT_EQ(Z_RedirectedSeek(h, -1, 1), MIF_ERR_NOFILE);
        EXPECT_EQ(Z_RedirectedClose(h), MIF_ERR_NOFILE);
    }
}

TEST_F(KernelFiles, OpenFailuresReturnNull) {
    EXPECT_EQ(Z_RedirectedOpen(nullptr, kReadFlags, kReadMode), nullptr);
    EXPECT_EQ(Z_RedirectedOpen(m_dir.File("missing.mif").c_str(), kReadFlags, kReadMode), nullptr);
    EXPECT_EQ(Z_RedirectedOpen(m_dir.Path().c_str(), kReadFlags, kReadMode), nullptr);
    EXPECT_EQ(Zk_OpenFileCount(), 0u);
}

TEST_F(KernelFiles, CreatedFileGetsReadWritePermissionsThroughUmask) {
    mode_t old = ::umask(022);
    const std::string path = m_dir.File("new.mif");
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode);
    ::umask(old);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Zk_OpenFileCount(), 1u);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // The descriptor is not inherited by programs the host starts.
    h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
    ASSERT_NE(h, nullptr);
    int nFound = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d)) {
            char target[4096];
            std::string link = std::string("/proc/self/fd/") + e->d_name;
            ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n <= 0 || std::string(target, size_t(n)) != path) continue;
            ++nFound;
            EXPECT_TRUE(::fcntl(std::atoi(e->d_name), F_GETFD) & FD_CLOEXEC);
        }
        ::closedir(d);
    }
    EXPECT_EQ(nFound, 1);
    Z_RedirectedClose(h);
}

TEST_F(KernelFiles, DeleteFile) {
    const std::string path = m_dir.File("gone.mif");
    ASSERT_TRUE(WriteWholeFile(path, "x"));
    EXPECT_EQ(DeleteFile(path.c_str()), MIF_OK);
    EXPECT_EQ(FileSize(path), -1);
    EXPECT_LT(DeleteFile(path.c_str()), 0);
    EXPECT_LT(DeleteFile(nullptr), 0);
}

// ---------------------------------------------------------------------------
// The line reader's pattern over CR, LF and CR LF.
// ---------------------------------------------------------------------------
struct LineCase {
    const char* pszName;
    std::string content;
    std::vector<std::string> lines;
};

class KernelFilesLines : public KernelFiles, public ::testing::WithParamInterface<LineCase> {};

TEST_P(KernelFilesLines, PerByteReadWithStepBack) {
    const LineCase& c = GetParam();
    const std::string path = m_dir.File("lines.mif");
    ASSERT_TRUE(WriteWholeFile(path, c.content));
    EXPECT_EQ(ReadAllLines(path), c.lines);
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

INSTANTIATE_TEST_SUITE_P(
    Endings, KernelFilesLines,
    ::testing::Values(
        LineCase{"Empty", "", {}},
        LineCase{"Lf", "Version 300\nData\n", {"Version 300", "Data"}},
        LineCase{"CrLf", "Version 300\r\nData\r\n", {"Version 300", "Data"}},
        LineCase{"LoneCr", "a\rb\rc", {"a", "b", "c"}},
        LineCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        LineCase{"EmptyLines", "\n\r\n\r\nx", {"", "", "", "x"}},
        LineCase{"CrAtEnd", "x\r", {"x"}},
        LineCase{"NoFinalEnd", "Line 0 0 10 10", {"Line 0 0 10 10"}},
        // A CR as the last byte of the first 64 KiB buffer and the byte after
        // it at the start of the next one.
        LineCase{"CrAcrossBufferEdge",
                 Repeat('a', 65535) + "\rb\r\n" + Repeat('c', 70000) + "\n",
                 {Repeat('a', 65535), "b", Repeat('c', 70000)}},
        // A line that begins exactly at the second buffer.
        LineCase{"LineAtBufferEdge", Repeat('a', 65535) + "\n" + "second",
                 {Repeat('a', 65535), "second"}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.pszName); });

// ---------------------------------------------------------------------------
// Reads and seeks.
// ---------------------------------------------------------------------------
TEST_F(KernelFiles, ReadCountsAndEndOfFile) {
    const std::string path = m_dir.File("data.bin");
    std::string content;
    for (int i = 0; i < 200000; ++i) content.push_back(char('A' + i % 26));
    ASSERT_TRUE(WriteWholeFile(path, content));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
    ASSERT_NE(h, nullptr);
    std::string got;
    std::vector<char> buf(150000);
    // Mixed sizes: one byte, a small block, a block larger than the buffer.
    const int32_t aSizes[] = {1, 10, 150000, 7, 100000};
    for (int32_t n : aSizes) {
        int32_t r = Z_RedirectedRead(h, buf.data(), n);
        ASSERT_GE(r, 0);
        got.append(buf.data(), size_t(r));
    }
    EXPECT_EQ(got, content);
    EXPECT_EQ(Z_RedirectedRead(h, buf.data(), 1), 0);
    EXPECT_EQ(Z_RedirectedRead(h, buf.data(), 0), 0);
    EXPECT_EQ(Z_RedirectedRead(h, buf.data(), -1), MIF_ERR_ARG);
    EXPECT_EQ(Z_RedirectedRead(h, nullptr, 1), MIF_ERR_ARG);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
}

struct SeekCase {
    int64_t nStartPos;   // seek here first (origin 0)
    int64_t nOffset;
    int32_t nOrigin;
    int64_t nExpected;   // result; the position afterwards when >= 0
};

class KernelFilesSeek : public KernelFiles, public ::testing::WithParamInterface<SeekCase> {};

TEST_P(KernelFilesSeek, Semantics) {
    const SeekCase& c = GetParam();
    const std::string path = m_dir.File("seek.bin");
    ASSERT_TRUE(WriteWholeFile(path, "0123456789"));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
    ASSERT_NE(h, nullptr);
    char ch = 0;
    ASSERT_EQ(Z_RedirectedRead(h, &ch, 1), 1);  // fill the buffer
    ASSERT_EQ(Z_RedirectedSeek(h, c.nStartPos, 0), c.nStartPos);
    EXPECT_EQ(Z_RedirectedSeek(h, c.nOffset, c.nOrigin), c.nExpected);
    const int64_t nPos = c.nExpected >= 0 ? c.nExpected : c.nStartPos;
    EXPECT_EQ(Z_RedirectedSeek(h, 0, 1), nPos);
    int32_t r = Z_RedirectedRead(h, &ch, 1);
    if (nPos < 10) {
        ASSERT_EQ(r, 1);
        EXPECT_EQ(ch, char('0' + nPos));
    } else {
        EXPECT_EQ(r, 0);
    }
    Z_RedirectedClose(h);
}

INSTANTIATE_TEST_SUITE_P(Origins, KernelFilesSeek,
                         ::testing::Values(SeekCase{0, 4, 0, 4}, SeekCase{5, -1, 1, 4},
                                           SeekCase{5, 3, 1, 8}, SeekCase{5, 0, 1, 5},
                                           SeekCase{0, 0, 2, 10}, SeekCase{0, -3, 2, 7},
                                           SeekCase{0, 25, 0, 25},  // past the end: reads 0
                                           SeekCase{2, -3, 1, MIF_ERR_ARG},
                                           SeekCase{2, -11, 2, MIF_ERR_ARG},
                                           SeekCase{2, 0, 3, MIF_ERR_ARG},
                                           SeekCase{2, INT64_MAX, 1, MIF_ERR_ARG}));

// ---------------------------------------------------------------------------
// Writes.
// ---------------------------------------------------------------------------
TEST_F(KernelFiles, WriteThenCloseLeavesExactlyTheBytesWritten) {
    const std::string path = m_dir.File("out.mif");
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode);
    ASSERT_NE(h, nullptr);
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        std::string s = "Line " + std::to_string(i) + "\r\n";
        ASSERT_EQ(Z_RedirectedWrite(h, s.data(), int32_t(s.size())), int32_t(s.size()));
        expected += s;
    }
    // A write larger than the write buffer.
    std::string big(300000, 'z');
    ASSERT_EQ(Z_RedirectedWrite(h, big.data(), int32_t(big.size())), int32_t(big.size()));
    expected += big;
    EXPECT_EQ(Z_RedirectedWrite(h, "x", 0), 0);
    EXPECT_EQ(Z_RedirectedWrite(h, nullptr, 3), MIF_ERR_ARG);
    // The end seen through the handle is the logical end, not the reservation.
    EXPECT_EQ(Z_RedirectedSeek(h, 0, 2), int64_t(expected.size()));
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(FileSize(path), (long long)expected.size());
    EXPECT_EQ(ReadWholeFile(path), expected);
}

TEST_F(KernelFiles, WritingOverAnExistingFileKeepsItsTail) {
    const std::string path = m_dir.File("existing.mif");
    ASSERT_TRUE(WriteWholeFile(path, "abcdefghij"));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Z_RedirectedWrite(h, "XYZ", 3), 3);
    EXPECT_EQ(Z_RedirectedSeek(h, 0, 2), 10);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), "XYZdefghij");
}

TEST_F(KernelFiles, MixedReadsWritesAndSeeks) {
    const std::string path = m_dir.File("mixed.bin");
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Z_RedirectedWrite(h, "hello world", 11), 11);
    // Read back what is still in the write buffer.
    ASSERT_EQ(Z_RedirectedSeek(h, 0, 0), 0);
    char buf[32] = {};
    ASSERT_EQ(Z_RedirectedRead(h, buf, 5), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    // Overwrite in the middle after a read, then read across the change.
    ASSERT_EQ(Z_RedirectedWrite(h, "_", 1), 1);
    ASSERT_EQ(Z_RedirectedSeek(h, -6, 1), 0);
    ASSERT_EQ(Z_RedirectedRead(h, buf, 32), 11);
    EXPECT_EQ(std::string(buf, 11), "hello_world");
    // Reading at the end gives 0, not the reserved tail.
    EXPECT_EQ(Z_RedirectedRead(h, buf, 1), 0);
    // Append after the end, with a gap that reads as zeros.
    ASSERT_EQ(Z_RedirectedSeek(h, 2, 2), 13);
    ASSERT_EQ(Z_RedirectedWrite(h, "!", 1), 1);
    EXPECT_EQ(Z_RedirectedSeek(h, 0, 2), 14);
    ASSERT_EQ(Z_RedirectedSeek(h, 10, 0), 10);
    ASSERT_EQ(Z_RedirectedRead(h, buf, 32), 4);
    EXPECT_EQ(std::string(buf, 4), std::string("d\0\0!", 4));
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), std::string("hello_world\0\0!", 14));
}

TEST_F(KernelFiles, AppendFlagWritesAtTheEnd) {
    const std::string path = m_dir.File("append.txt");
    ASSERT_TRUE(WriteWholeFile(path, "abc"));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), O_WRONLY | O_APPEND, kWriteMode);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(Z_RedirectedSeek(h, 0, 0), 0);
    ASSERT_EQ(Z_RedirectedWrite(h, "de", 2), 2);
    ASSERT_EQ(Z_RedirectedSeek(h, 1, 0), 1);
    ASSERT_EQ(Z_RedirectedWrite(h, "f", 1), 1);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), "abcdef");
}

TEST_F(KernelFiles, ReadOnlyHandleRefusesWritesAtOnce) {
    const std::string path = m_dir.File("ro.txt");
    ASSERT_TRUE(WriteWholeFile(path, "abc"));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Z_RedirectedWrite(h, "x", 1), 0);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), "abc");
}

// A device without fallocate: the handle writes through, and a full device
// fails the write call itself.
TEST(KernelFilesDevices, WriteThroughReportsFailureOnTheCall) {
    tagHANDLE* h = Z_RedirectedOpen("/dev/null", O_WRONLY, kWriteMode);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Z_RedirectedWrite(h, "abc", 3), 3);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    h = Z_RedirectedOpen("/dev/full", O_WRONLY, kWriteMode);
    if (!h) GTEST_SKIP() << "/dev/full is not available";
    EXPECT_EQ(Z_RedirectedWrite(h, "abc", 3), 0);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
}

// The write that crosses RLIMIT_FSIZE returns a short count on that call,
// and the file after close holds exactly the bytes accepted. Runs in a child
// process (the limit and the ignored SIGXFSZ stay there).
struct LimitCase {
    const char* pszName;
    rlim_t nLimit;
    int32_t nBlock;
    int64_t nExpectAccepted;   // total accepted
    int32_t nExpectLastShort;  // the short count of the crossing write
};

class KernelFilesLimit : public KernelFiles, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(KernelFilesLimit, ShortCountOnTheCrossingWrite) {
    const LimitCase& c = GetParam();
    const std::string path = m_dir.File("limited.mif");
    {
        // The expectations hold where the kernel can reserve space; on a
        // file system without fallocate it writes through (other counts).
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        ASSERT_GE(fd, 0);
        bool bHasFallocate = ::fallocate(fd, 0, 0, 4096) == 0;
        ::close(fd);
        ::unlink(path.c_str());
        if (!bHasFallocate) GTEST_SKIP() << "no fallocate on " << m_dir.Path();
    }
    int aPipe[2];
    ASSERT_EQ(::pipe(aPipe), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(aPipe[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {c.nLimit, c.nLimit};
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(10);
        tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode);
        if (!h) ::_exit(11);
        std::vector<char> block(size_t(c.nBlock));
        int64_t aResult[2] = {0, -1};  // accepted, short count
        for (int64_t i = 0; i < 100000; ++i) {
            for (int32_t k = 0; k < c.nBlock; ++k) block[size_t(k)] = char('a' + (aResult[0] + k) % 26);
            int32_t r = Z_RedirectedWrite(h, block.data(), c.nBlock);
            if (r > 0) aResult[0] += r;
            if (r != c.nBlock) {
                aResult[1] = r;
                break;
            }
        }
        if (Z_RedirectedClose(h) != MIF_OK) ::_exit(12);
        if (::write(aPipe[1], aResult, sizeof aResult) != sizeof aResult) ::_exit(13);
        ::_exit(0);
    }
    ::close(aPipe[1]);
    int64_t aResult[2] = {-1, -1};
    ssize_t nRead = ::read(aPipe[0], aResult, sizeof aResult);
    ::close(aPipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(nRead, ssize_t(sizeof aResult));
    EXPECT_EQ(aResult[0], c.nExpectAccepted);
    EXPECT_EQ(aResult[1], c.nExpectLastShort);
    std::string content = ReadWholeFile(path);
    ASSERT_EQ((int64_t)content.size(), c.nExpectAccepted);
    for (size_t i = 0; i < content.size(); ++i)
        ASSERT_EQ(content[i], char('a' + i % 26)) << "at byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, KernelFilesLimit,
    ::testing::Values(
        // Below one reservation chunk: every write reserves exactly; the
        // write past the limit is refused whole.
        LimitCase{"BelowChunk", 100000, 1000, 100000, 0},
        LimitCase{"BelowChunkUneven", 100500, 1000, 100000, 0},
        // Just past the first chunk: the crossing write keeps the part that
        // lies in the chunk already reserved.
        LimitCase{"PastChunk", 1048576 + 100, 1000, 1048576, 576}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.pszName); });

// ---------------------------------------------------------------------------
// Faults, counters, progress.
// ---------------------------------------------------------------------------
TEST_F(KernelFiles, ReadAndWriteFaults) {
    const std::string path = m_dir.File("faults.bin");
    ASSERT_TRUE(WriteWholeFile(path, "abcdef"));
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), O_RDWR, kReadMode | kWriteMode);
    ASSERT_NE(h, nullptr);
    char c;
    const uint64_t nReads = Zk_ReadCalls();
    Zk_FailRead(2, 0);
    EXPECT_EQ(Z_RedirectedRead(h, &c, 1), 1);
    EXPECT_EQ(Z_RedirectedRead(h, &c, 1), -1);  // fails, reads nothing
    EXPECT_EQ(Z_RedirectedRead(h, &c, 1), 1);
    EXPECT_EQ(c, 'b');
    EXPECT_EQ(Zk_FaultsFired(), 1u);
    EXPECT_EQ(Zk_ReadCalls() - nReads, 3u);

    const uint64_t nWrites = Zk_WriteCalls();
    Zk_FailWrite(1, 1);
    EXPECT_EQ(Z_RedirectedWrite(h, "X", 1), 0);
    EXPECT_EQ(Z_RedirectedWrite(h, "X", 1), 0);
    EXPECT_EQ(Zk_FaultsFired(), 3u);
    Zk_FailWrite(0, 0);
    EXPECT_EQ(Z_RedirectedWrite(h, "X", 1), 1);
    EXPECT_EQ(Zk_WriteCalls() - nWrites, 3u);
    Zk_ClearFaults();
    EXPECT_EQ(Zk_FaultsFired(), 0u);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), "abXdef");
}

struct ProgressLog {
    std::vector<uint64_t> done;
    uint64_t nTotal = 0;
};

void RecordProgress(uint64_t nDone, uint64_t nTotal, void* pUser) {
    auto* log = static_cast<ProgressLog*>(pUser);
    log->done.push_back(nDone);
    log->nTotal = nTotal;
}

TEST_F(KernelFiles, ProgressHookOnEachRefill) {
    const std::string path = m_dir.File("progress.bin");
    ASSERT_TRUE(WriteWholeFile(path, std::string(200000, 'p')));
    ProgressLog log;
    Zk_SetProgressHook(RecordProgress, &log);
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
    ASSERT_NE(h, nullptr);
    char c;
    while (Z_RedirectedRead(h, &c, 1) == 1) {
    }
    Z_RedirectedClose(h);
    Zk_SetProgressHook(nullptr, nullptr);
    // Refills at 0, 64 KiB, 128 KiB, 192 KiB, and the one that finds the end.
    ASSERT_GE(log.done.size(), 4u);
    EXPECT_EQ(log.done[0], 0u);
    EXPECT_EQ(log.done[1], 65536u);
    EXPECT_EQ(log.nTotal, 200000u);
}

TEST_F(KernelFiles, ThreadsOnDifferentFiles) {
    constexpr int kThreads = 4;
    constexpr int kLines = 20000;
    const uint64_t nWrites = Zk_WriteCalls();
    const uint64_t nReads = Zk_ReadCalls();
    std::atomic<int> nFailures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string path = m_dir.File("thread" + std::to_string(t));
            tagHANDLE* h = Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode);
            if (!h) {
                ++nFailures;
                return;
            }
            for (int i = 0; i < kLines; ++i) {
                std::string s = std::to_string(t) + ":" + std::to_string(i) + "\n";
                if (Z_RedirectedWrite(h, s.data(), int32_t(s.size())) != int32_t(s.size())) ++nFailures;
            }
            if (Z_RedirectedClose(h) != MIF_OK) ++nFailures;
            h = Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode);
            if (!h) {
                ++nFailures;
                return;
            }
            std::string line;
            int n = 0;
            while (ReadLineLikeFilter(h, line) == 1) {
                if (line != std::to_string(t) + ":" + std::to_string(n)) ++nFailures;
                ++n;
            }
            if (n != kLines) ++nFailures;
            Z_RedirectedClose(h);
        });
    }
    // Counters and the open-file count may be read meanwhile.
    for (int i = 0; i < 100; ++i) {
        (void)Zk_ReadCalls();
        (void)Zk_OpenFileCount();
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(nFailures.load(), 0);
    EXPECT_EQ(Zk_WriteCalls() - nWrites, uint64_t(kThreads) * kLines);
    EXPECT_GT(Zk_ReadCalls() - nReads, uint64_t(kThreads) * kLines);
}

}  // namespace
