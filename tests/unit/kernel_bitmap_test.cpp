// kernel_bitmap_test.cpp - the kernel's bitmaps: record set-up, pixel
// allocation and the live count, fills at every depth, conversions from
// 24 bpp with their palettes, palettes, rows (bottom-up), access and release.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "hostapi.h"
#include "kernel_testing.h"

namespace {

constexpr uint64_t kDefaultCeiling = uint64_t(1) << 30;

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// A zero-filled record set up by Z_InitBitmap and allocated.
struct Bitmap {
    _HOSTBITMAP b;
    Bitmap(int32_t w, int32_t h, int32_t bpp) {
        std::memset(&b, 0, sizeof b);
        EXPECT_EQ(Z_InitBitmap(&b, sizeof b, w, h, bpp), MIF_OK);
        EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_OK);
    }
    ~Bitmap() { Z_FreeBitmap(&b); }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // 24 bpp only: sets the pixel at (x, row), row 0 = bottom line.
    void Set24(int32_t x, int32_t row, uint32_t c) {
        uint8_t* p = b.pBits + size_t(row) * b.nBytesPerLine + size_t(x) * 3;
        p[0] = uint8_t(c);
        p[1] = uint8_t(c >> 8);
        p[2] = uint8_t(c >> 16);
    }
    std::vector<uint8_t> Row(int32_t row) {
        std::vector<uint8_t> v(b.nBytesPerLine);
        EXPECT_EQ(Z_GetBitmapRow(&b, v.data(), row, b.nBytesPerLine), MIF_OK);
        return v;
    }
};

// The palette index of pixel x in a packed row.
uint32_t IndexAt(const std::vector<uint8_t>& row, int32_t x, int32_t bpp) {
    size_t nBit = size_t(x) * size_t(bpp);
    return (row[nBit / 8] >> (8 - bpp - nBit % 8)) & ((1u << bpp) - 1);
}

// The colour of pixel x of row `row` of a bitmap at any depth.
uint32_t ColourAt(const _HOSTBITMAP& b, int32_t x, int32_t row) {
    const uint8_t* p = b.pBits + size_t(row) * b.nBytesPerLine;
    switch (b.nBitsPerPixel) {
    case 24: return Rgb(p[x * 3], p[x * 3 + 1], p[x * 3 + 2]);
    case 32: return Rgb(p[x * 4], p[x * 4 + 1], p[x * 4 + 2]);
    default: {
        std::vector<uint8_t> v(p, p + b.nBytesPerLine);
        return b.pPalette[IndexAt(v, x, b.nBitsPerPixel)];
    }
    }
}

// ---------------------------------------------------------------------------
// Records.
// ---------------------------------------------------------------------------
struct InitCase {
    int32_t w, h, bpp;
    int32_t nResult;
    uint32_t nBytesPerLine;
};

class KernelBitmapInit : public ::testing::TestWithParam<InitCase> {};

TEST_P(KernelBitmapInit, FillsTheRecord) {
    const InitCase& c = GetParam();
    _HOSTBITMAP b;
    std::memset(&b, 0x5A, sizeof b);
    b.nAttribute = 77;
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, c.w, c.h, c.bpp), c.nResult);
    if (c.nResult != MIF_OK) return;
    EXPECT_EQ(b.nSize, sizeof b);
    EXPECT_EQ(b.nWidth, c.w);
    EXPECT_EQ(b.nHeight, c.h);
    EXPECT_EQ(b.nBitsPerPixel, c.bpp);
    EXPECT_EQ(b.nBytesPerLine, c.nBytesPerLine);
    EXPECT_EQ(b.nColors, 0u);
    EXPECT_EQ(b.pPalette, nullptr);
    EXPECT_EQ(b.pBits, nullptr);
    EXPECT_EQ(b.nAccess, 0);
    EXPECT_EQ(b.nAttribute, 77);  // left to the caller
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, KernelBitmapInit,
    ::testing::Values(InitCase{10, 5, 24, MIF_OK, 30}, InitCase{10, 5, 32, MIF_OK, 40},
                      InitCase{3, 1, 16, MIF_OK, 6}, InitCase{10, 5, 8, MIF_OK, 10},
                      InitCase{9, 1, 4, MIF_OK, 5}, InitCase{10, 5, 1, MIF_OK, 2},
                      InitCase{8, 1, 1, MIF_OK, 1}, InitCase{0, 0, 24, MIF_OK, 0},
                      InitCase{-1, 5, 24, MIF_ERR_ARG, 0}, InitCase{5, -1, 24, MIF_ERR_ARG, 0},
                      InitCase{5, 5, 2, MIF_ERR_FORMAT, 0}, InitCase{5, 5, 0, MIF_ERR_FORMAT, 0},
                      InitCase{5, 5, 48, MIF_ERR_FORMAT, 0}));

TEST(KernelBitmap, InitRejectsMissingOrShortRecords) {
    _HOSTBITMAP b = {};
    EXPECT_EQ(Z_InitBitmap(nullptr, sizeof b, 1, 1, 24), MIF_ERR_ARG);
    EXPECT_EQ(Z_InitBitmap(&b, sizeof b - 1, 1, 1, 24), MIF_ERR_ARG);
}

TEST(KernelBitmap, AllocateFreeAndLiveCount) {
    _HOSTBITMAP b = {};
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 7, 3, 24), MIF_OK);
    EXPECT_EQ(Z_AllocateBitmap(nullptr, 1), MIF_ERR_ARG);
    ASSERT_EQ(Z_AllocateBitmap(&b, 1), MIF_OK);
    ASSERT_NE(b.pBits, nullptr);
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
    for (uint32_t i = 0; i < 21 * 3; ++i) ASSERT_EQ(b.pBits[i], 0) << "pixels start zeroed";
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_ARG);  // already has pixels
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
    EXPECT_EQ(Z_FreeBitmap(&b), MIF_OK);
    EXPECT_EQ(b.pBits, nullptr);
    EXPECT_EQ(Zk_LiveBitmapCount(), 0u);
    EXPECT_EQ(Z_FreeBitmap(&b), MIF_OK);  // no pixels: nothing to do
    EXPECT_EQ(Z_FreeBitmap(nullptr), MIF_ERR_ARG);
    // No rows still gives pixels to count and free.
    _HOSTBITMAP e = {};
    ASSERT_EQ(Z_InitBitmap(&e, sizeof e, 5, 0, 24), MIF_OK);
    ASSERT_EQ(Z_AllocateBitmap(&e, 1), MIF_OK);
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
    Z_FreeBitmap(&e);
}

TEST(KernelBitmap, AllocationRefusals) {
    _HOSTBITMAP b = {};
    // Above the ceiling: 40000 x 40000 x 3 bytes is about 4.5 GB.
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 40000, 40000, 24), MIF_OK);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_NOMEM);
    EXPECT_EQ(b.pBits, nullptr);
    // A lowered ceiling.
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 100, 100, 24), MIF_OK);
    Zk_SetAllocationCeiling(29999);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_NOMEM);
    Zk_SetAllocationCeiling(30000);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_OK);
    Zk_SetAllocationCeiling(kDefaultCeiling);
    Z_FreeBitmap(&b);
    // An allocation fault.
    Zk_FailAllocation(1, 0);
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_NOMEM);
    EXPECT_EQ(Zk_FaultsFired(), 1u);
    // A record whose line length does not match its geometry.
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 10, 10, 24), MIF_OK);
    b.nBytesPerLine = 29;
    EXPECT_EQ(Z_AllocateBitmap(&b, 1), MIF_ERR_ARG);
    EXPECT_EQ(Zk_LiveBitmapCount(), 0u);
}

// ---------------------------------------------------------------------------
// Fills.
// ---------------------------------------------------------------------------
struct FillCase {
    const char* pszName;
    int32_t w, bpp;
    uint32_t crColor;
    std::vector<uint8_t> row;  // every row after the fill
};

class KernelBitmapFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(KernelBitmapFill, EveryRowHoldsTheColour) {
    const FillCase& c = GetParam();
    Bitmap bm(c.w, 3, c.bpp);
    ASSERT_EQ(Z_FillBitmap(&bm.b, c.crColor), MIF_OK);
    for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(bm.Row(y), c.row) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    Depths, KernelBitmapFill,
    ::testing::Values(
        FillCase{"Rgb24", 2, 24, 0x00332211, {0x11, 0x22, 0x33, 0x11, 0x22, 0x33}},
        FillCase{"Rgb32", 2, 32, 0x00332211, {0x11, 0x22, 0x33, 0, 0x11, 0x22, 0x33, 0}},
        // RGB565 of (0x11, 0x22, 0x33): 2 << 11 | 8 << 5 | 6 = 0x1106.
        FillCase{"Rgb565", 2, 16, 0x00332211, {0x06, 0x11, 0x06, 0x11}},
        FillCase{"Rgb565White", 1, 16, 0x00FFFFFF, {0xFF, 0xFF}},
        // Without a palette, 1 to 8 bpp read as a grey ramp.
        FillCase{"Grey8White", 3, 8, 0x00FFFFFF, {255, 255, 255}},
        FillCase{"Grey8Mid", 2, 8, Rgb(128, 128, 128), {128, 128}},
        FillCase{"Grey4White", 3, 4, 0x00FFFFFF, {0xFF, 0xFF}},
        FillCase{"Grey1White", 9, 1, 0x00FFFFFF, {0xFF, 0xFF}},
        FillCase{"Grey1Black", 9, 1, 0, {0, 0}}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.pszName); });

TEST(KernelBitmap, FillWithAPalettePicksTheNearestEntry) {
    Bitmap bm(4, 2, 8);
    const uint32_t aPalette[] = {Rgb(0, 0, 0), Rgb(255, 0, 0), Rgb(0, 0, 250), Rgb(255, 255, 255)};
    ASSERT_EQ(Z_SetBitmapNewPalette(&bm.b, aPalette, 4), MIF_OK);
    ASSERT_EQ(Z_FillBitmap(&bm.b, Rgb(10, 0, 240)), MIF_OK);
    EXPECT_EQ(bm.Row(1), std::vector<uint8_t>(4, 2));
    EXPECT_EQ(Z_FillBitmap(nullptr, 0), MIF_ERR_ARG);
}

// ---------------------------------------------------------------------------
// Conversions from 24 bpp.
// ---------------------------------------------------------------------------

// A 12 x 4 picture of three colours: 6 red, 4 green and 2 blue pixels per
// row, the bottom row different (all blue) to check the row order.
void PaintThreeColours(Bitmap& bm) {
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 12; ++x) {
            bm.Set24(x, y, y == 0 ? Rgb(0, 0, 255) : x < 6 ? Rgb(255, 0, 0) : x < 10 ? Rgb(0, 255, 0) : Rgb(0, 0, 255));
        }
    }
}

struct ConvertCase {
    int32_t bpp;
    uint32_t nColors;
    uint32_t nBytesPerLine;
};

class KernelBitmapConvert : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(KernelBitmapConvert, ThreeColoursInPlace) {
    const ConvertCase& c = GetParam();
    Bitmap bm(12, 4, 24);
    PaintThreeColours(bm);
    ASSERT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, c.bpp, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    EXPECT_EQ(bm.b.nBitsPerPixel, c.bpp);
    EXPECT_EQ(bm.b.nBytesPerLine, c.nBytesPerLine);
    EXPECT_EQ(bm.b.nColors, c.nColors);
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
    if (c.bpp <= 8) {
        ASSERT_NE(bm.b.pPalette, nullptr);
        // Exact colours first, most frequent first: red 18, blue 18 (6 + 12),
        // green 12; the tie goes to the lower colour value (red).
        EXPECT_EQ(bm.b.pPalette[0], Rgb(255, 0, 0));
        EXPECT_EQ(bm.b.pPalette[1], Rgb(0, 0, 255));
        if (c.bpp > 1) {
            EXPECT_EQ(bm.b.pPalette[2], Rgb(0, 255, 0));
        }
    } else {
        EXPECT_EQ(bm.b.pPalette, nullptr);
    }
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 12; ++x) {
            uint32_t expected = y == 0 ? Rgb(0, 0, 255) : x < 6 ? Rgb(255, 0, 0) : x < 10 ? Rgb(0, 255, 0) : Rgb(0, 0, 255);
            if (c.bpp == 1 && expected == Rgb(0, 255, 0)) continue;  // nearest of red/blue
            if (c.bpp == 16) continue;                                 // checked below
            ASSERT_EQ(ColourAt(bm.b, x, y), expected) << "x " << x << " row " << y;
        }
    }
    if (c.bpp == 16) {
        std::vector<uint8_t> row = bm.Row(1);
        EXPECT_EQ(row[0] | (row[1] << 8), 0xF800);   // red
        EXPECT_EQ(row[12] | (row[13] << 8), 0x07E0); // green
        EXPECT_EQ(row[22] | (row[23] << 8), 0x001F); // blue
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, KernelBitmapConvert,
                         ::testing::Values(ConvertCase{1, 2, 2}, ConvertCase{4, 16, 6},
                                           ConvertCase{8, 256, 12}, ConvertCase{16, 0, 24},
                                           ConvertCase{24, 0, 36}, ConvertCase{32, 0, 48}));

TEST(KernelBitmap, ConvertBlackAndWhiteToOneBit) {
    Bitmap bm(10, 2, 24);
    // Row 1: white except x = 0..2; row 0: all black. Black is most frequent.
    for (int32_t x = 0; x < 10; ++x) bm.Set24(x, 1, x < 3 ? 0 : Rgb(255, 255, 255));
    ASSERT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, 1, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    ASSERT_EQ(bm.b.nColors, 2u);
    EXPECT_EQ(bm.b.pPalette[0], Rgb(0, 0, 0));
    EXPECT_EQ(bm.b.pPalette[1], Rgb(255, 255, 255));
    // Row 1: 0001111111 -> 0x1F 0xC0 (trailing bits zero).
    EXPECT_EQ(bm.Row(1), (std::vector<uint8_t>{0x1F, 0xC0}));
    EXPECT_EQ(bm.Row(0), (std::vector<uint8_t>{0x00, 0x00}));
}

struct OneColourCase {
    uint32_t crColor;
    uint32_t crSecond;
};

class KernelBitmapOneColour : public ::testing::TestWithParam<OneColourCase> {};

TEST_P(KernelBitmapOneColour, OneBitGetsAContrastingSecondEntry) {
    Bitmap bm(5, 2, 24);
    ASSERT_EQ(Z_FillBitmap(&bm.b, GetParam().crColor), MIF_OK);
    ASSERT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, 1, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    EXPECT_EQ(bm.b.pPalette[0], GetParam().crColor);
    EXPECT_EQ(bm.b.pPalette[1], GetParam().crSecond);
    EXPECT_EQ(bm.Row(0), (std::vector<uint8_t>{0x00}));
}

INSTANTIATE_TEST_SUITE_P(Colours, KernelBitmapOneColour,
                         ::testing::Values(OneColourCase{Rgb(0, 0, 0), Rgb(255, 255, 255)},
                                           OneColourCase{Rgb(255, 255, 255), Rgb(0, 0, 0)},
                                           OneColourCase{Rgb(200, 30, 30), Rgb(255, 255, 255)},
                                           OneColourCase{Rgb(250, 250, 100), Rgb(0, 0, 0)}));

TEST(KernelBitmap, ManyColoursGetTheFrequentOnesAndACube) {
    // 64 x 64 with a gradient (4096 colours, one pixel each) under a
    // background of one colour on the left half.
    Bitmap bm(64, 64, 24);
    const uint32_t crBack = Rgb(10, 20, 30);
    const uint32_t crLine = Rgb(200, 100, 7);
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            bm.Set24(x, y, x < 32 ? crBack : y == 5 ? crLine : Rgb(uint32_t(x * 4), uint32_t(y * 4), 99));
    std::vector<uint32_t> source(64 * 64);
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) source[size_t(y * 64 + x)] = ColourAt(bm.b, x, y);
    ASSERT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, 8, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    ASSERT_EQ(bm.b.nColors, 256u);
    EXPECT_EQ(bm.b.pPalette[0], crBack);
    EXPECT_EQ(bm.b.pPalette[1], crLine);
    // The 6x6x6 cube fills the last 216 entries.
    std::map<uint32_t, int> entries;
    for (uint32_t i = 0; i < 256; ++i) ++entries[bm.b.pPalette[i]];
    for (uint32_t r = 0; r < 6; ++r)
        for (uint32_t g = 0; g < 6; ++g)
            for (uint32_t b = 0; b < 6; ++b) EXPECT_EQ(entries.count(Rgb(r * 51, g * 51, b * 51)), 1u);
    // Every pixel maps to its nearest entry.
    auto dist = [](uint32_t a, uint32_t b) {
        int dr = int(a & 255) - int(b & 255), dg = int((a >> 8) & 255) - int((b >> 8) & 255),
            db = int((a >> 16) & 255) - int((b >> 16) & 255);
        return dr * dr + dg * dg + db * db;
    };
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            uint32_t want = source[size_t(y * 64 + x)];
            int best = INT32_MAX;
            for (uint32_t i = 0; i < 256; ++i) best = std::min(best, dist(bm.b.pPalette[i], want));
            ASSERT_EQ(dist(ColourAt(bm.b, x, y), want), best) << "x " << x << " row " << y;
        }
}

TEST(KernelBitmap, ConvertIntoAnotherRecord) {
    Bitmap src(12, 4, 24);
    PaintThreeColours(src);
    src.b.nAttribute = 5;
    src.b.nValue1 = 6;
    src.b.nValue2 = 7;
    _HOSTBITMAP dst = {};
    ASSERT_EQ(Z_ColorResBitmap(&src.b, &dst, sizeof dst, 4, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    EXPECT_EQ(Zk_LiveBitmapCount(), 2u);
    EXPECT_EQ(src.b.nBitsPerPixel, 24);
    EXPECT_EQ(dst.nBitsPerPixel, 4);
    EXPECT_EQ(dst.nWidth, 12);
    EXPECT_EQ(dst.nHeight, 4);
    EXPECT_EQ(dst.nAttribute, 5);
    EXPECT_EQ(dst.nValue1, 6);
    EXPECT_EQ(dst.nValue2, 7);
    EXPECT_EQ(ColourAt(dst, 7, 2), Rgb(0, 255, 0));
    // The same depth into another record copies.
    _HOSTBITMAP copy = {};
    ASSERT_EQ(Z_ColorResBitmap(&dst, &copy, sizeof copy, 4, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    EXPECT_NE(copy.pPalette, dst.pPalette);
    EXPECT_EQ(std::memcmp(copy.pBits, dst.pBits, dst.nBytesPerLine * 4), 0);
    EXPECT_EQ(ColourAt(copy, 0, 0), Rgb(0, 0, 255));
    Z_FreeBitmap(&copy);
    Z_FreeBitmap(&dst);
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
}

TEST(KernelBitmap, ConversionFailuresChangeNothing) {
    Bitmap bm(4, 4, 24);
    _HOSTBITMAP empty = {};
    EXPECT_EQ(Z_ColorResBitmap(nullptr, &bm.b, sizeof bm.b, 8, 2, nullptr, nullptr, 0, 0, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_ColorResBitmap(&empty, &empty, sizeof empty, 8, 2, nullptr, nullptr, 0, 0, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, 4, 8, 2, nullptr, nullptr, 0, 0, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, 7, 2, nullptr, nullptr, 0, 0, nullptr), MIF_ERR_FORMAT);
    Zk_FailAllocation(1, 0);
    EXPECT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, 8, 2, nullptr, nullptr, 0, 0, nullptr), MIF_ERR_NOMEM);
    EXPECT_EQ(bm.b.nBitsPerPixel, 24);
    EXPECT_EQ(bm.b.nBytesPerLine, 12u);
    EXPECT_EQ(bm.b.pPalette, nullptr);
    EXPECT_EQ(Zk_LiveBitmapCount(), 1u);
}

TEST(KernelBitmap, LargeConversionIsFast) {
    // A 2048 x 2048 drawing-like picture: a background, a few line colours
    // and an anti-aliased-looking band of many shades.
    Bitmap bm(2048, 2048, 24);
    ASSERT_EQ(Z_FillBitmap(&bm.b, Rgb(255, 255, 255)), MIF_OK);
    for (int32_t y = 0; y < 2048; y += 16)
        for (int32_t x = 0; x < 2048; ++x) bm.Set24(x, y, Rgb(uint32_t(y & 255), 0, 128));
    for (int32_t y = 0; y < 2048; ++y)
        for (int32_t x = 1000; x < 1100; ++x) bm.Set24(x, y, Rgb(uint32_t(x & 255), uint32_t(y & 255), 77));
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(Z_ColorResBitmap(&bm.b, &bm.b, sizeof bm.b, 8, 2, nullptr, nullptr, 0, 0, nullptr), MIF_OK);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(bm.b.pPalette[0], Rgb(255, 255, 255));
    // Generous enough for sanitizer builds; an optimised build takes tens of ms.
    EXPECT_LT(ms, 5000.0);
    RecordProperty("convert_ms", std::to_string(ms));
}

// ---------------------------------------------------------------------------
// Palettes, rows, access.
// ---------------------------------------------------------------------------
TEST(KernelBitmap, SetPaletteTakesACopy) {
    Bitmap bm(2, 2, 8);
    uint32_t aPalette[3] = {1, 2, 3};
    ASSERT_EQ(Z_SetBitmapNewPalette(&bm.b, aPalette, 3), MIF_OK);
    aPalette[0] = 99;
    ASSERT_NE(bm.b.pPalette, aPalette);
    EXPECT_EQ(bm.b.nColors, 3u);
    EXPECT_EQ(bm.b.pPalette[0], 1u);
    uint32_t* pOld = bm.b.pPalette;
    EXPECT_EQ(Z_SetBitmapNewPalette(&bm.b, nullptr, 3), MIF_ERR_ARG);  // nothing changed
    EXPECT_EQ(bm.b.pPalette, pOld);
    EXPECT_EQ(bm.b.nColors, 3u);
    EXPECT_EQ(Z_SetBitmapNewPalette(nullptr, aPalette, 3), MIF_ERR_ARG);
    // Replacing releases the previous copy (the ledger of the test would not
    // see it; sanitizer builds would).
    ASSERT_EQ(Z_SetBitmapNewPalette(&bm.b, aPalette, 2), MIF_OK);
    EXPECT_EQ(bm.b.pPalette[0], 99u);
    EXPECT_EQ(bm.b.nColors, 2u);
    // A record without pixels may hold a palette; Z_FreeBitmap releases it.
    _HOSTBITMAP dest = {};
    dest.nBitsPerPixel = 8;
    ASSERT_EQ(Z_SetBitmapNewPalette(&dest, aPalette, 3), MIF_OK);
    EXPECT_EQ(Z_FreeBitmap(&dest), MIF_OK);
    EXPECT_EQ(dest.pPalette, nullptr);
    EXPECT_EQ(dest.nColors, 0u);
}

TEST(KernelBitmap, RowsAreBottomUp) {
    Bitmap bm(3, 3, 24);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 3; ++x) bm.Set24(x, y, Rgb(uint32_t(y), uint32_t(x), 0));
    ASSERT_EQ(Z_IntAccessBitmap(&bm.b, 0), MIF_OK);
    EXPECT_NE(bm.b.nAccess, 0);
    std::vector<uint8_t> row(16, 0xEE);
    ASSERT_EQ(Z_GetBitmapRow(&bm.b, row.data(), 2, uint32_t(row.size())), MIF_OK);
    // Copies nBytesPerLine (9) bytes, the rest untouched.
    EXPECT_EQ(row, (std::vector<uint8_t>{2, 0, 0, 2, 1, 0, 2, 2, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    std::fill(row.begin(), row.end(), 0xEE);
    ASSERT_EQ(Z_GetBitmapRow(&bm.b, row.data(), 0, 4), MIF_OK);  // fewer bytes than a line
    EXPECT_EQ(row, (std::vector<uint8_t>{0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Z_GetBitmapRow(&bm.b, row.data(), 3, 9), MIF_ERR_ARG);
    EXPECT_EQ(Z_GetBitmapRow(&bm.b, row.data(), -1, 9), MIF_ERR_ARG);
    EXPECT_EQ(Z_GetBitmapRow(&bm.b, nullptr, 0, 9), MIF_ERR_ARG);
    EXPECT_EQ(Z_IntReleaseBitmap(&bm.b, 1, MIF_OK), MIF_OK);
    EXPECT_EQ(bm.b.nAccess, 0);
}

class KernelBitmapRelease : public ::testing::TestWithParam<int32_t> {};

TEST_P(KernelBitmapRelease, ReturnsTheStatusUnchanged) {
    Bitmap bm(1, 1, 24);
    ASSERT_EQ(Z_IntAccessBitmap(&bm.b, 0), MIF_OK);
    EXPECT_EQ(Z_IntReleaseBitmap(&bm.b, 1, GetParam()), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Statuses, KernelBitmapRelease, ::testing::Values(1, 2, 0, -5, -1000, 42));

TEST(KernelBitmap, AccessNeedsPixels) {
    _HOSTBITMAP b = {};
    ASSERT_EQ(Z_InitBitmap(&b, sizeof b, 2, 2, 24), MIF_OK);
    EXPECT_EQ(Z_IntAccessBitmap(&b, 0), MIF_ERR_ARG);
    EXPECT_EQ(Z_IntAccessBitmap(nullptr, 0), MIF_ERR_ARG);
    EXPECT_EQ(Z_IntReleaseBitmap(nullptr, 1, 1), MIF_ERR_ARG);
}

}  // namespace
