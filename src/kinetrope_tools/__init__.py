"""Companions of the kinetrope module: patterns as numpy arrays, packs on disk, clock time in pips,
and clocks that follow the music (a track's beat map, tap tempo, Link, MIDI clock).

The package is in layers, each importing only those below it:

- ``base``: pips, the one error base, files written whole, optional imports;
- ``patterns``: one period as an array, the catalogue by name and family, packs, exports;
- ``clocks``: the clock protocol and one module per source of musical time;
- ``music``: beat maps from audio files;
- ``stage``: shows played live on fixtures and visuals;
- ``pictures``: drawings, the gallery, contact sheets, GIFs and videos;
- ``cli``: the ``kinetrope`` command, alone in knowing flags and exit codes.
"""

from .base.errors import KinetropeError
from .clocks import (
    BeatMap, BeatMapError, Clock, FixedTempo, LinkClock, MidiClock, MidiPortError, TapTempo, pips_at, seconds_at,
)
from .patterns.arrays import rows, sample_many
from .patterns.packs import PackError, load_library, load_pack, save_pack

__all__ = [
    "BeatMap", "BeatMapError", "Clock", "FixedTempo", "KinetropeError", "LinkClock", "MidiClock", "MidiPortError",
    "PackError", "TapTempo", "load_library", "load_pack", "pips_at", "rows", "sample_many", "save_pack",
    "seconds_at",
]
