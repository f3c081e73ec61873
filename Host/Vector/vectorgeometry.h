// vectorgeometry.h - extents of stored objects and the page size of a
// drawing.
//
// Extents are exact boxes in drawing units (y up): points and corners as
// they are; ellipses and circles their centre plus and minus the radius;
// arcs the box of the arc itself; texts the box their character sizes
// describe from the anchor as its top-left corner. Radii count by their
// magnitude everywhere, so a box given right to left describes the same
// ellipse and the same arc.
#ifndef HOST_VECTOR_VECTORGEOMETRY_H
#define HOST_VECTOR_VECTORGEOMETRY_H

#include <stdint.h>

#include "vectorstore.h"

// A box being widened value by value. With bFiniteOnly, values that are not
// finite are passed over (the extents of a whole drawing); otherwise they
// are taken as they are, a NaN giving way to any other value.
struct ExtentFold {
    bool bFiniteOnly;
    bool bHasX;
    bool bHasY;
    double dMinX;
    double dMaxX;
    double dMinY;
    double dMaxY;
};

// A fold holding no value yet.
ExtentFold EmptyFold(bool bFiniteOnly);
void FoldX(ExtentFold* pFold, double dX);
void FoldY(ExtentFold* pFold, double dY);

// The full ellipse around (dX, dY) with radii dRadiusX, dRadiusY.
void FoldEllipse(ExtentFold* pFold, double dX, double dY, double dRadiusX, double dRadiusY);
// The arc of that ellipse from dStart over dSweep degrees (counter-clockwise
// for a positive sweep): its two end points and each axis point it passes.
// A sweep of 360 degrees or more, or an angle that is not finite, gives the
// full ellipse.
void FoldArc(ExtentFold* pFold, double dX, double dY, double dRadiusX, double dRadiusY,
             double dStart, double dSweep);
// The box of a text anchored at its top-left corner (dX, dY): nLongest
// characters of dCharWidth across, nLines lines of dCharHeight down.
void FoldTextBox(ExtentFold* pFold, double dX, double dY, double dCharWidth,
                 double dCharHeight, uint64_t nLongest, uint64_t nLines);

// Widens the fold by object nIndex of the drawing. A bare head adds nothing.
void FoldObject(const VectorDrawing& drawing, uint64_t nIndex, ExtentFold* pFold);

// The page size for a requested size (*pWidth x *pHeight) and a drawing
// whose box is dBoxWidth x dBoxHeight. Modes: 0 the largest page of the
// drawing's aspect inside the request; 2 the requested width, the height
// from the aspect; 3 the requested height, the width from the aspect; 1 and
// any other mode the requested size. A box that is not positive and finite,
// or a requested side that the mode needs and that is below 1, keeps the
// request. Results are rounded and held within 1 .. 65535.
void FitPageSize(int32_t nMode, double dBoxWidth, double dBoxHeight, int32_t* pWidth,
                 int32_t* pHeight);

#endif  // HOST_VECTOR_VECTORGEOMETRY_H
