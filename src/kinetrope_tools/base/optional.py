"""Packages kept out of the required dependencies, imported only where used.

PyAV's wheels carry an FFmpeg built with GPL-licensed encoders (x264) and
aalink binds Link, itself GPL-licensed: both stay optional extras so that
what every install brings is permissively licensed.
"""

from __future__ import annotations

import importlib
from types import ModuleType

_EXTRAS = {
    "av": ("video", "PyAV, whose wheels bundle GPL-licensed FFmpeg encoders"),
    "aalink": ("link", "aalink, the GPL-licensed binding of Ableton Link"),
}


def require(module: str, purpose: str) -> ModuleType:
    """The module, or an ImportError that says which extra installs it and why it is optional."""
    try:
        return importlib.import_module(module)
    except ImportError:
        extra, what = _EXTRAS[module]
        raise ImportError(f"{purpose} needs {what}: pip install 'kinetrope[{extra}]'") from None
