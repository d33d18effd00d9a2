"""Choosing patterns by name or glob, their families and their periods in words."""

import pytest

import kinetrope
from kinetrope_tools.patterns.library import PatternSet, UnknownPattern, family_of, period_label


@pytest.mark.parametrize(
    ("period", "label"),
    [(64, "1 beat"), (32, "0.5 beats"), (128, "2 beats"), (160, "2.5 beats"), (1024, "16 beats"), (1, "0.015625 beats")],
)
def test_period_label(period, label):
    assert period_label(period) == label


@pytest.mark.parametrize(
    ("name", "family"),
    [("bounce", "shape"), ("helix", "shape"), ("ochre_background", "drift"), ("flam", "rudiment"),
     ("single_paradiddle", "rudiment"), ("rudiment_six_stroke", "rudiment"), ("lfo_breathe", "lfo"),
     ("euclid_2_5", "euclid"), ("beat_house_classic_bounce", "beat")],
)
def test_family_of(name, family):
    assert family_of(name) == family


def test_every_default_pattern_has_a_family_shared_with_others_or_analytic():
    families = [family_of(e["name"]) for e in kinetrope.catalogue()]
    lonely = {f for f in families if families.count(f) == 1}
    assert lonely <= {"drift"}


def test_choose_keeps_catalogue_order_per_argument_and_each_pattern_once():
    patterns = PatternSet()
    chosen = [e.name for e in patterns.choose(["helix", "euclid_3_*", "helix", "euclid_3_7", "bounce"])]
    euclid_3 = [e["name"] for e in kinetrope.catalogue() if e["name"].startswith("euclid_3_")]
    assert chosen == ["helix", *euclid_3, "bounce"]


@pytest.mark.parametrize(
    ("wanted", "message"),
    [
        ("helx", "unknown pattern 'helx'; did you mean helix?"),
        ("qqqqqqqq", "unknown pattern 'qqqqqqqq'"),
        ("zz_*", "no pattern matches 'zz_*'"),
        ("Bounce", "unknown pattern 'Bounce'; did you mean bounce"),
    ],
)
def test_unknown_names_suggest_the_nearest(wanted, message):
    with pytest.raises(UnknownPattern) as error:
        PatternSet().choose([wanted])
    assert str(error.value.args[0]).startswith(message)


def test_a_library_adds_its_own_patterns_as_a_pack_family():
    mine = kinetrope.SampledPattern("mine", "my own", [[0.0, 0.0, 0.5]])
    patterns = PatternSet(kinetrope.PatternLibrary([mine]))
    entry = patterns["mine"]
    assert (entry.family, entry.period_pips, entry.dimensions, entry.period) == ("pack", 1, 3, "0.015625 beats")
    assert patterns.rows("mine").tolist() == [[0.0, 0.0, 0.5]]
    assert patterns["helix"].family == "shape"
