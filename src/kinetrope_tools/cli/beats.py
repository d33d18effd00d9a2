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
        description="Tracks the beats and bar lines of an audio file (WAV, FLAC, OGG, MP3, ...) and prints its "
        "tempo, the meter, the number of beats, the first downbeat and where the tempo changes; with -o, writes "
        "the beat map as JSON (BeatMap.load reads it).",
    )
    beats.add_argument("song", metavar="SONG")
    beats.add_argument("-o", "--output", metavar="FILE.json", help="where to write the beat map")
    beats.add_argument("--bpm", type=tempo, help="a hint: track near this tempo (within 10 %%)")
    beats.add_argument(
        "--bpm-range", type=tempo, nargs=2, action=_Range, metavar=("LOW", "HIGH"),
        help="search the tempo only in this range (default: 60 to 200)",
    )
    beats.add_argument(
        "--beats-per-bar", type=int, choices=(3, 4), help="the meter, instead of detecting it",
    )
    beats.set_defaults(run=_run)


def _clock(seconds: float) -> str:
    minutes, rest = divmod(int(seconds), 60)
    return f"{minutes}:{rest:02d}"


def _run(args: argparse.Namespace) -> None:
    from ..clocks.beat_map import BeatMap
    from ..music.sections import fitted_bpm, tempo_sections
    from ..music.tracking import analyse_file

    tracked = analyse_file(args.song, bpm=args.bpm, bpm_range=args.bpm_range, beats_per_bar=args.beats_per_bar)
    beats, downbeat = tracked.beats, tracked.downbeat
    sections = tempo_sections(beats)
    tempo_text = (
        f"{fitted_bpm(beats):.1f} BPM" if len(sections) == 1
        else f"{min(s.bpm for s in sections):.1f} to {max(s.bpm for s in sections):.1f} BPM"
    )
    print(
        f"{args.song}: {tempo_text}, {tracked.beats_per_bar}/4, {len(beats)} beats, "
        f"first downbeat: beat {downbeat + 1} at {beats[downbeat]:.3f} s"
    )
    for section in sections:
        print(f"  {_clock(section.seconds)} {section.bpm:.1f} BPM")
    if args.output:
        BeatMap(beats, downbeat=downbeat, bars=tracked.bars.tolist()).save(args.output)
        print(f"beat map written to {args.output}")
