// drawstyle.cpp - strokes paths with vector-kernel pens (width, cap, join,
// dash pattern, colour) and fills them with brushes (solid, none, or one of
// the six hatch kinds on a device-space grid shared by every shape).
#include "drawstyle.h"

#include <cmath>

#include "drawhairline.h"

namespace {

constexpr double kHatchSpacing = 8.0;   // device pixels between hatch lines
constexpr double kMaxPenWidth = 1000.0; // wider nibs are taken as this wide

// Dash patterns of the pen styles, as on/off lengths in pen widths, so that
// a wide pen keeps the look of its pattern.
constexpr double kDash[] = {6, 3};
constexpr double kDot[] = {1, 2};
constexpr double kDashDot[] = {6, 3, 1, 3};
constexpr double kDashDotDot[] = {6, 3, 1, 3, 1, 3};
constexpr int kMaxDashes = 6;

enum BrushLook { BRUSH_LOOK_NONE, BRUSH_LOOK_SOLID, BRUSH_LOOK_HATCHED };

BrushLook GetBrushLook(const _VECTORBRUSH& brush) {
    if (brush.nKind != 0 || brush.nStyle == VBRUSH_SOLID)
        return BRUSH_LOOK_SOLID;
    if (brush.nStyle != VBRUSH_HATCHED)
        return BRUSH_LOOK_NONE;
    // An unknown hatch kind fills solid, as the host shows it.
    return brush.nHatch <= VHATCH_DIAGCROSS ? BRUSH_LOOK_HATCHED : BRUSH_LOOK_SOLID;
}

// Adds the lines nx * x + ny * y = c for c on the hatch grid that cross the
// box x1..x2, y1..y2; (nx, ny) is the lines' unit normal. The grid sits on
// pixel centres so that horizontal and vertical lines are one pixel sharp.
void AppendLineFamily(cairo_t* pCairo, double dNormalX, double dNormalY,
                      double dX1, double dY1, double dX2, double dY2) {
    double dCenterX = (dX1 + dX2) / 2, dCenterY = (dY1 + dY2) / 2;
    double dHalfLength = (dX2 - dX1) + (dY2 - dY1);
    double dCenter = dNormalX * dCenterX + dNormalY * dCenterY;
    double dReach = std::fabs(dNormalX) * (dX2 - dX1) / 2 +
                    std::fabs(dNormalY) * (dY2 - dY1) / 2;
    double dFirst = std::floor((dCenter - dReach) / kHatchSpacing) * kHatchSpacing + 0.5;
    for (double dLine = dFirst; dLine <= dCenter + dReach; dLine += kHatchSpacing) {
        double dFootX = dCenterX + (dLine - dCenter) * dNormalX;
        double dFootY = dCenterY + (dLine - dCenter) * dNormalY;
        cairo_move_to(pCairo, dFootX + dHalfLength * dNormalY, dFootY - dHalfLength * dNormalX);
        cairo_line_to(pCairo, dFootX - dHalfLength * dNormalY, dFootY + dHalfLength * dNormalX);
    }
}

void AppendHatchLines(cairo_t* pCairo, uint64_t nHatch, double dX1, double dY1,
                      double dX2, double dY2) {
    const double dDiagonal = std::sqrt(0.5);
    if (nHatch == VHATCH_HORIZONTAL || nHatch == VHATCH_CROSS)
        AppendLineFamily(pCairo, 0, 1, dX1, dY1, dX2, dY2);
    if (nHatch == VHATCH_VERTICAL || nHatch == VHATCH_CROSS)
        AppendLineFamily(pCairo, 1, 0, dX1, dY1, dX2, dY2);
    // Device y grows downwards: a line falling from left to right is
    // y - x = c, a rising one x + y = c.
    if (nHatch == VHATCH_FDIAGONAL || nHatch == VHATCH_DIAGCROSS)
        AppendLineFamily(pCairo, -dDiagonal, dDiagonal, dX1, dY1, dX2, dY2);
    if (nHatch == VHATCH_BDIAGONAL || nHatch == VHATCH_DIAGCROSS)
        AppendLineFamily(pCairo, dDiagonal, dDiagonal, dX1, dY1, dX2, dY2);
}

// Paints the hatch inside the current path and gives the path back for the
// outline (clipping consumes it).
void FillHatched(cairo_t* pCairo, const _VECTORBRUSH& brush) {
    cairo_path_t* pPath = cairo_copy_path(pCairo);
    cairo_save(pCairo);
    cairo_clip(pCairo);
    // A background of 0 leaves the shape transparent between the lines.
    if (brush.crBackground != 0) {
        SetSourceColor(pCairo, brush.crBackground);
        cairo_paint(pCairo);
    }
    double dX1, dY1, dX2, dY2;
    cairo_clip_extents(pCairo, &dX1, &dY1, &dX2, &dY2);
    AppendHatchLines(pCairo, brush.nHatch, dX1, dY1, dX2, dY2);
    cairo_set_line_width(pCairo, 1.0);
    cairo_set_dash(pCairo, nullptr, 0, 0);
    SetSourceColor(pCairo, brush.crColor);
    cairo_stroke(pCairo);
    cairo_restore(pCairo);
    cairo_append_path(pCairo, pPath);
    cairo_path_destroy(pPath);
}

bool DrawsLine(const _VECTORPEN& pen) {
    return pen.bSolidOverride != 0 || pen.nStyle != VPEN_NULL;
}

cairo_line_cap_t GetLineCap(int32_t nCap) {
    if (nCap == 1)
        return CAIRO_LINE_CAP_ROUND;
    return nCap == 2 ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t GetLineJoin(int32_t nJoin) {
    if (nJoin == 1)
        return CAIRO_LINE_JOIN_ROUND;
    return nJoin == 2 ? CAIRO_LINE_JOIN_BEVEL : CAIRO_LINE_JOIN_MITER;
}

// Fills adDashes with the dash pattern of the pen style in device pixels
// and returns its length; solid and unknown styles give 0 (a continuous
// line).
int GetPenDash(uint32_t nStyle, double dWidth, double adDashes[kMaxDashes]) {
    const double* pdPattern = nullptr;
    int nCount = 0;
    switch (nStyle) {
    case VPEN_DASH: pdPattern = kDash; nCount = 2; break;
    case VPEN_DOT: pdPattern = kDot; nCount = 2; break;
    case VPEN_DASHDOT: pdPattern = kDashDot; nCount = 4; break;
    case VPEN_DASHDOTDOT: pdPattern = kDashDotDot; nCount = 6; break;
    default: break;
    }
    for (int i = 0; i < nCount; ++i)
        adDashes[i] = pdPattern[i] * dWidth;
    return nCount;
}

}  // namespace

double GetPenWidth(const _VECTORPEN& pen) {
    if (pen.nWidth <= 0)
        return 1.0;
    return pen.nWidth < kMaxPenWidth ? pen.nWidth : kMaxPenWidth;
}

void SetSourceColor(cairo_t* pCairo, uint32_t crColor) {
    cairo_set_source_rgb(pCairo, (crColor & 0xFF) / 255.0,
                         ((crColor >> 8) & 0xFF) / 255.0,
                         ((crColor >> 16) & 0xFF) / 255.0);
}

void FillWithBrush(cairo_t* pCairo, const _VECTORBRUSH& brush,
                   cairo_fill_rule_t nFillRule) {
    cairo_set_fill_rule(pCairo, nFillRule);
    switch (GetBrushLook(brush)) {
    case BRUSH_LOOK_SOLID:
        SetSourceColor(pCairo, brush.crColor);
        cairo_fill_preserve(pCairo);
        break;
    case BRUSH_LOOK_HATCHED:
        FillHatched(pCairo, brush);
        break;
    case BRUSH_LOOK_NONE:
        break;
    }
}

void StrokeWithPen(cairo_t* pCairo, const _VECTORPEN& pen) {
    if (!DrawsLine(pen)) {
        cairo_new_path(pCairo);
        return;
    }
    double dWidth = GetPenWidth(pen);
    double adDashes[kMaxDashes];
    const int nDashes = GetPenDash(pen.bSolidOverride != 0 ? uint32_t(VPEN_SOLID) : pen.nStyle,
                                   dWidth, adDashes);
    // A one-pixel pen on an image is drawn directly: caps and joins do not
    // show at that width, and cairo's stroker costs many times more.
    HairlineCanvas canvas;
    if (dWidth == 1.0 && GetHairlineCanvas(pCairo, &canvas)) {
        StrokeHairlines(pCairo, canvas, pen.crColor, {adDashes, nDashes});
        return;
    }
    cairo_set_line_width(pCairo, dWidth);
    cairo_set_line_cap(pCairo, GetLineCap(pen.nCap));
    cairo_set_line_join(pCairo, GetLineJoin(pen.nJoin));
    cairo_set_dash(pCairo, adDashes, nDashes, 0);
    SetSourceColor(pCairo, pen.crColor);
    cairo_stroke(pCairo);
}
