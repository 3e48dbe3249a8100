#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: with a display, the program (the settings
# dialog, then the show in a window with its music); without one, the show rendered to a video.
#   scripts/run-demo.sh [--size WxH] [--fps N]     (both for the video only)
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/run-demo.sh [--size WxH] [--fps N]" >&2
  exit 2
}

capture_options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --size | --fps)
      [ $# -ge 2 ] || usage
      capture_options+=("$1" "$2")
      shift 2
      ;;
    --size=* | --fps=*)
      capture_options+=("${1%%=*}" "${1#*=}")
      shift
      ;;
    -h | --help) usage ;;
    *)
      echo "unknown option: $1" >&2
      usage
      ;;
  esac
done

scripts/install-deps.sh
scripts/build.sh

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  if [ ${#capture_options[@]} -gt 0 ]; then
    echo "(--size and --fps are for the video made without a display; the window's size is chosen in the dialog)"
  fi
  cd build
  exec ./orvala
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): rendering the show to build/orvala.mp4 instead."
build/orvala-tool capture build/basefile.dat build/orvala.mp4 "${capture_options[@]}"
echo "The show is in $(pwd)/build/orvala.mp4"
