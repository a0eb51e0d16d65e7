"""Plot a simulation written by `pulsebench simulate`, with a legend and colours.

    /usr/bin/python3 examples/python/plot_simulation.py INPUT [OUTPUT.png] [--error KIND] [--aggregate]

INPUT is either the CSV of `--chart-data FILE` (columns x, y, label: one curve
per label, as the program's chart draws them) or a simulation.json, whose
"errors" arrays are plotted: the KIND error (restoring, detection or
recognition; default detection) over the noise level, one curve per pulse
count with its standard error as a band, or with --aggregate the one curve
over all pulse counts. Needs only matplotlib; writes OUTPUT.png (default:
simulation-plot.png in the current folder).
"""
import argparse
import csv
import json
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt


def curves_from_chart_data(path):
    """{label: ([x], [y], None)} in the order the file gives them."""
    curves = {}
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            xs, ys, _ = curves.setdefault(row["label"], ([], [], None))
            xs.append(float(row["x"]))
            ys.append(float(row["y"]))
    return curves, "value the chart plots"


def curves_from_json(path, kind, aggregate):
    """{label: ([x], [y], [standard error])} from the "errors" arrays."""
    with open(path) as f:
        errors = json.load(f)["errors"]
    column = f"{kind}_error" + ("_aggregate" if aggregate else "")
    curves = defaultdict(lambda: ([], [], []))
    seen = set()
    for i, level in enumerate(errors["noise_level"]):
        label = "all pulse counts" if aggregate else f"{errors['pulses'][i]} pulses"
        if aggregate and level in seen:
            continue  # one value per noise level, repeated on every pulse count's row
        seen.add(level)
        xs, ys, se = curves[label]
        xs.append(level)
        ys.append(errors[column][i])
        spread = errors[column + "_se"][i]
        se.append(0.0 if spread is None else spread)
    return dict(curves), column.replace("_", " ")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input", help="--chart-data CSV or simulation.json")
    parser.add_argument("output", nargs="?", default="simulation-plot.png")
    parser.add_argument("--error", default="detection", choices=["restoring", "detection", "recognition"])
    parser.add_argument("--aggregate", action="store_true")
    args = parser.parse_args()
    if args.input.endswith(".json"):
        curves, ylabel = curves_from_json(args.input, args.error, args.aggregate)
    else:
        curves, ylabel = curves_from_chart_data(args.input)

    figure, axes = plt.subplots(figsize=(8, 5))
    colours = plt.get_cmap("viridis", max(len(curves), 2))
    for n, (label, (xs, ys, se)) in enumerate(curves.items()):
        bound = label.endswith("bound")
        colour = "black" if bound else colours(n)
        axes.plot(xs, ys, marker="" if bound else "o", markersize=3, color=colour,
                  linestyle="--" if bound else "-", label=label)
        if se:
            axes.fill_between(xs, [y - s for y, s in zip(ys, se)], [y + s for y, s in zip(ys, se)],
                              color=colour, alpha=0.15, linewidth=0)
    axes.set_xlabel("noise level σ (sample units)")
    axes.set_ylabel(ylabel)
    axes.set_ylim(bottom=0)
    axes.grid(alpha=0.3)
    axes.legend(fontsize="small", ncol=2)
    figure.tight_layout()
    figure.savefig(args.output, dpi=100)
    print(f"wrote {args.output}")


if __name__ == "__main__":
    main()
