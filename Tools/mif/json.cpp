// json.cpp - JSON text: separators, string escaping and number formatting.
#include "json.h"

#include <charconv>
#include <cmath>
#include <string.h>

namespace {

const int JSON_DOUBLE_DIGITS = 17;

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when the bytes there
// are not one: a stray continuation byte, an overlong form, a surrogate, a
// code point past U+10FFFF or a sequence cut short.
size_t Utf8SequenceLength(const unsigned char* p)
{
    if (p[0] < 0x80)
        return 1;
    size_t nLength;
    unsigned char bLow = 0x80, bHigh = 0xBF;  // allowed range of the second byte
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        nLength = 2;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        nLength = 3;
        if (p[0] == 0xE0) bLow = 0xA0;
        if (p[0] == 0xED) bHigh = 0x9F;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        nLength = 4;
        if (p[0] == 0xF0) bLow = 0x90;
        if (p[0] == 0xF4) bHigh = 0x8F;
    } else {
        return 0;
    }
    if (p[1] < bLow || p[1] > bHigh)
        return 0;
    for (size_t i = 2; i < nLength; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return nLength;
}

void WriteEscapedString(FILE* pOut, const char* pszValue)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pszValue);
    fputc('"', pOut);
    while (*p != 0) {
        size_t nLength = Utf8SequenceLength(p);
        if (*p == '"' || *p == '\\') {
            fputc('\\', pOut);
            fputc(*p, pOut);
        } else if (*p < 0x20 || nLength == 0) {
            fprintf(pOut, "\\u%04x", *p);
        } else {
            fwrite(p, 1, nLength, pOut);
            p += nLength;
            continue;
        }
        ++p;
    }
    fputc('"', pOut);
}

// Writes the separator and the key that come before every value.
void BeginValue(JsonWriter* pWriter, const char* pszKey)
{
    if (pWriter->nDepth > 0) {
        int nLevel = pWriter->nDepth - 1;
        if (pWriter->abHasMember[nLevel])
            fputc(',', pWriter->pOut);
        if (pWriter->abMultiLine[nLevel])
            fprintf(pWriter->pOut, "\n%*s", 2 * pWriter->nDepth, "");
        else if (pWriter->abHasMember[nLevel])
            fputc(' ', pWriter->pOut);
        pWriter->abHasMember[nLevel] = 1;
    }
    if (pszKey != nullptr) {
        WriteEscapedString(pWriter->pOut, pszKey);
        fputs(": ", pWriter->pOut);
    }
}

// The program nests at most four containers. The depth guard only keeps a
// mistake from writing past the state arrays.
void OpenContainer(JsonWriter* pWriter, const char* pszKey, char cOpen, int bMultiLine)
{
    BeginValue(pWriter, pszKey);
    fputc(cOpen, pWriter->pOut);
    if (pWriter->nDepth < JSON_MAX_DEPTH) {
        pWriter->abHasMember[pWriter->nDepth] = 0;
        pWriter->abMultiLine[pWriter->nDepth] = (unsigned char)(bMultiLine != 0);
        ++pWriter->nDepth;
    }
}

void CloseContainer(JsonWriter* pWriter, char cClose)
{
    if (pWriter->nDepth > 0) {
        --pWriter->nDepth;
        if (pWriter->abMultiLine[pWriter->nDepth] && pWriter->abHasMember[pWriter->nDepth])
            fprintf(pWriter->pOut, "\n%*s", 2 * pWriter->nDepth, "");
    }
    fputc(cClose, pWriter->pOut);
    if (pWriter->nDepth == 0)
        fputc('\n', pWriter->pOut);
}

void WriteNumber(FILE* pOut, double dValue)
{
    if (!std::isfinite(dValue)) {
        fputs("null", pOut);
        return;
    }
    char szNumber[64];
    FormatDouble(dValue, JSON_DOUBLE_DIGITS, szNumber, sizeof szNumber);
    fputs(szNumber, pOut);
}

}  // namespace

void FormatDouble(double dValue, int nDigits, char* pszOut, size_t nSize)
{
    if (std::isnan(dValue)) {
        snprintf(pszOut, nSize, "nan");
        return;
    }
    if (std::isinf(dValue)) {
        snprintf(pszOut, nSize, "%s", dValue < 0 ? "-inf" : "inf");
        return;
    }
    std::to_chars_result result = nDigits > 0
        ? std::to_chars(pszOut, pszOut + nSize - 1, dValue, std::chars_format::general, nDigits)
        : std::to_chars(pszOut, pszOut + nSize - 1, dValue);
    *(result.ec == std::errc() ? result.ptr : pszOut) = '\0';
}

void JsonInit(JsonWriter* pWriter, FILE* pOut)
{
    memset(pWriter, 0, sizeof *pWriter);
    pWriter->pOut = pOut;
}

void JsonBeginObject(JsonWriter* pWriter, const char* pszKey, int bMultiLine)
{
    OpenContainer(pWriter, pszKey, '{', bMultiLine);
}

void JsonEndObject(JsonWriter* pWriter)
{
    CloseContainer(pWriter, '}');
}

void JsonBeginArray(JsonWriter* pWriter, const char* pszKey, int bMultiLine)
{
    OpenContainer(pWriter, pszKey, '[', bMultiLine);
}

void JsonEndArray(JsonWriter* pWriter)
{
    CloseContainer(pWriter, ']');
}

void JsonInteger(JsonWriter* pWriter, const char* pszKey, int64_t nValue)
{
    BeginValue(pWriter, pszKey);
    fprintf(pWriter->pOut, "%lld", (long long)nValue);
}

void JsonUnsigned(JsonWriter* pWriter, const char* pszKey, uint64_t nValue)
{
    BeginValue(pWriter, pszKey);
    fprintf(pWriter->pOut, "%llu", (unsigned long long)nValue);
}

void JsonDouble(JsonWriter* pWriter, const char* pszKey, double dValue)
{
    BeginValue(pWriter, pszKey);
    WriteNumber(pWriter->pOut, dValue);
}

void JsonString(JsonWriter* pWriter, const char* pszKey, const char* pszValue)
{
    BeginValue(pWriter, pszKey);
    WriteEscapedString(pWriter->pOut, pszValue);
}

void JsonPair(JsonWriter* pWriter, const char* pszKey, double dX, double dY)
{
    BeginValue(pWriter, pszKey);
    fputc('[', pWriter->pOut);
    WriteNumber(pWriter->pOut, dX);
    fputs(", ", pWriter->pOut);
    WriteNumber(pWriter->pOut, dY);
    fputc(']', pWriter->pOut);
}
