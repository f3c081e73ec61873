// drawtext.h - paints a vector-kernel text record: its string set in the
// record's font, sized to its box and justified within it.
#ifndef HOST_DRAW_DRAWTEXT_H
#define HOST_DRAW_DRAWTEXT_H

#include <cairo.h>

#include "drawmap.h"
#include "hostapi.h"

// Paints the text as one line in its pen's colour. The box spans the
// anchor's x to x plus the character width times the characters, and one
// character height downwards from the anchor (or upwards from it, or centred
// on it, with the bottom and vertical-centre flags). The font is scaled so
// that its ascent and descent fill the box's height.
void PaintText(cairo_t* pCairo, const DrawMap& map, const _VECTORTEXTA& text);

#endif  // HOST_DRAW_DRAWTEXT_H
