// drawmap.h - the map from drawing coordinates (y growing upwards) to device
// coordinates of a viewport (y growing downwards, north up).
//
// Each axis is stretched on its own so that the drawing's box fills the
// viewport. Objects are mapped point by point rather than through a cairo
// matrix, so that a degenerate scale can never put cairo into an error state
// and pen widths, hatch spacing and markers stay in device pixels.
#ifndef HOST_DRAW_DRAWMAP_H
#define HOST_DRAW_DRAWMAP_H

#include "hostapi.h"

// Device coordinates beyond this distance from the origin are out of reach:
// cairo keeps coordinates in 24.8 fixed point (about +-8.4 million), and a
// centre plus a radius, or a corner plus a pen width, must still fit.
constexpr double kDeviceLimit = 2097152.0;

struct DrawMap {
    double dBoxCenterX;     // centre of the drawing's box, drawing units
    double dBoxCenterY;
    double dViewCenterX;    // centre of the viewport, device pixels
    double dViewCenterY;
    double dScaleX;         // device pixels per drawing unit
    double dScaleY;
};

struct DevicePoint {
    double dX;
    double dY;
};

// Builds the map of the box pMin..pMax (corners in any order) onto the
// viewport. A box of zero (or non-finite) width takes the scale of its
// height and the reverse; with neither, the scale is 1. A flat axis is
// centred in the viewport.
DrawMap MakeDrawMap(const tagRECT& rcViewport, const _VECTORPOINT& ptMin,
                    const _VECTORPOINT& ptMax);

// Maps a drawing point to the device. Returns false when the result is not
// finite or out of the device's reach.
bool MapPoint(const DrawMap& map, double dX, double dY, DevicePoint* pDevice);

// Maps the length |dLength| along an axis of the given scale. Returns false
// when the result is not finite or out of the device's reach.
bool MapLength(double dLength, double dScale, double* pdDevice);

#endif  // HOST_DRAW_DRAWMAP_H
