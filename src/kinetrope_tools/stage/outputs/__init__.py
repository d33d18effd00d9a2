"""Outputs: where each frame goes. Every output is one module with one class behind ``Output``.

``open_outputs`` makes the outputs a show names, each from its table of
settings; the packages behind them are imported only by the module of an
output in use.
"""

from __future__ import annotations

import dataclasses
import importlib
from collections.abc import Mapping
from typing import Any, Protocol

import numpy as np


@dataclasses.dataclass(frozen=True)
class Frame:
    """One frame of the rig: every fixture's offset and every universe's 512 channels."""

    names: list[str]
    offsets: np.ndarray  # (fixtures, 3) float64
    universes: list[int]
    dmx: np.ndarray  # (universes, 512) uint8


class Output(Protocol):
    def send(self, frame: Frame) -> None:
        """Sends the frame; called once a frame, on time."""
        ...

    def close(self) -> None:
        ...


# The show file's name of an output -> the module and class that send it.
KINDS = {
    "sacn": ("sacn", "SacnOutput"),
    "artnet": ("artnet", "ArtnetOutput"),
    "osc": ("osc", "OscOutput"),
}


def open_outputs(settings: Mapping[str, Mapping[str, Any]], universes: list[int]) -> list[Output]:
    """The outputs a show names, opened; on a failure the ones already open are closed."""
    opened: list[Output] = []
    try:
        for kind, options in settings.items():
            module_name, class_name = KINDS[kind]
            module = importlib.import_module(f".{module_name}", __name__)
            opened.append(getattr(module, class_name)(options, universes))
    except BaseException:
        for output in opened:
            output.close()
        raise
    return opened
