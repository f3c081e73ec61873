// drawstyle.h - pens and brushes of the vector kernel applied to cairo paths.
//
// Pen widths, dash patterns and hatch spacing are in device pixels, so a
// drawing looks the same at every zoom, as on the host's screen.
#ifndef HOST_DRAW_DRAWSTYLE_H
#define HOST_DRAW_DRAWSTYLE_H

#include <cairo.h>

#include "hostapi.h"

// The width of the pen's line in device pixels (1 to 1000).
double GetPenWidth(const _VECTORPEN& pen);

// Makes a host colour value (red in the lowest byte) cairo's source.
void SetSourceColor(cairo_t* pCairo, uint32_t crColor);

// Fills the current path with the brush by the given rule and keeps the path
// for the outline.
void FillWithBrush(cairo_t* pCairo, const _VECTORBRUSH& brush,
                   cairo_fill_rule_t nFillRule);

// Strokes the current path with the pen and clears it; a pen that draws no
// line only clears it.
void StrokeWithPen(cairo_t* pCairo, const _VECTORPEN& pen);

#endif  // HOST_DRAW_DRAWSTYLE_H
