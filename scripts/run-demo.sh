#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo region once and starts Zemira on it.
# With --no-window it stops before the window opens (a check that everything is in place).
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
  "" | --no-window) ;;
  *) echo "usage: $0 [--no-window]" >&2; exit 2 ;;
esac
scripts/install-deps.sh
TARGETS="zemira zemira-demo" scripts/build.sh build
demo=${ZEMIRA_DEMO_DIR:-$HOME/.local/share/zemira/demo}
[ -f "$demo/HARITA.TXT" ] || build/tools/zemira-demo "$demo"
if [ "${1:-}" = --no-window ]; then
  echo "run-demo.sh: demo region ready in $demo; start it with: build/zemira '$demo'"
  exit 0
fi
exec build/zemira "$demo"
