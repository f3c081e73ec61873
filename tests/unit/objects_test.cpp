// objects_test.cpp - every MIF object read through the drawing loader into
// a real vector drawing, and what odd input makes of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mif_test_support.h"

using miftest::Drawing;
using miftest::Object;
using miftest::Objects;
using miftest::TempDir;

namespace {

const std::string kHeader = "Version 300\r\nCharset \"WindowsLatin1\"\r\nColumns 1\r\n  ID Integer\r\nData\r\n\r\n";

std::vector<Object> LoadObjects(const std::string& body, int nExpectedRet = MIF_OK) {
    TempDir dir;
    Drawing drawing;
    EXPECT_EQ(miftest::LoadText(dir, kHeader + body, &drawing.h), nExpectedRet) << body;
    return Objects(&drawing.h);
}

void ExpectPoint(const _VECTORPOINT& pt, double dX, double dY) {
    EXPECT_TRUE(pt.x == dX && pt.y == dY && pt.z == 0.0) << pt.x << ", " << pt.y << ", " << pt.z;
}

}  // namespace

TEST(LoadMIFDrawing, EveryObjectTypeWithItsFields) {
    std::vector<Object> objects = LoadObjects(
        "Point 1 2\r\n    Symbol (35,255,12)\r\n"
        "LINE 0 0 10 10\r\nPen (4,5,16711680)\r\n"
        "Pline 3\r\n0 0\r\n1 1\r\n2 0\r\n  Pen (1,2,65280)\r\n"
        "Pline Multiple 2\r\n2\r\n0 0\r\n1 1\r\n3\r\n5 5\r\n6 6\r\n7 7\r\nPEN (1,3,255)\r\n"
        "Region 2\r\n3\r\n0 0\r\n10 0\r\n10 10\r\n2\r\n1 1\r\n2 2\r\nPen (1,2,0)\r\nBrush (6,255,0)\r\n"
        "Rect 0 0 10 5\r\n"
        "RoundRect 0 0 10 5\r\n2\r\n"
        "Ellipse 0 0 10 4\r\nBrush (2,65280)\r\n"
        "Arc 0 0 10 10\r\n90 180\r\nPen (1,2,255)\r\n"
        "Text \"Hello\"\r\n0 0 50 10\r\nFont (\"Arial\",1,0,255)\r\nJustify Right\r\nAngle 45\r\n");
    ASSERT_EQ(objects.size(), 12u);

    const auto& vertex = objects[0].As<_VECTORVERTEX>();
    EXPECT_EQ(objects[0].nType, static_cast<uint32_t>(VOBJ_VERTEX));
    EXPECT_EQ(vertex.head.nSize, sizeof(_VECTORVERTEX));
    ExpectPoint(vertex.pt, 1, 2);
    EXPECT_EQ(vertex.pen.nSize, sizeof(_VECTORPEN));
    EXPECT_EQ(vertex.pen.crColor, 16711680u);

    const auto& line = objects[1].As<_VECTORLINE>();
    ExpectPoint(line.pt2, 10, 10);
    EXPECT_EQ(line.pen.nStyle, static_cast<uint32_t>(VPEN_DASH));
    EXPECT_EQ(line.pen.crColor, 255u);

    EXPECT_EQ(objects[2].nType, static_cast<uint32_t>(VOBJ_CURVEOPENED));
    ASSERT_EQ(objects[2].points.size(), 3u);
    ExpectPoint(objects[2].points[1], 1, 1);
    EXPECT_EQ(objects[2].As<_VECTORCURVEOPENED>().pen.crColor, 65280u);
    // Every section of a MULTIPLE polyline is an object with the one pen.
    EXPECT_EQ(objects[3].points.size(), 2u);
    EXPECT_EQ(objects[4].points.size(), 3u);
    EXPECT_EQ(objects[3].As<_VECTORCURVEOPENED>().pen.nStyle, static_cast<uint32_t>(VPEN_DOT));
    EXPECT_EQ(objects[4].As<_VECTORCURVEOPENED>().pen.crColor, 16711680u);

    // Region polygons keep their vertices in reverse and share the clauses.
    ASSERT_EQ(objects[5].points.size(), 3u);
    ExpectPoint(objects[5].points[0], 10, 10);
    ExpectPoint(objects[5].points[2], 0, 0);
    for (int i : {5, 6}) {
        const auto& polygon = objects[i].As<_VECTORCURVECLOSED>();
        EXPECT_EQ(polygon.brush.nStyle, static_cast<uint32_t>(VBRUSH_HATCHED));
        EXPECT_EQ(polygon.brush.nHatch, static_cast<uint64_t>(VHATCH_FDIAGONAL));
        EXPECT_EQ(polygon.brush.crColor, 16711680u);
        EXPECT_EQ(polygon.nFillMode, 0);
    }

    const auto& rect = objects[7].As<_VECTORRECTANGLE>();
    EXPECT_EQ(rect.brush.nStyle, static_cast<uint32_t>(VBRUSH_HATCHED));
    EXPECT_EQ(rect.brush.nHatch, static_cast<uint64_t>(VHATCH_CROSS));
    EXPECT_EQ(rect.pen.nSize, sizeof(_VECTORPEN));
    EXPECT_EQ(objects[8].As<_VECTORRECTANGLE>().brush.nStyle, static_cast<uint32_t>(VBRUSH_NULL));

    const auto& ellipse = objects[9].As<_VECTORELLIPSE>();
    ExpectPoint(ellipse.ptCenter, 5, 2);
    EXPECT_EQ(ellipse.dRadiusX, 5);
    EXPECT_EQ(ellipse.dRadiusY, 2);
    EXPECT_EQ(ellipse.brush.nStyle, static_cast<uint32_t>(VBRUSH_SOLID));

    const auto& arc = objects[10].As<_VECTORELLIPTICALARC>();
    ExpectPoint(arc.ptCenter, 5, 5);
    EXPECT_EQ(arc.dStartAngle, 90);
    EXPECT_EQ(arc.dSweep, 90);
    EXPECT_EQ(arc.pen.crColor, 16711680u);

    const auto& text = objects[11].As<_VECTORTEXTA>();
    EXPECT_EQ(objects[11].text, "Hello");
    ExpectPoint(text.ptAnchor, 0, 10);
    EXPECT_EQ(text.dCharHeight, 10);
    EXPECT_EQ(text.dCharWidth, 10);
    EXPECT_EQ(text.uFormat, 33u);
    EXPECT_EQ(text.font.nWeight, 700);
    EXPECT_EQ(text.pen.crColor, 16711680u);
}

TEST(LoadMIFDrawing, OddInputTable) {
    struct Case { const char* pszName; std::string body; int nRet; std::vector<uint32_t> types; } aCases[] = {
        {"point with one coordinate", "POINT 1\r\nPOINT 1 2\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"point last line", "POINT 1 2", MIF_OK, {VOBJ_VERTEX}},
        {"pen line after a point", "POINT 1 2\r\nPEN (1,2,255)\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"line with three numbers", "LINE 1 2 3\r\nLINE 1 2 3 4\r\n", MIF_OK, {VOBJ_LINE}},
        {"lower case and spaces", "   point 1 2\r\n  lInE 0 0 1 1\r\n", MIF_OK, {VOBJ_VERTEX, VOBJ_LINE}},
        {"keyword fragments", "R\r\n", MIF_ERR_FORMAT, {}},
        {"rect fragment", "REC\r\nPOINT 1 1\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"objects this filter does not read", "MULTIPOINT 2\r\n1 1\r\n2 2\r\nNONE\r\nPOINT 0 0\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"blank lines", "\r\n\r\nPOINT 0 0\r\n\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"region without count", "REGION\r\n", MIF_ERR_FORMAT, {}},
        {"region ends in its vertices", "POINT 0 0\r\nREGION 1\r\n4\r\n0 0\r\n1 1\r\n", MIF_ERR_FORMAT, {VOBJ_VERTEX}},
        {"pline count at end", "PLINE\r\n", MIF_ERR_FORMAT, {}},
        {"pline count on next line", "Pline\r\n2\r\n0 0\r\n1 1\r\n", MIF_OK, {VOBJ_CURVEOPENED}},
        {"blank line after pline", "PLINE 2\r\n0 0\r\n1 1\r\n\r\nPOINT 1 1\r\n", MIF_END, {}},
        {"pen without space after pline", "PLINE 2\r\n0 0\r\n1 1\r\nPen(1,2,0)\r\n", MIF_END, {}},
        {"blank line after region", "REGION 1\r\n2\r\n0 0\r\n1 1\r\n\r\n", MIF_OK, {VOBJ_CURVECLOSED}},
        {"pline multiple without count", "PLINE MULTIPLE\r\n1\r\n0 0\r\n", MIF_OK, {VOBJ_CURVEOPENED}},
        {"pline mult is not multiple", "PLINE MULT\r\nPOINT 0 0\r\n", MIF_OK, {VOBJ_CURVEOPENED, VOBJ_VERTEX}},
        {"zero vertices", "PLINE 0\r\nREGION 1\r\n0\r\nPOINT 1 1\r\n", MIF_OK, {VOBJ_CURVEOPENED, VOBJ_CURVECLOSED, VOBJ_VERTEX}},
        {"negative vertex count", "PLINE -3\r\n", MIF_ERR_NOMEM, {}},
        {"large count then end of file", "PLINE 1000000\r\n0 0\r\n", MIF_ERR_FORMAT, {}},
        {"roundrect at end", "ROUNDRECT 0 0 1 1", VEC_ERR_EMPTY, {}},
        {"arc with one angle", "ARC 0 0 1 1\r\n90\r\nPOINT 1 1\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"text alone", "TEXT\r\n\"Hello\"\r\n0 0 1 1\r\n", VEC_ERR_EMPTY, {}},
        {"text without box", "TEXT \"a\"", VEC_ERR_EMPTY, {}},
        {"text with short box", "TEXT \"a\"\r\n0 0 1\r\nPOINT 1 1\r\n", MIF_OK, {VOBJ_VERTEX}},
        {"text then point", "TEXT \"a\"\r\n0 0 1 1\r\nPOINT 1 2\r\n", MIF_OK, {VOBJ_TEXTA, VOBJ_VERTEX}},
        {"font without closing quote on fifth line",
         "TEXT \"a\"\r\n0 0 1 1\r\nAngle 1\r\nSpacing 1\r\n\r\nAngle 2\r\nFont (\"Arial,0,0,0)\r\n", MIF_ERR_FORMAT, {}},
        {"sixth clause line is left", "TEXT \"a\"\r\n0 0 1 1\r\nAngle 1\r\nAngle 1\r\nAngle 1\r\nAngle 1\r\nAngle 1\r\nPOINT 3 3\r\n",
         MIF_OK, {VOBJ_TEXTA, VOBJ_VERTEX}},
        {"no objects", "", VEC_ERR_EMPTY, {}},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszName);
        std::vector<Object> objects = LoadObjects(c.body, c.nRet);
        std::vector<uint32_t> types;
        for (const Object& object : objects) types.push_back(object.nType);
        EXPECT_EQ(types, c.types);
    }
}

TEST(LoadMIFDrawing, TextStringsAndBoxes) {
    struct Case {
        std::string lines;
        std::string text;
        double dAnchorX, dAnchorY, dHeight, dWidth;
        uint32_t uFormat;
    } aCases[] = {
        {"TEXT \"Hello\"\r\n0 0 50 10\r\n", "Hello", 0, 10, 10, 10, 32},
        {"TEXT \"Hello\"\r\n50 10 0 0\r\n", "Hello", 0, 10, 10, 10, 32},
        {"TEXT \"A \"quoted\" word\"\r\n0 0 2 1\r\n", "A ", 0, 1, 1, 1, 32},
        {"TEXT \"open\r\n0 0 8 1\r\n", "open", 0, 1, 1, 2, 32},
        {"TEXT \"\"\r\n0 0 8 1\r\n", "", 0, 1, 1, 8, 32},
        {"TEXT \"  Hello\"\r\n0 0 7 1\r\nJustify Center\r\n", "  Hello", 0, 1, 1, 1, 34},
        {"TEXT \"x\"\r\n0 0 1 1\r\nJustify Centre\r\n", "x", 0, 1, 1, 1, 32},
        {"TEXT \"" + std::string(1016, 'w') + "\"\r\n0 0 1016 1\r\n", std::string(1016, 'w'), 0, 1, 1, 1, 32},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.lines.substr(0, 40));
        std::vector<Object> objects = LoadObjects(c.lines);
        ASSERT_EQ(objects.size(), 1u);
        const auto& text = objects[0].As<_VECTORTEXTA>();
        EXPECT_EQ(objects[0].text, c.text);
        ExpectPoint(text.ptAnchor, c.dAnchorX, c.dAnchorY);
        EXPECT_EQ(text.dCharHeight, c.dHeight);
        EXPECT_EQ(text.dCharWidth, c.dWidth);
        EXPECT_EQ(text.uFormat, c.uFormat);
    }
}

TEST(LoadMIFDrawing, ClauseOrderAndDefaults) {
    std::vector<Object> objects = LoadObjects(
        "RECT 0 0 10 5\r\nBrush (2,255)\r\nPen (1,5,0)\r\n"
        "RECT 10 5 0 0\r\n\r\n"
        "ELLIPSE 10 4 0 0\r\nPen (1,2,0)\r\nBrush (2,0)\r\nBrush (3,0)\r\n"
        "ARC 0 0 10 10\r\n270 90\r\nBrush (2,0)\r\n"
        "ROUNDRECT 0 0 1 1 5\r\nPen (1,6,255)\r\n");
    ASSERT_EQ(objects.size(), 5u);
    const auto& first = objects[0].As<_VECTORRECTANGLE>();
    EXPECT_EQ(first.brush.nStyle, static_cast<uint32_t>(VBRUSH_SOLID));
    EXPECT_EQ(first.pen.nStyle, static_cast<uint32_t>(VPEN_DASH));
    // An empty line is taken as a PEN clause that ends early: solid black.
    const auto& second = objects[1].As<_VECTORRECTANGLE>();
    ExpectPoint(second.pt1, 10, 5);
    EXPECT_EQ(second.pen.nWidth, 1);
    EXPECT_EQ(second.brush.nHatch, static_cast<uint64_t>(VHATCH_CROSS));
    const auto& ellipse = objects[2].As<_VECTORELLIPSE>();
    EXPECT_EQ(ellipse.dRadiusX, -5);
    EXPECT_EQ(ellipse.dRadiusY, -2);
    EXPECT_EQ(ellipse.brush.nStyle, static_cast<uint32_t>(VBRUSH_SOLID)) << "a third clause line is left";
    const auto& arc = objects[3].As<_VECTORELLIPTICALARC>();
    EXPECT_EQ(arc.dSweep, -180);
    EXPECT_EQ(arc.pen.nSize, 0u) << "an arc takes no BRUSH line";
    // The PEN line after a ROUNDRECT is consumed as its rounding line.
    EXPECT_EQ(objects[4].As<_VECTORRECTANGLE>().pen.crColor, 0u);
    EXPECT_EQ(objects[4].As<_VECTORRECTANGLE>().pen.nStyle, static_cast<uint32_t>(VPEN_SOLID));
}
