"""An object is taken as an instance of one of the module's classes only when
its own type is that class or a subclass of it, whatever its __class__ says."""

import pathlib
import subprocess
import sys

import pytest

from kinetrope import PatternLibrary, SampledPattern, SampledRecording

from class_claims import CLAIMANTS, USES, VALID_ARGS
from exact import hexes

CLAIMS_SCRIPT = pathlib.Path(__file__).parents[1] / "support" / "class_claims.py"


@pytest.mark.parametrize("use", USES)
def test_claimants_get_the_wrong_type_error(use):
    # In a process of its own: a claimant read as a bound instance crashes it.
    run = subprocess.run(
        [sys.executable, str(CLAIMS_SCRIPT), use], capture_output=True, text=True, timeout=120, check=False
    )
    assert run.returncode == 0, run.stderr[-3000:]
    outcomes = dict(line.split("\t", 1) for line in run.stdout.splitlines())
    assert list(outcomes) == list(CLAIMANTS)
    refusal = outcomes["wrong_type"]
    assert refusal.startswith("TypeError: ")
    assert outcomes == dict.fromkeys(CLAIMANTS, refusal)


class OwnPattern(SampledPattern):
    pass


class OwnLibrary(PatternLibrary):
    pass


class OwnRecording(SampledRecording):
    pass


class PatternClaimingInt(SampledPattern):
    """A real subclass whose __class__ lies the other way: its type decides."""

    __class__ = property(lambda self: int)


def read_pattern(p):
    return (
        SampledPattern.sample(p, 3).as_tuple(),
        SampledPattern.name.fget(p),
        SampledPattern.description.fget(p),
        SampledPattern.period_pips.fget(p),
        PatternLibrary([p]).sample("p", 0).as_tuple(),
        PatternLibrary(patterns=(p,)).catalogue()[-1],
    )


def read_library(lib):
    return hexes(PatternLibrary.sample(lib, "sway", 7)), PatternLibrary.catalogue(lib)[-1]


def read_recording(r):
    getters = ("name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip")
    return SampledRecording.sample(r, 0), [getattr(SampledRecording, g).fget(r) for g in getters]


@pytest.mark.parametrize(
    "base, subclass, read",
    [
        (SampledPattern, OwnPattern, read_pattern),
        (SampledPattern, PatternClaimingInt, read_pattern),
        (PatternLibrary, OwnLibrary, read_library),
        (SampledRecording, OwnRecording, read_recording),
    ],
    ids=["pattern", "pattern_claiming_int", "library", "recording"],
)
def test_subclasses_are_taken_as_their_base(base, subclass, read):
    assert read(subclass(*VALID_ARGS[base])) == read(base(*VALID_ARGS[base]))
