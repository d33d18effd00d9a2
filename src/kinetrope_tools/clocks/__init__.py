"""Clocks: sources of musical time that turn seconds into pips and back.

Every clock follows the ``Clock`` protocol. The sources that need optional
packages import them only when one is made.
"""

from .fixed import FixedTempo
from .protocol import Clock

__all__ = ["Clock", "FixedTempo"]
