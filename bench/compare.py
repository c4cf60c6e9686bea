#!/usr/bin/env python3
"""Puts each benchmark beside its GNU libobjc counterpart, from one run.

    ./build/bin/message_send_bench --benchmark_repetitions=5 \\
        --benchmark_report_aggregates_only=true --benchmark_format=json > run.json
    bench/compare.py run.json

Benchmarks named GnuObjC<Name> are the reference of <Name>; a send is also
set beside a C++ virtual call. Times are medians of the repetitions, CPU
time per send where a benchmark sends in batches.
"""
import json
import sys

UNIT_NS = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
COUNTERS = {"table_KiB": "KiB"}


def medians(path):
    with open(path) as file:
        run = json.load(file)
    result = {}
    for entry in run["benchmarks"]:
        if entry.get("aggregate_name", "median") != "median":
            continue
        name = entry["run_name"].replace("/iterations:20", "")
        if "per_send" in entry:
            result[name] = (entry["per_send"] * 1e9, "ns")
        else:
            unit = entry.get("time_unit", "ns")
            result[name] = (entry["cpu_time"], unit)
        for counter, unit in COUNTERS.items():
            if counter in entry:
                result[f"{name} ({counter})"] = (entry[counter], unit)
    return result


def main():
    figures = medians(sys.argv[1])
    pairs = [(name, "GnuObjC" + name) for name in figures if "GnuObjC" + name in figures]
    pairs.append(("CachedSend", "GnuObjCSend"))
    pairs.append(("CachedSend", "VirtualCall"))
    pairs.append(("HookedSend", "CachedSend"))
    print("| case | this runtime | reference | ratio |")
    print("|---|---|---|---|")
    for name, reference in pairs:
        if name not in figures or reference not in figures:
            continue
        (value, unit), (base, base_unit) = figures[name], figures[reference]
        ratio = value * UNIT_NS.get(unit, 1) / (base * UNIT_NS.get(base_unit, 1))
        label = reference if not reference.startswith("GnuObjC") else "GNU libobjc"
        print(f"| {name} | {value:.3g} {unit} | {base:.3g} {base_unit} ({label}) | {ratio:.2f} |")


if __name__ == "__main__":
    main()
