"""Sampling default patterns by name: the analytic names, the built-in table
and unknown names."""

import pytest

import kinetrope
from exact import hexes

ANALYTIC = [e["name"] for e in kinetrope.catalogue()[:15]]


@pytest.mark.parametrize("name", ANALYTIC)
def test_analytic_names_sample_their_own_function(name):
    function = getattr(kinetrope, name)
    for pip in list(range(-300, 300)) + [-(2**31), 2**31 - 1]:
        assert hexes(kinetrope.sample(name, pip)) == hexes(function(pip))


def test_sampling_returns_new_objects():
    first, second = kinetrope.sample("bounce", 5), kinetrope.bounce(5)
    assert first is not second and first.as_tuple() == second.as_tuple()


@pytest.mark.parametrize(
    "name",
    ["Bounce", " bounce", "bounce ", "", "bounc", "bouncee", "BOUNCE", "lfo_breath", "lfo_breathee",
     "Lfo_breathe", "zzz", "a", "beat_"],
    ids=repr,
)
def test_unknown_names(name):
    with pytest.raises(ValueError) as raised:
        kinetrope.sample(name, 0)
    assert str(raised.value) == "Unknown dance rudiment: " + name


def test_unknown_bytes_name_reports_its_text():
    with pytest.raises(ValueError, match=r"^Unknown dance rudiment: nope$"):
        kinetrope.sample(b"nope", 0)


def test_every_table_name_is_found_and_near_misses_are_not():
    for entry in kinetrope.catalogue()[15:]:
        name = entry["name"]
        assert kinetrope.sample(name, 0).as_tuple() == kinetrope.sample(name, entry["period_pips"]).as_tuple()
        for near in (name[:-1], name + "_", name.upper(), " " + name):
            if near not in NAMES:
                with pytest.raises(ValueError):
                    kinetrope.sample(near, 0)


NAMES = {e["name"] for e in kinetrope.catalogue()}
