#!/usr/bin/env bash
# Starts or stops a PipeWire daemon that the MIDI tests run against, as a
# desktop runs it (pipewire, wireplumber, a session bus), in a runtime folder
# of its own, so a desktop's PipeWire is never touched. Its clock runs as the
# JACK test servers' does (48 kHz, 128 frames a period), without real-time
# scheduling. Names and verbs as scripts/jack-test-server.sh has them
# (MORVELANT_JACK_SERVER, MORVELANT_TEST_RUN); the runtime folder is
#   ${TMPDIR:-/tmp}/morvelant-pipewire-<name>
# and its clients find the daemon with XDG_RUNTIME_DIR and
# PIPEWIRE_CONFIG_DIR set to it and its "config" folder:
#   eval "$(scripts/pipewire-test-server.sh env)"
#   scripts/pipewire-test-server.sh start|stop|check|stop-all|logs|clean-logs|env
set -u
run="${MORVELANT_TEST_RUN:-}"
prefix="morvelant-${run:+$run-}"
name="${MORVELANT_JACK_SERVER:-${prefix}test}"
dir="${TMPDIR:-/tmp}"
rt="$dir/morvelant-pipewire-$name"
log="$dir/morvelant-pipewire-$name.log"

answers() {
  [ -S "$rt/pipewire-0" ] &&
    XDG_RUNTIME_DIR="$rt" PIPEWIRE_CONFIG_DIR="$rt/config" timeout 5 pw-cli info 0 >/dev/null 2>&1
}

. "$(dirname "$0")/test-server-common.sh"

# The packaged configuration with the test clock, and without real-time
# scheduling (a module that is not there is left out).
configure() {
  mkdir -p "$rt/config"
  for f in pipewire.conf client.conf client-rt.conf jack.conf; do
    sed -e 's/libpipewire-module-rt$/libpipewire-module-rt-left-out/' \
        -e 's/^\( *\)#*default\.clock\.rate .*/\1default.clock.rate = 48000/' \
        -e 's/^\( *\)#*default\.clock\.quantum .*/\1default.clock.quantum = 128/' \
        -e 's/^\( *\)#*default\.clock\.min-quantum .*/\1default.clock.min-quantum = 128/' \
        -e 's/^\( *\)#*default\.clock\.max-quantum .*/\1default.clock.max-quantum = 128/' \
        "/usr/share/pipewire/$f" >"$rt/config/$f"
  done
}

stop_one() {
  stop_pid "$1/wireplumber.pid"
  stop_pid "$1/pipewire.pid"
  stop_pid "$1/dbus.pid"
  rm -f "$1/pipewire-0" "$1/pipewire-0.lock" "$1/bus"
}

case "${1:-}" in
  start)
    if answers; then exit 0; fi
    stop_one "$rt"
    mkdir -p "$rt" && chmod 700 "$rt"
    configure
    (
      export XDG_RUNTIME_DIR="$rt" DBUS_SESSION_BUS_ADDRESS="unix:path=$rt/bus"
      dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid >"$rt/dbus.pid" 2>>"$log"
      PIPEWIRE_CONFIG_DIR="$rt/config" pipewire >>"$log" 2>&1 &
      echo $! >"$rt/pipewire.pid"
      for _ in $(seq 1 50); do
        [ -S "$rt/pipewire-0" ] && break
        sleep 0.1
      done
      wireplumber >>"$log" 2>&1 &
      echo $! >"$rt/wireplumber.pid"
    )
    wait_until_answers "PipeWire daemon '$name'" "$log"
    ;;
  stop)
    stop_one "$rt"
    ;;
  stop-all)
    for d in "$dir"/morvelant-pipewire-"$prefix"*/; do
      if [ -d "$d" ]; then stop_one "${d%/}"; rm -rf "${d%/}"; fi
    done
    ;;
  logs)
    for l in "$dir"/morvelant-pipewire-"$prefix"*.log; do
      [ -e "$l" ] || continue
      lines="$(grep -E "^\[?[EW]" "$l" | tail -20)"
      [ -z "$lines" ] || printf '%s (last warnings and errors):\n%s\n' "$l" "$lines"
    done
    ;;
  clean-logs)
    rm -f "$dir"/morvelant-pipewire-"$prefix"*.log
    ;;
  check)
    answers
    ;;
  env)
    printf 'export XDG_RUNTIME_DIR=%q PIPEWIRE_CONFIG_DIR=%q\n' "$rt" "$rt/config"
    ;;
  *)
    echo "usage: $0 start|stop|check|stop-all|logs|clean-logs|env" >&2
    exit 2
    ;;
esac
