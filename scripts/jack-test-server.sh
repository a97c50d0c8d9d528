#!/usr/bin/env bash
# Starts or stops the JACK server that the MIDI tests run against: the dummy
# driver (real ports, no sound card) under a server name of our own, so a
# desktop's JACK server is never touched.
#   scripts/jack-test-server.sh start   -> prints nothing, exit 0 when it answers
#   scripts/jack-test-server.sh stop
set -u
name="${MORVELANT_JACK_SERVER:-morvelant-test}"
state="${TMPDIR:-/tmp}/morvelant-jackd-$name"
export JACK_NO_AUDIO_RESERVATION=1
export JACK_NO_START_SERVER=1

# jack_wait -c exits 0 either way; it prints "running" or "not running".
answers() { [ "$(jack_wait -s "$name" -c 2>/dev/null)" = "running" ]; }

case "${1:-}" in
  start)
    if answers; then exit 0; fi
    jackd -n "$name" --no-realtime --sync --timeout 5000 -d dummy -r 48000 -p 128 >"$state.log" 2>&1 &
    echo $! >"$state.pid"
    for _ in $(seq 1 50); do
      if answers; then exit 0; fi
      sleep 0.2
    done
    echo "jack-test-server: the JACK server '$name' did not start:" >&2
    cat "$state.log" >&2
    exit 1
    ;;
  stop)
    if [ -f "$state.pid" ]; then
      kill "$(cat "$state.pid")" 2>/dev/null || true
      for _ in $(seq 1 25); do
        kill -0 "$(cat "$state.pid")" 2>/dev/null || break
        sleep 0.2
      done
      kill -9 "$(cat "$state.pid")" 2>/dev/null || true
      rm -f "$state.pid"
    fi
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
