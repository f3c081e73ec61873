// vectorstore.cpp - copies object records into the compact storage of a
// drawing and rebuilds full records from it.
//
// A record is first split into its parts (points, scalar values, pen, brush,
// font, text); the parts are stored the same way for every type. Rebuilding
// runs the other way. Only the split and the assembly know the record
// layouts; everything else sees parts.
#include "vectorstore.h"

#include <algorithm>

namespace {

// The slot layout of a type: how many points (-1: the record's point array),
// how many scalar values, and whether a string follows.
struct TypeLayout {
    int32_t nFixedPoints;
    int32_t nScalars;
    bool bText;
};

TypeLayout LayoutOf(uint32_t nType) {
    switch (nType) {
    case VOBJ_VERTEX: return {1, 0, false};
    case VOBJ_LINE:
    case VOBJ_RECTANGLE: return {2, 0, false};
    case VOBJ_CURVEOPENED:
    case VOBJ_CURVECLOSED: return {-1, 0, false};
    case VOBJ_ELLIPSE: return {1, 2, false};
    case VOBJ_CIRCLE: return {1, 1, false};
    case VOBJ_ARC: return {1, 3, false};
    case VOBJ_ELLIPTICALARC: return {1, 4, false};
    case VOBJ_TEXTA: return {1, 2, true};
    default: return {0, 0, false};  // a bare head
    }
}

// A record taken apart. Fixed points are copied into aFixed; a curve's
// points stay in the caller's array.
struct ObjectParts {
    _VECTORPOINT aFixed[2];
    const _VECTORPOINT* pPoints;
    uint64_t nPoints;
    double adScalars[4];
    const _VECTORPEN* pPen;
    const _VECTORBRUSH* pBrush;
    const _VECTORFONTA* pFont;
    int32_t nFillMode;
    uint32_t uFormat;
    const char* pszText;
    uint64_t nTextLength;
};

void SetFixedPoints(ObjectParts* pParts, const _VECTORPOINT& pt1, const _VECTORPOINT* pPt2) {
    pParts->aFixed[0] = pt1;
    pParts->nPoints = 1;
    if (pPt2 != nullptr) {
        pParts->aFixed[1] = *pPt2;
        pParts->nPoints = 2;
    }
    pParts->pPoints = pParts->aFixed;
}

// Sets a curve's point array; a negative count, or points promised without
// an array, is a bad record.
bool SetCurvePoints(ObjectParts* pParts, const _VECTORPOINT* pPoints, int32_t nPoints) {
    if (nPoints < 0 || (nPoints > 0 && pPoints == nullptr))
        return false;
    pParts->pPoints = pPoints;
    pParts->nPoints = (uint64_t)nPoints;
    return true;
}

void SetScalars(ObjectParts* pParts, double d0, double d1, double d2, double d3) {
    pParts->adScalars[0] = d0;
    pParts->adScalars[1] = d1;
    pParts->adScalars[2] = d2;
    pParts->adScalars[3] = d3;
}

// Takes a record of type nType apart; false for a bad point array.
bool SplitRecord(uint32_t nType, const void* pRecord, ObjectParts* pParts) {
    memset(pParts, 0, sizeof(*pParts));
    switch (nType) {
    case VOBJ_VERTEX: {
        const _VECTORVERTEX* p = (const _VECTORVERTEX*)pRecord;
        SetFixedPoints(pParts, p->pt, nullptr);
        pParts->pPen = &p->pen;
        return true;
    }
    case VOBJ_LINE: {
        const _VECTORLINE* p = (const _VECTORLINE*)pRecord;
        SetFixedPoints(pParts, p->pt1, &p->pt2);
        pParts->pPen = &p->pen;
        return true;
    }
    case VOBJ_RECTANGLE: {
        const _VECTORRECTANGLE* p = (const _VECTORRECTANGLE*)pRecord;
        SetFixedPoints(pParts, p->pt1, &p->pt2);
        pParts->pPen = &p->pen;
        pParts->pBrush = &p->brush;
        return true;
    }
    case VOBJ_CURVEOPENED: {
        const _VECTORCURVEOPENED* p = (const _VECTORCURVEOPENED*)pRecord;
        pParts->pPen = &p->pen;
        return SetCurvePoints(pParts, p->pPoints, p->nPoints);
    }
    case VOBJ_CURVECLOSED: {
        const _VECTORCURVECLOSED* p = (const _VECTORCURVECLOSED*)pRecord;
        pParts->pPen = &p->pen;
        pParts->pBrush = &p->brush;
        pParts->nFillMode = p->nFillMode;
        return SetCurvePoints(pParts, p->pPoints, p->nPoints);
    }
    case VOBJ_ELLIPSE: {
        const _VECTORELLIPSE* p = (const _VECTORELLIPSE*)pRecord;
        SetFixedPoints(pParts, p->ptCenter, nullptr);
        SetScalars(pParts, p->dRadiusX, p->dRadiusY, 0, 0);
        pParts->pPen = &p->pen;
        pParts->pBrush = &p->brush;
        return true;
    }
    case VOBJ_CIRCLE: {
        const _VECTORCIRCLE* p = (const _VECTORCIRCLE*)pRecord;
        SetFixedPoints(pParts, p->ptCenter, nullptr);
        SetScalars(pParts, p->dRadius, 0, 0, 0);
        pParts->pPen = &p->pen;
        pParts->pBrush = &p->brush;
        return true;
    }
    case VOBJ_ARC: {
        const _VECTORARC* p = (const _VECTORARC*)pRecord;
        SetFixedPoints(pParts, p->ptCenter, nullptr);
        SetScalars(pParts, p->dRadius, p->dStartAngle, p->dSweep, 0);
        pParts->pPen = &p->pen;
        return true;
    }
    case VOBJ_ELLIPTICALARC: {
        const _VECTORELLIPTICALARC* p = (const _VECTORELLIPTICALARC*)pRecord;
        SetFixedPoints(pParts, p->ptCenter, nullptr);
        SetScalars(pParts, p->dRadiusX, p->dRadiusY, p->dStartAngle, p->dSweep);
        pParts->pPen = &p->pen;
        return true;
    }
    case VOBJ_TEXTA: {
        const _VECTORTEXTA* p = (const _VECTORTEXTA*)pRecord;
        SetFixedPoints(pParts, p->ptAnchor, nullptr);
        SetScalars(pParts, p->dCharHeight, p->dCharWidth, 0, 0);
        pParts->pPen = &p->pen;
        pParts->pBrush = &p->brush;
        pParts->pFont = &p->font;
        pParts->uFormat = p->uFormat;
        // A missing string is kept as an empty one.
        pParts->pszText = p->pszText != nullptr ? p->pszText : "";
        pParts->nTextLength = strlen(pParts->pszText);
        return true;
    }
    default:
        return true;  // a bare head: nothing beyond the head is kept
    }
}

// True when the point's z or tag must be kept in the side table; -0.0 is
// kept too, so that every z comes back bit for bit.
bool NeedsExtra(const _VECTORPOINT& pt) {
    uint64_t nZBits;
    memcpy(&nZBits, &pt.z, sizeof(nZBits));
    return nZBits != 0 || pt.nTag != 0;
}

// The bytes of a record that the kernel keeps: the whole record of a
// drawable type, the head of any other.
size_t KeptRecordSize(uint32_t nType) {
    size_t nSize = RecordSize(nType);
    return nSize != 0 ? nSize : sizeof(_VECTOROBJECTHEAD);
}

template <typename T>
uint32_t InternOptional(InternPool<T>* pPool, const T* pValue) {
    return pValue != nullptr ? pPool->Intern(*pValue) : kNoPart;
}

// Interns the parts that are not geometry; throws std::bad_alloc.
uint32_t InternStyle(VectorDrawing* pDrawing, const _VECTOROBJECTHEAD* pHead,
                     const ObjectParts& parts, int32_t nLayer) {
    ObjectStyle style;
    memset(&style, 0, sizeof(style));
    style.nLayer = nLayer;
    style.uAttributes = pHead->uAttributes;
    style.nPen = InternOptional(&pDrawing->poolPens, parts.pPen);
    style.nBrush = InternOptional(&pDrawing->poolBrushes, parts.pBrush);
    style.nFont = InternOptional(&pDrawing->poolFonts, parts.pFont);
    style.nFillMode = parts.nFillMode;
    style.uFormat = parts.uFormat;
    return pDrawing->poolStyles.Intern(style);
}

// Appends the parts; every arena must have room already, so nothing throws.
void AppendParts(VectorDrawing* pDrawing, const ObjectParts& parts, const TypeLayout& layout,
                 ObjectHeader* pHeader) {
    pHeader->nFirstSlot = pDrawing->aSlots.Size();
    for (uint64_t i = 0; i < parts.nPoints; ++i) {
        const _VECTORPOINT& pt = parts.pPoints[i];
        if (NeedsExtra(pt)) {
            pDrawing->aExtras.PushBack({pDrawing->aSlots.Size(), pt.z, pt.nTag});
            pHeader->bHasExtras = 1;
        }
        pDrawing->aSlots.PushBack({pt.x, pt.y});
    }
    for (int32_t i = 0; i < layout.nScalars; i += 2)
        pDrawing->aSlots.PushBack({parts.adScalars[i], parts.adScalars[i + 1]});
    if (layout.bText) {
        // Offsets below 2^53 are exact in a double.
        uint64_t nStart = pDrawing->aText.Size();
        pDrawing->aText.Append(parts.pszText, parts.nTextLength);
        pDrawing->aSlots.PushBack({(double)nStart, (double)parts.nTextLength});
    }
}

// The layer 0 that an object added before any layer was made goes to:
// no name, visible.
_VECTORLAYERA ImplicitLayer() {
    _VECTORLAYERA layer;
    memset(&layer, 0, sizeof(layer));
    layer.nSize = sizeof(layer);
    layer.bVisible = 1;
    return layer;
}

uint64_t CountExtras(const ObjectParts& parts) {
    uint64_t nExtras = 0;
    for (uint64_t i = 0; i < parts.nPoints; ++i)
        nExtras += NeedsExtra(parts.pPoints[i]) ? 1 : 0;
    return nExtras;
}

// The layer an object names: -1 stands for the active layer.
int32_t RequestedLayer(const VectorDrawing& drawing, const _VECTOROBJECTHEAD* pHead) {
    return pHead->nLayer == -1 ? drawing.nActiveLayer : pHead->nLayer;
}

// Stores checked parts: interning and reserving may throw, the appending
// after them cannot, so a failure leaves no half-stored object.
void StoreParts(VectorDrawing* pDrawing, uint32_t nType, const _VECTOROBJECTHEAD* pHead,
                const ObjectParts& parts) {
    int32_t nLayer = RequestedLayer(*pDrawing, pHead);
    bool bMakeLayer = pDrawing->aLayers.empty();
    TypeLayout layout = LayoutOf(nType);
    ObjectHeader header;
    memset(&header, 0, sizeof(header));
    header.nType = (uint8_t)nType;
    header.nStyle = InternStyle(pDrawing, pHead, parts, nLayer);

    uint64_t nSlots = parts.nPoints + (uint64_t)(layout.nScalars + 1) / 2 + (layout.bText ? 1 : 0);
    pDrawing->aSlots.Reserve(pDrawing->aSlots.Size() + nSlots);
    pDrawing->aExtras.Reserve(pDrawing->aExtras.Size() + CountExtras(parts));
    pDrawing->aText.Reserve(pDrawing->aText.Size() + parts.nTextLength);
    pDrawing->aObjects.Reserve(pDrawing->aObjects.Size() + 1);
    if (bMakeLayer)
        pDrawing->aLayers.reserve(1);

    AppendParts(pDrawing, parts, layout, &header);
    pDrawing->aObjects.PushBack(header);
    if (bMakeLayer)
        pDrawing->aLayers.push_back(ImplicitLayer());
}

// Index of the first side-table entry at or after nSlot.
uint64_t FirstExtraFrom(const VectorDrawing& drawing, uint64_t nSlot) {
    uint64_t nLow = 0;
    uint64_t nHigh = drawing.aExtras.Size();
    while (nLow < nHigh) {
        uint64_t nMiddle = nLow + (nHigh - nLow) / 2;
        if (drawing.aExtras[nMiddle].nSlot < nSlot)
            nLow = nMiddle + 1;
        else
            nHigh = nMiddle;
    }
    return nLow;
}

template <typename T>
const T* PartOf(const InternPool<T>& pool, uint32_t nIndex) {
    return nIndex != kNoPart ? &pool[nIndex] : nullptr;
}

// Copies a point byte for byte, so that a rebuilt record's padding stays as
// zero as the rest: hosts may then compare records as a whole.
void PutPoint(_VECTORPOINT* pDest, const _VECTORPOINT& source) {
    memcpy(pDest, &source, sizeof(*pDest));
}

void WriteHead(_VECTOROBJECTHEAD* pHead, uint32_t nSize, uint32_t nType,
               const ObjectStyle& style) {
    pHead->nSize = nSize;
    pHead->nType = nType;
    pHead->nLayer = style.nLayer;
    pHead->uAttributes = style.uAttributes;
}

}  // namespace

size_t RecordSize(uint32_t nType) {
    switch (nType) {
    case VOBJ_VERTEX: return sizeof(_VECTORVERTEX);
    case VOBJ_LINE: return sizeof(_VECTORLINE);
    case VOBJ_RECTANGLE: return sizeof(_VECTORRECTANGLE);
    case VOBJ_CURVEOPENED: return sizeof(_VECTORCURVEOPENED);
    case VOBJ_CURVECLOSED: return sizeof(_VECTORCURVECLOSED);
    case VOBJ_ELLIPSE: return sizeof(_VECTORELLIPSE);
    case VOBJ_CIRCLE: return sizeof(_VECTORCIRCLE);
    case VOBJ_ARC: return sizeof(_VECTORARC);
    case VOBJ_ELLIPTICALARC: return sizeof(_VECTORELLIPTICALARC);
    case VOBJ_TEXTA: return sizeof(_VECTORTEXTA);
    default: return 0;
    }
}

bool LayerExists(const VectorDrawing& drawing, int32_t nLayer) {
    if (drawing.aLayers.empty())
        return nLayer == 0;  // the implicit layer, made with the first object
    return nLayer >= 0 && (uint64_t)nLayer < drawing.aLayers.size();
}

int32_t StoreObject(VectorDrawing* pDrawing, uint32_t nType, const void* pRecord) {
    const _VECTOROBJECTHEAD* pHead = (const _VECTOROBJECTHEAD*)pRecord;
    if (nType > UINT8_MAX || pHead->nType != nType || pHead->nSize < KeptRecordSize(nType))
        return VEC_ERR_BADOBJECT;
    if (!LayerExists(*pDrawing, RequestedLayer(*pDrawing, pHead)))
        return VEC_ERR_BADOBJECT;
    ObjectParts parts;
    if (!SplitRecord(nType, pRecord, &parts))
        return VEC_ERR_BADOBJECT;
    try {
        StoreParts(pDrawing, nType, pHead, parts);
    } catch (const std::bad_alloc&) {
        return VEC_ERR_NOMEM;
    }
    return 1;
}

ObjectView ViewObject(const VectorDrawing& drawing, uint64_t nIndex) {
    const ObjectHeader& header = drawing.aObjects[nIndex];
    uint64_t nEnd = nIndex + 1 < drawing.aObjects.Size()
                        ? drawing.aObjects[nIndex + 1].nFirstSlot
                        : drawing.aSlots.Size();
    TypeLayout layout = LayoutOf(header.nType);

    ObjectView view;
    memset(&view, 0, sizeof(view));
    view.nType = header.nType;
    view.nFirstSlot = header.nFirstSlot;
    view.nPoints = layout.nFixedPoints < 0 ? nEnd - header.nFirstSlot
                                           : (uint64_t)layout.nFixedPoints;
    view.pStyle = &drawing.poolStyles[header.nStyle];
    view.bHasExtras = header.bHasExtras != 0;
    uint64_t nScalarSlot = header.nFirstSlot + view.nPoints;
    for (int32_t i = 0; i < layout.nScalars; ++i) {
        const VectorSlot& slot = drawing.aSlots[nScalarSlot + (uint64_t)i / 2];
        view.adScalars[i] = i % 2 == 0 ? slot.dA : slot.dB;
    }
    if (layout.bText) {
        const VectorSlot& slot = drawing.aSlots[nEnd - 1];
        view.nTextStart = (uint64_t)slot.dA;
        view.nTextLength = (uint64_t)slot.dB;
    }
    return view;
}

void CopyPoints(const VectorDrawing& drawing, const ObjectView& view, _VECTORPOINT* pPoints) {
    _VECTORPOINT* pOut = pPoints;
    drawing.aSlots.ForEachRun(view.nFirstSlot, view.nPoints,
                              [&](const VectorSlot* pRun, uint64_t nRun) {
                                  for (uint64_t i = 0; i < nRun; ++i, ++pOut) {
                                      memset(pOut, 0, sizeof(*pOut));
                                      pOut->x = pRun[i].dA;
                                      pOut->y = pRun[i].dB;
                                  }
                              });
    if (!view.bHasExtras)
        return;
    uint64_t nEnd = view.nFirstSlot + view.nPoints;
    for (uint64_t i = FirstExtraFrom(drawing, view.nFirstSlot);
         i < drawing.aExtras.Size() && drawing.aExtras[i].nSlot < nEnd; ++i) {
        const PointExtra& extra = drawing.aExtras[i];
        pPoints[extra.nSlot - view.nFirstSlot].z = extra.dZ;
        pPoints[extra.nSlot - view.nFirstSlot].nTag = extra.nTag;
    }
}

void CopyText(const VectorDrawing& drawing, const ObjectView& view, char* pszText) {
    char* pOut = pszText;
    drawing.aText.ForEachRun(view.nTextStart, view.nTextLength,
                             [&](const char* pRun, uint64_t nRun) {
                                 memcpy(pOut, pRun, nRun);
                                 pOut += nRun;
                             });
    *pOut = '\0';
}

void MeasureText(const VectorDrawing& drawing, const ObjectView& view, uint64_t* pLines,
                 uint64_t* pLongest) {
    uint64_t nLines = 1;
    uint64_t nCurrent = 0;
    uint64_t nLongest = 0;
    drawing.aText.ForEachRun(view.nTextStart, view.nTextLength,
                             [&](const char* pRun, uint64_t nRun) {
                                 for (uint64_t i = 0; i < nRun; ++i) {
                                     if (pRun[i] == '\n') {
                                         ++nLines;
                                         nCurrent = 0;
                                     } else {
                                         nLongest = std::max(nLongest, ++nCurrent);
                                     }
                                 }
                             });
    *pLines = nLines;
    *pLongest = nLongest;
}

void AssembleRecord(const VectorDrawing& drawing, const ObjectView& view, void* pRecord,
                    _VECTORPOINT* pPoints, char* pszText) {
    const ObjectStyle& style = *view.pStyle;
    const _VECTORPEN* pPen = PartOf(drawing.poolPens, style.nPen);
    const _VECTORBRUSH* pBrush = PartOf(drawing.poolBrushes, style.nBrush);
    const _VECTORFONTA* pFont = PartOf(drawing.poolFonts, style.nFont);
    const double* adScalars = view.adScalars;
    _VECTORPOINT aFixed[2];
    if (LayoutOf(view.nType).nFixedPoints > 0)
        CopyPoints(drawing, view, aFixed);

    size_t nSize = KeptRecordSize(view.nType);
    memset(pRecord, 0, nSize);
    WriteHead((_VECTOROBJECTHEAD*)pRecord, (uint32_t)nSize, view.nType, style);
    switch (view.nType) {
    case VOBJ_VERTEX: {
        _VECTORVERTEX* p = (_VECTORVERTEX*)pRecord;
        PutPoint(&p->pt, aFixed[0]);
        p->pen = *pPen;
        break;
    }
    case VOBJ_LINE: {
        _VECTORLINE* p = (_VECTORLINE*)pRecord;
        PutPoint(&p->pt1, aFixed[0]);
        PutPoint(&p->pt2, aFixed[1]);
        p->pen = *pPen;
        break;
    }
    case VOBJ_RECTANGLE: {
        _VECTORRECTANGLE* p = (_VECTORRECTANGLE*)pRecord;
        PutPoint(&p->pt1, aFixed[0]);
        PutPoint(&p->pt2, aFixed[1]);
        p->pen = *pPen;
        p->brush = *pBrush;
        break;
    }
    case VOBJ_CURVEOPENED: {
        _VECTORCURVEOPENED* p = (_VECTORCURVEOPENED*)pRecord;
        p->pPoints = pPoints;
        p->nPoints = (int32_t)view.nPoints;
        p->pen = *pPen;
        break;
    }
    case VOBJ_CURVECLOSED: {
        _VECTORCURVECLOSED* p = (_VECTORCURVECLOSED*)pRecord;
        p->pPoints = pPoints;
        p->nPoints = (int32_t)view.nPoints;
        p->pen = *pPen;
        p->brush = *pBrush;
        p->nFillMode = style.nFillMode;
        break;
    }
    case VOBJ_ELLIPSE: {
        _VECTORELLIPSE* p = (_VECTORELLIPSE*)pRecord;
        PutPoint(&p->ptCenter, aFixed[0]);
        p->pen = *pPen;
        p->brush = *pBrush;
        p->dRadiusX = adScalars[0];
        p->dRadiusY = adScalars[1];
        break;
    }
    case VOBJ_CIRCLE: {
        _VECTORCIRCLE* p = (_VECTORCIRCLE*)pRecord;
        PutPoint(&p->ptCenter, aFixed[0]);
        p->pen = *pPen;
        p->brush = *pBrush;
        p->dRadius = adScalars[0];
        break;
    }
    case VOBJ_ARC: {
        _VECTORARC* p = (_VECTORARC*)pRecord;
        PutPoint(&p->ptCenter, aFixed[0]);
        p->pen = *pPen;
        p->dRadius = adScalars[0];
        p->dStartAngle = adScalars[1];
        p->dSweep = adScalars[2];
        break;
    }
    case VOBJ_ELLIPTICALARC: {
        _VECTORELLIPTICALARC* p = (_VECTORELLIPTICALARC*)pRecord;
        PutPoint(&p->ptCenter, aFixed[0]);
        p->pen = *pPen;
        p->dRadiusX = adScalars[0];
        p->dRadiusY = adScalars[1];
        p->dStartAngle = adScalars[2];
        p->dSweep = adScalars[3];
        break;
    }
    case VOBJ_TEXTA: {
        _VECTORTEXTA* p = (_VECTORTEXTA*)pRecord;
        PutPoint(&p->ptAnchor, aFixed[0]);
        p->pszText = pszText;
        p->uFormat = style.uFormat;
        p->dCharHeight = adScalars[0];
        p->dCharWidth = adScalars[1];
        p->pen = *pPen;
        p->brush = *pBrush;
        p->font = *pFont;
        break;
    }
    default:
        break;
    }
}

void ClearDrawing(VectorDrawing* pDrawing) {
    pDrawing->aObjects.Clear();
    pDrawing->aSlots.Clear();
    pDrawing->aExtras.Clear();
    pDrawing->aText.Clear();
    pDrawing->poolPens.Clear();
    pDrawing->poolBrushes.Clear();
    pDrawing->poolFonts.Clear();
    pDrawing->poolStyles.Clear();
    std::vector<_VECTORLAYERA>().swap(pDrawing->aLayers);
    pDrawing->nActiveLayer = 0;
}
