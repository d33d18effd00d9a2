"""Runs a scenario of tests/stage_scenarios.py in a private network namespace and returns what it measured.

Every packet of a scenario stays inside a network namespace made for it
(``unshare -n``): the scenario brings up its own loopback (and whatever
interfaces it needs), starts the receivers and ``kinetrope live``, and
prints its measurements as JSON on its last line. The test asserts on them.
"""

from __future__ import annotations

import functools
import json
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

SCENARIOS = pathlib.Path(__file__).with_name("stage_scenarios.py")


@functools.cache
def _namespace_problem() -> str | None:
    if os.geteuid() != 0:
        return "a private network namespace (unshare -n) needs root"
    if shutil.which("unshare") is None or shutil.which("ip") is None:
        return "unshare or ip (util-linux, iproute2) is not installed"
    probe = subprocess.run(["unshare", "-n", "true"], capture_output=True, text=True)
    if probe.returncode != 0:
        return f"unshare -n is not permitted here: {probe.stderr.strip()}"
    return None


def run_scenario(name: str, timeout: float = 120, **params: object) -> dict:
    problem = _namespace_problem()
    if problem:
        pytest.skip(problem)
    completed = subprocess.run(
        ["unshare", "-n", sys.executable, str(SCENARIOS), name, "-"],
        input=json.dumps(params), capture_output=True, text=True, timeout=timeout,
    )
    if completed.returncode == 77:  # the scenario found a part missing
        pytest.skip(completed.stdout.strip().splitlines()[-1])
    if completed.returncode != 0:
        pytest.fail(f"scenario {name} failed ({completed.returncode}):\n{completed.stdout}\n{completed.stderr}")
    result: dict = json.loads(completed.stdout.strip().splitlines()[-1])
    return result
