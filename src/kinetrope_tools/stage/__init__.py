"""The stage: playing patterns on real fixtures and visuals, live.

``show`` reads and checks a show file, ``rig`` samples and maps every
fixture at a pip, ``loop`` runs the frames on time, ``outputs`` sends them
(sACN, Art-Net, OSC), ``control`` takes OSC commands while the show runs and
``reports`` carries what the show has to say, rate-limited, to a callback
that must not block (by default to ``logging``, from a thread of its own).
An output's module loads its network package only when the output opens.

    from kinetrope_tools.clocks import FixedTempo
    from kinetrope_tools.stage import Live, Reports, load_show, open_outputs

    show = load_show("show.toml")
    outputs = open_outputs(show.outputs, show.universes, names=[f.name for f in show.fixtures])
    live = Live(show, FixedTempo(124, beat_zero_seconds=time.monotonic()), outputs, reports=Reports(lines.append))
    live.run(seconds=60)        # or live.stop() from another thread
    for output in outputs:
        output.close()
"""

from .control import ControlServer
from .loop import Live, Stats
from .outputs import Frame, Output, OutputError, open_outputs
from .reports import Reports
from .rig import Rig
from .show import Fixture, Show, ShowError, load_show, parse_show

__all__ = ["ControlServer", "Fixture", "Frame", "Live", "Output", "OutputError", "Reports", "Rig", "Show", "ShowError",
           "Stats", "load_show", "open_outputs", "parse_show"]
