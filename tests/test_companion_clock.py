"""pips_at and seconds_at: the pip in effect at a time, and the time a pip begins."""

import math

import pytest
from hypothesis import given
from hypothesis import strategies as st

from kinetrope_tools import clock, pips_at, seconds_at


@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero", "pip"),
    [
        (0.0, 120.0, 0.0, 0),
        (0.5, 120.0, 0.0, 64),  # one beat at 120 bpm
        (0.4999999, 120.0, 0.0, 63),
        (-0.0001, 120.0, 0.0, -1),  # floor, not truncation
        (1.0, 120.0, 0.5, 64),
        (0.0, 120.0, 0.5, -64),
        (60.0, 124.0, 0.0, 124 * 64),
        (0.1, 124.0, 0.0, 13),  # 13.226... pips
    ],
)
def test_pips_at(seconds, bpm, beat_zero, pip):
    assert pips_at(seconds, bpm, beat_zero) == pip


def test_seconds_at_one_beat():
    assert seconds_at(64, 120.0) == 0.5
    assert seconds_at(-64, 120.0, beat_zero_seconds=2.0) == 1.5


@given(
    pip=st.integers(-(2**31), 2**31 - 1),
    bpm=st.floats(20.0, 400.0),
    beat_zero=st.floats(-1000.0, 1000.0),
)
def test_every_pip_begins_where_seconds_at_puts_it(pip, bpm, beat_zero):
    start = seconds_at(pip, bpm, beat_zero)
    assert pips_at(start, bpm, beat_zero) == pip
    if pip > -(2**31):
        # The instant before belongs to an earlier pip.
        assert pips_at(math.nextafter(start, -math.inf), bpm, beat_zero) < pip


@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero"),
    [
        (0.0, 0.0, 0.0),
        (0.0, -120.0, 0.0),
        (0.0, math.inf, 0.0),
        (0.0, math.nan, 0.0),
        (0.0, 120.0, math.nan),
        (math.inf, 120.0, 0.0),
        (math.nan, 120.0, 0.0),
        (10.0**9, 120.0, 0.0),  # past the 32-bit pips
        (-(10.0**9), 120.0, 0.0),
    ],
)
def test_pips_at_refuses(seconds, bpm, beat_zero):
    with pytest.raises(ValueError):
        pips_at(seconds, bpm, beat_zero)


def test_the_last_32_bit_pip_is_reachable():
    assert pips_at(seconds_at(2**31 - 1, 120.0), 120.0) == 2**31 - 1
    assert pips_at(seconds_at(-(2**31), 120.0), 120.0) == -(2**31)


@pytest.fixture
def counted_seconds_at(monkeypatch):
    """seconds_at as pips_at calls it, counted."""
    calls = []

    def counting(pip, bpm, beat_zero_seconds=0.0):
        calls.append(pip)
        return seconds_at(pip, bpm, beat_zero_seconds)

    monkeypatch.setattr(clock, "seconds_at", counting)
    return calls


# Far from beat zero a double cannot tell neighbouring pips apart: tens of
# millions of pips begin at the same instant here.
@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero", "pip"),
    [(1e15, 1e9, 1e15, 66_666_666), (1e15 + 0.125, 1e9, 1e15, 199_999_999), (-1e15, 1e9, -1e15, 66_666_666)],
    ids=["1e15", "one-step-later", "negative"],
)
def test_pips_that_begin_together_are_found_in_few_steps(counted_seconds_at, seconds, bpm, beat_zero, pip):
    assert pips_at(seconds, bpm, beat_zero) == pip
    assert seconds_at(pip, bpm, beat_zero) <= seconds < seconds_at(pip + 1, bpm, beat_zero)
    assert len(counted_seconds_at) <= 2 * 34


@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero"),
    [(1e17, 1e9, 1e17), (1e300, 1e-300, 0.0), (0.0, 1e308, -1.0), (5e-324, 5e-324, 0.0)],
    ids=["1e17", "tiny-tempo", "huge-tempo", "subnormal"],
)
def test_a_pip_past_32_bits_is_refused_in_few_steps(counted_seconds_at, seconds, bpm, beat_zero):
    try:
        pip = pips_at(seconds, bpm, beat_zero)
    except ValueError as error:
        assert "outside the 32-bit pip range" in str(error)
    else:
        assert seconds_at(pip, bpm, beat_zero) <= seconds
        assert pip == 2**31 - 1 or seconds < seconds_at(pip + 1, bpm, beat_zero)
    assert len(counted_seconds_at) <= 2 * 34


@given(
    seconds=st.floats(-1e18, 1e18),
    bpm=st.floats(1e-6, 1e12),
    beat_zero=st.floats(-1e18, 1e18),
)
def test_pips_at_is_the_last_pip_begun_or_refused(seconds, bpm, beat_zero):
    try:
        pip = pips_at(seconds, bpm, beat_zero)
    except ValueError:
        # Refused only where the pip in effect lies outside 32 bits.
        assert not (seconds_at(-(2**31), bpm, beat_zero) <= seconds < seconds_at(2**31, bpm, beat_zero))
        return
    assert -(2**31) <= pip <= 2**31 - 1
    assert seconds_at(pip, bpm, beat_zero) <= seconds < seconds_at(pip + 1, bpm, beat_zero)
