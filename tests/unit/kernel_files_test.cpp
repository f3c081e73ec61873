// kernel_files_test.cpp - the kernel's redirected files: handles, seeks,
// mixed reads and writes, write failures on the failing call, and faults.
// The per-byte read and step back of the line reader across the buffer's
// edge is tested through the reader itself (linereader_test.cpp).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "kernel_test_util.h"
#include "kernel_testing.h"

using namespace kernel_test;

namespace {

tagHANDLE* OpenRead(const std::string& path) { return Z_RedirectedOpen(path.c_str(), kReadFlags, kReadMode); }
tagHANDLE* OpenWrite(const std::string& path) { return Z_RedirectedOpen(path.c_str(), kWriteFlags, kWriteMode); }

class KernelFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Ok()); }
    std::string Make(const std::string& content) {
        EXPECT_TRUE(WriteWholeFile(m_dir.File("f"), content));
        return m_dir.File("f");
    }
    TempDir m_dir;
};

TEST(KernelFilesInvalid, NoFileHandlesGiveErrorCodes) {
    for (tagHANDLE* h : {static_cast<tagHANDLE*>(nullptr), MIF_INVALID_HANDLE}) {
        char c = 0;
        EXPECT_EQ(Z_RedirectedRead(h, &c, 1), -1);
        EXPECT_EQ(Z_RedirectedWrite(h, "x", 1), MIF_ERR_WRITE);
        EXPECT_EQ(Z_RedirectedSeek(h, -1, 1), MIF_ERR_NOFILE);
        EXPECT_EQ(Z_RedirectedClose(h), MIF_ERR_NOFILE);
    }
}

TEST_F(KernelFiles, OpenCreateAndDelete) {
    EXPECT_EQ(Z_RedirectedOpen(nullptr, kReadFlags, kReadMode), nullptr);
    EXPECT_EQ(OpenRead(m_dir.File("missing")), nullptr);
    EXPECT_EQ(OpenRead(m_dir.Path()), nullptr);
    const std::string path = m_dir.File("new");
    tagHANDLE* h = OpenWrite(path);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Zk_OpenFileCount(), 1u);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(DeleteFile(path.c_str()), MIF_OK);
    EXPECT_EQ(FileSize(path), -1);
    EXPECT_LT(DeleteFile(path.c_str()), 0);
    EXPECT_LT(DeleteFile(nullptr), 0);
}

TEST_F(KernelFiles, SeekFromEachOrigin) {
    const struct {
        int64_t nStart, nOffset;
        int32_t nOrigin;
        int64_t nExpected;  // also the position afterwards when >= 0
    } kCases[] = {
        {0, 4, 0, 4},  {5, -1, 1, 4}, {5, 3, 1, 8}, {0, 0, 2, 10}, {0, -3, 2, 7},
        {9, -9, 1, 0}, {5, 5, 1, 10},  // to either edge of the buffered bytes
        {0, 25, 0, 25},  // past the end: reads nothing
        {2, -3, 1, MIF_ERR_ARG}, {2, -11, 2, MIF_ERR_ARG}, {2, 0, 3, MIF_ERR_ARG},
        {2, INT64_MAX, 1, MIF_ERR_ARG},
    };
    tagHANDLE* h = OpenRead(Make("0123456789"));
    ASSERT_NE(h, nullptr);
    char ch = 0;
    ASSERT_EQ(Z_RedirectedRead(h, &ch, 1), 1);  // fill the buffer
    const uint64_t nReadsBefore = Zk_ReadCalls();
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.nStart << " " << c.nOffset << " " << c.nOrigin);
        ASSERT_EQ(Z_RedirectedSeek(h, c.nStart, 0), c.nStart);
        EXPECT_EQ(Z_RedirectedSeek(h, c.nOffset, c.nOrigin), c.nExpected);
        const int64_t nPos = c.nExpected >= 0 ? c.nExpected : c.nStart;
        EXPECT_EQ(Z_RedirectedSeek(h, 0, 1), nPos);
        ch = 0;
        EXPECT_EQ(Z_RedirectedRead(h, &ch, 1), nPos < 10 ? 1 : 0);
        EXPECT_EQ(ch, nPos < 10 ? char('0' + nPos) : 0);
    }
    EXPECT_EQ(Zk_ReadCalls() - nReadsBefore, std::size(kCases));  // seeks are not reads
    Z_RedirectedClose(h);
}

TEST_F(KernelFiles, WriteThenCloseLeavesExactlyTheBytesWritten) {
    const std::string path = m_dir.File("out");
    tagHANDLE* h = OpenWrite(path);
    ASSERT_NE(h, nullptr);
    std::string expected;
    for (int i = 0; i <= 100000; ++i) {  // the last write is larger than the write buffer
        std::string s = i < 100000 ? "Line " + std::to_string(i) + "\r\n" : std::string(300000, 'z');
        ASSERT_EQ(Z_RedirectedWrite(h, s.data(), int32_t(s.size())), int32_t(s.size()));
        expected += s;
    }
    EXPECT_EQ(Z_RedirectedWrite(h, "x", 0), 0);
    EXPECT_EQ(Z_RedirectedWrite(h, nullptr, 3), MIF_ERR_ARG);
    EXPECT_EQ(Z_RedirectedSeek(h, 0, 2), int64_t(expected.size()));  // not the reservation
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    const std::string content = ReadWholeFile(path);
    EXPECT_EQ(content.size(), expected.size());
    EXPECT_TRUE(content == expected);
}

TEST_F(KernelFiles, MixedReadsWritesAndSeeks) {
    const std::string path = m_dir.File("mixed");
    tagHANDLE* h = OpenWrite(path);
    ASSERT_NE(h, nullptr);
    char buf[32] = {};
    ASSERT_EQ(Z_RedirectedWrite(h, "hello world", 11), 11);
    ASSERT_EQ(Z_RedirectedSeek(h, 0, 0), 0);
    ASSERT_EQ(Z_RedirectedRead(h, buf, 5), 5);  // still in the write buffer
    EXPECT_EQ(std::string(buf, 5), "hello");
    ASSERT_EQ(Z_RedirectedWrite(h, "_", 1), 1);
    ASSERT_EQ(Z_RedirectedSeek(h, -6, 1), 0);
    ASSERT_EQ(Z_RedirectedRead(h, buf, 32), 11);
    EXPECT_EQ(std::string(buf, 11), "hello_world");
    EXPECT_EQ(Z_RedirectedRead(h, buf, 1), 0);  // not the reserved tail
    ASSERT_EQ(Z_RedirectedSeek(h, 2, 2), 13);   // a gap that reads as zeros
    ASSERT_EQ(Z_RedirectedWrite(h, "!", 1), 1);
    ASSERT_EQ(Z_RedirectedSeek(h, 10, 0), 10);
    ASSERT_EQ(Z_RedirectedRead(h, buf, 32), 4);
    EXPECT_EQ(std::string(buf, 4), std::string("d\0\0!", 4));
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), std::string("hello_world\0\0!", 14));
}

// A device without fallocate: the handle writes through, and a full device
// fails the write call itself.
TEST(KernelFilesDevices, WriteThroughReportsFailureOnTheCall) {
    for (const char* pszDevice : {"/dev/null", "/dev/full"}) {
        tagHANDLE* h = Z_RedirectedOpen(pszDevice, O_WRONLY, kWriteMode);
        if (!h) GTEST_SKIP() << pszDevice << " is not available";
        EXPECT_EQ(Z_RedirectedWrite(h, "abc", 3), std::strcmp(pszDevice, "/dev/null") ? 0 : 3) << pszDevice;
        EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    }
}

// The write that crosses RLIMIT_FSIZE returns a short count on that call, and
// the closed file holds exactly the bytes accepted. In a child process, where
// the limit and the ignored SIGXFSZ stay.
TEST_F(KernelFiles, ShortCountOnTheWriteThatCrossesTheSizeLimit) {
    const std::string path = m_dir.File("limited");
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(fd, 0);
    const bool bHasFallocate = ::fallocate(fd, 0, 0, 4096) == 0;
    ::close(fd);
    if (!bHasFallocate) GTEST_SKIP() << "no fallocate on " << m_dir.Path();  // writes through
    const struct { rlim_t nLimit; int64_t nAccepted, nLastShort; } kCases[] = {
        {100000, 100000, 0},  // below one reservation chunk: the crossing write refused whole
        {100500, 100000, 0},
        {1048576 + 100, 1048576, 576},  // keeps the part inside the chunk reserved
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.nLimit);
        ::unlink(path.c_str());
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            struct rlimit rl = {c.nLimit, c.nLimit};
            tagHANDLE* h = ::setrlimit(RLIMIT_FSIZE, &rl) == 0 ? OpenWrite(path) : nullptr;
            char block[1000];
            int64_t nAccepted = 0, nShort = -1;
            for (int i = 0; h && i < 100000 && nShort < 0; ++i) {
                for (int k = 0; k < 1000; ++k) block[k] = char('a' + (nAccepted + k) % 26);
                int32_t r = Z_RedirectedWrite(h, block, 1000);
                nAccepted += r > 0 ? r : 0;
                if (r != 1000) nShort = r;
            }
            std::fprintf(stderr, "accepted %lld, short count %lld\n", (long long)nAccepted, (long long)nShort);
            ::_exit(Z_RedirectedClose(h) == MIF_OK && nAccepted == c.nAccepted && nShort == c.nLastShort ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        const std::string content = ReadWholeFile(path);
        ASSERT_EQ(int64_t(content.size()), c.nAccepted);
        for (size_t i = 0; i < content.size(); ++i) ASSERT_EQ(content[i], char('a' + i % 26)) << i;
    }
}

// What a failed call leaves; which calls fail is tested with the memory faults.
TEST_F(KernelFiles, FailedReadsAndWritesMoveNothing) {
    const std::string path = Make("abcdef");
    tagHANDLE* h = Z_RedirectedOpen(path.c_str(), O_RDWR, kReadMode | kWriteMode);
    ASSERT_NE(h, nullptr);
    char c;
    Zk_FailRead(2, 0);
    EXPECT_EQ(Z_RedirectedRead(h, &c, 1), 1);
    EXPECT_EQ(Z_RedirectedRead(h, &c, 1), -1);
    EXPECT_EQ(Z_RedirectedRead(h, &c, 1), 1);
    EXPECT_EQ(c, 'b');
    Zk_FailWrite(1, 0);
    EXPECT_EQ(Z_RedirectedWrite(h, "X", 1), 0);
    EXPECT_EQ(Z_RedirectedWrite(h, "Y", 1), 1);
    EXPECT_EQ(Zk_FaultsFired(), 2u);
    EXPECT_EQ(Z_RedirectedClose(h), MIF_OK);
    EXPECT_EQ(ReadWholeFile(path), "abYdef");
}

}  // namespace
