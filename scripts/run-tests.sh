#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh --with-fuzzers
cd build
ctest --output-on-failure --parallel "$(nproc)"
