# Shared by the module's tests: the module itself (found through PYTHONPATH,
# which CTest points at the build folder), the C++ twin and the program, whose
# paths CTest passes in PULSEBENCH_TWIN and PULSEBENCH_PROGRAM.
import json
import os
import subprocess

import pytest

import pulsebench


@pytest.fixture(scope="session")
def pb():
    return pulsebench


def _program_path(variable):
    path = os.environ.get(variable)
    if not path:
        pytest.skip(f"{variable} is not set (CTest sets it)")
    return path


@pytest.fixture(scope="session")
def run_twin():
    """Runs cases (dicts) through the C++ twin; one result dict per case."""
    twin = _program_path("PULSEBENCH_TWIN")

    def run(cases):
        lines = "".join(json.dumps(c) + "\n" for c in cases)
        done = subprocess.run([twin], input=lines, capture_output=True, text=True, timeout=600, check=True)
        return [json.loads(line) for line in done.stdout.splitlines()]

    return run


@pytest.fixture(scope="session")
def program():
    return _program_path("PULSEBENCH_PROGRAM")
