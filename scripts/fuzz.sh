#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs each of them for a
# bounded time, starting from the seed corpora in fuzz/corpus/. Exits
# non-zero on any finding (crash, sanitizer report, leak, time-out, failed
# check) and names the input that caused it.
#
#   scripts/fuzz.sh                 # 20 s per target
#   scripts/fuzz.sh 600             # 10 min per target
#   scripts/fuzz.sh 60 fuzz_start_options fuzz_package_file
#   scripts/fuzz.sh --build-only    # only builds them (scripts/test.sh does
#                                   # so ahead of their runs)
#
# Inputs found along the way go to build-fuzz/fuzz-work/<target>/, never into
# the committed seeds; a finding is saved there as crash-*, leak-* or
# timeout-*. Replay one with: build-fuzz/fuzz/<target> <file>
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

build_only=false
if [ "${1:-}" = --build-only ]; then
  build_only=true
  shift
fi
seconds="${1:-20}"
shift || true
all_targets=(fuzz_device_info fuzz_start_options fuzz_package_file fuzz_command_line
             fuzz_modbus_reply)
if [ "$#" -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

case "$seconds" in
  ''|*[!0-9]*) echo "fuzz.sh: the run time must be whole seconds, got '$seconds'" >&2; exit 2 ;;
esac
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang++ is needed for libFuzzer" >&2
  exit 2
fi

build="$root/build-fuzz"
jobs="$(nproc 2>/dev/null || echo 2)"
echo "=== fuzz: build ($build)"
mkdir -p "$build"
if ! CC=clang CXX=clang++ cmake -S "$root" -B "$build" -C "$root/fuzz/fuzz-cache.cmake" \
       >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  echo "fuzz.sh: configure failed" >&2
  exit 1
fi
if ! cmake --build "$build" --target rocker_fuzzers -j "$jobs"; then
  echo "fuzz.sh: build failed" >&2
  exit 1
fi
if $build_only; then
  exit 0
fi

# Leaks count as findings; a report halts at once with a stack.
export ASAN_OPTIONS="detect_leaks=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"

# Runs one target; its summary line goes to build-fuzz/fuzz-work/<target>/summary.
run_target() {
  local target="$1"
  local name="${target#fuzz_}"
  local binary="$build/fuzz/$target"
  local seeds="$root/fuzz/corpus/$name"
  local work="$build/fuzz-work/$target"
  mkdir -p "$work/corpus"
  rm -f "$work/summary"
  if [ ! -x "$binary" ] || [ ! -d "$seeds" ]; then
    echo "fuzz.sh: no such target or seed corpus: $target" >&2
    echo "$target: MISSING" >"$work/summary"
    return 1
  fi
  local log="$work/run.log"
  echo "=== fuzz: $target for ${seconds}s"
  # -timeout: one input taking longer than this is a hang, a finding too.
  "$binary" "$work/corpus" "$seeds" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$work/" >"$log" 2>&1
  local rc=$?
  local runs cov artifact
  runs="$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' | tail -n 1)"
  cov="$(grep -Eo 'cov: [0-9]+' "$log" | tail -n 1)"
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$log"
    artifact="$(ls -t "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* 2>/dev/null | head -n 1)"
    echo "$target: FINDING (exit $rc) ${artifact:-see $log}" >"$work/summary"
    return 1
  fi
  echo "$target: ok, ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}" >"$work/summary"
}

# One target per core at a time: each fuzzer is single-threaded.
status=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done

summary=()
for target in "${targets[@]}"; do
  summary+=("$(cat "$build/fuzz-work/$target/summary" 2>/dev/null || echo "$target: no result")")
  grep -q ': ok,' "$build/fuzz-work/$target/summary" 2>/dev/null || status=1
done

echo
echo "=== fuzz summary"
for s in "${summary[@]}"; do echo "$s"; done
exit $status
