// writers_test.cpp - the exact MIF text of every object writer, and that
// reading what was written gives the same drawing again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "kernel_testing.h"
#include "mif_test_support.h"
#include "write.h"

using miftest::Drawing;
using miftest::Object;
using miftest::Objects;
using miftest::TempDir;

namespace {

_VECTORPOINT Pt(double dX, double dY) { return {dX, dY, 0, 0}; }

}  // namespace

TEST(ObjectWriters, ExactText) {
    _VECTORPOINT aPoints[] = {Pt(1, 2), Pt(3, 4)};
    struct Case {
        const char* pszName;
        std::function<int(CMifFile*)> write;
        std::string text;
    } aCases[] = {
        {"vertex", [](CMifFile* f) { _VECTORVERTEX v{}; v.pt = Pt(-0.5, 1000000); return SaveVertex(&v, f); },
         "POINT -0.500000 1000000.000000\r\n"},
        {"line with red pen", [](CMifFile* f) { _VECTORLINE l{}; l.pt2 = Pt(10, 10); l.pen.crColor = 255; return SaveLine(&l, f); },
         "LINE 0.000000 0.000000 10.000000 10.000000\r\nPEN (1, 2, 16711680)\r\n"},
        {"rect, default brush", [](CMifFile* f) { _VECTORRECTANGLE r{}; r.pt1 = Pt(10, 5); r.brush.nStyle = VBRUSH_HATCHED; r.brush.nHatch = VHATCH_CROSS; return SaveRect(&r, f); },
         "RECT 10.000000 5.000000 0.000000 0.000000\r\nBRUSH (7, 0)\r\n"},
        {"ellipse", [](CMifFile* f) { _VECTORELLIPSE e{}; e.ptCenter = Pt(5, 2); e.dRadiusX = -5; e.dRadiusY = -2; e.brush.nStyle = VBRUSH_NULL; return SaveEllipse(&e, f); },
         "ELLIPSE 10.000000 4.000000 0.000000 0.000000\r\nBRUSH (1, 0)\r\n"},
        {"circle", [](CMifFile* f) { _VECTORCIRCLE c{}; c.ptCenter = Pt(1, 1); c.dRadius = 2; c.pen.nStyle = VPEN_DOT; return SaveCircle(&c, f); },
         "ELLIPSE -1.000000 -1.000000 3.000000 3.000000\r\nPEN (1, 3, 0)\r\nBRUSH (2, 0)\r\n"},
        {"circular arc", [](CMifFile* f) { _VECTORARC a{}; a.dRadius = 1; a.dSweep = 45; return SaveArc(&a, f); },
         "ARC -1.000000 -1.000000 1.000000 1.000000\r\n0.000000 45.000000\r\n"},
        {"elliptical arc", [](CMifFile* f) { _VECTORELLIPTICALARC a{}; a.ptCenter = Pt(5, 5); a.dRadiusX = 5; a.dRadiusY = 5; a.dStartAngle = 270; a.dSweep = -180; return SaveEllipticalArc(&a, f); },
         "ARC 0.000000 0.000000 10.000000 10.000000\r\n270.000000 90.000000\r\n"},
        {"polyline", [&](CMifFile* f) { _VECTORCURVEOPENED p{}; p.pPoints = aPoints; p.nPoints = 2; return SavePolyline(&p, f); },
         "PLINE 2\r\n1.000000 2.000000\r\n3.000000 4.000000\r\n"},
        {"empty polygon", [](CMifFile* f) { _VECTORCURVECLOSED p{}; p.brush.nStyle = VBRUSH_NULL; return SavePolygon(&p, f); },
         "REGION 1\r\n0\r\nBRUSH (1, 0)\r\n"},
        {"polygon", [&](CMifFile* f) { _VECTORCURVECLOSED p{}; p.pPoints = aPoints; p.nPoints = 2; p.brush.nKind = 1; return SavePolygon(&p, f); },
         "REGION 1\r\n2\r\n1.000000 2.000000\r\n3.000000 4.000000\r\n"},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszName);
        int nRet = 0;
        EXPECT_EQ(miftest::WriteWith(dir, c.write, &nRet), c.text);
        EXPECT_EQ(nRet, MIF_OK);
    }
}

TEST(ObjectWriters, TextAndFont) {
    struct Case { uint32_t uFormat; const char* pszFace; int nWeight; uint32_t crColor; std::string text; } aCases[] = {
        {32, "Arial", 0, 0, "TEXT \"Hello\"\r\n0.000000 10.000000 50.000000 0.000000\r\nJustify Left\r\n"},
        {32 | 8, "arial", 0, 0, "TEXT \"Hello\"\r\n0.000000 15.000000 50.000000 5.000000\r\nJustify Left\r\n"},
        {32 | 4, "Arial", 0, 0, "TEXT \"Hello\"\r\n0.000000 20.000000 50.000000 10.000000\r\nJustify Left\r\n"},
        {33, "Arial", 700, 16711680,
         "TEXT \"Hello\"\r\n0.000000 10.000000 50.000000 0.000000\r\nFONT (\"Arial\", 1, 0, 255)\r\nJustify Right\r\n"},
        {34, "Arial Black", 0, 0,
         "TEXT \"Hello\"\r\n0.000000 10.000000 50.000000 0.000000\r\nFONT (\"Arial Black\", 0, 0, 0)\r\nJustify Center\r\n"},
        {35, "", 0, 0, "TEXT \"Hello\"\r\n0.000000 10.000000 50.000000 0.000000\r\nFONT (\"\", 0, 0, 0)\r\nJustify Center\r\n"},
    };
    TempDir dir;
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.text);
        _VECTORTEXTA text{};
        text.pszText = const_cast<char*>("Hello");
        text.uFormat = c.uFormat;
        std::strcpy(text.font.szFaceName, c.pszFace);
        text.font.nWeight = c.nWeight;
        text.pen.crColor = c.crColor;
        _VECTORPOINT ptMin = Pt(0, 0), ptMax = Pt(50, 10);
        EXPECT_EQ(miftest::WriteWith(dir, [&](CMifFile* f) { return SaveText(&text, f, &ptMin, &ptMax); }), c.text);
    }
}

TEST(ObjectWriters, ShortWriteStopsTheObject) {
    TempDir dir;
    _VECTORPOINT aPoints[] = {Pt(1, 2), Pt(3, 4), Pt(5, 6)};
    _VECTORCURVEOPENED polyline{};
    polyline.pPoints = aPoints, polyline.nPoints = 3, polyline.pen.crColor = 255;
    int nRet = 0;
    std::string text = miftest::WriteWith(dir, [&](CMifFile* f) {
        Zk_FailWrite(3, 0);
        return SavePolyline(&polyline, f);
    }, &nRet);
    EXPECT_EQ(nRet, MIF_ERR_WRITE);
    EXPECT_EQ(text, "PLINE 3\r\n1.000000 2.000000\r\n") << "nothing after the failed write";
}

// Load, save, load: the drawing comes back (regions in reverse after one
// trip, in file order after two).
TEST(RoundTrip, EveryObjectTypeSurvivesASaveAndALoad) {
    TempDir dir;
    std::string source = dir.Write("source.mif",
        "VERSION 300\r\nDATA\r\n"
        "POINT 1.5 -2.25\r\nSYMBOL (35,255,12)\r\n"
        "LINE 0 0 10 10\r\nPEN (1,5,16711680)\r\n"
        "PLINE 3\r\n0 0\r\n1 1\r\n2 0\r\nPEN (1,3,65280)\r\n"
        "REGION 1\r\n3\r\n0 0\r\n10 0\r\n10 10\r\nPEN (1,14,255)\r\nBRUSH (8,65535)\r\n"
        "RECT 0 0 10 5\r\nBRUSH (3,255)\r\n"
        "ROUNDRECT 1 1 2 2\r\n0.5\r\n"
        "ELLIPSE 0 0 10 4\r\nPEN (1,1,0)\r\nBRUSH (2,255)\r\n"
        "ARC 0 0 10 10\r\n270 90\r\nPEN (1,20,0)\r\n"
        "TEXT \"Hello, world\"\r\n0 0 60 10\r\nFONT (\"Times New Roman\",7,10,255)\r\nJustify Center\r\n");
    Drawing first;
    ASSERT_EQ(miftest::LoadPath(source, &first.h), MIF_OK);
    std::vector<Object> original = Objects(&first.h);
    ASSERT_EQ(original.size(), 9u);

    std::string saved = dir.Path("saved.mif");
    ASSERT_EQ(miftest::SavePath(saved, &first.h), MIF_OK);
    Drawing second;
    ASSERT_EQ(miftest::LoadPath(saved, &second.h), MIF_OK);
    std::vector<Object> reread = Objects(&second.h);
    ASSERT_EQ(reread.size(), original.size());

    for (size_t i = 0; i < original.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reread[i].nType, original[i].nType);
        EXPECT_EQ(reread[i].text, original[i].text);
        std::vector<_VECTORPOINT> points = reread[i].points;
        if (reread[i].nType == VOBJ_CURVECLOSED) std::reverse(points.begin(), points.end());
        ASSERT_EQ(points.size(), original[i].points.size());
        for (size_t j = 0; j < points.size(); ++j)
            EXPECT_TRUE(points[j].x == original[i].points[j].x && points[j].y == original[i].points[j].y) << j;
        bool bPlainRecord = reread[i].nType != VOBJ_CURVECLOSED && reread[i].nType != VOBJ_CURVEOPENED &&
                            reread[i].nType != VOBJ_TEXTA;
        EXPECT_TRUE(!bPlainRecord || reread[i].record == original[i].record) << "the whole record comes back";
        EXPECT_EQ(reread[i].ptMin.x, original[i].ptMin.x);
        EXPECT_EQ(reread[i].ptMax.y, original[i].ptMax.y);
    }
    const auto& text = reread[8].As<_VECTORTEXTA>();
    const auto& originalText = original[8].As<_VECTORTEXTA>();
    EXPECT_EQ(text.uFormat, originalText.uFormat);
    EXPECT_STREQ(text.font.szFaceName, "Times New Roman");
    EXPECT_EQ(std::memcmp(&text.font, &originalText.font, sizeof(text.font)), 0);
    EXPECT_EQ(text.pen.crColor, originalText.pen.crColor);
    EXPECT_EQ(text.dCharWidth, originalText.dCharWidth);
    EXPECT_EQ(std::memcmp(&reread[3].As<_VECTORCURVECLOSED>().brush, &original[3].As<_VECTORCURVECLOSED>().brush,
                          sizeof(_VECTORBRUSH)), 0);
    EXPECT_EQ(miftest::ReadBytes(dir.Path("saved.mid")), "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n");
}
