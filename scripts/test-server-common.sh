# What scripts/jack-test-server.sh and scripts/pipewire-test-server.sh share;
# sourced by both. Each defines answers() (whether its server takes clients).

# Whether a process runs (one that ended but is not yet reaped does not).
alive() {
  local state
  state="$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)"
  [ -n "$state" ] && [ "$state" != Z ]
}

# Ends the process whose id the file holds: asked first, killed after five
# seconds. An ended process may stay in the process table unreaped (this
# machine's first process need not reap an orphan): a JACK server would take
# a name or a slot as in use while a process of the id registered under it
# is there, so scripts/jack-test-server.sh frees such entries before it starts
# a server.
stop_pid() {
  local pidfile="$1"
  [ -f "$pidfile" ] || return 0
  local pid
  pid="$(cat "$pidfile")"
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do
    alive "$pid" || break
    sleep 0.05
  done
  if alive "$pid"; then
    kill -9 "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do
      alive "$pid" || break
      sleep 0.05
    done
  fi
  rm -f "$pidfile"
}

# Exits 0 once the server answers within ten seconds, else 1 with the end
# of its log: wait_until_answers WHAT LOG
wait_until_answers() {
  for _ in $(seq 1 50); do
    if answers; then exit 0; fi
    sleep 0.2
  done
  echo "$(basename "$0" .sh): the $1 did not start:" >&2
  tail -20 "$2" >&2
  exit 1
}
