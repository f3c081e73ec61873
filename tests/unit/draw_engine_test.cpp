// draw_engine_test.cpp - the drawing engine painting vector-kernel records
// into 24-bit host bitmaps (rows bottom-up, bytes R, G, B) and into SVG and
// PDF files. Paint() maps (0,0)-(width,height) onto the whole bitmap, so
// column c and row r hold the drawing's unit square [c, c+1) x [r, r+1).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "drawengine.h"
#include "kernel_test_util.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

_VECTORPOINT P(double dX, double dY) { return {dX, dY, 0, 0}; }
_VECTORPEN Pen(uint32_t crColor, uint32_t nStyle = VPEN_SOLID, int32_t nWidth = 3) {
    return {sizeof(_VECTORPEN), nStyle, nWidth, nWidth, crColor, 0, 0, 0};
}
_VECTORBRUSH Brush(uint32_t crColor, uint32_t nStyle = VBRUSH_SOLID, uint64_t nHatch = 0) {
    return {sizeof(_VECTORBRUSH), 0, nStyle, crColor, nHatch, 0, 0};
}
_VECTORTEXTA Text(const char* pszText, double dX, double dY, double dHeight, double dWidth, uint32_t uFormat) {
    _VECTORTEXTA text = {};
    text.ptAnchor = P(dX, dY);
    text.pszText = const_cast<char*>(pszText);
    text.uFormat = uFormat;
    text.dCharHeight = dHeight;
    text.dCharWidth = dWidth;
    text.pen = Pen(kBlue);
    return text;
}

// A 24-bit host bitmap laid out as the kernel lays it out.
struct TestBitmap {
    explicit TestBitmap(int32_t nWidth = 100, int32_t nHeight = 100, bool bPixels = true)
        : pixels(size_t(3) * nWidth * nHeight, 0xFF),
          bitmap{sizeof(_HOSTBITMAP), nWidth, nHeight, 24, uint32_t(3 * nWidth), 0, nullptr, 0, 0, 0, 0,
                 bPixels ? pixels.data() : nullptr} {}
    uint32_t At(int32_t c, int32_t r) const {
        uint32_t cr = 0;
        std::memcpy(&cr, &pixels[3 * size_t(r * bitmap.nWidth + c)], 3);  // R, G, B on this little-endian host
        return cr;
    }
    // Pixels of columns c0..c1 and rows r0..r1 that are (bMatch) or are not
    // of the colour; by default, the ink on the white paper.
    int Count(int32_t c0, int32_t r0, int32_t c1, int32_t r1, uint32_t crColor = kWhite, bool bMatch = false) const {
        int nCount = 0;
        for (int32_t r = r0; r <= r1; ++r)
            for (int32_t c = c0; c <= c1; ++c) nCount += (At(c, r) == crColor) == bMatch;
        return nCount;
    }
    int Ink() const { return Count(0, 0, bitmap.nWidth - 1, bitmap.nHeight - 1); }

    std::vector<uint8_t> pixels;
    _HOSTBITMAP bitmap;
};

struct DrawItem { uint32_t nType; const void* pRecord; };

void Paint(TestBitmap& target, std::initializer_list<DrawItem> items) {
    ZDRWCONTEXT* pContext = nullptr;
    ASSERT_EQ(Z_Drw_FromBitmap(Z_Drw_GetDefaultEngine(), &pContext, &target.bitmap), MIF_OK);
    tagRECT rc = {0, 0, target.bitmap.nWidth, target.bitmap.nHeight};
    _VECTORPOINT ptMin = P(0, 0), ptMax = P(rc.right, rc.bottom);
    EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 0, 0), MIF_OK);
    for (const DrawItem& item : items) EXPECT_EQ(Z_Drw_DrawObject(pContext, item.nType, item.pRecord), MIF_OK);
    EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
}

TEST(DrawEngineContext, RefusesBadBitmapsArgumentsAndPaintingOutsideBeginEnd) {
    TestBitmap target(20, 20);
    const struct {
        int32_t nBitsPerPixel, nWidth, nLineShortBy;
        uint8_t* pBits;
    } kBadBitmaps[] = {{8, 20, 0, target.bitmap.pBits}, {24, 20, 0, nullptr}, {24, 20, 1, target.bitmap.pBits},
                       {24, -4, 0, target.bitmap.pBits}};
    for (const auto& c : kBadBitmaps) {
        _HOSTBITMAP bitmap = {sizeof(_HOSTBITMAP), c.nWidth, 20, c.nBitsPerPixel,
                              uint32_t(3 * c.nWidth - c.nLineShortBy), 0, nullptr, 0, 0, 0, 0, c.pBits};
        ZDRWCONTEXT* pContext = reinterpret_cast<ZDRWCONTEXT*>(&bitmap);  // a stale value
        EXPECT_EQ(Z_Drw_FromBitmap(1, &pContext, &bitmap), DRW_ERR_BITMAP) << c.nBitsPerPixel << " bpp " << c.nWidth;
        EXPECT_EQ(pContext, nullptr);
    }
    ZDRWCONTEXT* pContext = nullptr;
    EXPECT_EQ(Z_Drw_FromBitmap(1, nullptr, &target.bitmap), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromBitmap(1, &pContext, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromBitmap(7, &pContext, &target.bitmap), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_Destroy(nullptr), MIF_ERR_ARG);
    tagRECT rc = {0, 0, 20, 20};
    _VECTORPOINT ptMin = P(0, 0), ptMax = P(20, 20);
    TestBitmap noRows(20, 0, false);  // needs no pixels
    ASSERT_EQ(Z_Drw_FromBitmap(1, &pContext, &noRows.bitmap), MIF_OK);
    EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 1, kRed), MIF_OK);
    EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
    ASSERT_EQ(Z_Drw_FromBitmap(1, &pContext, &target.bitmap), MIF_OK);
    _VECTORLINE line = {{}, P(0, 10), P(20, 10), Pen(kRed)};
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
    for (size_t i = 0; i < target.pixels.size(); ++i)  // filled after the context was made
        target.pixels[i] = uint8_t(i * 2654435761u >> 7);
    const std::vector<uint8_t> before = target.pixels;
    tagRECT rc = {20, 30, 60, 70};  // device rows 30..69 from the top: bitmap rows 30..69
    _VECTORPOINT ptMin = P(0, 0), ptMax = P(100, 100);
    ASSERT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 0, 0), MIF_OK);
    ASSERT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_TRUE(target.pixels == before);
    ASSERT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 1, kGreen), MIF_OK);
    _VECTORLINE line = {{}, P(-100, 50), P(200, 50), Pen(kBlue, VPEN_SOLID, 4)};
    EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, &line), MIF_OK);
    ASSERT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
    EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
    EXPECT_EQ(target.Count(20, 30, 59, 69, kBlue, true), 40 * 4);  // pens keep device widths
    EXPECT_EQ(target.Count(20, 30, 59, 69, kGreen, true), 40 * 40 - 40 * 4);
    for (size_t r : {29, 70})  // rows outside the viewport
        EXPECT_TRUE(std::equal(&before[300 * r], &before[300 * r + 300], &target.pixels[300 * r]));
}

TEST(DrawEngineGeometry, NorthIsUpInTheRightColour) {
    TestBitmap target;
    _VECTORVERTEX vertex = {{}, P(30.5, 90.5), Pen(kBlue)};
    Paint(target, {{VOBJ_VERTEX, &vertex}});
    EXPECT_EQ(target.At(30, 90), kBlue);
    EXPECT_EQ(target.Ink(), target.Count(26, 86, 34, 94));
}

TEST(DrawEngineGeometry, ClosedShapesAreFilledInsideOnly) {
    const _VECTORPEN pen = Pen(kRed, VPEN_NULL);
    const _VECTORBRUSH brush = Brush(kGreen);
    _VECTORRECTANGLE rect = {{}, P(70, 80), P(20, 30), pen, brush}, hollow = {{}, P(20, 20), P(80, 80), Pen(kRed), Brush(kGreen, VBRUSH_NULL)};
    _VECTORELLIPSE ellipse = {{}, P(50, 50), pen, brush, -40, 20};  // radii by size
    _VECTORCIRCLE circle = {{}, P(50, 50), pen, brush, 20};
    _VECTORPOINT aTriangle[] = {P(10, 10), P(90, 10), P(50, 90)}, aStar[5];  // a pentagram: its centre wound twice
    for (int i = 0; i < 5; ++i)
        aStar[i] = P(50 + 45 * std::cos(M_PI / 2 + i * 0.8 * M_PI), 50 + 45 * std::sin(M_PI / 2 + i * 0.8 * M_PI));
    _VECTORCURVECLOSED triangle = {{}, aTriangle, 3, pen, brush, 0}, evenOdd = {{}, aStar, 5, pen, brush, 0};
    _VECTORCURVECLOSED winding = evenOdd;
    winding.nFillMode = 1;
    const struct { DrawItem item; int32_t nInsideX, nInsideY, nOutsideX, nOutsideY; } kCases[] = {
        {{VOBJ_RECTANGLE, &rect}, 21, 31, 19, 29},      {{VOBJ_ELLIPSE, &ellipse}, 88, 50, 50, 72},
        {{VOBJ_CIRCLE, &circle}, 50, 68, 65, 65},       {{VOBJ_CURVECLOSED, &triangle}, 50, 80, 25, 60},
        {{VOBJ_CURVECLOSED, &evenOdd}, 50, 88, 50, 50}, {{VOBJ_CURVECLOSED, &winding}, 50, 50, 10, 10},
        {{VOBJ_RECTANGLE, &hollow}, -1, -1, 50, 50},  // a NULL brush: the outline alone
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "type " << c.item.nType << " inside " << c.nInsideX << "," << c.nInsideY);
        TestBitmap target;
        Paint(target, {c.item});
        EXPECT_TRUE(c.nInsideX < 0 || target.At(c.nInsideX, c.nInsideY) == kGreen);
        EXPECT_EQ(target.At(c.nOutsideX, c.nOutsideY), kWhite);
    }
}

TEST(DrawEngineGeometry, ArcsCoverOnlyTheirQuarters) {
    enum { kUpperRight = 1, kUpperLeft = 2, kLowerLeft = 4, kLowerRight = 8, kAll = 15 };
    const struct { double dStart, dSweep; int nQuarters; } kCases[] = {
        {0, 90, kUpperRight},   {0, -90, kLowerRight},   {90, 180, kUpperLeft | kLowerLeft},
        {270, 90, kLowerRight}, {-180, -90, kUpperLeft}, {45, 720, kAll},
        {10, -1e15, kAll},  // a sweep beyond a full turn draws one turn
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.dStart << " + " << c.dSweep);
        _VECTORARC arc = {{}, P(50, 50), Pen(kRed), 30, c.dStart, c.dSweep};
        _VECTORELLIPTICALARC elliptical = {{}, P(50, 50), Pen(kRed), 40, -25, c.dStart, c.dSweep};
        for (DrawItem item : {DrawItem{VOBJ_ARC, &arc}, DrawItem{VOBJ_ELLIPTICALARC, &elliptical}}) {
            TestBitmap t;
            Paint(t, {item});
            // A band of 3 px along the axes is left out for the line ends.
            EXPECT_EQ(t.Count(53, 53, 99, 99) > 0, (c.nQuarters & kUpperRight) != 0) << item.nType;
            EXPECT_EQ(t.Count(0, 53, 46, 99) > 0, (c.nQuarters & kUpperLeft) != 0) << item.nType;
            EXPECT_EQ(t.Count(0, 0, 46, 46) > 0, (c.nQuarters & kLowerLeft) != 0) << item.nType;
            EXPECT_EQ(t.Count(53, 0, 99, 46) > 0, (c.nQuarters & kLowerRight) != 0) << item.nType;
            EXPECT_EQ(t.Count(45, 45, 55, 55), 0) << item.nType;
        }
    }
}

TEST(DrawEnginePen, StyleAndWidthDecideWhereTheLineInks) {
    const struct {
        uint32_t nStyle;
        int32_t bSolidOverride, nWidth, nRows;  // rows inked, centred on row 50
        bool bGaps;
    } kCases[] = {
        {VPEN_SOLID, 0, 3, 3, false},    {VPEN_DASH, 0, 3, 3, true},       {VPEN_DOT, 0, 3, 3, true},
        {VPEN_DASHDOT, 0, 3, 3, true},   {VPEN_DASHDOTDOT, 0, 3, 3, true}, {VPEN_NULL, 0, 3, 0, true},
        {17, 0, 3, 3, false},            {VPEN_DASH, 1, 3, 3, false},      {VPEN_NULL, 1, 3, 3, false},
        {VPEN_SOLID, 0, 0, 1, false},    {VPEN_SOLID, 0, 5, 5, false},     {VPEN_SOLID, 0, INT32_MAX, 100, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "style " << c.nStyle << " " << c.bSolidOverride << ", width " << c.nWidth);
        _VECTORLINE line = {{}, P(0, 50.5), P(100, 50.5), Pen(kRed, c.nStyle, c.nWidth)};
        line.pen.bSolidOverride = c.bSolidOverride;
        TestBitmap target;
        Paint(target, {{VOBJ_LINE, &line}});
        EXPECT_EQ(target.Count(5, 50, 94, 50, kWhite, true) > 0, c.bGaps);
        const int32_t nLow = 50 - c.nRows / 2;
        EXPECT_EQ(target.Ink(), target.Count(0, nLow, 99, nLow + c.nRows - 1));
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
            for (int c = c0, r = r0; n < 30 && c <= 77 && r >= 22 && r <= 77 && target.At(c, r) != kWhite; ++n)
                c += dc, r += dr;
            if (n == 30) return true;
        }
    return false;
}

TEST(DrawEngineBrush, HatchesRunTheirWayInsideTheShapeOnly) {
    const struct { uint64_t nHatch; bool bAcross, bUpright, bFalling, bRising; } kCases[] = {
        {VHATCH_HORIZONTAL, true, false, false, false}, {VHATCH_VERTICAL, false, true, false, false},
        {VHATCH_FDIAGONAL, false, false, true, false},  {VHATCH_BDIAGONAL, false, false, false, true},
        {VHATCH_CROSS, true, true, false, false},       {VHATCH_DIAGCROSS, false, false, true, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.nHatch);
        _VECTORRECTANGLE rect = {{}, P(20, 20), P(80, 80), Pen(kRed, VPEN_NULL),
                                 Brush(kBlue, VBRUSH_HATCHED, c.nHatch)};
        TestBitmap target;
        Paint(target, {{VOBJ_RECTANGLE, &rect}});
        EXPECT_EQ(target.Ink(), target.Count(20, 20, 79, 79));
        EXPECT_GT(target.Ink(), 60 * 60 / 10);
        EXPECT_GT(target.Count(20, 20, 79, 79, kWhite, true), 60 * 60 / 2);
        int nStrong = 0;  // every pixel a mix of white and blue, some nearly blue
        for (int32_t i = 0; i < 100 * 100; ++i) {
            const uint32_t cr = target.At(i % 100, i / 100);
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

TEST(DrawEngineText, FlagsPlaceTheTextInItsBox) {
    const struct {
        uint32_t uFormat;
        int32_t nBottomRow;  // of the 40-row box
        double dCentre;      // of the ink, the box spanning columns 50..129
    } kCases[] = {
        {VTEXT_SINGLELINE, 20, 55}, {VTEXT_BOTTOM, 60, 55}, {VTEXT_VCENTER | VTEXT_BOTTOM, 40, 55},
        {VTEXT_RIGHT, 20, 125},     {VTEXT_CENTER | VTEXT_RIGHT, 20, 90},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.uFormat);
        _VECTORTEXTA text = Text("I", 50, 60, 40, 80, c.uFormat);
        TestBitmap target(200, 100);
        Paint(target, {{VOBJ_TEXTA, &text}});
        EXPECT_EQ(target.Ink(), target.Count(50, c.nBottomRow, 129, c.nBottomRow + 39));
        EXPECT_GT(target.Count(50, c.nBottomRow, 129, c.nBottomRow + 39, kBlue, true), 40);
        double dSum = 0;
        for (int32_t i = 0; i < 200 * 100; ++i) dSum += target.At(i % 200, i / 200) != kWhite ? i % 200 : 0;
        EXPECT_NEAR(dSum / target.Ink(), c.dCentre, 6);
    }
}

TEST(DrawEngineText, FontAndEncodingChangeTheGlyphs) {
    auto Word = [](const char* pszText, const char* pszFace, int32_t nWeight, uint8_t bItalic, uint8_t bUnderline) {
        _VECTORTEXTA text = Text(pszText, 10, 60, 40, 20, VTEXT_SINGLELINE);
        std::strcpy(text.font.szFaceName, pszFace);
        text.font.nWeight = nWeight;
        text.font.bItalic = bItalic;
        text.font.bUnderline = bUnderline;
        TestBitmap target;
        Paint(target, {{VOBJ_TEXTA, &text}});
        return target;
    };
    const TestBitmap regular = Word("HH", "", 400, 0, 0), underlined = Word("HH", "", 400, 0, 1);
    const TestBitmap latin1 = Word("\xc9t\xe9", "", 400, 0, 0);  // not UTF-8: read as Latin-1
    EXPECT_GT(Word("HH", "", 600, 0, 0).Ink(), regular.Ink() * 6 / 5);
    EXPECT_TRUE(Word("HH", "", 400, 1, 0).pixels != regular.pixels);  // italic
    EXPECT_TRUE(Word("HH", "DejaVu Serif", 400, 0, 0).pixels != regular.pixels);
    // "HH" has no descender: only an underline inks the box's lowest rows.
    EXPECT_EQ(regular.Count(0, 20, 99, 27), 0);
    EXPECT_GT(underlined.Count(0, 20, 99, 27), 30);
    EXPECT_GT(latin1.Ink(), 200);
    EXPECT_TRUE(latin1.pixels == Word("\xc3\x89t\xc3\xa9", "", 400, 0, 0).pixels);
}

TEST(DrawEngineRobustness, UnmappableObjectsPaintNothingAndPaintingGoesOn) {
    const _VECTORPEN pen = Pen(kRed);
    const _VECTORBRUSH brush = Brush(kGreen);
    _VECTORLINE aLines[] = {{{}, P(kNaN, 0), P(50, 50), pen}, {{}, P(0, 0), P(50, kInf), pen},
                            {{}, P(0, 0), P(1e9, 50), pen}};
    _VECTORRECTANGLE rect = {{}, P(0, 0), P(-kInf, 50), pen, brush};
    _VECTORCIRCLE circle = {{}, P(50, 50), pen, brush, 1e300};
    _VECTORELLIPSE ellipse = {{}, P(50, 50), pen, brush, kNaN, 10};
    _VECTORARC arc = {{}, P(50, 50), pen, 10, 0, kInf};
    _VECTORELLIPTICALARC elliptical = {{}, P(50, 50), pen, 10, 10, kNaN, 90};
    _VECTORPOINT aPoints[] = {P(10, 10), P(kNaN, 90), P(90, 10)};
    _VECTORCURVECLOSED polygon = {{}, aPoints, 3, pen, brush, 0}, noArray = {{}, nullptr, 3, pen, brush, 0};
    _VECTORCURVEOPENED noPoints = {{}, aPoints, 0, pen}, negative = {{}, aPoints, -3, pen};
    _VECTORTEXTA aTexts[] = {Text("H", 10, 90, 1e300, 10, 0), Text("H", kNaN, 90, 10, 10, 0),
                             Text(nullptr, 10, 90, 10, 10, 0), Text("H", 10, 90, 0, 10, 0)};
    const DrawItem kCases[] = {
        {VOBJ_LINE, &aLines[0]},       {VOBJ_LINE, &aLines[1]},       {VOBJ_LINE, &aLines[2]},
        {VOBJ_RECTANGLE, &rect},       {VOBJ_CIRCLE, &circle},        {VOBJ_ELLIPSE, &ellipse},
        {VOBJ_ARC, &arc},              {VOBJ_ELLIPTICALARC, &elliptical},
        {VOBJ_CURVECLOSED, &polygon},  {VOBJ_CURVECLOSED, &noArray},  {VOBJ_CURVEOPENED, &noPoints},
        {VOBJ_CURVEOPENED, &negative}, {VOBJ_TEXTA, &aTexts[0]},      {VOBJ_TEXTA, &aTexts[1]},
        {VOBJ_TEXTA, &aTexts[2]},      {VOBJ_TEXTA, &aTexts[3]},
    };
    _VECTORLINE good = {{}, P(0, 20.5), P(100, 20.5), Pen(kBlue)};
    TestBitmap expected;
    Paint(expected, {{VOBJ_LINE, &good}});
    for (size_t i = 0; i < std::size(kCases); ++i) {
        SCOPED_TRACE(i);
        TestBitmap target;
        Paint(target, {kCases[i], {VOBJ_LINE, &good}});
        EXPECT_TRUE(target.pixels == expected.pixels);
    }
}

TEST(DrawEngineVectorFile, KeepsLinesAsLinesAndTextsAsText) {
    const struct {
        const char* pszName;
        int32_t (*pfnCreate)(const char*, int32_t, int32_t, ZDRWCONTEXT**);
        std::vector<const char*> markers;  // the first starts the file
    } kCases[] = {
        {"out.svg", Z_Drw_FromSvgFile, {"<?xml", "<path", "stroke-width:3", "glyph"}},
        {"out.pdf", Z_Drw_FromPdfFile, {"%PDF", "/Font", "/FontFile"}},
    };
    _VECTORLINE line = {{}, P(0, 50), P(100, 50), Pen(kRed)};
    _VECTORTEXTA text = Text("Vector", 10, 90, 20, 10, VTEXT_SINGLELINE);
    tagRECT rc = {0, 0, 100, 100};
    _VECTORPOINT ptMin = P(0, 0), ptMax = P(100, 100);
    kernel_test::TempDir dir;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszName);
        ZDRWCONTEXT* pContext = nullptr;
        ASSERT_EQ(c.pfnCreate(dir.File(c.pszName).c_str(), 100, 100, &pContext), MIF_OK);
        EXPECT_EQ(Z_Drw_BeginPaint(pContext, &rc, &ptMin, &ptMax, 1, kWhite), MIF_OK);
        EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_LINE, &line), MIF_OK);
        EXPECT_EQ(Z_Drw_DrawObject(pContext, VOBJ_TEXTA, &text), MIF_OK);
        EXPECT_EQ(Z_Drw_EndPaint(pContext), MIF_OK);
        EXPECT_EQ(Z_Drw_Destroy(pContext), MIF_OK);
        const std::string content = kernel_test::ReadWholeFile(dir.File(c.pszName));
        EXPECT_EQ(content.rfind(c.markers[0], 0), 0u);
        for (const char* pszMarker : c.markers) EXPECT_NE(content.find(pszMarker), std::string::npos) << pszMarker;
        EXPECT_EQ(content.find("<image"), std::string::npos);  // nothing rasterised
    }
    ZDRWCONTEXT* pContext = nullptr;
    EXPECT_EQ(Z_Drw_FromSvgFile("never.svg", 0, 100, &pContext), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromPdfFile(nullptr, 100, 100, &pContext), MIF_ERR_ARG);
    EXPECT_EQ(Z_Drw_FromSvgFile("/nonexistent-folder/x.svg", 100, 100, &pContext), MIF_ERR_WRITE);
    EXPECT_EQ(Z_Drw_FromPdfFile("/nonexistent-folder/x.pdf", 100, 100, &pContext), MIF_ERR_WRITE);
    EXPECT_EQ(pContext, nullptr);
}

}  // namespace
