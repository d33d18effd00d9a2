"""MIDI clock: tempo and position from a sequencer, a drum machine or a DJ mixer.

The source sends 24 clock pulses a quarter note (one pulse is 8/3 pip) and
start, stop, continue and song position pointer messages. The position moves
only while the source plays: after start the next pulse is pip 0, after a
song position pointer the next pulse is its position, after continue the next
pulse goes on from where stop left it. Pulses also arrive while stopped and
keep the tempo current. Between pulses the pip runs on at the tempo smoothed
over the recent pulses, but never past the pip of the pulse still to come,
so it never has to run backwards when that pulse arrives.

The tempo is a least-squares fit over the recent pulses' arrival times, kept
from ``BPM_MIN`` to ``BPM_MAX``: pulses stamped with one time (a driver that
delivers a burst at once) or bunched or spread past those tempi change the
tempo no further than a tempo can go, and never stop the clock.
"""

from __future__ import annotations

import collections
import math
import threading
import time
from typing import Any

from ..base.errors import KinetropeError
from ..base.pips import PIP_MAX, PIPS_PER_BEAT, checked_pip, checked_seconds
from ._linear import Line, slope
from .protocol import ClockError
from .tempo import BPM_MAX, BPM_MIN, checked_bpm

PULSES_PER_BEAT = 24
# Positions are held in thirds of a pip: a pulse is exactly 8 of them.
_UNITS_PER_PIP = 3
_UNITS_PER_PULSE = 64 * _UNITS_PER_PIP // PULSES_PER_BEAT
# A song position pointer counts sixteenth notes, six pulses each.
_PULSES_PER_SIXTEENTH = 6
# A gap between pulses longer than this (under 10 bpm) is not a tempo: the
# source has paused its clock, and the tempo is measured afresh.
_LONGEST_PULSE = 0.25
# The pulse lengths of the one tempo range.
_PULSE_RANGE = (60.0 / (BPM_MAX * PULSES_PER_BEAT), 60.0 / (BPM_MIN * PULSES_PER_BEAT))


class MidiPortError(KinetropeError, OSError):
    """No MIDI input port of that name can be opened."""


class _State:
    """What the clock answers with: swapped whole, so readers on other threads see one moment."""

    __slots__ = ("line", "last_pip", "held_pip")

    def __init__(self, line: Line, last_pip: int, held_pip: int | None) -> None:
        self.line = line  # through the last pulse, at the smoothed tempo
        self.last_pip = last_pip  # the last pip before the pulse still to come
        self.held_pip = held_pip  # the pip shown while stopped, None while playing


class MidiClock:
    """Follows MIDI clock from the input port ``port_name`` (``time.monotonic()`` seconds).

    With ``port_name=None`` no port is opened and the messages come through
    ``feed`` (from a port the host already reads, for example). ``smoothing``
    is the number of recent pulses the tempo is fitted to; ``bpm`` is the
    tempo assumed until pulses have measured one.
    """

    def __init__(self, bpm: float = 120.0, *, port_name: str | None = None, smoothing: int = 24) -> None:
        bpm = checked_bpm(bpm)
        if isinstance(smoothing, bool) or not isinstance(smoothing, int) or smoothing < 2:
            raise ClockError(
                f"smoothing is a whole number of pulses to fit the tempo to, at least 2, not {smoothing!r}")
        self._lock = threading.Lock()
        self._pulse_times: collections.deque[float] = collections.deque(maxlen=smoothing)
        self._seconds_per_pulse = 60.0 / (bpm * PULSES_PER_BEAT)
        self._playing = False
        self._next_pulse = 0  # the pulse number the next clock message marks
        self._state = _State(self._line(0, time.monotonic()), 0, 0)
        self._port: Any = None
        if port_name is not None:
            self._port = _open_input(port_name, self._on_message)

    # -- messages

    def _on_message(self, message: Any) -> None:
        self.feed(message, time.monotonic())

    def feed(self, message: Any, at_seconds: float) -> None:
        """Takes one MIDI message (a ``mido.Message``) that arrived at ``at_seconds``.

        This is what the port's callback calls; messages other than clock,
        start, stop, continue and song position pointer are ignored.
        """
        kind = getattr(message, "type", None)
        if kind not in ("clock", "start", "stop", "continue", "songpos"):
            return
        now = checked_seconds(at_seconds)
        with self._lock:
            if kind == "clock":
                self._pulse(now)
            elif kind == "start":
                self._next_pulse = 0
                self._playing = True
                self._hold(0)
            elif kind == "continue":
                self._playing = True
            elif kind == "stop":
                if self._playing:
                    self._playing = False
                    try:
                        held = self._pip_at(self._state, now)
                    except ValueError:  # past the last pip: hold the last one there is
                        held = min(self._state.last_pip, PIP_MAX)
                    self._hold(held)
            else:
                position = int(message.pos)
                if not 0 <= position <= 16383:
                    raise ClockError(f"song position {position} is outside 0..16383")
                self._next_pulse = position * _PULSES_PER_SIXTEENTH
                self._hold(self._next_pulse * _UNITS_PER_PULSE // _UNITS_PER_PIP)

    def _line(self, pulse: int, seconds: float) -> Line:
        return Line(pulse * _UNITS_PER_PULSE, seconds, self._seconds_per_pulse / _UNITS_PER_PULSE, _UNITS_PER_PIP)

    def _pulse(self, now: float) -> None:
        times = self._pulse_times
        if times and (now < times[-1] or now - times[-1] > _LONGEST_PULSE):
            times.clear()
        times.append(now)
        measured = slope(range(len(times)), times)
        if measured is not None:
            self._seconds_per_pulse = min(max(measured, _PULSE_RANGE[0]), _PULSE_RANGE[1])
        if not self._playing:
            # Keep the held position; a later continue starts from it.
            self._state = _State(self._line(self._next_pulse, now), self._state.last_pip, self._state.held_pip)
            return
        pulse = self._next_pulse
        self._next_pulse += 1
        following = (pulse + 1) * _UNITS_PER_PULSE
        last_pip = -(-following // _UNITS_PER_PIP) - 1
        self._state = _State(self._line(pulse, now), last_pip, None)

    def _hold(self, pip: int) -> None:
        state = self._state
        self._state = _State(state.line, state.last_pip, pip)

    # -- the clock

    @staticmethod
    def _pip_at(state: _State, seconds: float) -> int:
        if state.held_pip is not None:
            return state.held_pip
        line = state.line
        if seconds >= line.seconds_at(state.last_pip + 1):
            # Waiting for the next pulse, however long: a source gone quiet holds the pip, it does not run out.
            return state.last_pip
        return line.pip_at(seconds, "of this MIDI clock")

    @property
    def playing(self) -> bool:
        """Whether the source plays (between start or continue and stop)."""
        return self._playing

    @property
    def bpm(self) -> float:
        """The tempo smoothed over the recent pulses."""
        return self._state.line.bpm

    def pip_at(self, seconds: float) -> int:
        """The pip at ``seconds``: held while stopped, else run on from the last pulse up to the next one."""
        return self._pip_at(self._state, checked_seconds(seconds))

    def seconds_at(self, pip: int) -> float:
        """When ``pip`` comes (came) at the smoothed tempo, counted from the last pulse."""
        return self._state.line.seconds_at(checked_pip(pip))

    def bpm_at(self, seconds: float) -> float:
        checked_seconds(seconds)
        return self._state.line.bpm

    def pip_now(self) -> int:
        # The state first, then the time: the time is then never before the
        # pulse the state was made from, so successive calls never go back.
        state = self._state
        return self._pip_at(state, time.monotonic())

    def close(self) -> None:
        """Closes the port (if one was opened); the clock keeps its last state."""
        port, self._port = self._port, None
        if port is not None:
            port.close()

    def __enter__(self) -> MidiClock:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"MidiClock(bpm={self.bpm:.2f}, playing={self.playing})"


def _one_line(error: BaseException) -> str:
    return " ".join(str(error).split()) or type(error).__name__


def _open_input(port_name: str, callback: Any) -> Any:
    import mido  # type: ignore[import-untyped, unused-ignore]

    # A backend of our own, so the host's choice of mido backend stays as it is.
    backend = mido.Backend("mido.backends.rtmidi", load=True)
    try:
        names = backend.get_input_names()
    except Exception as error:  # no MIDI system at all (no ALSA sequencer, no CoreMIDI)
        raise MidiPortError(f"no MIDI input port {port_name!r}: MIDI input is unavailable here ({_one_line(error)})") from None
    if port_name not in names:
        known = ", ".join(repr(n) for n in names) or "none"
        raise MidiPortError(f"no MIDI input port {port_name!r} (ports: {known})")
    try:
        return backend.open_input(port_name, callback=callback)
    except Exception as error:
        raise MidiPortError(f"MIDI input port {port_name!r} cannot be opened: {_one_line(error)}") from None
