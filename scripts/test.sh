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

# Every JACK test runs: a server that does not start is a failure of the
# run, never a reason to skip. Each test program starts a server of its own
# (named after it) when its first JACK test runs, and starts it again when it
# stopped; this first one only proves that a server can run here.
scripts/jack-test-server.sh stop-all
scripts/jack-test-server.sh clean-logs
if ! scripts/jack-test-server.sh start; then
  echo "test: no JACK server can run on this machine; the MIDI tests cannot run" >&2
  exit 1
fi
scripts/jack-test-server.sh stop
export MORVELANT_JACK_REQUIRED=1
trap 'scripts/jack-test-server.sh stop-all' EXIT

# One test at a time: the servers run without real-time scheduling, in
# synchronous mode, so that a client slowed down by the sanitizers or a
# loaded machine delays the cycle instead of losing the MIDI it was writing.
status=0
ctest --test-dir "$build" --output-on-failure --timeout 300 || status=$?
if [ "$status" -ne 0 ]; then
  # What the servers said of late clients tells a lost message from a fault.
  scripts/jack-test-server.sh logs || true
fi
exit "$status"
