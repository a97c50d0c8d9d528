#!/usr/bin/env bash
# Sets up, builds (with address and undefined-behaviour sanitizers) and runs
# every test. The MIDI end-to-end tests run against a JACK server with the
# dummy driver that this script starts and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELANT_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"

export MORVELANT_JACK_SERVER=morvelant-test
export JACK_DEFAULT_SERVER=$MORVELANT_JACK_SERVER
export JACK_NO_AUDIO_RESERVATION=1
export JACK_NO_START_SERVER=1
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

if scripts/jack-test-server.sh start; then
  export MORVELANT_JACK_RUNNING=1
else
  # Tests that need the server skip without it; in CI it must start.
  if [ "${CI:-}" = "true" ]; then exit 1; fi
  export MORVELANT_JACK_RUNNING=0
fi
trap 'scripts/jack-test-server.sh stop' EXIT

# One test at a time: the MIDI tests share one JACK server. It runs without
# real-time scheduling, in synchronous mode, so that a client slowed down by
# the sanitizers or a loaded machine delays the cycle instead of losing the
# MIDI it was writing; the whole suite takes about a minute this way.
status=0
ctest --test-dir "$build" --output-on-failure --timeout 600 || status=$?
if [ "$status" -ne 0 ]; then
  # What the server said of late clients tells a lost message from a fault.
  log="${TMPDIR:-/tmp}/morvelant-jackd-$MORVELANT_JACK_SERVER.log"
  if [ -f "$log" ]; then
    echo "JACK server messages about clients (last 20):"
    grep -E "client|Process error" "$log" | tail -20 || true
  fi
fi
exit "$status"
