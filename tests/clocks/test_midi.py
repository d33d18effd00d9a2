"""MIDI clock: real mido messages with their arrival times, through the path a port's callback takes."""

from __future__ import annotations

import random

import mido
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from kinetrope_tools.clocks import Clock, MidiClock, MidiPortError


def play(clock: MidiClock, bpm: float, pulses: int, start: float, jitter: float = 0.0, seed: int = 1) -> float:
    """Feeds ``pulses`` clock messages at ``bpm`` from ``start``, each off by up to ``jitter`` seconds; returns the next pulse's time."""
    shake = random.Random(seed)
    pulse = 60.0 / (bpm * 24)
    for n in range(pulses):
        clock.feed(mido.Message("clock"), start + n * pulse + shake.uniform(-jitter, jitter))
    return start + pulses * pulse


@pytest.fixture
def clock() -> MidiClock:
    return MidiClock()


def test_a_fed_clock_follows_the_protocol(clock):
    assert isinstance(clock, Clock)


@pytest.mark.parametrize(("bpm", "jitter"), [(120.0, 0.0), (124.0, 0.001), (174.0, 0.0015), (70.0, 0.002)],
                         ids=["steady-120", "jitter-1ms-124", "jitter-1.5ms-174", "jitter-2ms-70"])
def test_tempo_and_beats_come_through_jitter(clock, bpm, jitter):
    clock.feed(mido.Message("start"), 9.999)
    end = play(clock, bpm, 24 * 8 + 1, 10.0, jitter)  # eight beats and the downbeat after them
    assert clock.bpm == pytest.approx(bpm, rel=0.01)
    beat = 60.0 / bpm
    # Pulse 0 is pip 0; pulse 24 * 8 is pip 512, wherever jitter put it.
    assert clock.pip_at(end - 60.0 / (bpm * 24) + 0.0025) in range(511, 514)
    assert clock.pip_at(10.0 + 8 * beat + 0.3) < 512 + 8 * 64 // 24  # held before the pulse that has not come


@pytest.mark.parametrize(("tempi", "jitter"), [((120.0,), 0.002), ((120.0, 165.0, 96.0), 0.001), ((174.0,), 0.003)],
                         ids=["jitter-2ms", "tempo-jumps", "jitter-3ms-174"])
def test_the_pip_never_runs_backwards_as_pulses_arrive(clock, tempi, jitter):
    # Every reading is taken after the pulses that have arrived by then, as a
    # host's frame loop takes them: early, late and faster pulses alike.
    shake = random.Random(7)
    clock.feed(mido.Message("start"), 0.0)
    readings, ideal = [], 0.0
    for bpm in tempi:
        for _ in range(96):
            pulse = 60.0 / (bpm * 24)
            arrival = ideal + shake.uniform(-jitter, jitter)
            clock.feed(mido.Message("clock"), arrival)
            ideal += pulse
            readings += [clock.pip_at(arrival + pulse * k / 4) for k in range(6)]  # a few run past the next pulse
    assert readings == sorted(readings)
    assert readings[-1] - readings[0] >= 64 * 4 * len(tempi) - 3


def test_between_pulses_the_pip_runs_on_and_waits_for_a_late_pulse(clock):
    clock.feed(mido.Message("start"), 0.0)
    next_pulse = play(clock, 120.0, 24, 0.0)
    last = next_pulse - 60.0 / (120 * 24)
    # From pulse 23 (pip 61.33) the pips run on at the tempo ...
    assert [clock.pip_at(last + dt) for dt in (0.0, 0.006, 0.014)] == [61, 62, 63]
    # ... and stop at the last pip before pulse 24 (pip 64) when it is late.
    assert clock.pip_at(last + 0.5) == 63
    clock.feed(mido.Message("clock"), last + 0.03)
    assert clock.pip_at(last + 0.03) == 64


def test_stop_holds_the_pip_and_continue_goes_on_from_it(clock):
    clock.feed(mido.Message("start"), 0.0)
    after = play(clock, 120.0, 30, 0.0)  # 30 pulses: pulse 29 is pip 77.33
    clock.feed(mido.Message("stop"), after - 0.002)
    held = clock.pip_at(after)
    assert not clock.playing and held in (77, 78, 79)
    # Pulses go on while stopped: the tempo follows, the pip does not move.
    later = play(clock, 100.0, 48, after + 1.0)
    assert clock.pip_at(later) == held and clock.bpm == pytest.approx(100.0)
    clock.feed(mido.Message("continue"), later + 0.5)
    assert clock.pip_at(later + 0.5) == held
    play(clock, 100.0, 1, later + 0.51)
    assert clock.pip_at(later + 0.51) == 80  # pulse 30: 30 * 8/3 pip
    assert clock.playing


def test_a_song_position_pointer_moves_the_next_pulse(clock):
    clock.feed(mido.Message("start"), 0.0)
    after = play(clock, 120.0, 100, 0.0)
    clock.feed(mido.Message("stop"), after)
    clock.feed(mido.Message("songpos", pos=32), after + 0.1)  # bar 3: 32 sixteenths
    assert clock.pip_at(after + 0.2) == 512
    clock.feed(mido.Message("continue"), after + 0.3)
    end = play(clock, 120.0, 12, after + 0.31)
    assert clock.pip_at(end - 60.0 / (120 * 24)) == 512 + 11 * 8 // 3


def test_start_goes_back_to_pip_zero(clock):
    clock.feed(mido.Message("start"), 0.0)
    after = play(clock, 120.0, 60, 0.0)
    clock.feed(mido.Message("start"), after)
    assert clock.pip_at(after) == 0
    play(clock, 120.0, 1, after + 0.001)
    assert clock.pip_at(after + 0.001) == 0


def test_before_a_start_pulses_give_the_tempo_only(clock):
    play(clock, 140.0, 48, 5.0)
    assert clock.bpm == pytest.approx(140.0) and not clock.playing
    assert clock.pip_at(5.0) == clock.pip_at(7.0) == 0


def test_other_messages_are_ignored(clock):
    clock.feed(mido.Message("start"), 0.0)
    play(clock, 120.0, 24, 0.0)
    before = (clock.pip_at(0.6), clock.bpm)
    for message in (mido.Message("note_on", note=60), mido.Message("control_change", control=7), "clock"):
        clock.feed(message, 0.55)
    assert (clock.pip_at(0.6), clock.bpm) == before


def test_a_clock_that_pauses_measures_the_tempo_afresh(clock):
    play(clock, 90.0, 48, 0.0)
    play(clock, 150.0, 6, 10.0)
    assert clock.bpm == pytest.approx(150.0)


def test_a_port_that_does_not_exist_is_a_clear_error():
    with pytest.raises(MidiPortError) as caught:
        MidiClock(port_name="kinetrope test port that does not exist")
    assert "kinetrope test port that does not exist" in str(caught.value)
    assert "\n" not in str(caught.value)


# Pulse arrival times a driver may stamp: (times, the tempo the clock may then show).
STAMPS = {
    "two-on-one-stamp": ([1.0, 1.0], 120.0),
    "a-burst-on-one-stamp": ([1.0] * 24, 120.0),
    "steady-then-one-stamp": ([1.0 + k * 60 / (140 * 24) for k in range(24)] + [2.0] * 24, None),
    "bunched-a-microsecond-apart": ([1.0 + k * 1e-6 for k in range(24)], 999.0),
    "spread-to-12-bpm": ([1.0 + k * 0.2 for k in range(24)], 20.0),
}


@pytest.mark.parametrize(("times", "bpm"), STAMPS.values(), ids=STAMPS.keys())
def test_pulses_stamped_alike_or_out_of_range_keep_a_tempo(clock, times, bpm):
    clock.feed(mido.Message("start"), times[0] - 0.01)
    pips = []
    for t in times:
        clock.feed(mido.Message("clock"), t)
        pips += [clock.pip_at(t), clock.pip_at(t + 0.001)]
        assert 20.0 <= clock.bpm == clock.bpm_at(t) <= 999.0
    assert pips == sorted(pips)
    if bpm is not None:
        assert clock.bpm == pytest.approx(bpm)
    clock.feed(mido.Message("stop"), times[-1] + 0.01)
    assert clock.pip_at(times[-1] + 1.0) == clock.pip_at(times[-1] + 0.01)


def test_a_source_quiet_for_a_month_holds_the_pip(clock):
    clock.feed(mido.Message("start"), 0.0)
    after = play(clock, 999.0, 48, 0.0)
    month = 30 * 86400.0  # past the 23.3 days 2**31 pips last at 999 bpm
    assert clock.pip_at(after + month) == 127
    clock.feed(mido.Message("stop"), after + month)
    assert clock.pip_at(after + month + 1.0) == 127


MESSAGES = st.one_of(
    st.tuples(st.just("clock"), st.one_of(st.just(0.0), st.floats(0.0, 0.001), st.floats(0.005, 0.05),
                                          st.floats(0.2, 0.3), st.floats(1.0, 1e6))),
    st.tuples(st.sampled_from(["start", "stop", "continue", "songpos"]), st.floats(0.0, 0.5)),
)


@settings(max_examples=200, deadline=None)
@given(messages=st.lists(MESSAGES, min_size=1, max_size=80), pos=st.integers(0, 16383))
def test_no_run_of_messages_stops_the_clock_or_gives_a_tempo_outside_the_range(messages, pos):
    clock, now, last = MidiClock(), 0.0, None
    for kind, gap in messages:
        now += gap
        clock.feed(mido.Message("songpos", pos=pos) if kind == "songpos" else mido.Message(kind), now)
        pips = [clock.pip_at(now + k * 0.004) for k in range(3)]
        assert pips == sorted(pips) and 20.0 <= clock.bpm == clock.bpm_at(now) <= 999.0
        if kind == "clock" and clock.playing and last is not None:
            assert pips[0] >= last  # while it plays, a pulse never takes the pip back
        last = pips[-1] if clock.playing and kind in ("clock", "continue") else None
