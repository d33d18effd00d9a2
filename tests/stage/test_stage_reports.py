"""Reports without a callback go to ``logging``, and a handler that waits holds up no caller."""

import logging
import threading

from kinetrope_tools.stage import Reports


class Stuck(logging.Handler):
    """A handler whose stream is stopped (a terminal after Ctrl-S) until ``go`` is set."""

    def __init__(self) -> None:
        super().__init__(logging.WARNING)
        self.go = threading.Event()
        self.seen: list[str] = []
        self.all_seen = threading.Event()

    def emit(self, record: logging.LogRecord) -> None:
        self.go.wait(30)
        self.seen.append(record.getMessage())
        if len(self.seen) == 2:
            self.all_seen.set()


def test_a_logging_handler_that_waits_holds_up_no_caller():
    handler = Stuck()
    log = logging.getLogger("kinetrope_tools.stage")
    log.addHandler(handler)
    try:
        reports = Reports()
        saying = threading.Thread(target=lambda: [reports.say("sacn: network is unreachable"), reports.say("b")])
        saying.start()
        saying.join(10)
        assert not saying.is_alive()
        handler.go.set()
        assert handler.all_seen.wait(10)
        assert handler.seen == ["sacn: network is unreachable", "b"]
    finally:
        log.removeHandler(handler)
