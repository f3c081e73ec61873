// host_dlopen_test.cpp - the filter driven end to end the way a host toolkit
// drives it: opened with dlopen, entry points found with dlsym, info, then
// load, then fltFreeData on the cache slot, and saves on their own. The
// ledger listener checks after each test that nothing was left behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostapi.h"
#include "kernel_test_util.h"
#include "kernel_testing.h"
#include "mif_test_support.h"

using kernel_test::FileSize;
using kernel_test::ReadWholeFile;
using kernel_test::TempDir;
using kernel_test::WriteWholeFile;
using miftest::Drawing;

namespace {

typedef int (*PFNFLTINFO)(_INFODISPATCH*);
typedef int (*PFNFLTLOAD)(_LOADDISPATCH*);
typedef int (*PFNFLTSAVE)(_SAVEDISPATCH*);
typedef int (*PFNFLTFREEDATA)(void*, DATATYPE);

const char EXAMPLE_PATH[] = MIF_EXAMPLES_DIR "/example.mif";
const char MISSING_PATH[] = "/nonexistent-folder/missing.mif";
const int32_t RASTER_WIDTH = 40;

// What the row callback saw, and when it should stop the delivery.
struct RowLog {
    std::vector<uint32_t> anFlags;
    std::vector<uint32_t> anRows;
    uint32_t nStopOnRow = UINT32_MAX;
    int nStopResult = 0;
};

int LogRow(uint64_t, _HOSTBITMAP*, uint8_t* pRow, uint32_t uFlags, uint32_t nRow, int32_t nLines,
           uint64_t pUserData)
{
    RowLog* pLog = reinterpret_cast<RowLog*>(pUserData);
    EXPECT_NE(pRow, nullptr);
    EXPECT_EQ(nLines, 1);
    pLog->anFlags.push_back(uFlags);
    pLog->anRows.push_back(nRow);
    return nRow == pLog->nStopOnRow ? pLog->nStopResult : MIF_OK;
}

int CountObject(_VECTORHANDLE*, _VECTOROBJECT*, void* pUser)
{
    ++*static_cast<int*>(pUser);
    return MIF_OK;
}

class HostDlopen : public testing::Test {
protected:
    void SetUp() override
    {
        m_pLibrary = dlopen(MIF_FILTER_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_pLibrary, nullptr) << dlerror();
        m_pfnInfo = reinterpret_cast<PFNFLTINFO>(dlsym(m_pLibrary, "fltInfo"));
        m_pfnLoad = reinterpret_cast<PFNFLTLOAD>(dlsym(m_pLibrary, "fltLoad"));
        m_pfnSave = reinterpret_cast<PFNFLTSAVE>(dlsym(m_pLibrary, "fltSave"));
        m_pfnFreeData = reinterpret_cast<PFNFLTFREEDATA>(dlsym(m_pLibrary, "fltFreeData"));
        ASSERT_TRUE(m_pfnInfo && m_pfnLoad && m_pfnSave && m_pfnFreeData);
        ASSERT_TRUE(m_tmp.Ok());
    }

    void TearDown() override
    {
        if (m_pLibrary != nullptr)
            dlclose(m_pLibrary);
    }

    // fltInfo on a file the host opened itself, with a full _IMAGEINFO.
    int Info(const char* pszPath, _CACHESLOT* pSlot, _VECTORHANDLE* pHandle, _IMAGEINFO* pInfo)
    {
        memset(pInfo, 0, sizeof *pInfo);
        pInfo->nSize = sizeof *pInfo;
        tagHANDLE* hFile = Z_RedirectedOpen(pszPath, kernel_test::kReadFlags, kernel_test::kReadMode);
        _HOSTOPTIONS options = {sizeof options, 0, 0, 0};
        _INFODISPATCH dispatch = {};
        dispatch.hFile = hFile == MIF_INVALID_HANDLE ? nullptr : hFile;
        dispatch.pImageInfo = pInfo;
        dispatch.pCacheSlot = pSlot;
        dispatch.pOptions = &options;
        dispatch.nSizeMode = 1;
        dispatch.pVectorHandle = pHandle;
        int nRet = m_pfnInfo(&dispatch);
        if (dispatch.hFile != nullptr)
            Z_RedirectedClose(hFile);
        return nRet;
    }

    int RasterLoad(const char* pszPath, _CACHESLOT* pSlot, _HOSTBITMAP* pBitmap, RowLog* pLog)
    {
        _HOSTOPTIONS options = {sizeof options, 0, 0, 0};
        _LOADDISPATCH dispatch = {};
        dispatch.pszFileName = pszPath;
        dispatch.pBitmap = pBitmap;
        dispatch.pfnRowCallback = LogRow;
        dispatch.pUserData = reinterpret_cast<uint64_t>(pLog);
        dispatch.nWidth = pBitmap->nWidth;
        dispatch.nHeight = pBitmap->nHeight;
        dispatch.pCacheSlot = pSlot;
        dispatch.nLoadMode = 0;
        dispatch.pOptions = &options;
        return m_pfnLoad(&dispatch);
    }

    int Load(const char* pszPath, int32_t nMode, _VECTORHANDLE* pHandle)
    {
        _HOSTOPTIONS options = {sizeof options, 0, 0, 0};
        _LOADDISPATCH dispatch = {};
        dispatch.pszFileName = pszPath;
        dispatch.pVectorHandle = pHandle;
        dispatch.nLoadMode = nMode;
        dispatch.pOptions = &options;
        return m_pfnLoad(&dispatch);
    }

    int Save(const std::string& sPath, int32_t nMode, _VECTORHANDLE* pHandle)
    {
        _SAVEDISPATCH dispatch = {sPath.c_str(), nMode, pHandle};
        return m_pfnSave(&dispatch);
    }

    // A raster load of the example, without a cache, into a destination of
    // the given height and depth; the bitmap is left for the caller to
    // inspect and free.
    int LoadExampleRows(int32_t nHeight, int32_t nBitsPerPixel, _HOSTBITMAP* pBitmap, RowLog* pLog)
    {
        memset(pBitmap, 0, sizeof *pBitmap);
        EXPECT_EQ(Z_InitBitmap(pBitmap, sizeof *pBitmap, RASTER_WIDTH, nHeight, nBitsPerPixel), MIF_OK);
        return RasterLoad(EXAMPLE_PATH, nullptr, pBitmap, pLog);
    }

    void* m_pLibrary = nullptr;
    PFNFLTINFO m_pfnInfo = nullptr;
    PFNFLTLOAD m_pfnLoad = nullptr;
    PFNFLTSAVE m_pfnSave = nullptr;
    PFNFLTFREEDATA m_pfnFreeData = nullptr;
    TempDir m_tmp;
};

// ---------------------------------------------------------------------------
// Info and the cache slot
// ---------------------------------------------------------------------------

TEST_F(HostDlopen, CachedLoadReusesTheDrawingOfInfo)
{
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    _IMAGEINFO info;
    ASSERT_EQ(Info(EXAMPLE_PATH, &slot, nullptr, &info), MIF_OK);
    EXPECT_EQ(info.nFormat, 335u);
    EXPECT_EQ(info.bVector, 1);
    EXPECT_LT(info.ptMin.x, info.ptMax.x);
    ASSERT_NE(slot.pFilterData, nullptr);

    // The path names no file: only the cached drawing can give the rows.
    _HOSTBITMAP bitmap = {};
    ASSERT_EQ(Z_InitBitmap(&bitmap, sizeof bitmap, RASTER_WIDTH, 7, 24), MIF_OK);
    RowLog log;
    EXPECT_EQ(RasterLoad(MISSING_PATH, &slot, &bitmap, &log), MIF_OK);
    EXPECT_EQ(log.anRows.size(), 7u);
    EXPECT_EQ(m_pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE), MIF_OK);
    Z_FreeBitmap(&bitmap);
}

TEST_F(HostDlopen, SecondInfoReleasesTheFirstCache)
{
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    _IMAGEINFO info;
    ASSERT_EQ(Info(EXAMPLE_PATH, &slot, nullptr, &info), MIF_OK);
    size_t nBlocksAfterFirst = Zk_LiveBlockCount();
    ASSERT_EQ(Info(EXAMPLE_PATH, &slot, nullptr, &info), MIF_OK);
    EXPECT_EQ(Zk_LiveBlockCount(), nBlocksAfterFirst);
    EXPECT_EQ(m_pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE), MIF_OK);
}

TEST_F(HostDlopen, InfoIntoHostHandleLeavesTheDrawingWithTheHost)
{
    Drawing drawing;
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    _IMAGEINFO info;
    ASSERT_EQ(Info(EXAMPLE_PATH, &slot, &drawing.h, &info), MIF_OK);
    EXPECT_EQ(m_pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE), MIF_OK);
    int nObjects = 0;
    EXPECT_EQ(Z_VecEnumObjects(&drawing.h, CountObject, &nObjects, 0), MIF_OK);
    EXPECT_EQ(nObjects, 14);  // 12 MIF objects; two of them hold two parts
}

TEST_F(HostDlopen, InfoWithoutFileIsRejected)
{
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    _IMAGEINFO info;
    EXPECT_EQ(Info(MISSING_PATH, &slot, nullptr, &info), MIF_ERR_NOFILE);
    EXPECT_EQ(slot.pFilterData, nullptr);
}

// ---------------------------------------------------------------------------
// Vector loads
// ---------------------------------------------------------------------------

TEST_F(HostDlopen, VectorLoadKeepsTheHostFlags)
{
    const std::string sBroken = m_tmp.File("broken.mif");
    ASSERT_TRUE(WriteWholeFile(sBroken, "VERSION 300\r\nDATA\r\nLINE 0 0 1 1\r\nREGION\r\n"));
    const struct {
        const char* pszName;
        std::string sPath;
        int nExpected;
        int nObjects;
    } aCases[] = {
        {"example", EXAMPLE_PATH, MIF_OK, 14},
        {"region without count", sBroken, MIF_ERR_FORMAT, 1},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszName);
        Drawing drawing;
        drawing.h.uFlags = 0x5A5A;
        EXPECT_EQ(Load(c.sPath.c_str(), 1, &drawing.h), c.nExpected);
        EXPECT_EQ(drawing.h.uFlags, 0x5A5Au);
        int nObjects = 0;
        Z_VecEnumObjects(&drawing.h, CountObject, &nObjects, 0);
        EXPECT_EQ(nObjects, c.nObjects);
    }
}

TEST_F(HostDlopen, LoadRejectsBadRequests)
{
    Drawing drawing;
    const struct {
        const char* pszPath;
        int32_t nMode;
        _VECTORHANDLE* pHandle;
        int nExpected;
    } aCases[] = {
        {EXAMPLE_PATH, 2, &drawing.h, MIF_ERR_FORMAT},
        {EXAMPLE_PATH, 1, nullptr, MIF_ERR_ARG},
        {MISSING_PATH, 1, &drawing.h, MIF_ERR_NOFILE},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.nMode << " on " << c.pszPath);
        EXPECT_EQ(Load(c.pszPath, c.nMode, c.pHandle), c.nExpected);
    }
}

// ---------------------------------------------------------------------------
// Raster loads: rows, flags and palettes
// ---------------------------------------------------------------------------

TEST_F(HostDlopen, RowsArriveTopFirstWithTheirFlags)
{
    const struct {
        int32_t nHeight;
        std::vector<uint32_t> anFlags;
    } aCases[] = {
        {1, {15}},
        {3, {7, 3, 11}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(testing::Message() << "height " << c.nHeight);
        _HOSTBITMAP bitmap;
        RowLog log;
        EXPECT_EQ(LoadExampleRows(c.nHeight, 24, &bitmap, &log), MIF_OK);
        EXPECT_EQ(log.anFlags, c.anFlags);
        std::vector<uint32_t> anExpectedRows;
        for (int32_t i = 0; i < c.nHeight; ++i)
            anExpectedRows.push_back((uint32_t)i);
        EXPECT_EQ(log.anRows, anExpectedRows);
        Z_FreeBitmap(&bitmap);
    }
}

TEST_F(HostDlopen, CallbackResultStopsTheDelivery)
{
    _HOSTBITMAP bitmap;
    RowLog log;
    log.nStopOnRow = 1;
    log.nStopResult = -77;
    EXPECT_EQ(LoadExampleRows(4, 24, &bitmap, &log), -77);
    EXPECT_EQ(log.anRows, (std::vector<uint32_t>{0, 1}));
    Z_FreeBitmap(&bitmap);
}

TEST_F(HostDlopen, PaletteOnlyForEightBitsOrLess)
{
    const struct {
        int32_t nBitsPerPixel;
        bool bPalette;
    } aCases[] = {{1, true}, {4, true}, {8, true}, {16, false}, {24, false}, {32, false}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(testing::Message() << c.nBitsPerPixel << " bits per pixel");
        _HOSTBITMAP bitmap;
        RowLog log;
        EXPECT_EQ(LoadExampleRows(6, c.nBitsPerPixel, &bitmap, &log), MIF_OK);
        EXPECT_EQ(bitmap.pPalette != nullptr, c.bPalette);
        if (c.bPalette) {
            EXPECT_EQ(bitmap.nColors, 1u << c.nBitsPerPixel);
        }
        EXPECT_EQ(log.anRows.size(), 6u);
        Z_FreeBitmap(&bitmap);
    }
}

// ---------------------------------------------------------------------------
// Saves
// ---------------------------------------------------------------------------

class HostDlopenSave : public HostDlopen {
protected:
    void SetUp() override
    {
        HostDlopen::SetUp();
        ASSERT_EQ(Load(EXAMPLE_PATH, 1, &m_drawing.h), MIF_OK);
        m_sMif = m_tmp.File("out.mif");
        m_sMid = m_tmp.File("out.mid");
    }

    Drawing m_drawing;
    std::string m_sMif;
    std::string m_sMid;
};

TEST_F(HostDlopenSave, UnsupportedModeLeavesExistingFileAlone)
{
    ASSERT_TRUE(WriteWholeFile(m_sMif, "keep me"));
    EXPECT_EQ(Save(m_sMif, 0, &m_drawing.h), MIF_ERR_FORMAT);
    EXPECT_EQ(ReadWholeFile(m_sMif), "keep me");
}

TEST_F(HostDlopenSave, SaveWithoutDrawingDeletesBothPaths)
{
    ASSERT_TRUE(WriteWholeFile(m_sMif, "old"));
    ASSERT_TRUE(WriteWholeFile(m_sMid, "old"));
    EXPECT_EQ(Save(m_sMif, 1, nullptr), MIF_ERR_ARG);
    EXPECT_EQ(FileSize(m_sMif), -1);
    EXPECT_EQ(FileSize(m_sMid), -1);
}

TEST_F(HostDlopenSave, SaveOverLongerFilesKeepsOnlyTheNewText)
{
    const std::string sOld(100000, '~');
    ASSERT_TRUE(WriteWholeFile(m_sMif, sOld));
    ASSERT_TRUE(WriteWholeFile(m_sMid, sOld));
    ASSERT_EQ(Save(m_sMif, 1, &m_drawing.h), MIF_OK);
    const std::string sMif = ReadWholeFile(m_sMif);
    EXPECT_EQ(sMif.rfind("VERSION 450\r\n", 0), 0u);
    EXPECT_EQ(sMif.find('~'), std::string::npos);
    std::string sRows;
    for (int i = 1; i <= 14; ++i)
        sRows += std::to_string(i) + "\r\n";
    EXPECT_EQ(ReadWholeFile(m_sMid), sRows);
}

TEST_F(HostDlopenSave, ShortWriteInTheMiddleRemovesBothFiles)
{
    uint64_t nBefore = Zk_WriteCalls();
    ASSERT_EQ(Save(m_sMif, 1, &m_drawing.h), MIF_OK);
    uint64_t nWrites = Zk_WriteCalls() - nBefore;
    ASSERT_GT(nWrites, 4u);

    Zk_ClearFaults();
    Zk_FailWrite(nWrites / 2, 0);
    EXPECT_EQ(Save(m_sMif, 1, &m_drawing.h), MIF_ERR_WRITE);
    EXPECT_EQ(Zk_FaultsFired(), 1u);
    EXPECT_EQ(FileSize(m_sMif), -1);
    EXPECT_EQ(FileSize(m_sMid), -1);
}

}  // namespace
