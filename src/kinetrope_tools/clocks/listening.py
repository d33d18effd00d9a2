"""A clock that listens: the beat of live audio from an input (a line in, a microphone).

The input is opened through ``sounddevice`` (PortAudio), imported only when a
ListeningClock is made. PortAudio's callback only queues each block with the
time its first sample reached the converter; the clock's own thread follows
the beat (``BeatFollower``) and steers the line of pips (``SlewedLine``), so
neither the audio nor the show waits on the other. The input's latency is
taken out by counting samples from the moment blocks arrive, less the latency
PortAudio states (``InputTimeline``), the clock's own by running the line on
from the last beat heard: ``pip_now`` is on the beat as it sounds in the room.
"""

from __future__ import annotations

import atexit
import logging
import math
import queue
import threading
import time
from typing import Any

from ..base.errors import KinetropeError
from ..base.pips import checked_pip, checked_seconds
from .beat_follower import BeatFollower
from .input_timeline import InputTimeline
from .slewed import SlewedLine

_log = logging.getLogger(__name__)

# No block for this long from a running input: it is gone.
_SILENT_INPUT_SECONDS = 2.0
_QUEUE_BLOCKS = 256


class ListeningError(KinetropeError, OSError):
    """An audio input that is not there, cannot be opened, refuses the sample rate or went away."""


def _one_line(error: BaseException) -> str:
    return " ".join(str(error).split()) or type(error).__name__


def _sounddevice() -> Any:
    try:
        import sounddevice  # type: ignore[import-untyped, unused-ignore]
    except OSError as error:  # the PortAudio library itself is missing
        raise ListeningError(f"audio input is unavailable here ({_one_line(error)})") from None
    return sounddevice


def input_devices() -> list[tuple[int, str, int, float]]:
    """The audio inputs: (index, name, channels, default sample rate), with the host API after the name."""
    sd = _sounddevice()
    apis = sd.query_hostapis()
    found = []
    for device in sd.query_devices():
        if device["max_input_channels"] > 0:
            name = f"{device['name']}, {apis[device['hostapi']]['name']}"
            found.append((int(device["index"]), name, int(device["max_input_channels"]),
                          float(device["default_samplerate"])))
    return found


def _input_index(sd: Any, device: int | str | None) -> int:
    inputs = [d for d in sd.query_devices() if d["max_input_channels"] > 0]
    known = ", ".join(f"{d['index']} {d['name']!r}" for d in inputs) or "none"
    if device is None:
        index = sd.default.device[0]
        if index is None or index < 0 or not any(d["index"] == index for d in inputs):
            if not inputs:
                raise ListeningError("no audio input here")
            index = inputs[0]["index"]
        return int(index)
    if isinstance(device, str) and device.strip().isdigit():
        device = int(device)
    if isinstance(device, int):
        if any(d["index"] == device for d in inputs):
            return device
        raise ListeningError(f"no audio input {device} (inputs: {known})")
    matches = [d for d in inputs if device.lower() in d["name"].lower()]
    exact = [d for d in matches if d["name"].lower() == device.lower()]
    if len(exact) == 1 or len(matches) == 1:
        return int((exact or matches)[0]["index"])
    if matches:
        raise ListeningError(f"audio input {device!r} is ambiguous (inputs: {known})")
    raise ListeningError(f"no audio input {device!r} (inputs: {known})")


class ListeningClock:
    """Follows the beat heard on the audio input ``device`` (``time.monotonic()`` seconds).

    ``device`` is an input's index or (part of) its name, None for the
    default input; ``samplerate`` defaults to the input's own. Tempos are
    looked for in ``bpm_range``; the bar line falls every ``beats_per_bar``
    beats from the first beat locked, and ``tap``/``resync`` move it.
    ``latency_ms`` is how much later the input hears the room than the room
    hears the speakers (a microphone far from them): the pips come that much
    earlier. Until it locks, the clock runs at the middle of ``bpm_range``.

    If the input goes away mid-show the clock runs on at its last tempo and
    phase, and ``failure`` says why.
    """

    def __init__(self, device: int | str | None = None, *, samplerate: float | None = None,
                 bpm_range: tuple[float, float] = (70.0, 180.0), beats_per_bar: int = 4,
                 latency_ms: float = 0.0) -> None:
        if isinstance(beats_per_bar, bool) or not isinstance(beats_per_bar, int) or not 1 <= beats_per_bar <= 64:
            raise ValueError("beats_per_bar must be a whole number from 1 to 64")
        latency = float(latency_ms)
        if not (math.isfinite(latency) and abs(latency) <= 10_000.0):
            raise ValueError(f"latency_ms must be from -10000 to 10000 ms, not {latency_ms!r}")
        if samplerate is not None:
            samplerate = float(samplerate)
            if not (math.isfinite(samplerate) and samplerate > 0):
                raise ValueError(f"a sample rate is a positive number of hertz, not {samplerate!r}")
        BeatFollower(48000.0, bpm_range=bpm_range)  # the range is checked before any device is opened
        sd = _sounddevice()
        index = _input_index(sd, device)
        info = sd.query_devices(index)
        self.device = f"{info['name']}"
        rate = samplerate or float(info["default_samplerate"])
        channels = min(2, int(info["max_input_channels"]))
        try:
            sd.check_input_settings(device=index, channels=channels, samplerate=rate, dtype="float32")
        except Exception as error:
            raise ListeningError(f"audio input {self.device!r} does not take {rate:g} Hz ({_one_line(error)})") from None
        self.samplerate = rate
        self.beats_per_bar = beats_per_bar
        self.latency_ms = latency
        low, high = bpm_range
        self._follower = BeatFollower(rate, bpm_range=bpm_range)
        start = time.monotonic()
        self._line = SlewedLine(math.sqrt(float(low) * float(high)), start, beats_per_bar=beats_per_bar,
                                offset_seconds=latency / 1000.0)
        self._blocks: queue.Queue[tuple[Any, float, float] | None] = queue.Queue(_QUEUE_BLOCKS)
        self._timeline = InputTimeline(rate)
        self._dropped = 0
        self._failure: ListeningError | None = None
        self._closing = False
        self._stream_lost = False
        try:
            self._stream = sd.InputStream(device=index, channels=channels, samplerate=rate, dtype="float32",
                                          callback=self._on_block, finished_callback=self._on_finished)
            self._stream.start()
        except Exception as error:
            raise ListeningError(f"audio input {self.device!r} cannot be opened ({_one_line(error)})") from None
        self._thread = threading.Thread(target=self._run, name="kinetrope-listen", daemon=True)
        self._thread.start()

    # -- PortAudio's thread: queue the block and nothing else

    def _on_block(self, data: Any, frames: int, times: Any, status: Any) -> None:
        now = time.monotonic()
        current, adc = times.currentTime, times.inputBufferAdcTime
        # Two readings of the stream's clock in one callback: how long ago the block began. The
        # clock itself is not used to count time (JACK's, for one, runs slow after a late cycle).
        latency = current - adc if current > 0.0 and adc > 0.0 else None
        heard = self._timeline.block(frames, now, latency)
        try:
            self._blocks.put_nowait((data.copy(), heard, now))
        except queue.Full:
            self._dropped += 1

    def _on_finished(self) -> None:
        if not self._closing:
            self._blocks.put(None)

    # -- the clock's thread

    def _run(self) -> None:
        follower, line = self._follower, self._line
        while True:
            try:
                item = self._blocks.get(timeout=_SILENT_INPUT_SECONDS)
            except queue.Empty:
                item = None
            if self._closing:
                return
            if item is None:
                self._lose_input()
                self._fail(f"audio input {self.device!r} stopped sending")
                return
            data, heard, _ = item
            try:
                follower.feed(data, heard)
                line.follow(follower.beat, time.monotonic())
            except Exception as error:  # a fault here must not stop the show: report it and run on
                self._fail(f"following audio input {self.device!r} failed ({_one_line(error)})")
                return

    def _lose_input(self) -> None:
        """Lets go of a stream whose device or audio server went away, without closing it.

        Closing such a stream waits for a server that never answers and then
        fails an assertion inside PortAudio (its JACK host API), which ends
        the whole process; so does PortAudio's own clean-up at exit, which
        sounddevice runs. The stream is left open, and that clean-up is not
        run: the operating system frees what is left when the show ends.
        """
        self._stream_lost = True
        sd = _sounddevice()
        handler = getattr(sd, "_exit_handler", None)
        if handler is not None:
            atexit.unregister(handler)

    def _fail(self, message: str) -> None:
        self._failure = ListeningError(message)
        _log.warning("%s; running on at the last tempo", message)
        self._close_stream()

    def _close_stream(self) -> None:
        if self._stream_lost:
            return
        self._stream_lost = True
        try:
            self._stream.abort()
            self._stream.close()
        except Exception:  # the stream went with its device
            pass

    # -- what it heard

    @property
    def bpm(self) -> float:
        """The tempo followed (the middle of the range until locked)."""
        beat = self._follower.beat
        return beat.bpm if beat is not None else self._line.line.bpm

    @property
    def locked(self) -> bool:
        """Whether a beat has been found; it stays true through a breakdown (the clock runs on)."""
        return self._follower.locked

    @property
    def confidence(self) -> float:
        """How clearly the last beats were heard, from 0 to 1: it falls in a breakdown or silence."""
        return max(0.0, min(1.0, self._follower.confidence))

    @property
    def failure(self) -> ListeningError | None:
        """Why the input stopped, if it did (the clock then runs on at its last tempo and phase)."""
        return self._failure

    @property
    def dropped_blocks(self) -> int:
        """Blocks lost because the clock's thread fell behind the input."""
        return self._dropped

    # -- the clock

    def pip_at(self, seconds: float) -> int:
        return self._line.line.pip_at(checked_seconds(seconds), "of this listening clock")

    def seconds_at(self, pip: int) -> float:
        return self._line.line.seconds_at(checked_pip(pip))

    def bpm_at(self, seconds: float) -> float:
        checked_seconds(seconds)
        return self.bpm

    def pip_now(self) -> int:
        """The pip now: never before the last one answered, and at most an eighth of a beat past the tempo."""
        return self._line.pip_shown(time.monotonic())

    def tap(self, at_seconds: float | None = None) -> float:
        """Moves the bar line: the beat nearest the tap becomes the first of a bar. Returns the tempo."""
        self.resync(at_seconds)
        return self.bpm

    def resync(self, at_seconds: float | None = None) -> None:
        """Moves the bar line so that the beat nearest ``at_seconds`` (default: now) is the first of a bar.

        The tempo and the phase stay as they are; the pips slew to the new bar line.
        """
        now = time.monotonic()
        at = now if at_seconds is None else checked_seconds(at_seconds)
        self._line.resync(at, now)

    def close(self) -> None:
        """Stops listening and the clock's thread; the clock keeps running at its last tempo and phase."""
        if self._closing:
            return
        self._closing = True
        self._close_stream()
        try:
            self._blocks.put_nowait(None)
        except queue.Full:
            pass
        if self._thread is not threading.current_thread():
            self._thread.join(5.0)

    def __enter__(self) -> ListeningClock:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "locked" if self.locked else "listening"
        return f"ListeningClock({self.device!r}, bpm={self.bpm:.2f}, {state}, confidence={self.confidence:.2f})"
