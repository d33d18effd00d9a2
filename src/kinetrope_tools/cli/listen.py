"""``kinetrope listen [DEVICE]``: follow the beat of an audio input and show it on one status line."""

from __future__ import annotations

import argparse
import sys
import time

from ..base.pips import PIPS_PER_BEAT
from .arguments import Range, tempo
from .usage import Commands

_latency = Range(-10_000, 10_000, unit="ms")


class _BpmRange(argparse.Action):
    def __call__(self, parser, namespace, values, option_string=None):  # type: ignore[no-untyped-def]
        low, high = values
        if not high >= 1.5 * low:
            parser.error(f"{option_string}: HIGH must be at least 1.5 times LOW, not {low:g} {high:g}")
        setattr(namespace, self.dest, (low, high))


def add_listening_options(parser: argparse.ArgumentParser | argparse._ArgumentGroup) -> None:
    """The listening clock's options, shared with ``live --listen``."""
    parser.add_argument("--samplerate", type=Range(8000, 384000, unit="Hz"), metavar="HZ",
                        help="the input's sample rate (default: the input's own)")
    parser.add_argument("--bpm-range", type=tempo, nargs=2, action=_BpmRange, default=(70.0, 180.0),
                        metavar=("LOW", "HIGH"), help="look for the tempo in this range (default: 70 180)")
    parser.add_argument("--input-latency-ms", type=_latency, default=0.0, metavar="MS",
                        help="how much later the input hears the beat than the room (a far microphone; default: 0)")


def add_command(commands: Commands) -> None:
    """Adds ``listen`` to the ``kinetrope`` command's subcommands."""
    listen = commands.add_parser(
        "listen", help="follow the beat of an audio input",
        description="Listens to an audio input (a line in, a microphone; see kinetrope devices) and shows the "
        "tempo it follows, how sure it is and the beat, on one status line, until Ctrl-C.",
    )
    listen.add_argument("device", metavar="DEVICE", nargs="?",
                        help="the input's index or (part of) its name (default: the default input)")
    listen.add_argument("--beats-per-bar", type=Range(1, 64, integer=True), default=4, metavar="N",
                        help="beats in a bar (default: 4)")
    listen.add_argument("--seconds", type=Range(0, above=True), metavar="N", help="stop after N seconds")
    add_listening_options(listen)
    listen.set_defaults(run=_run)


def status(clock: object, pip: int, beats_per_bar: int) -> str:
    """Tempo, confidence, bar.beat and a beat indicator lit on the first quarter of each beat."""
    from ..clocks.listening import ListeningClock

    assert isinstance(clock, ListeningClock)
    beat = pip // PIPS_PER_BEAT
    bar, in_bar = divmod(beat, beats_per_bar)
    lit = pip % PIPS_PER_BEAT < PIPS_PER_BEAT // 4
    lights = "".join(("#" if lit else "o") if n == in_bar else "." for n in range(beats_per_bar))
    state = "locked" if clock.locked else "listening"
    return f"{clock.bpm:6.1f} bpm  confidence {clock.confidence:4.2f}  {bar + 1:4d}.{in_bar + 1}  [{lights}]  {state}"


def _run(args: argparse.Namespace) -> None:
    from ..clocks.listening import ListeningClock

    beats_per_bar = int(args.beats_per_bar)
    clock = ListeningClock(args.device, samplerate=args.samplerate, bpm_range=args.bpm_range,
                           beats_per_bar=beats_per_bar, latency_ms=args.input_latency_ms)
    interactive = sys.stdout.isatty()
    end = None if args.seconds is None else time.monotonic() + args.seconds
    try:
        print(f"kinetrope listen: {clock.device} at {clock.samplerate:g} Hz (Ctrl-C to stop)", file=sys.stderr,
              flush=True)
        last_line = 0.0
        while end is None or time.monotonic() < end:
            if clock.failure is not None:
                raise clock.failure
            now = time.monotonic()
            line = status(clock, clock.pip_now(), beats_per_bar)
            if interactive:
                print(f"\r{line}\033[K", end="", flush=True)
            elif now - last_line >= 1.0:  # a log, not a screen: one line a second
                print(line, flush=True)
                last_line = now
            time.sleep(0.02)
    except KeyboardInterrupt:
        pass
    finally:
        clock.close()
        if interactive:
            print()
