// drawobject.cpp - turns the geometry of each vector-kernel object (vertex,
// line, rectangle, open and closed curve, ellipse, circle, arcs) into a cairo
// path in device space, then fills it with the object's brush and strokes it
// with its pen. Texts are handed to the text painter.
#include "drawobject.h"

#include <algorithm>
#include <cmath>

#include "drawstyle.h"
#include "drawtext.h"

namespace {

constexpr double kMarkerRadius = 3.0;   // device pixels of a vertex's marker
constexpr double kPi = 3.14159265358979323846;

cairo_fill_rule_t GetFillRule(int32_t nFillMode) {
    return nFillMode == 1 ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD;
}

// Adds the points as one connected path, closed when asked. Returns false,
// with a partial path, when a point cannot be mapped.
bool AppendPolyline(cairo_t* pCairo, const DrawMap& map,
                    const _VECTORPOINT* pPoints, int32_t nPoints, bool bClose) {
    if (pPoints == nullptr || nPoints <= 0)
        return false;
    for (int32_t i = 0; i < nPoints; ++i) {
        DevicePoint pt;
        if (!MapPoint(map, pPoints[i].x, pPoints[i].y, &pt))
            return false;
        if (i == 0)
            cairo_move_to(pCairo, pt.dX, pt.dY);
        else
            cairo_line_to(pCairo, pt.dX, pt.dY);
    }
    if (bClose)
        cairo_close_path(pCairo);
    return true;
}

// An axis-parallel ellipse in device space: its centre and radii.
struct DeviceEllipse {
    DevicePoint ptCenter;
    double dRadiusX;
    double dRadiusY;
};

bool MapEllipse(const DrawMap& map, const _VECTORPOINT& ptCenter,
                double dRadiusX, double dRadiusY, DeviceEllipse* pEllipse) {
    return MapPoint(map, ptCenter.x, ptCenter.y, &pEllipse->ptCenter) &&
           MapLength(dRadiusX, map.dScaleX, &pEllipse->dRadiusX) &&
           MapLength(dRadiusY, map.dScaleY, &pEllipse->dRadiusY);
}

// The point at angle t (radians, counter-clockwise in the drawing, whose y
// grows upwards) and the derivative there, both in device space.
DevicePoint EllipsePoint(const DeviceEllipse& ellipse, double dAngle) {
    return {ellipse.ptCenter.dX + ellipse.dRadiusX * std::cos(dAngle),
            ellipse.ptCenter.dY - ellipse.dRadiusY * std::sin(dAngle)};
}

DevicePoint EllipseTangent(const DeviceEllipse& ellipse, double dAngle) {
    return {-ellipse.dRadiusX * std::sin(dAngle), -ellipse.dRadiusY * std::cos(dAngle)};
}

// Adds the arc from dStart over dSweep degrees (negative: clockwise) as
// cubic Bezier pieces of at most a quarter turn each. A sweep beyond a full
// turn draws the full turn. Built without a scaling matrix, so that a radius
// of 0 gives a flat path instead of a singular matrix.
bool AppendEllipticalArc(cairo_t* pCairo, const DeviceEllipse& ellipse,
                         double dStartDegrees, double dSweepDegrees) {
    if (!std::isfinite(dStartDegrees) || !std::isfinite(dSweepDegrees))
        return false;
    double dStart = std::fmod(dStartDegrees, 360.0) * kPi / 180.0;
    double dSweep = std::clamp(dSweepDegrees, -360.0, 360.0) * kPi / 180.0;
    int nPieces = std::max(1, static_cast<int>(std::ceil(std::fabs(dSweep) / (kPi / 2))));
    double dStep = dSweep / nPieces;
    double dHandle = 4.0 / 3.0 * std::tan(dStep / 4);

    DevicePoint ptFrom = EllipsePoint(ellipse, dStart);
    cairo_move_to(pCairo, ptFrom.dX, ptFrom.dY);
    for (int i = 1; i <= nPieces; ++i) {
        double dFrom = dStart + (i - 1) * dStep, dTo = dStart + i * dStep;
        DevicePoint tanFrom = EllipseTangent(ellipse, dFrom);
        DevicePoint tanTo = EllipseTangent(ellipse, dTo);
        DevicePoint ptTo = EllipsePoint(ellipse, dTo);
        cairo_curve_to(pCairo, ptFrom.dX + dHandle * tanFrom.dX, ptFrom.dY + dHandle * tanFrom.dY,
                       ptTo.dX - dHandle * tanTo.dX, ptTo.dY - dHandle * tanTo.dY,
                       ptTo.dX, ptTo.dY);
        ptFrom = ptTo;
    }
    return true;
}

// Fills and outlines the current path, or drops it when building failed.
void FinishClosedShape(cairo_t* pCairo, bool bBuilt, const _VECTORPEN& pen,
                       const _VECTORBRUSH& brush, cairo_fill_rule_t nFillRule) {
    if (!bBuilt) {
        cairo_new_path(pCairo);
        return;
    }
    FillWithBrush(pCairo, brush, nFillRule);
    StrokeWithPen(pCairo, pen);
}

void FinishOpenShape(cairo_t* pCairo, bool bBuilt, const _VECTORPEN& pen) {
    if (bBuilt)
        StrokeWithPen(pCairo, pen);
    else
        cairo_new_path(pCairo);
}

void PaintVertex(cairo_t* pCairo, const DrawMap& map, const _VECTORVERTEX& vertex) {
    DevicePoint pt;
    if (!MapPoint(map, vertex.pt.x, vertex.pt.y, &pt))
        return;
    cairo_arc(pCairo, pt.dX, pt.dY, kMarkerRadius, 0, 2 * kPi);
    SetSourceColor(pCairo, vertex.pen.crColor);
    cairo_fill(pCairo);
}

void PaintLine(cairo_t* pCairo, const DrawMap& map, const _VECTORLINE& line) {
    const _VECTORPOINT aPoints[2] = {line.pt1, line.pt2};
    FinishOpenShape(pCairo, AppendPolyline(pCairo, map, aPoints, 2, false), line.pen);
}

void PaintRectangle(cairo_t* pCairo, const DrawMap& map, const _VECTORRECTANGLE& rect) {
    DevicePoint pt1, pt2;
    bool bBuilt = MapPoint(map, rect.pt1.x, rect.pt1.y, &pt1) &&
                  MapPoint(map, rect.pt2.x, rect.pt2.y, &pt2);
    if (bBuilt)
        cairo_rectangle(pCairo, std::min(pt1.dX, pt2.dX), std::min(pt1.dY, pt2.dY),
                        std::fabs(pt2.dX - pt1.dX), std::fabs(pt2.dY - pt1.dY));
    FinishClosedShape(pCairo, bBuilt, rect.pen, rect.brush, CAIRO_FILL_RULE_WINDING);
}

void PaintCurveOpened(cairo_t* pCairo, const DrawMap& map, const _VECTORCURVEOPENED& curve) {
    FinishOpenShape(pCairo, AppendPolyline(pCairo, map, curve.pPoints, curve.nPoints, false),
                    curve.pen);
}

void PaintCurveClosed(cairo_t* pCairo, const DrawMap& map, const _VECTORCURVECLOSED& curve) {
    bool bBuilt = AppendPolyline(pCairo, map, curve.pPoints, curve.nPoints, true);
    FinishClosedShape(pCairo, bBuilt, curve.pen, curve.brush, GetFillRule(curve.nFillMode));
}

void PaintFullEllipse(cairo_t* pCairo, const DrawMap& map, const _VECTORPOINT& ptCenter,
                      double dRadiusX, double dRadiusY, const _VECTORPEN& pen,
                      const _VECTORBRUSH& brush) {
    DeviceEllipse ellipse;
    bool bBuilt = MapEllipse(map, ptCenter, dRadiusX, dRadiusY, &ellipse) &&
                  AppendEllipticalArc(pCairo, ellipse, 0, 360);
    if (bBuilt)
        cairo_close_path(pCairo);
    FinishClosedShape(pCairo, bBuilt, pen, brush, CAIRO_FILL_RULE_WINDING);
}

void PaintArc(cairo_t* pCairo, const DrawMap& map, const _VECTORPOINT& ptCenter,
              double dRadiusX, double dRadiusY, double dStart, double dSweep,
              const _VECTORPEN& pen) {
    DeviceEllipse ellipse;
    bool bBuilt = MapEllipse(map, ptCenter, dRadiusX, dRadiusY, &ellipse) &&
                  AppendEllipticalArc(pCairo, ellipse, dStart, dSweep);
    FinishOpenShape(pCairo, bBuilt, pen);
}

// The smallest and largest device y seen so far.
struct RowSpan {
    double dTop = 1e300;
    double dBottom = -1e300;

    bool AddPoint(const DrawMap& map, const _VECTORPOINT& pt) {
        DevicePoint device;
        if (!MapPoint(map, pt.x, pt.y, &device))
            return false;
        dTop = std::min(dTop, device.dY);
        dBottom = std::max(dBottom, device.dY);
        return true;
    }

    bool AddPoints(const DrawMap& map, const _VECTORPOINT* pPoints, int32_t nPoints) {
        if (pPoints == nullptr || nPoints <= 0)
            return false;
        for (int32_t i = 0; i < nPoints; ++i)
            if (!AddPoint(map, pPoints[i]))
                return false;
        return true;
    }

    // A centre and a radius along y, in drawing units.
    bool AddRound(const DrawMap& map, const _VECTORPOINT& ptCenter, double dRadiusY) {
        double dReach;
        if (!AddPoint(map, ptCenter) || !MapLength(dRadiusY, map.dScaleY, &dReach))
            return false;
        dTop -= dReach;
        dBottom += dReach;
        return true;
    }
};

// The record as its type, with its pen handed out.
template <typename Record>
const Record& WithPen(const void* pRecord, const _VECTORPEN** ppPen) {
    const auto& record = *static_cast<const Record*>(pRecord);
    *ppPen = &record.pen;
    return record;
}

bool SpanRecord(const DrawMap& map, uint32_t nType, const void* pRecord, RowSpan* pSpan,
                const _VECTORPEN** ppPen) {
    switch (nType) {
    case VOBJ_VERTEX: {
        // The marker reaches its radius around the point.
        const auto& vertex = WithPen<_VECTORVERTEX>(pRecord, ppPen);
        return pSpan->AddRound(map, vertex.pt, kMarkerRadius / std::fabs(map.dScaleY));
    }
    case VOBJ_LINE: {
        const auto& line = WithPen<_VECTORLINE>(pRecord, ppPen);
        return pSpan->AddPoint(map, line.pt1) && pSpan->AddPoint(map, line.pt2);
    }
    case VOBJ_RECTANGLE: {
        const auto& rect = WithPen<_VECTORRECTANGLE>(pRecord, ppPen);
        return pSpan->AddPoint(map, rect.pt1) && pSpan->AddPoint(map, rect.pt2);
    }
    case VOBJ_CURVEOPENED: {
        const auto& curve = WithPen<_VECTORCURVEOPENED>(pRecord, ppPen);
        return pSpan->AddPoints(map, curve.pPoints, curve.nPoints);
    }
    case VOBJ_CURVECLOSED: {
        const auto& curve = WithPen<_VECTORCURVECLOSED>(pRecord, ppPen);
        return pSpan->AddPoints(map, curve.pPoints, curve.nPoints);
    }
    case VOBJ_ELLIPSE: {
        const auto& ellipse = WithPen<_VECTORELLIPSE>(pRecord, ppPen);
        return pSpan->AddRound(map, ellipse.ptCenter, ellipse.dRadiusY);
    }
    case VOBJ_CIRCLE: {
        const auto& circle = WithPen<_VECTORCIRCLE>(pRecord, ppPen);
        return pSpan->AddRound(map, circle.ptCenter, circle.dRadius);
    }
    case VOBJ_ARC: {
        const auto& arc = WithPen<_VECTORARC>(pRecord, ppPen);
        return pSpan->AddRound(map, arc.ptCenter, arc.dRadius);
    }
    case VOBJ_ELLIPTICALARC: {
        const auto& arc = WithPen<_VECTORELLIPTICALARC>(pRecord, ppPen);
        return pSpan->AddRound(map, arc.ptCenter, arc.dRadiusY);
    }
    case VOBJ_TEXTA: {
        // The box lies within one height of the anchor; glyphs may reach
        // past it by about as much again.
        const auto& text = WithPen<_VECTORTEXTA>(pRecord, ppPen);
        return pSpan->AddRound(map, text.ptAnchor, 2 * text.dCharHeight);
    }
    default:
        return false;
    }
}

}  // namespace

bool GetObjectRowSpan(const DrawMap& map, uint32_t nType, const void* pRecord,
                      double* pdTop, double* pdBottom) {
    RowSpan span;
    const _VECTORPEN* pPen = nullptr;
    if (!SpanRecord(map, nType, pRecord, &span, &pPen))
        return false;
    // A miter join reaches out five pen widths at cairo's limit of 10; two
    // more pixels cover anti-aliasing.
    const double dMargin = 5 * GetPenWidth(*pPen) + 2;
    *pdTop = span.dTop - dMargin;
    *pdBottom = span.dBottom + dMargin;
    return true;
}

void PaintObject(cairo_t* pCairo, const DrawMap& map, uint32_t nType,
                 const void* pRecord) {
    switch (nType) {
    case VOBJ_VERTEX:
        PaintVertex(pCairo, map, *static_cast<const _VECTORVERTEX*>(pRecord));
        break;
    case VOBJ_LINE:
        PaintLine(pCairo, map, *static_cast<const _VECTORLINE*>(pRecord));
        break;
    case VOBJ_RECTANGLE:
        PaintRectangle(pCairo, map, *static_cast<const _VECTORRECTANGLE*>(pRecord));
        break;
    case VOBJ_CURVEOPENED:
        PaintCurveOpened(pCairo, map, *static_cast<const _VECTORCURVEOPENED*>(pRecord));
        break;
    case VOBJ_CURVECLOSED:
        PaintCurveClosed(pCairo, map, *static_cast<const _VECTORCURVECLOSED*>(pRecord));
        break;
    case VOBJ_ELLIPSE: {
        const auto& ellipse = *static_cast<const _VECTORELLIPSE*>(pRecord);
        PaintFullEllipse(pCairo, map, ellipse.ptCenter, ellipse.dRadiusX, ellipse.dRadiusY,
                         ellipse.pen, ellipse.brush);
        break;
    }
    case VOBJ_CIRCLE: {
        const auto& circle = *static_cast<const _VECTORCIRCLE*>(pRecord);
        PaintFullEllipse(pCairo, map, circle.ptCenter, circle.dRadius, circle.dRadius,
                         circle.pen, circle.brush);
        break;
    }
    case VOBJ_ARC: {
        const auto& arc = *static_cast<const _VECTORARC*>(pRecord);
        PaintArc(pCairo, map, arc.ptCenter, arc.dRadius, arc.dRadius, arc.dStartAngle,
                 arc.dSweep, arc.pen);
        break;
    }
    case VOBJ_ELLIPTICALARC: {
        const auto& arc = *static_cast<const _VECTORELLIPTICALARC*>(pRecord);
        PaintArc(pCairo, map, arc.ptCenter, arc.dRadiusX, arc.dRadiusY, arc.dStartAngle,
                 arc.dSweep, arc.pen);
        break;
    }
    case VOBJ_TEXTA:
        PaintText(pCairo, map, *static_cast<const _VECTORTEXTA*>(pRecord));
        break;
    default:
        break;
    }
}
