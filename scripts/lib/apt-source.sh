# Shell functions for fetching Debian source packages with "apt-get source",
# sourced by the test scripts that fetch conformance files. The caller
# defines log and die. Adding a deb-src entry and refreshing the lists need
# root (or sudo).

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    die "need root to run: $*"
  fi
}

has_source_index() {
  apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx Sources
}

# Refreshes only the given sources file, keeping the other lists as they are.
# Another apt run (another test's set-up) may hold the lists lock for a
# while: try a few times.
update_source_list() {
  local try
  for try in 1 2 3 4 5 6; do
    as_root apt-get update -qq \
      -o Dir::Etc::sourcelist="$1" -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0 && return 0
    sleep 10
  done
  return 1
}

# When apt has no source index, writes a deb-src entry for the release's
# main archive to the sources file $1 and refreshes it.
ensure_source_index() {
  has_source_index && return 0
  local own_sources=$1 codename mirror
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  mirror=$(apt-get indextargets --format '$(SITE)' "Identifier: Packages" \
             "Release: $codename" "Component: main" 2>/dev/null | head -n1)
  mirror=${mirror:-http://deb.debian.org/debian}
  log "adding a deb-src entry for $codename main from $mirror ($own_sources)"
  as_root tee "$own_sources" >/dev/null <<SOURCES
# Added by Pixlane's tests: source packages for "apt-get source".
Types: deb-src
URIs: $mirror
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  update_source_list "$own_sources" || die "apt-get update of $own_sources failed"
}
