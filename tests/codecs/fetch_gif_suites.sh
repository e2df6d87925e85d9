#!/usr/bin/env bash
# Fetches the GIF test images of two Debian source packages with apt-get
# source: gdk-pixbuf's tests/test-images/gif-test-suite and giflib's pic/.
# They are cached under ~/.cache/pixlane/gif-suites (a stamp per package makes
# repeat runs offline and instant) and copied into <destination>/gdk-pixbuf
# and <destination>/giflib. Adds a deb-src entry for the release's main
# archive when apt has no source index (that step needs root). Any failure
# exits non-zero with the reason: the tests that need the images must not
# pass without them.
# Usage: fetch_gif_suites.sh <destination>
set -euo pipefail

log() { echo "fetch_gif_suites: $*" >&2; }
die() { log "error: $*"; exit 1; }
# as_root, update_source_list, ensure_source_index.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/apt-source.sh"

(($# == 1)) || { echo "usage: $0 <destination>" >&2; exit 2; }
destination=$1
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/pixlane/gif-suites"
own_sources=/etc/apt/sources.list.d/pixlane-deb-src.sources

# package, then the archive members to keep (tar wildcards).
suites=(
  "gdk-pixbuf|*/tests/test-images/gif-test-suite/*.gif"
  "giflib|*/pic/*.gif"
)

download_source() {  # package work-folder
  (cd "$2" && apt-get source --download-only -qq "$1") >/dev/null 2>"$2/apt.err"
}

fetch_package() {  # package pattern
  local package=$1 pattern=$2 target="$cache_root/$1"
  [[ -f "$target/complete" ]] && return 0
  command -v apt-get >/dev/null || die "apt-get not found: the GIF suites come from Debian source packages"
  ensure_source_index "$own_sources"
  local work
  work=$(mktemp -d "${TMPDIR:-/tmp}/pixlane-gif-suites.XXXXXX")
  # apt downloads as the unprivileged _apt user when it can write there.
  if id _apt >/dev/null 2>&1 && [[ $(id -u) -eq 0 ]]; then chown _apt "$work"; fi
  if ! download_source "$package" "$work"; then
    log "refreshing apt's source lists"
    if [[ -f "$own_sources" ]]; then update_source_list "$own_sources"; else as_root apt-get update -qq; fi
    download_source "$package" "$work" || { cat "$work/apt.err" >&2; rm -rf "$work"; die "apt-get source $package failed"; }
  fi
  local dsc orig version
  dsc=$(ls "$work"/*.dsc 2>/dev/null | head -n1)
  orig=$(ls "$work"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1)
  [[ -n "$dsc" && -n "$orig" ]] || { rm -rf "$work"; die "no source tarball for $package"; }
  version=$(sed -n 's/^Version: //p' "$dsc")
  if [[ "$orig" == *.xz ]] && ! command -v xz >/dev/null; then
    rm -rf "$work"
    die "xz not found: install xz-utils (scripts/setup installs it with dpkg-dev)"
  fi
  mkdir -p "$work/tree"
  tar -xf "$orig" -C "$work/tree" --wildcards "$pattern" ||
    { rm -rf "$work"; die "$package $version: no files match $pattern"; }
  rm -rf "$target"
  mkdir -p "$target"
  find "$work/tree" -type f -name '*.gif' -exec cp {} "$target/" \;
  local count
  count=$(find "$target" -name '*.gif' | wc -l)
  ((count > 0)) || { rm -rf "$work"; die "$package $version: no GIF files"; }
  echo "$package $version $count" >"$target/complete"
  rm -rf "$work"
  log "cached $count files of $package $version in $target"
}

mkdir -p "$cache_root"
# One fetch at a time (test runs of several builds may start together).
exec 9>"$cache_root/.lock"
flock 9
for suite in "${suites[@]}"; do
  fetch_package "${suite%%|*}" "${suite#*|}"
done
flock -u 9

mkdir -p "$destination"
for suite in "${suites[@]}"; do
  package=${suite%%|*}
  rm -rf "${destination:?}/$package"
  mkdir -p "$destination/$package"
  cp "$cache_root/$package"/*.gif "$destination/$package/"
  log "$(cat "$cache_root/$package/complete") -> $destination/$package"
done
