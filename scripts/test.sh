#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite three times:
# a plain build, under ThreadSanitizer, and under AddressSanitizer with
# UndefinedBehaviorSanitizer; then each fuzz target for about 20 s. Exits
# non-zero if anything fails.
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

run_suite() {
  local name="$1" dir="$2" san="$3"
  echo "=== ${name}: build (${dir}) $(date +%T)"
  if ! bash scripts/build.sh "$dir" "$san"; then
    summaries+=("${name}: BUILD FAILED")
    status=1
    return
  fi
  echo "=== ${name}: test $(date +%T)"
  local log="$root/$dir/ctest.log"
  (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" --timeout 300) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || status=1
  summaries+=("${name}: $(grep -E 'tests passed' "$log" | tail -n 1)")
}

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
export ASAN_OPTIONS="detect_leaks=1 strict_string_checks=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"

run_suite "plain" build ""
run_suite "thread-sanitizer" build-tsan thread
run_suite "address+undefined-sanitizer" build-asan address

# libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer),
# about 20 s each; any finding fails the run.
echo "=== fuzz: 20 s per target $(date +%T)"
if bash scripts/fuzz.sh 20; then
  summaries+=("fuzz: no findings")
else
  summaries+=("fuzz: FINDINGS or build failure (see build-fuzz/fuzz-work/)")
  status=1
fi

echo
echo "=== summary $(date +%T)"
for s in "${summaries[@]}"; do echo "$s"; done
exit $status
