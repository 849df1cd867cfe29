#!/usr/bin/env bash
# Makes the Debian package of the bundle, rocker_<version>_<arch>.deb, and
# checks it end to end.
#
#   scripts/package.sh [build folder]      # default: build
#
# The folder is configured against the stock CppMicroServices when it is at
# hand (see scripts/framework-args.sh); a bundle built against the stand-in
# framework is refused, since no host can load it, and so is a sanitizer build
# folder. Only the bundle and rocker-sim are built. CPack makes the package in
# <folder>/package/; the check unpacks it into a scratch root there and has
# rocker-sim load the installed librocker.so through the stock framework and
# play scenarios/push-release.toml: the bundle must start, register its
# service and jog once. The library must be stripped with its manifest intact
# (its debug information is copied beside the package), and lintian must
# find no error. The package holds no libkelmi.so.0 (the control system
# brings its own): the check takes the stand-in from the build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
dir="${1:-build}"
build="$root/$dir"
out="$build/package"
jobs="$(nproc 2>/dev/null || echo 2)"

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt" 2>/dev/null; }
# Checked before configuring, which would otherwise change that folder.
[ -z "$(cached ROCKER_SANITIZE)" ] ||
  fail "refused: $dir/ is a $(cached ROCKER_SANITIZE) sanitizer build; package a plain one"

bash scripts/install-deps.sh
framework_text="$(bash scripts/framework-args.sh stock)"
mapfile -t framework_args <<<"$framework_text"
cmake -S "$root" -B "$build" "${framework_args[@]}" >/dev/null

framework="$(cached ROCKER_FRAMEWORK)"
case "$framework" in
  "stock "*) ;;
  *)
    echo "package.sh: refused: $dir/ builds librocker.so against the ${framework:-unknown framework}," \
         "which no host can load. Build it against the stock CppMicroServices: put its tarball" \
         "in ../shared/deps beside the checkout, set ROCKER_CPPMS_PREFIX to its install prefix," \
         "or configure $dir/ with -DCMAKE_PREFIX_PATH=<prefix>." >&2
    exit 3
    ;;
esac
cmake --build "$build" -j "$jobs" --target rocker rocker-sim

rm -rf "$out"
mkdir -p "$out"
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  fail "cpack failed"
fi
deb="$out/rocker_$(cached CMAKE_PROJECT_VERSION)_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack made no $(basename "$deb") (see $out/cpack.log)"
echo "package.sh: made $deb"

# What the package holds: the bundle and its copyright and changelog,
# nothing of the stand-ins or of what the host provides, and dependencies
# from the libraries it links.
scratch="$out/root"
dpkg-deb -x "$deb" "$scratch"
files="$(cd "$scratch" && find . -type f | sort)"
docs="./usr/share/doc/rocker/changelog.gz
./usr/share/doc/rocker/copyright"
installed="$(echo "$files" | grep -v '^./usr/share/doc/rocker/' || true)"
[ "$(echo "$files" | grep '^./usr/share/doc/rocker/')" = "$docs" ] &&
  [ "$(echo "$installed" | wc -l)" -eq 1 ] && [ "$(basename "$installed")" = librocker.so ] ||
  fail "the package should hold librocker.so, its copyright and changelog; it holds: $files"
library="$scratch/${installed#./}"
# Stripped, with a link to its debug information, which stays beside the
# package; the manifest appended after stripping is checked by loading the
# library below.
# Read whole before grep looks at them: grep -q leaving early would fail
# the pipe under pipefail.
kind="$(file -L "$library")"
sections="$(readelf -S "$library")"
grep -q ", stripped" <<<"$kind" || fail "the installed library is not stripped: $kind"
grep -q "\.gnu_debuglink" <<<"$sections" || fail "the installed library has no debug link"
cp "$build/debug/librocker.so.debug" "$out/" ||
  fail "the debug information of the installed library is missing"
unzip -l "$library" rocker/manifest.json >/dev/null 2>&1 ||
  fail "the installed library lost its manifest"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "$depends" | grep -q libmodbus ||
  fail "the package's dependencies lack libmodbus: '$depends'"
runpath="$(readelf -d "$library" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
case "$runpath" in
  '' | '$ORIGIN') ;;
  *) fail "the installed library's run path is '$runpath', not \$ORIGIN" ;;
esac

echo "package.sh: checking /${installed#./} from the package in rocker-sim on the $framework"
if ! LD_LIBRARY_PATH="$build/standins/kelmi${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
     "$build/tools/rocker-sim/rocker-sim" --bundle "$library" \
     --scenario "$root/scenarios/push-release.toml" --report "$out/check.json" \
     >"$out/check.txt" 2>"$out/check.log"; then
  cat "$out/check.txt"
  tail -n 20 "$out/check.log" >&2
  fail "the installed bundle did not run the scenario (see $out/check.log)"
fi
grep -q " in 1 jog(s)" "$out/check.txt" || {
  cat "$out/check.txt"
  fail "the installed bundle should have jogged exactly once"
}
# Debian's own checks; any error fails the package. An override would go in
# packaging/lintian-overrides with its reason written beside it.
if ! lintian --fail-on error --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1; then
  cat "$out/lintian.txt" >&2
  fail "lintian found errors in $(basename "$deb") (see $out/lintian.txt)"
fi
summary="$(basename "$deb") (Depends: $depends): lintian without errors, installed bundle"
summary+=" loaded by the $framework, one jog; debug information in $out/librocker.so.debug"
echo "$summary" >"$out/summary"
echo "package.sh: $summary"
