"""``kinetrope export``: one period of rows per pattern, as CSV, JSON packs or numpy files."""

from __future__ import annotations

import argparse
import pathlib

from .arguments import add_pack_option, patterns_of
from .signals import ending_cleanly
from .usage import Commands


def add_command(commands: Commands) -> None:
    """Adds ``export`` to the ``kinetrope`` command's subcommands ``commands``."""
    export = commands.add_parser(
        "export", help="write one period of rows per pattern",
        description="Writes one period of rows (x, y, z at each pip) per pattern with its name, description, "
        "period, dimensions and pips per beat. JSON files are packs: `kinetrope pack check` and load_pack read them.",
    )
    export.add_argument("patterns", nargs="+", metavar="NAME_OR_GLOB", help="pattern names or globs (quote globs)")
    export.add_argument("--format", required=True, choices=["csv", "json", "npy"])
    export.add_argument("-o", "--output", required=True, metavar="DIR", help="directory for the files")
    add_pack_option(export)
    export.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..patterns.exporting import export

    patterns = patterns_of(args)
    with ending_cleanly():
        for entry in patterns.choose(args.patterns):
            for path in export(pathlib.Path(args.output), entry, patterns.rows(entry.name), format=args.format):
                print(path)
