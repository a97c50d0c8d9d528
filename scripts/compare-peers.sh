#!/usr/bin/env bash
# Measures the editor side by side with two comparable Linux MIDI programs
# (qmidiarp and vmpk, installed from Debian when missing):
#   - start: from launch to the first window mapped (by the window manager);
#   - close: from the close request (the window manager's close message to
#     the program's main window) to the process gone;
#   - idle: CPU and thread wake-ups per second while the program sits with
#     its window shown.
# Each is taken on a first start (a fresh program folder and home) and on a
# second start in the same folder, so the editor reads the configuration
# and working sets its first run wrote.
#
# Three settings, one after the other:
#   ports     one JACK server of our own (dummy driver, 48 kHz, 128-frame
#             periods, real-time when the system grants it) with a peer that
#             offers a MIDI output (one note every ten seconds) and a MIDI
#             input; every program's MIDI ports are open and connected to
#             the peer: the editor's through its configuration (In 1 and
#             Out 1), qmidiarp's by jack_connect as soon as its window shows
#             (its input and both outputs). vmpk has no JACK MIDI ports (its
#             Debian build speaks to the ALSA sequencer only) and runs
#             without. After each start every port of the program is checked
#             with jack_lsp -c: a port missing or not connected to the peer
#             is printed as FAILED beside the run, and the script ends with
#             status 1.
#   noports   the same server, but no port open (the editor as a user who
#             never chose a port has it).
#   noserver  no JACK server to connect to. A program that says so in a
#             modal box has the box closed (as a user would) before its
#             close is timed.
# All under one virtual X server with a window manager (openbox), or on the
# X display given with --display (with openbox started there unless a
# window manager runs on it already or --no-wm is given); the virtual one
# is scripts/on-display.sh's. The
# programs take turns, round after round, the order turning each round, so
# drift hits all alike; every measure is printed as min/median/max per
# program, with the editor's ratio to each peer (of the medians, and the
# median of the ratios of the runs side by side in each round).
#
# Not part of the test run.
#
#   scripts/compare-peers.sh [--rounds N] [--idle-seconds S] [--idle-rounds N]
#                            [--settings ports,noports,noserver] [--period FRAMES]
#                            [--no-realtime] [--no-wm] [--editor-bin DIR]
#                            [--before-bin DIR] [--jack-server NAME]
#                            [--display :N] [--programs editor,qmidiarp,vmpk]
#                            [--keep-work DIR]
#
# --idle-seconds: the idle window of each second start (default 60; 0 skips
# idle); --idle-rounds: in how many of the rounds idle is measured (default
# all). --editor-bin: the folder holding MorvelantEditor and libMidiKit32.so
# (default: build/bin of this tree). --before-bin: another build of the
# editor (the one before a change) that takes its turn as a fourth program,
# so that the change is measured side by side too. --programs: which of the
# programs take their turns (the editor always does; "--programs editor
# --settings noports --idle-seconds 0" measures the editor's own start and
# close alone). --jack-server: use that running JACK
# server instead of starting one (the peer is still started on it).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
rounds=5
idle=60
idle_rounds=""
settings="ports,noports,noserver"
period=128
realtime=1
wm=1
editor_bin="$here/build/bin"
before_bin=""
jack_server=""
keep_work=""
x_display=""
only_programs="editor,qmidiarp,vmpk"
usage() {
  sed -n '/^#   scripts/,/^#$/p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}
arguments=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --idle-seconds) idle="$2"; shift 2 ;;
    --idle-rounds) idle_rounds="$2"; shift 2 ;;
    --settings) settings="$2"; shift 2 ;;
    --period) period="$2"; shift 2 ;;
    --no-realtime) realtime=0; shift ;;
    --no-wm) wm=0; shift ;;
    --editor-bin) editor_bin="$2"; shift 2 ;;
    --before-bin) before_bin="$2"; shift 2 ;;
    --jack-server) jack_server="$2"; shift 2 ;;
    --keep-work) keep_work="$2"; shift 2 ;;
    --display) x_display="$2"; shift 2 ;;
    --programs) only_programs="$2"; shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$idle_rounds" ] || idle_rounds="$rounds"
# Without a display of the caller's: again, on a virtual X server of its own
# (1920 x 1080) with openbox, which end with the script.
if [ -z "$x_display" ]; then
  if [ -n "${COMPARE_PEERS_VIRTUAL:-}" ]; then
    x_display="$DISPLAY"
  else
    no_wm=()
    [ "$wm" = 1 ] || no_wm=(--no-wm)
    COMPARE_PEERS_VIRTUAL=1 exec "$here/scripts/on-display.sh" --screen 1920x1080 "${no_wm[@]}" -- \
      "$0" "${arguments[@]}"
  fi
fi

need=()
wants() { [[ ",$only_programs," == *",$1,"* ]]; }
wants qmidiarp && ! command -v qmidiarp >/dev/null && need+=(qmidiarp)
wants vmpk && ! command -v vmpk >/dev/null && need+=(vmpk)
command -v jackd >/dev/null || need+=(jackd2)
command -v jack_midiseq >/dev/null || need+=(jackd2)
command -v xdpyinfo >/dev/null || need+=(x11-utils)
[ "$wm" = 0 ] || command -v openbox >/dev/null || need+=(openbox)
command -v xprop >/dev/null || need+=(x11-utils)
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || need+=(python3-xlib)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
[ -x "$editor_bin/MorvelantEditor" ] || { echo "no MorvelantEditor in $editor_bin" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/compare-peers.XXXXXX")"
pids=()
jackd_pid=""
cleanup() {
  local p
  # The server last, once its clients are gone, and with SIGINT: a server
  # ended otherwise may leave its entry in the machine's list of JACK
  # servers, which holds only a few.
  for p in "${pids[@]}"; do [ "$p" = "$jackd_pid" ] || kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do [ "$p" = "$jackd_pid" ] || wait "$p" 2>/dev/null || true; done
  if [ -n "$jackd_pid" ]; then
    kill -INT "$jackd_pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$jackd_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$jackd_pid" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
  if [ -n "$keep_work" ]; then
    mkdir -p "$keep_work" && cp "$work"/*.jsonl "$work"/*.log "$keep_work"/ 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# An editor's program folder: the executable, the driver library and the
# data folders beside them (not the tests and benchmarks of a build folder).
template() {
  local from="$1" to="$2"
  [ -x "$from/MorvelantEditor" ] || { echo "no MorvelantEditor in $from" >&2; exit 1; }
  mkdir -p "$to"
  cp -a "$from/MorvelantEditor" "$to/"
  cp -a "$from"/libMidiKit32.so* "$to/"
  for d in "$from"/*/; do
    [ -d "$d" ] && cp -a "$d" "$to/"
  done
}
template "$editor_bin" "$work/editor-template"
[ -z "$before_bin" ] || template "$before_bin" "$work/before-template"

# ---- The X display and the window manager.
export DISPLAY="$x_display"
xdpyinfo >/dev/null 2>&1 || { echo "no X server answers on $DISPLAY" >&2; exit 1; }
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
if [ "$wm" = 1 ] && wm_running; then
  wm=2  # the display's own window manager
elif [ "$wm" = 1 ]; then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  # Managing once it owns the screen's window manager selection.
  for _ in $(seq 1 50); do
    wm_running && break
    sleep 0.1
  done
  wm_running || { echo "openbox did not take the display $DISPLAY:" >&2; cat "$work/openbox.log" >&2; exit 1; }
fi

# ---- The JACK server and the peer.
peer_out="peer-out:out"
peer_in="midi-monitor:input"

export JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
server_up() { [ "$(jack_wait -s "$1" -n "wait$$" -c 2>/dev/null)" = "running" ]; }
own_server=""
jack_name="$jack_server"
rt_note="(a server of another's: its settings)"
if [[ ",$settings," == *",ports,"* || ",$settings," == *",noports,"* ]]; then
  if [ -z "$jack_name" ]; then
    jack_name="compare-peers-$$"
    own_server=1
    rt_flags=(--no-realtime)
    [ "$realtime" = 1 ] && rt_flags=(--realtime --realtime-priority 70)
    jackd -n "$jack_name" "${rt_flags[@]}" -d dummy -r 48000 -p "$period" >"$work/jackd.log" 2>&1 &
    jackd_pid=$!
    pids+=($jackd_pid)
  fi
  for _ in $(seq 1 50); do
    server_up "$jack_name" && break
    sleep 0.2
  done
  if ! server_up "$jack_name"; then
    echo "the JACK server $jack_name is not running:" >&2
    tail -3 "$work/jackd.log" >&2 2>/dev/null || true
    exit 1
  fi
  if [ -n "$own_server" ]; then
    # Whether the system granted real-time scheduling to the server's threads.
    if grep -qs 'SCHED_FIFO\|policy *: *1$' /proc/"$jackd_pid"/task/*/sched ||
       [ "$(ps -L -o cls= -p "$jackd_pid" | grep -c FF)" -gt 0 ]; then
      rt_note="real-time"
    else
      rt_note="NOT real-time (the system refused it)"
    fi
    rt_note="$period-frame periods at 48 kHz, $rt_note"
  fi
  # The peer: a MIDI output playing one note every ten seconds and a MIDI
  # input (jack_midi_dump's client is "midi-monitor").
  JACK_DEFAULT_SERVER="$jack_name" jack_midiseq peer-out 480000 0 60 100 >/dev/null 2>&1 &
  pids+=($!)
  JACK_DEFAULT_SERVER="$jack_name" jack_midi_dump >/dev/null 2>&1 &
  pids+=($!)
  peer_ports() { JACK_DEFAULT_SERVER="$jack_name" jack_lsp 2>/dev/null | grep -c "^$peer_out\$\|^$peer_in\$" || true; }
  for _ in $(seq 1 50); do
    [ "$(peer_ports)" = 2 ] && break
    sleep 0.1
  done
  if [ "$(peer_ports)" != 2 ]; then
    echo "FAILED: the peer's ports $peer_out and $peer_in are not both there; the server's ports:" >&2
    JACK_DEFAULT_SERVER="$jack_name" jack_lsp >&2 || true
    exit 1
  fi
fi

cat >"$work/measure.py" <<'EOF'
import json, os, subprocess, sys, time
from Xlib import X, display as xdisplay, protocol

name, setting, idle, workdir = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
cmd = json.loads(sys.argv[5])
env = dict(os.environ)
env.update(json.loads(sys.argv[6]))
# null, or {"peers": [peer output, peer input], "expect": the program's
# MIDI ports, "connect": whether to connect them here (else the program
# does, from its configuration)}
ports = json.loads(sys.argv[7])
d = xdisplay.Display()
root = d.screen().root
root.change_attributes(event_mask=X.SubstructureNotifyMask)
d.sync()
NET_WM_PID = d.intern_atom('_NET_WM_PID')
NET_CLIENT_LIST = d.intern_atom('_NET_CLIENT_LIST')
NET_WM_STATE = d.intern_atom('_NET_WM_STATE')
NET_WM_STATE_MODAL = d.intern_atom('_NET_WM_STATE_MODAL')
WM_PROTOCOLS = d.intern_atom('WM_PROTOCOLS')
WM_DELETE = d.intern_atom('WM_DELETE_WINDOW')

# The process's CPU seconds and each thread's context switches (a thread
# that ends takes its count with it: only threads seen at both ends, and
# those started in between, are counted).
def proc_stats(pid):
    hz = os.sysconf('SC_CLK_TCK')
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / hz
    switches = {}
    for tid in os.listdir(f'/proc/{pid}/task'):
        try:
            with open(f'/proc/{pid}/task/{tid}/status') as f:
                for line in f:
                    if line.startswith(('voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')):
                        switches[tid] = switches.get(tid, 0) + int(line.split()[1])
        except OSError:
            pass
    return cpu, switches

def switches_between(s0, s1):
    return sum(n - s0.get(tid, 0) for tid, n in s1.items())

def pid_of(win):
    try:
        prop = win.get_full_property(NET_WM_PID, X.AnyPropertyType)
    except Exception:
        return None
    return int(prop.value[0]) if prop is not None and len(prop.value) else None

# A window manager puts each program window into a frame of its own: the
# window the program made is the frame or a window inside it.
def client_in(win, pid, depth=0):
    if pid_of(win) == pid:
        return win
    if depth >= 2:
        return None
    try:
        children = win.query_tree().children
    except Exception:
        return None
    for c in children:
        found = client_in(c, pid, depth + 1)
        if found is not None:
            return found
    return None

def viewable(win):
    try:
        return win.get_attributes().map_state == X.IsViewable
    except Exception:
        return False

def program_windows(pid):
    # The window manager's list when there is one, else the root's children.
    try:
        prop = root.get_full_property(NET_CLIENT_LIST, X.AnyPropertyType)
    except Exception:
        prop = None
    if prop is not None and len(prop.value):
        wins = [d.create_resource_object('window', w) for w in prop.value]
    else:
        wins = root.query_tree().children
    return [w for w in wins if pid_of(w) == pid and viewable(w)]

def jack(*args):
    return subprocess.run(['jack_lsp', *args], env=env, capture_output=True, text=True).stdout.splitlines()

# The program's MIDI ports (every port of a client other than the peer's and
# the server's own), each with its direction and what it is connected to.
def program_ports(peers):
    skip = {p.split(':', 1)[0] for p in peers} | {'system'}
    ports, cur = {}, None
    for line in jack('-p', '-t'):
        if not line.startswith(('\t', ' ')):
            cur = line.strip()
            ports[cur] = {'midi': False, 'input': False, 'to': []}
        elif 'properties:' in line:
            ports[cur]['input'] = 'input,' in line
        elif 'midi' in line:
            ports[cur]['midi'] = True
    cur = None
    for line in jack('-c'):
        if not line.startswith(('\t', ' ')):
            cur = line.strip()
        elif cur in ports:
            ports[cur]['to'].append(line.strip())
    return {n: p for n, p in ports.items() if p['midi'] and n.split(':', 1)[0] not in skip}

def connect_all(peer_out, peer_in):
    for n, p in program_ports([peer_out, peer_in]).items():
        args = [peer_out, n] if p['input'] else [n, peer_in]
        if args[0 if p['input'] else 1] not in p['to']:
            subprocess.run(['jack_connect'] + args, env=env, capture_output=True)

# Each port of the program connected to the peer: the input from the peer's
# output, the outputs to its input. Waits up to five seconds for that.
def check_ports(spec):
    peer_out, peer_in = spec['peers']
    until = time.monotonic() + 5
    while True:
        if spec['connect']:
            connect_all(peer_out, peer_in)
        found = program_ports(spec['peers'])
        good = [n for n, p in found.items() if (peer_out if p['input'] else peer_in) in p['to']]
        if (len(found) >= spec['expect'] and len(good) == len(found)) or time.monotonic() > until:
            break
        time.sleep(0.1)
    return {'all_connected': len(found) >= spec['expect'] and len(good) == len(found),
            'expected': spec['expect'], 'found': len(found), 'connected': len(good),
            'unconnected': sorted(set(found) - set(good))}

result = {'name': name, 'setting': setting, 'start': int(sys.argv[8])}
t0 = time.monotonic()
p = subprocess.Popen(cmd, env=env, cwd=workdir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
shown = None
deadline = t0 + 20
while shown is None and time.monotonic() < deadline:
    while d.pending_events():
        e = d.next_event()
        if e.type == X.MapNotify:
            shown = client_in(e.window, p.pid)
            if shown is not None:
                result['start_ms'] = (time.monotonic() - t0) * 1000
                break
    if shown is None:
        if p.poll() is not None:
            break
        time.sleep(0.0005)
if shown is None:
    p.kill(); p.wait()
    result['error'] = 'no window'
    print(json.dumps(result)); sys.exit(0)

if ports:
    result['ports'] = check_ports(ports)
time.sleep(1.5)  # settle
if idle > 0:
    c0, s0 = proc_stats(p.pid)
    w0 = time.monotonic()
    time.sleep(idle)
    c1, s1 = proc_stats(p.pid)
    span = time.monotonic() - w0
    result['idle_cpu_pct'] = (c1 - c0) / span * 100
    result['wakeups_per_s'] = switches_between(s0, s1) / span

def modal(win):
    try:
        prop = win.get_full_property(NET_WM_STATE, X.AnyPropertyType)
    except Exception:
        return False
    return prop is not None and NET_WM_STATE_MODAL in prop.value

def close_window(win):
    ev = protocol.event.ClientMessage(window=win, client_type=WM_PROTOCOLS,
                                      data=(32, [WM_DELETE, X.CurrentTime, 0, 0, 0]))
    win.send_event(ev)
    d.flush()

# A modal box (a program telling that no server runs) is closed first, as a
# user would before closing the program.
boxes = [w for w in program_windows(p.pid) if modal(w)]
if boxes:
    result['boxes_closed'] = len(boxes)
    for w in boxes:
        close_window(w)
    until = time.monotonic() + 3
    while time.monotonic() < until and any(modal(w) for w in program_windows(p.pid)):
        time.sleep(0.01)
    time.sleep(0.5)
    if p.poll() is not None:
        # The program ends with its box: there is no close to time (what
        # it does, not a failed run).
        result['ended_with_box'] = True
        print(json.dumps(result)); sys.exit(0)

# The close goes to the program's first window still shown (the lowest id:
# made first), its main window.
wins = program_windows(p.pid)
main = min(wins, key=lambda w: w.id) if wins else shown
t1 = time.monotonic()
close_window(main)
# Polled every half millisecond: Popen.wait(timeout) backs off in doubling
# sleeps, which would round every close up to 31.5, 63.5, ... ms.
while p.poll() is None and time.monotonic() - t1 < 10:
    time.sleep(0.0005)
if p.poll() is not None:
    result['close_ms'] = (time.monotonic() - t1) * 1000
else:
    p.kill(); p.wait()
    result['error'] = 'did not close'
print(json.dumps(result))
EOF

# One program's first or second start in its folder of this round.
run_one() {
  local name="$1" setting="$2" round="$3" start="$4"
  local run="$work/run-$setting-$name-$round"
  local server="$jack_name"
  [ "$setting" = noserver ] && server="compare-peers-none-$$"
  if [ "$start" = 1 ]; then
    rm -rf "$run"
    mkdir -p "$run/runtime" "$run/home"
    chmod 700 "$run/runtime"
  fi
  local cmd envjson ports=null idle_s=0
  [ "$start" = 2 ] && [ "$round" -le "$idle_rounds" ] && idle_s="$idle"
  envjson="{\"XDG_RUNTIME_DIR\": \"$run/runtime\", \"HOME\": \"$run/home\", \"JACK_DEFAULT_SERVER\": \"$server\"}"
  case "$name" in
    editor|before)
      if [ "$start" = 1 ]; then
        cp -a "$work/$name-template" "$run/prog"
        # Its ports open on the peer, as a user who chose them left them.
        if [ "$setting" = ports ]; then
          printf '[In1DeviceFlags]\r\n%s=1\r\n[Out1DeviceFlags]\r\n%s=1\r\n' "$peer_out" "$peer_in" \
            >"$run/prog/Morvelant.cfg"
        fi
      fi
      [ "$setting" = ports ] && ports="{\"peers\": [\"$peer_out\", \"$peer_in\"], \"expect\": 2, \"connect\": false}"
      cmd="[\"$run/prog/MorvelantEditor\"]"
      envjson="${envjson%\}}, \"MIDIKIT_BACKEND\": \"jack\"}"
      ;;
    qmidiarp)
      cmd='["qmidiarp", "--jack"]'
      [ "$setting" = ports ] && ports="{\"peers\": [\"$peer_out\", \"$peer_in\"], \"expect\": 3, \"connect\": true}"
      ;;
    vmpk)
      cmd='["vmpk"]'
      ;;
  esac
  /usr/bin/python3 "$work/measure.py" "$name" "$setting" "$idle_s" "$run" "$cmd" "$envjson" "$ports" "$start"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); server: $rt_note; display: $DISPLAY; window manager: $(case "$wm" in 1) echo openbox ;; 2) if [ -n "${COMPARE_PEERS_VIRTUAL:-}" ]; then echo openbox; else echo "the display's own"; fi ;; *) echo none ;; esac)" >&2
programs=(editor)
for p in qmidiarp vmpk; do wants "$p" && programs+=("$p"); done
[ -z "$before_bin" ] || programs+=(before)
: >"$work/results.jsonl"
IFS=',' read -r -a setting_list <<<"$settings"
for setting in "${setting_list[@]}"; do
  for r in $(seq 1 "$rounds"); do
    for start in 1 2; do
      for i in "${!programs[@]}"; do
        prog="${programs[$(( (i + r) % ${#programs[@]} ))]}"
        line="$(run_one "$prog" "$setting" "$r" "$start")"
        line="${line%\}}, \"round\": $r}"
        echo "$line" >>"$work/results.jsonl"
        echo "$setting round $r start $start: $line" >&2
        case "$line" in
          *'"all_connected": false'*|*'"error"'*) echo "FAILED: $prog ($setting round $r start $start): ports not all connected or no clean run" >&2 ;;
        esac
      done
    done
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2

/usr/bin/python3 - "$work/results.jsonl" "$rt_note" <<'EOF'
import json, math, statistics, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
progs = ['editor', 'before', 'qmidiarp', 'vmpk']
measures = [('start_ms', 1, 'start to first window (ms), first start'),
            ('start_ms', 2, 'start to first window (ms), second start'),
            ('close_ms', 1, 'close to process gone (ms), first start'),
            ('close_ms', 2, 'close to process gone (ms), second start'),
            ('idle_cpu_pct', 2, 'idle CPU (%)'),
            ('wakeups_per_s', 2, 'idle wake-ups (per s)')]

def vals(setting, prog, key, start):
    return {r['round']: r[key] for r in rows
            if r['setting'] == setting and r['name'] == prog and r['start'] == start and key in r}

def fmt(v):
    return f"{v:.3f}" if abs(v) < 10 else f"{v:.1f}"

for setting in dict.fromkeys(r['setting'] for r in rows):
    title = {'ports': 'JACK server, ports open and connected to a peer (' + sys.argv[2] + ')',
             'noports': 'JACK server, no port open (' + sys.argv[2] + ')'}.get(setting, 'no JACK server')
    print(f"\n== {title}")
    print(f"{'measure':42} {'program':9} {'min':>8} {'median':>8} {'max':>8} {'n':>3}   editor/program: "
          f"of medians, median of pairs")
    for key, start, label in measures:
        per = {p: vals(setting, p, key, start) for p in progs}
        if not per['editor']:
            continue
        em = statistics.median(per['editor'].values())
        for p in progs:
            v = list(per[p].values())
            if not v:
                continue
            line = f"{label if p == 'editor' else '':42} {p:9} {fmt(min(v)):>8} {fmt(statistics.median(v)):>8} " \
                   f"{fmt(max(v)):>8} {len(v):>3}"
            if p != 'editor':
                m = statistics.median(v)
                pairs = [per['editor'][r] / per[p][r] for r in per[p] if r in per['editor'] and per[p][r]]
                ratio = em / m if m else math.nan
                pr = statistics.median(pairs) if pairs else math.nan
                line += f"   {ratio:.2f}x, {pr:.2f}x"
            print(line)
    for p in progs:
        checked = [r['ports'] for r in rows if r['setting'] == setting and r['name'] == p and 'ports' in r]
        if checked:
            seen = sorted({f"{c['connected']} of {c['found']} (of {c['expected']} expected)" for c in checked})
            print(f"{p} MIDI ports connected to the peer, per run (jack_lsp -c): {', '.join(seen)}")
        elif setting == 'ports' and any(r['name'] == p for r in rows):
            print(f"{p}: no JACK MIDI ports to connect")
    boxes = sorted({(r['name'], r['boxes_closed']) for r in rows if r['setting'] == setting and 'boxes_closed' in r})
    if boxes:
        print("modal boxes closed before the close was timed: " + ", ".join(f"{n} {b}" for n, b in boxes))
    ended = sorted({r['name'] for r in rows if r['setting'] == setting and r.get('ended_with_box')})
    if ended:
        print("ended with their box (no close to time): " + ", ".join(ended))
for r in rows:
    c = r.get('ports')
    if c and not c['all_connected'] and 'error' not in r:
        r['error'] = (f"ports: {c['connected']} of {c['found']} connected, {c['expected']} expected; "
                      f"not connected: {', '.join(c['unconnected']) or '-'}")
errors = [r for r in rows if 'error' in r]
print(f"\nruns: {len(rows)}, failed: {len(errors)}" +
      ''.join(f"\n  FAILED {r['setting']} {r['name']} round {r['round']} start {r['start']}: {r['error']}" for r in errors))
if not errors and any('ports' in r for r in rows):
    print("every MIDI port of every program connected to the peer in every run of the ports setting")
sys.exit(1 if errors else 0)
EOF
