"""Scenarios for the stage tests, each run by tests/support/namespaces.py in a network namespace of its own.

    python stage_scenarios.py live < PARAMS_JSON

brings up loopback (and, for olad, an interface of its own at 127.0.1.1),
starts what PARAMS asks for (olad with its ports patched, OSC receivers,
one or more ``kinetrope live`` processes, control messages at given times,
reads of olad's universes) and prints what it saw as one JSON line. Exit
status 77 with a reason on the last line: a part is missing (skip).
"""

from __future__ import annotations

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
from typing import Any
from namespaces import read_params


def sh(*command: str) -> None:
    subprocess.run(command, check=True, capture_output=True)


def missing(reason: str) -> None:
    print(reason)
    sys.exit(77)


class Olad:
    """olad on an interface of its own (it ignores loopback), as the olad user, with a private configuration."""

    def __init__(self, folder: str) -> None:
        if shutil.which("olad") is None:
            missing("olad is not installed (Debian package ola)")
        sh("ip", "link", "add", "kt0", "type", "veth", "peer", "name", "kt1")
        sh("ip", "addr", "add", "127.0.1.1/32", "dev", "kt0")
        sh("ip", "link", "set", "kt1", "up")
        sh("ip", "link", "set", "kt0", "up")
        self.config = os.path.join(folder, "olad")
        os.mkdir(self.config)
        os.chmod(folder, 0o777)
        os.chmod(self.config, 0o777)
        self.log = open(os.path.join(folder, "olad.log"), "wb")
        self.process = subprocess.Popen(["runuser", "-u", "olad", "--", "olad", "-c", self.config],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 30
        while True:
            info = subprocess.run(["ola_dev_info"], capture_output=True, text=True)
            if info.returncode == 0 and "E1.31" in info.stdout and "ArtNet" in info.stdout:
                break
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.stop()
                raise RuntimeError(f"olad did not come up: {info.stdout} {info.stderr}")
            time.sleep(0.2)
        self.devices = {m.group(2): int(m.group(1)) for m in re.finditer(r"Device (\d+): (\S+)", info.stdout)}

    def patch(self, device: str, port: int, universe: int) -> None:
        sh("ola_patch", "-d", str(self.devices[device]), "-p", str(port), "-i", "-u", str(universe))

    def read(self, universe: int) -> list[int]:
        with urllib.request.urlopen(f"http://127.0.0.1:9090/get_dmx?u={universe}", timeout=5) as answer:
            return json.load(answer)["dmx"]

    def stop(self) -> None:
        self.process.terminate()  # by its own process id
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()


def osc_receiver(port: int, log: list[list[Any]]):
    from pythonosc.dispatcher import Dispatcher
    from pythonosc.osc_server import BlockingOSCUDPServer

    def record(address: str, *args: Any) -> None:
        log.append([time.monotonic(), address, list(args)])

    dispatcher = Dispatcher()
    dispatcher.set_default_handler(record)
    # One datagram after another, so the log keeps the order they were sent in.
    server = BlockingOSCUDPServer(("127.0.0.1", port), dispatcher)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def live(params: dict[str, Any]) -> dict[str, Any]:
    sh("ip", "link", "set", "lo", "up")
    sh("ip", "route", "add", "224.0.0.0/4", "dev", "lo")
    folder = tempfile.mkdtemp(prefix="kinetrope-stage-")
    olad = None
    servers = []
    terminal = None
    keyboard = None
    processes: list[subprocess.Popen[str]] = []
    result: dict[str, Any] = {"osc": {}, "reads": [], "final": {}, "runs": []}
    try:
        for name, text in params.get("files", {}).items():
            with open(os.path.join(folder, name), "w") as file:
                file.write(text)
        if params.get("olad"):
            olad = Olad(folder)
            for device, port, universe in params["olad"]:
                olad.patch(device, port, universe)
        for port in params.get("osc_ports", []):
            log: list[list[Any]] = []
            result["osc"][str(port)] = log
            servers.append(osc_receiver(port, log))
        for args in params["runs"]:
            command = [sys.executable, "-m", "kinetrope_tools.cli", "live", *args]
            if params.get("stderr") == "stopped_terminal":
                # stderr a terminal whose output the operator stopped (Ctrl-S) once the show had begun.
                import pty

                terminal, tty = pty.openpty()
                processes.append(subprocess.Popen(command, cwd=folder, stdout=subprocess.PIPE, stderr=tty, text=True))
                os.close(tty)
            elif params.get("stdin") == "vanishing_terminal":
                # stdin a terminal (the space bar taps) that is closed while the show runs.
                import pty

                keyboard, tty = pty.openpty()
                processes.append(subprocess.Popen(command, cwd=folder, stdin=tty, stdout=subprocess.PIPE,
                                                  stderr=subprocess.PIPE, text=True))
                os.close(tty)
            else:
                processes.append(subprocess.Popen(command, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                                  text=True))
        started = time.monotonic()
        result["started"] = started
        # Each run names its clock on its first line; a fixed clock gives the moment of beat 0.
        if terminal is not None:
            first = b""
            while not first.endswith(b"\n"):
                first += os.read(terminal, 1)
            first_lines = [first.decode()]
            os.write(terminal, b"\x13")  # Ctrl-S typed: the terminal stops the program's output
        else:
            first_lines = [process.stderr.readline() for process in processes]
        result["first_lines"] = first_lines
        if keyboard is not None:
            os.write(keyboard, b"  ")  # two taps
            time.sleep(1.0)
            os.close(keyboard)
            keyboard = None
        found = re.search(r"FixedTempo\(bpm=([\d.]+), beat_zero_seconds=([\d.e+-]+)\)", first_lines[0])
        if params.get("controls"):
            from pythonosc.udp_client import SimpleUDPClient

            for when, port, address, args, *count in params["controls"]:
                if "beat" in when:
                    assert found, first_lines[0]
                    moment = float(found.group(2)) + when["beat"] * 60.0 / float(found.group(1))
                else:
                    moment = started + when["after"]
                time.sleep(max(0.0, moment - time.monotonic()))
                if address == "SHELL":  # a change to the namespace's network while the show runs
                    sh(*args)
                    result.setdefault("controls_sent", []).append(time.monotonic())
                    continue
                client = SimpleUDPClient("127.0.0.1", port)
                for _ in range(count[0] if count else 1):
                    if address == "RAW":  # bytes as they are: no OSC, or OSC built by hand
                        client._sock.sendto(bytes.fromhex(args), ("127.0.0.1", port))
                    else:
                        client.send_message(address, args)
                result.setdefault("controls_sent", []).append(time.monotonic())
        if olad is not None and params.get("reads"):
            time.sleep(max(0.0, started + params.get("read_after", 2.0) - time.monotonic()))
            for _ in range(params["reads"]):
                for universe in params["read_universes"]:
                    before = time.monotonic()
                    values = olad.read(universe)
                    result["reads"].append([before, time.monotonic(), universe, values])
                time.sleep(params.get("read_every", 0.1))
        for process in processes:
            signalled = None
            if params.get("stop_after") is not None:
                time.sleep(max(0.0, started + params["stop_after"] - time.monotonic()))
                signalled = time.monotonic()
                process.send_signal(getattr(signal, params.get("stop_signal", "SIGTERM")))
            out, err = process.communicate(timeout=params.get("timeout", 60))
            result["runs"].append({"rc": process.returncode, "stdout": out,
                                   "stderr": first_lines[len(result["runs"])] + (err or ""),
                                   "signalled": signalled, "ended": time.monotonic()})
        if olad is not None:
            time.sleep(0.3)
            for universe in params.get("read_universes", []):
                result["final"][str(universe)] = olad.read(universe)
    finally:
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        for server in servers:
            server.shutdown()
            server.server_close()
        for left_open in (terminal, keyboard):
            if left_open is not None:
                os.close(left_open)
        if olad is not None:
            olad.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return result


if __name__ == "__main__":
    scenario, params = read_params()
    print(json.dumps({"live": live}[scenario](params)))
