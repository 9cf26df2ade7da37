#!/usr/bin/env bash
# Configures and builds into DIR (default build/); extra arguments go to cmake.
# TARGETS (names separated by blanks) builds only those.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$dir" ${TARGETS:+--target $TARGETS}
