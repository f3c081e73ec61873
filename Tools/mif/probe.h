// probe.h - the filter's own functions, asked by "mif check" about single
// lines and single objects.
//
// Every function of the filter is exported, the internal ones under their
// decorated C++ names. The check resolves a few of them from the library
// that OpenFilter opened, so that every decision about MIF text (which
// reader a line goes to, which lines that reader takes, whether a clause
// yields its values, which VERSION a header holds) is the filter's own and
// none is made a second time in the program.
//
// The program does not link against the filter, so it cannot construct a
// CMifFile itself. A ProbeFile holds storage laid out as linereader.h
// declares the class; before each question the storage is zeroed (an
// unbound reader: no handle, nothing pushed back) and bound to the
// ProbeFile's own handle with the filter's CMifFile::Open, without
// ownership. An unowned binding is simply dropped afterwards; the ProbeFile
// closes its handle itself.
#ifndef TOOLS_MIF_PROBE_H
#define TOOLS_MIF_PROBE_H

#include <stddef.h>
#include <stdint.h>

#include "filter.h"
#include "hostapi.h"
#include "linereader.h"
#include "read.h"

typedef int (*PFNOBJECTREADER)(_VECTORHANDLE*, CMifFile*);

// The filter functions the check calls. The CMifFile members take the
// object as their first argument, as the platform's C++ calling convention
// passes it.
struct FilterProbe {
    int (*pfnReadHeader)(tagHANDLE*, _MIFHEADER*);
    void (*pfnFreeHeader)(_MIFHEADER*);
    PFNOBJECTREADER (*pfnFindObjectReader)(const char*, int);
    bool (*pfnIsKeyword)(const char*, int, const char*);
    int (*pfnReadPen)(_VECTORHANDLE*, CMifFile*, _VECTORPEN*);
    int (*pfnReadBrush)(_VECTORHANDLE*, CMifFile*, _VECTORBRUSH*);
    int (*pfnReadSymbol)(_VECTORHANDLE*, CMifFile*, _MIFSYMBOL*);
    int (*pfnReadFont)(_VECTORHANDLE*, CMifFile*, _VECTORTEXTA*);
    int (*pfnOpen)(CMifFile*, tagHANDLE*, int);
    int (*pfnLineRead)(CMifFile*);
    int (*pfnLineMoveToStart)(CMifFile*);
};

// Resolves the functions from pFilter's library. Returns 1, or 0 with the
// decorated name that the library does not export in *ppszMissing.
int ResolveFilterProbe(const MifFilter* pFilter, FilterProbe* pProbe, const char** ppszMissing);

// The clauses whose values a filter reader reads.
enum { CLAUSE_PEN, CLAUSE_BRUSH, CLAUSE_SYMBOL, CLAUSE_FONT };

// A file opened for questions, and the line reader bound to it.
struct ProbeFile {
    const FilterProbe* pProbe;
    tagHANDLE* hFile;
    alignas(CMifFile) unsigned char abReader[sizeof(CMifFile)];
};

// Opens pszPath for reading: 1, or -14 when it cannot be opened.
int OpenProbeFile(const FilterProbe* pProbe, const char* pszPath, ProbeFile* pFile);
void CloseProbeFile(ProbeFile* pFile);

// The line at file position nPos as the filter reads it: a fresh reader
// bound there runs LineRead and LineMoveToStart. Returns LineRead's result;
// on 1, *ppReader holds the line with its cursor on the first non-space
// character. The reader stays valid until the next question on pFile.
int ProbeLineAt(ProbeFile* pFile, int64_t nPos, CMifFile** ppReader);

// The filter's keyword test on the text at the reader's cursor.
bool CursorIsKeyword(const ProbeFile* pFile, const CMifFile* pReader, const char* pszKeyword);

// Whether an object reader takes the nLength characters at pszText; if one
// does, its MIF keyword (that of ReadPLine is "PLINE") goes to pszKeyword.
int FindObjectKeyword(const FilterProbe* pProbe, const char* pszText, int nLength,
                      char* pszKeyword, size_t nSize);

// What ReadHeader makes of the file.
struct HeaderProbe {
    int nResult;           // ReadHeader's result
    int32_t nVersion;      // the VERSION it found, 0 without one
    int64_t nEnd;          // the file position where it stopped reading
};
void ProbeHeader(ProbeFile* pFile, HeaderProbe* pHeader);

// What the loader's dispatch of the line at nPos comes to: the reader the
// filter picks for it runs alone, over the same bytes, into a scratch
// drawing of its own.
struct DispatchProbe {
    int nLineRead;         // LineRead's result: 1, 2 at the end of the file, or an error
    int bHasReader;        // a reader takes the line
    char szKeyword[16];    // the MIF keyword of that reader
    int bBlank;            // the line is empty or spaces only
    int nResult;           // the reader's result; 1 when no reader ran
    uint32_t nType;        // the type of the objects it added
    int32_t nAdded;        // how many it added
    int64_t nEnd;          // the file position after the last line it read
    int bPushedBack;       // it left that last line for the loader
    int bAtEndOfFile;      // it read up to the end of the file
};
void ProbeDispatch(ProbeFile* pFile, int64_t nPos, DispatchProbe* pDispatch);

// What the clause reader nClause (CLAUSE_*) gets from the line at nPos,
// whose cursor stands on the clause keyword of nKeywordLength characters.
// A clause gets values when its reader reads every value, or fills its
// record otherwise than from the keyword alone (FONT, for one, reads a
// background colour that a clause may leave out).
struct ClauseProbe {
    int bGotValues;
    int bSpaceFixes;   // without values: it gets them once a space follows the keyword
};
void ProbeClause(ProbeFile* pFile, int64_t nPos, int nClause, size_t nKeywordLength,
                 ClauseProbe* pClause);

#endif  // TOOLS_MIF_PROBE_H
