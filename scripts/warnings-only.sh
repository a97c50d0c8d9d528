#!/usr/bin/env bash
# Compiles every source of a configured build's default targets (tests,
# benchmarks and tools included) for the compiler's warnings alone: each
# compile command of the build, as the build would run it, with
# -fsyntax-only added, so that nothing is generated or linked. Qt's moc runs
# first (the files it writes are compiled too). Exits non-zero when any
# source fails; every failure is shown (the check goes on after the first).
#
#   scripts/warnings-only.sh BUILD_DIR [jobs, default nproc]
#
# Meant for clang, whose warnings all come from reading the code: a Debug
# build (no optimiser) warns of nothing more when it generates code. GCC
# warns of more when it optimises; its warnings are checked by building.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:?usage: scripts/warnings-only.sh BUILD_DIR [jobs]}"
jobs="${2:-$(nproc)}"
[ -f "$build/compile_commands.json" ] || { echo "warnings-only: $build is not configured" >&2; exit 2; }

# moc's output for every target, moc alone: the build's own autogen steps
# wait for the libraries each target links to be built.
config="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
find "$build" -path '*_autogen.dir/AutogenInfo.json' -print0 |
  xargs -0 -r -I '{}' -P "$jobs" cmake -E cmake_autogen '{}' "$config"
# The objects the default target builds: sources built only on demand (the
# layer probes, which must fail to compile) are left out.
check="$build/warnings-only"
mkdir -p "$check"
ninja -C "$build" -t inputs all | grep '\.o$' | sort -u >"$check/objects"

# A ninja file with one statement per source: JSON's escapes undone, ninja's
# "$" escaped. A target's precompiled header (the outside headers its
# sources include, see CMakeLists.txt) is built first, as the build would:
# each of its sources is read with it.
awk -v objects="$check/objects" '
  BEGIN { while ((getline o < objects) > 0) wanted[o] = 1 }
  function value(line) {
    sub(/^[ \t]*"[a-z]+": "/, "", line); sub(/",?[ \t]*$/, "", line)
    gsub(/\\\\/, "\001", line); gsub(/\\"/, "\"", line); gsub(/\001/, "\\", line)
    gsub(/\$/, "$$", line)
    return line
  }
  /^[ \t]*"directory": / { dir = value($0) }
  /^[ \t]*"command": / { cmd = value($0) }
  /^[ \t]*"file": / { file = value($0) }
  /^[ \t]*}/ {
    out = ""
    if (match(cmd, / -o [^ ]+ /)) out = substr(cmd, RSTART + 4, RLENGTH - 5)
    pch = ""
    if (match(cmd, / -Xclang -include-pch -Xclang [^ ]+ /)) pch = substr(cmd, RSTART + 30, RLENGTH - 31)
    if (out ~ /\.pch$/) {
      printf "build %s/%s: pch\n  dir = %s\n  cmd = %s\n  file = %s\n", dir, out, dir, cmd, file
    } else if (out in wanted) {
      n++
      printf "build check%d: check%s\n  dir = %s\n  cmd = %s\n  file = %s\n", n, pch == "" ? "" : " | " pch, dir, cmd, file
    }
    dir = cmd = file = ""
  }
  END {
    if (n == 0) { print "warnings-only: no compile command found" > "/dev/stderr"; exit 1 }
  }' "$build/compile_commands.json" >"$check/statements.ninja"
{
  printf 'rule check\n  command = cd $dir && $cmd -fsyntax-only\n  description = warnings: $file\n'
  printf 'rule pch\n  command = cd $dir && $cmd\n  description = precompiled header: $file\n'
  cat "$check/statements.ninja"
} >"$check/build.ninja"
echo "warnings-only: $(grep -c '^build check' "$check/build.ninja") sources, $jobs at a time"
ninja -C "$check" -k 0 -j "$jobs"
