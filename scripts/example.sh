#!/usr/bin/env bash
# Builds the filter, the host libraries and the mif program, then runs mif
# on the bundled example drawing: a summary, and a picture in
# build/example.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target mif
build/bin/mif info examples/example.mif
build/bin/mif render examples/example.mif build/example.png --size 800x600
echo "picture written to build/example.png"
