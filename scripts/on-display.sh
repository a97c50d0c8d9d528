#!/usr/bin/env bash
# Runs a command on a virtual X server of its own with a window manager
# (openbox), for measures of real windows: DISPLAY is set for the command,
# and the server and window manager end with it. Installs Xvfb, openbox and
# the X utilities from Debian when they are missing. The tests of windows
# under a window manager (WindowsOnScreen) run the editor with it.
#
#   scripts/on-display.sh [--screen WxH] [--no-wm] [--] COMMAND [ARG ...]
#
# --screen: the virtual screen's size (default 3840x2400, room for a 4K
# window with its frame). The exit status is the command's.
set -euo pipefail

screen=3840x2400
wm=1
while [ $# -gt 0 ]; do
  case "$1" in
    --screen) screen="$2"; shift 2 ;;
    --no-wm) wm=0; shift ;;
    --) shift; break ;;
    -*) sed -n '/^#   scripts/,/^#$/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { sed -n '/^#   scripts/,/^#$/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xdpyinfo >/dev/null || need+=(x11-utils)
[ "$wm" = 0 ] || command -v openbox >/dev/null || need+=(openbox)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

log="$(mktemp -d "${TMPDIR:-/tmp}/on-display.XXXXXX")"
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$log"
}
trap cleanup EXIT

# The first display number from 100 on that nobody holds (the low ones are
# the desktops' and other tools'); the next one if another server took it
# meanwhile. The number is ours only when the server's lock names our
# server: a server started at the same moment for the same number answers
# too, and a run on it would share its screen and window manager. A slow
# server (a busy machine) is waited for as long as it runs.
display=""
for n in $(seq 100 199); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  # -noreset: a server that resets when its last client (the probe below)
  # leaves refuses the window manager that connects meanwhile.
  Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp -noreset >"$log/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 600); do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    if [ "$({ tr -d ' \n' <"/tmp/.X$n-lock"; } 2>/dev/null)" = "$xvfb_pid" ] &&
      DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
      display="$n"
      break
    fi
    sleep 0.1
  done
  [ -n "$display" ] && break
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
[ -n "$display" ] || { echo "Xvfb did not start:" >&2; cat "$log/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display"
if [ "$wm" = 1 ]; then
  openbox --sm-disable >"$log/openbox.log" 2>&1 &
  wm_pid=$!
  # Managing once it owns the screen's window manager selection, for as
  # long as it runs (slow on a busy machine).
  for _ in $(seq 1 600); do
    kill -0 "$wm_pid" 2>/dev/null || break
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  kill -0 "$wm_pid" 2>/dev/null && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    { echo "openbox did not take $DISPLAY:" >&2; cat "$log/openbox.log" >&2; exit 1; }
fi
unset QT_QPA_PLATFORM
status=0
"$@" || status=$?
exit "$status"
