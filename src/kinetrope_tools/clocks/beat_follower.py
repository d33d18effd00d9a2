"""Follows the beat of audio fed block by block, causally: what a listening clock hears.

The audio goes through the live beat network (``beat_activation``): every
10 ms a frame of its spectrum, and 20 ms later (the net's lookahead) how
likely a beat is at that frame's centre. That activation is the follower's
curve: it peaks on the beats and, often nearly as high, on the eighths
between, but not on every hit of the hats as an onset curve does. The tempo
comes from the curve's autocorrelation over the last few seconds; the phase
from a comb of beats laid back over the curve. Once
both have held for a beat, the follower is locked and turns into a
phase-locked loop: at each beat it looks for the curve's peak near where the
beat was due and pulls the phase and the period a part of the way towards
it. Where no clear peak is found (a breakdown, silence) it runs on at the
last tempo and phase and its confidence falls; a run of autocorrelation
tempos that disagree with the loop's re-locks it on the new tempo. Twice a
second the offline nets, which hear the seconds on either side of a beat,
check the loop's phase over the spectrum's recent past (hindsight.py): a
loop they hear a quarter or half a beat off the beat is moved onto it.

Only numpy, and a bounded amount of work a block: it runs in real time.
"""

from __future__ import annotations

import math
from collections import deque
from dataclasses import dataclass
from typing import Any

import numpy as np

from .beat_activation import LiveBeatNet, Spectrogram
from .hindsight import Hindsight
from .tempo import TempoError, checked_bpm

_HISTORY_SECONDS = 8.0
_TEMPO_WINDOW_SECONDS = 6.0
_TEMPO_EVERY_SECONDS = 0.05
# The shortest stretch of curve a tempo is read from: shorter, its slower periods are read on noise.
_LEAST_WINDOW_SECONDS = 2.5
# A beat heard raises the activation to at least this (a full-scale click to 0.78; a held tone and
# silence stay under 0.13, hiss under 0.15 but for a moment where it starts).
_ONSETS = 0.3
# Tempos within this ratio are the same tempo.
_SAME_TEMPO = 0.03
# Before locking: this many tempo estimates in a row agree and this many beats have been heard.
_AGREEING_ESTIMATES = 6
_BEATS_BEFORE_LOCK = 3.0
# The loop: how far from the due time a beat is looked for (part of a beat),
# and how much of the error the phase and the period take up at each beat.
_SEARCH = 0.2
_PHASE_GAIN = 0.6
_PERIOD_GAIN = 0.25
# An error up to this part of a period moves the period at once; a larger one only once it repeats.
_PERIOD_ERROR = 0.15
# Confidence: how much each beat moves it; a beat counts as clear when its
# peak stands this far above the curve's recent level.
_CONFIDENCE_STEP = 0.2
_CLEAR_RATIO = 2.0
# A beat is strong against the recent clear beats' height at this share; that height fades by this
# much at each beat that is not, so music that grows quieter is followed again.
_STRONG = 0.4
_PEAKS_FADE = 0.95
# The tempo: the autocorrelation's strongest periods and their simple ratios are the candidates.
# The live net marks the eighths about as often as the beats, so the curve repeats at half the
# beat as well as at the beat: the period chosen repeats, has nothing repeating at a third of it
# (a dotted period, three eighths, does), and of the levels left the one nearest the middle of
# dance tempos wins. A syncopated groove (three, three and two sixteenths) repeats at three
# quarters of a beat and at one and a half: only its true beat repeats bar by bar as well.
_RATIOS = (0.5, 2 / 3, 0.75, 1.0, 1.5, 2.0)
_BEATS_A_BAR = 4
_BAR_PHASE_WEIGHT = 1.0
# The net's bar activation repeats every bar at the beat it hears: that settles between a beat and
# twice it where the beat activation repeats at both.
_BAR_LEVEL_WEIGHT = 1.0
_BAR_WEIGHT = 1.0
_THIRD_WEIGHT = 1.0
_CENTRE_BPM = 128.0
_OCTAVE_PENALTY = 0.5
# Disagreeing tempo estimates that re-lock the loop, in a row.
_DISAGREEING_ESTIMATES = 30
_RELOCK_CONFIDENCE = 0.5
_COUNTED_OTHERWISE = (1.0, 0.5, 2 / 3, 0.75, 4 / 3, 1.5, 2.0)


def _refined(lags: np.ndarray, score: np.ndarray, best: int) -> float:
    """The lag of the peak at ``best``, between the lags by a parabola through it and its neighbours."""
    lag = float(lags[best])
    if 0 < best < len(score) - 1:
        before, here, after = score[best - 1], score[best], score[best + 1]
        bend = before - 2 * here + after
        if bend < 0:
            lag += 0.5 * (before - after) / bend
    return lag


def _autocorrelation(curve: np.ndarray) -> np.ndarray | None:
    """The curve's unbiased autocorrelation, 1 at lag 0 (None for a flat curve)."""
    count = len(curve)
    curve = curve - curve.mean()
    size = 1 << int(math.ceil(math.log2(2 * count)))
    spectrum = np.fft.rfft(curve, size)
    acf = np.fft.irfft(spectrum * np.conj(spectrum), size)[:count]
    if acf[0] <= 1e-12:
        return None
    return np.asarray(acf / (acf[0] * (count - np.arange(count)) / count))


@dataclass(frozen=True)
class Beat:
    """A beat heard: number ``number`` (counted from lock) at ``seconds``, ``period`` seconds a beat."""

    number: int
    seconds: float
    period: float

    @property
    def bpm(self) -> float:
        return 60.0 / self.period

    def position_at(self, seconds: float) -> float:
        """The beat (fractional) at ``seconds`` on this beat's line."""
        return self.number + (seconds - self.seconds) / self.period


class BeatFollower:
    """Hears audio at ``samplerate`` fed in blocks and follows its beat.

    ``feed`` takes each block with the time its first sample was heard; the
    follower answers with the last ``beat`` it placed (None before lock),
    ``locked``, ``confidence`` (0 to 1) and ``bpm``. Tempos are looked for in
    ``bpm_range``.
    """

    def __init__(self, samplerate: float, *, bpm_range: tuple[float, float] = (70.0, 180.0)) -> None:
        rate = float(samplerate)
        if not (math.isfinite(rate) and 8000.0 <= rate <= 384000.0):
            raise ValueError(f"a sample rate is from 8000 to 384000 Hz, not {samplerate!r}")
        low, high = (checked_bpm(bpm) for bpm in bpm_range)
        if not high >= low * 1.5:
            raise TempoError(f"a tempo range must span at least a ratio of 1.5, not {low:g} to {high:g}")
        self.samplerate = rate
        self.bpm_range = (low, high)
        self._spectrogram = Spectrogram(rate)
        self._net = LiveBeatNet()
        self._hop = self._spectrogram.hop
        self._frame_seconds = self._hop / rate
        self._hindsight = Hindsight(self._frame_seconds)
        self._tempo_every = max(1, round(_TEMPO_EVERY_SECONDS / self._frame_seconds))
        # The net's first rows are about frames before the first: dropped.
        self._unborn = self._net.net.lookahead
        self._history = max(int(_HISTORY_SECONDS / self._frame_seconds), 64)
        self._curve = np.zeros(2 * self._history, dtype=np.float64)
        self._bar_curve = np.zeros(2 * self._history, dtype=np.float64)
        self._frames = 0  # frames of activation so far; frame k is centred at self._frame_time(k)
        self._samples_in = 0
        self._start = 0.0  # the time sample 0 was heard
        self._lag_low = 60.0 / high / self._frame_seconds
        self._lag_high = 60.0 / low / self._frame_seconds
        # Tempo estimates and lock
        self._estimates: list[float] = []
        self._first_loud: int | None = None
        self._disagree = 0
        self._beat: Beat | None = None
        self._due: float | None = None  # seconds of the next beat the loop waits for
        self._errors: deque[float] = deque(maxlen=3)  # the loop's last errors, in seconds (0: not heard)
        self.confidence = 0.0
        self._level = 0.0  # the curve's recent level, for telling a clear beat
        self._peaks = 0.0  # the recent clear beats' height

    # -- what it answers

    @property
    def beat(self) -> Beat | None:
        return self._beat

    @property
    def locked(self) -> bool:
        return self._beat is not None

    @property
    def bpm(self) -> float | None:
        beat = self._beat
        return None if beat is None else beat.bpm

    def resync(self) -> None:
        """Forgets the tempo and listens afresh."""
        self._beat = None
        self._due = None
        self._estimates.clear()
        self._first_loud = None
        self.confidence = 0.0

    # -- audio in

    def feed(self, block: np.ndarray, at_seconds: float) -> None:
        """Hears ``block`` (samples, or samples by channels), whose first sample was heard at ``at_seconds``."""
        samples = np.asarray(block, dtype=np.float32)
        if samples.ndim == 2:
            samples = samples.mean(axis=1) if samples.shape[1] > 1 else samples[:, 0]
        elif samples.ndim != 1:
            raise ValueError("a block is samples, or samples by channels")
        expected = self._start + self._samples_in / self.samplerate
        if self._samples_in == 0 or abs(at_seconds - expected) > 0.05:
            # The first block, or samples were lost or came late: take the time given.
            moved = at_seconds - expected
        else:
            # Follow the timestamps slowly, so a sample clock that drifts from the host's is followed
            # without the jitter of each block's timestamp.
            moved = 0.05 * (at_seconds - expected)
        self._start += moved
        if self._samples_in > 0:
            self._retime(moved)
        self._samples_in += len(samples)
        features = self._spectrogram.push(samples)
        if len(features) == 0:
            return
        self._hindsight.push(features)
        for row in self._net.push(features):
            if self._unborn > 0:
                self._unborn -= 1
                continue
            self._frame(float(row[0]), float(row[1]))
        if self._beat is not None:
            self._check_phase(self._beat)

    def _check_phase(self, beat: Beat) -> None:
        """Moves the loop to the grid the offline nets hear as the beat, seconds later (hindsight.py)."""
        shift = self._hindsight.check(beat.seconds, beat.period, self._start)
        if shift:
            self._beat = Beat(beat.number, beat.seconds + shift * beat.period, beat.period)
            if self._due is not None:
                self._due += shift * beat.period
            self._errors.clear()

    def _retime(self, moved: float) -> None:
        """Moves the loop with the audio's timeline: what comes after a stall is heard that much later,
        which is neither a change of tempo nor of phase in the music."""
        if moved == 0.0:
            return
        if self._beat is not None:
            self._beat = Beat(self._beat.number, self._beat.seconds + moved, self._beat.period)
        if self._due is not None:
            self._due += moved

    def _frame_time(self, frame: Any) -> Any:
        """The time of frame ``frame`` (a number, or an array of them): its centre, where the net
        places a beat heard in it."""
        return self._start + frame * self._frame_seconds

    def _frame(self, value: float, bar_value: float) -> None:
        history = self._history
        index = self._frames % history
        self._curve[index] = value
        self._curve[index + history] = value
        self._bar_curve[index] = bar_value
        self._bar_curve[index + history] = bar_value
        self._frames += 1
        self._level += (value - self._level) * (self._frame_seconds / 1.5)
        if self._first_loud is None and value > _ONSETS and self._frames > 2:
            self._first_loud = self._frames - 1
        if self._beat is not None:
            self._follow()
        if self._frames % self._tempo_every == 0 and self._first_loud is not None:
            self._estimate()

    def _recent(self, count: int, curve: np.ndarray | None = None) -> np.ndarray:
        """The last ``count`` values of the curve (or of ``curve``, kept alike), oldest first."""
        end = self._frames % self._history + self._history
        return (self._curve if curve is None else curve)[end - count : end]

    # -- tempo and phase from the curve

    def _tempo_lag(self) -> tuple[float, float] | None:
        """The beat's period in frames from the recent curve, and how clear it is (0 to 1)."""
        count = min(self._frames, int(_TEMPO_WINDOW_SECONDS / self._frame_seconds))
        if count < _LEAST_WINDOW_SECONDS / self._frame_seconds:
            return None
        curve = self._recent(count)
        # Onsets on at least half the beats of the slowest tempo, or no tempo: not in silence, a held
        # tone or a hum, whose curve only wavers, nor from a single onset.
        rank = max(2, int(count / self._lag_high / 2))
        if float(np.partition(curve, count - rank)[count - rank] - np.median(curve)) < _ONSETS:
            return None
        acf = _autocorrelation(curve)
        if acf is None:
            return None
        bar_acf = _autocorrelation(self._recent(count, self._bar_curve))
        positions = np.arange(count, dtype=np.float64)

        def at(lag: np.ndarray | float) -> np.ndarray:
            return np.asarray(np.interp(lag, positions, acf, right=0.0))

        def bar_level(lag: float) -> float:
            """How much the bar activation repeats every bar of this beat rather than every half bar:
            twice the beat's period repeats at half its bar."""
            if bar_acf is None or _BEATS_A_BAR * lag > 0.7 * count:
                return 0.0
            whole, half = np.interp([_BEATS_A_BAR * lag, _BEATS_A_BAR * lag / 2], positions, bar_acf)
            return float(whole - half)

        lags = np.arange(math.floor(self._lag_low), math.ceil(self._lag_high) + 1, dtype=np.float64)
        comb = at(lags) + 0.5 * at(2 * lags)
        peaks = [i for i in range(1, len(lags) - 1) if comb[i] >= comb[i - 1] and comb[i] >= comb[i + 1]]
        if not peaks:
            return None
        peaks = sorted(peaks, key=lambda i: -comb[i])[:4]
        found = {_refined(lags, comb, i) * ratio for i in peaks for ratio in _RATIOS}
        candidates = sorted(lag for lag in found if self._lag_low <= lag <= self._lag_high)

        def score(lag: float) -> float:
            bpm = 60.0 / (lag * self._frame_seconds)
            # A bar too long for the window reads as its half: neither helps nor hurts.
            bar = _BEATS_A_BAR * lag if _BEATS_A_BAR * lag <= 0.7 * count else 2 * lag
            return (float(at(lag)) + 0.5 * float(at(2 * lag)) - _THIRD_WEIGHT * max(0.0, float(at(lag / 3)))
                    + _BAR_WEIGHT * float(at(bar)) + _BAR_LEVEL_WEIGHT * bar_level(lag)
                    - _OCTAVE_PENALTY * abs(math.log2(bpm / _CENTRE_BPM)))

        scores = [score(lag) for lag in candidates]
        best = int(np.argmax(scores))
        lag = candidates[best]
        # The curve's normalized correlation at the beat, or at two (a groove with a half-time feel).
        clarity = max(0.0, min(1.0, max(float(at(lag)), float(at(2 * lag)))))
        return float(lag), clarity

    def _phase(self, lag: float) -> float:
        """The frame (fractional) of the last beat, from a comb of beats laid back over the curve."""
        count = min(self._frames, int(4 * lag) + int(lag) + 2)
        # The live net marks the off-beat eighths nearly as high as the beats, but bar lines only on
        # beats: the bar activation tells which of the two is the beat.
        curve = self._recent(count) + _BAR_PHASE_WEIGHT * self._recent(count, self._bar_curve)
        positions = np.arange(count, dtype=np.float64)
        newest = count - 1
        offsets = np.arange(0.0, lag, 0.5)
        beats = np.arange(4)
        taps = newest - offsets[:, None] - beats[None, :] * lag
        weights = np.array([1.0, 0.8, 0.6, 0.5])
        valid = taps >= 0
        values = np.where(valid, np.interp(np.clip(taps, 0, newest), positions, curve), 0.0)
        score = (values * weights).sum(axis=1)
        best = float(offsets[int(np.argmax(score))])
        return (self._frames - 1) - best

    def _estimate(self) -> None:
        found = self._tempo_lag()
        if found is None:
            return
        lag, clarity = found
        if self._beat is None:
            self._estimates.append(lag)
            del self._estimates[:-_AGREEING_ESTIMATES]
            heard = (self._frames - (self._first_loud or 0)) / lag
            if (len(self._estimates) == _AGREEING_ESTIMATES and heard >= _BEATS_BEFORE_LOCK and clarity > 0.2
                    and max(self._estimates) <= min(self._estimates) * (1 + _SAME_TEMPO)):
                self._lock(float(np.median(self._estimates)), 0)
            return
        period_frames = self._beat.period / self._frame_seconds
        # Only while beats are heard clearly: in a breakdown the pads and the bass make other periods,
        # and the loop runs on instead.
        ratio = lag / period_frames
        # Nor to a tempo in a simple ratio to the one followed (twice, two thirds, ...): that is the
        # same music counted another way, and the count the loop keeps is the one the show is on.
        other = all(abs(math.log(ratio / simple)) > math.log(1 + 2 * _SAME_TEMPO) for simple in _COUNTED_OTHERWISE)
        if other and clarity > 0.3 and self.confidence >= _RELOCK_CONFIDENCE:
            self._disagree += 1
            if self._disagree >= _DISAGREEING_ESTIMATES:
                self._disagree = 0
                self._lock(lag, self._beat.number)
        else:
            self._disagree = 0

    def _lock(self, lag: float, number_from: int) -> None:
        last = self._phase(lag)
        period = lag * self._frame_seconds
        seconds = self._frame_time(last)
        if self._beat is not None:
            # Keep counting: the new beat takes the number of the old line's nearest beat.
            number = round(self._beat.position_at(seconds))
        else:
            number = number_from
        self._beat = Beat(number, seconds, period)
        self._due = seconds + period
        self._errors.clear()
        self._hindsight.forget()
        self.confidence = max(self.confidence, 0.5)

    def _follow(self) -> None:
        """At each beat due, looks for its peak and pulls the loop towards it."""
        beat, due = self._beat, self._due
        assert beat is not None and due is not None
        reach = _SEARCH * beat.period
        newest = self._frames - 1
        if self._frame_time(newest) < due + reach:
            return
        first = max(0, math.ceil((due - reach - self._frame_time(0)) / self._frame_seconds))
        last = newest
        if first > last or newest - first >= self._history:
            self._beat = Beat(beat.number + 1, due, beat.period)
            self._due = due + beat.period
            return
        frames = np.arange(first, last + 1)
        values = self._recent(self._frames - first)[: len(frames)]
        offsets = (self._frame_time(frames) - due) / reach
        weighted = values * np.exp(-0.5 * (offsets / 0.6) ** 2)
        best = int(np.argmax(weighted))
        peak = float(values[best])
        where = float(frames[best])
        if 0 < best < len(values) - 1:
            before, here, after = values[best - 1], values[best], values[best + 1]
            bend = before - 2 * here + after
            if bend < 0:
                where += 0.5 * (before - after) / bend
        # A beat steers the loop only if it stands out from the curve and is about as strong as the
        # beats heard lately: in a breakdown the pads' and bass's onsets must not pull the phase.
        clear = peak > _CLEAR_RATIO * self._level and peak > _ONSETS and peak > _STRONG * self._peaks
        number = beat.number + 1
        if clear:
            error = self._frame_time(where) - due
            seconds = due + _PHASE_GAIN * error
            self._errors.append(error)
            # A small error is a tempo that changed (by 6 %, its first beat errs by 6 % of a period): the
            # period takes it at once. A large one the period takes only once it repeats: the middle of
            # the last three errors leaves out a click (a dropout in the input, a stray hit).
            steady = abs(error) <= _PERIOD_ERROR * beat.period
            period = beat.period + _PERIOD_GAIN * (error if steady else float(np.median(self._errors)))
            low, high = 60.0 / self.bpm_range[1], 60.0 / self.bpm_range[0]
            period = min(max(period, low), high)
            self._peaks += (peak - self._peaks) * 0.3
            strength = min(1.0, peak / (self._peaks + 1e-9))
            self.confidence += (strength - self.confidence) * _CONFIDENCE_STEP
        else:
            seconds, period = due, beat.period
            self._errors.append(0.0)
            self.confidence -= self.confidence * _CONFIDENCE_STEP
            self._peaks *= _PEAKS_FADE
        self._beat = Beat(number, seconds, period)
        self._due = seconds + period
