"""``kinetrope beats SONG [-o beats.json]``: the beat map of an audio file."""

from __future__ import annotations

import argparse

from .arguments import tempo
from .usage import Commands


class _Range(argparse.Action):
    def __call__(self, parser, namespace, values, option_string=None):  # type: ignore[no-untyped-def]
        low, high = values
        if low >= high:
            parser.error(f"{option_string}: LOW must be below HIGH, not {low:g} {high:g}")
        setattr(namespace, self.dest, (low, high))


def add_command(commands: Commands) -> None:
    """Adds ``beats`` to the ``kinetrope`` command's subcommands."""
    beats = commands.add_parser(
        "beats", help="track the beats of an audio file",
        description="Tracks the beats of an audio file (WAV, FLAC, OGG, MP3, ...) and prints its tempo, the "
        "number of beats and the first downbeat; with -o, writes the beat map as JSON (BeatMap.load reads it).",
    )
    beats.add_argument("song", metavar="SONG")
    beats.add_argument("-o", "--output", metavar="FILE.json", help="where to write the beat map")
    beats.add_argument("--bpm", type=tempo, help="track at this tempo instead of finding it")
    beats.add_argument(
        "--bpm-range", type=tempo, nargs=2, action=_Range, metavar=("LOW", "HIGH"),
        help="search the tempo only in this range",
    )
    beats.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..music.tracking import track_beat_map

    beat_map = track_beat_map(args.song, bpm=args.bpm, bpm_range=args.bpm_range)
    beats, downbeat = beat_map.beats, beat_map.downbeat
    print(
        f"{args.song}: {beat_map.bpm:.1f} BPM, {len(beats)} beats, "
        f"first downbeat: beat {downbeat + 1} at {beats[downbeat]:.3f} s"
    )
    if args.output:
        beat_map.save(args.output)
        print(f"beat map written to {args.output}")
