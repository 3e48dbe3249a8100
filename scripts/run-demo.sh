#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -x build/orvala ]; then
  cd build && exec ./orvala "$@"
fi
echo "The demo's scenes and render modules are not built yet. What exists: the host (dialog,"
echo "window, device, frame loop), the platform layer, build/basefile.dat made from Content/, and"
echo "the content tool:"
exec build/orvala-tool help
