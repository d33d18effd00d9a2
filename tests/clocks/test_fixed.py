"""pips_at and seconds_at: the pip in effect at a time, and the time a pip begins."""

import math
import time

import pytest
from hypothesis import given
from hypothesis import strategies as st

from kinetrope_tools import FixedTempo, pips_at, seconds_at
from kinetrope_tools.clocks import TempoError, TrackTime


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
    assert pips_at(seconds, bpm, beat_zero_seconds=beat_zero) == pip


def test_seconds_at_one_beat():
    assert seconds_at(64, 120.0) == 0.5
    assert seconds_at(-64, 120.0, beat_zero_seconds=2.0) == 1.5


@given(
    pip=st.integers(-(2**31), 2**31 - 1),
    bpm=st.floats(20.0, 999.0),
    beat_zero=st.floats(-1000.0, 1000.0),
)
def test_every_pip_begins_where_seconds_at_puts_it(pip, bpm, beat_zero):
    start = seconds_at(pip, bpm, beat_zero_seconds=beat_zero)
    assert pips_at(start, bpm, beat_zero_seconds=beat_zero) == pip
    if pip > -(2**31):
        # The instant before belongs to an earlier pip.
        assert pips_at(math.nextafter(start, -math.inf), bpm, beat_zero_seconds=beat_zero) < pip


@pytest.mark.parametrize(
    ("seconds", "bpm", "beat_zero"),
    [
        (0.0, 0.0, 0.0),
        (0.0, -120.0, 0.0),
        (0.0, math.inf, 0.0),
        (0.0, math.nan, 0.0),
        (0.0, 120.0, math.nan),
        (0.0, 19.9, 0.0),  # below the tempo range
        (0.0, 1e9, 0.0),  # above it: pips would pass 32 bits within seconds
        (math.inf, 120.0, 0.0),
        (math.nan, 120.0, 0.0),
        (10.0**9, 120.0, 0.0),  # past the 32-bit pips
        (-(10.0**9), 120.0, 0.0),
    ],
)
def test_pips_at_refuses(seconds, bpm, beat_zero):
    with pytest.raises(ValueError):
        pips_at(seconds, bpm, beat_zero_seconds=beat_zero)


def test_the_last_32_bit_pip_is_reachable():
    assert pips_at(seconds_at(2**31 - 1, 120.0), 120.0) == 2**31 - 1
    assert pips_at(seconds_at(-(2**31), 120.0), 120.0) == -(2**31)


@pytest.mark.parametrize(
    "call",
    [
        lambda: seconds_at(2**31, 120.0),
        lambda: seconds_at(1.5, 120.0),
        lambda: FixedTempo(120.0).seconds_at(2**31),
        lambda: FixedTempo(-5.0),
        lambda: FixedTempo(120.0).set_bpm(-5.0),
        lambda: FixedTempo(120.0).set_bpm(1e9),
        lambda: TrackTime(FixedTempo(120.0), start_seconds=math.nan, started_at=0.0),
        lambda: TrackTime(FixedTempo(120.0), start_seconds=0.0, started_at=math.inf),
    ],
    ids=["pip-past-32-bits", "pip-not-whole", "clock-pip-past-32-bits", "negative-tempo", "set-negative", "set-huge",
         "track-start-nan", "track-started-inf"],
)
def test_pips_and_tempi_are_checked_where_they_enter(call):
    with pytest.raises((ValueError, TypeError)):
        call()


def test_a_new_tempo_keeps_the_pip_in_effect():
    clock = FixedTempo(120.0, beat_zero_seconds=-10.0)
    before = clock.pip_now()
    clock.set_bpm(90.0)
    after = clock.pip_now()
    assert clock.bpm == 90.0 and 0 <= after - before <= 64
    with pytest.raises(TempoError):
        clock.set_bpm(math.nan)


@pytest.mark.parametrize(("bpm", "last_seconds"), [(999.0, 2_015_281.2), (120.0, 16_777_216.0), (20.0, 100_663_296.0)],
                         ids=["999-bpm-23-days", "120-bpm-194-days", "20-bpm-3-years"])
def test_the_pips_last_2_to_the_31_pips_from_beat_zero_and_then_say_so(bpm, last_seconds):
    clock = FixedTempo(bpm, beat_zero_seconds=5e6)  # a monotonic clock that has run for two months
    assert clock.pip_at(5e6 + last_seconds - 0.01) == pytest.approx(2**31, abs=12)
    assert clock.pip_at(clock.seconds_at(2**31 - 1)) == 2**31 - 1
    for later in (clock.seconds_at(2**31 - 1) + 1.001 * 60 / (bpm * 64), 5e6 + 2 * last_seconds):
        with pytest.raises(ValueError, match="outside the 32-bit pip range"):
            clock.pip_at(later)


@pytest.mark.parametrize("latency", [0.0, 0.05, 0.5, 10.0], ids=["none", "50ms", "500ms", "10s"])
@pytest.mark.parametrize("bpm", [70.0, 20.0, 999.0], ids=["half", "slowest", "fastest"])
def test_a_new_tempo_never_takes_back_a_pip_a_host_asked_for_ahead(latency, bpm):
    clock = FixedTempo(140.0, beat_zero_seconds=time.monotonic() - 60.0)
    shown = [clock.pip_at(time.monotonic() + latency)]
    clock.set_bpm(bpm)
    shown += [clock.pip_at(time.monotonic() + latency + k / 44) for k in range(3)]
    assert shown == sorted(shown)
    assert clock.bpm_at(time.monotonic()) == bpm
