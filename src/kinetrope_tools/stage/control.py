"""Control while the show runs: OSC messages in, commands out to the frame loop.

A reader thread takes each datagram off the socket, parses it with
python-osc's parser and routes each message by its address (a
``Dispatcher`` map) to the handler that makes it a command; the frame loop
takes the queued commands between frames, so the rig is only ever touched
by the loop. A bundle's timetag is not waited for: a command applies in the
first frame after it came in, the frame loop owning the timing. The queue
is bounded: a flood loses its newest messages, never the loop's time. A
message that does not fit is reported (through ``Reports``) and dropped;
nothing a sender does stops the show.

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
import os
import queue
import socket
import sys
import threading
import time
from collections.abc import Callable
from typing import Any, Protocol

from pythonosc.dispatcher import Dispatcher
from pythonosc.osc_packet import OscPacket, ParseError

from ..base.errors import KinetropeError
from ..clocks.tempo import BPM_MAX, BPM_MIN
from .reports import Reports

from . import steering

PREFIX = "/kinetrope"
# Commands waiting for the frame loop: far more than a frame's worth of any
# hand on a controller, and a bound on what a flood can hold.
QUEUE_LIMIT = 1024
# How long the reader waits on the socket before it looks whether it is closed.
_POLL_SECONDS = 0.1
_BUNDLE = b"#bundle\x00"
_BUNDLE_HEADER = 16  # the tag and the timetag
# Deeper nesting than any controller sends is refused before python-osc recurses into it.
_DEEPEST_BUNDLE = 8


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


def shown(text: str, limit: int = 80) -> str:
    """Text from the network as it may reach a terminal: control characters escaped, length bounded."""
    cut = "".join(c if c.isprintable() else repr(c)[1:-1] for c in text[:limit])
    return cut + ("..." if len(text) > limit else "")


def _number(value: Any) -> float | None:
    if isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value):
        return float(value)
    return None


class ControlError(KinetropeError, OSError):
    """A control port that cannot be listened on; the message names the address."""


class Refused(ValueError):
    """A message whose arguments ask for nothing valid; the text says what the address wants."""


def _switch(args: tuple[Any, ...]) -> bool:
    if not args:
        return True
    value = _number(args[0]) if len(args) == 1 else None
    if value is None:
        raise Refused("wants no argument, 0 or 1")
    return value != 0


def _pattern(args: tuple[Any, ...]) -> Command:
    if len(args) in (2, 3) and all(isinstance(a, str) and a for a in args[:2]):
        beats = _number(args[2]) if len(args) == 3 else None
        if len(args) == 2 or (beats is not None and 0 <= beats <= 1024):
            return PatternChange(args[0], args[1], beats)
    raise Refused("wants TARGET PATTERN [BEATS] (BEATS from 0 to 1024)")


def _tempo(args: tuple[Any, ...]) -> Command:
    bpm = _number(args[0]) if len(args) == 1 else None
    if bpm is not None and BPM_MIN <= bpm <= BPM_MAX:
        return Tempo(bpm)
    raise Refused(f"wants one tempo from {BPM_MIN:g} to {BPM_MAX:g} bpm")


# The address under PREFIX -> the command its arguments make (Refused if they make none).
MAKERS: dict[str, Callable[[tuple[Any, ...]], Command]] = {
    "pattern": _pattern,
    "tap": lambda args: Tap(time.monotonic()),
    "tempo": _tempo,
    "blackout": lambda args: Blackout(_switch(args)),
    "home": lambda args: Home(_switch(args)),
    "resync": lambda args: steering.Resync(time.monotonic()),
}


class Interpreter:
    """Routes each message by its address to the maker of its command; what fits goes to ``deliver``."""

    def __init__(self, deliver: Callable[[Command], None], reports: Reports) -> None:
        self._deliver = deliver
        self._reports = reports
        self.dispatcher = Dispatcher()
        for name, maker in MAKERS.items():
            self.dispatcher.map(f"{PREFIX}/{name}", self._handler(maker))
        self.dispatcher.set_default_handler(self._unknown)

    def _handler(self, maker: Callable[[tuple[Any, ...]], Command]) -> Callable[..., None]:
        def handle(address: str, *args: Any) -> None:
            try:
                command = maker(args)
            except Refused as refused:
                self.complain(address, str(refused), kind=f"control: {address}")
                return
            self._deliver(command)
        return handle

    def _unknown(self, address: str, *args: Any) -> None:
        self.complain(address, "unknown address", kind="control: unknown address")

    def complain(self, address: str, problem: str, *, kind: str) -> None:
        # Both come from whoever sent the datagram: no escape sequence or line
        # break of theirs reaches the operator's terminal.
        self._reports.say(f"control: {shown(address)}: {shown(problem, 200)}", kind=shown(kind))

    def message(self, address: str, args: tuple[Any, ...]) -> None:
        """Handles one message as if it had come in over the network."""
        for handler in self.dispatcher.handlers_for_address(address):
            handler.callback(address, *args)

    def datagram(self, data: bytes, sender: str) -> None:
        """Handles every message of one datagram (a message or a bundle, its timetags not waited for)."""
        try:
            fault = bundle_fault(data)
            if fault is not None:
                raise ParseError(fault)
            packet = OscPacket(data)
        except (ParseError, UnicodeDecodeError, ValueError, IndexError) as error:
            self.complain("?", f"dropped a datagram from {sender} that is not OSC: {error}",
                          kind="control: not OSC")
            return
        for timed in packet.messages:
            self.message(timed.message.address, tuple(timed.message.params))


def bundle_fault(data: bytes, depth: int = 0) -> str | None:
    """What is wrong with the bundle ``data``, or None if it is sound (or not a bundle at all).

    python-osc's bundle reader steps through the elements by their stated sizes: a negative size
    steps it back to where it was, for ever, and an element that is neither a message nor a bundle
    is only logged and skipped. So each size must fit in what is left and each element must be one
    or the other, before the datagram reaches that reader."""
    if not data.startswith(_BUNDLE):
        return None
    if depth >= _DEEPEST_BUNDLE:
        return f"bundles nested more than {_DEEPEST_BUNDLE} deep"
    index = _BUNDLE_HEADER
    while index < len(data):
        if index + 4 > len(data):
            return "a bundle element's size is cut off"
        size = int.from_bytes(data[index : index + 4], "big", signed=True)
        index += 4
        if not 0 < size <= len(data) - index:
            return f"a bundle element of {size} bytes where {len(data) - index} are left"
        element = data[index : index + size]
        index += size
        if element.startswith(_BUNDLE):
            fault = bundle_fault(element, depth + 1)
            if fault is not None:
                return fault
        elif not element.startswith(b"/"):
            return "a bundle element that is neither a message nor a bundle"
    return None


def command_of(address: str, args: tuple[Any, ...], reports: Reports | None = None) -> Command | None:
    """The command a message asks for, or None (reported) if it asks for nothing valid."""
    made: list[Command] = []
    Interpreter(made.append, reports if reports is not None else Reports()).message(address, args)
    return made[-1] if made else None


def _drain(commands: queue.Queue[Command]) -> list[Command]:
    taken = []
    while True:
        try:
            taken.append(commands.get_nowait())
        except queue.Empty:
            return taken


class ControlServer:
    """Listens for OSC on (host, port) in a reader thread of its own; ``pending()`` hands over what came in."""

    def __init__(self, host: str, port: int, *, reports: Reports | None = None) -> None:
        self._reports = reports if reports is not None else Reports()
        self._commands: queue.Queue[Command] = queue.Queue(QUEUE_LIMIT)
        self._interpreter = Interpreter(self._deliver, self._reports)
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            self._socket.bind((host, port))
        except (OSError, UnicodeError) as error:
            self._socket.close()
            reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error)
            raise ControlError(f"control port {host}:{port}: cannot listen there ({reason})") from None
        self._socket.settimeout(_POLL_SECONDS)
        self.address = self._socket.getsockname()
        self._closed = threading.Event()
        self._thread = threading.Thread(target=self._read, name="kinetrope-control", daemon=True)
        self._thread.start()

    def _deliver(self, command: Command) -> None:
        try:
            self._commands.put_nowait(command)
        except queue.Full:
            self._reports.say("control: the show is behind on control messages: dropped one",
                              kind="control: dropped")

    def _read(self) -> None:
        while not self._closed.is_set():
            try:
                data, sender = self._socket.recvfrom(65536)
            except TimeoutError:
                continue
            except OSError:
                if self._closed.is_set():
                    return
                continue  # an ICMP error from an earlier reply, or the like: the socket still works
            try:
                self._interpreter.datagram(data, sender[0])
            except Exception as error:  # nothing a sender does may end the reader
                self._interpreter.complain("?", f"{type(error).__name__}: {error}", kind="control: unexpected")

    def pending(self) -> list[Command]:
        return _drain(self._commands)

    def close(self) -> None:
        self._closed.set()
        self._thread.join()
        self._socket.close()


class KeyTaps:
    """Taps from the space bar of the terminal the command runs in (cbreak mode while it runs).

    A terminal that goes away ends the tapping, quietly: the show goes on.
    """

    def __init__(self) -> None:
        import termios
        import tty

        self._fd = sys.stdin.fileno()
        self._saved = termios.tcgetattr(self._fd)
        tty.setcbreak(self._fd)
        self._commands: queue.Queue[Command] = queue.Queue(QUEUE_LIMIT)
        threading.Thread(target=self._read, name="kinetrope-taps", daemon=True).start()

    def _read(self) -> None:
        while True:
            try:
                key = os.read(self._fd, 1)
            except OSError:
                return
            if not key:
                return
            if key == b" ":
                try:
                    self._commands.put_nowait(Tap(time.monotonic()))
                except queue.Full:
                    pass  # a key held down while the loop is behind: the taps already queued say enough

    def pending(self) -> list[Command]:
        return _drain(self._commands)

    def close(self) -> None:
        import termios

        try:
            termios.tcsetattr(self._fd, termios.TCSADRAIN, self._saved)
        except (OSError, termios.error):
            pass  # the terminal is gone: nothing to restore
