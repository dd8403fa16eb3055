#!/usr/bin/env python3
"""Compares two builds of orv_bench pair by pair: runs them alternately, takes the ratio of their
times in each pair, and prints the median of those ratios for each benchmark (above 1: the second is
faster). Alternating keeps a machine that speeds up or slows down from favouring either build.

    bench/compare.py BEFORE/orv_bench AFTER/orv_bench [pairs] [filter] [benchmark option]...

Further options go to both programs: --benchmark_min_time=2, say, makes each time longer and steadier.
"""
import json
import statistics
import subprocess
import sys


def times(binary, pattern, options):
    out = subprocess.run([binary, f"--benchmark_filter={pattern}", "--benchmark_format=json", *options],
                         check=True, capture_output=True, text=True).stdout
    return {b["name"]: b["real_time"] for b in json.loads(out)["benchmarks"]}


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    before, after = sys.argv[1], sys.argv[2]
    pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    pattern = sys.argv[4] if len(sys.argv) > 4 else "Mixed|Idle|RunnerProgramTest$"
    options = sys.argv[5:]
    ratios = {}
    for n in range(pairs):
        first, second = (before, after) if n % 2 == 0 else (after, before)
        a = times(first, pattern, options)
        b = times(second, pattern, options)
        old, new = (a, b) if first == before else (b, a)
        for name in old:
            if name in new:
                ratios.setdefault(name, []).append(old[name] / new[name])
    for name, values in ratios.items():
        print(f"{name:40} median {statistics.median(values):.3f}  "
              f"range {min(values):.3f}-{max(values):.3f}  ({len(values)} pairs)")


if __name__ == "__main__":
    main()
