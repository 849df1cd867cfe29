#!/usr/bin/env python3
"""Renders docs/benchmarks.md from the results of rocker-bench.

    bench/page/render.py --results DIR [--save-json FILE] --output PAGE
    bench/page/render.py --json FILE --output PAGE

DIR holds one JSON file per benchmark and transport as rocker-bench writes
them; FILE holds them all in one list (what --save-json writes). The prose,
the goals and the verdicts are in benchmarks.md.j2 beside this script; this
file only reads the figures and hands the template a few helpers.
"""
import argparse
import json
import math
import pathlib
import sys

import jinja2

TRANSPORTS = ("tcp", "rtu")
# Runs with stick_rate = 50 are shown as transports of their own.
FAST_TRANSPORTS = ("tcp50", "rtu50")
# The paced RTU line, at each stick rate and reply latency.
PACED_LINES = ("rtu-0ms", "rtu50-0ms", "rtu-16ms", "rtu50-16ms")
DEFAULT_STICK_RATE = 10


def load_results(folder):
    results = []
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        result = json.loads(path.read_text())
        if not (isinstance(result, dict) and result.get("bench") and result.get("transport")):
            continue
        results.append(result)
    return results


def variant(result):
    """The transport a result is shown under: "tcp", or "tcp50" at 50 Hz; a
    paced line adds its reply latency ("rtu50-16ms")."""
    rate = result.get("stick_rate", DEFAULT_STICK_RATE)
    name = result["transport"] + ("" if rate == DEFAULT_STICK_RATE else str(rate))
    latency = child(result, "figures", "reply_latency_ms")
    return name if latency is None else f"{name}-{latency}ms"


def child(value, *keys):
    """What the path of keys leads to, None where it leads nowhere."""
    for key in keys:
        value = value.get(key) if isinstance(value, dict) else None
    return value


def text(value, key):
    value = child(value, key)
    return value if isinstance(value, str) else ""


def num(value, *keys):
    """The number at the path of keys, NaN where there is none."""
    value = child(value, *keys)
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        return math.nan
    return float(value)


def flag(value, *keys):
    return child(value, *keys) is True


def f(value, digits=1):
    """Fixed-point with `digits` decimals; an en dash for what was not measured."""
    if value is None or math.isnan(value):
        return "–"
    # No "-0.0" for a difference that rounds to nothing.
    if round(value, digits) == 0:
        value = 0.0
    return f"{value:.{digits}f}"


def stats(value, digits=1):
    """The "min | median | p90 | p99 | max" cells of a stats object."""
    return " | ".join(f(num(value, key), digits) for key in ("min", "median", "p90", "p99", "max"))


def render(results, template_path):
    by_key = {(r["bench"], variant(r)): r for r in results}
    if not by_key:
        raise ValueError("no results")

    def figures(bench, transport):
        return child(by_key.get((bench, transport), {}), "figures") or {}

    environment = jinja2.Environment(
        loader=jinja2.FileSystemLoader(str(template_path.parent)),
        trim_blocks=True,
        lstrip_blocks=True,
        keep_trailing_newline=True,
        undefined=jinja2.StrictUndefined,
    )
    environment.globals.update(
        results=[by_key[key] for key in sorted(by_key)],
        transports=TRANSPORTS,
        fast_transports=FAST_TRANSPORTS,
        paced_lines=PACED_LINES,
        figures=figures,
        child=child,
        text=text,
        num=num,
        flag=flag,
        f=f,
        stats=stats,
        isnan=math.isnan,
        fabs=math.fabs,
    )
    return environment.get_template(template_path.name).render()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--results", help="folder of rocker-bench result files")
    source.add_argument("--json", help="all results in one file")
    parser.add_argument("--save-json", help="write the results read from --results here")
    parser.add_argument("--output", required=True, help="the page to write")
    args = parser.parse_args()
    if args.results:
        results = load_results(args.results)
    else:
        results = json.loads(pathlib.Path(args.json).read_text())
    if args.save_json:
        pathlib.Path(args.save_json).write_text(json.dumps(results, indent=1, sort_keys=True) + "\n")
    template = pathlib.Path(__file__).with_name("benchmarks.md.j2")
    try:
        page = render(results, template)
    except (ValueError, jinja2.TemplateError) as error:
        sys.exit(f"render.py: {error}")
    pathlib.Path(args.output).write_text(page)


if __name__ == "__main__":
    main()
