"""Runs a scenario of page_scenarios.py in a private network namespace, as stage_net.py does; returns what it saw."""

from __future__ import annotations

import json
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

SCENARIOS = pathlib.Path(__file__).with_name("page_scenarios.py")


def run_page_scenario(name: str, timeout: float = 260, **params: object) -> dict:
    if os.geteuid() != 0 or shutil.which("unshare") is None or shutil.which("ip") is None:
        pytest.skip("a private network namespace needs root, unshare (util-linux) and ip (iproute2)")
    completed = subprocess.run(
        ["unshare", "-n", sys.executable, str(SCENARIOS), name, json.dumps(params)],
        capture_output=True, text=True, timeout=timeout,
    )
    if completed.returncode == 77:  # the scenario found a part missing
        pytest.skip(completed.stdout.strip().splitlines()[-1])
    if completed.returncode != 0:
        pytest.fail(f"scenario {name} failed ({completed.returncode}):\n{completed.stdout}\n{completed.stderr}")
    result: dict = json.loads(completed.stdout.strip().splitlines()[-1])
    return result
