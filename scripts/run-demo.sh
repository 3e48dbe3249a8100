#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -x build/orvala ]; then
  cd build && exec ./orvala "$@"
fi
echo "The demo's window, device and scenes are not built yet; what exists is the core"
echo "(archive, sync tracks, clock, curves, scene model) and the content tool:"
exec build/orvala-tool help
