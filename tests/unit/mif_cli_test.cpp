// mif_cli_test.cpp - the mif program as people and scripts use it: the JSON
// it prints, the PNG files it renders, the files it converts, its exit
// status and its one-line messages. The program runs as a child process; its
// output goes through files of a private temporary folder.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kernel_test_util.h"

using kernel_test::FileSize;
using kernel_test::ReadWholeFile;
using kernel_test::TempDir;
using kernel_test::WriteWholeFile;

namespace {

const std::string EXAMPLE = MIF_EXAMPLES_DIR "/example.mif";
const std::string MISSING = "/nonexistent-folder/missing.mif";

// ---- Running the program ----

struct Outcome { int nExit = -1; std::string sOut, sErr; };

// Runs the program with asArgs under the locale (LC_ALL) through the shell,
// each argument in single quotes.
Outcome RunMif(const TempDir& tmp, const std::vector<std::string>& asArgs, const char* pszLocale = "C") {
    std::string sCommand = std::string("LC_ALL=") + pszLocale + " '" MIF_PROGRAM_PATH "'";
    for (const std::string& sArg : asArgs) {
        sCommand += " '";
        for (char c : sArg) sCommand += c == '\'' ? std::string("'\\''") : std::string(1, c);
        sCommand += "'";
    }
    sCommand += " </dev/null >'" + tmp.File("stdout.txt") + "' 2>'" + tmp.File("stderr.txt") + "'";
    const int nStatus = std::system(sCommand.c_str());
    return {nStatus != -1 && WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, ReadWholeFile(tmp.File("stdout.txt")),
            ReadWholeFile(tmp.File("stderr.txt"))};
}

// ---- A small JSON reader: enough to check that the output parses and to walk it ----

struct Json {
    enum Kind { NUL, BOOLEAN, NUMBER, STRING, ARRAY, OBJECT } eKind = NUL;
    double dNumber = 0;
    std::string sText;
    std::vector<Json> aItems;
    std::vector<std::pair<std::string, Json>> aMembers;

    const Json* Find(const std::string& sKey) const {
        for (const auto& member : aMembers)
            if (member.first == sKey) return &member.second;
        return nullptr;
    }
    // A missing member reads as null.
    const Json& operator[](const std::string& sKey) const {
        static const Json missing;
        const Json* pValue = Find(sKey);
        return pValue != nullptr ? *pValue : missing;
    }
};

void SkipSpaces(const char*& p) { p += strspn(p, " \t\r\n"); }

bool ReadJsonString(const char*& p, std::string* psText) {
    static const char kEscapes[] = "\"\\/bfnrt", kBytes[] = "\"\\/\b\f\n\r\t";
    if (*p++ != '"') return false;
    for (unsigned char c; (c = (unsigned char)*p++) != '"';) {
        if (c < 0x20)  // the end of the text included
            return false;
        if (c != '\\') {
            *psText += (char)c;
        } else if (const char* pszHit = *p != '\0' ? strchr(kEscapes, *p) : nullptr) {
            *psText += kBytes[pszHit - kEscapes];
            ++p;
        } else if (*p == 'u' && strspn(p + 1, "0123456789abcdefABCDEF") >= 4) {
            // The program escapes single bytes only (\u00XX); keep the byte.
            *psText += (char)strtol(std::string(p + 1, 4).c_str(), nullptr, 16);
            p += 5;
        } else {
            return false;
        }
    }
    return true;
}

// Reads one value at p and moves p past it; false on text that is not JSON.
bool ReadJson(const char*& p, Json* pValue) {
    SkipSpaces(p);
    const char cOpen = *p;
    if (cOpen == '{' || cOpen == '[') {
        const char cClose = cOpen == '{' ? '}' : ']';
        pValue->eKind = cOpen == '{' ? Json::OBJECT : Json::ARRAY;
        ++p;
        SkipSpaces(p);
        for (bool bFirst = true; *p != cClose || !bFirst; bFirst = false) {
            if (!bFirst && *p++ != ',') return false;
            if (cOpen == '[') {
                pValue->aItems.emplace_back();
                if (!ReadJson(p, &pValue->aItems.back())) return false;
            } else {
                pValue->aMembers.emplace_back();
                SkipSpaces(p);
                if (!ReadJsonString(p, &pValue->aMembers.back().first)) return false;
                SkipSpaces(p);
                if (*p++ != ':' || !ReadJson(p, &pValue->aMembers.back().second)) return false;
            }
            SkipSpaces(p);
            if (*p == cClose) break;
        }
        ++p;
        return true;
    }
    if (cOpen == '"') {
        pValue->eKind = Json::STRING;
        return ReadJsonString(p, &pValue->sText);
    }
    for (const char* pszWord : {"null", "true", "false"})
        if (strncmp(p, pszWord, strlen(pszWord)) == 0) {
            pValue->eKind = *pszWord == 'n' ? Json::NUL : Json::BOOLEAN;
            p += strlen(pszWord);
            return true;
        }
    if (cOpen != '-' && !isdigit((unsigned char)cOpen)) return false;
    pValue->eKind = Json::NUMBER;
    char* pszEnd = nullptr;
    pValue->dNumber = strtod(p, &pszEnd);
    p = pszEnd;
    return true;
}

Json ParseJsonOrFail(const std::string& sText) {
    Json value;
    const char* p = sText.c_str();
    bool bParsed = ReadJson(p, &value);
    SkipSpaces(p);
    EXPECT_TRUE(bParsed && *p == '\0') << "not valid JSON:\n" << sText;
    return value;
}

// Compares two JSON trees; numbers within 1e-6, since a saved file keeps six
// decimals. A polygon comes back from a save and a load with its points in
// reverse order (the reader stores them last to first).
void ExpectSameJson(const Json& a, const Json& b, const std::string& sPath) {
    SCOPED_TRACE(sPath);
    ASSERT_EQ(a.eKind, b.eKind);
    EXPECT_EQ(a.sText, b.sText);
    EXPECT_NEAR(a.dNumber, b.dNumber, 1e-6);
    ASSERT_EQ(a.aItems.size(), b.aItems.size());
    ASSERT_EQ(a.aMembers.size(), b.aMembers.size());
    for (size_t i = 0; i < a.aItems.size(); ++i)
        ExpectSameJson(a.aItems[i], b.aItems[i], sPath + "[" + std::to_string(i) + "]");
    for (size_t i = 0; i < a.aMembers.size(); ++i) {
        EXPECT_EQ(a.aMembers[i].first, b.aMembers[i].first);
        Json bMember = b.aMembers[i].second;
        if (a.aMembers[i].first == "points" && a["type"].sText == "polygon")
            std::reverse(bMember.aItems.begin(), bMember.aItems.end());
        ExpectSameJson(a.aMembers[i].second, bMember, sPath + "." + a.aMembers[i].first);
    }
}

// ---- Reading a rendered PNG back ----

struct Picture {
    bool bRead = false, bColormapped = false;
    uint32_t nWidth = 0, nHeight = 0;
    std::vector<uint8_t> abRgb;

    const uint8_t* At(uint32_t x, uint32_t y) const { return &abRgb[3 * ((size_t)y * nWidth + x)]; }
};

Picture ReadPng(const std::string& sPath) {
    Picture picture;
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, sPath.c_str())) return picture;
    picture.bColormapped = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
    picture.nWidth = image.width;
    picture.nHeight = image.height;
    image.format = PNG_FORMAT_RGB;
    picture.abRgb.resize(PNG_IMAGE_SIZE(image));
    picture.bRead = png_image_finish_read(&image, nullptr, picture.abRgb.data(), 0, nullptr) != 0;
    return picture;
}

::testing::AssertionResult HasColour(const Picture& picture, uint32_t x, uint32_t y, uint32_t nRgb) {
    const uint8_t* p = picture.At(x, y);
    uint32_t nFound = (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
    if (nFound == nRgb) return ::testing::AssertionSuccess();
    char szMessage[96];
    snprintf(szMessage, sizeof szMessage, "pixel (%u, %u) is %06X, not %06X", x, y, nFound, nRgb);
    return ::testing::AssertionFailure() << szMessage;
}

class MifProgram : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tmp.Ok()); }

    std::string WriteMif(const std::string& sName, const std::string& sText) {
        std::string sPath = m_tmp.File(sName);
        EXPECT_TRUE(WriteWholeFile(sPath, sText));
        return sPath;
    }

    // Renders sMif into a PNG with the options and reads the picture back.
    Picture Render(const std::string& sMif, const std::vector<std::string>& asOptions) {
        const std::string sPng = m_tmp.File("out.png");
        std::vector<std::string> asArgs{"render", sMif, sPng};
        asArgs.insert(asArgs.end(), asOptions.begin(), asOptions.end());
        Outcome outcome = RunMif(m_tmp, asArgs);
        EXPECT_EQ(outcome.nExit, 0) << outcome.sErr;
        Picture picture = ReadPng(sPng);
        EXPECT_TRUE(picture.bRead);
        return picture;
    }

    TempDir m_tmp;
};

// ---- info ----

TEST_F(MifProgram, InfoJsonCountsTheObjectsOfTheExample) {
    Outcome outcome = RunMif(m_tmp, {"info", EXAMPLE, "--json"});
    ASSERT_EQ(outcome.nExit, 0) << outcome.sErr;
    Json info = ParseJsonOrFail(outcome.sOut);
    EXPECT_EQ(info["format"].dNumber, 335);
    EXPECT_EQ(info["bits_per_pixel"].dNumber, 24);
    EXPECT_EQ(info["size_in_bytes"].dNumber,
              info["height"].dNumber * std::floor((info["width"].dNumber * 24 + 7) / 8));
    // The map spans 0..200 x 0..150; the filter widens it by 0.5 % per side.
    const Json& extents = info["extents"];
    ASSERT_EQ(extents["min"].aItems.size(), 2u);
    EXPECT_DOUBLE_EQ(extents["min"].aItems[0].dNumber, -1.0);
    EXPECT_DOUBLE_EQ(extents["min"].aItems[1].dNumber, -0.75);
    EXPECT_DOUBLE_EQ(extents["max"].aItems[0].dNumber, 201.0);
    EXPECT_DOUBLE_EQ(extents["max"].aItems[1].dNumber, 150.75);

    const std::pair<const char*, double> aCounts[] = {
        {"vertex", 1}, {"line", 1}, {"rectangle", 2}, {"polyline", 3}, {"polygon", 3},
        {"ellipse", 1}, {"elliptical_arc", 1}, {"text", 2}};
    const Json& objects = info["objects"];
    EXPECT_EQ(objects.aMembers.size(), 8u) << "zero counts are left out";
    for (const auto& count : aCounts) EXPECT_EQ(objects[count.first].dNumber, count.second) << count.first;
}

// ---- render ----

TEST_F(MifProgram, RenderWritesAPngOfExactlyTheRequestedSize) {
    const struct {
        const char* pszSize;
        const char* pszBits;
        bool bNoCache;
        uint32_t nWidth, nHeight;
        bool bColormapped;
    } aCases[] = {
        {"64x48", "24", false, 64, 48, false}, {"65x31", "24", true, 65, 31, false},
        {"33x17", "1", false, 33, 17, true},   {"41x9", "4", false, 41, 9, true},
        {"120x90", "8", true, 120, 90, true},  {"50x40", "16", false, 50, 40, false},
        {"13x7", "32", false, 13, 7, false},   {"1x1", "8", false, 1, 1, true},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(testing::Message() << c.pszSize << " at " << c.pszBits << " bits"
                                        << (c.bNoCache ? ", no cache" : ""));
        std::vector<std::string> asOptions{"--size", c.pszSize, "--bpp", c.pszBits};
        if (c.bNoCache) asOptions.push_back("--no-cache");
        Picture picture = Render(EXAMPLE, asOptions);
        EXPECT_EQ(picture.nWidth, c.nWidth);
        EXPECT_EQ(picture.nHeight, c.nHeight);
        EXPECT_EQ(picture.bColormapped, c.bColormapped);
    }
}

TEST_F(MifProgram, RenderKeepsNorthUpTheColoursAndTheBackground) {
    // Red in the northern half, blue in the southern half.
    const std::string sHalves = WriteMif("halves.mif",
                                         "VERSION 300\r\nDATA\r\n"
                                         "RECT 0 50 100 100\r\nPEN (1,2,16711680)\r\nBRUSH (2,16711680)\r\n"
                                         "RECT 0 0 100 50\r\nPEN (1,2,255)\r\nBRUSH (2,255)\r\n");
    // A line from the bottom-left corner to the top-right one.
    const std::string sLine = WriteMif("line.mif", "VERSION 300\r\nDATA\r\nLINE 0 0 10 10\r\n");
    for (const std::vector<std::string>& asOptions : std::vector<std::vector<std::string>>{
             {}, {"--no-cache"}, {"--bpp", "8"}, {"--bpp", "16"}, {"--bpp", "32"}}) {
        SCOPED_TRACE(testing::PrintToString(asOptions));
        // Tall enough to be painted in two bands and written in two parts.
        std::vector<std::string> asSized{"--size", "300x300"};
        asSized.insert(asSized.end(), asOptions.begin(), asOptions.end());
        Picture picture = Render(sHalves, asSized);
        ASSERT_TRUE(picture.bRead);
        EXPECT_TRUE(HasColour(picture, 150, 60, 0xFF0000));
        EXPECT_TRUE(HasColour(picture, 150, 240, 0x0000FF));
        if (asOptions.size() == 2 && asOptions[1] == "16")
            continue;  // 16 bits cannot hold the background exactly
        asSized.insert(asSized.end(), {"--background", "112233"});
        picture = Render(sLine, asSized);
        ASSERT_TRUE(picture.bRead);
        EXPECT_TRUE(HasColour(picture, 0, 0, 0x112233));
        EXPECT_TRUE(HasColour(picture, 299, 299, 0x112233));
    }
}

TEST_F(MifProgram, RedLineOfTheExampleIsRed) {
    Picture picture = Render(EXAMPLE, {});
    ASSERT_EQ(picture.nWidth, 800u);
    ASSERT_EQ(picture.nHeight, 600u);
    // The road runs from (4, 58) to (196, 88), one pixel wide: near x = 60 it
    // is at y = 66.75, which the default page puts near pixel (242, 333).
    int nRed = 0;
    for (uint32_t x = 230; x < 254; ++x)
        for (uint32_t y = 320; y < 346; ++y) {
            const uint8_t* p = picture.At(x, y);
            nRed += p[0] > 200 && p[1] < 80 && p[2] < 80;
        }
    EXPECT_GE(nRed, 8);
}

TEST_F(MifProgram, RenderWritesSvgAndPdfByTheExtension) {
    // Cairo's SVG sets a text as uses of glyph outlines, its PDF with a font.
    const struct { const char* pszName; const char* pszStart; const char* pszSize; const char* pszText; } aCases[] = {
        {"out.svg", "<?xml", "width=\"400pt\" height=\"300pt\"", "<use xlink:href=\"#glyph"},
        {"OUT.PDF", "%PDF-", "/MediaBox [ 0 0 400 300 ]", "/Type /Font"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        const std::string sOut = m_tmp.File(c.pszName);
        Outcome outcome = RunMif(m_tmp, {"render", EXAMPLE, sOut, "--size", "400x300"});
        ASSERT_EQ(outcome.nExit, 0) << outcome.sErr;
        const std::string sBytes = ReadWholeFile(sOut);
        EXPECT_EQ(sBytes.rfind(c.pszStart, 0), 0u);
        EXPECT_NE(sBytes.find(c.pszSize), std::string::npos);
        EXPECT_NE(sBytes.find(c.pszText), std::string::npos) << "the texts are text";
    }
}

// ---- convert and dump ----

TEST_F(MifProgram, ConvertedDrawingDumpsTheSameObjects) {
    const std::string sConverted = m_tmp.File("converted.mif");
    Outcome convert = RunMif(m_tmp, {"convert", EXAMPLE, sConverted});
    ASSERT_EQ(convert.nExit, 0) << convert.sErr;
    const std::string sMid = ReadWholeFile(m_tmp.File("converted.mid"));
    EXPECT_EQ(std::count(sMid.begin(), sMid.end(), '\n'), 14);

    Outcome original = RunMif(m_tmp, {"dump", EXAMPLE});
    ASSERT_EQ(original.nExit, 0) << original.sErr;
    Outcome again = RunMif(m_tmp, {"dump", sConverted});
    ASSERT_EQ(again.nExit, 0) << again.sErr;
    Json before = ParseJsonOrFail(original.sOut);
    Json after = ParseJsonOrFail(again.sOut);
    EXPECT_EQ(before["result"].dNumber, 1);
    ASSERT_EQ(before["objects"].aItems.size(), 14u);
    ExpectSameJson(before, after, "dump");
}

TEST_F(MifProgram, DumpWritesEveryFieldOfARecord) {
    const std::string sMif = WriteMif("two.mif",
                                      "VERSION 300\r\nDATA\r\n"
                                      "LINE 0.1 -2 3 1e3\r\nPEN (1,5,16711680)\r\n"
                                      "TEXT \"caf\xE9\"\r\n0 10 40 0\r\nFONT (\"Arial\",3,9,255)\r\n");
    Outcome outcome = RunMif(m_tmp, {"dump", sMif});
    ASSERT_EQ(outcome.nExit, 0) << outcome.sErr;
    Json dump = ParseJsonOrFail(outcome.sOut);
    ASSERT_EQ(dump["objects"].aItems.size(), 2u);
    const Json& line = dump["objects"].aItems[0];
    EXPECT_EQ(line["type"].sText, "line");
    EXPECT_EQ(line["code"].dNumber, 2);
    EXPECT_EQ(line["points"].aItems[0].aItems[0].dNumber, 0.1) << "17 digits read back exactly";
    EXPECT_EQ(line["points"].aItems[1].aItems[1].dNumber, 1000);
    EXPECT_EQ(line["pen"]["style"].dNumber, 1);
    EXPECT_EQ(line["pen"]["color"].dNumber, 255);
    EXPECT_EQ(line["pen"]["pair"].aItems.size(), 2u);
    const Json& text = dump["objects"].aItems[1];
    EXPECT_EQ(text["type"].sText, "text");
    EXPECT_EQ(text["text"].sText, "caf\xE9") << "a Latin-1 byte is escaped as \\u00e9";
    EXPECT_NE(outcome.sOut.find("\"caf\\u00e9\""), std::string::npos);
    EXPECT_EQ(text["height"].dNumber, 10);
    EXPECT_EQ(text["width"].dNumber, 10);
    EXPECT_EQ(text["font"]["face"].sText, "Arial");
    EXPECT_EQ(text["font"]["weight"].dNumber, 700);
    EXPECT_EQ(text["font"]["italic"].dNumber, 1);
    EXPECT_EQ(text["brush"]["color"].dNumber, 16711680);

    // A locale with a decimal comma changes nothing in the output.
    EXPECT_EQ(RunMif(m_tmp, {"dump", sMif}, "de_DE.UTF-8").sOut, outcome.sOut);
}

// ---- Failures: exit status and the one-line message ----

TEST_F(MifProgram, FailuresExitWithOneLineThatNamesTheCause) {
    const std::string sOldVersion = WriteMif("old.mif", "VERSION 900\r\nDATA\r\nPOINT 1 1\r\n");
    const std::string sEmpty = WriteMif("empty.mif", "VERSION 300\r\nDATA\r\n");
    const std::string sCut = WriteMif("cut.mif", "VERSION 300\r\nColumns 1\r\n");
    const std::string sPng = m_tmp.File("never.png");
    const struct { std::vector<std::string> asArgs; int nExit; const char* pszMessage; } aCases[] = {
        {{"info", MISSING}, 1, "missing.mif: file not available (-14)"},
        {{"info", sOldVersion}, 1, "old.mif: not a MIF file of a supported version"},
        {{"info", sCut, "--json"}, 1, "end of data"},
        {{"dump", sEmpty}, 1, "the drawing holds no object (-301)"}, {{"render", MISSING, sPng}, 1, "(-14)"},
        {{"render", sOldVersion, sPng, "--no-cache"}, 1, "(-9)"},
        {{"convert", MISSING, m_tmp.File("never.mif")}, 1, "(-14)"},
        {{"render", EXAMPLE, "/nonexistent-folder/out.svg"}, 1, "out.svg: write failed"},
        {{"check", MISSING, "--json"}, 1, "missing.mif: file not available (-14)"},
        {{"check"}, 2, "check takes 1 file name, not 0"},
        {{"info", EXAMPLE, "--filter", "/nonexistent/libzfmif.so.19"}, 1, "cannot load the filter"},
        {{}, 2, "no subcommand"}, {{"paint", EXAMPLE}, 2, "unknown subcommand 'paint'"},
        {{"render", EXAMPLE}, 2, "render takes 2 file names, not 1"},
        {{"render", EXAMPLE, sPng, "--bpp", "7"}, 2, "--bpp"},
        {{"render", EXAMPLE, sPng, "--size", "0x5"}, 2, "--size"},
        {{"render", EXAMPLE, sPng, "--size", "640"}, 2, "--size"},
        {{"render", EXAMPLE, sPng, "--background", "12345G"}, 2, "--background"},
        {{"render", EXAMPLE, sPng, "--bpp"}, 2, "missing value after '--bpp'"},
        {{"info", EXAMPLE, "--size", "10x10"}, 2, "not accepted by this subcommand"},
        {{"dump", EXAMPLE, "--colour"}, 2, "unknown option '--colour'"},
        {{"convert", EXAMPLE, m_tmp.File("out.txt")}, 2, "must end in .mif"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(testing::PrintToString(c.asArgs));
        Outcome outcome = RunMif(m_tmp, c.asArgs);
        EXPECT_EQ(outcome.nExit, c.nExit);
        EXPECT_EQ(outcome.sErr.rfind("mif: ", 0), 0u) << outcome.sErr;
        EXPECT_NE(outcome.sErr.find(c.pszMessage), std::string::npos) << outcome.sErr;
        // One line for a failure; bad use adds the usage reminder.
        long nLines = c.nExit == 2 ? 2 : 1;
        EXPECT_EQ(std::count(outcome.sErr.begin(), outcome.sErr.end(), '\n'), nLines) << outcome.sErr;
    }
    EXPECT_EQ(FileSize(sPng), -1) << "no picture from a failed render";
}

TEST_F(MifProgram, CheckExitsWithOneWhenSomethingWasLost) {
    const struct { std::string sMif; int nExit; } aCases[] = {
        {EXAMPLE, 0}, {WriteMif("stray.mif", "VERSION 300\r\nDATA\r\nPOINT 1 2\r\nPEN (1,2,3)\r\n"), 1},
        {WriteMif("old.mif", "VERSION 900\r\nDATA\r\nPOINT 1 2\r\n"), 1},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.sMif);
        Outcome outcome = RunMif(m_tmp, {"check", c.sMif, "--json"});
        EXPECT_EQ(outcome.nExit, c.nExit);
        EXPECT_TRUE(outcome.sErr.empty()) << outcome.sErr;
        EXPECT_EQ(ParseJsonOrFail(outcome.sOut)["loaded_all"].dNumber, c.nExit == 0 ? 1 : 0);
    }
}

TEST_F(MifProgram, DumpOfMissingFileStillPrintsItsResult) {
    Outcome outcome = RunMif(m_tmp, {"dump", MISSING});
    EXPECT_EQ(outcome.nExit, 1);
    Json dump = ParseJsonOrFail(outcome.sOut);
    EXPECT_EQ(dump["result"].dNumber, -14);
    EXPECT_EQ(dump["objects"].eKind, Json::ARRAY);
    EXPECT_TRUE(dump["objects"].aItems.empty());
    EXPECT_EQ(dump.Find("extents"), nullptr);
}

TEST_F(MifProgram, HelpGoesToStdout) {
    Outcome outcome = RunMif(m_tmp, {"--help"});
    EXPECT_EQ(outcome.nExit, 0);
    EXPECT_EQ(outcome.sOut.rfind("usage: mif", 0), 0u);
    EXPECT_TRUE(outcome.sErr.empty());
}

}  // namespace
