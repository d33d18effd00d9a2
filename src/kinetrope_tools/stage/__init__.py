"""The stage: playing patterns on real fixtures and visuals, live.

``show`` reads and checks a show file, ``rig`` samples and maps every
fixture at a pip, ``loop`` runs the frames on time, ``outputs`` sends them
(sACN, Art-Net, OSC), ``control`` takes OSC commands while the show runs,
and ``command`` is ``kinetrope live``. Importing this package loads none of
the network packages; an output's module loads its own.
"""

from .show import Fixture, Show, ShowError, load_show, parse_show

__all__ = ["Fixture", "Show", "ShowError", "load_show", "parse_show"]
