#!/usr/bin/env bash
# Sets up, builds and starts the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVELANT_TESTS=OFF -DMORVELANT_BENCH=OFF
cmake --build build --parallel "$(nproc)"
if [ -x build/bin/MorvelantEditor ]; then
  exec build/bin/MorvelantEditor "$@"
else
  echo "Built the model, the driver library and the MIDI toolkit; the editor's windows are not built yet, so there is no program to start."
fi
