"""Input that fights back: objects never initialised, buffers resized while
the call converts its other arguments, and lengths that lie."""

import sys
import threading
import time

import pytest

import kinetrope
from kinetrope import PatternLibrary, SampledPattern, SampledRecording

from exact import hexes


def bare(cls):
    """An instance made without running __init__."""
    return cls.__new__(cls)


UNINITIALISED_USES = [
    ("pattern.sample", lambda: bare(SampledPattern).sample(0)),
    ("pattern.name", lambda: bare(SampledPattern).name),
    ("pattern.description", lambda: bare(SampledPattern).description),
    ("pattern.period_pips", lambda: bare(SampledPattern).period_pips),
    ("library.sample", lambda: bare(PatternLibrary).sample("bounce", 0)),
    ("library.catalogue", lambda: bare(PatternLibrary).catalogue()),
    ("library of a bare pattern", lambda: PatternLibrary([bare(SampledPattern)])),
    ("recording.sample", lambda: bare(SampledRecording).sample(0)),
    ("recording.name", lambda: bare(SampledRecording).name),
    ("recording.dimensions", lambda: bare(SampledRecording).dimensions),
    ("recording.sample_count", lambda: bare(SampledRecording).sample_count),
    ("recording.bpm", lambda: bare(SampledRecording).bpm),
    ("recording.beat_zero_seconds", lambda: bare(SampledRecording).beat_zero_seconds),
    ("recording.start_pip", lambda: bare(SampledRecording).start_pip),
]


@pytest.mark.parametrize("use", [u for _, u in UNINITIALISED_USES], ids=[i for i, _ in UNINITIALISED_USES])
def test_uninitialised_instances_are_refused(use):
    with pytest.raises(TypeError, match="not initialised"):
        use()


@pytest.mark.parametrize(
    "build, again, read",
    [
        (
            lambda: SampledPattern("a", "first", [[0.5, 0.0, 0.0]]),
            ("b", "second", [[0.25, 0.0, 0.0]]),
            lambda p: (p.name, p.description, hexes(p.sample(0))),
        ),
        (
            lambda: SampledRecording("r", ["x"], [[0.5]], 120.0),
            ("s", ["y", "z"], [[0.1, 0.2]], 90.0),
            lambda r: (r.name, r.dimensions, r.sample(0), r.bpm),
        ),
    ],
    ids=["pattern", "recording"],
)
def test_a_second_init_changes_nothing(build, again, read):
    obj = build()
    before = read(obj)
    obj.__init__(*again)
    assert read(obj) == before


def resized_during_pip_conversion(name, replacement):
    class Pip:
        def __index__(self):
            name[:] = replacement
            return 0

    return Pip()


@pytest.mark.parametrize(
    "sample",
    [kinetrope.sample, PatternLibrary([]).sample],
    ids=["module", "library"],
)
@pytest.mark.parametrize(
    "name, replacement, expected",
    [
        # The name is read as it was when the call began.
        (b"lfo_breathe", b"zz", ("sample", "lfo_breathe")),
        (b"lfo_breathe" * 100, b"x" * 100000, ("error", "lfo_breathe" * 100)),
        (b"x" * (1 << 20), b"", ("error", "x" * (1 << 20))),
    ],
    ids=["shrunk", "grown", "emptied"],
)
def test_bytearray_name_is_copied_before_the_pip_converts(sample, name, replacement, expected):
    name = bytearray(name)
    pip = resized_during_pip_conversion(name, replacement)
    kind, text = expected
    if kind == "sample":
        assert hexes(sample(name, pip)) == hexes(kinetrope.sample(text, 0))
    else:
        with pytest.raises(ValueError) as caught:
            sample(name, pip)
        assert str(caught.value) == "Unknown dance rudiment: " + text


class YieldingPip:
    """A pip whose conversion lets other threads run."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        time.sleep(0)
        return self.value


def test_bytearray_name_resized_by_another_thread():
    name = bytearray(b"lfo_breathe")
    stop = threading.Event()

    def resize():
        while not stop.is_set():
            name[:] = b"x" * 4096
            name[:] = b"lfo_breathe"

    worker = threading.Thread(target=resize)
    worker.start()
    outcomes = set()
    try:
        for pip in range(2000):
            try:
                offset = kinetrope.sample(name, YieldingPip(pip))
                assert hexes(offset) == hexes(kinetrope.sample("lfo_breathe", pip))
                outcomes.add("sample")
            except ValueError as error:
                assert str(error) == "Unknown dance rudiment: " + "x" * 4096
                outcomes.add("unknown")
    finally:
        stop.set()
        worker.join()
    assert outcomes


class LyingLength(list):
    """A list whose __len__ claims a fixed number, whatever it holds."""

    def __init__(self, items, claimed):
        super().__init__(items)
        self.claimed = claimed

    def __len__(self):
        return self.claimed


@pytest.mark.parametrize(
    "rows",
    [
        [LyingLength([0.1, 0.2, 0.3], 2), LyingLength([0.4], 2)],
        [LyingLength([0.1, 0.2], 5), LyingLength([0.3, 0.4, 0.5], 2)],
        [[0.1, 0.2, 0.3], [0.4]],
    ],
    ids=["three-and-one-claiming-two", "two-and-three", "plain-ragged"],
)
def test_recording_rows_are_judged_by_what_they_yield(rows):
    with pytest.raises(ValueError, match="Ragged recording"):
        SampledRecording("r", ["a", "b"], rows, 120.0)


def test_recording_rows_whose_length_understates_are_accepted_whole():
    rows = [LyingLength([0.1, 0.2], 0), LyingLength([0.3, 0.4], 1)]
    recording = SampledRecording("r", ["a", "b"], rows, 120.0)
    assert (recording.sample_count, recording.sample(1)) == (2, [0.3, 0.4])


class ClaimsHuge:
    """A sequence that claims an enormous length but yields a few items."""

    def __init__(self, items, claimed):
        self.items, self.claimed = items, claimed

    def __len__(self):
        return self.claimed

    def __getitem__(self, index):
        return self.items[index]


HUGE = [10**12, sys.maxsize]


@pytest.mark.parametrize("claimed", HUGE)
def test_huge_claimed_lengths_get_the_outcome_of_what_they_yield(claimed):
    pattern = SampledPattern("p", "d", ClaimsHuge([[0.5, 0.0, 0.0]], claimed))
    assert pattern.period_pips == 1
    library = PatternLibrary(ClaimsHuge([pattern], claimed))
    assert library.catalogue()[-1]["name"] == "p"
    recording = SampledRecording("r", ClaimsHuge(["a", "b"], claimed), [[0.5, -0.5]], 120.0)
    assert recording.dimensions == ["a", "b"]
    recording = SampledRecording("r", ["a"], ClaimsHuge([[0.5], [0.25]], claimed), 120.0)
    assert recording.sample_count == 2
    recording = SampledRecording("r", ["a", "b"], [ClaimsHuge([0.5, 0.25], claimed)], 120.0)
    assert recording.sample(0) == [0.5, 0.25]
