"""Objects that claim to be one of the module's classes without being one,
and every call that takes an instance of a class.

Run as a script with the name of a use, it tries every claimant in that use
and prints one line per claimant: its kind, a tab, and the outcome. A
claimant read as a bound instance crashes the process, so the tests run each
use in a process of its own.
"""

import sys
from unittest import mock

from kinetrope import PatternLibrary, SampledPattern, SampledRecording

VALID_ARGS = {
    SampledPattern: ("p", "d", [[0.5, 0.0, 0.0]]),
    PatternLibrary: ([],),
    SampledRecording: ("r", ["a"], [[0.5]], 120.0),
}


def claims(cls):
    """A plain object whose __class__ says cls."""

    class Claimant:
        __class__ = property(lambda self: cls)

    return Claimant()


def impostor(cls):
    """A real, initialised instance of another bound class whose __class__ says cls."""
    other = SampledRecording if cls is not SampledRecording else SampledPattern

    class Impostor(other):
        __class__ = property(lambda self: cls)

    return Impostor(*VALID_ARGS[other])


# The first is no claimant: what every other kind must get is what any object
# of a wrong type gets.
CLAIMANTS = {
    "wrong_type": lambda cls: object(),
    "class_property": claims,
    "mock_of_class": lambda cls: mock.Mock(spec=cls),
    "non_callable_magic_mock_of_class": lambda cls: mock.NonCallableMagicMock(spec=cls),
    "autospec_instance": lambda cls: mock.create_autospec(cls, instance=True),
    "other_bound_class": impostor,
}

# name: (the class whose instance the call takes, the call given that instance)
USES = {
    "SampledPattern.__init__": (SampledPattern, lambda o: SampledPattern.__init__(o, *VALID_ARGS[SampledPattern])),
    "SampledPattern.sample": (SampledPattern, lambda o: SampledPattern.sample(o, 0)),
    "SampledPattern.name": (SampledPattern, lambda o: SampledPattern.name.fget(o)),
    "SampledPattern.description": (SampledPattern, lambda o: SampledPattern.description.fget(o)),
    "SampledPattern.period_pips": (SampledPattern, lambda o: SampledPattern.period_pips.fget(o)),
    "PatternLibrary(patterns)": (SampledPattern, lambda o: PatternLibrary([o])),
    "PatternLibrary(patterns=...) after a real one": (
        SampledPattern,
        lambda o: PatternLibrary(patterns=(SampledPattern(*VALID_ARGS[SampledPattern]), o)),
    ),
    "PatternLibrary.__init__": (PatternLibrary, lambda o: PatternLibrary.__init__(o, [])),
    "PatternLibrary.sample": (PatternLibrary, lambda o: PatternLibrary.sample(o, "bounce", 0)),
    "PatternLibrary.catalogue": (PatternLibrary, lambda o: PatternLibrary.catalogue(o)),
    "SampledRecording.__init__": (
        SampledRecording,
        lambda o: SampledRecording.__init__(o, *VALID_ARGS[SampledRecording]),
    ),
    "SampledRecording.sample": (SampledRecording, lambda o: SampledRecording.sample(o, 0)),
    "SampledRecording.name": (SampledRecording, lambda o: SampledRecording.name.fget(o)),
    "SampledRecording.dimensions": (SampledRecording, lambda o: SampledRecording.dimensions.fget(o)),
    "SampledRecording.sample_count": (SampledRecording, lambda o: SampledRecording.sample_count.fget(o)),
    "SampledRecording.bpm": (SampledRecording, lambda o: SampledRecording.bpm.fget(o)),
    "SampledRecording.beat_zero_seconds": (SampledRecording, lambda o: SampledRecording.beat_zero_seconds.fget(o)),
    "SampledRecording.start_pip": (SampledRecording, lambda o: SampledRecording.start_pip.fget(o)),
}


def outcome(call, obj):
    """'returned' or the exception's type and the first line of its message."""
    try:
        call(obj)
    except Exception as error:  # noqa: BLE001 - the outcome is what is reported
        lines = str(error).splitlines()
        return f"{type(error).__name__}: {lines[0] if lines else ''}"
    return "returned"


if __name__ == "__main__":
    cls, call = USES[sys.argv[1]]
    for kind, make in CLAIMANTS.items():
        print(f"{kind}\t{outcome(call, make(cls))}", flush=True)
