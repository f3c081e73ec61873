// vectorkernel.cpp - the Z_Vec entry points: argument and handle checks
// around the drawing storage, copies handed out to the caller, extents, page
// size and painting through the drawing engine. Nothing is thrown out of
// these calls: a failed allocation becomes VEC_ERR_NOMEM.
#include "vectorkernel.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "drawengine.h"
#include "vectorgeometry.h"
#include "vectorstore.h"

namespace {

std::atomic<int64_t> g_nLiveCopies{0};

// Room for the record of any drawable type.
union ObjectRecord {
    _VECTOROBJECTHEAD head;
    _VECTORVERTEX vertex;
    _VECTORLINE line;
    _VECTORRECTANGLE rectangle;
    _VECTORCURVEOPENED curveOpened;
    _VECTORCURVECLOSED curveClosed;
    _VECTORELLIPSE ellipse;
    _VECTORCIRCLE circle;
    _VECTORARC arc;
    _VECTORELLIPTICALARC ellipticalArc;
    _VECTORTEXTA text;
};

int32_t CheckHandle(const _VECTORHANDLE* pHandle) {
    if (pHandle == nullptr)
        return MIF_ERR_ARG;
    return pHandle->pDrawing != nullptr ? 1 : VEC_ERR_BADHANDLE;
}

bool HasPointArray(uint32_t nType) {
    return nType == VOBJ_CURVEOPENED || nType == VOBJ_CURVECLOSED;
}

// Points a rebuilt record of the object carries in its own array.
uint64_t ArrayPointCount(const ObjectView& view) {
    return HasPointArray(view.nType) ? view.nPoints : 0;
}

// Bytes a rebuilt record of the object needs for its string, terminator
// included; 0 for the types without one.
uint64_t TextBytes(const ObjectView& view) {
    return view.nType == VOBJ_TEXTA ? view.nTextLength + 1 : 0;
}

// Rebuilds the object's record; pPoints and pszText have the room that
// ArrayPointCount and TextBytes ask for (null where they ask for none).
void RebuildRecord(const VectorDrawing& drawing, const ObjectView& view, void* pRecord,
                   _VECTORPOINT* pPoints, char* pszText) {
    if (pPoints != nullptr)
        CopyPoints(drawing, view, pPoints);
    if (pszText != nullptr)
        CopyText(drawing, view, pszText);
    AssembleRecord(drawing, view, pRecord, pPoints, pszText);
}

bool IsVisible(const VectorDrawing& drawing, const ObjectView& view) {
    return drawing.aLayers[(size_t)view.pStyle->nLayer].bVisible != 0;
}

// Hands every drawable object of a visible layer to the engine; returns 1
// or the first result other than 1. Throws std::bad_alloc.
int32_t PaintObjects(ZDRWCONTEXT* pContext, const VectorDrawing& drawing) {
    std::vector<_VECTORPOINT> aPoints;
    std::vector<char> aText;
    ObjectRecord record;
    for (uint64_t i = 0; i < drawing.aObjects.Size(); ++i) {
        ObjectView view = ViewObject(drawing, i);
        if (RecordSize(view.nType) == 0 || !IsVisible(drawing, view))
            continue;
        aPoints.resize(ArrayPointCount(view));
        aText.resize(TextBytes(view));
        RebuildRecord(drawing, view, &record, aPoints.empty() ? nullptr : aPoints.data(),
                      aText.empty() ? nullptr : aText.data());
        int32_t nResult = Z_Drw_DrawObject(pContext, view.nType, &record);
        if (nResult != 1)
            return nResult;
    }
    return 1;
}

int32_t PaintObjectsGuarded(ZDRWCONTEXT* pContext, const VectorDrawing& drawing) {
    try {
        return PaintObjects(pContext, drawing);
    } catch (const std::bad_alloc&) {
        return VEC_ERR_NOMEM;
    }
}

// Paints with the engine's split when it offers one: the lower band on a
// second thread (or after the upper one when no thread can be started).
// Returns the upper band's result when it is not 1, else the lower's.
int32_t PaintInBands(ZDRWCONTEXT* pContext, const VectorDrawing& drawing) {
    ZDRWCONTEXT* pLower = nullptr;
    int32_t nSplit = Z_Drw_SplitPaint(pContext, &pLower);
    if (nSplit != 1 || pLower == nullptr)
        return PaintObjectsGuarded(pContext, drawing);
    int32_t nLower = 1;
    std::thread worker;
    try {
        worker = std::thread([&] { nLower = PaintObjectsGuarded(pLower, drawing); });
    } catch (const std::system_error&) {
    }
    int32_t nUpper = PaintObjectsGuarded(pContext, drawing);
    if (worker.joinable())
        worker.join();
    else
        nLower = PaintObjectsGuarded(pLower, drawing);
    int32_t nEndLower = Z_Drw_EndPaint(pLower);
    Z_Drw_Destroy(pLower);
    if (nUpper != 1)
        return nUpper;
    return nLower != 1 ? nLower : nEndLower;
}

void WriteCorner(_VECTORPOINT* pCorner, double dX, double dY) {
    memset(pCorner, 0, sizeof(*pCorner));
    pCorner->x = dX;
    pCorner->y = dY;
}

}  // namespace

extern "C" {

int64_t Zv_LiveObjectCopies(void) {
    return g_nLiveCopies.load();
}

int32_t Z_VecInit(_VECTORHANDLE* pHandle) {
    if (pHandle == nullptr)
        return MIF_ERR_ARG;
    memset(&pHandle->rcViewport, 0, sizeof(pHandle->rcViewport));
    pHandle->nDrawOption = 0;
    memset(&pHandle->ptMin, 0, sizeof(pHandle->ptMin));
    memset(&pHandle->ptMax, 0, sizeof(pHandle->ptMax));
    pHandle->pDrawing = nullptr;
    try {
        pHandle->pDrawing = new VectorDrawing();
    } catch (const std::bad_alloc&) {
        return VEC_ERR_NOMEM;
    }
    return 1;
}

int32_t Z_VecEmpty(_VECTORHANDLE* pHandle) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    ClearDrawing(pHandle->pDrawing);
    return 1;
}

int32_t Z_VecFree(_VECTORHANDLE* pHandle) {
    if (pHandle == nullptr)
        return MIF_ERR_ARG;
    delete pHandle->pDrawing;
    pHandle->pDrawing = nullptr;
    return 1;
}

int32_t Z_VecAddLayerA(_VECTORHANDLE* pHandle, const _VECTORLAYERA* pLayer,
                       VECTORLAYER* pLayerOut, int32_t /*nReserved*/) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pLayer == nullptr)
        return MIF_ERR_ARG;
    if (pLayer->nSize < sizeof(_VECTORLAYERA))
        return VEC_ERR_BADOBJECT;
    std::vector<_VECTORLAYERA>& aLayers = pHandle->pDrawing->aLayers;
    if (aLayers.size() >= (size_t)INT32_MAX)
        return VEC_ERR_NOMEM;
    try {
        aLayers.push_back(*pLayer);
    } catch (const std::bad_alloc&) {
        return VEC_ERR_NOMEM;
    }
    aLayers.back().nSize = sizeof(_VECTORLAYERA);
    aLayers.back().szName[sizeof(aLayers.back().szName) - 1] = '\0';
    if (pLayerOut != nullptr)
        *pLayerOut = (VECTORLAYER)(aLayers.size() - 1);
    return 1;
}

int32_t Z_VecSetActiveLayer(_VECTORHANDLE* pHandle, VECTORLAYER nLayer) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (!LayerExists(*pHandle->pDrawing, nLayer))
        return VEC_ERR_BADOBJECT;
    pHandle->pDrawing->nActiveLayer = nLayer;
    return 1;
}

int32_t Z_VecInitObject(void* pRecord) {
    if (pRecord == nullptr)
        return MIF_ERR_ARG;
    _VECTOROBJECTHEAD* pHead = (_VECTOROBJECTHEAD*)pRecord;
    pHead->nLayer = -1;
    pHead->uAttributes = 0;
    return 1;
}

int32_t Z_VecAddObjectA(_VECTORHANDLE* pHandle, _VECTOROBJECT* pParent, uint32_t nType,
                        const void* pRecord, _VECTOROBJECT* pObjectOut) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pRecord == nullptr)
        return MIF_ERR_ARG;
    if (pParent != nullptr)
        return VEC_ERR_BADOBJECT;
    nResult = StoreObject(pHandle->pDrawing, nType, pRecord);
    if (nResult == 1 && pObjectOut != nullptr) {
        pObjectOut->nSize = sizeof(_VECTOROBJECT);
        pObjectOut->nType = nType;
        pObjectOut->nIndex = pHandle->pDrawing->aObjects.Size() - 1;
    }
    return nResult;
}

int32_t Z_VecGetObjectA(_VECTORHANDLE* pHandle, const _VECTOROBJECT* pObject, uint32_t nType,
                        void* pRecord) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pObject == nullptr || pRecord == nullptr)
        return MIF_ERR_ARG;
    const VectorDrawing& drawing = *pHandle->pDrawing;
    if (pObject->nIndex >= drawing.aObjects.Size())
        return VEC_ERR_BADOBJECT;
    ObjectView view = ViewObject(drawing, pObject->nIndex);
    if (view.nType != nType)
        return VEC_ERR_BADOBJECT;

    uint64_t nPoints = ArrayPointCount(view);
    uint64_t nTextBytes = TextBytes(view);
    _VECTORPOINT* pPoints = nullptr;
    char* pszText = nullptr;
    if (nPoints > 0 && (pPoints = (_VECTORPOINT*)malloc(nPoints * sizeof(_VECTORPOINT))) == nullptr)
        return VEC_ERR_NOMEM;
    if (nTextBytes > 0 && (pszText = (char*)malloc(nTextBytes)) == nullptr) {
        free(pPoints);
        return VEC_ERR_NOMEM;
    }
    RebuildRecord(drawing, view, pRecord, pPoints, pszText);
    if (pPoints != nullptr || pszText != nullptr)
        ++g_nLiveCopies;
    return 1;
}

int32_t Z_VecFreeObject(uint32_t nType, void* pRecord) {
    if (pRecord == nullptr)
        return MIF_ERR_ARG;
    void* pAttached = nullptr;
    if (nType == VOBJ_CURVEOPENED) {
        _VECTORCURVEOPENED* p = (_VECTORCURVEOPENED*)pRecord;
        pAttached = p->pPoints;
        p->pPoints = nullptr;
        p->nPoints = 0;
    } else if (nType == VOBJ_CURVECLOSED) {
        _VECTORCURVECLOSED* p = (_VECTORCURVECLOSED*)pRecord;
        pAttached = p->pPoints;
        p->pPoints = nullptr;
        p->nPoints = 0;
    } else if (nType == VOBJ_TEXTA) {
        _VECTORTEXTA* p = (_VECTORTEXTA*)pRecord;
        pAttached = p->pszText;
        p->pszText = nullptr;
    }
    if (pAttached != nullptr) {
        free(pAttached);
        --g_nLiveCopies;
    }
    return 1;
}

int32_t Z_VecGetObjectParallelogram(_VECTORHANDLE* pHandle, const _VECTOROBJECT* pObject,
                                    _VECTORPOINT* pMin, _VECTORPOINT* pMax,
                                    int32_t /*nReserved*/) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pMin == nullptr || pMax == nullptr)
        return MIF_ERR_ARG;
    const VectorDrawing& drawing = *pHandle->pDrawing;
    ExtentFold fold = EmptyFold(pObject == nullptr);
    if (pObject != nullptr) {
        if (pObject->nIndex >= drawing.aObjects.Size())
            return VEC_ERR_BADOBJECT;
        FoldObject(drawing, pObject->nIndex, &fold);
    } else {
        for (uint64_t i = 0; i < drawing.aObjects.Size(); ++i)
            FoldObject(drawing, i, &fold);
    }
    if (!fold.bHasX || !fold.bHasY)
        return VEC_ERR_EMPTY;
    WriteCorner(pMin, fold.dMinX, fold.dMinY);
    WriteCorner(pMax, fold.dMaxX, fold.dMaxY);
    return 1;
}

int32_t Z_VecSetParallelogram(_VECTORHANDLE* pHandle, const _VECTORPOINT* pMin,
                              const _VECTORPOINT* pMax) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pMin == nullptr || pMax == nullptr)
        return MIF_ERR_ARG;
    pHandle->ptMin = *pMin;
    pHandle->ptMax = *pMax;
    return 1;
}

int32_t Z_VecSetOrigin(_VECTORHANDLE* pHandle, const _VECTORPOINT* pOrigin) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pOrigin != nullptr)
        pHandle->pDrawing->ptOrigin = *pOrigin;
    else
        memset(&pHandle->pDrawing->ptOrigin, 0, sizeof(_VECTORPOINT));
    return 1;
}

int32_t Z_VecSetCamera(_VECTORHANDLE* pHandle, const _VECTORCAMERA* pCamera) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pCamera != nullptr && pCamera->nSize < sizeof(_VECTORCAMERA))
        return VEC_ERR_BADOBJECT;
    _VECTORCAMERA camera = {sizeof(_VECTORCAMERA), 1.0, 0.0};
    if (pCamera != nullptr)
        camera = *pCamera;
    pHandle->pDrawing->camera = camera;
    return 1;
}

int32_t Z_VecGetSize(_VECTORHANDLE* pHandle, int32_t nSizeMode, int32_t* pWidth,
                     int32_t* pHeight) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pWidth == nullptr || pHeight == nullptr)
        return MIF_ERR_ARG;
    double dBoxWidth = pHandle->ptMax.x - pHandle->ptMin.x;
    double dBoxHeight = pHandle->ptMax.y - pHandle->ptMin.y;
    FitPageSize(nSizeMode, dBoxWidth < 0 ? -dBoxWidth : dBoxWidth,
                dBoxHeight < 0 ? -dBoxHeight : dBoxHeight, pWidth, pHeight);
    return 1;
}

int32_t Z_VecSetBackgroundColor(_VECTORHANDLE* pHandle, uint32_t crColor) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    pHandle->pDrawing->crBackground = crColor;
    return 1;
}

int32_t Z_VecDraw(ZDRWCONTEXT* pContext, _VECTORHANDLE* pHandle, int32_t /*nFlags*/) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pContext == nullptr)
        return MIF_ERR_ARG;
    const VectorDrawing& drawing = *pHandle->pDrawing;
    nResult = Z_Drw_BeginPaint(pContext, &pHandle->rcViewport, &pHandle->ptMin,
                               &pHandle->ptMax, 1, drawing.crBackground);
    if (nResult != 1)
        return nResult;
    nResult = PaintInBands(pContext, drawing);
    int32_t nEnd = Z_Drw_EndPaint(pContext);
    return nResult != 1 ? nResult : nEnd;
}

int32_t Z_VecEnumObjects(_VECTORHANDLE* pHandle, VECENUMPROC pfnCallback, void* pUserData,
                         int32_t /*nReserved*/) {
    int32_t nResult = CheckHandle(pHandle);
    if (nResult != 1)
        return nResult;
    if (pfnCallback == nullptr)
        return MIF_ERR_ARG;
    // The objects present when the enumeration starts are visited; the
    // callback may add objects (not visited), or empty or free the drawing.
    uint64_t nCount = pHandle->pDrawing->aObjects.Size();
    for (uint64_t i = 0; i < nCount; ++i) {
        const VectorDrawing* pDrawing = pHandle->pDrawing;
        if (pDrawing == nullptr)
            return VEC_ERR_BADHANDLE;
        if (i >= pDrawing->aObjects.Size())
            break;
        _VECTOROBJECT object = {sizeof(_VECTOROBJECT), pDrawing->aObjects[i].nType, i};
        nResult = pfnCallback(pHandle, &object, pUserData);
        if (nResult != 1)
            return nResult;
    }
    return 1;
}

}  // extern "C"
