// drawobject.h - paints one vector-kernel object record through a drawing
// map onto a cairo context.
#ifndef HOST_DRAW_DRAWOBJECT_H
#define HOST_DRAW_DRAWOBJECT_H

#include <cairo.h>

#include "drawmap.h"
#include "hostapi.h"

// Paints the record of the given type code. Unknown types, and objects whose
// coordinates or sizes cannot be mapped onto the device, paint nothing. The
// caller keeps cairo's state around the call (save and restore).
void PaintObject(cairo_t* pCairo, const DrawMap& map, uint32_t nType,
                 const void* pRecord);

// The device rows the record may ink: its y extent widened by what its pen
// can add and, for a text, by its own height. False when that cannot be
// told (the record is then painted wherever it falls).
bool GetObjectRowSpan(const DrawMap& map, uint32_t nType, const void* pRecord,
                      double* pdTop, double* pdBottom);

#endif  // HOST_DRAW_DRAWOBJECT_H
