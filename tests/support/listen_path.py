"""Runs a scenario of listen_scenarios.py (a JACK server, a player, the clock) in a private network namespace.

JACK's dummy backend needs no sound card and the scenario no network; the
namespace keeps it so. Skips where jackd, jack-play or PortAudio is missing.
"""

from __future__ import annotations

import ctypes.util
import functools
import importlib.util
import os
import pathlib
import shutil
import sys

import pytest
from namespaces import namespace_problem, run_in_namespace

SCENARIOS = pathlib.Path(__file__).with_name("listen_scenarios.py")


@functools.cache
def _missing() -> str | None:
    for program in ("jackd", "jack-play", "jack_connect", "jack_wait", "unshare"):
        if shutil.which(program) is None:
            return f"{program} is not installed (jackd2, jack-tools)"
    # Looked for, not loaded: PortAudio would start looking for audio servers in this process.
    if importlib.util.find_spec("sounddevice") is None or ctypes.util.find_library("portaudio") is None:
        return "sounddevice or PortAudio (libportaudio2) is not installed"
    return namespace_problem()


def run_scenario(name: str, timeout: float = 120, **params: object) -> dict:
    problem = _missing()
    if problem:
        pytest.skip(problem)
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    return run_in_namespace(SCENARIOS, name, params, timeout=timeout, env=environment)
