// arguments.h - the command line of mif.
//
//   mif [--filter PATH] info FILE.mif [--json]
//   mif [--filter PATH] check FILE.mif [--json]
//   mif [--filter PATH] render FILE.mif OUT.png|OUT.svg|OUT.pdf [--size WxH]
//                       [--bpp N] [--background RRGGBB] [--no-cache]
//   mif [--filter PATH] convert IN.mif OUT.mif
//   mif [--filter PATH] dump FILE.mif
//   mif --help
//
// Options may stand anywhere after the program name, as "--name value" or
// "--name=value"; each is accepted only by the subcommands it belongs to.
#ifndef TOOLS_MIF_ARGUMENTS_H
#define TOOLS_MIF_ARGUMENTS_H

#include <stdint.h>
#include <stdio.h>

enum { MIF_CMD_NONE, MIF_CMD_INFO, MIF_CMD_RENDER, MIF_CMD_CONVERT, MIF_CMD_DUMP, MIF_CMD_CHECK };

// What ParseCommandLine found.
enum {
    MIF_ARGS_RUN = 0,    // a subcommand to run
    MIF_ARGS_HELP = 1,   // --help: print the usage and stop
    MIF_ARGS_BAD = 2     // bad use: szProblem says what was wrong
};

struct MifCommandLine {
    int nCommand;               // MIF_CMD_*
    const char* pszInput;       // the .mif file read
    const char* pszOutput;      // OUT.png, .svg or .pdf, or OUT.mif
    const char* pszFilter;      // --filter, or null for the bundled filter
    int bJson;                  // info and check --json
    int32_t nWidth;             // render --size, default 800 x 600
    int32_t nHeight;
    int32_t nBitsPerPixel;      // render --bpp, default 24
    int32_t bUseBackground;     // render --background given
    uint32_t crBackground;      // host colour value: red in the lowest byte
    int bNoCache;               // render --no-cache
    char szProblem[160];        // the reason for MIF_ARGS_BAD
};

// Parses argv into pLine and returns one of MIF_ARGS_*.
int ParseCommandLine(int argc, char** argv, MifCommandLine* pLine);

// The full usage text (for --help) and the one-line reminder for bad use.
void PrintUsage(FILE* pOut);
void PrintUsageHint(FILE* pOut);

#endif  // TOOLS_MIF_ARGUMENTS_H
