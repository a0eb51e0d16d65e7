"""Make a series, detect its pulses and plot the truth against the detection.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/series_detection.py [OUTPUT_FOLDER]

writes series-detection.png into OUTPUT_FOLDER (default: the current folder).
"""
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import pulsebench as pb


def main(folder):
    streams = pb.Streams()
    alphabet = pb.standard_alphabet(streams=streams)
    series = pb.make_series(alphabet, noise=35, streams=streams)
    found = pb.detect_fixed(series.noisy, alphabet, series.pulses)
    restored = pb.restore(alphabet, found)
    print(f"{len(found.positions)} pulses detected, cost {found.cost}, "
          f"restoring error {pb.restoring_error(series, found)}, "
          f"detection error {pb.detection_error(series, found):.3f}")

    t = np.arange(len(series))
    figure, (top, middle, bottom) = plt.subplots(3, 1, figsize=(12, 8), sharex=True)
    top.plot(t, series.noisy, color="tab:blue", linewidth=0.7)
    top.set_title(f"noisy series: {series.pulses} pulses, noise 35")
    for i, (start, begin, end) in enumerate(zip(series.positions, series.cut_begin, series.cut_end)):
        top.axvspan(start + begin, start + end, color="tab:green", alpha=0.15,
                    label="kept part of a true pulse" if i == 0 else None)
    top.legend(loc="upper right")
    middle.plot(t, series.pure, color="tab:green", label="truth (pure series)")
    middle.plot(t, restored, color="tab:red", linestyle="--", label="restored from the detection")
    middle.legend(loc="upper right")
    bottom.scatter(series.positions, series.etalons, s=90, facecolors="none", edgecolors="tab:green",
                   linewidths=1.5, label="true pulse start and etalon")
    bottom.scatter(found.positions, found.etalons, s=40, marker="x", color="tab:red", label="detected")
    bottom.set_ylabel("etalon")
    bottom.set_ylim(0, len(alphabet) + 1)
    bottom.grid(alpha=0.3)
    bottom.set_xlabel("sample")
    bottom.legend(loc="upper right")
    figure.tight_layout()
    target = Path(folder) / "series-detection.png"
    figure.savefig(target, dpi=100)
    print(f"wrote {target}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
