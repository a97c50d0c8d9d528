#!/usr/bin/env bash
# Installs everything the editor needs to build, run and test on Debian 12.
# Non-interactive and idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential g++ clang cmake ninja-build pkg-config git
  qt6-base-dev libqt6printsupport6 libgl-dev
  librtmidi-dev libasound2-dev libjack-jackd2-dev jackd2
  pipewire pipewire-jack wireplumber dbus
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libclang-rt-14-dev xvfb xauth openbox x11-utils libxtst-dev
  poppler-utils fonts-liberation locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable real-time scheduling; answer it up front.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
