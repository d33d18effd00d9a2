"""Companions of the kinetrope module: patterns as numpy arrays, packs on disk, clock time in pips,
and clocks that follow the music (a track's beat map, tap tempo, Link, MIDI clock).

The ``kinetrope`` command (gallery, preview, export, pack check, animate)
lives in ``kinetrope_tools.cli``.
"""

from .arrays import rows, sample_many
from .clock import pips_at, seconds_at
from .clocks import BeatMap, BeatMapError, Clock, FixedTempo, LinkClock, MidiClock, MidiPortError, TapTempo
from .packs import PackError, load_library, load_pack, save_pack

__all__ = [
    "BeatMap", "BeatMapError", "Clock", "FixedTempo", "LinkClock", "MidiClock", "MidiPortError", "PackError",
    "TapTempo", "load_library", "load_pack",
    "pips_at", "rows", "sample_many", "save_pack", "seconds_at",
]
