#!/usr/bin/env bash
# Checks the filter library's soname and exported symbols: the four entry
# points under plain names, every other function under its decorated C++
# name, and none of the three steps that stay file-local.
set -euo pipefail
library="$1"
status=0

soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libzfmif.so.19" ] || { echo "soname is '$soname'"; status=1; }

functions=$(nm -D --defined-only "$library" | awk '$2 == "T" || $2 == "W" { print $3 }')
plain=$(printf '%s\n' "$functions" | grep -v '^_Z' | sort | tr '\n' ' ')
[ "$plain" = "fltFreeData fltInfo fltLoad fltSave " ] || { echo "plain exports: $plain"; status=1; }

demangled=$(printf '%s\n' "$functions" | grep '^_Z' | c++filt)
for name in 'fltInfoMIF(_INFODISPATCH*)' 'fltLoadMIF(_LOADDISPATCH*)' 'fltSaveMIF(_SAVEDISPATCH*)' \
            'fltFreeMIF(void*, int)' 'CMifFile::LineRead()' 'CMifFile::ReadLine(void*, int*)' \
            'ReadHeader(tagHANDLE*, _MIFHEADER*)' 'ReadPen(_VECTORHANDLE*, CMifFile*, _VECTORPEN*)' \
            'ReadPLine(_VECTORHANDLE*, CMifFile*)' 'SaveText(_VECTORTEXTA*, CMifFile*, _VECTORPOINT*, _VECTORPOINT*)' \
            'SaveObject(_VECTORHANDLE*, _VECTOROBJECT*, void*)' 'UpdateVectorParallelogram(_VECTORHANDLE*)' \
            'GetTextWidthInChar(char*)' 'SaveBrush(_VECTORBRUSH*, CMifFile*)'; do
    printf '%s\n' "$demangled" | grep -qxF "$name" || { echo "not exported: $name"; status=1; }
done
for name in LoadMIFDrawing SaveBrushPattern ReleaseDrawingCache; do
    if printf '%s\n' "$demangled" | grep -q "^$name("; then echo "exported but file-local: $name"; status=1; fi
done
# Nothing of the C++ library may leak out as the filter's own export.
if printf '%s\n' "$demangled" | grep -q '^std::'; then echo "exports standard library code"; status=1; fi
[ $status -eq 0 ] && echo "exports ok"
exit $status
