"""``kinetrope live SHOW.toml``: play a show on its outputs, in step with a clock, until stopped."""

from __future__ import annotations

import argparse
import collections
import contextlib
import logging
import math
import os
import signal
import sys
import threading
import time
from collections.abc import Iterator
from typing import TYPE_CHECKING, Any

from ..base.pips import PIPS_PER_BEAT
from ..clocks import BeatMap, Clock, FixedTempo, LinkClock, MidiClock, TapTempo, TrackTime
from ..stage.show import FPS_MAX, FPS_MIN
from .arguments import Range, add_pack_option, positive_number, tempo
from .usage import Commands

if TYPE_CHECKING:
    from ..stage.loop import Live


_latency = Range(0, 10_000, unit="ms")
# The show file's range of frame rates (see stage.loop); the stage loads only when a show is played.
_fps = Range(FPS_MIN, FPS_MAX, unit="frames a second")


def _control_address(text: str) -> tuple[str, int]:
    host, _, port = text.rpartition(":")
    if not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError(f"must be PORT or HOST:PORT, not {text!r}")
    # Only this machine may steer the show unless the user names another address.
    return host or "127.0.0.1", int(port)


def _port(text: str) -> int:
    if not text.isdigit() or not 0 < int(text) < 65536:
        raise argparse.ArgumentTypeError(f"must be a port from 1 to 65535, not {text!r}")
    return int(text)


def add_command(commands: Commands) -> None:
    """Adds ``live`` to the command's subparsers."""
    live = commands.add_parser(
        "live", help="drive fixtures and visuals live, in step with a clock",
        description="Plays a show file: samples every fixture's pattern at the clock's pip, maps it to pan, "
        "tilt and dimmer or zoom channels, and sends it over sACN, Art-Net and OSC at a fixed frame rate. "
        "On SIGINT or SIGTERM (or after --seconds) one last frame sends every fixture home, or dark.",
    )
    live.add_argument("show", metavar="SHOW.toml")
    clock = live.add_argument_group("clock (--bpm alone is a fixed tempo; with a source, the tempo it starts at)")
    clock.add_argument("--bpm", type=tempo, help="tempo in beats a minute (default: 120)")
    sources = clock.add_mutually_exclusive_group()
    sources.add_argument("--link", action="store_true",
                         help="join the Link session on the network (a bar of the show's beats_per_bar is the quantum)")
    sources.add_argument("--tap", action="store_true",
                         help="follow taps: the space bar in this terminal, or /kinetrope/tap over --control")
    sources.add_argument("--midi-clock", metavar="PORT", help="follow MIDI clock from this input port")
    sources.add_argument("--beats", metavar="FILE", help="follow a beat map (JSON) of the track being played")
    sources.add_argument("--listen", nargs="?", const="", metavar="DEVICE",
                         help="follow the beat heard on an audio input (see kinetrope devices; default: the default "
                         "input); taps and /kinetrope/tap move its bar line")
    clock.add_argument("--start", type=float, metavar="S",
                       help="with --beats: the second of the track playing when the show starts (default: 0)")
    live.add_argument("--fps", type=_fps, help="frames a second (default: the show's fps, else 44)")
    live.add_argument("--latency-ms", type=_latency, default=0.0, metavar="MS",
                      help="send each frame this far ahead of its time, for fixtures that lag (default: 0)")
    live.add_argument("--control", type=_control_address, metavar="[HOST:]PORT",
                      help="take OSC control messages on this port (on 127.0.0.1 unless HOST is given)")
    live.add_argument("--page", type=_port, nargs="?", const=8740, metavar="PORT",
                      help="serve the operator's page on this port (default 8740), on 127.0.0.1 unless --page-host")
    live.add_argument("--page-host", metavar="HOST",
                      help="serve the page on this address instead (it then wants the token in the printed URL)")
    live.add_argument("--seconds", type=positive_number, metavar="N", help="stop after N seconds")
    live.add_argument("--quiet", action="store_true", help="no status line")
    add_pack_option(live)
    live.set_defaults(run=_run, live_parser=live)


def _clock(args: argparse.Namespace, beats_per_bar: int) -> tuple[Clock, str]:
    """The clock the options ask for, and a word for the status line."""
    bpm = args.bpm if args.bpm is not None else 120.0
    if args.link:
        return LinkClock(bpm, quantum=beats_per_bar), "link"
    if args.tap:
        return TapTempo(bpm, beats_per_bar=beats_per_bar), "tap"
    if args.midi_clock is not None:
        return MidiClock(bpm, port_name=args.midi_clock), "midi"
    if args.listen is not None:
        from ..clocks.listening import ListeningClock

        return ListeningClock(args.listen or None, beats_per_bar=beats_per_bar), "listen"
    if args.beats is not None:
        start = 0.0 if args.start is None else args.start
        return TrackTime(BeatMap.load(args.beats), start_seconds=start, started_at=time.monotonic()), "beats"
    return FixedTempo(bpm, beat_zero_seconds=time.monotonic()), "fixed"


@contextlib.contextmanager
def _stopping_on_signals(live: Live) -> Iterator[None]:
    def stop(signum: int, frame: Any) -> None:
        live.stop()

    previous = {sig: signal.signal(sig, stop) for sig in (signal.SIGINT, signal.SIGTERM)}
    try:
        yield
    finally:
        for sig, handler in previous.items():
            signal.signal(sig, handler)


@contextlib.contextmanager
def _logging_into(reports: Any) -> Iterator[None]:
    """While the show runs, what the network packages log goes the reports' way, not straight to stderr."""
    from ..stage.control import shown

    class Forward(logging.Handler):
        def emit(self, record: logging.LogRecord) -> None:
            reports.say(shown(f"{record.name}: {record.getMessage()}", 200), kind=f"{record.name}: logged")

    root = logging.getLogger()
    saved = root.handlers[:]
    root.handlers[:] = [Forward(logging.WARNING)]
    try:
        yield
    finally:
        root.handlers[:] = saved


def _count(number: int, thing: str) -> str:
    return f"{number} {thing}{'' if number == 1 else 's'}"


def _stderr_fd() -> int:
    try:
        return sys.stderr.fileno()
    except (AttributeError, OSError, ValueError):  # no stderr at all (a detached process): say nothing
        return -1


class Terminal:
    """The one writer of stderr while a show runs: whole lines and the status line, from a thread of its own.

    Nothing the terminal does (Ctrl-S, a pipe nobody reads) reaches the frame
    loop: it only hands text over. Lines wait in a bounded buffer that drops
    the oldest (and says how many); the status line is only ever the latest.
    """

    def __init__(self, *, fd: int | None = None, limit: int = 256) -> None:
        self._fd = _stderr_fd() if fd is None else fd
        self._lines: collections.deque[str] = collections.deque()
        self._limit = limit
        self._lost = 0
        self._status: str | None = None
        self._shown = False  # a status line is on the screen, to be cleared before a line
        self._work = threading.Condition()
        self._closing = False
        self._idle = threading.Event()
        self._idle.set()
        self._thread = threading.Thread(target=self._write_all, name="kinetrope-terminal", daemon=True)
        self._thread.start()

    def line(self, text: str) -> None:
        with self._work:
            if len(self._lines) >= self._limit:
                self._lines.popleft()
                self._lost += 1
            self._lines.append(text)
            self._idle.clear()
            self._work.notify()

    def status(self, text: str) -> None:
        with self._work:
            self._status = text
            self._idle.clear()
            self._work.notify()

    def _take(self) -> bytes | None:
        with self._work:
            while not (self._lines or self._status is not None or self._closing):
                self._idle.set()
                self._work.wait()
            if not (self._lines or self._status is not None):
                self._idle.set()
                return None
            lines = list(self._lines)
            self._lines.clear()
            if self._lost:
                lines.insert(0, f"kinetrope live: ({self._lost:,} lines not shown: the terminal was not keeping up)")
                self._lost = 0
            status, self._status = self._status, None
        text = ""
        if lines:
            text += ("\r\033[K" if self._shown else "") + "".join(f"{line}\n" for line in lines)
            self._shown = False
        if status is not None:
            text += f"\r{status}\033[K"
            self._shown = True
        return text.encode("utf-8", "replace")

    def _write_all(self) -> None:
        while (data := self._take()) is not None:
            if self._fd < 0:
                continue
            try:
                while data:
                    data = data[os.write(self._fd, data):]
            except OSError:
                return  # stderr is gone: nothing more can be said

    def close(self, *, wait_seconds: float = 0.5) -> None:
        """Ends the status line and writes what is waiting, for at most ``wait_seconds`` (the terminal may be stopped)."""
        with self._work:
            self._status = None  # the show is over: a status not yet drawn is not worth the wait
            if self._shown and not self._lines:  # end the status line on screen
                self._lines.append("")
            self._closing = True
            self._idle.clear()
            self._work.notify()
        self._thread.join(wait_seconds)


class StatusLine:
    """Tempo, bar.beat, clock source, frames sent and late frames, redrawn a few times a second."""

    def __init__(self, source: str, beats_per_bar: int, terminal: Terminal | None = None) -> None:
        self.source = source
        self.beats_per_bar = beats_per_bar
        self.terminal = terminal
        self._next = 0.0

    def text(self, live: Live, now: float, pip: int) -> str:
        beat = pip // PIPS_PER_BEAT
        bar, beat_in_bar = divmod(beat, self.beats_per_bar)
        bpm = live.bpm
        dropped = f"  {live.stats.send_errors} dropped" if live.stats.send_errors else ""
        return (f"{bpm:6.1f} bpm  {bar + 1:4d}.{beat_in_bar + 1}  {self.source}  "
                f"{live.stats.frames} frames  {live.stats.late} late{dropped}")

    def __call__(self, live: Live, now: float, pip: int) -> None:
        if now >= self._next and self.terminal is not None:
            self._next = now + 0.25
            self.terminal.status(self.text(live, now, pip))


def _run(args: argparse.Namespace) -> None:
    # The stage's packages load only when a show is played.
    from ..patterns.packs import load_library
    from ..stage.reports import Reports
    from ..stage.show import load_show

    if args.start is not None and args.beats is None:
        args.live_parser.error("--start goes with --beats FILE")
    if args.start is not None and not math.isfinite(args.start):
        args.live_parser.error("--start must be a finite number of seconds")
    if args.page_host is not None and args.page is None:
        args.live_parser.error("--page-host goes with --page")
    library = load_library(args.pack) if args.pack else None
    show = load_show(args.show, library)  # nothing is opened unless the whole show is valid
    terminal = Terminal()
    reports = Reports(lambda line: terminal.line(f"kinetrope live: {line}"))
    try:
        with _logging_into(reports):
            stats = _play(args, show, library, terminal, reports)
        if not args.quiet:
            dropped = f", {stats.send_errors} dropped by the network" if stats.send_errors else ""
            terminal.line(f"kinetrope live: {_count(stats.frames, 'frame')} sent, {stats.late} late{dropped}")
    finally:
        terminal.close()


def _play(args: argparse.Namespace, show: Any, library: Any, terminal: Terminal, reports: Any) -> Any:
    """Opens the clock, the outputs and the control sources, runs the show, and closes them all; the stats."""
    from ..stage.control import ControlServer, KeyTaps, Source
    from ..stage.loop import Live
    from ..stage.outputs import open_outputs

    clock, source = _clock(args, show.beats_per_bar)
    closers = [getattr(clock, "close")] if hasattr(clock, "close") else []
    controls: list[Source] = []
    try:
        outputs = open_outputs(show.outputs, show.universes, names=[f.name for f in show.fixtures])
        closers += [output.close for output in outputs]
        if args.control is not None:
            server = ControlServer(*args.control, reports=reports)
            controls.append(server)
            closers.append(server.close)
        page = None
        if args.page is not None:
            from ..stage.page import PageServer, PageSettings

            settings = PageSettings(host=args.page_host or "127.0.0.1", port=args.page)
            page = PageServer(show, clock=clock, clock_source=source, library=library, pack=args.pack,
                              settings=settings)
            closers.append(page.close)
            outputs.append(page.publisher)
            controls.append(page)
        if source in ("tap", "listen") and sys.stdin.isatty():
            keys = KeyTaps()
            controls.append(keys)
            closers.append(keys.close)
        interactive = sys.stderr.isatty() and not args.quiet
        status = StatusLine(source, show.beats_per_bar, terminal)
        live = Live(show, clock, outputs, library=library, fps=args.fps, latency_seconds=args.latency_ms / 1000.0,
                    controls=controls, status=status if interactive else None, reports=reports)
        if not args.quiet:
            terminal.line(f"kinetrope live: {show.path}: {_count(len(show.fixtures), 'fixture')} on "
                          f"{_count(len(show.universes), 'universe')} at {live.fps:g} fps; clock {clock!r}")
        for kind in ("sacn", "artnet"):
            if kind in show.outputs and not show.universes:
                reports.say(f"{kind}: no fixture has a universe and an address, so this output sends nothing")
        if page is not None:
            page.publisher.attach(live)
            terminal.line(f"kinetrope live: the page is at {page.url}")
        with _stopping_on_signals(live):
            return live.run(args.seconds)
    finally:
        for close in closers:
            close()
