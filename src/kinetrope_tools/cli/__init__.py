"""The ``kinetrope`` command: gallery, preview, export, pack check, animate, beats, render, live, listen and devices.

Each command is one module with an ``add_command(commands)`` that adds its
subparser and sets ``run`` (a function of the parsed arguments) as its
default. This layer alone knows flags and exit codes: every error of the
package ends here as one line on stderr (see ``usage``).
"""

from __future__ import annotations

import sys
from collections.abc import Sequence

from ..base.errors import KinetropeError
from ..patterns.library import UnknownPattern
from . import animate, beats, devices, export, gallery, listen, live, pack, preview, render
from .usage import FAILURE_STATUS, INTERRUPTED_STATUS, USAGE_STATUS, Parser, UsageError

__all__ = ["main", "parser"]

# In the order --help lists them.
_COMMANDS = (gallery, preview, export, pack, animate, beats, render, live, listen, devices)


def parser() -> Parser:
    top = Parser(prog="kinetrope", description="See, export and check kinetrope patterns.")
    commands = top.add_subparsers(dest="command", required=True, metavar="COMMAND", parser_class=Parser)
    for command in _COMMANDS:
        command.add_command(commands)
    return top


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command; errors are one line on stderr, exit status 2 for usage and 1 for failures."""
    args = parser().parse_args(argv)
    command = " ".join(filter(None, [args.command, getattr(args, "pack_command", None)]))

    def error(status: int, message: str) -> int:
        print(f"kinetrope {command}: error: {message}", file=sys.stderr)
        return status

    try:
        args.run(args)
    except (UsageError, UnknownPattern) as usage:
        return error(USAGE_STATUS, str(usage))
    except ImportError as missing:  # an optional extra that is not installed: the message says which
        return error(FAILURE_STATUS, str(missing))
    except (KinetropeError, ValueError, TypeError, OSError) as failure:
        message = str(failure)
        if isinstance(failure, OSError) and failure.filename is not None:
            message = f"{failure.filename}: {failure.strerror}"
        return error(FAILURE_STATUS, message)
    except KeyboardInterrupt:
        return INTERRUPTED_STATUS
    except Exception as fault:  # a fault of this program: still one line, with its kind
        return error(FAILURE_STATUS, f"unexpected {type(fault).__name__}: {fault}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
