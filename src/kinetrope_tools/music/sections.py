"""Where a song's tempo changes, and the tempo of each stretch between, read from its beat times.

The tempo of a stretch is the slope of a straight line fitted through its
beats (time against beat number), not 60 over the median gap: the line uses
every beat, so a steady 127.3 BPM loop reads 127.3 although its gaps, each
rounded by the tracker's frames, read 127.6 at the median.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

# A stretch ends where the median gap of the next SPAN beats differs from the stretch's by more than this.
CHANGE = 0.04
SPAN = 8


@dataclass(frozen=True)
class Section:
    """A stretch of steady tempo: the index and time of its first beat and its tempo."""

    first_beat: int
    seconds: float
    bpm: float


def fitted_bpm(beats: np.ndarray) -> float:
    """The tempo of a straight line fitted through the beat times (at least two)."""
    beats = np.asarray(beats, dtype=np.float64)
    slope = float(np.polyfit(np.arange(len(beats)), beats, 1)[0])
    return 60.0 / slope


def tempo_sections(beats: np.ndarray) -> list[Section]:
    """The stretches of steady tempo of ``beats`` (seconds, ascending, at least two), in order; a
    ramp is cut wherever it has moved by more than CHANGE."""
    beats = np.asarray(beats, dtype=np.float64)
    gaps = np.diff(beats)
    starts = [0]
    index = SPAN
    while index + SPAN <= len(gaps):
        before = float(np.median(gaps[starts[-1] : index]))
        after = float(np.median(gaps[index : index + SPAN]))
        if abs(after / before - 1.0) > CHANGE:
            # The change itself: the first gap from here on that has moved by half the threshold.
            moved = np.flatnonzero(np.abs(gaps[index - SPAN // 2 : index + SPAN] / before - 1.0) > CHANGE / 2)
            start = index - SPAN // 2 + int(moved[0]) if len(moved) else index
            start = max(start, starts[-1] + 1)
            starts.append(start)
            index = start + SPAN
        else:
            index += 1
    # A change is placed at the first gap that has moved by half the threshold, and one jittery gap can
    # place it early: a stretch cut off that way keeps its neighbour's tempo and joins it again.
    merged = starts[:1]
    for start, end in zip(starts[1:], starts[2:] + [len(beats) - 1]):
        previous = fitted_bpm(beats[merged[-1] : start + 1])
        if abs(fitted_bpm(beats[start : end + 1]) / previous - 1.0) > CHANGE / 2:
            merged.append(start)
    ends = merged[1:] + [len(beats) - 1]
    return [Section(start, float(beats[start]), fitted_bpm(beats[start : end + 1])) for start, end in zip(merged, ends)]
