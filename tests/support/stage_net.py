"""Runs a scenario of stage_scenarios.py in a private network namespace and returns what it measured."""

from __future__ import annotations

import pathlib

from namespaces import run_in_namespace

SCENARIOS = pathlib.Path(__file__).with_name("stage_scenarios.py")


def run_scenario(name: str, timeout: float = 120, **params: object) -> dict:
    return run_in_namespace(SCENARIOS, name, params, timeout=timeout)
