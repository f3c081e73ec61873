// raster.h - the rows of a raster load, collected and written as a PNG.
//
// The filter delivers the picture one row at a time through the host's row
// callback, top row first as row number 0, each row in the destination
// bitmap's bits per pixel. RasterRowCallback unpacks every row into a
// RasterImage: one palette index per pixel for 8 bits per pixel or less,
// three bytes R, G, B otherwise (16 bits per pixel are RGB565, 32 bits carry
// an unused fourth byte). WriteRasterPng then writes a palette PNG with the
// palette the filter set on the destination bitmap, or an RGB PNG.
#ifndef TOOLS_MIF_RASTER_H
#define TOOLS_MIF_RASTER_H

#include <stdint.h>

#include <vector>

#include "hostapi.h"

struct RasterImage {
    int32_t nWidth;
    int32_t nHeight;
    int32_t nBitsPerPixel;         // as delivered: 1, 4, 8, 16, 24 or 32
    int32_t nRowsReceived;         // rows stored so far
    std::vector<uint8_t> abPixels; // nHeight rows of nWidth samples
};

// Prepares an image of nWidth x nHeight pixels for rows of nBitsPerPixel.
void InitRasterImage(RasterImage* pImage, int32_t nWidth, int32_t nHeight,
                     int32_t nBitsPerPixel);

// The row callback of the load; pUserData is the RasterImage. Stores the row
// under its row number and asks for the next one (1). A row number outside
// the image stops the delivery with MIF_ERR_ARG.
int RasterRowCallback(uint64_t pCallbackInfo, _HOSTBITMAP* pBitmap, uint8_t* pRow,
                      uint32_t uFlags, uint32_t nRow, int32_t nLines, uint64_t pUserData);

// Writes the image to pszPath. The palette comes from pBitmap when the image
// holds palette indices. Returns 1, or 0 with a reason in pszError.
int WriteRasterPng(const RasterImage* pImage, const _HOSTBITMAP* pBitmap,
                   const char* pszPath, char* pszError, size_t nErrorSize);

#endif  // TOOLS_MIF_RASTER_H
