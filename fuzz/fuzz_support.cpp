// fuzz_support.cpp - the scratch folder, the checks and the drawing
// measures shared by the fuzz targets.
#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>

#include "kernel_testing.h"

// Cairo keeps the font faces it looked up for the life of the process, and
// fontconfig stores their patterns with pointers encoded as offsets, which
// the leak checker cannot follow.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace fuzzsupport {

const miftest::TempDir& Scratch() {
    static const miftest::TempDir s_dir;  // its destructor empties the folder at exit
    return s_dir;
}

std::string WriteInput(const char* pszName, const uint8_t* pData, size_t nSize) {
    return Scratch().Write(pszName, std::string(reinterpret_cast<const char*>(pData), nSize));
}

void Require(bool bCondition, const char* pszWhat) {
    if (bCondition)
        return;
    fprintf(stderr, "fuzz check failed: %s\n", pszWhat);
    abort();
}

void RequireHostClean(const char* pszWhen) {
    Zk_ClearFaults();
    std::string leftovers = miftest::HostLeftovers();
    if (!leftovers.empty())
        fprintf(stderr, "%s: %s\n", pszWhen, leftovers.c_str());
    Require(leftovers.empty(), "the host libraries hold nothing of the filter's");
}

namespace {

int CountObject(_VECTORHANDLE*, _VECTOROBJECT*, void* pUser) {
    ++*static_cast<size_t*>(pUser);
    return MIF_OK;
}

}  // namespace

size_t CountObjects(_VECTORHANDLE* pHandle) {
    size_t nObjects = 0;
    Z_VecEnumObjects(pHandle, CountObject, &nObjects, 0);
    return nObjects;
}

bool HasExtents(_VECTORHANDLE* pHandle) {
    _VECTORPOINT ptMin;
    _VECTORPOINT ptMax;
    return Z_VecGetObjectParallelogram(pHandle, nullptr, &ptMin, &ptMax, 0) == MIF_OK;
}

}  // namespace fuzzsupport
