"""How the ``kinetrope`` command ends: one line on stderr and an exit status.

Exit status 2 for a command line that asks for what cannot be (argparse's own
errors, a value refused by an argument type, a ``UsageError``, a pattern name
or glob that matches nothing), 1 for anything that fails while the work is
done (a pack the module refuses, a file that cannot be read or written).
"""

from __future__ import annotations

import argparse
from typing import Any, NoReturn, TypeAlias

from ..base.errors import KinetropeError

USAGE_STATUS = 2
FAILURE_STATUS = 1
INTERRUPTED_STATUS = 130

# What each command's ``add_command`` receives.
Commands: TypeAlias = "argparse._SubParsersAction[Any]"


class UsageError(KinetropeError):
    """A command line that asks for what cannot be, found after parsing: exit status 2, as argparse's errors."""


class Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        # One line, not argparse's usage block.
        self.exit(USAGE_STATUS, f"{self.prog}: error: {message} (see {self.prog} --help)\n")
