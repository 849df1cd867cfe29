#!/usr/bin/env bash
# Installs from Debian's packages whatever the build and the tests need;
# `install-deps.sh bench` adds what scripts/bench.sh needs besides (the
# template engine that renders docs/benchmarks.md).
# Runs apt-get only when something is missing, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config g++ clang libclang-rt-14-dev
  libmodbus-dev libtoml11-dev nlohmann-json3-dev libcxxopts-dev libeigen3-dev
  libgtest-dev libgmock-dev googletest libzip-dev
  socat zip unzip binutils procps
  dpkg-dev file  # scripts/package.sh: dpkg-shlibdeps, and CPack's check for ELF files
  lintian  # scripts/package.sh: the package check
)
if [ "${1:-}" = bench ]; then
  packages+=(python3 python3-jinja2)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
