"""``kinetrope animate``: a GIF of the point moving at a tempo."""

from __future__ import annotations

import argparse
import pathlib

import kinetrope

from .arguments import add_pack_option, patterns_of, positive_number, tempo
from .signals import ending_cleanly
from .usage import Commands, UsageError


def _gif_fps(text: str) -> int:
    from ..pictures.animation import GIF_FPS

    try:
        value = int(text)
    except ValueError:
        value = 0
    if value not in GIF_FPS:
        choices = ", ".join(map(str, GIF_FPS))
        raise argparse.ArgumentTypeError(
            f"must divide 100 (GIF frames last whole hundredths of a second): {choices}, not {text}"
        )
    return value


def add_command(commands: Commands) -> None:
    """Adds ``animate`` to the ``kinetrope`` command's subcommands ``commands``."""
    animate = commands.add_parser(
        "animate", help="write a GIF of the point moving at a tempo",
        description="Writes a GIF of the point moving as the pattern drives it at the given tempo: one frame "
        "per display frame, a short trail, and a larger point when nearer (z = +1).",
    )
    animate.add_argument("name", metavar="NAME")
    animate.add_argument("--bpm", type=tempo, default=124.0, help="tempo in beats a minute (default: 124)")
    animate.add_argument("--beats", type=positive_number, help="length in beats (default: one period)")
    animate.add_argument("--fps", type=_gif_fps, default=50, help="frames a second; must divide 100 (default: 50)")
    animate.add_argument("-o", "--output", required=True, metavar="FILE.gif")
    add_pack_option(animate)
    animate.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..pictures.animation import animate, frame_count

    patterns = patterns_of(args)
    entry = patterns[args.name]
    beats = entry.period_pips / kinetrope.PIPS_PER_BEAT if args.beats is None else args.beats
    try:
        frame_count(args.bpm, beats, args.fps)  # too long a GIF is refused before anything is drawn
    except ValueError as error:
        raise UsageError(str(error)) from None
    with ending_cleanly():
        frames = animate(pathlib.Path(args.output), entry, bpm=args.bpm, beats=beats, fps=args.fps,
                         library=patterns.library)
    print(f"{args.output}: {frames} frames at {args.fps} per second")
