// report.cpp - the two forms of the info report.
#include "report.h"

#include "json.h"

namespace {

// The filter writes 1 in the first field of the vector block, and only into
// a record large enough to hold it; the host zeroes the record beforehand.
int HasVectorBlock(const _IMAGEINFO* pInfo)
{
    return pInfo->bVector == 1;
}

void PrintPoint(FILE* pOut, const _VECTORPOINT& pt)
{
    char szX[40], szY[40];
    FormatDouble(pt.x, 0, szX, sizeof szX);
    FormatDouble(pt.y, 0, szY, sizeof szY);
    fprintf(pOut, "(%s, %s)", szX, szY);
}

}  // namespace

void PrintInfoText(FILE* pOut, const _IMAGEINFO* pInfo, const ObjectCounts* pCounts)
{
    fprintf(pOut, "format:          %u\n", pInfo->nFormat);
    fprintf(pOut, "page:            %d x %d pixels\n", pInfo->nWidth, pInfo->nHeight);
    fprintf(pOut, "bits per pixel:  %d\n", pInfo->nBitsPerPixel);
    fprintf(pOut, "size in bytes:   %llu\n", (unsigned long long)pInfo->uSizeInBytes);
    if (HasVectorBlock(pInfo)) {
        fputs("extents:         ", pOut);
        PrintPoint(pOut, pInfo->ptMin);
        fputs(" to ", pOut);
        PrintPoint(pOut, pInfo->ptMax);
        fputc('\n', pOut);
    }
    fprintf(pOut, "objects:         %llu\n", (unsigned long long)pCounts->nTotal);
    for (int i = 0; i < OBJECT_TYPE_COUNT; ++i)
        if (pCounts->anByType[i] != 0)
            fprintf(pOut, "  %-15s %llu\n", OBJECT_TYPE_NAMES[i].pszName,
                    (unsigned long long)pCounts->anByType[i]);
    if (pCounts->nOther != 0)
        fprintf(pOut, "  %-15s %llu\n", "unknown", (unsigned long long)pCounts->nOther);
}

void PrintInfoJson(FILE* pOut, const _IMAGEINFO* pInfo, const ObjectCounts* pCounts)
{
    JsonWriter writer;
    JsonInit(&writer, pOut);
    JsonBeginObject(&writer, nullptr, 0);
    JsonUnsigned(&writer, "format", pInfo->nFormat);
    JsonInteger(&writer, "width", pInfo->nWidth);
    JsonInteger(&writer, "height", pInfo->nHeight);
    JsonInteger(&writer, "bits_per_pixel", pInfo->nBitsPerPixel);
    JsonUnsigned(&writer, "size_in_bytes", pInfo->uSizeInBytes);
    if (HasVectorBlock(pInfo)) {
        JsonBeginObject(&writer, "extents", 0);
        JsonPair(&writer, "min", pInfo->ptMin.x, pInfo->ptMin.y);
        JsonPair(&writer, "max", pInfo->ptMax.x, pInfo->ptMax.y);
        JsonEndObject(&writer);
    }
    WriteObjectCounts(&writer, "objects", pCounts);
    JsonEndObject(&writer);
}
