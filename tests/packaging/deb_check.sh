#!/usr/bin/env bash
# Checks the Debian package of the command line: deb_check.sh PIXLANE.deb
# - its files: the program, the compressed manual page, the completion, the
#   doc folder with copyright, changelog, README, HTML help and licences;
# - its dependencies name the libraries the program links;
# - lintian finds no error and no warning;
# - as root (CI), it installs with apt, `pixlane --version` and `man -w`
#   work, and it removes cleanly. Skipped when pixlane is already installed
#   from elsewhere, so that a developer's own installation is left alone.
set -euo pipefail
deb=$(realpath "$1")
fail() { echo "FAIL: $*" >&2; exit 1; }
version=$(dpkg-deb -f "$deb" Version)

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/pixlane ./usr/share/man/man1/pixlane.1.gz \
         ./usr/share/bash-completion/completions/pixlane \
         ./usr/share/doc/pixlane/copyright ./usr/share/doc/pixlane/changelog.gz \
         ./usr/share/doc/pixlane/README.md ./usr/share/doc/pixlane/help/overview.htm \
         ./usr/share/doc/pixlane/licenses/libjpeg-turbo.txt ./usr/share/doc/pixlane/licenses/zlib.txt \
         ./usr/share/doc/pixlane/licenses/libdeflate.txt; do
  grep -qxF "$f" <<<"$contents" || fail "the package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libjpeg62-turbo zlib1g libdeflate0 libstdc++6; do
  [[ $depends == *"$lib "* || $depends == *"$lib," || $depends == "$lib" ]] ||
    fail "Depends lacks $lib: $depends"
done

lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
  fail "lintian found problems"
echo "package contents, dependencies, lintian: ok"

if [[ $(id -u) -ne 0 ]]; then
  echo "install test skipped: not root"
  exit 0
fi
if dpkg-query -W -f='${Status}' pixlane 2>/dev/null | grep -q 'install ok installed'; then
  echo "install test skipped: a pixlane package is already installed here"
  exit 0
fi
apt=(apt-get -y -qq -o DPkg::Lock::Timeout=300)
removed=0
remove() { ((removed)) || DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge pixlane >/dev/null; removed=1; }
trap remove EXIT
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install --no-install-recommends "$deb" >/dev/null 2>&1 ||
  fail "apt-get install $deb failed"
[[ $(/usr/bin/pixlane --version) == "pixlane $version" ]] || fail "installed pixlane --version: $(/usr/bin/pixlane --version)"
[[ $(man -w pixlane) == /usr/share/man/man1/pixlane.1.gz ]] || fail "man -w pixlane: $(man -w pixlane)"
remove
[[ ! -e /usr/bin/pixlane && ! -e /usr/share/doc/pixlane ]] || fail "files left after removal"
echo "install, pixlane --version, man -w, removal: ok"
