"""Every exception class of the layers below the stage's and above it that the package defines
derives from KinetropeError, so a caller catches all of them at once, and from the built-in kind
it is (ValueError, LookupError, OSError, TypeError), so a caller of the old kind still catches it."""

import importlib
import inspect
import pathlib

import pytest

from kinetrope_tools.base.errors import KinetropeError

PACKAGE = pathlib.Path(__file__).resolve().parents[1] / "src" / "kinetrope_tools"
CHECKED = ("base", "patterns", "pictures", "cli")
MODULES = [
    ".".join(("kinetrope_tools", *path.relative_to(PACKAGE).with_suffix("").parts))
    for layer in CHECKED
    for path in sorted((PACKAGE / layer).glob("*.py"))
    if path.name not in ("__init__.py", "__main__.py")
]
ERRORS = sorted(
    {
        (name, cls)
        for module in MODULES
        for name, cls in inspect.getmembers(importlib.import_module(module), inspect.isclass)
        if issubclass(cls, Exception) and cls.__module__ == module and cls is not KinetropeError
    },
    key=lambda pair: pair[0],
)


def test_every_layer_checked_defines_errors():
    assert {cls.__module__.split(".")[1] for _, cls in ERRORS} == set(CHECKED)


@pytest.mark.parametrize("cls", [cls for _, cls in ERRORS], ids=[name for name, _ in ERRORS])
def test_an_error_class_derives_from_the_one_base(cls):
    assert issubclass(cls, KinetropeError)
    if cls.__module__ != "kinetrope_tools.cli.usage":  # a usage error is the command line's, no built-in kind
        assert issubclass(cls, (ValueError, LookupError, OSError, TypeError))
