#!/usr/bin/env bash
# The real progress window under Wine and Xvfb, driven as a user drives it:
#   1. a run kept going by the test's step; Cancel is clicked, "Are you
#      sure?" answered Yes; the run stops and, with "close when complete"
#      ticked, writes its report and closes;
#   2. a run in which the user unticks "close when complete"; it ends with
#      the Close button showing and the window open (a screenshot of it is
#      kept in the artefacts folder); Esc on Close writes the report and ends;
#   3. the window at 96 and at 144 DPI (the prefix's LogPixels): the client
#      area has the layout's size at that DPI, every control lies inside it
#      and every caption fits its control (the program measures its own
#      window, see WindowTestMain.cpp); a screenshot at each DPI is kept.
# Usage: window-test.sh <remdo_window_test.exe> <artefacts folder> <prefix>
# The window runs in a Wine prefix of its own, whose session starts on the
# test's Xvfb display and ends with the test: a session started without a
# display (as the other tests' is) cannot open windows.
# Exit 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -uo pipefail
exe="$1"
artefacts="$2"
prefix="$3"

for tool in xvfb-run xdotool import wine; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if [ -z "${REMDO_INSIDE_XVFB:-}" ]; then
  export REMDO_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" "$@"
fi

# The Wine loader this host can run (32-bit, or 64-bit with the 64-bit build).
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine-host"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
scratch="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$artefacts" "$prefix"
"$REMDO_WINE" wineboot --init >/dev/null 2>&1 || true

fail() { echo "FAIL: $*"; exit 1; }
# Sets the prefix's DPI; the next Wine session starts with it.
set_dpi() {
  wineserver -k >/dev/null 2>&1; wineserver -w
  "$REMDO_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
    fail "LogPixels could not be set"
  "$REMDO_WINE" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 || fail "LogPixels could not be set"
  wineserver -k >/dev/null 2>&1; wineserver -w
}
# The Windows form of a host path (Wine shows the host's root as Z:).
windows_path() { printf 'Z:%s\\' "$(printf '%s' "$1" | tr / '\\')"; }
# Waits up to $1 seconds for the command after it to succeed.
wait_until() {
  local limit=$(($1 * 10)); shift
  for ((i = 0; i < limit; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}
window_of() { xdotool search --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_of "$1")" ]; }
gone() { ! kill -0 "$1" 2>/dev/null; }
contains() { grep -qF -- "$2" "$1" || fail "$1 lacks: $2 ($(tr '\r' '~' <"$1" | head -c 2000))"; }

# The layout's places, in client coordinates (the X window is the client
# area under Xvfb, which has no window manager).
cancel_x=467 cancel_y=426      # CloseBtn
autoclose_x=22 autoclose_y=437  # AutoCloseChk

start() {  # folder mode
  mkdir -p "$1"
  "$REMDO_WINE" "$exe" "$(windows_path "$1")" "$2" >"$1/stdout.txt" 2>&1 &
  pid=$!
  pids+=("$pid")
  wait_until 60 test -f "$1/running.txt" || fail "the run did not start ($2): $(cat "$1/stdout.txt")"
  wait_until 20 has_window '^FENRO Remdo$' || fail "no window titled FENRO Remdo"
  window="$(window_of '^FENRO Remdo$')"
}

set_dpi 96

echo "--- run 1: Cancel, answered Yes"
folder="$scratch/cancel"
start "$folder" cancel
xdotool mousemove --window "$window" "$cancel_x" "$cancel_y" click 1
wait_until 20 has_window '^Stop\?$' || fail "Cancel did not ask \"Are you sure?\""
sleep 0.3
xdotool key Return  # Yes is the box's default button
wait_until 60 gone "$pid" || fail "the window did not close after Yes"
wait "$pid" || fail "the program failed: $(cat "$folder/stdout.txt")"
contains "$folder/Remdo.log" "...program stopped."
contains "$folder/RemdLogs.txt" "tests interrupted, no errors"
grep -q $'\r$' "$folder/Remdo.log" || fail "Remdo.log lines do not end in CR LF"

echo "--- run 2: close when complete unticked"
folder="$scratch/close"
start "$folder" wait
xdotool mousemove --window "$window" "$autoclose_x" "$autoclose_y" click 1
sleep 0.5
touch "$folder/proceed.txt"
wait_until 20 test -f "$folder/ended.txt" || fail "the step did not end"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the window closed although close when complete was unticked"
[ ! -e "$folder/Remdo.log" ] || fail "the report was written before Close"
import -window "$window" "$artefacts/window-run-ended.png" || fail "no screenshot"
xdotool key Escape  # the focus is on Close, the window's cancel key
wait_until 60 gone "$pid" || fail "Esc on Close did not close the window"
wait "$pid" || fail "the program failed: $(cat "$folder/stdout.txt")"
contains "$folder/Remdo.log" "All tables completed."
contains "$folder/RemdLogs.txt" ", no errors"
echo "screenshot: $artefacts/window-run-ended.png"

# The layout's client area (539 x 458 at 96 DPI) at dpi, rounded as MulDiv.
scaled() { echo $((($1 * $2 + 48) / 96)); }
for dpi in 96 144; do
  echo "--- run 3: the window at $dpi DPI"
  set_dpi "$dpi"
  folder="$scratch/layout-$dpi"
  start "$folder" layout
  report="$folder/layout.txt"
  grep -qx "dpi $dpi" "$report" || fail "the window was laid out for another DPI: $(head -1 "$report")"
  width=$(scaled 539 "$dpi") height=$(scaled 458 "$dpi")
  grep -qx "client $width $height" "$report" || fail "client area $(sed -n 2p "$report"), not $width x $height"
  [ "$(grep -c '^control ' "$report")" -ge 16 ] || fail "controls missing: $(cat "$report")"
  ! grep '^fail' "$report" || fail "layout at $dpi DPI: $(cat "$report")"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$WIDTH" -eq "$width" ] && [ "$HEIGHT" -eq "$height" ] || fail "the X window is $WIDTH x $HEIGHT, not $width x $height"
  sleep 0.5
  import -window "$window" "$artefacts/window-${dpi}dpi.png" || fail "no screenshot"
  touch "$folder/proceed.txt"
  wait_until 60 gone "$pid" || fail "the window did not close after the run at $dpi DPI"
  wait "$pid" || fail "the program failed: $(cat "$folder/stdout.txt")"
  echo "screenshot: $artefacts/window-${dpi}dpi.png"
done
echo "PASS"
