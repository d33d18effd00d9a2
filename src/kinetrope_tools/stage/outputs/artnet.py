"""Art-Net: one ArtDmx packet per universe and frame, unicast to the show's destination.

A show universe is the Art-Net port-address (net, sub-net and universe in
one 15-bit number), so universe 1 is net 0, sub-net 0, universe 1.

``stupidArtnet`` lays out each universe's packet header; the packets go out
through a socket of our own, as the sACN output's do, because the package's
sender prints a failed send and carries on: a show loop must hear of it, so
that it counts the dropped frame and says so once rather than every frame.

A receiver tells Art-Net sources apart by their IP address alone and merges
what two sources send (highest takes precedence) until one has been silent
for seconds. So the socket is bound to the address the route to the
destination leaves from when the output opens: if the machine's addresses
change while the show runs, frames are lost (and said to be) until the
address is back, rather than sent from a second address that the receiver
would merge with the first, holding the first one's stale values over
every later frame, the home frame too.
"""

from __future__ import annotations

import socket
from collections.abc import Mapping, Sequence
from typing import Any

from stupidArtnet import StupidArtnet  # type: ignore[import-untyped]

from . import Frame, resolve

ARTNET_PORT = 6454
SEQUENCE_AT = 12  # the header's sequence byte: 1-255 in turn, 0 would switch re-ordering off


def _header(universe: int) -> bytes:
    layout = StupidArtnet("127.0.0.1", 0, 512)
    try:
        layout.set_simplified(False)
        layout.set_net(universe >> 8)
        layout.set_subnet((universe >> 4) & 0x0F)
        layout.set_universe(universe & 0x0F)
        return bytes(layout.packet_header)
    finally:
        layout.close()


def _source_for(address: tuple[str, int]) -> str:
    """The local address that packets to ``address`` leave from now ("0.0.0.0" if there is no route)."""
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        probe.connect(address)  # a UDP connect sends nothing: the kernel only picks the route
        return str(probe.getsockname()[0])
    except OSError:  # no route, or a broadcast address: the sends will say
        return "0.0.0.0"
    finally:
        probe.close()


class ArtnetOutput:
    name = "artnet"

    def __init__(self, settings: Mapping[str, Any], universes: list[int], *, names: Sequence[str] = ()) -> None:
        self._packets = [bytearray(_header(universe)) + bytearray(512) for universe in universes]
        self._data_at = len(self._packets[0]) - 512 if self._packets else 0
        self._address = resolve(settings["destination"], settings.get("port", ARTNET_PORT), output="artnet",
                                key="destination")
        self._sequence = 0
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            self._socket.bind((_source_for(self._address), 0))
        except OSError:
            self._socket.close()
            raise

    def send(self, frame: Frame) -> None:
        self._sequence = self._sequence % 255 + 1
        for packet, channels in zip(self._packets, frame.dmx):
            packet[SEQUENCE_AT] = self._sequence
            packet[self._data_at :] = bytes(channels)
            self._socket.sendto(packet, self._address)

    def close(self) -> None:
        self._socket.close()
