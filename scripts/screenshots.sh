#!/usr/bin/env bash
# Builds the screenshot tool and takes a picture of each window under a
# virtual X server, into <build folder>/screenshots/<window>.png.
#   scripts/screenshots.sh [window name ...]
# The build folder is build-screenshots, or $MORVELANT_SCREENSHOT_BUILD.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${MORVELANT_SCREENSHOT_BUILD:-build-screenshots}"
out="$build/screenshots"

for tool in xvfb-run Xvfb xauth; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "screenshots: $tool is missing (packages xvfb and xauth; scripts/setup.sh installs them)" >&2
    exit 1
  fi
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVELANT_SANITIZE=OFF >/dev/null
cmake --build "$build" --target ScreenshotTool

mkdir -p "$out"
# The virtual server's own screen; -a picks a free display number.
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$build/bin/ScreenshotTool" "$out" "$@"
echo "screenshots: pictures in $out"
