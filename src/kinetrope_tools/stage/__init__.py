"""The stage: playing patterns on real fixtures and visuals, live.

``show`` reads and checks a show file, ``rig`` samples and maps every
fixture at a pip, ``loop`` runs the frames on time, ``outputs`` sends them
(sACN, Art-Net, OSC) and ``control`` takes OSC commands while the show runs.
An output's module loads its network package only when the output opens.

    from kinetrope_tools.clocks import FixedTempo
    from kinetrope_tools.stage import Live, load_show, open_outputs

    show = load_show("show.toml")
    outputs = open_outputs(show.outputs, show.universes)
    live = Live(show, FixedTempo(124, beat_zero_seconds=time.monotonic()), outputs)
    live.run(seconds=60)        # or live.stop() from another thread
    for output in outputs:
        output.close()
"""

from .control import ControlServer
from .loop import Live, Stats
from .outputs import Frame, Output, open_outputs
from .rig import Rig
from .show import Fixture, Show, ShowError, load_show, parse_show

__all__ = ["ControlServer", "Fixture", "Frame", "Live", "Output", "Rig", "Show", "ShowError", "Stats", "load_show",
           "open_outputs", "parse_show"]
