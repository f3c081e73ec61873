// write.h - the MIF writers: the header, the object dispatcher, and the
// writer of every object and clause.
//
// Every writer formats one piece of MIF text at a time ("%lf", "%d", upper
// case keywords, CR LF line ends) and writes it with one host write; a short
// write or a writer without a file gives -5 at once, and what was written
// stays (the save removes both files on failure). A piece that does not fit
// the 1024-character line buffer (a long TEXT string, coordinates of
// hundreds of digits) is built in kernel memory and written whole; when that
// memory cannot be had the writer returns -1.
#ifndef API_FILTERS_MIF_COMMON_WRITE_H
#define API_FILTERS_MIF_COMMON_WRITE_H

#include "hostapi.h"
#include "linereader.h"

// The state of one save, on the save operation's stack.
struct _MIFSAVECONTEXT {
    CMifFile MifFile;   // writes the .mif file; first, so the context's
                        // address is this writer's address
    CMifFile MidFile;   // writes the .mid file
    int32_t nNextID;    // the ID of the next .mid row
};

// The five fixed header lines: 1, or -5.
int SaveHeader(CMifFile* pFile);
// The enumeration callback: one .mid row and the object's MIF text for each
// of the ten written types; other types are passed over with 1.
int SaveObject(_VECTORHANDLE* pHandle, _VECTOROBJECT* pObject, void* pUserData);

// Clause writers: one line or nothing.
int SavePen(_VECTORPEN* pPen, CMifFile* pFile);
int SaveBrush(_VECTORBRUSH* pBrush, CMifFile* pFile);
int SaveSymbol(_VECTORVERTEX* pVertex, CMifFile* pFile);
int SaveFont(_VECTORTEXTA* pText, CMifFile* pFile);

// Object writers.
int SaveVertex(_VECTORVERTEX* pVertex, CMifFile* pFile);
int SaveLine(_VECTORLINE* pLine, CMifFile* pFile);
int SaveRect(_VECTORRECTANGLE* pRect, CMifFile* pFile);
int SaveEllipse(_VECTORELLIPSE* pEllipse, CMifFile* pFile);
int SaveCircle(_VECTORCIRCLE* pCircle, CMifFile* pFile);
int SaveArc(_VECTORARC* pArc, CMifFile* pFile);
int SaveEllipticalArc(_VECTORELLIPTICALARC* pArc, CMifFile* pFile);
int SavePolyline(_VECTORCURVEOPENED* pPolyline, CMifFile* pFile);
int SavePolygon(_VECTORCURVECLOSED* pPolygon, CMifFile* pFile);
// pMin and pMax: the corners of the text's parallelogram.
int SaveText(_VECTORTEXTA* pText, CMifFile* pFile, _VECTORPOINT* pMin, _VECTORPOINT* pMax);

#endif  // API_FILTERS_MIF_COMMON_WRITE_H
