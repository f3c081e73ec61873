// drawhairline.h - one-pixel pens drawn straight into an RGB image.
//
// Cairo strokes every outline by building the polygon of the pen's path and
// scan-converting it, which costs far more than the few pixels a one-pixel
// line covers. A pen of width 1 on an RGB image surface is therefore drawn
// here instead: each segment of the flattened path by Wu's anti-aliased line
// method (coverage split between the two pixels nearest the line in each
// column or row), dashed with the same pattern lengths cairo would use,
// clipped to the clip rectangle, and blended over the pixels already there.
// Pixel centres sit at half-integer device coordinates, as in cairo.
#ifndef HOST_DRAW_DRAWHAIRLINE_H
#define HOST_DRAW_DRAWHAIRLINE_H

#include <cairo.h>

#include <cstdint>

// Where hairlines go: the pixels of an RGB24 image, where the pixel at
// device (x, y) is at row y + nOffsetY and column x + nOffsetX (the
// surface's device offset), and the clip rectangle (device pixels, right
// and bottom exclusive, inside the image).
struct HairlineCanvas {
    uint32_t* pPixels;
    int32_t nStridePixels;
    int32_t nOffsetX;
    int32_t nOffsetY;
    int32_t nLeft;
    int32_t nTop;
    int32_t nRight;
    int32_t nBottom;
};

// A dash pattern in device pixels: on, off, on, off, ... (an even count;
// nCount 0: solid).
struct HairlineDash {
    const double* pdLengths;
    int32_t nCount;
};

// Fills the canvas for the cairo context when its target is an RGB24 image
// surface painted without a transformation; false otherwise (the caller
// strokes through cairo then).
bool GetHairlineCanvas(cairo_t* pCairo, HairlineCanvas* pCanvas);

// Draws the context's current path (curves flattened by cairo) in the colour
// (host value, red in the lowest byte) and clears the path. The pattern
// starts afresh at each sub-path, as cairo's does.
void StrokeHairlines(cairo_t* pCairo, const HairlineCanvas& canvas, uint32_t crColor,
                     const HairlineDash& dash);

// Draws one segment from (dX0, dY0) to (dX1, dY1); exposed for tests.
void DrawHairlineSegment(const HairlineCanvas& canvas, uint32_t crColor, double dX0,
                         double dY0, double dX1, double dY1);

#endif  // HOST_DRAW_DRAWHAIRLINE_H
