#!/usr/bin/env bash
# Prints, one per line, the cmake arguments that choose the framework a build
# folder is configured against:
#
#   scripts/framework-args.sh            # the stock CppMicroServices when at hand
#   scripts/framework-args.sh stand-in   # always the stand-in (standins/framework)
#
# The stock framework is at hand when ROCKER_CPPMS_PREFIX names its install
# prefix, or when ../shared/deps beside the checkout holds its tarball
# (cppmicroservices-<version>-*.tar.gz), which is then unpacked once into
# ${XDG_CACHE_HOME:-~/.cache}/rocker/, outside the checkout.
# ROCKER_CPPMS_PREFIX=none asks for the stand-in. With neither, CMake looks
# in its usual places, as a plain cmake run does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-stock}"

fail() {
  echo "framework-args.sh: $*" >&2
  exit 2
}

# The install prefix under $1 that holds CppMicroServicesConfig.cmake.
config_dir_under() {
  local config
  config="$(find "$1" -maxdepth 5 -name CppMicroServicesConfig.cmake -print -quit 2>/dev/null)"
  [ -n "$config" ] && dirname "$config"
}

# Unpacks the tarball into the cache once per content and prints the
# unpacked folder; a second run, or one that lost the race, reuses it.
unpacked() {
  local tarball="$1" cache sum dest tmp
  cache="${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/rocker"
  sum="$(sha256sum "$tarball" | cut -c1-12)"
  dest="$cache/$(basename "$tarball" .tar.gz)-$sum"
  if [ ! -d "$dest" ]; then
    mkdir -p "$cache" || fail "cannot make the cache folder $cache"
    tmp="$(mktemp -d "$cache/.unpack.XXXXXX")"
    chmod 755 "$tmp"
    if ! tar -xzf "$tarball" -C "$tmp"; then
      rm -rf "$tmp"
      fail "cannot unpack $tarball"
    fi
    mv -T "$tmp" "$dest" 2>/dev/null || rm -rf "$tmp"
    echo "framework-args.sh: unpacked $(basename "$tarball") into $dest" >&2
  fi
  echo "$dest"
}

standin=(-DCMAKE_DISABLE_FIND_PACKAGE_CppMicroServices=ON)
case "$mode" in
  stand-in) printf '%s\n' "${standin[@]}"; exit 0 ;;
  stock) ;;
  *) fail "unknown mode '$mode' (stock or stand-in)" ;;
esac

prefix="${ROCKER_CPPMS_PREFIX:-}"
if [ "$prefix" = none ]; then
  printf '%s\n' "${standin[@]}"
  exit 0
fi
if [ -n "$prefix" ]; then
  [ -d "$prefix" ] || fail "ROCKER_CPPMS_PREFIX=$prefix is not a folder"
  config_dir="$(config_dir_under "$prefix")" ||
    fail "ROCKER_CPPMS_PREFIX=$prefix holds no CppMicroServicesConfig.cmake"
else
  tarball="$(ls "$root"/../shared/deps/cppmicroservices-*.tar.gz 2>/dev/null | sort -V | tail -n 1 ||
    true)"
  if [ -z "$tarball" ]; then
    echo "-DCMAKE_DISABLE_FIND_PACKAGE_CppMicroServices=OFF"
    exit 0
  fi
  dest="$(unpacked "$tarball")"
  config_dir="$(config_dir_under "$dest")" || fail "$tarball holds no CppMicroServicesConfig.cmake"
  prefix="$(find "$dest" -mindepth 1 -maxdepth 1 -type d -print -quit)"
fi
# The folder itself as well as the prefix: a folder configured before keeps
# the framework it found unless told otherwise.
printf '%s\n' -DCMAKE_DISABLE_FIND_PACKAGE_CppMicroServices=OFF \
  "-DCMAKE_PREFIX_PATH=$prefix" "-DCppMicroServices_DIR=$config_dir"
