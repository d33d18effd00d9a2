"""Outputs: where each frame goes. Every output is one module with one class behind ``Output``.

``open_outputs`` makes the outputs a show names, each from its table of
settings; the packages behind them are imported only by the module of an
output in use. Everything an output needs from the network is settled when
it opens (host names resolved, addresses checked), so a frame never waits
for a name server and a setting that cannot work is refused before the
first frame, naming its key.
"""

from __future__ import annotations

import concurrent.futures
import dataclasses
import importlib
import ipaddress
import math
import socket
from collections.abc import Mapping, Sequence
from typing import Any, Protocol

import numpy as np

from ...base.errors import KinetropeError

# How long a host name may take to resolve when an output opens.
RESOLVE_SECONDS = 5.0


class OutputError(KinetropeError, OSError):
    """An output that cannot open; the message names the output and the key."""


@dataclasses.dataclass(frozen=True)
class Frame:
    """One frame of the rig: every fixture's offset and every universe's 512 channels, at the clock's pip."""

    names: list[str]
    offsets: np.ndarray  # (fixtures, 3) float64
    universes: list[int]
    dmx: np.ndarray  # (universes, 512) uint8
    pip: int = 0
    bpm: float = math.nan  # the tempo in effect, nan if the clock gave none yet
    beats_per_bar: int = 4


class Output(Protocol):
    def send(self, frame: Frame) -> None:
        """Sends the frame; called once a frame, on time."""
        ...

    def close(self) -> None:
        ...


def resolve(host: str, port: int, *, output: str, key: str) -> tuple[str, int]:
    """``(host, port)`` with the host as an IPv4 address, resolved now; OutputError naming ``key`` otherwise."""
    where = f"output {output!r}: key {key!r}"
    if all(part.isdigit() for part in host.split(".")):  # a dotted number is an address or nothing
        try:
            return str(ipaddress.IPv4Address(host)), port
        except ValueError:
            raise OutputError(f"{where}: {host!r} is not an IPv4 address") from None
    # The resolver's own timeouts can run to many seconds: wait for it a bounded time, in a
    # thread that is left behind if it never answers.
    pool = concurrent.futures.ThreadPoolExecutor(1, thread_name_prefix="kinetrope-resolve")
    try:
        answers = pool.submit(socket.getaddrinfo, host, port, socket.AF_INET, socket.SOCK_DGRAM).result(RESOLVE_SECONDS)
    except concurrent.futures.TimeoutError:
        raise OutputError(f"{where}: no answer for host {host!r} within {RESOLVE_SECONDS:g} s") from None
    except (OSError, UnicodeError) as error:
        reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error)
        raise OutputError(f"{where}: cannot resolve host {host!r} ({reason})") from None
    finally:
        pool.shutdown(wait=False)
    if not answers:
        raise OutputError(f"{where}: host {host!r} has no IPv4 address")
    return str(answers[0][4][0]), port


# The show file's name of an output -> the module and class that send it.
KINDS = {
    "sacn": ("sacn", "SacnOutput"),
    "artnet": ("artnet", "ArtnetOutput"),
    "osc": ("osc", "OscOutput"),
}


def open_outputs(settings: Mapping[str, Mapping[str, Any]], universes: list[int], *,
                 names: Sequence[str] = ()) -> list[Output]:
    """The outputs a show names, opened; on a failure the ones already open are closed.

    ``names`` are the show's fixtures, for the outputs that send each by name (OSC).
    """
    opened: list[Output] = []
    try:
        for kind, options in settings.items():
            module_name, class_name = KINDS[kind]
            module = importlib.import_module(f".{module_name}", __name__)
            opened.append(getattr(module, class_name)(options, universes, names=names))
    except BaseException:
        for output in opened:
            output.close()
        raise
    return opened
