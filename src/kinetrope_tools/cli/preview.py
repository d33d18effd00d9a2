"""``kinetrope preview``: patterns drawn onto PNG contact sheets."""

from __future__ import annotations

import argparse
import pathlib

from .arguments import add_pack_option, patterns_of, whole_number_from_one
from .signals import ending_cleanly
from .usage import Commands


def add_command(commands: Commands) -> None:
    """Adds ``preview`` to the ``kinetrope`` command's subcommands ``commands``."""
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
    preview.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..pictures.sheets import preview

    patterns = patterns_of(args)
    with ending_cleanly():
        for path, page in preview(pathlib.Path(args.output), patterns, patterns.choose(args.patterns),
                                  per_sheet=args.per_sheet):
            print(f"{path}: {', '.join(e.name for e in page)}")
