"""Late frames with the operator's page open against none, side by side in one run.

    .venv/bin/python bench/bench_page.py [--seconds N] [--rounds R] [--fixtures F] [--nice N]

One show of F moving heads (default 96, in groups of 12) plays through sACN
to a socket of this process that never reads it, with the page's server
running beside the loop as ``kinetrope live --page`` runs it (in a process
of its own, at nice 10). Rounds alternate, N seconds each (default 10), R
times (default 3):

- none: the server up, no page open;
- two pages: two pages open in headless Chromium (a process of its own),
  drawing every state they get;
- two pages + hostile: the two pages, and another client flooding the
  WebSocket with messages (coming back each time it is cut off) and holding
  1,000 idle connections.

The browser and the attacker run at nice 19 (``--nice``): as if on another
machine, a tablet say, they take only the time the show leaves; ``--nice 0``
puts them on an equal footing with the show, as a browser on the laptop that
plays it. Each round reports frames, late frames (sent more than half an
interval after their time, or skipped), the send interval's median, 99th
percentile and maximum, and the CPU time of the show's own process. Run as
root it runs in a network namespace of its own (``unshare -n``), so nothing
leaves it; otherwise on 127.0.0.1.
"""

from __future__ import annotations

import argparse
import asyncio
import json
import os
import shutil
import socket
import subprocess
import sys
import time

import numpy as np

from kinetrope_tools.clocks import FixedTempo
from kinetrope_tools.stage.loop import Live
from kinetrope_tools.stage.outputs.sacn import SacnOutput
from kinetrope_tools.stage.page import PageServer, PageSettings
from kinetrope_tools.stage.show import parse_show

FPS = 44
PATTERNS = ["figure_eight", "circle", "helix", "sway", "beat_house_classic_figure8", "box_step", "path_rose_5",
            "lfo_breathe"]


def rig_show(count: int, port: int) -> str:
    lines = [f"fps = {FPS}", "[output.sacn]", 'destination = "127.0.0.1"', f"port = {port}"]
    for g in range(-(-count // 12)):
        members = [f"h{i}" for i in range(g * 12, min(count, g * 12 + 12))]
        lines += ["[[group]]", f'name = "g{g}"', f"fixtures = {json.dumps(members)}",
                  f'pattern = "{PATTERNS[g % len(PATTERNS)]}"', "spread = 0.5", "profile = \"pan16_tilt16_dimmer\"",
                  f"position = [-6, {g * 2}]", f"position_end = [6, {g * 2}]"]
    for i in range(count):
        lines += ["[[fixture]]", f'name = "h{i}"', f"universe = {1 + i // 100}", f"address = {1 + 5 * (i % 100)}"]
    return "\n".join(lines) + "\n"


def browse(url: str, pages: int, seconds: float) -> None:
    """The pages, open for ``seconds`` (run in a process of its own)."""
    from playwright.sync_api import sync_playwright

    executable = shutil.which("chromium") or shutil.which("chromium-browser")
    with sync_playwright() as driver:
        browser = driver.chromium.launch(executable_path=executable, args=["--no-sandbox"])
        opened = [browser.new_page(viewport={"width": 1280, "height": 860}) for _ in range(pages)]
        for page in opened:
            page.goto(url)
        print("open", flush=True)
        time.sleep(seconds)
        states = [page.evaluate("window.kinetrope.state ? window.kinetrope.state.number : 0") for page in opened]
        print(json.dumps(states), flush=True)
        browser.close()


def attack(url: str, seconds: float) -> None:
    """A flood of messages on one WebSocket and 1,000 idle connections, for ``seconds``."""
    import aiohttp

    host, port = url.split("//")[1].split("/")[0].rsplit(":", 1)

    async def run() -> None:
        streams = []
        for _ in range(1000):
            try:
                streams.append(await asyncio.open_connection(host, int(port)))
            except OSError:
                break
        async with aiohttp.ClientSession() as session:
            print("open", flush=True)
            sent = cut = 0
            end = time.monotonic() + seconds
            # Floods on, and comes back each time it is cut off.
            while time.monotonic() < end:
                try:
                    ws = await session.ws_connect(url.replace("http", "ws", 1).split("/?")[0].rstrip("/") + "/ws",
                                                  origin=url.split("/?")[0].rstrip("/"))
                    while time.monotonic() < end:
                        await ws.send_str('{"type": "tempo", "by": 0}')
                        sent += 1
                        if sent % 200 == 0:
                            await asyncio.sleep(0)
                except (aiohttp.ClientError, ConnectionError):
                    cut += 1
                    await asyncio.sleep(0)
            print(json.dumps({"sent": sent, "cut off": cut, "idle connections": len(streams)}), flush=True)
        for _, writer in streams:
            writer.close()

    asyncio.run(run())


def helper(kind: str, url: str, seconds: float, nice: int) -> subprocess.Popen[str]:
    process = subprocess.Popen(["nice", "-n", str(nice), sys.executable, __file__, f"--{kind}", url, "--seconds",
                                str(seconds)], stdout=subprocess.PIPE, text=True)
    assert process.stdout is not None
    if process.stdout.readline().strip() != "open":
        process.wait()
        raise RuntimeError(f"the {kind} helper did not start")
    return process


def play(count: int, seconds: float, condition: str, nice: int) -> dict[str, float]:
    sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sink.bind(("127.0.0.1", 0))  # never read: the kernel drops what overflows
    show = parse_show(rig_show(count, sink.getsockname()[1]), "bench.toml")
    output = SacnOutput(show.outputs["sacn"], show.universes)
    clock = FixedTempo(124, beat_zero_seconds=time.monotonic())
    server = PageServer(show, clock=clock, clock_source="fixed", settings=PageSettings(port=0))
    publisher = server.publisher
    helpers = []
    try:
        live = Live(show, clock, [output, publisher], controls=[server], keep_send_times=True)
        publisher.attach(live)
        live.frame_at(time.monotonic())  # tables built before the clock starts
        if condition != "none":
            helpers.append(helper("browse", server.url, seconds + 1, nice))
        if condition == "two pages + hostile":
            helpers.append(helper("attack", server.url, seconds + 1, nice))
        time.sleep(1.0)  # the pages load and settle
        cpu = time.process_time()
        stats = live.run(seconds)
        cpu = time.process_time() - cpu
        notes = [helper.communicate(timeout=60)[0].strip() for helper in helpers]
    finally:
        for process in helpers:
            if process.poll() is None:
                process.kill()
                process.wait()
        server.close()
        output.close()
        sink.close()
    intervals = np.diff(stats.sent_at) * 1000
    return {"frames": stats.frames, "late": stats.late, "median": float(np.median(intervals)),
            "p99": float(np.percentile(intervals, 99)), "max": float(intervals.max()), "cpu": cpu / seconds,
            "notes": "; ".join(notes)}


def in_namespace() -> None:
    """Runs this again in a network namespace of its own when it can, with its loopback up."""
    if os.environ.get("KINETROPE_BENCH_NS") or os.geteuid() != 0 or shutil.which("unshare") is None:
        return
    os.environ["KINETROPE_BENCH_NS"] = "1"
    os.execvp("unshare", ["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$@"', "sh", sys.executable,
                          *sys.argv])


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--fixtures", type=int, default=96)
    parser.add_argument("--nice", type=int, default=19,
                        help="the browser's and the attacker's niceness: 19 stands for another machine (default), "
                             "0 for this one")
    parser.add_argument("--browse", metavar="URL", help=argparse.SUPPRESS)
    parser.add_argument("--attack", metavar="URL", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.browse:
        return browse(args.browse, 2, args.seconds)
    if args.attack:
        return attack(args.attack, args.seconds)
    in_namespace()
    where = "in a network namespace of its own" if os.environ.get("KINETROPE_BENCH_NS") else "on 127.0.0.1"
    print(f"{args.fixtures} heads at {FPS} fps through sACN, {args.seconds:g} s a round, {where}; "
          f"{os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}; browser and attacker at nice {args.nice}")
    totals: dict[str, list[int]] = {}
    for round_number in range(1, args.rounds + 1):
        for condition in ("none", "two pages", "two pages + hostile"):
            result = play(args.fixtures, args.seconds, condition, args.nice)
            total = totals.setdefault(condition, [0, 0])
            total[0] += result["frames"]
            total[1] += result["late"]
            print(f"round {round_number}  {condition:20} {result['frames']:5} frames  {result['late']:4} late  "
                  f"interval median {result['median']:.2f} ms  p99 {result['p99']:.2f}  max {result['max']:.1f}  "
                  f"process CPU {100 * result['cpu']:.0f} % of a core  {result['notes']}", flush=True)
    for condition, (frames, late) in totals.items():
        print(f"total  {condition:20} {late} late of {frames + late} frames due ({100 * late / (frames + late):.2f} %)")


if __name__ == "__main__":
    main()
