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
#
# Two lanes: the builds run one after another in the background, at the
# lowest priority, while the suites run in the foreground, each once its own
# build is done. A suite's tests leave much of the machine idle (they wait on
# sockets, ptys and timers); the next build takes only what they leave, so
# the tests see the same machine they would alone. Build logs go to
# <folder>/build.log.
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

# start_build <folder> <command...>: runs the build in the background at the
# lowest priority, after the build started before it, in a process group of
# its own (stopped if this script is); its log goes to <folder>/build.log,
# its exit status and time to <folder>/build.result.
build_dirs=()
lane_pids=()
start_build() {
  local dir="$1"
  shift
  mkdir -p "$root/$dir"
  rm -f "$root/$dir/build.result" "$root/$dir/build.pid"
  local before=""
  [ "${#build_dirs[@]}" -eq 0 ] || before="${build_dirs[${#build_dirs[@]}-1]}"
  build_dirs+=("$dir")
  (
    [ -z "$before" ] || while [ ! -s "$root/$before/build.result" ]; do sleep 1; done
    began="$(date +%s)"
    echo "=== build ${dir} began $(date +%T)"
    setsid nice -n 19 "$@" >"$root/$dir/build.log" 2>&1 &
    echo $! >"$root/$dir/build.pid"
    wait $!
    rc=$?
    echo "$rc $(($(date +%s) - began))" >"$root/$dir/build.result"
    echo "=== build ${dir} ended $(date +%T), exit ${rc}"
  ) &
  lane_pids+=($!)
}

# The processes of a folder's build while it runs: its session, which Ninja's
# jobs stay in when they take process groups of their own.
build_processes() {
  [ ! -s "$root/$1/build.result" ] && [ -s "$root/$1/build.pid" ] &&
    ps -o pid= -s "$(cat "$root/$1/build.pid")"
}

# Stops the builds still running when this script ends early.
stop_builds() {
  local dir pid
  for pid in "${lane_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for dir in "${build_dirs[@]}"; do
    # shellcheck disable=SC2046 # one process id a word
    kill $(build_processes "$dir") 2>/dev/null
  done
}
trap stop_builds EXIT
trap 'exit 130' INT TERM

# await_build <folder>: waits for the folder's build; prints its time, and on
# failure the end of its log. Fails if the build failed. With no suite
# running, the build may have the whole machine: it goes back to the normal
# priority where we may raise it (as root), also its jobs still to come.
await_build() {
  local dir="$1"
  while [ ! -s "$root/$dir/build.result" ]; do
    # shellcheck disable=SC2046 # one process id a word
    renice -n 0 -p $(build_processes "$dir") >/dev/null 2>&1
    sleep 1
  done
  local rc secs
  read -r rc secs <"$root/$dir/build.result"
  build_secs="$secs"
  if [ "$rc" -ne 0 ]; then
    tail -n 80 "$root/$dir/build.log"
    echo "=== build ${dir} FAILED (exit ${rc}; whole log in ${dir}/build.log)"
    return 1
  fi
}

# run_suite <name> <folder>: the tests of a folder, once its build is done.
run_suite() {
  local name="$1" dir="$2" waited=$SECONDS
  echo "=== ${name}: waiting for its build (${dir}) $(date +%T)"
  if ! await_build "$dir"; then
    local framework
    framework="$(framework_of "$dir")"
    summaries+=("${name} on the ${framework:-unknown framework}: BUILD FAILED")
    status=1
    return
  fi
  local began=$SECONDS
  waited=$((began - waited))
  echo "=== ${name}: test ($(framework_of "$dir")) $(date +%T)"
  local log="$root/$dir/ctest.log"
  (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" --timeout 300) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local result retried=""
  # LeakSanitizer stops every thread at exit to scan for leaks; now and then
  # its tracer itself crashes ("LeakSanitizer has encountered a fatal
  # error"), after the test has passed. That is no finding about the code:
  # the tests that failed are run once more, and must pass then. Any other
  # failure stands as it is.
  if [ "$rc" -ne 0 ] && grep -q "LeakSanitizer has encountered a fatal error" "$log"; then
    echo "=== ${name}: LeakSanitizer's tracer crashed; the failed tests once more $(date +%T)"
    (cd "$root/$dir" && ctest --output-on-failure --rerun-failed --timeout 300) 2>&1 |
      tee "$log.rerun"
    rc=${PIPESTATUS[0]}
    retried=", the failed ones passed when run again after LeakSanitizer's tracer crashed"
    [ "$rc" -eq 0 ] || retried=", and failed again when run once more"
  fi
  [ "$rc" -eq 0 ] || status=1
  local times="build ${build_secs} s (waited ${waited} s for it), test $((SECONDS - began)) s"
  result="$(grep -E 'tests passed' "$log" | tail -n 1)${retried}"
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

# Ninja keeps both cores busy across targets (a program's files compile
# while the libraries it links are still linking).
if [ -z "${CMAKE_GENERATOR:-}" ] && command -v ninja >/dev/null 2>&1; then
  export CMAKE_GENERATOR=Ninja
fi

start_build build bash scripts/build.sh build "" "${plain_args[@]}"
start_build build-tsan bash scripts/build.sh build-tsan thread "${standin_args[@]}"
start_build build-asan bash scripts/build.sh build-asan address "${standin_args[@]}"
# libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer).
start_build build-fuzz bash scripts/fuzz.sh --build-only

run_suite "plain" build
run_package_check
run_suite "thread-sanitizer" build-tsan
run_suite "address+undefined-sanitizer" build-asan

# About 20 s per target; any finding fails the run.
fuzz_waited=$SECONDS
echo "=== fuzz: waiting for its build (build-fuzz) $(date +%T)"
if ! await_build build-fuzz; then
  summaries+=("fuzz: BUILD FAILED (see build-fuzz/build.log)")
  status=1
else
  fuzz_began=$SECONDS
  fuzz_waited=$((fuzz_began - fuzz_waited))
  echo "=== fuzz: 20 s per target $(date +%T)"
  if bash scripts/fuzz.sh 20; then
    summaries+=("fuzz: no findings [build ${build_secs} s (waited ${fuzz_waited} s for it), run $((SECONDS - fuzz_began)) s]")
  else
    summaries+=("fuzz: FINDINGS (see build-fuzz/fuzz-work/)")
    status=1
  fi
fi

echo
echo "=== summary $(date +%T), $((SECONDS / 60)) min $((SECONDS % 60)) s in all"
echo "(each build ran in the background after the one before it, beside the suites before its own)"
for s in "${summaries[@]}"; do echo "$s"; done
exit $status
