"""Makes sure a run meant for a particular build of the module tests that
build and not another one found first on the path."""

import os
import pathlib

import kinetrope


def pytest_report_header():
    return f"kinetrope: {kinetrope.__file__}"


def pytest_sessionstart(session):
    expected = os.environ.get("KINETROPE_EXPECT_MODULE_DIR")
    if expected and pathlib.Path(kinetrope.__file__).parent.resolve() != pathlib.Path(expected).resolve():
        raise RuntimeError(f"expected kinetrope from {expected}, imported {kinetrope.__file__}")
