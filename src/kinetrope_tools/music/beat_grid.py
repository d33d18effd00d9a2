"""One steady pulse through the whole track from the beats a tracker found.

A dynamic-programming tracker is sure of itself in the body of a song and
least sure where the evidence thins: it slips onto the off-beats for the last
bars of a syncopated break, skips a beat where a fill confuses it, and trims
the intro that has bass and pads but no drums. A listener hears one pulse
that carries on through all of those. So the longest stretch where the
tracker's beats keep an even pace is taken as the anchor, and from its ends
the pulse is carried on beat by beat to both ends of the sound: where the
tracker has a beat near the next expected one, its beat is kept (so a tempo
that moves is followed); elsewhere the expected time stands.
"""

from __future__ import annotations

from collections.abc import Callable

import numpy as np

# An interval belongs to an even stretch when it is within this share of the median of the intervals
# around it. The tracker's beats sit on 11.6 ms frames, so at 180 BPM two frames of rounding alone
# make 7 % of a beat; a slip onto the off-beat changes an interval by a quarter of a beat or more.
EVEN = 0.09
# The median is taken over the interval and this many on either side of it.
NEIGHBOURS = 4
# Fewer even intervals than this in a row are no anchor: the tracker's beats are returned as they are.
SHORTEST_ANCHOR = 8
# How near the next expected beat the tracker's own beat must be to be kept, in beats.
KEEP_WITHIN = 0.125
# A beat may come this much before the first sound is measured (the tracker's beats lead the onsets).
ONSET_SLACK = 0.03
# No beat is shorter than this (400 BPM).
SHORTEST_BEAT = 0.15
# The pace of the pulse carried on is read off this many of the latest beats.
PACE_BEATS = 12


def steady_grid(
    beats: np.ndarray, first_sound: float, last_sound: float, duration: float
) -> np.ndarray:
    """The beats as one pulse from ``first_sound`` to ``last_sound`` (seconds), anchored on the longest
    even stretch of ``beats``; no beat lands before the track starts or after ``duration``."""
    anchor = _longest_even_stretch(beats)
    if anchor is None:
        return beats
    first, last = anchor
    ahead = _carry(beats[first : last + 1], beats[last + 1 :], towards=min(last_sound, duration))
    behind = _carry(
        beats[first : last + 1][::-1], beats[:first][::-1], towards=max(first_sound - ONSET_SLACK, 0.0)
    )
    return np.concatenate([behind[::-1], beats[first : last + 1], ahead])


def _longest_even_stretch(beats: np.ndarray) -> tuple[int, int] | None:
    """The first and last index of the longest run of beats whose intervals keep an even pace."""
    intervals = np.diff(beats)
    if len(intervals) < SHORTEST_ANCHOR:
        return None
    padded = np.pad(intervals, NEIGHBOURS, mode="edge")
    local = np.array([np.median(padded[i : i + 2 * NEIGHBOURS + 1]) for i in range(len(intervals))])
    even = np.abs(intervals - local) <= EVEN * local
    best, best_length, start = None, 0, None
    for index, flag in enumerate(np.append(even, False)):
        if flag and start is None:
            start = index
        elif not flag and start is not None:
            if index - start > best_length:
                best, best_length = (start, index), index - start
            start = None
    if best is None or best_length < SHORTEST_ANCHOR:
        return None
    return best


def _carry(anchor: np.ndarray, tracked: np.ndarray, towards: float) -> np.ndarray:
    """Beats carried on from the end of ``anchor`` (ordered in the direction of travel: ascending to go
    forward, descending to go back) until ``towards`` is passed, keeping each of ``tracked`` (ordered
    the same way) that lands near an expected beat."""
    forward = anchor[-1] > anchor[0]
    beyond: Callable[[float], bool] = (lambda t: t > towards) if forward else (lambda t: t < towards)
    recent = list(anchor[-PACE_BEATS:])
    carried: list[float] = []
    while True:
        pace = _pace(recent)
        expected = recent[-1] + pace
        # A pace that stalls or turns round (beats that do not keep their order) carries nothing.
        if abs(pace) < SHORTEST_BEAT or (pace > 0) != forward or beyond(expected):
            break
        near = tracked[np.abs(tracked - expected) <= KEEP_WITHIN * abs(pace)] if len(tracked) else tracked
        beat = float(near[np.argmin(np.abs(near - expected))]) if len(near) else expected
        carried.append(beat)
        recent = (recent + [beat])[-PACE_BEATS:]
    return np.asarray(carried, dtype=np.float64)


def _pace(recent: list[float]) -> float:
    """The signed interval between beats over the recent ones: the slope of a straight line through
    them, so that a single beat the tracker placed late or early moves it little."""
    slope = np.polyfit(np.arange(len(recent)), np.asarray(recent), 1)[0]
    return float(slope)


def sounding_span(level_db: np.ndarray, frame_seconds: float, quiet_db: float) -> tuple[float, float]:
    """The time of the first and of the end of the last frame whose level is within ``quiet_db`` of
    the loud end of the track (its 95th percentile)."""
    loud = float(np.percentile(level_db, 95))
    audible = np.flatnonzero(level_db >= loud - quiet_db)
    if len(audible) == 0:
        return 0.0, len(level_db) * frame_seconds
    return float(audible[0] * frame_seconds), float((audible[-1] + 1) * frame_seconds)
