#!/usr/bin/env bash
# Times `pixlane` over a folder of photos beside ImageMagick and libvips
# doing the same work, and prints the ratios (pixlane time / other time).
# The photos are the wallpapers of Debian's ukui-wallpapers package,
# downloaded at benchmark time into a cache (never committed).
# Usage: bench/compare_cli.sh [PIXLANE_BINARY]   (default: build/linux)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
pixlane="${1:-$root/build/linux/src/cli/pixlane}"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/pixlane/bench"
runs="${PIXLANE_BENCH_RUNS:-3}"
convert=/usr/bin/convert
mkdir -p "$cache"

# --- corpus -----------------------------------------------------------------
if [[ ! -d "$cache/jpeg" ]]; then
  (cd "$cache" && apt-get download ukui-wallpapers >/dev/null 2>&1)
  rm -rf "$cache/pkg" && dpkg-deb -x "$cache"/ukui-wallpapers_*.deb "$cache/pkg"
  mkdir -p "$cache/jpeg.tmp"
  find "$cache/pkg" -name '*.jpg' | sort | head -8 | while read -r f; do
    cp "$f" "$cache/jpeg.tmp/"
  done
  mv "$cache/jpeg.tmp" "$cache/jpeg"
fi
if [[ ! -d "$cache/bmp" ]]; then
  mkdir -p "$cache/bmp.tmp"
  for f in "$cache"/jpeg/*.jpg; do
    "$convert" "$f" "BMP3:$cache/bmp.tmp/$(basename "${f%.jpg}").bmp"
  done
  mv "$cache/bmp.tmp" "$cache/bmp"
fi
count=$(ls "$cache/jpeg" | wc -l)
pixels=$(for f in "$cache"/jpeg/*.jpg; do identify -format '%w*%h\n' "$f"; done | paste -sd+ | bc)
echo "corpus: $count photos, $((pixels / 1000000)) Mpx in all"

# --- timing -----------------------------------------------------------------
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# best_of CMD...: the best wall time of $runs runs, in seconds.
best_of() {
  local best="" t0 t1 t
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out" && mkdir -p "$work/out"
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; return 1; }
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc)
    if [[ -z "$best" ]] || (($(echo "$t < $best" | bc))); then best=$t; fi
  done
  echo "$best"
}

# supports FORMAT: whether this pixlane reads and writes it yet.
supports() {
  local probe="$work/probe" ext="$1"
  rm -rf "$probe" && mkdir -p "$probe"
  "$convert" -size 8x8 xc:red "$probe/p.$ext"
  "$pixlane" --ini "$work/none.ini" --format "$ext" -o "$probe/out" "$probe/p.$ext" >/dev/null 2>&1
}

report() {  # name pixlane_seconds other_name other_seconds ...
  local name="$1" ours="$2"
  shift 2
  printf '%-34s pixlane %6.2fs' "$name" "$ours"
  while (($#)); do
    printf '   %s %6.2fs (x%.2f)' "$1" "$2" "$(echo "$ours / $2" | bc -l)"
    shift 2
  done
  printf '\n'
}

px() { "$pixlane" --ini "$work/none.ini" -q "$@"; }

t_p=$(best_of px --format bmp -o "$work/out" "$cache/bmp")
t_m=$(best_of bash -c "cd '$cache/bmp' && $convert -quiet '*.bmp' -set filename:f '%t' 'BMP3:$work/out/%[filename:f].bmp'")
t_v=$(best_of bash -c "for f in '$cache'/bmp/*.bmp; do vips copy \"\$f\" '$work/out/'\$(basename \"\$f\" .bmp).v; done")
report "BMP 24-bit copy" "$t_p" ImageMagick "$t_m" "libvips(.v)" "$t_v"

t_p=$(best_of px --format bmp --depth 8 -o "$work/out" "$cache/bmp")
t_m=$(best_of bash -c "cd '$cache/bmp' && $convert -quiet '*.bmp' -dither FloydSteinberg -colors 256 -set filename:f '%t' 'BMP3:$work/out/%[filename:f].bmp'")
report "BMP to 8-bit dithered BMP" "$t_p" ImageMagick "$t_m"

if supports jpg; then
  t_p=$(best_of px --format jpeg --long-side 800 -o "$work/out" "$cache/jpeg")
  t_m=$(best_of bash -c "cd '$cache/jpeg' && $convert -quiet '*.jpg' -resize 800x800 -quality 75 -set filename:f '%t' '$work/out/%[filename:f].jpg'")
  t_v=$(best_of bash -c "vipsthumbnail -s 800 -o '$work/out/%s.jpg[Q=75]' '$cache'/jpeg/*.jpg")
  report "JPEG reduced to long side 800" "$t_p" ImageMagick "$t_m" vipsthumbnail "$t_v"
  t_p=$(best_of px --lossless --rotate 90 -o "$work/out" "$cache/jpeg")
  t_j=$(best_of bash -c "for f in '$cache'/jpeg/*.jpg; do jpegtran -rotate 90 -trim -copy all -outfile '$work/out/'\$(basename \"\$f\") \"\$f\"; done")
  report "JPEG lossless rotation 90" "$t_p" jpegtran "$t_j"
else
  echo "JPEG: not supported by this pixlane yet"
fi

# --- GIF and TIFF output ------------------------------------------------------
# GraphicsMagick (package graphicsmagick) is compared too when installed.
gm=$(command -v gm || true)
if [[ ! -d "$cache/tiff" ]]; then
  mkdir -p "$cache/tiff.tmp"
  for f in "$cache"/bmp/*.bmp; do
    "$convert" "$f" -compress none "$cache/tiff.tmp/$(basename "${f%.bmp}").tif"
  done
  mv "$cache/tiff.tmp" "$cache/tiff"
fi
if supports gif; then
  # 256 colours, Floyd-Steinberg dithering, after reduction to long side 800.
  t_p=$(best_of px --format gif --long-side 800 -o "$work/out" "$cache/jpeg")
  t_m=$(best_of bash -c "cd '$cache/jpeg' && $convert -quiet '*.jpg' -resize 800x800 -dither FloydSteinberg -colors 256 -set filename:f '%t' '$work/out/%[filename:f].gif'")
  if [[ -n "$gm" ]]; then
    t_g=$(best_of bash -c "cd '$cache/jpeg' && $gm mogrify -output-directory '$work/out' -format gif -resize 800x800 -colors 256 -dither *.jpg")
    report "JPEG to GIF, long side 800" "$t_p" ImageMagick "$t_m" GraphicsMagick "$t_g"
  else
    report "JPEG to GIF, long side 800" "$t_p" ImageMagick "$t_m"
  fi
  # Full size: the colour reduction and the LZW encoder on 2-4 Mpx images.
  t_p=$(best_of px --format gif -o "$work/out" "$cache/bmp")
  t_m=$(best_of bash -c "cd '$cache/bmp' && $convert -quiet '*.bmp' -dither FloydSteinberg -colors 256 -set filename:f '%t' '$work/out/%[filename:f].gif'")
  if [[ -n "$gm" ]]; then
    t_g=$(best_of bash -c "cd '$cache/bmp' && $gm mogrify -output-directory '$work/out' -format gif -colors 256 -dither *.bmp")
    report "BMP to GIF, full size" "$t_p" ImageMagick "$t_m" GraphicsMagick "$t_g"
  else
    report "BMP to GIF, full size" "$t_p" ImageMagick "$t_m"
  fi
else
  echo "GIF: not supported by this pixlane yet"
fi
if supports tiff; then
  t_p=$(best_of px --format tiff -o "$work/out" "$cache/bmp")
  t_m=$(best_of bash -c "cd '$cache/bmp' && $convert -quiet '*.bmp' -compress none -set filename:f '%t' '$work/out/%[filename:f].tif'")
  if [[ -n "$gm" ]]; then
    t_g=$(best_of bash -c "cd '$cache/bmp' && $gm mogrify -output-directory '$work/out' -format tif -compress None *.bmp")
    report "BMP to TIFF 24-bit" "$t_p" ImageMagick "$t_m" GraphicsMagick "$t_g"
  else
    report "BMP to TIFF 24-bit" "$t_p" ImageMagick "$t_m"
  fi
  t_p=$(best_of px --format tiff --depth 8 -o "$work/out" "$cache/bmp")
  t_m=$(best_of bash -c "cd '$cache/bmp' && $convert -quiet '*.bmp' -dither FloydSteinberg -colors 256 -compress none -set filename:f '%t' '$work/out/%[filename:f].tif'")
  report "BMP to 8-bit palette TIFF" "$t_p" ImageMagick "$t_m"
  t_p=$(best_of px --format bmp -o "$work/out" "$cache/tiff")
  t_m=$(best_of bash -c "cd '$cache/tiff' && $convert -quiet '*.tif' -set filename:f '%t' 'BMP3:$work/out/%[filename:f].bmp'")
  report "TIFF to BMP 24-bit" "$t_p" ImageMagick "$t_m"
else
  echo "TIFF: not supported by this pixlane yet"
fi
