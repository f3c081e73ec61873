// Mif.cpp - the filter's entry points, the info, load and save operations,
// and the drawing loader.
//
// The host drives one file as info, then load, then free data; the parsed
// drawing passes from info to load in a MifDrawingCache in the host's cache
// slot. Save stands alone. Info reads from the host's open file and never
// closes it; load and save open their files by path and close them before
// they return, on every path.
#include "Mif.h"

#include <string.h>

#include "linereader.h"
#include "read.h"
#include "write.h"

enum {
    MIF_HANDLE_FLAGS = 8194,       // the flags a parse runs with
    MIF_DEFAULT_PAGE = 400,        // page width and height without a request
    MIF_DEFAULT_BPP = 24,
    MIF_OPEN_READ_FLAGS = 0,       // O_RDONLY
    MIF_OPEN_READ_MODE = 256,      // owner read
    MIF_OPEN_WRITE_FLAGS = 66,     // O_RDWR | O_CREAT
    MIF_OPEN_WRITE_MODE = 128,     // owner write
    MIF_MAX_PATH = 4096,           // the .mid path buffer, terminator included
    MIF_VECTOR_INFO_SIZE = 1747    // image records larger than this have the vector block
};

// ---------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------

extern "C" int fltInfo(_INFODISPATCH* pInfo) {
    return pInfo == nullptr ? MIF_ERR_ARG : fltInfoMIF(pInfo);
}

extern "C" int fltLoad(_LOADDISPATCH* pLoad) {
    return pLoad == nullptr ? MIF_ERR_ARG : fltLoadMIF(pLoad);
}

extern "C" int fltSave(_SAVEDISPATCH* pSave) {
    return pSave == nullptr ? MIF_ERR_ARG : fltSaveMIF(pSave);
}

extern "C" int fltFreeData(void* pData, DATATYPE nKind) {
    return fltFreeMIF(pData, nKind);
}

// Releases a cache and, when the filter made it, its drawing.
static void ReleaseDrawingCache(MifDrawingCache* pCache) {
    if (pCache == nullptr)
        return;
    if (pCache->bOwnsHandle) {
        Z_VecFree(pCache->pVectorHandle);
        if (pCache->pVectorHandle != nullptr) {
            Z_LocalFree(pCache->pVectorHandle, __LINE__, __FILE__);
            pCache->pVectorHandle = nullptr;
        }
    }
    Z_LocalFree(pCache, __LINE__, __FILE__);
}

int fltFreeMIF(void* pData, DATATYPE nKind) {
    if (nKind != DATATYPE_DRAWINGCACHE)
        return MIF_OK;
    ReleaseDrawingCache(static_cast<MifDrawingCache*>(pData));
    return MIF_OK;
}

// ---------------------------------------------------------------------------
// Drawing loader
// ---------------------------------------------------------------------------

typedef int (*MifObjectReader)(_VECTORHANDLE*, CMifFile*);

// The object keywords in the order they are tried: the first that matches
// the start of a line (see IsKeyword) takes it.
struct MifObjectKeyword {
    const char* pszKeyword;
    MifObjectReader pfnRead;
};

const MifObjectKeyword s_aObjectKeywords[] = {
    {"POINT", ReadPoint},   {"LINE", ReadLine},           {"PLINE", ReadPLine},
    {"REGION", ReadRegion}, {"RECT", ReadRect},           {"ROUNDRECT", ReadRoundRect},
    {"ELLIPSE", ReadEllipse}, {"ARC", ReadArc},           {"TEXT", ReadText},
};

// The reader for the line at the cursor, or null for a line no object takes.
MifObjectReader FindObjectReader(const char* pszCursor, int nRemaining) {
    for (const MifObjectKeyword& keyword : s_aObjectKeywords)
        if (IsKeyword(pszCursor, nRemaining, keyword.pszKeyword))
            return keyword.pfnRead;
    return nullptr;
}

int AddDefaultLayer(_VECTORHANDLE* pHandle) {
    _VECTORLAYERA layer;
    Z_MemorySet(&layer, 0, sizeof(layer));
    layer.nSize = sizeof(layer);
    Z_MemoryCopy(layer.szName, "Default", sizeof("Default"));
    layer.bVisible = 1;
    VECTORLAYER nLayer = 0;
    int nRet = Z_VecAddLayerA(pHandle, &layer, &nLayer, 0);
    if (nRet == MIF_OK)
        Z_VecSetActiveLayer(pHandle, nLayer);
    return nRet;
}

// Fits the drawing's parallelogram to its objects.
int FitParallelogram(_VECTORHANDLE* pHandle) {
    _VECTORPOINT ptMin;
    _VECTORPOINT ptMax;
    Z_MemorySet(&ptMin, 0, sizeof(ptMin));
    Z_MemorySet(&ptMax, 0, sizeof(ptMax));
    int nRet = Z_VecGetObjectParallelogram(pHandle, nullptr, &ptMin, &ptMax, 0);
    if (nRet != MIF_OK)
        return nRet;
    Z_VecSetParallelogram(pHandle, &ptMin, &ptMax);
    Z_VecSetOrigin(pHandle, nullptr);
    Z_VecSetCamera(pHandle, nullptr);
    return MIF_OK;
}

// Reads a whole MIF file into the drawing: header, the layer "Default",
// every object, then the parallelogram. What was added before a failure
// stays in the drawing.
static int LoadMIFDrawing(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    _MIFHEADER header;
    Z_MemorySet(&header, 0, sizeof(header));
    int nRet = ReadHeader(pFile->m_hFile, &header);
    FreeHeader(&header);
    if (nRet != MIF_OK)
        return nRet;
    nRet = AddDefaultLayer(pHandle);
    if (nRet != MIF_OK)
        return nRet;

    for (;;) {
        nRet = pFile->LineRead();
        if (nRet == MIF_END)
            break;
        if (nRet != MIF_OK)
            return nRet;
        pFile->LineMoveToStart();
        MifObjectReader pfnRead = FindObjectReader(pFile->m_pszCurrent, pFile->m_nRemaining);
        if (pfnRead == nullptr)
            continue;
        nRet = pfnRead(pHandle, pFile);
        if (nRet != MIF_OK)
            return nRet;
    }
    return FitParallelogram(pHandle);
}

// ---------------------------------------------------------------------------
// Info
// ---------------------------------------------------------------------------

void UpdateVectorParallelogram(_VECTORHANDLE* pHandle) {
    double dX = (pHandle->ptMax.x - pHandle->ptMin.x) * 0.005;
    double dY = (pHandle->ptMax.y - pHandle->ptMin.y) * 0.005;
    pHandle->ptMin.x -= dX;
    pHandle->ptMin.y -= dY;
    pHandle->ptMax.x += dX;
    pHandle->ptMax.y += dY;
}

// A cache over the host's handle, or over a new handle of the filter's own.
int CreateDrawingCache(_VECTORHANDLE* pHostHandle, MifDrawingCache** ppCache) {
    MifDrawingCache* pCache =
        static_cast<MifDrawingCache*>(Z_LocalAlloc(1, sizeof(MifDrawingCache), __LINE__, __FILE__));
    if (pCache == nullptr)
        return MIF_ERR_NOMEM;
    if (pHostHandle != nullptr) {
        pCache->pVectorHandle = pHostHandle;
        pCache->bOwnsHandle = 0;
        *ppCache = pCache;
        return MIF_OK;
    }
    _VECTORHANDLE* pHandle =
        static_cast<_VECTORHANDLE*>(Z_LocalAlloc(1, sizeof(_VECTORHANDLE), __LINE__, __FILE__));
    if (pHandle == nullptr) {
        Z_LocalFree(pCache, __LINE__, __FILE__);
        return MIF_ERR_NOMEM;
    }
    pHandle->uFlags = MIF_HANDLE_FLAGS;
    int nRet = Z_VecInit(pHandle);
    if (nRet != MIF_OK) {
        Z_LocalFree(pHandle, __LINE__, __FILE__);
        Z_LocalFree(pCache, __LINE__, __FILE__);
        return nRet;
    }
    pCache->pVectorHandle = pHandle;
    pCache->bOwnsHandle = 1;
    *ppCache = pCache;
    return MIF_OK;
}

// Fills the image information of a parsed drawing.
void DescribeImage(_INFODISPATCH* pInfo, _VECTORHANDLE* pHandle) {
    _IMAGEINFO* pImage = pInfo->pImageInfo;
    int32_t nWidth = pInfo->nWidth >= 1 ? pInfo->nWidth : MIF_DEFAULT_PAGE;
    int32_t nHeight = pInfo->nHeight >= 1 ? pInfo->nHeight : MIF_DEFAULT_PAGE;
    int32_t nSizeMode = pInfo->nSizeMode;
    int32_t nBitsPerPixel = MIF_DEFAULT_BPP;

    if (pImage->nSize > MIF_VECTOR_INFO_SIZE) {
        const _VECTOROPTIONS& options = pInfo->VectorOptions;
        pImage->bVector = 1;
        pImage->nVectorBits = 64;
        pImage->ptMin = pHandle->ptMin;
        pImage->ptMax = pHandle->ptMax;
        pImage->nVectorEnd = -1;
        nBitsPerPixel = options.nBitsPerPixel >= 1 ? options.nBitsPerPixel : MIF_DEFAULT_BPP;
        nWidth = options.nWidth >= 1 ? options.nWidth : MIF_DEFAULT_PAGE;
        nHeight = options.nHeight >= 1 ? options.nHeight : MIF_DEFAULT_PAGE;
        if (options.bUseBackground)
            Z_VecSetBackgroundColor(pHandle, static_cast<uint32_t>(options.crBackground));
        if (options.nSizeMode >= 0 && options.nSizeMode <= 3)
            nSizeMode = options.nSizeMode;
    }
    if (nSizeMode != 1)
        Z_VecGetSize(pHandle, nSizeMode, &nWidth, &nHeight);

    pImage->nWidth = nWidth;
    pImage->nHeight = nHeight;
    pImage->nBitsPerPixel = nBitsPerPixel;
    pImage->nFormat = MIF_FORMAT_CODE;
    pImage->nPages = 1;
    pImage->nPlanes = 1;
    pImage->nValue1 = pInfo->pOptions != nullptr ? pInfo->pOptions->nValue1 : 0;
    pImage->nValue2 = pInfo->pOptions != nullptr ? pInfo->pOptions->nValue2 : 0;
    // Row bytes in 32-bit arithmetic, as the host computes them; rows are
    // not padded.
    uint32_t nRowBytes = (static_cast<uint32_t>(nWidth) * static_cast<uint32_t>(nBitsPerPixel) + 7u) >> 3;
    pImage->uSizeInBytes = static_cast<uint64_t>(static_cast<uint32_t>(nHeight)) * nRowBytes;
}

int fltInfoMIF(_INFODISPATCH* pInfo) {
    if (pInfo->pCacheSlot != nullptr && pInfo->pCacheSlot->pFilterData != nullptr) {
        ReleaseDrawingCache(static_cast<MifDrawingCache*>(pInfo->pCacheSlot->pFilterData));
        pInfo->pCacheSlot->pFilterData = nullptr;
    }
    _MIFHEADER header;
    Z_MemorySet(&header, 0, sizeof(header));
    int nRet = ReadHeader(pInfo->hFile, &header);
    FreeHeader(&header);
    if (nRet != MIF_OK)
        return nRet;
    if (pInfo->pImageInfo == nullptr)
        return MIF_ERR_ARG;

    MifDrawingCache* pCache = nullptr;
    nRet = CreateDrawingCache(pInfo->pVectorHandle, &pCache);
    if (nRet != MIF_OK)
        return nRet;
    CMifFile file;  // not owning: the host's file stays open
    file.Open(pInfo->hFile, 0);
    nRet = LoadMIFDrawing(pCache->pVectorHandle, &file);
    if (nRet != MIF_OK) {
        ReleaseDrawingCache(pCache);
        return nRet;
    }
    UpdateVectorParallelogram(pCache->pVectorHandle);
    DescribeImage(pInfo, pCache->pVectorHandle);
    if (pInfo->pCacheSlot != nullptr)
        pInfo->pCacheSlot->pFilterData = pCache;
    else
        ReleaseDrawingCache(pCache);
    return MIF_OK;
}

// ---------------------------------------------------------------------------
// Load
// ---------------------------------------------------------------------------

uint32_t RowFlags(int32_t nRow, int32_t nRows) {
    uint32_t uFlags = (nRow == 0) ? (ROW_DATA | ROW_DISPLAY | ROW_FIRST) : (ROW_DATA | ROW_DISPLAY);
    if (nRow == nRows - 1)
        uFlags |= ROW_LAST;
    return uFlags;
}

// Hands the work bitmap to the host one row at a time, the top row first;
// returns the last callback's result (1 when every row was taken).
int DeliverRows(_LOADDISPATCH* pLoad, _HOSTBITMAP* pWork, uint8_t* pRow) {
    int32_t nRows = pWork->nHeight;
    int nStatus = MIF_OK;
    for (int32_t i = 0; i < nRows && nStatus == MIF_OK;) {
        Z_GetBitmapRow(pWork, pRow, nRows - 1 - i, pWork->nBytesPerLine);
        nStatus = pLoad->pfnRowCallback(pLoad->pCallbackInfo, pLoad->pBitmap, pRow,
                                        RowFlags(i, nRows), static_cast<uint32_t>(i), 1,
                                        pLoad->pUserData);
        if (nStatus == MIF_OK)
            ++i;
    }
    return nStatus;
}

// Converts the drawn work bitmap to the destination's depth, then delivers
// its rows through one row buffer.
int ConvertAndDeliver(_LOADDISPATCH* pLoad, _HOSTBITMAP* pWork, int nRet) {
    _HOSTBITMAP* pDest = pLoad->pBitmap;
    if (pLoad->pOptions != nullptr) {
        pDest->nValue1 = pLoad->pOptions->nValue1;
        pDest->nValue2 = pLoad->pOptions->nValue2;
    }
    if (nRet == MIF_OK && pWork->nBitsPerPixel != pDest->nBitsPerPixel)
        nRet = Z_ColorResBitmap(pWork, pWork, sizeof(*pWork), pDest->nBitsPerPixel, 2, nullptr,
                                nullptr, 0, 0, nullptr);
    if (pDest->nBitsPerPixel <= 8)
        Z_SetBitmapNewPalette(pDest, pWork->pPalette, pWork->nColors);
    if (nRet != MIF_OK)
        return nRet;

    uint8_t* pRow = static_cast<uint8_t*>(
        Z_LocalAlloc(static_cast<int32_t>(pWork->nBytesPerLine), 1, __LINE__, __FILE__));
    if (pRow == nullptr)
        return MIF_ERR_NOMEM;
    nRet = Z_IntAccessBitmap(pWork, 0);
    if (nRet == MIF_OK)
        nRet = Z_IntReleaseBitmap(pWork, 1, DeliverRows(pLoad, pWork, pRow));
    Z_LocalFree(pRow, __LINE__, __FILE__);
    return nRet;
}

// Draws the drawing into a 24-bit work bitmap of the requested size and
// delivers it at the destination's depth. The work bitmap is freed here.
int RunRasterPipeline(_LOADDISPATCH* pLoad, _VECTORHANDLE* pHandle) {
    _HOSTBITMAP work;
    Z_MemorySet(&work, 0, sizeof(work));
    Z_InitBitmap(&work, sizeof(work), pLoad->nWidth, pLoad->nHeight, MIF_DEFAULT_BPP);
    work.nAttribute = pLoad->pBitmap->nAttribute;
    int nRet = Z_AllocateBitmap(&work, 1);
    if (nRet != MIF_OK)
        return nRet;
    work.nColors = 1u << (static_cast<uint32_t>(pLoad->pBitmap->nBitsPerPixel) & 31u);

    ZDRWCONTEXT* pContext = nullptr;
    nRet = Z_Drw_FromBitmap(Z_Drw_GetDefaultEngine(), &pContext, &work);
    if (nRet != MIF_OK) {
        Z_FreeBitmap(&work);
        return nRet;
    }
    Z_FillBitmap(&work, 0);
    SetRect(&pHandle->rcViewport, 0, 0, pLoad->nWidth, pLoad->nHeight);
    if (pLoad->nDrawOption == 1)
        pHandle->nDrawOption = 1;
    nRet = Z_VecDraw(pContext, pHandle, 1);
    Z_Drw_Destroy(pContext);

    nRet = ConvertAndDeliver(pLoad, &work, nRet);
    Z_FreeBitmap(&work);
    return nRet;
}

// Parses the file into the handle: the loader, then the widened extents and
// the background, whatever the loader's result.
int ParseInto(_LOADDISPATCH* pLoad, _VECTORHANDLE* pHandle, CMifFile* pFile) {
    int nRet = LoadMIFDrawing(pHandle, pFile);
    UpdateVectorParallelogram(pHandle);
    if (pLoad->bUseBackground)
        Z_VecSetBackgroundColor(pHandle, static_cast<uint32_t>(pLoad->crBackground));
    return nRet;
}

int LoadVector(_LOADDISPATCH* pLoad, CMifFile* pFile) {
    _VECTORHANDLE* pHandle = pLoad->pVectorHandle;
    uint64_t uSavedFlags = pHandle->uFlags;
    pHandle->uFlags = MIF_HANDLE_FLAGS;
    Z_VecEmpty(pHandle);
    int nRet = ParseInto(pLoad, pHandle, pFile);
    pHandle->uFlags = uSavedFlags;
    return nRet;
}

int LoadRaster(_LOADDISPATCH* pLoad, CMifFile* pFile) {
    _VECTORHANDLE* pHandle =
        static_cast<_VECTORHANDLE*>(Z_LocalAlloc(1, sizeof(_VECTORHANDLE), __LINE__, __FILE__));
    if (pHandle == nullptr)
        return MIF_ERR_NOMEM;
    Z_MemorySet(pHandle, 0, sizeof(*pHandle));
    pHandle->uFlags = MIF_HANDLE_FLAGS;
    Z_VecInit(pHandle);
    Z_VecEmpty(pHandle);
    int nRet = ParseInto(pLoad, pHandle, pFile);
    if (nRet == MIF_OK)
        nRet = RunRasterPipeline(pLoad, pHandle);
    Z_VecFree(pHandle);
    Z_LocalFree(pHandle, __LINE__, __FILE__);
    return nRet;
}

int fltLoadMIF(_LOADDISPATCH* pLoad) {
    bool bCached = pLoad->pCacheSlot != nullptr && pLoad->pCacheSlot->pFilterData != nullptr;
    if (bCached && pLoad->nLoadMode == 1)
        return MIF_OK;  // the info call parsed straight into the host's drawing
    if (pLoad->nLoadMode != 0 && pLoad->nLoadMode != 1)
        return MIF_ERR_FORMAT;
    if (pLoad->nLoadMode == 1 && pLoad->pVectorHandle == nullptr)
        return MIF_ERR_ARG;
    if (pLoad->nLoadMode == 0 && (pLoad->pBitmap == nullptr || pLoad->pfnRowCallback == nullptr))
        return MIF_ERR_ARG;
    if (bCached) {
        MifDrawingCache* pCache = static_cast<MifDrawingCache*>(pLoad->pCacheSlot->pFilterData);
        return RunRasterPipeline(pLoad, pCache->pVectorHandle);
    }

    if (pLoad->pszFileName == nullptr)
        return MIF_ERR_NOFILE;
    CMifFile file;  // owns the handle: closed on every path out of the load
    int nRet = file.Open(Z_RedirectedOpen(pLoad->pszFileName, MIF_OPEN_READ_FLAGS, MIF_OPEN_READ_MODE), 1);
    if (nRet != MIF_OK)
        return nRet;
    return pLoad->nLoadMode == 1 ? LoadVector(pLoad, &file) : LoadRaster(pLoad, &file);
}

// ---------------------------------------------------------------------------
// Save
// ---------------------------------------------------------------------------

// The companion path: the MIF path with its last four characters replaced
// by ".mid".
void FormMidPath(const char* pszPath, size_t nLength, char* pszMidPath) {
    Z_MemoryCopy(pszMidPath, pszPath, nLength - 4);
    Z_MemoryCopy(pszMidPath + nLength - 4, ".mid", sizeof(".mid"));
}

// Creates an output file with nothing of an older file left in it, and binds
// it to its writer.
int CreateOutputFile(const char* pszPath, CMifFile* pFile) {
    DeleteFile(pszPath);
    return pFile->Open(Z_RedirectedOpen(pszPath, MIF_OPEN_WRITE_FLAGS, MIF_OPEN_WRITE_MODE), 1);
}

int WriteDrawing(_SAVEDISPATCH* pSave, const char* pszMidPath, _MIFSAVECONTEXT* pContext) {
    if (pSave->pVectorHandle == nullptr)
        return MIF_ERR_ARG;
    int nRet = CreateOutputFile(pSave->pszFileName, &pContext->MifFile);
    if (nRet == MIF_OK)
        nRet = CreateOutputFile(pszMidPath, &pContext->MidFile);
    if (nRet == MIF_OK)
        nRet = SaveHeader(&pContext->MifFile);
    if (nRet == MIF_OK) {
        pContext->nNextID = 1;
        nRet = Z_VecEnumObjects(pSave->pVectorHandle, SaveObject, pContext, 0);
    }
    return nRet;
}

int fltSaveMIF(_SAVEDISPATCH* pSave) {
    if (pSave->nSaveMode != 1)
        return MIF_ERR_FORMAT;
    if (pSave->pszFileName == nullptr)
        return MIF_ERR_ARG;
    size_t nLength = strlen(pSave->pszFileName);
    if (nLength < 4)
        return MIF_ERR_ARG;
    if (nLength >= MIF_MAX_PATH)
        return MIF_ERR_NOFILE;
    char szMidPath[MIF_MAX_PATH];
    FormMidPath(pSave->pszFileName, nLength, szMidPath);

    _MIFSAVECONTEXT context;
    context.nNextID = 1;
    int nRet = WriteDrawing(pSave, szMidPath, &context);
    if (nRet == MIF_OK) {
        context.MidFile.Close();
        context.MifFile.Close();
        return MIF_OK;
    }
    context.MifFile.Close();
    context.MidFile.Close();
    DeleteFile(pSave->pszFileName);
    DeleteFile(szMidPath);
    return nRet;
}
