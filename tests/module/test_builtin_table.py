"""Invariants of the whole built-in table, read back through the module."""

import hashlib
import math
import struct
from collections import Counter

import pytest

import kinetrope
from exact import hexes

TABLE = kinetrope.catalogue()[15:]
ZERO = (0.0).hex()
# Patterns that move only y; x stays exactly 0.0.
SILENT_X = {"lfo_double_pump", "beat_four_floor_bounce"} | {e["name"] for e in TABLE if e["name"].startswith("env_")}


def rows(entry):
    return [kinetrope.sample(entry["name"], p).as_tuple() for p in range(entry["period_pips"])]


@pytest.fixture(scope="module")
def blocks():
    return {entry["name"]: rows(entry) for entry in TABLE}


PERIOD_COUNTS = {160: 3, 224: 5, 256: 41, 288: 5, 320: 4, 352: 6, 384: 4, 416: 6, 448: 6, 480: 5,
                 512: 1304, 544: 1, 608: 1, 640: 1, 768: 17, 1024: 307}


def test_record_count_and_periods():
    assert len(TABLE) == 1716
    assert sum(e["period_pips"] for e in TABLE) == 1022912
    assert Counter(e["period_pips"] for e in TABLE) == PERIOD_COUNTS
    assert Counter(e["dimensions"] for e in TABLE) == {1: 29, 2: 321, 3: 1366}
    assert len(SILENT_X) == 18
    assert all(e["period_pips"] % 32 == 0 and 160 <= e["period_pips"] <= 1024 for e in TABLE)
    assert all(e["dimensions"] in (1, 2, 3) for e in TABLE)
    assert all(8 <= len(e["name"]) <= 32 for e in TABLE)


def test_values_are_finite_rounded_and_in_range(blocks):
    lowest = highest = 0.0
    for name, block in blocks.items():
        for row in block:
            for v in row:
                assert math.isfinite(v) and -0.92 <= v <= 1.0, name
                assert v.hex() != (-0.0).hex(), name
                assert float(f"{v:.12f}") == v, name
                lowest, highest = min(lowest, v), max(highest, v)
    assert (lowest, highest) == (-0.92, 1.0)


def test_axes_follow_the_dimensions(blocks):
    for entry in TABLE:
        block, dims = blocks[entry["name"]], entry["dimensions"]
        moving = [any(row[a] != 0.0 for row in block) for a in range(3)]
        assert all(hexes(row[dims:]) == (ZERO,) * (3 - dims) for row in block), entry["name"]
        assert moving[0] == (entry["name"] not in SILENT_X), entry["name"]
        if dims == 3:
            assert all(moving), entry["name"]


def test_every_loop_closes_smoothly(blocks):
    for name, block in blocks.items():
        for a in range(3):
            steps = [abs(block[i][a] - block[i - 1][a]) for i in range(1, len(block))]
            assert abs(block[0][a] - block[-1][a]) <= max(steps), name


def test_no_two_patterns_share_their_rows(blocks):
    seen = Counter(tuple(block) for block in blocks.values())
    assert max(seen.values()) == 1


# Patterns whose first row is the origin: closed formulas that start there,
# easing loops and envelopes that leave from rest, and the beat springs that
# settle before their loop closes.
ORIGIN_STARTS = 71


def test_some_patterns_start_at_the_origin(blocks):
    at_origin = [name for name, block in blocks.items() if block[0] == (0.0, 0.0, 0.0)]
    assert len(at_origin) == ORIGIN_STARTS


@pytest.mark.parametrize(
    "name, pip, expected",
    [
        ("lfo_breathe", 64, (0.8, 0.0, 0.0)),
        ("lfo_breathe", -1, (-0.019632982818, 0.0, 0.0)),
        ("lfo_breathe", 256, (0.0, 0.0, 0.0)),
        ("rhythm_group_223", -1, (0.732890553749, -0.396157056081, 0.0)),
        ("rhythm_group_223", 0, (0.74, -0.4, 0.0)),
    ],
)
def test_stated_rows(name, pip, expected):
    assert hexes(kinetrope.sample(name, pip)) == hexes(expected)


def test_the_smallest_pip_selects_the_floored_row():
    assert hexes(kinetrope.sample("rhythm_group_223", -(2**31))) == hexes(kinetrope.sample("rhythm_group_223", 320))
    assert hexes(kinetrope.sample("lfo_breathe", -(2**31))) == hexes(kinetrope.sample("lfo_breathe", 0))


def test_extreme_pips_select_the_floored_row(blocks):
    for entry in TABLE:
        block, period = blocks[entry["name"]], entry["period_pips"]
        for pip in (-(2**31), 2**31 - 1, -period, period, -1):
            assert kinetrope.sample(entry["name"], pip).as_tuple() == block[pip % period]


def test_name_index_is_searched_bytewise():
    # accent_walk_10_3 sorts before accent_walk_5_1 bytewise, though 10 > 5.
    assert kinetrope.sample("accent_walk_10_3", 3).as_tuple() != kinetrope.sample("accent_walk_5_1", 3).as_tuple()
    for name in ("accent_walk_10_", "accent_walk_10_3_", "Accent_walk_10_3", "weave_5_9x", "weave_5_"):
        with pytest.raises(ValueError):
            kinetrope.sample(name, 0)


def table_digest(blocks):
    digest = hashlib.sha256()
    for entry in TABLE:
        header = f"{entry['name']}\n{entry['description']}\n{entry['period_pips']} {entry['dimensions']}\n"
        digest.update(header.encode("utf-8"))
        for row in blocks[entry["name"]]:
            digest.update(struct.pack("<3d", *row))
    return digest.hexdigest()


# Any change to the generated table, metadata or rows, changes this digest:
# a change to the data is then a deliberate one, made together with this line.
TABLE_SHA256 = "201aa2bac71e05d6bbdc7497a01f6183fe0a7b562e99781a5b3e5c456623a8d0"


def test_the_generated_table_is_pinned(blocks):
    assert table_digest(blocks) == TABLE_SHA256
