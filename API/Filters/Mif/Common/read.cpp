// read.cpp - the MIF readers: header, style clauses, geometry objects, font
// and text.
//
// Every geometry reader follows one pattern: read its operands from the
// keyword line (a line that ends early drops the object silently), build its
// record (zero-filled, initialised by the vector kernel, then filled), take
// the clause lines it accepts, and hand the record to the vector kernel,
// which copies it. The pattern is written once: ReadOperands,
// BeginObjectRecord, ReadClauseLines and AddObject below.
#include "read.h"

#include <stddef.h>
#include <string.h>

// Result of a reader whose object was dropped because its line ended early:
// the load goes on; any other failure stops it.
int DroppedObjectResult(int nRet) {
    return nRet == MIF_END ? MIF_OK : nRet;
}

// ---------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------

bool IsAcceptedVersion(long nVersion) {
    return nVersion == 1 || nVersion == 2 || nVersion == 300 || nVersion == 450;
}

// Stores a copy of the Charset word and what follows it.
int CopyCharset(_MIFHEADER* pHeader, const char* pszWord, int nLength) {
    if (pHeader->pszCharset != nullptr) {
        Z_LocalFree(pHeader->pszCharset, __LINE__, __FILE__);
        pHeader->pszCharset = nullptr;
    }
    char* pszCopy = static_cast<char*>(Z_LocalAlloc(nLength + 1, 1, __LINE__, __FILE__));
    if (pszCopy == nullptr)
        return MIF_ERR_NOMEM;
    Z_MemoryCopy(pszCopy, pszWord, static_cast<size_t>(nLength));
    pszCopy[nLength] = '\0';
    pHeader->pszCharset = pszCopy;
    return MIF_OK;
}

int ReadHeader(tagHANDLE* hFile, _MIFHEADER* pHeader) {
    if (pHeader == nullptr)
        return MIF_ERR_ARG;
    if (!HasFile(hFile))
        return MIF_ERR_NOFILE;

    CMifFile file;  // bound without ownership: the handle stays open
    file.Open(hFile, 0);
    Z_RedirectedSeek(hFile, 0, 0);

    char szLine[MIF_LINE_SIZE];
    for (;;) {
        int nLength = 0;
        int nRet = file.ReadLine(szLine, &nLength);
        if (nRet != MIF_OK)
            return nRet;
        szLine[nLength] = '\0';
        char* pszCursor = szLine;
        int nRemaining = nLength;
        GetStringStart(pszCursor, nRemaining);

        if (IsKeyword(pszCursor, nRemaining, "DATA"))
            return MIF_OK;
        if (IsKeyword(pszCursor, nRemaining, "VERSION")) {
            if (GetNextWord(pszCursor, nRemaining, ' ') != MIF_OK)
                continue;
            long nVersion = MifStrToLong(pszCursor, nullptr);
            pHeader->nVersion = static_cast<int32_t>(nVersion);
            if (!IsAcceptedVersion(pHeader->nVersion))
                return MIF_ERR_FORMAT;
        } else if (IsKeyword(pszCursor, nRemaining, "Charset")) {
            if (GetNextWord(pszCursor, nRemaining, ' ') != MIF_OK)
                continue;
            if (CopyCharset(pHeader, pszCursor, nRemaining) != MIF_OK) {
                FreeHeader(pHeader);
                return MIF_ERR_NOMEM;
            }
        } else if (IsKeyword(pszCursor, nRemaining, "Delimiter")) {
            if (GetNextWord(pszCursor, nRemaining, ' ') != MIF_OK)
                continue;
            // The character inside the quotes; a word of one character has
            // none, and the field is then NUL.
            pHeader->cDelimiter = nRemaining >= 2 ? pszCursor[1] : '\0';
        }
    }
}

void FreeHeader(_MIFHEADER* pHeader) {
    if (pHeader->pszReserved1 != nullptr)
        Z_LocalFree(pHeader->pszReserved1, __LINE__, __FILE__);
    if (pHeader->pszReserved2 != nullptr)
        Z_LocalFree(pHeader->pszReserved2, __LINE__, __FILE__);
    if (pHeader->pszCharset != nullptr)
        Z_LocalFree(pHeader->pszCharset, __LINE__, __FILE__);
}

// ---------------------------------------------------------------------------
// Colours and pattern tables
// ---------------------------------------------------------------------------

uint32_t SwapColorBytes(uint32_t nColor) {
    return ((nColor & 0xFFu) << 16) | (nColor & 0xFF00u) | ((nColor >> 16) & 0xFFu);
}

// MIF line patterns 0 to 25 and the pen style each one is drawn with;
// every other pattern draws solid.
const uint8_t s_aPenStyleOfPattern[26] = {
    VPEN_SOLID,      VPEN_NULL,       VPEN_SOLID,      VPEN_DOT,        VPEN_DOT,
    VPEN_DASH,       VPEN_DASH,       VPEN_DASH,       VPEN_DASH,       VPEN_DASH,
    VPEN_DOT,        VPEN_DASH,       VPEN_DASH,       VPEN_DASH,       VPEN_DASHDOT,
    VPEN_DASHDOT,    VPEN_DASHDOT,    VPEN_DASHDOT,    VPEN_DASHDOTDOT, VPEN_SOLID,
    VPEN_DASHDOTDOT, VPEN_DASHDOTDOT, VPEN_SOLID,      VPEN_DASHDOT,    VPEN_DASHDOTDOT,
    VPEN_DASHDOT};

// The pattern written for each pen style 0 to 5.
const int32_t s_aPatternOfPenStyle[6] = {2, 6, 3, 15, 21, 1};

uint32_t PenStyleFromPattern(int32_t nPattern) {
    if (nPattern < 0 || nPattern >= static_cast<int32_t>(sizeof(s_aPenStyleOfPattern)))
        return VPEN_SOLID;
    return s_aPenStyleOfPattern[nPattern];
}

int32_t PatternFromPenStyle(uint32_t nStyle) {
    return nStyle < 6 ? s_aPatternOfPenStyle[nStyle] : s_aPatternOfPenStyle[VPEN_SOLID];
}

// The MIF fill patterns that the drawing can show; every other pattern is a
// brush without fill (pattern 1).
struct MifFillPattern {
    int32_t nPattern;
    uint32_t nStyle;
    uint64_t nHatch;
};

const MifFillPattern s_aFillPatterns[] = {
    {2, VBRUSH_SOLID, 0},
    {3, VBRUSH_HATCHED, VHATCH_HORIZONTAL},
    {4, VBRUSH_HATCHED, VHATCH_VERTICAL},
    {5, VBRUSH_HATCHED, VHATCH_BDIAGONAL},
    {6, VBRUSH_HATCHED, VHATCH_FDIAGONAL},
    {7, VBRUSH_HATCHED, VHATCH_CROSS},
    {8, VBRUSH_HATCHED, VHATCH_DIAGCROSS},
};
const int32_t MIF_PATTERN_NOFILL = 1;
const size_t MIF_FILL_PATTERNS = sizeof(s_aFillPatterns) / sizeof(s_aFillPatterns[0]);

void BrushFromPattern(int32_t nPattern, uint32_t* pnStyle, uint64_t* pnHatch) {
    *pnStyle = VBRUSH_NULL;
    *pnHatch = 0;
    for (size_t i = 0; i < MIF_FILL_PATTERNS; ++i) {
        if (s_aFillPatterns[i].nPattern == nPattern) {
            *pnStyle = s_aFillPatterns[i].nStyle;
            *pnHatch = s_aFillPatterns[i].nHatch;
            return;
        }
    }
}

int32_t PatternFromBrush(uint32_t nStyle, uint64_t nHatch) {
    if (nStyle != VBRUSH_SOLID && nStyle != VBRUSH_HATCHED)
        return MIF_PATTERN_NOFILL;
    // A hatch kind the table does not know is written as a solid fill.
    for (size_t i = 0; i < MIF_FILL_PATTERNS; ++i) {
        const MifFillPattern& fill = s_aFillPatterns[i];
        if (fill.nStyle == nStyle && (nStyle == VBRUSH_SOLID || fill.nHatch == nHatch))
            return fill.nPattern;
    }
    return s_aFillPatterns[0].nPattern;
}

// ---------------------------------------------------------------------------
// Style clauses
// ---------------------------------------------------------------------------

// Steps over the one character after the keyword's space, the opening
// parenthesis or whatever stands there.
void StepOverOneCharacter(CMifFile* pFile) {
    if (pFile->m_nRemaining > 0) {
        ++pFile->m_pszCurrent;
        --pFile->m_nRemaining;
    }
}

uint32_t ReadColorAtCursor(CMifFile* pFile) {
    return SwapColorBytes(static_cast<uint32_t>(pFile->LineGetInteger()));
}

void InitPen(_VECTORPEN* pPen) {
    pPen->nSize = sizeof(_VECTORPEN);
}

void InitBrush(_VECTORBRUSH* pBrush, uint32_t nStyle, uint64_t nHatch) {
    pBrush->nSize = sizeof(_VECTORBRUSH);
    pBrush->nKind = 0;
    pBrush->nStyle = nStyle;
    pBrush->nHatch = nHatch;
}

int ReadPen(_VECTORHANDLE*, CMifFile* pFile, _VECTORPEN* pPen) {
    int32_t nPattern = 0;
    uint32_t crColor = 0;
    int nRet = pFile->LineMoveToNext(' ');
    if (nRet == MIF_OK) {
        StepOverOneCharacter(pFile);  // the width that follows is never used
        nRet = pFile->LineMoveToNext(',');
    }
    if (nRet == MIF_OK) {
        nPattern = static_cast<int32_t>(pFile->LineGetInteger());
        nRet = pFile->LineMoveToNext(',');
    }
    if (nRet == MIF_OK)
        crColor = ReadColorAtCursor(pFile);

    Z_MemorySet(pPen, 0, sizeof(*pPen));
    InitPen(pPen);
    pPen->nWidth = 1;
    pPen->nHeight = 1;
    pPen->crColor = crColor;
    pPen->nStyle = PenStyleFromPattern(nPattern);
    return nRet;
}

int ReadBrush(_VECTORHANDLE*, CMifFile* pFile, _VECTORBRUSH* pBrush) {
    int32_t nPattern = 0;
    uint32_t crFore = 0;
    int nRet = pFile->LineMoveToNext(' ');
    if (nRet == MIF_OK) {
        StepOverOneCharacter(pFile);
        nPattern = static_cast<int32_t>(pFile->LineGetInteger());
        nRet = pFile->LineMoveToNext(',');
    }
    if (nRet == MIF_OK) {
        crFore = ReadColorAtCursor(pFile);
        // A background colour may follow; the drawing has no place for it.
    }

    uint32_t nStyle = 0;
    uint64_t nHatch = 0;
    BrushFromPattern(nPattern, &nStyle, &nHatch);
    Z_MemorySet(pBrush, 0, sizeof(*pBrush));
    InitBrush(pBrush, nStyle, nHatch);
    pBrush->crColor = crFore;
    return nRet;
}

int ReadSymbol(_VECTORHANDLE*, CMifFile* pFile, _MIFSYMBOL* pSymbol) {
    int nRet = pFile->LineMoveToNext(' ');
    pSymbol->crColor = 0;
    if (nRet != MIF_OK)
        return nRet;
    nRet = pFile->LineMoveToNext(',');  // past the shape to the colour
    if (nRet != MIF_OK)
        return nRet;
    // The colour counts only when the size follows it.
    if (memchr(pFile->m_pszCurrent, ',', static_cast<size_t>(pFile->m_nRemaining)) != nullptr)
        pSymbol->crColor = ReadColorAtCursor(pFile);
    return MIF_OK;
}

// ---------------------------------------------------------------------------
// The object reader pattern
// ---------------------------------------------------------------------------

// Reads nCount numbers after the keyword: 1, or the word step's result when
// the line ended first.
int ReadOperands(CMifFile* pFile, double* adValues, int nCount) {
    for (int i = 0; i < nCount; ++i) {
        int nRet = pFile->LineMoveToNext(' ');
        if (nRet != MIF_OK)
            return nRet;
        adValues[i] = pFile->LineGetDouble();
    }
    return MIF_OK;
}

// Takes the next line as a further line of the object: 1 with the cursor on
// its first word, or LineRead's result.
int TakeLine(CMifFile* pFile) {
    int nRet = pFile->LineRead();
    if (nRet == MIF_OK)
        pFile->LineMoveToStart();
    return nRet;
}

void SetPoint(_VECTORPOINT* pPoint, double dX, double dY) {
    pPoint->x = dX;
    pPoint->y = dY;
    pPoint->z = 0.0;
}

// Zero-fills a record, lets the kernel initialise its head, and sets the
// record's size and type.
void BeginObjectRecord(void* pRecord, uint32_t nSize, uint32_t nType) {
    Z_MemorySet(pRecord, 0, nSize);
    Z_VecInitObject(pRecord);
    _VECTOROBJECTHEAD* pHead = static_cast<_VECTOROBJECTHEAD*>(pRecord);
    pHead->nSize = nSize;
    pHead->nType = nType;
}

enum MifClauseKind { MIF_CLAUSE_PEN, MIF_CLAUSE_BRUSH, MIF_CLAUSE_SYMBOL };

// One clause an object accepts and the part of its record the clause fills.
struct MifClauseTarget {
    const char* pszKeyword;
    MifClauseKind nKind;
    void* pPart;   // _VECTORPEN* (PEN and SYMBOL) or _VECTORBRUSH* (BRUSH)
};

// The clause lines of one object.
struct MifClauseLines {
    const MifClauseTarget* pTargets;  // tested in this order
    int nTargets;
    int nMaxLines;
    // Called after a clause was read to its end (used to copy the clause to
    // the other records of a PLINE or REGION); may be null.
    void (*pfnTaken)(void* pContext, MifClauseKind nKind);
    void* pContext;
    int nLastClause;  // the last clause reader's result, 0 when none ran
};

int ReadOneClause(_VECTORHANDLE* pHandle, CMifFile* pFile, const MifClauseTarget& target) {
    if (target.nKind == MIF_CLAUSE_PEN)
        return ReadPen(pHandle, pFile, static_cast<_VECTORPEN*>(target.pPart));
    if (target.nKind == MIF_CLAUSE_BRUSH)
        return ReadBrush(pHandle, pFile, static_cast<_VECTORBRUSH*>(target.pPart));
    // A point keeps only the symbol's colour, in its pen, and only from a
    // clause read to its end.
    _MIFSYMBOL symbol;
    int nRet = ReadSymbol(pHandle, pFile, &symbol);
    if (nRet == MIF_OK)
        static_cast<_VECTORPEN*>(target.pPart)->crColor = symbol.crColor;
    return nRet;
}

// Takes up to nMaxLines clause lines. 1: a line that is no clause was
// pushed back, or every line was a clause read to its end; 2: the file
// ended or a clause ended early (nLastClause tells which); anything else is
// an error of the line reader. The object is added for 1 and 2.
int ReadClauseLines(_VECTORHANDLE* pHandle, CMifFile* pFile, MifClauseLines* pLines) {
    pLines->nLastClause = 0;
    for (int nLine = 0; nLine < pLines->nMaxLines; ++nLine) {
        int nRet = TakeLine(pFile);
        if (nRet != MIF_OK)
            return nRet;
        const MifClauseTarget* pMatch = nullptr;
        for (int i = 0; i < pLines->nTargets && pMatch == nullptr; ++i)
            if (IsKeyword(pFile->m_pszCurrent, pFile->m_nRemaining, pLines->pTargets[i].pszKeyword))
                pMatch = &pLines->pTargets[i];
        if (pMatch == nullptr) {
            pFile->m_bReadNewLine = 0;  // the loader reads this line next
            return MIF_OK;
        }
        nRet = ReadOneClause(pHandle, pFile, *pMatch);
        pLines->nLastClause = nRet;
        if (nRet != MIF_OK)
            return nRet;
        if (pLines->pfnTaken != nullptr)
            pLines->pfnTaken(pLines->pContext, pMatch->nKind);
    }
    return MIF_OK;
}

// Adds one object; the kernel's 2 counts as success.
int AddObject(_VECTORHANDLE* pHandle, uint32_t nType, const void* pRecord) {
    int nRet = Z_VecAddObjectA(pHandle, nullptr, nType, pRecord, nullptr);
    return nRet == MIF_END ? MIF_OK : nRet;
}

// Takes the clause lines of a one-record object and adds it.
int ReadClausesAndAdd(_VECTORHANDLE* pHandle, CMifFile* pFile, const MifClauseTarget* pTargets,
                      int nTargets, int nMaxLines, uint32_t nType, const void* pRecord) {
    MifClauseLines lines = {pTargets, nTargets, nMaxLines, nullptr, nullptr, 0};
    int nRet = ReadClauseLines(pHandle, pFile, &lines);
    if (nRet != MIF_OK && nRet != MIF_END)
        return nRet;
    return AddObject(pHandle, nType, pRecord);
}

// ---------------------------------------------------------------------------
// POINT, LINE, RECT, ROUNDRECT, ELLIPSE, ARC
// ---------------------------------------------------------------------------

int ReadPoint(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    double ad[2];
    int nRet = ReadOperands(pFile, ad, 2);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    _VECTORVERTEX vertex;
    BeginObjectRecord(&vertex, sizeof(vertex), VOBJ_VERTEX);
    SetPoint(&vertex.pt, ad[0], ad[1]);
    InitPen(&vertex.pen);
    const MifClauseTarget aClauses[] = {{"SYMBOL", MIF_CLAUSE_SYMBOL, &vertex.pen}};
    return ReadClausesAndAdd(pHandle, pFile, aClauses, 1, 1, VOBJ_VERTEX, &vertex);
}

int ReadLine(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    double ad[4];
    int nRet = ReadOperands(pFile, ad, 4);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    _VECTORLINE line;
    BeginObjectRecord(&line, sizeof(line), VOBJ_LINE);
    SetPoint(&line.pt1, ad[0], ad[1]);
    SetPoint(&line.pt2, ad[2], ad[3]);
    const MifClauseTarget aClauses[] = {{"PEN", MIF_CLAUSE_PEN, &line.pen}};
    return ReadClausesAndAdd(pHandle, pFile, aClauses, 1, 1, VOBJ_LINE, &line);
}

// A rectangle from its two corners, with a default brush; PEN and BRUSH
// lines in either order may follow.
int ReadRectangleClausesAndAdd(_VECTORHANDLE* pHandle, CMifFile* pFile, const double* ad,
                               uint32_t nBrushStyle, uint64_t nBrushHatch) {
    _VECTORRECTANGLE rect;
    BeginObjectRecord(&rect, sizeof(rect), VOBJ_RECTANGLE);
    SetPoint(&rect.pt1, ad[0], ad[1]);
    SetPoint(&rect.pt2, ad[2], ad[3]);
    InitPen(&rect.pen);
    InitBrush(&rect.brush, nBrushStyle, nBrushHatch);
    const MifClauseTarget aClauses[] = {{"PEN", MIF_CLAUSE_PEN, &rect.pen},
                                        {"BRUSH", MIF_CLAUSE_BRUSH, &rect.brush}};
    return ReadClausesAndAdd(pHandle, pFile, aClauses, 2, 2, VOBJ_RECTANGLE, &rect);
}

int ReadRect(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    double ad[4];
    int nRet = ReadOperands(pFile, ad, 4);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    // Without a BRUSH line a rectangle is cross-hatched (MIF pattern 7).
    return ReadRectangleClausesAndAdd(pHandle, pFile, ad, VBRUSH_HATCHED, VHATCH_CROSS);
}

int ReadRoundRect(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    double ad[4];
    int nRet = ReadOperands(pFile, ad, 4);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    // The rounding line is consumed whatever it holds; the drawing has no
    // rounded rectangle, so its value is not needed.
    nRet = TakeLine(pFile);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    return ReadRectangleClausesAndAdd(pHandle, pFile, ad, VBRUSH_NULL, 0);
}

// Centre and signed radii of the box given by two corners.
void BoxToCenterAndRadii(const double* ad, _VECTORPOINT* pCenter, double* pdRadiusX,
                         double* pdRadiusY) {
    SetPoint(pCenter, (ad[0] + ad[2]) * 0.5, (ad[1] + ad[3]) * 0.5);
    *pdRadiusX = (ad[2] - ad[0]) * 0.5;
    *pdRadiusY = (ad[3] - ad[1]) * 0.5;
}

int ReadEllipse(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    double ad[4];
    int nRet = ReadOperands(pFile, ad, 4);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    _VECTORELLIPSE ellipse;
    BeginObjectRecord(&ellipse, sizeof(ellipse), VOBJ_ELLIPSE);
    BoxToCenterAndRadii(ad, &ellipse.ptCenter, &ellipse.dRadiusX, &ellipse.dRadiusY);
    InitPen(&ellipse.pen);
    InitBrush(&ellipse.brush, VBRUSH_NULL, 0);
    const MifClauseTarget aClauses[] = {{"PEN", MIF_CLAUSE_PEN, &ellipse.pen},
                                        {"BRUSH", MIF_CLAUSE_BRUSH, &ellipse.brush}};
    return ReadClausesAndAdd(pHandle, pFile, aClauses, 2, 2, VOBJ_ELLIPSE, &ellipse);
}

int ReadArc(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    double ad[4];
    int nRet = ReadOperands(pFile, ad, 4);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    // The angle line: start and end angle.
    nRet = TakeLine(pFile);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    double dStart = pFile->LineGetDouble();
    nRet = pFile->LineMoveToNext(' ');
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    double dEnd = pFile->LineGetDouble();

    _VECTORELLIPTICALARC arc;
    BeginObjectRecord(&arc, sizeof(arc), VOBJ_ELLIPTICALARC);
    BoxToCenterAndRadii(ad, &arc.ptCenter, &arc.dRadiusX, &arc.dRadiusY);
    arc.dStartAngle = dStart;
    arc.dSweep = dEnd - dStart;
    const MifClauseTarget aClauses[] = {{"PEN", MIF_CLAUSE_PEN, &arc.pen}};
    return ReadClausesAndAdd(pHandle, pFile, aClauses, 1, 2, VOBJ_ELLIPTICALARC, &arc);
}

// ---------------------------------------------------------------------------
// PLINE and REGION
// ---------------------------------------------------------------------------

static_assert(offsetof(_VECTORCURVEOPENED, pPoints) == offsetof(_VECTORCURVECLOSED, pPoints) &&
                  offsetof(_VECTORCURVEOPENED, nPoints) == offsetof(_VECTORCURVECLOSED, nPoints) &&
                  offsetof(_VECTORCURVEOPENED, pen) == offsetof(_VECTORCURVECLOSED, pen),
              "polylines and polygons share the layout of their points and pen");

// The records of one PLINE (one per section) or REGION (one per polygon),
// with the point arrays allocated so far. Both record types begin alike, so
// the points and pen are reached through the polyline's layout.
struct MifCurveSet {
    uint8_t* pRecords;
    int32_t nRecords;
    uint32_t nRecordSize;
    uint32_t nType;
    int32_t nAllocated;   // records whose point array is allocated
};

_VECTORCURVEOPENED* CurveAt(const MifCurveSet* pSet, int32_t i) {
    return reinterpret_cast<_VECTORCURVEOPENED*>(pSet->pRecords + static_cast<size_t>(i) * pSet->nRecordSize);
}

int AllocateCurveSet(MifCurveSet* pSet, int32_t nRecords, uint32_t nRecordSize, uint32_t nType) {
    pSet->pRecords = static_cast<uint8_t*>(
        Z_LocalAlloc(nRecords, static_cast<int32_t>(nRecordSize), __LINE__, __FILE__));
    pSet->nRecords = nRecords;
    pSet->nRecordSize = nRecordSize;
    pSet->nType = nType;
    pSet->nAllocated = 0;
    return pSet->pRecords != nullptr ? MIF_OK : MIF_ERR_NOMEM;
}

void FreeCurveSet(MifCurveSet* pSet) {
    for (int32_t i = 0; i < pSet->nAllocated; ++i)
        Z_LocalFree(CurveAt(pSet, i)->pPoints, __LINE__, __FILE__);
    if (pSet->pRecords != nullptr)
        Z_LocalFree(pSet->pRecords, __LINE__, __FILE__);
    pSet->pRecords = nullptr;
    pSet->nAllocated = 0;
}

// Reads one vertex line: x, then y after the next space (0 when the line
// holds a single number).
void ReadVertex(CMifFile* pFile, _VECTORPOINT* pPoint) {
    double dX = pFile->LineGetDouble();
    pFile->LineMoveToNext(' ');
    SetPoint(pPoint, dX, pFile->LineGetDouble());
}

// Takes a count line or a vertex line; the end of the file here means the
// object is incomplete.
int TakeListLine(CMifFile* pFile) {
    int nRet = TakeLine(pFile);
    return nRet == MIF_END ? MIF_ERR_FORMAT : nRet;
}

// Allocates the next record's point array for nPoints points, starts the
// record and reads its vertex lines, in file order or reversed.
int ReadCurve(MifCurveSet* pSet, CMifFile* pFile, int32_t nPoints, bool bReversed) {
    _VECTORPOINT* pPoints = static_cast<_VECTORPOINT*>(
        Z_LocalAlloc(nPoints, static_cast<int32_t>(sizeof(_VECTORPOINT)), __LINE__, __FILE__));
    if (pPoints == nullptr)
        return MIF_ERR_NOMEM;
    _VECTORCURVEOPENED* pCurve = CurveAt(pSet, pSet->nAllocated++);
    BeginObjectRecord(pCurve, pSet->nRecordSize, pSet->nType);
    pCurve->pPoints = pPoints;
    pCurve->nPoints = nPoints;
    if (pSet->nType == VOBJ_CURVECLOSED) {
        _VECTORCURVECLOSED* pPolygon = reinterpret_cast<_VECTORCURVECLOSED*>(pCurve);
        InitPen(&pPolygon->pen);
        InitBrush(&pPolygon->brush, VBRUSH_NULL, 0);
    }
    for (int32_t i = 0; i < nPoints; ++i) {
        int nRet = TakeListLine(pFile);
        if (nRet != MIF_OK)
            return nRet;
        // Points are filled one by one as their lines come, so a huge count
        // that the file does not back never touches its memory.
        _VECTORPOINT* pPoint = &pPoints[bReversed ? nPoints - 1 - i : i];
        pPoint->nTag = 0;
        ReadVertex(pFile, pPoint);
    }
    return MIF_OK;
}

// Gives the first record's pen or brush, just read to its end, to every
// other record of the set.
void CopyClauseToAllCurves(void* pContext, MifClauseKind nKind) {
    MifCurveSet* pSet = static_cast<MifCurveSet*>(pContext);
    _VECTORCURVEOPENED* pFirst = CurveAt(pSet, 0);
    for (int32_t i = 1; i < pSet->nRecords; ++i) {
        _VECTORCURVEOPENED* pCurve = CurveAt(pSet, i);
        if (nKind == MIF_CLAUSE_PEN) {
            pCurve->pen = pFirst->pen;
        } else {
            reinterpret_cast<_VECTORCURVECLOSED*>(pCurve)->brush =
                reinterpret_cast<_VECTORCURVECLOSED*>(pFirst)->brush;
        }
    }
}

// Adds the records in order, stopping at the first add that fails; the
// kernel's result is passed on unchanged.
int AddCurveSet(_VECTORHANDLE* pHandle, const MifCurveSet* pSet) {
    int nRet = MIF_OK;
    for (int32_t i = 0; i < pSet->nRecords && nRet == MIF_OK; ++i)
        nRet = Z_VecAddObjectA(pHandle, nullptr, pSet->nType, CurveAt(pSet, i), nullptr);
    return nRet;
}

// The section count of a PLINE and the first section's vertex count.
int ReadPLineCounts(CMifFile* pFile, int32_t* pnSections, int32_t* pnPoints) {
    *pnSections = 1;
    int nRet = pFile->LineMoveToNext(' ');
    bool bMultiple = nRet == MIF_OK && MifEqualNoCase(pFile->m_pszCurrent, "MULTIPLE", 8);
    if (bMultiple) {
        if (pFile->LineMoveToNext(' ') == MIF_OK)
            *pnSections = static_cast<int32_t>(pFile->LineGetInteger());
        if (*pnSections < 1)
            *pnSections = 1;
    }
    // The several-sections form has its first count on the next line; so
    // has a PLINE keyword alone on its line.
    if (bMultiple || nRet != MIF_OK) {
        nRet = TakeListLine(pFile);
        if (nRet != MIF_OK)
            return nRet;
    }
    *pnPoints = static_cast<int32_t>(pFile->LineGetInteger());
    return MIF_OK;
}

int ReadPLineSections(_VECTORHANDLE* pHandle, CMifFile* pFile, MifCurveSet* pSet, int32_t nPoints) {
    for (int32_t i = 0; i < pSet->nRecords; ++i) {
        int nRet = ReadCurve(pSet, pFile, nPoints, false);
        if (nRet == MIF_OK && i + 1 < pSet->nRecords)
            nRet = TakeListLine(pFile);
        if (nRet != MIF_OK)
            return nRet;
        nPoints = static_cast<int32_t>(pFile->LineGetInteger());
    }
    const MifClauseTarget aClauses[] = {{"PEN", MIF_CLAUSE_PEN, &CurveAt(pSet, 0)->pen}};
    MifClauseLines lines = {aClauses, 1, 1, CopyClauseToAllCurves, pSet, 0};
    int nRet = ReadClauseLines(pHandle, pFile, &lines);
    // A PEN line that ends early drops the whole PLINE and ends the load.
    if (lines.nLastClause != 0 && lines.nLastClause != MIF_OK)
        return lines.nLastClause;
    if (nRet != MIF_OK && nRet != MIF_END)
        return nRet;
    return AddCurveSet(pHandle, pSet);
}

int ReadPLine(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    int32_t nSections = 1;
    int32_t nPoints = 0;
    int nRet = ReadPLineCounts(pFile, &nSections, &nPoints);
    if (nRet != MIF_OK)
        return nRet;
    MifCurveSet set;
    nRet = AllocateCurveSet(&set, nSections, sizeof(_VECTORCURVEOPENED), VOBJ_CURVEOPENED);
    if (nRet == MIF_OK)
        nRet = ReadPLineSections(pHandle, pFile, &set, nPoints);
    FreeCurveSet(&set);
    return nRet;
}

int ReadRegionPolygons(_VECTORHANDLE* pHandle, CMifFile* pFile, MifCurveSet* pSet) {
    for (int32_t i = 0; i < pSet->nRecords; ++i) {
        int nRet = TakeListLine(pFile);
        if (nRet == MIF_OK)
            nRet = ReadCurve(pSet, pFile, static_cast<int32_t>(pFile->LineGetInteger()), true);
        if (nRet != MIF_OK)
            return nRet;
    }
    _VECTORCURVECLOSED* pFirst = reinterpret_cast<_VECTORCURVECLOSED*>(CurveAt(pSet, 0));
    const MifClauseTarget aClauses[] = {{"PEN", MIF_CLAUSE_PEN, &pFirst->pen},
                                        {"BRUSH", MIF_CLAUSE_BRUSH, &pFirst->brush}};
    MifClauseLines lines = {aClauses, 2, 2, CopyClauseToAllCurves, pSet, 0};
    int nRet = ReadClauseLines(pHandle, pFile, &lines);
    if (nRet != MIF_OK && nRet != MIF_END)
        return nRet;
    return AddCurveSet(pHandle, pSet);
}

int ReadRegion(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    int nRet = pFile->LineMoveToNext(' ');
    if (nRet != MIF_OK)
        return nRet == MIF_END ? MIF_ERR_FORMAT : nRet;
    int32_t nPolygons = static_cast<int32_t>(pFile->LineGetInteger());
    if (nPolygons < 1)
        nPolygons = 1;
    MifCurveSet set;
    nRet = AllocateCurveSet(&set, nPolygons, sizeof(_VECTORCURVECLOSED), VOBJ_CURVECLOSED);
    if (nRet == MIF_OK)
        nRet = ReadRegionPolygons(pHandle, pFile, &set);
    FreeCurveSet(&set);
    return nRet;
}

// ---------------------------------------------------------------------------
// FONT and TEXT
// ---------------------------------------------------------------------------

enum {
    MIF_FACE_MAX = 31,
    MIF_TEXT_CLAUSE_LINES = 5,
    MIF_NOT_A_CLAUSE = 3   // a line after the box that ends the TEXT object
};

int ReadFont(_VECTORHANDLE*, CMifFile* pFile, _VECTORTEXTA* pText) {
    pFile->LineMoveToNext(' ');
    char szFace[MIF_FACE_MAX + 1] = "";
    long anValues[4] = {0, 0, 0, 0};  // style, size, fore colour, background

    int nRet = pFile->LineMoveToNext('"');
    if (nRet == MIF_OK) {
        const char* pszClose = static_cast<const char*>(
            memchr(pFile->m_pszCurrent, '"', static_cast<size_t>(pFile->m_nRemaining)));
        if (pszClose == nullptr)
            return MIF_ERR_FORMAT;
        size_t nFace = static_cast<size_t>(pszClose - pFile->m_pszCurrent);
        if (nFace <= MIF_FACE_MAX) {
            Z_MemoryCopy(szFace, pFile->m_pszCurrent, nFace);
            szFace[nFace] = '\0';
        }
        // A comma inside the name counts as a separator like any other.
        for (int i = 0; i < 4 && nRet == MIF_OK; ++i) {
            nRet = pFile->LineMoveToNext(',');
            if (nRet == MIF_OK)
                anValues[i] = pFile->LineGetInteger();
        }
    }

    int32_t nStyle = static_cast<int32_t>(anValues[0]);
    uint32_t crFore = SwapColorBytes(static_cast<uint32_t>(anValues[2]));
    Z_MemorySet(&pText->font, 0, sizeof(pText->font));
    pText->font.nSize = sizeof(pText->font);
    pText->font.nWeight = (nStyle & 1) ? 700 : 0;
    pText->font.bItalic = (nStyle & 2) ? 1 : 0;
    pText->font.bUnderline = (nStyle & 4) ? 1 : 0;
    Z_MemoryCopy(pText->font.szFaceName, szFace, sizeof(szFace));
    InitPen(&pText->pen);
    pText->pen.bSolidOverride = 0;
    pText->pen.crColor = crFore;
    InitBrush(&pText->brush, VBRUSH_SOLID, pText->brush.nHatch);
    pText->brush.crColor = crFore;
    return nRet;
}

// The string of a TEXT line: from after the opening quote up to the next
// quote, or to the end of the line.
void CopyTextString(CMifFile* pFile, char* pszString) {
    size_t nLength = static_cast<size_t>(pFile->m_nRemaining);
    const char* pszQuote = static_cast<const char*>(memchr(pFile->m_pszCurrent, '"', nLength));
    if (pszQuote != nullptr)
        nLength = static_cast<size_t>(pszQuote - pFile->m_pszCurrent);
    Z_MemoryCopy(pszString, pFile->m_pszCurrent, nLength);
    pszString[nLength] = '\0';
}

// The box line: x1 y1 x2 y2.
int ReadTextBox(CMifFile* pFile, double* ad) {
    int nRet = pFile->LineRead();
    if (nRet == MIF_OK)
        nRet = pFile->LineMoveToStart();
    if (nRet != MIF_OK)
        return nRet;
    ad[0] = pFile->LineGetDouble();
    return ReadOperands(pFile, ad + 1, 3);
}

void BuildTextRecord(_VECTORTEXTA* pText, const double* ad, char* pszString) {
    BeginObjectRecord(pText, sizeof(*pText), VOBJ_TEXTA);
    SetPoint(&pText->ptAnchor, ad[0] < ad[2] ? ad[0] : ad[2], ad[1] > ad[3] ? ad[1] : ad[3]);
    pText->pszText = pszString;
    pText->uFormat = VTEXT_SINGLELINE;
    InitPen(&pText->pen);
    InitBrush(&pText->brush, VBRUSH_SOLID, 0);
    double dWidth = ad[2] > ad[0] ? ad[2] - ad[0] : ad[0] - ad[2];
    pText->dCharHeight = ad[3] > ad[1] ? ad[3] - ad[1] : ad[1] - ad[3];
    int nChars = GetTextWidthInChar(pszString);
    pText->dCharWidth = nChars > 0 ? dWidth / nChars : dWidth;
}

// One clause line of a TEXT (the cursor on its first word); the result
// becomes the reader's current result.
int ReadTextClause(_VECTORHANDLE* pHandle, CMifFile* pFile, _VECTORTEXTA* pText) {
    if (IsKeyword(pFile->m_pszCurrent, pFile->m_nRemaining, "FONT"))
        return ReadFont(pHandle, pFile, pText);
    if (IsKeyword(pFile->m_pszCurrent, pFile->m_nRemaining, "Spacing"))
        return MIF_OK;
    if (IsKeyword(pFile->m_pszCurrent, pFile->m_nRemaining, "Justify")) {
        int nRet = pFile->LineMoveToNext(' ');
        if (nRet == MIF_OK && MifEqualNoCase(pFile->m_pszCurrent, "right", 5))
            pText->uFormat |= VTEXT_RIGHT;
        else if (nRet == MIF_OK && MifEqualNoCase(pFile->m_pszCurrent, "center", 6))
            pText->uFormat |= VTEXT_CENTER;
        return nRet;
    }
    // Angle and label lines are passed over; the drawing has no place for
    // them. Any other line ends the object.
    if (IsKeyword(pFile->m_pszCurrent, pFile->m_nRemaining, "Angle") ||
        IsKeyword(pFile->m_pszCurrent, pFile->m_nRemaining, "Label Line"))
        return MIF_OK;
    pFile->m_bReadNewLine = 0;
    return MIF_NOT_A_CLAUSE;
}

int ReadTextClausesAndAdd(_VECTORHANDLE* pHandle, CMifFile* pFile, _VECTORTEXTA* pText) {
    int nCurrent = MIF_OK;
    for (int nLine = 0; nLine < MIF_TEXT_CLAUSE_LINES; ++nLine) {
        int nRet = TakeLine(pFile);
        if (nRet == MIF_END)
            return AddObject(pHandle, VOBJ_TEXTA, pText);
        if (nRet != MIF_OK)
            return nRet;
        if (pFile->m_nRemaining == 0) {
            nCurrent = MIF_OK;  // a blank line counts as a clause line
            continue;
        }
        nRet = ReadTextClause(pHandle, pFile, pText);
        if (nRet == MIF_NOT_A_CLAUSE)
            return AddObject(pHandle, VOBJ_TEXTA, pText);
        nCurrent = nRet;
    }
    if (nCurrent != MIF_OK && nCurrent != MIF_END)
        return nCurrent;
    return AddObject(pHandle, VOBJ_TEXTA, pText);
}

int ReadText(_VECTORHANDLE* pHandle, CMifFile* pFile) {
    int nRet = pFile->LineMoveToNext(' ');
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    StepOverOneCharacter(pFile);  // the opening quote
    char szString[MIF_LINE_SIZE];
    CopyTextString(pFile, szString);

    double ad[4];
    nRet = ReadTextBox(pFile, ad);
    if (nRet != MIF_OK)
        return DroppedObjectResult(nRet);
    _VECTORTEXTA text;
    BuildTextRecord(&text, ad, szString);
    return ReadTextClausesAndAdd(pHandle, pFile, &text);
}
