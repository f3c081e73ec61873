// measure.cpp - runs one command and reports its wall time and peak
// resident memory, for the benchmark script.
//
//   measure RESULT_FILE COMMAND [ARGUMENTS...]
//
// The command's standard output is discarded (its errors are not). One line
// "WALL_SECONDS CPU_SECONDS PEAK_KIB STATUS" is appended to RESULT_FILE: the
// CPU time is user plus system time, which other work on a busy machine
// inflates far less than the wall time; the peak is the child's ru_maxrss
// from wait4. Exit status: the command's, or 127 when it
// could not be started.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

double Seconds(const timeval& tv) {
    return double(tv.tv_sec) + double(tv.tv_usec) * 1e-6;
}

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Starts the command with its output going nowhere; -1 on failure.
pid_t Start(char** argv) {
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int fdNull = open("/dev/null", O_WRONLY);
    if (fdNull >= 0)
        dup2(fdNull, STDOUT_FILENO);
    execvp(argv[0], argv);
    perror(argv[0]);
    _exit(127);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fputs("usage: measure RESULT_FILE COMMAND [ARGUMENTS...]\n", stderr);
        return 2;
    }
    double dStart = Now();
    pid_t pid = Start(argv + 2);
    if (pid < 0) {
        perror("fork");
        return 127;
    }
    int nStatus = 0;
    rusage usage = {};
    while (wait4(pid, &nStatus, 0, &usage) < 0 && errno == EINTR) {
    }
    double dSeconds = Now() - dStart;
    int nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    FILE* pOut = fopen(argv[1], "a");
    if (pOut == nullptr || fprintf(pOut, "%.4f %.4f %ld %d\n", dSeconds,
                                      Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss,
                                      nExit) < 0) {
        perror(argv[1]);
        nExit = 127;
    }
    if (pOut != nullptr)
        fclose(pOut);
    return nExit;
}
