"""Two Link peers in one private network namespace, for test_music_link.

``driver`` is started inside the namespace: it joins with one LinkClock,
starts a ``follower`` (this script again) with another, changes the tempo from
each side, and prints what it measured as JSON. The follower answers one
command a line on stdin: ``peers``, ``set BPM``, ``wait BPM``, ``pip SECONDS``.
"""

from __future__ import annotations

import json
import subprocess
import sys
import time

from kinetrope_tools.clocks import LinkClock

QUANTUM = 4
BAR = 64 * QUANTUM


def wait_for(condition, timeout: float, step: float = 0.0005) -> float:
    """Polls ``condition`` until it holds; the monotonic time it first held (raises after ``timeout``)."""
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise TimeoutError("condition not met in time")
        time.sleep(step)
    return time.monotonic()


def follower() -> None:
    with LinkClock(100.0, quantum=QUANTUM) as clock:
        for line in sys.stdin:
            command, *argument = line.split()
            if command == "peers":
                answer: object = clock.peers
            elif command == "set":
                started = time.monotonic()
                clock.set_bpm(float(argument[0]))
                answer = started
            elif command == "wait":
                answer = wait_for(lambda: abs(clock.bpm - float(argument[0])) < 0.01, 10.0)
            elif command == "pip":
                answer = clock.pip_at(float(argument[0]))
            else:
                break
            print(json.dumps(answer), flush=True)


def driver() -> None:
    peer = subprocess.Popen([sys.executable, __file__, "follower"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True)

    def ask(command: str) -> object:
        assert peer.stdin and peer.stdout
        peer.stdin.write(command + "\n")
        peer.stdin.flush()
        return json.loads(peer.stdout.readline())

    def disagreement(clock: LinkClock) -> list[int]:
        """Pip differences (modulo a bar) between the peers, now and over the next beats."""
        now = time.monotonic()
        differences = []
        for ahead in (0.0, 0.1, 0.37, 0.8, 1.5):
            mine, theirs = clock.pip_at(now + ahead), ask(f"pip {now + ahead!r}")
            differences.append((mine - theirs + BAR // 2) % BAR - BAR // 2)
        return differences

    result: dict[str, object] = {}
    try:
        with LinkClock(120.0, quantum=QUANTUM) as clock:
            joined = time.monotonic()
            wait_for(lambda: clock.peers >= 1 and ask("peers") >= 1, 30.0, 0.05)
            result["join_seconds"] = time.monotonic() - joined
            wait_for(lambda: abs(clock.bpm - 120.0) < 0.01 or abs(clock.bpm - 100.0) < 0.01, 10.0)
            time.sleep(0.5)
            result["joined_bpm"] = clock.bpm
            result["joined_differences"] = disagreement(clock)

            started = ask("set 137")
            seen = wait_for(lambda: abs(clock.bpm - 137.0) < 0.01, 10.0)
            result["follow_seconds_137"] = seen - started
            result["differences_137"] = disagreement(clock)

            started = time.monotonic()
            clock.set_bpm(90.0)
            result["follow_seconds_90"] = ask("wait 90") - started
            result["differences_90"] = disagreement(clock)
            result["bpm_90"] = clock.bpm
    finally:
        if peer.stdin:
            peer.stdin.write("quit\n")
            peer.stdin.close()
        peer.wait(20)
    print(json.dumps(result))


if __name__ == "__main__":
    {"driver": driver, "follower": follower}[sys.argv[1]]()
