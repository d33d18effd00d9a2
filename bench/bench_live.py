"""The live frame loop's CPU share and frame timing, against a plain per-fixture loop, side by side.

    .venv/bin/python bench/bench_live.py [--seconds N]

Two rigs play through sACN for N seconds each (default 10) at 44 frames a
second: 1,000 moving heads of four channels on 8 universes, and an LED
wall of 10,000 points mapped by x and y (four channels each) on 80
universes. Packets go by unicast to a socket of this process on 127.0.0.1
that never reads them (nothing leaves the machine). Each rig runs twice
with the same loop, output and schedule: sampled in one vectorised step,
and by a plain Python loop of ``sample`` and packing per fixture. The CPU
share is process CPU time over wall time. Then the 1,000-fixture rig runs
again while two busy processes load both cores, for the frame timing.
Targets: at most 5 % of a core for 1,000 fixtures, at most 30 % for 10,000.

Last, the largest rig that holds 44 fps on one core: rigs of moving heads
sent over sACN and OSC (in bundles) together, the CPU one frame takes
(sample, map, send) measured over 40 frames, bisected for the most fixtures
whose frame takes at most 80 % of the 22.7 ms interval (the rest is for
the control and terminal threads and the scheduler). ``--largest-only``
runs this part alone. The loop warns at start past the figure kept in
``stage.loop.FIXTURES_AT_44_FPS``.
"""

from __future__ import annotations

import argparse
import socket
import statistics
import subprocess
import sys
import time

import numpy as np

import kinetrope
from kinetrope_tools.clocks import FixedTempo
from kinetrope_tools.stage.loop import Live
from kinetrope_tools.stage.outputs import Frame
from kinetrope_tools.stage.outputs.sacn import SacnOutput
from kinetrope_tools.stage.reports import Reports
from kinetrope_tools.stage.show import parse_show

FPS = 44
PATTERNS = ["figure_eight", "circle", "helix", "lfo_breathe", "beat_house_classic_figure8", "sway", "box_step",
            "path_rose_5"]
PER_UNIVERSE = 125  # 125 fixtures of 4 channels: 500 of a universe's 512


def rig_show(count: int, port: int, osc_port: int | None = None) -> str:
    lines = [f"fps = {FPS}", "[output.sacn]", 'destination = "127.0.0.1"', f"port = {port}"]
    if osc_port is not None:
        lines += ["[output.osc]", f'destination = "127.0.0.1:{osc_port}"']
    for i in range(count):
        lines += ["[[fixture]]", f'name = "p{i}"', f'pattern = "{PATTERNS[i % len(PATTERNS)]}"',
                  f"universe = {1 + i // PER_UNIVERSE}", f"address = {1 + 4 * (i % PER_UNIVERSE)}",
                  f"phase_pips = {(i * 7) % 256}"]
        if i % 3 == 1:
            lines += ["invert_pan = true", "pan_range = 0.8"]
    return "\n".join(lines) + "\n"


class PlainLoop(Live):
    """The same loop and output, each frame sampled and packed fixture by fixture in Python."""

    def __init__(self, *args, **kwargs) -> None:
        super().__init__(*args, **kwargs)
        self._fixtures = [(f.pattern, f.phase_pips, -1.0 if f.invert_pan else 1.0, f.pan_range,
                           self.rig.universes.index(f.universe), f.address - 1) for f in self.show.fixtures]
        self._buffers = [bytearray(512) for _ in self.rig.universes]

    def frame_at(self, due: float) -> Frame:
        pip = self._pip_at(due + self.latency)
        sample = kinetrope.sample
        buffers = self._buffers
        for pattern, phase, sign, pan_range, row, at in self._fixtures:
            x, y, _ = sample(pattern, (pip + phase) % 2**31).as_tuple()
            pan = round((x * sign * pan_range + 1) / 2 * 65535)
            tilt = round((y + 1) / 2 * 65535)
            buffers[row][at:at + 4] = bytes((pan >> 8, pan & 0xFF, tilt >> 8, tilt & 0xFF))
        dmx = np.frombuffer(b"".join(buffers), dtype=np.uint8).reshape(len(buffers), 512)
        return Frame(self.rig.names, np.zeros((len(self.rig.names), 3)), self.rig.universes, dmx)


def play(loop_class: type[Live], count: int, seconds: float) -> dict[str, float]:
    sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sink.bind(("127.0.0.1", 0))  # never read: the kernel drops what overflows
    show = parse_show(rig_show(count, sink.getsockname()[1]), "bench.toml")
    output = SacnOutput(show.outputs["sacn"], show.universes)
    try:
        live = loop_class(show, FixedTempo(124, beat_zero_seconds=time.monotonic()), [output], keep_send_times=True)
        live.frame_at(time.monotonic())  # tables built before the clock starts
        cpu, wall = time.process_time(), time.monotonic()
        stats = live.run(seconds)
        cpu, wall = time.process_time() - cpu, time.monotonic() - wall
    finally:
        output.close()
        sink.close()
    intervals = np.diff(stats.sent_at) * 1000
    return {"share": cpu / wall, "per_frame": cpu / max(stats.frames, 1), "frames": stats.frames, "late": stats.late / max(stats.frames + stats.late, 1),
            "median": float(np.median(intervals)), "p99": float(np.percentile(intervals, 99))}


def timing(result: dict[str, float]) -> str:
    return (f"interval median {result['median']:.2f} ms, p99 {result['p99']:.2f} ms "
            f"(nominal {1000 / FPS:.2f}), late {100 * result['late']:.1f} % of {result['frames']} frames")


def sacn_package_path(universes: int) -> tuple[float, float]:
    """Microseconds a packet, sent to a local socket: the sacn package's own path (set the data, build the
    bytes, send) against this output's (write the data into the kept packets, send)."""
    from sacn.messages.data_packet import DataPacket

    sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sink.bind(("127.0.0.1", 0))
    address = sink.getsockname()
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    data = np.random.default_rng(1).integers(0, 256, size=(universes, 512), dtype=np.uint8)
    packet = DataPacket(cid=tuple(range(16)), sourceName="bench", universe=1)
    output = SacnOutput({"destination": "127.0.0.1", "port": address[1]}, list(range(1, universes + 1)))
    frame = Frame([], np.zeros((0, 3)), list(range(1, universes + 1)), data)
    try:
        started = time.perf_counter()
        for _ in range(5):
            for row in data:
                packet.dmxData = tuple(row.tolist())
                sender.sendto(bytearray(packet.getBytes()), address)
        package = (time.perf_counter() - started) / (5 * universes)
        started = time.perf_counter()
        for _ in range(5):
            output.send(frame)
        ours = (time.perf_counter() - started) / (5 * universes)
    finally:
        output.close()
        sender.close()
        sink.close()
    return package * 1e6, ours * 1e6


def frame_cpu(count: int, frames: int = 40) -> float:
    """CPU seconds one frame of ``count`` fixtures takes, sampled, mapped and sent over sACN and OSC (median)."""
    from kinetrope_tools.stage.outputs import open_outputs

    sinks = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2)]
    for sink in sinks:
        sink.bind(("127.0.0.1", 0))  # never read: the kernel drops what overflows
    show = parse_show(rig_show(count, sinks[0].getsockname()[1], sinks[1].getsockname()[1]), "bench.toml")
    outputs = open_outputs(show.outputs, show.universes, names=[f.name for f in show.fixtures])
    try:
        live = Live(show, FixedTempo(124, beat_zero_seconds=time.monotonic()), outputs, reports=Reports([].append))
        times = []
        for frame in range(frames + 2):
            started = time.process_time()
            built = live.frame_at(time.monotonic())
            for output in outputs:
                output.send(built)
            if frame >= 2:  # the first frames build the outputs' layouts
                times.append(time.process_time() - started)
    finally:
        for output in outputs:
            output.close()
        for sink in sinks:
            sink.close()
    return statistics.median(times)


def largest_rig(share: float = 0.8) -> tuple[int, float]:
    """The most fixtures (to a hundred) whose frame takes at most ``share`` of the interval, and its CPU a frame."""
    budget = share / FPS
    low, high = 1_000, 1_000
    while frame_cpu(high) <= budget:
        low, high = high, high * 2
    while high - low > 100:
        middle = (low + high) // 200 * 100
        if frame_cpu(middle) <= budget:
            low = middle
        else:
            high = middle
    return low, frame_cpu(low)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--largest-only", action="store_true", help="only the largest rig that holds 44 fps")
    options = parser.parse_args()
    seconds = options.seconds
    if options.largest_only:
        print_largest()
        return
    print(f"{FPS} fps through sACN to a local socket, {seconds:g} s a run; CPU share = process CPU / wall time")
    results = {}
    for count, target in [(1_000, 0.05), (10_000, 0.30)]:
        vectorised = play(Live, count, seconds)
        plain = play(PlainLoop, count, seconds)
        results[count] = vectorised
        universes = -(-count // PER_UNIVERSE)
        # A loop that cannot keep up drops frames and so spends less than it would need: compare the
        # CPU a frame takes, times the frame rate.
        full_rate = plain["per_frame"] * FPS
        print(f"{count:6,} fixtures, {universes:2} universes: vectorised {100 * vectorised['share']:5.1f} % of a core "
              f"({1000 * vectorised['per_frame']:.2f} ms a frame) | plain loop {100 * plain['share']:5.1f} % "
              f"({1000 * plain['per_frame']:.2f} ms a frame, {100 * full_rate:.0f} % at the full rate; "
              f"{plain['per_frame'] / vectorised['per_frame']:.1f}x the vectorised CPU a frame) "
              f"| target {100 * target:.0f} %: {'met' if vectorised['share'] <= target else 'NOT met'}")
        print(f"        vectorised: {timing(vectorised)}")
        print(f"        plain loop: {timing(plain)}")
    hogs = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(2)]
    try:
        loaded = play(Live, 1_000, seconds)
    finally:
        for hog in hogs:
            hog.kill()
            hog.wait()
    print(f"frame timing, 1,000 fixtures: idle   {timing(results[1_000])}")
    print(f"                              loaded {timing(loaded)} (two busy processes on two cores)")
    package, ours = sacn_package_path(80)
    print(f"per sACN packet sent: the sacn package's own path {package:.0f} us, this output's {ours:.0f} us")
    print_largest()


def print_largest() -> None:
    from kinetrope_tools.stage.loop import FIXTURES_AT_44_FPS

    count, cpu = largest_rig()
    print(f"largest rig at {FPS} fps on one core (sACN and OSC, a frame within 80 % of {1000 / FPS:.1f} ms): "
          f"{count:,} fixtures, {1000 * cpu:.1f} ms of CPU a frame; the loop warns past {FIXTURES_AT_44_FPS:,}")


if __name__ == "__main__":
    main()
