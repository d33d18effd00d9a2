"""What one key of a show file may hold: each check takes a value and says why it will not do, or returns None.

Every value a show hands on is checked here as what it will be used for
(an address a socket can take, an OSC address a packet can carry, a name
that fits its field), so nothing fails later, at the first frame. A
message never repeats a value that is not a string: a table nested
thousands deep must not be shown.
"""

from __future__ import annotations

import ipaddress
import math
import re
from collections.abc import Callable
from typing import Any

Check = Callable[[Any], "str | None"]

# A host name's labels (RFC 1123; '_' too, as local names have it); the last must not be all digits.
_LABEL = re.compile(r"[A-Za-z0-9_]([A-Za-z0-9_-]{0,61}[A-Za-z0-9_])?")
# One part of an OSC address: printable ASCII but for the space and the characters OSC reserves.
_OSC_PART = re.compile(r"[!-~]+")
_OSC_RESERVED = set(" #*,/?[]{}")
# sACN carries its source name in 64 bytes ending in NUL.
SACN_NAME_BYTES = 63


def is_number(value: Any) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def is_int(value: Any) -> bool:
    return isinstance(value, int) and not isinstance(value, bool)


def number_in(low: float, high: float, *, low_open: bool = False) -> Check:
    def check(value: Any) -> str | None:
        inside = is_number(value) and (low < value if low_open else low <= value) and value <= high
        return None if inside else f"must be a number in {'(' if low_open else '['}{low:g}, {high:g}]"
    return check


def int_in(low: int, high: int) -> Check:
    def check(value: Any) -> str | None:
        return None if is_int(value) and low <= value <= high else f"must be a whole number in {low}..{high}"
    return check


def position(value: Any) -> str | None:
    good = isinstance(value, list) and len(value) == 2 and all(is_number(v) and abs(v) <= 1e6 for v in value)
    return None if good else "must be [x, y], two numbers from -1e6 to 1e6"


def flag(value: Any) -> str | None:
    return None if isinstance(value, bool) else "must be true or false"


def text(value: Any) -> str | None:
    return None if isinstance(value, str) and value else "must be a non-empty string"


def one_of(*choices: str) -> Check:
    def check(value: Any) -> str | None:
        return None if value in choices else f"must be one of {', '.join(repr(c) for c in choices)}"
    return check


def _host_problem(host: str) -> str | None:
    labels = host.removesuffix(".").split(".")
    if labels[-1].isdigit() or all(label.isdigit() for label in labels):
        try:
            ipaddress.IPv4Address(host)
        except ValueError:
            return f"{host!r} is not an IPv4 address (four numbers 0..255, such as \"192.168.1.50\")"
        return None
    if len(host) > 253 or not all(_LABEL.fullmatch(label) for label in labels):
        return f"{host!r} is neither a host name nor an IPv4 address"
    return None


def host(value: Any) -> str | None:
    """A host name or an IPv4 address (a name is resolved where the output opens)."""
    if not isinstance(value, str) or not value:
        return "must be a host name or IPv4 address"
    return _host_problem(value)


def ipv4(value: Any) -> str | None:
    """An IPv4 address of this machine's to bind to, as numbers (a socket binds to no name)."""
    if isinstance(value, str):
        try:
            ipaddress.IPv4Address(value)
        except ValueError:
            return f"must be an IPv4 address such as \"0.0.0.0\" ({value!r} is not one)"
        return None
    return "must be an IPv4 address such as \"0.0.0.0\""


def host_port(value: Any) -> str | None:
    if isinstance(value, str):
        name, _, port = value.rpartition(":")
        if name and port.isdigit() and 1 <= int(port) <= 65535:
            problem = _host_problem(name)
            return None if problem is None else f"must be \"HOST:PORT\": {problem}"
    return "must be \"HOST:PORT\""


def osc_prefix(value: Any) -> str | None:
    if isinstance(value, str) and value.startswith("/"):
        parts = value[1:].split("/")
        if all(_OSC_PART.fullmatch(part) and not _OSC_RESERVED & set(part) for part in parts):
            return None
    return ("must be an OSC address such as \"/kinetrope\": parts after '/' of printable ASCII, "
            "without spaces or any of #*,?[]{}")


def sacn_name(value: Any) -> str | None:
    if isinstance(value, str) and value and "\0" not in value:
        size = len(value.encode("utf-8", "surrogatepass"))
        if size <= SACN_NAME_BYTES:
            return None
        return f"must be at most {SACN_NAME_BYTES} bytes of UTF-8 (this is {size})"
    return f"must be a non-empty string of at most {SACN_NAME_BYTES} bytes of UTF-8, without NUL"
