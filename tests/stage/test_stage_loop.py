"""The frame loop on its own: latency, the last frame, and outputs that fail."""

from __future__ import annotations

import statistics
import time

import kinetrope
import pytest

from kinetrope_tools.clocks import FixedTempo
from kinetrope_tools.stage import Live, parse_show
from stage_reference import pip_at

RAMP = kinetrope.PatternLibrary([kinetrope.SampledPattern(
    "ramp", "x climbs evenly over four bars", [[-1 + p / 512, 0.0, 0.0] for p in range(1024)])])
SHOW = """
fps = 50
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


class Recorder:
    """An output that keeps what it is sent, and when."""

    def __init__(self, fail_every: int = 0) -> None:
        self.frames: list[tuple[float, list[float], list[int]]] = []
        self.fail_every = fail_every

    def send(self, frame) -> None:
        self.frames.append((time.monotonic(), frame.offsets[0].tolist(), frame.dmx[0, :5].tolist()))
        if self.fail_every and len(self.frames) % self.fail_every == 0:
            raise OSError("network is unreachable")

    def close(self) -> None:
        pass


def play(on_stop="home", latency=0.0, fail_every=0, seconds=1.0):
    recorder = Recorder(fail_every)
    clock = FixedTempo(120, beat_zero_seconds=time.monotonic())
    live = Live(parse_show(SHOW.format(on_stop=on_stop), "show.toml", RAMP), clock, [recorder], library=RAMP,
                latency_seconds=latency)
    stats = live.run(seconds)
    return recorder.frames, stats, clock


@pytest.mark.parametrize(("on_stop", "last"), [("home", [128, 0, 128, 0, 128]), ("dark", [0, 0, 0, 0, 0])])
def test_the_last_frame_is_home_or_dark_as_the_show_says(on_stop, last):
    frames, stats, _ = play(on_stop, seconds=0.3)
    assert len(frames) == stats.frames + 1
    assert frames[-1][2] == last
    assert frames[-2][2] != last


@pytest.mark.parametrize("latency", [0.0, 0.25])
def test_each_frame_samples_the_pip_its_time_plus_the_latency(latency):
    frames, stats, clock = play(latency=latency)
    lags = []
    for sent, (x, _, _), _ in frames[:-1]:
        pip = round((x + 1) * 512)
        # Sent at or after its time; sampled at its time plus the latency.
        assert pip <= pip_at(sent + latency, clock.bpm, clock.beat_zero_seconds)
        lags.append(sent + latency - clock.seconds_at(pip))
    # Within a pip of its time plus the latency, on a busy machine at least for most frames.
    assert statistics.median(lags) <= 60 / (120 * 64) + 0.005, statistics.median(lags)
    assert stats.frames > 0


def test_an_output_that_fails_loses_its_frames_not_the_show(capsys):
    frames, stats, _ = play(fail_every=3, seconds=0.5)
    assert stats.frames >= 20 and stats.send_errors == len(frames) // 3
    assert capsys.readouterr().err.count("network is unreachable") == 1  # said once, not every frame


def test_the_status_line_shows_tempo_bar_beat_source_frames_and_late_frames():
    from kinetrope_tools.cli.live import _StatusLine

    clock = FixedTempo(128, beat_zero_seconds=time.monotonic())
    live = Live(parse_show(SHOW.format(on_stop="home"), "show.toml", RAMP), clock, [], library=RAMP)
    live.stats.frames, live.stats.late = 1234, 5
    pip = (2 * 4 + 1) * 64 + 10  # bar 3, beat 2 (both counted from 1)
    assert _StatusLine("link", 4).text(live, time.monotonic(), pip).split() == [
        "128.0", "bpm", "3.2", "link", "1234", "frames", "5", "late"]
    assert _StatusLine("link", 3).text(live, time.monotonic(), pip).split()[2] == "4.1"
    live.stats.send_errors = 7
    assert _StatusLine("link", 4).text(live, time.monotonic(), pip).split()[-2:] == ["7", "dropped"]


@pytest.mark.parametrize("kind", ["artnet", "sacn"])
def test_a_dmx_output_whose_sends_are_refused_tells_the_loop(kind, capsys):
    """The kernel refuses a send to the broadcast address from a socket not allowed to broadcast, at
    once and with nothing leaving the machine: each refused frame is counted, and said once."""
    from kinetrope_tools.stage.outputs.artnet import ArtnetOutput
    from kinetrope_tools.stage.outputs.sacn import SacnOutput

    output_class = {"artnet": ArtnetOutput, "sacn": SacnOutput}[kind]
    output = output_class({"destination": "255.255.255.255"}, [1])
    clock = FixedTempo(120, beat_zero_seconds=time.monotonic())
    live = Live(parse_show(SHOW.format(on_stop="home"), "show.toml", RAMP), clock, [output], library=RAMP)
    try:
        stats = live.run(0.3)
    finally:
        output.close()
    printed = capsys.readouterr()
    assert stats.frames > 5 and stats.send_errors == stats.frames + 1  # the home frame too
    assert printed.err.count("frame dropped") == 1 and printed.out == ""
