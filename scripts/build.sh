#!/usr/bin/env bash
# Configures and builds one build folder.
#   scripts/build.sh [folder] [sanitizer: thread|address|""] [extra cmake args...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-build}"
san="${2:-}"
shift $(( $# > 2 ? 2 : $# ))
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S "$root" -B "$root/$dir" -DROCKER_SANITIZE="$san" "$@" >/dev/null
cmake --build "$root/$dir" -j "$jobs"
