#!/usr/bin/env bash
# Memcheck over gradient-render for a few frames (t = 0 with its infinite nodes included, a
# PNG sequence, one PNG and the segment CSV): no invalid read or write, no use of an
# uninitialised value, nothing definitely or indirectly lost. What is still reachable at exit
# must be the case table's segment records, which live until the process ends by design.
#   valgrind_render.sh GRADIENT_RENDER WORK_DIR
set -uo pipefail
render=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
log=$work/memcheck.log

timeout 300 valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=all \
  --errors-for-leak-kinds=definite,indirect --track-origins=yes --log-file="$log" \
  "$render" --time 0 --frames 3 --fps 7 --dir "$work/seq" --png "$work/one.png" \
  --segments "$work/one.csv" >/dev/null
code=$?
if [ $code -ne 0 ]; then
  echo "valgrind_render: memcheck failed (exit $code)"
  cat "$log"
  exit 1
fi
grep -q "ERROR SUMMARY: 0 errors" "$log" || { cat "$log"; exit 1; }

# Every still-reachable loss record must have been allocated under BuildCaseTable.
records=$(grep -c "still reachable in loss record" "$log")
table=$(awk '/still reachable in loss record/ {r = 1; next}
             r && /BuildCaseTable/ {n++; r = 0}
             r && /^==[0-9]+== *$/ {r = 0}
             END {print n + 0}' "$log")
if [ "$records" -ne "$table" ]; then
  echo "valgrind_render: $records reachable records at exit, only $table from the case table"
  cat "$log"
  exit 1
fi
for f in seq/frame-00000.png seq/frame-00001.png seq/frame-00002.png one.png one.csv; do
  [ -s "$work/$f" ] || { echo "valgrind_render: $f missing"; exit 1; }
done
echo "valgrind_render: clean; $(grep -o 'still reachable: .*' "$log")"
