// mif_test_support.h - small helpers shared by the filter's tests and fuzz
// targets: temporary files, a vector drawing that cleans up after itself,
// readers bound to text, copies of a drawing's objects for assertions, the
// host's side of info, raster load and save, and what the host libraries
// still hold.
#ifndef TESTS_UNIT_MIF_TEST_SUPPORT_H
#define TESTS_UNIT_MIF_TEST_SUPPORT_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "Mif.h"
#include "hostapi.h"
#include "kernel_test_util.h"
#include "linereader.h"

namespace miftest {

// The kernel tests' private folder, with a file's path by its name.
class TempDir : public kernel_test::TempDir {
public:
    using kernel_test::TempDir::Path;
    std::string Path(const std::string& name) const { return File(name); }
    // Writes bytes to a file of the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        kernel_test::WriteWholeFile(File(name), bytes);
        return File(name);
    }
};

inline std::string ReadBytes(const std::string& path) { return kernel_test::ReadWholeFile(path); }
inline bool FileExists(const std::string& path) { return kernel_test::FileSize(path) >= 0; }

// An initialised vector drawing, freed at the end of the scope.
struct Drawing {
    _VECTORHANDLE h;
    Drawing() : h{} { Z_VecInit(&h); }
    ~Drawing() { Z_VecFree(&h); }
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

// fltInfo (or the given entry point) on a file the host opened (and closes)
// itself, with a full _IMAGEINFO (*pImage when given); a cache lands in
// *pSlot when the slot is given, the drawing in *pHandle when that is.
int InfoPath(const std::string& path, _CACHESLOT* pSlot, _VECTORHANDLE* pHandle = nullptr,
             _IMAGEINFO* pImage = nullptr, int (*pfnInfo)(_INFODISPATCH*) = fltInfo);

// What a raster load delivered.
struct RasterRows {
    uint32_t nRows = 0;       // rows delivered
    bool bInOrder = true;     // numbered from 0 and flagged as the host expects
    uint64_t nChecksum = 0;   // FNV-1a over the rows' bytes in delivery order
};

// A raster load (cached when the slot holds a cache) into a destination of
// the given size and depth, which is freed again.
int RasterLoadPath(const std::string& path, _CACHESLOT* pSlot, int32_t nWidth, int32_t nHeight,
                   int32_t nDepth, RasterRows* pRows);

// Saves the drawing as path and its .mid companion; returns the result.
int SavePath(const std::string& path, _VECTORHANDLE* pHandle);

// What the host libraries still hold: memory blocks, open files, bitmaps and
// object copies, as one line; empty when nothing is left.
std::string HostLeftovers();

// What a forked child gave back.
struct ChildRun {
    bool bExited = false;       // the child ended by itself and reported
    std::vector<int> values;    // what the child's function returned
    long nPeakRssKiB = 0;       // the child's peak resident memory
    double dSeconds = 0;        // wall time from fork to exit
};

// Runs fn in a forked child (killed after nTimeLimit seconds) and reports
// what it returned through a pipe, with the child's peak memory and time.
ChildRun RunInChild(const std::function<std::vector<int>()>& fn, unsigned nTimeLimit);

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
        if (pnRet != nullptr) *pnRet = nRet;
    }
    bytes = ReadBytes(path);
    DeleteFile(path.c_str());
    return bytes;
}

}  // namespace miftest

#endif  // TESTS_UNIT_MIF_TEST_SUPPORT_H
