#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: rocker-sim plays
# the default scenario (scenarios/tour.toml) against the real bundle, a
# simulated joystick on loopback Modbus TCP and a simulated robot. It prints
# the jog table, the lights and the tool path; the bundle's log, the JSON
# report and the SVG drawing go to build/demo/. Extra arguments are passed
# to rocker-sim (for example --joystick rtu, or --interactive).
#
# The bundle is built against the stock CppMicroServices when it is at hand
# (see scripts/framework-args.sh), as scripts/test.sh builds it; only what the
# demo runs is built: the bundle, the stand-ins it needs and rocker-sim.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
framework_text="$(bash scripts/framework-args.sh stock)"
mapfile -t framework_args <<<"$framework_text"
ROCKER_TARGETS="rocker rocker-sim" bash scripts/build.sh build "" "${framework_args[@]}"

out="build/demo"
mkdir -p "$out"
echo "=== rocker-sim: the tour (about 25 s; the bundle's log goes to $out/tour.log)"
if ! build/tools/rocker-sim/rocker-sim --report "$out/tour.json" --svg "$out/tour.svg" "$@" \
       2>"$out/tour.log"; then
  echo "demo: rocker-sim failed; the last lines of its log:" >&2
  tail -n 20 "$out/tour.log" >&2
  exit 1
fi
echo "The tool path is drawn in $root/$out/tour.svg; every robot command, and how often each query came, is in $out/tour.json."
