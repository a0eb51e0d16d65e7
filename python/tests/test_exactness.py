# The module gives what the program gives: the window's first Next Data replayed
# against the program's own dumps, and many random cases of every detector
# against the C++ twin (python/tests/twin.cpp), compared field by field.
import json
import random
import subprocess

import numpy as np
import pytest

PULSE_DETECTORS = {"detectFixedPulses": "detect_fixed", "detectUnfixedPulses": "detect_unfixed",
                   "recognizeFixedPulses": "recognize_fixed", "recognizeUnfixedPulses": "recognize_unfixed"}
TUPLE_DETECTORS = {"detectFixedTuples": "detect_fixed_tuples", "detectUnfixedTuples": "detect_unfixed_tuples",
                   "recognizeFixedTuples": "recognize_fixed_tuples",
                   "recognizeUnfixedTuples": "recognize_unfixed_tuples"}
NOTHING_RECOGNIZED = {"recognizeFixedPulses": -1, "recognizeUnfixedPulses": 65535, "recognizeFixedTuples": 0,
                      "recognizeUnfixedTuples": 0}
DETECTED_FIELDS = {"lpDetectedPositions": "positions", "lpDetectedNumbers": "etalons",
                   "lpDetectedCutBegin": "cut_begin", "lpDetectedCutEnd": "cut_end"}


def assert_same_detection(detection, header, chains):
    """The Detection against the series and chains records the engine left."""
    for field, attribute in DETECTED_FIELDS.items():
        assert getattr(detection, attribute).tolist() == header[field], field
    assert detection.tuple_first.tolist() == header["lpTupleFirst"]
    assert detection.tuple_last.tolist() == header["lpTupleLast"]
    assert detection.sought == chains["wSeekingPulsesQuantity"]
    assert [c.cost for c in detection.chains] == chains["distance"]
    assert [c.positions.tolist() for c in detection.chains] == chains["positionsList"]
    assert [c.etalons.tolist() for c in detection.chains] == chains["pulsesList"]
    assert [c.cut_begin.tolist() for c in detection.chains] == chains["firstSamplesList"]
    assert [c.cut_end.tolist() for c in detection.chains] == chains["lastSamplesList"]
    assert detection.cost == (chains["distance"][0] if chains["distance"] else None)


def without_detection(header):
    return {k: v for k, v in header.items() if k not in DETECTED_FIELDS and not k.startswith("wDetected")
            and k not in ("lpTupleFirst", "lpTupleLast", "wRecognizedTuple", "format_version")}


def test_first_next_data_equals_the_programs_dumps(pb, program, tmp_path):
    script = tmp_path / "next.txt"
    script.write_text("menu 40018\ndump series s1.json\ndump chains c1.json\n"
                      "menu 40018\ndump series s2.json\ndump chains c2.json\n")
    subprocess.run([program, "--headless", "--script", str(script), "--out", str(tmp_path)], check=True,
                   capture_output=True, timeout=300)
    streams = pb.Streams()
    alphabet = pb.standard_alphabet(streams=streams)
    # At start the window builds one series of etalon 1 without noise.
    noise_before = streams.state["wNoiseSeed"]
    pb.make_series(alphabet, sequence=[1] * 30, streams=streams)
    state = streams.state
    state["wNoiseSeed"] = noise_before
    streams.state = state
    for n in (1, 2):
        series = pb.make_series(alphabet, streams=streams)
        dumped = json.loads((tmp_path / f"s{n}.json").read_text())
        assert without_detection(series.header) == without_detection(dumped)
        detection = pb.detect_fixed(series.noisy, alphabet, series.pulses)
        assert_same_detection(detection, dumped, json.loads((tmp_path / f"c{n}.json").read_text()))


def random_case(rng):
    detector = rng.choice(list(PULSE_DETECTORS) + list(TUPLE_DETECTORS))
    tuples = detector in TUPLE_DETECTORS
    count, q = rng.randint(1, 20), rng.randint(3, 25)
    tmin = rng.randint(q, q + 40)
    tmax = rng.randint(tmin, tmin + 150)
    length = rng.randint(q + tmax, 1500)
    least, most = max(1, (length + q - 1) // tmax), (length + tmin - q) // tmin
    case = {"detector": detector, "count": count, "q": q, "amplitude": rng.choice([128, 60, 1000]),
            "length": length, "tmin": tmin, "tmax": tmax, "pulses": rng.randint(least, max(least, most)),
            "level": 100 if tuples else rng.choice([100, 75, 50, 25]), "noise": rng.choice([0, 5, 20, 50, 200]),
            "random_count": rng.random() < 0.3, "chains": rng.randint(1, 12)}
    case["proc_level"] = case["level"] if rng.random() < 0.7 else rng.choice([100, 75, 50])
    if rng.random() < 0.05:
        case["pulses"] = most + 1  # refused by both
    if rng.random() < 0.3:
        case["sequence"] = [rng.randint(1, count) for _ in range(most)]
    if tuples:
        make_tuple = lambda: [rng.randint(1, count) for _ in range(rng.randint(1, 4))]
        case["tuples"] = [make_tuple() for _ in range(rng.randint(1, 3))]
        case["tuple"] = case["tuples"][0]
        case["subset"] = rng.choice(case["tuples"])
        case["employment"], case["init"] = rng.randint(1, 5), rng.randint(1, 3)
        case["proceeding"] = rng.choice([1, 2]) if "Fixed" in detector else 1
    else:
        case["required"] = rng.sample(range(1, count + 1), rng.randint(1, count))
    return case


def module_case(pb, case):
    """The case through the module: the series, the streams after it, the detection."""
    streams = pb.Streams()
    alphabet = pb.standard_alphabet(case["count"], case["q"], case["amplitude"], streams=streams)
    options = {k: case[k] for k in ("sequence", "subset", "employment", "init") if k in case}
    series = pb.make_series(alphabet, case["length"], case["tmin"], case["tmax"], case["pulses"], case["level"],
                            case["noise"], random_count=case["random_count"], amplitude=case["amplitude"],
                            streams=streams, **options)
    state = list(streams.state.values())
    name = case["detector"]
    arguments = dict(tmin=case["tmin"], tmax=case["tmax"], level=case["proc_level"], chains=case["chains"])
    fixed = "Fixed" in name
    if fixed:
        arguments["pulses"] = series.pulses
    if name in PULSE_DETECTORS:
        detect = getattr(pb, PULSE_DETECTORS[name])
        detection = detect(series.noisy, alphabet, required=case["required"], **arguments)
    elif name.startswith("detect"):
        detect = getattr(pb, TUPLE_DETECTORS[name])
        detection = detect(series.noisy, alphabet, case["tuple"], proceeding=case["proceeding"], **arguments)
    else:
        detect = getattr(pb, TUPLE_DETECTORS[name])
        detection = detect(series.noisy, alphabet, case["tuples"], proceeding=case["proceeding"], **arguments)
    return alphabet, series, state, detection


def test_every_detector_equals_the_twin_over_random_cases(pb, run_twin):
    rng = random.Random(20240611)
    cases = [random_case(rng) for _ in range(400)]
    refused = 0
    for case, expected in zip(cases, run_twin(cases), strict=True):
        if "refused" in expected:
            with pytest.raises(ValueError):
                module_case(pb, case)
            refused += 1
            continue
        alphabet, series, state, detection = module_case(pb, case)
        assert series.header == expected["series"], case
        assert state == expected["streams"], case
        assert_same_detection(detection, expected["detected"], expected["chains"])
        if case["detector"] in NOTHING_RECOGNIZED:
            none = NOTHING_RECOGNIZED[case["detector"]]
            assert detection.recognized == (None if expected["result"] == none else expected["result"])
            assert pb.recognition_error(detection, 1) == int(expected["result"] != 1)
        assert pb.restoring_error(series, detection) == expected["restoring"]
        restored = pb.restore(alphabet, detection).astype(np.int64)
        assert min(int(((series.pure - restored) ** 2).sum()), 2 ** 31 - 1) == expected["restoring"]
        assert pb.detection_error(series, detection) * 128 == expected["detectionUnits"]
    assert 0 < refused < len(cases) // 4  # both kinds of case were tried
