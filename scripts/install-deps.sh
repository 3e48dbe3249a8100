#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libtinyxml-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libepoxy-dev libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libgtk-3-dev libvorbis-dev libopenmpt-dev libstb-dev
  libmeshoptimizer-dev glslang-dev glslang-tools libfreetype-dev libglu1-mesa-dev fonts-dejavu-core
  clang libclang-rt-14-dev ccache
  xvfb xauth xdotool x11-apps
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  nlohmann-json3-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
