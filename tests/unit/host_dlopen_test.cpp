// host_dlopen_test.cpp - the filter driven the way a host toolkit drives it:
// opened with dlopen, entry points found with dlsym, info, then load, then
// fltFreeData on the cache slot, and saves on their own. What a failed write
// leaves is swept in fault_sweep_test.cpp.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel_test_util.h"
#include "kernel_testing.h"
#include "mif_test_support.h"

using namespace kernel_test;
using miftest::Drawing;

namespace {

const char kExample[] = MIF_EXAMPLES_DIR "/example.mif";
const char kMissing[] = "/nonexistent-folder/missing.mif";
const size_t kExampleObjects = 14;  // 12 MIF objects; two of them hold two parts

// What the row callback saw, and when it should stop the delivery.
struct RowLog { std::vector<uint32_t> anFlags, anRows; uint32_t nStopOnRow = UINT32_MAX; int nStopResult = 0; };

int LogRow(uint64_t, _HOSTBITMAP*, uint8_t* pRow, uint32_t uFlags, uint32_t nRow, int32_t nLines, uint64_t pUserData) {
    RowLog* pLog = reinterpret_cast<RowLog*>(pUserData);
    EXPECT_TRUE(pRow != nullptr && nLines == 1);
    pLog->anFlags.push_back(uFlags);
    pLog->anRows.push_back(nRow);
    return nRow == pLog->nStopOnRow ? pLog->nStopResult : MIF_OK;
}

size_t CountObjects(_VECTORHANDLE* pHandle) { return miftest::Objects(pHandle).size(); }

class HostDlopen : public testing::Test {
protected:
    void SetUp() override {
        m_pLibrary = dlopen(MIF_FILTER_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_pLibrary, nullptr) << dlerror();
        m_pfnInfo = reinterpret_cast<int (*)(_INFODISPATCH*)>(dlsym(m_pLibrary, "fltInfo"));
        m_pfnLoad = reinterpret_cast<int (*)(_LOADDISPATCH*)>(dlsym(m_pLibrary, "fltLoad"));
        m_pfnSave = reinterpret_cast<int (*)(_SAVEDISPATCH*)>(dlsym(m_pLibrary, "fltSave"));
        m_pfnFreeData = reinterpret_cast<int (*)(void*, DATATYPE)>(dlsym(m_pLibrary, "fltFreeData"));
        ASSERT_TRUE(m_pfnInfo && m_pfnLoad && m_pfnSave && m_pfnFreeData);
        ASSERT_TRUE(m_tmp.Ok());
    }
    void TearDown() override {
        if (m_pLibrary) dlclose(m_pLibrary);
    }

    int Info(const char* pszPath, _CACHESLOT* pSlot, _VECTORHANDLE* pHandle = nullptr) {
        return miftest::InfoPath(pszPath, pSlot, pHandle, &m_info, m_pfnInfo);
    }

    // A vector load (mode 1) into the handle, or a raster load (mode 0) into
    // the bitmap with its rows going to the log.
    int Load(const char* pszPath, int32_t nMode, _VECTORHANDLE* pHandle, _HOSTBITMAP* pBitmap = nullptr,
             RowLog* pLog = nullptr, _CACHESLOT* pSlot = nullptr) {
        _HOSTOPTIONS options = {sizeof options, 0, 0, 0};
        _LOADDISPATCH dispatch = {};
        dispatch.pszFileName = pszPath;
        dispatch.pVectorHandle = pHandle;
        dispatch.nLoadMode = nMode;
        dispatch.pOptions = &options;
        dispatch.pCacheSlot = pSlot;
        if (pBitmap) {
            dispatch.pBitmap = pBitmap;
            dispatch.pfnRowCallback = LogRow;
            dispatch.pUserData = reinterpret_cast<uint64_t>(pLog);
            dispatch.nWidth = pBitmap->nWidth;
            dispatch.nHeight = pBitmap->nHeight;
        }
        return m_pfnLoad(&dispatch);
    }

    // A raster load of 40 pixels wide rows; the bitmap is left to the caller.
    int LoadRows(const char* pszPath, int32_t nHeight, int32_t nBpp, _HOSTBITMAP* pBitmap, RowLog* pLog,
                 _CACHESLOT* pSlot = nullptr) {
        *pBitmap = {};
        EXPECT_EQ(Z_InitBitmap(pBitmap, sizeof *pBitmap, 40, nHeight, nBpp), MIF_OK);
        return Load(pszPath, 0, nullptr, pBitmap, pLog, pSlot);
    }

    int Save(const std::string& sPath, int32_t nMode, _VECTORHANDLE* pHandle) {
        _SAVEDISPATCH dispatch = {sPath.c_str(), nMode, pHandle};
        return m_pfnSave(&dispatch);
    }

    void* m_pLibrary = nullptr;
    int (*m_pfnInfo)(_INFODISPATCH*) = nullptr;
    int (*m_pfnLoad)(_LOADDISPATCH*) = nullptr;
    int (*m_pfnSave)(_SAVEDISPATCH*) = nullptr;
    int (*m_pfnFreeData)(void*, DATATYPE) = nullptr;
    _IMAGEINFO m_info;
    TempDir m_tmp;
};

TEST_F(HostDlopen, InfoCachesTheDrawingForTheRasterLoad) {
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    ASSERT_EQ(Info(kExample, &slot), MIF_OK);
    EXPECT_EQ(m_info.nFormat, 335u);
    EXPECT_EQ(m_info.bVector, 1);
    EXPECT_LT(m_info.ptMin.x, m_info.ptMax.x);
    ASSERT_NE(slot.pFilterData, nullptr);
    const size_t nBlocks = Zk_LiveBlockCount();
    ASSERT_EQ(Info(kExample, &slot), MIF_OK);  // a second info releases the first cache
    EXPECT_EQ(Zk_LiveBlockCount(), nBlocks);
    // The path names no file: only the cached drawing can give the rows.
    _HOSTBITMAP bitmap;
    RowLog log;
    EXPECT_EQ(LoadRows(kMissing, 7, 24, &bitmap, &log, &slot), MIF_OK);
    EXPECT_EQ(log.anRows.size(), 7u);
    EXPECT_EQ(m_pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE), MIF_OK);
    Z_FreeBitmap(&bitmap);
}

TEST_F(HostDlopen, InfoIntoAHostHandleLeavesTheDrawingWithTheHost) {
    Drawing drawing;
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    ASSERT_EQ(Info(kExample, &slot, &drawing.h), MIF_OK);
    EXPECT_EQ(m_pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE), MIF_OK);
    EXPECT_EQ(CountObjects(&drawing.h), kExampleObjects);
    slot.pFilterData = nullptr;
    EXPECT_EQ(Info(kMissing, &slot), MIF_ERR_NOFILE);
    EXPECT_EQ(slot.pFilterData, nullptr);
}

TEST_F(HostDlopen, VectorLoadsKeepTheHostFlags) {
    const std::string sBroken = m_tmp.File("broken.mif");
    ASSERT_TRUE(WriteWholeFile(sBroken, "VERSION 300\r\nDATA\r\nLINE 0 0 1 1\r\nREGION\r\n"));
    const struct { std::string sPath; int32_t nMode; bool bHandle; int nExpected; size_t nObjects; } kCases[] = {
        {kExample, 1, true, MIF_OK, kExampleObjects}, {sBroken, 1, true, MIF_ERR_FORMAT, 1},  // a region without count
        {kExample, 2, true, MIF_ERR_FORMAT, 0},       {kExample, 1, false, MIF_ERR_ARG, 0},
        {kMissing, 1, true, MIF_ERR_NOFILE, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.nMode << " on " << c.sPath);
        Drawing drawing;
        drawing.h.uFlags = 0x5A5A;
        EXPECT_EQ(Load(c.sPath.c_str(), c.nMode, c.bHandle ? &drawing.h : nullptr), c.nExpected);
        EXPECT_EQ(drawing.h.uFlags, 0x5A5Au);
        EXPECT_EQ(CountObjects(&drawing.h), c.nObjects);
    }
}

TEST_F(HostDlopen, RowsArriveTopFirstWithTheirFlagsAndPalettes) {
    const struct { int32_t nHeight, nBpp; std::vector<uint32_t> anFlags; } kCases[] = {
        {1, 24, {15}}, {3, 24, {7, 3, 11}}, {6, 1, {7, 3, 3, 3, 3, 11}}, {6, 4, {7, 3, 3, 3, 3, 11}},
        {6, 8, {7, 3, 3, 3, 3, 11}}, {6, 16, {7, 3, 3, 3, 3, 11}}, {6, 32, {7, 3, 3, 3, 3, 11}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.nHeight << " rows of " << c.nBpp << " bpp");
        _HOSTBITMAP bitmap;
        RowLog log;
        EXPECT_EQ(LoadRows(kExample, c.nHeight, c.nBpp, &bitmap, &log), MIF_OK);
        EXPECT_EQ(log.anFlags, c.anFlags);
        std::vector<uint32_t> anRows(size_t(c.nHeight));
        for (uint32_t i = 0; i < anRows.size(); ++i) anRows[i] = i;
        EXPECT_EQ(log.anRows, anRows);
        EXPECT_EQ(bitmap.pPalette != nullptr, c.nBpp <= 8);  // a palette for 8 bits or less
        EXPECT_EQ(bitmap.nColors, c.nBpp <= 8 ? 1u << c.nBpp : 0u);
        Z_FreeBitmap(&bitmap);
    }
    _HOSTBITMAP bitmap;
    RowLog log;
    log.nStopOnRow = 1;
    log.nStopResult = -77;
    EXPECT_EQ(LoadRows(kExample, 4, 24, &bitmap, &log), -77);  // the callback's result stops the delivery
    EXPECT_EQ(log.anRows, (std::vector<uint32_t>{0, 1}));
    Z_FreeBitmap(&bitmap);
}

TEST_F(HostDlopen, SavesWriteBothFilesOrNeither) {
    Drawing drawing;
    ASSERT_EQ(Load(kExample, 1, &drawing.h), MIF_OK);
    const std::string sMif = m_tmp.File("out.mif"), sMid = m_tmp.File("out.mid");
    ASSERT_TRUE(WriteWholeFile(sMif, "keep me"));
    EXPECT_EQ(Save(sMif, 0, &drawing.h), MIF_ERR_FORMAT);  // an unsupported mode leaves the file alone
    EXPECT_EQ(ReadWholeFile(sMif), "keep me");
    ASSERT_TRUE(WriteWholeFile(sMid, "old"));
    EXPECT_EQ(Save(sMif, 1, nullptr), MIF_ERR_ARG);  // no drawing: both paths deleted
    EXPECT_EQ(FileSize(sMif), -1);
    EXPECT_EQ(FileSize(sMid), -1);
    // Over longer files only the new text is left.
    ASSERT_TRUE(WriteWholeFile(sMif, std::string(100000, '~')));
    ASSERT_TRUE(WriteWholeFile(sMid, std::string(100000, '~')));
    ASSERT_EQ(Save(sMif, 1, &drawing.h), MIF_OK);
    const std::string sText = ReadWholeFile(sMif);
    EXPECT_EQ(sText.rfind("VERSION 450\r\n", 0), 0u);
    EXPECT_EQ(sText.find('~'), std::string::npos);
    std::string sRows;
    for (size_t i = 1; i <= kExampleObjects; ++i) sRows += std::to_string(i) + "\r\n";
    EXPECT_EQ(ReadWholeFile(sMid), sRows);
}

}  // namespace
