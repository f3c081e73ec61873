// linereader_test.cpp - the line reader, the cursor functions and the
// number conversions and formatting of the "C" locale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel_testing.h"
#include "linereader.h"
#include "mif_test_support.h"

using miftest::TempDir;
using miftest::TextReader;

namespace {

// Every line LineRead delivers, until it stops giving 1.
std::vector<std::string> AllLines(CMifFile& file, int* pnLastRet) {
    std::vector<std::string> lines;
    int nRet;
    while ((nRet = file.LineRead()) == MIF_OK) {
        EXPECT_EQ(file.m_szLine[file.m_nLineLength], '\0');
        lines.emplace_back(file.m_szLine, file.m_nLineLength);
    }
    *pnLastRet = nRet;
    return lines;
}

// 655 lines of 100 bytes and one of 35 without its end: 65535 bytes, so that
// the next byte is the last of the kernel's first 64 KiB read buffer.
const std::string kBufferFill = [] {
    std::string text;
    for (int i = 0; i < 655; ++i) text += std::string(99, 'x') + "\n";
    return text + std::string(35, 'y');
}();

std::vector<std::string> BufferFillLinesAnd(const std::string& last) {
    std::vector<std::string> lines(655, std::string(99, 'x'));
    lines.insert(lines.end(), {std::string(35, 'y'), last});
    return lines;
}

}  // namespace

TEST(LineRead, EveryLineEndEndsALine) {
    struct Case { const char* pszName; std::string text; std::vector<std::string> lines; } aCases[] = {
        {"crlf", "ab\r\ncd\r\n", {"ab", "cd"}}, {"lf", "ab\ncd\n", {"ab", "cd"}},
        {"lone cr", "ab\rcd\r", {"ab", "cd"}}, {"mixed", "a\r\n\rb\n\nc", {"a", "", "b", "", "c"}},
        {"no final end", "POINT 1 2", {"POINT 1 2"}}, {"empty file", "", {}},
        {"only crs", "\r\r\r", {"", "", ""}}, {"cr cr lf", "x\r\r\ny", {"x", "", "y"}},
        {"nul inside", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        // The step back after a CR and after a line's first byte across the
        // edge of the read buffer.
        {"cr last in the read buffer", kBufferFill + "\rb\r\n", BufferFillLinesAnd("b")},
        {"line first in the next buffer", kBufferFill + "\nsecond", BufferFillLinesAnd("second")},
        {"long line cut, the next intact", std::string(5000, 'x') + "\r\nPOINT 1 2\r\n",
         {std::string(MIF_MAX_LINE, 'x'), "POINT 1 2"}},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszName);
        TextReader reader(dir, c.text, false);
        int nLast = 0;
        EXPECT_EQ(AllLines(reader.file, &nLast), c.lines);
        EXPECT_EQ(nLast, MIF_END);
        EXPECT_EQ(reader.file.LineRead(), MIF_END) << "the end of the file stays the end";
    }
}

TEST(LineRead, PushedBackLineIsDeliveredOnceMore) {
    TempDir dir;
    TextReader reader(dir, "  first line\nsecond\n");
    reader.file.LineMoveToNext(' ');
    reader.file.m_bReadNewLine = 0;
    reader.file.m_bReadNewLine = 0;  // twice has the effect of once
    ASSERT_EQ(reader.file.LineRead(), MIF_OK);
    ASSERT_EQ(reader.file.LineMoveToStart(), MIF_OK);
    EXPECT_EQ(std::string(reader.file.m_pszCurrent), "first line");
    EXPECT_EQ(reader.file.m_nRemaining, 10);
    ASSERT_EQ(reader.file.LineRead(), MIF_OK);
    EXPECT_STREQ(reader.file.m_szLine, "second");
}

TEST(LineRead, ReadErrorsEndTheLineOrTheReading) {
    TempDir dir;
    TextReader inside(dir, "abcdef\n", false);
    Zk_FailRead(4, 0);  // the first byte, its second read, 'b', then fail
    ASSERT_EQ(inside.file.LineRead(), MIF_OK);
    EXPECT_STREQ(inside.file.m_szLine, "ab");
    TextReader first(dir, "one\ntwo\n", false);
    Zk_FailRead(1, 1);  // on the first byte of a line, and for good
    EXPECT_EQ(first.file.LineRead(), MIF_ERR_NOFILE);
    EXPECT_EQ(first.file.LineRead(), MIF_ERR_NOFILE);
    Zk_ClearFaults();
}

TEST(LineMoveToStart, BlankAndIndentedLines) {
    TempDir dir;
    TextReader reader(dir, "   \n  POINT 10 20\n");
    EXPECT_EQ(reader.file.m_nRemaining, 0);
    EXPECT_EQ(*reader.file.m_pszCurrent, '\0');
    reader.file.LineRead();
    EXPECT_EQ(reader.file.LineMoveToStart(), MIF_OK);
    EXPECT_EQ(reader.file.m_nRemaining, 11);
    EXPECT_EQ(*reader.file.m_pszCurrent, 'P');
}

TEST(GetNextWord, StepsBySeparator) {
    // words: the rest of the line after each step.
    struct Case { const char* pszLine; char cSeparator; std::vector<std::string> words; } aCases[] = {
        {"a b  c", ' ', {"b  c", "c"}}, {"a b ", ' ', {"b ", ""}}, {"(1,,3)", ',', {",3)", "3)"}},
        {"\"Arial\",0", '"', {"Arial\",0", ",0"}}, {"", ' ', {}},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszLine);
        std::string line = c.pszLine;
        char* p = &line[0];
        int n = static_cast<int>(line.size());
        for (const std::string& word : c.words) {
            ASSERT_EQ(GetNextWord(p, n, c.cSeparator), MIF_OK);
            EXPECT_EQ(std::string(p, n), word);
        }
        EXPECT_EQ(GetNextWord(p, n, c.cSeparator), MIF_END);
        EXPECT_EQ(n, -1) << "the step that fails leaves no remainder";
        EXPECT_EQ(GetNextWord(p, n, c.cSeparator), MIF_END) << "an exhausted cursor stays exhausted";
        EXPECT_EQ(GetStringStart(p, n), MIF_END);
    }
}

TEST(CMifFile, ValuesAtTheCursor) {
    TempDir dir;
    TextReader reader(dir, "Pen (1,,3) 7 \n");
    CMifFile& f = reader.file;
    ASSERT_EQ(f.LineMoveToNext(','), MIF_OK);
    EXPECT_EQ(f.LineGetInteger(), 0) << "an empty field reads as 0";
    ASSERT_EQ(f.LineMoveToNext(','), MIF_OK);
    EXPECT_EQ(f.LineGetInteger(), 3);
    ASSERT_EQ(f.LineMoveToNext(' '), MIF_OK);
    EXPECT_DOUBLE_EQ(f.LineGetDouble(), 7.0);
    ASSERT_EQ(f.LineMoveToNext(' '), MIF_OK) << "a trailing space leaves the cursor on the end";
    EXPECT_EQ(f.m_nRemaining, 0);
    EXPECT_DOUBLE_EQ(f.LineGetDouble(), 0.0);
    EXPECT_EQ(f.LineMoveToNext(' '), MIF_END);
    EXPECT_EQ(f.LineGetInteger(), 0) << "an exhausted cursor gives 0, never a value beyond the line";
}

TEST(CMifFile, WordNumbersVirginAndEmpty) {
    TempDir dir;
    TextReader reader(dir, "  one two\n");
    CMifFile& f = reader.file;
    EXPECT_EQ(f.LineIsVirgin(), 1);
    EXPECT_EQ(f.LineMoveToWord(0, ' '), MIF_OK);
    EXPECT_STREQ(f.m_pszCurrent, "one two");
    EXPECT_EQ(f.LineMoveToWord(1, ' '), MIF_OK);
    EXPECT_STREQ(f.m_pszCurrent, "two");
    EXPECT_EQ(f.LineIsVirgin(), 0);
    EXPECT_EQ(f.LineIsEmpty(), 1);
    EXPECT_EQ(f.LineMoveToWord(2, ' '), MIF_END);
    EXPECT_EQ(f.LineIsEmpty(), 0);
}

TEST(GetNextNumber, StoresOnlyWhenAWordFollows) {
    std::string line = "7 -12 2.5";
    char* p = &line[0];
    int n = static_cast<int>(line.size());
    int nValue = 99;
    EXPECT_EQ(GetNextInteger(p, n, nValue), MIF_OK);
    EXPECT_EQ(nValue, -12);
    double dValue = 0;
    EXPECT_EQ(GetNextDouble(p, n, dValue), MIF_OK);
    EXPECT_EQ(dValue, 2.5);
    nValue = 99;
    EXPECT_EQ(GetNextInteger(p, n, nValue), MIF_END);
    EXPECT_EQ(nValue, 99);
}

TEST(TextMeasures, CharsAndWidths) {
    const struct { std::string text; int nWidth, nBs; } aCases[] = {
        {"ab\nabcd", 4, 2}, {"Hello", 5, 0}, {"", 0, 0}, {"abc\n", 3, 1}};
    for (auto c : aCases) {
        EXPECT_EQ(GetTextWidthInChar(&c.text[0]), c.nWidth) << c.text;
        EXPECT_EQ(GetNumChars(&c.text[0], 'b'), c.nBs) << c.text;
    }
}

TEST(CMifFile, OpenAndClose) {
    TempDir dir;
    std::string path = dir.Write("a.mif", "x\n");
    CMifFile f;
    EXPECT_EQ(f.Open(nullptr, 1), MIF_ERR_NOFILE);
    EXPECT_EQ(f.Open(MIF_INVALID_HANDLE, 1), MIF_ERR_NOFILE);
    EXPECT_EQ(f.m_hFile, nullptr);
    tagHANDLE* hFirst = Z_RedirectedOpen(path.c_str(), 0, 256);
    tagHANDLE* hSecond = Z_RedirectedOpen(path.c_str(), 0, 256);
    ASSERT_EQ(f.Open(hFirst, 0), MIF_OK);
    // Binding another handle closes the first, although it was not owned.
    ASSERT_EQ(f.Open(hSecond, 1), MIF_OK);
    EXPECT_EQ(Zk_OpenFileCount(), 1u);
    f.Close();
    EXPECT_EQ(Zk_OpenFileCount(), 0u);
    EXPECT_EQ(f.WriteText("x", 1), MIF_ERR_WRITE) << "a writer without a file";
    char szLine[MIF_LINE_SIZE];
    int nLength = 0;
    EXPECT_EQ(f.ReadLine(szLine, &nLength), MIF_ERR_NOREADER);
    TextReader reader(dir, "x\n", false);
    EXPECT_EQ(reader.file.ReadLine(nullptr, &nLength), MIF_ERR_ARG);
    EXPECT_EQ(reader.file.ReadLine(szLine, nullptr), MIF_ERR_ARG);
}

// ---- Conversions and formatting against the C library in the "C" locale ----

namespace {

std::string RandomNumberText(std::mt19937_64& rng) {
    char sz[64];
    std::string s;
    switch (rng() % 3) {
    case 0:
        std::snprintf(sz, sizeof(sz), "%.*f", static_cast<int>(rng() % 12),
                      (static_cast<double>(rng() % 2000000000) - 1e9) / std::pow(10.0, rng() % 8));
        return sz;
    case 1:
        std::snprintf(sz, sizeof(sz), "%.*e", static_cast<int>(rng() % 20),
                      (static_cast<double>(rng()) - 9.2e18) * std::pow(10.0, static_cast<int>(rng() % 80) - 40));
        return sz;
    default:
        for (size_t i = 0, n = rng() % 24; i < n; ++i) s += "0123456789.-+eE x"[rng() % 17];
        return s;
    }
}

double RandomDouble(std::mt19937_64& rng) {
    uint64_t nBits = rng();
    double d;
    std::memcpy(&d, &nBits, sizeof(d));
    switch (rng() % 3) {
    case 0: return d;  // any bit pattern
    case 1: return (static_cast<double>(rng() % 200000001) - 1e8) / std::pow(10.0, rng() % 10);
    default: return static_cast<double>(static_cast<int64_t>(rng() >> (rng() % 64))) + 0.5 * (rng() % 3);
    }
}

std::string FormatWithText(double d) {
    MifText text;
    MifTextInit(&text);
    MifTextAppendDouble(&text, d);
    std::string s(text.pszText, text.nLength);
    MifTextFree(&text);
    return s;
}

}  // namespace

// Fixed forms first: signs, infinities and NaN, edges of the double and long
// ranges, leading zeros before and after the point, 15 and 16 significant
// digits in odd and even runs, powers of ten at the edge of the quick decimal
// path's exact range, and text that holds no number; then random text.
TEST(Conversions, MatchTheCLibraryBitForBit) {
    std::vector<std::string> texts = {
        "", " ", "-", "+.", ".5", "5.", "-0", "-0.0", "1e", "1e+", "1e-5x", "0x1.8p3", "inf", "-Infinity",
        "nan", "NAN(12)", "1e400", "-1e-400", "4.9e-324", "2.2250738585072014e-308",
        "123456789012345678901234567890", "0.1000000000000000055511151231257827",
        "9007199254740993", "  \t42abc", "1,5", "12345678901234567890", "-9223372036854775809",
        "9223372036854775807", "0000000000000000000001.5", "1.7976931348623157e308",
        "0",       "00",        "000.000",          "0.0000000000000000000000001", "00012.5000",
        "-0.05000", "123456789012345", "1234567890123456", "12345678901234.5", "123456789012345.6",
        ".123456789012345", ".1234567890123456", "0.000123456789012345", "2401661.493337",
        "6765823.077560 6", "7.", ".e5", "1.5e", "1.5e+x", "99e-23", "1e22", "1e23", "+.5e-3", "-", ".",
        "1234567.1234567", "12345678.1234567"};
    std::mt19937_64 rng(20261205);
    for (int i = 0; i < 200000; ++i) texts.push_back(RandomNumberText(rng));
    for (const std::string& s : texts) {
        char* pszLibEnd = nullptr;
        char* pszOurEnd = nullptr;
        double dLib = std::strtod(s.c_str(), &pszLibEnd);
        double dOur = MifStrToDouble(s.c_str(), &pszOurEnd);
        ASSERT_EQ(std::memcmp(&dLib, &dOur, sizeof(double)) == 0 || (std::isnan(dLib) && std::isnan(dOur)), true)
            << "'" << s << "' gives " << dOur << " instead of " << dLib;
        ASSERT_EQ(pszOurEnd, pszLibEnd) << s;
        long nLib = std::strtol(s.c_str(), &pszLibEnd, 10);
        ASSERT_EQ(MifStrToLong(s.c_str(), &pszOurEnd), nLib) << s;
        ASSERT_EQ(pszOurEnd, pszLibEnd) << s;
    }
}

TEST(Conversions, FormattingMatchesPrintf) {
    std::mt19937_64 rng(7);
    const double adFixed[] = {0.0, -0.0, 0.5e-6, -0.5e-6, 1.5e-6, 2.5e-6, 0.1, 1e300, -1e-300,
                              9.2e18, 9.3e18, 1e22, INFINITY, -INFINITY, NAN, 4503599627370495.5,
                              4.9e-324, -2.2250738585072014e-308, 9007199254740992.0,
                              2401661.4933375, -6765823.0775605, 18446744073709.551615};
    std::vector<double> values(adFixed, adFixed + sizeof(adFixed) / sizeof(adFixed[0]));
    for (int i = 0; i < 200000; ++i) values.push_back(RandomDouble(rng));
    for (double d : values) {
        char sz[400];
        std::snprintf(sz, sizeof(sz), "%lf", d);
        ASSERT_EQ(FormatWithText(d), sz);
    }
}

TEST(MifText, LongPiecesAreWrittenWholeOrNotAtAll) {
    TempDir dir;
    std::string longText(5000, 'a');
    int nRet = 0;
    std::string bytes = miftest::WriteWith(dir, [&](CMifFile* f) {
        return MifWriteFormat(f, "TEXT \"%s\"\r\n%lf %lf\r\n", longText.c_str(), -1e300, 1e300);
    }, &nRet);
    EXPECT_EQ(nRet, MIF_OK);
    char szBig[1024];
    std::snprintf(szBig, sizeof(szBig), "%lf %lf", -1e300, 1e300);
    EXPECT_EQ(bytes, "TEXT \"" + longText + "\"\r\n" + szBig + "\r\n");
    bytes = miftest::WriteWith(dir, [&](CMifFile* f) {
        Zk_FailAllocation(1, 1);
        int n = MifWriteFormat(f, "%s", longText.c_str());
        Zk_ClearFaults();
        return n;
    }, &nRet);
    EXPECT_EQ(nRet, MIF_ERR_NOMEM);
    EXPECT_EQ(bytes, "") << "nothing of a piece that could not be built is written";
}
