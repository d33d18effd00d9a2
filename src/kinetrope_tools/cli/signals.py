"""Commands that write files end cleanly on SIGTERM and SIGHUP.

By default either signal ends the process where it stands, and a file half
written stays beside its target as ``.NAME.<random>.part``. While a command
runs inside ``ending_cleanly``, the signal raises an exception instead, so
every writer removes its new file on the way out as on any other error;
then the process ends by the same signal, as a caller (a shell, a service
manager) expects.
"""

from __future__ import annotations

import contextlib
import os
import signal
import threading
from collections.abc import Iterator
from types import FrameType

SIGNALS = (signal.SIGTERM, signal.SIGHUP)


class Terminated(BaseException):
    """A SIGTERM or SIGHUP, raised where the command stood; not an ``Exception``, so nothing takes it for an error."""

    def __init__(self, signum: int) -> None:
        super().__init__(signal.Signals(signum).name)
        self.signum = signum


class Ending:
    """Whether a signal has come; ``check`` raises it again where raising is safe.

    The handler raises at once, but code called back from C (PyAV's writes
    to a Python file) cannot pass an exception on and drops it: a command
    that writes through such code calls ``check`` between steps, from
    Python, so the signal is never lost.
    """

    def __init__(self) -> None:
        self.signum: int | None = None

    def check(self) -> None:
        """Raises ``Terminated`` if a signal has come."""
        if self.signum is not None:
            raise Terminated(self.signum)


@contextlib.contextmanager
def ending_cleanly() -> Iterator[Ending]:
    """Turns SIGTERM and SIGHUP into ``Terminated`` for the block; when one came, ends the process by it.

    Yields
    ------
    Ending
        Whether a signal has come, for a command to check between steps.

    Notes
    -----
    Outside the main thread, where no handler can be set, the block runs as it is.
    """
    ending = Ending()
    if threading.current_thread() is not threading.main_thread():
        yield ending
        return

    def terminate(signum: int, frame: FrameType | None) -> None:
        # Once: a second signal must not cut the clean-up short.
        for sig in SIGNALS:
            signal.signal(sig, signal.SIG_IGN)
        ending.signum = signum
        raise Terminated(signum)

    previous = {sig: signal.signal(sig, terminate) for sig in SIGNALS}
    try:
        yield ending
        ending.check()  # a signal dropped on the way: the work is whole, the command still ends by it
    except Terminated as ended:
        signal.signal(ended.signum, signal.SIG_DFL)
        os.kill(os.getpid(), ended.signum)
        raise SystemExit(128 + ended.signum) from None  # only if the signal is blocked
    finally:
        for sig, handler in previous.items():
            signal.signal(sig, handler)
