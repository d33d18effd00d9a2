"""Runs the hostile-input fuzz pass of hostile.py (see its docstring).

    python fuzz/hostile_inputs.py --seed 1 --seconds 60 [--threads 4] [--exclude LABEL ...]

The pass ends with a leak check when the sanitizer runtime is loaded with
leak detection on. CPython 3.12's compiler leaks a few of the constants it
parses, so the pass's own source is compiled with the sanitizer's leak
tracking off: the check then sees only what the calls leave behind. The
module and the companion package are imported before, with tracking on.
"""

import ctypes
import sys

import kinetrope  # noqa: F401 - imported here so that its loading is tracked
import kinetrope_tools  # noqa: F401


def untracked_import(name: str):
    try:
        runtime = ctypes.CDLL(None)
        disable, enable = runtime["__lsan_disable"], runtime["__lsan_enable"]
    except (OSError, AttributeError):  # no sanitizer runtime
        return __import__(name)
    disable()
    try:
        return __import__(name)
    finally:
        enable()


if __name__ == "__main__":
    sys.exit(untracked_import("hostile").main())
