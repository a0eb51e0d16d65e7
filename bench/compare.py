"""This tree's benchmark programs beside an earlier release's, in one run.

    bench/build-baseline [COMMIT]          # once: prints BASELINE, the earlier programs' folder
    /usr/bin/python3 bench/compare.py BASELINE [build/release/bench] [--rounds R] [--grid-rounds G]

Alternates the two builds round by round so that both see the same load:
detectFixedPulses and recognizeFixedPulses at the defaults, level 75
(bench_detection, CPU time per call), the tests' literal models of both, the
NumPy/SciPy matched-filter bank of bench/python_bench.py on a series of the
same size, and the default simulation grid on every hardware thread
(bench_simulation, wall time). Prints the median of each and the median of
the per-round ratios.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import timeit

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from python_bench import matched_filter_bank  # noqa: E402

DETECTORS = "^(detectFixedPulses|recognizeFixedPulses)/fast/75$"
LITERAL = "^(detectFixedPulses|recognizeFixedPulses)/literal/75/"
GRID = "^BM_DefaultGrid/0"


def run(program, pattern, extra=()):
    """Seconds per iteration of each benchmark that matches: CPU time, or real time where it is used."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "bench.json")
        subprocess.run([program, f"--benchmark_filter={pattern}", f"--benchmark_out={out}",
                        "--benchmark_out_format=json", *extra], capture_output=True, check=True)
        with open(out) as f:
            runs = json.load(f)["benchmarks"]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    times = {}
    for b in runs:
        name = b["name"].split("/iterations")[0].split("/real_time")[0]
        key = "real_time" if name.startswith("BM_") else "cpu_time"
        times[name] = b[key] * scale[b["time_unit"]]
    return times


def bank_seconds():
    """The matched-filter bank on 1200 samples and 20 etalons of 20 samples: best of 7 rounds of 50."""
    generator = np.random.default_rng(1200)
    x = generator.normal(0, 20, 1200)
    alphabet = generator.integers(-128, 129, (20, 20)).astype(np.int16)
    return min(timeit.repeat(lambda: matched_filter_bank(x, alphabet, 18, 40), number=50, repeat=7)) / 50


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("baseline", help="folder of the earlier bench_detection and bench_simulation")
    parser.add_argument("current", nargs="?", default="build/release/bench", help="folder of this tree's programs")
    parser.add_argument("--rounds", type=int, default=5, help="rounds of the detector comparison")
    parser.add_argument("--grid-rounds", type=int, default=3, help="rounds of the grid comparison (0: none)")
    args = parser.parse_args()
    samples = {}  # name -> list of seconds, one per round

    def add(prefix, times):
        for name, seconds in times.items():
            samples.setdefault(f"{prefix} {name}", []).append(seconds)

    for _ in range(args.rounds):
        add("now", run(os.path.join(args.current, "bench_detection"), DETECTORS, ["--benchmark_min_time=0.5"]))
        add("before", run(os.path.join(args.baseline, "bench_detection"), DETECTORS, ["--benchmark_min_time=0.5"]))
        add("literal", run(os.path.join(args.current, "bench_detection"), LITERAL))
        samples.setdefault("bank", []).append(bank_seconds())
    for _ in range(args.grid_rounds):
        add("now", run(os.path.join(args.current, "bench_simulation"), GRID))
        add("before", run(os.path.join(args.baseline, "bench_simulation"), GRID))

    def ratio(slow, fast):
        if slow not in samples or fast not in samples:
            return float("nan")
        return statistics.median(s / f for s, f in zip(samples[slow], samples[fast]))

    print(f"{args.rounds} rounds of the detectors, {args.grid_rounds} of the grid; medians")
    print(f"{'operation':26} {'now':>10} {'before':>10} {'literal':>10} {'bank':>9} "
          f"{'before/now':>10} {'literal/now':>11} {'bank/now':>8}")
    bank = statistics.median(samples["bank"])
    for op in ("detectFixedPulses", "recognizeFixedPulses"):
        now, before, literal = (f"{kind} {op}/{'literal' if kind == 'literal' else 'fast'}/75"
                                for kind in ("now", "before", "literal"))
        per_bank = bank / statistics.median(samples[now]) if op == "detectFixedPulses" else float("nan")
        print(f"{op + ', ms':26} {statistics.median(samples[now]) * 1e3:10.3f} "
              f"{statistics.median(samples[before]) * 1e3:10.3f} {statistics.median(samples[literal]) * 1e3:10.1f} "
              f"{bank * 1e3:9.3f} {ratio(before, now):9.2f}x {ratio(literal, now):10.0f}x {per_bank:7.2f}x")
    if args.grid_rounds:
        now, before = "now BM_DefaultGrid/0", "before BM_DefaultGrid/0"
        print(f"{'default grid, 2 threads, s':26} {statistics.median(samples[now]):10.2f} "
              f"{statistics.median(samples[before]):10.2f} {'':>10} {'':>9} {ratio(before, now):9.2f}x")


if __name__ == "__main__":
    main()
