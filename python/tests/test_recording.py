# Recordings from files: read_signal and read_etalons read what `pulsebench
# detect` reads, scale it the same way, and the detectors find a pulse train
# laid into a file at its positions; every bad file or argument is a
# ValueError that names the fault.
import wave

import numpy as np
import pytest


def write_wav(path, rate, frames):
    """16-bit PCM, frames of shape (samples, channels)."""
    with wave.open(str(path), "wb") as w:
        w.setnchannels(frames.shape[1])
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames.astype("<i2").tobytes())


def pulse_train(etalons, positions, numbers, length, noise, seed):
    rng = np.random.default_rng(seed)
    x = rng.normal(0, noise, length)
    for at, e in zip(positions, numbers):
        x[at:at + etalons.shape[1]] += etalons[e - 1]
    return x


def test_a_train_in_a_file_is_read_scaled_and_detected_at_its_positions(pb, tmp_path):
    rng = np.random.default_rng(5)
    etalons = rng.uniform(-0.5, 0.5, (3, 16))
    np.savetxt(tmp_path / "etalons.csv", etalons, delimiter=",")
    positions, at = [], int(rng.integers(0, 60))
    while at + 16 <= 2800:
        positions.append(at)
        at += int(rng.integers(50, 90))
    numbers = rng.integers(1, 4, len(positions))
    x = pulse_train(etalons, positions, numbers, positions[-1] + 40, 0.01, 6)
    for name in ("signal.npy", "signal.csv"):
        (np.save if name.endswith(".npy") else lambda p, v: np.savetxt(p, v))(tmp_path / name, x)
        read = pb.read_etalons(str(tmp_path / "etalons.csv"))
        assert read.dtype == np.float64 and read.shape == (3, 16)
        np.testing.assert_allclose(read, etalons, rtol=1e-12)
        samples, rate, report = pb.read_signal(str(tmp_path / name), rate=4000, etalons=read, tmin=40)
        assert rate == 4000.0 and report["rate_source"] == "rate" and report["channels"] == 1
        np.testing.assert_allclose(samples, x, rtol=1e-12)
        scaled, alphabet = report["samples"], report["etalons"]
        assert scaled.dtype == np.int16 and alphabet.dtype == np.int16 and alphabet.shape == (3, 16)
        np.testing.assert_array_equal(scaled, np.clip(np.round(x * report["factor"]), -report["amplitude"],
                                                      report["amplitude"]))
        assert report["clipped"] == 0 and max(abs(scaled).max(), abs(alphabet).max()) == report["amplitude"]
        found = pb.detect_unfixed(scaled, alphabet, 40, 100, 100)
        assert list(found.positions) == positions
        assert list(found.etalons) == list(numbers)


def test_an_audio_channel_reads_in_the_units_of_its_format_with_the_file_rate(pb, tmp_path):
    frames = np.array([[1, -2], [300, 4], [-32768, 32767]])
    write_wav(tmp_path / "two.wav", 8000, frames)
    for channel in (0, 1):
        samples, rate, report = pb.read_signal(str(tmp_path / "two.wav"), channel)
        np.testing.assert_array_equal(samples, frames[:, channel])
        assert rate == 8000.0 and report["rate_source"] == "file" and report["channels"] == 2
        assert report["etalons"] is None
    # An explicit scale clips the signal and counts it.
    samples, rate, report = pb.read_signal(str(tmp_path / "two.wav"), scale=1.0)
    assert report["factor"] == 1.0 and report["clipped"] == 1 and report["amplitude"] < 32767  # -32768 only


@pytest.mark.parametrize("call, message", [
    (lambda pb, d: pb.read_signal(str(d / "absent.wav")), "absent.wav: no such file"),
    (lambda pb, d: pb.read_signal(str(d / "two.wav"), 2), "channel 2 does not exist"),
    (lambda pb, d: pb.read_signal(str(d / "two.wav"), rate=0), "rate must be a positive number"),
    (lambda pb, d: pb.read_signal(str(d / "two.wav"), scale="big"), "scale must be \"auto\" or a positive number"),
    (lambda pb, d: pb.read_signal(str(d / "two.wav"), etalons=[[1.0, np.nan]]), "NaN or infinity"),
    (lambda pb, d: pb.read_signal(str(d / "two.wav"), etalons=np.ones((1, 2)), scale=1e9), "above the limit"),
    (lambda pb, d: pb.read_signal(str(d / "words.csv")), "line 2, column 1: \"abc\" is not a number"),
    (lambda pb, d: pb.read_etalons(str(d / "words.csv")), "line 2, column 1"),
    (lambda pb, d: pb.read_etalons(str(d / "absent.npy")), "absent.npy: no such file"),
])
def test_every_bad_file_or_argument_is_a_value_error_that_names_the_fault(pb, tmp_path, call, message):
    write_wav(tmp_path / "two.wav", 8000, np.array([[1, 2], [3, 4]]))
    (tmp_path / "words.csv").write_text("1\nabc\n")
    with pytest.raises(ValueError, match="read_(signal|etalons): ") as caught:
        call(pb, tmp_path)
    assert message in str(caught.value)
