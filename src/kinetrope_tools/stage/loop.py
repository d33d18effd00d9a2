"""The frame loop: at a fixed rate, on absolute times, sample the rig at the clock's pip and send it.

Frame k is due at start + k / fps. It samples every fixture at the pip of
the moment it is due plus the latency (so fixtures that lag by that much
show the pattern on time), applies the control commands that came in, and
goes out to every output. A frame sent more than half an interval after its
time is late; when the loop falls a whole interval behind it skips the
missed frames (each counted late) rather than sending a burst of stale ones.
"""

from __future__ import annotations

import dataclasses
import math
import sys
import threading
import time
from collections.abc import Callable, Sequence

import kinetrope

from ..clocks import Clock, Tappable, TempoSettable
from . import control, steering
from .outputs import Frame, Output
from .rig import Rig
from .show import Show


@dataclasses.dataclass
class Stats:
    frames: int = 0
    late: int = 0
    send_errors: int = 0
    # When asked for: the moment each frame went out (time.monotonic()).
    sent_at: list[float] | None = None


class Live:
    """Plays a show: ``run()`` sends frames until ``stop()`` or the given seconds, then one last frame.

    The outputs stay open; whoever opened them closes them.

    ``clock`` is any ``Clock``; seconds passed to it are ``time.monotonic()``
    seconds. Control sources hand over their commands between frames.
    """

    def __init__(
        self,
        show: Show,
        clock: Clock,
        outputs: Sequence[Output],
        *,
        library: kinetrope.PatternLibrary | None = None,
        fps: float | None = None,
        latency_seconds: float = 0.0,
        controls: Sequence[control.Source] = (),
        status: Callable[[Live, float, int], None] | None = None,
        keep_send_times: bool = False,
    ) -> None:
        self.show = show
        self.clock = clock
        self.outputs = list(outputs)
        self.library = library
        self.fps = float(fps if fps is not None else show.fps)
        if not (math.isfinite(self.fps) and self.fps > 0):
            raise ValueError("fps must be a positive number")
        self.latency = float(latency_seconds)
        self.controls = list(controls)
        self.status = status
        self.rig = Rig(show, library)
        self.stats = Stats(sent_at=[] if keep_send_times else None)
        self.home = False
        self.blackout = False
        self.pip = 0
        self.pip_shift = 0  # pips added to the clock's, to move the bar line
        self.frozen: int | None = None  # the pip every fixture holds at while frozen
        self._stop = threading.Event()

    def stop(self) -> None:
        """Ends the run after the frame in progress; safe from a signal handler or another thread."""
        self._stop.set()

    # --- control ---------------------------------------------------------------------------------------------------

    def apply(self, command: control.Command, now: float) -> None:
        """Applies one control command; a command that cannot apply is reported and dropped."""
        try:
            self._apply(command, now)
        except (ValueError, KeyError, TypeError, AttributeError) as error:
            detail = error.args[0] if isinstance(error, KeyError) and error.args else error
            print(f"kinetrope live: control: {command}: {detail}", file=sys.stderr, flush=True)

    def _apply(self, command: control.Command, now: float) -> None:
        if isinstance(command, control.PatternChange):
            targets_known = command.target in self.rig.index or command.target in self.rig.groups
            if not targets_known:
                raise KeyError(f"no fixture or group is named {command.target!r}")
            bar = self.show.beats_per_bar * kinetrope.PIPS_PER_BEAT
            start = (self.pip // bar + 1) * bar  # the next bar line
            beats = self.show.crossfade_beats if command.beats is None else command.beats
            end = start + round(beats * kinetrope.PIPS_PER_BEAT)
            self.rig.change(command.target, command.pattern, start, end, self.pip)
        elif isinstance(command, control.Tap):
            if not isinstance(self.clock, Tappable):
                raise ValueError("this clock takes no taps")
            self.clock.tap(at_seconds=command.at_seconds)
        elif isinstance(command, control.Tempo):
            self.set_tempo(command.bpm, now)
        elif isinstance(command, control.Blackout):
            self.blackout = command.on
        elif isinstance(command, control.Home):
            self.home = command.on
        elif isinstance(command, steering.Command):
            steering.apply(self, command, now)

    def set_tempo(self, bpm: float, now: float) -> None:
        """A new tempo from now on, the beat continuing from where it is."""
        if not isinstance(self.clock, TempoSettable):
            raise ValueError("this clock's tempo is not set from here")
        self.clock.set_bpm(bpm)

    # --- frames ----------------------------------------------------------------------------------------------------

    def _send(self, frame: Frame) -> None:
        for output in self.outputs:
            try:
                output.send(frame)
            except OSError as error:  # a network hiccup loses a frame, not the show
                self.stats.send_errors += 1
                if self.stats.send_errors == 1:
                    print(f"kinetrope live: {type(output).__name__}: {error} (frame dropped)", file=sys.stderr)

    def _pip_at(self, seconds: float) -> int:
        try:
            self.pip = self.clock.pip_at(seconds) + self.pip_shift
        except ValueError:
            pass  # a time the clock cannot place: hold the last pip
        return self.pip

    def frame_at(self, due: float) -> Frame:
        pip = self._pip_at(due + self.latency)
        held = pip if self.frozen is None else self.frozen
        offsets, dmx = self.rig.frame(held, home=self.home, dimmed=self.blackout)
        return Frame(self.rig.names, offsets, self.rig.universes, dmx)

    def last_frame(self) -> Frame:
        """Every fixture home, or every channel dark, as the show says."""
        offsets, dmx = self.rig.frame(self.pip, home=True)
        if self.show.on_stop == "dark":
            dmx = self.rig.dark()
        return Frame(self.rig.names, offsets, self.rig.universes, dmx)

    def run(self, seconds: float | None = None) -> Stats:
        interval = 1.0 / self.fps
        start = time.monotonic()
        end = math.inf if seconds is None else start + seconds
        frame_number = 0
        try:
            while not self._stop.is_set():
                due = start + frame_number * interval
                if due >= end:
                    break
                wait = due - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                    if self._stop.is_set():
                        break
                now = time.monotonic()
                for source in self.controls:
                    for command in source.pending():
                        self.apply(command, now)
                self._send(self.frame_at(due))
                sent = time.monotonic()
                self.stats.frames += 1
                if sent - due > interval / 2:
                    self.stats.late += 1
                if self.stats.sent_at is not None:
                    self.stats.sent_at.append(sent)
                if self.status is not None:
                    self.status(self, sent, self.pip)
                frame_number += 1
                missed = math.floor((sent - start) / interval) - frame_number
                if missed > 0:  # a whole interval behind: skip to the frame due now
                    self.stats.late += missed
                    frame_number += missed
        finally:
            self._send(self.last_frame())
        return self.stats
