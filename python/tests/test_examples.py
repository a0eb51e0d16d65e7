# The example scripts of examples/python run with this interpreter and write
# their pictures: a whole PNG each, into the folder given, or the current one.
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
