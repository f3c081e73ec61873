// kernel_test_util.h - a private temporary folder per test and whole-file
// helpers, shared by the kernel's tests and the host program's.
#ifndef TESTS_UNIT_KERNEL_TEST_UTIL_H
#define TESTS_UNIT_KERNEL_TEST_UTIL_H

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "hostapi.h"

namespace kernel_test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
public:
    TempDir() {
        const char* pszBase = std::getenv("TMPDIR");
        std::string pattern = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/zkkrn-test-XXXXXX";
        if (::mkdtemp(&pattern[0])) m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (Ok()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline bool WriteWholeFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(data.data(), std::streamsize(data.size()));
    f.close();
    return !f.fail();
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    if (f) s << f.rdbuf();
    return s.str();
}

// The file's size, -1 when it does not exist.
inline long long FileSize(const std::string& path) {
    std::error_code ec;
    const auto nSize = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long long>(nSize);
}

// The flags and modes the filter opens files with.
constexpr int32_t kReadFlags = 0, kReadMode = 256;
constexpr int32_t kWriteFlags = 66, kWriteMode = 128;

}  // namespace kernel_test

#endif  // TESTS_UNIT_KERNEL_TEST_UTIL_H
