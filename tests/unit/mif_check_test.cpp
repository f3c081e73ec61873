// mif_check_test.cpp - "mif check" on small files made for each way a line
// can end up in no object: the report must name the right lines, the right
// cause and the right fix, agree with what the load added, and say whether
// the whole file loaded. The check is called directly, with the filter
// opened by dlopen as the program opens it.
#include <gtest/gtest.h>

#include <string>

#include "check.h"
#include "mif_test_support.h"

namespace {

const char* const kCauseNames[] = {"unknown", "stray", "unread", "dropped", "tab", "header", "blank", "other"};
const char* const kStopNames[] = {"blank", "clause", "end of file", "other"};

std::string Lines(int32_t nFirst, int32_t nLast) { return std::to_string(nFirst) + "-" + std::to_string(nLast); }

// The report in one line: what a reader of the text form would gather.
// Blank lines are left out; every case has some.
std::string Summary(const CheckReport& report) {
    std::string s = "header " + std::to_string(report.nHeaderResult) + " v" +
                    std::to_string(report.nVersion) + " end " + std::to_string(report.nHeaderEndLine);
    if (report.bHeaderEndedEarly) s += " early, data " + std::to_string(report.nDataLine);
    for (const CheckObject& object : report.aObjects)
        s += " | " + object.sKeyword + " " + Lines(object.nFirstLine, object.nLastLine) + " x" +
             std::to_string(object.nCount);
    for (const CheckUntaken& item : report.aUntaken)
        if (item.nCause != CAUSE_BLANK)
            s += " | " + std::string(kCauseNames[item.nCause]) + " " + item.sKeyword + " " +
                 Lines(item.nFirstLine, item.nLastLine);
    for (const CheckTakenKeyword& taken : report.aTakenKeywords)
        s += " | taken " + taken.sKeyword + " " + std::to_string(taken.nLine) + " by " +
             taken.sTakenBy + " " + std::to_string(taken.nTakenByLine);
    for (const CheckNoValues& clause : report.aNoValues)
        s += " | no values " + clause.sClause + " " + std::to_string(clause.nLine) +
             (clause.bSpaceFixes ? " space" : "");
    if (report.bStopped)
        s += " | stop " + report.stop.sKeyword + " " +
             Lines(report.stop.nFirstLine, report.stop.nLastLine) + " " +
             kStopNames[report.stop.nWhy] +
             (report.stop.nWhy == STOP_CLAUSE ? " " + report.stop.clause.sClause : "") +
             (report.stop.clause.bSpaceFixes ? " space" : "");
    return s + " | load " + std::to_string(report.nLoadResult);
}

class MifCheck : public testing::Test {
protected:
    void SetUp() override {
        char szError[256];
        ASSERT_TRUE(OpenFilter(MIF_FILTER_PATH, &m_filter, szError, sizeof szError)) << szError;
        const char* pszMissing = nullptr;
        ASSERT_TRUE(ResolveFilterProbe(&m_filter, &m_probe, &pszMissing)) << pszMissing;
    }
    void TearDown() override { CloseFilter(&m_filter); }

    MifFilter m_filter{};
    FilterProbe m_probe{};
    miftest::TempDir m_dir;
};

TEST_F(MifCheck, NamesTheLinesTheCauseAndTheFix) {
    const struct { const char* pszCase; std::string sMif; const char* pszSummary; bool bLoadedAll; } aCases[] = {
        {"clean, with a passed-over CENTER",
         "VERSION 300\r\nDATA\r\nREGION 1\r\n3\r\n0 0\r\n1 0\r\n0 1\r\nBRUSH (2,255)\r\n"
         "PEN (1,2,0)\r\nCENTER 0 0\r\n\r\nLINE 0 0 1 1\r\n",
         "header 1 v300 end 2 | REGION 3-9 x1 | LINE 12-12 x1 | unread CENTER 10-10 | load 1", true},
        {"version refused",
         "VERSION 650\nDATA\nPOINT 1 2\n",
         "header -9 v650 end 1 | load -9", false},
        {"blank line ends the header early",
         "VERSION 300\nColumns 1\n\n  Line Char(10)\nDATA\nPOINT 1 2\n",
         "header 1 v300 end 3 early, data 5 | POINT 6-6 x1 | header LINE 4-5 | load 1",
         true},
        {"object the filter does not read, with its points",
         "VERSION 300\nDATA\nMULTIPOINT 2\n1 2\n3 4\nNONE\nPOINT 1 2\n",
         "header 1 v300 end 2 | POINT 7-7 x1 | unknown MULTIPOINT 3-5 | unknown NONE 6-6 | load 1",
         false},
        {"clause the object before it does not take, lone CR line ends",
         "VERSION 300\rDATA\rPOINT 1 2\rPEN (1,2,3)\rLINE 0 0 1 1\r",
         "header 1 v300 end 2 | POINT 3-3 x1 | LINE 5-5 x1 | stray PEN 4-4 | load 1", false},
        {"keyword line with too few values",
         "VERSION 300\nDATA\nLINE 0 0 1\nPOINT 1 2\n",
         "header 1 v300 end 2 | POINT 4-4 x1 | dropped LINE 3-3 | load 1", false},
        {"tab before a keyword",
         "VERSION 300\nDATA\nPOINT 1 2\n\tSYMBOL (35,255,12)\n",
         "header 1 v300 end 2 | POINT 3-3 x1 | tab SYMBOL 4-4 | load 1", false},
        {"a count larger than its lines takes the next object",
         "VERSION 300\nDATA\nPLINE 3\n0 0\n1 1\nPOINT 5 5\n",
         "header 1 v300 end 2 | PLINE 3-6 x1 | taken POINT 6 by PLINE 3 | load 1", false},
        {"Pen( after a LINE",
         "VERSION 300\nDATA\nLINE 0 0 1 1\nPen(1,2,3)\nPOINT 1 2\n",
         "header 1 v300 end 2 | LINE 3-4 x1 | POINT 5-5 x1 | no values PEN 4 space | load 1", false},
        {"Pen( after a PLINE ends the load",
         "VERSION 300\nDATA\nPOINT 1 2\nPLINE 2\n0 0\n1 1\nPen(1,2,3)\nPOINT 3 4\n",
         "header 1 v300 end 2 | POINT 3-3 x1 | stop PLINE 4-7 clause PEN space | load 2", false},
        {"blank line after a PLINE ends the load",
         "VERSION 300\nDATA\nPLINE 2\n0 0\n1 1\n\nPOINT 3 4\n",
         "header 1 v300 end 2 | stop PLINE 3-6 blank | load 2", false},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCase);
        std::string sPath = m_dir.Write("case.mif", c.sMif);
        CheckReport report;
        ASSERT_EQ(CheckMifFile(&m_filter, &m_probe, sPath.c_str(), &report), MIF_OK);
        EXPECT_EQ(Summary(report), c.pszSummary);
        EXPECT_EQ(CheckLoadedAll(&report), c.bLoadedAll);
        if (report.nHeaderResult == MIF_OK) {
            EXPECT_TRUE(report.bMatchesLoad) << "the explanation added other objects than the load";
        }
    }
}

}  // namespace
