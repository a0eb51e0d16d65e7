"""A small statistical simulation and its normalised errors over the noise.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/simulation_chart.py [OUTPUT_FOLDER]

Runs the recognition of which of three stored tuples of etalons a series of
whole pulses follows (task 2, series type 36) on a small grid of 600-sample
series: three pulse counts, noise levels 0 to 200, 20 trials each, from a
fresh Streams, as `pulsebench simulate` with the same options would. The
restoring, detection and recognition errors (normalised as the program's
charts draw them) are plotted against the noise level, one line per pulse
count, into simulation-chart.png in OUTPUT_FOLDER (default: the current
folder).
"""
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

import pulsebench as pb

GRID = dict(task=2, series_type=36, subsets=[[1, 2, 3], [4, 5, 6], [7, 8]], length=600, pulses_from=6,
            pulses_to=14, pulses_step=4, noise_initial=0, noise_steps=11, noise_step=20, repeats=20)
PANELS = [("restoring", "restoring error\n(lost energy / energy a series can lose)"),
          ("detection", "detection error\n(mean squared start error / (tmax - q)²)"),
          ("recognition", "recognition error\n(share of trials recognised wrongly)")]


def report(done, total):
    print(f"\r{done}/{total} trials", end="" if done < total else "\n", flush=True)


def main(folder):
    run = pb.simulate(streams=pb.Streams(), progress=report, **GRID)
    about = run.description
    figure, axes = plt.subplots(1, len(PANELS), figsize=(13, 4.5), sharex=True)
    for panel, (name, label) in zip(axes, PANELS):
        for j, pulses in enumerate(run.pulse_counts):
            panel.plot(run.noise_levels, run.errors[name][:, j], marker="o", markersize=3,
                       label=f"{pulses} pulses")
        panel.set_xlabel("noise level σ (sample units)")
        panel.set_ylabel(label)
        panel.set_ylim(bottom=0)
        panel.grid(alpha=0.3)
        panel.legend(loc="upper left", fontsize="small")
    tuples = "; ".join(",".join(map(str, t)) for t in GRID["subsets"])
    figure.suptitle(f"{about['lpTaskName']} of the tuples {tuples}, {about['lpSeriesTypeName']}: "
                    f"{about['dwSeriesLength']} samples, {run.repeats} trials per point")
    figure.tight_layout()
    target = Path(folder) / "simulation-chart.png"
    figure.savefig(target, dpi=100)
    print(f"wrote {target}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
