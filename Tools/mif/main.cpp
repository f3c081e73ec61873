// main.cpp - mif, the command-line host of the MIF filter.
//
// The program plays the part of the imaging toolkit: it loads the filter
// library at run time and drives its entry points with the toolkit's
// records. One function per subcommand; the calls themselves are in host.cpp,
// the command line in arguments.cpp, the output in report.cpp, drawing.cpp,
// raster.cpp and vectorfile.cpp, the check in check.cpp and checkreport.cpp.
// Exit status: 0 on success, 1 when the filter or a file failed (one line on
// stderr says why) or a check found something lost, 2 for bad use.
#include <clocale>
#include <stdio.h>
#include <string.h>

#include "arguments.h"
#include "check.h"
#include "checkreport.h"
#include "drawing.h"
#include "filter.h"
#include "host.h"
#include "json.h"
#include "raster.h"
#include "report.h"
#include "results.h"
#include "vectorfile.h"

namespace {

const int EXIT_OK = 0;
const int EXIT_FAILED = 1;
const int EXIT_BAD_USE = 2;

int ExitFor(int nResult)
{
    return nResult == MIF_OK ? EXIT_OK : EXIT_FAILED;
}

// Initialises a host drawing; a kernel that refuses is reported.
int InitDrawing(_VECTORHANDLE* pHandle)
{
    int nRet = HostInitDrawing(pHandle);
    if (nRet != MIF_OK)
        ReportResult("vector kernel", nRet);
    return nRet == MIF_OK;
}

int RunInfo(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    _VECTORHANDLE handle;
    if (!InitDrawing(&handle))
        return EXIT_FAILED;
    _IMAGEINFO info;
    HostInitImageInfo(&info);
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    int nRet = HostInfo(pFilter, pLine->pszInput, &slot, &handle, nullptr, &info);
    ObjectCounts counts;
    if (nRet == MIF_OK)
        nRet = CountObjects(&handle, &counts);
    if (nRet == MIF_OK && pLine->bJson)
        PrintInfoJson(stdout, &info, &counts);
    else if (nRet == MIF_OK)
        PrintInfoText(stdout, &info, &counts);
    else
        ReportResult(pLine->pszInput, nRet);
    pFilter->pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE);
    Z_VecFree(&handle);
    return ExitFor(nRet);
}

int RunRenderRaster(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    RasterRequest request = {pLine->nWidth, pLine->nHeight, pLine->nBitsPerPixel,
                             pLine->bUseBackground, pLine->crBackground};
    _HOSTBITMAP bitmap;
    memset(&bitmap, 0, sizeof bitmap);
    int nRet = Z_InitBitmap(&bitmap, sizeof bitmap, request.nWidth, request.nHeight,
                            request.nBitsPerPixel);
    _CACHESLOT slot = {sizeof slot, 0, nullptr};
    if (nRet == MIF_OK && !pLine->bNoCache) {
        // The info call parses the drawing once; the load below reuses it.
        _IMAGEINFO info;
        HostInitImageInfo(&info);
        nRet = HostInfo(pFilter, pLine->pszInput, &slot, nullptr, &request, &info);
    }
    RasterImage image;
    InitRasterImage(&image, request.nWidth, request.nHeight, request.nBitsPerPixel);
    if (nRet == MIF_OK)
        nRet = HostRasterLoad(pFilter, pLine->pszInput, &slot, &request, &bitmap, &image);
    pFilter->pfnFreeData(slot.pFilterData, DATATYPE_DRAWINGCACHE);

    int nExit = ExitFor(nRet);
    char szProblem[256];
    if (nRet != MIF_OK) {
        ReportResult(pLine->pszInput, nRet);
    } else if (!WriteRasterPng(&image, &bitmap, pLine->pszOutput, szProblem, sizeof szProblem)) {
        fprintf(stderr, "mif: %s: %s\n", pLine->pszOutput, szProblem);
        nExit = EXIT_FAILED;
    }
    Z_FreeBitmap(&bitmap);
    return nExit;
}

// What a command does with a drawing it loaded: paint it, or save it.
typedef int (*DrawingWriter)(_VECTORHANDLE*, const MifCommandLine*, const MifFilter*, int);

// Loads the input into a host drawing, hands it to pfnWrite and reports
// whichever step failed.
int LoadAndWrite(const MifCommandLine* pLine, const MifFilter* pFilter, DrawingWriter pfnWrite,
                 int nKind)
{
    _VECTORHANDLE handle;
    if (!InitDrawing(&handle))
        return EXIT_FAILED;
    int nRet = HostVectorLoad(pFilter, pLine->pszInput, &handle);
    if (nRet != MIF_OK) {
        ReportResult(pLine->pszInput, nRet);
    } else {
        nRet = pfnWrite(&handle, pLine, pFilter, nKind);
        if (nRet != MIF_OK)
            ReportResult(pLine->pszOutput, nRet);
    }
    Z_VecFree(&handle);
    return ExitFor(nRet);
}

// SVG and PDF: the host loads the drawing and paints it itself (see
// vectorfile.h). The background a raster load would set is set here.
int WritePicture(_VECTORHANDLE* pHandle, const MifCommandLine* pLine, const MifFilter*, int nKind)
{
    if (pLine->bUseBackground)
        Z_VecSetBackgroundColor(pHandle, pLine->crBackground);
    return WriteVectorPicture(pHandle, nKind, pLine->pszOutput, pLine->nWidth, pLine->nHeight);
}

int WriteMif(_VECTORHANDLE* pHandle, const MifCommandLine* pLine, const MifFilter* pFilter, int)
{
    return HostSave(pFilter, pLine->pszOutput, pHandle);
}

int RunRender(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    int nKind = PictureKindOf(pLine->pszOutput);
    if (nKind == PICTURE_PNG)
        return RunRenderRaster(pLine, pFilter);
    return LoadAndWrite(pLine, pFilter, WritePicture, nKind);
}

int RunConvert(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    return LoadAndWrite(pLine, pFilter, WriteMif, 0);
}

// The whole drawing as one JSON document. A failed load still prints its
// result and whatever objects it added before it stopped.
int RunDump(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    _VECTORHANDLE handle;
    if (!InitDrawing(&handle))
        return EXIT_FAILED;
    int nRet = HostVectorLoad(pFilter, pLine->pszInput, &handle);
    JsonWriter writer;
    JsonInit(&writer, stdout);
    JsonBeginObject(&writer, nullptr, 1);
    JsonInteger(&writer, "result", nRet);
    if (nRet == MIF_OK) {
        JsonBeginObject(&writer, "extents", 0);
        JsonPair(&writer, "min", handle.ptMin.x, handle.ptMin.y);
        JsonPair(&writer, "max", handle.ptMax.x, handle.ptMax.y);
        JsonEndObject(&writer);
    }
    int nEnumRet = WriteDrawingObjects(&writer, &handle);
    JsonEndObject(&writer);
    if (nRet != MIF_OK) {
        ReportResult(pLine->pszInput, nRet);
    } else if (nEnumRet != MIF_OK) {
        ReportResult("reading the drawing back", nEnumRet);
        nRet = nEnumRet;
    }
    Z_VecFree(&handle);
    return ExitFor(nRet);
}

// The report goes to stdout whatever it finds; the exit status says whether
// the whole file loaded with nothing lost.
int RunCheck(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    FilterProbe probe;
    const char* pszMissing = nullptr;
    if (!ResolveFilterProbe(pFilter, &probe, &pszMissing)) {
        fprintf(stderr, "mif: the filter does not export %s, which check needs\n", pszMissing);
        return EXIT_FAILED;
    }
    CheckReport report;
    int nRet = CheckMifFile(pFilter, &probe, pLine->pszInput, &report);
    if (nRet != MIF_OK) {
        ReportResult(pLine->pszInput, nRet);
        return EXIT_FAILED;
    }
    if (pLine->bJson)
        PrintCheckJson(stdout, pLine->pszInput, &report);
    else
        PrintCheckText(stdout, pLine->pszInput, &report);
    return CheckLoadedAll(&report) ? EXIT_OK : EXIT_FAILED;
}

int RunCommand(const MifCommandLine* pLine, const MifFilter* pFilter)
{
    switch (pLine->nCommand) {
    case MIF_CMD_CHECK:
        return RunCheck(pLine, pFilter);
    case MIF_CMD_INFO:
        return RunInfo(pLine, pFilter);
    case MIF_CMD_RENDER:
        return RunRender(pLine, pFilter);
    case MIF_CMD_CONVERT:
        return RunConvert(pLine, pFilter);
    default:
        return RunDump(pLine, pFilter);
    }
}

int OpenRequestedFilter(const MifCommandLine* pLine, MifFilter* pFilter)
{
    char szBundled[4096];
    const char* pszPath = pLine->pszFilter;
    if (pszPath == nullptr) {
        if (!FindBundledFilter(szBundled, sizeof szBundled)) {
            fputs("mif: cannot find the filter beside the program; name it with --filter\n", stderr);
            return 0;
        }
        pszPath = szBundled;
    }
    char szError[512];
    if (!OpenFilter(pszPath, pFilter, szError, sizeof szError)) {
        fprintf(stderr, "mif: cannot load the filter %s: %s\n", pszPath, szError);
        return 0;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    setlocale(LC_ALL, "");
    MifCommandLine line;
    switch (ParseCommandLine(argc, argv, &line)) {
    case MIF_ARGS_HELP:
        PrintUsage(stdout);
        return EXIT_OK;
    case MIF_ARGS_BAD:
        fprintf(stderr, "mif: %s\n", line.szProblem);
        PrintUsageHint(stderr);
        return EXIT_BAD_USE;
    }
    MifFilter filter;
    if (!OpenRequestedFilter(&line, &filter))
        return EXIT_FAILED;
    int nExit = RunCommand(&line, &filter);
    CloseFilter(&filter);
    return nExit;
}
