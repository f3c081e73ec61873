// host.h - the filter calls as the imaging toolkit makes them.
//
// Each function fills one dispatch record the way the host toolkit does and
// hands it to the filter: info on a file the host has opened itself, a
// vector load into a host drawing, a raster load through the row callback,
// and a save. The order is the toolkit's too: info, then load, then
// fltFreeData on the cache slot; a save stands on its own. Every function
// returns the filter's result, or -14 when the host cannot open the file.
#ifndef TOOLS_MIF_HOST_H
#define TOOLS_MIF_HOST_H

#include "filter.h"
#include "hostapi.h"
#include "raster.h"

// What a raster load asks for besides the file.
struct RasterRequest {
    int32_t nWidth;
    int32_t nHeight;
    int32_t nBitsPerPixel;
    int32_t bUseBackground;
    uint32_t crBackground;   // host colour value
};

// Zeroes pHandle and initialises it with Z_VecInit; returns Z_VecInit's result.
int HostInitDrawing(_VECTORHANDLE* pHandle);

// Zeroes pInfo and sets its size: a record with room for the vector block.
void HostInitImageInfo(_IMAGEINFO* pInfo);

// Opens pszPath for reading, runs fltInfo with pSlot and pHandle (either may
// be null) and closes the file; pInfo comes from HostInitImageInfo. pRequest,
// when given, fills the vector options (page size, bits per pixel,
// background); without it the filter reports the largest page of the
// drawing's aspect within its default 400 x 400.
int HostInfo(const MifFilter* pFilter, const char* pszPath, _CACHESLOT* pSlot,
             _VECTORHANDLE* pHandle, const RasterRequest* pRequest, _IMAGEINFO* pInfo);

// A vector load of pszPath into the host drawing pHandle, without a cache.
int HostVectorLoad(const MifFilter* pFilter, const char* pszPath, _VECTORHANDLE* pHandle);

// A raster load of pszPath into pImage through RasterRowCallback. pBitmap is
// the destination bitmap, initialised for the requested size and bits per
// pixel; pSlot is the slot an earlier HostInfo filled, or holds nothing.
int HostRasterLoad(const MifFilter* pFilter, const char* pszPath, _CACHESLOT* pSlot,
                   const RasterRequest* pRequest, _HOSTBITMAP* pBitmap, RasterImage* pImage);

// Saves the drawing pHandle as pszPath (a .mif path) and its .mid companion.
int HostSave(const MifFilter* pFilter, const char* pszPath, _VECTORHANDLE* pHandle);

#endif  // TOOLS_MIF_HOST_H
