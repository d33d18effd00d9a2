"""Runs a scenario script in a private network namespace (``unshare -n``) and returns what it measured.

Every packet of a scenario stays inside the namespace made for it: the
script brings up its own loopback (and whatever else it needs), runs the
parts under test, and prints its measurements as JSON on its last line. The
parameters go in on stdin (a long list of messages is too long for a command
line). Exit status 77 means the scenario found a part missing: the test skips.
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


@functools.cache
def namespace_problem() -> str | None:
    """Why a private network namespace cannot be made here, or None."""
    if os.geteuid() != 0:
        return "a private network namespace (unshare -n) needs root"
    if shutil.which("unshare") is None or shutil.which("ip") is None:
        return "unshare or ip (util-linux, iproute2) is not installed"
    probe = subprocess.run(["unshare", "-n", "true"], capture_output=True, text=True)
    if probe.returncode != 0:
        return f"unshare -n is not permitted here: {probe.stderr.strip()}"
    return None


def read_params() -> tuple[str, dict]:
    """In a scenario script: its name and its parameters, as ``run_in_namespace`` passes them."""
    return sys.argv[1], json.loads(sys.stdin.read())


def run_in_namespace(script: pathlib.Path, name: str, params: dict, *, timeout: float,
                     env: dict[str, str] | None = None) -> dict:
    problem = namespace_problem()
    if problem:
        pytest.skip(problem)
    completed = subprocess.run(
        ["unshare", "-n", sys.executable, str(script), name],
        input=json.dumps(params), capture_output=True, text=True, timeout=timeout, env=env,
    )
    if completed.returncode == 77:  # the scenario found a part missing
        pytest.skip(completed.stdout.strip().splitlines()[-1])
    if completed.returncode != 0:
        pytest.fail(f"scenario {name} failed ({completed.returncode}):\n{completed.stdout[-3000:]}\n"
                    f"{completed.stderr[-3000:]}")
    result: dict = json.loads(completed.stdout.strip().splitlines()[-1])
    return result
