"""OSC for visuals software: one message per fixture and frame, ``/kinetrope/<fixture> x y z``."""

from __future__ import annotations

from collections.abc import Mapping
from typing import Any

from pythonosc.osc_message_builder import OscMessageBuilder
from pythonosc.udp_client import UDPClient

from . import Frame


class OscOutput:
    def __init__(self, settings: Mapping[str, Any], universes: list[int]) -> None:
        host, _, port = settings["destination"].rpartition(":")
        self._client = UDPClient(host, int(port))
        self._prefix = settings.get("prefix", "/kinetrope")

    def send(self, frame: Frame) -> None:
        for name, (x, y, z) in zip(frame.names, frame.offsets.tolist()):
            builder = OscMessageBuilder(f"{self._prefix}/{name}")
            builder.add_arg(x, OscMessageBuilder.ARG_TYPE_FLOAT)
            builder.add_arg(y, OscMessageBuilder.ARG_TYPE_FLOAT)
            builder.add_arg(z, OscMessageBuilder.ARG_TYPE_FLOAT)
            self._client.send(builder.build())

    def close(self) -> None:
        self._client._sock.close()
