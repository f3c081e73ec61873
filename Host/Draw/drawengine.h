// drawengine.h - the drawing engine's painting calls, used by the vector
// kernel's Z_VecDraw (the filter only creates and destroys contexts).
//
// A context paints over a _HOSTBITMAP of 24 bits per pixel (rows bottom-up)
// or over a vector surface. Painting runs between Z_Drw_BeginPaint and
// Z_Drw_EndPaint: begin takes the bitmap's current pixels, end stores the
// painted picture back into the bitmap.
#ifndef HOST_DRAW_DRAWENGINE_H
#define HOST_DRAW_DRAWENGINE_H

#include "hostapi.h"

extern "C" {

// Error codes of the drawing engine (beyond the shared ones of hostapi.h).
enum {
    DRW_ERR_BITMAP = -401,   // the bitmap is not 24 bits per pixel, lacks its
                             // pixels or changed size since the context was made
    DRW_ERR_STATE = -402,    // no painting in progress
    DRW_ERR_SURFACE = -403   // cairo could not create or keep the surface
};

// Creates a context that paints into a new SVG or PDF file of nWidth x nHeight
// points; the device unit of the viewport is one point. Each Z_Drw_EndPaint
// finishes a page, and Z_Drw_Destroy completes and closes the file (returning
// -5 when the file could not be written completely). Texts stay
// text and lines stay lines. Returns 1, -13 for a missing argument or a size
// below 1, -5 when the file cannot be written; the context is null on failure.
int32_t Z_Drw_FromSvgFile(const char* pszPath, int32_t nWidth, int32_t nHeight,
                          ZDRWCONTEXT** ppContext);
int32_t Z_Drw_FromPdfFile(const char* pszPath, int32_t nWidth, int32_t nHeight,
                          ZDRWCONTEXT** ppContext);

// Starts painting. The drawing's box (pMin..pMax, y growing upwards) is
// mapped onto rcViewport (y growing downwards), keeping north up. When
// bBackground is non-zero the viewport is first filled with crBackground
// (a host colour value). Painting is clipped to the viewport. Returns 1, -13
// for a missing argument, or -401 when the bitmap lost its pixels or size.
int32_t Z_Drw_BeginPaint(ZDRWCONTEXT* pContext, const tagRECT* pViewport,
                         const _VECTORPOINT* pMin, const _VECTORPOINT* pMax,
                         int32_t bBackground, uint32_t crBackground);
// Paints one object record of the given type (any of the ten types; other
// types paint nothing and return 1). An object with non-finite coordinates
// or sizes beyond the device's reach is passed over and also returns 1.
// Returns -13 for a missing argument, -402 outside Z_Drw_BeginPaint ..
// Z_Drw_EndPaint, or a negative code when the surface itself failed.
int32_t Z_Drw_DrawObject(ZDRWCONTEXT* pContext, uint32_t nType,
                         const void* pRecord);
// Ends painting and stores the picture into the context's bitmap, or ends
// the page of a vector file. Returns 1, -13, -402 when no painting is in
// progress, -401 when the bitmap lost its pixels or size.
int32_t Z_Drw_EndPaint(ZDRWCONTEXT* pContext);

// Splits a paint in progress on a bitmap into two bands that separate
// threads can paint at once: the context keeps the viewport's upper half,
// and *ppLower receives a context for its lower half, over the same pixels.
// Each band takes every object and passes over those that cannot reach its
// rows, so each thread does about half of the work; the picture is the one
// an unsplit paint makes. The lower context is ended (Z_Drw_EndPaint) and
// destroyed before the paint of the first one ends. Returns 1 with
// *ppLower null when the paint is not worth splitting (a vector file, a
// viewport under 256 rows, one processor, or splitting switched off); 1
// with the lower context; -13, -402 when no paint is in progress, or the
// code of a cairo failure (then nothing was split).
int32_t Z_Drw_SplitPaint(ZDRWCONTEXT* pContext, ZDRWCONTEXT** ppLower);
// Switches splitting on (the default) or off for every context.
void Z_Drw_SetSplitPainting(int32_t bEnabled);

}  // extern "C"

#endif  // HOST_DRAW_DRAWENGINE_H
