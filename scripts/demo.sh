#!/usr/bin/env bash
# Installs what is missing and builds. The end-to-end simulator that this
# script will run is not built yet; until then it builds and says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build ""
if [ -x build/tools/rocker-sim/rocker-sim ]; then
  exec build/tools/rocker-sim/rocker-sim "$@"
fi
echo "demo: the build is done; the simulator (rocker-sim) is not part of the project yet."
