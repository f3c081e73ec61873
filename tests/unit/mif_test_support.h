// mif_test_support.h - small helpers shared by the filter's tests: temporary
// files, a vector drawing that cleans up after itself, readers bound to text,
// and copies of a drawing's objects for assertions.
#ifndef TESTS_UNIT_MIF_TEST_SUPPORT_H
#define TESTS_UNIT_MIF_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "Mif.h"
#include "hostapi.h"
#include "linereader.h"

namespace miftest {

// A folder of its own under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const;
    // Writes bytes to a file of the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_sRoot;
};

std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// An initialised vector drawing, freed at the end of the scope.
struct Drawing {
    _VECTORHANDLE h;
    Drawing();
    ~Drawing();
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;
};

// A copy of one object of a drawing, its points and text included.
struct Object {
    uint32_t nType = 0;
    std::vector<unsigned char> record;   // the object's record as copied
    std::vector<_VECTORPOINT> points;    // PLINE and REGION points
    std::string text;                    // TEXT string
    _VECTORPOINT ptMin{}, ptMax{};       // the object's parallelogram

    template <class T> const T& As() const { return *reinterpret_cast<const T*>(record.data()); }
};

std::vector<Object> Objects(_VECTORHANDLE* pHandle);

// A reader over a file holding the given text, positioned on its first line
// (LineRead and LineMoveToStart done) unless bReadFirst is false.
class TextReader {
public:
    TextReader(const TempDir& dir, const std::string& text, bool bReadFirst = true);
    CMifFile file;
};

// Runs a vector load of a MIF text into the drawing; returns the result.
int LoadText(const TempDir& dir, const std::string& text, _VECTORHANDLE* pHandle);
int LoadPath(const std::string& path, _VECTORHANDLE* pHandle);

// Runs a writer on a fresh output file and returns what it wrote; the
// writer's result goes to *pnRet.
template <class Writer>
std::string WriteWith(const TempDir& dir, Writer writer, int* pnRet = nullptr) {
    std::string path = dir.Path("out.txt");
    std::string bytes;
    {
        CMifFile out;
        out.Open(Z_RedirectedOpen(path.c_str(), 66, 128), 1);
        int nRet = writer(&out);
        if (pnRet != nullptr)
            *pnRet = nRet;
    }
    bytes = ReadBytes(path);
    DeleteFile(path.c_str());
    return bytes;
}

}  // namespace miftest

#endif  // TESTS_UNIT_MIF_TEST_SUPPORT_H
