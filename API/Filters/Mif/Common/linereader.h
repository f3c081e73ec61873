// linereader.h - the MIF line reader and tokenizer, and the text writer.
//
// MIF is read one text line at a time and taken apart word by word. A
// CMifFile holds a host file handle, the current line (at most 1023
// characters) and a cursor into it; the free functions below move any cursor
// (a character pointer and a count, by reference) across a line. On the save
// path the same class holds an output handle, and every piece of MIF text is
// written with one host write (WriteText).
//
// Numbers are converted and formatted exactly as strtol, strtod and sprintf
// ("%d", "%lf") do in the "C" locale, whatever locale the host has set.
#ifndef API_FILTERS_MIF_COMMON_LINEREADER_H
#define API_FILTERS_MIF_COMMON_LINEREADER_H

#include <stddef.h>

#include "hostapi.h"

enum {
    MIF_NAME_SIZE = 264,
    MIF_LINE_SIZE = 1024,        // line buffer: 1023 characters and a NUL
    MIF_MAX_LINE = MIF_LINE_SIZE - 1
};

class CMifFile {
public:
    char m_szName[MIF_NAME_SIZE];  // a name no operation fills
    tagHANDLE* m_hFile;            // null or all ones: no file bound
    int m_bOwnHandle;              // non-zero: destruction closes m_hFile
    char m_szLine[MIF_LINE_SIZE];  // the current line, NUL-terminated
    char* m_pszCurrent;            // the cursor inside m_szLine
    int m_nLineLength;             // characters of the current line
    int m_nRemaining;              // characters from the cursor; -1 exhausted
    int m_bReadNewLine;            // 0: the current line was pushed back

    CMifFile();
    ~CMifFile();
    CMifFile(const CMifFile&) = delete;
    CMifFile& operator=(const CMifFile&) = delete;

    // Binds a handle (closing a former one); -14 for no handle, else 1.
    int Open(tagHANDLE* hFile, int bOwnHandle);
    // Closes the bound handle, whoever owns it, and resets the reader.
    void Close();
    // Reads one raw line into pBuffer (1024 bytes) and stores its length.
    // 1: a line; 2: end of file; -261: no file; -13: no buffer or length;
    // -14: the file failed to deliver the line's first byte. Characters past
    // the 1023rd of a longer line are read and dropped: the line is cut.
    int ReadLine(void* pBuffer, int* pnLength);
    // Makes the next line current, or hands back a pushed-back line.
    int LineRead();
    // Puts the cursor on the first non-space character of the line.
    int LineMoveToStart();
    // Moves the cursor to the word after the next cSeparator.
    int LineMoveToNext(char cSeparator);
    // Moves the cursor to word nWord (0 is the first word).
    int LineMoveToWord(int nWord, char cSeparator);
    // The number at the cursor (strtol base 10 / strtod); 0 when the cursor
    // is exhausted, so no value ever comes from outside the current line.
    long LineGetInteger();
    double LineGetDouble();
    // 1 unless the cursor is exhausted (skips spaces at the cursor).
    int LineIsEmpty();
    // 1 while the cursor has not passed the first word's first character.
    int LineIsVirgin();
    // Writes nLength bytes with one host write: 1, or -5 when the write is
    // short or no file is bound.
    int WriteText(const char* pszText, size_t nLength);
};

// Skips spaces (character 32 only). 2 for an exhausted cursor, else 1.
int GetStringStart(char*& pszCursor, int& nRemaining);
// Steps past the next cSeparator and the spaces after it; 2 and an
// exhausted cursor when the rest of the line holds none.
int GetNextWord(char*& pszCursor, int& nRemaining, char cSeparator);
// The next space-separated word as a 32-bit integer or a double.
int GetNextInteger(char*& pszCursor, int& nRemaining, int& nValue);
int GetNextDouble(char*& pszCursor, int& nRemaining, double& dValue);
// Occurrences of c in a NUL-terminated text.
int GetNumChars(char* pszText, char c);
// Characters of the longest LF-separated line of a text.
int GetTextWidthInChar(char* pszText);

// True for a handle that names a file (neither null nor all ones).
bool HasFile(tagHANDLE* hFile);
// Compares like strncasecmp in the "C" locale (ASCII letters only), so a
// host's locale never changes which keyword a line is.
bool MifEqualNoCase(const char* pszA, const char* pszB, size_t nCount);
// The keyword test: the text at the cursor equals the keyword, without
// regard to case, over the smaller of nRemaining and the keyword's length.
// So a line that begins with the keyword matches, and so does a line whose
// whole rest is a beginning of it (an empty rest matches every keyword).
bool IsKeyword(const char* pszCursor, int nRemaining, const char* pszKeyword);

// Conversions of the "C" locale, independent of the host's locale.
// MifStrToLong behaves as strtol(psz, &pszEnd, 10); MifStrToDouble as
// strtod(psz, &pszEnd). Both accept a null pszEnd.
long MifStrToLong(const char* psz, char** ppszEnd);
double MifStrToDouble(const char* psz, char** ppszEnd);

// A growing text for one piece of MIF output. It starts in its own
// 1024-byte buffer and moves to kernel memory only for longer pieces (long
// TEXT strings, coordinates of hundreds of digits), so no piece is ever cut.
struct MifText {
    char aBuffer[MIF_LINE_SIZE];
    char* pszText;      // aBuffer, or a kernel block
    size_t nLength;
    size_t nCapacity;
    int nStatus;        // 1, or -1 once growing failed
};

void MifTextInit(MifText* pText);
void MifTextFree(MifText* pText);
void MifTextAppend(MifText* pText, const char* psz, size_t nLength);
void MifTextAppendString(MifText* pText, const char* psz);
// "%d" and "%lf" of the "C" locale.
void MifTextAppendInt(MifText* pText, int nValue);
void MifTextAppendDouble(MifText* pText, double dValue);
// Appends text by a format of "%d" (int), "%lf" (double), "%s" (string)
// and "%%", the conversions of the "C" locale.
void MifTextFormat(MifText* pText, const char* pszFormat, ...);
// Writes the text with one host write and releases it: 1, -5 for a short
// write or no file, -1 when the text could not be built.
int MifTextWrite(MifText* pText, CMifFile* pFile);
// Formats one piece of MIF text (as MifTextFormat) and writes it with one
// host write: 1, -5 or -1 as MifTextWrite.
int MifWriteFormat(CMifFile* pFile, const char* pszFormat, ...);

#endif  // API_FILTERS_MIF_COMMON_LINEREADER_H
