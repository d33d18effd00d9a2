"""Offset3 as Python sees it: made only by samplers, read-only, plain."""

import pickle
import re

import pytest

import kinetrope


@pytest.fixture
def offset():
    return kinetrope.helix(32)


def test_cannot_be_constructed():
    for args in [(), (1.0, 2.0, 3.0)]:
        with pytest.raises(TypeError) as raised:
            kinetrope.Offset3(*args)
        assert str(raised.value) == "kinetrope.Offset3: No constructor defined!"


def test_members_in_order_and_values(offset):
    members = [name for name in vars(kinetrope.Offset3) if not name.startswith("__")]
    assert members == ["x", "y", "z", "as_tuple"]
    assert offset.as_tuple() == (offset.x, offset.y, offset.z)
    assert all(type(v) is float for v in offset.as_tuple())
    assert type(offset.as_tuple()) is tuple


@pytest.mark.parametrize("attribute", ["x", "y", "z", "w", "as_tuple", "__dict__"])
def test_read_only_and_closed(offset, attribute):
    before = offset.as_tuple()
    with pytest.raises(AttributeError):
        setattr(offset, attribute, 0.5)
    assert offset.as_tuple() == before


def test_every_call_returns_a_new_object():
    first, second = kinetrope.bounce(5), kinetrope.bounce(5)
    assert first is not second
    assert first.as_tuple() == second.as_tuple()
    # Identity comparison: equal values do not make equal objects.
    assert first != second
    assert first == first
    assert hash(first) != hash(second) or first is second


def test_plain_object_behaviour(offset):
    assert re.fullmatch(r"<kinetrope\.Offset3 object at 0x[0-9a-fA-F]+>", repr(offset))
    assert type(offset).__module__ == "kinetrope"
    assert type(offset).__qualname__ == "Offset3"
    with pytest.raises(TypeError):
        pickle.dumps(offset)


def test_an_offset_is_not_accepted_as_an_argument(offset):
    with pytest.raises(TypeError):
        kinetrope.bounce(offset)
