"""The frame loop on its own: latency, the last frame, outputs that fail, clocks that fail, and stopping."""

from __future__ import annotations

import dataclasses
import math
import statistics
import threading
import time

import kinetrope
import pytest

from kinetrope_tools.clocks import FixedTempo
from kinetrope_tools.stage import Live, parse_show
from kinetrope_tools.stage import control
from kinetrope_tools.stage.reports import Reports
from stage_reference import pip_at

RAMP = kinetrope.PatternLibrary([kinetrope.SampledPattern(
    "ramp", "x climbs evenly over four bars", [[-1 + p / 512, 0.0, 0.0] for p in range(1024)])])
SHOW = """
fps = {fps}
on_stop = "{on_stop}"
[output.osc]
destination = "127.0.0.1:9"
[[fixture]]
name = "a"
pattern = "ramp"
profile = "pan16_tilt16_dimmer"
universe = 1
address = 1
"""
HOME = [128, 0, 128, 0, 128]


class Recorder:
    """An output that keeps what it is sent, and when; it may fail every n-th frame, or be slow."""

    name = "recorder"

    def __init__(self, fail_every: int = 0, slow_seconds: float = 0.0) -> None:
        self.frames: list[tuple[float, list[float], list[int]]] = []
        self.fail_every = fail_every
        self.slow_seconds = slow_seconds

    def send(self, frame) -> None:
        self.frames.append((time.monotonic(), frame.offsets[0].tolist(), frame.dmx[0, :5].tolist()))
        time.sleep(self.slow_seconds)
        if self.fail_every and len(self.frames) % self.fail_every == 0:
            raise OSError("network is unreachable")

    def close(self) -> None:
        pass


def live_of(recorder, clock=None, *, on_stop="home", fps=50, said=None, **options):
    clock = clock or FixedTempo(120, beat_zero_seconds=time.monotonic())
    reports = Reports((said if said is not None else []).append)
    show = parse_show(SHOW.format(on_stop=on_stop, fps=fps), "show.toml", RAMP)
    return Live(show, clock, [recorder], library=RAMP, reports=reports, **options)


def play(on_stop="home", latency=0.0, fail_every=0, seconds=1.0):
    recorder = Recorder(fail_every)
    clock = FixedTempo(120, beat_zero_seconds=time.monotonic())
    said: list[str] = []
    stats = live_of(recorder, clock, on_stop=on_stop, said=said, latency_seconds=latency).run(seconds)
    return recorder.frames, stats, clock, said


@pytest.mark.parametrize(("on_stop", "blackout", "last"), [
    ("home", False, HOME),
    ("dark", False, [0, 0, 0, 0, 0]),
    ("home", True, [128, 0, 128, 0, 0]),  # what is dark stays dark on the way out
    ("dark", True, [0, 0, 0, 0, 0]),
], ids=["home", "dark", "home-after-blackout", "dark-after-blackout"])
def test_the_last_frame_is_home_or_dark_as_the_show_says(on_stop, blackout, last):
    recorder = Recorder()
    live = live_of(recorder, on_stop=on_stop)
    live.apply(control.Blackout(blackout), time.monotonic())
    stats = live.run(0.3)
    assert len(recorder.frames) == stats.frames + 1
    assert recorder.frames[-1][2] == last
    assert recorder.frames[-2][2] != last
    assert recorder.frames[-2][2][4] == (0 if blackout else recorder.frames[-2][2][4])


@pytest.mark.parametrize("latency", [0.0, 0.25])
def test_each_frame_samples_the_pip_its_time_plus_the_latency(latency):
    frames, stats, clock, _ = play(latency=latency)
    lags = []
    for sent, (x, _, _), _ in frames[:-1]:
        pip = round((x + 1) * 512)
        # Sent at or after its time; sampled at its time plus the latency.
        assert pip <= pip_at(sent + latency, clock.bpm, clock.beat_zero_seconds)
        lags.append(sent + latency - clock.seconds_at(pip))
    # Within a pip of its time plus the latency, on a busy machine at least for most frames.
    assert statistics.median(lags) <= 60 / (120 * 64) + 0.005, statistics.median(lags)
    assert stats.frames > 0


def test_an_output_that_fails_loses_its_frames_not_the_show():
    frames, stats, _, said = play(fail_every=3, seconds=0.5)
    assert stats.frames >= 20 and stats.send_errors == len(frames) // 3
    assert said == ["recorder: network is unreachable (frame dropped)"]  # said once, not every frame


def test_an_output_that_drops_every_frame_is_said_to_once():
    said: list[str] = []
    stats = live_of(Recorder(fail_every=1), fps=50, said=said).run(0.6)
    assert stats.send_errors == stats.frames + 1
    assert said == ["recorder: network is unreachable (frame dropped)",
                    "recorder: every frame is being dropped (network is unreachable)"]


@pytest.mark.parametrize(("fps", "seconds", "frames"), [(50, 0.3, 15), (1, 0.2, 1), (1, 1.5, 2)])
def test_a_run_of_some_seconds_sends_the_frames_due_in_them(fps, seconds, frames):
    recorder = Recorder()
    stats = live_of(recorder, fps=fps).run(seconds)
    assert stats.frames + stats.late >= frames and stats.frames <= frames and len(recorder.frames) == stats.frames + 1


def test_the_late_count_leaves_out_frames_due_after_the_end():
    """An output that takes 0.5 s over the first frame of a 0.2 s run at 50 fps: of the 10 frames due,
    the first went out late and the other 9 were skipped; nothing due after 0.2 s counts."""
    recorder = Recorder(slow_seconds=0.5)
    stats = live_of(recorder, fps=50).run(0.2)
    assert stats.frames == 1 and stats.late == 10


class StopWatch:
    """Stops a run from another thread after ``after`` seconds, and times how long the run took to end."""

    def __init__(self, live: Live, after: float) -> None:
        self.asked_at = math.nan
        self.timer = threading.Timer(after, self._stop, args=(live,))

    def _stop(self, live: Live) -> None:
        self.asked_at = time.monotonic()
        live.stop()


@pytest.mark.parametrize("fps", [1e-300, 0.001, 0.01, 1001.0, math.nan], ids=["1e-300", "0.001", "0.01", "1001", "nan"])
def test_a_frame_rate_outside_the_show_files_range_is_refused(fps):
    show = parse_show(SHOW.format(on_stop="home", fps=50), "show.toml", RAMP)
    with pytest.raises(ValueError, match="fps must be a number from 1 to 1000"):
        Live(show, FixedTempo(120), [Recorder()], library=RAMP, fps=fps)


@pytest.mark.parametrize("fps", [1.0, 1.5, 1000.0], ids=["1", "1.5", "1000"])
def test_a_stop_ends_the_run_on_its_home_frame_within_a_second_at_any_frame_rate(fps):
    recorder = Recorder()
    live = live_of(recorder, fps=fps)
    watch = StopWatch(live, 0.3)
    watch.timer.start()
    live.run()
    ended = time.monotonic()
    assert ended - watch.asked_at < 1.0
    assert recorder.frames[-1][2] == HOME and len(recorder.frames) >= 2


class BrokenClock(FixedTempo):
    """A fixed tempo that, from a given moment, answers as a clock fed a tempo that is no number would."""

    def __init__(self, fault: str, from_seconds: float) -> None:
        super().__init__(120, beat_zero_seconds=time.monotonic())
        self.fault, self.from_seconds = fault, from_seconds

    def pip_at(self, seconds: float):
        if seconds < self.from_seconds:
            return super().pip_at(seconds)
        if self.fault == "overflow":
            raise OverflowError("cannot convert float infinity to integer")
        if self.fault == "nan-pip":
            return math.nan
        if self.fault == "huge-pip":
            return 2**40
        raise ZeroDivisionError("float division by zero")

    def bpm_at(self, seconds: float) -> float:
        return math.nan if seconds >= self.from_seconds else super().bpm_at(seconds)


@pytest.mark.parametrize("fault", ["overflow", "nan-pip", "huge-pip", "zero-division"])
def test_a_clock_with_no_pip_to_give_holds_the_last_good_pip(fault):
    recorder = Recorder()
    live = live_of(recorder, BrokenClock(fault, time.monotonic() + 0.2))
    stats = live.run(0.8)  # the fault's frames are most of the run, so a loaded machine still sends several
    assert stats.frames >= 10
    held = [x for _, (x, _, _), _ in recorder.frames[:-1] if True]
    assert held[-1] == held[-2] == held[-3]  # the last good pip, held
    assert math.isfinite(live.bpm) and live.bpm == 120.0


class SlowSession(FixedTempo):
    """A clock that holds a session: setting its tempo waits until the session answers."""

    def __init__(self) -> None:
        super().__init__(120, beat_zero_seconds=time.monotonic())
        self.answer = threading.Event()
        self.asked: list[float] = []

    def set_bpm(self, bpm: float) -> None:
        self.answer.wait(5)
        self.asked.append(bpm)
        super().set_bpm(bpm)

    def close(self) -> None:
        pass


def test_a_flood_of_tempos_for_a_clock_that_waits_never_holds_the_loop():
    clock = SlowSession()
    live = live_of(Recorder(), clock)
    started = time.monotonic()
    for bpm in range(60, 160):
        live.apply(control.Tempo(float(bpm)), time.monotonic())
    handed_over = time.monotonic() - started
    clock.answer.set()
    live.run(0.2)
    assert handed_over < 1.0  # the clock would have waited 5 s for each
    assert clock.asked[-1] == 159.0 and len(clock.asked) < 100  # the latest wins


class TapsThatFail(FixedTempo):
    def tap(self, at_seconds=None) -> float:
        raise ZeroDivisionError("float division by zero")


def test_no_control_command_ends_the_show():
    said: list[str] = []
    recorder = Recorder()
    live = live_of(recorder, TapsThatFail(120, beat_zero_seconds=time.monotonic()), said=said)
    for _ in range(10):
        live.apply(control.Tap(time.monotonic()), time.monotonic())
    stats = live.run(0.2)
    assert stats.frames >= 5 and recorder.frames[-1][2] == HOME
    assert said[0].startswith("control: Tap(") and "unexpected ZeroDivisionError" in said[0]
    assert len(said) == 4 and said[-1].endswith("… and 7 more like it in the last second")


def test_a_storm_of_pattern_changes_lands_on_the_last_one_with_the_table_grown_once(monkeypatch):
    from kinetrope_tools.stage.rig import Rig

    names = [entry["name"] for entry in kinetrope.catalogue()]
    changes = []
    original = Rig.change
    monkeypatch.setattr(Rig, "change", lambda rig, *args: (changes.append(args), original(rig, *args))[1])
    recorder = Recorder()

    def until_the_last_lands(live, now, pip):
        if live.rig.pattern == [names[-1]]:
            live.stop()

    live = live_of(recorder, status=until_the_last_lands)
    for name in names:
        live.apply(control.PatternChange("a", name, 0.0), time.monotonic())
    stats = live.run(30)
    # Sampled off the loop and handed over as they are ready: of those ready at once only the last
    # reaches the rig, so its table grows at most once a frame, not once a change.
    assert changes[-1][:2] == ("a", names[-1]) and live.rig.pattern == [names[-1]]
    assert len(changes) <= stats.frames


def test_a_show_past_what_one_core_keeps_up_with_is_told_so(monkeypatch):
    from kinetrope_tools.stage import loop

    monkeypatch.setattr(loop, "FIXTURES_AT_44_FPS", 0.5)
    said: list[str] = []
    live_of(Recorder(), fps=44, said=said).run(0.05)
    assert said == ["1 fixtures at 44 fps is more than one core keeps up with (about 0): expect late frames"]


def test_the_status_line_shows_tempo_bar_beat_source_frames_and_late_frames():
    from kinetrope_tools.cli.live import StatusLine

    live = live_of(Recorder(), FixedTempo(128, beat_zero_seconds=time.monotonic()))
    live.frame_at(time.monotonic())
    live.stats.frames, live.stats.late = 1234, 5
    pip = (2 * 4 + 1) * 64 + 10  # bar 3, beat 2 (both counted from 1)
    assert StatusLine("link", 4).text(live, time.monotonic(), pip).split() == [
        "128.0", "bpm", "3.2", "link", "1234", "frames", "5", "late"]
    assert StatusLine("link", 3).text(live, time.monotonic(), pip).split()[2] == "4.1"
    live.stats.send_errors = 7
    assert StatusLine("link", 4).text(live, time.monotonic(), pip).split()[-2:] == ["7", "dropped"]


@pytest.mark.parametrize("kind", ["artnet", "sacn"])
def test_a_dmx_output_whose_sends_are_refused_tells_the_loop(kind):
    """The kernel refuses a send to the broadcast address from a socket not allowed to broadcast, at
    once and with nothing leaving the machine: each refused frame is counted, and said once."""
    from kinetrope_tools.stage.outputs.artnet import ArtnetOutput
    from kinetrope_tools.stage.outputs.sacn import SacnOutput

    output_class = {"artnet": ArtnetOutput, "sacn": SacnOutput}[kind]
    output = output_class({"destination": "255.255.255.255"}, [1])
    said: list[str] = []
    try:
        stats = live_of(output, said=said).run(0.6)
    finally:
        output.close()
    assert stats.frames > 5 and stats.send_errors == stats.frames + 1  # the home frame too
    assert [line.endswith("(frame dropped)") for line in said] == [True, False]


def test_an_sacn_output_for_a_show_of_osc_points_only_sends_nothing():
    from kinetrope_tools.stage.outputs.sacn import SacnOutput

    # A show file refuses this; a show put together in Python can still hold it.
    heads = parse_show('[output.sacn]\n[[fixture]]\nname = "h"\npattern = "ramp"\nuniverse = 1\naddress = 1\n',
                       "show.toml", RAMP)
    points = parse_show('[output.osc]\ndestination = "127.0.0.1:9"\n[[fixture]]\nname = "p"\npattern = "ramp"\n',
                        "show.toml", RAMP)
    points = dataclasses.replace(points, outputs={**points.outputs, "sacn": heads.outputs["sacn"]})
    output = SacnOutput(points.outputs["sacn"], points.universes)
    said: list[str] = []
    try:
        stats = Live(points, FixedTempo(120), [output], library=RAMP, reports=Reports(said.append)).run(0.2)
    finally:
        output.close()
    assert stats.frames >= 5 and stats.send_errors == 0 and said == []


class EndOfPips(FixedTempo):
    """A fixed tempo whose pips, from a given moment, pass the 32-bit range (a clock run for weeks at 999 bpm)."""

    def __init__(self, from_seconds: float) -> None:
        super().__init__(120, beat_zero_seconds=time.monotonic())
        self.from_seconds = from_seconds

    def pip_at(self, seconds: float):
        if seconds >= self.from_seconds:
            raise ValueError(f"{seconds} s is outside the 32-bit pip range")
        return super().pip_at(seconds)


def test_a_clock_past_the_end_of_its_pips_is_said_once_and_the_show_holds():
    said: list[str] = []
    recorder = Recorder()
    stats = live_of(recorder, EndOfPips(time.monotonic() + 0.2), said=said).run(0.6)
    assert stats.frames >= 20
    assert len(said) == 1 and said[0].startswith("the clock has no pip for this time (") and "32-bit" in said[0]
