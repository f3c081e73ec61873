// vectorgeometry.cpp - exact extents of the stored objects and the page
// size of a drawing for a requested raster size.
#include "vectorgeometry.h"

#include <math.h>

namespace {

constexpr int32_t kMaxPageSide = 65535;
constexpr double kPi = 3.14159265358979323846;

// Folds one value into a bound pair. fmin and fmax let a NaN give way.
void FoldValue(const ExtentFold& fold, bool* pHas, double* pMin, double* pMax, double dValue) {
    if (fold.bFiniteOnly && !isfinite(dValue))
        return;
    if (!*pHas) {
        *pHas = true;
        *pMin = dValue;
        *pMax = dValue;
        return;
    }
    *pMin = fmin(*pMin, dValue);
    *pMax = fmax(*pMax, dValue);
}

void FoldPoint(ExtentFold* pFold, double dX, double dY) {
    FoldX(pFold, dX);
    FoldY(pFold, dY);
}

// Cosine and sine of an angle in degrees, exact at the multiples of 90.
void DegreeCosSin(double dDegrees, double* pCos, double* pSin) {
    double dReduced = fmod(dDegrees, 360.0);
    if (fmod(dReduced, 90.0) == 0.0) {
        static const double adCos[4] = {1, 0, -1, 0};
        static const double adSin[4] = {0, 1, 0, -1};
        int nQuadrant = ((int)(dReduced / 90.0) % 4 + 4) % 4;
        *pCos = adCos[nQuadrant];
        *pSin = adSin[nQuadrant];
        return;
    }
    double dRadians = dReduced * (kPi / 180.0);
    *pCos = cos(dRadians);
    *pSin = sin(dRadians);
}

void FoldEllipsePoint(ExtentFold* pFold, double dX, double dY, double dRadiusX,
                      double dRadiusY, double dDegrees) {
    double dCos, dSin;
    DegreeCosSin(dDegrees, &dCos, &dSin);
    FoldPoint(pFold, dX + dRadiusX * dCos, dY + dRadiusY * dSin);
}

int32_t ClampPageSide(double dSide) {
    if (!(dSide >= 1.0))
        return 1;
    if (dSide >= kMaxPageSide)
        return kMaxPageSide;
    return (int32_t)floor(dSide + 0.5);
}

}  // namespace

ExtentFold EmptyFold(bool bFiniteOnly) {
    ExtentFold fold = {bFiniteOnly, false, false, 0, 0, 0, 0};
    return fold;
}

void FoldX(ExtentFold* pFold, double dX) {
    FoldValue(*pFold, &pFold->bHasX, &pFold->dMinX, &pFold->dMaxX, dX);
}

void FoldY(ExtentFold* pFold, double dY) {
    FoldValue(*pFold, &pFold->bHasY, &pFold->dMinY, &pFold->dMaxY, dY);
}

void FoldEllipse(ExtentFold* pFold, double dX, double dY, double dRadiusX, double dRadiusY) {
    FoldPoint(pFold, dX - fabs(dRadiusX), dY - fabs(dRadiusY));
    FoldPoint(pFold, dX + fabs(dRadiusX), dY + fabs(dRadiusY));
}

void FoldArc(ExtentFold* pFold, double dX, double dY, double dRadiusX, double dRadiusY,
             double dStart, double dSweep) {
    if (!isfinite(dStart) || !isfinite(dSweep) || fabs(dSweep) >= 360.0) {
        FoldEllipse(pFold, dX, dY, dRadiusX, dRadiusY);
        return;
    }
    double dRx = fabs(dRadiusX);
    double dRy = fabs(dRadiusY);
    FoldEllipsePoint(pFold, dX, dY, dRx, dRy, dStart);
    FoldEllipsePoint(pFold, dX, dY, dRx, dRy, dStart + dSweep);

    // The axis points (multiples of 90 degrees) inside the swept range. The
    // range is moved by whole turns to start within one turn of 0, so that
    // the quadrant numbers stay small.
    double dFrom = fmod(dSweep >= 0 ? dStart : dStart + dSweep, 360.0);
    double dTo = dFrom + fabs(dSweep);
    for (int nQuadrant = (int)ceil(dFrom / 90.0); nQuadrant * 90.0 <= dTo; ++nQuadrant)
        FoldEllipsePoint(pFold, dX, dY, dRx, dRy, nQuadrant * 90.0);
}

void FoldTextBox(ExtentFold* pFold, double dX, double dY, double dCharWidth,
                 double dCharHeight, uint64_t nLongest, uint64_t nLines) {
    FoldPoint(pFold, dX, dY);
    FoldPoint(pFold, dX + fabs(dCharWidth) * (double)nLongest,
              dY - fabs(dCharHeight) * (double)nLines);
}

void FoldObject(const VectorDrawing& drawing, uint64_t nIndex, ExtentFold* pFold) {
    ObjectView view = ViewObject(drawing, nIndex);
    const double* adScalars = view.adScalars;
    // The first slot holds the centre or anchor of the one-point types.
    VectorSlot first = {0, 0};
    if (view.nPoints > 0)
        first = drawing.aSlots[view.nFirstSlot];
    switch (view.nType) {
    case VOBJ_VERTEX:
    case VOBJ_LINE:
    case VOBJ_RECTANGLE:
    case VOBJ_CURVEOPENED:
    case VOBJ_CURVECLOSED:
        drawing.aSlots.ForEachRun(view.nFirstSlot, view.nPoints,
                                  [&](const VectorSlot* pRun, uint64_t nRun) {
                                      for (uint64_t i = 0; i < nRun; ++i)
                                          FoldPoint(pFold, pRun[i].dA, pRun[i].dB);
                                  });
        break;
    case VOBJ_ELLIPSE:
        FoldEllipse(pFold, first.dA, first.dB, adScalars[0], adScalars[1]);
        break;
    case VOBJ_CIRCLE:
        FoldEllipse(pFold, first.dA, first.dB, adScalars[0], adScalars[0]);
        break;
    case VOBJ_ARC:
        FoldArc(pFold, first.dA, first.dB, adScalars[0], adScalars[0], adScalars[1], adScalars[2]);
        break;
    case VOBJ_ELLIPTICALARC:
        FoldArc(pFold, first.dA, first.dB, adScalars[0], adScalars[1], adScalars[2], adScalars[3]);
        break;
    case VOBJ_TEXTA: {
        uint64_t nLines, nLongest;
        MeasureText(drawing, view, &nLines, &nLongest);
        FoldTextBox(pFold, first.dA, first.dB, adScalars[1], adScalars[0], nLongest, nLines);
        break;
    }
    default:
        break;  // a bare head has no geometry
    }
}

void FitPageSize(int32_t nMode, double dBoxWidth, double dBoxHeight, int32_t* pWidth,
                 int32_t* pHeight) {
    double dWidth = *pWidth;
    double dHeight = *pHeight;
    bool bBoxUsable = isfinite(dBoxWidth) && isfinite(dBoxHeight) && dBoxWidth > 0 &&
                      dBoxHeight > 0;
    if (bBoxUsable) {
        double dAspect = dBoxWidth / dBoxHeight;
        if (nMode == 0 && dWidth >= 1 && dHeight >= 1) {
            if (dWidth / dHeight > dAspect)
                dWidth = dHeight * dAspect;
            else
                dHeight = dWidth / dAspect;
        } else if (nMode == 2 && dWidth >= 1) {
            dHeight = dWidth / dAspect;
        } else if (nMode == 3 && dHeight >= 1) {
            dWidth = dHeight * dAspect;
        }
    }
    *pWidth = ClampPageSide(dWidth);
    *pHeight = ClampPageSide(dHeight);
}
