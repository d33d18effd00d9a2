"""The pictures' entry points take a library (or a set of patterns) only by its own type: every
object that merely claims the class gets the one wrong-type error, before anything is made."""

import pytest

from kinetrope import PatternLibrary

from class_claims import CLAIMANTS
from kinetrope_tools.base.instances import WrongTypeError
from kinetrope_tools.patterns.library import PatternSet
from kinetrope_tools.pictures.animation import animate
from kinetrope_tools.pictures.gallery import build
from kinetrope_tools.pictures.render import render
from kinetrope_tools.pictures.sheets import preview

BOUNCE = PatternSet()["bounce"]

# name: (the class taken, the value's name in the message, the call given a folder and the claimant)
USES = {
    "gallery.build": (PatternLibrary, "library", lambda out, o: build(out / "gallery", library=o, progress=False)),
    "animate": (PatternLibrary, "library", lambda out, o: animate(out / "a.gif", BOUNCE, bpm=120.0, library=o)),
    "render": (PatternLibrary, "library", lambda out, o: render(out / "v.mp4", out / "song.wav", ["bounce"], library=o)),
    "preview": (PatternSet, "patterns", lambda out, o: preview(out / "sheet.png", o, [BOUNCE])),
}


@pytest.mark.parametrize("kind", CLAIMANTS)
@pytest.mark.parametrize("use", USES)
def test_a_claimant_gets_the_wrong_type_error_and_nothing_is_made(tmp_path, use, kind):
    cls, what, call = USES[use]
    claimant = CLAIMANTS[kind](cls)
    with pytest.raises(WrongTypeError) as refused:
        call(tmp_path, claimant)
    assert str(refused.value) == f"{what} must be a {cls.__module__}.{cls.__qualname__}, not {type(claimant).__qualname__}"
    assert list(tmp_path.iterdir()) == []
