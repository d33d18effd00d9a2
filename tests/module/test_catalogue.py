"""The catalogue of default patterns as Python sees it."""

import kinetrope

ANALYTIC = [
    ("bounce", "One-beat vertical bounce", 64, 1),
    ("sway", "Two-beat side-to-side sway", 128, 1),
    ("circle", "One-beat circular orbit", 64, 2),
    ("figure_eight", "Two-beat figure eight", 128, 2),
    ("step_touch", "Two-beat side step with a small lift", 128, 2),
    ("box_step", "Four-beat softened square path", 256, 2),
    ("helix", "Four-beat double-turn helix", 256, 3),
    ("ochre_background", "Ochre/Nimbus four-beat accented background drift", 256, 2),
    ("single_stroke_roll", "Alternating R/L strokes with smooth attack and decay", 64, 2),
    ("double_stroke_roll", "RRLL strokes with a softer second motion", 64, 2),
    ("multiple_bounce_roll", "Decaying same-hand bounce clusters", 64, 2),
    ("single_paradiddle", "RLRR LRLL with accented lead strokes", 128, 2),
    ("flam", "Grace motion flowing into an opposite-hand primary motion", 64, 2),
    ("drag", "Two grace motions flowing into an opposite-hand primary motion", 64, 2),
    ("five_stroke_roll", "Two diddles resolving to an accented fifth motion", 128, 2),
]


def test_analytic_entries_come_first_in_order():
    entries = kinetrope.catalogue()
    assert [(e["name"], e["description"], e["period_pips"], e["dimensions"]) for e in entries[:15]] == ANALYTIC


def test_entries_are_plain_dicts_with_keys_in_order():
    for entry in kinetrope.catalogue():
        assert type(entry) is dict
        assert list(entry) == ["name", "description", "period_pips", "dimensions"]
        assert [type(v) for v in entry.values()] == [str, str, int, int]


def test_table_follows_in_table_order_unsorted():
    entries = kinetrope.catalogue()
    names = [e["name"] for e in entries]
    assert entries[15]["name"] == "lfo_breathe"
    assert entries[15]["description"] == (
        "A four-beat, single-axis sine. The quiet reference for judging busier shapes."
    )
    assert (entries[15]["period_pips"], entries[15]["dimensions"]) == (256, 1)
    assert names.index("sway") < names.index("circle")
    assert names.index("lfo_breathe") < names.index("accent_walk_5_1")
    assert len(set(names)) == len(names)


def test_the_beat_family_closes_the_catalogue():
    entries = kinetrope.catalogue()
    assert len(entries) == 1731
    last = entries[-1]
    assert (last["name"], last["period_pips"], last["dimensions"]) == ("beat_dembow_push_ricochet", 512, 3)
    spaced = [e["name"] for e in entries if e["description"].endswith(" ")]
    assert len(spaced) == 72 and all(name.startswith("beat_") for name in spaced)


def test_every_call_builds_new_objects():
    first = kinetrope.catalogue()
    first[0]["name"] = "changed"
    first.append("junk")
    second = kinetrope.catalogue()
    assert second[0]["name"] == "bounce"
    assert len(second) == len(first) - 1
    assert first is not second and first[1] is not second[1]
