# pulsebench.simulate gives what `pulsebench simulate` writes, bit for bit, and
# the charts' normalisation of it; bad keywords leave the streams as they were;
# an exception from the progress callback or Ctrl-C cancels the run cleanly.
import json
import math
import subprocess
import sys
import textwrap

import numpy as np
import pytest

SMALL = dict(length=300, noise_steps=3, noise_step=30, repeats=4)
# task / series type combinations, a tuple type among them, each a few dozen trials
RUNS = [
    dict(SMALL, pulses_from=4, pulses_to=5),
    dict(SMALL, task=1, series_type=4, pulses_from=3, pulses_to=5, pulses_step=2),
    dict(SMALL, task=2, series_type=1, required=5, pulses_from=4, pulses_to=4),
    dict(SMALL, task=1, series_type=36, subset=[2, 5], pulses_from=4, pulses_to=5, employment=4),
    dict(SMALL, task=2, series_type=40, subsets=[[1, 2], [3, 4, 5]], pick=2, pulses_from=3, pulses_to=4,
         noise_initial=20),
    dict(SMALL, task=1, series_type=8, pulses_from=3, pulses_to=5, seed=4294967295),  # a replicate
]


def command_line(options):
    """The options as `pulsebench simulate` takes them."""
    line = []
    for key, value in options.items():
        if key == "subset":
            value = ",".join(map(str, value))
        elif key == "subsets":
            value = ";".join(",".join(map(str, t)) for t in value)
        line += ["--" + key.replace("_", "-"), str(value)]
    return line


def run_program(program, options, folder):
    subprocess.run([program, "simulate", "--quiet", "--threads", "1", "--out", str(folder), *command_line(options)],
                   check=True, capture_output=True, timeout=600)
    return json.loads((folder / "simulation.json").read_text())


@pytest.mark.parametrize("options", RUNS,
                         ids=lambda o: f"task{o.get('task', 4)}-type{o.get('series_type', 2)}-seed{o.get('seed', 0)}")
def test_simulate_equals_the_batch_command_bit_for_bit(pb, program, tmp_path, options):
    written = run_program(program, options, tmp_path)
    streams = pb.Streams()
    run = pb.simulate(threads=2, streams=streams, **options)
    assert run.tables.dtype == np.int64 and run.tables.shape == (6, len(run.noise_levels), len(run.pulse_counts))
    assert run.tables.tolist() == written["lpErrors"]
    assert run.noise_levels.tolist() == written["lpNoiseLevels"]
    assert run.pulse_counts.tolist() == written["wPulseValues"]
    assert run.repeats == written["repeats"]
    description = dict(written["description"])
    del description["elapsedSeconds"]
    assert run.description == description
    assert streams.state == written["randomStreams"]
    assert run.tables.any()  # the runs score something to compare


def test_two_seeds_are_two_replicates_and_one_seed_is_one(pb):
    options = dict(SMALL, pulses_from=4, pulses_to=5, noise_initial=40)
    streams = pb.Streams()
    one, again, other = (pb.simulate(seed=seed, streams=pb.Streams(), **options) for seed in (5, 5, 6))
    assert one.tables.tolist() == again.tables.tolist()
    assert one.tables.tolist() != other.tables.tolist()
    assert one.description["seed"] == 5
    # the fresh start draws from the Streams given, the trials from the replicate's own
    pb.simulate(seed=5, streams=streams, **options)
    fresh_start_only = pb.Streams()
    pb.simulate(seed=5, streams=fresh_start_only, length=300, pulses_from=4, pulses_to=4, noise_steps=1, repeats=1)
    assert streams.state == fresh_start_only.state


def test_errors_are_the_engines_normalisation_and_truncate_to_the_charts_per_mille(pb, run_twin):
    twins = run_twin([{"simulation": options} for options in RUNS])
    for options, twin in zip(RUNS, twins, strict=True):
        run = pb.simulate(streams=pb.Streams(), **options)
        assert set(run.errors) == set(run.normalizers) == {"restoring", "detection", "recognition"}
        for name, errors in run.errors.items():
            table = run.tables[pb.Simulation.table_names.index(name)]
            assert errors.dtype == np.float64 and errors.shape == table.shape
            assert errors.ravel().tolist() == twin[name]["normalised"], (options, name)
            assert run.normalizers[name].tolist() == twin[name]["normalizers"]
            assert np.array_equal(errors, table / run.normalizers[name]), name
            for error, per_mille, cell, divisor in zip(errors.ravel(), twin[name]["perMille"], table.ravel(),
                                                       np.tile(run.normalizers[name], len(table))):
                truncated = math.floor(error * 1000)
                # the double may round just below a whole per-mille (1001 / 1000)
                exact_whole = int(cell) * 1000 % int(divisor) == 0
                assert truncated == per_mille or (exact_whole and truncated == per_mille - 1), (name, cell)


def test_the_data_frame_holds_every_cell_once(pb, monkeypatch):
    run = pb.simulate(streams=pb.Streams(), **RUNS[3])
    frame = run.to_dataframe()
    L, P = len(run.noise_levels), len(run.pulse_counts)
    assert list(frame.columns) == ["table", "noise", "pulses", "sum", "error"]
    assert len(frame) == 6 * L * P
    assert frame["sum"].tolist() == run.tables.ravel().tolist()
    assert frame["table"].tolist() == [name for name in pb.Simulation.table_names for _ in range(L * P)]
    assert frame["noise"].tolist() == np.repeat(run.noise_levels, P).tolist() * 6
    assert frame["pulses"].tolist() == np.tile(run.pulse_counts, 6 * L).tolist()
    for name, errors in run.errors.items():
        assert frame[frame["table"] == name]["error"].tolist() == errors.ravel().tolist()
    assert frame[frame["table"].str.startswith("unused")]["error"].isna().all()
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="needs pandas"):
        run.to_dataframe()


def test_progress_is_reported_on_the_calling_thread_up_to_the_end(pb):
    import threading

    calls = []
    pb.simulate(streams=pb.Streams(), progress=lambda done, total: calls.append((done, total, threading.get_ident())),
                **RUNS[0])
    total = 2 * 3 * 4
    assert calls[0][:2] == (1, total) and calls[-1][:2] == (total, total)
    assert [c[0] for c in calls] == sorted({c[0] for c in calls})
    assert {c[2] for c in calls} == {threading.get_ident()}


class Stop(Exception):
    pass


@pytest.mark.parametrize("threads", [1, 2])
def test_an_exception_from_progress_cancels_the_run_and_leaves_the_streams(pb, threads):
    streams = pb.Streams()
    before = streams.copy()
    calls = []

    def stop(done, total):
        calls.append(done)
        raise Stop(f"stopped at {done} of {total}")

    # the whole default grid would take hours: only a cancel ends this call soon
    with pytest.raises(Stop, match="stopped at 1 of "):
        pb.simulate(repeats=2000, threads=threads, progress=stop, streams=streams)
    assert calls == [1] and streams == before
    again = pb.simulate(streams=streams, **RUNS[0])
    assert again.tables.tolist() == pb.simulate(streams=pb.Streams(), **RUNS[0]).tables.tolist()


def test_a_progress_callback_touching_the_runs_streams_gets_a_runtime_error(pb):
    streams = pb.Streams()
    with pytest.raises(RuntimeError, match="in use by the simulate call"):
        pb.simulate(repeats=2000, progress=lambda done, total: streams.state, streams=streams)
    assert streams == pb.Streams()


def test_ctrl_c_interrupts_the_run_and_leaves_the_streams(tmp_path):
    # No progress callback: only the run's own check of the signals can stop it.
    script = textwrap.dedent("""
        import os, signal, sys, threading, time
        import pulsebench as pb

        main = threading.get_ident()
        def interrupt():
            while sys._current_frames()[main].f_lineno != CALL:
                time.sleep(0.01)
            time.sleep(0.3)  # inside the call, which would take hours
            os.kill(os.getpid(), signal.SIGINT)
        streams = pb.Streams()
        CALL = sys._getframe().f_lineno + 3
        threading.Thread(target=interrupt, daemon=True).start()
        try:
            pb.simulate(repeats=2000, threads=1, streams=streams)
            print("not interrupted")
        except KeyboardInterrupt:
            print("interrupted", streams == pb.Streams())
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=600)
    assert done.stdout.strip() == "interrupted True", done.stderr


# Refused by the engine's checks: the module's message is the command's.
ENGINE_REFUSALS = [dict(tmin=100, tmax=50), dict(tmax=19), dict(pulses_from=9, pulses_to=3),
                   dict(noise_initial=32000, noise_steps=10, noise_step=100)]


@pytest.mark.parametrize("options", ENGINE_REFUSALS)
def test_requests_the_engine_refuses_raise_the_commands_message(pb, program, tmp_path, options):
    done = subprocess.run([program, "simulate", "--quiet", "--out", str(tmp_path), *command_line(options)],
                          capture_output=True, text=True, timeout=600)
    assert done.returncode != 0
    message = done.stderr.strip().removeprefix("pulsebench simulate: ")
    before = pb.default_streams().copy()
    with pytest.raises(ValueError) as refused:
        pb.simulate(**options)
    assert str(refused.value) == "simulate: " + message
    assert pb.default_streams() == before


@pytest.mark.parametrize("arguments, error, words", [
    (((1,), {}), TypeError, "keyword arguments only"),
    (((), dict(lenght=300)), TypeError, "lenght"),
    (((), dict(length=300.0)), TypeError, "length must be an integer"),
    (((), dict(repeats=True)), TypeError, "repeats must be an integer"),
    (((), dict(repeats=2 ** 70)), ValueError, "repeats must be in"),
    (((), dict(subsets="1,2;3,4")), TypeError, "subsets must be a list"),
    (((), dict(subsets=[[1, 2], [1.5]])), TypeError, "subsets[1]"),
    (((), dict(subsets=[[1, 2], []], task=2, series_type=36)), ValueError, "--subsets"),
    (((), dict(subset=[0, 3], series_type=36)), ValueError, "--subset: etalon numbers 1..20"),
    (((), dict(threads=65)), ValueError, "threads must be in 0..64"),
    (((), dict(seed=-1)), ValueError, "seed must be in 0..4294967295"),
    (((), dict(seed=2 ** 32)), ValueError, "seed must be in 0..4294967295"),
    (((), dict(seed="7")), TypeError, "seed must be an integer"),
    (((), dict(progress=5)), TypeError, "progress must be a callable"),
    (((), dict(streams=5)), TypeError, "streams must be a pulsebench.Streams"),
    (((), dict(length=300, pulses_from=30, pulses_to=30, repeats=1)), ValueError, "simulate"),
    (((), dict(pulses_from=0, pulses_to=32767, noise_steps=4096, noise_step=0)), MemoryError, "out of memory"),
])
def test_bad_keywords_raise_naming_what_is_wrong_and_draw_nothing(pb, arguments, error, words):
    positional, keywords = arguments
    before = pb.default_streams().copy()
    with pytest.raises(error) as raised:
        pb.simulate(*positional, **keywords)
    assert words in str(raised.value)
    assert pb.default_streams() == before
