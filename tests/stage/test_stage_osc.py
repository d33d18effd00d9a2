"""``kinetrope live`` to an OSC receiver, and steered over OSC while it runs (in a private network namespace)."""

from __future__ import annotations

import math
import statistics

import kinetrope
import numpy as np
import pytest

from kinetrope_tools.patterns.packs import dumps_pack
from osc_frames import FPS, POINTS, RAMP_PACK, RAMP_PERIOD, frames_of, show
from stage_net import run_scenario
from stage_reference import beat_zero, pip_at, seconds_at


def messages_by_fixture(log):
    """Each fixture's messages, and when they arrived (the clock's and beat's left out)."""
    by: dict[str, list] = {}
    for when, address, args in log:
        name = address.rsplit("/", 1)[1]
        if name not in ("clock", "beat"):
            by.setdefault(name, []).append((when, args))
    return by


def ramp_pip(x: float, near: int) -> int:
    """The whole pip whose ramp value is x, the one nearest ``near`` (the ramp repeats every four bars)."""
    within = round((x + 1) * 512)
    return within + RAMP_PERIOD * round((near - within) / RAMP_PERIOD)


def clock_pip(clock: list, beats_per_bar: int = 4) -> int:
    """The pip a /kinetrope/clock message names: bar and beat counted from 1, the phase a share of the beat."""
    _, bar, beat, phase = clock
    return ((bar - 1) * beats_per_bar + beat - 1) * 64 + round(phase * 64)


def f32(values) -> list[float]:
    return np.asarray(values, dtype=np.float32).tolist()


@pytest.fixture(scope="module")
def osc_run():
    return run_scenario("live", files={"show.toml": show(POINTS), "ramp.json": RAMP_PACK}, osc_ports=[9100],
                        runs=[["show.toml", "--bpm", "120", "--seconds", "4", "--pack", "ramp.json"]])


def test_every_fixture_gets_a_message_every_frame_then_home(osc_run):
    (run,) = osc_run["runs"]
    assert run["rc"] == 0, run["stderr"]
    summary = run["stderr"].rsplit("kinetrope live: ", 1)[1].split()
    frames, late = int(summary[0]), int(summary[3])
    # A busy machine may make the loop skip frames it could not send in time; it counts them late.
    assert frames <= 4 * FPS + 1 and frames + late >= 4 * FPS - 1
    by = messages_by_fixture(osc_run["osc"]["9100"])
    assert sorted(by) == ["lead", "ramp"]
    for name, messages in by.items():
        assert len(messages) == frames + 1, name  # every frame and the last one
        assert messages[-1][1] == [0.0, 0.0, 0.0], name  # home
    # The frames' own pips, not their arrival times, say they came at the frame rate: they span the
    # pips of one interval (2.9 at 120 bpm) a frame sent, and at most one more a frame skipped (each
    # counted late, as is a frame sent late), within a pip's rounding.
    pips = [clock_pip(frame["clock"]) for frame in frames_of(osc_run["osc"]["9100"])[:-1]]
    assert len(pips) == frames and all(step >= 2 for step in np.diff(pips))
    intervals = (pips[-1] - pips[0]) * FPS / (120 * 64 / 60)
    assert frames - 2 <= intervals <= frames + late, (intervals, frames, late)


def test_the_messages_carry_the_pattern_at_the_pip_of_their_time(osc_run):
    (run,) = osc_run["runs"]
    bpm, zero = beat_zero(run["stderr"])
    by = messages_by_fixture(osc_run["osc"]["9100"])
    lags = []
    for (when, lead), (_, ramp) in zip(by["lead"][:-1], by["ramp"][:-1]):
        pip = ramp_pip(ramp[0], pip_at(when, bpm, zero))
        assert pip <= pip_at(when, bpm, zero)  # never a pip still to come
        assert lead == f32(kinetrope.sample("figure_eight", pip).as_tuple())
        lags.append(when - seconds_at(pip, bpm, zero))
    # The ramp names the frame's pip: it began at most one frame (and a pip, and a little delivery)
    # before the message arrived, on a busy machine at least for most frames.
    assert statistics.median(lags) <= 1 / FPS + 60 / (bpm * 64) + 0.005, statistics.median(lags)


def test_a_pattern_change_crossfades_from_the_next_bar_over_the_beats_asked_for():
    fixtures = POINTS + '\n[[fixture]]\nname = "other"\npattern = "circle"\n'
    result = run_scenario(
        "live", files={"show.toml": show(fixtures), "ramp.json": RAMP_PACK}, osc_ports=[9100],
        runs=[["show.toml", "--bpm", "150", "--seconds", "7", "--pack", "ramp.json", "--control", "9200"]],
        controls=[
            # Mid-bar in bar 3 (beats 8..12): the fade runs from beat 12 (pip 768) for two beats, to pip 896.
            [{"beat": 9.5}, 9200, "/kinetrope/pattern", ["lead", "helix", 2]],
            # Malformed messages and unknown names are reported and dropped; the show goes on.
            [{"beat": 9.6}, 9200, "/kinetrope/pattern", ["lead"]],
            [{"beat": 9.7}, 9200, "/kinetrope/pattern", ["nobody", "helix"]],
            [{"beat": 9.8}, 9200, "/kinetrope/pattern", ["other", "no_such_pattern"]],
            [{"beat": 9.9}, 9200, "/kinetrope/nonsense", [1.5]],
            [{"beat": 9.95}, 9200, "RAW", b"\x00\x01garbage".hex()],
            [{"beat": 10.0}, 9200, "RAW", (b"#bundle\x00" + b"\xff" * 20).hex()],
        ],
    )
    (run,) = result["runs"]
    assert run["rc"] == 0, run["stderr"]
    for complaint in ["wants TARGET PATTERN", "'nobody'", "no_such_pattern", "unknown address"]:
        assert complaint in run["stderr"]
    bpm, zero = beat_zero(run["stderr"])
    by = messages_by_fixture(result["osc"]["9100"])
    start, end = 768, 896
    phases = {"before": 0, "fading": 0, "after": 0}
    for (when, lead), (_, ramp), (_, other) in zip(by["lead"][:-1], by["ramp"][:-1], by["other"][:-1]):
        pip = ramp_pip(ramp[0], pip_at(when, bpm, zero))
        old = np.array(kinetrope.sample("figure_eight", pip).as_tuple())
        new = np.array(kinetrope.sample("helix", pip).as_tuple())
        assert other == f32(kinetrope.sample("circle", pip).as_tuple())  # the refused change left it alone
        if pip < start:
            phases["before"] += 1
            assert lead == f32(old), pip
        elif pip >= end:
            phases["after"] += 1
            assert lead == f32(new), pip
        else:
            phases["fading"] += 1
            weight = (pip - start) / (end - start)
            assert np.allclose(lead, old + (new - old) * weight, atol=1e-6, rtol=0), pip
    # Frames on every side of the fade: 2 beats at 150 bpm are 0.8 s, about 35 frames.
    assert phases["before"] > 100 and phases["after"] > 40 and phases["fading"] >= 30, phases


def test_taps_set_the_tempo():
    beat = 60 / 100
    taps = [[{"after": 3.0 + i * beat}, 9200, "/kinetrope/tap", []] for i in range(8)]
    result = run_scenario(
        "live", files={"show.toml": show(POINTS), "ramp.json": RAMP_PACK}, osc_ports=[9100],
        runs=[["show.toml", "--tap", "--bpm", "140", "--seconds", "10", "--pack", "ramp.json", "--control", "9200"]],
        controls=taps,
    )
    (run,) = result["runs"]
    assert run["rc"] == 0, run["stderr"]
    tempos = [frame["clock"][0] for frame in frames_of(result["osc"]["9100"])[:-1]]
    # The show says the tempo it plays at: 140 until the second tap, then what the taps fit, the last
    # tempo within 5 % of the 100 bpm they went out at (taps are stamped as they arrive, so a busy
    # machine's delays reach the fit).
    assert tempos[0] == 140.0 and tempos[-1] != 140.0
    assert math.isclose(tempos[-1], 100, rel_tol=0.05), tempos[-1]
    changes = [i for i in range(1, len(tempos)) if tempos[i] != tempos[i - 1]]
    assert len(changes) <= 7  # one change a tap at most, after the first


def test_a_beat_map_drives_the_pips_from_the_start_second(tmp_path):
    from kinetrope_tools.clocks import BeatMap

    # 120 bpm for the first 20 s of the track, then 90 bpm; played from second 16.
    beats = [0.5 * i for i in range(41)] + [20 + (i + 1) * 60 / 90 for i in range(60)]
    beat_map = BeatMap(beats)
    beat_map.save(tmp_path / "beats.json")
    result = run_scenario(
        "live", osc_ports=[9100],
        files={"show.toml": show(POINTS), "ramp.json": RAMP_PACK, "beats.json": (tmp_path / "beats.json").read_text()},
        runs=[["show.toml", "--beats", "beats.json", "--start", "16", "--seconds", "8", "--pack", "ramp.json"]],
    )
    (run,) = result["runs"]
    assert run["rc"] == 0, run["stderr"]
    started_at = float(run["stderr"].split("started_at=")[1].split(")")[0])
    ramp = messages_by_fixture(result["osc"]["9100"])["ramp"][:-1]
    lags = []
    for when, (x, _, _) in ramp:
        latest = beat_map.pip_at(when - started_at + 16)
        pip = ramp_pip(x, latest)
        assert pip <= latest
        lags.append(when - started_at + 16 - beat_map.seconds_at(pip))
    assert statistics.median(lags) <= 1 / FPS + 60 / (90 * 64) + 0.005, statistics.median(lags)
    # Both tempos were played: the track passed its 20th second (pip 40 * 64) during the run.
    pips = [ramp_pip(x, beat_map.pip_at(when - started_at + 16)) for when, (x, _, _) in ramp]
    assert min(pips) < 40 * 64 < max(pips)


def test_a_missing_midi_port_is_a_failure_that_names_it(tmp_path):
    import subprocess
    import sys

    (tmp_path / "show.toml").write_text(show(POINTS))
    (tmp_path / "ramp.json").write_text(RAMP_PACK)
    completed = subprocess.run(
        [sys.executable, "-m", "kinetrope_tools.cli", "live", "show.toml", "--midi-clock", "No Such Port",
         "--pack", "ramp.json", "--seconds", "1"], cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert completed.returncode == 1
    # (ALSA may print its own complaint first on a machine without a sequencer.)
    assert "kinetrope live: error: no MIDI input port 'No Such Port'" in completed.stderr


def test_two_live_processes_on_one_link_session_send_the_same_pattern_within_a_pip():
    pytest.importorskip("aalink", reason="Link's bindings (the optional link extra) are not installed")
    bar = 256
    bar_ramp = dumps_pack([kinetrope.SampledPattern(
        "bar_ramp", "x climbs evenly over one bar", [[-1 + p / 128, 0.0, 0.0] for p in range(bar)])])
    one = '\n[[fixture]]\nname = "ramp"\npattern = "bar_ramp"\n'
    result = run_scenario(
        "live", osc_ports=[9101, 9102],
        files={"a.toml": show(one, 9101), "b.toml": show(one, 9102), "ramp.json": bar_ramp},
        runs=[[name, "--link", "--bpm", "60", "--seconds", "9", "--pack", "ramp.json"] for name in ("a.toml", "b.toml")],
    )
    for run in result["runs"]:
        assert run["rc"] == 0, run["stderr"]
    a, b = ([(when, (args[0] + 1) * 128) for when, args in messages_by_fixture(result["osc"][port])["ramp"][:-1]]
            for port in ("9101", "9102"))
    assert len(a) > 6 * FPS and len(b) > 6 * FPS
    # B's pip at each moment A sent, read off B's frames on either side; Link may take a moment to settle.
    settled = a[0][0] + 3.0
    b_times = np.array([when for when, _ in b])
    b_pips = np.unwrap(np.array([pip for _, pip in b]), period=bar)
    differences = []
    for when, pip in a:
        if when < max(settled, b_times[0]) or when > b_times[-1]:
            continue
        other = np.interp(when, b_times, b_pips)
        differences.append(abs((pip - other + bar / 2) % bar - bar / 2))
    assert len(differences) > 3 * FPS
    # Each process samples at its own frame times: a pip apart at most, beside the scheduling jitter of a busy machine.
    assert statistics.median(differences) <= 1.0, statistics.median(differences)
    assert np.percentile(differences, 90) <= 2.0, sorted(differences)[-10:]


@pytest.mark.parametrize("signal_name", ["SIGTERM", "SIGINT"])
def test_a_signal_ends_the_show_with_every_fixture_home(signal_name):
    result = run_scenario(
        "live", files={"show.toml": show(POINTS), "ramp.json": RAMP_PACK}, osc_ports=[9100],
        runs=[["show.toml", "--bpm", "120", "--pack", "ramp.json"]], stop_after=3.0, stop_signal=signal_name,
    )
    (run,) = result["runs"]
    assert run["rc"] == 0, run["stderr"]
    frames = int(run["stderr"].rsplit("kinetrope live: ", 1)[1].split()[0])
    for name, messages in messages_by_fixture(result["osc"]["9100"]).items():
        assert len(messages) == frames + 1 and frames > FPS, name
        assert messages[-1][1] == [0.0, 0.0, 0.0], name
        assert messages[-2][1] != [0.0, 0.0, 0.0], name


def test_tempo_and_home_over_control():
    """Judged from what the show sends, never from when it arrived: at 32 frames a second a frame
    advances exactly 4 pips at 120 bpm and 3 at 90 (or a multiple, over frames a busy machine skipped)."""
    result = run_scenario(
        "live", files={"show.toml": show(POINTS), "ramp.json": RAMP_PACK}, osc_ports=[9100],
        runs=[["show.toml", "--bpm", "120", "--fps", "32", "--seconds", "10", "--pack", "ramp.json",
               "--control", "9200"]],
        controls=[
            [{"beat": 6}, 9200, "/kinetrope/tempo", [90.0]],
            [{"beat": 6.1}, 9200, "/kinetrope/tempo", ["fast"]],  # refused, reported
            [{"after": 6.5}, 9200, "/kinetrope/home", []],
            [{"after": 7.5}, 9200, "/kinetrope/home", [0]],
        ],
    )
    (run,) = result["runs"]
    assert run["rc"] == 0, run["stderr"]
    assert "/kinetrope/tempo: wants one tempo" in run["stderr"]
    frames = frames_of(result["osc"]["9100"])[:-1]
    tempos = [frame["clock"][0] for frame in frames]
    switch = tempos.index(90.0)
    assert set(tempos[:switch]) == {120.0} and set(tempos[switch:]) == {90.0}
    pips = [clock_pip(frame["clock"]) for frame in frames]
    steps = np.diff(pips)
    # The frame that took the new tempo advanced by a mix of both.
    for tempo_steps, per_frame in [(steps[:switch - 1], 4), (steps[switch:], 3)]:
        assert len(tempo_steps) > 2 * 32 and all(step > 0 and step % per_frame == 0 for step in tempo_steps), (
            per_frame, sorted(set(tempo_steps.tolist())))
    assert pips[switch] >= 6 * 64  # not before the message went out, at beat 6
    # Home: one run of frames with every fixture centred, the pattern at the ramp's pip on either side.
    home = [ramp_pip(frame["ramp"][0], pip) != pip for frame, pip in zip(frames, pips)]
    first = home.index(True)
    last = len(home) - home[::-1].index(True)
    assert all(home[first:last]) and last - first >= 2
    for frame, pip, at_home in zip(frames, pips, home):
        if at_home:
            assert frame["lead"] == frame["ramp"] == [0.0, 0.0, 0.0]
        else:
            assert frame["lead"] == f32(kinetrope.sample("figure_eight", pip).as_tuple())


def test_visuals_get_the_clock_every_frame_and_a_message_on_each_beat(osc_run):
    (run,) = osc_run["runs"]
    frames = frames_of(osc_run["osc"]["9100"])
    assert len(frames) > 3 * FPS
    previous_beat = None
    for frame in frames[:-1]:
        pip = round((frame["ramp"][0] + 1) * 512)  # 4 s at 120 bpm: within the ramp's first period
        bpm, bar, beat, phase = frame["clock"]
        beats = pip // 64
        assert (bpm, bar, beat) == (120.0, beats // 4 + 1, beats % 4 + 1)
        assert phase == (pip % 64) / 64
        # /kinetrope/beat BAR BEAT in the frame where a beat begins, in no other.
        assert frame.get("beat") == ([bar, beat] if beats != previous_beat else None), frame
        previous_beat = beats


def test_nothing_is_sent_for_a_show_with_a_fault():
    faulty = show(POINTS).replace('pattern = "figure_eight"', 'pattern = "figure_eigth"')
    result = run_scenario("live", files={"show.toml": faulty, "ramp.json": RAMP_PACK}, osc_ports=[9100],
                          runs=[["show.toml", "--bpm", "120", "--seconds", "2", "--pack", "ramp.json"]])
    (run,) = result["runs"]
    assert run["rc"] == 1
    assert run["stderr"] == ("kinetrope live: error: show.toml: fixture 'lead': key 'pattern': unknown pattern "
                             "'figure_eigth'; did you mean figure_eight?\n")
    assert result["osc"]["9100"] == []
