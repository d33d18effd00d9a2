"""The operator's page: the rig seen from above and moving, the clock, and the controls, served while a show plays.

``state`` takes a snapshot of the show once a frame (as an output of the
frame loop), ``messages`` turns what a page sends into commands, ``server``
serves the page and its one WebSocket from a thread of its own.
"""

from .server import PageServer, PageSettings
from .state import Publisher

__all__ = ["PageServer", "PageSettings", "Publisher"]
