#!/usr/bin/env bash
# Checks what `cmake --install` gives a Linux user:
#   install_check.sh BUILD_DIR GENERATED_DIR WORK_DIR
# - the layout: bin/pixlane, man1/pixlane.1, the bash completion, the doc
#   folder with the README, the HTML help and the licence texts;
# - pixlane(1) renders with groff and man without a warning and lists every
#   option of `pixlane --help`;
# - the completion, sourced into bash, completes options and their values
#   (including values with ":", a word break for bash) and folders.
set -euo pipefail
build=$1 generated=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/pixlane share/man/man1/pixlane.1 share/bash-completion/completions/pixlane \
         share/doc/pixlane/README.md share/doc/pixlane/help/overview.htm \
         share/doc/pixlane/help/help.css share/doc/pixlane/licenses/libjpeg-turbo.txt \
         share/doc/pixlane/licenses/zlib.txt share/doc/pixlane/licenses/libdeflate.txt; do
  [[ -s $prefix/$f ]] || fail "install tree lacks $f"
done
[[ -x $prefix/bin/pixlane ]] || fail "bin/pixlane is not executable"
help=$("$prefix/bin/pixlane" --help)
# Every option the program names in its help.
mapfile -t options < <(grep -oP '(?<![\w-])--?[A-Za-z][\w-]*' <<<"$help" | sort -u)
((${#options[@]} > 30)) || fail "only ${#options[@]} options found in --help"

# --- the manual page --------------------------------------------------------
page="$prefix/share/man/man1/pixlane.1"
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[[ -z $warnings ]] || fail "groff warns: $warnings"
rendered=$(MANWIDTH=200 man -l "$page" 2>"$work/man.err")
[[ ! -s $work/man.err ]] || fail "man warns: $(cat "$work/man.err")"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES; do
  grep -q "^$section" <<<"$rendered" || fail "the manual page has no $section section"
done
grep -qF '"変換"' <<<"$rendered" || fail "the Japanese button name did not survive"
for option in "${options[@]}"; do
  grep -qe "$option" <<<"$rendered" || fail "the manual page lacks $option"
done
grep -q 'pixlane 3\.[0-9]' <<<"$rendered" || fail "no version in the page footer"

# --- bash completion --------------------------------------------------------
mkdir -p "$work/cwd/photos" "$work/cwd/prints"
: >"$work/cwd/picture.png"
complete_line() {  # prints the completions of a command line, one a line
  (
    cd "$work/cwd"
    # shellcheck disable=SC1090
    source "$prefix/share/bash-completion/completions/pixlane"
    COMP_LINE=$1
    COMP_POINT=${#1}
    read -r -a COMP_WORDS <<<"$1"
    COMP_CWORD=${#COMP_WORDS[@]}
    [[ $1 == *' ' ]] || COMP_CWORD=$((COMP_CWORD - 1))
    COMPREPLY=()
    _pixlane pixlane "" ""
    printf '%s\n' "${COMPREPLY[@]}" | sort
  )
}
expect() {  # expect "command line" "expected completions, space separated"
  local got
  got=$(complete_line "$1" | tr '\n' ' ' | sed 's/ $//')
  [[ $got == "$2" ]] || fail "completing '$1': got '$got', expected '$2'"
}
expect "pixlane --form" "--format"
expect "pixlane --format " "bmp gif jpeg png tiff"
expect "pixlane -o out --depth g" "gray"
expect "pixlane --sharpen " "medium strong weak"
expect "pixlane --naming s" "serial"
expect "pixlane --rotate 1" "180"
expect "pixlane --input-format " "all bmp gif jpeg png tiff"
expect "pixlane --markers c" "comments"
# Bash splits "4:2:" at the colons: only the part after the last one is offered.
expect "pixlane --sampling 4:2:" "0 2"
expect "pixlane --sampling 4:" "2:0 2:2 4:4"
expect "pixlane -o p" "photos prints"
expect "pixlane --plugins ph" "photos"
expect "pixlane --quality " ""
expect "pixlane --format png pi" "picture.png"
all=" $(complete_line "pixlane -" | tr '\n' ' ') "
for option in "${options[@]}"; do
  [[ $all == *" $option "* ]] || fail "'pixlane -' does not offer $option"
done
rm -rf "$work"
echo "install tree, manual page and completion: ok (${#options[@]} options)"
