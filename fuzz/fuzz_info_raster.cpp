// fuzz_info_raster.cpp - any bytes as a .mif file through the path a host
// takes to show it: fltInfo on the host's open file with a cache slot, a
// cached raster load of a small page at a depth chosen by the input's size,
// and fltFreeData. Rows must arrive top first, numbered and flagged in
// order, an uncached raster load of the same file must give the same result
// and the same rows, and nothing may stay behind in the host libraries.
// One input in four gets a page tall enough to be painted in two bands.
#include "fuzz_support.h"

using fuzzsupport::Require;

namespace {

const int32_t kWidth = 32;
const int32_t kHeights[] = {24, 24, 24, 260};
const int32_t kDepths[] = {1, 4, 8, 16, 24, 32};

// A raster load; its rows must be complete and in order after success.
int CheckedRasterLoad(const std::string& path, _CACHESLOT* pSlot, int32_t nHeight, int32_t nDepth,
                      miftest::RasterRows* pRows) {
    int nRet = miftest::RasterLoadPath(path, pSlot, kWidth, nHeight, nDepth, pRows);
    Require(pRows->bInOrder, "rows are numbered and flagged in order");
    Require(nRet != MIF_OK || pRows->nRows == static_cast<uint32_t>(nHeight),
            "a successful load delivers every row");
    return nRet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    std::string path = fuzzsupport::WriteInput("input.mif", pData, nSize);
    int32_t nDepth = kDepths[nSize % (sizeof(kDepths) / sizeof(kDepths[0]))];
    int32_t nHeight = kHeights[nSize / 8 % (sizeof(kHeights) / sizeof(kHeights[0]))];
    _CACHESLOT slot = {sizeof(slot), 0, nullptr};
    int nInfo = miftest::InfoPath(path, &slot);
    Require((nInfo == MIF_OK) == (slot.pFilterData != nullptr), "only a successful info fills the slot");
    miftest::RasterRows cached;
    int nCached = nInfo;
    if (nInfo == MIF_OK) {
        nCached = CheckedRasterLoad(path, &slot, nHeight, nDepth, &cached);
        fltFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE);
    }
    fuzzsupport::RequireHostClean("after info and the cached raster load");

    // The info's parse and the load's own parse must see the same drawing.
    miftest::RasterRows uncached;
    int nUncached = CheckedRasterLoad(path, nullptr, nHeight, nDepth, &uncached);
    Require(nUncached == nCached, "cached and uncached raster loads give the same result");
    Require(nUncached != MIF_OK || uncached.nChecksum == cached.nChecksum,
            "cached and uncached raster loads give the same rows");
    fuzzsupport::RequireHostClean("after the uncached raster load");
    return 0;
}
