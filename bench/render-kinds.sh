#!/usr/bin/env bash
# Runs `orvane-tool bench` over every renderer benchmark movie, on one thread and on all
# cores, one line each, so the figures stand side by side from one run.
#
#   bench/render-kinds.sh BUILD_DIR [--long]
#
# BUILD_DIR is a configured build tree (e.g. build/dev); the movies are written there first
# (target render_bench_movies). --long also plays the cartoon for 100,000 frames (its peak
# memory must stay where the short run has it).
set -euo pipefail

build=${1:?usage: render-kinds.sh BUILD_DIR [--long]}
long=${2:-}
cmake --build "$build" --target render_bench_movies orvane-tool >/dev/null
tool="$build/tools/orvane-tool"
cores=$(nproc)

# kind and frames to play: enough for the caches to settle, short enough for a loaded machine.
runs=("heavy 600" "distinct 600" "turning 240" "cartoon 2400" "bitmaps 240")
echo "# $(date -u '+%F %T') UTC, $cores cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in "${runs[@]}"; do
    read -r kind frames <<<"$run"
    for threads in 1 "$cores"; do
        printf '%-9s ' "$kind"
        "$tool" bench "$build/bench/render-$kind.swf" --frames "$frames" --threads "$threads"
    done
done
if [[ $long == --long ]]; then
    printf '%-9s ' "cartoon"
    "$tool" bench "$build/bench/render-cartoon.swf" --frames 100000 --threads "$cores"
fi
