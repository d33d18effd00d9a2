"""The patterns' entry points take a library or a pattern only by its own type, as the module
does: every object that merely claims the class gets the one error any wrong type gets."""

import pytest

from kinetrope import PatternLibrary, SampledPattern

from class_claims import CLAIMANTS, VALID_ARGS
from kinetrope_tools.base.errors import KinetropeError
from kinetrope_tools.base.instances import WrongTypeError
from kinetrope_tools.patterns.arrays import PatternTable, rows, sample_many
from kinetrope_tools.patterns.library import PatternSet
from kinetrope_tools.patterns.packs import dumps_pack, library_of, pattern_record, save_pack

# name: (the class taken, the value's name in the message, the call given the claimant)
USES = {
    "PatternSet": (PatternLibrary, "library", PatternSet),
    "rows": (PatternLibrary, "library", lambda o: rows("bounce", o)),
    "sample_many": (PatternLibrary, "library", lambda o: sample_many("bounce", [0, 1], o)),
    "PatternTable": (PatternLibrary, "library", PatternTable),
    "pattern_record": (SampledPattern, "pattern", pattern_record),
    "dumps_pack": (SampledPattern, "patterns[1]", lambda o: dumps_pack([SampledPattern(*VALID_ARGS[SampledPattern]), o])),
    "library_of": (SampledPattern, "patterns[1]", lambda o: library_of([SampledPattern(*VALID_ARGS[SampledPattern]), o])),
}


@pytest.mark.parametrize("kind", CLAIMANTS)
@pytest.mark.parametrize("use", USES)
def test_a_claimant_gets_the_wrong_type_error(use, kind):
    cls, what, call = USES[use]
    claimant = CLAIMANTS[kind](cls)
    with pytest.raises(WrongTypeError) as refused:
        call(claimant)
    assert isinstance(refused.value, KinetropeError) and isinstance(refused.value, TypeError)
    assert str(refused.value) == f"{what} must be a kinetrope.{cls.__name__}, not {type(claimant).__qualname__}"


@pytest.mark.parametrize("kind", CLAIMANTS)
def test_a_pack_of_a_claimant_is_not_written(tmp_path, kind):
    with pytest.raises(WrongTypeError):
        save_pack(tmp_path / "pack.json", [CLAIMANTS[kind](SampledPattern)])
    assert list(tmp_path.iterdir()) == []
