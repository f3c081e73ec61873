// host.cpp - filling the dispatch records and calling the filter.
//
// The records are zeroed first, so that every field the toolkit leaves at its
// default is 0. A parse can take a while on a large file, so each call that
// parses runs between BeginProgress and EndProgress.
#include "host.h"

#include <string.h>

#include "progress.h"

namespace {

const int32_t READ_FLAGS = 0;      // O_RDONLY
const int32_t READ_MODE = 256;     // S_IRUSR
const int32_t SIZE_MODE_FIT = 0;   // the largest page of the drawing's aspect
const int32_t SIZE_MODE_KEEP = 1;  // keep the requested page size
const int32_t LOAD_RASTER = 0;
const int32_t LOAD_VECTOR = 1;
const int32_t SAVE_MIF = 1;

int IsOpenHandle(tagHANDLE* hFile)
{
    return hFile != nullptr && hFile != MIF_INVALID_HANDLE;
}

void InitHostOptions(_HOSTOPTIONS* pOptions)
{
    memset(pOptions, 0, sizeof *pOptions);
    pOptions->nSize = sizeof *pOptions;
}

void FillVectorOptions(const RasterRequest* pRequest, _VECTOROPTIONS* pOptions)
{
    pOptions->nWidth = pRequest->nWidth;
    pOptions->nHeight = pRequest->nHeight;
    pOptions->nSizeMode = SIZE_MODE_KEEP;
    pOptions->nBitsPerPixel = pRequest->nBitsPerPixel;
    pOptions->bUseBackground = pRequest->bUseBackground;
    pOptions->crBackground = (int32_t)pRequest->crBackground;
}

int LoadWithProgress(const MifFilter* pFilter, _LOADDISPATCH* pDispatch)
{
    ProgressState progress;
    BeginProgress(&progress);
    int nRet = pFilter->pfnLoad(pDispatch);
    EndProgress(&progress);
    return nRet;
}

}  // namespace

int HostInitDrawing(_VECTORHANDLE* pHandle)
{
    memset(pHandle, 0, sizeof *pHandle);
    return Z_VecInit(pHandle);
}

void HostInitImageInfo(_IMAGEINFO* pInfo)
{
    memset(pInfo, 0, sizeof *pInfo);
    pInfo->nSize = sizeof *pInfo;
}

int HostInfo(const MifFilter* pFilter, const char* pszPath, _CACHESLOT* pSlot,
             _VECTORHANDLE* pHandle, const RasterRequest* pRequest, _IMAGEINFO* pInfo)
{
    tagHANDLE* hFile = Z_RedirectedOpen(pszPath, READ_FLAGS, READ_MODE);
    if (!IsOpenHandle(hFile))
        return MIF_ERR_NOFILE;
    _HOSTOPTIONS options;
    InitHostOptions(&options);
    _INFODISPATCH dispatch;
    memset(&dispatch, 0, sizeof dispatch);
    dispatch.hFile = hFile;
    dispatch.pImageInfo = pInfo;
    dispatch.pCacheSlot = pSlot;
    dispatch.pOptions = &options;
    dispatch.nSizeMode = SIZE_MODE_FIT;
    dispatch.pVectorHandle = pHandle;
    dispatch.VectorOptions.nSizeMode = SIZE_MODE_FIT;
    if (pRequest != nullptr)
        FillVectorOptions(pRequest, &dispatch.VectorOptions);

    ProgressState progress;
    BeginProgress(&progress);
    int nRet = pFilter->pfnInfo(&dispatch);
    EndProgress(&progress);
    Z_RedirectedClose(hFile);
    return nRet;
}

int HostVectorLoad(const MifFilter* pFilter, const char* pszPath, _VECTORHANDLE* pHandle)
{
    _HOSTOPTIONS options;
    InitHostOptions(&options);
    _LOADDISPATCH dispatch;
    memset(&dispatch, 0, sizeof dispatch);
    dispatch.pszFileName = pszPath;
    dispatch.pVectorHandle = pHandle;
    dispatch.nLoadMode = LOAD_VECTOR;
    dispatch.pOptions = &options;
    return LoadWithProgress(pFilter, &dispatch);
}

int HostRasterLoad(const MifFilter* pFilter, const char* pszPath, _CACHESLOT* pSlot,
                   const RasterRequest* pRequest, _HOSTBITMAP* pBitmap, RasterImage* pImage)
{
    _HOSTOPTIONS options;
    InitHostOptions(&options);
    _LOADDISPATCH dispatch;
    memset(&dispatch, 0, sizeof dispatch);
    dispatch.pszFileName = pszPath;
    dispatch.pBitmap = pBitmap;
    dispatch.pfnRowCallback = RasterRowCallback;
    dispatch.pUserData = reinterpret_cast<uint64_t>(pImage);
    dispatch.nWidth = pRequest->nWidth;
    dispatch.nHeight = pRequest->nHeight;
    dispatch.pCacheSlot = pSlot;
    dispatch.nLoadMode = LOAD_RASTER;
    dispatch.pOptions = &options;
    dispatch.bUseBackground = pRequest->bUseBackground;
    dispatch.crBackground = (int32_t)pRequest->crBackground;
    return LoadWithProgress(pFilter, &dispatch);
}

int HostSave(const MifFilter* pFilter, const char* pszPath, _VECTORHANDLE* pHandle)
{
    _SAVEDISPATCH dispatch;
    memset(&dispatch, 0, sizeof dispatch);
    dispatch.pszFileName = pszPath;
    dispatch.nSaveMode = SAVE_MIF;
    dispatch.pVectorHandle = pHandle;
    return pFilter->pfnSave(&dispatch);
}
