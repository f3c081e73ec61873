// progress.cpp - the kernel progress hook behind BeginProgress.
#include "progress.h"

#include <stdint.h>
#include <stdio.h>
#include <unistd.h>

#include "kernel_testing.h"

namespace {

const double PROGRESS_DELAY_SECONDS = 1.0;

double SecondsSince(const struct timespec& tsStart)
{
    struct timespec tsNow;
    clock_gettime(CLOCK_MONOTONIC, &tsNow);
    return (double)(tsNow.tv_sec - tsStart.tv_sec) +
           (double)(tsNow.tv_nsec - tsStart.tv_nsec) / 1e9;
}

void ShowProgress(uint64_t nDone, uint64_t nTotal, void* pUser)
{
    ProgressState* pState = static_cast<ProgressState*>(pUser);
    if (nTotal == 0 || SecondsSince(pState->tsStart) < PROGRESS_DELAY_SECONDS)
        return;
    int nPercent = nDone >= nTotal ? 100 : (int)(nDone * 100 / nTotal);
    if (pState->bShown && nPercent == pState->nLastPercent)
        return;
    fprintf(stderr, "\rmif: reading %3d%%", nPercent);
    fflush(stderr);
    pState->bShown = 1;
    pState->nLastPercent = nPercent;
}

}  // namespace

void BeginProgress(ProgressState* pState)
{
    clock_gettime(CLOCK_MONOTONIC, &pState->tsStart);
    pState->bShown = 0;
    pState->nLastPercent = -1;
    if (isatty(STDERR_FILENO))
        Zk_SetProgressHook(ShowProgress, pState);
}

void EndProgress(ProgressState* pState)
{
    Zk_SetProgressHook(nullptr, nullptr);
    if (pState->bShown)
        fputs("\r\033[K", stderr);
    pState->bShown = 0;
}
