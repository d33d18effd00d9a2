"""A show to listen to, with every beat known: a groove, a tempo step, a breakdown without drums, the drop.

Made of songs.py's renders spliced on beats, at 48 kHz, after a second of
silence. ``marks`` gives the beat index where each part begins.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np

import songs

RATE = 48000
LEAD = 1.0


@dataclass
class Show:
    audio: np.ndarray
    beats: np.ndarray  # seconds from the start of the file
    marks: dict[str, int]
    bpms: dict[str, float]


def _beats_from(song: songs.Song, count: int, first: int = 0) -> tuple[np.ndarray, np.ndarray]:
    """The audio from beat ``first`` to beat ``first + count`` and those beats' times from its start."""
    start = int(round(song.beats[first] * RATE))
    end = int(round(song.beats[first + count] * RATE))
    return song.audio[start:end], song.beats[first : first + count] - song.beats[first]


def show(key: str = "house_classic", bpm: float = 124.0, *, steady: int = 24, stepped: int = 24,
         breakdown: int = 16, drop: int = 12, step: float = 1.06) -> Show:
    groove = songs.read_grooves()[key]
    faster = bpm * step
    seconds = (steady + 2) * 60 / bpm + 1
    first = songs.render(groove, bpm, seconds, seed=1, sample_rate=RATE, lead_seconds=0.05)
    later_seconds = (stepped + breakdown + drop + 2) * 60 / faster + 1
    second = songs.render(groove, faster, later_seconds, seed=2, sample_rate=RATE, lead_seconds=0.05)
    bed = songs.render(groove, faster, later_seconds, seed=2, sample_rate=RATE, lead_seconds=0.05,
                       drumless_seconds=later_seconds + 1)
    parts = [
        ("steady", _beats_from(first, steady)),
        ("step", _beats_from(second, stepped)),
        ("breakdown", _beats_from(bed, breakdown, stepped)),
        ("drop", _beats_from(second, drop, stepped + breakdown)),
    ]
    audio = [np.zeros(int(LEAD * RATE), dtype=np.float32)]
    beats, marks = [], {}
    at = LEAD
    for name, (sound, times) in parts:
        marks[name] = len(beats)
        if name == "breakdown":
            sound = sound * 0.5
        beats.extend(at + times)
        audio.append(sound.astype(np.float32))
        at += len(sound) / RATE
    audio.append(np.zeros(RATE // 2, dtype=np.float32))
    return Show(np.concatenate(audio), np.array(beats), marks, {"steady": bpm, "step": faster})


def crossings(readings: list) -> np.ndarray:
    """The times where the pips read cross a beat, each placed between the two readings around it."""
    times = np.array([r[0] for r in readings])
    pips = np.array([r[1] for r in readings], dtype=float)
    found = []
    for index in range(1, len(pips)):
        before, after = pips[index - 1], pips[index]
        beat = np.floor(after / 64) * 64
        if beat > before and after > before:
            found.append(times[index - 1] + (beat - before) / (after - before) * (times[index] - times[index - 1]))
    return np.array(found)
