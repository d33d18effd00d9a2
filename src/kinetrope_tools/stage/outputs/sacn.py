"""sACN (E1.31): one data packet per universe and frame, unicast to the show's destination or multicast.

The ``sacn`` package lays out each universe's packet (root, framing and DMP
layers, CID, source name, priority, universe). Its own sender rebuilds and
re-validates all 638 bytes in Python lists for every packet and, on a flush,
adds a multicast sync packet; this output instead keeps the package's
packets as rows of one array and, each frame, writes the sequence number and
the 512 channels into them before handing each row to the socket.
"""

from __future__ import annotations

import random
import socket
from collections.abc import Mapping, Sequence
from typing import Any

import numpy as np
from sacn.messages.data_packet import DataPacket, calculate_multicast_addr  # type: ignore[import-untyped]

from ..show import DMX_CHANNELS
from . import Frame, OutputError, resolve

SACN_PORT = 5568
SOURCE_NAME_BYTES = 63  # the packet's 64-byte field ends with a NUL


def _packet(cid: tuple[int, ...], source_name: str, universe: int, priority: int, sequence: int) -> bytes:
    packet = DataPacket(cid=cid, sourceName=source_name, universe=universe, dmxData=(0,) * DMX_CHANNELS,
                        priority=priority, sequence=sequence)
    return bytes(packet.getBytes())


class SacnOutput:
    name = "sacn"

    def __init__(self, settings: Mapping[str, Any], universes: list[int], *, names: Sequence[str] = ()) -> None:
        source_name = settings.get("source_name", "kinetrope")
        priority = settings.get("priority", 100)
        cid = tuple(random.randrange(256) for _ in range(16))
        if len(source_name.encode("utf-8")) > SOURCE_NAME_BYTES:
            raise OutputError(f"output 'sacn': key 'source_name': must be at most {SOURCE_NAME_BYTES} bytes in UTF-8, "
                              f"not {len(source_name.encode('utf-8'))}")
        probe = np.frombuffer(_packet(cid, source_name, 1, priority, 1), dtype=np.uint8)
        start = np.frombuffer(_packet(cid, source_name, 1, priority, 0), dtype=np.uint8)
        # A show whose fixtures are all OSC points has no universe: the output sends nothing.
        self._packets = np.zeros((len(universes), start.size), dtype=np.uint8)
        for row, universe in zip(self._packets, universes):
            row[:] = np.frombuffer(_packet(cid, source_name, universe, priority, 0), dtype=np.uint8)
        # Where the package puts the sequence number: the one byte that differs between two sequences.
        (self._sequence_at,) = np.flatnonzero(probe != start)
        self._data_at = self._packets.shape[1] - DMX_CHANNELS
        self._sequence = 0
        destination = settings.get("destination")
        port = settings.get("port", SACN_PORT)
        if destination is not None:
            destination, port = resolve(destination, port, output="sacn", key="destination")
        self._addresses = [(destination or calculate_multicast_addr(u), port) for u in universes]
        bind_address = settings.get("bind_address", "0.0.0.0")
        bind_address, bind_port = resolve(bind_address, settings.get("bind_port", 0), output="sacn",
                                          key="bind_address")
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        if destination is None:
            self._socket.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 8)
        try:
            # Port 0: any free port, so a receiver on this machine can keep 5568.
            self._socket.bind((bind_address, bind_port))
        except OSError as error:
            self._socket.close()
            raise OutputError(f"output 'sacn': key 'bind_address': cannot bind to {bind_address}:{bind_port} "
                              f"({error.strerror or error})") from None

    def send(self, frame: Frame) -> None:
        self._sequence = (self._sequence + 1) & 0xFF
        packets = self._packets
        packets[:, self._sequence_at] = self._sequence
        packets[:, self._data_at:] = frame.dmx
        for row, address in zip(packets, self._addresses):
            self._socket.sendto(row, address)

    def close(self) -> None:
        self._socket.close()
