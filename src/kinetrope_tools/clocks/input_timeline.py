"""When each block of a live input was heard, on the host's monotonic clock.

An input's own timestamps cannot be trusted to count time: JACK's frame
time, for one, is an estimate that runs several percent slow for seconds
after a late cycle. What can be trusted is the count of samples, the moment
each block reaches the program, and the latency the input states for a
block (its current time minus the time its first sample reached the
converter, two readings of one clock taken together).

A block's first sample was heard at least its stated latency before the
block arrived, so each block gives a line ``heard = intercept + sample /
rate`` that is late by however long the block waited for the CPU. The
least late of the last blocks is the line: a lower one is taken at once
(a prompt block), a higher one only once every block of ``SETTLE_SECONDS``
agrees, which is what happens when the input fell behind for good (a stall
whose samples came late, or samples lost). Jitter is left out, a stall is
followed within a tenth of a second, and a sample clock drifting from the
host's is followed as it goes.
"""

from __future__ import annotations

from collections import deque

# A higher line is taken once every block this long agrees on it (and at least SETTLE_BLOCKS of them).
SETTLE_SECONDS = 0.1
SETTLE_BLOCKS = 4
# A stated latency outside this is no latency (a host API whose clocks disagree): one block is assumed.
_LONGEST_LATENCY = 1.0


class InputTimeline:
    """Places the blocks of an input at ``samplerate`` on the host's clock as they come in."""

    def __init__(self, samplerate: float) -> None:
        if not samplerate > 0:
            raise ValueError("a sample rate is a positive number of hertz")
        self.samplerate = float(samplerate)
        self._samples = 0
        self._recent: deque[tuple[float, float]] = deque()  # (arrived, intercept) of the last blocks
        self._intercept: float | None = None

    def block(self, frames: int, arrived: float, latency: float | None = None) -> float:
        """When the first sample of the next block of ``frames`` samples was heard.

        ``arrived`` is when the block reached the program; ``latency`` is how
        long before that its first sample reached the converter, as the input
        states it (None, or an implausible value, counts one block).
        """
        block_seconds = frames / self.samplerate
        if latency is None or not 0.0 <= latency <= _LONGEST_LATENCY:
            latency = block_seconds
        intercept = arrived - latency - self._samples / self.samplerate
        recent = self._recent
        recent.append((arrived, intercept))
        while len(recent) > SETTLE_BLOCKS and recent[0][0] < arrived - SETTLE_SECONDS:
            recent.popleft()
        agreed = min(value for _, value in recent)
        if self._intercept is None or intercept < self._intercept:
            self._intercept = intercept
        elif agreed > self._intercept:
            self._intercept = agreed
        heard = self._intercept + self._samples / self.samplerate
        self._samples += frames
        return heard
