#!/usr/bin/env bash
# Measures the figures the show is held to, on this machine, each beside its floor from the same
# run; run it on a quiet machine (nothing else building or testing).
#   scripts/measure.sh [--no-capture]
#
#   load          load to the first show frame, and its floor: every archive entry inflated once
#                 and every effect made with each pass's program linked (target: <= 1.3x); with
#                 Mesa's shader cache off, then on
#   memory        render-target bytes of the whole show at its peak, and of each scene's own set
#                 (target: the peak is the largest set)
#   llvmpipe      ms per frame of each scene at 640 x 360 on the GL device
#   engine        CPU per frame of each scene on the recording device without its log (target:
#                 <= 0.5 ms), and callgrind's instructions per frame: all of them, and the engine's
#                 share without the recording device's image work (its emulated clears and copies)
#   capture       the whole show captured at 640 x 360, 30 fps: wall time against the show's
#                 141.5 s (target: <= 2x), and the peak memory
# Results go to build/measure/ (load.json, benchmarks.json, callgrind.<scene>, capture.mp4) and a
# summary to standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
capture=yes
case "${1:-}" in
  "") ;;
  --no-capture) capture=no ;;
  *) echo "usage: scripts/measure.sh [--no-capture]" >&2; exit 2 ;;
esac

for tool in valgrind callgrind_annotate; do
  command -v "$tool" >/dev/null || { echo "measure: $tool is needed (apt-get install valgrind)" >&2; exit 1; }
done
if [ ! -f build/CMakeCache.txt ]; then scripts/build.sh; fi
cmake --build build --target orvala_benchmarks orvala-tool content --parallel "$(nproc)" >/dev/null
if [ ! -x build/orvala_benchmarks ]; then
  echo "measure: build/orvala_benchmarks was not built (apt-get install libbenchmark-dev)" >&2
  exit 1
fi

out=build/measure
mkdir -p "$out"
export SDL_VIDEODRIVER=offscreen
scenes=(Opening Cornell Arena Room ImgCube Tunnel Morph)

echo "== load and its floor, with Mesa's shader cache off (so that compiling is compiling)"
MESA_SHADER_CACHE_DISABLE=true build/orvala_benchmarks --benchmark_filter='LoadToFirstShowFrame|LoadFloor' \
  --benchmark_out="$out/load.json" --benchmark_out_format=json
echo "== the same with the cache as a second run finds it"
build/orvala_benchmarks --benchmark_filter='LoadToFirstShowFrame|LoadFloor'

echo "== memory, llvmpipe, engine"
build/orvala_benchmarks --benchmark_filter='RenderTargetBytes|FrameOnLlvmpipe|EngineCpuPerFrame' \
  --benchmark_out="$out/benchmarks.json" --benchmark_out_format=json

echo "== callgrind: instructions per frame on the recording device"
frames=50 # EngineCpuPerFrame's iterations
printf '%-8s %14s %14s\n' scene "all/frame" "engine/frame"
for scene in "${scenes[@]}"; do
  valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.$scene" --toggle-collect='DXFramework::DrawFrameAt*' \
    build/orvala_benchmarks --benchmark_filter="EngineCpuPerFrame/$scene/" >"$out/callgrind.$scene.log" 2>&1
  callgrind_annotate --inclusive=yes "$out/callgrind.$scene" 2>/dev/null | tr -d , | awk -v frames=$frames -v scene="$scene" '
    /PROGRAM TOTALS/ { total = $1 }
    # A function can be listed under two spellings of its file; each counts once, at its largest.
    /RecordingDevice::(Clear|ColorFill|StretchRect|Present|GetRenderTargetData)\(/ && $2 ~ /%\)/ {
      match($0, /RecordingDevice::[A-Za-z]+\(/); name = substr($0, RSTART, RLENGTH)
      if ($1 > device[name]) device[name] = $1 }
    END { for (name in device) image += device[name]
          printf "%-8s %14.0f %14.0f\n", scene, total / frames, (total - image) / frames }'
done

if [ "$capture" = yes ]; then
  echo "== capture of the whole show, 640 x 360 at 30 fps"
  /usr/bin/time -f '%e %M' -o "$out/capture.time" \
    build/orvala-tool capture build/basefile.dat "$out/capture.mp4" --size 640x360 --fps 30 >/dev/null
  read -r seconds kilobytes <"$out/capture.time"
  awk -v s="$seconds" -v kb="$kilobytes" 'BEGIN {
    printf "capture: %.1f s for 141.5 s of show (%.2fx real time); peak memory %.0f MB\n", s, s / 141.5, kb / 1024 }'
fi
