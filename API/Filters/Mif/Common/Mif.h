// Mif.h - the MIF filter's entry points and operations.
//
// A host toolkit loads libzfmif.so.19 and calls four entry points, exported
// under plain names: fltInfo (what does this file hold?), fltLoad (parse it
// into the host's vector drawing, or render it to rows of a raster), fltSave
// (write a vector drawing as MIF and MID) and fltFreeData (release the
// drawing an info call left with the host).
//
// Result codes (hostapi.h): 1 success; 2 end of data (the file ended before
// its header or an object was complete); -1 an allocation failed; -5 a write
// failed; -9 not acceptable MIF or an unsupported mode; -13 a required record
// or argument is missing; -14 the file is not available; -261 the line reader
// has no file. Any other value is a host library's result, passed on.
//
// The filter keeps no state between calls: everything lives on the stack of
// one call, or in a MifDrawingCache that the host holds in its cache slot.
#ifndef API_FILTERS_MIF_COMMON_MIF_H
#define API_FILTERS_MIF_COMMON_MIF_H

#include <stdint.h>

#include "hostapi.h"

// The format code the info operation reports.
enum { MIF_FORMAT_CODE = 335 };

// A parsed drawing handed from an info call to the following load.
struct MifDrawingCache {
    _VECTORHANDLE* pVectorHandle;  // the drawing
    int32_t bOwnsHandle;           // non-zero: the filter made the handle
};

extern "C" {
// Each returns -13 for a null record, else the operation's result.
int fltInfo(_INFODISPATCH* pInfo);
int fltLoad(_LOADDISPATCH* pLoad);
int fltSave(_SAVEDISPATCH* pSave);
// Releases a MifDrawingCache (kind 0); any other kind is ignored. Returns 1.
int fltFreeData(void* pData, DATATYPE nKind);
}

// Checks the header, parses the whole drawing, widens its extents by 0.5 %
// per side, fills the image information and keeps the drawing in the host's
// cache slot (or releases it when there is none).
int fltInfoMIF(_INFODISPATCH* pInfo);
// Vector load (mode 1) into the host's handle, or raster load (mode 0)
// through the drawing engine and the host's row callback; a cached drawing
// from an info call is used instead of the file. A raster load needs the
// destination bitmap and the row callback (-13 without them).
int fltLoadMIF(_LOADDISPATCH* pLoad);
// Writes the host's drawing as the named .mif file and its .mid companion
// (the same path with its last four characters replaced by ".mid"). Both
// files are replaced, and both are removed when the save fails. A null path
// or one shorter than four characters gives -13; a path of 4096 characters
// or more gives -14; neither touches any file.
int fltSaveMIF(_SAVEDISPATCH* pSave);
int fltFreeMIF(void* pData, DATATYPE nKind);

// Widens the handle's stored parallelogram by 0.5 % of its width and height
// on each side.
void UpdateVectorParallelogram(_VECTORHANDLE* pHandle);

#endif  // API_FILTERS_MIF_COMMON_MIF_H
