"""A command that writes files ends by SIGTERM or SIGHUP after cleaning up, even when the signal's
exception is dropped by code called back from C (as PyAV drops what its Python file writes raise)."""

import signal
import subprocess
import sys

import pytest

SCRIPT = """
import os, signal, sys
from kinetrope_tools.cli.signals import ending_cleanly

with ending_cleanly() as ending:
    try:
        os.kill(os.getpid(), signal.{signal})
    except BaseException:
        pass  # dropped, as a callback from C drops it
    print("went on", flush=True)
    if sys.argv[1] == "checked":
        ending.check()
    print("step after", flush=True)
print("after the block", flush=True)
"""


@pytest.mark.parametrize("signum", [signal.SIGTERM, signal.SIGHUP], ids=["SIGTERM", "SIGHUP"])
@pytest.mark.parametrize(("checked", "printed"), [("checked", "went on\n"), ("unchecked", "went on\nstep after\n")])
def test_a_dropped_signal_still_ends_the_command_by_it(signum, checked, printed):
    done = subprocess.run([sys.executable, "-c", SCRIPT.format(signal=signum.name), checked],
                          capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (-signum, printed), done.stderr
