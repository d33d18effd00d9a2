"""The operator's page in headless Chromium, steering a show that drives a real olad, all in a private namespace.

The scenarios (tests/support/page_scenarios.py) click and type as an
operator does and read olad's universe as they go; the tests here judge what
the page drew and what olad received against the patterns themselves.
"""

from __future__ import annotations

import math
import statistics

import kinetrope
import pytest

from page_net import run_page_scenario
from stage_reference import beat_zero, channels, pip_at, seconds_at

FPS = 44
INTERVAL = 1 / FPS
BAR = 4 * kinetrope.PIPS_PER_BEAT
SHOW = f"""
fps = {FPS}
[output.sacn]
destination = "127.0.1.1"

[[group]]
name = "truss"
fixtures = ["s1", "s2"]
pattern = "figure_eight"
spread = 0.5
profile = "pan16_tilt16_dimmer"
position = [-2, 1]
position_end = [2, 1]

[[fixture]]
name = "s1"
universe = 1
address = 1

[[fixture]]
name = "s2"
universe = 1
address = 6

[[fixture]]
name = "w1"
pattern = "helix"
profile = "pan16_tilt16_dimmer"
speed = 2
phase_pips = 10
universe = 1
address = 11
"""
# name: address, speed, phase pips, share of the period it lags by (its place in its group)
FIXTURES = {"s1": (1, 1.0, 0, 0.0), "s2": (6, 1.0, 0, 0.25), "w1": (11, 2.0, 10, 0.0)}
STARTING = {"s1": "figure_eight", "s2": "figure_eight", "w1": "helix"}
DIMMERS = [5, 10, 15]  # channels, counted from 1
PERIODS = {e["name"]: e["period_pips"] for e in kinetrope.catalogue()}


def offset(name: str, pattern: str, pip: int) -> tuple[float, float, float]:
    _, speed, phase, share = FIXTURES[name]
    period = PERIODS[pattern]
    pattern_pip = (math.floor(pip * speed) + phase - round(share * period)) % period  # member i lags its share
    return kinetrope.sample(pattern, pattern_pip).as_tuple()


def shows(values: list[int], patterns: dict[str, str], pips: range, *, dark: bool = False) -> bool:
    """Whether the channels read are every fixture's pattern at one of ``pips`` (the same pip for all)."""
    for pip in pips:
        seen = []
        for name, pattern in patterns.items():
            address = FIXTURES[name][0]
            expected = channels(*offset(name, pattern, pip), extra="dimmer")
            if dark:
                expected[-1] = 0
            seen.append(values[address - 1:address + 4] == expected)
        if all(seen):
            return True
    return False


def on_time(read, patterns, bpm, zero, **options) -> tuple[bool, bool]:
    """(within a frame of the read, within the half second before it) for one read of olad."""
    before, after, values = read
    strict = range(pip_at(before - INTERVAL - 0.01, bpm, zero), pip_at(after, bpm, zero) + 1)
    loose = range(pip_at(before - 0.5, bpm, zero), pip_at(after, bpm, zero) + 1)
    return shows(values, patterns, strict, **options), shows(values, patterns, loose, **options)


@pytest.fixture(scope="module")
def operated():
    result = run_page_scenario("operate", show=SHOW)
    assert result["run"]["rc"] == 0, result["run"]
    result["clock"] = beat_zero(result["run"]["first"])
    return result


def test_the_page_loads_without_a_console_error_and_draws_each_point_at_the_clocks_pip(operated):
    assert operated["problems"] == []
    bpm, zero = operated["clock"]
    for drawn in operated["drawn"]:
        pip = drawn["held"]
        assert drawn["pip"] == pip
        # The snapshot's pip is the clock's at the frame it was taken for.
        assert pip_at(drawn["at"] - 3 * INTERVAL, bpm, zero) <= pip <= pip_at(drawn["at"], bpm, zero)
        for name, point in drawn["points"].items():
            (hx, hy), reach = point["head"], point["reach"]

            def where(p):
                x, y, _ = offset(name, STARTING[name], p)
                return hx + x * reach, hy - y * reach

            expected = where(pip)
            motion = max(math.dist(expected, where(pip - 1)), math.dist(expected, where(pip + 1)))
            assert math.dist((point["x"], point["y"]), expected) <= motion + 0.1, (name, pip)
            # Nearer (z = +1) is drawn larger.
            assert point["radius"] == pytest.approx(reach * (0.16 + 0.1 * (offset(name, STARTING[name], pip)[2] + 1)),
                                                    abs=0.01)


def test_a_clicked_cue_changes_what_olad_receives_on_the_next_bar(operated):
    bpm, zero = operated["clock"]
    cue = operated["cue"]
    assert cue["patterns"] == ["helix", "helix", "helix"]
    after_cue = {**STARTING, "s1": "helix", "s2": "helix"}
    # The click reaches the loop within the bar it was made in, or (made at its very end) the next.
    bar_lines = [seconds_at((cue["pip_before_click"] // BAR + k) * BAR, bpm, zero) for k in (1, 2)]
    old = [read for read in cue["reads"] if on_time(read, STARTING, bpm, zero)[1]]
    new = [read for read in cue["reads"] if on_time(read, after_cue, bpm, zero)[1]]
    assert len(old) + len(new) == len(cue["reads"]) and old and new
    last_old, first_new = max(read[0] for read in old), min(read[1] for read in new)
    assert last_old < first_new  # one change, never back
    assert any(last_old - INTERVAL <= line <= first_new + INTERVAL for line in bar_lines), (last_old, first_new,
                                                                                            bar_lines)


def test_blackout_sends_zeros_and_each_key_does_what_its_button_does(operated):
    seen = {}
    for how, name, on, values in operated["switches"]:
        dimmers = [values[c - 1] for c in DIMMERS]
        if name == "blackout":
            assert (dimmers == [0, 0, 0]) == on, (how, on, values[:15])
            assert values[:4] != [128, 0, 128, 0]  # the heads go on moving in the dark
        else:
            assert (values[:15] == [128, 0, 128, 0, 128] * 3) == on, (how, on, values[:15])
        seen.setdefault((name, on), set()).add(how)
    assert seen[("blackout", True)] == seen[("blackout", False)] == {"key", "button"}
    assert seen[("home", True)] == {"key"} and seen[("home", False)] == {"button"}


def test_the_tempo_keys_change_the_tempo_the_show_runs_at(operated):
    assert operated["tempo_shown"] == 122.1
    times, pips = zip(*operated["tempo_rates"])
    fitted = statistics.linear_regression(times, pips)
    assert fitted.slope * 60 / kinetrope.PIPS_PER_BEAT == pytest.approx(122.1, abs=0.3)
    # olad follows that line: its channels show the pattern at the pips of the moment, on the new tempo.
    after_cue = {**STARTING, "s1": "helix", "s2": "helix"}
    line = lambda t: math.floor(fitted.intercept + fitted.slope * t)  # noqa: E731
    found = [shows(values, after_cue, range(line(before - INTERVAL - 0.01), line(after) + 1))
             for before, after, values in operated["tempo_reads"]]
    assert sum(found) >= len(found) * 0.6, found


def test_two_pages_stay_in_step_and_closing_one_changes_nothing_at_olad(operated):
    # The state page two shows lies between the ones page one showed just before and just after, give or
    # take the frames of one update (the show takes 44 snapshots a second, the pages get 30). A browser on
    # a loaded machine may draw a page an update or two late now and then: most reads are within one
    # update, and none is as much as half a second (22 frames) out.
    gaps = [max(before - 2 - two, two - after - 2, 0) for before, two, after in operated["in_step"]]
    assert sum(gap == 0 for gap in gaps) >= 0.8 * len(gaps), operated["in_step"]
    assert max(gaps) < 22, operated["in_step"]
    assert operated["freeze_on_one"] and operated["thaw_on_one"]
    bpm, zero = operated["clock"]
    for when in ("before_close", "after_close"):
        judged = [on_time(read, STARTING, bpm, zero) for read in operated[when]]
        assert all(loose for _, loose in judged), when
        assert sum(strict for strict, _ in judged) >= len(judged) * 0.6, (when, judged)
    assert operated["one_still_updating"]


TAP_BPM = 120.0


def test_taps_on_the_space_bar_and_the_button_set_the_tempo_the_show_runs_at():
    result = run_page_scenario("tap", show=SHOW, tap_bpm=TAP_BPM)
    assert result["problems"] == []
    assert result["before"] == 100.0
    gaps = [later - earlier for earlier, later in zip(result["tapped"], result["tapped"][1:])]
    assert result["after"] == pytest.approx(TAP_BPM, abs=3), gaps
    assert result["tempo_key"] == "this clock's tempo is not set from here"
    times, pips = zip(*result["rates"])
    slope = statistics.linear_regression(times, pips).slope
    assert slope * 60 / kinetrope.PIPS_PER_BEAT == pytest.approx(result["after"], abs=0.5)
    assert result["run"]["rc"] == 0


def test_a_hostile_page_gets_errors_and_the_show_goes_on():
    result = run_page_scenario("hostile", show=SHOW)
    attack = result["attack"]
    assert "token=" in result["url"] and result["url"].startswith("http://10.77.0.1:")
    assert result["second"]["rc"] == 1
    assert "kinetrope live: error: the page cannot be served on 10.77.0.1 port 8740" in result["second"]["stderr"]
    assert (attack["no token"], attack["wrong token"], attack["token"]) == (403, 403, 200)
    assert (attack["foreign origin"], attack["no origin"]) == (403, 403)
    assert attack["hello"] == "hello"
    assert attack["errors"] == [
        "a message must be JSON",
        "a message must be an object whose type is one of cue, tap, tempo, resync, speed, size, blackout, home, "
        "freeze, search, path",
        'no fixture or group is named "/etc/passwd"',
        "a tempo step must be a number from -100 to 100",
        'no pattern is named "../x"',
        "this clock takes no taps",
    ]
    assert attack["too_big"] in ("CLOSE", "CLOSED", "CLOSING", "ERROR")
    assert attack["connections"] == 1000, attack.get("connect_errors")
    assert 0 < attack["pages_accepted"] <= 16 and attack["pages_refused"] > 0 and attack["refused_status"] == 503
    # A flood is cut off, and its address refused for a while; the page still answers.
    assert attack["flood_end"] in ("CLOSE", "CLOSED", "CLOSING", "ERROR", "ClientConnectionResetError",
                                   "ConnectionResetError", "ClientOSError", "ServerDisconnectedError")
    assert attack["back_at_once"] == 429
    assert attack["after"] == 200
    # The show went on through it all, on time: what olad holds is the pattern of the moment.
    assert result["run"]["rc"] == 0, result["run"]
    bpm, zero = beat_zero(result["run"]["first"])
    judged = [on_time(read, STARTING, bpm, zero) for read in result["reads"]]
    assert all(loose for _, loose in judged)
    assert sum(strict for strict, _ in judged) >= len(judged) * 0.6, judged
