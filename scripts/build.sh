#!/usr/bin/env bash
# Configures and builds everything into ./build.
#   scripts/build.sh                  the build the demo and the tests use
#   scripts/build.sh --with-fuzzers   that, and the fuzz targets (clang, in build/fuzz)
#   scripts/build.sh --sanitize       everything with AddressSanitizer, UndefinedBehaviorSanitizer
#                                     and LeakSanitizer into ./build-sanitize; then
#                                     `ctest --test-dir build-sanitize -R show.sanitized` plays the
#                                     whole show under them (the suite runs there too)
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

tree=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fuzzers=no
case "${1:-}" in
  "") ;;
  --with-fuzzers) fuzzers=yes ;;
  --sanitize)
    tree=build-sanitize
    options+=(-DORVALA_SANITIZE=ON)
    ;;
  *)
    echo "usage: scripts/build.sh [--with-fuzzers | --sanitize]" >&2
    exit 2
    ;;
esac

if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S . -B "$tree" "${generator[@]}" "${options[@]}"
fi
cmake --build "$tree" --parallel "$(nproc)"
if [ "$fuzzers" = yes ]; then
  cmake --build "$tree" --target orvala_fuzzers --parallel "$(nproc)"
fi
