// vectorkernel.h - the vector kernel, libzvkrn.so.19: the Z_Vec calls of
// hostapi.h over a real in-memory drawing, and how it behaves where the
// host contract leaves the choice to the kernel.
//
// Handles. Z_VecInit gives a handle fresh storage and clears rcViewport,
// nDrawOption and the stored parallelogram; it leaves uFlags, which the
// caller sets, and never reads the old pDrawing (the record may be
// uninitialised memory), so initialising a live handle again without
// Z_VecFree loses its drawing. Every other call on a handle whose pDrawing
// is null returns VEC_ERR_BADHANDLE, except Z_VecFree, which returns 1 and
// so may be called twice. A missing handle, record or out pointer gives
// MIF_ERR_ARG (-13). A handle serves one thread at a time; different
// handles are independent and may be used from different threads.
//
// Layers. A drawing starts without layers and with layer 0 active.
// Z_VecAddLayerA copies the description and returns the new layer's index;
// it does not change the active layer. An object added while the drawing
// has no layer goes to an implicit layer 0 (no name, visible) that the
// first object makes. An object head's nLayer of -1 (as Z_VecInitObject
// sets it) means the active layer; any other value must name a layer.
// Unknown layers give VEC_ERR_BADOBJECT. Z_VecDraw skips the objects of a
// layer whose bVisible is 0; enumeration and extents include them.
//
// Objects. Z_VecAddObjectA copies the record with its point array and
// string; the caller keeps its own arrays. pParent must be null (the
// drawing is flat). The ten object types of hostapi.h are kept whole; any
// other type code up to 255 (0, 5, 11, 12, 13 among them) is kept as its
// bare head, so that a host can hold such objects: they come back as a
// head, are never drawn and have no extents. A null text string is kept as
// an empty one. A failed allocation gives VEC_ERR_NOMEM and leaves the
// drawing as it was. Z_VecGetObjectA writes a full copy, its padding bytes
// zero, whose point array and string come from malloc; Z_VecFreeObject
// releases them and nulls the pointers.
//
// Extents. Z_VecGetObjectParallelogram gives the exact box of one object
// (see vectorgeometry.h) or of the whole drawing, with z and tag 0. Values
// that are not finite are left out of the whole drawing's box. A drawing
// without geometry (no object, or only bare heads) and an object without
// geometry give VEC_ERR_EMPTY.
//
// Page size. Z_VecGetSize fits the requested size to the aspect of the
// stored parallelogram; its modes are those of FitPageSize (vectorgeometry.h).
//
// Settings. Z_VecSetOrigin and Z_VecSetCamera keep their values for the host
// (null: origin (0, 0, 0), camera scale 1 and rotation 0); drawing does not
// use them. Z_VecSetBackgroundColor sets the colour Z_VecDraw fills the
// viewport with (white until set). Z_VecEmpty removes every object and
// layer and makes layer 0 active again; the background, origin, camera and
// the handle's own fields stay.
//
// Drawing. Z_VecDraw begins painting over rcViewport with the stored
// parallelogram and the background, hands every drawable object of a
// visible layer to the drawing engine in drawing order, and ends painting.
// It stops at the first object the engine refuses (still ending the paint)
// and returns that result, otherwise the result of ending the paint. Its
// flags argument is reserved. A large raster paint is split by the engine
// into an upper and a lower band painted on two threads at once (see
// Z_Drw_SplitPaint); each band stops at its own first refusal, and the
// upper band's refusal is returned before the lower's.
#ifndef HOST_VECTOR_VECTORKERNEL_H
#define HOST_VECTOR_VECTORKERNEL_H

// The kernel is built with hidden visibility; the host calls and the testing
// calls are the only symbols it exports.
#pragma GCC visibility push(default)
#include "hostapi.h"
#include "vector_testing.h"
#pragma GCC visibility pop

#endif  // HOST_VECTOR_VECTORKERNEL_H
