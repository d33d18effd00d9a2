"""Argument types shared by the ``kinetrope`` command's subcommands.

A value one of them refuses is a usage error: argparse prints its message in
one line and exits with status 2.
"""

from __future__ import annotations

import argparse
import math


def positive_number(text: str) -> float:
    """An argument type: a finite number above zero."""
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None
    if not (math.isfinite(value) and value > 0):
        raise argparse.ArgumentTypeError(f"must be a positive number, not {text}")
    return value


def whole_number_from_one(text: str) -> int:
    """An argument type: an integer of at least 1."""
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {text}")
    return value
