#!/bin/bash
# The desktop commands (tools/kavrel, tools/dunmere) on an X server of the
# test's own with a window manager (openbox): each program's window, and
# Kavrel's help window, is framed and listed by the window manager; a close
# through the window manager ends the program, Kavrel saving CF.ini beside its
# copy in the kept program folder, and a Ctrl-C in its terminal closes it as
# the close box does; a start prints nothing. What the test
# started ends with it: the X server and the window manager by process id,
# Wine by the wineserver of its own prefix, a copy of the tests' prefix (the
# tests' windows stay unmanaged).
set -u
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(realpath "$(mktemp -d)")"
export KAVREL_DESKTOP_PREFIX="$work/prefix" KAVREL_HOME="$work/home" KAVREL_WINE_READY=1 LC_ALL=zh_CN.UTF-8
pids=()
cleanup() {
  WINEPREFIX="$KAVREL_DESKTOP_PREFIX" wineserver -k 2>/dev/null
  kill "${pids[@]}" 2>/dev/null
  wait
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/out" >&2 2>/dev/null; exit 1; }
# until SECONDS COMMAND...: true once COMMAND succeeds within SECONDS.
until_true() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do ((SECONDS < end)) || return 1; sleep 1; done
}

# A prefix made ready once spares each run Wine's first start.
[ ! -d "$repo/build/wineprefix" ] || cp -a "$repo/build/wineprefix" "$KAVREL_DESKTOP_PREFIX" 2>/dev/null

for num in $(seq 200 299); do [ -e "/tmp/.X$num-lock" ] || [ -e "/tmp/.X11-unix/X$num" ] || break; done
export DISPLAY=":$num"
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
until_true 60 xdpyinfo >/dev/null 2>&1 || fail "the X server on $DISPLAY did not start"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
until_true 60 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"

# The id of the window the window manager lists under the title $1.
listed() {
  local id desktop host title
  wmctrl -l 2>/dev/null | while read -r id desktop host title; do [ "$title" != "$1" ] || echo "$id"; done
}
# framed TITLE: waits for the window, which must be a child of a frame of the
# window manager's, with the frame's extents and the title unchanged; prints its id.
framed() {
  local title="$1" id=""
  until_true 600 eval 'id="$(listed "$title")"; [ -n "$id" ]' || fail "no window \"$1\" is listed by the window manager"
  local parent root
  parent="$(xwininfo -children -id "$id" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')"
  root="$(xwininfo -children -id "$id" | sed -n 's/^ *Root window id: \(0x[0-9a-f]*\).*/\1/p')"
  [ -n "$parent" ] && [ "$parent" != "$root" ] || fail "\"$1\" is not framed: its parent is the root window"
  xprop -id "$id" _NET_FRAME_EXTENTS | grep -q '= [0-9]' || fail "\"$1\" has no frame extents"
  # The window manager shows the title as it is: it marks a program it takes for another machine's.
  local shown
  shown="$(xprop -id "$id" _NET_WM_VISIBLE_NAME | sed -n 's/^[^=]*= "\(.*\)"$/\1/p')"
  [ -z "$shown" ] || [ "$shown" = "$title" ] || fail "\"$1\" is shown as \"$shown\""
  echo "$id"
}
# closes the window $1 through the window manager and waits until it is gone.
close() {
  local window="$1"
  wmctrl -i -c "$window"
  until_true 300 eval '! wmctrl -l 2>/dev/null | grep -q "^$window "' || fail "window $window stayed after its close"
}
running() { local state; state="$(ps -o stat= -p "$1")"; [ -n "$state" ] && [ "${state:0:1}" != Z ]; }
# ends_cleanly PID NAME: the command ends with code 0 and printed nothing.
ends_cleanly() {
  local pid="$1"
  until_true 300 eval '! running $pid' || fail "$2 did not end after its window closed"
  wait "$1" || fail "$2 ended with code $?"
  [ ! -s "$work/out" ] || fail "$2 printed something"
}

"$repo/tools/kavrel" >"$work/out" 2>&1 &
pids+=($!)
main="$(framed "Kavrel　　by Tolvane")" || exit 1
# A click on 使用说明 (the button's middle, in the window's client area) until the help window is listed.
until_true 600 eval 'xdotool mousemove --window "$main" 600 246 click 1; sleep 3; [ -n "$(listed 使用说明)" ]' ||
  fail "a click on 使用说明 opened no window the window manager lists"
help="$(framed "使用说明")" || exit 1
close "$help"
close "$main"
ends_cleanly "${pids[-1]}" tools/kavrel
[ -s "$KAVREL_HOME/CF.ini" ] || fail "Kavrel saved no CF.ini in $KAVREL_HOME"
cmp -s "$KAVREL_HOME/Kavrel.exe" "$repo/build/apps/Kavrel.exe" || fail "Kavrel did not run from its copy in $KAVREL_HOME"

# Started from a terminal, tools/kavrel takes the terminal's Ctrl-C for its
# close box: the same CF.ini is saved, and nothing it started runs on.
# on_terminal COMMAND: runs COMMAND on a pseudo-terminal of its own, typing
# the terminal's ^C at each SIGUSR1; its exit code is the command's.
on_terminal() {
  exec python3 -c 'import os, pty, signal, sys
pid, terminal = pty.fork()
if pid == 0:
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    os.execv(sys.argv[1], sys.argv[1:])
signal.signal(signal.SIGUSR1, lambda *_: os.write(terminal, b"\x03"))
try:
    while os.read(terminal, 4096): pass
except OSError: pass
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))' "$@"
}
# The processes whose command line names the test's folder.
naming_work() {
  local file args
  for file in /proc/[0-9]*/cmdline; do
    mapfile -d '' args 2>/dev/null <"$file" || continue
    [[ "${args[*]}" != *"${work##*/}"* ]] || echo "${file//[^0-9]/}: ${args[*]}"
  done
}
mv "$KAVREL_HOME/CF.ini" "$work/closed-by-box.ini"
on_terminal "$repo/tools/kavrel" >"$work/out" 2>&1 &
pids+=($!)
framed "Kavrel　　by Tolvane" >/dev/null || exit 1
kill -USR1 "${pids[-1]}"
until_true 300 eval '! running ${pids[-1]}' || fail "tools/kavrel did not end after a Ctrl-C"
wait "${pids[-1]}" || fail "tools/kavrel ended with code $? after a Ctrl-C"
cmp -s "$KAVREL_HOME/CF.ini" "$work/closed-by-box.ini" || fail "a Ctrl-C did not save CF.ini as the close box does"
left="$(naming_work)"
[ -z "$left" ] || fail "still running after tools/kavrel ended: $left"

"$repo/tools/dunmere" >"$work/out" 2>&1 &
pids+=($!)
window="$(framed "Dunmere   by Tolvane")" || exit 1
close "$window"
ends_cleanly "${pids[-1]}" tools/dunmere
echo "ok"
