// draw_engine_test.cpp - the drawing engine painting vector-kernel records
// into hand-made 24-bit host bitmaps (rows bottom-up, bytes R, G, B) and into
// SVG and PDF files.
//
// Paint() maps the box (0,0)-(width,height) onto the whole bitmap, so that
// bitmap column c and row r hold the drawing's unit square [c, c+1) x [r, r+1)
// and every expectation reads in drawing coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "drawengine.h"

namespace {

// Host colour values: red in the lowest byte.
constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

_VECTORPOINT Point(double dX, double dY) {
    _VECTORPOINT pt = {};
    pt.x = dX;
    pt.y = dY;
    return pt;
}

_VECTORPEN Pen(uint32_t crColor, uint32_t nStyle = VPEN_SOLID, int32_t nWidth = 3) {
    return {sizeof(_VECTORPEN), nStyle, nWidth, nWidth, crColor, 0, 0, 0};
}

_VECTORBRUSH Brush(uint32_t crColor, uint32_t nStyle = VBRUSH_SOLID, uint64_t nHatch = 0) {
    return {sizeof(_VECTORBRUSH), 0, nStyle, crColor, nHatch, 0, 0};
}

_VECTORLINE Line(double dX1, double dY1, double dX2, double dY2, _VECTORPEN pen) {
    return {{}, Point(dX1, dY1), Point(dX2, dY2), pen};
}

_VECTORRECTANGLE Rect(double dX1, double dY1, double dX2, double dY2, _VECTORPEN pen,
                      _VECTORBRUSH brush) {
    return {{}, Point(dX1, dY1), Point(dX2, dY2), pen, brush};
}

_VECTORTEXTA Text(const char* pszText, double dX, double dY, double dCharHeight,
                  double dCharWidth, uint32_t uFormat) {
    _VECTORTEXTA text = {};
    text.ptAnchor = Point(dX, dY);
    text.pszText = const_cast<char*>(pszText);
    text.uFormat = uFormat;
    text.dCharHeight = dCharHeight;
    text.dCharWidth = dCharWidth;
    text.pen = Pen(kBlue);
    return text;
}

_HOSTBITMAP BitmapRecord(int32_t nWidth, int32_t nHeight, int32_t nBitsPerPixel,
                         uint32_t nBytesPerLine, uint8_t* pBits) {
    _HOSTBITMAP bitmap = {};
    bitmap.nSize = sizeof(bitmap);
    bitmap.nWidth = nWidth;
    bitmap.nHeight = nHeight;
    bitmap.nBitsPerPixel = nBitsPerPixel;
    bitmap.nBytesPerLine = nBytesPerLine;
    bitmap.pBits = pBits;
    return bitmap;
}

// A 24-bit host bitmap laid out as the kernel lays it out.
struct TestBitmap {
    explicit TestBitmap(int32_t nWidth = 100, int32_t nHeight = 100, uint32_t crFill = kWhite) {
        bitmap = BitmapRecord(nWidth, nHeight, 24, uint32_t(3 * nWidth),
                              static_cast<uint8_t*>(std::malloc(size_t(3) * nWidth * nHeight)));
        for (int32_t i = 0; i < nWidth * nHeight; ++i)
            Set(i % nWidth, i / nWidth, crFill);
    }
    ~TestBitmap() { std::free(bitmap.pBits); }
    TestBitmap(const TestBitmap&) = delete;
    TestBitmap& operator=(const TestBitmap&) = delete;

    uint8_t* Pixel(int32_t c, int32_t r) const {
        return bitmap.pBits + size_t(r) * bitmap.nBytesPerLine + 3 * size_t(c);
    }
    void Set(int32_t c, int32_t r, uint32_t crColor) {
        std::memcpy(Pixel(c, r), &crColor, 3);  // R, G, B on this little-endian host
    }
    uint32_t At(int32_t c, int32_t r) const {
        const uint8_t* p = Pixel(c, r);
        return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    // Pixels of columns c0..c1 and rows r0..r1 that are (bMatch) or are not
    // of the colour; by default, the ink on the white paper.
    int Count(int32_t c0, int32_t r0, int32_t c1, int32_t r1, uint32_t crColor = kWhite,
              bool bMatch = false) const {
        int nCount = 0;
        for (int32_t r = r0; r <= r1; ++r)
            for (int32_t c = c0; c <= c1; ++c)
                nCount += (At(c, r) == crColor) == bMatch;
        return nCount;
    }
    int Ink() const { return Count(0, 0, bitmap.nWidth - 1, bitmap.nHeight - 1); }
    bool SameAs(const TestBitmap& other) const {
        return std::memcmp(bitmap.pBits, other.bitmap.pBits,
                           size_t(bitmap.nBytesPerLine) * bitmap.nHeight) == 0;
    }

    _HOSTBITMAP bitmap;
};

struct DrawItem {
    uint32_t nType;
    const void* pRecord;
};

void Paint(TestBitmap& target, std::initializer_list<DrawItem> items) {
    ZDRWCONTEXT* pContext = nullptr;
    ASSERT_EQ(Z_Drw_FromBitmap(Z_Drw_GetDefaultEngine(), &pContext, &target.bitmap), MIF_OK);
    tagRECT rc = {0, 0, target.bitmap.nWidth, target.bitmap.nHeight};
    _VECTORPOINT ptMin = Point(0, 0), ptMax = Point(rc.right, rc.bottom);
    EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 0, 0), MIF_OK);
    for (const DrawItem& item : items)
        EXPECT_EQ(Z_Drw_DrawObject(pContext, item.nType, item.pRecord), MIF_OK);
    EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
}

TEST(DrawEngineContext, NeedsA24BitBitmapWithPixels) {
    const struct {
        int32_t nBitsPerPixel, nWidth, nHeight;
        uint32_t nLineShortBy;
        bool bPixels;
        int32_t nExpected;
    } kCases[] = {
        {24, 10, 10, 0, true, MIF_OK},         {24, 10, 0, 0, false, MIF_OK},  // no rows
        {8, 10, 10, 0, true, DRW_ERR_BITMAP},  {24, 10, 10, 0, false, DRW_ERR_BITMAP},
        {24, 10, 10, 1, true, DRW_ERR_BITMAP}, {24, -4, 10, 0, true, DRW_ERR_BITMAP},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.nBitsPerPixel << " bpp " << c.nWidth << "x" << c.nHeight);
        uint8_t abPixels[300] = {};
        _HOSTBITMAP bitmap = BitmapRecord(c.nWidth, c.nHeight, c.nBitsPerPixel,
                                          uint32_t(3 * c.nWidth) - c.nLineShortBy,
                                          c.bPixels ? abPixels : nullptr);
        ZDRWCONTEXT* pContext = reinterpret_cast<ZDRWCONTEXT*>(&bitmap);  // a stale value
        ASSERT_EQ(Z_Drw_FromBitmap(1, &pContext, &bitmap), c.nExpected);
        if (c.nExpected != MIF_OK) {
            EXPECT_EQ(pContext, nullptr);
            continue;
        }
        tagRECT rc = {0, 0, c.nWidth, c.nHeight};
        _VECTORPOINT pt = Point(0, 0);
        EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &pt, &pt, 1, kRed), MIF_OK);
        EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
        EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
        EXPECT_EQ(abPixels[0], c.nHeight > 0 ? 255 : 0);
    }
}

TEST(DrawEngineContext, RefusesMissingArgumentsAndPaintingOutsideBeginEnd) {
    TestBitmap target(20, 20);
    ZDRWCONTEXT* pContext = nullptr;
    EXPECT_EQ(Z_Drw_FromBitmap(1, nullptr, &target.bitmap), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromBitmap(1, &pContext, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromBitmap(7, &pContext, &target.bitmap), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_Destroy(nullptr), MIF_ERR_ARG);
    ASSERT_EQ(Z_Drw_FromBitmap(1, &pContext, &target.bitmap), MIF_OK);
    _VECTORLINE line = Line(0, 10, 20, 10, Pen(kRed));
    tagRECT rc = {0, 0, 20, 20};
    _VECTORPOINT ptMin = Point(0, 0), ptMax = Point(20, 20);
    EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, &line), DRW_ERR_STATE);
    EXPECT_EQ(Z_Drw_EndPaint(pContext), DRW_ERR_STATE);
    EXPECT_EQ(Z_Drw_BeginPaint(pContext, nullptr, &ptMin, &ptMax, 0, 0), MIF_ERR_ARG);
    ASSERT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 0, 0), MIF_OK);
    EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_DrawObject(pContext, 5, &line), MIF_OK);  // no such type: nothing
    EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, &line), DRW_ERR_STATE);
    EXPECT_EQ(target.Ink(), 0);
    target.bitmap.nWidth = 19;  // the record no longer matches the surface
    EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 0, 0), DRW_ERR_BITMAP);
    EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
}

TEST(DrawEngineContext, PaintsOverThePixelsPresentAtBeginPaintWithinTheViewport) {
    TestBitmap target;
    ZDRWCONTEXT* pContext = nullptr;
    ASSERT_EQ(Z_Drw_FromBitmap(1, &pContext, &target.bitmap), MIF_OK);
    // Filled after the context was made, as the raster load does.
    for (int32_t i = 0; i < 100 * 100; ++i)
        target.Set(i % 100, i / 100, uint32_t(i) * 2654435761u & 0xFFFFFF);
    TestBitmap before;
    std::memcpy(before.bitmap.pBits, target.bitmap.pBits, 100 * 100 * 3);
    // Device rows 30..69 from the top are bitmap rows 30..69 from the bottom.
    tagRECT rc = {20, 30, 60, 70};
    _VECTORPOINT ptMin = Point(0, 0), ptMax = Point(100, 100);
    ASSERT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 0, 0), MIF_OK);
    ASSERT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_TRUE(target.SameAs(before));

    ASSERT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 1, kGreen), MIF_OK);
    _VECTORLINE line = Line(-100, 50, 200, 50, Pen(kBlue, VPEN_SOLID, 4));
    EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, &line), MIF_OK);
    ASSERT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
    EXPECT_EQ(target.Count(20, 30, 59, 69, kBlue, true), 40 * 4);  // pens keep device widths
    EXPECT_EQ(target.Count(20, 30, 59, 69, kGreen, true), 40 * 40 - 40 * 4);
    for (int32_t r : {29, 70})
        EXPECT_EQ(std::memcmp(target.Pixel(0, r), before.Pixel(0, r), 300), 0);
}

TEST(DrawEngineGeometry, LineAcrossIsRedAtItsMiddleOnly) {
    TestBitmap target;
    _VECTORLINE line = Line(-10, 50.5, 110, 50.5, Pen(kRed));
    Paint(target, {{VOBJ_LINE, &line}});
    EXPECT_EQ(target.Count(0, 49, 99, 51, kRed, true), 300);
    EXPECT_EQ(target.Ink(), 300);
}

TEST(DrawEngineGeometry, NorthIsUp) {
    TestBitmap target;
    _VECTORVERTEX vertex = {{}, Point(30.5, 90.5), Pen(kBlue)};
    Paint(target, {{VOBJ_VERTEX, &vertex}});
    EXPECT_EQ(target.At(30, 90), kBlue);
    EXPECT_EQ(target.Ink(), target.Count(26, 86, 34, 94));
}

TEST(DrawEngineGeometry, ClosedShapesAreFilledInsideOnly) {
    const _VECTORPEN pen = Pen(kRed, VPEN_NULL);
    const _VECTORBRUSH brush = Brush(kGreen);
    _VECTORRECTANGLE rect = Rect(70, 80, 20, 30, pen, brush);
    _VECTORELLIPSE ellipse = {{}, Point(50, 50), pen, brush, -40, 20};  // radii by size
    _VECTORCIRCLE circle = {{}, Point(50, 50), pen, brush, 20};
    _VECTORPOINT aTriangle[] = {Point(10, 10), Point(90, 10), Point(50, 90)};
    _VECTORCURVECLOSED triangle = {{}, aTriangle, 3, pen, brush, 0};
    _VECTORPOINT aStar[5];  // a pentagram, its centre wound twice
    for (int i = 0; i < 5; ++i)
        aStar[i] = Point(50 + 45 * std::cos(M_PI / 2 + i * 0.8 * M_PI),
                         50 + 45 * std::sin(M_PI / 2 + i * 0.8 * M_PI));
    _VECTORCURVECLOSED evenOdd = {{}, aStar, 5, pen, brush, 0}, winding = evenOdd;
    winding.nFillMode = 1;
    const struct {
        uint32_t nType;
        const void* pRecord;
        int32_t nInsideX, nInsideY, nOutsideX, nOutsideY;
    } kCases[] = {
        {VOBJ_RECTANGLE, &rect, 21, 31, 19, 29},      {VOBJ_ELLIPSE, &ellipse, 88, 50, 50, 72},
        {VOBJ_CIRCLE, &circle, 50, 68, 65, 65},       {VOBJ_CURVECLOSED, &triangle, 50, 80, 25, 60},
        {VOBJ_CURVECLOSED, &evenOdd, 50, 88, 50, 50}, {VOBJ_CURVECLOSED, &winding, 50, 50, 10, 10},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "type " << c.nType << " inside " << c.nInsideX << ","
                                        << c.nInsideY);
        TestBitmap target;
        Paint(target, {{c.nType, c.pRecord}});
        EXPECT_EQ(target.At(c.nInsideX, c.nInsideY), kGreen);
        EXPECT_EQ(target.At(c.nOutsideX, c.nOutsideY), kWhite);
    }
}

TEST(DrawEngineGeometry, ArcsCoverOnlyTheirQuarters) {
    enum { kUpperRight = 1, kUpperLeft = 2, kLowerLeft = 4, kLowerRight = 8, kAll = 15 };
    const struct {
        double dStart, dSweep;
        int nQuarters;
    } kCases[] = {
        {0, 90, kUpperRight},       {0, -90, kLowerRight},  {90, 180, kUpperLeft | kLowerLeft},
        {270, 90, kLowerRight},     {-180, -90, kUpperLeft}, {45, 720, kAll},
        {10, -1e15, kAll},  // a sweep beyond a full turn draws one turn
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.dStart << " + " << c.dSweep);
        _VECTORARC arc = {{}, Point(50, 50), Pen(kRed), 30, c.dStart, c.dSweep};
        _VECTORELLIPTICALARC elliptical = {{}, Point(50, 50), Pen(kRed), 40, -25, c.dStart, c.dSweep};
        TestBitmap targets[2];
        Paint(targets[0], {{VOBJ_ARC, &arc}});
        Paint(targets[1], {{VOBJ_ELLIPTICALARC, &elliptical}});
        for (const TestBitmap& t : targets) {
            // A band of 3 px along the axes is left out for the line ends.
            EXPECT_EQ(t.Count(53, 53, 99, 99) > 0, (c.nQuarters & kUpperRight) != 0);
            EXPECT_EQ(t.Count(0, 53, 46, 99) > 0, (c.nQuarters & kUpperLeft) != 0);
            EXPECT_EQ(t.Count(0, 0, 46, 46) > 0, (c.nQuarters & kLowerLeft) != 0);
            EXPECT_EQ(t.Count(53, 0, 99, 46) > 0, (c.nQuarters & kLowerRight) != 0);
            EXPECT_EQ(t.Count(45, 45, 55, 55), 0);
        }
    }
}

TEST(DrawEnginePen, StyleAndWidthDecideWhereTheLineInks) {
    constexpr int32_t kMaxWidth = std::numeric_limits<int32_t>::max();
    const struct {
        uint32_t nStyle;
        int32_t bSolidOverride, nWidth, nRows;  // rows inked, centred on row 50
        bool bGaps;
    } kCases[] = {
        {VPEN_SOLID, 0, 3, 3, false},   {VPEN_DASH, 0, 3, 3, true},     {VPEN_DOT, 0, 3, 3, true},
        {VPEN_DASHDOT, 0, 3, 3, true},  {VPEN_DASHDOTDOT, 0, 3, 3, true}, {VPEN_NULL, 0, 3, 0, true},
        {17, 0, 3, 3, false},           {VPEN_DASH, 1, 3, 3, false},    {VPEN_NULL, 1, 3, 3, false},
        {VPEN_SOLID, 0, 0, 1, false},   {VPEN_SOLID, 0, 5, 5, false},   {VPEN_SOLID, 0, kMaxWidth, 100, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "style " << c.nStyle << " override " << c.bSolidOverride
                                        << " width " << c.nWidth);
        _VECTORLINE line = Line(0, 50.5, 100, 50.5, Pen(kRed, c.nStyle, c.nWidth));
        line.pen.bSolidOverride = c.bSolidOverride;
        TestBitmap target;
        Paint(target, {{VOBJ_LINE, &line}});
        EXPECT_EQ(target.Count(5, 50, 94, 50, kWhite, true) > 0, c.bGaps);
        int32_t nLow = 50 - c.nRows / 2, nHigh = nLow + c.nRows - 1;
        EXPECT_EQ(target.Ink(), target.Count(0, nLow, 99, nHigh));
        if (!c.bGaps) {
            EXPECT_EQ(target.Count(0, 0, 99, 99, kRed, true), 100 * c.nRows);
        }
    }
}

// Whether a run of 30 inked pixels stepping (dc, dr) lies inside 22..77.
bool HasInkRun(const TestBitmap& target, int dc, int dr) {
    for (int r0 = 22; r0 <= 77; ++r0)
        for (int c0 = 22; c0 <= 77; ++c0) {
            int n = 0;
            for (int c = c0, r = r0; n < 30 && c <= 77 && r >= 22 && r <= 77 &&
                                     target.At(c, r) != kWhite;
                 ++n, c += dc, r += dr) {
            }
            if (n == 30)
                return true;
        }
    return false;
}

TEST(DrawEngineBrush, HatchesRunTheirWayInsideTheShapeOnly) {
    const struct {
        uint64_t nHatch;
        bool bAcross, bUpright, bFalling, bRising;
    } kCases[] = {
        {VHATCH_HORIZONTAL, true, false, false, false}, {VHATCH_VERTICAL, false, true, false, false},
        {VHATCH_FDIAGONAL, false, false, true, false},  {VHATCH_BDIAGONAL, false, false, false, true},
        {VHATCH_CROSS, true, true, false, false},       {VHATCH_DIAGCROSS, false, false, true, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.nHatch);
        _VECTORRECTANGLE rect =
            Rect(20, 20, 80, 80, Pen(kRed, VPEN_NULL), Brush(kBlue, VBRUSH_HATCHED, c.nHatch));
        TestBitmap target;
        Paint(target, {{VOBJ_RECTANGLE, &rect}});
        EXPECT_EQ(target.Ink(), target.Count(20, 20, 79, 79));
        EXPECT_GT(target.Ink(), 60 * 60 / 10);
        EXPECT_GT(target.Count(20, 20, 79, 79, kWhite, true), 60 * 60 / 2);
        int nStrong = 0;  // every pixel a mix of white and blue, some nearly blue
        for (int32_t i = 0; i < 100 * 100; ++i) {
            uint32_t cr = target.At(i % 100, i / 100);
            ASSERT_TRUE(cr >> 16 == 0xFF && (cr & 0xFF) == (cr >> 8 & 0xFF)) << i;
            nStrong += (cr & 0xFF) < 100;
        }
        EXPECT_GT(nStrong, 100);
        EXPECT_EQ(HasInkRun(target, 1, 0), c.bAcross);
        EXPECT_EQ(HasInkRun(target, 0, 1), c.bUpright);
        EXPECT_EQ(HasInkRun(target, 1, -1), c.bFalling);  // rows count upwards
        EXPECT_EQ(HasInkRun(target, 1, 1), c.bRising);
    }
}

TEST(DrawEngineBrush, StyleKindAndBackgroundDecideTheFill) {
    _VECTORBRUSH withBackground = Brush(kBlue, VBRUSH_HATCHED, VHATCH_HORIZONTAL);
    withBackground.crBackground = kGreen;
    _VECTORBRUSH otherKind = Brush(kBlue, VBRUSH_NULL);
    otherKind.nKind = 3;
    const struct {
        _VECTORBRUSH brush;
        int nBlue, nGreen;  // of the 50 x 50 pixels inside
    } kCases[] = {
        {Brush(kBlue), 2500, 0},     {Brush(kBlue, VBRUSH_NULL), 0, 0},
        {Brush(kBlue, 9), 0, 0},     {Brush(kBlue, VBRUSH_HATCHED, 6), 2500, 0},
        {otherKind, 2500, 0},        {withBackground, 300, 2200},  // lines on rows 27, 35, .. 67
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "style " << c.brush.nStyle << " kind " << c.brush.nKind);
        _VECTORRECTANGLE rect = Rect(20, 20, 80, 80, Pen(kRed), c.brush);
        TestBitmap target;
        Paint(target, {{VOBJ_RECTANGLE, &rect}});
        EXPECT_EQ(target.Count(25, 25, 74, 74, kBlue, true), c.nBlue);
        EXPECT_EQ(target.Count(25, 25, 74, 74, kGreen, true), c.nGreen);
        EXPECT_EQ(target.At(20, 50), kRed);  // the outline on top
    }
}

TEST(DrawEngineText, FlagsPlaceTheTextInItsBox) {
    const struct {
        uint32_t uFormat;
        int32_t nBottomRow;  // of the 40-row box
        double dCentre;      // of the ink, the box spanning columns 50..129
    } kCases[] = {
        {VTEXT_SINGLELINE, 20, 55},           {VTEXT_BOTTOM, 60, 55},
        {VTEXT_VCENTER | VTEXT_BOTTOM, 40, 55}, {VTEXT_RIGHT, 20, 125},
        {VTEXT_CENTER | VTEXT_RIGHT, 20, 90},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.uFormat);
        _VECTORTEXTA text = Text("I", 50, 60, 40, 80, c.uFormat);
        TestBitmap target(200, 100);
        Paint(target, {{VOBJ_TEXTA, &text}});
        EXPECT_EQ(target.Ink(), target.Count(50, c.nBottomRow, 129, c.nBottomRow + 39));
        EXPECT_GT(target.Count(50, c.nBottomRow, 129, c.nBottomRow + 39, kBlue, true), 40);
        double dSum = 0;
        for (int32_t i = 0; i < 200 * 100; ++i)
            dSum += target.At(i % 200, i / 200) != kWhite ? i % 200 : 0;
        EXPECT_NEAR(dSum / target.Ink(), c.dCentre, 6);
    }
}

TEST(DrawEngineText, FontAndEncodingChangeTheGlyphs) {
    auto PaintWord = [](TestBitmap& target, const char* pszText, const char* pszFace,
                        int32_t nWeight, uint8_t bItalic, uint8_t bUnderline) {
        _VECTORTEXTA text = Text(pszText, 10, 60, 40, 20, VTEXT_SINGLELINE);
        std::strcpy(text.font.szFaceName, pszFace);
        text.font.nWeight = nWeight;
        text.font.bItalic = bItalic;
        text.font.bUnderline = bUnderline;
        Paint(target, {{VOBJ_TEXTA, &text}});
    };
    TestBitmap regular, bold, italic, underlined, serif, latin1, utf8;
    PaintWord(regular, "HH", "", 400, 0, 0);
    PaintWord(bold, "HH", "", 600, 0, 0);
    PaintWord(italic, "HH", "", 400, 1, 0);
    PaintWord(underlined, "HH", "", 400, 0, 1);
    PaintWord(serif, "HH", "DejaVu Serif", 400, 0, 0);
    PaintWord(latin1, "\xc9t\xe9", "", 400, 0, 0);  // not UTF-8: read as Latin-1
    PaintWord(utf8, "\xc3\x89t\xc3\xa9", "", 400, 0, 0);
    EXPECT_GT(bold.Ink(), regular.Ink() * 6 / 5);
    EXPECT_FALSE(italic.SameAs(regular));
    EXPECT_FALSE(serif.SameAs(regular));
    // "HH" has no descender: only an underline inks the box's lowest rows.
    EXPECT_EQ(regular.Count(0, 20, 99, 27), 0);
    EXPECT_GT(underlined.Count(0, 20, 99, 27), 30);
    EXPECT_GT(latin1.Ink(), 200);
    EXPECT_TRUE(latin1.SameAs(utf8));
}

TEST(DrawEngineRobustness, UnmappableObjectsPaintNothingAndPaintingGoesOn) {
    const _VECTORPEN pen = Pen(kRed);
    const _VECTORBRUSH brush = Brush(kGreen);
    _VECTORLINE aLines[] = {Line(kNaN, 0, 50, 50, pen), Line(0, 0, 50, kInf, pen),
                            Line(0, 0, 1e9, 50, pen)};
    _VECTORRECTANGLE rect = Rect(0, 0, -kInf, 50, pen, brush);
    _VECTORCIRCLE circle = {{}, Point(50, 50), pen, brush, 1e300};
    _VECTORELLIPSE ellipse = {{}, Point(50, 50), pen, brush, kNaN, 10};
    _VECTORARC arc = {{}, Point(50, 50), pen, 10, 0, kInf};
    _VECTORELLIPTICALARC elliptical = {{}, Point(50, 50), pen, 10, 10, kNaN, 90};
    _VECTORPOINT aPoints[] = {Point(10, 10), Point(kNaN, 90), Point(90, 10)};
    _VECTORCURVECLOSED polygon = {{}, aPoints, 3, pen, brush, 0}, noArray = {{}, nullptr, 3, pen, brush, 0};
    _VECTORCURVEOPENED noPoints = {{}, aPoints, 0, pen}, negative = {{}, aPoints, -3, pen};
    _VECTORTEXTA aTexts[] = {Text("H", 10, 90, 1e300, 10, 0), Text("H", kNaN, 90, 10, 10, 0),
                             Text(nullptr, 10, 90, 10, 10, 0), Text("H", 10, 90, 0, 10, 0)};
    const DrawItem kCases[] = {
        {VOBJ_LINE, &aLines[0]},        {VOBJ_LINE, &aLines[1]},     {VOBJ_LINE, &aLines[2]},
        {VOBJ_RECTANGLE, &rect},        {VOBJ_CIRCLE, &circle},      {VOBJ_ELLIPSE, &ellipse},
        {VOBJ_ARC, &arc},               {VOBJ_ELLIPTICALARC, &elliptical},
        {VOBJ_CURVECLOSED, &polygon},   {VOBJ_CURVECLOSED, &noArray},
        {VOBJ_CURVEOPENED, &noPoints},  {VOBJ_CURVEOPENED, &negative},
        {VOBJ_TEXTA, &aTexts[0]},       {VOBJ_TEXTA, &aTexts[1]},
        {VOBJ_TEXTA, &aTexts[2]},       {VOBJ_TEXTA, &aTexts[3]},
    };
    _VECTORLINE good = Line(0, 20.5, 100, 20.5, Pen(kBlue));
    TestBitmap expected;
    Paint(expected, {{VOBJ_LINE, &good}});
    for (size_t i = 0; i < std::size(kCases); ++i) {
        SCOPED_TRACE(i);
        TestBitmap target;
        Paint(target, {kCases[i], {VOBJ_LINE, &good}});
        EXPECT_TRUE(target.SameAs(expected));
    }
}

TEST(DrawEngineRobustness, SeparateContextsPaintAlikeOnSeparateThreads) {
    _VECTORRECTANGLE rect = Rect(10, 10, 90, 60, Pen(kRed, VPEN_DASHDOT),
                                 Brush(kBlue, VBRUSH_HATCHED, VHATCH_DIAGCROSS));
    _VECTORTEXTA text = Text("Threads", 10, 95, 25, 11, VTEXT_SINGLELINE);
    TestBitmap expected, targets[4];
    Paint(expected, {{VOBJ_RECTANGLE, &rect}, {VOBJ_TEXTA, &text}});
    std::vector<std::thread> threads;
    for (TestBitmap& target : targets)
        threads.emplace_back([&target, &rect, &text] {
            for (int nRound = 0; nRound < 10; ++nRound) {
                std::memset(target.bitmap.pBits, 0xFF, 100 * 100 * 3);
                Paint(target, {{VOBJ_RECTANGLE, &rect}, {VOBJ_TEXTA, &text}});
            }
        });
    for (size_t i = 0; i < threads.size(); ++i) {
        threads[i].join();
        EXPECT_TRUE(targets[i].SameAs(expected));
    }
}

TEST(DrawEngineVectorFile, KeepsLinesAsLinesAndTextsAsText) {
    const struct {
        const char* pszName;
        int32_t (*pfnCreate)(const char*, int32_t, int32_t, ZDRWCONTEXT**);
        std::vector<const char*> markers;  // the first starts the file
    } kCases[] = {
        {"draw_engine_test.svg", Z_Drw_FromSvgFile, {"<?xml", "<path", "stroke-width:3", "glyph"}},
        {"draw_engine_test.pdf", Z_Drw_FromPdfFile, {"%PDF", "/Font", "/FontFile"}},
    };
    _VECTORLINE line = Line(0, 50, 100, 50, Pen(kRed));
    _VECTORTEXTA text = Text("Vector", 10, 90, 20, 10, VTEXT_SINGLELINE);
    tagRECT rc = {0, 0, 100, 100};
    _VECTORPOINT ptMin = Point(0, 0), ptMax = Point(100, 100);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszName);
        std::string strPath = testing::TempDir() + c.pszName;
        ZDRWCONTEXT* pContext = nullptr;
        ASSERT_EQ(c.pfnCreate(strPath.c_str(), 100, 100, &pContext), MIF_OK);
        EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 1, kWhite), MIF_OK);
        EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, &line), MIF_OK);
        EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_TEXTA, &text), MIF_OK);
        EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
        EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
        std::ifstream file(strPath, std::ios::binary);
        std::string strContent((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(strContent.rfind(c.markers[0], 0), 0u);
        for (const char* pszMarker : c.markers)
            EXPECT_NE(strContent.find(pszMarker), std::string::npos) << pszMarker;
        EXPECT_EQ(strContent.find("<image"), std::string::npos);  // nothing rasterised
        std::remove(strPath.c_str());
    }
    ZDRWCONTEXT* pContext = nullptr;
    EXPECT_EQ(Z_Drw_FromSvgFile("never.svg", 0, 100, &pContext), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromPdfFile(nullptr, 100, 100, &pContext), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromSvgFile("/nonexistent-folder/x.svg", 100, 100, &pContext), MIF_ERR_WRITE);
    EXPECT_EQ(Z_Drw_FromPdfFile("/nonexistent-folder/x.pdf", 100, 100, &pContext), MIF_ERR_WRITE);
    EXPECT_EQ(pContext, nullptr);
}

}  // namespace
