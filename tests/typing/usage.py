"""Typed use of kinetrope and kinetrope_tools, checked with ``mypy --strict`` and never run.

The lines marked ``type: ignore[...]`` must be errors: with --strict an
ignore that is not needed is itself an error, so a stub that accepts too much
fails the check.
"""

from __future__ import annotations

import numpy as np
import numpy.typing as npt

import kinetrope
from kinetrope_tools import (
    BeatMap, BeatMapError, Clock, FixedTempo, LinkClock, MidiClock, PackError, TapTempo, load_pack, pips_at, rows,
    sample_many, save_pack, seconds_at,
)


def offsets() -> tuple[float, float, float]:
    beat: int = kinetrope.PIPS_PER_BEAT
    first = kinetrope.sample("bounce", 0)
    x: float = first.x + first.y + first.z + kinetrope.helix(beat).z
    return (x, *kinetrope.sample(b"sway", np.int64(5)).as_tuple()[1:])


def catalogue_names() -> list[str]:
    return [entry["name"] for entry in kinetrope.catalogue() if entry["period_pips"] > 64]


def user_patterns(path: str) -> int:
    ramp = kinetrope.SampledPattern("ramp", "A ramp", [(p / 64, 0.0, 0.0) for p in range(64)])
    library = kinetrope.PatternLibrary([ramp])
    period: int = ramp.period_pips
    dimensions: int = library.catalogue()[-1]["dimensions"]
    save_pack(path, [ramp])
    try:
        loaded = load_pack(path)
    except PackError as error:
        return -1 if error.index is None else error.index
    return period + dimensions + len(loaded) + len(library.sample("ramp", -1).as_tuple())


def recording() -> list[float]:
    take = kinetrope.SampledRecording("take", ["pan", "tilt"], [[0.0, 0.5]], 120.0, start_pip=64)
    names: list[str] = take.dimensions
    count: int = take.sample_count + take.start_pip
    seconds: float = take.bpm + take.beat_zero_seconds
    return take.sample(64) + [float(len(names) + count), seconds, take.name.count("t")]


def companion(seconds: float) -> float:
    pip = pips_at(seconds, 124.0)
    table: npt.NDArray[np.float64] = rows("helix")
    many: npt.NDArray[np.float64] = sample_many("helix", np.arange(pip, pip + 64))
    grid = sample_many("sway", [[0, 1], [2, 3]])
    return float(table[0, 0] + many.sum() + grid.sum()) + seconds_at(pip, 124.0)


def clocks(path: str) -> float:
    try:
        beat_map = BeatMap.load(path)
    except BeatMapError:
        beat_map = BeatMap(np.array([0.5, 1.0, 1.5]), offset=-256, downbeat=1)
    beat_map.downbeat = 2
    beat_map.save(path)
    first: float = float(beat_map.beats[0]) + beat_map.bpm + beat_map.offset
    tap = TapTempo(bpm=100.0)
    tempo: float = tap.tap() + tap.tap(1.5)
    midi = MidiClock()
    midi.feed(object(), 2.0)
    with LinkClock(quantum=4) as link:
        link.set_bpm(128.0)
        peers: int = link.peers
    sources: list[Clock] = [FixedTempo(124.0), BeatMap([0.0, 0.5]), tap, midi, link]
    pip: int = sum(clock.pip_at(1.0) for clock in sources) + midi.pip_now()
    return first + tempo + peers + pip + sources[0].seconds_at(pip) + sources[1].bpm_at(0.0)


def refused() -> None:
    BeatMap([0.0, 1.0]).pip_at("1")  # type: ignore[arg-type]
    TapTempo().seconds_at(1.5)  # type: ignore[arg-type]
    BeatMap([0.0, 1.0]).bpm = 3.0  # type: ignore[misc]
    LinkClock(bpm=120.0).set_bpm()  # type: ignore[call-arg]
    kinetrope.sample("bounce", 1.5)  # type: ignore[arg-type]
    kinetrope.bounce(pip_count=1)  # type: ignore[call-arg]
    kinetrope.PatternLibrary().sample("bounce", 2.0)  # type: ignore[arg-type]
    kinetrope.SampledPattern("p", "", [(0.0, 0.0, 0.0)]).period_pips = 2  # type: ignore[misc]
    sample_many("helix", [0.5])  # type: ignore[arg-type]
    sample_many("helix", np.zeros(3, dtype=np.float64))  # type: ignore[arg-type]
    sample_many("helix", 1.5)  # type: ignore[arg-type]
    whole: npt.NDArray[np.int64] = sample_many("helix", [1])  # type: ignore[assignment]
