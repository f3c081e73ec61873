// vector_kernel_test.cpp - the vector kernel's drawings: deep copies and
// exact extents of every object type, bad records, enumeration, the
// drawing's box, page sizes and large drawings.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <iterator>
#include <string>
#include <vector>

#include "hostapi.h"
#include "vector_testing.h"

namespace {

union AnyRecord {
    _VECTOROBJECTHEAD head;
    _VECTORVERTEX vertex;
    _VECTORLINE line;
    _VECTORRECTANGLE rect;
    _VECTORCURVEOPENED curve;  // the closed curve starts alike
    _VECTORCURVECLOSED closed;
    _VECTORELLIPSE ellipse;
    _VECTORCIRCLE circle;
    _VECTORARC arc;
    _VECTORELLIPTICALARC earc;
    _VECTORTEXTA text;
};

// A record as the filter makes one: zero-filled, initialised, size and type.
AnyRecord NewRecord(uint32_t nType, uint32_t nSize) {
    AnyRecord record;
    memset(&record, 0, sizeof(record));
    Z_VecInitObject(&record);
    record.head.nSize = nSize;
    record.head.nType = nType;
    return record;
}

// Sets a point field by field, leaving the record's zero padding alone.
void SetPt(_VECTORPOINT* p, double dX, double dY, double dZ = 0, int32_t nTag = 0) {
    p->x = dX, p->y = dY, p->z = dZ, p->nTag = nTag;
}

_VECTORPOINT Pt(double dX, double dY, double dZ = 0, int32_t nTag = 0) { return {dX, dY, dZ, nTag}; }

bool HasPoints(uint32_t nType) { return nType == VOBJ_CURVEOPENED || nType == VOBJ_CURVECLOSED; }

void ExpectPoint(const _VECTORPOINT& actual, const _VECTORPOINT& expected) {
    EXPECT_EQ(memcmp(&actual, &expected, 3 * sizeof(double)), 0) << actual.x << " " << actual.y << " " << actual.z;
    EXPECT_EQ(actual.nTag, expected.nTag);
}

class VectorDrawingTest : public testing::Test {
protected:
    void SetUp() override {
        memset(&m_handle, 0xA5, sizeof(m_handle));  // like memory fresh from an allocator
        m_handle.uFlags = 8194;
        ASSERT_EQ(Z_VecInit(&m_handle), 1);
        m_nCopiesBefore = Zv_LiveObjectCopies();
    }
    void TearDown() override {
        EXPECT_EQ(Zv_LiveObjectCopies(), m_nCopiesBefore) << "copies not released";
        EXPECT_EQ(Z_VecFree(&m_handle), 1);
    }
    int32_t Add(const AnyRecord& r) { return Z_VecAddObjectA(&m_handle, nullptr, r.head.nType, &r, nullptr); }
    int32_t AddLine(double dX1, double dY1, double dX2, double dY2, int32_t nLayer = -1) {
        AnyRecord record = NewRecord(VOBJ_LINE, sizeof(_VECTORLINE));
        record.head.nLayer = nLayer;
        SetPt(&record.line.pt1, dX1, dY1);
        SetPt(&record.line.pt2, dX2, dY2);
        return Add(record);
    }
    int32_t Get(uint64_t nIndex, uint32_t nType, AnyRecord* pRecord) {
        _VECTOROBJECT object = {sizeof(object), nType, nIndex};
        return Z_VecGetObjectA(&m_handle, &object, nType, pRecord);
    }
    int32_t Box(const _VECTOROBJECT* pObject, _VECTORPOINT* pMin, _VECTORPOINT* pMax) {
        return Z_VecGetObjectParallelogram(&m_handle, pObject, pMin, pMax, 0);
    }
    std::vector<uint32_t> EnumeratedTypes() {
        std::vector<uint32_t> aTypes;
        EXPECT_EQ(Z_VecEnumObjects(&m_handle, [](_VECTORHANDLE*, _VECTOROBJECT* pObject, void* pUser) {
            static_cast<std::vector<uint32_t>*>(pUser)->push_back(pObject->nType);
            return 1;
        }, &aTypes, 0), 1);
        return aTypes;
    }

    _VECTORHANDLE m_handle;
    int64_t m_nCopiesBefore = 0;
};

_VECTORPOINT g_aCurve[3] = {Pt(0, 0), Pt(4, -1, 3, 4), Pt(2, 3, -0.0, 9)};
const uint32_t kRecordSize[VOBJ_TEXTA + 1] = {
    0, sizeof(_VECTORVERTEX), sizeof(_VECTORLINE), sizeof(_VECTORRECTANGLE), sizeof(_VECTORCURVEOPENED), 0,
    sizeof(_VECTORCURVECLOSED), sizeof(_VECTORELLIPSE), sizeof(_VECTORCIRCLE), sizeof(_VECTORARC),
    sizeof(_VECTORELLIPTICALARC), 0, 0, 0, sizeof(_VECTORTEXTA)};

// A record of the type from four numbers, read per type as noted; points
// carry z and tags, so that a lost field shows.
AnyRecord Make(uint32_t nType, double a, double b, double c, double d, const char* pszText) {
    AnyRecord r = NewRecord(nType, kRecordSize[nType]);
    switch (nType) {
    case VOBJ_VERTEX: SetPt(&r.vertex.pt, a, b, 7, 3); break;  // at (a, b)
    case VOBJ_LINE:
    case VOBJ_RECTANGLE:  // from (a, b) to (c, d)
        SetPt(&r.line.pt1, a, b, -0.0), SetPt(&r.line.pt2, c, d, 2.5, -8);
        break;
    case VOBJ_CURVEOPENED:
    case VOBJ_CURVECLOSED:  // b points of g_aCurve from the a-th
        r.curve.pPoints = g_aCurve + int(a), r.curve.nPoints = int32_t(b);
        if (nType == VOBJ_CURVECLOSED) r.closed.nFillMode = 1;
        break;
    case VOBJ_ELLIPSE:
    case VOBJ_CIRCLE:  // centre (a, b), radii c and d
        SetPt(&r.ellipse.ptCenter, a, b, 0, 1), r.ellipse.dRadiusX = c;
        if (nType == VOBJ_ELLIPSE) r.ellipse.dRadiusY = d;
        break;
    case VOBJ_ARC: r.arc.dRadius = a, r.arc.dStartAngle = b, r.arc.dSweep = c; break;  // radius, start, sweep
    case VOBJ_ELLIPTICALARC:  // radii a and b, start c, sweep d
        r.earc.dRadiusX = a, r.earc.dRadiusY = b, r.earc.dStartAngle = c, r.earc.dSweep = d;
        break;
    case VOBJ_TEXTA:  // character height a and width b at (1, 1)
        r.text.pszText = const_cast<char*>(pszText), SetPt(&r.text.ptAnchor, 1, 1);
        r.text.dCharHeight = a, r.text.dCharWidth = b, r.text.uFormat = 33;
        break;
    }
    return r;
}

const double kSin10 = sin(10 * M_PI / 180), kCos10 = cos(10 * M_PI / 180), kCos30 = cos(30 * M_PI / 180);
const double kHalfRoot2 = sqrt(0.5);

// One object of each type and the exact box the kernel gives it.
const struct ObjectCase {
    const char* pszName;
    uint32_t nType;
    double a, b, c, d;
    const char* pszText;
    double dMinX, dMinY, dMaxX, dMaxY;
} kObjects[] = {
    {"Vertex", VOBJ_VERTEX, 1.5, -2.25, 0, 0, "", 1.5, -2.25, 1.5, -2.25},
    {"Line", VOBJ_LINE, -1e300, 4, 5, 1e-300, "", -1e300, 1e-300, 5, 4},
    {"RectangleRightToLeft", VOBJ_RECTANGLE, 10, 5, 0, 0, "", 0, 0, 10, 5},
    {"CurveOpened", VOBJ_CURVEOPENED, 0, 3, 0, 0, "", 0, -1, 4, 3},
    {"CurveClosed", VOBJ_CURVECLOSED, 1, 2, 0, 0, "", 2, -1, 4, 3},
    {"EllipseNegativeRadius", VOBJ_ELLIPSE, 5, 2, -5, 2, "", 0, 0, 10, 4},
    {"CircleNegativeRadius", VOBJ_CIRCLE, 1, 1, -2, 0, "", -1, -1, 3, 3},
    {"ArcQuarter", VOBJ_ARC, 5, 0, 90, 0, "", 0, 0, 5, 5},
    {"ArcQuarterSweptBack", VOBJ_ARC, 5, 90, -90, 0, "", 0, 0, 5, 5},
    {"ArcQuarterNegativeRadius", VOBJ_ARC, -5, 0, 90, 0, "", 0, 0, 5, 5},
    {"ArcAcrossZero", VOBJ_ARC, 1, 350, 20, 0, "", kCos10, -kSin10, 1, kSin10},
    {"ArcHalfFrom45", VOBJ_ARC, 1, 45, 180, 0, "", -1, -kHalfRoot2, kHalfRoot2, 1},
    {"ArcManyTurnsOn", VOBJ_ARC, 1, 7200 + 30, 60, 0, "", 0, 0.5, kCos30, 1},
    {"ArcFullTurnBack", VOBJ_ARC, 2, 10, -400, 0, "", -2, -2, 2, 2},
    {"EllipticalArcLeftHalf", VOBJ_ELLIPTICALARC, 4, -2, 90, 180, "", -4, -2, 0, 2},
    {"TextTwoLines", VOBJ_TEXTA, 10, 2.5, 0, 0, "Two\nlines", 1, -19, 13.5, 1},
    {"TextNegativeSizes", VOBJ_TEXTA, -2, -0.5, 0, 0, "ab\ncdef", 1, -3, 3, 1},
    {"TextEmpty", VOBJ_TEXTA, 1, 1, 0, 0, "", 1, 0, 1, 1},
};

TEST_F(VectorDrawingTest, EveryObjectComesBackWholeAndHasItsExactBox) {
    for (size_t i = 0; i < std::size(kObjects); ++i) {
        const ObjectCase& c = kObjects[i];
        SCOPED_TRACE(c.pszName);
        AnyRecord record = Make(c.nType, c.a, c.b, c.c, c.d, c.pszText), expected = record, copy;
        record.head.uAttributes = uint32_t(i);
        {  // added from arrays the caller spoils and frees at once: the kernel keeps its own copies
            std::vector<_VECTORPOINT> aPoints;
            std::string strText;
            if (HasPoints(c.nType)) {
                aPoints.assign(record.curve.pPoints, record.curve.pPoints + record.curve.nPoints);
                record.curve.pPoints = aPoints.data();
            }
            if (c.nType == VOBJ_TEXTA) record.text.pszText = &(strText = record.text.pszText)[0];
            _VECTOROBJECT out = {0, 0, 99};
            ASSERT_EQ(Z_VecAddObjectA(&m_handle, nullptr, c.nType, &record, &out), 1);
            EXPECT_TRUE(out.nType == c.nType && out.nIndex == i);
            for (_VECTORPOINT& pt : aPoints) pt = Pt(-1, -1);
            strText.assign(strText.size(), 'x');
        }
        expected.head.nLayer = 0;  // the implicit first layer
        expected.head.uAttributes = uint32_t(i);
        memset(&copy, 0xCD, sizeof(copy));
        ASSERT_EQ(Get(i, c.nType, &copy), 1);
        if (HasPoints(c.nType)) {
            ASSERT_EQ(copy.curve.nPoints, expected.curve.nPoints);
            for (int32_t j = 0; j < expected.curve.nPoints; ++j)
                ExpectPoint(copy.curve.pPoints[j], expected.curve.pPoints[j]);
            expected.curve.pPoints = copy.curve.pPoints;
        }
        if (c.nType == VOBJ_TEXTA) {
            EXPECT_STREQ(copy.text.pszText, expected.text.pszText);
            expected.text.pszText = copy.text.pszText;
        }
        EXPECT_EQ(memcmp(&copy, &expected, kRecordSize[c.nType]), 0);  // every field; padding zero on both sides
        EXPECT_EQ(Z_VecFreeObject(c.nType, &copy), 1);
        EXPECT_TRUE(!HasPoints(c.nType) || copy.curve.pPoints == nullptr);
        EXPECT_TRUE(c.nType != VOBJ_TEXTA || copy.text.pszText == nullptr);
        _VECTOROBJECT object = {sizeof(object), c.nType, i};
        _VECTORPOINT ptMin, ptMax;
        ASSERT_EQ(Box(&object, &ptMin, &ptMax), 1);
        EXPECT_NEAR(ptMin.x, c.dMinX, 1e-12);
        EXPECT_NEAR(ptMin.y, c.dMinY, 1e-12);
        EXPECT_NEAR(ptMax.x, c.dMaxX, 1e-12);
        EXPECT_NEAR(ptMax.y, c.dMaxY, 1e-12);
        EXPECT_EQ(ptMin.z, 0.0);
    }
}

TEST_F(VectorDrawingTest, LargeDrawingsArraysAndStringsCrossTheStorageChunks) {
    std::vector<_VECTORPOINT> aPoints;
    for (int i = 0; i < 150000; ++i) aPoints.push_back(Pt(i, -i, i % 1000 == 0 ? i : 0, i % 4099 == 0 ? i : 0));
    std::string strText(3 << 20, 'a');
    AnyRecord curve = NewRecord(VOBJ_CURVEOPENED, sizeof(_VECTORCURVEOPENED));
    AnyRecord text = NewRecord(VOBJ_TEXTA, sizeof(_VECTORTEXTA));
    curve.curve.pPoints = aPoints.data();
    curve.curve.nPoints = int32_t(aPoints.size());
    text.text.pszText = &strText[0];
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Add(curve) == 1 && Add(text) == 1);
    ASSERT_EQ(Get(4, VOBJ_CURVEOPENED, &curve), 1);
    ASSERT_EQ(curve.curve.nPoints, int32_t(aPoints.size()));
    for (size_t j = 0; j < aPoints.size(); ++j) ExpectPoint(curve.curve.pPoints[j], aPoints[j]);
    ASSERT_EQ(Get(5, VOBJ_TEXTA, &text), 1);
    EXPECT_TRUE(text.text.pszText == strText);
    Z_VecFreeObject(VOBJ_CURVEOPENED, &curve);
    Z_VecFreeObject(VOBJ_TEXTA, &text);
    ASSERT_EQ(Z_VecEmpty(&m_handle), 1);
    const int kObjects = 1000000;  // and many objects
    for (int i = 0; i < kObjects; ++i) ASSERT_EQ(AddLine(i, 0, i, i % 7), 1);
    EXPECT_EQ(EnumeratedTypes().size(), size_t(kObjects));
    AnyRecord copy;
    ASSERT_EQ(Get(kObjects - 1, VOBJ_LINE, &copy), 1);
    ExpectPoint(copy.line.pt2, Pt(kObjects - 1, (kObjects - 1) % 7));
    _VECTORPOINT ptMin, ptMax;
    ASSERT_EQ(Box(nullptr, &ptMin, &ptMax), 1);
    ExpectPoint(ptMin, Pt(0, 0));
    ExpectPoint(ptMax, Pt(kObjects - 1, 6));
}

TEST_F(VectorDrawingTest, EmptyCurvesMissingStringsAndOtherTypeCodesAreKept) {
    ASSERT_EQ(Add(NewRecord(VOBJ_CURVECLOSED, sizeof(_VECTORCURVECLOSED))), 1);
    ASSERT_EQ(Add(NewRecord(VOBJ_TEXTA, sizeof(_VECTORTEXTA))), 1);
    for (uint32_t nType : {0u, 5u, 11u, 12u, 13u, 255u}) EXPECT_EQ(Add(NewRecord(nType, 64)), 1) << nType;
    ASSERT_EQ(AddLine(1, 2, 3, 4), 1);
    EXPECT_EQ(EnumeratedTypes(), (std::vector<uint32_t>{6, 14, 0, 5, 11, 12, 13, 255, 2}));
    AnyRecord copy;
    ASSERT_EQ(Get(0, VOBJ_CURVECLOSED, &copy), 1);
    EXPECT_TRUE(copy.closed.nPoints == 0 && copy.closed.pPoints == nullptr);
    ASSERT_EQ(Get(1, VOBJ_TEXTA, &copy), 1);
    EXPECT_STREQ(copy.text.pszText, "");
    EXPECT_EQ(Zv_LiveObjectCopies(), m_nCopiesBefore + 1);
    Z_VecFreeObject(VOBJ_TEXTA, &copy);
    memset(&copy, 0xCD, sizeof(copy));
    ASSERT_EQ(Get(4, 11, &copy), 1);  // a bare head; the line after it is intact
    EXPECT_TRUE(copy.head.nSize == sizeof(_VECTOROBJECTHEAD) && copy.head.nLayer == 0);
    ASSERT_EQ(Get(8, VOBJ_LINE, &copy), 1);
    ExpectPoint(copy.line.pt2, Pt(3, 4));
}

TEST_F(VectorDrawingTest, BadRecordsAndRequestsAreRefused) {
    const struct {
        const char* pszName;
        uint32_t nType;
        void (*pfnSpoil)(AnyRecord*);
    } kCases[] = {
        {"SizeTooSmall", VOBJ_LINE, [](AnyRecord* p) { p->head.nSize = sizeof(_VECTORLINE) - 1; }},
        {"HeadSizeTooSmall", 5, [](AnyRecord* p) { p->head.nSize = 15; }},
        {"TypeCodeTooLarge", 256, [](AnyRecord*) {}},
        {"HeadNamesAnotherType", VOBJ_LINE, [](AnyRecord* p) { p->head.nType = VOBJ_VERTEX; }},
        {"NegativePointCount", VOBJ_CURVEOPENED, [](AnyRecord* p) {
             p->curve.pPoints = g_aCurve;
             p->curve.nPoints = -1;
         }},
        {"PointsWithoutArray", VOBJ_CURVECLOSED, [](AnyRecord* p) { p->closed.nPoints = 2; }},
        {"UnknownLayer", VOBJ_LINE, [](AnyRecord* p) { p->head.nLayer = 1; }},
        {"LayerBelowMinusOne", VOBJ_LINE, [](AnyRecord* p) { p->head.nLayer = -2; }},
    };
    ASSERT_EQ(AddLine(0, 0, 1, 1), 1);
    for (const auto& c : kCases) {
        AnyRecord record = NewRecord(c.nType, sizeof(_VECTORCURVECLOSED));
        c.pfnSpoil(&record);
        EXPECT_EQ(Z_VecAddObjectA(&m_handle, nullptr, c.nType, &record, nullptr), VEC_ERR_BADOBJECT) << c.pszName;
    }
    AnyRecord record = NewRecord(VOBJ_LINE, sizeof(_VECTORLINE));
    _VECTOROBJECT object = {sizeof(object), VOBJ_LINE, 0};
    EXPECT_EQ(Z_VecAddObjectA(&m_handle, &object, VOBJ_LINE, &record, nullptr), VEC_ERR_BADOBJECT);  // a parent
    EXPECT_EQ(Z_VecAddObjectA(&m_handle, nullptr, VOBJ_LINE, nullptr, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(EnumeratedTypes().size(), 1u);
    EXPECT_EQ(Get(0, VOBJ_RECTANGLE, &record), VEC_ERR_BADOBJECT);  // another type
    EXPECT_EQ(Get(1, VOBJ_LINE, &record), VEC_ERR_BADOBJECT);       // no such position
    EXPECT_EQ(Z_VecGetObjectA(&m_handle, &object, VOBJ_LINE, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(Z_VecFreeObject(VOBJ_LINE, nullptr), MIF_ERR_ARG);
}

TEST_F(VectorDrawingTest, EnumerationRunsInDrawingOrderAndStopsAtTheFirstRefusal) {
    struct State { std::vector<uint64_t> aIndices; size_t nStopAt; int32_t nStopResult; } state = {{}, 0, 1};
    auto pfnRecord = [](_VECTORHANDLE*, _VECTOROBJECT* pObject, void* pUser) {
        State* pState = static_cast<State*>(pUser);
        pState->aIndices.push_back(pObject->nIndex);
        return pState->aIndices.size() == pState->nStopAt ? pState->nStopResult : 1;
    };
    EXPECT_EQ(Z_VecEnumObjects(&m_handle, pfnRecord, &state, 0), 1);
    EXPECT_TRUE(state.aIndices.empty());
    for (int i = 0; i < 5; ++i) ASSERT_EQ(AddLine(i, i, i + 1, i + 1), 1);
    EXPECT_EQ(Z_VecEnumObjects(&m_handle, pfnRecord, &state, 0), 1);
    EXPECT_EQ(state.aIndices, (std::vector<uint64_t>{0, 1, 2, 3, 4}));
    for (int32_t nStopResult : {2, 0, -5}) {
        state = {{}, 3, nStopResult};
        EXPECT_EQ(Z_VecEnumObjects(&m_handle, pfnRecord, &state, 0), nStopResult);
        EXPECT_EQ(state.aIndices.size(), 3u);
    }
    EXPECT_EQ(Z_VecEnumObjects(&m_handle, nullptr, nullptr, 0), MIF_ERR_ARG);
}

TEST_F(VectorDrawingTest, TheDrawingsBoxHasOnlyFiniteValuesAndNeedsGeometry) {
    _VECTORPOINT ptMin, ptMax;
    EXPECT_EQ(Box(nullptr, &ptMin, &ptMax), VEC_ERR_EMPTY);
    ASSERT_EQ(Add(NewRecord(12, sizeof(_VECTOROBJECTHEAD))), 1);
    ASSERT_EQ(Add(NewRecord(VOBJ_CURVEOPENED, sizeof(_VECTORCURVEOPENED))), 1);
    EXPECT_EQ(Box(nullptr, &ptMin, &ptMax), VEC_ERR_EMPTY);
    _VECTOROBJECT object = {sizeof(object), 0, 1};
    EXPECT_EQ(Box(&object, &ptMin, &ptMax), VEC_ERR_EMPTY);
    object.nIndex = 4;
    EXPECT_EQ(Box(&object, &ptMin, &ptMax), VEC_ERR_BADOBJECT);
    EXPECT_EQ(Box(nullptr, nullptr, &ptMax), MIF_ERR_ARG);
    ASSERT_EQ(AddLine(0, 0, INFINITY, 5), 1);
    ASSERT_EQ(AddLine(NAN, NAN, -3, 2), 1);
    ASSERT_EQ(Box(nullptr, &ptMin, &ptMax), 1);
    ExpectPoint(ptMin, Pt(-3, 0));
    ExpectPoint(ptMax, Pt(0, 5));
    object.nIndex = 2;  // one object on its own keeps its infinite end
    ASSERT_EQ(Box(&object, &ptMin, &ptMax), 1);
    EXPECT_EQ(ptMax.x, INFINITY);
}

TEST_F(VectorDrawingTest, PageSizesFollowTheModeAndTheStoredBox) {
    const struct {
        int32_t nMode;
        double dBoxX, dBoxY;  // the far corner; the near one is (0, 0)
        int32_t nWidth, nHeight, nExpectedWidth, nExpectedHeight;
    } kCases[] = {
        {1, 200, 100, 400, 400, 400, 400},   {0, 200, 100, 400, 400, 400, 200},
        {0, 100, 200, 400, 400, 200, 400},   {0, 200, 100, 100, 400, 100, 50},
        {0, -200, -100, 400, 400, 400, 200}, {2, 200, 100, 300, 7, 300, 150},
        {3, 200, 100, 7, 300, 600, 300},     {2, 3, 1, 10, 0, 10, 3},  // rounded
        {2, 3, 2, 1, 5, 1, 1},               {3, 1e6, 1, 0, 10, 65535, 10},
        {0, 0, 100, 400, 300, 400, 300},     {0, NAN, 100, 400, 300, 400, 300},
        {0, 200, 100, -5, 400, 1, 400},      {2, 200, 100, 0, 50, 1, 50},
        {7, 200, 100, 123, 456, 123, 456},   {1, 200, 100, 70000, 0, 65535, 1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.nMode << ", box " << c.dBoxX << "," << c.dBoxY << ", page "
                                        << c.nWidth << "x" << c.nHeight);
        _VECTORPOINT ptMin = Pt(0, 0, 3, 4), ptMax = Pt(c.dBoxX, c.dBoxY, 5, 6);
        ASSERT_EQ(Z_VecSetParallelogram(&m_handle, &ptMin, &ptMax), 1);
        int32_t nWidth = c.nWidth, nHeight = c.nHeight;
        ASSERT_EQ(Z_VecGetSize(&m_handle, c.nMode, &nWidth, &nHeight), 1);
        EXPECT_EQ(nWidth, c.nExpectedWidth);
        EXPECT_EQ(nHeight, c.nExpectedHeight);
    }
    ExpectPoint(m_handle.ptMin, Pt(0, 0, 3, 4));  // stored whole, z and tag too
    ExpectPoint(m_handle.ptMax, Pt(200, 100, 5, 6));
}

}  // namespace
