// raster.cpp - unpacking delivered rows and writing them as a PNG file.
//
// Pixel layout of the host's rows, the one the kernel's bitmaps use: pixels
// of fewer than 8 bits are packed from the most significant bit of each byte
// (leftmost pixel first); 16-bit pixels are little-endian RGB565 words;
// 24- and 32-bit pixels store red, green, blue (and an unused byte). An index
// that the palette does not cover reads as the host's grey ramp, index 0
// black and the last index white.
#include "raster.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <system_error>
#include <thread>

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

// The palette as a PNG palette: R, G, B per entry, one entry for every
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

namespace {

// PNG writing. The image data (each row behind a filter byte of 0, "none")
// is deflated in parts on separate threads: each part is a raw deflate
// stream, all but the last ended on a byte boundary with a sync flush, so
// that the parts joined after a zlib header form one stream; the Adler-32
// checksums of the parts are combined. Level 3 without filtering is what
// libpng's fast mode does, so the files are as small as its; the parts only
// lose the matches that would reach back across a part boundary.
const int PNG_COMPRESSION_LEVEL = 3;
const int32_t PNG_MIN_ROWS_PER_PART = 64;
const unsigned PNG_MAX_PARTS = 4;

struct PngPart {
    int32_t nFirstRow;
    int32_t nRows;
    bool bLast;
    std::vector<uint8_t> abDeflated;
    uLong nAdler;
    uLong nBytes;     // uncompressed bytes, filter bytes included
    bool bOk;
};

// Feeds nLength bytes to the stream, collecting its output.
bool DeflateBytes(z_stream* pStream, const uint8_t* pData, size_t nLength, int nFlush,
                  std::vector<uint8_t>* pOut)
{
    pStream->next_in = const_cast<Bytef*>(pData);
    pStream->avail_in = (uInt)nLength;
    do {
        uint8_t abChunk[65536];
        pStream->next_out = abChunk;
        pStream->avail_out = sizeof abChunk;
        int nResult = deflate(pStream, nFlush);
        if (nResult == Z_STREAM_ERROR)
            return false;
        pOut->insert(pOut->end(), abChunk, abChunk + (sizeof abChunk - pStream->avail_out));
    } while (pStream->avail_out == 0 || pStream->avail_in > 0);
    return true;
}

void DeflatePart(const RasterImage* pImage, size_t nRowBytes, PngPart* pPart)
{
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    pPart->bOk = deflateInit2(&stream, PNG_COMPRESSION_LEVEL, Z_DEFLATED, -15, 8,
                              Z_DEFAULT_STRATEGY) == Z_OK;
    if (!pPart->bOk)
        return;
    const uint8_t bFilterNone = 0;
    pPart->nAdler = adler32(0, nullptr, 0);
    pPart->nBytes = 0;
    for (int32_t i = 0; i < pPart->nRows && pPart->bOk; ++i) {
        const uint8_t* pRow = pImage->abPixels.data() + (size_t)(pPart->nFirstRow + i) * nRowBytes;
        const bool bPartEnd = i + 1 == pPart->nRows;
        const int nFlush = !bPartEnd ? Z_NO_FLUSH : pPart->bLast ? Z_FINISH : Z_SYNC_FLUSH;
        pPart->nAdler = adler32(pPart->nAdler, &bFilterNone, 1);
        pPart->nAdler = adler32(pPart->nAdler, pRow, (uInt)nRowBytes);
        pPart->nBytes += 1 + nRowBytes;
        pPart->bOk = DeflateBytes(&stream, &bFilterNone, 1, Z_NO_FLUSH, &pPart->abDeflated) &&
                     DeflateBytes(&stream, pRow, nRowBytes, nFlush, &pPart->abDeflated);
    }
    deflateEnd(&stream);
}

void AppendBigEndian32(std::vector<uint8_t>* pOut, uint32_t nValue)
{
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        pOut->push_back((uint8_t)(nValue >> nShift));
}

// Deflates the image data, the zlib header and checksum included.
bool DeflateImage(const RasterImage* pImage, std::vector<uint8_t>* pOut)
{
    const size_t nRowBytes = (size_t)pImage->nWidth * SamplesPerPixel(pImage->nBitsPerPixel);
    unsigned nParts = std::max(1u, std::min({std::thread::hardware_concurrency(), PNG_MAX_PARTS,
                                            (unsigned)(pImage->nHeight / PNG_MIN_ROWS_PER_PART)}));
    std::vector<PngPart> parts(nParts);
    for (unsigned i = 0; i < nParts; ++i) {
        parts[i].nFirstRow = (int32_t)((int64_t)pImage->nHeight * i / nParts);
        parts[i].nRows = (int32_t)((int64_t)pImage->nHeight * (i + 1) / nParts) - parts[i].nFirstRow;
        parts[i].bLast = i + 1 == nParts;
    }
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < nParts; ++i) {
        try {
            threads.emplace_back(DeflatePart, pImage, nRowBytes, &parts[i]);
        } catch (const std::system_error&) {
            DeflatePart(pImage, nRowBytes, &parts[i]);  // no thread to be had: here then
        }
    }
    DeflatePart(pImage, nRowBytes, &parts[0]);
    for (std::thread& thread : threads)
        thread.join();

    const uint8_t abZlibHeader[2] = {0x78, 0x5E};  // deflate, 32K window, default level
    pOut->assign(abZlibHeader, abZlibHeader + 2);
    uLong nAdler = adler32(0, nullptr, 0);
    for (const PngPart& part : parts) {
        if (!part.bOk)
            return false;
        pOut->insert(pOut->end(), part.abDeflated.begin(), part.abDeflated.end());
        nAdler = adler32_combine(nAdler, part.nAdler, (z_off_t)part.nBytes);
    }
    AppendBigEndian32(pOut, (uint32_t)nAdler);
    return true;
}

// One chunk: length, type, data and the CRC of type and data.
void AppendChunk(std::vector<uint8_t>* pOut, const char* pszType, const uint8_t* pData,
                 size_t nLength)
{
    AppendBigEndian32(pOut, (uint32_t)nLength);
    const size_t nTypeAt = pOut->size();
    pOut->insert(pOut->end(), pszType, pszType + 4);
    pOut->insert(pOut->end(), pData, pData + nLength);
    uLong nCrc = crc32(0, pOut->data() + nTypeAt, (uInt)(4 + nLength));
    AppendBigEndian32(pOut, (uint32_t)nCrc);
}

// Everything before the image data: signature, header and palette.
std::vector<uint8_t> PngHead(const RasterImage* pImage, const _HOSTBITMAP* pBitmap)
{
    static const uint8_t abSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> abOut(abSignature, abSignature + 8);
    const bool bPalette = HoldsPaletteIndices(pImage->nBitsPerPixel);
    std::vector<uint8_t> abHeader;
    AppendBigEndian32(&abHeader, (uint32_t)pImage->nWidth);
    AppendBigEndian32(&abHeader, (uint32_t)pImage->nHeight);
    const uint8_t abRest[5] = {8, (uint8_t)(bPalette ? 3 : 2), 0, 0, 0};  // depth, colour type, methods
    abHeader.insert(abHeader.end(), abRest, abRest + 5);
    AppendChunk(&abOut, "IHDR", abHeader.data(), abHeader.size());
    if (bPalette) {
        uint8_t abColormap[3 * 256];
        uint32_t nEntries = BuildColormap(pBitmap, pImage->nBitsPerPixel, abColormap);
        AppendChunk(&abOut, "PLTE", abColormap, 3 * (size_t)nEntries);
    }
    return abOut;
}

}  // namespace

int WriteRasterPng(const RasterImage* pImage, const _HOSTBITMAP* pBitmap,
                   const char* pszPath, char* pszError, size_t nErrorSize)
{
    if (pImage->nRowsReceived != pImage->nHeight) {
        snprintf(pszError, nErrorSize, "the filter delivered %d of %d rows",
                 (int)pImage->nRowsReceived, (int)pImage->nHeight);
        return 0;
    }
    std::vector<uint8_t> abData;
    if (!DeflateImage(pImage, &abData)) {
        snprintf(pszError, nErrorSize, "cannot compress the picture");
        return 0;
    }
    std::vector<uint8_t> abFile = PngHead(pImage, pBitmap);
    AppendChunk(&abFile, "IDAT", abData.data(), abData.size());
    AppendChunk(&abFile, "IEND", nullptr, 0);
    FILE* pFile = fopen(pszPath, "wb");
    if (pFile == nullptr) {
        snprintf(pszError, nErrorSize, "cannot create %s: %s", pszPath, strerror(errno));
        return 0;
    }
    bool bOk = fwrite(abFile.data(), 1, abFile.size(), pFile) == abFile.size();
    int nError = errno;
    if (fclose(pFile) != 0 && bOk) {
        bOk = false;
        nError = errno;
    }
    if (!bOk) {
        snprintf(pszError, nErrorSize, "cannot write %s: %s", pszPath, strerror(nError));
        remove(pszPath);  // no half-written picture is left behind
        return 0;
    }
    return 1;
}
