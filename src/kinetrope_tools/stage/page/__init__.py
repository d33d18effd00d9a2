"""The operator's page: the rig seen from above and moving, the clock, and the controls, served while a show plays.

``state`` writes a snapshot of the show each frame (as an output of the
frame loop) into memory shared with the page's process; ``server`` serves
the page and its one WebSocket in that process; ``process`` starts it and
hands what pages send to the loop as commands; ``messages`` checks them.
"""

from .process import PageError, PageServer
from .server import PageSettings
from .state import Publisher

__all__ = ["PageError", "PageServer", "PageSettings", "Publisher"]
