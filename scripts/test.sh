#!/usr/bin/env bash
# Sets up, builds (with address and undefined-behaviour sanitizers) and runs
# every test. The MIDI end-to-end tests run against a JACK server with the
# dummy driver that this script starts and stops, and those that matter most
# to a user run again against a PipeWire daemon, also started and stopped
# here, each server in a runtime folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

build=build-asan
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELANT_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"

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
# (Each program's server is "morvelant-<run>-<program>", the run being this
# script's process id, so another run on the same machine keeps its own
# servers and this run stops only its own; MORVELANT_JACK_SERVER would make
# them all share one.)
unset MORVELANT_JACK_SERVER JACK_DEFAULT_SERVER
export MORVELANT_TEST_RUN="$$"
stop_servers() {
  scripts/jack-test-server.sh stop-all
  scripts/pipewire-test-server.sh stop-all
}
stop_servers
scripts/jack-test-server.sh clean-logs
scripts/pipewire-test-server.sh clean-logs
if ! MORVELANT_JACK_SERVER="morvelant-$MORVELANT_TEST_RUN-check" scripts/jack-test-server.sh start; then
  echo "test: no JACK server can run on this machine; the MIDI tests cannot run" >&2
  exit 1
fi
# A run stops only its own servers: with this run's check server up, another
# run's stop-all must leave it answering.
MORVELANT_TEST_RUN="$MORVELANT_TEST_RUN-other" scripts/jack-test-server.sh stop-all
if [ "$(jack_wait -s "morvelant-$MORVELANT_TEST_RUN-check" -c 2>/dev/null)" != "running" ]; then
  echo "test: another run's stop-all ended this run's JACK server" >&2
  exit 1
fi
MORVELANT_JACK_SERVER="morvelant-$MORVELANT_TEST_RUN-check" scripts/jack-test-server.sh stop
export MORVELANT_JACK_REQUIRED=1
trap stop_servers EXIT

# One test at a time, one program after the other: the servers run without
# real-time scheduling, in synchronous mode, so that a client slowed down by
# the sanitizers or a loaded machine delays the cycle instead of losing the
# MIDI it was writing; each program's server ends before the next program
# runs (the machine allows only a few servers at once).
status=0
passed=0
failed=0
out="$(mktemp)"
# Runs one program's tests (those whose names match $2, else all) and counts them.
run_program() {
  local program="$1"
  ctest --test-dir "$build" --output-on-failure --timeout 300 -L "^${program}\$" ${2:+-R "$2"} 2>&1 | tee "$out" || true
  # ctest's own verdict, and its count ("... 2 tests failed out of 40").
  line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -1)"
  if [ -z "$line" ]; then
    echo "test: $program ran no test" >&2
    status=1
  else
    f="$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')"
    n="$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')"
    passed=$((passed + n - f))
    failed=$((failed + f))
    [ "$f" -eq 0 ] || status=1
  fi
  stop_servers
}
for program in $(find "$build/bin" -maxdepth 1 -name '*_tests' -type f -printf '%f\n' | sort); do
  run_program "$program"
done

# Against PipeWire: roles that connect, dumps both ways byte for byte, a peer
# that comes and goes, a server that stops and returns. The peers use
# PipeWire's libjack, as `pw-jack` has them do; so does the editor then,
# as on a desktop where PipeWire's libjack is the system's (pipewire_tests,
# above, start the editor where it is not).
pwjack="$(dirname "$(ls /usr/lib/*/pipewire-0.3/jack/libjack.so.0 | head -1)")"
(
  export MORVELANT_MIDI_SERVER=pipewire
  export LD_LIBRARY_PATH="$pwjack${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
  run_program driver_tests '^Jack\.(ThePeerReceivesTheExactBytes|LongSystemExclusive.*|PortsThatComeAndGoAreFollowed|AServerThatStopsIsReportedAndRolesComeBack|TimedOutputLandsOnTheFramesOfItsTicks)$'
  run_program engine_tests '^MidiInDeviceJack\.'
  run_program shell_tests '^PortsJack\.(NamesStayAcrossStarts.*|ASynthStartedAfterTheEditor.*|AServerThatStops.*)$'
  run_program app_tests '^ListSendJack\.'
  echo "$passed $failed $status" >"$out.pipewire"
)
read -r passed failed status <"$out.pipewire"
rm -f "$out" "$out.pipewire"
if [ "$status" -ne 0 ]; then
  # What the servers said of late clients tells a lost message from a fault.
  scripts/jack-test-server.sh logs || true
  scripts/pipewire-test-server.sh logs || true
fi
echo "$passed passed, $failed failed"
exit "$status"
