"""The ``kinetrope`` command: gallery, preview, export, pack check and animate.

Each command is added to the parser by one call in ``parser()``: a module
with commands of its own defines ``add_command(commands)``, which adds its
subparser to ``commands`` and sets ``run`` (a function of the parsed
arguments) as its default. Errors end as one line on stderr: exit status 2
for a command line that asks for what cannot be (argparse's own errors, a
value refused by one of the argument types below, a ``UsageError`` raised by
``run``, a pattern name or glob that matches nothing), 1 for anything that
fails while the work is done (a pack the module refuses, a file that cannot
be read or written).
"""

from __future__ import annotations

import argparse
import pathlib
import sys
from collections.abc import Sequence
from typing import Any, NoReturn, TypeAlias

import kinetrope

from .arguments import positive_number, whole_number_from_one
from .music.command import add_command as add_beats_command
from .packs import library_of, load_library, load_pack
from .patterns import PatternSet, UnknownPattern
from .render_command import add_command as add_render
from .stage.command import add_command as add_live_command

# What ``add_command`` receives.
Commands: TypeAlias = "argparse._SubParsersAction[Any]"
USAGE_STATUS = 2
FAILURE_STATUS = 1


class UsageError(Exception):
    """A command line that asks for what cannot be, found after parsing: exit status 2, as argparse's errors."""


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        # One line, not argparse's usage block.
        self.exit(USAGE_STATUS, f"{self.prog}: error: {message} (see {self.prog} --help)\n")


def _gif_fps(text: str) -> int:
    from .animation import GIF_FPS

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


def library_of_arguments(args: argparse.Namespace) -> kinetrope.PatternLibrary | None:
    """The library of ``--pack`` (see ``add_pack_option``), None without one."""
    return load_library(args.pack) if args.pack else None


def patterns_of(args: argparse.Namespace) -> PatternSet:
    """The defaults, with the patterns of ``--pack`` if one is given."""
    return PatternSet(library_of_arguments(args))


def _gallery(args: argparse.Namespace) -> None:
    from .gallery import build

    index = build(pathlib.Path(args.output), library_of_arguments(args), processes=args.jobs, progress=not args.quiet)
    print(index.resolve())


def _preview(args: argparse.Namespace) -> None:
    from .sheets import preview

    patterns = patterns_of(args)
    for path, page in preview(patterns, patterns.choose(args.patterns), pathlib.Path(args.output), args.per_sheet):
        print(f"{path}: {', '.join(e.name for e in page)}")


def _export(args: argparse.Namespace) -> None:
    from .exporting import export

    patterns = patterns_of(args)
    for entry in patterns.choose(args.patterns):
        for path in export(entry, patterns.rows(entry.name), pathlib.Path(args.output), args.format):
            print(path)


def _count(number: int, one: str, many: str) -> str:
    return f"{number} {one if number == 1 else many}"


def _pack_check(args: argparse.Namespace) -> None:
    patterns = load_pack(args.file)
    library = library_of(patterns)
    own = len(library.catalogue()) - len(kinetrope.catalogue())
    copies = len(patterns) - own
    note = f", {_count(copies, 'exact copy', 'exact copies')} of a default pattern dropped" if copies else ""
    print(f"{args.file}: valid, {_count(len(patterns), 'pattern', 'patterns')}{note}")


def _animate(args: argparse.Namespace) -> None:
    from .animation import animate, frame_count

    patterns = patterns_of(args)
    entry = patterns[args.name]
    beats = entry.period_pips / kinetrope.PIPS_PER_BEAT if args.beats is None else args.beats
    try:
        frame_count(args.bpm, beats, args.fps)  # too long a GIF is refused before anything is drawn
    except ValueError as error:
        raise UsageError(str(error)) from None
    frames = animate(entry, pathlib.Path(args.output), args.bpm, beats, args.fps, patterns.library)
    print(f"{args.output}: {frames} frames at {args.fps} per second")


def add_pack_option(parser: argparse.ArgumentParser) -> None:
    """``--pack FILE``, read by ``patterns_of`` and ``library_of_arguments``."""
    parser.add_argument("--pack", metavar="FILE", help="a JSON pack whose patterns join the defaults")


def _add_gallery(commands: Commands) -> None:
    gallery = commands.add_parser(
        "gallery", help="build the gallery of every pattern",
        description="Builds a static gallery (index.html, a card and a page per pattern) and prints the "
        "path of index.html. A second build redraws only what changed. The gallery removes only files it wrote "
        "itself: it builds in a new or empty folder, or one that holds only an earlier gallery.",
    )
    gallery.add_argument("-o", "--output", default="gallery", metavar="DIR", help="where to build (default: gallery)")
    add_pack_option(gallery)
    gallery.add_argument("--jobs", type=whole_number_from_one, metavar="N", help="drawing processes (default: one per core)")
    gallery.add_argument("--quiet", action="store_true", help="no progress bar")
    gallery.set_defaults(run=_gallery)


def _add_preview(commands: Commands) -> None:
    preview = commands.add_parser(
        "preview", help="draw patterns onto PNG contact sheets",
        description="Draws each chosen pattern as its picture and its x, y and z lanes against the pip. "
        "Further sheets are written as FILE_2.png, FILE_3.png, ...",
    )
    preview.add_argument("patterns", nargs="+", metavar="NAME_OR_GLOB", help="pattern names or globs (quote globs)")
    preview.add_argument("-o", "--output", required=True, metavar="FILE.png", help="the first sheet")
    preview.add_argument(
        "--per-sheet", type=whole_number_from_one, default=8, metavar="N", help="patterns per sheet (default: 8)"
    )
    add_pack_option(preview)
    preview.set_defaults(run=_preview)


def _add_export(commands: Commands) -> None:
    export = commands.add_parser(
        "export", help="write one period of rows per pattern",
        description="Writes one period of rows (x, y, z at each pip) per pattern with its name, description, "
        "period, dimensions and pips per beat. JSON files are packs: `kinetrope pack check` and load_pack read them.",
    )
    export.add_argument("patterns", nargs="+", metavar="NAME_OR_GLOB", help="pattern names or globs (quote globs)")
    export.add_argument("--format", required=True, choices=["csv", "json", "npy"])
    export.add_argument("-o", "--output", required=True, metavar="DIR", help="directory for the files")
    add_pack_option(export)
    export.set_defaults(run=_export)


def _add_pack(commands: Commands) -> None:
    pack = commands.add_parser("pack", help="work with pattern packs", description="Work with JSON pattern packs.")
    pack_commands = pack.add_subparsers(dest="pack_command", required=True, metavar="COMMAND", parser_class=_Parser)
    check = pack_commands.add_parser(
        "check", help="validate a pack file",
        description="Reads the pack, refusing unknown, missing and repeated keys, and builds every pattern "
        "and the library of them, as the module does. Exit status 0 if the pack is valid, 1 with its error "
        "and where it is (line and column, or the pattern's position and the row) if not.",
    )
    check.add_argument("file", metavar="FILE.json")
    check.set_defaults(run=_pack_check)


def _add_animate(commands: Commands) -> None:
    animate = commands.add_parser(
        "animate", help="write a GIF of the point moving at a tempo",
        description="Writes a GIF of the point moving as the pattern drives it at the given tempo: one frame "
        "per display frame, a short trail, and a larger point when nearer (z = +1).",
    )
    animate.add_argument("name", metavar="NAME")
    animate.add_argument("--bpm", type=positive_number, default=124.0, help="tempo in beats a minute (default: 124)")
    animate.add_argument("--beats", type=positive_number, help="length in beats (default: one period)")
    animate.add_argument("--fps", type=_gif_fps, default=50, help="frames a second; must divide 100 (default: 50)")
    animate.add_argument("-o", "--output", required=True, metavar="FILE.gif")
    add_pack_option(animate)
    animate.set_defaults(run=_animate)


def parser() -> argparse.ArgumentParser:
    top = _Parser(prog="kinetrope", description="See, export and check kinetrope patterns.")
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND", parser_class=_Parser)
    # One line per command (a module's add_command), in the order --help lists them.
    _add_gallery(commands)
    _add_preview(commands)
    _add_export(commands)
    _add_pack(commands)
    _add_animate(commands)
    add_beats_command(commands)
    add_render(commands)
    add_live_command(commands)
    return top


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command; errors are one line on stderr, exit status 2 for usage and 1 for failures."""
    args = parser().parse_args(argv)
    command = " ".join(filter(None, [args.command, getattr(args, "pack_command", None)]))

    def error(status: int, message: str) -> int:
        print(f"kinetrope {command}: error: {message}", file=sys.stderr)
        return status

    try:
        args.run(args)
    except (UsageError, UnknownPattern) as usage:
        return error(USAGE_STATUS, str(usage))
    except ImportError as missing:  # an optional extra that is not installed: the message says which
        return error(FAILURE_STATUS, str(missing))
    except (ValueError, TypeError, OSError) as failure:  # a PackError is a ValueError
        message = str(failure)
        if isinstance(failure, OSError) and failure.filename is not None:
            message = f"{failure.filename}: {failure.strerror}"
        return error(FAILURE_STATUS, message)
    except KeyboardInterrupt:
        return 130
    except Exception as fault:  # a fault of this program: still one line, with its kind
        return error(FAILURE_STATUS, f"unexpected {type(fault).__name__}: {fault}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
