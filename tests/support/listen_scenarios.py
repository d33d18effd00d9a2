"""Scenarios of a listening clock on a real audio path, each run in a private network namespace.

A scenario starts its own JACK server (the dummy backend: no sound card)
under a server name of its own, opens the clock on PortAudio's JACK input,
plays a WAV file into it with ``jack-play`` connected by ``jack_connect``,
and reads the clock as a show would, every 10 ms. Beside the clock, a plain
PortAudio input records what arrived with its own timestamps: the first loud
sample places the file on the monotonic clock, and with it every true beat.
The last line printed is JSON with what was measured.

    python listen_scenarios.py NAME < JSON-PARAMETERS
"""

from __future__ import annotations

import atexit
import json
import os
import subprocess
import sys
import threading
import time
from namespaces import read_params

SERVER = f"kinetrope-test-{os.getpid()}"
# Set before PortAudio starts: it finds JACK servers by this name, and must never start one itself.
os.environ["JACK_DEFAULT_SERVER"] = SERVER
os.environ["JACK_NO_START_SERVER"] = "1"


def start_server() -> subprocess.Popen:
    """A JACK server, stopped at exit after PortAudio has let go of it (whose exit handler, registered
    later when sounddevice is imported, runs first): PortAudio fails an assertion if its server is gone."""
    server = subprocess.Popen(["jackd", "--realtime", "-d", "dummy", "-r", "48000", "-p", "512"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    waited = subprocess.run(["jack_wait", "-w", "-t", "10"], capture_output=True, text=True)
    if server.poll() is not None or waited.returncode != 0:
        raise RuntimeError(f"jackd did not start: {waited.stdout.strip()} {waited.stderr.strip()}")
    atexit.register(stop, server)
    return server


def stop(process: subprocess.Popen) -> None:
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def listen_threads() -> list[str]:
    return [t.name for t in threading.enumerate() if t.name.startswith("kinetrope")]


class Recorder:
    """A plain PortAudio input that keeps every block with the time its first sample was heard."""

    def __init__(self, sd) -> None:
        self.blocks: list = []
        self.offset: float | None = None
        self.stream = sd.InputStream(channels=1, samplerate=48000, dtype="float32", callback=self._block)
        self.stream.start()

    def _block(self, data, frames, times, status) -> None:
        # PortAudio's JACK timestamps follow the wall clock: one offset maps them onto the monotonic
        # clock, the smallest seen (the callback least delayed).
        offset = time.monotonic() - times.currentTime
        self.offset = offset if self.offset is None else min(self.offset, offset)
        self.blocks.append((times.inputBufferAdcTime, data[:, 0].copy()))

    def heard(self, path: str, beats: list[float]) -> list[float] | None:
        """When each of ``beats`` (seconds of the file at ``path``) was heard, or None if nothing was:
        counted in samples from the first loud one, which places the file in what arrived."""
        import numpy as np
        import soundfile

        self.stream.stop()
        self.stream.close()
        played, _ = soundfile.read(path, dtype="float32")
        starts = np.cumsum([0] + [len(samples) for _, samples in self.blocks])
        times = np.array([adc for adc, _ in self.blocks])
        audio = np.concatenate([samples for _, samples in self.blocks])
        loud, loud_file = np.nonzero(np.abs(audio) > 0.05)[0], np.nonzero(np.abs(played) > 0.05)[0]
        if not len(loud):
            return None
        shift = loud[0] - loud_file[0]  # where the file's sample 0 arrived, in samples of the recording
        heard = []
        for beat in beats:
            sample = int(round(beat * 48000)) + shift
            block = int(np.searchsorted(starts, sample, side="right")) - 1
            if block >= len(self.blocks):
                break
            # The dummy backend's cycles come when the CPU lets them, bunched by tens of milliseconds
            # on a loaded machine, where a sound card's converter keeps its pace: the time of a sample
            # is read off the line through the timestamps of the second around it, as the clock does.
            near = slice(max(0, block - 94), min(len(self.blocks), block + 95))
            fit = np.polyfit(starts[:-1][near], times[near], 1)
            heard.append(float(np.polyval(fit, sample)) + self.offset)
        return heard


def play(path: str) -> subprocess.Popen:
    # A ring buffer of seconds: the player's disk thread is not a real-time one, and a loaded machine
    # must not starve it into gaps.
    player = subprocess.Popen(["jack-play", "-u", "-n", "player", "-b", "131072", path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    inputs = []
    for _ in range(200):
        ports = subprocess.run(["jack_lsp"], capture_output=True, text=True).stdout.split()
        inputs = [p for p in ports if p.startswith("PortAudio") and ":in_" in p]
        if "player:out_1" in ports:
            break
        time.sleep(0.01)
    for port in inputs:
        subprocess.run(["jack_connect", "player:out_1", port], check=True, capture_output=True)
    return player


def follow(params: dict) -> dict:
    server = start_server()
    # Only now: PortAudio lists the JACK server's ports when it starts.
    import sounddevice as sd

    from kinetrope_tools.clocks import ListeningClock

    recorder = Recorder(sd)
    clock = ListeningClock(None)
    player = play(params["wav"])
    readings = []
    end = time.monotonic() + params["seconds"]
    stop_server_at = params.get("stop_server_after")
    stopped_at = None
    while time.monotonic() < end:
        now = time.monotonic()
        if stop_server_at is not None and stopped_at is None and now > end - params["seconds"] + stop_server_at:
            stop(player)
            stop(server)
            stopped_at = time.monotonic()
        readings.append((now, clock.pip_now(), clock.locked, clock.confidence, clock.bpm))
        time.sleep(0.01)
    stop(player)
    # A stream whose server has gone cannot be stopped (PortAudio waits for it, then fails).
    truth = None if stopped_at is not None else recorder.heard(params["wav"], params.get("beats", [1.0]))
    failure = None if clock.failure is None else str(clock.failure)
    alive = listen_threads()
    clock.close()
    return {"readings": readings, "truth": truth, "failure": failure, "threads_before_close": alive,
            "threads_after_close": listen_threads(), "stopped_at": stopped_at, "device": clock.device}


def refused(params: dict) -> dict:
    """Opens a clock as ``params`` say and reports the error (with or without a server)."""
    if params.get("server", True):
        start_server()
    from kinetrope_tools.clocks import ListeningClock, ListeningError

    try:
        ListeningClock(params.get("device"), samplerate=params.get("samplerate"))
    except ListeningError as error:
        return {"error": str(error), "threads": listen_threads()}
    return {"error": None, "threads": listen_threads()}


def command(params: dict) -> dict:
    """Runs ``kinetrope`` with ``params["args"]``; with ``interrupt_after``, sends it SIGINT then."""
    import signal

    server = start_server()
    try:
        process = subprocess.Popen([sys.executable, "-m", "kinetrope_tools.cli", *params["args"]],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if params.get("interrupt_after"):
            time.sleep(params["interrupt_after"])
            process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=30)
        return {"status": process.returncode, "stdout": out, "stderr": err}
    finally:
        stop(server)


if __name__ == "__main__":
    import faulthandler

    faulthandler.dump_traceback_later(90, exit=True)
    name, parameters = read_params()
    result = {"follow": follow, "refused": refused, "command": command}[name](parameters)
    print(json.dumps(result))
