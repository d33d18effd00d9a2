"""The beat's phase checked in hindsight, by the offline beat network.

The live net sees 20 ms ahead, so where a groove's "&" is as loud as its
beat it cannot always tell which is which, and a loop may settle on the
off-beat. The offline nets hear 1.3 s on either side of a frame: run over
the last few seconds of the spectrum, they tell the beat from the "&" for
the stretch that is at least that far in the past. The phase of a steady
beat does not change in 1.3 s, so what they say of those beats is what the
loop should be doing now.

``Hindsight`` keeps the last seconds of the spectrum, and twice a second
lays the loop's beats back over the offline activation: at the beat, a
quarter, a half and three quarters of a beat later. When another of those
grids is clearly stronger three checks in a row, it answers the part of a
beat to move by.
"""

from __future__ import annotations

import numpy as np

from .beat_activation import activations, weights

# The spectrum kept, and how much of each end of it the offline nets cannot read fully (their reach).
_WINDOW_SECONDS = 8.0
_REACH_SECONDS = 1.3
_CHECK_EVERY_SECONDS = 0.5
# Another grid wins when its beats' activation is this many times the loop's, and its own beats are
# heard (their mean activation at least _HEARD); it must win this many checks in a row.
_BETTER = 2.0
_HEARD = 0.3
_VOTES = 3
_SHIFTS = (0.25, 0.5, 0.75)
_LEAST_BEATS = 3
# The loop's beats are laid back over the past at its present period, so only the frames since the
# period last moved by more than this share are read (a tempo that just changed puts the past beats
# elsewhere).
_STEADY = 0.01


class Hindsight:
    """Checks a loop's beat phase against the offline nets over the spectrum's last seconds.

    ``push`` takes each new frame of the spectrum, ``frame_seconds`` apart;
    ``check`` takes the loop's line and answers the part of a beat (-0.5 to 0.5) to move it by,
    or 0."""

    def __init__(self, frame_seconds: float) -> None:
        self._frame_seconds = frame_seconds
        self._size = int(round(_WINDOW_SECONDS / frame_seconds))
        self._reach = int(round(_REACH_SECONDS / frame_seconds))
        self._every = max(1, int(round(_CHECK_EVERY_SECONDS / frame_seconds)))
        self._features: np.ndarray | None = None
        self._count = 0  # frames pushed
        self._next_check = 2 * self._reach
        self._votes: list[float] = []
        self._steady_period = 0.0
        self._steady_from = 0  # the frame since which the loop's period has been steady

    def push(self, features: np.ndarray) -> None:
        rows = np.atleast_2d(np.asarray(features, dtype=np.float64))
        if self._features is None:
            self._features = np.zeros((2 * self._size, rows.shape[1]))
        for row in rows:
            index = self._count % self._size
            self._features[index] = row
            self._features[index + self._size] = row
            self._count += 1

    def forget(self) -> None:
        """Drops the votes gathered (the loop moved or was locked afresh)."""
        self._votes.clear()

    def check(self, beat_seconds: float, period: float, start: float) -> float:
        """The part of a beat to move a loop whose beats fall on ``beat_seconds`` + k ``period``, with
        frame 0 centred at ``start``, or 0.0; at most twice a second, and only with enough heard at the
        loop's present period."""
        if abs(period - self._steady_period) > _STEADY * period:
            self._steady_period, self._steady_from = period, self._count
            self._votes.clear()
        if self._features is None or self._count < self._next_check:
            return 0.0
        self._next_check = self._count + self._every
        held = min(self._count, self._size)
        end = self._count % self._size + self._size
        window = self._features[end - held : end]
        first_frame = self._count - held
        # The frames the nets read fully and the loop's period has held over, as times.
        read_from = max(first_frame + self._reach, self._steady_from)
        low = start + read_from * self._frame_seconds
        high = start + (self._count - 1 - self._reach) * self._frame_seconds
        if period <= 0 or high - low < _LEAST_BEATS * period:
            return 0.0
        first = np.ceil((low - beat_seconds) / period)
        last = np.floor((high - beat_seconds) / period) - 1  # room for the latest shift
        if last - first + 1 < _LEAST_BEATS:
            return 0.0
        beats = beat_seconds + np.arange(first, last + 1) * period
        activation = np.mean([activations(window, net)[:, 0] for net in weights("offline")], axis=0)

        def strength(shift: float) -> float:
            frames = np.round((beats + shift * period - start) / self._frame_seconds).astype(int) - first_frame
            frames = np.clip(frames, 1, held - 2)
            peaks = np.maximum(activation[frames], np.maximum(activation[frames - 1], activation[frames + 1]))
            return float(np.mean(peaks))

        here = strength(0.0)
        scores = {shift: strength(shift) for shift in _SHIFTS}
        shift = max(scores, key=lambda s: scores[s])
        if scores[shift] >= _HEARD and scores[shift] > _BETTER * here:
            self._votes.append(shift)
        else:
            self._votes.clear()
            return 0.0
        if len(self._votes) >= _VOTES and len(set(self._votes[-_VOTES:])) == 1:
            self._votes.clear()
            return shift if shift <= 0.5 else shift - 1.0
        return 0.0
