"""What a detector call costs from Python, next to the same call in C++ and to
what a researcher would otherwise write with NumPy and SciPy; and what a
simulation costs from Python next to the batch command.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python_bench.py [build/release/bench/bench_detection] \
        [build/release/app/pulsebench]

On the default series of fresh Streams (1200 samples, 20 etalons of 20
samples, 18 pulses, level 75, noise 20) it times, best of several rounds:
pulsebench.detect_fixed from Python; detectFixedPulses in C++ (the case
detectFixedPulses/program-series of bench_detection, when its path is given
or found); and a matched-filter bank: np.correlate of every etalon with the
series and scipy.signal.find_peaks on the best match per sample, keeping the
18 highest peaks at least tmin apart. It prints the times, the ratios and how
many true pulse starts each finds within 2 samples, and the module's call on a
60-sample signal with one etalon, which bounds what the call itself adds
(conversions, records, results) whatever the machine's load does to the rest.
Last, pulsebench.simulate on a small grid (SIMULATION: 3 pulse counts, 11
noise levels, 20 trials each) beside `pulsebench simulate --quiet` with the
same options, both on one thread, best of a few rounds; the command's time
includes starting the process and writing its files.
"""
import json
import os
import subprocess
import sys
import tempfile
import timeit

import numpy as np
from scipy.signal import find_peaks

ROUNDS = 7
SIMULATION = dict(length=600, pulses_from=6, pulses_to=14, pulses_step=4, noise_steps=11, noise_step=20, repeats=20)


def best_seconds(call, number):
    """Best of ROUNDS rounds of `number` calls, per call."""
    return min(timeit.repeat(call, number=number, repeat=ROUNDS)) / number


def matched_filter_bank(x, alphabet, pulses, tmin):
    """Every etalon correlated with the series; the best per sample; the highest peaks."""
    scores = np.stack([np.correlate(x, etalon, mode="valid") / np.dot(etalon, etalon) ** 0.5
                       for etalon in alphabet.astype(np.float64)])
    best = scores.max(axis=0)
    peaks, _ = find_peaks(best, distance=tmin)
    chosen = np.sort(peaks[np.argsort(best[peaks])[::-1][:pulses]])
    return chosen, scores[:, chosen].argmax(axis=0) + 1


def cpp_seconds(program):
    """detectFixedPulses/program-series from bench_detection: the best repetition, per call."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "bench.json")
        subprocess.run([program, "--benchmark_filter=program-series", "--benchmark_repetitions=5",
                        f"--benchmark_out={out}", "--benchmark_out_format=json"], capture_output=True, check=True)
        with open(out) as f:
            runs = [b for b in json.load(f)["benchmarks"] if b.get("run_type") == "iteration"]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    return min(b["real_time"] * scale[b["time_unit"]] for b in runs)


def found(truth, positions):
    return sum(bool(np.any(np.abs(positions - p) <= 2)) for p in truth)


def simulation_seconds(program):
    """pulsebench.simulate and, when the program is there, the batch command: best of ROUNDS rounds each."""
    module = best_seconds(lambda: pb.simulate(threads=1, streams=pb.Streams(), **SIMULATION), 1)
    if not os.path.exists(program):
        return module, None
    options = [f"--{key.replace('_', '-')}={value}" for key, value in SIMULATION.items()]
    with tempfile.TemporaryDirectory() as folder:
        line = [program, "simulate", "--quiet", "--threads=1", f"--out={folder}", *options]
        command = best_seconds(lambda: subprocess.run(line, check=True, capture_output=True), 1)
    return module, command


def print_simulation(program):
    module, command = simulation_seconds(program)
    trials = 3 * SIMULATION["noise_steps"] * SIMULATION["repeats"]
    print(f"simulation: {trials} trials of {SIMULATION['length']} samples, one thread")
    print(f"{'pulsebench.simulate (Python)':48} {module * 1e3:12.1f} ms")
    if command is None:
        print(f"(no {program}: the batch command's figure is left out)")
        return
    print(f"{'pulsebench simulate (batch command)':48} {command * 1e3:12.1f} ms")
    print(f"  Python over the command: {module / command:.3f}x, {(module - command) * 1e3:+.1f} ms")


def main():
    global pb
    import pulsebench as pb  # here, so that bench/compare.py can take the bank alone

    streams = pb.Streams()
    alphabet = pb.standard_alphabet(streams=streams)
    series = pb.make_series(alphabet, streams=streams)
    x = series.noisy
    module = best_seconds(lambda: pb.detect_fixed(x, alphabet, 18), 200)
    tiny = x[:60].copy()
    overhead = best_seconds(lambda: pb.detect_fixed(tiny, alphabet[:1], 1, tmin=20, tmax=40), 2000)
    bank = best_seconds(lambda: matched_filter_bank(x.astype(np.float64), alphabet, 18, 40), 200)
    detection = pb.detect_fixed(x, alphabet, 18)
    bank_positions, _ = matched_filter_bank(x.astype(np.float64), alphabet, 18, 40)

    print(f"default series: {len(x)} samples, {len(alphabet)} etalons, {series.pulses} pulses, noise 20")
    print(f"{'call':48} {'µs per call':>12} {'true starts found':>18}")
    print(f"{'pulsebench.detect_fixed (Python)':48} {module * 1e6:12.1f} "
          f"{found(series.positions, detection.positions):>15}/{series.pulses}")
    print(f"{'pulsebench.detect_fixed, 60 samples, 1 etalon':48} {overhead * 1e6:12.1f}"
          "   (bounds the call's own cost)")
    program = sys.argv[1] if len(sys.argv) > 1 else "build/release/bench/bench_detection"
    if os.path.exists(program):
        cpp = cpp_seconds(program)
        print(f"{'detectFixedPulses (C++, bench_detection)':48} {cpp * 1e6:12.1f}")
        print(f"  Python over C++: {module / cpp:.3f}x, {(module - cpp) * 1e6:+.1f} µs per call")
    else:
        print(f"(no {program}: the C++ figure is left out)")
    print(f"{'np.correlate bank + scipy find_peaks':48} {bank * 1e6:12.1f} "
          f"{found(series.positions, bank_positions):>15}/{series.pulses}")
    print(f"  matched-filter bank over pulsebench: {bank / module:.2f}x")
    print_simulation(sys.argv[2] if len(sys.argv) > 2 else "build/release/app/pulsebench")


if __name__ == "__main__":
    main()
