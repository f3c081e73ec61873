// draw_hairline_test.cpp - the engine's own one-pixel lines: placed and
// inked as cairo's one-pixel strokes are, kept inside the clip rectangle,
// and dashed with the pattern running on along a path.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "drawhairline.h"

namespace {

constexpr int kSize = 48;
constexpr uint32_t kBlack = 0x000000;

// A white RGB24 image with a cairo context on it, clipped to a rectangle.
class Canvas {
public:
    explicit Canvas(int nClipLeft = 0, int nClipTop = 0, int nClipRight = kSize, int nClipBottom = kSize)
        : m_pSurface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSize, kSize)),
          m_pCairo(cairo_create(m_pSurface)) {
        cairo_set_source_rgb(m_pCairo, 1, 1, 1);
        cairo_paint(m_pCairo);
        cairo_rectangle(m_pCairo, nClipLeft, nClipTop, nClipRight - nClipLeft, nClipBottom - nClipTop);
        cairo_clip(m_pCairo);
        cairo_set_source_rgb(m_pCairo, 0, 0, 0);
    }
    ~Canvas() {
        cairo_destroy(m_pCairo);
        cairo_surface_destroy(m_pSurface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* Cairo() { return m_pCairo; }
    HairlineCanvas Hairlines() {
        HairlineCanvas canvas = {};
        EXPECT_TRUE(GetHairlineCanvas(m_pCairo, &canvas));
        return canvas;
    }
    // The pixel as RGB24 keeps it, red in bits 16-23.
    uint32_t Pixel(int nX, int nY) {
        cairo_surface_flush(m_pSurface);
        const auto* pRow = cairo_image_surface_get_data(m_pSurface) + nY * cairo_image_surface_get_stride(m_pSurface);
        return reinterpret_cast<const uint32_t*>(pRow)[nX] & 0xFFFFFF;
    }
    // How much black is in the pixel: 0 (white) to 1.
    double Ink(int nX, int nY) { return 1.0 - ((Pixel(nX, nY) >> 8) & 0xFF) / 255.0; }
    // The ink-weighted centre of the picture; returns the total ink.
    double InkCentre(double* pdX, double* pdY) {
        double dSum = 0, dX = 0, dY = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                dSum += Ink(x, y);
                dX += Ink(x, y) * (x + 0.5);
                dY += Ink(x, y) * (y + 0.5);
            }
        *pdX = dX / dSum;
        *pdY = dY / dSum;
        return dSum;
    }
    // One row as '#' (ink over a half), '+' (some ink) and '.' (none).
    std::string Row(int nY) {
        std::string s;
        for (int x = 0; x < kSize; ++x) s += Ink(x, nY) > 0.5 ? '#' : Ink(x, nY) > 0.01 ? '+' : '.';
        return s;
    }

private:
    cairo_surface_t* m_pSurface;
    cairo_t* m_pCairo;
};

TEST(Hairline, SitsAndInksWhereCairosOnePixelStrokeDoes) {
    const struct { const char* pszName; double dX0, dY0, dX1, dY1; } kCases[] = {
        {"horizontal on pixel centres", 4, 10.5, 40, 10.5}, {"horizontal on a pixel edge", 4, 10, 40, 10},
        {"vertical, drawn upwards", 20.5, 44, 20.5, 3}, {"diagonal", 3, 3, 43, 43},
        {"shallow, right to left", 45, 30.25, 2, 17.7}, {"steep", 11.3, 2, 30.9, 46},
        {"short", 10.2, 10.2, 13.1, 11.4},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszName);
        Canvas ours, theirs;
        DrawHairlineSegment(ours.Hairlines(), kBlack, c.dX0, c.dY0, c.dX1, c.dY1);
        cairo_set_line_width(theirs.Cairo(), 1.0);
        cairo_move_to(theirs.Cairo(), c.dX0, c.dY0);
        cairo_line_to(theirs.Cairo(), c.dX1, c.dY1);
        cairo_stroke(theirs.Cairo());
        // Wu's method inks one pixel's worth per step along the major axis,
        // a one-pixel band up to the square root of 2 more on diagonals.
        double dOurX, dOurY, dTheirX, dTheirY;
        const double dRatio = ours.InkCentre(&dOurX, &dOurY) / theirs.InkCentre(&dTheirX, &dTheirY);
        EXPECT_GT(dRatio, 0.69);
        EXPECT_LT(dRatio, 1.05);
        EXPECT_NEAR(dOurX, dTheirX, 0.2);
        EXPECT_NEAR(dOurY, dTheirY, 0.2);
    }
}

TEST(Hairline, LinesOnPixelCentresAndEdgesAreExact) {
    Canvas canvas;
    DrawHairlineSegment(canvas.Hairlines(), kBlack, 2, 5.5, 12, 5.5);
    DrawHairlineSegment(canvas.Hairlines(), kBlack, 2, 20, 12, 20);
    const std::string sFull = "..##########" + std::string(kSize - 12, '.');
    EXPECT_EQ(canvas.Row(4), std::string(kSize, '.'));
    EXPECT_EQ(canvas.Row(5), sFull);
    EXPECT_EQ(canvas.Row(6), std::string(kSize, '.'));
    // On the edge between rows 19 and 20 each row gets half.
    for (int y : {19, 20}) {
        EXPECT_NEAR(canvas.Ink(2, y), 0.5, 0.01);
        EXPECT_NEAR(canvas.Ink(11, y), 0.5, 0.01);
        EXPECT_EQ(canvas.Ink(12, y), 0.0);
    }
}

TEST(Hairline, InkStaysInsideTheClipRectangle) {
    const struct { const char* pszName; double dX0, dY0, dX1, dY1; bool bInks; } kCases[] = {
        {"across", -5, 24.5, 60, 24.5, true}, {"from far away", -2e6, -2e6, 2e6, 2e6, true},
        {"steep through a corner", 9, -100, 30, 100, true}, {"outside on the left", 2, 0, 5, 47, false},
        {"along the clip's edge outside", 10, 8, 40, 8, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszName);
        Canvas canvas(10, 10, 38, 38);
        DrawHairlineSegment(canvas.Hairlines(), kBlack, c.dX0, c.dY0, c.dX1, c.dY1);
        double dInside = 0, dOutside = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                (x >= 10 && x < 38 && y >= 10 && y < 38 ? dInside : dOutside) += canvas.Ink(x, y);
        EXPECT_EQ(dOutside, 0.0);
        EXPECT_EQ(dInside > 1.0, c.bInks);
    }
}

TEST(Hairline, DashesRunOnAlongAPathAndRestartWithEachSubPath) {
    const double adPattern[] = {6, 3};
    const HairlineDash dash = {adPattern, 2};
    // Two segments of one sub-path on row 5, a second sub-path on row 9,
    // and the same picture under a clip that starts at x 13.
    const std::string sExpected = "######...######...######...######...######...###";
    for (int nClipLeft : {0, 13}) {
        SCOPED_TRACE(nClipLeft);
        Canvas canvas(nClipLeft, 0, kSize, kSize);
        cairo_move_to(canvas.Cairo(), 0, 5.5);
        cairo_line_to(canvas.Cairo(), 16, 5.5);
        cairo_line_to(canvas.Cairo(), 48, 5.5);
        cairo_move_to(canvas.Cairo(), 0, 9.5);
        cairo_line_to(canvas.Cairo(), 48, 9.5);
        StrokeHairlines(canvas.Cairo(), canvas.Hairlines(), kBlack, dash);
        EXPECT_FALSE(cairo_has_current_point(canvas.Cairo()));
        for (int y : {5, 9})
            EXPECT_EQ(canvas.Row(y), std::string(size_t(nClipLeft), '.') + sExpected.substr(size_t(nClipLeft)));
    }
}

TEST(Hairline, BlendsByCoverageInTheHostsColour) {
    Canvas canvas;
    DrawHairlineSegment(canvas.Hairlines(), 0x0000FF, 2, 5.5, 12, 5.5);  // red, full
    DrawHairlineSegment(canvas.Hairlines(), 0xFF0000, 2, 20, 12, 20);    // blue, halves
    EXPECT_EQ(canvas.Pixel(5, 5), 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(5, 19), 0x8080FFu);
    EXPECT_EQ(canvas.Pixel(5, 20), 0x8080FFu);
}

TEST(Hairline, OnlyAnUntransformedRgbImageIsACanvas) {
    HairlineCanvas canvas;
    cairo_surface_t* pArgb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* pCairo = cairo_create(pArgb);
    EXPECT_FALSE(GetHairlineCanvas(pCairo, &canvas));
    cairo_destroy(pCairo);
    cairo_surface_destroy(pArgb);
    Canvas rgb;
    cairo_scale(rgb.Cairo(), 2, 2);
    EXPECT_FALSE(GetHairlineCanvas(rgb.Cairo(), &canvas));
}

}  // namespace
