#!/usr/bin/env bash
# Installs what is missing, starts the test PostgreSQL servers, then builds and runs the
# whole test suite twice: a normal build, and one under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
eval "$(scripts/pg-test-server.sh start)"
trap 'scripts/pg-test-server.sh stop' EXIT
export QT_QPA_PLATFORM=offscreen
status=0
for variant in build build-asan; do
  flags=()
  [ "$variant" = build-asan ] && flags=(-DZEMIRA_SANITIZE=ON)
  scripts/build.sh "$variant" "${flags[@]}"
  (cd "$variant" && ctest --output-on-failure -j2) || status=1
done
exit $status
