// kernel_bitmap_test.cpp - the kernel's bitmaps: records, pixels under the
// ceiling, fills at every depth, conversions from 24 bpp with their exact
// palettes, bottom-up rows, access and release.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "hostapi.h"
#include "kernel_testing.h"

namespace {

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
const uint32_t kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255);
const uint32_t kBlack = 0, kWhite = Rgb(255, 255, 255);

int32_t Convert(_HOSTBITMAP* pSource, _HOSTBITMAP* pDest, int32_t nBpp, uint32_t nRecordSize = sizeof(_HOSTBITMAP)) {
    return Z_ColorResBitmap(pSource, pDest, nRecordSize, nBpp, 2, nullptr, nullptr, 0, 0, nullptr);
}

// An allocated bitmap, freed at the end of the scope.
struct Bitmap {
    _HOSTBITMAP b = {};
    Bitmap(int32_t w, int32_t h, int32_t bpp) {
        EXPECT_EQ(Z_InitBitmap(&b, sizeof b, w, h, bpp), MIF_OK);
        EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_OK);
    }
    ~Bitmap() { Z_FreeBitmap(&b); }
    void Set24(int32_t x, int32_t row, uint32_t c) {  // row 0 = bottom line
        std::memcpy(b.pBits + size_t(row) * b.nBytesPerLine + size_t(x) * 3, &c, 3);
    }
    std::vector<uint8_t> Row(int32_t row) {
        std::vector<uint8_t> v(b.nBytesPerLine);
        EXPECT_EQ(Z_GetBitmapRow(&b, v.data(), row, b.nBytesPerLine), MIF_OK);
        return v;
    }
};

// The colour of pixel x of a row, at any depth but 16 bpp.
uint32_t ColourAt(const _HOSTBITMAP& b, int32_t x, int32_t row) {
    const uint8_t* p = b.pBits + size_t(row) * b.nBytesPerLine;
    const int32_t bpp = b.nBitsPerPixel;
    if (bpp >= 24) return Rgb(p[x * bpp / 8], p[x * bpp / 8 + 1], p[x * bpp / 8 + 2]);
    const size_t nBit = size_t(x) * size_t(bpp);
    return b.pPalette[(p[nBit / 8] >> (8 - bpp - nBit % 8)) & ((1u << bpp) - 1)];
}

TEST(KernelBitmap, InitAllocateFillAndFree) {
    _HOSTBITMAP b;
    std::memset(&b, 0x5A, sizeof b);
    EXPECT_EQ(Z_InitBitmap(&b, sizeof b, -1, 5, 24), MIF_ERR_ARG);
    EXPECT_EQ(Z_InitBitmap(&b, sizeof b, 5, -1, 24), MIF_ERR_ARG);
    EXPECT_EQ(Z_InitBitmap(&b, sizeof b - 1, 1, 1, 24), MIF_ERR_ARG);
    EXPECT_EQ(Z_InitBitmap(nullptr, sizeof b, 1, 1, 24), MIF_ERR_ARG);
    for (int32_t nBpp : {0, 2, 48}) EXPECT_EQ(Z_InitBitmap(&b, sizeof b, 5, 5, nBpp), MIF_ERR_FORMAT) << nBpp;
    for (int32_t nBpp : {1, 4}) {  // rows packed to whole bytes
        ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 9, 1, nBpp), MIF_OK);
        EXPECT_EQ(b.nBytesPerLine, nBpp == 1 ? 2u : 5u);
    }
    b.nAttribute = 77;
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 2, 3, 24), MIF_OK);
    EXPECT_TRUE(b.nSize == sizeof b && b.nWidth == 2 && b.nHeight == 3 && b.nBitsPerPixel == 24);
    EXPECT_TRUE(!b.nColors && !b.pPalette && !b.pBits && !b.nAccess && b.nAttribute == 77);
    EXPECT_EQ(Z_AllocateBitmap(nullptr, 1), MIF_ERR_ARG);
    ASSERT_EQ(Z_AllocateBitmap(&b, 1), MIF_OK);
    EXPECT_EQ(std::vector<uint8_t>(b.pBits, b.pBits + 18), std::vector<uint8_t>(18, 0));
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_ARG);  // already has pixels
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
    ASSERT_EQ(Z_FillBitmap(&b, 0x332211), MIF_OK);
    EXPECT_EQ(std::vector<uint8_t>(b.pBits, b.pBits + 6), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x11, 0x22, 0x33}));
    EXPECT_EQ(std::vector<uint8_t>(b.pBits + 12, b.pBits + 18), std::vector<uint8_t>(b.pBits, b.pBits + 6));
    EXPECT_EQ(Z_FillBitmap(nullptr, 0), MIF_ERR_ARG);
    EXPECT_EQ(Z_FreeBitmap(&b), MIF_OK);
    EXPECT_EQ(b.pBits, nullptr);
    EXPECT_EQ(Zk_LiveBitmapCount(), 0u);
    EXPECT_EQ(Z_FreeBitmap(&b), MIF_OK);  // no pixels: nothing to do
    EXPECT_EQ(Z_FreeBitmap(nullptr), MIF_ERR_ARG);
}

TEST(KernelBitmap, AllocationRefusals) {
    _HOSTBITMAP b = {};
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 40000, 40000, 24), MIF_OK);  // 4.8 GB
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_NOMEM);
    EXPECT_EQ(b.pBits, nullptr);
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 100, 100, 24), MIF_OK);
    Zk_SetAllocationCeiling(29999);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_NOMEM);
    Zk_SetAllocationCeiling(30000);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_OK);
    Zk_SetAllocationCeiling(uint64_t(1) << 30);
    Z_FreeBitmap(&b);
    Zk_FailAllocation(1, 0);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_NOMEM);
    EXPECT_EQ(Zk_FaultsFired(), 1u);
    b.nBytesPerLine = 299;  // no longer matches the geometry
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_ARG);
    EXPECT_EQ(Zk_LiveBitmapCount(), 0u);
}

// 12 x 4 pixels, 6 red, 4 green and 2 blue per row but the bottom one, blue.
uint32_t ThreeColours(int32_t x, int32_t y) { return y == 0 || x >= 10 ? kBlue : x < 6 ? kRed : kGreen; }

TEST(KernelBitmap, ConvertThreeColoursToEachDepth) {
    const struct {
        int32_t bpp;
        uint32_t nColors, nBytesPerLine;
    } kCases[] = {{1, 2, 2}, {4, 16, 6}, {8, 256, 12}, {16, 0, 24}, {24, 0, 36}, {32, 0, 48}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.bpp << " bpp");
        Bitmap bm(12, 4, 24);
        for (int32_t i = 0; i < 48; ++i) bm.Set24(i % 12, i / 12, ThreeColours(i % 12, i / 12));
        ASSERT_EQ(Convert(&bm.b, &bm.b, c.bpp), MIF_OK);
        EXPECT_EQ(bm.b.nBitsPerPixel, c.bpp);
        EXPECT_EQ(bm.b.nBytesPerLine, c.nBytesPerLine);
        EXPECT_EQ(bm.b.nColors, c.nColors);
        EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
        if (c.bpp == 16) {
            std::vector<uint8_t> row = bm.Row(1);
            EXPECT_EQ(std::vector<uint8_t>(row.begin() + 10, row.begin() + 24),
                      (std::vector<uint8_t>{0x00, 0xF8, 0xE0, 0x07, 0xE0, 0x07, 0xE0, 0x07, 0xE0, 0x07,  // red, 4 green
                                            0x1F, 0x00, 0x1F, 0x00}));                                   // 2 blue
            continue;
        }
        ASSERT_EQ(bm.b.pPalette != nullptr, c.bpp <= 8);
        if (c.bpp <= 8) {
            // Exact colours, most frequent first: red 18, blue 18, green 12;
            // the tie goes to the lower colour value.
            EXPECT_EQ(bm.b.pPalette[0], kRed);
            EXPECT_EQ(bm.b.pPalette[1], kBlue);
            EXPECT_TRUE(c.bpp == 1 || bm.b.pPalette[2] == kGreen);
        }
        for (int32_t i = 0; i < 48; ++i) {
            const uint32_t expected = ThreeColours(i % 12, i / 12);
            if (c.bpp > 1 || expected != kGreen) {  // 1 bpp: green is nearest of red and blue
                ASSERT_EQ(ColourAt(bm.b, i % 12, i / 12), expected) << "x " << i % 12 << " row " << i / 12;
            }
        }
    }
}

// Packed bits of 1 bpp, and the second entry when one colour is all there is.
TEST(KernelBitmap, ConvertToOneBit) {
    const struct {
        uint32_t crLeft, crRight, crBottom, crFirst, crSecond;  // row 1: 3 left pixels, 7 right
        std::vector<uint8_t> row1;
    } kCases[] = {
        {kBlack, kWhite, kBlack, kBlack, kWhite, {0x1F, 0xC0}},  // trailing bits zero
        {kBlack, kBlack, kBlack, kBlack, kWhite, {0, 0}}, {kWhite, kWhite, kWhite, kWhite, kBlack, {0, 0}},
        {Rgb(200, 30, 30), Rgb(200, 30, 30), Rgb(200, 30, 30), Rgb(200, 30, 30), kWhite, {0, 0}},
        {Rgb(250, 250, 100), Rgb(250, 250, 100), Rgb(250, 250, 100), Rgb(250, 250, 100), kBlack, {0, 0}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.crLeft << " " << c.crRight);
        Bitmap bm(10, 2, 24);
        for (int32_t x = 0; x < 10; ++x) {
            bm.Set24(x, 1, x < 3 ? c.crLeft : c.crRight);
            bm.Set24(x, 0, c.crBottom);
        }
        ASSERT_EQ(Convert(&bm.b, &bm.b, 1), MIF_OK);
        ASSERT_EQ(bm.b.nColors, 2u);
        EXPECT_EQ(bm.b.pPalette[0], c.crFirst);
        EXPECT_EQ(bm.b.pPalette[1], c.crSecond);
        EXPECT_EQ(bm.Row(1), c.row1);
        EXPECT_EQ(bm.Row(0), (std::vector<uint8_t>{0, 0}));
    }
}

TEST(KernelBitmap, ManyColoursGetTheFrequentOnesACubeAndTheNearestEntry) {
    // A background on the left half, one line, and 2048 colours of one pixel.
    Bitmap bm(64, 64, 24);
    const uint32_t crBack = Rgb(10, 20, 30), crLine = Rgb(200, 100, 7);
    std::vector<uint32_t> source;
    for (int32_t i = 0; i < 64 * 64; ++i) {
        const int32_t x = i % 64, y = i / 64;
        source.push_back(x < 32 ? crBack : y == 5 ? crLine : Rgb(uint32_t(x * 4), uint32_t(y * 4), 99));
        bm.Set24(x, y, source.back());
    }
    ASSERT_EQ(Convert(&bm.b, &bm.b, 8), MIF_OK);
    ASSERT_EQ(bm.b.nColors, 256u);
    EXPECT_EQ(bm.b.pPalette[0], crBack);
    EXPECT_EQ(bm.b.pPalette[1], crLine);
    const std::set<uint32_t> entries(bm.b.pPalette, bm.b.pPalette + 256);
    for (uint32_t i = 0; i < 216; ++i)  // the 6x6x6 cube
        EXPECT_EQ(entries.count(Rgb(i % 6 * 51, i / 6 % 6 * 51, i / 36 * 51)), 1u) << i;
    auto dist = [](uint32_t a, uint32_t b) {
        int d = 0;
        for (int s = 0; s < 24; s += 8) {
            const int e = int(a >> s & 255) - int(b >> s & 255);
            d += e * e;
        }
        return d;
    };
    for (int32_t i = 0; i < 64 * 64; ++i) {
        int best = INT32_MAX;
        for (uint32_t e : entries) best = std::min(best, dist(e, source[size_t(i)]));
        ASSERT_EQ(dist(ColourAt(bm.b, i % 64, i / 64), source[size_t(i)]), best) << "pixel " << i;
    }
}

TEST(KernelBitmap, ConversionFailuresChangeNothing) {
    Bitmap bm(4, 4, 24);
    _HOSTBITMAP empty = {};
    EXPECT_EQ(Convert(nullptr, &bm.b, 8), MIF_ERR_ARG);
    EXPECT_EQ(Convert(&empty, &empty, 8), MIF_ERR_ARG);
    EXPECT_EQ(Convert(&bm.b, &bm.b, 8, 4), MIF_ERR_ARG);
    EXPECT_EQ(Convert(&bm.b, &bm.b, 7), MIF_ERR_FORMAT);
    Zk_FailAllocation(1, 0);
    EXPECT_EQ(Convert(&bm.b, &bm.b, 8), MIF_ERR_NOMEM);
    EXPECT_TRUE(bm.b.nBitsPerPixel == 24 && bm.b.nBytesPerLine == 12 && !bm.b.pPalette);
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
}

TEST(KernelBitmap, RowsAreBottomUpAndAccessKeepsTheStatus) {
    Bitmap bm(3, 3, 24);
    for (int32_t i = 0; i < 9; ++i) bm.Set24(i % 3, i / 3, Rgb(uint32_t(i / 3), uint32_t(i % 3), 0));
    ASSERT_EQ(Z_IntAccessBitmap(&bm.b, 0), MIF_OK);
    EXPECT_NE(bm.b.nAccess, 0);
    std::vector<uint8_t> row(12, 0xEE);
    ASSERT_EQ(Z_GetBitmapRow(&bm.b, row.data(), 2, uint32_t(row.size())), MIF_OK);  // copies 9 bytes
    EXPECT_EQ(row, (std::vector<uint8_t>{2, 0, 0, 2, 1, 0, 2, 2, 0, 0xEE, 0xEE, 0xEE}));
    ASSERT_EQ(Z_GetBitmapRow(&bm.b, row.data(), 1, 4), MIF_OK);  // fewer bytes than a line
    EXPECT_EQ(row, (std::vector<uint8_t>{1, 0, 0, 1, 1, 0, 2, 2, 0, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Z_GetBitmapRow(&bm.b, row.data(), 3, 9), MIF_ERR_ARG);
    EXPECT_EQ(Z_GetBitmapRow(&bm.b, row.data(), -1, 9), MIF_ERR_ARG);
    EXPECT_EQ(Z_GetBitmapRow(&bm.b, nullptr, 0, 9), MIF_ERR_ARG);
    for (int32_t nStatus : {1, 2, 0, -5, -1000, 42}) EXPECT_EQ(Z_IntReleaseBitmap(&bm.b, 1, nStatus), nStatus);
    EXPECT_EQ(bm.b.nAccess, 0);
    _HOSTBITMAP b = {};
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 2, 2, 24), MIF_OK);
    EXPECT_EQ(Z_IntAccessBitmap(&b, 0), MIF_ERR_ARG);  // no pixels
    EXPECT_EQ(Z_IntAccessBitmap(nullptr, 0), MIF_ERR_ARG);
    EXPECT_EQ(Z_IntReleaseBitmap(nullptr, 1, 1), MIF_ERR_ARG);
}

}  // namespace
