"""A show for the OSC stage tests, and what an OSC receiver logged, read back frame by frame."""

from __future__ import annotations

import kinetrope

from kinetrope_tools.patterns.packs import dumps_pack

FPS = 44
RAMP_PERIOD = 1024  # four bars: the ramp's x tells the pip within them exactly
# x = -1 + p / 512 is exact in float32, so a receiver reads the pip off x.
RAMP_PACK = dumps_pack([kinetrope.SampledPattern(
    "ramp", "x climbs evenly over four bars", [[-1 + p / 512, 0.0, 0.0] for p in range(RAMP_PERIOD)])])

POINTS = """
[[fixture]]
name = "lead"
pattern = "figure_eight"

[[fixture]]
name = "ramp"
pattern = "ramp"
"""


def show(fixtures: str, port: int = 9100, fps: float = FPS) -> str:
    return f'fps = {fps}\n[output.osc]\ndestination = "127.0.0.1:{port}"\n{fixtures}'


def frames_of(log: list) -> list[dict]:
    """Each frame a receiver got: its clock message opens it; then what each name (and "beat") carried,
    and "at", when the clock message arrived."""
    frames: list[dict] = []
    for when, address, args in log:
        name = address.rsplit("/", 1)[1]
        if name == "clock":
            frames.append({"at": when, "clock": args})
        elif frames:
            frames[-1][name] = args
    return frames
