// header_test.cpp - which headers the filter accepts, what it keeps of them,
// and where it leaves the file.
#include <gtest/gtest.h>

#include <string>

#include "kernel_testing.h"
#include "mif_test_support.h"
#include "read.h"

using miftest::TempDir;

namespace {

// rest: what the file holds after the position the reader left.
struct HeaderResult { int nRet, nVersion; std::string charset; char cDelimiter; std::string rest; };

HeaderResult ReadHeaderOf(const TempDir& dir, const std::string& text) {
    std::string path = dir.Write("header.mif", text);
    tagHANDLE* hFile = Z_RedirectedOpen(path.c_str(), 0, 256);
    _MIFHEADER header{};
    HeaderResult result;
    result.nRet = ReadHeader(hFile, &header);
    result.nVersion = header.nVersion;
    result.charset = header.pszCharset != nullptr ? header.pszCharset : "";
    result.cDelimiter = header.cDelimiter;
    FreeHeader(&header);
    char c;
    while (Z_RedirectedRead(hFile, &c, 1) == 1) result.rest += c;
    Z_RedirectedClose(hFile);
    return result;
}

}  // namespace

TEST(ReadHeader, AcceptsAndRejects) {
    struct Case { const char* pszName; std::string text; int nRet, nVersion; std::string charset, rest; } aCases[] = {
        {"written header", "VERSION 450\r\nCharset \"WindowsLatin1\"\r\nCOLUMNS 1\r\n    ID decimal(10,0)\r\nDATA\r\nPOINT 1 2\r\n",
         MIF_OK, 450, "\"WindowsLatin1\"", "POINT 1 2\r\n"},
        {"mixed case 300", "vErSiOn 300\nData\n", MIF_OK, 300, "", ""},
        {"versions 1 and 2", "Version 1\nVersion 2\nDATA\nx", MIF_OK, 2, "", "x"},
        {"650 refused", "Version 650\nDATA\n", MIF_ERR_FORMAT, 650, "", "DATA\n"},
        {"not a number", "VERSION abc\nDATA\n", MIF_ERR_FORMAT, 0, "", "DATA\n"},
        {"version alone", "VERSION\nDATA\nrest", MIF_OK, 0, "", "rest"},
        {"no keywords", "DATA\n", MIF_OK, 0, "", ""},
        {"blank line ends it", "Version 300\n\nColumns 1\nDATA\n", MIF_OK, 300, "", "Columns 1\nDATA\n"},
        {"beginning of DATA", "Version 300\n  dA\nx", MIF_OK, 300, "", "x"},
        {"no end", "Version 300\nColumns 1\nID integer", MIF_END, 300, "", ""},
        {"empty file", "", MIF_END, 0, "", ""},
        {"object first", "POINT 1 2\nPEN (1,2,0)\n", MIF_END, 0, "", ""},
        {"lone cr position", "Version 300\rData\rPOINT 1 2\r", MIF_OK, 300, "", "POINT 1 2\r"},
        {"second charset", "Charset \"a\"\nCharset \"b\" x\nDATA\n", MIF_OK, 0, "\"b\" x", ""},
        {"charset without word", "Charset\nDATA\n", MIF_OK, 0, "", ""},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszName);
        HeaderResult result = ReadHeaderOf(dir, c.text);
        EXPECT_EQ(result.nRet, c.nRet);
        EXPECT_EQ(result.nVersion, c.nVersion);
        EXPECT_EQ(result.charset, c.charset);
        EXPECT_EQ(result.rest, c.rest);
    }
}

TEST(ReadHeader, DelimiterAndMissingArguments) {
    TempDir dir;
    EXPECT_EQ(ReadHeaderOf(dir, "Delimiter \";\"\nDATA\n").cDelimiter, ';');
    EXPECT_EQ(ReadHeaderOf(dir, "Delimiter ,\nDATA\n").cDelimiter, '\0');
    _MIFHEADER header{};
    EXPECT_EQ(ReadHeader(nullptr, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(ReadHeader(nullptr, &header), MIF_ERR_NOFILE);
    EXPECT_EQ(ReadHeader(MIF_INVALID_HANDLE, &header), MIF_ERR_NOFILE);
}

TEST(ReadHeader, CharsetWithoutMemory) {
    TempDir dir;
    std::string path = dir.Write("h.mif", "Charset \"a\"\nCharset \"b\"\nDATA\n");
    tagHANDLE* hFile = Z_RedirectedOpen(path.c_str(), 0, 256);
    _MIFHEADER header{};
    Zk_FailAllocation(2, 0);
    EXPECT_EQ(ReadHeader(hFile, &header), MIF_ERR_NOMEM);
    EXPECT_EQ(header.pszCharset, nullptr);
    FreeHeader(&header);  // frees nothing twice
    Z_RedirectedClose(hFile);
}
