// raster.cpp - unpacking delivered rows and writing them with libpng.
//
// Pixel layout of the host's rows, the one the kernel's bitmaps use: pixels
// of fewer than 8 bits are packed from the most significant bit of each byte
// (leftmost pixel first); 16-bit pixels are little-endian RGB565 words;
// 24- and 32-bit pixels store red, green, blue (and an unused byte). An index
// that the palette does not cover reads as the host's grey ramp, index 0
// black and the last index white.
#include "raster.h"

#include <png.h>
#include <stdio.h>
#include <string.h>

namespace {

const int32_t PALETTE_BITS_LIMIT = 8;

int HoldsPaletteIndices(int32_t nBitsPerPixel)
{
    return nBitsPerPixel <= PALETTE_BITS_LIMIT;
}

int SamplesPerPixel(int32_t nBitsPerPixel)
{
    return HoldsPaletteIndices(nBitsPerPixel) ? 1 : 3;
}

// Bytes a delivered row needs for nWidth pixels.
uint64_t PackedRowBytes(int32_t nWidth, int32_t nBitsPerPixel)
{
    return ((uint64_t)nWidth * (uint64_t)nBitsPerPixel + 7) / 8;
}

uint8_t PackedIndex(const uint8_t* pRow, int32_t x, int32_t nBitsPerPixel)
{
    int nPerByte = 8 / nBitsPerPixel;
    int nShift = 8 - nBitsPerPixel * (1 + x % nPerByte);
    return (uint8_t)((pRow[x / nPerByte] >> nShift) & ((1 << nBitsPerPixel) - 1));
}

// Widens a 5- or 6-bit channel to 8 bits, so that full scale stays 255.
uint8_t WidenChannel(unsigned nValue, int nBits)
{
    return (uint8_t)((nValue << (8 - nBits)) | (nValue >> (2 * nBits - 8)));
}

void UnpackRgb565(const uint8_t* pRow, int32_t nWidth, uint8_t* pOut)
{
    for (int32_t x = 0; x < nWidth; ++x, pOut += 3) {
        unsigned nWord = pRow[2 * x] | (unsigned)pRow[2 * x + 1] << 8;
        pOut[0] = WidenChannel((nWord >> 11) & 0x1F, 5);
        pOut[1] = WidenChannel((nWord >> 5) & 0x3F, 6);
        pOut[2] = WidenChannel(nWord & 0x1F, 5);
    }
}

void UnpackRgb(const uint8_t* pRow, int32_t nWidth, int nBytesPerPixel, uint8_t* pOut)
{
    for (int32_t x = 0; x < nWidth; ++x, pOut += 3, pRow += nBytesPerPixel)
        memcpy(pOut, pRow, 3);
}

void UnpackRow(const uint8_t* pRow, int32_t nWidth, int32_t nBitsPerPixel, uint8_t* pOut)
{
    switch (nBitsPerPixel) {
    case 8:
        memcpy(pOut, pRow, (size_t)nWidth);
        break;
    case 16:
        UnpackRgb565(pRow, nWidth, pOut);
        break;
    case 24:
    case 32:
        UnpackRgb(pRow, nWidth, nBitsPerPixel / 8, pOut);
        break;
    default:
        for (int32_t x = 0; x < nWidth; ++x)
            pOut[x] = PackedIndex(pRow, x, nBitsPerPixel);
        break;
    }
}

// The palette as libpng's colour map: R, G, B per entry, one entry for every
// index the bits per pixel can hold.
uint32_t BuildColormap(const _HOSTBITMAP* pBitmap, int32_t nBitsPerPixel, uint8_t* pColormap)
{
    uint32_t nEntries = 1u << nBitsPerPixel;
    uint32_t nPalette = pBitmap->pPalette != nullptr ? pBitmap->nColors : 0;
    for (uint32_t i = 0; i < nEntries; ++i) {
        uint32_t nGrey = (i * 255 + (nEntries - 1) / 2) / (nEntries - 1);
        uint32_t crColor = i < nPalette ? pBitmap->pPalette[i] : nGrey * 0x010101u;
        pColormap[3 * i] = (uint8_t)(crColor & 0xFF);
        pColormap[3 * i + 1] = (uint8_t)((crColor >> 8) & 0xFF);
        pColormap[3 * i + 2] = (uint8_t)((crColor >> 16) & 0xFF);
    }
    return nEntries;
}

}  // namespace

void InitRasterImage(RasterImage* pImage, int32_t nWidth, int32_t nHeight,
                     int32_t nBitsPerPixel)
{
    pImage->nWidth = nWidth;
    pImage->nHeight = nHeight;
    pImage->nBitsPerPixel = nBitsPerPixel;
    pImage->nRowsReceived = 0;
    pImage->abPixels.assign((size_t)nWidth * (size_t)nHeight * SamplesPerPixel(nBitsPerPixel), 0);
}

int RasterRowCallback(uint64_t, _HOSTBITMAP* pBitmap, uint8_t* pRow, uint32_t,
                      uint32_t nRow, int32_t, uint64_t pUserData)
{
    RasterImage* pImage = reinterpret_cast<RasterImage*>(pUserData);
    if (nRow >= (uint32_t)pImage->nHeight || pRow == nullptr || pBitmap == nullptr ||
        pBitmap->nBitsPerPixel != pImage->nBitsPerPixel ||
        pBitmap->nBytesPerLine < PackedRowBytes(pImage->nWidth, pImage->nBitsPerPixel))
        return MIF_ERR_ARG;
    size_t nRowSamples = (size_t)pImage->nWidth * SamplesPerPixel(pImage->nBitsPerPixel);
    UnpackRow(pRow, pImage->nWidth, pImage->nBitsPerPixel, &pImage->abPixels[nRow * nRowSamples]);
    ++pImage->nRowsReceived;
    return MIF_OK;
}

int WriteRasterPng(const RasterImage* pImage, const _HOSTBITMAP* pBitmap,
                   const char* pszPath, char* pszError, size_t nErrorSize)
{
    if (pImage->nRowsReceived != pImage->nHeight) {
        snprintf(pszError, nErrorSize, "the filter delivered %d of %d rows",
                 (int)pImage->nRowsReceived, (int)pImage->nHeight);
        return 0;
    }
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)pImage->nWidth;
    image.height = (png_uint_32)pImage->nHeight;
    image.format = PNG_FORMAT_RGB;
    // Fast compression: a large picture is written in a third of the time,
    // and drawings compress well either way.
    image.flags |= PNG_IMAGE_FLAG_FAST;
    uint8_t abColormap[3 * 256];
    const uint8_t* pColormap = nullptr;
    if (HoldsPaletteIndices(pImage->nBitsPerPixel)) {
        image.colormap_entries = BuildColormap(pBitmap, pImage->nBitsPerPixel, abColormap);
        image.format = PNG_FORMAT_RGB_COLORMAP;
        pColormap = abColormap;
    }
    png_int_32 nStride = (png_int_32)(pImage->nWidth * SamplesPerPixel(pImage->nBitsPerPixel));
    if (!png_image_write_to_file(&image, pszPath, 0, pImage->abPixels.data(), nStride,
                                 pColormap)) {
        snprintf(pszError, nErrorSize, "%s", image.message);
        png_image_free(&image);
        return 0;
    }
    return 1;
}
