// progress.h - a percentage on the terminal while a long load reads its file.
//
// The kernel reports how far a file has been read through its progress hook.
// A load that ends within a second shows nothing; after that, and only when
// stderr is a terminal, a "\r"-refreshed percentage line appears, and it is
// wiped again when the load ends, so that pipes and logs never see it.
#ifndef TOOLS_MIF_PROGRESS_H
#define TOOLS_MIF_PROGRESS_H

#include <time.h>

struct ProgressState {
    struct timespec tsStart;   // when the load began (monotonic clock)
    int bShown;                // a percentage line is on the terminal
    int nLastPercent;          // the percentage last printed
};

// Hooks the kernel's progress reports when stderr is a terminal.
void BeginProgress(ProgressState* pState);

// Unhooks the reports and wipes the percentage line if one was printed.
void EndProgress(ProgressState* pState);

#endif  // TOOLS_MIF_PROGRESS_H
