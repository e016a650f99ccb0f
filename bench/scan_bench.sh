#!/bin/sh
# dlvr scan over an archive: 200 copies of samples/ (clean, errors and the
# two media of multi: 600 deliveries) plus 5 copies of the 34,508-file
# delivery tree_load_bench writes, scanned with --jobs 1 and --jobs 2 in
# turn, 5 times (one untimed warm-up scan first). Prints each run, the medians and
# their ratio, and beside each run what the machine itself gained from its
# second processor just before it.
#
#   bench/scan_bench.sh BUILD_DIR [--runs N] [--copies N] [--big N] [--extended]
#
# Target: --jobs 2 at least 1.8 times as fast as --jobs 1 (medians) on a
# machine of two processors. Exit 0 when met, 3 when not, 1 on errors (a
# program missing, a scan whose rows differ between the job counts).
# The copies are hard links (the scan only reads): little disk, and the
# files of every copy are in the page cache after the warm-up, as they are
# on a file server that holds an archive.
set -eu
# The tool's texts (the summary's header) in Japanese whatever the locale.
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES

build=${1:?usage: scan_bench.sh BUILD_DIR [--runs N] [--copies N] [--big N] [--extended]}
shift
runs=5 copies=200 big=5 extended=
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --copies) copies=$2; shift 2 ;;
    --big) big=$2; shift 2 ;;
    --extended) extended=--extended; shift ;;
    *) echo "scan_bench: unknown option $1" >&2; exit 1 ;;
  esac
done
dlvr=$build/src/cli/dlvr
writer=$build/bench/tree_load_bench
for p in "$dlvr" "$writer"; do
  [ -x "$p" ] || { echo "scan_bench: build $p first" >&2; exit 1; }
done
samples=$(cd "$(dirname "$0")/../samples" && pwd)

tmp=$(mktemp -d "${TMPDIR:-/tmp}/dlvr-scan-bench-XXXXXX")
bigsrc=
cleanup() { rm -rf "$tmp" ${bigsrc:+"$bigsrc"}; }
trap cleanup EXIT INT TERM

echo "writing the archive to $tmp/archive ..."
bigsrc=$("$writer" --write-only | tail -1)
i=1
while [ "$i" -le "$copies" ]; do
  d=$tmp/archive/samples-$(printf %03d "$i")
  mkdir -p "$d"
  cp -al "$samples/clean" "$samples/errors" "$samples/multi" "$d/"
  i=$((i + 1))
done
i=1
while [ "$i" -le "$big" ]; do
  cp -al "$bigsrc" "$tmp/archive/large-$i"
  i=$((i + 1))
done
echo "$((copies * 3 + big)) deliveries, $(find "$tmp/archive" -type f | wc -l) files"

now() { date +%s.%N; }
# One scan; prints its wall time, keeps its rows without the seconds column.
scan() {
  t0=$(now)
  status=0
  "$dlvr" scan "$tmp/archive" --jobs "$1" $extended >"$tmp/out" 2>"$tmp/err" || status=$?
  t1=$(now)
  if [ "$status" -gt 1 ]; then
    echo "scan_bench: dlvr scan --jobs $1 failed ($status):" >&2
    cat "$tmp/err" >&2
    exit 1
  fi
  cut -d, -f1-6,8- "$tmp/out" | sort >"$tmp/rows-$1"
  echo "$t1 - $t0" | bc -l
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "warm-up scan ..."
scan 2 >/dev/null
: >"$tmp/t1"
: >"$tmp/t2"
: >"$tmp/probe"
# The machine's own gain from a second processor at the time, taken before
# each pair of scans: a loop that only computes, twice one after the other
# and twice side by side (1.0 when another program holds the second
# processor, 2.0 on a quiet machine; a virtual machine's host may give less).
spin() { awk 'BEGIN { for (i = 0; i < 10000000; i++) s += i; print s }' >/dev/null; }
probe() {
  t0=$(now); spin; spin; t1=$(now); spin & spin & wait; t2=$(now)
  echo "($t1 - $t0) / ($t2 - $t1)" | bc -l
}
r=1
while [ "$r" -le "$runs" ]; do
  p=$(probe)
  a=$(scan 1)
  b=$(scan 2)
  cmp -s "$tmp/rows-1" "$tmp/rows-2" || { echo "scan_bench: the rows differ between --jobs 1 and 2" >&2; exit 1; }
  printf 'run %d: --jobs 1 %7.2f s   --jobs 2 %7.2f s   ratio %.2f   (two loops side by side: %.2fx)\n' \
    "$r" "$a" "$b" "$(echo "$a / $b" | bc -l)" "$p"
  echo "$a" >>"$tmp/t1"
  echo "$b" >>"$tmp/t2"
  echo "$p" >>"$tmp/probe"
  r=$((r + 1))
done
m1=$(median <"$tmp/t1")
m2=$(median <"$tmp/t2")
ratio=$(echo "$m1 / $m2" | bc -l)
printf '\nmedian: --jobs 1 %.2f s, --jobs 2 %.2f s, ratio %.2f\n' "$m1" "$m2" "$ratio"
printf 'load average after the runs: %s; two computing loops side by side (median): %.2fx as fast as one after the other\n' \
  "$(cut -d' ' -f1-3 /proc/loadavg)" "$(median <"$tmp/probe")"
if [ "$(echo "$ratio >= 1.8" | bc -l)" = 1 ]; then
  echo "target (--jobs 2 at least 1.8x as fast as --jobs 1): met"
else
  echo "target (--jobs 2 at least 1.8x as fast as --jobs 1): NOT met"
  exit 3
fi
