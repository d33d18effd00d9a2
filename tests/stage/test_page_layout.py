"""Where the page draws each fixture: the show's positions, a group's row, else a tidy grid below them."""

from __future__ import annotations

import pytest

from kinetrope_tools.stage import parse_show
from kinetrope_tools.stage.page import layout
from kinetrope_tools.stage.show import ShowError

HEAD = '[output.osc]\ndestination = "127.0.0.1:9"\n'


def fixtures(*names, extra=None):
    extra = extra or {}
    return "".join(f'[[fixture]]\nname = "{n}"\npattern = "circle"\n{extra.get(n, "")}\n' for n in names)


def group(name, members, settings=""):
    return f'[[group]]\nname = "{name}"\nfixtures = {list(members)!r}\n{settings}\n'.replace("'", '"')


def places(text):
    show = parse_show(HEAD + text, "show.toml")
    return dict(zip((f.name for f in show.fixtures), layout.positions(show))), show


def test_own_positions_then_a_groups_row_from_position_to_position_end():
    found, show = places(fixtures("a", "b", "c", "d", extra={"d": "position = [9, 9]"})
                         + group("row", "abcd", "position = [-3, 2]\nposition_end = [3, 5]"))
    assert found == {"a": (-3.0, 2.0), "b": (-1.0, 3.0), "c": (1.0, 4.0), "d": (9.0, 9.0)}
    assert show.fixtures[3].position == (9.0, 9.0)


def test_a_group_position_alone_stands_members_one_unit_apart():
    found, _ = places(fixtures("a", "b", "c") + group("row", "abc", "position = [0.5, -1]"))
    assert found == {"a": (0.5, -1.0), "b": (1.5, -1.0), "c": (2.5, -1.0)}


def test_without_positions_each_group_gets_a_centred_row_below_the_placed_fixtures():
    names = ["p", "g1", "g2", *(f"f{i}" for i in range(10))]
    found, show = places(fixtures(*names, extra={"p": "position = [0, 4]"}) + group("pair", ["g1", "g2"]))
    assert found["p"] == (0.0, 4.0)
    assert found["g1"] == (-0.5, 3.0) and found["g2"] == (0.5, 3.0)
    # Fixtures of no group eight to a row, each row a unit lower.
    assert [found[f"f{i}"] for i in (0, 7, 8, 9)] == [(-3.5, 2.0), (3.5, 2.0), (-0.5, 1.0), (0.5, 1.0)]
    assert len(set(found.values())) == len(found)
    colours = layout.colours(show)
    assert colours[1] == colours[2] == layout.PALETTE[0] and colours[0] == layout.UNGROUPED


@pytest.mark.parametrize("value", ["[1]", "[1, 2, 3]", '["a", 1]', "[1e9, 0]", "[nan, 0]", "3"])
def test_a_position_must_be_two_numbers(value):
    with pytest.raises(ShowError, match="key 'position': must be \\[x, y\\]"):
        parse_show(HEAD + fixtures("a", extra={"a": f"position = {value}"}), "show.toml")
