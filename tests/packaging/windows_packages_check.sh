#!/usr/bin/env bash
# Checks the Windows packages that scripts/package-windows made:
#   windows_packages_check.sh DIST_DIR VERSION
# - each zip holds exactly the programs, help, plug-in, read-me and licence
#   texts, with programs of its own width and a read-me Notepad reads right;
# - the installer, under Wine in a fresh prefix: a silent per-machine
#   installation into a given folder (/S /AllUsers /SendTo /D=) puts the files,
#   the Start-menu shortcuts, the Send To entry and the uninstaller's entry
#   in place; pixlane-cli.exe reports the installer's version; the installed
#   Pixlane.exe starts in its UI test mode and converts; the registered
#   uninstaller, run silently, removes the folder, the shortcuts and the
#   entry and keeps the user's Pixlane.ini. Then a per-user installation
#   into the default folder, uninstalled with /DeleteSettings, removes the
#   INI but not a file the user put into the program's folder.
set -euo pipefail
dist=$(realpath "$1")
version=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

# The version resource's strings (UTF-16) name this version.
has_version() {
  local strings
  strings=$(strings -el "$1")
  grep -qx ProductVersion <<<"$strings" && grep -qx "$version" <<<"$strings"
}

# --- the zips ---------------------------------------------------------------
licenses=$(grep -v '^#' "$root/packaging/licenses" | awk 'NF {print "licenses/" $1 ".txt"}' | sort)
expected=$(printf '%s\n' Pixlane.exe Pixlane.chm README-ja.txt pixlane-cli.exe plugins/pixlane_netpbm.spi \
             $licenses | sort)
for flavour in win64:pei-x86-64 win32:pei-i386; do
  zip="$dist/Pixlane-$version-${flavour%%:*}.zip"
  format=${flavour#*:}
  [[ -f $zip ]] || fail "$zip missing"
  listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
  [[ $listed == "$expected" ]] || fail "$(basename "$zip") holds: $listed"
  unpacked=$(mktemp -d)
  unzip -q "$zip" -d "$unpacked"
  for exe in Pixlane.exe pixlane-cli.exe plugins/pixlane_netpbm.spi; do
    objdump -f "$unpacked/$exe" | grep -q "file format $format" || fail "$exe in $(basename "$zip") is not $format"
  done
  for exe in Pixlane.exe pixlane-cli.exe; do
    has_version "$unpacked/$exe" || fail "$exe in $(basename "$zip") has no version $version resource"
  done
  head -c3 "$unpacked/README-ja.txt" | cmp -s - <(printf '\xef\xbb\xbf') || fail "README-ja.txt has no UTF-8 BOM"
  iconv -f UTF-8 -t UTF-8 "$unpacked/README-ja.txt" >/dev/null || fail "README-ja.txt is not UTF-8"
  ! grep -qv $'\r$' "$unpacked/README-ja.txt" || fail "README-ja.txt has lines without CRLF"
  grep -q "Pixlane $version" "$unpacked/README-ja.txt" || fail "README-ja.txt does not name version $version"
  rm -rf "$unpacked"
done
echo "zips: ok"

# --- the installer under Wine -----------------------------------------------
setup="$dist/Pixlane-$version-setup-x64.exe"
objdump -f "$setup" | grep -q "file format pei-x86-64" || fail "the installer is not a 64-bit program"
has_version "$setup" || fail "the installer has no version $version resource"
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/pixlane"
export PIXLANE_WINEPREFIX="$cache_root/wineprefix-installer"
prefix=$PIXLANE_WINEPREFIX
wine_run="$root/scripts/wine-run"
work=$(mktemp -d /tmp/pixlane-installer-XXXXXX)
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  rm -rf "$work" "$prefix" "$prefix.lock" "$prefix.log"
}
trap cleanup EXIT
# A fresh prefix every run: nothing from an earlier installation is there.
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
rm -rf "$prefix"
# Windows without a display: Wine's null driver.
"$wine_run" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
winpath() { printf 'Z:%s' "${1//\//\\}"; }
reg_value() {  # reg_value KEY VALUE: the value's data, or nothing
  "$wine_run" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print}'
}
user_dir=$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming | grep -v '/Public/' | head -n1)
user_dir=${user_dir%/AppData/Roaming}
appdata="$user_dir/AppData/Roaming"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixlane'
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pixlane"
sendto="$appdata/Microsoft/Windows/SendTo/Pixlane.lnk"

"$wine_run" "$setup" /S /AllUsers /SendTo '/D=C:\PixlaneTest' || fail "the silent installation exited with $?"
inst="$prefix/drive_c/PixlaneTest"
for f in $expected uninstall.exe; do
  [[ -s $inst/$f ]] || fail "installed folder lacks $f"
done
[[ -f $menu/Pixlane.lnk ]] || fail "no Start-menu shortcut for the program"
[[ $(find "$menu" -name '*.lnk' | wc -l) -eq 2 ]] || fail "Start menu holds: $(ls "$menu")"
[[ -f $sendto ]] || fail "no Send To entry"
[[ $(reg_value "$key" DisplayVersion) == "$version" ]] || fail "uninstall entry version: $(reg_value "$key" DisplayVersion)"
[[ $(reg_value "$key" InstallLocation) == 'C:\PixlaneTest' ]] || fail "uninstall entry folder: $(reg_value "$key" InstallLocation)"
uninstall=$(reg_value "$key" UninstallString)
[[ $uninstall == '"C:\PixlaneTest\uninstall.exe"' ]] || fail "UninstallString: $uninstall"
cli_version=$("$wine_run" 'C:\PixlaneTest\pixlane-cli.exe' --version | tr -d '\r')
[[ $cli_version == "pixlane $version" ]] || fail "pixlane-cli.exe --version says '$cli_version'"
echo "installation: ok"

# The installed program converts, with the user's settings file in %APPDATA%.
mkdir -p "$work/in" "$work/out" "$appdata/Pixlane"
for name in a b c; do cp "$root/tests/data/bmp/gen_24bit_v4.bmp" "$work/in/$name.bmp"; done
ini="$appdata/Pixlane/Pixlane.ini"
printf '[CvtPrms]\r\nOFmt=0\r\nSampling=1\r\n[MWin]\r\nIH0=%s\r\nOH0=%s\r\nEndMes=1\r\nFileMes=1\r\n' \
  "$(winpath "$work/in")" "$(winpath "$work/out")" >"$ini"
status=0
PIXLANE_UI_TEST=convert PIXLANE_UI_TEST_LOG=$(winpath "$work/log.txt") PIXLANE_UI_TEST_DIR=$(winpath "$work") \
  PIXLANE_UI_RES_DIR=$(winpath "$root/src/ui/res") \
  timeout 120 "$wine_run" 'C:\PixlaneTest\Pixlane.exe' || status=$?
cat "$work/log.txt" 2>/dev/null || true
((status == 0)) || fail "the installed Pixlane.exe exited with $status"
grep -q ' DONE$' "$work/log.txt" || fail "the installed Pixlane.exe did not finish its test"
(($(find "$work/out" -type f | wc -l) >= 2)) || fail "the installed Pixlane.exe converted nothing"
grep -q '^Marker=' "$ini" || fail "the program did not save its settings in $ini"
cp "$ini" "$work/ini-before"

# The registered uninstaller, silently. NSIS's uninstaller copies itself
# away and returns at once; run that copy here with "_?=" so that the test
# waits for it, as the uninstaller itself does.
cp "$inst/uninstall.exe" "$work/uninstall-copy.exe"
"$wine_run" "$(winpath "$work/uninstall-copy.exe")" /S '_?=C:\PixlaneTest' || fail "the silent uninstallation exited with $?"
[[ ! -e $inst ]] || fail "installed folder left behind: $(cd "$inst" && find . -print)"
[[ ! -e $menu ]] || fail "Start-menu folder left behind"
[[ ! -e $sendto ]] || fail "Send To entry left behind"
[[ -z $(reg_value "$key" DisplayName) ]] || fail "uninstall entry left behind"
cmp -s "$ini" "$work/ini-before" || fail "the user's Pixlane.ini was changed or removed"
echo "program run and uninstallation: ok"

# Per-user, default folder; the user's own file in it stays, the INI goes
# when asked.
"$wine_run" "$setup" /S /CurrentUser || fail "the per-user installation exited with $?"
user_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixlane'
local_inst="$user_dir/AppData/Local/Programs/Pixlane"
[[ -s $local_inst/Pixlane.exe ]] || fail "per-user installation not in %LOCALAPPDATA%\\Programs\\Pixlane"
[[ -n $(reg_value "$user_key" DisplayName) ]] || fail "no per-user uninstall entry"
[[ -f "$appdata/Microsoft/Windows/Start Menu/Programs/Pixlane/Pixlane.lnk" ]] || fail "no per-user Start-menu shortcut"
[[ ! -e $sendto ]] || fail "Send To entry made without /SendTo"
echo "mine" >"$local_inst/notes.txt"
cp "$local_inst/uninstall.exe" "$work/uninstall-copy.exe"
"$wine_run" "$(winpath "$work/uninstall-copy.exe")" /S /DeleteSettings "_?=$(reg_value "$user_key" InstallLocation)" ||
  fail "the per-user uninstallation exited with $?"
[[ $(cd "$local_inst" && find . -mindepth 1) == ./notes.txt ]] || fail "per-user folder after uninstallation: $(cd "$local_inst" && find .)"
[[ ! -e $ini ]] || fail "/DeleteSettings kept Pixlane.ini"
[[ -z $(reg_value "$user_key" DisplayName) ]] || fail "per-user uninstall entry left behind"
echo "per-user installation and uninstallation: ok"
