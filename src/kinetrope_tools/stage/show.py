"""The show file: outputs, profiles, fixtures and groups read from TOML and checked as a whole.

``load_show`` reads the file (a regular file of at most MAX_SHOW_BYTES, as
UTF-8 with or without a byte-order mark) and ``parse_show`` checks it,
section by section. A ``Show`` comes back only if every part of it is valid;
otherwise ``ShowError`` lists every fault, each naming the file, the fixture
(or group, profile or output) and the key. Nothing downstream has to check a
value again.
"""

from __future__ import annotations

import dataclasses
import os
import re
import sys
import tomllib
from collections.abc import Mapping
from typing import Any

import kinetrope

from ..base.close_names import CloseNames
from ..base.errors import KinetropeError
from ..base.files import read_guarded
from ..patterns.library import PatternSet, UnknownPattern
from . import values
from .profiles import DEFAULT_PROFILE, PROFILES, check_channels, check_fixed, strangers, unset

SACN_UNIVERSES = range(1, 64000)
ARTNET_UNIVERSES = range(0, 32768)
DMX_CHANNELS = 512
# One range of frame rates, for the show file and the command line alike.
FPS_MIN = 1.0
FPS_MAX = 1000.0
# Far more than a show of 100,000 fixtures takes.
MAX_SHOW_BYTES = 16 * 2**20
# A message shows this many faults and counts the rest.
SHOWN_PROBLEMS = 20
_NAME = re.compile(r"[A-Za-z0-9_-]{1,64}")
_PIP_LIMIT = 2**31 - 1


class ShowError(KinetropeError, ValueError):
    """A show file that cannot be played; ``problems`` holds one line per fault, the message the first few."""

    def __init__(self, problems: list[str], *, path: str | None = None) -> None:
        lines = problems[:SHOWN_PROBLEMS]
        if len(problems) > SHOWN_PROBLEMS:
            where = f"{path}: " if path else ""
            lines.append(f"{where}... and {len(problems) - SHOWN_PROBLEMS:,} more faults ({len(problems):,} in all)")
        super().__init__("\n".join(lines))
        self.problems = problems


@dataclasses.dataclass(frozen=True)
class Fixture:
    """One fixture (or point) with every setting resolved: its own, else its group's, else the default."""

    name: str
    pattern: str
    channels: tuple[str, ...]  # channel names in DMX order from the address
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
    fixed: tuple[tuple[str, int], ...] = ()  # (channel, value) for each channel held at a value, in DMX order
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


# --- the keys of each section ----------------------------------------------------------------------------------------

# Keys a fixture may set for itself and a group for its members ("profile" is checked against the show's profiles).
_SHARED: dict[str, Any] = {
    "pattern": values.text,  # checked against the patterns afterwards
    "profile": None,
    "channels": check_channels,
    "fixed": check_fixed,
    "invert_pan": values.flag,
    "invert_tilt": values.flag,
    "swap_pan_tilt": values.flag,
    "pan_range": values.number_in(0, 1, low_open=True),
    "tilt_range": values.number_in(0, 1, low_open=True),
    "size": values.number_in(0, 1),
    "speed": values.number_in(0, 64, low_open=True),
    "phase_pips": values.int_in(-_PIP_LIMIT, _PIP_LIMIT),
}
_FIXTURE: dict[str, Any] = {
    "name": None, **_SHARED,  # names are checked with the others of their kind
    "universe": values.int_in(SACN_UNIVERSES.start, SACN_UNIVERSES.stop - 1),
    "address": values.int_in(1, DMX_CHANNELS),
    "position": values.position,
}
# A group's position is its first member's; with position_end the members
# stand evenly from there to the last one's, else one unit apart along x.
_GROUP: dict[str, Any] = {"name": None, "fixtures": None, "spread": values.number_in(0, 1),
                          "position": values.position, "position_end": values.position, **_SHARED}
_PROFILE: dict[str, Any] = {"channels": check_channels, "fixed": check_fixed}
_TOP: dict[str, Any] = {
    "fps": values.number_in(FPS_MIN, FPS_MAX),
    "beats_per_bar": values.int_in(1, 64),
    "crossfade_beats": values.number_in(0, 1024),
    "on_stop": values.one_of("home", "dark"),
    "output": None, "profile": None, "fixture": None, "group": None,
}
OUTPUT_KEYS: dict[str, dict[str, Any]] = {
    "sacn": {
        "destination": values.host, "port": values.int_in(1, 65535), "bind_address": values.ipv4,
        "bind_port": values.int_in(0, 65535), "priority": values.int_in(0, 200), "source_name": values.sacn_name,
    },
    "artnet": {"destination": values.host, "port": values.int_in(1, 65535)},
    "osc": {"destination": values.host_port, "prefix": values.osc_prefix},
}
_REQUIRED_OUTPUT_KEYS = {"artnet": ("destination",), "osc": ("destination",)}
_DMX_OUTPUTS = ("sacn", "artnet")
_SHAPING = ("pattern", "profile", "channels", "fixed", "universe", "address")


# --- the reader: faults, and tables checked key by key --------------------------------------------------------------


class _Reader:
    def __init__(self, path: str, library: kinetrope.PatternLibrary | None) -> None:
        self.path = path
        self.library = library
        self.problems: list[str] = []
        self._said: set[str] = set()  # a group's fault found through each member is said once
        self._patterns: PatternSet | None = None
        self._keys: dict[tuple[str, ...], CloseNames] = {}

    def fault(self, where: str, key: str | None, problem: str) -> None:
        parts = [self.path, where] if where else [self.path]
        if key is not None:
            parts.append(f"key {key!r}")
        line = ": ".join(parts + [problem])
        if line not in self._said:
            self._said.add(line)
            self.problems.append(line)

    def unknown_key(self, key: str, keys: Mapping[str, Any]) -> str:
        known = tuple(sorted(keys))
        index = self._keys.get(known) or self._keys.setdefault(known, CloseNames(known))
        close = index.nearest(key, n=1)
        return f"unknown key; did you mean {close[0]}?" if close else f"unknown key (known: {', '.join(index.names)})"

    def table(self, where: str, table: Any, keys: Mapping[str, Any]) -> dict[str, Any]:
        """The table's keys that are known and valid; each unknown or invalid key is a fault."""
        if not isinstance(table, dict):
            self.fault(where, None, "must be a table")
            return {}
        good = {}
        for key, value in table.items():
            if key not in keys:
                self.fault(where, key, self.unknown_key(key, keys))
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


@dataclasses.dataclass(frozen=True)
class _Entry:
    """A [[fixture]] or [[group]] table, where messages place it, and its name if that is valid and unique."""

    where: str
    table: Any
    name: str | None


@dataclasses.dataclass(frozen=True)
class _Layout:
    channels: tuple[str, ...]
    fixed: Mapping[str, int]


@dataclasses.dataclass
class _Groups:
    settings: dict[str, dict[str, Any]] = dataclasses.field(default_factory=dict)
    raw: dict[str, Any] = dataclasses.field(default_factory=dict)
    where: dict[str, str] = dataclasses.field(default_factory=dict)
    members: dict[str, tuple[str, ...]] = dataclasses.field(default_factory=dict)
    place: dict[str, tuple[str, int, int]] = dataclasses.field(default_factory=dict)  # fixture -> (group, index, size)


# --- the sections, each checked on its own ---------------------------------------------------------------------------


def _document(text: str, path: str) -> dict[str, Any]:
    try:
        return tomllib.loads(text.removeprefix("\ufeff"))
    except tomllib.TOMLDecodeError as error:
        raise ShowError([f"{path}: not valid TOML: {error}"]) from None
    except RecursionError:
        raise ShowError([f"{path}: not valid TOML: nested too deeply"]) from None
    except ValueError:  # a whole number past Python's digit limit
        raise ShowError([f"{path}: not valid TOML: a number of more than {sys.get_int_max_str_digits()} digits"]) \
            from None


def _outputs(reader: _Reader, document: dict[str, Any]) -> dict[str, dict[str, Any]]:
    raw = document.get("output", {})
    if not isinstance(raw, dict):
        reader.fault("", "output", "must be a table of outputs ([output.sacn], [output.artnet], [output.osc])")
        return {}
    outputs: dict[str, dict[str, Any]] = {}
    for kind, table in raw.items():
        if kind not in OUTPUT_KEYS:
            close = CloseNames(OUTPUT_KEYS).nearest(kind, n=1)
            hint = f"did you mean {close[0]}?" if close else f"outputs: {', '.join(OUTPUT_KEYS)}"
            reader.fault("", f"output.{kind}", f"unknown output ({hint})")
            continue
        settings = reader.table(f"output {kind!r}", table, OUTPUT_KEYS[kind])
        for key in _REQUIRED_OUTPUT_KEYS.get(kind, ()):
            if isinstance(table, dict) and key not in table:
                reader.fault(f"output {kind!r}", key, "is required")
        outputs[kind] = settings
    return outputs


def _profiles(reader: _Reader, document: dict[str, Any]) -> dict[str, _Layout | None]:
    """The built-in profiles and the show's own ([profile.NAME] with channels and fixed values).

    A profile of the show's with a fault maps to None: the fault is said
    here, not again for each fixture that uses it.
    """
    profiles: dict[str, _Layout | None] = {name: _Layout(channels, {}) for name, channels in PROFILES.items()}
    raw = document.get("profile", {})
    if not isinstance(raw, dict):
        reader.fault("", "profile", "must be a table of profiles ([profile.NAME])")
        return profiles
    for name, table in raw.items():
        where = f"profile {name!r}"
        if not _NAME.fullmatch(name):
            reader.fault(where, None, "a profile's name must be 1 to 64 letters, digits, '_' or '-'")
            continue
        if name in PROFILES:
            reader.fault(where, None, "a built-in profile has this name")
            continue
        settings = reader.table(where, table, _PROFILE)
        profiles[name] = None
        if isinstance(table, dict) and "channels" not in table:
            reader.fault(where, "channels", "is required")
        if "channels" not in settings or len(settings) < len(table):
            continue  # said
        layout = _Layout(tuple(settings["channels"]), settings.get("fixed", {}))
        problem = strangers(layout.fixed, layout.channels)
        if problem:
            reader.fault(where, "fixed", problem)
        else:
            profiles[name] = layout
    return profiles


def _profile_check(profiles: Mapping[str, _Layout | None]) -> Any:
    index = CloseNames(profiles)

    def check(value: Any) -> str | None:
        if not isinstance(value, str):
            return "must be the name of a profile"
        if value in profiles:
            return None
        close = index.nearest(value, n=1)
        return f"unknown profile {value!r}" + (f"; did you mean {close[0]}?" if close
                                               else f" (profiles: {', '.join(profiles)})")
    return check


def _entries(reader: _Reader, document: dict[str, Any], kind: str) -> list[_Entry]:
    """The [[kind]] tables, each with its name checked against the others of its kind."""
    tables = document.get(kind, [])
    if not isinstance(tables, list):
        reader.fault("", kind, f"must be an array of tables ([[{kind}]])")
        return []
    entries = []
    seen: set[str] = set()
    for index, table in enumerate(tables):
        name = table.get("name") if isinstance(table, dict) else None
        where = f"{kind} {name!r}" if isinstance(name, str) and name else f"{kind} #{index + 1}"
        if not isinstance(name, str) or not _NAME.fullmatch(name):
            reader.fault(where, "name", "must be 1 to 64 letters, digits, '_' or '-'")
            name = None
        elif name in seen:
            reader.fault(where, "name", f"another {kind} has this name")
            name = None
        else:
            seen.add(name)
        entries.append(_Entry(where, table, name))
    return entries


def _groups(reader: _Reader, entries: list[_Entry], fixtures: set[str], keys: Mapping[str, Any]) -> _Groups:
    """Each group's own settings, and each member's place in it."""
    groups = _Groups()
    for entry in entries:
        if entry.name in fixtures:  # a control message names a fixture or a group: never both
            reader.fault(entry.where, "name", "a fixture has this name")
        settings = reader.table(entry.where, entry.table, keys)
        if "profile" in settings and "channels" in settings:
            reader.fault(entry.where, "channels", "give either profile or channels, not both")
        members = entry.table.get("fixtures") if isinstance(entry.table, dict) else None
        if not isinstance(members, list) or not members or not all(isinstance(m, str) for m in members):
            reader.fault(entry.where, "fixtures", "must be a non-empty list of fixture names")
            continue
        if len(set(members)) != len(members):
            reader.fault(entry.where, "fixtures", "names a fixture twice")
            continue
        for position, member in enumerate(members):
            if member not in fixtures:
                reader.fault(entry.where, "fixtures", f"no fixture is named {member!r}")
            elif member in groups.place:
                reader.fault(entry.where, "fixtures", f"{member!r} is already in group {groups.place[member][0]!r}")
            elif entry.name is not None:
                groups.place[member] = (entry.name, position, len(members))
        if entry.name is not None:
            groups.settings[entry.name] = settings
            groups.raw[entry.name] = entry.table
            groups.where[entry.name] = entry.where
            groups.members[entry.name] = tuple(members)
    return groups


def _layout(reader: _Reader, entry: _Entry, own: dict[str, Any], group: str | None, groups: _Groups,
            profiles: Mapping[str, _Layout | None]) -> _Layout | None:
    """The fixture's channels and fixed values: its own layout, else its group's, else the default profile.

    A layout of its own (profile or channels) replaces the group's, fixed
    values included; fixed values add to the profile's and override them.
    None if there is a fault (said here, or already where it lies).
    """
    if "profile" in own and "channels" in own:
        reader.fault(entry.where, "channels", "give either profile or channels, not both")
    inherited = groups.settings.get(group, {}) if group else {}
    source = own if any(key in own for key in ("profile", "channels")) else inherited
    base = _base(source, profiles)
    if base is None:
        return None
    extra = {} if source is own else inherited.get("fixed", {})
    problem = strangers(extra, base.channels)
    if problem and group is not None:
        reader.fault(groups.where[group], "fixed", problem)
        return None
    mine = own.get("fixed", {})
    problem = strangers(mine, base.channels)
    if problem:
        reader.fault(entry.where, "fixed", problem)
        return None
    fixed = {**base.fixed, **extra, **mine}
    problem = unset(base.channels, fixed)
    if problem:
        reader.fault(entry.where, "channels", problem)
        return None
    return _Layout(base.channels, fixed)


def _base(settings: Mapping[str, Any], profiles: Mapping[str, _Layout | None]) -> _Layout | None:
    if "channels" in settings:
        return _Layout(tuple(settings["channels"]), {})
    return profiles[settings.get("profile", DEFAULT_PROFILE)]


def _misshapen(table: dict[str, Any], valid: Mapping[str, Any]) -> bool:
    """Whether a key that shapes a fixture (its pattern, channels or place) was given but is not valid."""
    return any(key in table and key not in valid for key in _SHAPING)


def _fixture(reader: _Reader, entry: _Entry, keys: Mapping[str, Any], groups: _Groups,
             profiles: Mapping[str, _Layout | None]) -> Fixture | None:
    """The fixture with its group's settings under its own, or None if it has a fault."""
    own = reader.table(entry.where, entry.table, keys)
    if entry.name is None or not isinstance(entry.table, dict) or _misshapen(entry.table, own):
        return None  # its faults are said; a fixture built without those keys would only add false ones
    group, position, size = groups.place.get(entry.name, (None, 0, 1))
    inherited = groups.settings.get(group, {}) if group else {}
    if group and _misshapen(groups.raw[group], inherited):
        return None  # likewise for its group
    settings = {**inherited, **own}
    if "pattern" not in settings:
        reader.fault(entry.where, "pattern", "is required (here or in the fixture's group)")
        return None
    if ("universe" in own) != ("address" in own):
        missing, given = ("address", "universe") if "universe" in own else ("universe", "address")
        reader.fault(entry.where, missing, f"is required with {given}")
        return None
    layout = _layout(reader, entry, own, group, groups, profiles)
    if layout is None:
        return None
    spread = inherited.get("spread", 0.0)
    return Fixture(
        name=entry.name, group=group, channels=layout.channels, pattern=settings["pattern"],
        universe=own.get("universe"), address=own.get("address"),
        invert_pan=settings.get("invert_pan", False), invert_tilt=settings.get("invert_tilt", False),
        swap_pan_tilt=settings.get("swap_pan_tilt", False),
        pan_range=float(settings.get("pan_range", 1.0)), tilt_range=float(settings.get("tilt_range", 1.0)),
        size=float(settings.get("size", 1.0)), speed=float(settings.get("speed", 1.0)),
        phase_pips=settings.get("phase_pips", 0), spread=float(spread) * position / size,
        fixed=tuple((name, layout.fixed[name]) for name in layout.channels if name in layout.fixed),
        position=_placed(own, groups.settings.get(group, {}) if group else {}, position, size),
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


def _check_addresses(reader: _Reader, fixtures: list[Fixture]) -> None:
    """Each fixture's channels within the universe, and no channel claimed by two fixtures."""
    claimed: dict[tuple[int, int], Fixture] = {}
    for fixture in fixtures:
        if fixture.universe is None or fixture.address is None:
            continue
        first, last = fixture.address, fixture.address + len(fixture.channels) - 1
        where = f"fixture {fixture.name!r}"
        if last > DMX_CHANNELS:
            reader.fault(where, "address", f"{first} with {len(fixture.channels)} channels runs past "
                         f"channel {DMX_CHANNELS} (to {last})")
            last = DMX_CHANNELS
        for channel in range(first, last + 1):
            other = claimed.get((fixture.universe, channel))
            if other is not None:
                assert other.address is not None
                reader.fault(
                    where, "address",
                    f"channels {first}..{last} of universe {fixture.universe} overlap fixture {other.name!r} "
                    f"({other.address}..{other.address + len(other.channels) - 1})",
                )
                break
        else:
            for channel in range(first, last + 1):
                claimed[(fixture.universe, channel)] = fixture


def _check_outputs(reader: _Reader, outputs: Mapping[str, Any], fixtures: list[Fixture]) -> None:
    """Every output has something to send, Art-Net reaches every universe, and there are fixtures and outputs."""
    on_dmx = [f for f in fixtures if f.universe is not None]
    for kind in _DMX_OUTPUTS:
        if kind in outputs and fixtures and not on_dmx:
            reader.fault(f"output {kind!r}", None, "would send nothing: no fixture has a universe and an address")
    if "artnet" in outputs:
        for fixture in on_dmx:
            if fixture.universe not in ARTNET_UNIVERSES:
                reader.fault(f"fixture {fixture.name!r}", "universe",
                             f"{fixture.universe} is past Art-Net's last universe ({ARTNET_UNIVERSES.stop - 1})")
    if not fixtures and not reader.problems:
        reader.fault("", "fixture", "the show has no fixtures")
    if not outputs and not reader.problems:
        reader.fault("", "output", "the show has no outputs ([output.sacn], [output.artnet] or [output.osc])")


# --- the whole show ----------------------------------------------------------------------------------------------


def parse_show(text: str, path: str, library: kinetrope.PatternLibrary | None = None) -> Show:
    """The show in ``text`` (TOML); ``path`` names it in messages. Raises ShowError listing every fault."""
    document = _document(text, path)
    reader = _Reader(path, library)
    top = reader.table("", document, _TOP)
    outputs = _outputs(reader, document)
    profiles = _profiles(reader, document)
    shared = {"profile": _profile_check(profiles)}
    group_entries = _entries(reader, document, "group")
    fixture_entries = _entries(reader, document, "fixture")
    fixture_names = {entry.name for entry in fixture_entries if entry.name}
    groups = _groups(reader, group_entries, fixture_names, {**_GROUP, **shared})
    fixture_keys = {**_FIXTURE, **shared}
    fixtures = [fixture for entry in fixture_entries
                if (fixture := _fixture(reader, entry, fixture_keys, groups, profiles)) is not None]
    _check_addresses(reader, fixtures)
    _check_outputs(reader, outputs, fixtures)
    if reader.problems:
        raise ShowError(reader.problems, path=path)
    return Show(
        path=path, fixtures=tuple(fixtures), groups=groups.members, outputs=outputs,
        fps=float(top.get("fps", 44.0)), beats_per_bar=top.get("beats_per_bar", 4),
        crossfade_beats=float(top.get("crossfade_beats", 4.0)), on_stop=top.get("on_stop", "home"),
    )


def _text(data: bytes, path: str) -> str:
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        line = data.count(b"\n", 0, error.start) + 1
        column = error.start - data.rfind(b"\n", 0, error.start)
        raise ShowError([f"{path}: not UTF-8 text: byte {data[error.start]:#04x} at line {line} column {column}"]) \
            from None


def load_show(path: str | os.PathLike[str], library: kinetrope.PatternLibrary | None = None) -> Show:
    """Reads and checks the show file at ``path``.

    Raises ShowError for a show that cannot be played, and UnreadableFile
    (an OSError) for a file that is missing, is not a regular file or holds
    more than MAX_SHOW_BYTES.
    """
    shown = os.fsdecode(path)
    return parse_show(_text(read_guarded(path, limit=MAX_SHOW_BYTES), shown), shown, library)
