#!/usr/bin/env bash
# Sets up, builds and starts the editor (build/bin/MorvelantEditor), passing
# on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVELANT_TESTS=OFF -DMORVELANT_BENCH=OFF
cmake --build build --parallel "$(nproc)" --target MorvelantEditor MidiKit32
exec build/bin/MorvelantEditor "$@"
