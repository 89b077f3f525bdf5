#!/usr/bin/env bash
# Processor use of the player window under Xvfb: the still movie (the distinct scene stopped
# on its first frame) must cost next to nothing; the distinct movie playing shows what a busy
# stage costs. Each is measured over SECONDS after a few seconds to load.
#
#   bench/player-cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail

build=$(realpath "${1:?usage: player-cpu.sh BUILD_DIR [SECONDS]}")
seconds=${2:-10}
if [[ -z ${PLAYER_CPU_INSIDE:-} ]]; then
  cmake --build "$build" --target orvane render_bench_movies >/dev/null
  # A private X server on a free display for the measuring half of this script.
  PLAYER_CPU_INSIDE=1 exec xvfb-run -a -s "-screen 0 1600x900x24 -nolisten tcp" "$0" "$build" "$seconds"
fi

player="$build/shell/orvane"
[[ -x $player ]] || player=$(find "$build" -maxdepth 3 -type f -name orvane -perm -u+x | head -1)
work=$(mktemp -d)
player_pid=""
cleanup() {
  [[ -n "$player_pid" ]] && kill "$player_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/tmp" && mkdir -m 700 "$work/run"

# user + system clock ticks of a process so far
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

hz=$(getconf CLK_TCK)
echo "# $(date -u '+%F %T') UTC, $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
for kind in still distinct; do
  TMPDIR="$work/tmp/" XDG_RUNTIME_DIR="$work/run" "$player" "$build/bench/render-$kind.swf" >/dev/null 2>&1 &
  player_pid=$!
  sleep 4
  kill -0 "$player_pid" 2>/dev/null || { echo "player-cpu: the player exited early" >&2; exit 1; }
  before=$(ticks "$player_pid")
  sleep "$seconds"
  after=$(ticks "$player_pid")
  awk -v k="$kind" -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "player-cpu: %-8s cpu_percent=%.1f over %d s\n", k, 100 * t / hz / s, s }'
  kill "$player_pid"
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
done
