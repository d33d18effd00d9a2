"""Where in the groove the beats fall: on the beat, or a quarter, half or three quarters of a beat off.

A tracker that has found the tempo can still put its beats on the "&"s, or on
the "e"s of a groove whose hats and syncopated kicks are louder off the beat
than on it. Three things say where the beat is, each folded over four beats
at sixteenth-note steps:
- the kick (low band) leads on beat 1, less on 3, least on 2 and 4;
- the snare or clap (middle band) answers on the backbeats 2 and 4;
- the harmony (the chords and the bass line) changes on the bar line.
The beats move to the quarter of a beat where the three agree best, when it
is clearly better than where they are.
"""

from __future__ import annotations

import numpy as np

SLOTS = 16  # sixteenth notes in a bar of four beats
KICK_TEMPLATE = np.zeros(SLOTS)
KICK_TEMPLATE[[0, 8, 4, 12]] = [1.0, 0.5, 0.25, 0.25]
SNARE_TEMPLATE = np.zeros(SLOTS)
SNARE_TEMPLATE[[4, 12]] = 1.0
# How much the harmony's change on the bar line weighs beside the drums. The chords of a real song
# seldom change exactly on the sixteenth (a pad swells in, a bass note slides), so it tips the
# choice where the drums are torn rather than leading it.
HARMONY_WEIGHT = 0.5
# Two bars of four beats, and the beat that closes them: the fewest beats a fold can be read from.
SHORTEST = 9
# How much better (in standard deviations of the folded profiles) another quarter of the beat must
# fit before the beats are moved there.
MARGIN = 0.5


def quarter_slots(beats: np.ndarray) -> np.ndarray:
    """The times of the four sixteenths of every beat but the last."""
    return (beats[:-1, None] + np.diff(beats)[:, None] * np.arange(4) / 4).ravel()


def phase_fits(
    beats: np.ndarray, low: np.ndarray, mid: np.ndarray, chroma: np.ndarray, frame_seconds: float
) -> np.ndarray:
    """For each quarter of a beat (0-3) the beats could be moved by, how well the drums and the
    harmony fit a bar there (the best of the four bar positions)."""
    slots = quarter_slots(beats)
    count = len(slots) // SLOTS * SLOTS
    frames = np.clip(np.round(slots[:count] / frame_seconds).astype(int), 0, len(low) - 1)
    kick = _folded(peaks_near(low, frames))
    snare = _folded(peaks_near(mid, frames))
    harmony = _folded(_harmonic_change(chroma, frames, beat_frames=float(np.median(np.diff(beats))) / frame_seconds))
    fits = np.array([
        kick @ np.roll(KICK_TEMPLATE, shift) + snare @ np.roll(SNARE_TEMPLATE, shift) + HARMONY_WEIGHT * harmony[shift]
        for shift in range(SLOTS)
    ])
    return np.array([fits[quarter::4].max() for quarter in range(4)])


def on_the_beat(
    beats: np.ndarray, low: np.ndarray, mid: np.ndarray, chroma: np.ndarray, frame_seconds: float
) -> np.ndarray:
    """The beats moved to the quarter of a beat where the drums and harmony fit best, or as they are
    when no other quarter fits clearly better."""
    if len(beats) < SHORTEST:
        return beats
    fits = phase_fits(beats, low, mid, chroma, frame_seconds)
    quarter = int(np.argmax(fits))
    if quarter == 0 or fits[quarter] <= fits[0] + MARGIN:
        return beats
    following = np.append(np.diff(beats), beats[-1] - beats[-2])
    return np.asarray(beats + following * quarter / 4)


def peaks_near(envelope: np.ndarray, frames: np.ndarray) -> np.ndarray:
    """The envelope's peak within a frame of each frame: a hit the tracker's frame rounding put one
    frame off still counts."""
    return np.array([envelope[max(0, f - 1) : f + 2].max() for f in frames])


def _folded(values: np.ndarray) -> np.ndarray:
    """The mean over bars of four beats at each sixteenth, standardized."""
    profile = values.reshape(-1, SLOTS).mean(axis=0)
    spread = float(np.std(profile))
    return (profile - profile.mean()) / spread if spread > 0 else profile * 0.0


def _harmonic_change(chroma: np.ndarray, frames: np.ndarray, beat_frames: float) -> np.ndarray:
    """At each frame, how different the pitch classes of the beat after it are from those of the beat
    before it (1 - their cosine similarity); where a beat does not fit in the track, the mean change."""
    width = max(1, int(beat_frames))
    total = np.cumsum(np.pad(chroma, ((0, 0), (1, 0))), axis=1)
    inside = (frames - width >= 0) & (frames + width < chroma.shape[1])
    if not np.any(inside):
        return np.zeros(len(frames))
    at = frames[inside]
    before = total[:, at] - total[:, at - width]
    after = total[:, at + width] - total[:, at]
    norms = np.linalg.norm(before, axis=0) * np.linalg.norm(after, axis=0)
    similarity = np.divide((before * after).sum(axis=0), norms, out=np.ones_like(norms), where=norms > 0)
    change = np.full(len(frames), np.nan)
    change[inside] = 1.0 - similarity
    return np.where(inside, change, np.nanmean(change))
