"""What a page may send, checked whole: each message is one JSON object of a known kind with exactly its keys.

``command_of`` turns a valid control message into the command the frame
loop applies (the same commands as the OSC port's where there is one);
anything else raises ``Refused`` with a message for the page. No message
names a file: patterns are names in the show's catalogue, targets are the
show's fixtures and groups.
"""

from __future__ import annotations

import json
import math
import time
from collections.abc import Callable, Container
from typing import Any

from ...base.errors import KinetropeError
from .. import control, steering

MAX_MESSAGE_BYTES = 4096
MAX_SEARCH_CHARS = 64
TEMPO_STEP = 100.0  # the largest step a message may take the tempo by


class Refused(KinetropeError, ValueError):
    """A message the page sent that asks for nothing valid."""


def _number(value: Any, low: float, high: float, what: str) -> float:
    number = isinstance(value, (int, float)) and not isinstance(value, bool)
    if number and math.isfinite(value) and low <= value <= high:
        return float(value)
    raise Refused(f"{what} must be a number from {low:g} to {high:g}")


def _flag(value: Any, what: str) -> bool:
    if isinstance(value, bool):
        return value
    raise Refused(f"{what} must be true or false")


def _name(value: Any, known: Container[str], what: str) -> str:
    if isinstance(value, str) and len(value) <= 256 and value in known:
        return value
    raise Refused(f"no {what} is named {_shown(value)}")


def _shown(value: Any) -> str:
    text = json.dumps(value)
    return text if len(text) <= 40 else text[:37] + "..."


# kind -> the keys it takes besides "type"
KINDS: dict[str, tuple[str, ...]] = {
    "cue": ("target", "pattern", "beats", "now"),
    "tap": (),
    "tempo": ("by",),
    "resync": (),
    "speed": ("target", "factor"),
    "size": ("target", "factor"),
    "blackout": ("on",),
    "home": ("on",),
    "freeze": ("on",),
    "search": ("text",),
    "path": ("pattern",),
}


def parse(text: str) -> dict[str, Any]:
    """The message as a dict with a known ``type`` and exactly that kind's keys; Refused otherwise."""
    if len(text) > MAX_MESSAGE_BYTES:
        raise Refused(f"a message is at most {MAX_MESSAGE_BYTES} bytes")
    try:
        message = json.loads(text)
    except (ValueError, RecursionError):
        raise Refused("a message must be JSON") from None
    if not isinstance(message, dict) or message.get("type") not in KINDS:
        raise Refused(f"a message must be an object whose type is one of {', '.join(KINDS)}")
    wanted = {"type", *KINDS[message["type"]]}
    if set(message) != wanted:
        raise Refused(f"{message['type']} takes {', '.join(sorted(wanted - {'type'})) or 'no other key'}")
    return message


def command_of(message: dict[str, Any], *, targets: Container[str], patterns: Container[str],
               clock: Callable[[], float] = time.monotonic) -> control.Command:
    """The command a parsed control message asks for (not search or path); Refused if it asks for nothing valid."""
    kind = message["type"]
    if kind == "cue":
        return steering.Cue(_name(message["target"], targets, "fixture or group"),
                            _name(message["pattern"], patterns, "pattern"),
                            _number(message["beats"], 0, steering.MAX_FADE_BEATS, "a fade in beats"),
                            _flag(message["now"], "now"))
    if kind == "tap":
        return control.Tap(clock())
    if kind == "tempo":
        return steering.TempoStep(_number(message["by"], -TEMPO_STEP, TEMPO_STEP, "a tempo step"))
    if kind == "resync":
        return steering.Resync(clock())
    if kind in ("speed", "size"):
        bounds = steering.SPEED_FACTORS if kind == "speed" else steering.SIZE_FACTORS
        target = _name(message["target"], targets, "fixture or group")
        factor = _number(message["factor"], *bounds, f"a {kind}")
        return steering.Speed(target, factor) if kind == "speed" else steering.Size(target, factor)
    if kind == "blackout":
        return control.Blackout(_flag(message["on"], "on"))
    if kind == "home":
        return control.Home(_flag(message["on"], "on"))
    if kind == "freeze":
        return steering.Freeze(_flag(message["on"], "on"))
    raise Refused(f"{kind} is not a control")
