"""What a running show has to say: one path for every thread, rate-limited, never blocking the caller.

The frame loop, the control server and the outputs report here instead of
printing. Lines of one kind pass at most ``per_second`` times in a second;
the rest are counted, and once the second is over one line says how many
there were ("control: unknown address: … and 4,211 more like it in the
last second"). Each line goes whole to the sink, one at a time, so lines
from several threads never merge. The sink must not block (the command
hands lines to a writer thread of its own); without one, lines go to
``logging`` from a thread of their own, so that a handler that waits (on a
stopped terminal, say) holds up only that thread.
"""

from __future__ import annotations

import collections
import dataclasses
import logging
import threading
import time
from collections.abc import Callable

_log = logging.getLogger("kinetrope_tools.stage")


class _ToLogging:
    """Hands lines to ``logging`` from a daemon thread; at most ``limit`` wait, the oldest dropped first."""

    def __init__(self, limit: int = 256) -> None:
        self._lines: collections.deque[str] = collections.deque(maxlen=limit)
        self._waiting = threading.Condition()
        self._thread: threading.Thread | None = None

    def __call__(self, line: str) -> None:
        with self._waiting:
            self._lines.append(line)
            if self._thread is None:
                self._thread = threading.Thread(target=self._log, name="kinetrope-reports", daemon=True)
                self._thread.start()
            self._waiting.notify()

    def _log(self) -> None:
        while True:
            with self._waiting:
                while not self._lines:
                    self._waiting.wait()
                line = self._lines.popleft()
            _log.warning(line)


@dataclasses.dataclass
class _Window:
    opened: float
    passed: int = 0
    held: int = 0


class Reports:
    """Takes lines from any thread; ``flush`` says what was held back once its second is over."""

    def __init__(self, sink: Callable[[str], None] | None = None, *, per_second: int = 3,
                 clock: Callable[[], float] = time.monotonic) -> None:
        self._sink = sink if sink is not None else _ToLogging()
        self._per_second = per_second
        self._clock = clock
        self._windows: dict[str, _Window] = {}
        self._lock = threading.Lock()

    def say(self, line: str, *, kind: str | None = None) -> None:
        """Reports ``line``; ``kind`` (default: the line itself) groups the lines counted together."""
        kind = line if kind is None else kind
        now = self._clock()
        with self._lock:
            self._close_windows(now)
            window = self._windows.get(kind)
            if window is None:
                window = self._windows[kind] = _Window(now)
            if window.passed < self._per_second:
                window.passed += 1
                self._sink(line)
            else:
                window.held += 1

    def flush(self, *, final: bool = False) -> None:
        """Says what was held back in every second that is over (``final``: in every one, over or not)."""
        with self._lock:
            self._close_windows(None if final else self._clock())

    def _close_windows(self, now: float | None) -> None:
        for kind, window in list(self._windows.items()):
            if now is not None and now - window.opened < 1.0:
                continue
            del self._windows[kind]
            if window.held:
                self._sink(f"{kind}: … and {window.held:,} more like it in the last second")
