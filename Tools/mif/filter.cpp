// filter.cpp - dlopen and dlsym of the MIF filter's entry points.
//
// The library is opened with RTLD_NOW so that a filter with a missing host
// symbol fails here, with the loader's own message, rather than in the middle
// of a load. The filter and this program share the host libraries: both are
// linked against the same libzkkrn, libzkdrw and libzvkrn, so the drawing
// handles and bitmaps that pass between them live in one kernel.
#include "filter.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace {

const char FILTER_FROM_PROGRAM_DIR[] = "/../lib/libzfmif.so.19";

// dlsym hands back an object pointer; the entry points are functions.
template <typename PFN>
int ResolveEntryPoint(void* pLibrary, const char* pszName, PFN* ppfn)
{
    *ppfn = reinterpret_cast<PFN>(dlsym(pLibrary, pszName));
    return *ppfn != nullptr;
}

void CopyLoaderError(char* pszError, size_t nErrorSize)
{
    const char* pszReason = dlerror();
    snprintf(pszError, nErrorSize, "%s", pszReason != nullptr ? pszReason : "entry point missing");
}

}  // namespace

int FindBundledFilter(char* pszPath, size_t nSize)
{
    char szProgram[4096];
    ssize_t nLength = readlink("/proc/self/exe", szProgram, sizeof szProgram - 1);
    if (nLength <= 0)
        return 0;
    szProgram[nLength] = '\0';
    char* pszSlash = strrchr(szProgram, '/');
    if (pszSlash == nullptr)
        return 0;
    *pszSlash = '\0';
    int nWritten = snprintf(pszPath, nSize, "%s%s", szProgram, FILTER_FROM_PROGRAM_DIR);
    return nWritten > 0 && (size_t)nWritten < nSize;
}

int OpenFilter(const char* pszPath, MifFilter* pFilter, char* pszError,
               size_t nErrorSize)
{
    memset(pFilter, 0, sizeof *pFilter);
    void* pLibrary = dlopen(pszPath, RTLD_NOW | RTLD_LOCAL);
    if (pLibrary == nullptr) {
        CopyLoaderError(pszError, nErrorSize);
        return 0;
    }
    if (!ResolveEntryPoint(pLibrary, "fltInfo", &pFilter->pfnInfo) ||
        !ResolveEntryPoint(pLibrary, "fltLoad", &pFilter->pfnLoad) ||
        !ResolveEntryPoint(pLibrary, "fltSave", &pFilter->pfnSave) ||
        !ResolveEntryPoint(pLibrary, "fltFreeData", &pFilter->pfnFreeData)) {
        CopyLoaderError(pszError, nErrorSize);
        dlclose(pLibrary);
        memset(pFilter, 0, sizeof *pFilter);
        return 0;
    }
    pFilter->pLibrary = pLibrary;
    return 1;
}

void* FindFilterSymbol(const MifFilter* pFilter, const char* pszName)
{
    return pFilter->pLibrary != nullptr ? dlsym(pFilter->pLibrary, pszName) : nullptr;
}

void CloseFilter(MifFilter* pFilter)
{
    if (pFilter->pLibrary != nullptr)
        dlclose(pFilter->pLibrary);
    memset(pFilter, 0, sizeof *pFilter);
}
