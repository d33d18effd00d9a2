"""``kinetrope live SHOW.toml``: play a show on its outputs, in step with a clock, until stopped."""

from __future__ import annotations

import argparse
import contextlib
import math
import signal
import sys
import time
from collections.abc import Iterator
from typing import TYPE_CHECKING, Any

from ..base.pips import PIPS_PER_BEAT
from ..clocks import BeatMap, Clock, FixedTempo, LinkClock, MidiClock, TapTempo, TrackTime
from .arguments import Range, add_pack_option, positive_number, tempo
from .usage import Commands

if TYPE_CHECKING:
    from ..stage.loop import Live


_latency = Range(0, 10_000, unit="ms")


def _control_address(text: str) -> tuple[str, int]:
    host, _, port = text.rpartition(":")
    if not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError(f"must be PORT or HOST:PORT, not {text!r}")
    # Only this machine may steer the show unless the user names another address.
    return host or "127.0.0.1", int(port)


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
    live.add_argument("--fps", type=positive_number, help="frames a second (default: the show's fps, else 44)")
    live.add_argument("--latency-ms", type=_latency, default=0.0, metavar="MS",
                      help="send each frame this far ahead of its time, for fixtures that lag (default: 0)")
    live.add_argument("--control", type=_control_address, metavar="[HOST:]PORT",
                      help="take OSC control messages on this port (on 127.0.0.1 unless HOST is given)")
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


def _count(number: int, thing: str) -> str:
    return f"{number} {thing}{'' if number == 1 else 's'}"


class _StatusLine:
    """Tempo, bar.beat, clock source, frames sent and late frames, redrawn a few times a second."""

    def __init__(self, source: str, beats_per_bar: int) -> None:
        self.source = source
        self.beats_per_bar = beats_per_bar
        self._next = 0.0

    def text(self, live: Live, now: float, pip: int) -> str:
        beat = pip // PIPS_PER_BEAT
        bar, beat_in_bar = divmod(beat, self.beats_per_bar)
        try:
            bpm = live.clock.bpm_at(now)
        except ValueError:
            bpm = math.nan
        dropped = f"  {live.stats.send_errors} dropped" if live.stats.send_errors else ""
        return (f"{bpm:6.1f} bpm  {bar + 1:4d}.{beat_in_bar + 1}  {self.source}  "
                f"{live.stats.frames} frames  {live.stats.late} late{dropped}")

    def __call__(self, live: Live, now: float, pip: int) -> None:
        if now >= self._next:
            self._next = now + 0.25
            print(f"\r{self.text(live, now, pip)}\033[K", end="", file=sys.stderr, flush=True)


def _run(args: argparse.Namespace) -> None:
    # The stage's packages load only when a show is played.
    from ..patterns.packs import load_library
    from ..stage.control import ControlServer, KeyTaps, Source
    from ..stage.loop import Live
    from ..stage.outputs import open_outputs
    from ..stage.show import load_show

    if args.start is not None and args.beats is None:
        args.live_parser.error("--start goes with --beats FILE")
    if args.start is not None and not math.isfinite(args.start):
        args.live_parser.error("--start must be a finite number of seconds")
    library = load_library(args.pack) if args.pack else None
    show = load_show(args.show, library)  # nothing is opened unless the whole show is valid
    clock, source = _clock(args, show.beats_per_bar)
    closers = [getattr(clock, "close")] if hasattr(clock, "close") else []
    controls: list[Source] = []
    try:
        outputs = open_outputs(show.outputs, show.universes)
        closers += [output.close for output in outputs]
        if args.control is not None:
            server = ControlServer(*args.control)
            controls.append(server)
            closers.append(server.close)
        if source == "tap" and sys.stdin.isatty():
            keys = KeyTaps()
            controls.append(keys)
            closers.append(keys.close)
        interactive = sys.stderr.isatty() and not args.quiet
        status = _StatusLine(source, show.beats_per_bar)
        live = Live(show, clock, outputs, library=library, fps=args.fps, latency_seconds=args.latency_ms / 1000.0,
                    controls=controls, status=status if interactive else None)
        if not args.quiet:
            print(f"kinetrope live: {show.path}: {_count(len(show.fixtures), 'fixture')} on "
                  f"{_count(len(show.universes), 'universe')} at {live.fps:g} fps; clock {clock!r}",
                  file=sys.stderr, flush=True)
        with _stopping_on_signals(live):
            stats = live.run(args.seconds)
    finally:
        for close in closers:
            close()
    if not args.quiet:
        end = "\n" if interactive else ""
        dropped = f", {stats.send_errors} dropped by the network" if stats.send_errors else ""
        print(f"{end}kinetrope live: {_count(stats.frames, 'frame')} sent, {stats.late} late{dropped}",
              file=sys.stderr, flush=True)
