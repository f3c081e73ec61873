// results.cpp - the one table of result-code meanings.
//
// The codes are shared by the filter and the three host libraries; a host
// function's result reaches the program unchanged through the filter, so the
// vector kernel's and the drawing engine's codes are listed beside the
// filter's own.
#include "results.h"

#include <stdio.h>

#include "drawengine.h"
#include "hostapi.h"

namespace {

struct ResultText {
    int nResult;
    const char* pszMessage;
};

const ResultText RESULT_TEXTS[] = {
    {MIF_OK, "success"},
    {MIF_END, "end of data: the file ended before the header or an object was complete"},
    {MIF_ERR_NOMEM, "out of memory: an allocation failed"},
    {MIF_ERR_WRITE, "write failed: fewer bytes were written than asked"},
    {MIF_ERR_FORMAT, "not a MIF file of a supported version, or an unsupported mode"},
    {MIF_ERR_ARG, "a required record or argument is missing"},
    {MIF_ERR_NOFILE, "file not available"},
    {MIF_ERR_NOREADER, "the line reader has no file"},
    {VEC_ERR_EMPTY, "the drawing holds no object"},
    {VEC_ERR_BADHANDLE, "the vector handle was not initialised"},
    {VEC_ERR_BADOBJECT, "unknown object, type mismatch or bad object record"},
    {VEC_ERR_NOMEM, "the vector kernel could not store the object"},
    {DRW_ERR_BITMAP, "the drawing engine's bitmap lost its pixels or size"},
    {DRW_ERR_STATE, "the drawing engine was asked to paint outside a painting"},
    {DRW_ERR_SURFACE, "the drawing engine could not create or keep the picture's surface"},
};

}  // namespace

const char* ResultMessage(int nResult)
{
    for (const ResultText& text : RESULT_TEXTS)
        if (text.nResult == nResult)
            return text.pszMessage;
    return "unexpected result";
}

void ReportResult(const char* pszSubject, int nResult)
{
    fprintf(stderr, "mif: %s: %s (%d)\n", pszSubject, ResultMessage(nResult), nResult);
}
