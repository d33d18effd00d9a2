"""``kinetrope pack check``: a pack file validated as the module reads it."""

from __future__ import annotations

import argparse

import kinetrope

from ..patterns.packs import library_of, load_pack
from .usage import Commands, Parser


def add_command(commands: Commands) -> None:
    """Adds ``pack`` to the ``kinetrope`` command's subcommands ``commands``."""
    pack = commands.add_parser("pack", help="work with pattern packs", description="Work with JSON pattern packs.")
    pack_commands = pack.add_subparsers(dest="pack_command", required=True, metavar="COMMAND", parser_class=Parser)
    check = pack_commands.add_parser(
        "check", help="validate a pack file",
        description="Reads the pack, refusing unknown, missing and repeated keys, and builds every pattern "
        "and the library of them, as the module does. Exit status 0 if the pack is valid, 1 with its error "
        "and where it is (line and column, or the pattern's position and the row) if not.",
    )
    check.add_argument("file", metavar="FILE.json")
    check.set_defaults(run=_check)


def _count(number: int, one: str, many: str) -> str:
    return f"{number} {one if number == 1 else many}"


def _check(args: argparse.Namespace) -> None:
    patterns = load_pack(args.file)
    library = library_of(patterns)
    own = len(library.catalogue()) - len(kinetrope.catalogue())
    copies = len(patterns) - own
    note = f", {_count(copies, 'exact copy', 'exact copies')} of a default pattern dropped" if copies else ""
    print(f"{args.file}: valid, {_count(len(patterns), 'pattern', 'patterns')}{note}")
