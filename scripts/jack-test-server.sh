#!/usr/bin/env bash
# Starts or stops a JACK server that the MIDI tests run against: the dummy
# driver (real ports, no sound card) under a server name of our own, so a
# desktop's JACK server is never touched. Each test program has its own
# (MORVELANT_JACK_SERVER names it); a server that stopped answering is
# ended and started again.
#
# A test run (scripts/test.sh) sets MORVELANT_TEST_RUN to an id of its own;
# its servers are then "morvelant-<run>-...", and stop-all, logs and
# clean-logs touch only those, so two runs on one machine (two checkouts, or
# CI beside a developer) never stop each other's servers.
#   scripts/jack-test-server.sh start      -> exit 0 when it answers
#   scripts/jack-test-server.sh stop
#   scripts/jack-test-server.sh stop-all   -> every server of this run (of every run without MORVELANT_TEST_RUN)
#   scripts/jack-test-server.sh logs       -> those servers' own lines on clients and errors
set -u
run="${MORVELANT_TEST_RUN:-}"
prefix="morvelant-${run:+$run-}"
name="${MORVELANT_JACK_SERVER:-${prefix}test}"
dir="${TMPDIR:-/tmp}"
state="$dir/morvelant-jackd-$name"
export JACK_NO_AUDIO_RESERVATION=1
export JACK_NO_START_SERVER=1

# jack_wait -c exits 0 either way; it prints "running" or "not running".
# Its client is named after this process: libjack makes a client's socket
# for the server's notices from the client's name alone, whatever server it
# is on, so that clients of one name asking two servers at one moment (two
# test runs side by side) can fail to open, and the server would seem gone.
answers() { [ "$(jack_wait -s "$name" -n "wait$$" -c 2>/dev/null)" = "running" ]; }
. "$(dirname "$0")/test-server-common.sh"


# JACK keeps a table of eight servers in its shared registry and frees the
# entry of a server that ended without leaving it (killed, or stopped and
# then killed by a test) only for a new server of the same name. The test
# servers' names differ from run to run, so such entries would pile up until
# no server can start ("Too many servers already active"), and a server
# killed after a test stopped it holds its name ("server already active")
# while its process stays unreaped: the entries of servers whose process is
# gone or ended are freed before a server starts. Entry k:
# the server's process id at byte 24 + 264k, its name ("jack-<uid>:<name>:")
# after it; a registry of another layout is left alone.
free_dead_entries() {
  local registry=/dev/shm/jack-shm-registry k off pid entry
  [ -w "$registry" ] && [ "$(head -c 4 "$registry" 2>/dev/null)" = "KCAJ" ] || return 0
  for k in 0 1 2 3 4 5 6 7; do
    off=$((24 + 264 * k))
    entry="$(dd if="$registry" bs=1 skip=$((off + 4)) count=5 2>/dev/null | tr -d '\0')"
    [ -z "$entry" ] && continue
    [ "$entry" = "jack-" ] || return 0
    pid="$(od -An -t d4 -j "$off" -N 4 "$registry" | tr -d ' ')"
    [ -n "$pid" ] && [ "$pid" -gt 0 ] && ! alive "$pid" || continue
    dd if=/dev/zero of="$registry" bs=1 seek="$off" count=264 conv=notrunc 2>/dev/null
  done
}

# A server that was killed, or whose clients were (a frozen server, a test's
# peers), leaves in /dev/shm its socket and segments ("jack_<name>_*") and
# its clients' semaphores ("jack_sem.<uid>_<name>_*"); they would pile up run
# after run. Removed once the server of that name is gone.
forget_files() {
  rm -f /dev/shm/jack_"$1"_* /dev/shm/jack_sem."$(id -u)"_"$1"_*
}

# A server of this name runs that this script did not start (a user's own,
# shared with the tests): its socket and segments are not ours to remove.
runs_elsewhere() {
  [ ! -f "$state.pid" ] && pgrep -x -f "jackd -n $name .*" >/dev/null 2>&1
}

# Starts the server once and waits up to ten seconds for it to answer.
# Returns 0 when it answers, 2 when it ended at once because the machine's
# servers are all taken, 1 otherwise.
start_once() {
  local mark pid
  free_dead_entries
  # A server of ours that no longer answers (stalled or half gone) goes first.
  stop_pid "$state.pid"
  forget_files "$name"
  mark=$(($(stat -c %s "$state.log" 2>/dev/null || echo 0) + 1))
  # Synchronous mode: a slow client delays the cycle instead of losing MIDI.
  # MORVELANT_JACK_REALTIME=1 starts it as a user's server runs instead
  # (real-time, asynchronous), for the benchmarks that time the cycle.
  local mode=(--no-realtime --sync --timeout 5000)
  [ "${MORVELANT_JACK_REALTIME:-0}" = 1 ] && mode=(--realtime --realtime-priority 70)
  jackd -n "$name" "${mode[@]}" -d dummy -r 48000 -p 128 >>"$state.log" 2>&1 &
  pid=$!
  echo "$pid" >"$state.pid"
  for _ in $(seq 1 50); do
    if answers; then return 0; fi
    if ! alive "$pid"; then
      wait "$pid" 2>/dev/null
      rm -f "$state.pid"
      tail -c +"$mark" "$state.log" | grep -qi "too many servers already active" && return 2
      return 1
    fi
    sleep 0.2
  done
  return 1
}

case "${1:-}" in
  start)
    if answers; then exit 0; fi
    # One this script did not start is only waited for.
    if runs_elsewhere; then
      for _ in $(seq 1 50); do
        if answers; then exit 0; fi
        sleep 0.2
      done
      echo "$(basename "$0" .sh): the JACK server '$name' runs but did not answer within 10 s" >&2
      exit 1
    fi
    # A machine runs at most eight JACK servers (every user's, every run's):
    # when they are all taken, a server of another program or run is
    # usually about to end, so a free one is waited for, for up to
    # MORVELANT_JACK_SLOT_WAIT seconds (default 120), then the start fails
    # saying why.
    limit="${MORVELANT_JACK_SLOT_WAIT:-120}"
    began=$SECONDS
    said=""
    while :; do
      start_once
      case $? in
        0) exit 0 ;;
        2)
          if [ $((SECONDS - began)) -ge "$limit" ]; then
            echo "$(basename "$0" .sh): the JACK server '$name' did not start: this machine's JACK servers" \
              "are all taken (\"Too many servers already active\": at most 8 run at once) and none came free" \
              "within $limit s" >&2
            exit 1
          fi
          if [ -z "$said" ]; then
            echo "$(basename "$0" .sh): this machine's JACK servers are all taken (at most 8 run at once);" \
              "waiting up to $limit s for one to end before starting '$name'" >&2
            said=1
          fi
          sleep 2
          ;;
        *)
          echo "$(basename "$0" .sh): the JACK server '$name' did not start:" >&2
          tail -20 "$state.log" >&2
          exit 1
          ;;
      esac
    done
    ;;
  stop)
    # Only a server this script started (its process id kept), or the
    # leftovers of one that no longer answers: a server of that name that
    # somebody else runs keeps its socket.
    if [ -f "$state.pid" ]; then
      stop_pid "$state.pid"
      forget_files "$name"
    elif ! runs_elsewhere; then
      forget_files "$name"
    fi
    ;;
  stop-all)
    # Every server of the run, running or not: a log stays from its start
    # until clean-logs.
    for file in "$dir"/morvelant-jackd-"$prefix"*.pid "$dir"/morvelant-jackd-"$prefix"*.log; do
      [ -e "$file" ] || continue
      [ "${file%.pid}" = "$file" ] || stop_pid "$file"
      file="${file#"$dir"/morvelant-jackd-}"
      forget_files "${file%.*}"
    done
    ;;
  logs)
    for log in "$dir"/morvelant-jackd-"$prefix"*.log; do
      [ -e "$log" ] || continue
      # The driver's late wake-ups ("XRun = N usec") come by the hundred on
      # a busy machine and would push the lines that matter out of view:
      # they are counted, with the worst, and the rest is shown.
      lines="$(grep -E -i "client|error|fail|timeout|xrun|cannot|zombi|kill" "$log" | grep -v "Process XRun = " | tail -20)"
      xruns="$(grep -E -o "Process XRun = [0-9]+" "$log" | awk '{ n++; if ($4 > w) w = $4 } END { if (n) printf "%d late driver cycles, the worst %d usec", n, w }')"
      if [ -n "$lines" ] || [ -n "$xruns" ]; then
        printf '%s (last lines on clients and errors):\n' "$log"
        [ -z "$xruns" ] || printf '%s\n' "$xruns"
        [ -z "$lines" ] || printf '%s\n' "$lines"
      fi
    done
    ;;
  clean-logs)
    rm -f "$dir"/morvelant-jackd-"$prefix"*.log
    ;;
  *)
    echo "usage: $0 start|stop|stop-all|logs|clean-logs" >&2
    exit 2
    ;;
esac
