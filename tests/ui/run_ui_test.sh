#!/usr/bin/env bash
# Runs in-process UI scenarios of Pixlane.exe under Wine's null display
# driver: `run_ui_test.sh Pixlane.exe SCENARIO...`. Each run starts from a
# scratch folder with its own Pixlane.ini, in a Wine prefix of its own
# (null driver set there once) so that the shared test prefix is untouched.
# A scenario writes PASS/FAIL lines and DONE to a log checked here
# (PIXLANE_HELP_FILE names the built help file for the "help" scenario). A
# background notepad keeps Wine's desktop process alive between runs (its
# start costs ~10 s under the null driver).
set -euo pipefail

exe=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
wine_run="$root/scripts/wine-run"
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/pixlane"
export PIXLANE_WINEPREFIX="$cache_root/wineprefix-ui-null"

# The null display driver: windows, controls and message loops without X.
marker="$PIXLANE_WINEPREFIX/.pixlane-null-driver"
if [[ ! -f "$marker" ]]; then
  "$wine_run" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # Processes started with the old driver setting must not linger.
  WINEPREFIX="$PIXLANE_WINEPREFIX" wineserver -k 2>/dev/null || true
  : >"$marker"
fi

fail() { echo "FAIL ($scenario): $*" >&2; exit 1; }

# The settings file as UTF-8 lines without CR, whether it is UTF-16 (with
# its byte order mark) or in the ANSI code page.
ini_text() {
  if [[ $(head -c 2 "$ini" | od -An -tx1 | tr -d ' \n') == fffe ]]; then
    iconv -f UTF-16 -t UTF-8 "$ini"
  else
    cat "$ini"
  fi | tr -d '\r'
}

# The HTML Help control's registration, changed by two scenarios and put
# back afterwards (also when a run fails).
help_server_key='HKLM\Software\Classes\CLSID\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\InprocServer32'
registration_saved=0
restore_registration() {
  if ((registration_saved)); then
    "$wine_run" reg delete "$help_server_key" /f >/dev/null 2>&1 || true
    "$wine_run" reg import 'C:\pixlane-help-server.reg' >/dev/null 2>&1 || echo "could not restore $help_server_key" >&2
    rm -f "$PIXLANE_WINEPREFIX/drive_c/pixlane-help-server.reg"
    registration_saved=0
  fi
}

keeper=""
cleanup() {
  restore_registration
  if [[ -n $keeper ]]; then kill "$keeper" 2>/dev/null || true; wait "$keeper" 2>/dev/null || true; fi
}
trap cleanup EXIT
PIXLANE_UI_TEST= "$wine_run" notepad.exe </dev/null >/dev/null 2>&1 &
keeper=$!

run_scenario() {
  scenario=$1
  work=$(mktemp -d /tmp/pixlane-ui-XXXXXX)
  mkdir -p "$work/app" "$work/in" "$work/out"
  cp "$exe" "$work/app/Pixlane.exe"
  winpath() { printf 'Z:%s' "${1//\//\\}"; }
  data="$root/tests/data/bmp"
  cp "$data/gen_24bit_v4.bmp" "$work/in/a.bmp"
  cp "$data/gen_8bit_v4.bmp" "$work/in/b.bmp"
  cp "$data/gen_4bit_v4.bmp" "$work/in/c.bmp"
  cp "$data/gen_24bit_v4.bmp" "$work/in/d.bmp"

  ini="$work/app/Pixlane.ini"
  write_ini() {  # extra "key=value" lines for [CvtPrms] and [MWin]; the first of a key counts
    {
      printf '[CvtPrms]\r\n%sOFmt=0\r\nSampling=1\r\n' "$1"
      printf '[MWin]\r\n%sIH0=%s\r\nOH0=%s\r\nEndMes=1\r\nFileMes=1\r\n' \
        "$2" "$(winpath "$work/in")" "$(winpath "$work/out")"
      printf '%s' "${3:-}"  # further sections
    } >"$ini"
  }

  log="$work/log.txt"
  export PIXLANE_UI_TEST_LOG
  PIXLANE_UI_TEST_LOG=$(winpath "$log")
  export PIXLANE_UI_TEST_DIR PIXLANE_UI_RES_DIR
  PIXLANE_UI_TEST_DIR=$(winpath "$work")
  PIXLANE_UI_RES_DIR=$(winpath "$root/src/ui/res")
  args=()
  expect_done=1
  followup=""  # a second run on the same folder and settings file
  unset PIXLANE_UI_EXPECT_VIEWER PIXLANE_EXTRA_DLLOVERRIDES PIXLANE_UI_EXPECT_ATTEMPTS
  case "$scenario" in
    pages | convert | drop | version) write_ini "" "" ;;
    tree)
      # Registered folders: reg1 (sub1, sub2, hid made hidden by the test,
      # .dot), reg2 (only secret, made hidden), gone (deleted by the test),
      # missing (never existed: skipped at start-up).
      mkdir -p "$work/reg1/sub1" "$work/reg1/sub2" "$work/reg1/hid" "$work/reg1/.dot" "$work/reg2/secret" \
        "$work/gone"
      write_ini "" $'TvIOSet=2\r\nHidden=2\r\nDTExpand=1\r\n' \
        "$(printf '[FolderList]\r\n0=%s\r\n1=%s\r\n2=%s\r\n3=%s\r\n4=%s\r\n' "$(winpath "$work/reg1")" \
          "$(winpath "$work/missing")" "$(winpath "$work/reg2")" "$(winpath "$work/gone")" "$(winpath "$work/reg1")")"
      ;;
    typed)
      # Another folder with two names of the listed one: typed into the box,
      # its files must be listed before any is converted (and deleted).
      mkdir -p "$work/other"
      cp "$data/gen_8bit_v4.bmp" "$work/other/a.bmp"
      cp "$data/gen_24bit_v4.bmp" "$work/other/b.bmp"
      cp "$data/gen_4bit_v4.bmp" "$work/other/e.bmp"
      write_ini $'IFileDel=1\r\nRecycle=0\r\n' $'FileMes=0\r\n'
      ;;
    short-names)
      cp "$data/gen_8bit_v4.bmp" "$work/in/long photo name.bmp"
      write_ini "" $'SdToCvt=0\r\n'
      ;;
    help)
      # With the built help file beside the program, the real viewer opens
      # each page's topic; without it only the calls are checked.
      write_ini "" ""
      if [[ -n ${PIXLANE_HELP_FILE:-} ]]; then
        cp "$PIXLANE_HELP_FILE" "$work/app/Pixlane.chm"
        export PIXLANE_UI_EXPECT_VIEWER=1
      fi
      ;;
    help-missing)
      # The HTML Help control cannot be loaded: Wine's library is disabled.
      write_ini "" ""
      export PIXLANE_EXTRA_DLLOVERRIDES="hhctrl.ocx="
      ;;
    help-expand | help-fallback)
      # The control's registered server changed for this run: an expandable
      # path that loads, or a path that does not (then "hhctrl.ocx" loads).
      write_ini "" ""
      if [[ -n ${PIXLANE_HELP_FILE:-} ]]; then
        cp "$PIXLANE_HELP_FILE" "$work/app/Pixlane.chm"
        export PIXLANE_UI_EXPECT_VIEWER=1
      fi
      "$wine_run" reg export "$help_server_key" 'C:\pixlane-help-server.reg' /y >/dev/null 2>&1 ||
        fail "cannot save the HTML Help registration"
      registration_saved=1
      if [[ $scenario == help-expand ]]; then
        "$wine_run" reg add "$help_server_key" /ve /t REG_EXPAND_SZ /d '%SystemRoot%\system32\hhctrl.ocx' /f >/dev/null 2>&1
        export PIXLANE_UI_EXPECT_ATTEMPTS=1
      else
        "$wine_run" reg add "$help_server_key" /ve /t REG_SZ /d 'C:\nowhere\hhctrl.ocx' /f >/dev/null 2>&1
        export PIXLANE_UI_EXPECT_ATTEMPTS=2
      fi
      ;;
    plugins)
      # Our Netpbm plug-in (PIXLANE_TEST_PLUGIN) in a folder of its own and
      # a PPM among the inputs.
      mkdir -p "$work/plugins"
      cp "${PIXLANE_TEST_PLUGIN:?the plug-in to load}" "$work/plugins/"
      printf 'P6\n2 2\n255\n\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff' >"$work/in/e.ppm"
      write_ini "" "SPI=$(winpath "$work/plugins")"$'\r\n'
      ;;
    open-folder)
      write_ini "" $'SdToCvt=1\r\n'
      args=("$(winpath "$work/in")")
      export PIXLANE_UI_EXPECT_INPUT
      PIXLANE_UI_EXPECT_INPUT=$(winpath "$work/in")
      ;;
    open-files)
      write_ini "" $'SdToCvt=0\r\n'
      args=("$(winpath "$work/in/B.BMP")" "$(winpath "$work/in/c.bmp")" "$(winpath "$work/in/d.bmp")")
      export PIXLANE_UI_EXPECT_INPUT PIXLANE_UI_EXPECT_CHECKED
      PIXLANE_UI_EXPECT_INPUT=$(winpath "$work/in")
      PIXLANE_UI_EXPECT_CHECKED="b.bmp,c.bmp,d.bmp,"
      ;;
    send-convert)
      write_ini "" $'SdToCvt=1\r\nSdToPath='"$(winpath "$work/out")"$'\r\n'
      args=("$(winpath "$work/in/a.bmp")" "$(winpath "$work/in/b.bmp")" "$(winpath "$work/in/c.bmp")")
      expect_done=0
      ;;
    input-preview)
      # A photo (decoded at full size although reduction is on), a file no
      # reader takes and a picture larger than the preview box.
      cp "$root/tests/data/jpeg/ycc420.jpg" "$work/in/photo.jpg"
      printf 'not an image\n' >"$work/in/broken.bmp"
      convert -size 600x150 gradient:red-blue -type TrueColor "BMP3:$work/in/wide.bmp"
      write_ini $'RszOpt=3\r\nRszSize=40\r\n' ""
      ;;
    output-preview)
      # Larger than any work area of the null driver, and a broken file.
      convert -size 2400x1600 gradient:red-blue -type TrueColor "BMP3:$work/in/big.bmp"
      printf 'not an image\n' >"$work/in/broken.bmp"
      write_ini "" ""
      ;;
    names)
      # Prefix, PNG output, and one name already taken in the output folder.
      cp "$data/gen_24bit_v4.bmp" "$work/out/s_a.png"
      write_ini $'OFmt=1\r\nTopAdd=1\r\nTopStr=s_\r\n' ""
      ;;
    comment)
      # A UTF-16 settings file, as the program writes it, keeps Japanese
      # text whatever the code page; the second run reads what the first
      # stored.
      write_ini $'OFmt=1\r\nCmtOpt=0\r\nCmtStr1=old comment0\r\n' ""
      { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$ini"; } >"$ini.utf16"
      mv "$ini.utf16" "$ini"
      followup=comment-reload
      ;;
    second-start) write_ini "" "" ;;
    wrong-name)
      # Under another name the program refuses to start (exit 1, no window).
      write_ini "" ""
      cp "$work/app/Pixlane.exe" "$work/app/Other.exe"
      rc=0
      PIXLANE_UI_TEST=pages timeout 30 "$wine_run" "$work/app/Other.exe" || rc=$?
      ((rc == 1)) || fail "Other.exe exited with $rc"
      [[ ! -f $log ]] || fail "Other.exe ran the scenario"
      echo "ok: $scenario"
      rm -rf "$work"
      return 0
      ;;
    *) echo "unknown scenario $scenario" >&2; exit 2 ;;
  esac
  real_scenario=$scenario
  [[ $scenario == open-* ]] && real_scenario=open
  [[ $scenario == help-expand || $scenario == help-fallback ]] && real_scenario=help-registry
  [[ $scenario == second-start ]] && real_scenario=wait-restore

  status=0
  if [[ $scenario == second-start ]]; then
    PIXLANE_UI_TEST=$real_scenario timeout 60 "$wine_run" "$work/app/Pixlane.exe" &
    first=$!
    for _ in $(seq 1 200); do
      grep -q READY "$log" 2>/dev/null && break
      sleep 0.1
    done
    PIXLANE_UI_TEST=second timeout 30 "$wine_run" "$work/app/Pixlane.exe" || status=$?
    wait "$first" || status=$?
  else
    PIXLANE_UI_TEST=$real_scenario timeout 60 "$wine_run" "$work/app/Pixlane.exe" "${args[@]}" || status=$?
    if [[ -n $followup ]] && ((status == 0)); then
      PIXLANE_UI_TEST=$followup timeout 60 "$wine_run" "$work/app/Pixlane.exe" || status=$?
    fi
  fi

  restore_registration
  [[ -f $log ]] && cat "$log"
  ((status == 0)) || fail "Pixlane.exe exited with $status"
  if ((expect_done)); then
    runs=1
    [[ -z $followup ]] || runs=2
    (($(grep -c " DONE$" "$log") == runs)) || fail "scenario did not finish cleanly"
  fi
  # The settings were written at exit in every scenario.
  ini_text | grep -q '^Marker=' || fail "settings not saved at exit"
  case "$scenario" in
    pages)
      # What the pages showed when the window closed.
      for kv in OFmt=2 JTrans=0 IFmt=6 Quality=100 NameSet=2 DigitNum=5 ExtStr0=pic GamOpt=1 GamVal=30 SdToCvt=1 TipAct=0 Reset=0; do
        tr -d '\r' <"$ini" | grep -qx "$kv" || fail "INI lacks $kv"
      done
      ;;
    send-convert)
      n=$(find "$work/out" -type f | wc -l)
      ((n == 3)) || fail "send-convert wrote $n files, expected 3"
      ;;
    convert)
      tr -d '\r' <"$ini" | grep -q '^IH0=Z:' || fail "history not saved"
      ;;
    tree)
      # The list as the scenario left it: the deleted, missing and repeated
      # folders dropped, the one registered by the scenario added, numbered
      # without gaps.
      expected=$(printf '[FolderList]\n0=%s\n1=%s\n2=%s\n' "$(winpath "$work/reg1")" "$(winpath "$work/reg2")" \
        "$(winpath "$work/reg1/sub2")")
      got=$(tr -d '\r' <"$ini" | sed -n '/^\[FolderList\]/,/^\[/p' | grep -v '^$' | grep -v '^\[[^F]')
      [[ $got == "$expected" ]] || fail "FolderList saved as: $got"
      for kv in TvIOSet=2 Hidden=2; do
        tr -d '\r' <"$ini" | grep -qx "$kv" || fail "INI lacks $kv"
      done
      ;;
    comment)
      # Line breaks are stored coded (CR as 2, LF as 3) with a "0" after.
      ini_text | grep -qx $'CmtStr1=一行目\x02\x03二行目0' || fail "CmtStr1 not stored as expected"
      ;;
    input-preview | output-preview)
      n=$(find "$work/out" -type f | wc -l)
      ((n == 0)) || fail "$scenario wrote $n files into the output folder"
      ;;
  esac
  echo "ok: $scenario"
  rm -rf "$work"
}

for scenario in "$@"; do
  run_scenario "$scenario"
done
