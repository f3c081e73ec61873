// report.h - what "mif info" prints: a few aligned lines for a person, or
// one JSON object for a program.
#ifndef TOOLS_MIF_REPORT_H
#define TOOLS_MIF_REPORT_H

#include <stdio.h>

#include "drawing.h"
#include "hostapi.h"

// Prints the image information the filter reported and the object counts.
// The extents appear only when the filter wrote the record's vector block.
void PrintInfoText(FILE* pOut, const _IMAGEINFO* pInfo, const ObjectCounts* pCounts);
void PrintInfoJson(FILE* pOut, const _IMAGEINFO* pInfo, const ObjectCounts* pCounts);

#endif  // TOOLS_MIF_REPORT_H
