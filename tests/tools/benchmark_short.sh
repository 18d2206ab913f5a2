#!/bin/bash
# The short benchmark, where no X display answers: it passes, and the X server
# it started for its Wine runs ends with it.
# Usage: benchmark_short.sh path/to/check_bench.exe
set -u
repo="$(cd "$(dirname "$0")/../.." && pwd)"
for num in $(seq 90 199); do [ -e "/tmp/.X$num-lock" ] || break; done
env -u DISPLAY WINE_RUN_DISPLAY="$num" "$repo/tools/benchmark" --short --bench "$1" || exit 1
for _ in $(seq 600); do
  xdpyinfo -display ":$num" >/dev/null 2>&1 || exit 0
  sleep 0.1
done
echo "benchmark_short: the X server on :$num outlived the benchmark"
kill "$(tr -d ' ' < "/tmp/.X$num-lock")"
exit 1
