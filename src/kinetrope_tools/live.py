"""Play a show live from Python: any clock, the show's outputs, frames on time.

    from kinetrope_tools.clocks import FixedTempo
    from kinetrope_tools.live import Live, load_show, open_outputs

    show = load_show("show.toml")
    outputs = open_outputs(show.outputs, show.universes)
    live = Live(show, FixedTempo(124, time.monotonic()), outputs)
    live.run(seconds=60)        # or live.stop() from another thread
    for output in outputs:
        output.close()
"""

from .stage.control import ControlServer
from .stage.loop import Live, Stats
from .stage.outputs import Frame, Output, open_outputs
from .stage.rig import Rig
from .stage.show import Show, ShowError, load_show, parse_show

__all__ = ["ControlServer", "Frame", "Live", "Output", "Rig", "Show", "ShowError", "Stats", "load_show",
           "open_outputs", "parse_show"]
