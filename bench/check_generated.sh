#!/usr/bin/env bash
# Checks the benchmark drawing generator: the same seed gives the same
# bytes, every MIF object has its .mid row, and the filter loads the drawing
# with objects of every kind the generator writes.
#   check_generated.sh GENERATE_MIF MIF WORK_FOLDER
set -euo pipefail
generate="$1" mif="$2" work="$3"
rm -rf "$work" && mkdir -p "$work"
"$generate" "$work/a.mif" 1
"$generate" "$work/b.mif" 1
cmp "$work/a.mif" "$work/b.mif"
cmp "$work/a.mid" "$work/b.mid"

objects=$(grep -c -E '^(Point|Line|Pline|Region|Rect|Roundrect|Ellipse|Arc|Text) ' "$work/a.mif")
rows=$(wc -l < "$work/a.mid")
[ "$objects" -eq "$rows" ] || { echo "$objects objects but $rows .mid rows"; exit 1; }

"$mif" info "$work/a.mif" > "$work/info.txt"
for kind in vertex line rectangle polyline polygon ellipse elliptical_arc text; do
    grep -q -E "^  $kind +[1-9]" "$work/info.txt" || { echo "no $kind loaded"; cat "$work/info.txt"; exit 1; }
done
echo "generated drawing ok: $objects objects"
