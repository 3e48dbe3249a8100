#!/usr/bin/env bash
# The studio's figures, measured on this machine with build/orvala-studio headless on a copy of
# Content/:
#   scripts/studio-measure.sh                 save-to-picture latency for a track, a curve, an effect,
#                                             a scene description and the score (median of N saves
#                                             each), and the worst frame while an effect reloads
#                                             against the median frame, playing at 1x
#   scripts/studio-measure.sh --soak MINUTES  the whole show looped for that long while a track,
#                                             an effect and a scene are saved in turn every few
#                                             seconds; the resident size after the first loop and
#                                             at the end
# Run it on a quiet machine after scripts/build.sh. The work folder is kept in
# build/studio-measure/work, so only the first run builds all the content.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
studio=$root/build/orvala-studio
[ -x "$studio" ] || { echo "build/orvala-studio is missing: run scripts/build.sh first" >&2; exit 1; }

soak=0
saves=5
size=640x360
while [ $# -gt 0 ]; do
  case "$1" in
    --soak) soak=$2; shift 2 ;;
    --saves) saves=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    *) echo "usage: scripts/studio-measure.sh [--soak MINUTES] [--saves N] [--size WxH]" >&2; exit 2 ;;
  esac
done

folder=$root/build/studio-measure
mkdir -p "$folder"
rm -rf "$folder/content" "$folder"/*.json "$folder/commands"
cp -a Content "$folder/content"
content=$folder/content
mkfifo "$folder/commands"
env -u DISPLAY -u WAYLAND_DISPLAY ORVALA_STUDIO_WORK="$folder/work" \
  "$studio" --content "$content" --size "$size" --script "$folder/commands" >"$folder/studio.log" 2>&1 &
pid=$!
exec 3>"$folder/commands"
trap 'exec 3>&-; kill $pid 2>/dev/null || true' EXIT

asked=0
# status: asks for the status and waits for it; its file is then in $S. (Called directly, not in
# $(...), so that the count of files goes on.)
status() {
  asked=$((asked + 1))
  S=$folder/status-$asked.json
  echo "status $S" >&3
  while [ ! -f "$S" ]; do
    kill -0 $pid 2>/dev/null || { echo "the studio ended:" >&2; cat "$folder/studio.log" >&2; exit 1; }
    sleep 0.01
  done
}
field() { grep -o "\"$2\": [^,}]*" "$1" | head -1 | sed 's/.*: //'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
rss_kb() { awk '/VmRSS/ { print $2 }' /proc/$pid/status; }
# save FILE: the file saved again by rename (as editors do) with one value changed by sed EXPR.
save() {
  sed "$2" "$1" > "$1.swp~" && mv "$1.swp~" "$1"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "pause" >&3
echo "at 37.5" >&3
status
echo "orvala-studio is up ($(grep -c . "$folder/studio.log") lines of log); measuring at $size" >&2

if [ "$soak" = 0 ]; then
  # Each kind: a file and two values it toggles between, so every save changes the show.
  kinds=(
    "track|sync/ShakeAmplitude.txt"
    "curve|anim/cornellCam.translateX.txt"
    "effect|effects/Glare.fx"
    "scene|scenes/CornellScene.xml"
    "score|music/orvala.score"
  )
  printf '%-8s %8s %12s %8s\n' kind saves "picture ms" "studio ms"
  for kind in "${kinds[@]}"; do
    IFS='|' read -r name file <<<"$kind"
    path=$content/$file
    walls=()
    inner=()
    n=$saves
    [ "$name" = score ] && n=1
    for i in $(seq 1 "$n"); do
      status
      before=$(field "$S" content_version)
      start=$(now_ms)
      case "$name" in
        # Each save changes a value the show reads (a comment would change no compiled byte).
        track) save "$path" "\$a $(( 4000 + i )) $i step" ;;
        curve) save "$path" "/^0 /s/^0 \([-0-9.]*\)/0 \1$i/" ;;
        effect) save "$path" "\$a float StudioProbe$i$RANDOM;" ;;
        scene) save "$path" "s/nearfocus=\"\([0-9.]*\)\"/nearfocus=\"\1$i\"/" ;;
        score) save "$path" "s/^reverb size \([0-9.]*\)/reverb size \1$i/" ;;
      esac
      echo "wait-reload" >&3
      status
      s=$S
      end=$(now_ms)
      after=$(field "$s" content_version)
      if [ "$after" = "$before" ]; then
        echo "  $name save $i changed nothing the show reads ($(field "$s" ok))" >&2
        continue
      fi
      walls+=($((end - start)))
      inner+=("$(field "$s" ms)")
    done
    if [ ${#walls[@]} -gt 0 ]; then
      printf '%-8s %8d %12s %8s\n' "$name" ${#walls[@]} "$(printf '%s\n' "${walls[@]}" | median)" \
        "$(printf '%s\n' "${inner[@]}" | median)"
    fi
  done

  # Frames while an effect reloads, playing at 1x, against the frames of plain playing.
  echo "play" >&3
  sleep 3
  status
  sleep 3
  status
  plain=$S
  save "$content/effects/Glare.fx" "\$a float StudioProbeFrame$RANDOM;"
  echo "wait-reload" >&3
  status
  during=$S
  echo
  echo "playing: median frame $(field "$plain" median_ms) ms over $(field "$plain" count) frames"
  echo "an effect reloading: worst frame $(field "$during" worst_ms) ms, median $(field "$during" median_ms) ms"
else
  # The whole show looped while sources are saved in turn.
  echo "loop 0 141.5" >&3
  echo "play" >&3
  started=$(date +%s)
  first=""
  turn=0
  while [ $(( $(date +%s) - started )) -lt $((soak * 60)) ]; do
    sleep 4
    turn=$((turn + 1))
    case $((turn % 3)) in
      0) save "$content/effects/Glare.fx" "\$a float StudioSoak$turn;" ;;
      1) save "$content/sync/ShakeAmplitude.txt" "\$a $(( 5000 + turn )) $((turn % 7)) step" ;;
      2) save "$content/scenes/CornellScene.xml" "s/nearfocus=\"[0-9.]*\"/nearfocus=\"1$((turn % 9))\"/" ;;
    esac
    if [ -z "$first" ] && [ $(( $(date +%s) - started )) -ge 142 ]; then
      first=$(rss_kb)
      echo "after the first loop: resident $((first / 1024)) MB" >&2
    fi
    if [ $((turn % 15)) = 0 ]; then
      echo "  $(( $(date +%s) - started )) s, $turn saves: resident $(( $(rss_kb) / 1024 )) MB" >&2
    fi
  done
  echo "wait-reload" >&3
  status
  s=$S
  last=$(rss_kb)
  echo "soak of $soak minutes: $turn saves, content version $(field "$s" content_version), last reload ok: $(field "$s" ok)"
  echo "resident after the first loop: $((first / 1024)) MB; at the end: $((last / 1024)) MB"
fi
echo "quit" >&3
exec 3>&-
wait $pid
