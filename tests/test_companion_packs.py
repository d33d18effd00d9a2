"""Packs on disk: save_pack and load_pack, and the position of a pattern the module refuses."""

import json

import pytest

import kinetrope
from exact import hexes
from kinetrope_tools import PackError, load_library, load_pack, save_pack


def ramp(name="ramp", period=64):
    return kinetrope.SampledPattern(name, "A ramp", [[p / period, 0.0, 0.0] for p in range(period)])


def write(tmp_path, document):
    path = tmp_path / "pack.json"
    path.write_text(json.dumps(document) if not isinstance(document, str) else document)
    return path


def record(name="mine", rows=((0.5, 0.0, 0.0),), **extra):
    return {"name": name, "description": "d", "rows": [list(r) for r in rows], **extra}


def test_save_and_load_keep_every_bit(tmp_path):
    # -0.0, the smallest subnormal and a value with a long expansion all survive JSON.
    odd = kinetrope.SampledPattern("odd", "Ünïcode — text", [[-0.0, 5e-324, 0.1], [1.0, -1.0, 1 / 3]])
    path = tmp_path / "pack.json"
    save_pack(path, [ramp(), odd])
    loaded = load_pack(path)
    assert [p.name for p in loaded] == ["ramp", "odd"]
    assert loaded[1].description == "Ünïcode — text"
    for before, after in zip([ramp(), odd], loaded):
        assert [hexes(before.sample(i)) for i in range(before.period_pips)] == [
            hexes(after.sample(i)) for i in range(after.period_pips)
        ]
    document = json.loads(path.read_text())
    assert document["pips_per_beat"] == 64
    assert [(p["period_pips"], p["dimensions"]) for p in document["patterns"]] == [(64, 1), (2, 3)]


def test_a_bare_list_is_a_pack(tmp_path):
    assert [p.name for p in load_pack(write(tmp_path, [record("a"), record("b")]))] == ["a", "b"]


@pytest.mark.parametrize(
    ("document", "message"),
    [
        ([record("ok"), record("Bad")], "patterns[1] ('Bad'): Invalid pattern name"),
        ([record("ok"), record("empty", rows=())], "patterns[1] ('empty'): A pattern requires 1..65535 samples (one per pip)"),
        ([record("big", rows=[(1.5, 0, 0)])], "patterns[0] ('big'): Pattern samples must be finite and within [-1, 1]"),
        ([record("short", rows=[(0.5, 0)])], "patterns[0] ('short'): row 0 is not three numbers [x, y, z]: [0.5, 0]"),
        ([record("text", rows=[(0.5, "0", 0)])], "patterns[0] ('text'): row 0 is not three numbers"),
        ([record("huge", rows=[(10**400, 0, 0)])], "patterns[0] ('huge'): rows hold a number that does not fit a double"),
        ([record("claims", period_pips=2)], "patterns[0] ('claims'): \"period_pips\" is 2 but the rows give 1"),
        ([record("flat", dimensions=3)], "patterns[0] ('flat'): \"dimensions\" is 3 but the rows give 1"),
        ([{"description": "no name", "rows": []}], 'patterns[0]: "name" must be a string'),
        (["text"], "patterns[0]: a pattern is an object"),
        ({"patterns": 3}, 'a pack is a list of patterns, or an object with a "patterns" list'),
        ({"pips_per_beat": 96, "patterns": []}, "pips_per_beat is 96, not 64"),
        ("[{", "not JSON: Expecting property name enclosed in double quotes at line 1 column 3"),
    ],
    ids=["name", "no-rows", "range", "two-numbers", "string-number", "huge-int", "period", "dimensions",
         "no-name", "not-object", "not-list", "pips-per-beat", "not-json"],
)
def test_load_pack_names_the_pattern_and_the_fault(tmp_path, document, message):
    with pytest.raises(PackError) as error:
        load_pack(write(tmp_path, document))
    assert str(error.value).startswith(message)


def test_the_library_blames_the_right_pattern(tmp_path):
    bounce_rows = [list(kinetrope.sample("bounce", p).as_tuple()) for p in range(64)]
    changed = [row[:] for row in bounce_rows]
    changed[5][0] = 0.125
    cases = [
        ([record("a"), record("b"), record("a")], "patterns[2] ('a'): Duplicate pattern name: a", 2),
        ([record("a"), {"name": "bounce", "description": "One-beat vertical bounce", "rows": changed}],
         "patterns[1] ('bounce'): Cannot override default pattern: bounce", 1),
    ]
    for document, message, index in cases:
        with pytest.raises(PackError) as error:
            load_library(write(tmp_path, document))
        assert str(error.value) == message
        assert error.value.index == index


def test_a_pack_over_the_limits(tmp_path):
    with pytest.raises(PackError, match=r"^Too many patterns \(1025"):
        load_library(write(tmp_path, [record(f"p{i}") for i in range(1025)]))
    full = [[0.0, 0.0, 0.0]] * 65535
    document = [record(f"p{i}", rows=full) for i in range(16)] + [record("last", rows=full[:17])]
    with pytest.raises(PackError) as error:
        load_library(write(tmp_path, document))
    assert str(error.value).startswith("patterns[16] ('last'): Pattern pack is too large")


def test_an_exact_default_loads_and_is_dropped(tmp_path):
    bounce_rows = [list(kinetrope.sample("bounce", p).as_tuple()) for p in range(64)]
    path = write(tmp_path, [{"name": "bounce", "description": "One-beat vertical bounce", "rows": bounce_rows}])
    assert len(load_library(path).catalogue()) == len(kinetrope.catalogue())
