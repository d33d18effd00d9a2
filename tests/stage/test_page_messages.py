"""What a page may send: each kind of message becomes the loop's command, anything else is refused with a reason."""

from __future__ import annotations

import json

import pytest

from kinetrope_tools.stage.control import Blackout, Home, Tap
from kinetrope_tools.stage.page.messages import MAX_MESSAGE_BYTES, Refused, command_of, parse
from kinetrope_tools.stage.steering import Cue, Freeze, Resync, Size, Speed, TempoStep

TARGETS = {"spot", "truss"}
PATTERNS = {"circle", "helix"}


def command(message):
    return command_of(parse(json.dumps(message)), targets=TARGETS, patterns=PATTERNS, clock=lambda: 12.5)


@pytest.mark.parametrize(("message", "expected"), [
    ({"type": "cue", "target": "truss", "pattern": "helix", "beats": 4, "now": False}, Cue("truss", "helix", 4.0)),
    ({"type": "cue", "target": "spot", "pattern": "circle", "beats": 0.5, "now": True},
     Cue("spot", "circle", 0.5, True)),
    ({"type": "tap"}, Tap(12.5)),
    ({"type": "tempo", "by": -0.1}, TempoStep(-0.1)),
    ({"type": "resync"}, Resync(12.5)),
    ({"type": "speed", "target": "truss", "factor": 2}, Speed("truss", 2.0)),
    ({"type": "size", "target": "spot", "factor": 0}, Size("spot", 0.0)),
    ({"type": "blackout", "on": True}, Blackout(True)),
    ({"type": "home", "on": False}, Home(False)),
    ({"type": "freeze", "on": True}, Freeze(True)),
], ids=lambda value: value["type"] if isinstance(value, dict) else "")
def test_each_control_becomes_the_loops_command(message, expected):
    assert command(message) == expected


CUE = {"type": "cue", "target": "truss", "pattern": "helix", "beats": 4, "now": False}
REFUSED = [
    ("not json", "{type: tap}", "a message must be JSON"),
    ("not an object", "[1, 2]", "a message must be an object whose type is one of cue, tap"),
    ("unknown kind", {"type": "reboot"}, "whose type is one of"),
    ("a key too many", {"type": "tap", "file": "/etc/passwd"}, "tap takes no other key"),
    ("a key missing", {"type": "cue", "target": "truss", "pattern": "helix", "now": False},
     "cue takes beats, now, pattern, target"),
    ("unknown target", {**CUE, "target": "../show.toml"}, 'no fixture or group is named "../show.toml"'),
    ("unknown pattern", {**CUE, "pattern": "/tmp/x.json"}, 'no pattern is named "/tmp/x.json"'),
    ("a long name is cut short", {**CUE, "pattern": "p" * 200}, 'no pattern is named "' + "p" * 36 + "..."),
    ("fade too long", {**CUE, "beats": 5000}, "a fade in beats must be a number from 0 to 1024"),
    ("fade not a number", {**CUE, "beats": "4"}, "a fade in beats must be a number"),
    ("now not a flag", {**CUE, "now": 1}, "now must be true or false"),
    ("infinite tempo step", '{"type": "tempo", "by": Infinity}', "a tempo step must be a number from -100 to 100"),
    ("boolean as a number", {"type": "speed", "target": "truss", "factor": True}, "a speed must be a number"),
    ("speed out of range", {"type": "speed", "target": "truss", "factor": 0}, "from 0.25 to 16"),
    ("size out of range", {"type": "size", "target": "truss", "factor": 2}, "a size must be a number from 0 to 1"),
    ("switch not a flag", {"type": "blackout", "on": "yes"}, "on must be true or false"),
    ("too long", {"type": "tap", "pad": "x" * MAX_MESSAGE_BYTES}, f"at most {MAX_MESSAGE_BYTES} bytes"),
    ("deeply nested", "[" * 100_000 + "]" * 100_000, "at most"),
    ("nested past the decoder's depth", "[" * 2000 + "]" * 2000, "a message must be JSON"),
    ("a search is no control", {"type": "search", "text": "x"}, "search is not a control"),
]


@pytest.mark.parametrize(("message", "reason"), [case[1:] for case in REFUSED], ids=[case[0] for case in REFUSED])
def test_anything_else_is_refused_with_its_reason(message, reason):
    text = message if isinstance(message, str) else json.dumps(message)
    with pytest.raises(Refused) as refused:
        command_of(parse(text), targets=TARGETS, patterns=PATTERNS)
    assert reason in str(refused.value)
