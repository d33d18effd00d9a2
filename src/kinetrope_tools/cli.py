"""The ``kinetrope`` command: gallery, preview, export, pack check and animate."""

from __future__ import annotations

import argparse
import pathlib
import sys
from collections.abc import Sequence
from typing import NoReturn

import kinetrope

from .music.command import add_command as add_beats_command
from .packs import library_of, load_library, load_pack
from .patterns import PatternSet, UnknownPattern
from .render_command import add_command as add_render
from .stage.command import add_command as add_live_command


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        # One line, not argparse's usage block.
        self.exit(2, f"{self.prog}: error: {message} (see {self.prog} --help)\n")


def _library(args: argparse.Namespace) -> kinetrope.PatternLibrary | None:
    return load_library(args.pack) if args.pack else None


def _patterns(args: argparse.Namespace) -> PatternSet:
    return PatternSet(_library(args))


def _gallery(args: argparse.Namespace) -> None:
    from .gallery import build

    index = build(pathlib.Path(args.output), _library(args), processes=args.jobs, progress=not args.quiet)
    print(index.resolve())


def _preview(args: argparse.Namespace) -> None:
    from .sheets import preview

    patterns = _patterns(args)
    if args.per_sheet < 1:
        raise ValueError("--per-sheet must be at least 1")
    for path, page in preview(patterns, patterns.choose(args.patterns), pathlib.Path(args.output), args.per_sheet):
        print(f"{path}: {', '.join(e.name for e in page)}")


def _export(args: argparse.Namespace) -> None:
    from .exporting import export

    patterns = _patterns(args)
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
    from .animation import animate

    patterns = _patterns(args)
    entry = patterns[args.name]
    frames = animate(entry, pathlib.Path(args.output), args.bpm, args.beats, args.fps, patterns.library)
    print(f"{args.output}: {frames} frames at {args.fps} per second")


def _add_pack(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--pack", metavar="FILE", help="a JSON pack whose patterns join the defaults")


def parser() -> argparse.ArgumentParser:
    top = _Parser(prog="kinetrope", description="See, export and check kinetrope patterns.")
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND", parser_class=_Parser)

    gallery = commands.add_parser(
        "gallery", help="build the gallery of every pattern",
        description="Builds a static gallery (index.html, a card and a page per pattern) and prints the "
        "path of index.html. A second build redraws only what changed.",
    )
    gallery.add_argument("-o", "--output", default="gallery", metavar="DIR", help="where to build (default: gallery)")
    _add_pack(gallery)
    gallery.add_argument("--jobs", type=int, metavar="N", help="drawing processes (default: one per core)")
    gallery.add_argument("--quiet", action="store_true", help="no progress bar")
    gallery.set_defaults(run=_gallery)

    preview = commands.add_parser(
        "preview", help="draw patterns onto PNG contact sheets",
        description="Draws each chosen pattern as its picture and its x, y and z lanes against the pip. "
        "Further sheets are written as FILE_2.png, FILE_3.png, ...",
    )
    preview.add_argument("patterns", nargs="+", metavar="NAME_OR_GLOB", help="pattern names or globs (quote globs)")
    preview.add_argument("-o", "--output", required=True, metavar="FILE.png", help="the first sheet")
    preview.add_argument("--per-sheet", type=int, default=8, metavar="N", help="patterns per sheet (default: 8)")
    _add_pack(preview)
    preview.set_defaults(run=_preview)

    export = commands.add_parser(
        "export", help="write one period of rows per pattern",
        description="Writes one period of rows (x, y, z at each pip) per pattern with its name, description, "
        "period, dimensions and pips per beat. JSON files are packs: `kinetrope pack check` and load_pack read them.",
    )
    export.add_argument("patterns", nargs="+", metavar="NAME_OR_GLOB", help="pattern names or globs (quote globs)")
    export.add_argument("--format", required=True, choices=["csv", "json", "npy"])
    export.add_argument("-o", "--output", required=True, metavar="DIR", help="directory for the files")
    _add_pack(export)
    export.set_defaults(run=_export)

    pack = commands.add_parser("pack", help="work with pattern packs", description="Work with JSON pattern packs.")
    pack_commands = pack.add_subparsers(dest="pack_command", required=True, metavar="COMMAND", parser_class=_Parser)
    check = pack_commands.add_parser(
        "check", help="validate a pack file",
        description="Builds every pattern of the pack and the library of them, as the module does. "
        "Exit status 0 if the module accepts the pack, 1 with its error and the pattern's position if not.",
    )
    check.add_argument("file", metavar="FILE.json")
    check.set_defaults(run=_pack_check)

    animate = commands.add_parser(
        "animate", help="write a GIF of the point moving at a tempo",
        description="Writes a GIF of the point moving as the pattern drives it at the given tempo: one frame "
        "per display frame, a short trail, and a larger point when nearer (z = +1).",
    )
    animate.add_argument("name", metavar="NAME")
    animate.add_argument("--bpm", type=float, default=124.0, help="tempo in beats a minute (default: 124)")
    animate.add_argument("--beats", type=float, help="length in beats (default: one period)")
    animate.add_argument("--fps", type=int, default=50, help="frames a second; must divide 100 (default: 50)")
    animate.add_argument("-o", "--output", required=True, metavar="FILE.gif")
    _add_pack(animate)
    animate.set_defaults(run=_animate)
    add_beats_command(commands)
    add_render(commands)
    add_live_command(commands)
    return top


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command; errors are one line on stderr and exit status 1."""
    args = parser().parse_args(argv)
    try:
        args.run(args)
    except (UnknownPattern, ValueError, TypeError, OSError) as error:  # a PackError is a ValueError
        message = str(error)
        if isinstance(error, OSError) and error.filename is not None:
            message = f"{error.filename}: {error.strerror}"
        command = " ".join(filter(None, [args.command, getattr(args, "pack_command", None)]))
        print(f"kinetrope {command}: error: {message}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    except Exception as error:  # a fault of this program: still one line, with its kind
        print(f"kinetrope {args.command}: error: unexpected {type(error).__name__}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
