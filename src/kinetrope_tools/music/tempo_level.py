"""Which metrical level is the beat: the tempo a listener taps, not its half, double or dotted kin.

The candidates are the strongest periods of the onsets' tempogram and their
halves, doubles, two thirds and three halves. Each is scored on how much of
the onset strength falls on the sixteenth grid of the beats decoded at that
tempo (the beat's own grid holds nearly every hit; a grid two thirds or three
halves as fast misses many), on how closely the onsets repeat after a bar of
four beats (or two bars), and on a gentle preference for tempi near the
middle of what listeners tap, which only parts tempi the music leaves equal.
"""

from __future__ import annotations

import numpy as np

from .beat_hmm import decode
from .features import Features, autocorrelation, peaks_near, quarter_slots

# Listeners' beats cluster around this tempo; tempi equally good at the grid and the bar are told
# apart by their distance from it, in octaves, times LEVEL_PULL.
CENTRE = 120.0
LEVEL_PULL = 0.3
BAR_WEIGHT = 1.0
# The grid is read on this long a stretch from the middle of the song.
EXCERPT_SECONDS = 60.0
# Each candidate's beats are decoded this close to it.
NEAR = 1.04
# The tempogram's bins lie a few per cent apart; the tempo between them is found where the onsets
# repeat after 1, 2, 4 and 8 beats at once, searched this far either side in steps of PRECISION.
NEAR_TEMPO = 0.03
PRECISION = 0.05  # BPM
REPEATS = (1, 2, 4, 8)


def tempo_level(features: Features, strength: np.ndarray, low: float, high: float, *, choose: bool = True) -> float:
    """The tempo (BPM) between ``low`` and ``high`` whose beats a listener taps."""
    frame = features.frame_seconds
    pairs = len(features.onsets) // 2 * 2
    coarse = features.onsets[:pairs].reshape(-1, 2).max(axis=1)
    power = _mean_tempogram(coarse)
    with np.errstate(divide="ignore"):
        tempi = 60.0 / (np.arange(len(power)) * 2 * frame)
    inside = (tempi >= low / 2) & (tempi <= high * 2)
    peaks = [
        i for i in range(1, len(power) - 1)
        if inside[i] and power[i] >= power[i - 1] and power[i] >= power[i + 1]
    ]
    peaks = sorted(peaks, key=lambda i: -power[i])[:6]
    correlation = autocorrelation(features.onsets)
    if not choose:
        within = [i for i in peaks if low <= tempi[i] <= high]
        return _precise(correlation, float(tempi[within[0]]), low, high, frame) if within else (low + high) / 2
    candidates: list[float] = []
    for tempo in sorted(float(tempi[i]) * factor for i in peaks for factor in (0.5, 2 / 3, 1.0, 1.5, 2.0)):
        if low <= tempo <= high and not (candidates and tempo < candidates[-1] * 1.02):
            candidates.append(tempo)
    precise: list[float] = []
    for tempo in sorted(_precise(correlation, tempo, low, high, frame) for tempo in candidates):
        if not (precise and tempo < precise[-1] * 1.02):
            precise.append(round(tempo, 2))
    if not precise:
        return float(np.clip(CENTRE, low, high))
    length = int(EXCERPT_SECONDS / frame)
    first = max(0, (len(strength) - length) // 2)
    excerpt = slice(first, first + length)

    def score(tempo: float) -> float:
        grid = _grid_fit(features.onsets[excerpt], strength[excerpt], tempo, frame)
        return grid + BAR_WEIGHT * _bar_repeat(features.onsets, tempo, frame) - LEVEL_PULL * abs(
            float(np.log2(tempo / CENTRE))
        )

    return max(precise, key=score)


WINDOW = 384  # frames of the tempogram's windows (8.9 s at 23 ms)
WINDOW_HOP = 16


def _mean_tempogram(envelope: np.ndarray) -> np.ndarray:
    """The normalized autocorrelation of Hann-windowed stretches of ``envelope``, averaged over the
    song: how strongly each lag (in frames) repeats, tempo changes and all."""
    padded = np.pad(envelope, WINDOW // 2, mode="linear_ramp")
    starts = np.arange(0, len(envelope), WINDOW_HOP)
    frames = np.stack([padded[start : start + WINDOW] for start in starts]) * np.hanning(WINDOW)
    spectrum = np.fft.rfft(frames, 2 * WINDOW, axis=1)
    correlation = np.fft.irfft(spectrum.real**2 + spectrum.imag**2, axis=1)[:, :WINDOW]
    correlation /= np.maximum(correlation.max(axis=1, keepdims=True), 1e-12)
    return np.asarray(correlation.mean(axis=0))


def _grid_fit(onsets: np.ndarray, strength: np.ndarray, tempo: float, frame: float) -> float:
    """The share of the onset energy (above the median) within two frames of the sixteenth grid of
    the beats decoded at ``tempo``."""
    period = 60.0 / tempo / frame
    pulse = decode(strength, int(np.floor(period / NEAR)), int(np.ceil(period * NEAR)))
    frames = pulse.frames
    if len(frames) < 4:
        return 0.0
    grid = np.round(quarter_slots(frames.astype(float))).astype(int)
    near = np.zeros(len(onsets), dtype=bool)
    for shift in range(-2, 3):
        near[np.clip(grid + shift, 0, len(onsets) - 1)] = True
    span = slice(int(frames[0]), int(frames[-1]))
    values = np.maximum(0.0, onsets[span] - np.median(onsets[span]))
    total = float(values.sum())
    return float((values * near[span]).sum() / total) if total > 0 else 0.0


def _bar_repeat(onsets: np.ndarray, tempo: float, frame: float) -> float:
    """How closely the onsets repeat after one bar of four beats at ``tempo``, or after two."""
    centred = onsets - onsets.mean()
    energy = float(centred @ centred)
    if energy <= 0:
        return 0.0
    best = -1.0
    for bars in (1, 2):
        lag = bars * 4 * 60.0 / tempo / frame
        for frames in range(int(lag) - 2, int(lag) + 4):
            if 0 < frames < len(centred) // 2:
                best = max(best, float(centred[:-frames] @ centred[frames:]) / energy)
    return best


def _precise(correlation: np.ndarray, tempo: float, low: float, high: float, frame: float) -> float:
    """The tempo near ``tempo`` at which the autocorrelation, read between its frames, is highest
    summed over lags of 1, 2, 4 and 8 beats."""
    tempi = np.arange(max(low, tempo * (1 - NEAR_TEMPO)), min(high, tempo * (1 + NEAR_TEMPO)) + PRECISION, PRECISION)
    if len(tempi) == 0:
        return tempo
    lags = np.outer(60.0 / tempi / frame, REPEATS)
    inside = lags < len(correlation) - 1
    heights = np.where(inside, np.interp(np.where(inside, lags, 0), np.arange(len(correlation)), correlation), 0.0)
    return float(tempi[int(np.argmax(heights.sum(axis=1)))])


# Below this share of the onsets between the beats (on the "e", "&" and "a"), a tempo's beats hold the
# whole groove (reggae at twice its tempo: 0.02-0.11; a half-time bridge in a song at its own tempo: 0.14).
BARE_BEATS = 0.125
# Below this ratio between the low band's hits on alternate beats, the low drums skip every other beat.
SKIPPED_BEATS = 0.35


def eighths_as_beats(features: Features, frames: np.ndarray) -> bool:
    """Whether the beat ``frames`` hold every onset while the low drums mark only every other one:
    then each of those beats is an eighth note of a song at half the tempo."""
    if len(frames) < 8:
        return False
    onsets, low = features.onsets, features.low
    strength = np.maximum(0.0, onsets - np.median(onsets))
    bass = np.maximum(0.0, low - np.median(low))
    slots = np.round(quarter_slots(frames.astype(float))).astype(int)
    per_quarter = peaks_near(strength, slots, reach=2).reshape(-1, 4).mean(axis=0)
    total = float(per_quarter.sum())
    between = 1.0 - float(per_quarter[0]) / total if total > 0 else 0.0
    hits = peaks_near(bass, frames, reach=2)
    count = len(hits) // 2 * 2
    alternate = sorted([float(hits[0:count:2].mean()), float(hits[1:count:2].mean())])
    evenness = alternate[0] / alternate[1] if alternate[1] > 0 else 1.0
    return between < BARE_BEATS and evenness < SKIPPED_BEATS
