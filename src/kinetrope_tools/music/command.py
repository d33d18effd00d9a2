"""``kinetrope beats SONG [-o beats.json]``: the beat map of an audio file."""

from __future__ import annotations

import argparse
import math
import os
import pathlib
import tempfile


def _tempo(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a tempo: {text!r}") from None
    if not (math.isfinite(value) and 0 < value <= 1000):
        raise argparse.ArgumentTypeError(f"a tempo is a number of beats a minute above 0 and up to 1000, not {text}")
    return value


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
        "--bpm-range", type=_tempo, nargs=2, metavar=("LOW", "HIGH"), help="search the tempo only in this range"
    )
    beats.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..clocks import BeatMap
    from .tracking import track_beats

    if args.bpm_range and args.bpm_range[0] >= args.bpm_range[1]:
        raise ValueError(f"--bpm-range: LOW must be below HIGH, not {args.bpm_range[0]:g} {args.bpm_range[1]:g}")
    beats, downbeat = track_beats(args.song, bpm=args.bpm, bpm_range=tuple(args.bpm_range) if args.bpm_range else None)
    beat_map = BeatMap(beats, downbeat=downbeat)
    print(
        f"{args.song}: {beat_map.bpm:.1f} BPM, {len(beats)} beats, "
        f"first downbeat: beat {downbeat + 1} at {beats[downbeat]:.3f} s"
    )
    if args.output:
        _save(beat_map, pathlib.Path(args.output))
        print(f"beat map written to {args.output}")


def _save(beat_map: object, path: pathlib.Path) -> None:
    """Writes beside the target and renames over it, so a failure leaves no half-written map and an
    existing symlink is replaced rather than written through."""
    handle, temporary = tempfile.mkstemp(prefix=f".{path.name}.", suffix=".tmp", dir=path.parent or ".")
    os.close(handle)
    umask = os.umask(0)
    os.umask(umask)
    os.chmod(temporary, 0o666 & ~umask)
    try:
        beat_map.save(temporary)  # type: ignore[attr-defined]
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise
