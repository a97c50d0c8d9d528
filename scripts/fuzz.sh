#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*Fuzz.cpp) with clang and fuzzes each for
# a bounded time, starting from its seed corpus in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
#
# 0 seconds builds the targets without running them.
# New inputs found go to build-fuzz/corpus/<target>/ (the seed corpus in the
# tree is not touched); crashes to build-fuzz/crashes/<target>/. Exits non-zero
# when a target fails. MORVELANT_FUZZ_JOBS runs that many targets at once.
# MORVELANT_WERROR=ON makes warnings errors (the test
# command runs every target for a few seconds so). MORVELANT_FUZZ_DEBUG=lines
# builds with line tables alone as debug information (the test command's
# short runs: reports still name each frame's function, file and line).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
build=${MORVELANT_FUZZ_BUILD:-build-fuzz}
debug=-g
[ "${MORVELANT_FUZZ_DEBUG:-}" != lines ] || debug=-gline-tables-only

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 $debug -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 $debug -DNDEBUG" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DMORVELANT_FUZZ=ON -DMORVELANT_SANITIZE=ON -DMORVELANT_TSAN=OFF \
  -DMORVELANT_WERROR="${MORVELANT_WERROR:-OFF}" \
  -DMORVELANT_TESTS=OFF -DMORVELANT_BENCH=OFF >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for src in fuzz/*Fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"
[ "$seconds" != 0 ] || exit 0

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target's run; its report goes to $build/$t.out, its result to
# $build/$t.status.
fuzz_one() {
  local t="$1" work="$build/corpus/$1" crashes="$build/crashes/$1" max_len
  mkdir -p "$work" "$crashes"
  local -a seeds=()
  if [ -d "fuzz/corpus/$t" ]; then seeds=("fuzz/corpus/$t"); fi
  # Inputs long enough to reach each reader's limits and what grows with
  # size: the receive buffer's room of 20,000 bytes, a kit library of many
  # kits, a configuration of many sections.
  case "$t" in
    ReceiveBuffer*) max_len=65536 ;;
    Drumkits* | PortSettings* | IniFile*) max_len=262144 ;;
    *) max_len=16384 ;;
  esac
  {
    echo "== $t: ${seconds}s, inputs up to $max_len bytes"
    if ! "$build/fuzz/$t" "$work" "${seeds[@]}" \
          -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
          -artifact_prefix="$crashes/" -print_final_stats=1 2>"$build/$t.log"; then
      echo failed >"$build/$t.status"
      tail -40 "$build/$t.log"
    else
      echo passed >"$build/$t.status"
      grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$build/$t.log" || true
    fi
  } >"$build/$t.out" 2>&1
}

# Targets side by side (MORVELANT_FUZZ_JOBS, default 1), each for its own
# time; their reports in the order of the targets.
parallel=${MORVELANT_FUZZ_JOBS:-1}
running=0
for t in "${targets[@]}"; do
  rm -f "$build/$t.status" "$build/$t.out"
  if [ "$running" -ge "$parallel" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$t" &
  running=$((running + 1))
done
wait
failed=()
for t in "${targets[@]}"; do
  cat "$build/$t.out" 2>/dev/null || true
  [ "$(cat "$build/$t.status" 2>/dev/null)" = passed ] || failed+=("$t")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran ${seconds}s without a failure"
