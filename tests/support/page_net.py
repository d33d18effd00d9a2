"""Runs a scenario of page_scenarios.py (olad, the show, its page and Chromium) in a private network namespace."""

from __future__ import annotations

import pathlib

from namespaces import run_in_namespace

SCENARIOS = pathlib.Path(__file__).with_name("page_scenarios.py")


def run_page_scenario(name: str, timeout: float = 260, **params: object) -> dict:
    return run_in_namespace(SCENARIOS, name, params, timeout=timeout)
