"""The listening clock's follower and its line of pips, fed numpy blocks directly (no audio server)."""

from __future__ import annotations

import numpy as np
import pytest

from kinetrope_tools.clocks import BeatFollower, SlewedLine, TempoError

RATE = 48000
START = 500.0  # the monotonic second the first sample was heard


def clicks(beats: np.ndarray, seconds: float, rate: int = RATE) -> np.ndarray:
    """A short decaying 1 kHz click on each of ``beats`` (seconds from the start)."""
    audio = np.zeros(int(rate * seconds), dtype=np.float32)
    click = (np.sin(2 * np.pi * 1000 * np.arange(240) / rate) * np.exp(-np.arange(240) / 40)).astype(np.float32)
    for beat in beats:
        at = int(round(beat * rate))
        audio[at : at + len(click)] += click[: len(audio) - at]
    return audio


def steady(bpm: float, seconds: float, first: float = 0.5) -> np.ndarray:
    return np.arange(first, seconds, 60.0 / bpm)


def fed(audio: np.ndarray, block: int = 512, rate: int = RATE, watch=None) -> BeatFollower:
    follower = BeatFollower(rate)
    for index in range(0, len(audio), block):
        follower.feed(audio[index : index + block], START + index / rate)
        if watch is not None:
            watch(follower, START + (index + block) / rate)
    return follower


def beat_error(follower: BeatFollower, beats: np.ndarray) -> float:
    """How far (seconds) the follower's last beat is from the nearest true beat."""
    beat = follower.beat
    assert beat is not None
    return float(np.min(np.abs(beats + START - beat.seconds)))


@pytest.mark.parametrize(("bpm", "block"), [(120.0, 512), (74.0, 256), (128.0, 1000), (174.0, 64), (150.0, 4096)],
                         ids=["120-512", "74-256", "128-odd-1000", "174-64", "150-4096"])
def test_steady_clicks_lock_within_eight_beats_on_the_beat(bpm, block):
    beats = steady(bpm, 14.0)
    locked_at = []

    def watch(follower, now):
        if follower.locked and not locked_at:
            locked_at.append(now - START)

    follower = fed(clicks(beats, 14.0), block, watch=watch)
    assert locked_at and locked_at[0] <= beats[8], "not locked within 8 beats"
    assert follower.bpm == pytest.approx(bpm, rel=0.005)
    # The beat network hears in frames 10 ms apart and places a click this short half a frame late
    # (a drum's beat it places on time): within 8 ms.
    assert beat_error(follower, beats) < 0.008
    assert follower.confidence > 0.9


@pytest.mark.parametrize("ratio", [1.06, 1 / 1.06], ids=["up-6%", "down-6%"])
def test_a_tempo_step_is_followed_within_four_beats(ratio):
    first = steady(124.0, 10.0)
    after = first[-1] + np.cumsum(np.full(20, 60.0 / (124.0 * ratio)))
    beats = np.concatenate([first, after])
    seen = {}

    def watch(follower, now):
        beat = follower.beat
        if beat is not None and now - START > after[4] + 0.05 and "late" not in seen:
            seen["late"] = (beat.bpm, float(np.min(np.abs(beats + START - beat.seconds))))

    follower = fed(clicks(beats, after[-1] + 0.3), watch=watch)
    bpm, error = seen["late"]
    assert bpm == pytest.approx(124.0 * ratio, rel=0.02), "tempo not followed by the 4th beat"
    assert error < 0.035
    assert follower.bpm == pytest.approx(124.0 * ratio, rel=0.003)


def test_a_breakdown_free_wheels_then_the_drop_locks_without_a_jump():
    period = 60.0 / 128.0
    beats = steady(128.0, 40.0)
    gap = (beats > 12.0) & (beats < 12.0 + 16 * period)  # sixteen beats of nothing
    heard = beats[~gap]
    states = []

    def watch(follower, now):
        states.append((now - START, follower.locked, follower.confidence, follower.beat))

    fed(clicks(heard, 40.0), watch=watch)
    before = [s for s in states if s[0] < 12.0][-1]
    inside = [s for s in states if 12.0 + 15 * period < s[0] < 12.0 + 16 * period][-1]
    assert before[1] and inside[1], "unlocked in the breakdown"
    assert inside[2] < 0.5 * before[2], "confidence did not fall"
    # The phase kept through the breakdown: its line is on the beat where the drums come back.
    drop = beats[gap][-1] + period
    kept = inside[3].position_at(drop + START)
    assert abs(kept - round(kept)) < 1 / 16
    # On the drop, no beat of the line moves by more than a sixteenth of a beat.
    after = [s[3] for s in states if drop < s[0] < drop + 8 * period]
    for old, new in zip(after, after[1:]):
        moved = new.position_at(new.seconds) - old.position_at(new.seconds)
        assert abs(moved - round(moved)) < 1 / 16


@pytest.mark.parametrize("sound", ["silence", "hiss", "held-tone"])
def test_no_beat_no_lock(sound):
    rng = np.random.default_rng(3)
    seconds = 8.0
    n = int(RATE * seconds)
    audio = {
        "silence": np.zeros(n, dtype=np.float32),
        "hiss": (0.1 * rng.standard_normal(n)).astype(np.float32),
        "held-tone": (0.3 * np.sin(2 * np.pi * 220 * np.arange(n) / RATE)).astype(np.float32),
    }[sound]
    follower = fed(audio)
    assert not follower.locked
    assert follower.beat is None and follower.confidence == 0.0


def test_stereo_blocks_are_heard_as_their_mix():
    beats = steady(120.0, 8.0)
    mono = clicks(beats, 8.0)
    stereo = np.stack([mono, np.zeros_like(mono)], axis=1)
    assert fed(stereo).bpm == pytest.approx(fed(mono).bpm, rel=1e-3)


@pytest.mark.parametrize(("rate", "bpm_range", "error"), [
    (4000, (70, 180), ValueError), (float("nan"), (70, 180), ValueError),
    (48000, (100, 120), TempoError), (48000, (5, 180), TempoError),
], ids=["rate-too-low", "rate-nan", "range-too-narrow", "tempo-out-of-range"])
def test_refused_settings(rate, bpm_range, error):
    with pytest.raises(error):
        BeatFollower(rate, bpm_range=bpm_range)


# -- the line of pips shown


def test_the_shown_pip_never_runs_back_nor_jumps_past_an_eighth_of_a_beat():
    """Through a lock far from the line shown before it, a tempo change and a bar line moved back."""
    from kinetrope_tools.clocks import Beat

    line = SlewedLine(112.0, 0.0)
    frame = 1 / 44
    now, last = 0.0, line.pip_shown(0.0)
    steps = []
    for n in range(int(20 / frame)):
        now = n * frame
        if n == 100:
            line.follow(Beat(0, now - 0.2, 0.4), now)  # the beats land far from what was shown
        if n == 300:
            line.follow(Beat(10, now - 0.05, 0.45), now)
        if n == 500:
            line.resync(now, now)
        pip = line.pip_shown(now)
        beat = 0.4 if n < 300 else 0.45
        steps.append((pip - last, frame / beat * 64))
        last = pip
    assert min(step for step, _ in steps) >= 0
    assert max(step - natural for step, natural in steps) <= 64 / 8 + 1


def test_the_shown_line_reaches_the_beats_and_the_offset_moves_it_earlier():
    from kinetrope_tools.clocks import Beat

    for offset in (0.0, 0.05):
        line = SlewedLine(112.0, 0.0, offset_seconds=offset)
        beat = Beat(0, 1.0, 0.5)
        now = 1.0
        for n in range(400):
            now = 1.0 + n * 0.01
            line.follow(beat, now)
        # Five seconds on: the line shows a whole beat where the beats' line has one, less the offset.
        pip = line.line.position_at(3.0 - offset)
        assert abs(pip / 64 - round(pip / 64)) < 0.02


def test_a_resync_moves_the_bar_line_and_keeps_the_tempo():
    from kinetrope_tools.clocks import Beat

    line = SlewedLine(120.0, 0.0, beats_per_bar=4)
    beat = Beat(0, 0.0, 0.5)
    for n in range(100):
        line.follow(beat, n * 0.01)
    line.resync(1.5, 1.0)  # the beat at 1.5 s (beat 3) becomes the first of a bar
    for n in range(100, 1000):
        line.follow(beat, n * 0.01)
    position = line.line.position_at(7.5) / 64  # beat 15 of the follower, 12 beats after 1.5 s
    assert position == pytest.approx(round(position), abs=0.02)
    assert round(position) % 4 == 0
    assert line.line.bpm == pytest.approx(120.0, rel=1e-6)


@pytest.mark.parametrize("style", ["amen_four_bar", "dnb_rolling"])
def test_a_breakbeat_is_followed_on_the_beat_not_the_off_beat(style):
    """Their snares and ghost notes fall between the beats as often as on them: an onset curve's comb
    settled on the off-beat, the beat network's activation does not."""
    import songs as synth

    made = synth.render(synth.read_grooves()[style], synth.genre_tempo(style), 16.0, seed=7)
    follower = fed(made.audio, rate=made.sample_rate)
    assert follower.bpm == pytest.approx(synth.genre_tempo(style), rel=0.01)
    assert beat_error(follower, made.beats) < 0.035


@pytest.mark.parametrize("late", [0.04, 0.12], ids=["40ms", "120ms"])
def test_an_input_that_falls_behind_moves_the_beats_not_the_tempo(late):
    """A stall in the input: every sample from the 10th second on is heard ``late`` later."""
    bpm = 124.0
    beats = steady(bpm, 20.0)
    audio = clicks(beats, 20.0)
    follower = BeatFollower(RATE)
    tempos = []
    for index in range(0, len(audio), 512):
        stalled = late if index >= 10 * RATE else 0.0
        follower.feed(audio[index : index + 512], START + index / RATE + stalled)
        if index >= 10 * RATE:
            tempos.append(follower.bpm)
    assert min(tempos) == pytest.approx(bpm, rel=0.005) and max(tempos) == pytest.approx(bpm, rel=0.005)
    assert beat_error(follower, beats + late) < 0.008


def test_a_click_in_a_breakdown_moves_neither_the_tempo_nor_the_phase():
    """A dropout in the input clicks once, a twelfth of a second before a beat the breakdown left out."""
    period = 60.0 / 128.0
    beats = steady(128.0, 30.0)
    gap = (beats > 12.0) & (beats < 12.0 + 16 * period)
    click = beats[gap][3] - 0.08
    tempos = []

    def watch(follower, now):
        if 12.0 < now - START < beats[gap][-1]:
            tempos.append(follower.bpm)

    follower = fed(clicks(np.sort(np.append(beats[~gap], click)), 30.0), watch=watch)
    assert min(tempos) == pytest.approx(128.0, rel=0.005) and max(tempos) == pytest.approx(128.0, rel=0.005)
    assert beat_error(follower, beats) < 0.008


@pytest.mark.parametrize("style", ["grime_syncopated"])
def test_a_groove_whose_off_beat_the_live_net_takes_is_moved_onto_the_beat_in_hindsight(style):
    """The live net sees 20 ms ahead and settles it on the "&"; the offline nets, hearing the
    seconds around each beat, move the loop onto the beat."""
    import songs as synth

    made = synth.render(synth.read_grooves()[style], synth.genre_tempo(style), 30.0, seed=7)
    follower = fed(made.audio, rate=made.sample_rate)
    assert follower.bpm == pytest.approx(synth.genre_tempo(style), rel=0.01)
    assert beat_error(follower, made.beats) < 0.035


@pytest.mark.parametrize(("loop_offset", "answer"), [(0.0, 0.0), (0.25, 0.5), (0.125, -0.25), (0.375, 0.25)],
                         ids=["on-the-beat", "on-the-off-beat", "a-quarter-late", "a-quarter-early"])
def test_hindsight_answers_the_move_onto_the_clicks_and_nothing_for_a_loop_on_them(loop_offset, answer):
    from kinetrope_tools.clocks.beat_activation import Spectrogram
    from kinetrope_tools.clocks.hindsight import Hindsight

    spectrogram = Spectrogram(RATE)
    hindsight = Hindsight(spectrogram.hop / RATE)
    audio = clicks(steady(120.0, 20.0), 20.0)
    answers = []
    for index in range(0, len(audio), 512):
        hindsight.push(spectrogram.push(audio[index : index + 512]))
        moved = hindsight.check(0.5 + loop_offset, 0.5, 0.0)
        if moved:
            answers.append(moved)
            loop_offset += moved * 0.5
    assert answers == ([] if answer == 0.0 else [answer])
    assert loop_offset % 0.5 == pytest.approx(0.0, abs=1e-9)
