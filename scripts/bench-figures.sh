#!/usr/bin/env bash
# Measures the figures the README publishes, each over several runs, and
# prints min/median/max per figure with the load averages (/proc/loadavg)
# before and after each benchmark, so that a figure taken on a busy machine
# says so. Not part of the tests.
#
#   scripts/bench-figures.sh [--runs N] [--bin DIR] [--only thru,cycle,monitor,soak,idle,frames,notes,start]
#
#   thru    ThruMonitorBench: thru latency and lost messages at 10k events/s
#           with the monitor off, enabled and closed, enabled and open;
#   cycle   ThruCycleBench on a real-time server (128-frame periods): where
#           thru puts each note against a direct connection, beside a plain
#           client, quiet, with another input flooding, with the window
#           thread stopped, and with other JACK clients and every core busy;
#   monitor MonitorFloodBench's long messages: the GUI thread's longest
#           stall at 10k events/s with a 50,000-byte message every second
#           and the monitor open (60 s), and the heap kept per such message
#           with the monitor open, closed and off;
#   soak    the same with the monitor open for 300 s a run (not in the
#           default set): a stall that comes once a minute or so shows in
#           every run;
#   idle    IdleCostBench: the driver library's wake-ups and CPU while no
#           MIDI moves, an input and an output open, against a plain
#           libjack client beside it;
#   frames  EventEditBench at 3840 x 2160, offscreen and in a real window
#           (scripts/on-display.sh: a virtual X server with openbox);
#   notes   NotesBench: start and preset selection with large notes;
#   start   the editor's start, launch to first window mapped, and its
#           close (scripts/compare-peers.sh --programs editor, no port open
#           and no JACK server), N rounds of a first and a second start.
#
# --bin: the Release build's program folder (default build-bench/bin, a
# Release build with the benchmarks, apart from the test command's
# build-release, which has none; built when missing). The MIDI benchmarks
# use a JACK server of their own
# (dummy driver) named after MORVELANT_TEST_RUN, stopped at the end.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=5
bin="$here/build-bench/bin"
only="thru,cycle,monitor,idle,frames,notes,start"
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --bin) bin="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    *) sed -n '/^#   scripts/,/^#$/p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
wants() { [[ ",$only," == *",$1,"* ]]; }

if [ "$bin" = "$here/build-bench/bin" ] && { [ ! -x "$bin/ThruMonitorBench" ] || [ ! -x "$bin/ThruCycleBench" ] ||
  [ ! -x "$bin/MonitorFloodBench" ] || [ ! -x "$bin/IdleCostBench" ]; }; then
  cmake -S "$here" -B "$here/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVELANT_BENCH=ON >/dev/null
  cmake --build "$here/build-bench" --parallel 4 --target MorvelantEditor MidiKit32 ThruMonitorBench \
    ThruCycleBench MonitorFloodBench EventEditBench NotesBench IdleCostBench >/dev/null
fi

export MORVELANT_TEST_RUN="${MORVELANT_TEST_RUN:-figures}"
export MORVELANT_JACK_SERVER="morvelant-$MORVELANT_TEST_RUN-figures"
export JACK_NO_START_SERVER=1
out="$(mktemp -d "${TMPDIR:-/tmp}/bench-figures.XXXXXX")"
trap '"$here/scripts/jack-test-server.sh" stop >/dev/null 2>&1 || true; rm -rf "$out"' EXIT
load() { cut -d' ' -f1-3 /proc/loadavg; }

# Runs one benchmark `runs` times (JSON out) and prints min/median/max of the
# counters whose names match the pattern.
bench() {
  local title="$1" pattern="$2"
  shift 2
  local before
  before="$(load)"
  for i in $(seq 1 "$runs"); do
    "$@" --benchmark_out="$out/run-$i.json" --benchmark_out_format=json >/dev/null 2>"$out/err-$i.log" ||
      { echo "FAILED: $* (run $i):" >&2; grep -ho '"error_message": ".*"' "$out/run-$i.json" >&2 ||
          tail -5 "$out/err-$i.log" >&2; exit 1; }
  done
  echo
  echo "== $title: $runs runs; load averages (1, 5, 15 min) before: $before, after: $(load)"
  /usr/bin/python3 - "$pattern" "$out"/run-*.json <<'EOF'
import json, re, statistics, sys
pattern = re.compile(sys.argv[1])
values = {}
for path in sys.argv[2:]:
    for b in json.load(open(path))['benchmarks']:
        for key, v in b.items():
            if pattern.search(key) and isinstance(v, (int, float)):
                values.setdefault((b['name'].split('/iterations')[0], key), []).append(v)
print(f"{'benchmark':34} {'figure':28} {'min':>9} {'median':>9} {'max':>9}")
for (name, key), v in values.items():
    print(f"{name:34} {key:28} {min(v):9.3f} {statistics.median(v):9.3f} {max(v):9.3f}")
EOF
  rm -f "$out"/run-*.json
}

if wants thru; then
  "$here/scripts/jack-test-server.sh" start >/dev/null || { echo "no JACK test server" >&2; exit 1; }
  bench "ThruMonitorBench (10,000 events/s, 10 s per leg)" '^(thru_|lost_|period_ms|gui_stall_ms_)' "$bin/ThruMonitorBench"
fi
if wants monitor; then
  "$here/scripts/jack-test-server.sh" start >/dev/null || { echo "no JACK test server" >&2; exit 1; }
  bench "MonitorFloodBench, long messages (10,000 events/s, 60 s)" \
    '^(max_stall_ms|p999_gap_ms|kept_per_msg_KiB_|peak_KiB_)' "$bin/MonitorFloodBench" --benchmark_filter=LongSysex
fi
if wants soak; then
  "$here/scripts/jack-test-server.sh" start >/dev/null || { echo "no JACK test server" >&2; exit 1; }
  bench "MonitorFloodBench, long messages (10,000 events/s, 300 s)" \
    '^(max_stall_ms|p999_gap_ms|notes_sent|long_sysex_sent|long_sysex_received|seconds)$' \
    "$bin/MonitorFloodBench" --benchmark_filter=LongSysex --seconds=300
fi
if wants cycle; then
  # As a user's server runs: real-time and asynchronous (the thru leg's
  # server, synchronous and not real-time, goes first).
  "$here/scripts/jack-test-server.sh" stop >/dev/null 2>&1 || true
  MORVELANT_JACK_REALTIME=1 "$here/scripts/jack-test-server.sh" start >/dev/null ||
    { echo "no real-time JACK test server" >&2; exit 1; }
  bench "ThruCycleBench (real-time server, 1,000 notes/s, 10 s per phase)" \
    '^(quiet|flood|stopped|loaded)_|^(period_frames|server_realtime|flood_MB_per_s|loaded_idle_pct|loaded_spinner_cores)$' \
    "$bin/ThruCycleBench" --runs=1
  "$here/scripts/jack-test-server.sh" stop >/dev/null 2>&1 || true
fi
if wants idle; then
  "$here/scripts/jack-test-server.sh" start >/dev/null || { echo "no JACK test server" >&2; exit 1; }
  bench "IdleCostBench (4 s idle, ports open and connected)" '^(driver_|baseline_|wakeups_ratio)' "$bin/IdleCostBench"
fi
if wants frames; then
  bench "EventEditBench at 3840 x 2160, offscreen" '^(median_ms|worst_ms|median_cpu_ms|worst_cpu_ms|ratio|width|height)$' \
    "$bin/EventEditBench" --benchmark_filter=/3840
  bench "EventEditBench at 3840 x 2160, real window (Xvfb, openbox)" '^(median_ms|worst_ms|median_cpu_ms|worst_cpu_ms|ratio|width|height)$' \
    "$here/scripts/on-display.sh" "$bin/EventEditBench" --on-display --benchmark_filter=/3840
fi
if wants notes; then
  bench "NotesBench (offscreen, loopback backend)" '^(start_ms|select_ms|x_start_without_notes|peak_growth_MiB)$' \
    "$bin/NotesBench"
fi
if wants start; then
  echo
  echo "== the editor's start and close (launch to first window mapped): $runs rounds; load before: $(load)"
  "$here/scripts/compare-peers.sh" --programs editor --settings noports,noserver --idle-seconds 0 \
    --rounds "$runs" --editor-bin "$bin" 2>/dev/null | grep -v '^$'
  echo "load after: $(load)"
fi
