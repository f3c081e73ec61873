// check.h - "mif check": what the filter makes of a MIF file, line by line.
//
// The check runs the load a host runs (fltLoad in vector mode into a host
// drawing) and watches it through the kernel's step-back observer: the
// filter's line reader steps back one byte at the start of every line it
// reads (and after a lone CR, which begins a line as well), so the positions
// it steps back to are the line starts as the filter sees them. They number
// the lines of the report and tell how far the load read.
//
// The check then explains the load one dispatch at a time, in the loader's
// order: the line after the header, then each line the previous reader left
// (its pushed-back line, or the line after the last it read). Each is handed
// alone to the reader the filter picks for it (probe.h), which tells what
// that object took, what it added and which line it left. The explanation
// adds what the load added, or bMatchesLoad says it did not.
//
// Lines that no object took are grouped by cause. What the causes mean in
// MIF (which words name objects or clauses this filter does not read) is the
// program's own knowledge; every decision about how the filter reads a line
// is asked of the filter.
#ifndef TOOLS_MIF_CHECK_H
#define TOOLS_MIF_CHECK_H

#include <stdint.h>

#include <string>
#include <vector>

#include "filter.h"
#include "probe.h"

// Why a line ended up in no object.
enum CheckCause {
    CAUSE_UNKNOWN_OBJECT,  // a MIF object this filter does not read (MULTIPOINT, ...)
    CAUSE_STRAY_CLAUSE,    // a clause line where no object took it
    CAUSE_UNREAD_CLAUSE,   // a MIF clause this filter does not read (SMOOTH, CENTER)
    CAUSE_TOO_FEW_VALUES,  // an object dropped by its reader: too few values
    CAUSE_TAB,             // a tab before a keyword: tabs are not spaces to MIF
    CAUSE_HEADER_LINE,     // a header line read as an object line
    CAUSE_BLANK,           // an empty line or a line of spaces
    CAUSE_OTHER            // a line that begins with no keyword
};

// Line numbers count from 1, as an editor shows them.
struct CheckObject {
    int32_t nFirstLine;
    int32_t nLastLine;
    std::string sKeyword;  // the MIF keyword of the reader that took it
    uint32_t nType;        // vector object type it became
    int32_t nCount;        // objects added (one per PLINE section or REGION polygon)
};

struct CheckUntaken {
    int32_t nFirstLine;
    int32_t nLastLine;     // beyond the first: the lines passed over with it
    int nCause;            // CAUSE_*
    std::string sKeyword;  // the keyword the cause names, upper case; may be empty
    std::string sText;     // the first line as the filter read it
    int bLoses;            // the drawing lacks something the line meant
    const char* pszNote;   // what passing over the keyword means, or null
};

// A clause line that an object took, but whose reader got no values from it.
struct CheckNoValues {
    int32_t nLine;
    std::string sClause;   // PEN, BRUSH, SYMBOL or FONT
    std::string sText;
    int bSpaceFixes;       // the filter reads its values once a space follows the keyword
};

// An object keyword line that the object before it took as one of its own
// lines: the object read more lines than it had (a count too large, an
// angle line it expects), and the object of this line is lost.
struct CheckTakenKeyword {
    int32_t nLine;
    std::string sKeyword;  // the keyword the line begins with
    std::string sText;
    std::string sTakenBy;  // the keyword of the object that took it
    int32_t nTakenByLine;  // the line where that object begins
};

// What ended a load that a reader stopped.
enum CheckStopWhy {
    STOP_BLANK_CLAUSE,     // its last line is blank and was taken as a clause line
    STOP_CLAUSE,           // its last line is a clause that gave no values
    STOP_END_OF_FILE,      // the file ended inside the object
    STOP_OTHER
};

struct CheckStop {
    int32_t nFirstLine;    // where the reader that stopped the load began
    int32_t nLastLine;     // the last line it read
    std::string sKeyword;
    int nResult;           // its result, the load's result
    int nWhy;              // STOP_*
    CheckNoValues clause;  // STOP_CLAUSE: the clause line
};

struct CheckReport {
    int nHeaderResult;           // ReadHeader's result
    int32_t nVersion;            // the VERSION it found, 0 without one
    int32_t nHeaderEndLine;      // the line where the header reader stopped
    std::string sHeaderEndText;  // that line as the filter read it
    int bHeaderEndedEarly;       // a line other than DATA alone ended the header
    int32_t nDataLine;           // the DATA line after an early end, 0 without one
    int32_t nHeaderObjects;      // objects the loader made of header lines

    int nLoadResult;             // fltLoad's result
    int64_t nObjectsLoaded;      // objects in the loaded drawing
    int32_t nLinesRead;          // lines the load read
    int bMatchesLoad;            // the explanation added what the load added

    std::vector<int64_t> anLineStarts;  // file position of each line read
    std::vector<CheckObject> aObjects;
    std::vector<CheckUntaken> aUntaken;
    std::vector<CheckNoValues> aNoValues;
    std::vector<CheckTakenKeyword> aTakenKeywords;
    int bStopped;                // a reader ended the load; stop says which
    CheckStop stop;
};

// Checks pszPath with the filter pFilter, whose functions pProbe resolved.
// Returns 1 with the report filled, -14 when the file cannot be opened, -1
// when memory ran out, or the vector kernel's result when the host drawing
// could not be made or read back.
int CheckMifFile(const MifFilter* pFilter, const FilterProbe* pProbe, const char* pszPath,
                 CheckReport* pReport);

// True when the whole file loaded and nothing the drawing should hold was
// lost: the header accepted, the load ended with 1, every untaken line
// harmless (blank, CENTER, NONE, ...), every clause with values, and no
// object line taken by another object.
bool CheckLoadedAll(const CheckReport* pReport);

#endif  // TOOLS_MIF_CHECK_H
