// check.cpp - the observed load and its explanation, line by line.
#include "check.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "drawing.h"
#include "host.h"
#include "kernel_testing.h"
#include "probe.h"

namespace {

// MIF words that name objects or clauses, as the program knows MIF, and
// whether the drawing lacks something when the filter passes over a line
// that begins with one. The filter reads none of the objects here; it
// reads the first eight clauses where an object takes them.
struct MifWord {
    const char* pszKeyword;
    int nCause;           // the cause of a line that no object took
    int bLoses;
    const char* pszNote;  // what passing over it means, or null
};

const MifWord MIF_WORDS[] = {
    {"MULTIPOINT", CAUSE_UNKNOWN_OBJECT, 1, "its points are not drawn"},
    {"COLLECTION", CAUSE_UNKNOWN_OBJECT, 0, "its parts follow as objects of their own"},
    {"NONE", CAUSE_UNKNOWN_OBJECT, 0, "an object without geometry: nothing to draw"},
    {"PEN", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"BRUSH", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"SYMBOL", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"FONT", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"SPACING", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"JUSTIFY", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"ANGLE", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"LABEL", CAUSE_STRAY_CLAUSE, 1, nullptr},
    {"SMOOTH", CAUSE_UNREAD_CLAUSE, 1, "the polyline is drawn without smoothing"},
    {"CENTER", CAUSE_UNREAD_CLAUSE, 0, "a region's label point: nothing is drawn from it"},
};

// The clauses whose values a filter reader reads.
struct MifClause {
    const char* pszKeyword;
    int nClause;   // CLAUSE_*
};

const MifClause MIF_CLAUSES[] = {
    {"PEN", CLAUSE_PEN}, {"BRUSH", CLAUSE_BRUSH}, {"SYMBOL", CLAUSE_SYMBOL}, {"FONT", CLAUSE_FONT}};

const char DATA_KEYWORD[] = "DATA";

// Everything one check works with.
struct CheckRun {
    ProbeFile file;
    CheckReport* pReport;
    std::vector<uint32_t> anLoadedTypes;     // the load's objects, in order
    std::vector<uint32_t> anExplainedTypes;  // the explanation's, in order
};

// ---------------------------------------------------------------------------
// The observed load
// ---------------------------------------------------------------------------

struct LineStarts {
    std::vector<int64_t> anStarts;
    int bOutOfMemory;
};

// Called by the kernel inside the filter's reads: nothing may be thrown.
void NoteLineStart(tagHANDLE*, int64_t nPosition, void* pUser)
{
    LineStarts* pStarts = static_cast<LineStarts*>(pUser);
    try {
        pStarts->anStarts.push_back(nPosition);
    } catch (const std::bad_alloc&) {
        pStarts->bOutOfMemory = 1;
    }
}

// Called by the vector kernel: nothing may be thrown.
int NoteType(_VECTORHANDLE*, _VECTOROBJECT* pObject, void* pUser)
{
    try {
        static_cast<std::vector<uint32_t>*>(pUser)->push_back(pObject->nType);
    } catch (const std::bad_alloc&) {
        return MIF_ERR_NOMEM;
    }
    return MIF_OK;
}

// The load a host runs, with every line start the filter steps back to.
// Positions arrive in file order; a line ended by a lone CR is stepped back
// to twice, once from the line before it.
int ObserveLoad(const MifFilter* pFilter, const char* pszPath, CheckRun* pRun)
{
    _VECTORHANDLE handle;
    int nRet = HostInitDrawing(&handle);
    if (nRet != MIF_OK)
        return nRet;
    LineStarts starts = {{}, 0};
    Zk_SetStepBackObserver(NoteLineStart, &starts);
    pRun->pReport->nLoadResult = HostVectorLoad(pFilter, pszPath, &handle);
    Zk_SetStepBackObserver(nullptr, nullptr);
    nRet = Z_VecEnumObjects(&handle, NoteType, &pRun->anLoadedTypes, 0);
    Z_VecFree(&handle);
    if (starts.bOutOfMemory)
        return MIF_ERR_NOMEM;
    std::vector<int64_t>& anStarts = pRun->pReport->anLineStarts;
    anStarts.swap(starts.anStarts);
    std::sort(anStarts.begin(), anStarts.end());
    anStarts.erase(std::unique(anStarts.begin(), anStarts.end()), anStarts.end());
    pRun->pReport->nObjectsLoaded = (int64_t)pRun->anLoadedTypes.size();
    return nRet;
}

// The number of the line that holds file position nPos: the lines that
// start at or before it.
int32_t LineHolding(const CheckReport* pReport, int64_t nPos)
{
    const std::vector<int64_t>& anStarts = pReport->anLineStarts;
    return (int32_t)(std::upper_bound(anStarts.begin(), anStarts.end(), nPos) - anStarts.begin());
}

// The position of line nLine, or -1 for a line the load did not read.
int64_t StartOfLine(const CheckReport* pReport, int32_t nLine)
{
    if (nLine < 1 || (size_t)nLine > pReport->anLineStarts.size())
        return -1;
    return pReport->anLineStarts[(size_t)nLine - 1];
}

// ---------------------------------------------------------------------------
// Lines and their words
// ---------------------------------------------------------------------------

std::string LineText(const CMifFile* pReader)
{
    return std::string(pReader->m_szLine, (size_t)pReader->m_nLineLength);
}

const MifWord* FindMifWord(const FilterProbe* pProbe, const char* pszText, int nLength)
{
    for (const MifWord& word : MIF_WORDS)
        if (pProbe->pfnIsKeyword(pszText, nLength, word.pszKeyword))
            return &word;
    return nullptr;
}

// The DATA line of a MIF header is the word DATA alone.
bool IsDataLine(const ProbeFile* pFile, const CMifFile* pReader)
{
    int nLength = pReader->m_nRemaining;
    while (nLength > 0 && pReader->m_pszCurrent[nLength - 1] == ' ')
        --nLength;
    return nLength == (int)strlen(DATA_KEYWORD) && CursorIsKeyword(pFile, pReader, DATA_KEYWORD);
}

// A line that begins with white space holding a tab, before a word the
// filter would have known: tabs are not spaces to MIF. The cursor is past
// the leading spaces already.
bool FindKeywordAfterTab(const ProbeFile* pFile, const CMifFile* pReader, std::string* psKeyword)
{
    const char* pszText = pReader->m_pszCurrent;
    int nLength = pReader->m_nRemaining;
    bool bTab = false;
    while (nLength > 0 && (*pszText == ' ' || *pszText == '\t')) {
        bTab = bTab || *pszText == '\t';
        ++pszText;
        --nLength;
    }
    if (!bTab || nLength == 0)
        return false;
    char szKeyword[16];
    if (FindObjectKeyword(pFile->pProbe, pszText, nLength, szKeyword, sizeof szKeyword)) {
        *psKeyword = szKeyword;
        return true;
    }
    const MifWord* pWord = FindMifWord(pFile->pProbe, pszText, nLength);
    if (pWord != nullptr)
        *psKeyword = pWord->pszKeyword;
    return pWord != nullptr;
}

// Why the loader passed over the line (no reader takes it).
void ClassifyPassedOver(const ProbeFile* pFile, const CMifFile* pReader, CheckUntaken* pItem)
{
    const MifWord* pWord = FindMifWord(pFile->pProbe, pReader->m_pszCurrent, pReader->m_nRemaining);
    if (pWord != nullptr) {
        pItem->nCause = pWord->nCause;
        pItem->sKeyword = pWord->pszKeyword;
        pItem->bLoses = pWord->bLoses;
        pItem->pszNote = pWord->pszNote;
    } else if (FindKeywordAfterTab(pFile, pReader, &pItem->sKeyword)) {
        pItem->nCause = CAUSE_TAB;
    } else {
        pItem->nCause = CAUSE_OTHER;
    }
}

// Lines that follow a dropped or unknown object and begin with no keyword
// are its own lines (coordinates, a text string): they join it.
bool JoinsPrevious(const std::vector<CheckUntaken>& aUntaken, const CheckUntaken& item)
{
    if (aUntaken.empty() || item.nCause != CAUSE_OTHER)
        return false;
    const CheckUntaken& previous = aUntaken.back();
    return previous.nLastLine + 1 == item.nFirstLine && previous.bLoses &&
           (previous.nCause == CAUSE_TOO_FEW_VALUES || previous.nCause == CAUSE_UNKNOWN_OBJECT);
}

void AddUntaken(CheckReport* pReport, const CheckUntaken& item)
{
    if (JoinsPrevious(pReport->aUntaken, item))
        pReport->aUntaken.back().nLastLine = item.nLastLine;
    else
        pReport->aUntaken.push_back(item);
}

// A line the loader dispatched that ended in no object: passed over, or
// taken by a reader that added nothing.
void NoteUntaken(CheckRun* pRun, int64_t nPos, const DispatchProbe& dispatch, int32_t nLastLine)
{
    CheckUntaken item = {LineHolding(pRun->pReport, nPos), nLastLine, CAUSE_OTHER, "", "", 1, nullptr};
    CMifFile* pReader = nullptr;
    ProbeLineAt(&pRun->file, nPos, &pReader);
    item.sText = LineText(pReader);
    if (dispatch.bBlank) {
        item.nCause = CAUSE_BLANK;
        item.bLoses = 0;
    } else if (dispatch.bHasReader) {
        item.nCause = CAUSE_TOO_FEW_VALUES;
        item.sKeyword = dispatch.szKeyword;
    } else {
        ClassifyPassedOver(&pRun->file, pReader, &item);
    }
    AddUntaken(pRun->pReport, item);
}

// The clause with a reader that the line at nPos begins with, or null. A
// blank line is no clause to a person, whatever a keyword test says.
const MifClause* ClauseOfLine(CheckRun* pRun, int64_t nPos, std::string* psText)
{
    CMifFile* pReader = nullptr;
    if (ProbeLineAt(&pRun->file, nPos, &pReader) != MIF_OK || pReader->m_nRemaining == 0)
        return nullptr;
    *psText = LineText(pReader);
    for (const MifClause& clause : MIF_CLAUSES)
        if (CursorIsKeyword(&pRun->file, pReader, clause.pszKeyword))
            return &clause;
    return nullptr;
}

// Fills pNoValues when the line nLine is a clause whose reader gets no
// values from it; returns whether it is.
bool FindClauseWithoutValues(CheckRun* pRun, int32_t nLine, CheckNoValues* pNoValues)
{
    int64_t nPos = StartOfLine(pRun->pReport, nLine);
    std::string sText;
    const MifClause* pClause = nPos >= 0 ? ClauseOfLine(pRun, nPos, &sText) : nullptr;
    if (pClause == nullptr)
        return false;
    ClauseProbe probe;
    ProbeClause(&pRun->file, nPos, pClause->nClause, strlen(pClause->pszKeyword), &probe);
    if (probe.bGotValues)
        return false;
    *pNoValues = {nLine, pClause->pszKeyword, sText, probe.bSpaceFixes};
    return true;
}

// Fills pTaken when the line nLine begins with an object keyword (a blank
// line, which the loader would hand to a reader too, is no such line).
bool FindTakenKeyword(CheckRun* pRun, int32_t nLine, CheckTakenKeyword* pTaken)
{
    CMifFile* pReader = nullptr;
    char szKeyword[16];
    if (ProbeLineAt(&pRun->file, StartOfLine(pRun->pReport, nLine), &pReader) != MIF_OK ||
        pReader->m_nRemaining == 0 ||
        !FindObjectKeyword(pRun->file.pProbe, pReader->m_pszCurrent, pReader->m_nRemaining,
                           szKeyword, sizeof szKeyword))
        return false;
    pTaken->nLine = nLine;
    pTaken->sKeyword = szKeyword;
    pTaken->sText = LineText(pReader);
    return true;
}

// Looks at the lines nFirstLine + 1 to nLastLine that the object beginning
// on nFirstLine took: its operands and clauses, and at times lines that are
// another object's. Clauses are looked at only when bClauses is set.
void ExamineTakenLines(CheckRun* pRun, int32_t nFirstLine, int32_t nLastLine,
                       const char* pszTakenBy, bool bClauses)
{
    CheckReport* pReport = pRun->pReport;
    CheckTakenKeyword taken = {0, "", "", pszTakenBy, nFirstLine};
    CheckNoValues noValues;
    for (int32_t nLine = nFirstLine + 1; nLine <= nLastLine; ++nLine) {
        if (FindTakenKeyword(pRun, nLine, &taken))
            pReport->aTakenKeywords.push_back(taken);
        else if (bClauses && FindClauseWithoutValues(pRun, nLine, &noValues))
            pReport->aNoValues.push_back(noValues);
    }
}

void NoteObject(CheckRun* pRun, int32_t nFirstLine, int32_t nLastLine, const DispatchProbe& dispatch)
{
    pRun->pReport->aObjects.push_back(
        {nFirstLine, nLastLine, dispatch.szKeyword, dispatch.nType, dispatch.nAdded});
    pRun->anExplainedTypes.insert(pRun->anExplainedTypes.end(), (size_t)dispatch.nAdded, dispatch.nType);
    ExamineTakenLines(pRun, nFirstLine, nLastLine, dispatch.szKeyword, true);
}

void NoteStop(CheckRun* pRun, int32_t nFirstLine, int32_t nLastLine, const DispatchProbe& dispatch,
              int nResult)
{
    CheckReport* pReport = pRun->pReport;
    pReport->bStopped = 1;
    CheckStop& stop = pReport->stop;
    stop = {nFirstLine, nLastLine, dispatch.szKeyword, nResult, STOP_OTHER, {}};
    // Its last line is what stopped it; the lines before may be others'.
    ExamineTakenLines(pRun, nFirstLine, nLastLine - 1, dispatch.szKeyword, false);
    CMifFile* pReader = nullptr;
    if (dispatch.bAtEndOfFile && nResult == MIF_ERR_FORMAT)
        stop.nWhy = STOP_END_OF_FILE;
    else if (nLastLine > nFirstLine && FindClauseWithoutValues(pRun, nLastLine, &stop.clause))
        stop.nWhy = STOP_CLAUSE;
    else if (nLastLine > nFirstLine &&
             ProbeLineAt(&pRun->file, StartOfLine(pReport, nLastLine), &pReader) == MIF_OK &&
             pReader->m_nRemaining == 0)
        stop.nWhy = STOP_BLANK_CLAUSE;
}

// ---------------------------------------------------------------------------
// The explanation
// ---------------------------------------------------------------------------

// One dispatch of the loader: the line at nPos and what its reader made of
// it. Returns the position the loader dispatches next, or -1 when the load
// ends here.
int64_t ExplainDispatch(CheckRun* pRun, int64_t nPos)
{
    CheckReport* pReport = pRun->pReport;
    DispatchProbe dispatch;
    ProbeDispatch(&pRun->file, nPos, &dispatch);
    if (dispatch.nLineRead == MIF_END)
        return -1;
    int32_t nFirstLine = LineHolding(pReport, nPos);
    if (dispatch.nLineRead != MIF_OK) {
        NoteStop(pRun, nFirstLine, nFirstLine, dispatch, dispatch.nLineRead);
        return -1;
    }
    int32_t nLastRead = LineHolding(pReport, dispatch.nEnd - 1);
    if (dispatch.nResult != MIF_OK) {
        NoteStop(pRun, nFirstLine, nLastRead, dispatch, dispatch.nResult);
        return -1;
    }
    int32_t nLastTaken = dispatch.bPushedBack ? nLastRead - 1 : nLastRead;
    if (dispatch.nAdded > 0)
        NoteObject(pRun, nFirstLine, nLastTaken, dispatch);
    else
        NoteUntaken(pRun, nPos, dispatch, nLastTaken);
    return dispatch.bPushedBack ? StartOfLine(pReport, nLastRead) : dispatch.nEnd;
}

// The first line after nLine that is DATA alone, among the lines the load
// read; 0 when there is none.
int32_t FindDataLineAfter(CheckRun* pRun, int32_t nLine)
{
    CMifFile* pReader = nullptr;
    for (int32_t n = nLine + 1; n <= (int32_t)pRun->pReport->anLineStarts.size(); ++n)
        if (ProbeLineAt(&pRun->file, StartOfLine(pRun->pReport, n), &pReader) == MIF_OK &&
            IsDataLine(&pRun->file, pReader))
            return n;
    return 0;
}

// The line where the header reader stopped and, for an accepted header,
// whether it is DATA alone; when it is not, the header ended early and the
// lines up to the DATA line after it reach the loader.
void FindHeaderEnd(CheckRun* pRun, const HeaderProbe& header)
{
    CheckReport* pReport = pRun->pReport;
    pReport->nHeaderEndLine = LineHolding(pReport, header.nEnd - 1);
    if (pReport->nHeaderEndLine == 0)
        return;
    CMifFile* pReader = nullptr;
    ProbeLineAt(&pRun->file, StartOfLine(pReport, pReport->nHeaderEndLine), &pReader);
    pReport->sHeaderEndText = LineText(pReader);
    if (header.nResult != MIF_OK)
        return;
    pReport->bHeaderEndedEarly = !IsDataLine(&pRun->file, pReader);
    pReport->nDataLine = pReport->bHeaderEndedEarly
                             ? FindDataLineAfter(pRun, pReport->nHeaderEndLine)
                             : pReport->nHeaderEndLine;
}

// What the loader made of the header lines after an early end: the lines
// no object took are harmless there; objects made of them are counted.
void MarkHeaderLines(CheckReport* pReport)
{
    if (!pReport->bHeaderEndedEarly)
        return;
    for (CheckUntaken& item : pReport->aUntaken)
        if (item.nLastLine <= pReport->nDataLine) {
            item.nCause = CAUSE_HEADER_LINE;
            item.bLoses = 0;
        }
    for (const CheckObject& object : pReport->aObjects)
        if (object.nFirstLine <= pReport->nDataLine)
            pReport->nHeaderObjects += object.nCount;
}

void Explain(CheckRun* pRun)
{
    CheckReport* pReport = pRun->pReport;
    HeaderProbe header;
    ProbeHeader(&pRun->file, &header);
    pReport->nHeaderResult = header.nResult;
    pReport->nVersion = header.nVersion;
    FindHeaderEnd(pRun, header);
    pReport->nLinesRead = pReport->nHeaderEndLine;
    if (header.nResult == MIF_OK) {
        int64_t nPos = header.nEnd;
        while (nPos >= 0) {
            // Every dispatch moves on; the test only keeps a position the
            // load never read from turning into a loop.
            int64_t nNext = ExplainDispatch(pRun, nPos);
            nPos = nNext > nPos ? nNext : -1;
        }
        MarkHeaderLines(pReport);
        pReport->nLinesRead =
            pReport->bStopped ? pReport->stop.nLastLine : (int32_t)pReport->anLineStarts.size();
    }
    pReport->bMatchesLoad = pRun->anExplainedTypes == pRun->anLoadedTypes;
}

}  // namespace

int CheckMifFile(const MifFilter* pFilter, const FilterProbe* pProbe, const char* pszPath,
                 CheckReport* pReport)
{
    *pReport = CheckReport();
    CheckRun run;
    run.pReport = pReport;
    int nRet = OpenProbeFile(pProbe, pszPath, &run.file);
    if (nRet != MIF_OK)
        return nRet;
    nRet = ObserveLoad(pFilter, pszPath, &run);
    if (nRet == MIF_OK)
        Explain(&run);
    CloseProbeFile(&run.file);
    return nRet;
}

bool CheckLoadedAll(const CheckReport* pReport)
{
    if (pReport->nLoadResult != MIF_OK || !pReport->aNoValues.empty() ||
        !pReport->aTakenKeywords.empty())
        return false;
    for (const CheckUntaken& item : pReport->aUntaken)
        if (item.bLoses)
            return false;
    // Objects made of header lines are not the file's objects.
    return pReport->nHeaderObjects == 0;
}
