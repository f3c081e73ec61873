// draw_map_test.cpp - the drawing-to-device map: each axis stretched onto
// the viewport with north up, flat and broken boxes centred, and results
// beyond cairo's reach refused.
#include <gtest/gtest.h>

#include <limits>

#include "drawmap.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

_VECTORPOINT P(double dX, double dY) { return {dX, dY, 0, 0}; }

TEST(DrawMap, StretchesEachAxisOntoTheViewportNorthUp) {
    const struct {
        const char* pszName;
        tagRECT rcViewport;
        _VECTORPOINT ptMin, ptMax;
        double dX, dY, dDeviceX, dDeviceY;
    } kCases[] = {
        {"origin", {0, 0, 100, 100}, P(0, 0), P(100, 100), 0, 0, 0, 100},
        {"inside", {0, 0, 100, 100}, P(0, 0), P(100, 100), 25, 75, 25, 25},
        {"axes stretched apart", {0, 0, 200, 100}, P(0, 0), P(10, 100), 10, 50, 200, 50},
        {"offset viewport", {10, 20, 110, 70}, P(-1, -1), P(1, 1), -1, 1, 10, 20},
        {"corners swapped", {0, 0, 100, 100}, P(100, 100), P(0, 0), 25, 75, 25, 25},
        {"zero width: height's scale", {0, 0, 100, 100}, P(5, 0), P(5, 50), 6, 0, 52, 100},
        {"zero height: width's scale", {0, 0, 100, 100}, P(0, 7), P(50, 7), 25, 8, 50, 48},
        {"one point: scale 1", {0, 0, 100, 100}, P(3, 4), P(3, 4), 4, 5, 51, 49},
        {"NaN x extent", {0, 0, 100, 100}, P(kNaN, 0), P(kNaN, 100), 10, 50, 60, 50},
        {"extents beyond subtraction", {0, 0, 100, 100}, P(-1e308, -1e308), P(1e308, 1e308), 0, 0, 50, 50},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszName);
        DevicePoint pt;
        ASSERT_TRUE(MapPoint(MakeDrawMap(c.rcViewport, c.ptMin, c.ptMax), c.dX, c.dY, &pt));
        EXPECT_NEAR(pt.dX, c.dDeviceX, 1e-9);
        EXPECT_NEAR(pt.dY, c.dDeviceY, 1e-9);
    }
}

TEST(DrawMap, RefusesResultsOutOfReach) {
    DrawMap map = MakeDrawMap({0, 0, 100, 100}, P(0, 0), P(100, 100));
    DevicePoint pt;
    EXPECT_FALSE(MapPoint(map, kNaN, 0, &pt));
    EXPECT_FALSE(MapPoint(map, 1e7, 0, &pt));
    EXPECT_TRUE(MapPoint(map, -1e5, 1e5, &pt));
    double dLength = 0;
    EXPECT_TRUE(MapLength(-12.5, map.dScaleX, &dLength));
    EXPECT_EQ(dLength, 12.5);
    EXPECT_FALSE(MapLength(1e300, map.dScaleX, &dLength));
}

}  // namespace
