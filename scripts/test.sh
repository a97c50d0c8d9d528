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
#   one that ships; the benchmarks and the screenshot tool are built there
#   (GCC, optimised, warnings as errors), not run;
# - the driver, engine and MIDI kit test programs under the thread sanitizer
#   (build-tsan);
# - every target once more with clang, whose warnings and inlining differ,
#   built and linked (build-clang, Debug), and every fuzz target for a few
#   seconds (build-fuzz, clang).
# The sanitizers' builds keep line tables as their debug information: what a
# sanitizer reports names each frame's function, file and line, inlined
# frames too, at a fraction of the cost of full debug information; the
# address sanitizer's build optimises at -O1 (see asan_flags).
# clang's build and the fuzz build read the outside headers (Qt's, the
# test framework's, the standard library's) once per target, from a
# precompiled header (MORVELANT_PCH, see CMakeLists.txt), not once per file.
# Each test program's tests start once it is built, while the builds go on
# at idle priority; programs run side by side (MORVELANT_TEST_LANES, default
# 3, no more than the cores): each has servers of its own, named after it; the programs that start
# the editor as a process run in one lane, one after the other. The PipeWire
# leg runs last, alone.
# Each stage's wall and CPU time is printed as it ends and again at the end.
# The last line counts the tests that passed, failed and were skipped; each
# skipped test is listed with its reason.
set -euo pipefail
cd "$(dirname "$0")/.."

# ---- How long each stage took ------------------------------------------------
# Wall time, and the CPU time (user + system) of the processes the stage ran
# and waited for (servers it left running are counted where they are stopped).
stage_report=()
stage_name=""
stage_out=1
cpu_dir="$(mktemp -d)"
trap 'rm -rf "$cpu_dir"' EXIT
# Sets cpu_user and cpu_sys: the user and system CPU seconds of this shell's
# ended children. `times` runs in this shell (a subshell counts its own, in
# a file of its own).
cpu_now() {
  local cpu_file="$cpu_dir/$BASHPID"
  times >"$cpu_file"
  read -r cpu_user cpu_sys < <(awk 'NR == 2 {
      for (i = 1; i <= 2; i++) { split($i, p, "m"); sub(/s$/, "", p[2]); t[i] = p[1] * 60 + p[2] }
      printf "%.2f %.2f\n", t[1], t[2] }' "$cpu_file")
}
cpu_now
run_began=$EPOCHREALTIME
run_user0=$cpu_user
run_sys0=$cpu_sys
stage() {
  stage_end
  stage_name="$1"
  cpu_now
  stage_began=$EPOCHREALTIME
  stage_user0=$cpu_user
  stage_sys0=$cpu_sys
  echo "stage: $stage_name ..." >&"$stage_out"
}
# "NAME  W s wall  C s CPU (U user, S system)" from the times given.
stage_line() {
  awk -v n="$1" -v t0="$2" -v t1="$EPOCHREALTIME" -v u0="$3" -v u1="$cpu_user" -v s0="$4" -v s1="$cpu_sys" \
    'BEGIN { printf "%-36s %6.0f s wall %6.0f s CPU (%.0f user, %.0f system)\n", n, t1 - t0, u1 - u0 + s1 - s0, u1 - u0, s1 - s0 }'
}
stage_end() {
  [ -n "$stage_name" ] || return 0
  local line
  cpu_now
  line="$(stage_line "$stage_name" "$stage_began" "$stage_user0" "$stage_sys0")"
  echo "stage: $line" >&"$stage_out"
  stage_report+=("$line")
  stage_name=""
}
stage_summary() {
  stage_end
  cpu_now
  echo "stage times (wall; CPU of what each stage ran; $(nproc) cores):"
  printf '  %s\n' "${stage_report[@]}" "$(stage_line "whole run" "$run_began" "$run_user0" "$run_sys0")"
}

stage "set-up"
scripts/setup.sh
began=$SECONDS
# One compile more than there are cores: a build's last steps (a link, a
# program's last file) would leave a core idle.
jobs=$(($(nproc) + 1))

# Warnings are errors here (a user's build only shows them).
configure() {
  local dir="$1"
  shift
  cmake -S . -B "$dir" -G Ninja -DMORVELANT_WERROR=ON "$@" >/dev/null
}
# The targets of a configured build whose names match an extended regular
# expression (not CMake's own, "cmake_...").
targets_of() {
  ninja -C "$1" -t targets all | sed -n 's/: phony$//p' | grep -v '^cmake_' | grep -xE "$2" | sort -u
}
# The sanitizers' builds (see above): line tables as debug information.
sanitizer_flags=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
# The address and undefined-behaviour sanitizers' build, the largest by far
# (every test program), optimises at -O1, which those sanitizers are made
# for: a third less CPU than -O2, nearly all of it spent optimising, not
# reading headers. Value-range propagation stays on, so that GCC's
# out-of-bounds warnings, which need it, still read every test source (the
# Release build turns them off for GCC 12's false ones in libstdc++); the
# thread sanitizer's build stays at -O2.
asan_flags=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -ftree-vrp -g1 -DNDEBUG"
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -ftree-vrp -g1 -DNDEBUG")

stage "start: test servers"
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
# A program's server serves all its tests (each a process of its own) and is
# stopped here when they end; a program run directly stops the one it started.
export MORVELANT_KEEP_TEST_SERVERS=1
stop_servers() {
  scripts/jack-test-server.sh stop-all
  scripts/pipewire-test-server.sh stop-all
}
# A program's servers: the one named after it and those named after that
# ("morvelant-<run>-<program>-...", for tests of a second server).
stop_program_servers() {
  local script
  for script in scripts/jack-test-server.sh scripts/pipewire-test-server.sh; do
    MORVELANT_JACK_SERVER="morvelant-$MORVELANT_TEST_RUN-$1" "$script" stop
    MORVELANT_TEST_RUN="$MORVELANT_TEST_RUN-$1" "$script" stop-all
  done
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
if [ "$(jack_wait -s "morvelant-$MORVELANT_TEST_RUN-check" -n "wait$$" -c 2>/dev/null)" != "running" ]; then
  echo "test: another run's stop-all ended this run's JACK server" >&2
  exit 1
fi
MORVELANT_JACK_SERVER="morvelant-$MORVELANT_TEST_RUN-check" scripts/jack-test-server.sh stop
export MORVELANT_JACK_REQUIRED=1
stage_end
results="$(mktemp -d)"
# A run that ends early (a build failed) ends the tests beside it too.
end_tree() {
  local child
  for child in $(pgrep -P "$1"); do end_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
trap '[ -z "${lanes_pid:-}" ] || end_tree "$lanes_pid"; [ -z "${late_pid:-}" ] || end_tree "$late_pid"
  stop_servers; rm -rf "$results" "$cpu_dir"' EXIT

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
  # Disabled, never a test of its own: the print that
  # MainStartupTest.WhatAKilledPrintLeftBesideItsFileGoesAtTheNextStart runs
  # in a child process and kills.
  KilledPrint.PrintsALongTextUntilKilled
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
      else if ((status == "notrun" && skip) || status == "disabled") {
        if (status == "disabled") reason = "disabled"
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

# One test at a time within a program: the servers run without real-time
# scheduling, in synchronous mode, so that a client slowed down by the
# sanitizers or a loaded machine delays the cycle instead of losing the MIDI
# it was writing; each program's servers end when it ends (the machine
# allows only a few servers at once, so only a few programs run at a time).
#
# Runs one program's tests in build $2 (those whose names match $4, else all,
# less those matching $exclude) and counts them into $results/$1.*; $5 names
# the leg in the list of what did not pass. Its output is shown when it ends.
exclude=""
run_program() {
  local id="$1" dir="$2" program="$3" filter="${4:-}" leg="${5:-}"
  local junit="$results/$id.xml" log="$results/$id.log" p=0 f=0 s=0
  local t0=$SECONDS
  ctest --test-dir "$dir" --output-on-failure --timeout 300 -L "^${program}\$" ${filter:+-R "$filter"} \
    ${exclude:+-E "$exclude"} --output-junit "$junit" >"$log" 2>&1 || true
  if [ ! -s "$junit" ] || ! grep -q '<testcase ' "$junit"; then
    echo "test: $program ran no test${leg:+ ($leg)}" >>"$log"
    echo "failed $program: ran no test${leg:+ ($leg)}" >"$results/$id.notes"
    f=1
  else
    read -r p f s < <(count_junit "$junit")
    count_junit "$junit" | tail -n +2 | sed "s/\$/${leg:+ ($leg)}/" >"$results/$id.notes"
  fi
  stop_program_servers "$program"
  echo "$p $f $s" >"$results/$id.count"
  # One program's output at a time.
  {
    flock 9
    cat "$log"
    echo "test: $program${leg:+ ($leg)}: $p passed, $f failed, $s skipped in $((SECONDS - t0)) s"
  } 9>"$results/output.lock"
}

# Runs the jobs given as lines "PROGRAM;ID;DIR;FILTER;LEG;ENV" in
# $MORVELANT_TEST_LANES lanes (default 3, no more than the cores), each lane running its jobs one
# after the other. All jobs of a program go to one lane (its servers are
# named after it); the programs that start the editor as a process share
# the first lane (the editor's one-copy lock, its program folder), the
# others take the other lanes in turn. ENV: what the leg sets up
# ("pipewire", "release", "tsan"). Every job leaves a count: one that left
# none (its lane ended early) fails the run.
run_job() {
  local id="$1" dir="$2" program="$3" filter="$4" leg="$5" env="$6"
  # (A program that was not built, once the sanitizers' build is done, runs
  # no test: that fails the run.)
  until [ -e "$results/built-$program" ] || [ -e "$results/built" ]; do sleep 1; done
  (
    case "$env" in
      pipewire | pipewire-again)
        # The peers use PipeWire's libjack, as `pw-jack` has them do; so does
        # the editor then, as on a desktop where PipeWire's libjack is the
        # system's (pipewire_tests start the editor where it is not).
        export MORVELANT_MIDI_SERVER=pipewire
        export LD_LIBRARY_PATH="$pwjack${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
        # PipeWire, run here without real-time scheduling, drops periods of
        # the notes beside a 1.5 MB/s flood on their way to the plain client
        # too (1 run in 16): thru on the cycle beside a flood is checked on
        # jackd, by the sanitizers' leg and the thread sanitizer's.
        exclude='^MidiInDeviceJack\.AnotherInputsThruKeepsItsTimeWhileOneInputFloodsAndTheWindowThreadIsBusy$'
        # Each test once more, in a process of its own, until it has passed
        # MORVELANT_PIPEWIRE_AGAIN times (a failure ends it): PipeWire's
        # libjack walks its table of a client's ports on its own thread
        # after every cycle, and a port opened while the client runs must
        # never meet that walk half written.
        if [ "$env" = pipewire-again ]; then
          ctest() { command ctest --repeat until-fail:"${MORVELANT_PIPEWIRE_AGAIN:-40}" "$@"; }
        fi
        ;;
      release)
        export MORVELANT_EDITOR_DIR="$PWD/build-release/bin"
        ;;
      tsan)
        export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
        unset ASAN_OPTIONS LSAN_OPTIONS
        # Every test runs here too: thru is decided on the server's cycle, in
        # its frames, however slowly the sanitizer has the threads run.
        ;;
    esac
    run_program "$id" "$dir" "$program" "$filter" "$leg"
  )
}
# No more lanes than cores.
lanes="${MORVELANT_TEST_LANES:-$(($(nproc) < 3 ? $(nproc) : 3))}"
# The programs that start the editor as a process.
editor_programs=" app_tests pipewire_tests "
run_jobs() {
  local -a lane_jobs=()
  local -A lane_of=()
  local program id dir filter leg env lane next=0 pid
  for ((lane = 0; lane < lanes; lane++)); do lane_jobs[lane]=""; done
  while IFS=';' read -r program id dir filter leg env; do
    [ -n "$program" ] || continue
    if [ -z "${lane_of[$program]:-}" ]; then
      if [ "$lanes" -eq 1 ] || [[ "$editor_programs" == *" $program "* ]]; then
        lane_of[$program]=0
      else
        lane_of[$program]=$((1 + next % (lanes - 1)))
        next=$((next + 1))
      fi
    fi
    lane_jobs[${lane_of[$program]}]+="$program;$id;$dir;$filter;$leg;$env"$'\n'
    echo "$id" >>"$results/expected"
  done
  local -a pids=()
  for ((lane = 0; lane < lanes; lane++)); do
    (
      # (The list on a descriptor of its own: a test that reads its input
      # reads nothing.)
      while IFS=';' read -r -u 8 program id dir filter leg env; do
        [ -n "$program" ] || continue
        run_job "$id" "$dir" "$program" "$filter" "$leg" "$env" </dev/null
      done 8<<<"${lane_jobs[lane]}"
    ) &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || true; done
}

pwjack="$(dirname "$(ls /usr/lib/*/pipewire-0.3/jack/libjack.so.0 | head -1)")"

# ---- Builds, and the sanitizers' tests beside them ---------------------------
# The builds run on CPU time that the tests leave idle (the idle scheduling
# class): a test waiting on a timer or a server lends its core, a test that
# computes takes it back at once. Each test program's tests start once it is
# built, the programs that need the least built first. A build that fails
# ends the run (its output is shown).
idle=(chrt --idle 0 nice -n 19)
build_log="$results/build.log"
quiet_build() {
  if ! "${idle[@]}" "$@" >"$build_log" 2>&1; then
    cat "$build_log"
    echo "test: the build failed: $*" >&2
    exit 1
  fi
}

build=build-asan
configure "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELANT_SANITIZE=ON -DMORVELANT_TSAN=OFF "${asan_flags[@]}"
# The test programs (with what they start: the editor, the driver library
# and its stand-ins), fewest build steps first; the benchmarks and the
# screenshot tool are not run, so not built here.
mapfile -t test_programs < <(
  for program in $(targets_of "$build" '[a-z_]+_tests'); do
    echo "$(ninja -C "$build" -t commands "$program" | wc -l) $program"
  done | sort -n | awk '{print $2}')

lanes_pid=""
(
  stage_report=()
  stage_name=""
  stage "tests: sanitizers"
  {
    for program in "${test_programs[@]}"; do
      echo "$program;asan-$program;$build;;;"
    done
  } | run_jobs
  stage_end
  printf '%s\n' "${stage_report[@]}" >"$results/lanes.stages"
) &
lanes_pid=$!

stage "build: sanitizers (GCC)"
for program in "${test_programs[@]}"; do
  quiet_build cmake --build "$build" --parallel "$jobs" --target "$program"
  touch "$results/built-$program"
done
touch "$results/built"

stage "build: Release (GCC)"
# The editor as it ships; beside it the benchmarks and the screenshot tool,
# for GCC's warnings, which it gives more of when it optimises.
configure build-release -DCMAKE_BUILD_TYPE=Release -DMORVELANT_TESTS=ON -DMORVELANT_BENCH=ON
mapfile -t release_targets < <(targets_of build-release 'MorvelantEditor|MidiKit32|[A-Za-z]+Bench|ScreenshotTool')
quiet_build cmake --build build-release --parallel "$jobs" --target "${release_targets[@]}"

stage "build: thread sanitizer (GCC)"
# The programs whose threads meet MIDI: the driver library, the engine and
# the MIDI kit, with their tests.
tsan_programs=(driver_tests engine_tests midikit_tests)
configure build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELANT_TSAN=ON -DMORVELANT_SANITIZE=OFF \
  -DMORVELANT_BENCH=OFF "${sanitizer_flags[@]}"
quiet_build cmake --build build-tsan --parallel "$jobs" --target "${tsan_programs[@]}"

# The Release editor's and the thread sanitizer's tests need only their
# builds: they run as soon as the sanitizers' tests have ended (the machine
# allows only a few servers at once), beside the builds that follow, which
# give way to them (idle priority).
late_pid=""
(
  stage_report=()
  stage_name=""
  until [ -e "$results/lanes.stages" ]; do sleep 1; done
  stage "tests: Release, thread sanitizer"
  {
    # The editor as it ships: a Release build ends with _exit once everything
    # is written, where the sanitizers' build takes everything down in order.
    echo "app_tests;release-app;$build;^MainStartupTest\.;Release;release"
    # Threads: any data race or lock-order inversion ends the test that shows
    # it. scripts/tsan.supp says, for each entry, why it is left out.
    for program in "${tsan_programs[@]}"; do
      echo "$program;tsan-$program;build-tsan;;ThreadSanitizer;tsan"
    done
  } | run_jobs
  stage_end
  printf '%s\n' "${stage_report[@]}" >"$results/late.stages"
) &
late_pid=$!

stage "build: fuzz targets (clang)"
quiet_build env MORVELANT_WERROR=ON MORVELANT_FUZZ_DEBUG=lines scripts/fuzz.sh 0

stage "build: every target (clang, Debug)"
# Every target, tests, benchmarks and tools too, once more with clang (the
# fuzz leg's compiler), whose warnings differ, built and linked: a call that
# one compiler's optimiser happens to drop (an inline function's branch) is
# a link error the other can show. A Debug build: no optimiser, so every
# inline function that is used is emitted whole and every call it makes
# must link, and clang warns of nothing more when it optimises. It costs
# about 2 CPU-min more than reading the sources alone did
# (scripts/warnings-only.sh, which stays for a quick check by hand).
configure build-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DMORVELANT_TESTS=ON -DMORVELANT_BENCH=ON
quiet_build cmake --build build-clang --parallel "$jobs"

stage_end
wait "$lanes_pid" || true
lanes_pid=""
[ ! -e "$results/lanes.stages" ] || mapfile -t -O "${#stage_report[@]}" stage_report <"$results/lanes.stages"
wait "$late_pid" || true
late_pid=""
[ ! -e "$results/late.stages" ] || mapfile -t -O "${#stage_report[@]}" stage_report <"$results/late.stages"

stage "tests: PipeWire"
# Against PipeWire: roles that connect, dumps both ways byte for byte, a peer
# that comes and goes, a server that stops and returns. One program at a
# time, with nothing beside it: PipeWire's clock is the most easily upset.
{
  # (A long message passed thru goes on over several periods; PipeWire loses
  # some of them on the way to the receiver, 1 run in 5 at 64 KiB, with no
  # plain client there to tell it from the driver: that test runs on jackd.)
  echo "driver_tests;pw-driver;$build;^Jack\.(ThePeerReceivesTheExactBytes|LongSystemExclusive.*|PortsThatComeAndGoAreFollowed|AServerThatStopsIsReportedAndRolesComeBack|TimedOutputLandsOnTheFramesOfItsTicks|ThruNeverCompletesAMessageWhoseSourceWent|ThruOnTheCyclePassesWhatItsKindsSay)\$;PipeWire;pipewire"
  echo "engine_tests;pw-engine;$build;^MidiInDeviceJack\.;PipeWire;pipewire"
  # Inputs and an output opened and closed while the client runs, each run.
  echo "engine_tests;pw-engine-again;$build;^MidiInDeviceJack\.(ThruFromTwoInputsIntoOneOutputKeepsEachEventsOffset|ThruSendsEachEventAtTheFrameADirectConnectionHearsIt)\$;PipeWire, again;pipewire-again"
  echo "shell_tests;pw-shell;$build;^PortsJack\.(NamesStayAcrossStarts.*|ASynthStartedAfterTheEditor.*|AServerThatStops.*)\$;PipeWire;pipewire"
  echo "app_tests;pw-app;$build;^ListSendJack\.;PipeWire;pipewire"
} | lanes=1 run_jobs

stage "fuzz: run"
# Each fuzz target for a few seconds, from its seed corpus: a harness that
# no longer matches what it checks fails here (long runs: scripts/fuzz.sh).
fuzz_out="$results/fuzz.log"
fuzz_passed=0
fuzz_failed=0
# (As many targets at once as there are lanes, each for its own time.)
if MORVELANT_FUZZ_JOBS="$lanes" MORVELANT_WERROR=ON MORVELANT_FUZZ_DEBUG=lines scripts/fuzz.sh "${MORVELANT_FUZZ_SECONDS:-5}" | tee "$fuzz_out"; then
  fuzz_passed=$(grep -c '^== ' "$fuzz_out" || true)
  : >"$results/fuzz.notes"
else
  targets="$(sed -n 's/^fuzz: failed: //p' "$fuzz_out")"
  [ -n "$targets" ] || echo "failed fuzz: the build" >"$results/fuzz.notes"
  for t in ${targets:-build}; do
    [ -z "$targets" ] || echo "failed fuzz target $t" >>"$results/fuzz.notes"
    fuzz_failed=$((fuzz_failed + 1))
  done
  fuzz_passed=$(($(grep -c '^== ' "$fuzz_out" || true) - $(echo $targets | wc -w)))
fi
echo "$fuzz_passed $fuzz_failed 0" >"$results/fuzz.count"
echo fuzz >>"$results/expected"
stage_end

# "NAME: FILE:LINE: what it said" for the first failure of each test that
# failed, from the programs' logs (sanitizer reports too: their summary line).
failure_digest() {
  awk '
    /^\[ RUN      \] / { test = $4; said = 0; want = 0 }
    want > 0 && NF > 0 { text = text " | " $0; if (--want == 0) { print substr(text, 1, 400); said = 1 } ; next }
    /: Failure$/ && !said && test != "" { sub(/^.*\/tests\//, "tests/"); text = test ": " $0; want = 3 }
    /^SUMMARY: [A-Za-z]+Sanitizer/ && test != "" { print test ": " $0 }
  ' "$@" | awk '!seen[$0]++' | head -n 40
}

passed=0
failed=0
skipped=0
for count in "$results"/*.count; do
  read -r p f s <"$count"
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
done
while read -r id; do
  [ -e "$results/$id.count" ] && continue
  echo "failed $id: did not run to its end" >>"$results/lost.notes"
  failed=$((failed + 1))
done <"$results/expected"
status=0
[ "$failed" -eq 0 ] || status=1
if [ "$status" -ne 0 ]; then
  # What the servers said of late clients tells a lost message from a fault.
  scripts/jack-test-server.sh logs || true
  scripts/pipewire-test-server.sh logs || true
fi
# Where each failed test first went wrong, a line each, close to the end of
# the output where a short excerpt of it still shows.
[ "$status" -eq 0 ] || failure_digest "$results"/*.log
cat "$results"/*.notes
stage_summary
echo "test: $((SECONDS - began)) s"
echo "$passed passed, $failed failed, $skipped skipped"
exit "$status"
