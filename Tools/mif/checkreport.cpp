// checkreport.cpp - the two forms of the check report.
//
// The text form leads with the verdict, then follows the file: the header,
// the objects added, the clause lines without values, the lines no object
// took grouped by cause, and where and why the load ended. Every problem
// names its line numbers, quotes the line as the filter read it and, where
// one is known, says what to change.
#include "checkreport.h"

#include <string>

#include "drawing.h"
#include "json.h"
#include "results.h"

namespace {

const size_t QUOTE_LIMIT = 60;   // characters of a line shown in the text form

struct CauseText {
    int nCause;
    const char* pszName;      // the JSON name
    const char* pszHeading;   // the text form's group heading
    const char* pszAdvice;    // what to change, or null
};

const CauseText CAUSE_TEXTS[] = {
    {CAUSE_UNKNOWN_OBJECT, "unknown_object", "objects this filter does not read", nullptr},
    {CAUSE_STRAY_CLAUSE, "stray_clause", "clause lines that no object took",
     "put the clause right after the object it belongs to, or remove it"},
    {CAUSE_UNREAD_CLAUSE, "unread_clause", "clauses this filter does not read", nullptr},
    {CAUSE_TOO_FEW_VALUES, "too_few_values", "objects dropped for too few values",
     "write all of the object's values on its keyword line"},
    {CAUSE_TAB, "tab", "a tab before the keyword: MIF separates words with spaces only",
     "indent with spaces"},
    {CAUSE_HEADER_LINE, "header_line", "header lines read as object lines", nullptr},
    {CAUSE_BLANK, "blank", "blank lines", nullptr},
    {CAUSE_OTHER, "other", "lines that begin with no keyword this filter knows", nullptr},
};

const CauseText& CauseTextOf(int nCause)
{
    for (const CauseText& cause : CAUSE_TEXTS)
        if (cause.nCause == nCause)
            return cause;
    return CAUSE_TEXTS[CAUSE_OTHER];
}

const char* STOP_WHY_NAMES[] = {"blank_clause", "clause_without_values", "end_of_file", "other"};

std::string Lines(int32_t nFirst, int32_t nLast)
{
    if (nFirst == nLast)
        return "line " + std::to_string(nFirst);
    return "lines " + std::to_string(nFirst) + "-" + std::to_string(nLast);
}

// The line in quotes, cut for the terminal; a tab shows as \t, since it can
// be the very cause of a problem.
std::string Quote(const std::string& sText)
{
    if (sText.find_first_not_of(' ') == std::string::npos)
        return "(blank)";
    std::string sQuoted = "\"";
    for (size_t i = 0; i < sText.size() && i < QUOTE_LIMIT; ++i) {
        unsigned char c = (unsigned char)sText[i];
        if (c == '\t')
            sQuoted += "\\t";
        else
            sQuoted += c < 0x20 ? '?' : (char)c;
    }
    return sQuoted + (sText.size() > QUOTE_LIMIT ? "...\"" : "\"");
}

std::string Fix(const CheckNoValues& clause)
{
    if (clause.bSpaceFixes)
        return "write a space after " + clause.sClause;
    return "give " + clause.sClause + " all its values";
}

// The object that ends just before line nLine, for a stray clause.
const CheckObject* ObjectBefore(const CheckReport* pReport, int32_t nLine)
{
    const CheckObject* pBefore = nullptr;
    for (const CheckObject& object : pReport->aObjects)
        if (object.nLastLine < nLine)
            pBefore = &object;
    return pBefore;
}

std::string Verdict(const CheckReport* pReport)
{
    std::string sObjects = std::to_string(pReport->nObjectsLoaded) +
                           (pReport->nObjectsLoaded == 1 ? " object" : " objects");
    if (pReport->nHeaderResult != MIF_OK)
        return "refused by its header";
    if (pReport->bStopped)
        return "the load stopped at line " + std::to_string(pReport->stop.nLastLine) + " after " +
               sObjects;
    if (pReport->nLoadResult != MIF_OK)
        return "the load failed after reading every line";
    if (CheckLoadedAll(pReport))
        return "loaded " + sObjects + ", nothing lost";
    return "loaded " + sObjects + ", but not all of the file (see below)";
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

void PrintHeaderText(FILE* pOut, const CheckReport* pReport)
{
    std::string sEnd = Lines(pReport->nHeaderEndLine, pReport->nHeaderEndLine);
    switch (pReport->nHeaderResult) {
    case MIF_OK:
        break;
    case MIF_ERR_FORMAT:
        fprintf(pOut, "header: refused: this filter does not read VERSION %d (%s %s)\n",
                (int)pReport->nVersion, sEnd.c_str(), Quote(pReport->sHeaderEndText).c_str());
        return;
    case MIF_END:
        fprintf(pOut, "header: refused: no DATA line; the file ends at %s\n", sEnd.c_str());
        return;
    default:
        fprintf(pOut, "header: refused: %s (%d)\n", ResultMessage(pReport->nHeaderResult),
                pReport->nHeaderResult);
        return;
    }
    std::string sVersion = pReport->nVersion != 0 ? "VERSION " + std::to_string(pReport->nVersion)
                                                   : "no VERSION line";
    if (!pReport->bHeaderEndedEarly) {
        fprintf(pOut, "header: accepted, %s; the DATA line is %s\n", sVersion.c_str(), sEnd.c_str());
        return;
    }
    fprintf(pOut, "header: accepted, %s; warning: %s %s ended it early\n", sVersion.c_str(),
            sEnd.c_str(), Quote(pReport->sHeaderEndText).c_str());
    int32_t nFirst = pReport->nHeaderEndLine + 1;
    if (pReport->nDataLine > 0)
        fprintf(pOut, "  so the rest of the header, %s up to DATA, %s read as object lines%s\n",
                Lines(nFirst, pReport->nDataLine).c_str(),
                nFirst == pReport->nDataLine ? "was" : "were",
                pReport->nHeaderObjects > 0 ? " and made objects" : " (no object came of it)");
    else
        fputs("  and no DATA line follows it\n", pOut);
    bool bBlank = pReport->sHeaderEndText.find_first_not_of(' ') == std::string::npos;
    fprintf(pOut, "  %s\n", bBlank ? "remove the blank line"
                                   : "rename or move the word that begins that line");
}

bool IsLike(const CheckObject& object, const CheckObject& first)
{
    return object.sKeyword == first.sKeyword && object.nType == first.nType &&
           object.nCount == first.nCount;
}

// Four or more objects in a row, each right after the other, that came from
// the same keyword print as one entry, so that a file of a thousand LINE
// objects reads in one line; shorter runs print object by object. The JSON
// form lists every object.
size_t RunLength(const std::vector<CheckObject>& aObjects, size_t nFirst)
{
    const size_t RUN_MIN = 4;
    size_t nEnd = nFirst + 1;
    while (nEnd < aObjects.size() && aObjects[nEnd].nFirstLine == aObjects[nEnd - 1].nLastLine + 1 &&
           IsLike(aObjects[nEnd], aObjects[nFirst]))
        ++nEnd;
    return nEnd - nFirst >= RUN_MIN ? nEnd - nFirst : 1;
}

std::string Times(size_t nCount, const std::string& sWhat)
{
    return nCount == 1 ? sWhat : std::to_string(nCount) + " x " + sWhat;
}

void PrintObjectsText(FILE* pOut, const CheckReport* pReport)
{
    const std::vector<CheckObject>& aObjects = pReport->aObjects;
    fprintf(pOut, "objects added: %lld\n", (long long)pReport->nObjectsLoaded);
    for (size_t i = 0; i < aObjects.size();) {
        size_t nRun = RunLength(aObjects, i);
        const CheckObject& first = aObjects[i];
        fprintf(pOut, "  %-13s %-14s -> %s\n",
                Lines(first.nFirstLine, aObjects[i + nRun - 1].nLastLine).c_str(),
                Times(nRun, first.sKeyword).c_str(),
                Times(nRun * (size_t)first.nCount, ObjectTypeNameOf(first.nType)).c_str());
        i += nRun;
    }
}

void PrintNoValuesText(FILE* pOut, const CheckReport* pReport)
{
    if (pReport->aNoValues.empty())
        return;
    fputs("clause lines that gave no values:\n", pOut);
    for (const CheckNoValues& clause : pReport->aNoValues)
        fprintf(pOut, "  %-13s %s: %s got no values; %s\n", Lines(clause.nLine, clause.nLine).c_str(),
                Quote(clause.sText).c_str(), clause.sClause.c_str(), Fix(clause).c_str());
}

void PrintTakenKeywordsText(FILE* pOut, const CheckReport* pReport)
{
    if (pReport->aTakenKeywords.empty())
        return;
    fputs("object lines that the object before them took:\n", pOut);
    for (const CheckTakenKeyword& taken : pReport->aTakenKeywords)
        fprintf(pOut, "  %-13s %s: the %s that begins on line %d read it as a line of its own; "
                      "check that %s's counts and lines\n",
                Lines(taken.nLine, taken.nLine).c_str(), Quote(taken.sText).c_str(),
                taken.sTakenBy.c_str(), (int)taken.nTakenByLine, taken.sTakenBy.c_str());
}

void PrintUntakenEntry(FILE* pOut, const CheckReport* pReport, const CheckUntaken& item)
{
    fprintf(pOut, "    %-13s %-10s %s", Lines(item.nFirstLine, item.nLastLine).c_str(),
            item.sKeyword.c_str(), Quote(item.sText).c_str());
    if (item.pszNote != nullptr)
        fprintf(pOut, ": %s", item.pszNote);
    const CheckObject* pBefore = ObjectBefore(pReport, item.nFirstLine);
    if (item.nCause == CAUSE_STRAY_CLAUSE && pBefore != nullptr)
        fprintf(pOut, ": the %s on %s before it did not take it", pBefore->sKeyword.c_str(),
                Lines(pBefore->nFirstLine, pBefore->nLastLine).c_str());
    fputs(item.bLoses ? "\n" : " (harmless)\n", pOut);
}

// Blank lines only get their numbers; header lines after an early end are
// in the header's warning already.
void PrintBlankLines(FILE* pOut, const CheckReport* pReport)
{
    const size_t SHOWN_LIMIT = 12;
    std::string sLines;
    size_t nBlank = 0;
    for (const CheckUntaken& item : pReport->aUntaken) {
        if (item.nCause != CAUSE_BLANK)
            continue;
        if (++nBlank <= SHOWN_LIMIT)
            sLines += (nBlank > 1 ? ", " : "") + std::to_string(item.nFirstLine);
    }
    if (nBlank > SHOWN_LIMIT)
        sLines += ", ...";
    if (nBlank > 0)
        fprintf(pOut, "blank lines passed over (harmless): %zu (%s)\n", nBlank, sLines.c_str());
}

void PrintUntakenText(FILE* pOut, const CheckReport* pReport)
{
    bool bAnyHeading = false;
    for (const CauseText& cause : CAUSE_TEXTS) {
        if (cause.nCause == CAUSE_BLANK || cause.nCause == CAUSE_HEADER_LINE)
            continue;
        bool bHeading = false;
        for (const CheckUntaken& item : pReport->aUntaken) {
            if (item.nCause != cause.nCause)
                continue;
            if (!bAnyHeading)
                fputs("lines no object took:\n", pOut);
            if (!bHeading)
                fprintf(pOut, "  %s%s%s:\n", cause.pszHeading, cause.pszAdvice != nullptr ? "; " : "",
                        cause.pszAdvice != nullptr ? cause.pszAdvice : "");
            bAnyHeading = bHeading = true;
            PrintUntakenEntry(pOut, pReport, item);
        }
    }
    PrintBlankLines(pOut, pReport);
}

void PrintStopText(FILE* pOut, const CheckStop& stop)
{
    std::string sObject = "the " + stop.sKeyword + " on " + Lines(stop.nFirstLine, stop.nLastLine);
    std::string sLast = "line " + std::to_string(stop.nLastLine);
    switch (stop.nWhy) {
    case STOP_BLANK_CLAUSE:
        fprintf(pOut, "  %s took the blank %s as a clause line, which gave no values: remove the "
                      "blank line\n",
                sObject.c_str(), sLast.c_str());
        break;
    case STOP_CLAUSE:
        fprintf(pOut, "  %s took %s %s as its %s clause, which gave no values: %s\n",
                sObject.c_str(), sLast.c_str(), Quote(stop.clause.sText).c_str(),
                stop.clause.sClause.c_str(), Fix(stop.clause).c_str());
        break;
    case STOP_END_OF_FILE:
        fprintf(pOut, "  the file ends inside the %s that begins on line %d: is a count larger "
                      "than the lines that follow it?\n",
                stop.sKeyword.c_str(), (int)stop.nFirstLine);
        break;
    default:
        fprintf(pOut, "  %s ended it\n", sObject.c_str());
        break;
    }
}

void PrintLoadText(FILE* pOut, const CheckReport* pReport)
{
    int nResult = pReport->nLoadResult;
    if (pReport->nHeaderResult != MIF_OK) {
        fprintf(pOut, "load: ended by the header with %d (%s); nothing after line %d was read\n",
                nResult, ResultMessage(nResult), (int)pReport->nLinesRead);
        return;
    }
    if (!pReport->bStopped) {
        fprintf(pOut, "load: read all %d lines and ended with %d (%s)\n", (int)pReport->nLinesRead,
                nResult, ResultMessage(nResult));
        return;
    }
    fprintf(pOut, "load: stopped at line %d with %d (%s)\n", (int)pReport->stop.nLastLine, nResult,
            ResultMessage(nResult));
    PrintStopText(pOut, pReport->stop);
    fprintf(pOut, "  nothing after line %d was read\n", (int)pReport->stop.nLastLine);
}

// ---------------------------------------------------------------------------
// JSON
// ---------------------------------------------------------------------------

void WriteHeaderJson(JsonWriter* pWriter, const CheckReport* pReport)
{
    JsonBeginObject(pWriter, "header", 0);
    JsonInteger(pWriter, "result", pReport->nHeaderResult);
    JsonInteger(pWriter, "version", pReport->nVersion);
    JsonInteger(pWriter, "end_line", pReport->nHeaderEndLine);
    JsonInteger(pWriter, "ended_early", pReport->bHeaderEndedEarly);
    JsonInteger(pWriter, "data_line", pReport->nDataLine);
    JsonInteger(pWriter, "objects_from_header", pReport->nHeaderObjects);
    JsonEndObject(pWriter);
}

void WriteLoadJson(JsonWriter* pWriter, const CheckReport* pReport)
{
    JsonBeginObject(pWriter, "load", 0);
    JsonInteger(pWriter, "result", pReport->nLoadResult);
    JsonString(pWriter, "meaning", ResultMessage(pReport->nLoadResult));
    JsonInteger(pWriter, "lines_read", pReport->nLinesRead);
    JsonInteger(pWriter, "objects", pReport->nObjectsLoaded);
    JsonInteger(pWriter, "explained", pReport->bMatchesLoad);
    JsonEndObject(pWriter);
}

void WriteObjectsJson(JsonWriter* pWriter, const CheckReport* pReport)
{
    JsonBeginArray(pWriter, "objects", 1);
    for (const CheckObject& object : pReport->aObjects) {
        JsonBeginObject(pWriter, nullptr, 0);
        JsonInteger(pWriter, "first", object.nFirstLine);
        JsonInteger(pWriter, "last", object.nLastLine);
        JsonString(pWriter, "keyword", object.sKeyword.c_str());
        JsonString(pWriter, "type", ObjectTypeNameOf(object.nType));
        JsonInteger(pWriter, "count", object.nCount);
        JsonEndObject(pWriter);
    }
    JsonEndArray(pWriter);
}

void WriteNoValuesMembers(JsonWriter* pWriter, const CheckNoValues& clause)
{
    JsonInteger(pWriter, "line", clause.nLine);
    JsonString(pWriter, "clause", clause.sClause.c_str());
    JsonString(pWriter, "text", clause.sText.c_str());
    JsonString(pWriter, "fix", Fix(clause).c_str());
}

void WriteNoValuesJson(JsonWriter* pWriter, const CheckReport* pReport)
{
    JsonBeginArray(pWriter, "no_values", 1);
    for (const CheckNoValues& clause : pReport->aNoValues) {
        JsonBeginObject(pWriter, nullptr, 0);
        WriteNoValuesMembers(pWriter, clause);
        JsonEndObject(pWriter);
    }
    JsonEndArray(pWriter);
}

void WriteTakenKeywordsJson(JsonWriter* pWriter, const CheckReport* pReport)
{
    JsonBeginArray(pWriter, "taken_keyword_lines", 1);
    for (const CheckTakenKeyword& taken : pReport->aTakenKeywords) {
        JsonBeginObject(pWriter, nullptr, 0);
        JsonInteger(pWriter, "line", taken.nLine);
        JsonString(pWriter, "keyword", taken.sKeyword.c_str());
        JsonString(pWriter, "text", taken.sText.c_str());
        JsonString(pWriter, "taken_by", taken.sTakenBy.c_str());
        JsonInteger(pWriter, "taken_by_line", taken.nTakenByLine);
        JsonEndObject(pWriter);
    }
    JsonEndArray(pWriter);
}

void WriteUntakenJson(JsonWriter* pWriter, const CheckReport* pReport)
{
    JsonBeginArray(pWriter, "untaken", 1);
    for (const CheckUntaken& item : pReport->aUntaken) {
        JsonBeginObject(pWriter, nullptr, 0);
        JsonInteger(pWriter, "first", item.nFirstLine);
        JsonInteger(pWriter, "last", item.nLastLine);
        JsonString(pWriter, "cause", CauseTextOf(item.nCause).pszName);
        JsonString(pWriter, "keyword", item.sKeyword.c_str());
        JsonString(pWriter, "text", item.sText.c_str());
        JsonInteger(pWriter, "loses", item.bLoses);
        JsonEndObject(pWriter);
    }
    JsonEndArray(pWriter);
}

void WriteStopJson(JsonWriter* pWriter, const CheckStop& stop)
{
    JsonBeginObject(pWriter, "stop", 0);
    JsonInteger(pWriter, "first", stop.nFirstLine);
    JsonInteger(pWriter, "last", stop.nLastLine);
    JsonString(pWriter, "keyword", stop.sKeyword.c_str());
    JsonInteger(pWriter, "result", stop.nResult);
    JsonString(pWriter, "why", STOP_WHY_NAMES[stop.nWhy]);
    if (stop.nWhy == STOP_CLAUSE)
        WriteNoValuesMembers(pWriter, stop.clause);
    JsonEndObject(pWriter);
}

}  // namespace

void PrintCheckText(FILE* pOut, const char* pszPath, const CheckReport* pReport)
{
    fprintf(pOut, "%s: %s\n", pszPath, Verdict(pReport).c_str());
    if (!pReport->bMatchesLoad)
        fprintf(pOut, "warning: the objects below are not those the load added (%lld); this "
                      "report is not to be trusted\n",
                (long long)pReport->nObjectsLoaded);
    PrintHeaderText(pOut, pReport);
    if (pReport->nHeaderResult == MIF_OK) {
        PrintObjectsText(pOut, pReport);
        PrintNoValuesText(pOut, pReport);
        PrintTakenKeywordsText(pOut, pReport);
        PrintUntakenText(pOut, pReport);
    }
    PrintLoadText(pOut, pReport);
}

void PrintCheckJson(FILE* pOut, const char* pszPath, const CheckReport* pReport)
{
    JsonWriter writer;
    JsonInit(&writer, pOut);
    JsonBeginObject(&writer, nullptr, 1);
    JsonString(&writer, "file", pszPath);
    JsonInteger(&writer, "loaded_all", CheckLoadedAll(pReport));
    WriteHeaderJson(&writer, pReport);
    WriteLoadJson(&writer, pReport);
    WriteObjectsJson(&writer, pReport);
    WriteNoValuesJson(&writer, pReport);
    WriteTakenKeywordsJson(&writer, pReport);
    WriteUntakenJson(&writer, pReport);
    if (pReport->bStopped)
        WriteStopJson(&writer, pReport->stop);
    JsonEndObject(&writer);
}
