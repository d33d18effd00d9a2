"""Close names for a misspelt one: exactly difflib's answer, from an index instead of scoring every name."""

import difflib

import kinetrope
from hypothesis import given, settings
from hypothesis import strategies as st

from kinetrope_tools.base.close_names import CloseNames

NAMES = [e["name"] for e in kinetrope.catalogue()]
INDEX = CloseNames(NAMES)


def misspelt(name, edits):
    """The name with characters dropped, doubled or replaced at the given places."""
    letters = list(name)
    for place, kind, character in edits:
        place %= len(letters) + 1
        if kind == 0 and letters:
            del letters[min(place, len(letters) - 1)]
        elif kind == 1:
            letters.insert(place, character)
        elif letters:
            letters[min(place, len(letters) - 1)] = character
    return "".join(letters)


edits = st.lists(st.tuples(st.integers(0, 200), st.integers(0, 2), st.sampled_from("abeiou_x19é")), max_size=6)


@settings(max_examples=100, deadline=None)
@given(st.sampled_from(NAMES), edits, st.integers(1, 5), st.sampled_from([0.0, 0.5, 0.6, 0.8]))
def test_the_same_names_in_the_same_order_as_difflib(name, changes, n, cutoff):
    word = misspelt(name, changes)
    assert INDEX.nearest(word, n=n, cutoff=cutoff) == difflib.get_close_matches(word, NAMES, n=n, cutoff=cutoff)


@given(st.text(max_size=12), st.lists(st.text(max_size=8), max_size=12))
def test_any_text_against_any_names(word, names):
    assert CloseNames(names).nearest(word) == difflib.get_close_matches(word, names)
