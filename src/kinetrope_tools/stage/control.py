"""Control while the show runs: OSC messages in, commands out to the frame loop.

A server thread turns each message into a command and queues it; the frame
loop applies the queued commands between frames, so the rig is only ever
touched by the loop. A message that does not fit is reported on stderr and
dropped; nothing a sender does stops the show.

Addresses (PREFIX is ``/kinetrope``):
  PREFIX/pattern TARGET PATTERN [BEATS]   fixture or group to PATTERN, crossfading over BEATS from the next bar
  PREFIX/tap                              a tap for a tapped clock
  PREFIX/tempo BPM                        set the tempo
  PREFIX/blackout [0|1]                   dimmers to zero (1, or no argument) or back (0)
  PREFIX/home [0|1]                       every fixture to its centre (1, or no argument) or back (0)
"""

from __future__ import annotations

import dataclasses
import math
import queue
import sys
import threading
import time
from typing import Any, Protocol

from pythonosc.dispatcher import Dispatcher
from pythonosc.osc_server import ThreadingOSCUDPServer

from . import steering

PREFIX = "/kinetrope"


@dataclasses.dataclass(frozen=True)
class PatternChange:
    target: str
    pattern: str
    beats: float | None


@dataclasses.dataclass(frozen=True)
class Tap:
    at_seconds: float  # time.monotonic() when the tap came in


@dataclasses.dataclass(frozen=True)
class Tempo:
    bpm: float


@dataclasses.dataclass(frozen=True)
class Blackout:
    on: bool


@dataclasses.dataclass(frozen=True)
class Home:
    on: bool


# The steering commands come from the page, through a Source like the port's.
Command = PatternChange | Tap | Tempo | Blackout | Home | steering.Command


class Source(Protocol):
    def pending(self) -> list[Command]:
        """The commands that came in since the last call, oldest first."""
        ...


def _shown(text: str, limit: int = 80) -> str:
    """Text from the network as it may reach a terminal: control characters escaped, length bounded."""
    shown = "".join(c if c.isprintable() else repr(c)[1:-1] for c in text[:limit])
    return shown + ("..." if len(text) > limit else "")


def _complain(address: str, problem: str) -> None:
    # Both come from whoever sent the datagram: no escape sequence or line
    # break of theirs reaches the operator's terminal.
    print(f"kinetrope live: control: {_shown(address)}: {_shown(problem, 200)}", file=sys.stderr, flush=True)


def _number(value: Any) -> float | None:
    if isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value):
        return float(value)
    return None


def _switch(address: str, args: tuple[Any, ...]) -> bool | None:
    if not args:
        return True
    value = _number(args[0]) if len(args) == 1 else None
    if value is None:
        _complain(address, "wants no argument, 0 or 1")
        return None
    return value != 0


def command_of(address: str, args: tuple[Any, ...]) -> Command | None:
    """The command a message asks for, or None (with a line on stderr) if it asks for nothing valid."""
    if address == f"{PREFIX}/pattern":
        if len(args) in (2, 3) and all(isinstance(a, str) and a for a in args[:2]):
            beats = _number(args[2]) if len(args) == 3 else None
            if len(args) == 2 or (beats is not None and 0 <= beats <= 1024):
                return PatternChange(args[0], args[1], beats)
        _complain(address, "wants TARGET PATTERN [BEATS] (BEATS from 0 to 1024)")
    elif address == f"{PREFIX}/tap":
        return Tap(time.monotonic())
    elif address == f"{PREFIX}/tempo":
        bpm = _number(args[0]) if len(args) == 1 else None
        if bpm is not None and 20 <= bpm <= 999:
            return Tempo(bpm)
        _complain(address, "wants one tempo from 20 to 999 bpm")
    elif address == f"{PREFIX}/blackout":
        on = _switch(address, args)
        return None if on is None else Blackout(on)
    elif address == f"{PREFIX}/home":
        on = _switch(address, args)
        return None if on is None else Home(on)
    else:
        _complain(address, "unknown address")
    return None


def _drain(commands: queue.SimpleQueue[Command]) -> list[Command]:
    taken = []
    while True:
        try:
            taken.append(commands.get_nowait())
        except queue.Empty:
            return taken


class ControlServer:
    """Listens for OSC on (host, port) in a thread of its own; ``pending()`` hands over what came in."""

    def __init__(self, host: str, port: int) -> None:
        self._commands: queue.SimpleQueue[Command] = queue.SimpleQueue()
        dispatcher = Dispatcher()
        dispatcher.set_default_handler(self._receive)
        self._server = ThreadingOSCUDPServer((host, port), dispatcher)
        self._server.handle_error = self._handle_error  # type: ignore[method-assign]
        self.address = self._server.server_address
        self._thread = threading.Thread(target=self._server.serve_forever, name="kinetrope-control", daemon=True)
        self._thread.start()

    def _receive(self, address: str, *args: Any) -> None:
        command = command_of(address, args)
        if command is not None:
            self._commands.put(command)

    def _handle_error(self, request: Any, client_address: Any) -> None:
        error = sys.exc_info()[1]
        _complain("?", f"dropped a message from {client_address[0]}: {type(error).__name__}: {error}")

    def pending(self) -> list[Command]:
        return _drain(self._commands)

    def close(self) -> None:
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()


class KeyTaps:
    """Taps from the space bar of the terminal the command runs in (cbreak mode while it runs)."""

    def __init__(self) -> None:
        import termios
        import tty

        self._fd = sys.stdin.fileno()
        self._saved = termios.tcgetattr(self._fd)
        tty.setcbreak(self._fd)
        self._commands: queue.SimpleQueue[Command] = queue.SimpleQueue()
        threading.Thread(target=self._read, name="kinetrope-taps", daemon=True).start()

    def _read(self) -> None:
        import os

        while True:
            key = os.read(self._fd, 1)
            if not key:
                return
            if key == b" ":
                self._commands.put(Tap(time.monotonic()))

    def pending(self) -> list[Command]:
        return _drain(self._commands)

    def close(self) -> None:
        import termios

        termios.tcsetattr(self._fd, termios.TCSADRAIN, self._saved)
