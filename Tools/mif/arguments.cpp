// arguments.cpp - table-driven parsing of the subcommand, its operands and
// its options.
#include "arguments.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace {

const int32_t DEFAULT_WIDTH = 800;
const int32_t DEFAULT_HEIGHT = 600;
const int32_t DEFAULT_BITS_PER_PIXEL = 24;
const long MAX_RASTER_SIDE = 8192;

struct Subcommand {
    const char* pszName;
    int nCommand;
    int nOperands;          // FILE.mif, and OUT for render and convert
};

const Subcommand SUBCOMMANDS[] = {
    {"info", MIF_CMD_INFO, 1},
    {"render", MIF_CMD_RENDER, 2},
    {"convert", MIF_CMD_CONVERT, 2},
    {"dump", MIF_CMD_DUMP, 1},
    {"check", MIF_CMD_CHECK, 1},
};

// The subcommands an option belongs to, as a bit per MIF_CMD_* value.
const unsigned ANY_COMMAND = ~0u;
const unsigned INFO_AND_CHECK = (1u << MIF_CMD_INFO) | (1u << MIF_CMD_CHECK);
const unsigned RENDER_ONLY = 1u << MIF_CMD_RENDER;

typedef int (*PFNOPTION)(MifCommandLine* pLine, const char* pszValue);

struct Option {
    const char* pszName;
    int bTakesValue;
    unsigned uCommands;
    PFNOPTION pfnApply;
};

int Problem(MifCommandLine* pLine, const char* pszWhat, const char* pszDetail)
{
    snprintf(pLine->szProblem, sizeof pLine->szProblem, "%s '%s'", pszWhat, pszDetail);
    return 0;
}

// A whole decimal number from 1 to nMax, ending at the first cEnd.
int ParseSide(const char* pszText, char cEnd, long nMax, int32_t* pnValue, const char** ppszEnd)
{
    char* pszEnd = nullptr;
    if (*pszText < '0' || *pszText > '9')
        return 0;
    long nValue = strtol(pszText, &pszEnd, 10);
    if (*pszEnd != cEnd || nValue < 1 || nValue > nMax)
        return 0;
    *pnValue = (int32_t)nValue;
    *ppszEnd = pszEnd;
    return 1;
}

int ApplyFilter(MifCommandLine* pLine, const char* pszValue)
{
    pLine->pszFilter = pszValue;
    return 1;
}

int ApplyJson(MifCommandLine* pLine, const char*)
{
    pLine->bJson = 1;
    return 1;
}

int ApplyNoCache(MifCommandLine* pLine, const char*)
{
    pLine->bNoCache = 1;
    return 1;
}

int ApplySize(MifCommandLine* pLine, const char* pszValue)
{
    const char* pszRest = nullptr;
    if (!ParseSide(pszValue, 'x', MAX_RASTER_SIDE, &pLine->nWidth, &pszRest) ||
        !ParseSide(pszRest + 1, '\0', MAX_RASTER_SIDE, &pLine->nHeight, &pszRest))
        return Problem(pLine, "--size takes WxH, each from 1 to 8192, not", pszValue);
    return 1;
}

int ApplyBitsPerPixel(MifCommandLine* pLine, const char* pszValue)
{
    static const int32_t anAllowed[] = {1, 4, 8, 16, 24, 32};
    int32_t nBits = 0;
    const char* pszRest = nullptr;
    if (ParseSide(pszValue, '\0', 32, &nBits, &pszRest))
        for (int32_t nAllowed : anAllowed)
            if (nBits == nAllowed) {
                pLine->nBitsPerPixel = nBits;
                return 1;
            }
    return Problem(pLine, "--bpp takes 1, 4, 8, 16, 24 or 32, not", pszValue);
}

// RRGGBB as written on the web; the host wants red in the lowest byte.
int ApplyBackground(MifCommandLine* pLine, const char* pszValue)
{
    if (strlen(pszValue) != 6 || strspn(pszValue, "0123456789abcdefABCDEF") != 6)
        return Problem(pLine, "--background takes RRGGBB in hexadecimal, not", pszValue);
    unsigned long nRgb = strtoul(pszValue, nullptr, 16);
    pLine->bUseBackground = 1;
    pLine->crBackground = (uint32_t)(((nRgb >> 16) & 0xFF) | (nRgb & 0xFF00) | ((nRgb & 0xFF) << 16));
    return 1;
}

const Option OPTIONS[] = {
    {"--filter", 1, ANY_COMMAND, ApplyFilter},
    {"--json", 0, INFO_AND_CHECK, ApplyJson},
    {"--size", 1, RENDER_ONLY, ApplySize},
    {"--bpp", 1, RENDER_ONLY, ApplyBitsPerPixel},
    {"--background", 1, RENDER_ONLY, ApplyBackground},
    {"--no-cache", 0, RENDER_ONLY, ApplyNoCache},
};

const Subcommand* FindSubcommand(const char* pszName)
{
    for (const Subcommand& command : SUBCOMMANDS)
        if (strcmp(command.pszName, pszName) == 0)
            return &command;
    return nullptr;
}

// Finds the option named by pszArg ("--name" or "--name=value"); sets
// *ppszInlineValue to the text after '=', or null.
const Option* FindOption(const char* pszArg, const char** ppszInlineValue)
{
    size_t nNameLength = strcspn(pszArg, "=");
    for (const Option& option : OPTIONS)
        if (strlen(option.pszName) == nNameLength &&
            strncmp(option.pszName, pszArg, nNameLength) == 0) {
            *ppszInlineValue = pszArg[nNameLength] == '=' ? pszArg + nNameLength + 1 : nullptr;
            return &option;
        }
    return nullptr;
}

void SetDefaults(MifCommandLine* pLine)
{
    memset(pLine, 0, sizeof *pLine);
    pLine->nWidth = DEFAULT_WIDTH;
    pLine->nHeight = DEFAULT_HEIGHT;
    pLine->nBitsPerPixel = DEFAULT_BITS_PER_PIXEL;
}

int IsHelp(const char* pszArg)
{
    return strcmp(pszArg, "--help") == 0 || strcmp(pszArg, "-h") == 0;
}

// Options are applied once the subcommand is known, so that an option given
// before it is checked against it as well.
int ApplyOptions(int argc, char** argv, MifCommandLine* pLine)
{
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--", 2) != 0)
            continue;
        const char* pszValue = nullptr;
        const Option* pOption = FindOption(argv[i], &pszValue);
        if (pOption == nullptr)
            return Problem(pLine, "unknown option", argv[i]);
        if ((pOption->uCommands & (1u << pLine->nCommand)) == 0)
            return Problem(pLine, "option not accepted by this subcommand:", pOption->pszName);
        if (pOption->bTakesValue && pszValue == nullptr) {
            if (i + 1 >= argc)
                return Problem(pLine, "missing value after", argv[i]);
            pszValue = argv[++i];
        } else if (!pOption->bTakesValue && pszValue != nullptr) {
            return Problem(pLine, "option takes no value:", argv[i]);
        }
        if (!pOption->pfnApply(pLine, pszValue))
            return 0;
    }
    return 1;
}

// The words that are not options or option values, in order.
int CollectOperands(int argc, char** argv, const char** apszOperands, int nMax)
{
    int nOperands = 0;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--", 2) == 0) {
            const char* pszValue = nullptr;
            const Option* pOption = FindOption(argv[i], &pszValue);
            if (pOption != nullptr && pOption->bTakesValue && pszValue == nullptr)
                ++i;
            continue;
        }
        if (nOperands < nMax)
            apszOperands[nOperands] = argv[i];
        ++nOperands;
    }
    return nOperands;
}

int EndsWithMif(const char* pszPath)
{
    size_t nLength = strlen(pszPath);
    return nLength > 4 && strcasecmp(pszPath + nLength - 4, ".mif") == 0;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, MifCommandLine* pLine)
{
    SetDefaults(pLine);
    for (int i = 1; i < argc; ++i)
        if (IsHelp(argv[i]))
            return MIF_ARGS_HELP;

    const char* apszOperands[3] = {nullptr, nullptr, nullptr};
    int nOperands = CollectOperands(argc, argv, apszOperands, 3);
    if (nOperands == 0) {
        snprintf(pLine->szProblem, sizeof pLine->szProblem, "no subcommand given");
        return MIF_ARGS_BAD;
    }
    const Subcommand* pCommand = FindSubcommand(apszOperands[0]);
    if (pCommand == nullptr) {
        Problem(pLine, "unknown subcommand", apszOperands[0]);
        return MIF_ARGS_BAD;
    }
    pLine->nCommand = pCommand->nCommand;
    if (nOperands - 1 != pCommand->nOperands) {
        snprintf(pLine->szProblem, sizeof pLine->szProblem, "%s takes %d file name%s, not %d",
                 pCommand->pszName, pCommand->nOperands, pCommand->nOperands > 1 ? "s" : "",
                 nOperands - 1);
        return MIF_ARGS_BAD;
    }
    pLine->pszInput = apszOperands[1];
    pLine->pszOutput = apszOperands[2];
    if (!ApplyOptions(argc, argv, pLine))
        return MIF_ARGS_BAD;
    if (pLine->nCommand == MIF_CMD_CONVERT && !EndsWithMif(pLine->pszOutput)) {
        Problem(pLine, "the converted file must end in .mif, not", pLine->pszOutput);
        return MIF_ARGS_BAD;
    }
    return MIF_ARGS_RUN;
}

void PrintUsage(FILE* pOut)
{
    fputs("usage: mif [--filter PATH] info FILE.mif [--json]\n"
          "       mif [--filter PATH] check FILE.mif [--json]\n"
          "       mif [--filter PATH] render FILE.mif OUT.png|OUT.svg|OUT.pdf [--size WxH]\n"
          "                           [--bpp 1|4|8|16|24|32] [--background RRGGBB] [--no-cache]\n"
          "       mif [--filter PATH] convert IN.mif OUT.mif\n"
          "       mif [--filter PATH] dump FILE.mif\n"
          "\n"
          "  info     the page size, extents and objects the filter reports for FILE.mif\n"
          "  check    what the filter makes of FILE.mif, line by line: the header's verdict,\n"
          "           each object added, every line no object took and why, clause lines\n"
          "           that gave no values, and where and why the load ended; exit status 0\n"
          "           only when the whole file loads and nothing is lost\n"
          "  render   draws FILE.mif into OUT (default 800x600); the extension picks the\n"
          "           kind: a PNG of 24 bits per pixel, or an SVG or PDF page in points\n"
          "           whose texts stay text and lines stay lines\n"
          "  convert  reads IN.mif and writes it anew as OUT.mif and OUT.mid\n"
          "  dump     prints every object of FILE.mif as JSON\n"
          "\n"
          "  --filter PATH   the filter library to load (default: ../lib/libzfmif.so.19\n"
          "                  beside this program)\n"
          "  --json          info or check as one JSON object\n"
          "  --size WxH      size of the picture in pixels (PNG) or points (SVG, PDF)\n"
          "  --bpp N         bits per pixel the filter delivers (PNG)\n"
          "  --background    fill colour behind the drawing, as RRGGBB\n"
          "  --no-cache      let the load parse the file itself instead of reusing info (PNG)\n"
          "\n"
          "Exit status: 0 on success, 1 when the filter or a file failed (for check: when\n"
          "something was lost or refused), 2 for bad use.\n",
          pOut);
}

void PrintUsageHint(FILE* pOut)
{
    fputs("usage: mif info|check|render|convert|dump FILE.mif [OUT] [options]  (mif --help for more)\n",
          pOut);
}
