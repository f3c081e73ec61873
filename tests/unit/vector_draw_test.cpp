// vector_draw_test.cpp - vector drawings painted through the drawing engine
// into a 24-bit bitmap: the background, the viewport with the stored box,
// the drawing order and hidden layers.
#include <gtest/gtest.h>

#include <vector>

#include "drawengine.h"

namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00;
constexpr int32_t kSide = 10;

// A drawing whose stored box (0,0)-(10,10) fills a black 10 x 10 bitmap, so
// that pixel column c shows x from c to c + 1.
class VectorPaintTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Z_VecInit(&m_handle), 1);
        m_handle.rcViewport = {0, 0, kSide, kSide};
        _VECTORPOINT ptMin = {0, 0, 0, 0}, ptMax = {kSide, kSide, 0, 0};
        ASSERT_EQ(Z_VecSetParallelogram(&m_handle, &ptMin, &ptMax), 1);
    }
    void TearDown() override { Z_VecFree(&m_handle); }

    void Paint() {
        _HOSTBITMAP bitmap = {sizeof(bitmap), kSide, kSide, 24, 3 * kSide, 0, nullptr, 0, 0, 0, 0, m_abPixels.data()};
        ZDRWCONTEXT* pContext = nullptr;
        ASSERT_EQ(Z_Drw_FromBitmap(Z_Drw_GetDefaultEngine(), &pContext, &bitmap), 1);
        EXPECT_EQ(Z_VecDraw(pContext, &m_handle, 1), 1);
        Z_Drw_Destroy(pContext);
    }
    // Pixels of the columns nFirst..nLast (every row) not of the colour.
    int CountOtherPixels(int32_t nFirst, int32_t nLast, uint32_t crColor) const {
        int nOther = 0;
        for (size_t i = 0; i < m_abPixels.size(); i += 3) {
            const int32_t nColumn = int32_t(i / 3) % kSide;
            const uint32_t cr = m_abPixels[i] | (m_abPixels[i + 1] << 8) | (m_abPixels[i + 2] << 16);
            nOther += nColumn >= nFirst && nColumn <= nLast && cr != crColor;
        }
        return nOther;
    }
    // A filled rectangle of one colour from x0 to x1, over the full height.
    void AddBand(double dX0, double dX1, uint32_t crColor) {
        _VECTORRECTANGLE rect = {{sizeof(rect), VOBJ_RECTANGLE, -1, 0}, {dX0, 0, 0, 0}, {dX1, kSide, 0, 0},
                                 {sizeof(_VECTORPEN), VPEN_SOLID, 1, 1, crColor, 0, 0, 0},
                                 {sizeof(_VECTORBRUSH), 0, VBRUSH_SOLID, crColor, 0, 0, 0}};
        ASSERT_EQ(Z_VecAddObjectA(&m_handle, nullptr, VOBJ_RECTANGLE, &rect, nullptr), 1);
    }

    std::vector<uint8_t> m_abPixels = std::vector<uint8_t>(3 * kSide * kSide, 0);
    _VECTORHANDLE m_handle = {};
};

TEST_F(VectorPaintTest, TheBackgroundIsWhiteUntilSetAndOutlivesEmptying) {
    Paint();
    EXPECT_EQ(CountOtherPixels(0, kSide - 1, 0xFFFFFF), 0);
    ASSERT_EQ(Z_VecSetBackgroundColor(&m_handle, kRed), 1);
    AddBand(0, kSide, kGreen);
    ASSERT_EQ(Z_VecEmpty(&m_handle), 1);
    Paint();
    EXPECT_EQ(CountOtherPixels(0, kSide - 1, kRed), 0);
}

TEST_F(VectorPaintTest, OnlyTheViewportIsPaintedAndLaterObjectsLieOnTop) {
    m_handle.rcViewport = {0, 0, kSide / 2, kSide};
    AddBand(0, kSide, kRed);
    AddBand(kSide / 2, kSide, kGreen);
    Paint();
    // The box is squeezed into columns 0 to 4; the rest stays black.
    EXPECT_EQ(CountOtherPixels(0, 1, kRed), 0);
    EXPECT_EQ(CountOtherPixels(3, 4, kGreen), 0);
    EXPECT_EQ(CountOtherPixels(kSide / 2, kSide - 1, 0), 0);
}

TEST_F(VectorPaintTest, HiddenLayersAndBareHeadsAreNotPainted) {
    AddBand(0, kSide, kRed);
    _VECTORLAYERA hidden = {sizeof(hidden), "Hidden", 0, 0, 0, 0};
    VECTORLAYER nHidden = -1;
    ASSERT_EQ(Z_VecAddLayerA(&m_handle, &hidden, &nHidden, 0), 1);
    ASSERT_EQ(Z_VecSetActiveLayer(&m_handle, nHidden), 1);
    AddBand(0, kSide, kGreen);
    _VECTOROBJECTHEAD head = {sizeof(head), 12, -1, 0};
    ASSERT_EQ(Z_VecAddObjectA(&m_handle, nullptr, 12, &head, nullptr), 1);
    Paint();
    EXPECT_EQ(CountOtherPixels(0, kSide - 1, kRed), 0);
}

}  // namespace
