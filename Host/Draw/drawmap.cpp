// drawmap.cpp - builds the drawing-to-device map of a viewport and maps
// points and lengths through it, refusing results cairo could not hold.
#include "drawmap.h"

#include <cmath>

namespace {

// One axis of the drawing's box, as centre and half size. Half sizes are
// taken from halved corners so that far-apart corners cannot overflow.
struct BoxAxis {
    double dCenter;
    double dHalf;
};

BoxAxis MakeBoxAxis(double dA, double dB) {
    if (!std::isfinite(dA) || !std::isfinite(dB))
        return {0.0, 0.0};
    return {dA / 2 + dB / 2, std::fabs(dB / 2 - dA / 2)};
}

// Device pixels per drawing unit, or 0 when the box gives this axis no
// usable scale (flat, or too thin to divide by).
double AxisScale(double dViewHalf, double dBoxHalf) {
    if (!(dBoxHalf > 0))
        return 0.0;
    double dScale = dViewHalf / dBoxHalf;
    return std::isfinite(dScale) ? dScale : 0.0;
}

bool IsWithinReach(double dValue) {
    return std::isfinite(dValue) && std::fabs(dValue) <= kDeviceLimit;
}

}  // namespace

DrawMap MakeDrawMap(const tagRECT& rcViewport, const _VECTORPOINT& ptMin,
                    const _VECTORPOINT& ptMax) {
    BoxAxis axisX = MakeBoxAxis(ptMin.x, ptMax.x);
    BoxAxis axisY = MakeBoxAxis(ptMin.y, ptMax.y);
    double dLeft = rcViewport.left, dRight = rcViewport.right;
    double dTop = rcViewport.top, dBottom = rcViewport.bottom;

    DrawMap map;
    map.dBoxCenterX = axisX.dCenter;
    map.dBoxCenterY = axisY.dCenter;
    map.dViewCenterX = (dLeft + dRight) / 2;
    map.dViewCenterY = (dTop + dBottom) / 2;
    map.dScaleX = AxisScale(std::fabs(dRight - dLeft) / 2, axisX.dHalf);
    map.dScaleY = AxisScale(std::fabs(dBottom - dTop) / 2, axisY.dHalf);
    // A flat axis borrows the other's scale, so that a purely horizontal or
    // vertical drawing keeps its proportions; with no scale at all, 1.
    if (map.dScaleX == 0)
        map.dScaleX = map.dScaleY != 0 ? map.dScaleY : 1.0;
    if (map.dScaleY == 0)
        map.dScaleY = map.dScaleX;
    return map;
}

bool MapPoint(const DrawMap& map, double dX, double dY, DevicePoint* pDevice) {
    pDevice->dX = map.dViewCenterX + (dX - map.dBoxCenterX) * map.dScaleX;
    pDevice->dY = map.dViewCenterY - (dY - map.dBoxCenterY) * map.dScaleY;
    return IsWithinReach(pDevice->dX) && IsWithinReach(pDevice->dY);
}

bool MapLength(double dLength, double dScale, double* pdDevice) {
    *pdDevice = std::fabs(dLength) * dScale;
    return IsWithinReach(*pdDevice);
}
