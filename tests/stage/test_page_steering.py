"""The page's commands as the frame loop applies them: cues now or on the bar, speed, size, resync, freeze, tempo."""

from __future__ import annotations

import kinetrope
import pytest

from kinetrope_tools.stage import Live, parse_show
from kinetrope_tools.stage.control import Blackout
from kinetrope_tools.stage.reports import Reports
from kinetrope_tools.stage.steering import Cue, Freeze, Resync, Size, Speed, TempoStep

BAR = 4 * kinetrope.PIPS_PER_BEAT
LIBRARY = kinetrope.PatternLibrary([
    kinetrope.SampledPattern("ramp", "x climbs one step a pip over four bars", [[-1 + p / 512, 0.0, 0.0]
                                                                                   for p in range(1024)]),
    kinetrope.SampledPattern("held", "x at a half", [[0.5, 0.0, 0.0]]),
])
SHOW = """
[output.osc]
destination = "127.0.0.1:9"
[[group]]
name = "pair"
fixtures = ["a", "b"]
pattern = "ramp"
[[fixture]]
name = "a"
universe = 1
address = 1
size = 0.5
[[fixture]]
name = "b"
universe = 1
address = 5
speed = 0.5
"""


class Hand:
    """A clock at the pip it is given, whose tempo is set from outside."""

    def __init__(self) -> None:
        self.pip, self.bpm = 0, 120.0

    def pip_at(self, seconds: float) -> int:
        return self.pip

    def seconds_at(self, pip: int) -> float:
        return pip / 128

    def bpm_at(self, seconds: float) -> float:
        return self.bpm

    def pip_now(self) -> int:
        return self.pip

    def set_bpm(self, bpm: float) -> None:
        self.bpm = bpm


@pytest.fixture
def said():
    return []


@pytest.fixture
def live(said):
    return Live(parse_show(SHOW, "show.toml", LIBRARY), Hand(), [], library=LIBRARY, reports=Reports(said.append))


def at(live, pip):
    """Every fixture's x at the clock's ``pip``, as the loop sends it, and its pan channel (coarse)."""
    live.clock.pip = pip
    frame = live.frame_at(0.0)
    return [round(x, 6) for x in frame.offsets[:, 0]], [frame.dmx[0, 0], frame.dmx[0, 4]]


def ramp(pip):
    return round(-1 + (pip % 1024) / 512, 6)


@pytest.mark.parametrize(("now", "beats", "seen"), [
    # At pip 70 the next bar line is pip 256: until then the ramp, from there the new pattern.
    (False, 0, {255: ramp(255), 256: 0.5, 300: 0.5}),
    (True, 0, {70: 0.5, 71: 0.5}),
    # A fade of two beats from the bar line: halfway one beat in.
    (False, 2, {256: ramp(256), 256 + 64: round((ramp(320) + 0.5) / 2, 6), 256 + 128: 0.5}),
    (True, 1, {70: ramp(70), 70 + 32: round((ramp(102) + 0.5) / 2, 6), 70 + 64: 0.5}),
], ids=["next-bar-cut", "now-cut", "next-bar-fade", "now-fade"])
def test_a_cue_starts_on_the_next_bar_or_now_and_fades_over_its_beats(live, now, beats, seen):
    at(live, 70)
    live.apply(Cue("a", "held", beats, now), 0.0)
    assert live.changes_prepared()
    for pip, x in seen.items():
        assert at(live, pip)[0][0] == pytest.approx(x, abs=2e-6), pip


def test_a_speed_change_goes_on_from_where_the_pattern_is(live):
    before = at(live, 300)[0]
    live.apply(Speed("pair", 2.0), 0.0)
    # b's show speed is a half: twice that is one pip a pip. No jump at the change, then the new rate.
    assert at(live, 300)[0] == before
    assert at(live, 310)[0] == [ramp(300 + 20), ramp(150 + 10)]
    live.apply(Speed("a", 0.25), 0.0)
    assert at(live, 310)[0][0] == ramp(320)
    assert at(live, 318)[0][0] == ramp(322)


def test_size_scales_the_movement_from_the_show_files_size(live):
    live.apply(Size("pair", 0.5), 0.0)
    _, pans = at(live, 0)  # x = -1: pan = (-size + 1) / 2 of the travel
    assert pans == [round((1 - 0.25) / 2 * 65535) >> 8, round((1 - 0.5) / 2 * 65535) >> 8]
    live.apply(Size("b", 0.0), 0.0)
    assert at(live, 0)[1][1] == 128


@pytest.mark.parametrize(("pip", "shift"), [(70, -70), (200, 56), (256, 0)])
def test_resync_puts_the_nearest_bar_line_at_the_moment_it_came(live, pip, shift):
    live.clock.pip = pip
    live.apply(Resync(0.0), 0.0)
    assert live.pip_shift == shift
    at(live, pip + 5)
    assert live.pip % BAR == 5


def test_freeze_holds_every_fixture_while_the_clock_runs_on(live):
    held = at(live, 100)[0]
    live.apply(Freeze(True), 0.0)
    assert at(live, 180)[0] == held and live.pip == 180
    live.apply(Freeze(True), 0.0)  # a second freeze keeps the first's pip
    assert at(live, 200)[0] == held
    live.apply(Freeze(False), 0.0)
    assert at(live, 200)[0][0] == ramp(200)


@pytest.mark.parametrize(("by", "bpm"), [(0.1, 120.1), (-1, 119.0), (900, 999.0)])
def test_a_tempo_step_moves_from_the_tempo_in_effect(live, by, bpm):
    live.apply(TempoStep(by), 0.0)
    assert live.clock.bpm == bpm


@pytest.mark.parametrize("command", [
    Speed("nobody", 2.0), Speed("pair", 100.0), Size("pair", 1.5), Cue("a", "held", -1, False),
    Cue("nobody", "held", 0, True),
], ids=["unknown-target", "speed-too-high", "size-too-large", "negative-fade", "cue-unknown-target"])
def test_a_command_that_cannot_apply_is_reported_and_changes_nothing(live, said, command):
    before = at(live, 40)
    live.apply(command, 0.0)
    assert live.changes_prepared()
    assert at(live, 40) == before
    assert len(said) == 1 and said[0].startswith("control: ")


def test_blackout_from_the_page_is_the_ports_own_command(live):
    live.apply(Blackout(True), 0.0)
    assert live.blackout


def test_a_resync_over_the_port_moves_a_clock_that_keeps_its_own_bar_line(live):
    from kinetrope_tools.stage import control

    made = []
    control.Interpreter(made.append, Reports([].append)).message("/kinetrope/resync", ())
    (command,) = made
    assert isinstance(command, Resync)
    asked = []

    class Listening(Hand):
        def resync(self, at_seconds=None):
            asked.append(at_seconds)

    live.clock = Listening()
    live.clock.pip = 70
    live.apply(command, 0.0)
    assert asked == [command.at_seconds] and live.pip_shift == 0
