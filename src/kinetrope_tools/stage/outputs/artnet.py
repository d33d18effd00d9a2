"""Art-Net: one ArtDmx packet per universe and frame through ``stupidArtnet``, unicast to the show's destination.

A show universe is the Art-Net port-address (net, sub-net and universe in
one 15-bit number), so universe 1 is net 0, sub-net 0, universe 1.
"""

from __future__ import annotations

from collections.abc import Mapping
from typing import Any

from stupidArtnet import StupidArtnet  # type: ignore[import-untyped]

from . import Frame


class ArtnetOutput:
    def __init__(self, settings: Mapping[str, Any], universes: list[int]) -> None:
        self._senders = []
        for universe in universes:
            sender = StupidArtnet(settings["destination"], 0, 512, port=settings.get("port", 6454))
            sender.set_simplified(False)
            sender.set_net(universe >> 8)
            sender.set_subnet((universe >> 4) & 0x0F)
            sender.set_universe(universe & 0x0F)
            self._senders.append(sender)

    def send(self, frame: Frame) -> None:
        for sender, channels in zip(self._senders, frame.dmx):
            sender.set(bytearray(channels))
            sender.show()

    def close(self) -> None:
        for sender in self._senders:
            sender.close()
