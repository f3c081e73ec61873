// filter.h - how the host loads the MIF filter.
//
// The host never links against the filter. It opens libzfmif.so.19 with
// dlopen and looks up the four entry points under their plain names, as any
// host of the toolkit does; everything else it needs from the filter travels
// in the dispatch records of hostapi.h. A MifFilter holds the open library
// and the four entry points; CloseFilter releases it. Only "mif check" looks
// further into the library (see probe.h).
#ifndef TOOLS_MIF_FILTER_H
#define TOOLS_MIF_FILTER_H

#include <stddef.h>

#include "hostapi.h"

typedef int (*PFNFLTINFO)(_INFODISPATCH*);
typedef int (*PFNFLTLOAD)(_LOADDISPATCH*);
typedef int (*PFNFLTSAVE)(_SAVEDISPATCH*);
typedef int (*PFNFLTFREEDATA)(void*, DATATYPE);

struct MifFilter {
    void* pLibrary;              // dlopen handle, null when nothing is open
    PFNFLTINFO pfnInfo;
    PFNFLTLOAD pfnLoad;
    PFNFLTSAVE pfnSave;
    PFNFLTFREEDATA pfnFreeData;
};

// Writes into pszPath the filter that belongs to this build of the program:
// <directory of the running executable>/../lib/libzfmif.so.19. Returns 1, or
// 0 when the executable's path cannot be read or does not fit nSize bytes.
int FindBundledFilter(char* pszPath, size_t nSize);

// Opens the library at pszPath and resolves the four entry points. Returns 1
// with pFilter filled, or 0 with pFilter cleared and the loader's reason in
// pszError (at most nErrorSize bytes, always terminated).
int OpenFilter(const char* pszPath, MifFilter* pFilter, char* pszError,
               size_t nErrorSize);

// Any other function the filter exports, looked up by its symbol name (the
// decorated name for a C++ function); null when it exports none of that name.
void* FindFilterSymbol(const MifFilter* pFilter, const char* pszName);

// Unloads the library and clears pFilter; a cleared record is left alone.
void CloseFilter(MifFilter* pFilter);

#endif  // TOOLS_MIF_FILTER_H
