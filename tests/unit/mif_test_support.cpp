// mif_test_support.cpp - helpers shared by the filter's tests and fuzz
// targets.
#include "mif_test_support.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>

#include "kernel_testing.h"
#include "vector_testing.h"

namespace miftest {

namespace {

int CollectObject(_VECTORHANDLE* pHandle, _VECTOROBJECT* pObject, void* pUser) {
    auto* pObjects = static_cast<std::vector<Object>*>(pUser);
    Object object;
    object.nType = pObject->nType;
    object.record.assign(sizeof(_VECTORTEXTA) + sizeof(_VECTORCURVECLOSED), 0);
    if (Z_VecGetObjectA(pHandle, pObject, pObject->nType, object.record.data()) != MIF_OK)
        return 1;  // a head-only object: nothing to copy
    if (object.nType == VOBJ_CURVEOPENED || object.nType == VOBJ_CURVECLOSED) {
        const auto& curve = object.As<_VECTORCURVEOPENED>();
        if (curve.pPoints != nullptr) object.points.assign(curve.pPoints, curve.pPoints + curve.nPoints);
    }
    if (object.nType == VOBJ_TEXTA && object.As<_VECTORTEXTA>().pszText != nullptr)
        object.text = object.As<_VECTORTEXTA>().pszText;
    Z_VecGetObjectParallelogram(pHandle, pObject, &object.ptMin, &object.ptMax, 0);
    Z_VecFreeObject(object.nType, object.record.data());
    pObjects->push_back(object);
    return 1;
}

}  // namespace

std::vector<Object> Objects(_VECTORHANDLE* pHandle) {
    std::vector<Object> objects;
    Z_VecEnumObjects(pHandle, CollectObject, &objects, 0);
    return objects;
}

TextReader::TextReader(const TempDir& dir, const std::string& text, bool bReadFirst) {
    std::string path = dir.Write("reader.mif", text);
    file.Open(Z_RedirectedOpen(path.c_str(), 0, 256), 1);
    if (bReadFirst) {
        file.LineRead();
        file.LineMoveToStart();
    }
}

int LoadPath(const std::string& path, _VECTORHANDLE* pHandle) {
    _LOADDISPATCH load{};
    load.pszFileName = path.c_str();
    load.nLoadMode = 1;
    load.pVectorHandle = pHandle;
    return fltLoad(&load);
}

int InfoPath(const std::string& path, _CACHESLOT* pSlot, _VECTORHANDLE* pHandle, _IMAGEINFO* pImage,
             int (*pfnInfo)(_INFODISPATCH*)) {
    tagHANDLE* hFile = Z_RedirectedOpen(path.c_str(), 0, 256);
    _IMAGEINFO image{};
    if (pImage == nullptr) pImage = &image;
    *pImage = {};
    pImage->nSize = sizeof(image);
    _HOSTOPTIONS options = {sizeof(options), 0, 0, 0};
    _INFODISPATCH info{};
    info.hFile = hFile;
    info.pImageInfo = pImage;
    info.pCacheSlot = pSlot;
    info.pOptions = &options;
    info.nSizeMode = 1;
    info.pVectorHandle = pHandle;
    int nRet = pfnInfo(&info);
    if (HasFile(hFile)) Z_RedirectedClose(hFile);
    return nRet;
}

namespace {

int TakeRow(uint64_t, _HOSTBITMAP* pBitmap, uint8_t* pRow, uint32_t uFlags, uint32_t nRow,
            int32_t nLines, uint64_t pUserData) {
    RasterRows* pRows = reinterpret_cast<RasterRows*>(pUserData);
    uint32_t nLast = static_cast<uint32_t>(pBitmap->nHeight) - 1;
    uint32_t uExpected = (nRow == 0 ? 7u : 3u) | (nRow == nLast ? 8u : 0u);
    if (pRow == nullptr || nLines != 1 || nRow != pRows->nRows || uFlags != uExpected)
        pRows->bInOrder = false;
    uint32_t nBytes = (static_cast<uint32_t>(pBitmap->nWidth) * pBitmap->nBitsPerPixel + 7) / 8;
    for (uint32_t i = 0; pRow != nullptr && i < nBytes; ++i)
        pRows->nChecksum = (pRows->nChecksum ^ pRow[i]) * 1099511628211ull;
    ++pRows->nRows;
    return MIF_OK;
}

}  // namespace

int RasterLoadPath(const std::string& path, _CACHESLOT* pSlot, int32_t nWidth, int32_t nHeight,
                   int32_t nDepth, RasterRows* pRows) {
    _HOSTBITMAP bitmap{};
    Z_InitBitmap(&bitmap, sizeof(bitmap), nWidth, nHeight, nDepth);
    *pRows = RasterRows();
    pRows->nChecksum = 14695981039346656037ull;
    _HOSTOPTIONS options = {sizeof(options), 0, 0, 0};
    _LOADDISPATCH load{};
    load.pszFileName = path.c_str();
    load.pBitmap = &bitmap;
    load.pfnRowCallback = TakeRow;
    load.pUserData = reinterpret_cast<uint64_t>(pRows);
    load.nWidth = nWidth;
    load.nHeight = nHeight;
    load.pCacheSlot = pSlot;
    load.nLoadMode = 0;
    load.pOptions = &options;
    int nRet = fltLoad(&load);
    Z_FreeBitmap(&bitmap);
    return nRet;
}

int SavePath(const std::string& path, _VECTORHANDLE* pHandle) {
    _SAVEDISPATCH save = {path.c_str(), 1, pHandle};
    return fltSave(&save);
}

std::string HostLeftovers() {
    std::ostringstream out;
    ZkBlockInfo aBlocks[4];
    size_t nBlocks = Zk_LiveBlocks(aBlocks, 4);
    for (size_t i = 0; i < nBlocks && i < 4; ++i)
        out << "block of " << aBlocks[i].nBytes << " bytes from " << aBlocks[i].pszFile << ":"
            << aBlocks[i].nLine << "; ";
    if (nBlocks > 4) out << nBlocks << " blocks; ";
    if (Zk_OpenFileCount() != 0) out << Zk_OpenFileCount() << " open files; ";
    if (Zk_LiveBitmapCount() != 0) out << Zk_LiveBitmapCount() << " bitmaps; ";
    if (Zv_LiveObjectCopies() != 0) out << Zv_LiveObjectCopies() << " object copies; ";
    return out.str();
}

ChildRun RunInChild(const std::function<std::vector<int>()>& fn, unsigned nTimeLimit) {
    ChildRun run;
    int aPipe[2];
    if (pipe(aPipe) != 0) return run;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        close(aPipe[0]);
        alarm(nTimeLimit);
        std::vector<int> values = fn();
        size_t nBytes = values.size() * sizeof(int);
        _exit(write(aPipe[1], values.data(), nBytes) == static_cast<ssize_t>(nBytes) ? 0 : 1);
    }
    close(aPipe[1]);
    int nValue = 0;
    while (pid > 0 && read(aPipe[0], &nValue, sizeof(nValue)) == sizeof(nValue)) run.values.push_back(nValue);
    close(aPipe[0]);
    int nStatus = 0;
    struct rusage usage;
    if (pid > 0 && wait4(pid, &nStatus, 0, &usage) == pid) {
        run.bExited = WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
        run.nPeakRssKiB = usage.ru_maxrss;
    }
    run.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

int LoadText(const TempDir& dir, const std::string& text, _VECTORHANDLE* pHandle) {
    return LoadPath(dir.Write("load.mif", text), pHandle);
}

}  // namespace miftest
