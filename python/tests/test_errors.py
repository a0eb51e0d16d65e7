# Bad arguments raise TypeError or ValueError with a message that names what is
# wrong, and leave every Streams as it was; nothing aborts the interpreter.
import numpy as np
import pytest


@pytest.fixture(scope="module")
def alphabet(pb):
    return pb.standard_alphabet(streams=pb.Streams())


@pytest.fixture(scope="module")
def signal(pb, alphabet):
    return pb.make_series(alphabet, streams=pb.Streams()).noisy


@pytest.mark.parametrize("values, message", [
    (np.array([0, 32768]), "sample 1 is 32768, outside the 16-bit range"),
    (np.array([-32769]), "sample 0 is -32769"),
    (np.array([2 ** 64 - 1], dtype=np.uint64), "outside the 16-bit range"),
    (np.zeros(32768, dtype=np.int16), "x has 32768 samples; the detectors take 1..32767"),
    (np.zeros(0, dtype=np.int16), "x has 0 samples"),
    (np.zeros((2, 600), dtype=np.int16), "x must have 1 dimension, not 2"),
])
def test_signals_the_detectors_cannot_take_are_refused(pb, alphabet, values, message):
    with pytest.raises(ValueError, match=message):
        pb.detect_fixed(values, alphabet, 18)


def test_non_integer_arguments_are_type_errors(pb, alphabet, signal):
    with pytest.raises(TypeError, match="x must be an integer array, not of dtype float64"):
        pb.detect_fixed(signal.astype(float), alphabet, 18)
    with pytest.raises(TypeError, match="alphabet must be an integer array"):
        pb.detect_unfixed(signal, alphabet > 0)
    with pytest.raises(TypeError):
        pb.detect_fixed(signal, alphabet, 18.5)
    with pytest.raises(TypeError):
        pb.detect_fixed(signal, alphabet, 18, threshold=3)  # no such keyword
    with pytest.raises(TypeError, match="streams must be a pulsebench.Streams, not dict"):
        pb.make_series(alphabet, streams={})


@pytest.mark.parametrize("call, message", [
    (lambda pb, a, x: pb.detect_fixed(x, a, 31), r"pulses must be in 6\.\.30 for a signal of 1200 samples"),
    (lambda pb, a, x: pb.detect_fixed(x, a, 18, tmin=200, tmax=100), r"tmax must be in 200\.\.65535, not 100"),
    (lambda pb, a, x: pb.detect_fixed(x, a, 18, level=101), r"level must be in 0\.\.100"),
    (lambda pb, a, x: pb.detect_fixed(x, a, 18, required=[0]), r"required: entry 0 is 0, not in 1\.\.20"),
    (lambda pb, a, x: pb.detect_fixed(x, a, 18, required=[]), "required must hold at least one etalon"),
    (lambda pb, a, x: pb.detect_fixed(x, a, 18, chains=0), r"chains must be in 1\.\.32767"),
    (lambda pb, a, x: pb.detect_unfixed(x, a, min_pulses=9, max_pulses=8), "min_pulses and max_pulses must satisfy"),
    (lambda pb, a, x: pb.detect_unfixed(x, a, max_pulses=31), r"max_pulses <= 30"),
    (lambda pb, a, x: pb.detect_fixed(x, a, 1, tmin=10, tmax=15), r"the etalon length \(20\) must not exceed tmax"),
    (lambda pb, a, x: pb.detect_fixed(x[:10], a, 1), r"must not exceed tmax \(181\) or the signal length \(10\)"),
    (lambda pb, a, x: pb.detect_fixed_tuples(x, a, [1, 21], 18), r"subset: entry 1 is 21, not in 1\.\.20"),
    (lambda pb, a, x: pb.recognize_fixed_tuples(x, a, [], 18), "subsets must hold at least one tuple"),
    (lambda pb, a, x: pb.recognize_unfixed_tuples(x, a, [[1], []]), "tuple 2 must hold 1..32767"),
    (lambda pb, a, x: pb.detect_fixed(x, a[:, :0], 18), r"alphabet etalons must have 1\.\.65535 samples"),
    (lambda pb, a, x: pb.detect_fixed(x, np.zeros((21, 20), dtype=np.int16), 18), r"1\.\.20 etalons"),
    (lambda pb, a, x: pb.detect_fixed(x, a[0], 18), "alphabet must have 2 dimensions, not 1"),
])
def test_detector_arguments_are_checked_at_the_door(pb, alphabet, signal, call, message):
    with pytest.raises(ValueError, match=message):
        call(pb, alphabet, signal)


@pytest.mark.parametrize("options, message", [
    ({"pulses": 40}, r"pulses must be in 6\.\.30 for a series of 1200 samples"),
    ({"length": 40000}, r"length must be in 1\.\.32767"),
    ({"noise": -1}, r"noise must be in 0\.\.32767"),
    ({"sequence": [1] * 17}, "sequence needs at least 18 entries, not 17"),
    ({"sequence": [1] * 29 + [21], "random_count": True}, r"sequence: entry 29 is 21, not in 1\.\.20"),
    ({"subset": []}, "subset must hold at least one etalon"),
    ({"subset": [1] * 31}, "subset may hold at most 30 etalons"),
    ({"subset": [1], "employment": 6}, r"employment must be in 1\.\.5"),
    ({"tmin": 10, "tmax": 19}, r"the etalon length \(20\) must not exceed tmax"),
])
def test_refused_series_leave_the_streams_as_they_were(pb, alphabet, options, message):
    streams = pb.Streams()
    pb.make_series(alphabet, streams=streams)
    before = streams.state
    with pytest.raises(ValueError, match=message):
        pb.make_series(alphabet, streams=streams, **options)
    assert streams.state == before


def test_streams_state_is_set_whole_or_not_at_all(pb):
    streams = pb.Streams()
    fresh = streams.state
    for bad, error, message in [({**fresh, "wNoiseSeed": 40000}, ValueError, r'"wNoiseSeed"\] must be in'),
                                ({k: v for k, v in fresh.items() if k != "wPositionSeed"}, ValueError,
                                 'no entry "wPositionSeed"'),
                                ({**fresh, "wNoSuchSeed": 1}, ValueError, 'unknown stream "wNoSuchSeed"'),
                                ({**fresh, "wCutEndSeed": 1.5}, TypeError, '"wCutEndSeed" must be an integer')]:
        with pytest.raises(error, match=message):
            streams.state = {**bad, "wCutBeginSeed": 1}
        assert streams.state == fresh
    streams.state = {**fresh, "dwSequenceState": -7}
    assert streams.state["dwSequenceState"] == -7


@pytest.mark.parametrize("call, error, message", [
    (lambda pb: pb.standard_alphabet(count=21), ValueError, r"count must be in 1\.\.20"),
    (lambda pb: pb.standard_alphabet(length=0), ValueError, r"length must be in 1\.\.65535"),
    (lambda pb: pb.standard_alphabet(amplitude=0), ValueError, r"amplitude must be in 1\.\.32767"),
    (lambda pb: pb.restoring_error(None, None), TypeError, "series must be a pulsebench.Series"),
])
def test_other_calls_check_their_arguments(pb, call, error, message):
    with pytest.raises(error, match=message):
        call(pb)


def test_error_measures_refuse_a_detection_of_another_series(pb, alphabet):
    series = pb.make_series(alphabet, streams=pb.Streams())
    other = pb.detect_fixed(series.noisy[:600], alphabet, 9)
    with pytest.raises(ValueError, match="the detection .600 samples, etalons of 20. is not of this series"):
        pb.detection_error(series, other)
    with pytest.raises(ValueError, match="detectFixedPulses recognises nothing"):
        pb.recognition_error(other, 1)
    with pytest.raises(ValueError, match="the alphabet's etalons have 19 samples"):
        pb.restore(alphabet[:, :19], other)
