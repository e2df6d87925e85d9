#!/usr/bin/env bash
# Times pixlane beside GraphicsMagick, ImageMagick and libvips, each run as
# batch users run it (one mogrify for all files, vipsthumbnail, vips per
# file), with the libjpeg-turbo tools as the floor, on the workloads
#   W1 reduce to long side 800 -> JPEG q75    W2 W1 + sharpening
#   W3 -> PNG level 9 (6 photos)              W4 reduce -> GIF 256 colours
#   W5 JPEG lossless rotation 90              W6 JPEG -> BMP and BMP -> JPEG
#   W7 -> TIFF (uncompressed)
# Runs alternate between the tools; each figure is the median of
# PIXLANE_BENCH_RUNS runs (default 3), with the peak resident memory of the
# largest process, the CPU time (user + system) of all its processes and
# the bytes it wrote (the last run's, libvips' intermediate .v files not
# counted); ratios are wall times over pixlane -j 1's. On a machine that other work
# loads, the CPU times are the steadier figures.
# The photos are the wallpapers of Debian's ukui-wallpapers and
# plasma-workspace-wallpapers packages, fetched at benchmark time into a
# cache (never committed): per picture its largest size up to 20 Mpx.
# Usage: bench/workloads.sh [W1 W2 ...]   (default: all)
#        PIXLANE=path/to/pixlane (default build/linux/src/cli/pixlane)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
pixlane="${PIXLANE:-$root/build/linux/src/cli/pixlane}"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/pixlane/bench"
runs="${PIXLANE_BENCH_RUNS:-3}"
workloads=("$@")
((${#workloads[@]})) || workloads=(W1 W2 W3 W4 W5 W6 W7)
mkdir -p "$cache"

# --- corpus -----------------------------------------------------------------
fetch() {  # package folder
  [[ -d "$cache/$2" ]] && return
  (cd "$cache" && apt-get download "$1" >/dev/null)
  rm -rf "$cache/$2.tmp" && dpkg-deb -x "$cache/$1"_*.deb "$cache/$2.tmp" && mv "$cache/$2.tmp" "$cache/$2"
}
if [[ ! -d "$cache/photos" ]]; then
  fetch ukui-wallpapers pkg
  fetch plasma-workspace-wallpapers pkg2
  mkdir -p "$cache/photos.tmp"
  # folder|width|height|path for every distinct picture, its largest size
  # up to 20 Mpx; the first 20 by name.
  find "$cache/pkg" "$cache/pkg2" -name '*.jpg' -print0 | sort -z |
    xargs -0 identify -format '%d|%w|%h|%i\n' 2>/dev/null |
    awk -F'|' '{
        px = $2 * $3; dir = $1; sub(/\/contents\/images.*/, "", dir)
        key = (dir ~ /pkg2/) ? dir : $4
        if (px >= 2500000 && px <= 20000000 && px > best[key]) { best[key] = px; path[key] = $4 }
      } END { for (k in path) print path[k] }' | sort | head -20 |
    while read -r f; do
      name=$(echo "$f" | sed 's|.*/pkg2\?/||; s|/contents/images/|-|; s|/|-|g')
      cp "$f" "$cache/photos.tmp/$name"
    done
  mv "$cache/photos.tmp" "$cache/photos"
fi
photos="$cache/photos"
if [[ ! -d "$cache/photos6-bmp" ]]; then
  mkdir -p "$cache/photos6-bmp.tmp"
  ls "$photos" | head -6 | while read -r f; do
    /usr/bin/convert "$photos/$f" "BMP3:$cache/photos6-bmp.tmp/${f%.jpg}.bmp"
  done
  mv "$cache/photos6-bmp.tmp" "$cache/photos6-bmp"
fi
mkdir -p "$cache/photos6"
ls "$photos" | head -6 | while read -r f; do cp -n "$photos/$f" "$cache/photos6/"; done
count=$(ls "$photos" | wc -l)
pixels=$(identify -format '%w*%h\n' "$photos"/*.jpg 2>/dev/null | paste -sd+ | bc)
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "corpus: $count photos, $((pixels / 1000000)) Mpx in all; runs: median of $runs"

# --- timing -----------------------------------------------------------------
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One measured run: "wall_seconds peak_kB cpu_seconds output_bytes" of
# CMD... (the output folder emptied first); cpu = user + system time of all
# processes; output = the bytes of every file written.
measure() {
  rm -rf "$work/out" && mkdir -p "$work/out"
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" ||
    { echo "FAILED: $*" >&2; cat "$work/stderr" >&2; return 1; }
  local bytes
  bytes=$(find "$work/out" -type f ! -name '*.v' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  awk -v bytes="$bytes" '{ printf "%s %s %.2f %s\n", $1, $2, $3 + $4, bytes }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# run_workload TITLE NAME CMD [NAME CMD ...]: CMD is a bash command line;
# every tool runs once per round, rounds alternate the order.
run_workload() {
  local title="$1"
  shift
  local -a names cmds
  while (($#)); do names+=("$1"); cmds+=("$2"); shift 2; done
  local n=${#names[@]} r i k
  for ((i = 0; i < n; i++)); do : >"$work/t$i"; : >"$work/m$i"; : >"$work/c$i"; : >"$work/b$i"; done
  for ((r = 0; r < runs; r++)); do
    for ((k = 0; k < n; k++)); do
      i=$(((r % 2 == 0) ? k : n - 1 - k))
      read -r t m c b < <(measure bash -c "${cmds[$i]}")
      echo "$t" >>"$work/t$i"
      echo "$m" >>"$work/m$i"
      echo "$c" >>"$work/c$i"
      echo "$b" >>"$work/b$i"
    done
  done
  local base
  base=$(median <"$work/t0")
  echo "$title   (load average before: $(cut -d' ' -f1 /proc/loadavg))"
  printf '  %-48s %8s %7s %8s %7s %9s\n' tool wall "ratio" "CPU" "peak" "output"
  for ((i = 0; i < n; i++)); do
    local t m c b
    t=$(median <"$work/t$i")
    m=$(sort -n "$work/m$i" | tail -1)
    c=$(median <"$work/c$i")
    b=$(tail -1 "$work/b$i")
    printf '  %-48s %7.2fs %6.2fx %7.2fs %5dMB %7.1fMB\n' "${names[$i]}" "$t" \
      "$(echo "$t / $base" | bc -l)" "$c" "$((m / 1024))" "$(echo "$b / 1000000" | bc -l)"
  done
}

px="'$pixlane' --ini '$work/none.ini' -q"
out="$work/out"

# djpeg's largest 1/N scale whose long side stays at least 800.
floor_cmd() {  # extra cjpeg/pnm step
  local lines="" f w h long s
  for f in "$photos"/*.jpg; do
    read -r w h < <(identify -format '%w %h\n' "$f" 2>/dev/null)
    long=$((w > h ? w : h))
    s=1
    while ((long / (s * 2) >= 800 && s < 8)); do s=$((s * 2)); done
    lines+="djpeg -scale 1/$s '$f' | $1 > '$out/$(basename "$f")'; "
  done
  echo "$lines"
}

for w in "${workloads[@]}"; do
  case "$w" in
    W1)
      run_workload "W1: $count photos reduced to long side 800, JPEG quality 75" \
        "pixlane -j 1" "$px -j 1 --format jpeg --quality 75 --long-side 800 -o '$out' '$photos'" \
        "pixlane -j 2" "$px -j 2 --format jpeg --quality 75 --long-side 800 -o '$out' '$photos'" \
        "gm mogrify -size 800x800 -scale 800x800" "cd '$photos' && gm mogrify -output-directory '$out' -size 800x800 -scale 800x800 -quality 75 *.jpg" \
        "ImageMagick mogrify -define jpeg:size -scale" "cd '$photos' && mogrify -path '$out' -define jpeg:size=800x800 -scale 800x800 -quality 75 *.jpg" \
        "vipsthumbnail --size 800" "vipsthumbnail --size 800 -o '$out/%s.jpg[Q=75]' '$photos'/*.jpg" \
        "floor: djpeg -scale 1/N | cjpeg (no resampling)" "$(floor_cmd 'cjpeg -quality 75')"
      ;;
    W2)
      run_workload "W2: as W1 with sharpening" \
        "pixlane -j 1" "$px -j 1 --format jpeg --quality 75 --long-side 800 --sharpen medium -o '$out' '$photos'" \
        "pixlane -j 2" "$px -j 2 --format jpeg --quality 75 --long-side 800 --sharpen medium -o '$out' '$photos'" \
        "gm mogrify ... -unsharp 0x1" "cd '$photos' && gm mogrify -output-directory '$out' -size 800x800 -scale 800x800 -unsharp 0x1 -quality 75 *.jpg" \
        "ImageMagick mogrify ... -unsharp 0x1" "cd '$photos' && mogrify -path '$out' -define jpeg:size=800x800 -scale 800x800 -unsharp 0x1 -quality 75 *.jpg" \
        "vipsthumbnail + vips sharpen" "vipsthumbnail --size 800 -o '$out/%s.v' '$photos'/*.jpg && for f in '$out'/*.v; do vips sharpen \"\$f\" \"\${f%.v}.jpg[Q=75]\"; done"
      ;;
    W3)
      run_workload "W3: 6 photos to PNG level 9 (full size)" \
        "pixlane -j 1" "$px -j 1 --format png --set Level=9 -o '$out' '$cache/photos6'" \
        "pixlane -j 2" "$px -j 2 --format png --set Level=9 -o '$out' '$cache/photos6'" \
        "gm mogrify -format png -quality 95" "cd '$cache/photos6' && gm mogrify -output-directory '$out' -format png -quality 95 *.jpg" \
        "ImageMagick mogrify -format png -quality 95" "cd '$cache/photos6' && mogrify -path '$out' -format png -quality 95 *.jpg" \
        "vips pngsave --compression 9" "for f in '$cache/photos6'/*.jpg; do vips pngsave \"\$f\" '$out/'\$(basename \"\$f\" .jpg).png --compression 9; done"
      ;;
    W4)
      run_workload "W4: reduced to long side 800, GIF 256 colours dithered" \
        "pixlane -j 1" "$px -j 1 --format gif --long-side 800 -o '$out' '$photos'" \
        "pixlane -j 2" "$px -j 2 --format gif --long-side 800 -o '$out' '$photos'" \
        "gm mogrify -colors 256 -dither" "cd '$photos' && gm mogrify -output-directory '$out' -format gif -size 800x800 -resize 800x800 -colors 256 -dither *.jpg" \
        "ImageMagick mogrify -colors 256" "cd '$photos' && mogrify -path '$out' -format gif -define jpeg:size=800x800 -resize 800x800 -dither FloydSteinberg -colors 256 *.jpg"
      ;;
    W5)
      run_workload "W5: JPEG lossless rotation 90" \
        "pixlane -j 1" "$px -j 1 --lossless --rotate 90 -o '$out' '$photos'" \
        "pixlane -j 2" "$px -j 2 --lossless --rotate 90 -o '$out' '$photos'" \
        "floor: jpegtran -rotate 90 -trim per file" "for f in '$photos'/*.jpg; do jpegtran -rotate 90 -trim -copy all -outfile '$out/'\$(basename \"\$f\") \"\$f\"; done"
      ;;
    W6)
      run_workload "W6a: 6 photos JPEG -> BMP" \
        "pixlane -j 1" "$px -j 1 --format bmp -o '$out' '$cache/photos6'" \
        "pixlane -j 2" "$px -j 2 --format bmp -o '$out' '$cache/photos6'" \
        "gm mogrify -format bmp" "cd '$cache/photos6' && gm mogrify -output-directory '$out' -format bmp *.jpg" \
        "ImageMagick mogrify -format bmp" "cd '$cache/photos6' && mogrify -path '$out' -format bmp *.jpg" \
        "vips copy" "for f in '$cache/photos6'/*.jpg; do vips copy \"\$f\" '$out/'\$(basename \"\$f\" .jpg).bmp; done" \
        "floor: djpeg -bmp" "for f in '$cache/photos6'/*.jpg; do djpeg -bmp -outfile '$out/'\$(basename \"\$f\" .jpg).bmp \"\$f\"; done"
      run_workload "W6b: 6 photos BMP -> JPEG quality 75" \
        "pixlane -j 1" "$px -j 1 --format jpeg --quality 75 -o '$out' '$cache/photos6-bmp'" \
        "pixlane -j 2" "$px -j 2 --format jpeg --quality 75 -o '$out' '$cache/photos6-bmp'" \
        "gm mogrify -format jpg" "cd '$cache/photos6-bmp' && gm mogrify -output-directory '$out' -format jpg -quality 75 *.bmp" \
        "ImageMagick mogrify -format jpg" "cd '$cache/photos6-bmp' && mogrify -path '$out' -format jpg -quality 75 *.bmp" \
        "floor: cjpeg" "for f in '$cache/photos6-bmp'/*.bmp; do cjpeg -quality 75 -outfile '$out/'\$(basename \"\$f\" .bmp).jpg \"\$f\"; done"
      ;;
    W7)
      run_workload "W7: 6 photos to uncompressed TIFF" \
        "pixlane -j 1" "$px -j 1 --format tiff -o '$out' '$cache/photos6'" \
        "pixlane -j 2" "$px -j 2 --format tiff -o '$out' '$cache/photos6'" \
        "gm mogrify -format tif -compress None" "cd '$cache/photos6' && gm mogrify -output-directory '$out' -format tif -compress None *.jpg" \
        "ImageMagick mogrify -format tif -compress none" "cd '$cache/photos6' && mogrify -path '$out' -format tif -compress none *.jpg" \
        "vips tiffsave" "for f in '$cache/photos6'/*.jpg; do vips tiffsave \"\$f\" '$out/'\$(basename \"\$f\" .jpg).tif; done"
      ;;
    *) echo "unknown workload $w" >&2; exit 2 ;;
  esac
done
