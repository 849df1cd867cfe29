#!/usr/bin/env bash
# Configures and builds one build folder.
#   scripts/build.sh [folder] [sanitizer: thread|address|""] [extra cmake args...]
# ROCKER_TARGETS="a b" builds only those targets (and what they need).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-build}"
san="${2:-}"
shift $(( $# > 2 ? 2 : $# ))
jobs="$(nproc 2>/dev/null || echo 2)"
targets=()
for t in ${ROCKER_TARGETS:-}; do targets+=(--target "$t"); done
cmake -S "$root" -B "$root/$dir" -DROCKER_SANITIZE="$san" "$@" >/dev/null
cmake --build "$root/$dir" -j "$jobs" "${targets[@]}"
