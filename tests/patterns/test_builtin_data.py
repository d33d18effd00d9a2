"""The data the generator writes for the companion package, read back through
builtin_data and held against the module's own catalogue."""

import kinetrope
from kinetrope_tools.patterns import builtin_data

CATALOGUE = kinetrope.catalogue()
# The analytic patterns lead the catalogue: seven shapes, the drift, seven rudiments.
ANALYTIC = ["shape"] * 7 + ["drift"] + ["rudiment"] * 7


def test_every_default_pattern_has_its_family_in_catalogue_order():
    expected = {e["name"]: family for e, family in zip(CATALOGUE, ANALYTIC)}
    # A tabulated pattern is listed under the first word of its name.
    expected |= {e["name"]: e["name"].split("_", 1)[0] for e in CATALOGUE[len(ANALYTIC):]}
    assert list(builtin_data.families().items()) == list(expected.items())
    assert [builtin_data.family_of(e["name"]) for e in CATALOGUE] == list(expected.values())


def test_the_grooves_are_the_beat_styles_in_order_and_last_their_periods():
    beat = [e for e in CATALOGUE if e["name"].startswith("beat_")]
    styles = {e["name"].removeprefix("beat_").rsplit("_", 1)[0]: e["period_pips"] for e in beat}
    grooves = builtin_data.grooves()
    assert [score.key for score in grooves] == list(styles)
    assert {score.key: 256 * score.bars for score in grooves} == styles

