// kernel_read_bench.cpp - the kernel's redirected reads under the line
// reader's pattern: one Z_RedirectedRead per byte, a
// Z_RedirectedSeek(h, -1, 1) after the first byte of every line and after
// the byte that follows a CR. The file is 100 MB of lines of about 30 bytes
// ending in CR LF, made once in $TMPDIR (or /tmp) and removed at exit.
// Target: at least 300 MB/s (the "MB/s" counter) in a Release build.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostapi.h"

namespace {

constexpr size_t kFileBytes = 100u * 1000u * 1000u;

std::string g_path;

void RemoveFile() {
    if (!g_path.empty()) ::unlink(g_path.c_str());
}

// Makes the test file once; returns its path (empty on failure).
const std::string& TestFile() {
    if (!g_path.empty()) return g_path;
    const char* pszBase = std::getenv("TMPDIR");
    std::string pattern = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/zkkrn-bench-XXXXXX";
    int fd = ::mkstemp(&pattern[0]);
    if (fd < 0) return g_path;
    FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        return g_path;
    }
    // Lines like those of a MIF drawing: "Pline 3", "  12.5 -7.25", ...
    size_t nWritten = 0;
    char line[64];
    for (unsigned i = 0; nWritten < kFileBytes; ++i) {
        int n = std::snprintf(line, sizeof line, "    %u.%03u %u.%02u Pen (1,2,%u)\r\n", i % 100000,
                              i % 1000, (i * 7) % 9000, i % 100, i % 16777216);
        if (nWritten + size_t(n) > kFileBytes) n = int(kFileBytes - nWritten);
        std::fwrite(line, 1, size_t(n), f);
        nWritten += size_t(n);
    }
    std::fclose(f);
    g_path = pattern;
    std::atexit(RemoveFile);
    return g_path;
}

// Reports the bytes read per second twice: Google Benchmark's
// bytes_per_second counts in MiB, "MB/s" in millions of bytes.
void SetReadRate(benchmark::State& state) {
    const double dBytes = double(state.iterations()) * double(kFileBytes);
    state.SetBytesProcessed(int64_t(dBytes));
    state.counters["MB/s"] = benchmark::Counter(dBytes / 1e6, benchmark::Counter::kIsRate);
}

// One line as the filter's CMifFile::ReadLine reads it; false at the end.
// Not inlined, like the filter's, which lives in another library.
__attribute__((noinline)) bool ReadLine(tagHANDLE* h, char* pLine, int* pLength) {
    char c;
    if (Z_RedirectedRead(h, &c, 1) != 1) return false;
    Z_RedirectedSeek(h, -1, 1);
    int n = 0;
    for (;;) {
        if (Z_RedirectedRead(h, &c, 1) != 1) break;
        if (c == '\n') break;
        if (c == '\r') {
            char next;
            if (Z_RedirectedRead(h, &next, 1) == 1 && next != '\n') Z_RedirectedSeek(h, -1, 1);
            break;
        }
        if (n < 1023) pLine[n++] = c;
    }
    *pLength = n;
    return true;
}

void BM_LineReaderPattern(benchmark::State& state) {
    const std::string& path = TestFile();
    if (path.empty()) {
        state.SkipWithError("cannot create the test file");
        return;
    }
    char line[1024];
    int64_t nLines = 0;
    for (auto _ : state) {
        tagHANDLE* h = Z_RedirectedOpen(path.c_str(), 0, 256);
        if (!h) {
            state.SkipWithError("cannot open the test file");
            return;
        }
        int n = 0;
        int64_t nChars = 0;
        while (ReadLine(h, line, &n)) {
            ++nLines;
            nChars += n;
        }
        benchmark::DoNotOptimize(nChars);
        benchmark::DoNotOptimize(line);
        Z_RedirectedClose(h);
    }
    SetReadRate(state);
    state.counters["lines"] = benchmark::Counter(double(nLines) / double(state.iterations()));
}
BENCHMARK(BM_LineReaderPattern)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One byte per call with no step back: the floor of the pattern above.
void BM_PerByteRead(benchmark::State& state) {
    const std::string& path = TestFile();
    if (path.empty()) {
        state.SkipWithError("cannot create the test file");
        return;
    }
    for (auto _ : state) {
        tagHANDLE* h = Z_RedirectedOpen(path.c_str(), 0, 256);
        if (!h) {
            state.SkipWithError("cannot open the test file");
            return;
        }
        char c;
        unsigned nSum = 0;
        while (Z_RedirectedRead(h, &c, 1) == 1) nSum += unsigned(c);
        benchmark::DoNotOptimize(nSum);
        Z_RedirectedClose(h);
    }
    SetReadRate(state);
}
BENCHMARK(BM_PerByteRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The floor of any design with one call per byte: an exported kernel call
// that does nothing (Z_MemorySet of 0 bytes), made once per byte of the
// file. On a shared or loaded machine, compare the two benchmarks above
// with this one rather than with the target alone.
void BM_CallFloor(benchmark::State& state) {
    for (auto _ : state) {
        char c = 0;
        for (size_t i = 0; i < kFileBytes; ++i) {
            Z_MemorySet(nullptr, 0, 0);
            benchmark::DoNotOptimize(c);
        }
    }
    SetReadRate(state);
}
BENCHMARK(BM_CallFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
