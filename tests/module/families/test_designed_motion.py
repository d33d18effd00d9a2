"""Two rules every built-in pattern of records 0-627 keeps: it never jumps
further than a fixture can follow between two pips, and no two patterns of one
family are the same motion shifted in time or mirrored left to right. The beat
family has its own test of the same rules."""

import pytest

import kinetrope
from motion_checks import MAX_STEP, MIN_DISTINCT_RMS, block, largest_step, near_duplicates

TABLE = [e for e in kinetrope.catalogue()[15:] if not e["name"].startswith("beat_")]


@pytest.fixture(scope="module")
def families():
    """Blocks of rows by family, the name up to its first underscore."""
    found = {}
    for entry in TABLE:
        family = entry["name"].split("_", 1)[0]
        found.setdefault(family, {})[entry["name"]] = block(entry["name"], entry["period_pips"])
    return found


def test_the_table_is_covered(families):
    assert sum(len(blocks) for blocks in families.values()) == 628


def test_no_pattern_steps_further_than_a_fixture_follows(families):
    rough = [
        (name, round(largest_step(rows), 3))
        for blocks in families.values()
        for name, rows in blocks.items()
        if largest_step(rows) > MAX_STEP
    ]
    assert rough == [], f"steps beyond {MAX_STEP} between consecutive pips"


def test_siblings_are_distinct_motions(families):
    twins = [pair for blocks in families.values() for pair in near_duplicates(blocks)]
    assert twins == [], f"pairs within {MIN_DISTINCT_RMS} rms up to a time shift or mirrored x"
