// vectorfile.cpp - a vector drawing painted onto an SVG or PDF surface.
#include "vectorfile.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "drawengine.h"

namespace {

int HasExtension(const char* pszPath, const char* pszExtension)
{
    size_t nLength = strlen(pszPath);
    size_t nExtension = strlen(pszExtension);
    return nLength > nExtension && strcasecmp(pszPath + nLength - nExtension, pszExtension) == 0;
}

}  // namespace

int PictureKindOf(const char* pszPath)
{
    if (HasExtension(pszPath, ".svg"))
        return PICTURE_SVG;
    if (HasExtension(pszPath, ".pdf"))
        return PICTURE_PDF;
    return PICTURE_PNG;
}

int WriteVectorPicture(_VECTORHANDLE* pHandle, int nKind, const char* pszPath,
                       int32_t nWidth, int32_t nHeight)
{
    ZDRWCONTEXT* pContext = nullptr;
    int nRet = nKind == PICTURE_SVG ? Z_Drw_FromSvgFile(pszPath, nWidth, nHeight, &pContext)
                                    : Z_Drw_FromPdfFile(pszPath, nWidth, nHeight, &pContext);
    if (nRet != MIF_OK)
        return nRet;
    SetRect(&pHandle->rcViewport, 0, 0, nWidth, nHeight);
    nRet = Z_VecDraw(pContext, pHandle, 1);
    // Destroying the context completes the file; its result counts as well.
    int nClose = Z_Drw_Destroy(pContext);
    if (nRet == MIF_OK)
        nRet = nClose;
    if (nRet != MIF_OK)
        remove(pszPath);
    return nRet;
}
