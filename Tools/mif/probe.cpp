// probe.cpp - resolving the filter's functions and asking them about lines.
#include "probe.h"

#include <ctype.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "drawing.h"
#include "host.h"

namespace {

const int32_t READ_FLAGS = 0;      // O_RDONLY
const int32_t READ_MODE = 256;     // S_IRUSR
const int32_t SEEK_FROM_START = 0;
const int32_t SEEK_FROM_HERE = 1;
const int32_t SEEK_FROM_END = 2;

template <typename PFN>
int ResolveFunction(const MifFilter* pFilter, const char* pszName, PFN* ppfn,
                    const char** ppszMissing)
{
    *ppfn = reinterpret_cast<PFN>(FindFilterSymbol(pFilter, pszName));
    if (*ppfn == nullptr)
        *ppszMissing = pszName;
    return *ppfn != nullptr;
}

// A fresh reader over the probe's handle: zeroed storage is an unbound
// reader, which the filter's Open binds without ownership.
CMifFile* BindReader(ProbeFile* pFile)
{
    memset(pFile->abReader, 0, sizeof pFile->abReader);
    CMifFile* pReader = reinterpret_cast<CMifFile*>(pFile->abReader);
    pFile->pProbe->pfnOpen(pReader, pFile->hFile, 0);
    return pReader;
}

int64_t Position(ProbeFile* pFile)
{
    return Z_RedirectedSeek(pFile->hFile, 0, SEEK_FROM_HERE);
}

// The filter names each object reader Read + the object's MIF keyword
// (ReadPLine reads PLINE); the exported, decorated name of the function
// is "_Z" + its length + that name + the parameter types. A reader whose
// name cannot be found is shown as "?".
void KeywordOfReader(PFNOBJECTREADER pfnRead, char* pszKeyword, size_t nSize)
{
    static const char READER_PREFIX[] = "Read";
    const size_t nPrefix = sizeof READER_PREFIX - 1;
    snprintf(pszKeyword, nSize, "?");
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(pfnRead), &info) == 0 || info.dli_sname == nullptr ||
        strncmp(info.dli_sname, "_Z", 2) != 0)
        return;
    char* pszName = nullptr;
    size_t nLength = strtoul(info.dli_sname + 2, &pszName, 10);
    if (nLength <= nPrefix || nLength - nPrefix >= nSize ||
        strncmp(pszName, READER_PREFIX, nPrefix) != 0)
        return;
    size_t nKeyword = nLength - nPrefix;
    for (size_t i = 0; i < nKeyword; ++i)
        pszKeyword[i] = (char)toupper((unsigned char)pszName[nPrefix + i]);
    pszKeyword[nKeyword] = '\0';
}

// Types the objects of a scratch drawing: a reader adds objects of one type.
void DescribeAdded(_VECTORHANDLE* pHandle, DispatchProbe* pDispatch)
{
    ObjectCounts counts;
    if (CountObjects(pHandle, &counts) != MIF_OK)
        return;
    pDispatch->nAdded = (int32_t)counts.nTotal;
    for (int i = 0; i < OBJECT_TYPE_COUNT; ++i)
        if (counts.anByType[i] != 0)
            pDispatch->nType = OBJECT_TYPE_NAMES[i].nType;
}

// Runs one object reader over the line it was picked for, into a drawing of
// its own, and notes what it took and added.
void RunObjectReader(PFNOBJECTREADER pfnRead, CMifFile* pReader, DispatchProbe* pDispatch)
{
    _VECTORHANDLE scratch;
    pDispatch->nResult = HostInitDrawing(&scratch);
    if (pDispatch->nResult == MIF_OK) {
        pDispatch->nResult = pfnRead(&scratch, pReader);
        DescribeAdded(&scratch, pDispatch);
    }
    Z_VecFree(&scratch);
    pDispatch->bPushedBack = pReader->m_bReadNewLine == 0;
}

// The record a clause reader fills, compared byte for byte: every reader
// is handed a zeroed one.
union ClauseRecord {
    _VECTORPEN pen;
    _VECTORBRUSH brush;
    _MIFSYMBOL symbol;
    _VECTORTEXTA text;
};

struct ClauseRun {
    int nResult;
    ClauseRecord record;
};

// How the line is changed before the clause reader runs on it.
enum { LINE_AS_IS, LINE_KEYWORD_ONLY, LINE_SPACE_AFTER_KEYWORD };

// Cuts the reader's line after the nKeywordLength characters at the cursor,
// or writes a space there, and puts the cursor back at the start. Returns
// 0 when the keyword does not fit on the line or a full line has no room.
int EditLine(const FilterProbe* pProbe, CMifFile* pReader, int nEdit, size_t nKeywordLength)
{
    size_t nAt = (size_t)(pReader->m_pszCurrent - pReader->m_szLine) + nKeywordLength;
    size_t nLength = (size_t)pReader->m_nLineLength;
    if (nAt > nLength || (nEdit == LINE_SPACE_AFTER_KEYWORD && nLength >= MIF_MAX_LINE))
        return 0;
    if (nEdit == LINE_KEYWORD_ONLY) {
        pReader->m_szLine[nAt] = '\0';
        pReader->m_nLineLength = (int)nAt;
    } else {
        memmove(pReader->m_szLine + nAt + 1, pReader->m_szLine + nAt, nLength - nAt + 1);
        pReader->m_szLine[nAt] = ' ';
        ++pReader->m_nLineLength;
    }
    pProbe->pfnLineMoveToStart(pReader);
    return 1;
}

// Runs the clause reader on the line at nPos, changed by nEdit. Returns 0
// when the line cannot be read or changed so.
int RunClauseReader(ProbeFile* pFile, int64_t nPos, int nClause, size_t nKeywordLength,
                    int nEdit, ClauseRun* pRun)
{
    const FilterProbe* pProbe = pFile->pProbe;
    CMifFile* pReader = nullptr;
    if (ProbeLineAt(pFile, nPos, &pReader) != MIF_OK ||
        (nEdit != LINE_AS_IS && !EditLine(pProbe, pReader, nEdit, nKeywordLength)))
        return 0;
    memset(&pRun->record, 0, sizeof pRun->record);
    // The clause readers fill a record and never use the drawing.
    switch (nClause) {
    case CLAUSE_PEN:
        pRun->nResult = pProbe->pfnReadPen(nullptr, pReader, &pRun->record.pen);
        break;
    case CLAUSE_BRUSH:
        pRun->nResult = pProbe->pfnReadBrush(nullptr, pReader, &pRun->record.brush);
        break;
    case CLAUSE_SYMBOL:
        pRun->nResult = pProbe->pfnReadSymbol(nullptr, pReader, &pRun->record.symbol);
        break;
    default:
        pRun->nResult = pProbe->pfnReadFont(nullptr, pReader, &pRun->record.text);
        break;
    }
    return 1;
}

bool GotValues(const ClauseRun& run, const ClauseRun& keywordOnly)
{
    return run.nResult == MIF_OK || memcmp(&run.record, &keywordOnly.record, sizeof run.record) != 0;
}

}  // namespace

int ResolveFilterProbe(const MifFilter* pFilter, FilterProbe* pProbe, const char** ppszMissing)
{
    memset(pProbe, 0, sizeof *pProbe);
    return ResolveFunction(pFilter, "_Z10ReadHeaderP9tagHANDLEP10_MIFHEADER",
                           &pProbe->pfnReadHeader, ppszMissing) &&
           ResolveFunction(pFilter, "_Z10FreeHeaderP10_MIFHEADER", &pProbe->pfnFreeHeader,
                           ppszMissing) &&
           ResolveFunction(pFilter, "_Z16FindObjectReaderPKci", &pProbe->pfnFindObjectReader,
                           ppszMissing) &&
           ResolveFunction(pFilter, "_Z9IsKeywordPKciS0_", &pProbe->pfnIsKeyword, ppszMissing) &&
           ResolveFunction(pFilter, "_Z7ReadPenP13_VECTORHANDLEP8CMifFileP10_VECTORPEN",
                           &pProbe->pfnReadPen, ppszMissing) &&
           ResolveFunction(pFilter, "_Z9ReadBrushP13_VECTORHANDLEP8CMifFileP12_VECTORBRUSH",
                           &pProbe->pfnReadBrush, ppszMissing) &&
           ResolveFunction(pFilter, "_Z10ReadSymbolP13_VECTORHANDLEP8CMifFileP10_MIFSYMBOL",
                           &pProbe->pfnReadSymbol, ppszMissing) &&
           ResolveFunction(pFilter, "_Z8ReadFontP13_VECTORHANDLEP8CMifFileP12_VECTORTEXTA",
                           &pProbe->pfnReadFont, ppszMissing) &&
           ResolveFunction(pFilter, "_ZN8CMifFile4OpenEP9tagHANDLEi", &pProbe->pfnOpen,
                           ppszMissing) &&
           ResolveFunction(pFilter, "_ZN8CMifFile8LineReadEv", &pProbe->pfnLineRead,
                           ppszMissing) &&
           ResolveFunction(pFilter, "_ZN8CMifFile15LineMoveToStartEv",
                           &pProbe->pfnLineMoveToStart, ppszMissing);
}

int OpenProbeFile(const FilterProbe* pProbe, const char* pszPath, ProbeFile* pFile)
{
    memset(pFile, 0, sizeof *pFile);
    pFile->pProbe = pProbe;
    pFile->hFile = Z_RedirectedOpen(pszPath, READ_FLAGS, READ_MODE);
    if (pFile->hFile == nullptr || pFile->hFile == MIF_INVALID_HANDLE) {
        pFile->hFile = nullptr;
        return MIF_ERR_NOFILE;
    }
    return MIF_OK;
}

void CloseProbeFile(ProbeFile* pFile)
{
    if (pFile->hFile != nullptr)
        Z_RedirectedClose(pFile->hFile);
    pFile->hFile = nullptr;
}

int ProbeLineAt(ProbeFile* pFile, int64_t nPos, CMifFile** ppReader)
{
    CMifFile* pReader = BindReader(pFile);
    Z_RedirectedSeek(pFile->hFile, nPos, SEEK_FROM_START);
    int nRet = pFile->pProbe->pfnLineRead(pReader);
    if (nRet == MIF_OK)
        pFile->pProbe->pfnLineMoveToStart(pReader);
    *ppReader = pReader;
    return nRet;
}

bool CursorIsKeyword(const ProbeFile* pFile, const CMifFile* pReader, const char* pszKeyword)
{
    return pFile->pProbe->pfnIsKeyword(pReader->m_pszCurrent, pReader->m_nRemaining, pszKeyword);
}

int FindObjectKeyword(const FilterProbe* pProbe, const char* pszText, int nLength,
                      char* pszKeyword, size_t nSize)
{
    PFNOBJECTREADER pfnRead = pProbe->pfnFindObjectReader(pszText, nLength);
    if (pfnRead != nullptr)
        KeywordOfReader(pfnRead, pszKeyword, nSize);
    return pfnRead != nullptr;
}

void ProbeHeader(ProbeFile* pFile, HeaderProbe* pHeader)
{
    _MIFHEADER header;
    memset(&header, 0, sizeof header);
    pHeader->nResult = pFile->pProbe->pfnReadHeader(pFile->hFile, &header);
    pHeader->nVersion = header.nVersion;
    pFile->pProbe->pfnFreeHeader(&header);
    pHeader->nEnd = Position(pFile);
}

void ProbeDispatch(ProbeFile* pFile, int64_t nPos, DispatchProbe* pDispatch)
{
    memset(pDispatch, 0, sizeof *pDispatch);
    pDispatch->nResult = MIF_OK;
    CMifFile* pReader = nullptr;
    pDispatch->nLineRead = ProbeLineAt(pFile, nPos, &pReader);
    if (pDispatch->nLineRead != MIF_OK)
        return;
    pDispatch->bBlank = pReader->m_nRemaining == 0;
    PFNOBJECTREADER pfnRead =
        pFile->pProbe->pfnFindObjectReader(pReader->m_pszCurrent, pReader->m_nRemaining);
    pDispatch->bHasReader = pfnRead != nullptr;
    if (pfnRead != nullptr) {
        KeywordOfReader(pfnRead, pDispatch->szKeyword, sizeof pDispatch->szKeyword);
        RunObjectReader(pfnRead, pReader, pDispatch);
    }
    pDispatch->nEnd = Position(pFile);
    pDispatch->bAtEndOfFile = pDispatch->nEnd == Z_RedirectedSeek(pFile->hFile, 0, SEEK_FROM_END);
}

void ProbeClause(ProbeFile* pFile, int64_t nPos, int nClause, size_t nKeywordLength,
                 ClauseProbe* pClause)
{
    ClauseRun keywordOnly, asIs, spaced;
    pClause->bGotValues = 1;
    pClause->bSpaceFixes = 0;
    if (!RunClauseReader(pFile, nPos, nClause, nKeywordLength, LINE_KEYWORD_ONLY, &keywordOnly) ||
        !RunClauseReader(pFile, nPos, nClause, nKeywordLength, LINE_AS_IS, &asIs))
        return;
    pClause->bGotValues = GotValues(asIs, keywordOnly);
    pClause->bSpaceFixes =
        !pClause->bGotValues &&
        RunClauseReader(pFile, nPos, nClause, nKeywordLength, LINE_SPACE_AFTER_KEYWORD, &spaced) &&
        GotValues(spaced, keywordOnly);
}
