#!/usr/bin/env bash
# Runs one libFuzzer target for a short time: run-fuzzer.sh <fuzzer> <seed folder> <work folder>.
# New inputs the fuzzer finds go to the work folder, so later runs start from them; the shared
# corpus of real files is added as seeds when it is there. Fails on the first finding.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3
seconds=${ORVALA_FUZZ_SECONDS:-20}
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ ! -x "$fuzzer" ]; then
  echo "fuzzer $fuzzer is not built (cmake --build build --target orvala_fuzzers)" >&2
  exit 1
fi
mkdir -p "$work"
extra=()
case "$(basename "$fuzzer")" in
  XFileFuzzer|MeshFuzzer) [ -d "$root/../shared/corpus/x" ] && extra+=("$root/../shared/corpus/x") ;;
esac
cd "$work"
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
  "$work" "$seeds" "${extra[@]}"
