#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures as ratios against a baseline
# measured in the same run. The machine is shared and noisy: compare ratios, not times.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_TYPE=Release scripts/build.sh build-bench
export QT_QPA_PLATFORM=offscreen
for b in build-bench/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
