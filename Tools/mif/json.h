// json.h - a small streaming JSON writer for the program's machine output.
//
// Another program parses what mif prints, so the text must be valid JSON
// whatever the drawing holds: strings are escaped byte by byte (a byte that is
// not part of valid UTF-8 becomes \u00XX of its value), doubles are written
// with 17 significant digits in the "C" notation whatever the user's locale,
// and a value that is not finite becomes null.
//
// The writer keeps the comma state of each open container. A container opened
// with bMultiLine puts each member on a line of its own; the others stay on
// one line, so that a dump reads as one object per line.
#ifndef TOOLS_MIF_JSON_H
#define TOOLS_MIF_JSON_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum { JSON_MAX_DEPTH = 16 };

struct JsonWriter {
    FILE* pOut;
    int nDepth;                                 // open containers
    unsigned char abHasMember[JSON_MAX_DEPTH];  // container already has a member
    unsigned char abMultiLine[JSON_MAX_DEPTH];  // members go on lines of their own
};

void JsonInit(JsonWriter* pWriter, FILE* pOut);

// Every call below names the member's key inside an object; inside an array
// (or for the top-level value) the key is null.
void JsonBeginObject(JsonWriter* pWriter, const char* pszKey, int bMultiLine);
void JsonEndObject(JsonWriter* pWriter);
void JsonBeginArray(JsonWriter* pWriter, const char* pszKey, int bMultiLine);
void JsonEndArray(JsonWriter* pWriter);
void JsonInteger(JsonWriter* pWriter, const char* pszKey, int64_t nValue);
void JsonUnsigned(JsonWriter* pWriter, const char* pszKey, uint64_t nValue);
void JsonDouble(JsonWriter* pWriter, const char* pszKey, double dValue);
void JsonString(JsonWriter* pWriter, const char* pszKey, const char* pszValue);
// A two-element array [dX, dY].
void JsonPair(JsonWriter* pWriter, const char* pszKey, double dX, double dY);

// Formats dValue into pszOut (nSize bytes, at least 32): with nDigits
// significant digits, or the shortest text that reads back exactly when
// nDigits is 0. Independent of the locale. Non-finite values give "nan",
// "inf" or "-inf".
void FormatDouble(double dValue, int nDigits, char* pszOut, size_t nSize);

#endif  // TOOLS_MIF_JSON_H
