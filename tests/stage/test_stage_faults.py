"""``kinetrope live`` under a careless or hostile operator (each run in a private network namespace):
whatever comes over the control port or happens to the terminal, the show goes on, and SIGTERM ends it
on its home frame within a second."""

from __future__ import annotations

import struct

import kinetrope
import pytest

from stage_net import run_scenario
from osc_frames import POINTS, RAMP_PACK, show

STOP_AFTER = 3.0


def bundle(timetag: int, address: str, *args: int) -> str:
    body = address.encode() + b"\0" * (4 - len(address) % 4) + b",i\0\0" + b"".join(struct.pack(">i", a) for a in args)
    return (b"#bundle\0" + timetag.to_bytes(8, "big") + struct.pack(">i", len(body)) + body).hex()


FAR_FUTURE = 0xFFFFFFF0 << 32
ALL_PATTERNS = [entry["name"] for entry in kinetrope.catalogue()]

# id: extra options, control messages ([when, port, address, args, count]), the terminal the run has
# (None: pipes; "stopped_terminal": stderr, Ctrl-S typed once the show has begun; "vanishing_terminal":
# stdin, closed while the show runs), the fewest frames sent in the STOP_AFTER seconds, and what stderr says.
CASES = {
    "a-bundle-timed-far-ahead": ([], [[{"after": 1.0}, 9200, "RAW", bundle(FAR_FUTURE, "/kinetrope/home", 0)]],
                                 None, 44, None),
    "ten-thousand-bundles-timed-far-ahead": (
        [], [[{"after": 1.0}, 9200, "RAW", bundle(FAR_FUTURE, "/kinetrope/home", 0), 10_000]], None, 44, None),
    "a-flood-of-unknown-addresses-with-stderr-unread": (
        [], [[{"after": 1.0}, 9200, "/kinetrope/nonsense", [1], 10_000]], None, 44,
        "more like it in the last second"),
    # A tap, then a burst closer together than any beat (as a held key's auto-repeat, or a flam).
    "a-tap-storm": (["--tap"], [[{"after": 1.0}, 9200, "/kinetrope/tap", []],
                                [{"after": 1.15}, 9200, "/kinetrope/tap", [], 2_000]], None, 44, None),
    "a-flood-of-tempos": ([], [[{"after": 1.0}, 9200, "/kinetrope/tempo", [90.0], 5_000]], None, 44, None),
    "a-flood-of-tempos-to-a-link-session": (
        ["--link"], [[{"after": 1.0}, 9200, "/kinetrope/tempo", [90.0 + i % 50], 100] for i in range(50)], None, 44,
        None),
    "a-crossfade-through-every-pattern": (
        [], [[{"after": 1.0}, 9200, "/kinetrope/pattern", ["lead", name, 0.5]] for name in ALL_PATTERNS], None, 44,
        None),
    "a-crossfade-through-every-pattern-as-the-show-stops": (
        [], [[{"after": 2.8}, 9200, "/kinetrope/pattern", ["lead", name, 0.5]] for name in ALL_PATTERNS], None, 44,
        None),
    "ctrl-s-in-the-terminal": ([], [], "stopped_terminal", 44, None),
    "the-tapping-terminal-closed": (["--tap"], [], "vanishing_terminal", 44, None),
    "one-frame-a-second": (["--fps", "1"], [], None, 1, None),
}


@pytest.mark.parametrize("case", list(CASES))
def test_the_show_goes_on_and_sigterm_ends_it_on_its_home_frame_within_a_second(case):
    options, controls, terminal, fewest_frames, said = CASES[case]
    if "--link" in options:
        pytest.importorskip("aalink", reason="Link's bindings (the optional link extra) are not installed")
    result = run_scenario(
        "live", files={"show.toml": show(POINTS), "ramp.json": RAMP_PACK}, osc_ports=[9100],
        runs=[["show.toml", "--bpm", "120", "--pack", "ramp.json", "--control", "9200", *options]],
        controls=controls, stop_after=STOP_AFTER, stderr=terminal if terminal == "stopped_terminal" else None,
        stdin=terminal if terminal == "vanishing_terminal" else None,
    )
    (run,) = result["runs"]
    assert run["rc"] == 0, run["stderr"]
    assert run["ended"] - run["signalled"] < 1.0
    lead = [args for _, address, args in result["osc"]["9100"] if address == "/kinetrope/lead"]
    assert len(lead) >= fewest_frames + 1, len(lead)
    assert lead[-1] == [0.0, 0.0, 0.0]  # home
    if said is not None:
        assert said in run["stderr"]
    assert "Traceback" not in run["stderr"] and "Exception in thread" not in run["stderr"]


OSC_FIXTURE = '\n[[fixture]]\nname = "lead"\npattern = "circle"\n'
DMX_FIXTURE = '\n[[fixture]]\nname = "spot"\npattern = "circle"\nuniverse = 1\naddress = 1\n'


@pytest.mark.parametrize(("output", "fixtures", "message"), [
    ('[output.osc]\ndestination = "999.999.1.1:9000"', OSC_FIXTURE,
     "show.toml: output 'osc': key 'destination': must be \"HOST:PORT\": '999.999.1.1' is not an IPv4 address"),
    ('[output.artnet]\ndestination = "999.999.1.1"', DMX_FIXTURE,
     "show.toml: output 'artnet': key 'destination': '999.999.1.1' is not an IPv4 address"),
    ('[output.sacn]\ndestination = "lights.invalid"', DMX_FIXTURE,
     "output 'sacn': key 'destination': cannot resolve host 'lights.invalid'"),
    ('[output.sacn]\nbind_address = "192.0.2.77"', DMX_FIXTURE,
     "output 'sacn': key 'bind_address': cannot bind to 192.0.2.77:0"),
    ('[output.sacn]\nsource_name = "' + "x" * 64 + '"', DMX_FIXTURE,
     "show.toml: output 'sacn': key 'source_name': must be at most 63 bytes of UTF-8 (this is 64)"),
    ('[output.osc]\ndestination = "127.0.0.1:9000"\nprefix = "/kine\\u0000trope"', OSC_FIXTURE,
     "show.toml: output 'osc': key 'prefix': must be an OSC address"),
    ('[output.osc]\ndestination = "127.0.0.1:9000"', OSC_FIXTURE.replace("lead", "clock"),
     "output 'osc': fixture 'clock': /kinetrope/clock is the address of the clock messages"),
], ids=["osc-dotted-non-address", "artnet-dotted-non-address", "sacn-unresolvable-host", "sacn-foreign-bind-address",
        "sacn-long-source-name", "osc-prefix-with-nul", "osc-fixture-named-clock"])
def test_an_output_that_cannot_work_is_refused_before_the_first_frame_in_one_line(output, fixtures, message):
    result = run_scenario("live", files={"show.toml": output + "\n" + fixtures}, osc_ports=[9000],
                          runs=[["show.toml", "--seconds", "2"]])
    (run,) = result["runs"]
    assert run["rc"] == 1
    assert run["stderr"].startswith(f"kinetrope live: error: {message}") and run["stderr"].count("\n") == 1
    assert result["osc"]["9000"] == []


@pytest.mark.parametrize(("fps", "accepted"), [("1000", True), ("1", True), ("0.5", False), ("1e-300", False),
                                               ("1000.5", False), ("1e300", False), ("0", False)])
def test_the_frame_rate_on_the_command_line_has_the_show_files_range(capsys, fps, accepted):
    from kinetrope_tools.cli import parser
    from kinetrope_tools.stage import ShowError, parse_show

    try:
        parse_show(f"fps = {fps}\n" + '[output.osc]\ndestination = "127.0.0.1:9"\n' + OSC_FIXTURE, "show.toml")
        in_the_file = True
    except ShowError:
        in_the_file = False
    try:
        parser().parse_args(["live", "show.toml", "--fps", fps])
        on_the_command_line = True
    except SystemExit as exit:
        assert exit.code == 2
        assert f"--fps: must be from 1 to 1000 frames a second, not {fps}" in capsys.readouterr().err
        on_the_command_line = False
    assert in_the_file == on_the_command_line == accepted


def test_a_control_port_that_cannot_be_listened_on_is_refused_in_one_line_naming_it():
    result = run_scenario("live", files={"show.toml": '[output.osc]\ndestination = "127.0.0.1:9000"\n' + OSC_FIXTURE},
                          osc_ports=[9000], runs=[["show.toml", "--seconds", "2", "--control", "192.0.2.1:9200"]])
    (run,) = result["runs"]
    assert run["rc"] == 1
    assert run["stderr"] == ("kinetrope live: error: control port 192.0.2.1:9200: cannot listen there "
                             "(Cannot assign requested address)\n")
    assert result["osc"]["9000"] == []
