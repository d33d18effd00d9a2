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
    """A plain PortAudio input that keeps every block with when it arrived and the latency it stated."""

    def __init__(self, sd) -> None:
        self.blocks: list = []
        self.stream = sd.InputStream(channels=1, samplerate=48000, dtype="float32", callback=self._block)
        self.stream.start()

    def _block(self, data, frames, times, status) -> None:
        self.blocks.append((time.monotonic(), times.currentTime - times.inputBufferAdcTime, data[:, 0].copy()))

    def heard(self, path: str, beats: list[float]) -> tuple[list[float] | None, list[float]]:
        """When each of ``beats`` (seconds of the file at ``path``) was heard, or None if nothing was:
        each beat's samples found in what arrived, and placed on the line of the blocks around them.
        Then when the audio path stalled: from then on everything was heard later, which no clock
        can foresee."""
        import numpy as np
        import soundfile

        self.stream.stop()
        self.stream.close()
        played, _ = soundfile.read(path, dtype="float32")
        starts = np.cumsum([0] + [len(samples) for *_, samples in self.blocks])
        audio = np.concatenate([samples for *_, samples in self.blocks])
        loud, loud_file = np.nonzero(np.abs(audio) > 0.05)[0], np.nonzero(np.abs(played) > 0.05)[0]
        if not len(loud):
            return None, []
        # Where the file's sample 0 arrived, in samples of the recording: placed by the first loud
        # sample, then found again at every beat, as a late cycle of the dummy backend can drop blocks.
        shift = int(loud[0] - loud_file[0])
        # Each block's first sample was heard at least its stated latency before the block arrived: a
        # line of samples over time, late by however long the block waited for the CPU. A late cycle
        # puts every later sample late for good (JACK's own frame time runs slow for seconds after it,
        # so it is not used). With hindsight, a sample's line is the least late of its block and the
        # quarter second after it.
        intercepts = np.array([arrived - latency for arrived, latency, _ in self.blocks]) - starts[:-1] / 48000
        after = 24
        floor = np.array([intercepts[k : k + after].min() for k in range(len(intercepts))])
        heard = []
        for beat in beats:
            at = int(round(beat * 48000))
            shift = _found_again(played, audio, at, shift)
            sample = at + shift
            block = int(np.searchsorted(starts, sample, side="right")) - 1
            if block >= len(self.blocks):
                break
            heard.append(float(floor[block] + sample / 48000))
        stalled = np.nonzero(np.diff(floor) > 0.03)[0] + 1
        return heard, [float(self.blocks[k][0]) for k in stalled]


def _found_again(played, audio, at: int, shift: int, reach: int = 4096) -> int:
    """Where the 100 ms of ``played`` from ``at`` lie in ``audio``, searched ``reach`` samples around
    ``at + shift``: the new shift, or ``shift`` where the match is not clear (a quiet stretch)."""
    import numpy as np

    part = played[max(0, at - 1200) : at + 3600]
    start = max(0, at - 1200 + shift - reach)
    window = audio[start : at - 1200 + shift + reach + len(part)]
    if len(part) < 4800 or len(window) < len(part) or np.linalg.norm(part) < 0.05:
        return shift
    match = np.correlate(window, part, mode="valid")
    energy = np.sqrt(np.convolve(window**2, np.ones(len(part)), mode="valid"))
    score = match / (np.linalg.norm(part) * energy + 1e-9)
    best = int(np.argmax(score))
    if score[best] < 0.9:
        return shift
    return int(start + best - (at - 1200))


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
    truth, stalls = (None, []) if stopped_at is not None else recorder.heard(params["wav"], params.get("beats", [1.0]))
    failure = None if clock.failure is None else str(clock.failure)
    alive = listen_threads()
    clock.close()
    return {"readings": readings, "truth": truth, "stalls": stalls, "failure": failure, "threads_before_close": alive,
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
