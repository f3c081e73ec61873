// clauses_test.cpp - PEN, BRUSH, SYMBOL and FONT clauses in both
// directions, with the colour swap and the pattern tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mif_test_support.h"
#include "read.h"
#include "write.h"

using miftest::TempDir;
using miftest::TextReader;

TEST(Colors, SwapBytesBothWays) {
    struct Case { uint32_t nMif, nHost; } aCases[] = {
        {16711680, 255}, {255, 16711680}, {65280, 65280}, {1193046, 5649426}, {0, 0},
        {0xFFFFFFFFu, 16777215},  // -1 in the file: only the low 24 bits count
    };
    for (const Case& c : aCases) {
        EXPECT_EQ(SwapColorBytes(c.nMif), c.nHost) << c.nMif;
        EXPECT_EQ(SwapColorBytes(c.nHost), c.nMif & 0xFFFFFFu) << c.nHost;
    }
}

TEST(ReadPen, Table) {
    struct Case { const char* pszLine; int nRet; uint32_t nStyle, crColor; } aCases[] = {
        {"Pen (1,2,0)", MIF_OK, VPEN_SOLID, 0},   {"PEN ( 1 , 2 , 0 )", MIF_OK, VPEN_SOLID, 0},
        {"Pen (1,2)", MIF_END, VPEN_SOLID, 0},    {"PEN(1,2,0)", MIF_END, VPEN_SOLID, 0},
        {"Pen (4,5,16711680)", MIF_OK, VPEN_DASH, 255},  {"Pen (1,19,0)", MIF_OK, VPEN_SOLID, 0},
        {"Pen (1,99,0)", MIF_OK, VPEN_SOLID, 0},  {"Pen (1,-3,0)", MIF_OK, VPEN_SOLID, 0},
        {"Pen (1,1,0)", MIF_OK, VPEN_NULL, 0},    {"Pen (1,10,-1)", MIF_OK, VPEN_DOT, 16777215},
        {"Pen (1,25,0)", MIF_OK, VPEN_DASHDOT, 0}, {"Pen (1,24,0)", MIF_OK, VPEN_DASHDOTDOT, 0},
        {"Pen (1,x,y)", MIF_OK, VPEN_SOLID, 0},   {"P", MIF_END, VPEN_SOLID, 0},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszLine);
        TextReader reader(dir, c.pszLine);
        _VECTORPEN pen;
        std::memset(&pen, 0xAB, sizeof(pen));
        EXPECT_EQ(ReadPen(nullptr, &reader.file, &pen), c.nRet);
        const _VECTORPEN expected = {sizeof(_VECTORPEN), c.nStyle, 1, 1, c.crColor, pen.nCap, pen.nJoin, 0};
        EXPECT_EQ(std::memcmp(&pen, &expected, sizeof(pen)), 0);
    }
}

TEST(ReadBrush, Table) {
    struct Case { const char* pszLine; int nRet; uint32_t nStyle; uint64_t nHatch; uint32_t crColor; } aCases[] = {
        {"Brush (2,16777215)", MIF_OK, VBRUSH_SOLID, 0, 16777215}, {"Brush (1,0,16777215)", MIF_OK, VBRUSH_NULL, 0, 0},
        {"Brush (6,255,0)", MIF_OK, VBRUSH_HATCHED, VHATCH_FDIAGONAL, 16711680},
        {"Brush (3,0)", MIF_OK, VBRUSH_HATCHED, VHATCH_HORIZONTAL, 0},
        {"Brush (4,0)", MIF_OK, VBRUSH_HATCHED, VHATCH_VERTICAL, 0},
        {"Brush (5,0)", MIF_OK, VBRUSH_HATCHED, VHATCH_BDIAGONAL, 0},
        {"Brush (7,0)", MIF_OK, VBRUSH_HATCHED, VHATCH_CROSS, 0},
        {"Brush (8,0)", MIF_OK, VBRUSH_HATCHED, VHATCH_DIAGCROSS, 0},
        {"Brush (9,255)", MIF_OK, VBRUSH_NULL, 0, 16711680}, {"Brush 2,255", MIF_OK, VBRUSH_NULL, 0, 16711680},
        {"Brush (2)", MIF_END, VBRUSH_SOLID, 0, 0},         {"BRUSH(2,255)", MIF_END, VBRUSH_NULL, 0, 0},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszLine);
        TextReader reader(dir, c.pszLine);
        _VECTORBRUSH brush;
        std::memset(&brush, 0xAB, sizeof(brush));
        EXPECT_EQ(ReadBrush(nullptr, &reader.file, &brush), c.nRet);
        EXPECT_EQ(brush.nSize, sizeof(_VECTORBRUSH));
        EXPECT_EQ(brush.nKind, 0);
        EXPECT_EQ(brush.nStyle, c.nStyle);
        EXPECT_EQ(brush.nHatch, c.nHatch);
        EXPECT_EQ(brush.crColor, c.crColor);
    }
}

TEST(ReadSymbol, Table) {
    struct Case { const char* pszLine; int nRet; uint32_t crColor; } aCases[] = {
        {"Symbol (35,255,12)", MIF_OK, 16711680}, {"Symbol (35,255)", MIF_OK, 0}, {"Symbol (35)", MIF_END, 0},
        {"SYMBOL(35,255,12)", MIF_END, 0},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszLine);
        TextReader reader(dir, c.pszLine);
        _MIFSYMBOL symbol{12345};
        EXPECT_EQ(ReadSymbol(nullptr, &reader.file, &symbol), c.nRet);
        EXPECT_EQ(symbol.crColor, c.crColor);
    }
}

TEST(ReadFont, Table) {
    struct Case { const char* pszLine; int nRet; const char* pszFace; int nWeight, bItalic, bUnderline; uint32_t crColor; } aCases[] = {
        {"Font (\"Arial\",1,0,255)", MIF_END, "Arial", 700, 0, 0, 16711680},
        {"Font (\"Arial\",6,12,255,0)", MIF_OK, "Arial", 0, 1, 1, 16711680},
        {"Font (\"  Arial\",0,0,0)", MIF_END, "Arial", 0, 0, 0, 0},
        {"Font (\"Times, Roman\",1,0,0)", MIF_OK, "Times, Roman", 0, 0, 0, 0},
        {"Font (\"0123456789012345678901234567890\",0,0,0)", MIF_END, "0123456789012345678901234567890", 0, 0, 0, 0},
        {"Font (\"01234567890123456789012345678901\",0,0,0)", MIF_END, "", 0, 0, 0, 0},
        {"Font(\"Arial\",1,0,255)", MIF_END, "", 0, 0, 0, 0},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszLine);
        TextReader reader(dir, c.pszLine);
        _VECTORTEXTA text{};
        EXPECT_EQ(ReadFont(nullptr, &reader.file, &text), c.nRet);
        EXPECT_STREQ(text.font.szFaceName, c.pszFace);
        EXPECT_EQ(text.font.nSize, sizeof(_VECTORFONTA));
        EXPECT_EQ(text.font.nWeight, c.nWeight);
        EXPECT_EQ(text.font.bItalic, c.bItalic);
        EXPECT_EQ(text.font.bUnderline, c.bUnderline);
        EXPECT_EQ(text.pen.crColor, c.crColor);
        EXPECT_EQ(text.brush.crColor, c.crColor);
        EXPECT_EQ(text.brush.nStyle, static_cast<uint32_t>(VBRUSH_SOLID));
    }
}

TEST(ReadFont, UnclosedNameLeavesTheRecordAlone) {
    TempDir dir;
    TextReader reader(dir, "Font (\"Arial,1,0,255)");
    _VECTORTEXTA text{};
    text.font.nWeight = 123;
    EXPECT_EQ(ReadFont(nullptr, &reader.file, &text), MIF_ERR_FORMAT);
    EXPECT_EQ(text.font.nWeight, 123);
    EXPECT_EQ(text.font.nSize, 0u);
}

TEST(SaveClauses, PenBrushSymbolLines) {
    struct PenCase { uint32_t nStyle; uint32_t crColor; int32_t bOverride; const char* pszLine; } aPens[] = {
        {VPEN_SOLID, 0, 0, ""},                  {VPEN_NULL, 0, 0, "PEN (1, 1, 0)\r\n"},
        {VPEN_DASH, 255, 0, "PEN (1, 6, 16711680)\r\n"}, {VPEN_DOT, 0, 0, "PEN (1, 3, 0)\r\n"},
        {VPEN_DASHDOT, 0, 0, "PEN (1, 15, 0)\r\n"}, {VPEN_DASHDOTDOT, 0, 0, "PEN (1, 21, 0)\r\n"},
        {VPEN_DASH, 255, 1, "PEN (1, 2, 16711680)\r\n"}, {9, 65280, 0, "PEN (1, 2, 65280)\r\n"},
        {VPEN_DASH, 0, 1, ""},
    };
    TempDir dir;
    for (const PenCase& c : aPens) {
        _VECTORPEN pen{0, c.nStyle, 0, 0, c.crColor, 0, 0, c.bOverride};
        int nRet = 0;
        EXPECT_EQ(miftest::WriteWith(dir, [&](CMifFile* f) { return SavePen(&pen, f); }, &nRet), c.pszLine);
        EXPECT_EQ(nRet, MIF_OK);
    }
    struct BrushCase { int32_t nKind; uint32_t nStyle; uint64_t nHatch; uint32_t crColor; const char* pszLine; } aBrushes[] = {
        {0, VBRUSH_SOLID, 3, 0, "BRUSH (2, 0)\r\n"}, {0, VBRUSH_NULL, 0, 0, "BRUSH (1, 0)\r\n"},
        {0, VBRUSH_HATCHED, VHATCH_FDIAGONAL, 16711680, "BRUSH (6, 255)\r\n"},
        {0, VBRUSH_HATCHED, VHATCH_BDIAGONAL, 0, "BRUSH (5, 0)\r\n"},
        {0, VBRUSH_HATCHED, VHATCH_CROSS, 0, "BRUSH (7, 0)\r\n"}, {0, VBRUSH_HATCHED, 6, 0, "BRUSH (2, 0)\r\n"},
        {0, 7, 0, 0, "BRUSH (1, 0)\r\n"},          {1, VBRUSH_SOLID, 0, 255, ""},
    };
    for (const BrushCase& c : aBrushes) {
        _VECTORBRUSH brush{0, c.nKind, c.nStyle, c.crColor, c.nHatch, 0, 0};
        EXPECT_EQ(miftest::WriteWith(dir, [&](CMifFile* f) { return SaveBrush(&brush, f); }), c.pszLine);
    }
    _VECTORVERTEX vertex{};
    vertex.pen.crColor = 255;
    EXPECT_EQ(miftest::WriteWith(dir, [&](CMifFile* f) { return SaveSymbol(&vertex, f); }),
              "SYMBOL (32, 16711680, 1)\r\n");
    vertex.pen.crColor = 0;
    EXPECT_EQ(miftest::WriteWith(dir, [&](CMifFile* f) { return SaveSymbol(&vertex, f); }), "");
}
