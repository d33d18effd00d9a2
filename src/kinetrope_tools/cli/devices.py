"""``kinetrope devices``: the audio inputs a listening clock can follow, by index and name."""

from __future__ import annotations

import argparse

from .usage import Commands


def add_command(commands: Commands) -> None:
    """Adds ``devices`` to the ``kinetrope`` command's subcommands."""
    devices = commands.add_parser(
        "devices", help="list the audio inputs to listen to",
        description="Lists the audio inputs (index, name and host API, channels, default sample rate) that "
        "kinetrope listen and kinetrope live --listen take by index or name.",
    )
    devices.set_defaults(run=_run)


def _run(args: argparse.Namespace) -> None:
    from ..clocks.listening import input_devices

    inputs = input_devices()
    if not inputs:
        print("no audio inputs")
        return
    for index, name, channels, rate in inputs:
        print(f"{index:3d}  {name}  ({channels} in, {rate:g} Hz)")
