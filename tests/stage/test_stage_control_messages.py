"""What the control port makes of messages and datagrams, without a network: commands, and complaints
that reach the operator's terminal in one printable line, rate-limited."""

import struct
import threading

import pytest

from kinetrope_tools.stage import control
from kinetrope_tools.stage.reports import Reports

from pythonosc.osc_message_builder import OscMessageBuilder


@pytest.mark.parametrize(
    ("address", "args"),
    [
        ("/kinetrope/\x1b[2J\x1b[31mtempo", ()),
        ("/kinetrope/home\nkinetrope live: all good", ()),
        ("/kinetrope/" + "x" * 5000, ()),
        ("/kinetrope/tempo", ("\x1b]0;title\x07",)),
    ],
    ids=["escape-sequence", "line-break", "very-long", "escape-in-argument"],
)
def test_a_complaint_is_one_printable_line(address, args):
    said: list[str] = []
    assert control.command_of(address, args, Reports(said.append)) is None
    (line,) = said
    assert line.startswith("control: ") and line.isprintable() and len(line) < 400


def bundle(timetag: int, *messages: bytes) -> bytes:
    return b"#bundle\0" + timetag.to_bytes(8, "big") + b"".join(struct.pack(">i", len(m)) + m for m in messages)


def message(address: str, *args) -> bytes:
    builder = OscMessageBuilder(address)
    for arg in args:
        builder.add_arg(arg)
    return builder.build().dgram


@pytest.mark.parametrize(("datagram", "commands"), [
    (bundle(0xFFFFFFF0 << 32, message("/kinetrope/home", 0)), [control.Home(False)]),
    (bundle(1, message("/kinetrope/blackout"), bundle(0xFFFFFFF0 << 32, message("/kinetrope/tempo", 90.0))),
     [control.Blackout(True), control.Tempo(90.0)]),
    (message("/kinetrope/pattern", "a", "circle", 2.0), [control.PatternChange("a", "circle", 2.0)]),
], ids=["far-future-bundle", "nested-bundles", "plain-message"])
def test_a_datagram_is_handled_at_once_whatever_its_timetag(datagram, commands):
    made: list = []
    control.Interpreter(made.append, Reports([].append)).datagram(datagram, "127.0.0.1")
    assert made == commands


def nested(depth: int) -> bytes:
    return message("/kinetrope/home") if depth == 0 else bundle(1, nested(depth - 1))


@pytest.mark.parametrize("datagram", [
    bundle(1) + struct.pack(">i", -4),
    bundle(1) + struct.pack(">i", -4) + message("/kinetrope/home"),
    bundle(1, message("/kinetrope/home"), b"home\0\0\0\0,\0\0\0"),
    bundle(1, message("/kinetrope/home"), b""),
    bundle(1) + struct.pack(">i", 400) + message("/kinetrope/home"),
    bundle(1, message("/kinetrope/home")) + b"\0\0",
    nested(9),
], ids=["negative-size", "negative-size-then-a-message", "element-not-a-message", "empty-element",
        "size-past-the-end", "size-cut-off", "nested-nine-deep"])
def test_a_malformed_bundle_is_dropped_and_said_once_without_stalling_the_reader(datagram, capfd):
    made: list = []
    said: list[str] = []
    reports = Reports(said.append)
    # Run apart, so a reader that loops for ever fails the test instead of hanging it.
    reader = threading.Thread(
        target=control.Interpreter(made.append, reports).datagram, args=(datagram, "127.0.0.1"), daemon=True)
    reader.start()
    reader.join(2.0)
    assert not reader.is_alive()
    reports.flush()
    assert made == []
    (line,) = said
    assert line.startswith("control: ?: dropped a datagram from 127.0.0.1 that is not OSC: ")
    assert capfd.readouterr().err == ""


def test_bundles_nested_as_deep_as_allowed_still_arrive():
    made: list = []
    control.Interpreter(made.append, Reports([].append)).datagram(nested(8), "127.0.0.1")
    assert made == [control.Home(True)]


def test_a_flood_of_complaints_is_said_a_few_times_then_counted():
    now = [0.0]
    said: list[str] = []
    reports = Reports(said.append, clock=lambda: now[0])
    interpreter = control.Interpreter([].append, reports)
    for i in range(4214):
        interpreter.message(f"/kinetrope/no_{i}", ())
    interpreter.message("/kinetrope/tempo", ("fast",))
    now[0] = 1.5
    reports.flush()
    assert said == [
        "control: /kinetrope/no_0: unknown address", "control: /kinetrope/no_1: unknown address",
        "control: /kinetrope/no_2: unknown address", "control: /kinetrope/tempo: wants one tempo from 20 to 999 bpm",
        "control: unknown address: … and 4,211 more like it in the last second",
    ]
