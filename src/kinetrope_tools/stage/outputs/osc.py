"""OSC for visuals software: each frame, the clock and every fixture's offset, in bundles.

Each frame goes out as one OSC bundle (several, each within one Ethernet
frame, for a rig too large for one), its timetag "immediately":

  PREFIX/clock  tempo bar beat phase   every frame (f i i f: bpm, bar and beat counted from 1, phase 0..1 of the beat)
  PREFIX/beat   bar beat               when a new beat has begun (i i)
  PREFIX/NAME   x y z                  every fixture, its pattern's own offset (f f f)

The offsets are the pattern's, before a fixture's size, inversion or range:
visuals map them as they like. The bundles are laid out once, when the
fixtures are first seen; a frame writes its floats into them with one
numpy step, so the cost of a frame grows with the bytes, not with Python
calls per fixture.
"""

from __future__ import annotations

import math
import socket
import struct
from collections.abc import Mapping, Sequence
from typing import Any

import numpy as np

from ...base.pips import PIPS_PER_BEAT
from . import Frame, OutputError, resolve

# The addresses under the prefix that are not fixtures.
RESERVED = ("clock", "beat")
# A datagram this size fits an Ethernet frame with its IP and UDP headers: nothing is fragmented.
DATAGRAM_BYTES = 1472
_PREFIX_BYTES = 512
_BUNDLE_HEAD = b"#bundle\0" + (1).to_bytes(8, "big")  # timetag 1: immediately
# Printable ASCII, less what OSC keeps for address patterns and the space.
_ADDRESS_CHARACTERS = frozenset(chr(c) for c in range(33, 127)) - set("#*,?[]{}")


def osc_string(text: str) -> bytes:
    """An OSC string: the bytes, a NUL, and NULs to a multiple of four."""
    data = text.encode("ascii")
    return data + b"\0" * (4 - len(data) % 4)


def _checked_prefix(prefix: str) -> str:
    if (not prefix.startswith("/") or prefix.endswith("/") or len(prefix) > _PREFIX_BYTES
            or not set(prefix) <= _ADDRESS_CHARACTERS):
        raise OutputError(f"output 'osc': key 'prefix': must be an OSC address of at most {_PREFIX_BYTES} printable "
                          f"ASCII characters without spaces or any of #*,?[]{{}}, such as \"/kinetrope\"")
    return prefix


class _Layout:
    """The bundles of one rig's fixture messages, end to end in one buffer, with where each float goes."""

    def __init__(self, prefix: str, names: Sequence[str], room_first: int) -> None:
        elements = []
        for name in names:
            message = osc_string(f"{prefix}/{name}") + osc_string(",fff")
            elements.append(struct.pack(">i", len(message) + 12) + message + b"\0" * 12)
        pieces: list[bytes] = []
        self.bounds: list[tuple[int, int]] = []  # each datagram's slice of the buffer (the first without its head)
        float_at = np.zeros(len(names), dtype=np.intp)
        size, room, begun = 0, room_first, 0
        for index, element in enumerate(elements):
            if len(element) > room and size > begun:  # the element starts the next datagram
                self.bounds.append((begun, size))
                pieces.append(_BUNDLE_HEAD)
                size += len(_BUNDLE_HEAD)
                begun, room = size, DATAGRAM_BYTES - len(_BUNDLE_HEAD)
            pieces.append(element)
            float_at[index] = size + len(element) - 12
            size += len(element)
            room -= len(element)
        self.bounds.append((begun, size))
        self.buffer = np.frombuffer(b"".join(pieces), dtype=np.uint8).copy()
        self.float_bytes = float_at[:, None] + np.arange(12)

    def fill(self, offsets: np.ndarray) -> None:
        self.buffer[self.float_bytes] = offsets.astype(">f4").view(np.uint8).reshape(-1, 12)


class OscOutput:
    name = "osc"

    def __init__(self, settings: Mapping[str, Any], universes: list[int], *, names: Sequence[str] = ()) -> None:
        host, _, port = settings["destination"].rpartition(":")
        self._prefix = _checked_prefix(settings.get("prefix", "/kinetrope"))
        self._check_names(names)
        self._address = resolve(host, int(port), output="osc", key="destination")
        self._clock = osc_string(f"{self._prefix}/clock") + osc_string(",fiif")
        self._beat = osc_string(f"{self._prefix}/beat") + osc_string(",ii")
        self._room_first = DATAGRAM_BYTES - len(_BUNDLE_HEAD) - (4 + len(self._clock) + 16) - (4 + len(self._beat) + 8)
        self._names: Sequence[str] | None = None
        self._layout: _Layout | None = None
        self._last_beat: int | None = None
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)

    def _check_names(self, names: Sequence[str]) -> None:
        for name in names:
            if name in RESERVED:
                raise OutputError(f"output 'osc': fixture {name!r}: {self._prefix}/{name} is the address of the "
                                  f"{name} messages; give the fixture another name")

    def _layout_for(self, names: Sequence[str]) -> _Layout:
        if self._layout is None or not (names is self._names or list(names) == list(self._names or ())):
            self._check_names(names)
            self._layout = _Layout(self._prefix, names, self._room_first)
            self._names = names
        return self._layout

    def clock_elements(self, frame: Frame) -> bytes:
        """The clock message, and the beat message when a beat has begun since the last frame."""
        beat_count, within = divmod(frame.pip, PIPS_PER_BEAT)
        bar, beat = divmod(beat_count, frame.beats_per_bar)
        bpm = frame.bpm if math.isfinite(frame.bpm) else 0.0
        clock = self._clock + struct.pack(">fiif", bpm, bar + 1, beat + 1, within / PIPS_PER_BEAT)
        elements = struct.pack(">i", len(clock)) + clock
        if beat_count != self._last_beat:
            self._last_beat = beat_count
            message = self._beat + struct.pack(">ii", bar + 1, beat + 1)
            elements += struct.pack(">i", len(message)) + message
        return elements

    def send(self, frame: Frame) -> None:
        layout = self._layout_for(frame.names)
        layout.fill(frame.offsets)
        view = memoryview(layout.buffer)
        (first_begin, first_end), *rest = layout.bounds
        head = _BUNDLE_HEAD + self.clock_elements(frame) + view[first_begin:first_end].tobytes()
        self._socket.sendto(head, self._address)
        for begin, end in rest:
            self._socket.sendto(view[begin - len(_BUNDLE_HEAD):end], self._address)

    def close(self) -> None:
        self._socket.close()
