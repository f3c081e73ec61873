// zk_bitmap.cpp - host bitmaps.
//
// Pixel layout (fixed by the lead; the drawing engine and the host program
// rely on it):
//   - rows are stored bottom-up: row 0 is the bottom line of the picture;
//   - nBytesPerLine = (nWidth * nBitsPerPixel + 7) / 8, no padding;
//   - 24 bpp: bytes R, G, B in memory order; 32 bpp: R, G, B, 0;
//   - 16 bpp: RGB565, little-endian (red in the top five bits);
//   - 1, 4 and 8 bpp: palette indices packed most significant bit first;
//     unused bits at the end of a row are 0 after a conversion;
//   - a palette entry, like every colour the calls take, is a host colour
//     value: red in the lowest byte, then green, then blue (0x00BBGGRR).
// A bitmap of 1 to 8 bpp without a palette reads as a grey ramp (index 0
// black, the last index white), and Z_FillBitmap picks its index by the
// colour's luminance.
//
// Ownership: the kernel allocates pixels (Z_AllocateBitmap,
// Z_ColorResBitmap) and palettes (Z_ColorResBitmap, Z_SetBitmapNewPalette)
// and records each allocation; Z_FreeBitmap releases both. Zk_LiveBitmapCount
// counts the pixel buffers alive. A pointer in a record that the kernel did
// not hand out is never freed.
//
// Result codes: 1 success; -13 (MIF_ERR_ARG) for a missing record, buffer or
// pixels, a record size smaller than _HOSTBITMAP, a negative width or height,
// a row out of range, or a record whose nBytesPerLine does not match its
// width and depth; -9 (MIF_ERR_FORMAT) for a depth other than 1, 4, 8, 16, 24
// or 32 bits per pixel; -1 (MIF_ERR_NOMEM) when the pixels would exceed the
// allocation ceiling or memory runs out (or an allocation fault fires).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "zk_internal.h"

namespace {

// ---------------------------------------------------------------------------
// Registry of kernel-owned pixel buffers and palettes.
// ---------------------------------------------------------------------------
enum OwnedKind { kPixels, kPalette };

struct BitmapRegistry {
    std::mutex mutex;
    std::unordered_map<const void*, OwnedKind> owned;
    size_t nLivePixels = 0;
};

BitmapRegistry& TheRegistry() {
    static BitmapRegistry* pRegistry = new BitmapRegistry;  // never destroyed
    return *pRegistry;
}

// Allocates and records a buffer (zeroed when bZero); null on failure.
void* AllocOwned(size_t nBytes, OwnedKind kind, bool bZero) {
    if (nBytes == 0) nBytes = 1;
    void* p = bZero ? std::calloc(nBytes, 1) : std::malloc(nBytes);
    if (!p) return nullptr;
    BitmapRegistry& r = TheRegistry();
    try {
        std::lock_guard<std::mutex> lock(r.mutex);
        r.owned.emplace(p, kind);
        if (kind == kPixels) ++r.nLivePixels;
    } catch (...) {
        std::free(p);
        return nullptr;
    }
    return p;
}

// Frees a buffer the kernel recorded; false (nothing freed) for any other
// pointer.
bool ReleaseOwned(const void* p, OwnedKind kind) {
    if (!p) return true;
    BitmapRegistry& r = TheRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.owned.find(p);
        if (it == r.owned.end() || it->second != kind) return false;
        r.owned.erase(it);
        if (kind == kPixels) --r.nLivePixels;
    }
    std::free(const_cast<void*>(p));
    return true;
}

// ---------------------------------------------------------------------------
// Geometry and colours.
// ---------------------------------------------------------------------------
bool IsSupportedDepth(int32_t nBpp) {
    return nBpp == 1 || nBpp == 4 || nBpp == 8 || nBpp == 16 || nBpp == 24 || nBpp == 32;
}

uint64_t BytesPerLine(int32_t nWidth, int32_t nBpp) {
    return (uint64_t(nWidth) * uint64_t(nBpp) + 7) / 8;
}

// -13 / -9 / 1: is the record's geometry one the kernel made?
int32_t CheckGeometry(const _HOSTBITMAP* b) {
    if (b->nWidth < 0 || b->nHeight < 0) return MIF_ERR_ARG;
    if (!IsSupportedDepth(b->nBitsPerPixel)) return MIF_ERR_FORMAT;
    if (b->nBytesPerLine != BytesPerLine(b->nWidth, b->nBitsPerPixel)) return MIF_ERR_ARG;
    return MIF_OK;
}

inline uint32_t Red(uint32_t c) { return c & 0xFF; }
inline uint32_t Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t Blue(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t MakeColour(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

inline uint32_t Luminance(uint32_t c) {
    return (299 * Red(c) + 587 * Green(c) + 114 * Blue(c) + 500) / 1000;
}

// The grey ramp of a bitmap without a palette.
inline uint32_t GreyEntry(uint32_t nIndex, int32_t nBpp) {
    uint32_t nMax = (1u << nBpp) - 1;
    uint32_t v = (nIndex * 255 + nMax / 2) / nMax;
    return MakeColour(v, v, v);
}

inline uint32_t GreyIndex(uint32_t c, int32_t nBpp) {
    uint32_t nMax = (1u << nBpp) - 1;
    return (Luminance(c) * nMax + 127) / 255;
}

inline uint32_t Distance(uint32_t a, uint32_t b) {
    int dr = int(Red(a)) - int(Red(b));
    int dg = int(Green(a)) - int(Green(b));
    int db = int(Blue(a)) - int(Blue(b));
    return uint32_t(dr * dr + dg * dg + db * db);
}

// Index of the palette entry nearest to c (the first of equals).
uint32_t Nearest(const uint32_t* pPalette, uint32_t nColors, uint32_t c) {
    uint32_t nBest = 0;
    uint32_t nBestDist = UINT32_MAX;
    for (uint32_t i = 0; i < nColors; ++i) {
        uint32_t d = Distance(pPalette[i], c);
        if (d < nBestDist) {
            nBestDist = d;
            nBest = i;
            if (d == 0) break;
        }
    }
    return nBest;
}

inline uint16_t ToRGB565(uint32_t c) {
    return uint16_t(((Red(c) >> 3) << 11) | ((Green(c) >> 2) << 5) | (Blue(c) >> 3));
}

inline uint32_t FromRGB565(uint16_t v) {
    uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return MakeColour((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

// Reads row nRow of b as colour values into pOut (nWidth entries).
void ReadRowColours(const _HOSTBITMAP* b, int32_t nRow, uint32_t* pOut) {
    const uint8_t* p = b->pBits + uint64_t(nRow) * b->nBytesPerLine;
    const int32_t w = b->nWidth;
    switch (b->nBitsPerPixel) {
    case 24:
        for (int32_t x = 0; x < w; ++x, p += 3) pOut[x] = MakeColour(p[0], p[1], p[2]);
        return;
    case 32:
        for (int32_t x = 0; x < w; ++x, p += 4) pOut[x] = MakeColour(p[0], p[1], p[2]);
        return;
    case 16:
        for (int32_t x = 0; x < w; ++x, p += 2) pOut[x] = FromRGB565(uint16_t(p[0] | (p[1] << 8)));
        return;
    default: {
        const int32_t bpp = b->nBitsPerPixel;
        const uint32_t nMask = (1u << bpp) - 1;
        const uint32_t nMax = 1u << bpp;
        const uint32_t nPal = b->pPalette ? std::min(b->nColors, nMax) : 0;
        for (int32_t x = 0; x < w; ++x) {
            uint64_t nBit = uint64_t(x) * uint64_t(bpp);
            uint32_t idx = (p[nBit >> 3] >> (8 - bpp - (nBit & 7))) & nMask;
            pOut[x] = idx < nPal ? (b->pPalette[idx] & 0xFFFFFF) : GreyEntry(idx, bpp);
        }
        return;
    }
    }
}

// Writes colours (16, 24, 32 bpp) into a row of nBpp.
void WriteRowDirect(uint8_t* p, const uint32_t* pColours, int32_t w, int32_t nBpp) {
    switch (nBpp) {
    case 24:
        for (int32_t x = 0; x < w; ++x, p += 3) {
            p[0] = uint8_t(Red(pColours[x]));
            p[1] = uint8_t(Green(pColours[x]));
            p[2] = uint8_t(Blue(pColours[x]));
        }
        return;
    case 32:
        for (int32_t x = 0; x < w; ++x, p += 4) {
            p[0] = uint8_t(Red(pColours[x]));
            p[1] = uint8_t(Green(pColours[x]));
            p[2] = uint8_t(Blue(pColours[x]));
            p[3] = 0;
        }
        return;
    case 16:
        for (int32_t x = 0; x < w; ++x, p += 2) {
            uint16_t v = ToRGB565(pColours[x]);
            p[0] = uint8_t(v & 0xFF);
            p[1] = uint8_t(v >> 8);
        }
        return;
    default:
        return;
    }
}

// Packs palette indices MSB first into a zeroed row.
void WriteRowIndices(uint8_t* p, const uint8_t* pIndices, int32_t w, int32_t nBpp) {
    if (nBpp == 8) {
        std::memcpy(p, pIndices, size_t(w));
        return;
    }
    for (int32_t x = 0; x < w; ++x) {
        uint64_t nBit = uint64_t(x) * uint64_t(nBpp);
        p[nBit >> 3] |= uint8_t(pIndices[x] << (8 - nBpp - (nBit & 7)));
    }
}

// ---------------------------------------------------------------------------
// Palette building.
//
// The palette of a conversion to 1, 4 or 8 bpp has 2^bpp entries:
//   1. The picture's exact colours, most frequent first (ties: lower colour
//      value first). All of them when they fit; otherwise the most frequent
//      2^bpp - C, where C is the size of the colour cube below.
//   2. A uniform colour cube filling the rest: 6x6x6 = 216 colours (levels
//      0, 51, ..., 255) for 8 bpp, 2x2x2 = 8 (black, white, the primaries and
//      secondaries) for 4 bpp, none for 1 bpp; cube colours already in the
//      palette are skipped, and the cube is cut off when the palette is full.
//   3. Any entries still free are black, except at 1 bpp: a picture of one
//      colour gets that colour and white or black, whichever contrasts by
//      luminance (white for a dark colour); an empty picture gets black and
//      white.
// So a picture of at most 2^bpp colours keeps them exactly, and for 1 bpp
// the two most frequent colours are the palette. Every pixel then maps to
// the nearest entry in RGB distance (the first of equals), which is its own
// colour whenever that is in the palette.
//
// Counting: an open-addressing hash table of colours (at most 2^18 distinct
// ones are counted; later new colours are mapped but not counted), with the
// last pixel's colour cached since drawings have long runs. The table also
// caches each counted colour's palette index; uncounted colours go through a
// small direct-mapped cache.
// ---------------------------------------------------------------------------
class ColourTable {
public:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // colours are 24-bit
    static constexpr uint32_t kMaxColours = 1u << 18;

    ColourTable() { Resize(1024); }

    // Counts one more pixel of colour c (c <= 0xFFFFFF).
    void Add(uint32_t c, uint64_t nCount) {
        uint32_t i = Find(c);
        if (m_keys[i] == c) {
            m_counts[i] += nCount;
            return;
        }
        if (m_nUsed >= kMaxColours) return;
        if ((m_nUsed + 1) * 2 > m_keys.size()) {
            Resize(uint32_t(m_keys.size() * 2));
            i = Find(c);
        }
        m_keys[i] = c;
        m_counts[i] = nCount;
        ++m_nUsed;
    }

    // Slot of c, or of the empty slot where it would go.
    uint32_t Find(uint32_t c) const {
        uint32_t nMask = uint32_t(m_keys.size() - 1);
        uint32_t i = Hash(c) & nMask;
        while (m_keys[i] != kEmpty && m_keys[i] != c) i = (i + 1) & nMask;
        return i;
    }

    bool Has(uint32_t nSlot, uint32_t c) const { return m_keys[nSlot] == c; }

    // The counted colours, most frequent first.
    std::vector<uint32_t> ByFrequency() const {
        std::vector<std::pair<uint64_t, uint32_t>> v;
        v.reserve(m_nUsed);
        for (size_t i = 0; i < m_keys.size(); ++i)
            if (m_keys[i] != kEmpty) v.emplace_back(m_counts[i], m_keys[i]);
        std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        std::vector<uint32_t> out(v.size());
        for (size_t i = 0; i < v.size(); ++i) out[i] = v[i].second;
        return out;
    }

    // Palette index cache per slot (valid once SetIndex ran for it).
    std::vector<int16_t>& Indices() { return m_index; }

private:
    static uint32_t Hash(uint32_t c) { return (c * 0x9E3779B1u) >> 8; }

    void Resize(uint32_t nSize) {
        std::vector<uint32_t> oldKeys = std::move(m_keys);
        std::vector<uint64_t> oldCounts = std::move(m_counts);
        m_keys.assign(nSize, kEmpty);
        m_counts.assign(nSize, 0);
        m_index.assign(nSize, -1);
        for (size_t i = 0; i < oldKeys.size(); ++i) {
            if (oldKeys[i] == kEmpty) continue;
            uint32_t j = Find(oldKeys[i]);
            m_keys[j] = oldKeys[i];
            m_counts[j] = oldCounts[i];
        }
    }

    std::vector<uint32_t> m_keys;
    std::vector<uint64_t> m_counts;
    std::vector<int16_t> m_index;
    uint32_t m_nUsed = 0;
};

void BuildPalette(const std::vector<uint32_t>& byFreq, int32_t nBpp, uint32_t* pPalette) {
    const uint32_t N = 1u << nBpp;
    const uint32_t nLevels = nBpp == 8 ? 6 : (nBpp == 4 ? 2 : 0);
    const uint32_t C = nLevels * nLevels * nLevels;
    const uint32_t E = uint32_t(std::min<size_t>(byFreq.size(), UINT32_MAX));
    const uint32_t nTake = E <= N ? E : N - C;
    uint32_t n = 0;
    for (; n < nTake; ++n) pPalette[n] = byFreq[n];
    for (uint32_t r = 0; r < nLevels && n < N; ++r)
        for (uint32_t g = 0; g < nLevels && n < N; ++g)
            for (uint32_t b = 0; b < nLevels && n < N; ++b) {
                uint32_t c = MakeColour(r * 255 / (nLevels - 1), g * 255 / (nLevels - 1),
                                        b * 255 / (nLevels - 1));
                if (std::find(pPalette, pPalette + nTake, c) == pPalette + nTake) pPalette[n++] = c;
            }
    if (nBpp == 1 && n == 0) pPalette[n++] = MakeColour(0, 0, 0);
    if (nBpp == 1 && n == 1)
        pPalette[n++] = Luminance(pPalette[0]) < 128 ? MakeColour(255, 255, 255) : MakeColour(0, 0, 0);
    for (; n < N; ++n) pPalette[n] = 0;
}

// Converts src into pNewBits at nBpp <= 8, writing the palette (2^nBpp
// entries) into pPalette. May throw std::bad_alloc.
void ConvertIndexed(const _HOSTBITMAP* src, int32_t nBpp, uint64_t nNewBpl, uint8_t* pNewBits,
                    uint32_t* pPalette) {
    const int32_t w = src->nWidth, h = src->nHeight;
    const uint32_t N = 1u << nBpp;
    std::vector<uint32_t> row(size_t(w) + 1);
    std::vector<uint8_t> indices(size_t(w) + 1);

    // Pass 1: count the colours.
    ColourTable table;
    for (int32_t y = 0; y < h; ++y) {
        ReadRowColours(src, y, row.data());
        int32_t x = 0;
        while (x < w) {
            uint32_t c = row[x];
            int32_t x0 = x;
            while (x < w && row[x] == c) ++x;
            table.Add(c, uint64_t(x - x0));
        }
    }
    BuildPalette(table.ByFrequency(), nBpp, pPalette);

    // Pass 2: map every pixel to its nearest entry.
    std::vector<int16_t>& slotIndex = table.Indices();
    constexpr uint32_t kCacheSize = 4096;
    std::vector<uint32_t> cacheKey(kCacheSize, ColourTable::kEmpty);
    std::vector<uint8_t> cacheIndex(kCacheSize, 0);
    uint32_t nLastColour = ColourTable::kEmpty;
    uint8_t nLastIndex = 0;
    for (int32_t y = 0; y < h; ++y) {
        ReadRowColours(src, y, row.data());
        for (int32_t x = 0; x < w; ++x) {
            uint32_t c = row[x];
            if (c != nLastColour) {
                uint32_t nSlot = table.Find(c);
                if (table.Has(nSlot, c)) {
                    if (slotIndex[nSlot] < 0) slotIndex[nSlot] = int16_t(Nearest(pPalette, N, c));
                    nLastIndex = uint8_t(slotIndex[nSlot]);
                } else {
                    uint32_t k = (c * 0x9E3779B1u) >> 20;  // 12 bits
                    if (cacheKey[k] != c) {
                        cacheKey[k] = c;
                        cacheIndex[k] = uint8_t(Nearest(pPalette, N, c));
                    }
                    nLastIndex = cacheIndex[k];
                }
                nLastColour = c;
            }
            indices[x] = nLastIndex;
        }
        WriteRowIndices(pNewBits + uint64_t(y) * nNewBpl, indices.data(), w, nBpp);
    }
}

void ConvertDirect(const _HOSTBITMAP* src, int32_t nBpp, uint64_t nNewBpl, uint8_t* pNewBits) {
    const int32_t w = src->nWidth, h = src->nHeight;
    std::vector<uint32_t> row(size_t(w) + 1);
    for (int32_t y = 0; y < h; ++y) {
        ReadRowColours(src, y, row.data());
        WriteRowDirect(pNewBits + uint64_t(y) * nNewBpl, row.data(), w, nBpp);
    }
}

// Counts an allocation call; true when it may go ahead.
bool AllocationAllowed() {
    zk::g_allocCalls.fetch_add(1, std::memory_order_relaxed);
    return !zk::FaultFires(zk::kFaultAlloc);
}

}  // namespace

extern "C" {

int32_t Z_InitBitmap(_HOSTBITMAP* pBitmap, uint32_t nRecordSize, int32_t nWidth, int32_t nHeight,
                     int32_t nBitsPerPixel) {
    if (!pBitmap || nRecordSize < sizeof(_HOSTBITMAP)) return MIF_ERR_ARG;
    if (nWidth < 0 || nHeight < 0) return MIF_ERR_ARG;
    if (!IsSupportedDepth(nBitsPerPixel)) return MIF_ERR_FORMAT;
    uint64_t nBpl = BytesPerLine(nWidth, nBitsPerPixel);
    if (nBpl > UINT32_MAX) return MIF_ERR_ARG;
    pBitmap->nSize = nRecordSize;
    pBitmap->nWidth = nWidth;
    pBitmap->nHeight = nHeight;
    pBitmap->nBitsPerPixel = nBitsPerPixel;
    pBitmap->nBytesPerLine = uint32_t(nBpl);
    pBitmap->nColors = 0;
    pBitmap->pPalette = nullptr;
    pBitmap->nAccess = 0;
    pBitmap->pBits = nullptr;
    return MIF_OK;
}

int32_t Z_AllocateBitmap(_HOSTBITMAP* pBitmap, int32_t nFlags) {
    (void)nFlags;
    if (!pBitmap) return MIF_ERR_ARG;
    int32_t rc = CheckGeometry(pBitmap);
    if (rc != MIF_OK) return rc;
    if (pBitmap->pBits) return MIF_ERR_ARG;  // already has pixels
    if (!AllocationAllowed()) return MIF_ERR_NOMEM;
    uint64_t nBytes = uint64_t(pBitmap->nBytesPerLine) * uint64_t(pBitmap->nHeight);
    if (nBytes > zk::AllocationCeiling()) return MIF_ERR_NOMEM;
    void* p = AllocOwned(size_t(nBytes), kPixels, true);
    if (!p) return MIF_ERR_NOMEM;
    pBitmap->pBits = static_cast<uint8_t*>(p);
    return MIF_OK;
}

int32_t Z_FillBitmap(_HOSTBITMAP* pBitmap, uint32_t crColor) {
    if (!pBitmap || !pBitmap->pBits) return MIF_ERR_ARG;
    int32_t rc = CheckGeometry(pBitmap);
    if (rc != MIF_OK) return rc;
    const uint32_t c = crColor & 0xFFFFFF;
    const int32_t bpp = pBitmap->nBitsPerPixel;
    const uint64_t nBpl = pBitmap->nBytesPerLine;
    const uint64_t nTotal = nBpl * uint64_t(pBitmap->nHeight);
    uint8_t* p = pBitmap->pBits;
    if (nTotal == 0) return MIF_OK;
    if (bpp <= 8) {
        uint32_t nMax = 1u << bpp;
        uint32_t idx = pBitmap->pPalette
                           ? Nearest(pBitmap->pPalette, std::min(pBitmap->nColors, nMax), c)
                           : GreyIndex(c, bpp);
        uint8_t nByte = bpp == 8 ? uint8_t(idx) : bpp == 4 ? uint8_t(idx << 4 | idx)
                                                           : uint8_t(idx ? 0xFF : 0x00);
        std::memset(p, nByte, size_t(nTotal));
        return MIF_OK;
    }
    // Fill the first row pixel by pixel, then copy it to the others.
    uint8_t aPixel[4] = {uint8_t(Red(c)), uint8_t(Green(c)), uint8_t(Blue(c)), 0};
    if (bpp == 16) {
        uint16_t v = ToRGB565(c);
        aPixel[0] = uint8_t(v & 0xFF);
        aPixel[1] = uint8_t(v >> 8);
    }
    const int32_t nPixelBytes = bpp / 8;
    for (int32_t x = 0; x < pBitmap->nWidth; ++x)
        std::memcpy(p + uint64_t(x) * nPixelBytes, aPixel, size_t(nPixelBytes));
    for (int32_t y = 1; y < pBitmap->nHeight; ++y) std::memcpy(p + uint64_t(y) * nBpl, p, size_t(nBpl));
    return MIF_OK;
}

// Converts pSource to nBitsPerPixel into pDest (which may be pSource). The
// method and the five reserved arguments are ignored. A separate pDest
// receives the source's geometry, nAttribute, nValue1 and nValue2, new
// pixels and (at 8 bpp or less) a palette; pixels and palette the kernel
// gave pDest before are released. In place, the old pixels and palette are
// released once the new ones are ready; on failure nothing changes.
int32_t Z_ColorResBitmap(_HOSTBITMAP* pSource, _HOSTBITMAP* pDest, uint32_t nRecordSize,
                         int32_t nBitsPerPixel, int32_t nMethod, void* pReserved1,
                         void* pReserved2, int32_t nReserved3, int32_t nReserved4,
                         void* pReserved5) {
    (void)nMethod;
    (void)pReserved1;
    (void)pReserved2;
    (void)nReserved3;
    (void)nReserved4;
    (void)pReserved5;
    if (!pSource || !pDest || !pSource->pBits) return MIF_ERR_ARG;
    if (nRecordSize < sizeof(_HOSTBITMAP)) return MIF_ERR_ARG;
    int32_t rc = CheckGeometry(pSource);
    if (rc != MIF_OK) return rc;
    if (!IsSupportedDepth(nBitsPerPixel)) return MIF_ERR_FORMAT;
    const bool bInPlace = pSource == pDest;
    const bool bSameDepth = nBitsPerPixel == pSource->nBitsPerPixel;
    if (bInPlace && bSameDepth) return MIF_OK;  // nothing to convert
    if (!AllocationAllowed()) return MIF_ERR_NOMEM;

    const uint64_t nNewBpl = BytesPerLine(pSource->nWidth, nBitsPerPixel);
    const uint64_t nBytes = nNewBpl * uint64_t(pSource->nHeight);
    if (nNewBpl > UINT32_MAX || nBytes > zk::AllocationCeiling()) return MIF_ERR_NOMEM;
    uint8_t* pNewBits = static_cast<uint8_t*>(AllocOwned(size_t(nBytes), kPixels, true));
    if (!pNewBits) return MIF_ERR_NOMEM;
    uint32_t* pNewPalette = nullptr;
    uint32_t nNewColors = 0;
    try {
        if (bSameDepth) {
            // A copy into another record: same pixels, same palette.
            std::memcpy(pNewBits, pSource->pBits, size_t(nBytes));
            if (pSource->pPalette && pSource->nColors) {
                nNewColors = pSource->nColors;
                pNewPalette = static_cast<uint32_t*>(
                    AllocOwned(size_t(nNewColors) * sizeof(uint32_t), kPalette, false));
                if (!pNewPalette) throw std::bad_alloc();
                std::memcpy(pNewPalette, pSource->pPalette, size_t(nNewColors) * sizeof(uint32_t));
            }
        } else if (nBitsPerPixel <= 8) {
            nNewColors = 1u << nBitsPerPixel;
            pNewPalette = static_cast<uint32_t*>(
                AllocOwned(size_t(nNewColors) * sizeof(uint32_t), kPalette, false));
            if (!pNewPalette) throw std::bad_alloc();
            ConvertIndexed(pSource, nBitsPerPixel, nNewBpl, pNewBits, pNewPalette);
        } else {
            ConvertDirect(pSource, nBitsPerPixel, nNewBpl, pNewBits);
        }
    } catch (...) {
        ReleaseOwned(pNewPalette, kPalette);
        ReleaseOwned(pNewBits, kPixels);
        return MIF_ERR_NOMEM;
    }

    if (bInPlace) {
        ReleaseOwned(pSource->pBits, kPixels);
        ReleaseOwned(pSource->pPalette, kPalette);
    } else {
        // Whatever the destination held before is dropped (freed when the
        // kernel gave it).
        ReleaseOwned(pDest->pBits, kPixels);
        ReleaseOwned(pDest->pPalette, kPalette);
        pDest->nWidth = pSource->nWidth;
        pDest->nHeight = pSource->nHeight;
        pDest->nAttribute = pSource->nAttribute;
        pDest->nValue1 = pSource->nValue1;
        pDest->nValue2 = pSource->nValue2;
        pDest->nAccess = 0;
    }
    pDest->nSize = nRecordSize;
    pDest->nBitsPerPixel = nBitsPerPixel;
    pDest->nBytesPerLine = uint32_t(nNewBpl);
    pDest->pBits = pNewBits;
    pDest->pPalette = pNewPalette;
    pDest->nColors = nNewColors;
    return MIF_OK;
}

int32_t Z_SetBitmapNewPalette(_HOSTBITMAP* pBitmap, const uint32_t* pPalette, uint32_t nColors) {
    if (!pBitmap || !pPalette) return MIF_ERR_ARG;
    if (nColors > 65536) return MIF_ERR_ARG;
    uint32_t* pCopy = nullptr;
    if (nColors) {
        pCopy = static_cast<uint32_t*>(AllocOwned(size_t(nColors) * sizeof(uint32_t), kPalette, false));
        if (!pCopy) return MIF_ERR_NOMEM;
        std::memcpy(pCopy, pPalette, size_t(nColors) * sizeof(uint32_t));
    }
    // A palette the kernel did not give is dropped, not freed.
    ReleaseOwned(pBitmap->pPalette, kPalette);
    pBitmap->pPalette = pCopy;
    pBitmap->nColors = nColors;
    return MIF_OK;
}

int32_t Z_IntAccessBitmap(_HOSTBITMAP* pBitmap, int32_t nFlags) {
    (void)nFlags;
    if (!pBitmap || !pBitmap->pBits) return MIF_ERR_ARG;
    ++pBitmap->nAccess;
    return MIF_OK;
}

// Copies min(nBytes, nBytesPerLine) bytes of row nRow (row 0 = the bottom
// line). Access through Z_IntAccessBitmap is not required.
int32_t Z_GetBitmapRow(_HOSTBITMAP* pBitmap, uint8_t* pBuffer, int32_t nRow, uint32_t nBytes) {
    if (!pBitmap || !pBuffer || !pBitmap->pBits) return MIF_ERR_ARG;
    if (nRow < 0 || nRow >= pBitmap->nHeight) return MIF_ERR_ARG;
    uint32_t n = std::min(nBytes, pBitmap->nBytesPerLine);
    std::memcpy(pBuffer, pBitmap->pBits + uint64_t(nRow) * pBitmap->nBytesPerLine, n);
    return MIF_OK;
}

int32_t Z_IntReleaseBitmap(_HOSTBITMAP* pBitmap, int32_t nFlags, int32_t nStatus) {
    (void)nFlags;
    if (!pBitmap) return MIF_ERR_ARG;
    if (pBitmap->nAccess > 0) --pBitmap->nAccess;
    return nStatus;
}

int32_t Z_FreeBitmap(_HOSTBITMAP* pBitmap) {
    if (!pBitmap) return MIF_ERR_ARG;
    if (!ReleaseOwned(pBitmap->pBits, kPixels))
        zk::ReportUnknownRelease("Z_FreeBitmap (pixels)", pBitmap->pBits, 0, nullptr);
    if (!ReleaseOwned(pBitmap->pPalette, kPalette))
        zk::ReportUnknownRelease("Z_FreeBitmap (palette)", pBitmap->pPalette, 0, nullptr);
    pBitmap->pBits = nullptr;
    pBitmap->pPalette = nullptr;
    pBitmap->nColors = 0;
    pBitmap->nAccess = 0;
    return MIF_OK;
}

size_t Zk_LiveBitmapCount(void) {
    BitmapRegistry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.nLivePixels;
}

}  // extern "C"
