#!/usr/bin/env bash
# Times the MIF filter through the mif program on large generated drawings,
# side by side with GDAL/OGR's MapInfo driver, and prints one table.
#
#   bench/run.sh
#
# Builds a Release tree (build-bench), generates the drawings once (cached in
# $MIF_BENCH_DATA, /tmp/mif-bench by default) and runs every case
# $MIF_BENCH_RUNS times (3 by default), the cases alternating within each
# round; the table shows medians. Ours: mif info (a full load into the
# vector kernel), mif convert (load and save), mif render at 2048x2048 with
# the drawing kept from the info call and with --no-cache. The peers, when
# GDAL is installed: ogr_read (every vertex through the GDAL library),
# ogr2ogr to MIF, and gdal_rasterize to a 2048x2048 GTiff.
#
# Settings: MIF_BENCH_SIZES (megabytes, "50 200"), MIF_BENCH_RUNS,
# MIF_BENCH_DATA, MIF_BENCH_BUILD, MIF_BENCH_NO_PEERS=1 (ours only).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${MIF_BENCH_BUILD:-$root/build-bench}"
data="${MIF_BENCH_DATA:-/tmp/mif-bench}"
runs="${MIF_BENCH_RUNS:-3}"
sizes="${MIF_BENCH_SIZES:-50 200}"
bin="$build/bin"

install_tools() {
    scripts/install-deps.sh
    [ "${MIF_BENCH_NO_PEERS:-0}" = 1 ] && return
    local missing=()
    for package in gdal-bin libgdal-dev; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "installing: ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null ||
            echo "could not install ${missing[*]}: the peers are left out"
    fi
}

build_tools() {
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMIF_BENCH=ON >/dev/null
    cmake --build "$build" -j2 --target bench_tools >/dev/null
}

have_peers() {
    [ "${MIF_BENCH_NO_PEERS:-0}" != 1 ] && [ -x "$bin/ogr_read" ] &&
        command -v ogr2ogr >/dev/null && command -v gdal_rasterize >/dev/null
}

# The drawing of $1 megabytes; made once (the generator is deterministic).
drawing() {
    local path="$data/drawing-${1}mb.mif"
    if [ ! -s "$path" ] || [ ! -s "${path%.mif}.mid" ]; then
        echo "generating $path" >&2
        "$bin/generate_mif" "$path" "$1"
    fi
    echo "$path"
}

# Runs case $1 on drawing $2 (of $3 megabytes) once, appending "wall_s
# cpu_s peak_kib status" to the case's result file.
run_case() {
    local name="$1" input="$2" out="$data/out" results="$data/results/$1-$3"
    rm -rf "$out" && mkdir -p "$out"
    local command
    case "$name" in
    info) command=("$bin/mif" info "$input") ;;
    convert) command=("$bin/mif" convert "$input" "$out/out.mif") ;;
    render) command=("$bin/mif" render "$input" "$out/out.png" --size 2048x2048) ;;
    render-nocache) command=("$bin/mif" render "$input" "$out/out.png" --size 2048x2048 --no-cache) ;;
    ogr_read) command=("$bin/ogr_read" "$input") ;;
    ogr2ogr) command=(ogr2ogr -f "MapInfo File" -dsco FORMAT=MIF "$out/out.mif" "$input") ;;
    gdal_rasterize) command=(gdal_rasterize -q -ts 2048 2048 -burn 255 -ot Byte -of GTiff "$input" "$out/out.tif") ;;
    esac
    if ! "$bin/measure" "$results" "${command[@]}"; then
        echo "failed: ${command[*]}" >&2
        exit 1
    fi
    rm -rf "$out"
}

# Median of column $2 of result file $1 (1 wall, 2 CPU, 3 peak).
median() {
    awk -v c="$2" '{print $c}' "$1" | sort -g |
        awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# "wall cpu peak" medians of case $1 on size $2, or "" when it did not run.
medians() {
    local file="$data/results/$1-$2"
    [ -s "$file" ] && echo "$(median "$file" 1) $(median "$file" 2) $(median "$file" 3)"
}

# One table row: operation, size, our case, the peer's case.
row() {
    local operation="$1" size="$2" ours peer megabytes
    ours="$(medians "$3" "$size")"
    peer="$(medians "$4" "$size" || true)"
    megabytes="$(stat -L -c %s "$(drawing "$size")")"
    awk -v op="$operation" -v b="$megabytes" -v ours="$ours" -v pn="$4" -v peer="$peer" 'BEGIN {
        mb = b / 1e6
        split(ours, o, " ")
        printf "%-16s %5.0f | %7.2f %7.2f %7.1f %7.1f %6.0f |", op, mb, o[1], o[2], mb / o[1], mb / o[2], o[3] / 1024
        if (peer == "") { printf " %-14s\n", "-"; exit }
        split(peer, p, " ")
        printf " %-14s %7.2f %7.2f %6.1f %6.1f %6.0f | %6.1fx %6.1fx\n", pn, p[1], p[2], mb / p[1], mb / p[2],
            p[3] / 1024, p[1] / o[1], p[2] / o[2] }'
}

print_table() {
    printf "\nmedians of %s runs; MB = 10^6 bytes of .mif; wall and CPU (user + system) seconds and MB/s;\n" "$runs"
    printf "peak = peak resident memory in MiB; ratio = peer time / our time\n\n"
    printf "%-16s %5s | %7s %7s %7s %7s %6s | %-14s %7s %7s %6s %6s %6s | %7s %7s\n" operation MB \
        wall cpu "MB/s" "MB/s" peak peer wall cpu "MB/s" "MB/s" peak ratio ratio
    printf "%-16s %5s | %7s %7s %7s %7s %6s | %-14s %7s %7s %6s %6s %6s | %7s %7s\n" "" "" \
        "" "" wall cpu "" "" "" "" wall cpu "" wall cpu
    local size
    for size in $sizes; do
        row "load (info)" "$size" info ogr_read
        row "load+save" "$size" convert ogr2ogr
        row "render" "$size" render gdal_rasterize
        row "render no-cache" "$size" render-nocache gdal_rasterize
    done
    printf "\ninfo + cached raster load / uncached raster load (mif render / mif render --no-cache):\n"
    for size in $sizes; do
        awk -v s="$size" -v c="$(medians render "$size")" -v u="$(medians render-nocache "$size")" 'BEGIN {
            split(c, a, " "); split(u, b, " ")
            printf "  %s MB: wall %.2f s / %.2f s = %.3f, CPU %.2f s / %.2f s = %.3f\n", s, a[1], b[1],
                a[1] / b[1], a[2], b[2], a[2] / b[2] }'
    done
}

# One target line: its text, the measured value (wall; CPU time's in
# brackets unless empty) and whether the wall value meets the bound ("min"
# or "max").
check() {
    awk -v what="$1" -v wall="$2" -v cpu="$3" -v kind="$4" -v bound="$5" -v unit="$6" 'BEGIN {
        met = (kind == "min") ? wall >= bound : wall <= bound
        cputext = (cpu == "") ? "" : sprintf(" (CPU %.2f%s)", cpu, unit)
        printf "  %-58s %8.2f%s%s  %s\n", what, wall, unit, cputext, met ? "met" : "NOT met" }'
}

# The targets, on the largest drawing (the render on the 50 MB one).
print_targets() {
    local big="${sizes##* }" small="${sizes%% *}" bytes
    bytes="$(stat -L -c %s "$(drawing "$big")")"
    local info convert read ogr2ogr render_small nocache_small rasterize_small cached_big nocache_big
    read -r -a info <<<"$(medians info "$big")"
    read -r -a convert <<<"$(medians convert "$big")"
    read -r -a render_small <<<"$(medians render-nocache "$small")"
    read -r -a cached_big <<<"$(medians render "$big")"
    read -r -a nocache_big <<<"$(medians render-nocache "$big")"
    printf "\ntargets (%s MB drawing; render on %s MB):\n" "$big" "$small"
    check "load MB/s (mif info), at least 100" "$(awk -v b="$bytes" -v s="${info[0]}" 'BEGIN {print b / 1e6 / s}')" \
        "$(awk -v b="$bytes" -v s="${info[1]}" 'BEGIN {print b / 1e6 / s}')" min 100 ""
    check "load peak memory MB, at most the file's $(awk -v b="$bytes" 'BEGIN {printf "%.0f", b / 1e6}')" \
        "$(awk -v k="${info[2]}" 'BEGIN {print k * 1024 / 1e6}')" "" \
        max "$(awk -v b="$bytes" 'BEGIN {print b / 1e6}')" ""
    check "info + cached render / uncached render, at most 1.15" \
        "$(awk -v a="${cached_big[0]}" -v b="${nocache_big[0]}" 'BEGIN {print a / b}')" \
        "$(awk -v a="${cached_big[1]}" -v b="${nocache_big[1]}" 'BEGIN {print a / b}')" max 1.15 ""
    if [ -s "$data/results/ogr_read-$big" ]; then
        read -r -a read <<<"$(medians ogr_read "$big")"
        read -r -a ogr2ogr <<<"$(medians ogr2ogr "$big")"
        read -r -a rasterize_small <<<"$(medians gdal_rasterize "$small")"
        check "load vs ogr_read, at least 10x" "$(awk -v a="${read[0]}" -v b="${info[0]}" 'BEGIN {print a / b}')" \
            "$(awk -v a="${read[1]}" -v b="${info[1]}" 'BEGIN {print a / b}')" min 10 x
        check "load+save vs ogr2ogr, at least 10x" \
            "$(awk -v a="${ogr2ogr[0]}" -v b="${convert[0]}" 'BEGIN {print a / b}')" \
            "$(awk -v a="${ogr2ogr[1]}" -v b="${convert[1]}" 'BEGIN {print a / b}')" min 10 x
        check "render (--no-cache) vs gdal_rasterize, at least 5x" \
            "$(awk -v a="${rasterize_small[0]}" -v b="${render_small[0]}" 'BEGIN {print a / b}')" \
            "$(awk -v a="${rasterize_small[1]}" -v b="${render_small[1]}" 'BEGIN {print a / b}')" min 5 x
    fi
}

install_tools
build_tools
mkdir -p "$data"
rm -rf "$data/results" && mkdir -p "$data/results"
cases=(info convert render render-nocache)
if have_peers; then
    cases+=(ogr_read ogr2ogr gdal_rasterize)
else
    echo "GDAL is not installed: ours only"
fi
for size in $sizes; do drawing "$size" >/dev/null; done
for ((round = 1; round <= runs; round++)); do
    echo "round $round of $runs" >&2
    for size in $sizes; do
        for name in "${cases[@]}"; do run_case "$name" "$(drawing "$size")" "$size"; done
    done
done
print_table
print_targets
