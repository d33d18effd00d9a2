"""Link: two peers in a private network namespace that has nothing but loopback.

Link finds its peers by multicast on every interface, so it runs only in a
namespace of its own (``unshare -n``, as root), never in this test process.
"""

from __future__ import annotations

import importlib.util
import math
import json
import os
import pathlib
import shutil
import subprocess
import sys
import time
import types

import pytest

from kinetrope_tools.clocks import LinkClock

PEERS = pathlib.Path(__file__).parents[1] / "support" / "link_peer.py"
NAMESPACE = "ip link set lo up && ip route add 224.0.0.0/4 dev lo && exec \"$0\" \"$@\""


def namespace_refusal() -> str | None:
    if os.geteuid() != 0:
        return "a private network namespace needs root"
    if shutil.which("unshare") is None or shutil.which("ip") is None:
        return "unshare and ip (util-linux, iproute2) are needed for a private network namespace"
    probe = subprocess.run(["unshare", "-n", "sh", "-c", NAMESPACE, "true"], capture_output=True, timeout=30)
    if probe.returncode != 0:
        return f"no private network namespace here: {probe.stderr.decode(errors='replace').strip()}"
    return None


def run_in_namespace(*args: str) -> subprocess.CompletedProcess[str]:
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    return subprocess.run(["unshare", "-n", "sh", "-c", NAMESPACE, sys.executable, *args],
                          capture_output=True, text=True, timeout=180, env=environment)


@pytest.fixture(scope="module")
def session() -> dict[str, object]:
    if importlib.util.find_spec("aalink") is None:  # looked up, not imported: Link starts only in the namespace
        pytest.skip("the optional link extra (aalink) is not installed")
    refusal = namespace_refusal()
    if refusal:
        pytest.skip(refusal)
    done = run_in_namespace(str(PEERS), "driver")
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout.splitlines()[-1])


def test_two_peers_join_and_share_tempo_and_phase(session):
    assert session["joined_bpm"] in (100.0, 120.0)  # one peer's tempo becomes the session's
    assert all(abs(d) <= 1 for d in session["joined_differences"]), session


@pytest.mark.parametrize(("bpm", "who"), [(137, "the other peer"), (90, "this peer")], ids=["from-other", "from-self"])
def test_a_tempo_change_is_followed_within_a_beat_and_the_pips_agree(session, bpm, who):
    assert session[f"follow_seconds_{bpm}"] < 60.0 / bpm, f"a change by {who} took {session[f'follow_seconds_{bpm}']} s"
    assert all(abs(d) <= 1 for d in session[f"differences_{bpm}"]), session


@pytest.mark.parametrize(("arguments", "message"), [
    ({"quantum": 0}, "quantum"),
    ({"quantum": 4.0}, "quantum"),
    ({"quantum": True}, "quantum"),
    ({"bpm": 10.0}, "a tempo is from 20 to 999 beats a minute, not 10"),
    ({"bpm": float("nan")}, "a tempo is from 20 to 999 beats a minute, not nan"),
], ids=["quantum-zero", "quantum-float", "quantum-bool", "bpm-too-slow", "bpm-nan"])
def test_bad_arguments_are_refused_before_joining(arguments, message):
    with pytest.raises(ValueError, match=message):
        LinkClock(**arguments)


def test_without_the_link_extra_the_error_says_how_to_install_it(monkeypatch):
    monkeypatch.setitem(sys.modules, "aalink", None)  # as if it were not installed
    with pytest.raises(ImportError, match=r"pip install 'kinetrope\[link\]'"):
        LinkClock()


class _Session:
    """Stands in for aalink's Link: a session whose tempo and beat the test sets, read by the clock's thread."""

    opening: dict[str, float] = {}  # what the session reports from the first reading on

    def __init__(self, bpm, loop):
        self.tempo, self.beat, self.quantum, self.enabled, self.reads = bpm, 0.0, 4, False, 0
        for name, value in self.opening.items():
            setattr(self, name, value)

    @property
    def num_peers(self):  # read once a reading: counts them
        self.reads += 1
        return 1


@pytest.fixture
def sessions(monkeypatch):
    """LinkClock over a session in this process: no network, no Link, only what the session reports."""
    made = []

    def link(bpm, loop):
        made.append(_Session(bpm, loop))
        return made[-1]

    monkeypatch.setitem(sys.modules, "aalink", types.SimpleNamespace(Link=link))
    return made


def _wait_for_readings(session, count):
    start, deadline = session.reads, time.monotonic() + 10.0
    while session.reads < start + count and time.monotonic() < deadline:
        time.sleep(0.005)


NOT_TEMPI = {"nan-tempo": {"tempo": math.nan}, "inf-tempo": {"tempo": math.inf}, "zero-tempo": {"tempo": 0.0},
             "tempo-1e300": {"tempo": 1e300}, "nan-beat": {"beat": math.nan}, "inf-beat": {"beat": -math.inf}}


@pytest.mark.parametrize("reading", NOT_TEMPI.values(), ids=NOT_TEMPI.keys())
def test_a_session_that_reports_no_tempo_never_reaches_a_pip(sessions, monkeypatch, reading):
    monkeypatch.setattr(_Session, "opening", reading)
    with LinkClock(128.0) as clock:  # from the first reading on: the tempo this peer brought
        now = time.monotonic()
        assert clock.bpm == 128.0 and clock.pip_at(now + 0.5) - clock.pip_at(now) in (68, 69)
    monkeypatch.setattr(_Session, "opening", {})
    with LinkClock(100.0) as clock:  # after good readings: on along the last good one
        session = sessions[-1]
        session.tempo, session.beat = 140.0, 8.0
        _wait_for_readings(session, 3)
        assert clock.bpm == 140.0
        for name, value in reading.items():
            setattr(session, name, value)
        _wait_for_readings(session, 3)
        now = time.monotonic()
        pips = [clock.pip_at(now + k * 0.1) for k in range(6)]
        assert clock.bpm == clock.bpm_at(now) == 140.0
        assert all(b - a in (14, 15) for a, b in zip(pips, pips[1:]))  # 14.9 pips each 0.1 s
