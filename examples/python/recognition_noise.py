"""Recognition of a series' one etalon over many noise levels.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/recognition_noise.py [OUTPUT_FOLDER]

For each noise level, series whose pulses all share one etalon (each etalon in
turn) are recognised with a known and with an unknown pulse count; the share
of wrong recognitions is plotted against the noise level into
recognition-noise.png in OUTPUT_FOLDER (default: the current folder).
"""
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

import pulsebench as pb

LENGTH, REPEATS = 600, 40
NOISE_LEVELS = range(0, 201, 10)


def error_rates(alphabet, streams):
    fixed, unfixed = [], []
    for noise in NOISE_LEVELS:
        wrong_fixed = wrong_unfixed = 0
        for repeat in range(REPEATS):
            etalon = 1 + repeat % len(alphabet)
            series = pb.make_series(alphabet, LENGTH, pulses=9, noise=noise, sequence=[etalon] * 15,
                                    streams=streams)
            known = pb.recognize_fixed(series.noisy, alphabet, series.pulses)
            unknown = pb.recognize_unfixed(series.noisy, alphabet)
            wrong_fixed += pb.recognition_error(known, etalon)
            wrong_unfixed += pb.recognition_error(unknown, etalon)
        fixed.append(wrong_fixed / REPEATS)
        unfixed.append(wrong_unfixed / REPEATS)
        print(f"noise {noise:3}: wrong {fixed[-1]:.2f} (known count), {unfixed[-1]:.2f} (unknown count)")
    return fixed, unfixed


def main(folder):
    streams = pb.Streams()
    alphabet = pb.standard_alphabet(streams=streams)
    fixed, unfixed = error_rates(alphabet, streams)
    figure, axes = plt.subplots(figsize=(9, 5))
    axes.plot(NOISE_LEVELS, fixed, marker="o", label="known pulse count (recognize_fixed)")
    axes.plot(NOISE_LEVELS, unfixed, marker="s", label="unknown pulse count (recognize_unfixed)")
    guess = 1 - 1 / len(alphabet)
    axes.axhline(guess, color="grey", linestyle=":", label=f"guessing ({guess:.2f})")
    axes.set_xlabel("noise level σ")
    axes.set_ylabel("share of wrong recognitions")
    axes.set_title(f"Recognition of one etalon among {len(alphabet)}: {LENGTH} samples, {REPEATS} series per level")
    axes.set_ylim(-0.02, 1.02)
    axes.grid(alpha=0.3)
    axes.legend(loc="upper left")
    figure.tight_layout()
    target = Path(folder) / "recognition-noise.png"
    figure.savefig(target, dpi=100)
    print(f"wrote {target}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
