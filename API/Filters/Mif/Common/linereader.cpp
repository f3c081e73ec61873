// linereader.cpp - the MIF line reader, tokenizer, number conversions and
// the text writer.
//
// Lines are read with one host read per byte: the host kernel buffers, the
// reader keeps nothing but the current line. A line end is CR LF, LF or a
// lone CR; after a lone CR the byte read ahead is stepped back so that it
// begins the next line.
//
// The numbers of a MIF file use a decimal point whatever the host's locale,
// so conversions and formatting never go through the locale of the calling
// thread: the common forms are handled here exactly, the rare ones (hex
// floats, infinities, more than 15 significant digits, huge values) by the C
// library under an explicit "C" locale object.
#include "linereader.h"

#include <limits.h>
#include <locale.h>
#include <math.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

bool HasFile(tagHANDLE* hFile) {
    return hFile != nullptr && hFile != MIF_INVALID_HANDLE;
}

CMifFile::CMifFile()
    : m_hFile(nullptr),
      m_bOwnHandle(0),
      m_pszCurrent(nullptr),
      m_nLineLength(0),
      m_nRemaining(0),
      m_bReadNewLine(1) {
    m_szName[0] = '\0';
    m_szLine[0] = '\0';
}

CMifFile::~CMifFile() {
    if (HasFile(m_hFile) && m_bOwnHandle)
        Close();
}

int CMifFile::Open(tagHANDLE* hFile, int bOwnHandle) {
    if (!HasFile(hFile))
        return MIF_ERR_NOFILE;
    if (HasFile(m_hFile))
        Z_RedirectedClose(m_hFile);
    m_szName[0] = '\0';
    m_nLineLength = 0;
    m_pszCurrent = nullptr;
    m_nRemaining = 0;
    m_bReadNewLine = 1;
    m_hFile = hFile;
    m_bOwnHandle = bOwnHandle;
    return MIF_OK;
}

void CMifFile::Close() {
    if (HasFile(m_hFile))
        Z_RedirectedClose(m_hFile);
    m_szName[0] = '\0';
    m_hFile = nullptr;
    m_bOwnHandle = 0;
    m_nLineLength = 0;
    m_pszCurrent = nullptr;
    m_nRemaining = 0;
    m_bReadNewLine = 1;
}

int CMifFile::ReadLine(void* pBuffer, int* pnLength) {
    if (!HasFile(m_hFile))
        return MIF_ERR_NOREADER;
    if (pBuffer == nullptr || pnLength == nullptr)
        return MIF_ERR_ARG;

    char c = 0;
    int nRead = Z_RedirectedRead(m_hFile, &c, 1);
    if (nRead == 0)
        return MIF_END;
    // A file that fails on the first byte of a line cannot deliver the line;
    // reporting it (rather than an empty line) keeps a persistent read error
    // from looping forever.
    if (nRead < 0)
        return MIF_ERR_NOFILE;
    Z_RedirectedSeek(m_hFile, -1, 1);

    tagHANDLE* hFile = m_hFile;  // kept in a register across the host calls
    char* pszLine = static_cast<char*>(pBuffer);
    int nCount = 0;
    while (Z_RedirectedRead(hFile, &c, 1) == 1) {
        // One test keeps ordinary characters off the line-end checks.
        if (static_cast<unsigned char>(c) <= '\r' && (c == '\n' || c == '\r')) {
            char cNext = 0;
            if (c == '\r' && Z_RedirectedRead(hFile, &cNext, 1) == 1 && cNext != '\n')
                Z_RedirectedSeek(hFile, -1, 1);
            break;
        }
        // A line longer than the buffer is cut: the rest up to its line end
        // is read and dropped, so it can never pose as lines of its own.
        if (nCount < MIF_MAX_LINE)
            pszLine[nCount++] = c;
    }
    *pnLength = nCount;
    return MIF_OK;
}

int CMifFile::LineRead() {
    if (!m_bReadNewLine) {
        m_bReadNewLine = 1;
        return MIF_OK;
    }
    int nRet = ReadLine(m_szLine, &m_nLineLength);
    m_szLine[m_nLineLength] = '\0';
    m_pszCurrent = m_szLine;
    m_nRemaining = m_nLineLength;
    return nRet;
}

int CMifFile::LineMoveToStart() {
    m_pszCurrent = m_szLine;
    m_nRemaining = m_nLineLength;
    return GetStringStart(m_pszCurrent, m_nRemaining);
}

int CMifFile::LineMoveToNext(char cSeparator) {
    return GetNextWord(m_pszCurrent, m_nRemaining, cSeparator);
}

int CMifFile::LineMoveToWord(int nWord, char cSeparator) {
    int nRet = LineMoveToStart();
    if (nRet != MIF_OK || nWord <= 0)
        return nRet;
    for (int i = 0; i < nWord && nRet == MIF_OK; ++i)
        nRet = LineMoveToNext(cSeparator);
    return nRet;
}

long CMifFile::LineGetInteger() {
    if (m_nRemaining < 0 || m_pszCurrent == nullptr)
        return 0;
    return MifStrToLong(m_pszCurrent, nullptr);
}

double CMifFile::LineGetDouble() {
    if (m_nRemaining < 0 || m_pszCurrent == nullptr)
        return 0.0;
    return MifStrToDouble(m_pszCurrent, nullptr);
}

int CMifFile::LineIsEmpty() {
    return GetStringStart(m_pszCurrent, m_nRemaining) == MIF_OK ? 1 : 0;
}

int CMifFile::LineIsVirgin() {
    char* pszStart = m_szLine;
    int nStart = m_nLineLength;
    if (GetStringStart(pszStart, nStart) != MIF_OK)
        return 0;
    return m_nRemaining >= nStart ? 1 : 0;
}

int CMifFile::WriteText(const char* pszText, size_t nLength) {
    if (!HasFile(m_hFile) || nLength > static_cast<size_t>(INT32_MAX))
        return MIF_ERR_WRITE;
    int32_t nWritten = Z_RedirectedWrite(m_hFile, pszText, static_cast<int32_t>(nLength));
    return nWritten == static_cast<int32_t>(nLength) ? MIF_OK : MIF_ERR_WRITE;
}

// ---------------------------------------------------------------------------
// Cursor functions
// ---------------------------------------------------------------------------

int GetStringStart(char*& pszCursor, int& nRemaining) {
    if (nRemaining < 0)
        return MIF_END;
    while (nRemaining > 0 && *pszCursor == ' ') {
        ++pszCursor;
        --nRemaining;
    }
    return MIF_OK;
}

int GetNextWord(char*& pszCursor, int& nRemaining, char cSeparator) {
    if (nRemaining < 0)
        return MIF_END;
    if (nRemaining > 0 && *pszCursor == cSeparator) {
        ++pszCursor;
        --nRemaining;
        return GetStringStart(pszCursor, nRemaining);
    }
    const void* pFound = nRemaining > 1 ? memchr(pszCursor + 1, cSeparator, nRemaining - 1) : nullptr;
    if (pFound == nullptr) {
        nRemaining = -1;
        return MIF_END;
    }
    int nPassed = static_cast<int>(static_cast<const char*>(pFound) - pszCursor) + 1;
    pszCursor += nPassed;
    nRemaining -= nPassed;
    return GetStringStart(pszCursor, nRemaining);
}

int GetNextInteger(char*& pszCursor, int& nRemaining, int& nValue) {
    int nRet = GetNextWord(pszCursor, nRemaining, ' ');
    if (nRet == MIF_OK)
        nValue = static_cast<int>(MifStrToLong(pszCursor, nullptr));
    return nRet;
}

int GetNextDouble(char*& pszCursor, int& nRemaining, double& dValue) {
    int nRet = GetNextWord(pszCursor, nRemaining, ' ');
    if (nRet == MIF_OK)
        dValue = MifStrToDouble(pszCursor, nullptr);
    return nRet;
}

int GetNumChars(char* pszText, char c) {
    int nCount = 0;
    for (const char* p = pszText; *p != '\0'; ++p)
        nCount += (*p == c);
    return nCount;
}

int GetTextWidthInChar(char* pszText) {
    int nWidest = 0;
    int nWidth = 0;
    for (const char* p = pszText;; ++p) {
        if (*p == '\n' || *p == '\0') {
            if (nWidth > nWidest)
                nWidest = nWidth;
            nWidth = 0;
            if (*p == '\0')
                return nWidest;
        } else {
            ++nWidth;
        }
    }
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MifEqualNoCase(const char* pszA, const char* pszB, size_t nCount) {
    for (size_t i = 0; i < nCount; ++i) {
        if (LowerAscii(pszA[i]) != LowerAscii(pszB[i]))
            return false;
        if (pszA[i] == '\0')
            return true;
    }
    return true;
}

bool IsKeyword(const char* pszCursor, int nRemaining, const char* pszKeyword) {
    size_t nKeyword = strlen(pszKeyword);
    size_t nCompare = nRemaining <= 0 ? 0 : static_cast<size_t>(nRemaining);
    return MifEqualNoCase(pszCursor, pszKeyword, nCompare < nKeyword ? nCompare : nKeyword);
}

// ---------------------------------------------------------------------------
// Number conversions of the "C" locale
// ---------------------------------------------------------------------------

// The "C" locale object for the rare conversions left to the C library. It
// is created once and never changes, so threads may share it.
locale_t CLocale() {
    static const locale_t s_hLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return s_hLocale;
}

// White space as isspace() sees it in the "C" locale.
bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Accumulates the decimal digits at p into *pnValue (wrapping past 2^64) and
// returns the first character after them; two digits per step where it can.
const char* AccumulateDigits(const char* p, uint64_t* pnValue) {
    uint64_t nValue = *pnValue;
    for (; IsDigit(p[0]) && IsDigit(p[1]); p += 2)
        nValue = nValue * 100 + static_cast<uint64_t>((p[0] - '0') * 10 + (p[1] - '0'));
    if (IsDigit(*p))
        nValue = nValue * 10 + static_cast<uint64_t>(*p++ - '0');
    *pnValue = nValue;
    return p;
}

long MifStrToLong(const char* psz, char** ppszEnd) {
    const char* p = psz;
    while (IsCSpace(*p))
        ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-')
        bNegative = (*p++ == '-');
    if (!IsDigit(*p)) {
        if (ppszEnd)
            *ppszEnd = const_cast<char*>(psz);
        return 0;
    }
    // Accumulate the magnitude; past the limit strtol saturates but still
    // consumes every digit.
    const unsigned long nLimit = bNegative ? static_cast<unsigned long>(LONG_MAX) + 1u
                                           : static_cast<unsigned long>(LONG_MAX);
    unsigned long nValue = 0;
    bool bOverflow = false;
    for (; IsDigit(*p); ++p) {
        unsigned long nDigit = static_cast<unsigned long>(*p - '0');
        if (bOverflow || nValue > (nLimit - nDigit) / 10u)
            bOverflow = true;
        else
            nValue = nValue * 10u + nDigit;
    }
    if (ppszEnd)
        *ppszEnd = const_cast<char*>(p);
    if (bOverflow)
        return bNegative ? LONG_MIN : LONG_MAX;
    if (bNegative)
        return nValue == static_cast<unsigned long>(LONG_MAX) + 1u ? LONG_MIN : -static_cast<long>(nValue);
    return static_cast<long>(nValue);
}

// Powers of ten that are exact doubles.
static const double s_adExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A decimal number of at most 15 significant digits with a power of ten
// within +-22 is a product or quotient of two exact doubles, which IEEE
// arithmetic rounds correctly: the same double strtod gives.
bool ParseDecimalFast(const char* psz, double* pdValue, const char** ppszEnd) {
    const char* p = psz;
    while (IsCSpace(*p))
        ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-')
        bNegative = (*p++ == '-');
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return false;

    // Leading zeros carry no significance; the digits after them are
    // accumulated and counted in one pass per part.
    const char* pszWhole = p;
    while (*p == '0')
        ++p;
    const char* pszSignificant = p;
    uint64_t nMantissa = 0;
    p = AccumulateDigits(p, &nMantissa);
    long nDigits = p - pszSignificant;
    bool bAnyDigit = p != pszWhole;
    int nExponent = 0;
    if (nDigits <= 15 && *p == '.') {
        const char* pszFraction = ++p;
        if (nMantissa == 0)
            while (*p == '0')
                ++p;
        pszSignificant = p;
        p = AccumulateDigits(p, &nMantissa);
        nDigits += p - pszSignificant;
        nExponent = -static_cast<int>(p - pszFraction);
        bAnyDigit = bAnyDigit || p != pszFraction;
    }
    // More digits than a double holds exactly (the sum may also have
    // wrapped), or no number at all: left to the C library.
    if (nDigits > 15 || !bAnyDigit)
        return false;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool bExpNegative = false;
        if (*q == '+' || *q == '-')
            bExpNegative = (*q++ == '-');
        if (IsDigit(*q)) {
            int nExp = 0;
            for (; IsDigit(*q); ++q)
                if (nExp < 100000)
                    nExp = nExp * 10 + (*q - '0');
            nExponent += bExpNegative ? -nExp : nExp;
            p = q;
        }
    }
    double dValue = static_cast<double>(nMantissa);
    if (nMantissa != 0) {
        if (nExponent < -22 || nExponent > 22)
            return false;
        dValue = nExponent < 0 ? dValue / s_adExactPow10[-nExponent] : dValue * s_adExactPow10[nExponent];
    }
    *pdValue = bNegative ? -dValue : dValue;
    *ppszEnd = p;
    return true;
}

double MifStrToDouble(const char* psz, char** ppszEnd) {
    double dValue = 0.0;
    const char* pszEnd = psz;
    if (ParseDecimalFast(psz, &dValue, &pszEnd)) {
        if (ppszEnd)
            *ppszEnd = const_cast<char*>(pszEnd);
        return dValue;
    }
    return strtod_l(psz, ppszEnd, CLocale());
}

// ---------------------------------------------------------------------------
// Output text
// ---------------------------------------------------------------------------

void MifTextInit(MifText* pText) {
    pText->aBuffer[0] = '\0';
    pText->pszText = pText->aBuffer;
    pText->nLength = 0;
    pText->nCapacity = sizeof(pText->aBuffer);
    pText->nStatus = MIF_OK;
}

void MifTextFree(MifText* pText) {
    if (pText->pszText != pText->aBuffer)
        Z_LocalFree(pText->pszText, __LINE__, __FILE__);
    MifTextInit(pText);
}

// Makes room for nMore characters and the terminator; false once it failed.
bool MifTextReserve(MifText* pText, size_t nMore) {
    if (pText->nStatus != MIF_OK)
        return false;
    size_t nNeeded = pText->nLength + nMore + 1;
    if (nNeeded <= pText->nCapacity)
        return true;
    size_t nCapacity = pText->nCapacity * 2 > nNeeded ? pText->nCapacity * 2 : nNeeded;
    char* pszNew = nCapacity <= static_cast<size_t>(INT32_MAX)
                       ? static_cast<char*>(Z_LocalAlloc(static_cast<int32_t>(nCapacity), 1, __LINE__, __FILE__))
                       : nullptr;
    if (pszNew == nullptr) {
        pText->nStatus = MIF_ERR_NOMEM;
        return false;
    }
    Z_MemoryCopy(pszNew, pText->pszText, pText->nLength + 1);
    if (pText->pszText != pText->aBuffer)
        Z_LocalFree(pText->pszText, __LINE__, __FILE__);
    pText->pszText = pszNew;
    pText->nCapacity = nCapacity;
    return true;
}

void MifTextAppend(MifText* pText, const char* psz, size_t nLength) {
    if (!MifTextReserve(pText, nLength))
        return;
    Z_MemoryCopy(pText->pszText + pText->nLength, psz, nLength);
    pText->nLength += nLength;
    pText->pszText[pText->nLength] = '\0';
}

void MifTextAppendString(MifText* pText, const char* psz) {
    MifTextAppend(pText, psz, strlen(psz));
}

// "00" to "99": digits are written two per division.
static const char s_acDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// Writes the two digits of n (below 100) ending at pszEnd; returns their
// start.
char* FormatPair(unsigned n, char* pszEnd) {
    pszEnd -= 2;
    memcpy(pszEnd, &s_acDigitPairs[2 * n], 2);
    return pszEnd;
}

// Writes the decimal digits of n backwards, ending at pszEnd; returns the
// first digit.
char* FormatUnsigned(unsigned long long n, char* pszEnd) {
    for (; n >= 100; n /= 100)
        pszEnd = FormatPair(static_cast<unsigned>(n % 100), pszEnd);
    if (n >= 10)
        return FormatPair(static_cast<unsigned>(n), pszEnd);
    *--pszEnd = static_cast<char>('0' + n);
    return pszEnd;
}

void MifTextAppendInt(MifText* pText, int nValue) {
    char aDigits[24];
    char* pszEnd = aDigits + sizeof(aDigits);
    unsigned long long nMagnitude = nValue < 0 ? 0ull - static_cast<unsigned long long>(static_cast<long long>(nValue))
                                               : static_cast<unsigned long long>(nValue);
    char* pszStart = FormatUnsigned(nMagnitude, pszEnd);
    if (nValue < 0)
        *--pszStart = '-';
    MifTextAppend(pText, pszStart, static_cast<size_t>(pszEnd - pszStart));
}

// The finite, non-zero double |v| as m * 2^nShift with an integer m below
// 2^53, read from its bits (no library call).
void SplitDouble(double dValue, uint64_t* pnMantissa, int* pnShift) {
    uint64_t nBits = 0;
    memcpy(&nBits, &dValue, sizeof(nBits));
    const uint64_t nFraction = nBits & ((uint64_t(1) << 52) - 1);
    const int nBiased = static_cast<int>((nBits >> 52) & 0x7FF);
    if (nBiased == 0) {  // subnormal
        *pnMantissa = nFraction;
        *pnShift = -1074;
    } else {
        *pnMantissa = nFraction | (uint64_t(1) << 52);
        *pnShift = nBiased - 1075;
    }
}

// m * 2^nShift in millionths, rounded half to even as printf rounds.
unsigned __int128 ScaleToMicros(uint64_t nMantissa, int nShift) {
    if (nShift >= 0)
        return (static_cast<unsigned __int128>(nMantissa) << nShift) * 1000000u;
    if (-nShift >= 100)
        return 0;  // below a hundred-millionth: rounds to zero
    unsigned __int128 nScaled = static_cast<unsigned __int128>(nMantissa) * 1000000u;
    int nDrop = -nShift;
    unsigned __int128 nMicros = nScaled >> nDrop;
    unsigned __int128 nRest = nScaled - (nMicros << nDrop);
    unsigned __int128 nHalf = static_cast<unsigned __int128>(1) << (nDrop - 1);
    if (nRest > nHalf || (nRest == nHalf && (nMicros & 1u)))
        ++nMicros;
    return nMicros;
}

// "%lf" of a finite double below 2^63 in magnitude: the exact binary value
// times one million, rounded half to even as printf rounds it. (The compiler
// builtins keep the C++ library's inline classification functions out of
// the filter's exports.)
bool FormatFixedFast(double dValue, char* pszOut, size_t* pnLength) {
    if (!__builtin_isfinite(dValue) || fabs(dValue) >= 9.2e18)
        return false;
    uint64_t nMantissa = 0;
    int nShift = 0;
    if (dValue != 0)
        SplitDouble(dValue, &nMantissa, &nShift);
    unsigned __int128 nMicros = nMantissa != 0 ? ScaleToMicros(nMantissa, nShift) : 0;
    unsigned long long nWhole;
    unsigned long nFraction;
    if ((nMicros >> 64) == 0) {  // the common case: divides without a library call
        nWhole = static_cast<uint64_t>(nMicros) / 1000000u;
        nFraction = static_cast<unsigned long>(static_cast<uint64_t>(nMicros) % 1000000u);
    } else {
        nWhole = static_cast<unsigned long long>(nMicros / 1000000u);
        nFraction = static_cast<unsigned long>(nMicros % 1000000u);
    }
    char aDigits[32];
    char* pszEnd = aDigits + sizeof(aDigits);
    char* pszStart = pszEnd - 7;
    pszStart[0] = '.';
    for (char* pszPair = pszEnd; pszPair > pszStart + 1; nFraction /= 100)
        pszPair = FormatPair(static_cast<unsigned>(nFraction % 100), pszPair);
    pszStart = FormatUnsigned(nWhole, pszStart);
    if (__builtin_signbit(dValue))
        *--pszStart = '-';
    *pnLength = static_cast<size_t>(pszEnd - pszStart);
    memcpy(pszOut, pszStart, *pnLength);
    return true;
}

void MifTextAppendDouble(MifText* pText, double dValue) {
    // The longest "%lf" of a double is 317 characters (-1.8e308).
    char aNumber[400];
    size_t nLength = 0;
    if (!FormatFixedFast(dValue, aNumber, &nLength)) {
        locale_t hPrevious = uselocale(CLocale());
        int nPrinted = snprintf(aNumber, sizeof(aNumber), "%lf", dValue);
        uselocale(hPrevious);
        nLength = nPrinted > 0 ? static_cast<size_t>(nPrinted) : 0;
    }
    MifTextAppend(pText, aNumber, nLength);
}

void MifTextFormatV(MifText* pText, const char* pszFormat, va_list args) {
    const char* pszLiteral = pszFormat;
    for (const char* p = pszFormat; *p != '\0';) {
        if (*p != '%') {
            ++p;
            continue;
        }
        MifTextAppend(pText, pszLiteral, static_cast<size_t>(p - pszLiteral));
        if (p[1] == 'd') {
            MifTextAppendInt(pText, va_arg(args, int));
            p += 2;
        } else if (p[1] == 'l' && p[2] == 'f') {
            MifTextAppendDouble(pText, va_arg(args, double));
            p += 3;
        } else if (p[1] == 's') {
            MifTextAppendString(pText, va_arg(args, const char*));
            p += 2;
        } else {
            MifTextAppend(pText, "%", 1);  // "%%", or a lone '%' kept as it is
            p += (p[1] == '%') ? 2 : 1;
        }
        pszLiteral = p;
    }
    MifTextAppendString(pText, pszLiteral);
}

void MifTextFormat(MifText* pText, const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    MifTextFormatV(pText, pszFormat, args);
    va_end(args);
}

int MifTextWrite(MifText* pText, CMifFile* pFile) {
    int nRet = pText->nStatus;
    if (nRet == MIF_OK)
        nRet = pFile->WriteText(pText->pszText, pText->nLength);
    MifTextFree(pText);
    return nRet;
}

int MifWriteFormat(CMifFile* pFile, const char* pszFormat, ...) {
    MifText text;
    MifTextInit(&text);
    va_list args;
    va_start(args, pszFormat);
    MifTextFormatV(&text, pszFormat, args);
    va_end(args);
    return MifTextWrite(&text, pFile);
}
