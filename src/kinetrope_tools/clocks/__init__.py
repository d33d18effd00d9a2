"""Clocks: sources of musical time that turn seconds into pips and back.

Every clock follows the ``Clock`` protocol; the abilities some of them add
(taps, a tempo set from outside, a port, thread or audio input to close) are protocols of
their own. The sources that need optional packages import them only when one
is made.
"""

from .beat_follower import Beat, BeatFollower
from .beat_map import BeatMap, BeatMapError
from .fixed import FixedTempo, pips_at, seconds_at
from .link import LinkClock, LinkError
from .listening import ListeningClock, ListeningError, input_devices
from .midi import MidiClock, MidiPortError
from .protocol import Clock, ClockError, Closable, Resyncable, Tappable, TempoSettable
from .slewed import SlewedLine
from .tap import TapTempo
from .tempo import BPM_MAX, BPM_MIN, TempoError, checked_bpm
from .track import TrackTime

__all__ = [
    "BPM_MAX", "BPM_MIN", "Beat", "BeatFollower", "BeatMap", "BeatMapError", "Clock", "ClockError", "Closable",
    "FixedTempo", "LinkClock", "LinkError", "ListeningClock", "ListeningError", "MidiClock", "MidiPortError", "Resyncable",
    "SlewedLine", "TapTempo", "Tappable", "TempoError", "TempoSettable", "TrackTime", "checked_bpm", "input_devices",
    "pips_at", "seconds_at",
]
