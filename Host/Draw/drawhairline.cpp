// drawhairline.cpp - one-pixel pens by Wu's anti-aliased line method,
// dashed and clipped, blended into an RGB24 image (see drawhairline.h).
#include "drawhairline.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

struct Segment {
    double dX0, dY0, dX1, dY1;
};

// Cuts the segment to the box (Liang-Barsky); false when nothing is left.
// On success dT0 <= dT1 are the parameters of the part inside.
bool ClipToBox(const Segment& seg, double dLeft, double dTop, double dRight, double dBottom,
               double* pdT0, double* pdT1) {
    const double dDX = seg.dX1 - seg.dX0, dDY = seg.dY1 - seg.dY0;
    const double adP[4] = {-dDX, dDX, -dDY, dDY};
    const double adQ[4] = {seg.dX0 - dLeft, dRight - seg.dX0, seg.dY0 - dTop, dBottom - seg.dY0};
    double dT0 = 0.0, dT1 = 1.0;
    for (int k = 0; k < 4; ++k) {
        if (adP[k] == 0.0) {
            if (adQ[k] < 0.0)
                return false;
            continue;
        }
        const double dR = adQ[k] / adP[k];
        if (adP[k] < 0.0)
            dT0 = std::max(dT0, dR);
        else
            dT1 = std::min(dT1, dR);
        if (dT0 > dT1)
            return false;
    }
    *pdT0 = dT0;
    *pdT1 = dT1;
    return true;
}

Segment PartOf(const Segment& seg, double dT0, double dT1) {
    const double dDX = seg.dX1 - seg.dX0, dDY = seg.dY1 - seg.dY0;
    return {seg.dX0 + dT0 * dDX, seg.dY0 + dT0 * dDY, seg.dX0 + dT1 * dDX, seg.dY0 + dT1 * dDY};
}

// Blends the colour over one pixel with coverage dCoverage (0..1); pixels
// outside the clip rectangle are left alone. nX, nY are pixel indices.
inline void BlendPixel(const HairlineCanvas& canvas, uint32_t crColor, int64_t nX, int64_t nY,
                       double dCoverage) {
    if (nX < canvas.nLeft || nX >= canvas.nRight || nY < canvas.nTop || nY >= canvas.nBottom)
        return;
    const int32_t nAlpha = int32_t(dCoverage * 256.0 + 0.5);
    if (nAlpha <= 0)
        return;
    uint32_t& nPixel =
        canvas.pPixels[(nY + canvas.nOffsetY) * canvas.nStridePixels + nX + canvas.nOffsetX];
    // Host colours keep red in the lowest byte, RGB24 pixels in bits 16-23.
    const int32_t anSource[3] = {int32_t(crColor & 0xFF), int32_t((crColor >> 8) & 0xFF),
                                 int32_t((crColor >> 16) & 0xFF)};
    uint32_t nResult = 0;
    for (int c = 0; c < 3; ++c) {
        const int nShift = 16 - 8 * c;
        const int32_t nDest = int32_t((nPixel >> nShift) & 0xFF);
        const int32_t nMixed = nAlpha >= 256 ? anSource[c]
                                             : nDest + (((anSource[c] - nDest) * nAlpha + 128) >> 8);
        nResult |= uint32_t(nMixed) << nShift;
    }
    nPixel = nResult;
}

// Wu's method in pixel-centre coordinates, along the major axis: each step
// splits one unit of coverage between the two pixels nearest the line, and
// the end pixels get the share of the step the segment reaches into.
class WuLine {
public:
    WuLine(const HairlineCanvas& canvas, uint32_t crColor, bool bSteep)
        : m_canvas(canvas), m_crColor(crColor), m_bSteep(bSteep) {}

    void Draw(double dMajor0, double dMinor0, double dMajor1, double dMinor1) {
        if (dMajor0 > dMajor1) {
            std::swap(dMajor0, dMajor1);
            std::swap(dMinor0, dMinor1);
        }
        const double dLength = dMajor1 - dMajor0;
        const double dGradient = dLength > 0.0 ? (dMinor1 - dMinor0) / dLength : 0.0;
        // The steps (pixels) that hold the ends.
        const double dFirst = std::floor(dMajor0 + 0.5), dLast = std::floor(dMajor1 + 0.5);
        if (dFirst == dLast) {
            // Both ends in one step: coverage in proportion to the length.
            PlotPair(int64_t(dFirst), (dMinor0 + dMinor1) / 2, dLength);
            return;
        }
        PlotPair(int64_t(dFirst), dMinor0 + dGradient * (dFirst - dMajor0),
                 1.0 - (dMajor0 + 0.5 - std::floor(dMajor0 + 0.5)));
        PlotPair(int64_t(dLast), dMinor0 + dGradient * (dLast - dMajor0),
                 dMajor1 + 0.5 - std::floor(dMajor1 + 0.5));
        double dMinor = dMinor0 + dGradient * (dFirst + 1.0 - dMajor0);
        for (int64_t n = int64_t(dFirst) + 1; n < int64_t(dLast); ++n, dMinor += dGradient)
            PlotPair(n, dMinor, 1.0);
    }

private:
    void PlotPair(int64_t nMajor, double dMinor, double dShare) {
        const double dFloor = std::floor(dMinor);
        const double dFraction = dMinor - dFloor;
        Plot(nMajor, int64_t(dFloor), (1.0 - dFraction) * dShare);
        Plot(nMajor, int64_t(dFloor) + 1, dFraction * dShare);
    }

    void Plot(int64_t nMajor, int64_t nMinor, double dCoverage) {
        if (m_bSteep)
            BlendPixel(m_canvas, m_crColor, nMinor, nMajor, dCoverage);
        else
            BlendPixel(m_canvas, m_crColor, nMajor, nMinor, dCoverage);
    }

    const HairlineCanvas& m_canvas;
    uint32_t m_crColor;
    bool m_bSteep;
};

// Draws from one device point to another with the line's orientation
// chosen for this piece.
void DrawDevicePiece(const HairlineCanvas& canvas, uint32_t crColor, double dX0, double dY0,
                     double dX1, double dY1) {
    // Pixel centres sit at half-integer device coordinates.
    dX0 -= 0.5;
    dY0 -= 0.5;
    dX1 -= 0.5;
    dY1 -= 0.5;
    const bool bSteep = std::fabs(dY1 - dY0) > std::fabs(dX1 - dX0);
    WuLine line(canvas, crColor, bSteep);
    if (bSteep)
        line.Draw(dY0, dX0, dY1, dX1);
    else
        line.Draw(dX0, dY0, dX1, dY1);
}

// Where a dash pattern stands: the entry in use and how much of it is left.
class DashWalker {
public:
    explicit DashWalker(const HairlineDash& dash) : m_dash(dash) {
        double dPeriod = 0.0;
        for (int32_t i = 0; i < dash.nCount; ++i)
            dPeriod += std::max(0.0, dash.pdLengths[i]);
        m_dPeriod = dPeriod;
        Restart();
    }

    bool IsSolid() const { return m_dPeriod <= 0.0; }

    void Restart() {
        m_nIndex = 0;
        m_dLeft = IsSolid() ? 0.0 : std::max(0.0, m_dash.pdLengths[0]);
    }

    // Moves along the pattern without drawing.
    void Skip(double dDistance) {
        if (!IsSolid())
            Walk(nullptr, 0, {0, 0, 0, 0}, std::fmod(dDistance, m_dPeriod));
    }

    // Moves dDistance along the pattern; with a canvas, draws the "on" parts
    // of the segment (of that length) as it goes.
    void Walk(const HairlineCanvas* pCanvas, uint32_t crColor, const Segment& seg, double dDistance) {
        const double dUnitX = dDistance > 0.0 ? (seg.dX1 - seg.dX0) / dDistance : 0.0;
        const double dUnitY = dDistance > 0.0 ? (seg.dY1 - seg.dY0) / dDistance : 0.0;
        double dDone = 0.0;
        while (dDone < dDistance) {
            const double dTake = std::min(m_dLeft, dDistance - dDone);
            if (pCanvas != nullptr && m_nIndex % 2 == 0 && dTake > 0.0)
                DrawDevicePiece(*pCanvas, crColor, seg.dX0 + dUnitX * dDone, seg.dY0 + dUnitY * dDone,
                                seg.dX0 + dUnitX * (dDone + dTake), seg.dY0 + dUnitY * (dDone + dTake));
            dDone += dTake;
            m_dLeft -= dTake;
            if (m_dLeft <= 0.0) {
                m_nIndex = (m_nIndex + 1) % m_dash.nCount;
                m_dLeft = std::max(0.0, m_dash.pdLengths[m_nIndex]);
            }
        }
    }

private:
    const HairlineDash& m_dash;
    double m_dPeriod = 0.0;
    int32_t m_nIndex = 0;
    double m_dLeft = 0.0;
};

// Strokes one segment with the pattern, drawing only the part near the clip
// rectangle but moving the pattern along the whole length.
void StrokeSegment(const HairlineCanvas& canvas, uint32_t crColor, DashWalker* pDash,
                   const Segment& seg) {
    if (!std::isfinite(seg.dX0) || !std::isfinite(seg.dY0) || !std::isfinite(seg.dX1) ||
        !std::isfinite(seg.dY1))
        return;
    double dT0, dT1;
    const bool bVisible = ClipToBox(seg, canvas.nLeft - 1.0, canvas.nTop - 1.0,
                                    canvas.nRight + 1.0, canvas.nBottom + 1.0, &dT0, &dT1);
    if (pDash->IsSolid()) {
        if (bVisible) {
            const Segment part = PartOf(seg, dT0, dT1);
            DrawDevicePiece(canvas, crColor, part.dX0, part.dY0, part.dX1, part.dY1);
        }
        return;
    }
    // Device coordinates stay within a few million: no overflow to guard.
    const double dDX = seg.dX1 - seg.dX0, dDY = seg.dY1 - seg.dY0;
    const double dLength = std::sqrt(dDX * dDX + dDY * dDY);
    if (!(dLength > 0.0))
        return;
    if (!bVisible) {
        pDash->Skip(dLength);
        return;
    }
    pDash->Skip(dT0 * dLength);
    pDash->Walk(&canvas, crColor, PartOf(seg, dT0, dT1), (dT1 - dT0) * dLength);
    pDash->Skip((1.0 - dT1) * dLength);
}

}  // namespace

bool GetHairlineCanvas(cairo_t* pCairo, HairlineCanvas* pCanvas) {
    cairo_surface_t* pSurface = cairo_get_target(pCairo);
    if (cairo_surface_get_type(pSurface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(pSurface) != CAIRO_FORMAT_RGB24)
        return false;
    cairo_matrix_t matrix;
    cairo_get_matrix(pCairo, &matrix);
    if (matrix.xx != 1.0 || matrix.yx != 0.0 || matrix.xy != 0.0 || matrix.yy != 1.0 ||
        matrix.x0 != 0.0 || matrix.y0 != 0.0)
        return false;
    double dOffsetX, dOffsetY;
    cairo_surface_get_device_offset(pSurface, &dOffsetX, &dOffsetY);
    if (dOffsetX != std::trunc(dOffsetX) || dOffsetY != std::trunc(dOffsetY))
        return false;
    double dX1, dY1, dX2, dY2;
    cairo_clip_extents(pCairo, &dX1, &dY1, &dX2, &dY2);
    // The image's own rectangle in device coordinates.
    const double dLeft = -dOffsetX, dTop = -dOffsetY;
    const double dRight = dLeft + cairo_image_surface_get_width(pSurface);
    const double dBottom = dTop + cairo_image_surface_get_height(pSurface);
    cairo_surface_flush(pSurface);
    pCanvas->pPixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(pSurface));
    pCanvas->nStridePixels = cairo_image_surface_get_stride(pSurface) / 4;
    pCanvas->nOffsetX = int32_t(dOffsetX);
    pCanvas->nOffsetY = int32_t(dOffsetY);
    pCanvas->nLeft = int32_t(std::clamp(std::ceil(dX1), dLeft, dRight));
    pCanvas->nTop = int32_t(std::clamp(std::ceil(dY1), dTop, dBottom));
    pCanvas->nRight = int32_t(std::clamp(std::floor(dX2), dLeft, dRight));
    pCanvas->nBottom = int32_t(std::clamp(std::floor(dY2), dTop, dBottom));
    return pCanvas->pPixels != nullptr;
}

void DrawHairlineSegment(const HairlineCanvas& canvas, uint32_t crColor, double dX0,
                         double dY0, double dX1, double dY1) {
    const HairlineDash solid = {nullptr, 0};
    DashWalker dash(solid);
    StrokeSegment(canvas, crColor, &dash, {dX0, dY0, dX1, dY1});
}

void StrokeHairlines(cairo_t* pCairo, const HairlineCanvas& canvas, uint32_t crColor,
                     const HairlineDash& dash) {
    cairo_path_t* pPath = cairo_copy_path_flat(pCairo);
    if (pPath->status != CAIRO_STATUS_SUCCESS) {
        cairo_path_destroy(pPath);
        return;
    }
    DashWalker walker(dash);
    double dStartX = 0, dStartY = 0, dX = 0, dY = 0;
    for (int i = 0; i < pPath->num_data; i += pPath->data[i].header.length) {
        const cairo_path_data_t* pData = &pPath->data[i];
        switch (pData->header.type) {
        case CAIRO_PATH_MOVE_TO:
            dStartX = dX = pData[1].point.x;
            dStartY = dY = pData[1].point.y;
            walker.Restart();
            break;
        case CAIRO_PATH_LINE_TO:
            StrokeSegment(canvas, crColor, &walker, {dX, dY, pData[1].point.x, pData[1].point.y});
            dX = pData[1].point.x;
            dY = pData[1].point.y;
            break;
        case CAIRO_PATH_CLOSE_PATH:
            StrokeSegment(canvas, crColor, &walker, {dX, dY, dStartX, dStartY});
            dX = dStartX;
            dY = dStartY;
            break;
        case CAIRO_PATH_CURVE_TO:  // not in a flattened path
            break;
        }
    }
    cairo_path_destroy(pPath);
    cairo_new_path(pCairo);
    cairo_surface_mark_dirty(cairo_get_target(pCairo));
}
