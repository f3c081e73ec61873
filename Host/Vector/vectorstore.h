// vectorstore.h - the in-memory storage of one vector drawing.
//
// A drawing may hold millions of objects, so nothing is allocated per object.
// Every object is one 16-byte header in drawing order; its geometry lives in
// 16-byte slots (two doubles) in a chunked slot arena: the x and y of each
// point, then its scalar values (radii, angles, character sizes) two to a
// slot, then for a text the position and length of its string in a chunked
// character arena. An object's slot count is the distance to the next
// object's first slot, so the header needs no count. The z coordinate and
// tag of a point are kept in a side table, only for the few points where one
// of them is not zero. Pens, brushes, fonts and the per-object settings
// (layer, attributes, fill mode, text format) are interned, because a file
// repeats a handful of styles over and over.
//
// The arenas grow by whole chunks that are never moved, so adding is
// amortised O(1) and a large drawing never needs a second copy of itself
// while it grows. A point of a polyline or polygon costs 16 bytes, an object
// 16 bytes plus its slots (a vertex 32 in all, a line 48).
#ifndef HOST_VECTOR_VECTORSTORE_H
#define HOST_VECTOR_VECTORSTORE_H

#include <stdint.h>
#include <string.h>

#include <memory>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hostapi.h"

// An append-only array of trivially copyable values in chunks of
// 2^kShift elements. Chunks are allocated when first needed and never move.
template <typename T, unsigned kShift>
class ChunkedArray {
public:
    static constexpr uint64_t kChunkLength = uint64_t(1) << kShift;

    uint64_t Size() const { return m_nSize; }

    // Makes room for nCount elements in all; throws std::bad_alloc.
    void Reserve(uint64_t nCount) {
        uint64_t nChunks = (nCount + kChunkLength - 1) >> kShift;
        while (m_aChunks.size() < nChunks) {
            std::unique_ptr<T[]> pChunk(new T[kChunkLength]);
            m_aChunks.push_back(std::move(pChunk));
        }
    }

    // Appends one value; cannot throw when room was reserved before.
    void PushBack(const T& value) {
        Reserve(m_nSize + 1);
        (*this)[m_nSize++] = value;
    }

    // Appends nCount values; cannot throw when room was reserved before.
    void Append(const T* pValues, uint64_t nCount) {
        Reserve(m_nSize + nCount);
        uint64_t nStart = m_nSize;
        m_nSize += nCount;
        ForEachRun(nStart, nCount, [&](T* pRun, uint64_t nRun) {
            memcpy(pRun, pValues, nRun * sizeof(T));
            pValues += nRun;
        });
    }

    T& operator[](uint64_t nIndex) {
        return m_aChunks[nIndex >> kShift][nIndex & (kChunkLength - 1)];
    }
    const T& operator[](uint64_t nIndex) const {
        return m_aChunks[nIndex >> kShift][nIndex & (kChunkLength - 1)];
    }

    // Calls fn(pRun, nRun) for each contiguous run of the range (the runs
    // are writable: Append fills them).
    template <typename Fn>
    void ForEachRun(uint64_t nStart, uint64_t nCount, Fn fn) const {
        while (nCount > 0) {
            uint64_t nOffset = nStart & (kChunkLength - 1);
            uint64_t nRun = kChunkLength - nOffset;
            if (nRun > nCount)
                nRun = nCount;
            fn(&m_aChunks[nStart >> kShift][nOffset], nRun);
            nStart += nRun;
            nCount -= nRun;
        }
    }

    // Releases every chunk.
    void Clear() {
        std::vector<std::unique_ptr<T[]>>().swap(m_aChunks);
        m_nSize = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> m_aChunks;
    uint64_t m_nSize = 0;
};

// A table of distinct values, compared byte for byte, each stored once and
// named by its position. The value types have no padding bytes.
template <typename T>
class InternPool {
public:
    // Returns the index of value, adding it when new; throws std::bad_alloc.
    uint32_t Intern(const T& value) {
        if (!m_aItems.empty() && memcmp(&m_aItems[m_nLast], &value, sizeof(T)) == 0)
            return m_nLast;
        uint64_t nHash = HashBytes(&value);
        auto range = m_mapByHash.equal_range(nHash);
        for (auto it = range.first; it != range.second; ++it) {
            if (memcmp(&m_aItems[it->second], &value, sizeof(T)) == 0)
                return m_nLast = it->second;
        }
        if (m_aItems.size() >= UINT32_MAX)
            throw std::bad_alloc();
        uint32_t nIndex = (uint32_t)m_aItems.size();
        m_aItems.push_back(value);
        try {
            m_mapByHash.emplace(nHash, nIndex);
        } catch (...) {
            m_aItems.pop_back();
            throw;
        }
        return m_nLast = nIndex;
    }

    const T& operator[](uint32_t nIndex) const { return m_aItems[nIndex]; }

    void Clear() {
        std::vector<T>().swap(m_aItems);
        std::unordered_multimap<uint64_t, uint32_t>().swap(m_mapByHash);
        m_nLast = 0;
    }

private:
    // FNV-1a over the value's bytes.
    static uint64_t HashBytes(const T* pValue) {
        const unsigned char* pByte = (const unsigned char*)pValue;
        uint64_t nHash = 14695981039346656037ull;
        for (size_t i = 0; i < sizeof(T); ++i)
            nHash = (nHash ^ pByte[i]) * 1099511628211ull;
        return nHash;
    }

    std::vector<T> m_aItems;
    std::unordered_multimap<uint64_t, uint32_t> m_mapByHash;
    uint32_t m_nLast = 0;
};

// Two doubles: the x and y of a point, or two scalar values of an object.
struct VectorSlot {
    double dA;
    double dB;
};

// The z coordinate and tag of a point whose z or tag is not zero.
struct PointExtra {
    uint64_t nSlot;
    double dZ;
    int32_t nTag;
};

// One object in drawing order.
struct ObjectHeader {
    uint64_t nFirstSlot;
    uint32_t nStyle;        // index into the drawing's style pool
    uint8_t nType;
    uint8_t bHasExtras;     // some of its points have an entry in the side table
    uint16_t nUnused;
};
static_assert(sizeof(ObjectHeader) == 16, "object header must stay compact");

// Everything about an object that is neither geometry nor text. Parts the
// object's type lacks hold kNoPart (pens, brushes, fonts) or 0.
struct ObjectStyle {
    int32_t nLayer;
    uint32_t uAttributes;
    uint32_t nPen;
    uint32_t nBrush;
    uint32_t nFont;
    int32_t nFillMode;
    uint32_t uFormat;
};

constexpr uint32_t kNoPart = UINT32_MAX;

struct VectorDrawing {
    ChunkedArray<ObjectHeader, 16> aObjects;
    ChunkedArray<VectorSlot, 16> aSlots;
    ChunkedArray<PointExtra, 12> aExtras;   // in increasing slot order
    ChunkedArray<char, 20> aText;
    InternPool<_VECTORPEN> poolPens;
    InternPool<_VECTORBRUSH> poolBrushes;
    InternPool<_VECTORFONTA> poolFonts;
    InternPool<ObjectStyle> poolStyles;
    std::vector<_VECTORLAYERA> aLayers;
    int32_t nActiveLayer = 0;
    uint32_t crBackground = 0xFFFFFF;
    _VECTORPOINT ptOrigin = {0, 0, 0, 0};
    _VECTORCAMERA camera = {sizeof(_VECTORCAMERA), 1.0, 0.0};
};

// Where one stored object's data lies, without copying its points.
struct ObjectView {
    uint32_t nType;
    uint64_t nFirstSlot;
    uint64_t nPoints;          // points at nFirstSlot
    double adScalars[4];       // scalar values in record order
    const ObjectStyle* pStyle;
    uint64_t nTextStart;       // texts only: string in the character arena
    uint64_t nTextLength;
    bool bHasExtras;
};

// Size of the full record of a drawable type; 0 for any other type code.
size_t RecordSize(uint32_t nType);

// True for a layer index that objects may go to: an existing layer, or 0
// while the drawing has no layer yet (the first object then makes an
// implicit layer 0 without a name).
bool LayerExists(const VectorDrawing& drawing, int32_t nLayer);

// Checks a record handed to the kernel and copies it, with its point array
// and string, into the drawing: to the layer its head names, or to the
// active layer when that is -1. Returns 1, VEC_ERR_BADOBJECT (type code above
// 255 or not the head's, size field too small, bad point array, unknown
// layer) or VEC_ERR_NOMEM; on failure the drawing is unchanged.
int32_t StoreObject(VectorDrawing* pDrawing, uint32_t nType, const void* pRecord);

// Describes object nIndex (which must exist).
ObjectView ViewObject(const VectorDrawing& drawing, uint64_t nIndex);

// Copies the object's points, with their z and tag, into pPoints
// (room for view.nPoints).
void CopyPoints(const VectorDrawing& drawing, const ObjectView& view,
                _VECTORPOINT* pPoints);

// Copies a text object's string, NUL-terminated, into pszText
// (room for view.nTextLength + 1).
void CopyText(const VectorDrawing& drawing, const ObjectView& view, char* pszText);

// Counts a text's lines (split at LF) and the characters of its longest.
void MeasureText(const VectorDrawing& drawing, const ObjectView& view,
                 uint64_t* pLines, uint64_t* pLongest);

// Writes the full record of a drawable object (zero-filled, then head,
// fields, pen, brush, font), or the bare head of any other; pPoints (curves)
// and pszText (texts) are the caller's buffers, already filled with
// CopyPoints and CopyText.
void AssembleRecord(const VectorDrawing& drawing, const ObjectView& view, void* pRecord,
                    _VECTORPOINT* pPoints, char* pszText);

// Drops every object and layer and the style tables, releasing the arenas.
void ClearDrawing(VectorDrawing* pDrawing);

#endif  // HOST_VECTOR_VECTORSTORE_H
