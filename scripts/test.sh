#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite three times:
# a plain build, under ThreadSanitizer, and under AddressSanitizer with
# UndefinedBehaviorSanitizer; then each fuzz target for about 20 s. Exits
# non-zero if anything fails.
#
# The plain suite is built against the stock CppMicroServices when it is at
# hand (../shared/deps or ROCKER_CPPMS_PREFIX, see scripts/framework-args.sh)
# and its Debian package is then made and checked end to end
# (scripts/package.sh). The sanitizer suites always use the stand-in
# framework: its own tests run there, and the sanitizers see into the
# framework as well (the stock library is not instrumented).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh || exit 1

# ThreadSanitizer cannot map its shadow memory with the kernel's largest
# address randomisation; lower it where we are allowed to (CI runs as root).
if [ -r /proc/sys/vm/mmap_rnd_bits ] && [ "$(cat /proc/sys/vm/mmap_rnd_bits)" -gt 28 ]; then
  sysctl -q -w vm.mmap_rnd_bits=28 2>/dev/null || true
fi

jobs="$(nproc 2>/dev/null || echo 2)"
status=0
summaries=()

# The framework of a configured build folder, as CMake recorded it.
framework_of() {
  sed -n 's/^ROCKER_FRAMEWORK:INTERNAL=//p' "$root/$1/CMakeCache.txt" 2>/dev/null
}

# run_suite <name> <folder> <sanitizer> <cmake arguments choosing the framework...>
run_suite() {
  local name="$1" dir="$2" san="$3"
  shift 3
  local began=$SECONDS
  echo "=== ${name}: build (${dir}) $(date +%T)"
  if ! bash scripts/build.sh "$dir" "$san" "$@"; then
    local framework
    framework="$(framework_of "$dir")"
    summaries+=("${name} on the ${framework:-unknown framework}: BUILD FAILED")
    status=1
    return
  fi
  local built=$SECONDS
  echo "=== ${name}: test ($(framework_of "$dir")) $(date +%T)"
  local log="$root/$dir/ctest.log"
  (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" --timeout 300) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || status=1
  local result times="build $((built - began)) s, test $((SECONDS - built)) s"
  result="$(grep -E 'tests passed' "$log" | tail -n 1)"
  summaries+=("${name} on the $(framework_of "$dir"): ${result} [${times}]")
}

# Makes and checks the Debian package when the plain build is a stock one.
run_package_check() {
  local framework began=$SECONDS
  framework="$(framework_of build)"
  case "$framework" in
    "stock "*) ;;
    "") summaries+=("package: not made (the plain build did not configure)"); return ;;
    *) summaries+=("package: not made (the plain build uses the ${framework})"); return ;;
  esac
  echo "=== package: make and check (build) $(date +%T)"
  if bash scripts/package.sh build; then
    summaries+=("package: $(cat "$root/build/package/summary") [$((SECONDS - began)) s]")
  else
    summaries+=("package: FAILED (see build/package/)")
    status=1
  fi
}

# Unpacks the stock framework, if any, once for all suites.
if ! plain_text="$(bash scripts/framework-args.sh stock)" ||
   ! standin_text="$(bash scripts/framework-args.sh stand-in)"; then
  exit 1
fi
mapfile -t plain_args <<<"$plain_text"
mapfile -t standin_args <<<"$standin_text"

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
export ASAN_OPTIONS="detect_leaks=1 strict_string_checks=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"

run_suite "plain" build "" "${plain_args[@]}"
run_package_check
run_suite "thread-sanitizer" build-tsan thread "${standin_args[@]}"
run_suite "address+undefined-sanitizer" build-asan address "${standin_args[@]}"

# libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer),
# about 20 s each; any finding fails the run.
echo "=== fuzz: 20 s per target $(date +%T)"
fuzz_began=$SECONDS
if bash scripts/fuzz.sh 20; then
  summaries+=("fuzz: no findings [$((SECONDS - fuzz_began)) s]")
else
  summaries+=("fuzz: FINDINGS or build failure (see build-fuzz/fuzz-work/)")
  status=1
fi

echo
echo "=== summary $(date +%T), $((SECONDS / 60)) min $((SECONDS % 60)) s in all"
for s in "${summaries[@]}"; do echo "$s"; done
exit $status
