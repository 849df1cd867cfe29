#!/usr/bin/env bash
# Builds an optimised tree (build-bench) and runs the benchmarks of bench/
# over a loopback Modbus TCP slave and over Modbus RTU on a pseudo-terminal
# pair, then renders docs/benchmarks.md from their results (bench/page: the
# figures go to docs/benchmarks.json beside the page). Never part of the
# test command. Following the stick (jog_follow) is measured at both stick
# rates, and the paced RTU line (115200 baud, replies 0 and 16 ms late, as
# through a USB serial adapter) at both stick rates too. Latency, wire, CPU,
# memory and the watchdog run a second time
# with the start option stick_rate = 50 (the watchdog with input_timeout =
# 0.08); those results are the *-stick50.json files beside the others, shown
# on the page as "stick_rate 50". The default run takes about a quarter of an hour;
# --long makes each memory growth run ten minutes instead of 45 s.
#
#   scripts/bench.sh                 # all benchmarks, page in docs/benchmarks.md
#   scripts/bench.sh --long          # the same with the ten-minute memory runs
#   scripts/bench.sh --quick         # a short check of the machinery; its page goes
#                                    # to build-bench/bench-results/ unless --output
#   scripts/bench.sh --output FILE   # write the page elsewhere
#   scripts/bench.sh --noisy-line    # only the noisy-line figures of docs/reliability.md
#                                    # (about 7 minutes, or 3 with --quick): one reply in
#                                    # 25 damaged, each kind over TCP and RTU; the tables go
#                                    # to build-bench/bench-results/<time>/noisy-line.md
#
# The figures depend on the machine and on what else runs on it: run it on a
# quiet machine. Exits non-zero if a benchmark fails; the page then shows "–"
# for its figures.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

long=0
quick=0
noisy=0
output=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --long) long=1 ;;
    --quick) quick=1 ;;
    --noisy-line) noisy=1 ;;
    --output) shift; output="${1:-}" ;;
    -h|--help) sed -n '2,24p' "$0"; exit 0 ;;
    *) echo "bench.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done

pushes=200; window=10; cpu_window=15; growth=45; iterations=15; silences=16; drops=6
follow_jogs=40; paced_jogs=20
if [ "$long" -eq 1 ]; then growth=600; fi
if [ "$quick" -eq 1 ]; then
  pushes=20; window=3; cpu_window=5; growth=15; iterations=4; silences=3; drops=2
  follow_jogs=4; paced_jogs=3
fi

bash scripts/install-deps.sh bench || exit 1

build="$root/build-bench"
jobs="$(nproc 2>/dev/null || echo 2)"
echo "=== bench: build ($build, Release)"
mkdir -p "$build"
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DROCKER_BENCH=ON >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  echo "bench.sh: configure failed" >&2
  exit 1
fi
if ! cmake --build "$build" --target rocker-bench -j "$jobs"; then
  echo "bench.sh: build failed" >&2
  exit 1
fi
bench="$build/bench/rocker-bench"

results="$build/bench-results/$(date -u +%Y%m%dT%H%M%SZ)"
mkdir -p "$results"
if [ -z "$output" ]; then
  if [ "$quick" -eq 1 ]; then output="$results/benchmarks.md"; else output="$root/docs/benchmarks.md"; fi
fi
# The figures the page is rendered from, beside it.
figures="${output%.md}.json"

if [ "$noisy" -eq 1 ]; then
  status=0
  for transport in tcp rtu; do
    echo "=== bench: noisy-line over $transport"
    echo "#### $transport" >>"$results/noisy-line.md"
    if ! "$bench" noisy-line --transport "$transport" --window "$window" \
         --out "$results/noisy-line-$transport.json" >>"$results/noisy-line.md" \
         2>"$results/noisy-line-$transport.log"; then
      cat "$results/noisy-line-$transport.log" >&2
      echo "bench.sh: noisy-line over $transport failed" >&2
      status=1
    fi
  done
  cat "$results/noisy-line.md"
  echo "bench.sh: results in $results, tables in $results/noisy-line.md"
  exit $status
fi

status=0
# tag: "" for the default configuration, "-stick50" for stick_rate = 50.
tag=""
run() {
  local name="$1" transport="$2"
  shift 2
  local file="$results/$name-$transport$tag"
  echo "=== bench: $name over $transport$tag"
  local started=$SECONDS
  if ! "$bench" "$name" --transport "$transport" --out "$file.json" "$@" 2>"$file.log"; then
    cat "$file.log" >&2
    echo "bench.sh: $name over $transport$tag failed" >&2
    status=1
  fi
  echo "    $((SECONDS - started)) s"
}

for transport in tcp rtu; do
  run latency "$transport" --pushes "$pushes"
  run wire "$transport" --window "$window"
  run cpu "$transport" --window "$cpu_window"
  run memory "$transport" --window "$window" --growth "$growth"
  run shutdown "$transport" --iterations "$iterations"
  run watchdog "$transport" --silences "$silences" --drops "$drops"
done

for transport in tcp rtu; do
  run follow "$transport" --jogs "$follow_jogs"
done

tag="-stick50"
for transport in tcp rtu; do
  run latency "$transport" --pushes "$pushes" --stick-rate 50
  run wire "$transport" --window "$window" --stick-rate 50
  run cpu "$transport" --window "$cpu_window" --stick-rate 50
  run memory "$transport" --window "$window" --growth "$growth" --stick-rate 50
  run watchdog "$transport" --silences "$silences" --drops "$drops" --stick-rate 50 \
    --input-timeout 0.08
  run follow "$transport" --jogs "$follow_jogs" --stick-rate 50
done

# The paced RTU line, without and with a USB adapter's latency, at both
# stick rates.
for latency in 0 16; do
  tag="-paced${latency}ms"
  run paced-line rtu --reply-latency "$latency" --window "$window" --jogs "$paced_jogs"
  tag="-paced${latency}ms-stick50"
  run paced-line rtu --reply-latency "$latency" --window "$window" --jogs "$paced_jogs" \
    --stick-rate 50 --input-timeout 0.08
done

echo "=== bench: report"
mkdir -p "$(dirname "$output")"
if ! python3 bench/page/render.py --results "$results" --save-json "$figures" --output "$output"; then
  echo "bench.sh: the report could not be written" >&2
  exit 1
fi
echo "bench.sh: results in $results, page in $output"
exit $status
