// drawengine.cpp - the drawing engine's contexts and painting calls over
// cairo. A context owns one cairo surface: an RGB image of a host bitmap's
// size, or an SVG or PDF file. Between Z_Drw_BeginPaint and Z_Drw_EndPaint a
// cairo context clipped to the viewport paints one object record at a time.
//
// Separate threads may paint separate contexts: contexts share no state
// but cairo's fonts, and texts are set under one lock (drawtext.cpp). A
// paint can be split into two bands over the same pixels, one per thread
// (Z_Drw_SplitPaint); each band context passes over the objects whose rows
// lie outside its band.
#include "drawengine.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "drawmap.h"
#include "drawobject.h"
#include "drawstyle.h"

struct ZDRWCONTEXT {
    cairo_surface_t* pSurface;
    cairo_t* pCairo;          // made afresh by each paint; null before the first
    _HOSTBITMAP* pBitmap;     // the bitmap painted over; null for a vector file
    tagRECT rcViewport;       // of the paint in progress
    tagRECT rcClip;           // what this context paints: the viewport or its band
    DrawMap map;
    bool bPainting;
    bool bBand;               // the lower band of a split paint (see Z_Drw_SplitPaint)
    bool bSplit;              // paints a band: objects outside its rows are passed over
};

namespace {

constexpr int32_t kDefaultEngine = 1;
// A paint is split only when each band gets at least this many rows.
constexpr int32_t kMinBandRows = 128;

std::atomic<bool> g_bSplitPainting{true};

int32_t ResultFromStatus(cairo_status_t nStatus) {
    switch (nStatus) {
    case CAIRO_STATUS_SUCCESS: return MIF_OK;
    case CAIRO_STATUS_NO_MEMORY: return MIF_ERR_NOMEM;
    case CAIRO_STATUS_WRITE_ERROR: return MIF_ERR_WRITE;
    default: return DRW_ERR_SURFACE;
    }
}

// Takes over the surface: on failure it is destroyed and the context is null.
int32_t CreateContext(cairo_surface_t* pSurface, _HOSTBITMAP* pBitmap,
                      ZDRWCONTEXT** ppContext) {
    *ppContext = nullptr;
    cairo_status_t nStatus = cairo_surface_status(pSurface);
    if (nStatus != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pSurface);
        return ResultFromStatus(nStatus);
    }
    auto* pContext = static_cast<ZDRWCONTEXT*>(std::calloc(1, sizeof(ZDRWCONTEXT)));
    if (pContext == nullptr) {
        cairo_surface_destroy(pSurface);
        return MIF_ERR_NOMEM;
    }
    pContext->pSurface = pSurface;
    pContext->pBitmap = pBitmap;
    *ppContext = pContext;
    return MIF_OK;
}

// A bitmap the engine can paint: 24 bits per pixel, and pixel memory with
// room for its rows unless it has no pixel at all.
bool IsPaintableBitmap(const _HOSTBITMAP& bitmap) {
    if (bitmap.nBitsPerPixel != 24 || bitmap.nWidth < 0 || bitmap.nHeight < 0)
        return false;
    if (bitmap.nWidth == 0 || bitmap.nHeight == 0)
        return true;
    return bitmap.pBits != nullptr && bitmap.nBytesPerLine >= 3 * uint64_t(bitmap.nWidth);
}

// The bitmap is still paintable and has the surface's size (the kernel may
// have changed the record since the context was made).
bool BitmapFitsSurface(const ZDRWCONTEXT& context) {
    const _HOSTBITMAP& bitmap = *context.pBitmap;
    return IsPaintableBitmap(bitmap) &&
           bitmap.nWidth == cairo_image_surface_get_width(context.pSurface) &&
           bitmap.nHeight == cairo_image_surface_get_height(context.pSurface);
}

// Bitmap rows run bottom-up with bytes R, G, B; surface rows top-down with
// native 32-bit xRGB pixels.
void CopyBitmapToSurface(const _HOSTBITMAP& bitmap, cairo_surface_t* pSurface) {
    cairo_surface_flush(pSurface);
    uint8_t* pData = cairo_image_surface_get_data(pSurface);
    size_t nStride = size_t(cairo_image_surface_get_stride(pSurface));
    for (int32_t nY = 0; nY < bitmap.nHeight; ++nY) {
        const uint8_t* pIn = bitmap.pBits + size_t(bitmap.nHeight - 1 - nY) * bitmap.nBytesPerLine;
        auto* pOut = reinterpret_cast<uint32_t*>(pData + size_t(nY) * nStride);
        for (int32_t nX = 0; nX < bitmap.nWidth; ++nX, pIn += 3)
            pOut[nX] = (uint32_t(pIn[0]) << 16) | (uint32_t(pIn[1]) << 8) | pIn[2];
    }
    cairo_surface_mark_dirty(pSurface);
}

void CopySurfaceToBitmap(cairo_surface_t* pSurface, _HOSTBITMAP* pBitmap) {
    cairo_surface_flush(pSurface);
    const uint8_t* pData = cairo_image_surface_get_data(pSurface);
    size_t nStride = size_t(cairo_image_surface_get_stride(pSurface));
    for (int32_t nY = 0; nY < pBitmap->nHeight; ++nY) {
        auto* pIn = reinterpret_cast<const uint32_t*>(pData + size_t(nY) * nStride);
        uint8_t* pOut = pBitmap->pBits + size_t(pBitmap->nHeight - 1 - nY) * pBitmap->nBytesPerLine;
        for (int32_t nX = 0; nX < pBitmap->nWidth; ++nX, pOut += 3) {
            pOut[0] = uint8_t(pIn[nX] >> 16);
            pOut[1] = uint8_t(pIn[nX] >> 8);
            pOut[2] = uint8_t(pIn[nX]);
        }
    }
}

// Replaces the cairo context with a fresh one clipped to the context's
// rectangle. Used at the start of each paint, when a paint is split, and
// after cairo refused an object, because a cairo context in an error state
// stays in it.
int32_t RestartCairo(ZDRWCONTEXT* pContext) {
    cairo_destroy(pContext->pCairo);
    pContext->pCairo = cairo_create(pContext->pSurface);
    cairo_t* pCairo = pContext->pCairo;
    cairo_status_t nStatus = cairo_status(pCairo);
    if (nStatus != CAIRO_STATUS_SUCCESS)
        return ResultFromStatus(nStatus);
    cairo_set_antialias(pCairo, CAIRO_ANTIALIAS_GRAY);
    // Unhinted metrics make text scale in proportion to its box.
    cairo_font_options_t* pOptions = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(pOptions, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(pCairo, pOptions);
    cairo_font_options_destroy(pOptions);
    const tagRECT& rc = pContext->rcClip;
    cairo_rectangle(pCairo, rc.left, rc.top, double(rc.right) - rc.left,
                    double(rc.bottom) - rc.top);
    cairo_clip(pCairo);
    return ResultFromStatus(cairo_status(pCairo));
}

tagRECT NormalizeRect(const tagRECT& rc) {
    return {std::min(rc.left, rc.right), std::min(rc.top, rc.bottom),
            std::max(rc.left, rc.right), std::max(rc.top, rc.bottom)};
}

int32_t CreateFileContext(cairo_surface_t* (*pfnCreate)(const char*, double, double),
                          const char* pszPath, int32_t nWidth, int32_t nHeight,
                          ZDRWCONTEXT** ppContext) {
    if (ppContext == nullptr)
        return MIF_ERR_ARG;
    *ppContext = nullptr;
    if (pszPath == nullptr || nWidth < 1 || nHeight < 1)
        return MIF_ERR_ARG;
    return CreateContext(pfnCreate(pszPath, nWidth, nHeight), nullptr, ppContext);
}

}  // namespace

int32_t Z_Drw_GetDefaultEngine(void) {
    return kDefaultEngine;
}

int32_t Z_Drw_FromBitmap(int32_t nEngine, ZDRWCONTEXT** ppContext, _HOSTBITMAP* pBitmap) {
    if (ppContext == nullptr)
        return MIF_ERR_ARG;
    *ppContext = nullptr;
    if (nEngine != kDefaultEngine || pBitmap == nullptr)
        return MIF_ERR_ARG;
    if (!IsPaintableBitmap(*pBitmap))
        return DRW_ERR_BITMAP;
    cairo_surface_t* pSurface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, pBitmap->nWidth, pBitmap->nHeight);
    return CreateContext(pSurface, pBitmap, ppContext);
}

int32_t Z_Drw_FromSvgFile(const char* pszPath, int32_t nWidth, int32_t nHeight,
                          ZDRWCONTEXT** ppContext) {
    return CreateFileContext(cairo_svg_surface_create, pszPath, nWidth, nHeight, ppContext);
}

int32_t Z_Drw_FromPdfFile(const char* pszPath, int32_t nWidth, int32_t nHeight,
                          ZDRWCONTEXT** ppContext) {
    return CreateFileContext(cairo_pdf_surface_create, pszPath, nWidth, nHeight, ppContext);
}

int32_t Z_Drw_Destroy(ZDRWCONTEXT* pContext) {
    if (pContext == nullptr)
        return MIF_ERR_ARG;
    cairo_destroy(pContext->pCairo);
    // Finishing completes a vector file; its status tells whether it was written.
    cairo_surface_finish(pContext->pSurface);
    int32_t nRet = ResultFromStatus(cairo_surface_status(pContext->pSurface));
    cairo_surface_destroy(pContext->pSurface);
    std::free(pContext);
    return nRet;
}

int32_t Z_Drw_BeginPaint(ZDRWCONTEXT* pContext, const tagRECT* pViewport,
                         const _VECTORPOINT* pMin, const _VECTORPOINT* pMax,
                         int32_t bBackground, uint32_t crBackground) {
    if (pContext == nullptr || pViewport == nullptr || pMin == nullptr || pMax == nullptr)
        return MIF_ERR_ARG;
    pContext->bPainting = false;
    if (pContext->pBitmap != nullptr) {
        if (!BitmapFitsSurface(*pContext))
            return DRW_ERR_BITMAP;
        CopyBitmapToSurface(*pContext->pBitmap, pContext->pSurface);
    }
    pContext->rcViewport = NormalizeRect(*pViewport);
    pContext->rcClip = pContext->rcViewport;
    pContext->bSplit = false;
    pContext->map = MakeDrawMap(pContext->rcViewport, *pMin, *pMax);
    int32_t nRet = RestartCairo(pContext);
    if (nRet != MIF_OK)
        return nRet;
    if (bBackground) {
        SetSourceColor(pContext->pCairo, crBackground);
        cairo_paint(pContext->pCairo);
    }
    pContext->bPainting = true;
    return MIF_OK;
}

int32_t Z_Drw_DrawObject(ZDRWCONTEXT* pContext, uint32_t nType, const void* pRecord) {
    if (pContext == nullptr || pRecord == nullptr)
        return MIF_ERR_ARG;
    if (!pContext->bPainting)
        return DRW_ERR_STATE;
    double dTop, dBottom;
    if (pContext->bSplit && GetObjectRowSpan(pContext->map, nType, pRecord, &dTop, &dBottom) &&
        (dBottom < pContext->rcClip.top || dTop > pContext->rcClip.bottom))
        return MIF_OK;
    cairo_t* pCairo = pContext->pCairo;
    cairo_save(pCairo);
    PaintObject(pCairo, pContext->map, nType, pRecord);
    cairo_restore(pCairo);
    if (cairo_status(pCairo) == CAIRO_STATUS_SUCCESS)
        return MIF_OK;
    // Cairo refused the object; it is lost, and the paint goes on.
    return RestartCairo(pContext);
}

int32_t Z_Drw_EndPaint(ZDRWCONTEXT* pContext) {
    if (pContext == nullptr)
        return MIF_ERR_ARG;
    if (!pContext->bPainting)
        return DRW_ERR_STATE;
    pContext->bPainting = false;
    if (pContext->bBand) {
        cairo_surface_flush(pContext->pSurface);
        return ResultFromStatus(cairo_status(pContext->pCairo));
    }
    if (pContext->pBitmap == nullptr) {
        cairo_show_page(pContext->pCairo);
        return ResultFromStatus(cairo_status(pContext->pCairo));
    }
    if (!BitmapFitsSurface(*pContext))
        return DRW_ERR_BITMAP;
    CopySurfaceToBitmap(pContext->pSurface, pContext->pBitmap);
    return MIF_OK;
}

int32_t Z_Drw_SplitPaint(ZDRWCONTEXT* pContext, ZDRWCONTEXT** ppLower) {
    if (ppLower == nullptr)
        return MIF_ERR_ARG;
    *ppLower = nullptr;
    if (pContext == nullptr)
        return MIF_ERR_ARG;
    if (!pContext->bPainting)
        return DRW_ERR_STATE;
    const tagRECT rcView = pContext->rcClip;
    if (pContext->pBitmap == nullptr || pContext->bBand || pContext->bSplit ||
        !g_bSplitPainting.load(std::memory_order_relaxed) || ::sysconf(_SC_NPROCESSORS_ONLN) < 2 ||
        int64_t(rcView.bottom) - rcView.top < 2 * kMinBandRows)
        return MIF_OK;
    // The lower band paints through a surface over the same pixels from the
    // middle row down, offset so that both contexts share device space.
    const int32_t nMiddle = int32_t((int64_t(rcView.top) + rcView.bottom) / 2);
    const int32_t nFirstRow = std::clamp(nMiddle, 0, cairo_image_surface_get_height(pContext->pSurface));
    cairo_surface_flush(pContext->pSurface);
    const int nStride = cairo_image_surface_get_stride(pContext->pSurface);
    cairo_surface_t* pBand = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(pContext->pSurface) + size_t(nFirstRow) * size_t(nStride),
        CAIRO_FORMAT_RGB24, cairo_image_surface_get_width(pContext->pSurface),
        cairo_image_surface_get_height(pContext->pSurface) - nFirstRow, nStride);
    cairo_surface_set_device_offset(pBand, 0, -nFirstRow);
    ZDRWCONTEXT* pLower = nullptr;
    int32_t nRet = CreateContext(pBand, nullptr, &pLower);
    if (nRet != MIF_OK)
        return nRet;
    pLower->rcViewport = pContext->rcViewport;
    pLower->rcClip = {rcView.left, nMiddle, rcView.right, rcView.bottom};
    pLower->map = pContext->map;
    pLower->bBand = true;
    pLower->bSplit = true;
    nRet = RestartCairo(pLower);
    if (nRet != MIF_OK) {
        Z_Drw_Destroy(pLower);
        return nRet;
    }
    pLower->bPainting = true;
    pContext->rcClip.bottom = nMiddle;
    pContext->bSplit = true;
    nRet = RestartCairo(pContext);
    if (nRet != MIF_OK) {
        // Back to one context painting the whole viewport.
        Z_Drw_Destroy(pLower);
        pContext->rcClip = rcView;
        pContext->bSplit = false;
        RestartCairo(pContext);
        return nRet;
    }
    *ppLower = pLower;
    return MIF_OK;
}

void Z_Drw_SetSplitPainting(int32_t bEnabled) {
    g_bSplitPainting.store(bEnabled != 0, std::memory_order_relaxed);
}

