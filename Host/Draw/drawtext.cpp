// drawtext.cpp - sets texts with cairo's text calls, so that vector output
// keeps them as text. The 8-bit string is taken as UTF-8 when it is valid
// UTF-8 and as Latin-1 otherwise (MIF files are mostly written in a Windows
// Latin code page); cairo refuses invalid UTF-8 outright.
#include "drawtext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "drawstyle.h"

namespace {

constexpr double kMinHeight = 1.0 / 64;   // device units; below, nothing shows
constexpr int32_t kBoldWeight = 600;
constexpr char kDefaultFace[] = "sans-serif";
constexpr double kFontSizeStep = 0.25;  // device pixels

// Cairo's scaled fonts and their glyph caches are shared by every context,
// and this cairo (1.16) crashes when two threads set text at once, so texts
// are set one at a time, whatever context they go to.
std::mutex g_textMutex;

// Length of the UTF-8 sequence at p (1 to 4 bytes) when it encodes a
// character cairo accepts, otherwise 0. Cairo rejects overlong forms,
// surrogates, values above U+10FFFF and the noncharacters.
int GetUtf8SequenceLength(const unsigned char* p) {
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t nChar;
    int nLength;
    if (p[0] < 0x80)
        return 1;
    if ((p[0] & 0xE0) == 0xC0) {
        nLength = 2;
        nChar = p[0] & 0x1F;
    } else if ((p[0] & 0xF0) == 0xE0) {
        nLength = 3;
        nChar = p[0] & 0x0F;
    } else if ((p[0] & 0xF8) == 0xF0) {
        nLength = 4;
        nChar = p[0] & 0x07;
    } else {
        return 0;
    }
    // A NUL ends the loop too, since it is no continuation byte.
    for (int i = 1; i < nLength; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        nChar = (nChar << 6) | (p[i] & 0x3F);
    }
    bool bValid = nChar >= kSmallest[nLength] && nChar <= 0x10FFFF &&
                  (nChar < 0xD800 || nChar > 0xDFFF) &&
                  (nChar < 0xFDD0 || nChar > 0xFDEF) && (nChar & 0xFFFE) != 0xFFFE;
    return bValid ? nLength : 0;
}

bool IsValidUtf8(const char* pszText) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText);
    while (*p != 0) {
        int nLength = GetUtf8SequenceLength(p);
        if (nLength == 0)
            return false;
        p += nLength;
    }
    return true;
}

// Copies the text as UTF-8 into a new block (free it with free), with every
// control character shown as a space: a text is drawn as one line. Returns
// null when memory is short.
char* CopyAsUtf8(const char* pszText) {
    size_t nLength = std::strlen(pszText);
    char* pszCopy = static_cast<char*>(std::malloc(2 * nLength + 1));
    if (pszCopy == nullptr)
        return nullptr;
    bool bLatin1 = !IsValidUtf8(pszText);
    char* pOut = pszCopy;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pszText); *p != 0; ++p) {
        if (bLatin1 && *p >= 0x80) {
            *pOut++ = static_cast<char>(0xC0 | (*p >> 6));
            *pOut++ = static_cast<char>(0x80 | (*p & 0x3F));
        } else if (*p < 0x20) {
            *pOut++ = ' ';
        } else {
            *pOut++ = static_cast<char>(*p);
        }
    }
    *pOut = 0;
    return pszCopy;
}

// The text's box in device units.
struct TextBox {
    double dLeft;
    double dTop;
    double dWidth;
    double dHeight;
};

// The box is as wide as the characters (bytes, as the vector kernel counts
// them) times the character width, and one character height high.
bool MapTextBox(const DrawMap& map, const _VECTORTEXTA& text, TextBox* pBox) {
    DevicePoint ptAnchor;
    if (!MapPoint(map, text.ptAnchor.x, text.ptAnchor.y, &ptAnchor) ||
        !MapLength(text.dCharHeight, map.dScaleY, &pBox->dHeight) ||
        !MapLength(text.dCharWidth * std::strlen(text.pszText), map.dScaleX, &pBox->dWidth) ||
        pBox->dHeight < kMinHeight)
        return false;
    pBox->dLeft = ptAnchor.dX;
    pBox->dTop = ptAnchor.dY;
    if (text.uFormat & VTEXT_VCENTER)
        pBox->dTop -= pBox->dHeight / 2;
    else if (text.uFormat & VTEXT_BOTTOM)
        pBox->dTop -= pBox->dHeight;
    return true;
}

void SelectFont(cairo_t* pCairo, const _VECTORFONTA& font) {
    // The face name need not be terminated within its field.
    char szFace[sizeof(font.szFaceName) + 1];
    size_t nLength = strnlen(font.szFaceName, sizeof(font.szFaceName));
    std::memcpy(szFace, font.szFaceName, nLength);
    szFace[nLength] = 0;
    cairo_select_font_face(pCairo, nLength > 0 ? szFace : kDefaultFace,
                           font.bItalic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           font.nWeight >= kBoldWeight ? CAIRO_FONT_WEIGHT_BOLD
                                                       : CAIRO_FONT_WEIGHT_NORMAL);
}

// Font sizes are taken in steps of a quarter pixel, so that texts of
// nearly the same height share one of cairo's scaled fonts and its glyphs
// instead of each making its own; a text is then at most an eighth of a
// pixel shorter or taller than its box.
double QuantizeFontSize(double dSize) {
    return std::max(kFontSizeStep, std::round(dSize / kFontSizeStep) * kFontSizeStep);
}

// Sizes the font so that its ascent and descent fill the box's height;
// returns the font size and the ascent through pdAscent. Unhinted extents
// grow in proportion to the size.
double FitFontToHeight(cairo_t* pCairo, double dHeight, double* pdAscent) {
    const double dProbe = QuantizeFontSize(dHeight);
    cairo_set_font_size(pCairo, dProbe);
    cairo_font_extents_t extents;
    cairo_font_extents(pCairo, &extents);
    double dFull = extents.ascent + extents.descent;
    double dSize = QuantizeFontSize(dFull > 0 ? dHeight * dProbe / dFull : dHeight);
    cairo_set_font_size(pCairo, dSize);
    *pdAscent = extents.ascent * dSize / dProbe;
    return dSize;
}

}  // namespace

void PaintText(cairo_t* pCairo, const DrawMap& map, const _VECTORTEXTA& text) {
    TextBox box;
    if (text.pszText == nullptr || text.pszText[0] == 0 || !MapTextBox(map, text, &box))
        return;
    char* pszLine = CopyAsUtf8(text.pszText);
    if (pszLine == nullptr)
        return;
    std::lock_guard<std::mutex> lock(g_textMutex);
    SelectFont(pCairo, text.font);
    double dAscent;
    double dFontSize = FitFontToHeight(pCairo, box.dHeight, &dAscent);
    cairo_text_extents_t extents;
    cairo_text_extents(pCairo, pszLine, &extents);
    double dX = box.dLeft, dBaseline = box.dTop + dAscent;
    if (text.uFormat & VTEXT_CENTER)
        dX += (box.dWidth - extents.x_advance) / 2;
    else if (text.uFormat & VTEXT_RIGHT)
        dX += box.dWidth - extents.x_advance;

    SetSourceColor(pCairo, text.pen.crColor);
    cairo_move_to(pCairo, dX, dBaseline);
    cairo_show_text(pCairo, pszLine);
    if (text.font.bUnderline) {
        // Below the baseline by about its own thickness.
        double dThickness = dFontSize / 14;
        cairo_rectangle(pCairo, dX, dBaseline + dThickness, extents.x_advance, dThickness);
        cairo_fill(pCairo);
    }
    std::free(pszLine);
}
