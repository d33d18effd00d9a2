"""The frame loop: at a fixed rate, on absolute times, sample the rig at the clock's pip and send it.

Frame k is due at start + k / fps. It samples every fixture at the pip of
the moment it is due plus the latency (so fixtures that lag by that much
show the pattern on time), applies the control commands that came in, and
goes out to every output. A frame sent more than half an interval after its
time is late; when the loop falls a whole interval behind it skips the
missed frames (each counted late, if they were due before the end) rather
than sending a burst of stale ones.

Nothing in the loop waits on another thread or on the terminal: it reports
through ``Reports``, a new pattern's rows are sampled by a thread of its
own and handed over ready (the change reaching the rig just before the bar
line it starts on), and a tempo for a clock that holds a thread of
its own (a Link session) is handed to a thread that waits for it. It sleeps
in short slices, so a stop is seen within ``STOP_SECONDS`` at any frame
rate, and it holds the last good pip when a clock has none to give.
"""

from __future__ import annotations

import dataclasses
import math
import queue
import sys
import threading
import time
from collections.abc import Callable, Sequence
from typing import Any

import kinetrope

from ..base.pips import PIP_MAX, PIP_MIN
from ..clocks import Clock, Closable, Tappable, TempoSettable
from ..clocks.tempo import BPM_MAX
from ..patterns import arrays
from . import control, steering
from .outputs import Frame, Output
from .reports import Reports
from .rig import Rig
from .show import FPS_MAX, FPS_MIN, Show

# Frames a second: the show file's range, and the command line's.
# The longest the end of a show waits for a thread of the loop's to finish what it was doing.
_JOIN_SECONDS = 0.1
# Frames lost in a row, for this long at least, that are an output losing every frame.
ALL_LOST_FRAMES, ALL_LOST_SECONDS = 3, 0.25
# The longest the loop sleeps between looks at its stop flag.
STOP_SECONDS = 0.05
# Fixtures one core samples, maps and sends (sACN and OSC) at 44 frames a
# second within 80 % of each frame's time: bench/bench_live.py measured
# 109,900 (16.1 ms of CPU a frame); a show past this rounded figure is told
# at start that frames will be late.
FIXTURES_AT_44_FPS = 100_000


@dataclasses.dataclass
class Stats:
    frames: int = 0
    late: int = 0
    send_errors: int = 0
    # When asked for: the moment each frame went out (time.monotonic()).
    sent_at: list[float] | None = None


@dataclasses.dataclass(frozen=True)
class _Change:
    """A pattern change with its fade placed (at the pip it came in), its pattern's rows sampled."""

    target: str
    pattern: str
    start: int
    end: int


class _Preparer:
    """Samples the rows of each new pattern off the loop, in the order the changes came; ``ready()`` hands them over."""

    def __init__(self, library: kinetrope.PatternLibrary | None, reports: Reports) -> None:
        self._library = library
        self._reports = reports
        self._waiting: queue.SimpleQueue[_Change | None] = queue.SimpleQueue()
        self._ready: queue.SimpleQueue[_Change] = queue.SimpleQueue()
        self._thread: threading.Thread | None = None
        self._closed = threading.Event()
        # How many changes were given and how many sampled (or refused), for a host that waits for them.
        self._given = self._done = 0
        self._progress = threading.Condition()

    def give(self, change: _Change) -> None:
        if self._thread is None:
            self._thread = threading.Thread(target=self._work, name="kinetrope-patterns", daemon=True)
            self._thread.start()
        with self._progress:
            self._given += 1
        self._waiting.put(change)

    def _work(self) -> None:
        while (change := self._waiting.get()) is not None and not self._closed.is_set():
            try:
                arrays.rows(change.pattern, self._library)
                self._ready.put(change)
            except ValueError as error:  # an unknown pattern: the module says which, with the closest names
                self._reports.say(f"control: /kinetrope/pattern: {control.shown(str(error), 200)}",
                                  kind="control: /kinetrope/pattern")
            except Exception as error:
                self._reports.say(f"control: /kinetrope/pattern: unexpected {type(error).__name__}: {error}",
                                  kind="control: unexpected")
            finally:
                with self._progress:
                    self._done += 1
                    self._progress.notify_all()

    def settled(self, timeout: float) -> bool:
        """Whether every change given so far has been sampled (or refused) within ``timeout`` seconds."""
        with self._progress:
            return self._progress.wait_for(lambda: self._done >= self._given, timeout)

    def ready(self) -> list[_Change]:
        taken = []
        while True:
            try:
                taken.append(self._ready.get_nowait())
            except queue.Empty:
                return taken

    def close(self) -> None:
        # Changes still waiting are dropped; a pattern being sampled is left to its (daemon) thread,
        # so the show's end never waits for it.
        self._closed.set()
        if self._thread is not None:
            self._waiting.put(None)
            self._thread.join(_JOIN_SECONDS)


class _TempoHandoff:
    """Sets a clock's tempo from a thread of its own: the latest tempo asked for wins, the loop never waits."""

    def __init__(self, clock: TempoSettable, reports: Reports) -> None:
        self._clock = clock
        self._reports = reports
        self._latest: float | None = None
        self._asked = threading.Condition()
        self._closed = False
        self._thread = threading.Thread(target=self._work, name="kinetrope-tempo", daemon=True)
        self._thread.start()

    def give(self, bpm: float) -> None:
        with self._asked:
            self._latest = bpm
            self._asked.notify()

    def _work(self) -> None:
        while True:
            with self._asked:
                while self._latest is None and not self._closed:
                    self._asked.wait()
                if self._closed or self._latest is None:
                    return
                bpm, self._latest = self._latest, None
            try:
                self._clock.set_bpm(bpm)
            except Exception as error:
                self._reports.say(f"control: /kinetrope/tempo: {type(error).__name__}: {error}",
                                  kind="control: /kinetrope/tempo")

    def close(self) -> None:
        with self._asked:
            self._closed = True
            self._asked.notify()
        self._thread.join(_JOIN_SECONDS)  # a session that never answers is left to its (daemon) thread


class Live:
    """Plays a show: ``run()`` sends frames until ``stop()`` or the given seconds, then one last frame.

    The outputs stay open; whoever opened them closes them.

    ``clock`` is any ``Clock``; seconds passed to it are ``time.monotonic()``
    seconds. Control sources hand over their commands between frames.
    ``reports`` takes whatever the show has to say while it runs (default:
    ``logging``); ``status`` is called after each frame and must not block.
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
        reports: Reports | None = None,
        keep_send_times: bool = False,
    ) -> None:
        self.show = show
        self.clock = clock
        self.outputs = list(outputs)
        self.library = library
        self.fps = float(fps if fps is not None else show.fps)
        if not (math.isfinite(self.fps) and FPS_MIN <= self.fps <= FPS_MAX):
            raise ValueError(f"fps must be a number from {FPS_MIN:g} to {FPS_MAX:g}, not {self.fps!r}")
        self.latency = float(latency_seconds)
        self.controls = list(controls)
        self.status = status
        self.reports = reports if reports is not None else Reports()
        self.rig = Rig(show, library)
        self.stats = Stats(sent_at=[] if keep_send_times else None)
        self.home = False
        self.blackout = False
        self.pip = 0
        self._unplaced = False  # whether the clock's last answer was no pip (said once until it answers again)
        self.pip_shift = 0  # pips added to the clock's, to move the bar line
        self.frozen: int | None = None  # the pip every fixture holds at while frozen
        self.bpm = math.nan
        self._stop = threading.Event()
        self._preparer = _Preparer(library, self.reports)
        self._tempo: _TempoHandoff | None = None
        self._waiting: dict[str, _Change] = {}  # target -> the change that will reach the rig before its start
        # Output index -> when its frames began to be lost, and how many in a row since.
        self._failing: dict[int, tuple[float, int]] = {}

    def stop(self) -> None:
        """Ends the run after the frame in progress; safe from a signal handler or another thread."""
        self._stop.set()

    # --- control ---------------------------------------------------------------------------------------------------

    def apply(self, command: control.Command, now: float) -> None:
        """Applies one control command; a command that cannot apply is reported and dropped, never raised."""
        try:
            self._apply(command, now)
        except (ValueError, KeyError, TypeError, AttributeError) as error:
            detail = error.args[0] if isinstance(error, KeyError) and error.args else error
            self.reports.say(f"control: {control.shown(str(command), 200)}: {control.shown(str(detail), 200)}",
                             kind=f"control: {type(command).__name__}")
        except Exception as error:  # no control message may end the show
            self.reports.say(f"control: {control.shown(str(command), 200)}: unexpected {type(error).__name__}: "
                             f"{control.shown(str(error), 200)}", kind="control: unexpected")

    def _apply(self, command: control.Command, now: float) -> None:
        if isinstance(command, control.PatternChange):
            if command.target not in self.rig.index and command.target not in self.rig.groups:
                raise KeyError(f"no fixture or group is named {command.target!r}")
            bar = self.show.beats_per_bar * kinetrope.PIPS_PER_BEAT
            start = (self.pip // bar + 1) * bar  # the next bar line
            beats = self.show.crossfade_beats if command.beats is None else command.beats
            self.change_pattern(command.target, command.pattern, start, start + round(beats * kinetrope.PIPS_PER_BEAT))
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

    def change_pattern(self, target: str, pattern: str, start: int, end: int) -> None:
        """``target`` crossfades to ``pattern`` from pip ``start`` to ``end``; its rows are sampled off the loop."""
        self._preparer.give(_Change(target, pattern, start, end))

    def changes_prepared(self, timeout: float = 5.0) -> bool:
        """Waits until every pattern change asked for so far is ready for the frames (or refused).

        ``run`` never waits for them; a host that calls ``frame_at`` itself and wants a change in a
        given frame waits here first. False if ``timeout`` seconds pass first.
        """
        return self._preparer.settled(timeout)

    def set_tempo(self, bpm: float, now: float) -> None:
        """A new tempo from now on, the beat continuing from where it is."""
        if not isinstance(self.clock, TempoSettable):
            raise ValueError("this clock's tempo is not set from here")
        if isinstance(self.clock, Closable):  # it holds a thread or a session, and may wait for it
            if self._tempo is None:
                self._tempo = _TempoHandoff(self.clock, self.reports)
            self._tempo.give(bpm)
        else:
            self.clock.set_bpm(bpm)

    def _take_changes(self) -> None:
        # A change is placed on the next bar line when it comes in, and the rig shows the same whether
        # it is told at once or just before that line: so the changes wait here until then, and of
        # several to one target only the last reaches the rig (each replaces a fade that has not
        # begun). The rig's pattern table then grows by the patterns that play, not by every one asked for.
        for change in self._preparer.ready():
            self._waiting.pop(change.target, None)
            self._waiting[change.target] = change
        if not self._waiting:
            return
        bpm = self.bpm if math.isfinite(self.bpm) else BPM_MAX
        ahead = max(kinetrope.PIPS_PER_BEAT, 2 * bpm * kinetrope.PIPS_PER_BEAT / 60.0 / self.fps)
        for target, change in list(self._waiting.items()):
            if change.start - ahead > self.pip:
                continue
            del self._waiting[target]
            try:
                self.rig.change(change.target, change.pattern, change.start, change.end, self.pip)
            except Exception as error:
                self.reports.say(f"control: /kinetrope/pattern: {type(error).__name__}: {error}",
                                 kind="control: /kinetrope/pattern")

    # --- frames ----------------------------------------------------------------------------------------------------

    def _send(self, frame: Frame) -> None:
        for index, output in enumerate(self.outputs):
            name = getattr(output, "name", type(output).__name__)
            try:
                output.send(frame)
            except OSError as error:  # a network hiccup loses a frame, not the show
                self.stats.send_errors += 1
                if self.stats.send_errors == 1:
                    self.reports.say(f"{name}: {error} (frame dropped)")
                now = time.monotonic()
                since, count = self._failing.get(index, (now, 0))
                self._failing[index] = (since, count + 1)
                if count + 1 >= ALL_LOST_FRAMES and now - since >= ALL_LOST_SECONDS and since != -math.inf:
                    self.reports.say(f"{name}: every frame is being dropped ({error})")
                    self._failing[index] = (-math.inf, count + 1)  # said: not again until it sends
            else:
                self._failing.pop(index, None)

    def _pip_at(self, seconds: float) -> int:
        try:
            pip = self.clock.pip_at(seconds) + self.pip_shift
            bpm = self.clock.bpm_at(seconds)
        except (ValueError, ArithmeticError) as error:
            # A time the clock cannot place (past the end of the 32-bit pips, say): hold the last pip,
            # and say so once rather than go quiet on a frozen show.
            if not self._unplaced:
                self._unplaced = True
                self.reports.say(f"the clock has no pip for this time ({error}): holding pip {self.pip}")
            return self.pip
        self._unplaced = False
        # A clock fed a tempo that is no number (a Link peer's NaN) has no pip to give either.
        if isinstance(pip, int) and PIP_MIN <= pip <= PIP_MAX:
            self.pip = pip
        if isinstance(bpm, (int, float)) and math.isfinite(bpm) and bpm > 0:
            self.bpm = float(bpm)
        return self.pip

    def _frame(self, offsets: Any, dmx: Any) -> Frame:
        return Frame(self.rig.names, offsets, self.rig.universes, dmx, pip=self.pip, bpm=self.bpm,
                     beats_per_bar=self.show.beats_per_bar)

    def frame_at(self, due: float) -> Frame:
        self._pip_at(due + self.latency)
        self._take_changes()
        held = self.pip if self.frozen is None else self.frozen
        return self._frame(*self.rig.frame(held, home=self.home, dimmed=self.blackout))

    def last_frame(self) -> Frame:
        """Every fixture home, or every channel dark, as the show says; what is blacked out stays dark."""
        offsets, dmx = self.rig.frame(self.pip, home=True, dimmed=self.blackout)
        if self.show.on_stop == "dark":
            dmx = self.rig.dark()
        return self._frame(offsets, dmx)

    def _sleep_until(self, due: float) -> None:
        while not self._stop.is_set():
            wait = due - time.monotonic()
            if wait <= 0:
                return
            time.sleep(min(wait, STOP_SECONDS))

    def run(self, seconds: float | None = None) -> Stats:
        most = FIXTURES_AT_44_FPS * 44 / self.fps
        if len(self.rig.names) > most:
            self.reports.say(f"{len(self.rig.names):,} fixtures at {self.fps:g} fps is more than one core keeps up "
                             f"with (about {most:,.0f}): expect late frames")
        interval = 1.0 / self.fps
        start = time.monotonic()
        # Frames 0 .. due_frames - 1 are due before the end (rounded, so 0.3 s at 50 fps is 15 frames, not
        # 16; and frame 0 is due at once, however low the rate).
        if seconds is None:
            due_frames = sys.maxsize
        else:
            due_frames = max(math.ceil(round(seconds * self.fps, 9)), 1 if seconds > 0 else 0)
        frame_number = 0
        try:
            while not self._stop.is_set() and frame_number < due_frames:
                due = start + frame_number * interval
                self._sleep_until(due)
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
                self.reports.flush()
                frame_number += 1
                missed = min(math.floor((sent - start) / interval), due_frames) - frame_number
                if missed > 0:  # a whole interval behind: skip to the frame due now
                    self.stats.late += missed
                    frame_number += missed
        finally:
            self._send(self.last_frame())
            self._preparer.close()
            if self._tempo is not None:
                self._tempo.close()
            self.reports.flush(final=True)
        return self.stats
