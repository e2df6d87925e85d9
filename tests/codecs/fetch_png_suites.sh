#!/usr/bin/env bash
# Fetches the PNG conformance files the PNG tests compare against: the PNG
# suite from Debian's libspng source package (tests/images, plus its crash
# files) and libpng's contrib/testpngs (libpng1.6 source package, plus its
# crashers), with `apt-get source`. They are never committed: they are cached
# under $PIXLANE_PNG_SUITES (default ~/.cache/pixlane/png-suites) and a stamp
# makes repeat runs instant. Adds a deb-src entry for the release's main
# archive when apt has no source index (that needs root). Fails loudly when
# the sources cannot be fetched. Prints the cache folder on success.
set -euo pipefail

cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/pixlane"
dest="${PIXLANE_PNG_SUITES:-$cache_root/png-suites}"
packages=(libspng libpng1.6)
# Folder inside each source tree, and where it goes in the cache.
declare -A wanted=(
  [libspng:tests/images]=pngsuite
  [libspng:tests/crashers]=pngsuite-crashers
  [libpng1.6:contrib/testpngs]=testpngs
  [libpng1.6:contrib/testpngs/crashers]=testpngs-crashers
)

log() { echo "fetch_png_suites: $*" >&2; }
die() { log "error: $*"; exit 1; }
# as_root, update_source_list, ensure_source_index.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/apt-source.sh"

stamp="$dest/suites.stamp"
expected="layout 1 ${packages[*]}"
up_to_date() {
  [[ -f "$stamp" ]] && [[ "$(head -n1 "$stamp")" == "$expected" ]] &&
    [[ -f "$dest/pngsuite/basn0g01.png" && -f "$dest/testpngs/rgb-8.png" ]]
}
if up_to_date; then
  echo "$dest"
  exit 0
fi

for tool in apt-get dpkg-source flock; do
  command -v "$tool" >/dev/null || die "$tool not found (Debian's apt and dpkg-dev are needed)"
done

mkdir -p "$(dirname "$dest")"
exec 9>"$dest.lock"
flock 9
if up_to_date; then
  echo "$dest"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pixlane-png-suites.XXXXXX")
trap 'rm -rf "$work"' EXIT

fetch_sources() {
  (cd "$work" && apt-get source --download-only -qq "${packages[@]}") >/dev/null 2>"$work/apt.err"
}

own_sources=/etc/apt/sources.list.d/pixlane-deb-src.sources
ensure_source_index "$own_sources"
# apt downloads as the unprivileged _apt user when it can write here.
if id _apt >/dev/null 2>&1 && [[ $(id -u) -eq 0 ]]; then chown _apt "$work"; fi
if ! fetch_sources; then
  log "refreshing apt's source lists"
  if [[ -f "$own_sources" ]]; then
    update_source_list "$own_sources" || die "apt-get update of $own_sources failed"
  else
    as_root apt-get update -qq || die "apt-get update failed"
  fi
  fetch_sources || { cat "$work/apt.err" >&2; die "apt-get source ${packages[*]} failed"; }
fi
if [[ $(id -u) -eq 0 ]]; then chown root "$work"; fi

rm -rf "$dest.new"
mkdir -p "$dest.new"
versions=()
for package in "${packages[@]}"; do
  dsc=$(ls "$work/${package}"_*.dsc 2>/dev/null | head -n1)
  [[ -n "$dsc" ]] || die "no source package for $package was downloaded"
  versions+=("$package $(sed -n 's/^Version: //p' "$dsc")")
  # apt has already checked the files against the signed Sources index.
  dpkg-source --no-check -x "$dsc" "$work/src-$package" >/dev/null 2>&1 ||
    die "cannot unpack $dsc"
done
for key in "${!wanted[@]}"; do
  package=${key%%:*}
  folder=${key#*:}
  [[ -d "$work/src-$package/$folder" ]] || die "$package has no $folder"
  mkdir -p "$dest.new/${wanted[$key]}"
  find "$work/src-$package/$folder" -maxdepth 1 -type f -name '*.png' \
    -exec cp -t "$dest.new/${wanted[$key]}" {} +
done
{ echo "$expected"; printf 'source %s\n' "${versions[@]}"; } >"$dest.new/suites.stamp"
rm -rf "$dest"
mv "$dest.new" "$dest"
log "cached in $dest (${versions[*]})"
echo "$dest"
