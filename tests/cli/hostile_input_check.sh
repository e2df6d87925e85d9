#!/usr/bin/env bash
# What a stranger's files can make `pixlane` do, run against the real
# program: `hostile_input_check.sh PIXLANE TESTS_DATA_DIR`.
#  1. Tiny files declaring 25000 x 25000 pixels are refused as DataTooSmall
#     in a few megabytes of memory.
#  2. Photo-like files cut at 10, 50 and 90 % are never taken for such bombs;
#     JPEG and BMP files keep the rows they hold and convert.
#  3. With the address space limited, a file too large to load ends with
#     OutOfMemory and the batch goes on with the next file (no crash).
#  4. A real 25000 x 20000 image still converts (reduced to 800 pixels).
# Needs ImageMagick and libvips' tools; run natively (the sanitizers reserve
# far more address space than a limit allows).
set -euo pipefail
pixlane=$1
data=$2
work=$(mktemp -d /tmp/pixlane-hostile-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# --- 1. decompression bombs ---------------------------------------------------
for bomb in "$data"/bombs/*; do
  [[ $bomb == *.py ]] && continue
  name=$(basename "$bomb")
  out="$work/bomb-out"
  mkdir -p "$out"
  status=0
  /usr/bin/time -f %M -o "$work/rss" "$pixlane" -q -o "$out" "$bomb" >"$work/log" 2>&1 || status=$?
  rss_kb=$(tail -1 "$work/rss")
  [[ $status == 1 ]] || fail "$name: exit status $status, expected 1"
  grep -q "not converted (DataTooSmall" "$work/log" || fail "$name: not refused as DataTooSmall: $(cat "$work/log")"
  ((rss_kb < 50 * 1024)) || fail "$name: peak memory $rss_kb KB"
  [[ -z $(ls -A "$out") ]] || fail "$name: left output files"
  echo "bomb $name refused, peak $rss_kb KB"
done

# --- 2. truncated photo-like files --------------------------------------------
photo="$work/photo"
mkdir -p "$photo"
convert -size 640x480 -seed 11 plasma:fractal -blur 0x0.5 "$work/plasma.png"
convert "$work/plasma.png" -quality 90 "$photo/baseline.jpg"
convert "$work/plasma.png" -quality 90 -interlace JPEG "$photo/progressive.jpg"
convert "$work/plasma.png" "$photo/photo.png"
convert "$work/plasma.png" "$photo/photo.gif"
convert "$work/plasma.png" -compress none "$photo/photo.tif"
convert "$work/plasma.png" -type truecolor BMP3:"$photo/photo.bmp"
cut="$work/cut"
mkdir -p "$cut"
for file in "$photo"/*; do
  size=$(stat -c %s "$file")
  for percent in 10 50 90; do
    base=$(basename "$file")
    head -c $((size * percent / 100)) "$file" >"$cut/${percent}_$base"
  done
done
"$pixlane" --format bmp -o "$work/cut-out" "$cut" >"$work/cut.log" 2>&1 || true
if grep -q DataTooSmall "$work/cut.log"; then
  fail "a truncated real file was taken for a bomb: $(grep DataTooSmall "$work/cut.log")"
fi
for kind in baseline.jpg progressive.jpg photo.bmp; do
  for percent in 10 50 90; do
    grep -q "${percent}_$kind -> " "$work/cut.log" || fail "${percent}_$kind did not convert"
  done
done
echo "truncated files: $(grep -c ' -> ' "$work/cut.log") converted, none refused as bombs"

# --- 3. out of memory ----------------------------------------------------------
oom="$work/oom"
mkdir -p "$oom"
convert -size 6000x4000 -seed 12 plasma:fractal "$oom/a_large.png"
convert -size 300x200 -seed 13 plasma:fractal "$oom/b_small.png"
# Prints the smallest address-space limit (in KB, to 1 MB) under which
# pixlane converts with the given arguments, found by bisection; fails when
# 1 GB is not enough.
smallest_limit() {
  local low=1024 high=1048576 mid
  converts_under() {
    rm -rf "$work/probe"
    (ulimit -v "$1"; shift; "$pixlane" -q -o "$work/probe" "$@") >/dev/null 2>&1
  }
  converts_under "$high" "$@" || return 1
  while ((high - low > 1024)); do
    mid=$(((low + high) / 2))
    if converts_under "$mid" "$@"; then high=$mid; else low=$mid; fi
  done
  echo "$high"
}
# The small file alone; the large one needs about 150 MB more.
high=$(smallest_limit --format png "$oom/b_small.png") ||
  fail "the small file does not convert with 1 GB of address space"
limit=$((high + 40 * 1024))
status=0
(ulimit -v "$limit"; "$pixlane" --format png -o "$work/oom-out" "$oom") >"$work/oom.log" 2>&1 || status=$?
[[ $status == 1 ]] || fail "out of memory: exit status $status, expected 1: $(cat "$work/oom.log")"
grep -q "a_large.png: not converted (OutOfMemory" "$work/oom.log" ||
  fail "the large file did not fail with OutOfMemory: $(cat "$work/oom.log")"
grep -q "b_small.png -> " "$work/oom.log" || fail "the batch did not go on after OutOfMemory"
[[ ! -e $work/oom-out/a_large.png ]] || fail "a partial output of the large file was left"
echo "out of memory at ${limit} KB: the large file failed, the small one converted"

# Two large files at a time: one that runs short of memory beside the other
# is converted again alone, so everything that converts in a sequential run
# under a limit converts with -j 2 as well.
pair="$work/oom-pair"
mkdir -p "$pair"
cp "$oom/a_large.png" "$pair/a_large.png"
cp "$oom/a_large.png" "$pair/b_large.png"
high=$(smallest_limit -j 1 --format bmp "$pair/a_large.png") ||
  fail "the large file does not convert with 1 GB of address space"
# Room for the second worker's thread and work objects, not for its image.
limit=$((high + 24 * 1024))
status=0
(ulimit -v "$limit"; "$pixlane" -j 2 --format bmp -o "$work/pair-out" "$pair") >"$work/pair.log" 2>&1 || status=$?
[[ $status == 0 ]] || fail "two large files with -j 2 at ${limit} KB: exit status $status: $(cat "$work/pair.log")"
echo "two large files with -j 2 at ${limit} KB (one alone needs ${high} KB): both converted"

# --- 4. a real 25000 x 20000 image ----------------------------------------------
vips sines "$work/large.jpg[Q=80]" 25000 20000 --hfreq 0.2 --vfreq 0.1
status=0
/usr/bin/time -f %M -o "$work/rss" "$pixlane" -q --long-side 800 -o "$work/large-out" \
  "$work/large.jpg" >"$work/large.log" 2>&1 || status=$?
[[ $status == 0 ]] || fail "25000 x 20000: exit status $status: $(cat "$work/large.log")"
echo "25000 x 20000 converted to a long side of 800, peak $(tail -1 "$work/rss") KB"

if ((failures > 0)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "hostile input: all checks passed"
