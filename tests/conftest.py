"""Makes sure a run meant for a particular build of the module tests that
build and not another one found first on the path, and puts the shared test
helpers (tests/support) and the synthesized songs (bench/songs.py) on the path."""

import os
import pathlib
import sys

import kinetrope

# The helpers every folder of tests shares, and the songs the beat tracker's
# benchmark synthesizes, importable by their plain names.
sys.path.insert(0, str(pathlib.Path(__file__).with_name("support")))
sys.path.insert(0, str(pathlib.Path(__file__).parents[1] / "bench"))


def pytest_report_header():
    return f"kinetrope: {kinetrope.__file__}"


def pytest_sessionstart(session):
    expected = os.environ.get("KINETROPE_EXPECT_MODULE_DIR")
    if expected and pathlib.Path(kinetrope.__file__).parent.resolve() != pathlib.Path(expected).resolve():
        raise RuntimeError(f"expected kinetrope from {expected}, imported {kinetrope.__file__}")
