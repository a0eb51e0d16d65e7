# Type stubs of the module pulsebench: detection and recognition of pulse
# series in noise. Arrays are NumPy arrays: samples int16, per-pulse values int64.
from typing import Callable, ClassVar, Optional, Sequence, Union

import numpy as np
import numpy.typing as npt
import pandas as pd

__version__: str

_IntArray = Union[npt.NDArray[np.integer], Sequence[int]]
_Alphabet = Union[npt.NDArray[np.integer], Sequence[Sequence[int]]]


class Streams:
    """Every random stream's state; a new one starts as a freshly started program."""

    def __init__(self) -> None: ...
    @property
    def state(self) -> dict[str, int]:
        """wCutBeginSeed, wCutEndSeed, wPositionSeed, wQuantitySeed, wSubsetShiftSeed,
        wSubsetGapSeed, wNoiseEtalonSeed, dwSequenceState, wNoiseSeed."""
    @state.setter
    def state(self, value: dict[str, int]) -> None: ...
    def copy(self) -> Streams: ...
    def __eq__(self, other: object) -> bool: ...


def default_streams() -> Streams:
    """The module's own Streams, used by every call given no streams=."""


def standard_alphabet(count: int = 20, length: int = 20, amplitude: int = 128, *,
                      streams: Optional[Streams] = None) -> npt.NDArray[np.int16]:
    """The program's etalons: an int16 array (count, length); row i is etalon i + 1."""


class Series:
    """A built series with its truth."""

    @property
    def noisy(self) -> npt.NDArray[np.int16]: ...
    @property
    def pure(self) -> npt.NDArray[np.int16]: ...
    @property
    def positions(self) -> npt.NDArray[np.int64]: ...
    @property
    def etalons(self) -> npt.NDArray[np.int64]: ...
    @property
    def cut_begin(self) -> npt.NDArray[np.int64]: ...
    @property
    def cut_end(self) -> npt.NDArray[np.int64]: ...
    @property
    def low_bounds(self) -> npt.NDArray[np.int64]: ...
    @property
    def high_bounds(self) -> npt.NDArray[np.int64]: ...
    @property
    def pulses(self) -> int: ...
    @property
    def min_pulses(self) -> int: ...
    @property
    def max_pulses(self) -> int: ...
    @property
    def length(self) -> int: ...
    @property
    def tmin(self) -> int: ...
    @property
    def tmax(self) -> int: ...
    @property
    def alphabet(self) -> npt.NDArray[np.int16]: ...
    @property
    def header(self) -> dict[str, object]:
        """The series record, keyed and valued as the JSON dump of a series."""
    def __len__(self) -> int: ...


def make_series(alphabet: _Alphabet, length: int = 1200, tmin: int = 40, tmax: int = 181, pulses: int = 18,
                level: int = 75, noise: int = 20, *, sequence: Optional[_IntArray] = None,
                random_count: bool = False, subset: Optional[_IntArray] = None, employment: int = 4, init: int = 1,
                amplitude: int = 128, streams: Optional[Streams] = None) -> Series:
    """A test series with its truth, built as the program builds the next series."""


class Chain:
    """One of the best chains a detector found."""

    @property
    def positions(self) -> npt.NDArray[np.int64]: ...
    @property
    def etalons(self) -> npt.NDArray[np.int64]: ...
    @property
    def cut_begin(self) -> npt.NDArray[np.int64]: ...
    @property
    def cut_end(self) -> npt.NDArray[np.int64]: ...
    @property
    def cost(self) -> int: ...


class Detection:
    """What a detector found."""

    @property
    def positions(self) -> npt.NDArray[np.int64]: ...
    @property
    def etalons(self) -> npt.NDArray[np.int64]: ...
    @property
    def cut_begin(self) -> npt.NDArray[np.int64]: ...
    @property
    def cut_end(self) -> npt.NDArray[np.int64]: ...
    @property
    def cost(self) -> Optional[int]: ...
    @property
    def recognized(self) -> Optional[int]: ...
    @property
    def tuple_first(self) -> npt.NDArray[np.int64]: ...
    @property
    def tuple_last(self) -> npt.NDArray[np.int64]: ...
    @property
    def sought(self) -> int: ...
    @property
    def length(self) -> int: ...
    @property
    def detector(self) -> str: ...
    @property
    def chains(self) -> list[Chain]: ...


def detect_fixed(x: _IntArray, alphabet: _Alphabet, pulses: int, tmin: int = 40, tmax: int = 181, level: int = 75, *,
                 required: Optional[_IntArray] = None, chains: int = 10) -> Detection:
    """Detects `pulses` pulses, the best etalon of `required` for each."""


def detect_unfixed(x: _IntArray, alphabet: _Alphabet, tmin: int = 40, tmax: int = 181, level: int = 75, *,
                   min_pulses: Optional[int] = None, max_pulses: Optional[int] = None,
                   required: Optional[_IntArray] = None, chains: int = 10) -> Detection:
    """Detects between min_pulses and max_pulses pulses, the best etalon of `required` for each."""


def recognize_fixed(x: _IntArray, alphabet: _Alphabet, pulses: int, tmin: int = 40, tmax: int = 181, level: int = 75,
                    *, required: Optional[_IntArray] = None, chains: int = 10) -> Detection:
    """Recognises the one etalon of `required` that all `pulses` pulses share."""


def recognize_unfixed(x: _IntArray, alphabet: _Alphabet, tmin: int = 40, tmax: int = 181, level: int = 75, *,
                      min_pulses: Optional[int] = None, max_pulses: Optional[int] = None,
                      required: Optional[_IntArray] = None, chains: int = 10) -> Detection:
    """Recognises the one etalon of `required` that all pulses share, their count unknown."""


def detect_fixed_tuples(x: _IntArray, alphabet: _Alphabet, subset: _IntArray, pulses: int, tmin: int = 40,
                        tmax: int = 181, level: int = 100, *, proceeding: int = 1, chains: int = 10) -> Detection:
    """Detects `pulses` pulses following the tuple `subset` cyclically."""


def detect_unfixed_tuples(x: _IntArray, alphabet: _Alphabet, subset: _IntArray, tmin: int = 40, tmax: int = 181,
                          level: int = 100, *, min_pulses: Optional[int] = None, max_pulses: Optional[int] = None,
                          proceeding: int = 1, chains: int = 10) -> Detection:
    """Detects pulses following the tuple `subset` cyclically, their count unknown."""


def recognize_fixed_tuples(x: _IntArray, alphabet: _Alphabet, subsets: Sequence[_IntArray], pulses: int,
                           tmin: int = 40, tmax: int = 181, level: int = 100, *, proceeding: int = 1,
                           chains: int = 10) -> Detection:
    """Recognises which of the tuples `subsets` the pulses follow (1-based `recognized`)."""


def recognize_unfixed_tuples(x: _IntArray, alphabet: _Alphabet, subsets: Sequence[_IntArray], tmin: int = 40,
                             tmax: int = 181, level: int = 100, *, min_pulses: Optional[int] = None,
                             max_pulses: Optional[int] = None, proceeding: int = 1,
                             chains: int = 10) -> Detection:
    """Recognises which of the tuples `subsets` the pulses follow, their count unknown."""


def restore(alphabet: _Alphabet, detection: Detection, length: Optional[int] = None) -> npt.NDArray[np.int16]:
    """The series restored from the detected pulses."""


def restoring_error(series: Series, detection: Detection) -> int:
    """The restoring error of one trial, as the simulation computes it."""


def detection_error(series: Series, detection: Detection) -> float:
    """The detection error of one trial, as the simulation computes it (a multiple of 1/128)."""


def recognition_error(detection: Detection, expected: int) -> int:
    """1 when the recogniser's result is not `expected`, else 0."""


class Simulation:
    """A finished statistical simulation: raw sums, normalised errors, the grid and the description."""

    table_names: ClassVar[tuple[str, str, str, str, str, str]]
    """restoring, detection, unused2, recognition, unused4, unused5: the tables in order."""
    @property
    def tables(self) -> npt.NDArray[np.int64]:
        """The raw sums, shape (6, noise levels, pulse counts), as simulation.json's lpErrors."""
    @property
    def noise_levels(self) -> npt.NDArray[np.int64]: ...
    @property
    def pulse_counts(self) -> npt.NDArray[np.int64]: ...
    @property
    def repeats(self) -> int: ...
    @property
    def description(self) -> dict[str, Union[int, str]]:
        """As simulation.json's description, without the wall clock."""
    @property
    def errors(self) -> dict[str, npt.NDArray[np.float64]]:
        """restoring, detection, recognition: sum / normaliser, shape (noise levels, pulse counts)."""
    @property
    def normalizers(self) -> dict[str, npt.NDArray[np.int64]]:
        """What each column of a table is divided by, keyed as errors."""
    @property
    def reference(self) -> dict[str, int]:
        """etEnergy, minSquare, Rmin, Rmax."""
    @property
    def start_time(self) -> int:
        """Wall clock: when the trials started, seconds since the epoch."""
    @property
    def elapsed_seconds(self) -> int:
        """Wall clock: seconds the trials took."""
    def to_dataframe(self) -> pd.DataFrame:
        """One row per table, noise level and pulse count: table, noise, pulses, sum, error."""


def simulate(*, length: int = 1200, tmin: int = 40, tmax: int = 181, task: int = 4, series_type: int = 2,
             making_level: Optional[int] = None, processing_level: Optional[int] = None,
             pulses_from: Optional[int] = None, pulses_to: Optional[int] = None, pulses_step: int = 1,
             noise_initial: int = 0, noise_steps: int = 29, noise_step: int = 5, repeats: int = 100,
             required: int = 20, subset: Optional[_IntArray] = None, subsets: Optional[Sequence[_IntArray]] = None,
             pick: int = 1, employment: int = 4, init: int = 1, proceeding: int = 1, seed: int = 0,
             threads: int = 0, progress: Optional[Callable[[int, int], object]] = None,
             streams: Optional[Streams] = None) -> Simulation:
    """The statistical simulation of `pulsebench simulate`, with its options as keywords."""


def read_signal(path: str, channel: int = 0, *, column: str = "", variable: str = "", rate: Optional[float] = None,
                etalons: Optional[npt.ArrayLike] = None, tmin: Optional[int] = None,
                scale: Union[str, float] = "auto") -> tuple[npt.NDArray[np.float64], float, dict[str, object]]:
    """One channel of a recording: (samples in the file's units, rate in Hz, scale report with int16 samples)."""


def read_etalons(path: str, variable: str = "") -> npt.NDArray[np.float64]:
    """Etalons from a .csv, .npy, .mat or a folder of audio files, shape (count, length), in the file's units."""
