"""The exact floor every clock turns seconds into pips with: the last pip begun, found in few steps even where
a double cannot tell neighbouring pips apart, and refused past the 32-bit pips."""

import math

import pytest
from hypothesis import given
from hypothesis import strategies as st

from kinetrope_tools.base.pips import PIP_MAX, PIP_MIN, PIPS_PER_BEAT, checked_pip, exact_floor


def line(bpm, beat_zero):
    """seconds_at on a straight line of time, and the pips it was asked about."""
    calls = []

    def seconds_at(pip):
        calls.append(pip)
        return beat_zero + pip * 60.0 / (bpm * PIPS_PER_BEAT)

    return seconds_at, calls


def floor_of(seconds, bpm, beat_zero):
    seconds_at, calls = line(bpm, beat_zero)
    estimate = (seconds - beat_zero) * bpm * PIPS_PER_BEAT / 60.0
    return exact_floor(seconds, estimate, seconds_at), seconds_at, calls


# Far from beat zero a double cannot tell neighbouring pips apart: tens of
# millions of pips begin at the same instant here.
@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero", "pip"),
    [(1e15, 1e9, 1e15, 66_666_666), (1e15 + 0.125, 1e9, 1e15, 199_999_999), (-1e15, 1e9, -1e15, 66_666_666)],
    ids=["1e15", "one-step-later", "negative"],
)
def test_pips_that_begin_together_are_found_in_few_steps(seconds, bpm, beat_zero, pip):
    found, seconds_at, calls = floor_of(seconds, bpm, beat_zero)
    assert found == pip
    assert len(calls) <= 2 * 34
    assert seconds_at(pip) <= seconds < seconds_at(pip + 1)


@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero"),
    [(1e17, 1e9, 1e17), (1e300, 1e-300, 0.0), (0.0, 1e308, -1.0), (5e-324, 5e-324, 0.0)],
    ids=["1e17", "tiny-tempo", "huge-tempo", "subnormal"],
)
def test_a_pip_past_32_bits_is_refused_in_few_steps(seconds, bpm, beat_zero):
    seconds_at, calls = line(bpm, beat_zero)
    estimate = (seconds - beat_zero) * bpm * PIPS_PER_BEAT / 60.0
    try:
        pip = exact_floor(seconds, estimate, seconds_at)
    except ValueError as error:
        assert "outside the 32-bit pip range" in str(error)
    else:
        assert seconds_at(pip) <= seconds
        assert pip == PIP_MAX or seconds < seconds_at(pip + 1)
    assert len(calls) <= 2 * 34 + 2


@given(
    seconds=st.floats(-1e18, 1e18),
    bpm=st.floats(1e-6, 1e12),
    beat_zero=st.floats(-1e18, 1e18),
)
def test_the_floor_is_the_last_pip_begun_or_refused(seconds, bpm, beat_zero):
    seconds_at, _ = line(bpm, beat_zero)
    estimate = (seconds - beat_zero) * bpm * PIPS_PER_BEAT / 60.0
    try:
        pip = exact_floor(seconds, estimate, seconds_at)
    except ValueError:
        # Refused only where the pip in effect lies outside 32 bits.
        assert not (seconds_at(PIP_MIN) <= seconds < seconds_at(PIP_MAX + 1))
        return
    assert PIP_MIN <= pip <= PIP_MAX
    assert seconds_at(pip) <= seconds < seconds_at(pip + 1)


@pytest.mark.parametrize(
    ("pip", "error"),
    [(2**31, ValueError), (-(2**31) - 1, ValueError), (1.5, TypeError), ("3", TypeError)],
    ids=["past-top", "past-bottom", "fraction", "text"],
)
def test_a_pip_is_a_whole_number_of_32_bits(pip, error):
    with pytest.raises(error):
        checked_pip(pip)
