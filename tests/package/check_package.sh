#!/usr/bin/env bash
# Installs the build into a fresh prefix, builds the tiny host against it
# twice (CMake package, pkg-config) and runs both on the example drawing.
set -euo pipefail
build="$1"; source_dir="$2"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for link in libzfmif.so.19 libzkkrn.so.19 libzkdrw.so.19 libzvkrn.so.19; do
    [ -e "$work/prefix/lib/$link" ] || { echo "missing $link"; exit 1; }
done
cmake -S "$source_dir/tests/package" -B "$work/tiny" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/tiny" >/dev/null
"$work/tiny/tiny_host" "$source_dir/examples/example.mif"
PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" c++ -std=c++17 "$source_dir/tests/package/tiny_host.cpp" \
    $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs zfmif) \
    -Wl,-rpath,"$work/prefix/lib" -o "$work/tiny_pc"
"$work/tiny_pc" "$source_dir/examples/example.mif"
"$work/prefix/bin/mif" info "$source_dir/examples/example.mif" >/dev/null
echo "package ok"
