"""``kinetrope beats SONG [-o beats.json]``: the beat map of an audio file."""

from __future__ import annotations

import argparse
import math


def _tempo(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a tempo: {text!r}") from None
    if not (math.isfinite(value) and 20 <= value <= 400):
        raise argparse.ArgumentTypeError(f"a tempo is between 20 and 400 beats a minute, not {text}")
    return value


class _Range(argparse.Action):
    def __call__(self, parser, namespace, values, option_string=None):  # type: ignore[no-untyped-def]
        low, high = values
        if low >= high:
            parser.error(f"{option_string}: LOW must be below HIGH, not {low:g} {high:g}")
        setattr(namespace, self.dest, (low, high))


def add_command(commands: argparse._SubParsersAction) -> None:  # type: ignore[type-arg]
    """Adds ``beats`` to the ``kinetrope`` command's subcommands."""
    beats = commands.add_parser(
        "beats", help="track the beats of an audio file",
        description="Tracks the beats of an audio file (WAV, FLAC, OGG, MP3, ...) and prints its tempo, the "
        "number of beats and the first downbeat; with -o, writes the beat map as JSON (BeatMap.load reads it).",
    )
    beats.add_argument("song", metavar="SONG")
    beats.add_argument("-o", "--output", metavar="FILE.json", help="where to write the beat map")
    beats.add_argument("--bpm", type=_tempo, help="track at this tempo instead of finding it")
    beats.add_argument(
        "--bpm-range", type=_tempo, nargs=2, action=_Range, metavar=("LOW", "HIGH"),
        help="search the tempo only in this range",
    )
    beats.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..clocks import BeatMap
    from .tracking import track_beats

    beats, downbeat = track_beats(args.song, bpm=args.bpm, bpm_range=args.bpm_range)
    beat_map = BeatMap(beats, downbeat=downbeat)
    print(
        f"{args.song}: {beat_map.bpm:.1f} BPM, {len(beats)} beats, "
        f"first downbeat: beat {downbeat + 1} at {beats[downbeat]:.3f} s"
    )
    if args.output:
        beat_map.save(args.output)
        print(f"beat map written to {args.output}")
