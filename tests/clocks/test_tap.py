"""Tap tempo: the tempo and phase from taps, presses too close to be beats, and a pip that slews instead of jumping."""

from __future__ import annotations

import math

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from kinetrope_tools.clocks import BPM_MIN, TapTempo

PIP_MIN, PIP_MAX = -(2**31), 2**31 - 1
FRAME = 1 / 44


def _taps(bpm: float, beats: list[float], jitter: list[float] | None = None, start: float = 100.0) -> list[float]:
    """Tap times for taps on ``beats`` (beat numbers, may be fractional) at ``bpm``, with optional jitter in seconds."""
    jitter = jitter or [0.0] * len(beats)
    return [start + b * 60 / bpm + j for b, j in zip(beats, jitter)]


def _frames(clock: TapTempo, taps: list[float], end: float, *, ahead: float = 0.0) -> list[int]:
    """The pips a 44 fps frame loop reads up to ``end``, each tap handled before the first frame due after it.

    ``ahead`` is the loop's latency: each frame asks for the pip that far
    ahead of its time, so a tap may come before a time already asked for.
    """
    pending, pips, due = list(taps), [], taps[0] - 1.0
    while due < end:
        while pending and pending[0] <= due:
            clock.tap(pending.pop(0))
        pips.append(clock.pip_at(due + ahead))
        due += FRAME
    return pips


def _off_beat(pip: int) -> int:
    """Pips from the nearest beat."""
    return abs((pip + 32) % 64 - 32)


JITTER = [0.004, -0.006, 0.002, 0.005, -0.003, -0.001, 0.006, -0.004, 0.0, 0.003]

# (taps, tempo the clock should have, the time of the last real beat tapped)
TAP_CASES = {
    "steady": (_taps(124, list(range(8)), JITTER), 124, _taps(124, [7])[0]),
    "one-missed": (_taps(124, [0, 1, 2, 4, 5, 6], JITTER), 124, _taps(124, [6])[0]),
    "missed-last": (_taps(124, [0, 1, 2, 3, 4, 6], JITTER), 124, _taps(124, [6])[0]),
    "doubled-after": (_taps(124, [0, 1, 2, 3, 3.15, 4, 5], JITTER), 124, _taps(124, [5])[0]),
    "doubled-before": (_taps(124, [0, 1, 2, 3, 3.7, 4, 5, 6], JITTER), 124, _taps(124, [6])[0]),
    "doubled-wide": (_taps(124, [0, 1, 2, 3, 3.55, 4, 5, 6], JITTER), 124, _taps(124, [6])[0]),
    "doubled-last": (_taps(124, [0, 1, 2, 3, 4, 4.1], JITTER), 124, _taps(124, [4])[0]),
    "slow": (_taps(72, list(range(5)), JITTER), 72, _taps(72, [4])[0]),
    "tempo-change": (_taps(120, list(range(8))) + _taps(132, [1, 2, 3], start=_taps(120, [7])[0]),
                     132, _taps(132, [3], start=_taps(120, [7])[0])[0]),
    "pause-then-new-tempo": (_taps(120, [0, 1, 2, 3]) + _taps(90, [0, 1, 2], start=_taps(120, [3])[0] + 5.0),
                             90, _taps(90, [2], start=_taps(120, [3])[0] + 5.0)[0]),
}


@pytest.mark.parametrize(("taps", "bpm", "last_beat"), TAP_CASES.values(), ids=TAP_CASES.keys())
def test_tap_tempo_finds_the_tempo_and_the_phase(taps, bpm, last_beat):
    clock = TapTempo(beat_zero_seconds=0.0)
    for t in taps:
        clock.tap(t)
    assert clock.bpm == pytest.approx(bpm, rel=0.01)
    # Once the pip has slewed onto the taps, the tapped beats are beats.
    beat = 60 / bpm
    beat_pip = clock.pip_at(last_beat + 2 * beat + 0.008)
    assert _off_beat(beat_pip) <= 2  # within a few ms of jitter
    next_beat = round(beat_pip / 64) * 64 + 64
    assert clock.seconds_at(next_beat) == pytest.approx(last_beat + 3 * beat, abs=0.02)


def test_a_pause_starts_over_on_the_first_beat_of_a_bar_and_keeps_the_tempo():
    clock = TapTempo(beat_zero_seconds=0.0)
    for t in _taps(100, [0, 1, 2, 3], start=10.0):
        clock.tap(t)
    counted = clock.pip_at(11.9)
    clock.tap(20.0)  # far more than two beats later
    assert clock.taps == 1 and clock.bpm == pytest.approx(100)
    assert clock.pip_at(20.0) > counted
    assert clock.pip_at(20.0 + 4 * 0.6 + 0.001) % 256 == 0  # a bar on, the slew done: the tap was a downbeat


def test_before_two_taps_the_default_tempo_runs():
    clock = TapTempo(bpm=90.0, beat_zero_seconds=5.0)
    assert (clock.bpm, clock.pip_at(5.0), clock.pip_at(6.0)) == (90.0, 0, 96)
    clock.tap(7.3)
    assert clock.bpm == 90.0 and clock.pip_at(7.3 + 4 * 60 / 90 + 0.001) % 256 == 0
    clock.tap(7.31)  # a bounce of the key
    assert (clock.bpm, clock.taps) == (90.0, 1)
    clock.tap(7.3 + 60 / 110)
    assert clock.bpm == pytest.approx(110)


def test_taps_out_of_order_or_not_finite_are_refused():
    clock = TapTempo(beat_zero_seconds=0.0)
    clock.tap(10.0)
    for bad in (9.0, math.nan, math.inf):
        with pytest.raises(ValueError):
            clock.tap(bad)
    assert clock.taps == 1


def test_tap_pips_round_trip_near_the_ends_of_their_range():
    clock = TapTempo(beat_zero_seconds=0.0)
    for t in _taps(128, list(range(4))):
        clock.tap(t)
    for pip in (PIP_MIN, PIP_MIN + 1, -1, 0, 1, PIP_MAX - 1, PIP_MAX):
        assert clock.pip_at(clock.seconds_at(pip)) == pip
    with pytest.raises(ValueError, match="pip range"):
        clock.pip_at(clock.seconds_at(PIP_MAX) + 1.0)


def test_every_pip_round_trips_across_a_slew():
    clock = TapTempo(beat_zero_seconds=0.0)
    for t in _taps(120, [0, 1, 2, 3]) + [_taps(120, [4])[0] + 0.07]:  # a late tap: the clock slows onto it
        clock.tap(t)
    start, end = clock.pip_at(_taps(120, [3])[0]), clock.pip_at(_taps(120, [8])[0])
    times = [clock.seconds_at(p) for p in range(start, end)]
    assert all(a < b for a, b in zip(times, times[1:]))
    assert [clock.pip_at(t) for t in times] == list(range(start, end))


# -- presses too close together to be beats

STEADY = _taps(120, list(range(6)), start=0.0)

# (presses, tempo after them (None: any tempo a tap may set), taps counted (the history holds 8))
BURSTS = {
    "burst-on-one-beat": ([0.0, 0.15] + [0.151 + k / 1000 for k in range(7)], None, 2),
    "held-key-30hz": ([k / 30 for k in range(60)], 120, 1),
    "burst-after-steady": (STEADY + [3.0 + k / 1000 for k in range(8)], 120, 7),
    "flams-after-steady": (STEADY + [t + d for t in _taps(120, [6, 7, 8], start=0.0) for d in (0.0, 0.02)], 120, 8),
    "roll-after-steady": (STEADY + [3.0 + k * 0.02 for k in range(16)], 120, 7),
    "flam-late-half-nearer": (STEADY + [2.9, 3.0, 3.5], 120, 8),
}


@pytest.mark.parametrize(("presses", "bpm", "counted"), BURSTS.values(), ids=BURSTS.keys())
def test_presses_closer_than_a_beat_merge_into_one_tap(presses, bpm, counted):
    clock = TapTempo(120, beat_zero_seconds=0)
    for t in presses:
        tempo = clock.tap(t)
        assert BPM_MIN <= tempo <= 400
        clock.pip_at(t)
    assert clock.taps == counted
    if bpm is not None:
        assert clock.bpm == pytest.approx(bpm, rel=0.005)
        assert _off_beat(clock.pip_at(10.001)) <= 1  # still on the steady beat, every half second from 0


@pytest.mark.parametrize(("bpm", "max_bpm", "taps", "held"), [
    (20.0, 400.0, [0.0, 6.0], 20.0),  # two taps 6 s apart, inside the pause of 2.25 beats at 20 bpm
    (20.0, 400.0, [0.0, 6.0, 12.5, 19.0], 20.0),
    (120.0, 200.0, [0.0, 0.3, 0.6, 0.9], 200.0),
], ids=["slower-than-20", "slower-than-20-steady", "faster-than-max"])
def test_a_tapped_tempo_stays_in_range(bpm, max_bpm, taps, held):
    clock = TapTempo(bpm, max_bpm=max_bpm, beat_zero_seconds=0.0)
    for t in taps:
        clock.tap(t)
    assert clock.bpm == pytest.approx(held)


@settings(max_examples=200, deadline=None)
@given(
    gaps=st.lists(st.one_of(st.just(0.0), st.floats(0.0, 0.02), st.floats(0.1, 1.6), st.floats(1.6, 8.0)),
                  min_size=1, max_size=40),
    ahead=st.sampled_from([0.0, 0.03]),
)
def test_no_run_of_presses_stops_the_clock_or_turns_it_back(gaps, ahead):
    clock = TapTempo(120, beat_zero_seconds=0.0)
    presses = list(np.cumsum([1.0, *gaps]))
    pips = _frames(clock, presses, presses[-1] + 3.0, ahead=ahead)
    assert BPM_MIN <= clock.bpm <= 400
    assert all(b >= a for a, b in zip(pips, pips[1:]))


# -- the pip slews onto a tap

def _late(bpm: float, by: float) -> list[float]:
    taps = _taps(bpm, list(range(8)))
    return taps[:-1] + [taps[-1] + by]


SLEWS = {
    "late-tap": (_late(120, 0.06), [120]),
    "early-tap": (_late(120, -0.06), [120]),
    "faster": (_taps(120, list(range(6))) + _taps(150, [1, 2, 3, 4], start=_taps(120, [5])[0]), [120, 150]),
    "slower": (_taps(120, list(range(6))) + _taps(90, [1, 2, 3, 4], start=_taps(120, [5])[0]), [90, 120]),
    "new-run-mid-bar": (_taps(120, [0, 1, 2, 3]) + [_taps(120, [9.6])[0]], [120]),
    "new-run-past-a-bar": (_taps(120, [0, 1, 2, 3]) + [_taps(120, [12.3])[0]], [120]),
    "fast-new-run": (_taps(400, list(range(8))) + [_taps(400, [13.5])[0]], [400]),
}


@pytest.mark.parametrize("ahead", [0.0, 0.05], ids=["on-time", "50ms-ahead"])
@pytest.mark.parametrize(("taps", "tempi"), SLEWS.values(), ids=SLEWS.keys())
def test_at_44_fps_a_tap_never_turns_the_pip_back_or_makes_it_leap(taps, tempi, ahead):
    clock = TapTempo(120, max_bpm=400, beat_zero_seconds=0.0)
    pips = _frames(clock, taps, taps[-1] + 3.0, ahead=ahead)
    steps = np.diff(pips)
    pace = max(tempi) * 64 / 60 * FRAME  # pips a frame at the fastest tempo tapped
    assert steps.min() >= 0
    assert steps.max() <= pace + 8 + 1  # beside the tempo, at most an eighth of a beat a frame (and the floor's pip)
    beat = 60 / clock.bpm
    assert _off_beat(clock.pip_at(taps[-1] + 4 * beat)) <= 1  # and it got there: the last tap is on a beat


def test_the_options_are_read_as_given():
    clock = TapTempo(100, beats_per_bar=3, history=3, beat_zero_seconds=0.0)
    for t in _taps(100, [0, 1, 2, 3, 4]):
        clock.tap(t)
    clock.tap(200.0)  # a new run: on a bar of three
    assert clock.pip_at(200.0 + 6 * 0.6 + 0.001) % (3 * 64) == 0
