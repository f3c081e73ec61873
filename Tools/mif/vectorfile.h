// vectorfile.h - "mif render" into an SVG or PDF file.
//
// The raster load of the filter draws into a work bitmap of its own, so it
// cannot paint onto a vector surface. For SVG and PDF the host draws the
// drawing itself: a vector load into its own drawing, then Z_VecDraw over a
// drawing-engine context that cairo backs with an SVG or PDF surface. The
// viewport is the requested size in points, as the PNG's is in pixels, so
// both show the same picture; texts stay text and lines stay lines.
#ifndef TOOLS_MIF_VECTORFILE_H
#define TOOLS_MIF_VECTORFILE_H

#include <stdint.h>

#include "hostapi.h"

// The kinds of picture render writes, chosen by the output file's extension.
enum { PICTURE_PNG, PICTURE_SVG, PICTURE_PDF };

// PICTURE_SVG for a name ending in .svg, PICTURE_PDF for .pdf (any case),
// PICTURE_PNG for every other name.
int PictureKindOf(const char* pszPath);

// Draws pHandle into a new file pszPath of kind PICTURE_SVG or PICTURE_PDF,
// nWidth x nHeight points. Returns 1, or the drawing engine's or the vector
// kernel's result; a file that could not be completed is removed.
int WriteVectorPicture(_VECTORHANDLE* pHandle, int nKind, const char* pszPath,
                       int32_t nWidth, int32_t nHeight);

#endif  // TOOLS_MIF_VECTORFILE_H
