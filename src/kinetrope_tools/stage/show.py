"""The show file: outputs, fixtures and groups read from TOML and checked as a whole.

``load_show`` reads the file with ``tomllib`` and returns a ``Show`` only if
every part of it is valid; otherwise it raises ``ShowError`` listing every
fault, each naming the file, the fixture (or group, or output) and the key.
Nothing downstream has to check a value again.
"""

from __future__ import annotations

import dataclasses
import math
import os
import re
import tomllib
from collections.abc import Mapping
from typing import Any

import kinetrope

from ..patterns.library import PatternSet, UnknownPattern
from .profiles import DEFAULT_PROFILE, PROFILES, check_channels

SACN_UNIVERSES = range(1, 64000)
ARTNET_UNIVERSES = range(0, 32768)
DMX_CHANNELS = 512
_NAME = re.compile(r"[A-Za-z0-9_-]{1,64}")
_PIP_LIMIT = 2**31 - 1


class ShowError(ValueError):
    """A show file that cannot be played; ``problems`` holds one line per fault."""

    def __init__(self, problems: list[str]) -> None:
        super().__init__("\n".join(problems))
        self.problems = problems


@dataclasses.dataclass(frozen=True)
class Fixture:
    """One fixture (or point) with every setting resolved: its own, else its group's, else the default."""

    name: str
    pattern: str
    channels: tuple[str, ...]
    universe: int | None = None  # None with address: a point that only the OSC output sends
    address: int | None = None
    group: str | None = None
    invert_pan: bool = False
    invert_tilt: bool = False
    swap_pan_tilt: bool = False
    pan_range: float = 1.0
    tilt_range: float = 1.0
    size: float = 1.0
    speed: float = 1.0
    phase_pips: int = 0
    spread: float = 0.0  # the share of the pattern's period this member of a group lags by
    position: tuple[float, float] | None = None  # where it hangs, seen from above (any unit); None: not given


@dataclasses.dataclass(frozen=True)
class Show:
    path: str
    fixtures: tuple[Fixture, ...]
    groups: Mapping[str, tuple[str, ...]]
    outputs: Mapping[str, Mapping[str, Any]]
    fps: float = 44.0
    beats_per_bar: int = 4
    crossfade_beats: float = 4.0
    on_stop: str = "home"

    @property
    def universes(self) -> list[int]:
        return sorted({f.universe for f in self.fixtures if f.universe is not None})


# --- what each key may hold ------------------------------------------------------------------------------------------


def _is_number(value: Any) -> bool:
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def _is_int(value: Any) -> bool:
    return isinstance(value, int) and not isinstance(value, bool)


def _number_in(low: float, high: float, low_open: bool = False) -> Any:
    def check(value: Any) -> str | None:
        inside = _is_number(value) and (low < value if low_open else low <= value) and value <= high
        return None if inside else f"must be a number in {'(' if low_open else '['}{low:g}, {high:g}]"
    return check


def _int_in(low: int, high: int) -> Any:
    def check(value: Any) -> str | None:
        return None if _is_int(value) and low <= value <= high else f"must be a whole number in {low}..{high}"
    return check


def _flag(value: Any) -> str | None:
    return None if isinstance(value, bool) else "must be true or false"


def _text(value: Any) -> str | None:
    return None if isinstance(value, str) and value else "must be a non-empty string"


def _one_of(*choices: str) -> Any:
    def check(value: Any) -> str | None:
        return None if value in choices else f"must be one of {', '.join(repr(c) for c in choices)}"
    return check


def _profile(value: Any) -> str | None:
    if value in PROFILES:
        return None
    return f"unknown profile {value!r} (profiles: {', '.join(PROFILES)})"


def _position(value: Any) -> str | None:
    good = isinstance(value, list) and len(value) == 2 and all(_is_number(v) and abs(v) <= 1e6 for v in value)
    return None if good else "must be [x, y], two numbers from -1e6 to 1e6"


def _host(value: Any) -> str | None:
    return None if isinstance(value, str) and value and ":" not in value else "must be a host name or IPv4 address"


def _host_port(value: Any) -> str | None:
    if isinstance(value, str):
        host, _, port = value.rpartition(":")
        if host and port.isdigit() and 1 <= int(port) <= 65535:
            return None
    return "must be \"HOST:PORT\""


def _osc_prefix(value: Any) -> str | None:
    ok = isinstance(value, str) and value.startswith("/") and not value.endswith("/") and " " not in value
    return None if ok else "must be an OSC address such as \"/kinetrope\""


# Keys a fixture may set for itself and a group for its members.
_SHARED: dict[str, Any] = {
    "pattern": _text,  # checked against the patterns afterwards
    "profile": _profile,
    "channels": check_channels,
    "invert_pan": _flag,
    "invert_tilt": _flag,
    "swap_pan_tilt": _flag,
    "pan_range": _number_in(0, 1, low_open=True),
    "tilt_range": _number_in(0, 1, low_open=True),
    "size": _number_in(0, 1),
    "speed": _number_in(0, 64, low_open=True),
    "phase_pips": _int_in(-_PIP_LIMIT, _PIP_LIMIT),
}
_FIXTURE: dict[str, Any] = {
    "name": None, **_SHARED,  # names are checked with the others of their kind
    "universe": _int_in(SACN_UNIVERSES.start, SACN_UNIVERSES.stop - 1),
    "address": _int_in(1, DMX_CHANNELS),
    "position": _position,
}
# A group's position is its first member's; with position_end the members
# stand evenly from there to the last one's, else one unit apart along x.
_GROUP: dict[str, Any] = {"name": None, "fixtures": None, "spread": _number_in(0, 1), "position": _position,
                          "position_end": _position, **_SHARED}
_TOP: dict[str, Any] = {
    "fps": _number_in(0, 1000, low_open=True),
    "beats_per_bar": _int_in(1, 64),
    "crossfade_beats": _number_in(0, 1024),
    "on_stop": _one_of("home", "dark"),
    "output": None, "fixture": None, "group": None,
}
OUTPUT_KEYS: dict[str, dict[str, Any]] = {
    "sacn": {
        "destination": _host, "port": _int_in(1, 65535), "bind_address": _host, "bind_port": _int_in(0, 65535),
        "priority": _int_in(0, 200), "source_name": _text,
    },
    "artnet": {"destination": _host, "port": _int_in(1, 65535)},
    "osc": {"destination": _host_port, "prefix": _osc_prefix},
}
_REQUIRED_OUTPUT_KEYS = {"artnet": ("destination",), "osc": ("destination",)}


# --- reading -------------------------------------------------------------------------------------------------------


class _Reader:
    def __init__(self, path: str, library: kinetrope.PatternLibrary | None) -> None:
        self.path = path
        self.library = library
        self.problems: list[str] = []
        self._patterns: PatternSet | None = None

    def fault(self, where: str, key: str | None, problem: str) -> None:
        parts = [self.path, where] if where else [self.path]
        if key is not None:
            parts.append(f"key {key!r}")
        self.problems.append(": ".join(parts + [problem]))

    def table(self, where: str, table: Any, keys: Mapping[str, Any]) -> dict[str, Any]:
        """The table's keys that are known and valid; each unknown or invalid key is a fault."""
        if not isinstance(table, dict):
            self.fault(where, None, "must be a table")
            return {}
        good = {}
        for key, value in table.items():
            if key not in keys:
                self.fault(where, key, f"unknown key (known: {', '.join(sorted(keys))})")
                continue
            check = keys[key]
            problem = check(value) if check is not None else None
            if problem is None:
                good[key] = value
            else:
                self.fault(where, key, problem)
        if "pattern" in good:
            problem = self.pattern_problem(good["pattern"])
            if problem:
                self.fault(where, "pattern", problem)
                del good["pattern"]
        return good

    def pattern_problem(self, name: str) -> str | None:
        if self._patterns is None:
            self._patterns = PatternSet(self.library)
        try:
            self._patterns[name]
        except UnknownPattern as error:
            return str(error)
        return None


def _where(kind: str, table: Any, index: int) -> str:
    name = table.get("name") if isinstance(table, dict) else None
    return f"{kind} {name!r}" if isinstance(name, str) and name else f"{kind} #{index + 1}"


def _array_of_tables(reader: _Reader, document: dict[str, Any], key: str) -> list[Any]:
    value = document.get(key, [])
    if not isinstance(value, list):
        reader.fault("", key, f"must be an array of tables ([[{key}]])")
        return []
    return value


def _names(reader: _Reader, kind: str, tables: list[Any]) -> list[str | None]:
    names: list[str | None] = []
    seen: set[str] = set()
    for index, table in enumerate(tables):
        name = table.get("name") if isinstance(table, dict) else None
        where = _where(kind, table, index)
        if not isinstance(name, str) or not _NAME.fullmatch(name):
            reader.fault(where, "name", "must be 1 to 64 letters, digits, '_' or '-'")
            name = None
        elif name in seen:
            reader.fault(where, "name", f"another {kind} has this name")
            name = None
        else:
            seen.add(name)
        names.append(name)
    return names


def _channels(settings: Mapping[str, Any]) -> tuple[str, ...]:
    if "channels" in settings:
        return tuple(settings["channels"])
    return PROFILES[settings.get("profile", DEFAULT_PROFILE)]


def parse_show(text: str, path: str, library: kinetrope.PatternLibrary | None = None) -> Show:
    """The show in ``text`` (TOML); ``path`` names it in messages. Raises ShowError."""
    reader = _Reader(path, library)
    try:
        document = tomllib.loads(text)
    except tomllib.TOMLDecodeError as error:
        raise ShowError([f"{path}: not valid TOML: {error}"]) from None
    top = reader.table("", document, _TOP)

    outputs: dict[str, dict[str, Any]] = {}
    raw_outputs = document.get("output", {})
    if not isinstance(raw_outputs, dict):
        reader.fault("", "output", "must be a table of outputs ([output.sacn], [output.artnet], [output.osc])")
        raw_outputs = {}
    for kind, table in raw_outputs.items():
        if kind not in OUTPUT_KEYS:
            reader.fault("", f"output.{kind}", f"unknown output (outputs: {', '.join(OUTPUT_KEYS)})")
            continue
        settings = reader.table(f"output {kind!r}", table, OUTPUT_KEYS[kind])
        for key in _REQUIRED_OUTPUT_KEYS.get(kind, ()):
            if key not in settings and isinstance(table, dict) and key not in table:
                reader.fault(f"output {kind!r}", key, "is required")
        outputs[kind] = settings

    group_tables = _array_of_tables(reader, document, "group")
    fixture_tables = _array_of_tables(reader, document, "fixture")
    group_names = _names(reader, "group", group_tables)
    fixture_names = _names(reader, "fixture", fixture_tables)
    known_fixtures = {name for name in fixture_names if name}
    for index, (table, name) in enumerate(zip(group_tables, group_names)):
        if name in known_fixtures:  # a control message names a fixture or a group: never both
            reader.fault(_where("group", table, index), "name", "a fixture has this name")

    # Each group's own settings, and each member's place in it.
    group_settings: dict[str, dict[str, Any]] = {}
    group_raw: dict[str, dict[str, Any]] = {}
    membership: dict[str, tuple[str, int, int]] = {}  # fixture -> (group, index, size)
    groups: dict[str, tuple[str, ...]] = {}
    for index, (table, name) in enumerate(zip(group_tables, group_names)):
        where = _where("group", table, index)
        settings = reader.table(where, table, _GROUP)
        members = table.get("fixtures") if isinstance(table, dict) else None
        if not isinstance(members, list) or not members or not all(isinstance(m, str) for m in members):
            reader.fault(where, "fixtures", "must be a non-empty list of fixture names")
            continue
        if len(set(members)) != len(members):
            reader.fault(where, "fixtures", "names a fixture twice")
            continue
        for position, member in enumerate(members):
            if member not in known_fixtures:
                reader.fault(where, "fixtures", f"no fixture is named {member!r}")
            elif member in membership:
                reader.fault(where, "fixtures", f"{member!r} is already in group {membership[member][0]!r}")
            elif name is not None:
                membership[member] = (name, position, len(members))
        if name is not None:
            group_settings[name] = settings
            group_raw[name] = table
            groups[name] = tuple(members)

    fixtures: list[Fixture] = []
    for index, (table, name) in enumerate(zip(fixture_tables, fixture_names)):
        where = _where("fixture", table, index)
        own = reader.table(where, table, _FIXTURE)
        if name is None or not isinstance(table, dict):
            continue
        group, position, members = membership.get(name, (None, 0, 1))
        inherited = group_settings.get(group, {}) if group else {}
        # A fixture's own layout replaces its group's whole layout.
        if "profile" in own or "channels" in own:
            inherited = {k: v for k, v in inherited.items() if k not in ("profile", "channels")}
        settings = {**inherited, **own}
        if "profile" in own and "channels" in own:
            reader.fault(where, "channels", "give either profile or channels, not both")
        if "pattern" not in settings:
            if "pattern" not in table and not (group and "pattern" in group_raw[group]):
                reader.fault(where, "pattern", "is required (here or in the fixture's group)")
            continue  # an invalid pattern is already reported
        has_universe, has_address = "universe" in table, "address" in table
        if has_universe != has_address:
            reader.fault(where, "address" if has_universe else "universe", "is required with "
                         + ("universe" if has_universe else "address"))
            continue
        if has_universe and ("universe" not in settings or "address" not in settings):
            continue  # already reported
        spread = group_settings[group].get("spread", 0.0) if group else 0.0
        fixture = Fixture(
            name=name, group=group, channels=_channels(settings), pattern=settings["pattern"],
            universe=settings.get("universe"), address=settings.get("address"),
            invert_pan=settings.get("invert_pan", False), invert_tilt=settings.get("invert_tilt", False),
            swap_pan_tilt=settings.get("swap_pan_tilt", False),
            pan_range=float(settings.get("pan_range", 1.0)), tilt_range=float(settings.get("tilt_range", 1.0)),
            size=float(settings.get("size", 1.0)), speed=float(settings.get("speed", 1.0)),
            phase_pips=settings.get("phase_pips", 0), spread=float(spread) * position / members,
            position=_placed(own, group_settings.get(group, {}) if group else {}, position, members),
        )
        fixtures.append(fixture)
        if fixture.address is not None:
            last = fixture.address + len(fixture.channels) - 1
            if last > DMX_CHANNELS:
                reader.fault(where, "address", f"{fixture.address} with {len(fixture.channels)} channels runs past "
                             f"channel {DMX_CHANNELS} (to {last})")

    _check_overlaps(reader, fixtures)
    if "artnet" in outputs:
        for fixture in fixtures:
            if fixture.universe is not None and fixture.universe not in ARTNET_UNIVERSES:
                reader.fault(f"fixture {fixture.name!r}", "universe",
                             f"{fixture.universe} is past Art-Net's last universe ({ARTNET_UNIVERSES.stop - 1})")
    if not fixtures and not reader.problems:
        reader.fault("", "fixture", "the show has no fixtures")
    if not outputs and not reader.problems:
        reader.fault("", "output", "the show has no outputs ([output.sacn], [output.artnet] or [output.osc])")
    if reader.problems:
        raise ShowError(reader.problems)
    return Show(
        path=path, fixtures=tuple(fixtures), groups=groups, outputs=outputs,
        fps=float(top.get("fps", 44.0)), beats_per_bar=top.get("beats_per_bar", 4),
        crossfade_beats=float(top.get("crossfade_beats", 4.0)), on_stop=top.get("on_stop", "home"),
    )


def _placed(own: Mapping[str, Any], group: Mapping[str, Any], index: int, members: int) -> tuple[float, float] | None:
    """A fixture's own position, else its place in its group's row, else None."""
    if "position" in own:
        return float(own["position"][0]), float(own["position"][1])
    if "position" not in group:
        return None
    (x0, y0), (x1, y1) = group["position"], group.get("position_end", (group["position"][0] + members - 1,
                                                                        group["position"][1]))
    share = index / (members - 1) if members > 1 else 0.0
    return float(x0 + (x1 - x0) * share), float(y0 + (y1 - y0) * share)


def _check_overlaps(reader: _Reader, fixtures: list[Fixture]) -> None:
    claimed: dict[tuple[int, int], Fixture] = {}
    for fixture in fixtures:
        if fixture.universe is None or fixture.address is None:
            continue
        first, last = fixture.address, min(fixture.address + len(fixture.channels) - 1, DMX_CHANNELS)
        for channel in range(first, last + 1):
            other = claimed.get((fixture.universe, channel))
            if other is not None:
                assert other.address is not None
                reader.fault(
                    f"fixture {fixture.name!r}", "address",
                    f"channels {first}..{last} of universe {fixture.universe} overlap fixture {other.name!r} "
                    f"({other.address}..{other.address + len(other.channels) - 1})",
                )
                break
        else:
            for channel in range(first, last + 1):
                claimed[(fixture.universe, channel)] = fixture


def load_show(path: str | os.PathLike[str], library: kinetrope.PatternLibrary | None = None) -> Show:
    """Reads and checks the show file at ``path``; raises ShowError (or OSError if it cannot be read)."""
    with open(path, "rb") as file:
        data = file.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise ShowError([f"{os.fspath(path)}: not UTF-8 text: {error}"]) from None
    return parse_show(text, os.fspath(path), library)
