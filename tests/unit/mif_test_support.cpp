// mif_test_support.cpp - helpers shared by the filter's tests.
#include "mif_test_support.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace miftest {

TempDir::TempDir() {
    char szTemplate[] = "/tmp/mif_test_XXXXXX";
    const char* pszRoot = mkdtemp(szTemplate);
    m_sRoot = pszRoot != nullptr ? pszRoot : "/tmp";
}

TempDir::~TempDir() {
    DIR* pDir = opendir(m_sRoot.c_str());
    if (pDir == nullptr)
        return;
    while (dirent* pEntry = readdir(pDir)) {
        if (std::strcmp(pEntry->d_name, ".") != 0 && std::strcmp(pEntry->d_name, "..") != 0)
            unlink(Path(pEntry->d_name).c_str());
    }
    closedir(pDir);
    rmdir(m_sRoot.c_str());
}

std::string TempDir::Path(const std::string& name) const {
    return m_sRoot + "/" + name;
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

Drawing::Drawing() {
    std::memset(&h, 0, sizeof(h));
    Z_VecInit(&h);
}

Drawing::~Drawing() {
    Z_VecFree(&h);
}

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
        if (curve.pPoints != nullptr)
            object.points.assign(curve.pPoints, curve.pPoints + curve.nPoints);
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
    _LOADDISPATCH load;
    std::memset(&load, 0, sizeof(load));
    load.pszFileName = path.c_str();
    load.nLoadMode = 1;
    load.pVectorHandle = pHandle;
    return fltLoad(&load);
}

int LoadText(const TempDir& dir, const std::string& text, _VECTORHANDLE* pHandle) {
    return LoadPath(dir.Write("load.mif", text), pHandle);
}

}  // namespace miftest
