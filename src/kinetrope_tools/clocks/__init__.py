"""Clocks: sources of musical time that turn seconds into pips and back.

Every clock follows the ``Clock`` protocol; the abilities some of them add
(taps, a tempo set from outside, a port or thread to close) are protocols of
their own. The sources that need optional packages import them only when one
is made.
"""

from .beat_map import BeatMap, BeatMapError
from .fixed import FixedTempo, pips_at, seconds_at
from .link import LinkClock, LinkError
from .midi import MidiClock, MidiPortError
from .protocol import Clock, ClockError, Closable, Tappable, TempoSettable
from .tap import TapTempo
from .tempo import BPM_MAX, BPM_MIN, TempoError, checked_bpm
from .track import TrackTime

__all__ = [
    "BPM_MAX", "BPM_MIN", "BeatMap", "BeatMapError", "Clock", "ClockError", "Closable", "FixedTempo", "LinkClock",
    "LinkError", "MidiClock", "MidiPortError", "TapTempo", "Tappable", "TempoError", "TempoSettable", "TrackTime",
    "checked_bpm", "pips_at", "seconds_at",
]
