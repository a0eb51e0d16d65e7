# The example scripts of examples/python run with this interpreter and write
# their pictures: a whole PNG each, into the folder given, or the current one.
import json
import os
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = {"series_detection.py": "series-detection.png", "recognition_noise.py": "recognition-noise.png",
            "simulation_chart.py": "simulation-chart.png"}


def examples_folder():
    folder = os.environ.get("PULSEBENCH_EXAMPLES")
    if not folder:
        pytest.skip("PULSEBENCH_EXAMPLES is not set (CTest sets it)")
    return Path(folder)


def assert_whole_png(path):
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    assert data[-12:-4] == b"\x00\x00\x00\x00IEND", path


@pytest.mark.parametrize("script", sorted(EXAMPLES))
def test_each_example_writes_its_picture(script, tmp_path):
    given, current = tmp_path / "given", tmp_path / "current"
    given.mkdir()
    current.mkdir()
    for arguments, folder in (([str(given)], given), ([], current)):
        subprocess.run([sys.executable, str(examples_folder() / script), *arguments], cwd=current, check=True,
                       timeout=600, capture_output=True)
        assert_whole_png(folder / EXAMPLES[script])


def test_plot_simulation_draws_chart_data_and_the_errors_of_a_json(tmp_path):
    # What `pulsebench simulate --chart-data` and simulation.json hold, made small by hand.
    curves = tmp_path / "curves.csv"
    curves.write_text("x,y,label\n0,0,3\n20,0.1,3\n0,0,4\n20,0.2,4\n20,0.4,upper bound\n20,0.01,lower bound\n")
    levels, pulses = [0, 20, 0, 20], [3, 3, 4, 4]
    errors = {"noise_level": levels, "pulses": pulses}
    for kind in ("restoring", "detection", "recognition"):
        for suffix in ("", "_aggregate"):
            errors[f"{kind}_error{suffix}"] = [0.0, 0.1, 0.0, 0.2]
            errors[f"{kind}_error{suffix}_se"] = [None, 0.01, 0.0, 0.02]
    simulation = tmp_path / "simulation.json"
    simulation.write_text(json.dumps({"format_version": 1, "errors": errors}))
    script = examples_folder() / "plot_simulation.py"
    for arguments in ([str(curves), str(tmp_path / "a.png")],
                      [str(simulation), str(tmp_path / "b.png"), "--error", "restoring"],
                      [str(simulation), str(tmp_path / "c.png"), "--aggregate"]):
        subprocess.run([sys.executable, str(script), *arguments], cwd=tmp_path, check=True, timeout=600,
                       capture_output=True)
    for name in ("a.png", "b.png", "c.png"):
        assert_whole_png(tmp_path / name)
