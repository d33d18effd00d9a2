"""``kinetrope gallery``: a static gallery of every pattern."""

from __future__ import annotations

import argparse
import pathlib

from .arguments import add_pack_option, library_of_arguments, whole_number_from_one
from .signals import ending_cleanly
from .usage import Commands


def add_command(commands: Commands) -> None:
    """Adds ``gallery`` to the ``kinetrope`` command's subcommands ``commands``."""
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
    gallery.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..pictures.gallery import build

    with ending_cleanly():
        index = build(pathlib.Path(args.output), library=library_of_arguments(args), processes=args.jobs,
                      progress=not args.quiet)
    print(index.resolve())
