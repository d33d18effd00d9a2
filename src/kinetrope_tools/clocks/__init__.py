"""Clocks: sources of musical time that turn seconds into pips and back.

Every clock follows the ``Clock`` protocol. The sources that need optional
packages import them only when one is made.
"""

from .beat_map import BeatMap, BeatMapError
from .fixed import FixedTempo
from .link import LinkClock
from .midi import MidiClock, MidiPortError
from .protocol import Clock
from .tap import TapTempo

__all__ = ["BeatMap", "BeatMapError", "Clock", "FixedTempo", "LinkClock", "MidiClock", "MidiPortError", "TapTempo"]
