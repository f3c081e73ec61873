// kernel_test_util.h - helpers shared by the kernel's unit tests: a private
// temporary folder per test and small file helpers.
#ifndef TESTS_UNIT_KERNEL_TEST_UTIL_H
#define TESTS_UNIT_KERNEL_TEST_UTIL_H

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostapi.h"

namespace kernel_test {

// A fresh folder under $TMPDIR (or /tmp), removed with its files.
class TempDir {
public:
    TempDir() {
        const char* pszBase = std::getenv("TMPDIR");
        std::string pattern = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/zkkrn-test-XXXXXX";
        char* p = ::mkdtemp(&pattern[0]);
        if (p) m_path = p;
    }
    ~TempDir() {
        if (m_path.empty()) return;
        if (DIR* d = ::opendir(m_path.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string name = e->d_name;
                if (name != "." && name != "..") ::unlink((m_path + "/" + name).c_str());
            }
            ::closedir(d);
        }
        ::rmdir(m_path.c_str());
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
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

inline long long FileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// The flags and modes the filter uses.
constexpr int32_t kReadFlags = 0, kReadMode = 256;
constexpr int32_t kWriteFlags = 66, kWriteMode = 128;

}  // namespace kernel_test

#endif  // TESTS_UNIT_KERNEL_TEST_UTIL_H
