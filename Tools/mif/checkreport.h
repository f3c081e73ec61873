// checkreport.h - what "mif check" prints: a report a person can act on,
// line numbers first, or one JSON object for a program.
#ifndef TOOLS_MIF_CHECKREPORT_H
#define TOOLS_MIF_CHECKREPORT_H

#include <stdio.h>

#include "check.h"

void PrintCheckText(FILE* pOut, const char* pszPath, const CheckReport* pReport);
void PrintCheckJson(FILE* pOut, const char* pszPath, const CheckReport* pReport);

#endif  // TOOLS_MIF_CHECKREPORT_H
