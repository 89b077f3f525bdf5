#!/usr/bin/env bash
# End to end: packs a writer-built movie into a projector, runs it on a private X server
# with its own TMPDIR, and checks the extracted movie, the window's client size and the
# colour of the movie area on screen; then clicks the movie's button and sees the movie react.
#
#   projector-e2e.sh ORVANE ORVANE_TOOL MOVIE_MAKER
set -euo pipefail

player=$1 tool=$2 maker=$3
width=400 height=300 colour=1EA05A
expect_rgb="30,160,90"
toolbar=29 slider=16

for program in Xvfb xwininfo xdotool convert; do
  if ! command -v "$program" >/dev/null; then
    echo "SKIP: $program is missing"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid="" player_pid=""
cleanup() {
  [[ -n "$player_pid" ]] && kill "$player_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$maker" "$work/movie.swf" "$width" "$height" "$colour"
"$tool" pack "$work/movie.swf" -o "$work/projector" --stub "$player" >/dev/null

# A free display: Xvfb picks the number itself and tells it once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.1
done
[[ -s "$work/display" ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(tr -dc 0-9 <"$work/display")"

mkdir "$work/tmp" && mkdir -m 700 "$work/run"
TMPDIR="$work/tmp/" XDG_RUNTIME_DIR="$work/run" "$work/projector" >"$work/player.log" 2>&1 &
player_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Orvane 1\.0$' | head -n1) ||
  fail "no projector window appeared: $(cat "$work/player.log")"

# The movie was extracted byte for byte, into the private directory and nowhere else.
cmp -s "$work/movie.swf" "$work/run/orvane/player.swf" || fail "player.swf differs from the movie"
[[ ! -e "$work/tmp/player.swf" ]] || fail "player.swf was written to the shared temporary directory"

# Let the window settle, then measure it: the top-level window and the movie area, which
# is a child window of its own. The client area starts at the toolbar, below the menu bar.
sleep 1
read -r top_w top_h top_y < <(xwininfo -id "$window" |
  awk '/^  Width:/{w=$2} /^  Height:/{h=$2} /Absolute upper-left Y:/{y=$4} END{print w, h, y}')
# Tree lines read: id "name": (class) WxH+x+y +absX+absY
child=$(xwininfo -id "$window" -tree | awk -v size="${width}x${height}" '
  $0 ~ "[ ]" size "[+]" { print $1, $NF; exit }')
[[ -n "$child" ]] || fail "no ${width}x${height} movie area in: $(xwininfo -id "$window" -tree)"
read -r child_id child_abs <<<"$child"
child_y=$(( $(sed -E 's/^\+-?[0-9]+\+(-?[0-9]+)$/\1/' <<<"$child_abs") - top_y ))
client_top=$((child_y - toolbar))
client_h=$((top_h - client_top))
[[ "$top_w" -eq "$width" ]] || fail "client width $top_w, expected $width"
[[ "$client_h" -eq $((height + toolbar + slider)) ]] || fail "client height $client_h, expected $((height + 45))"
[[ $((top_h - child_y - height)) -eq "$slider" ]] || fail "slider strip is $((top_h - child_y - height)) high"

# The movie area shows the movie's background colour (away from the moving square).
import -window "$child_id" "$work/shot.png"
pixel=$(convert "$work/shot.png" -format '%[pixel:p{200,200}]' info:)
[[ "$pixel" == *"($expect_rgb)"* ]] || fail "movie area shows $pixel, expected rgb($expect_rgb)"

# A click on the movie's button reaches it: the movie jumps to the frame with the yellow square.
yellow=$(convert "$work/shot.png" -format '%[pixel:p{330,230}]' info:)
[[ "$yellow" == *"($expect_rgb)"* ]] || fail "the yellow square shows before the click: $yellow"
xdotool mousemove --window "$child_id" 120 120
sleep 0.3
xdotool click 1
sleep 1
import -window "$child_id" "$work/clicked.png"
yellow=$(convert "$work/clicked.png" -format '%[pixel:p{330,230}]' info:)
[[ "$yellow" == *"(255,255,0)"* ]] || fail "after a click on the button the movie shows $yellow, expected yellow"

kill -0 "$player_pid" 2>/dev/null || fail "the projector died: $(cat "$work/player.log")"
kill "$player_pid" && wait "$player_pid" 2>/dev/null || true
player_pid=""

# The colour in the middle of the movie area of the window that PROGRAM ARGS... opens, after
# the movie had time to play on.
settled_pixel() {
  "$@" >"$work/run.log" 2>&1 &
  player_pid=$!
  local win id
  win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Orvane 1\.0$' | head -n1) ||
    fail "no window appeared for $*: $(cat "$work/run.log")"
  sleep 1.5
  id=$(xwininfo -id "$win" -tree | awk -v size="${width}x${height}" '$0 ~ "[ ]" size "[+]" { print $1; exit }')
  [[ -n "$id" ]] || fail "no ${width}x${height} movie area for $*"
  import -window "$id" "$work/shot.png"
  convert "$work/shot.png" -format '%[pixel:p{200,150}]' info:
  kill "$player_pid" && wait "$player_pid" 2>/dev/null || true
  player_pid=""
}

# A movie whose first frame stops it stays on that frame (its second frame is all white), as
# a projector and in the bare player given the file on its command line.
"$maker" "$work/stop.swf" "$width" "$height" "$colour" stop
"$tool" pack "$work/stop.swf" -o "$work/stopper" --stub "$player" >/dev/null
for run in "$work/stopper" "$player $work/stop.swf"; do
  # shellcheck disable=SC2086
  shown=$(TMPDIR="$work/tmp/" XDG_RUNTIME_DIR="$work/run" settled_pixel $run)
  [[ "$shown" == *"($expect_rgb)"* ]] || fail "$run played past its stop on frame 1: shows $shown"
done

echo "PASS: projector on $DISPLAY, client ${top_w}x${client_h}, movie area $pixel; stop on frame 1 held"
