#!/usr/bin/env bash
# Sets up, builds and runs every test, with warnings as errors:
# - every test program, built with address and undefined-behaviour
#   sanitizers (build-asan). The MIDI end-to-end tests run against a JACK
#   server with the dummy driver that this script starts and stops, and
#   those that matter most to a user run again against a PipeWire daemon,
#   also started and stopped here, each server in a runtime folder of its own;
# - the tests that start the editor as a process and end it (signals, the
#   end after the start, the files written, the lock freed) once more
#   against a Release build of the editor (build-release), whose end is the
#   one that ships;
# - the driver, engine and MIDI kit test programs under the thread sanitizer
#   (build-tsan);
# - every target built once more with clang, whose warnings differ
#   (build-clang, not run), and every fuzz target for a few seconds
#   (build-fuzz, clang).
# The last line counts the tests that passed, failed and were skipped; each
# skipped test is listed with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
began=$SECONDS

# Warnings are errors here (a user's build only shows them).
configure() {
  local dir="$1"
  shift
  cmake -S . -B "$dir" -G Ninja -DMORVELANT_WERROR=ON "$@" >/dev/null
}
build=build-asan
configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELANT_SANITIZE=ON -DMORVELANT_TSAN=OFF
cmake --build "$build" --parallel "$(nproc)"
# The editor as it ships, and nothing else.
configure build-release -DCMAKE_BUILD_TYPE=Release -DMORVELANT_TESTS=OFF -DMORVELANT_BENCH=OFF
cmake --build build-release --parallel "$(nproc)" --target MorvelantEditor MidiKit32
# The programs whose threads meet MIDI: the driver library, the engine and
# the MIDI kit, with their tests.
tsan_programs=(driver_tests engine_tests midikit_tests)
configure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELANT_TSAN=ON -DMORVELANT_SANITIZE=OFF -DMORVELANT_BENCH=OFF
cmake --build build-tsan --parallel "$(nproc)" --target "${tsan_programs[@]}"
# Everything, tests and benchmarks too, once more with clang (the fuzz
# leg's compiler), whose warnings differ: built, not run.
configure build-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-clang --parallel "$(nproc)"

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

# Under CI (MORVELANT_CI=1, which runs as root on a machine set up by
# scripts/setup.sh) a skipped test fails the run, unless it is named here
# with the reason it may skip there too. A test that needs root, a locale,
# the editor built beside it or a git work tree cannot skip there.
ci_may_skip=(
  # Skips only when, in every try, the server also lost a cycle of a plain
  # libjack client around a missed note: the machine was too busy, not the
  # driver at fault.
  Jack.TimedOutputLandsOnTheFramesOfItsTicks
  # Checks what git ignores: sources handed over without their history (an
  # exported tree) have nothing to check.
  SourceTree.RunFilesAreNotInTheRepository
)

# ctest counts a skipped test as passed ("100% tests passed"); its JUnit
# file tells them apart. Prints "passed failed skipped", then a line for each
# test that did not pass: "skipped NAME: the reason it gave" or "failed NAME"
# (under CI, "failed NAME: skipped unlisted: the reason it gave").
count_junit() {
  awk -v ci="${MORVELANT_CI:-}" -v listed=" ${ci_may_skip[*]} " '
    function unescape(s) {
      gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s); gsub(/&apos;/, "\047", s)
      gsub(/&amp;/, "\\&", s)
      return s
    }
    /<testcase / {
      match($0, /name="[^"]*"/); name = unescape(substr($0, RSTART + 6, RLENGTH - 7))
      match($0, /status="[^"]*"/); status = substr($0, RSTART + 8, RLENGTH - 9)
      skip = 0; reason = ""; want = 0
    }
    /<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/ { skip = 1 }
    # The first reason given: a test run again in a process of its own
    # passes on the reason its run there gave, then says where it skipped.
    want { if (reason == "") reason = unescape($0); want = 0 }
    /: Skipped$/ { want = 1 }
    /<\/testcase>/ {
      if (status == "run") passed++
      else if (status == "notrun" && skip) {
        if (reason == "") reason = "(no reason given)"
        if (ci != "" && index(listed, " " name " ") == 0) {
          failed++
          notes = notes "failed " name ": skipped unlisted: " reason "\n"
        } else {
          skipped++
          notes = notes "skipped " name ": " reason "\n"
        }
      } else { failed++; notes = notes "failed " name "\n" }
    }
    END { printf "%d %d %d\n%s", passed, failed, skipped, notes }' "$1"
}

# One test at a time, one program after the other: the servers run without
# real-time scheduling, in synchronous mode, so that a client slowed down by
# the sanitizers or a loaded machine delays the cycle instead of losing the
# MIDI it was writing; each program's server ends before the next program
# runs (the machine allows only a few servers at once).
status=0
passed=0
failed=0
skipped=0
out="$(mktemp)"
notes="$(mktemp)"
# Runs one program's tests in build $1 (those whose names match $3, else
# all, less those matching $exclude) and counts them; $4 names the leg in the
# list of what did not pass.
exclude=""
run_program() {
  local dir="$1" program="$2" leg="${4:-}"
  local junit="$out.xml" p f s
  rm -f "$junit"
  ctest --test-dir "$dir" --output-on-failure --timeout 300 -L "^${program}\$" ${3:+-R "$3"} ${exclude:+-E "$exclude"} \
    --output-junit "$junit" 2>&1 | tee "$out" || true
  if [ ! -s "$junit" ] || ! grep -q '<testcase ' "$junit"; then
    echo "test: $program ran no test${leg:+ ($leg)}" >&2
    echo "failed $program: ran no test${leg:+ ($leg)}" >>"$notes"
    failed=$((failed + 1))
    status=1
  else
    read -r p f s < <(count_junit "$junit")
    count_junit "$junit" | tail -n +2 | sed "s/\$/${leg:+ ($leg)}/" >>"$notes"
    passed=$((passed + p))
    failed=$((failed + f))
    skipped=$((skipped + s))
    [ "$f" -eq 0 ] || status=1
  fi
  stop_servers
}
for program in $(find "$build/bin" -maxdepth 1 -name '*_tests' -type f -printf '%f\n' | sort); do
  run_program "$build" "$program"
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
  run_program "$build" driver_tests '^Jack\.(ThePeerReceivesTheExactBytes|LongSystemExclusive.*|PortsThatComeAndGoAreFollowed|AServerThatStopsIsReportedAndRolesComeBack|TimedOutputLandsOnTheFramesOfItsTicks)$' PipeWire
  run_program "$build" engine_tests '^MidiInDeviceJack\.' PipeWire
  run_program "$build" shell_tests '^PortsJack\.(NamesStayAcrossStarts.*|ASynthStartedAfterTheEditor.*|AServerThatStops.*)$' PipeWire
  run_program "$build" app_tests '^ListSendJack\.' PipeWire
  echo "$passed $failed $skipped $status" >"$out.leg"
)
read -r passed failed skipped status <"$out.leg"

# The editor as it ships: a Release build ends with _exit once everything is
# written, where the sanitizers' build takes everything down in order.
(
  export MORVELANT_EDITOR_DIR="$PWD/build-release/bin"
  run_program "$build" app_tests '^MainStartupTest\.' Release
  echo "$passed $failed $skipped $status" >"$out.leg"
)
read -r passed failed skipped status <"$out.leg"

# Threads: any data race or lock-order inversion ends the test that shows it.
# scripts/tsan.supp says, for each entry, why it is left out.
(
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
  unset ASAN_OPTIONS LSAN_OPTIONS
  # The sanitizer slows every thread several times over: a test of thru
  # timing to the period (run above) would measure the sanitizer.
  exclude='^MidiInDeviceJack\.(ThruSendsEachEventOnePeriodAfterItCame|ThruFromTwoInputsIntoOneOutputKeepsEachEventsOffset|AnotherInputsThruKeepsItsTimeWhileOneInputFloodsAndTheWindowThreadIsBusy)$'
  for program in "${tsan_programs[@]}"; do run_program build-tsan "$program" "" ThreadSanitizer; done
  echo "$passed $failed $skipped $status" >"$out.leg"
)
read -r passed failed skipped status <"$out.leg"

# Each fuzz target for a few seconds, from its seed corpus: a harness that
# no longer matches what it checks fails here (long runs: scripts/fuzz.sh).
if MORVELANT_WERROR=ON scripts/fuzz.sh "${MORVELANT_FUZZ_SECONDS:-5}" | tee "$out"; then
  passed=$((passed + $(grep -c '^== ' "$out" || true)))
else
  status=1
  targets="$(sed -n 's/^fuzz: failed: //p' "$out")"
  [ -n "$targets" ] || echo "failed fuzz: the build" >>"$notes"
  for t in ${targets:-build}; do
    [ -z "$targets" ] || echo "failed fuzz target $t" >>"$notes"
    failed=$((failed + 1))
  done
  passed=$((passed + $(grep -c '^== ' "$out" || true) - $(echo $targets | wc -w)))
fi

rm -f "$out" "$out.xml" "$out.leg"
if [ "$status" -ne 0 ]; then
  # What the servers said of late clients tells a lost message from a fault.
  scripts/jack-test-server.sh logs || true
  scripts/pipewire-test-server.sh logs || true
fi
cat "$notes"
rm -f "$notes"
echo "test: $((SECONDS - began)) s"
echo "$passed passed, $failed failed, $skipped skipped"
exit "$status"
