// read.h - the MIF readers: header, style clauses, objects, font and text.
//
// Every object reader is called by the drawing loader with the cursor on its
// keyword, reads the rest of its object (further lines included), adds what
// it built to the drawing's active layer and pushes back the first line that
// does not belong to it. A reader's result: 1 goes on with the next line;
// anything else ends the load with that result.
//
// The colour conversion and the pattern tables live here as data, and the
// writers look them up through the same functions in the other direction.
#ifndef API_FILTERS_MIF_COMMON_READ_H
#define API_FILTERS_MIF_COMMON_READ_H

#include <stdint.h>

#include "hostapi.h"
#include "linereader.h"

// The header of a MIF file as far as the filter reads it.
struct _MIFHEADER {
    int32_t nVersion;      // the number after VERSION, 0 without one
    char* pszReserved1;    // never filled; released by FreeHeader when set
    char cDelimiter;       // the character of the Delimiter word, NUL if none
    char* pszReserved2;    // never filled; released by FreeHeader when set
    char* pszCharset;      // the rest of the Charset line, kernel memory
};

// The result of a SYMBOL clause: only its colour reaches the drawing.
struct _MIFSYMBOL {
    uint32_t crColor;      // host colour value
};

// Reads the header from the start of the file to the line that ends it (DATA,
// a blank line, or any beginning of "DATA"). 1: accepted, the file position
// just after that line; 2: the file ended first; -1: the Charset copy could
// not be allocated; -9: a VERSION other than 1, 2, 300 or 450; -13: no
// record; -14: no file, or the file failed to deliver a line. A second
// Charset line replaces (and releases) the first copy.
int ReadHeader(tagHANDLE* hFile, _MIFHEADER* pHeader);
// Releases the texts the header owns.
void FreeHeader(_MIFHEADER* pHeader);

// MIF colour (red * 65536 + green * 256 + blue) to host colour value (red in
// the lowest byte) and back: the same byte swap. Only the low 24 bits count.
uint32_t SwapColorBytes(uint32_t nColor);

// The pattern tables, shared by both directions.
uint32_t PenStyleFromPattern(int32_t nPattern);
int32_t PatternFromPenStyle(uint32_t nStyle);
void BrushFromPattern(int32_t nPattern, uint32_t* pnStyle, uint64_t* pnHatch);
int32_t PatternFromBrush(uint32_t nStyle, uint64_t nHatch);

// Style clauses: the cursor stands on the clause keyword of the current
// line. 1: every value read; 2: the line ended early (the record is still
// rewritten, with 0 for what was missing). They never read another line.
int ReadPen(_VECTORHANDLE* pHandle, CMifFile* pFile, _VECTORPEN* pPen);
int ReadBrush(_VECTORHANDLE* pHandle, CMifFile* pFile, _VECTORBRUSH* pBrush);
int ReadSymbol(_VECTORHANDLE* pHandle, CMifFile* pFile, _MIFSYMBOL* pSymbol);
// FONT clause into the font part, pen and brush of a text; -9 when the face
// name has no closing quote (the record is then left as it was).
int ReadFont(_VECTORHANDLE* pHandle, CMifFile* pFile, _VECTORTEXTA* pText);

// Object readers.
int ReadPoint(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadLine(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadRect(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadRoundRect(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadEllipse(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadArc(_VECTORHANDLE* pHandle, CMifFile* pFile);
// A PLINE keyword line without a count takes its count from the next line.
// Counts: 0 gives an object without points; a negative count is refused by
// the kernel's allocator and ends the load with -1.
int ReadPLine(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadRegion(_VECTORHANDLE* pHandle, CMifFile* pFile);
int ReadText(_VECTORHANDLE* pHandle, CMifFile* pFile);

#endif  // API_FILTERS_MIF_COMMON_READ_H
