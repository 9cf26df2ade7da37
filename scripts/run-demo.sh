#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo region once and starts Zemira on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
demo=${ZEMIRA_DEMO_DIR:-$HOME/.local/share/zemira/demo}
[ -f "$demo/HARITA.TXT" ] || build/tools/zemira-demo "$demo"
exec build/zemira "$demo"
