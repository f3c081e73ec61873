#!/usr/bin/env bash
# Builds and runs every test: the suite as released, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the thread tests under
# ThreadSanitizer, and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

configure() {  # folder, then cmake options
    local folder="$1"; shift
    echo "== $folder: $*"
    cmake -S . -B "$folder" "$@" >/dev/null
}

run_suite() {  # folder, then cmake options
    configure "$@"
    cmake --build "$1" -j"$jobs"
    (cd "$1" && ctest --output-on-failure -j"$jobs")
}

# Runs each fuzz target for a minute from its seeds; new inputs go to a
# temporary folder, and a finding stays there for the report.
fuzz_briefly() {
    local target work
    for target in fuzz_info_raster fuzz_load_save fuzz_save_drawing; do
        work="$(mktemp -d /tmp/fuzz-"$target"-XXXXXX)"
        if ! build-fuzz/bin/"$target" -max_total_time=60 -timeout=60 -dict=fuzz/mif.dict \
                -artifact_prefix="$work/" "$work" fuzz/corpus/"$target" >"$work/log" 2>&1; then
            tail -n 60 "$work/log"
            echo "$target: finding kept in $work"
            return 1
        fi
        echo "$target: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1)"
        rm -rf "$work"
    done
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIF_WERROR=ON
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DMIF_SANITIZE=ON -DMIF_WERROR=ON

configure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DMIF_TSAN=ON -DMIF_WERROR=ON
cmake --build build-tsan -j"$jobs" --target mif_tests
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure --no-tests=error -R 'Thread')

configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DMIF_FUZZ=ON -DMIF_TESTS=OFF -DMIF_WERROR=ON
cmake --build build-fuzz -j"$jobs" --target fuzz_info_raster fuzz_load_save fuzz_save_drawing
fuzz_briefly
