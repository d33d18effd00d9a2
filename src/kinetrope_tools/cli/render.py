"""``kinetrope render``: an MP4 of patterns moving to a song, from the song's beat map."""

from __future__ import annotations

import argparse
import pathlib
import sys
from typing import Any

from ..pictures.render import MAX_FPS, MAX_SIZE, MIN_SIZE, RenderError, render
from .arguments import Range, add_pack_option, patterns_of
from .signals import ending_cleanly
from .usage import Commands

# The values a refusal names, as this command's options.
_OPTIONS = {"start": "--start", "seconds": "--seconds"}


def _run(args: argparse.Namespace) -> None:
    patterns = patterns_of(args)
    names = [entry.name for entry in patterns.choose(args.patterns)]
    from ..clocks import BeatMap

    clock = BeatMap.load(args.beats) if args.beats else None
    bar = _progress_bar()
    try:
        with ending_cleanly() as ending:

            def progress(frames: int) -> None:
                ending.check()  # between frames, where a signal can always be raised
                if bar is not None:
                    bar(frames)

            done = render(
                args.output, args.song, names, clock=clock, fps=args.fps, size=args.size,
                start=args.start, seconds=args.seconds, library=patterns.library, progress=progress,
            )
    except RenderError as refused:
        raise RenderError(refused.worded(_OPTIONS)) from None
    finally:
        if bar is not None:
            bar.close()
    if clock is None and isinstance(done.clock, BeatMap):
        print(f"{args.song}: beats tracked, {done.clock.bpm:.1f} BPM, {len(done.clock.beats)} beats")
    print(f"{done.path}: {done.frames} frames at {done.fps} per second, {done.width}x{done.height}, "
          f"{done.seconds:.2f} s of audio")


class _Bar:
    """A progress bar on a terminal, fed the number of frames written so far."""

    def __init__(self) -> None:
        from tqdm import tqdm  # type: ignore[import-untyped]

        self.bar: Any = tqdm(unit=" frames", file=sys.stderr, leave=False)

    def __call__(self, frames: int) -> None:
        self.bar.update(frames - self.bar.n)

    def close(self) -> None:
        self.bar.close()


def _progress_bar() -> _Bar | None:
    return _Bar() if sys.stderr.isatty() else None


def add_command(commands: Commands) -> None:
    """Adds ``render`` to the ``kinetrope`` command's subcommands ``commands``."""
    parser = commands.add_parser(
        "render", help="write an MP4 of patterns moving to a song",
        description="Writes an MP4 (H.264 video with the song's audio) of each pattern's point moving in step "
        "with the song's beats: one panel per pattern with its name, the point's size showing depth, a short "
        "trail, and a bar and beat counter (pip 0 on a downbeat). Without --beats the song's beats are tracked first.",
    )
    parser.add_argument("song", metavar="SONG", help="an audio file (WAV, FLAC, OGG, MP3, ...)")
    parser.add_argument("patterns", nargs="+", metavar="PATTERN", help="pattern names or globs (quote globs)")
    parser.add_argument("-o", "--output", required=True, metavar="FILE.mp4", type=pathlib.Path)
    parser.add_argument("--beats", metavar="BEATS.json", help="the song's beat map, as `kinetrope beats` writes it")
    parser.add_argument("--fps", type=Range(1, MAX_FPS, integer=True), default=50, help="frames a second (default: 50)")
    parser.add_argument(
        "--size", type=Range(MIN_SIZE, MAX_SIZE, integer=True), default=720, metavar="PIXELS", help="height of the video (default: 720)"
    )
    parser.add_argument("--start", type=Range(0, unit="seconds"), default=0.0, metavar="S", help="where to begin in the song, in seconds")
    parser.add_argument("--seconds", type=Range(0, above=True, unit="seconds"), metavar="N", help="how long to render (default: to the end)")
    add_pack_option(parser)
    parser.set_defaults(run=_run)
