#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -x build/orvala ]; then
  cd build && exec ./orvala "$@"
fi
echo "The show program is not built yet. What exists: the host (dialog, window, device, frame loop),"
echo "the platform layer, the renderer with the loader and cornell scenes (their pictures are written"
echo "to build/pictures/ by the tests), build/basefile.dat made from Content/, and the content tool:"
exec build/orvala-tool help
