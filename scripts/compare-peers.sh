#!/usr/bin/env bash
# Measures the editor side by side with two comparable Linux MIDI programs
# (qmidiarp and vmpk, installed from Debian when missing): the time from
# launch to the first window mapped, the time from the close request (the
# window manager's close message to the main window) to the process gone,
# and the CPU and thread wakeups per second while idle. All run under one
# JACK server of their own (dummy driver, with a peer offering MIDI ports)
# and one virtual X server; the programs take turns, round after round, and
# the medians and the editor's ratios to each peer are printed.
#
# Not part of the test run.
#
#   scripts/compare-peers.sh [--rounds N] [--idle-seconds S] [--editor-bin DIR]
#                            [--keep-config] [--jack-server NAME]
#
# --editor-bin: the folder holding MorvelantEditor and libMidiKit32.so
# (default: build/bin of this tree). Each run gets a fresh copy of it as its
# program folder, so every start is a first start with no configuration;
# --keep-config starts every run after the first from the configuration the
# previous run wrote. --jack-server: use that running JACK server instead of
# starting one (libjack allows only a few servers on one machine).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
rounds=7
idle=3
editor_bin="$here/build/bin"
keep_config=0
jack_server=""
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --idle-seconds) idle="$2"; shift 2 ;;
    --editor-bin) editor_bin="$2"; shift 2 ;;
    --keep-config) keep_config=1; shift ;;
    --jack-server) jack_server="$2"; shift 2 ;;
    *) echo "usage: $0 [--rounds N] [--idle-seconds S] [--editor-bin DIR] [--keep-config] [--jack-server NAME]" >&2
       exit 2 ;;
  esac
done

need=()
command -v qmidiarp >/dev/null || need+=(qmidiarp)
command -v vmpk >/dev/null || need+=(vmpk)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v jackd >/dev/null || need+=(jackd2)
command -v jack_midiseq >/dev/null || need+=(jackd2)
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || need+=(python3-xlib)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
[ -x "$editor_bin/MorvelantEditor" ] || { echo "no MorvelantEditor in $editor_bin" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/compare-peers.XXXXXX")"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# One virtual X server and one JACK server, both ours alone.
display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY="$display"
export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
if [ -n "$jack_server" ]; then
  export JACK_DEFAULT_SERVER="$jack_server"
else
  export JACK_DEFAULT_SERVER="compare-peers-$$"
  jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
  pids+=($!)
fi
for _ in $(seq 1 50); do
  [ "$(jack_wait -s "$JACK_DEFAULT_SERVER" -c 2>/dev/null)" = "running" ] && break
  sleep 0.2
done
if [ "$(jack_wait -s "$JACK_DEFAULT_SERVER" -c 2>/dev/null)" != "running" ]; then
  echo "the JACK server $JACK_DEFAULT_SERVER is not running:" >&2
  tail -3 "$work/jackd.log" >&2 2>/dev/null || true
  exit 1
fi
# A peer with a MIDI output (one note every ten seconds) and a MIDI input.
jack_midiseq peer-out 480000 0 60 100 >/dev/null 2>&1 &
pids+=($!)
jack_midi_dump >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
  xdpyinfo -display "$display" >/dev/null 2>&1 && break
  sleep 0.1
done

cat >"$work/measure.py" <<'EOF'
import json, os, shutil, signal, subprocess, sys, time
from Xlib import X, display as xdisplay, protocol

name, idle, workdir = sys.argv[1], float(sys.argv[2]), sys.argv[3]
cmd = json.loads(sys.argv[4])
env = dict(os.environ)
env.update(json.loads(sys.argv[5]))
d = xdisplay.Display()
root = d.screen().root
root.change_attributes(event_mask=X.SubstructureNotifyMask)
d.sync()
NET_WM_PID = d.intern_atom('_NET_WM_PID')
WM_PROTOCOLS = d.intern_atom('WM_PROTOCOLS')
WM_DELETE = d.intern_atom('WM_DELETE_WINDOW')

def proc_stats(pid):
    cpu = 0
    switches = 0
    hz = os.sysconf('SC_CLK_TCK')
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / hz
    for tid in os.listdir(f'/proc/{pid}/task'):
        try:
            with open(f'/proc/{pid}/task/{tid}/status') as f:
                for line in f:
                    if line.startswith(('voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')):
                        switches += int(line.split()[1])
        except OSError:
            pass
    return cpu, switches

def owned_by(win, pid):
    try:
        prop = win.get_full_property(NET_WM_PID, X.AnyPropertyType)
    except Exception:
        return True
    return prop is None or int(prop.value[0]) == pid

result = {'name': name}
t0 = time.monotonic()
p = subprocess.Popen(cmd, env=env, cwd=workdir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
main = None
deadline = t0 + 20
while main is None and time.monotonic() < deadline:
    while d.pending_events():
        e = d.next_event()
        if e.type == X.MapNotify and owned_by(e.window, p.pid):
            main = e.window
            result['start_ms'] = (time.monotonic() - t0) * 1000
            break
    if main is None:
        if p.poll() is not None:
            break
        time.sleep(0.0005)
if main is None:
    p.kill(); p.wait()
    result['error'] = 'no window'
    print(json.dumps(result)); sys.exit(0)

time.sleep(1.5)  # settle
c0, s0 = proc_stats(p.pid)
w0 = time.monotonic()
time.sleep(idle)
c1, s1 = proc_stats(p.pid)
span = time.monotonic() - w0
result['idle_cpu_pct'] = (c1 - c0) / span * 100
result['wakeups_per_s'] = (s1 - s0) / span

# The close goes to the program's first top-level window still shown (the
# lowest id: created first), its main window.
shown = []
for w in root.query_tree().children:
    try:
        if w.get_attributes().map_state == X.IsViewable and not w.get_attributes().override_redirect \
                and owned_by(w, p.pid) and w.get_full_property(NET_WM_PID, X.AnyPropertyType) is not None:
            shown.append(w)
    except Exception:
        pass
if shown:
    main = min(shown, key=lambda w: w.id)
ev = protocol.event.ClientMessage(window=main, client_type=WM_PROTOCOLS,
                                  data=(32, [WM_DELETE, X.CurrentTime, 0, 0, 0]))
t1 = time.monotonic()
main.send_event(ev)
d.flush()
# Polled every millisecond: Popen.wait(timeout) backs off in doubling sleeps,
# which would round every close up to 31.5, 63.5, ... ms.
while p.poll() is None and time.monotonic() - t1 < 10:
    time.sleep(0.001)
if p.poll() is not None:
    result['close_ms'] = (time.monotonic() - t1) * 1000
else:
    p.kill(); p.wait()
    result['error'] = 'did not close'
print(json.dumps(result))
EOF

# Each program's command, environment and fresh working folder.
run_one() {
  local name="$1" run="$work/run-$1-$2"
  mkdir -p "$run/runtime" "$run/home"
  chmod 700 "$run/runtime"
  local cmd envjson
  case "$name" in
    editor)
      if [ "$keep_config" = 1 ] && [ -d "$work/editor-prog" ]; then
        :
      else
        rm -rf "$work/editor-prog"
        mkdir -p "$work/editor-prog"
        cp -a "$editor_bin/." "$work/editor-prog/"
      fi
      cmd="[\"$work/editor-prog/MorvelantEditor\"]"
      envjson="{\"MIDIKIT_BACKEND\": \"jack\", \"XDG_RUNTIME_DIR\": \"$run/runtime\", \"HOME\": \"$run/home\"}"
      ;;
    qmidiarp)
      cmd='["qmidiarp", "--jack"]'
      envjson="{\"XDG_RUNTIME_DIR\": \"$run/runtime\", \"HOME\": \"$run/home\"}"
      ;;
    vmpk)
      cmd='["vmpk"]'
      envjson="{\"XDG_RUNTIME_DIR\": \"$run/runtime\", \"HOME\": \"$run/home\"}"
      ;;
  esac
  /usr/bin/python3 "$work/measure.py" "$name" "$idle" "$run" "$cmd" "$envjson"
}

programs=(editor qmidiarp vmpk)
: >"$work/results.jsonl"
for r in $(seq 1 "$rounds"); do
  # Interleaved, the order turning each round, so drift hits all alike.
  for i in 0 1 2; do
    prog="${programs[$(( (i + r) % 3 ))]}"
    line="$(run_one "$prog" "$r")"
    echo "$line" >>"$work/results.jsonl"
    echo "round $r: $line" >&2
  done
done

/usr/bin/python3 - "$work/results.jsonl" <<'EOF'
import json, statistics, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
metrics = [('start_ms', 'start to first window (ms)'), ('close_ms', 'close request to process gone (ms)'),
           ('idle_cpu_pct', 'idle CPU (%)'), ('wakeups_per_s', 'idle wakeups (per s)')]
progs = ['editor', 'qmidiarp', 'vmpk']
med = {}
for p in progs:
    for m, _ in metrics:
        vals = [r[m] for r in rows if r['name'] == p and m in r]
        med[(p, m)] = statistics.median(vals) if vals else float('nan')
errors = [r for r in rows if 'error' in r]
print(f"{'median':38} {'editor':>9} {'qmidiarp':>9} {'vmpk':>9} {'ed/qmidiarp':>12} {'ed/vmpk':>9}")
for m, title in metrics:
    e, q, v = (med[(p, m)] for p in progs)
    rq = e / q if q else float('nan')
    rv = e / v if v else float('nan')
    print(f"{title:38} {e:9.1f} {q:9.1f} {v:9.1f} {rq:12.2f} {rv:9.2f}")
print(f"runs: {len(rows)}, failed: {len(errors)}" + ''.join(f"\n  {r['name']}: {r['error']}" for r in errors))
EOF
