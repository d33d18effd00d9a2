"""More songs for the beat network to learn from, from Debian packages no benchmark uses.

- game music in MIDI: Simutrans's (simutrans-data) and Dink Smallwood's (freedink-data), rendered
  with both General MIDI soundfonts;
- accompaniment grooves: MMA's standard library (mma) holds about a thousand grooves in 3/4 and
  4/4, from ballads and bossa novas to rock, swing and waltzes; each song here plays one groove and
  one of its variations over a chord progression, at a tempo drawn from 70 to 180 BPM, sometimes
  changing tempo half-way;
- recorded songs: the band recordings of Frets on Fire's song packages (fretsonfire-songs-sectoid,
  fretsonfire-songs-muldjord), whose charts' MIDI files hold the tempo maps they were charted to.

Every song goes through the benchmark's truth check (``real_songs.checked_entry``); what fails it is
left out. Each is rendered once and kept under build/train/extra.
"""

from __future__ import annotations

import json
import pathlib
import random
import re
import subprocess
import tempfile
from collections.abc import Iterator

import numpy as np

import real_songs

PACKAGES = ("simutrans-data", "freedink-data", "mma", "fretsonfire-songs-sectoid", "fretsonfire-songs-muldjord")
GAME_MIDI = {
    "simutrans": pathlib.Path("/usr/share/games/simutrans/music"),
    "dink": pathlib.Path("/usr/share/games/dink/dink/Sound"),
}
MMA_LIBRARY = pathlib.Path("/usr/share/mma/lib/stdlib")
FRETS_ON_FIRE = pathlib.Path("/usr/share/games/fretsonfire/data/songs")
RECORDED_PARTS = ("song.ogg", "guitar.ogg", "rhythm.ogg")
CHORDS = ("C", "Am", "F", "G7", "Dm", "Em", "E7", "A7", "Bb", "Gm", "D7", "Cmaj7", "Fm6")


def mma_grooves() -> list[tuple[str, int]]:
    """(groove, beats a bar) of MMA's standard library in 3/4 and 4/4: not the intros, endings and
    fills, not the files in compound or odd time."""
    found = []
    for path in sorted(MMA_LIBRARY.glob("*.mma")):
        text = path.read_text(errors="replace")
        times = {int(value) for value in re.findall(r"^Time\s+(\d+)", text, flags=re.MULTILINE)}
        signatures = set(re.findall(r"^TimeSig\s+(\d+)\s+(\d+)", text, flags=re.MULTILINE | re.IGNORECASE))
        if len(times) != 1 or not times <= {3, 4} or not signatures <= {("4", "4"), ("3", "4")}:
            continue
        if "metronome" in path.stem:
            continue
        meter = times.pop()
        for name in re.findall(r"^DefGroove\s+(\S+)", text, flags=re.MULTILINE):
            if not re.search(r"(intro|end|fill|break)", name, flags=re.IGNORECASE):
                found.append((name, meter))
    return found


def mma_song(groove: str, variation: str, bpm: float, second_bpm: float, bars: int, rng: random.Random) -> str:
    """An MMA file: ``groove`` for half the bars, ``variation`` for the rest (at ``second_bpm``)."""
    lines = [f"Tempo {bpm:.2f}", f"Groove {groove}"]
    for bar in range(1, bars + 1):
        if bar == bars // 2 + 1:
            lines += [f"Groove {variation}"] + ([f"Tempo {second_bpm:.2f}"] if second_bpm != bpm else [])
        lines.append(f"{bar} {rng.choice(CHORDS)}")
    return "\n".join(lines) + "\n"


def mma_midi(source: str):  # type: ignore[no-untyped-def]
    """The MIDI file MMA makes of ``source``, or None if it refuses it."""
    import mido

    with tempfile.TemporaryDirectory() as folder:
        song, made = pathlib.Path(folder) / "song.mma", pathlib.Path(folder) / "song.mid"
        song.write_text(source)
        subprocess.run(["mma", "-f", str(made), str(song)], capture_output=True, timeout=60)
        if not made.exists():
            return None
        return mido.MidiFile(str(made))


def game_sources() -> Iterator[tuple[str, pathlib.Path]]:
    for game, folder in GAME_MIDI.items():
        for path in sorted(folder.glob("*.mid")) + sorted(folder.glob("*.MID")):
            yield f"{game}_{path.stem.lower().replace('-', '_')}", path


def mma_sources(count: int, seed: int = 7) -> Iterator[tuple[str, str]]:
    """``count`` MMA songs: (name, MMA source), the same ones on every run."""
    rng = random.Random(seed)
    grooves = mma_grooves()
    by_base: dict[str, list[str]] = {}
    for name, _ in grooves:
        by_base.setdefault(re.sub(r"(Sus|Plus|\d+)+$", "", name), []).append(name)
    for number in range(count):
        groove, meter = rng.choice(grooves)
        siblings = by_base[re.sub(r"(Sus|Plus|\d+)+$", "", groove)]
        variation = rng.choice(siblings)
        bpm = float(np.exp(rng.uniform(np.log(70.0), np.log(180.0))))
        second = bpm * rng.choice((1.0, 1.0, 1.0, 0.9, 1.08, 1.15))
        bars = int(np.ceil(40.0 * bpm / 60.0 / meter))
        source = mma_song(groove, variation, round(bpm, 2), round(second, 2), bars, rng)
        yield f"mma_{number:03d}_{groove.lower()}", source


def frets_on_fire_songs() -> Iterator[tuple[str, pathlib.Path]]:
    """(name, chart) of each recorded song that has audio beside its chart."""
    for chart in sorted(FRETS_ON_FIRE.glob("*/*/notes.mid")):
        if any(chart.with_name(part).exists() for part in RECORDED_PARTS):
            yield "fof_" + re.sub(r"\W+", "_", f"{chart.parent.parent.name}_{chart.parent.name}").lower(), chart


def recorded_song(chart: pathlib.Path):  # type: ignore[no-untyped-def]
    """(audio at real_songs.RATE, chart MIDI) of the song charted by ``chart``: the backing and the
    guitar mixed, as a listener hears them."""
    import mido
    import soundfile

    mixed = np.zeros(0, dtype=np.float32)
    for part in (chart.with_name(name) for name in RECORDED_PARTS):
        if part.exists():
            audio, rate = soundfile.read(str(part), dtype="float32", always_2d=True)
            mixed = _added(mixed, _resampled(audio.mean(axis=1), rate, real_songs.RATE))
    return (mixed / max(1e-6, float(np.abs(mixed).max())) * 0.8).astype(np.float32), mido.MidiFile(str(chart))


def _added(first: np.ndarray, second: np.ndarray) -> np.ndarray:
    length = max(len(first), len(second))
    out = np.zeros(length, dtype=np.float32)
    out[: len(first)] += first
    out[: len(second)] += second
    return out


def _resampled(audio: np.ndarray, rate: int, to: int) -> np.ndarray:
    if rate == to:
        return audio.astype(np.float32)
    from scipy.signal import resample_poly

    divisor = int(np.gcd(int(rate), int(to)))
    return np.asarray(resample_poly(audio, to // divisor, int(rate) // divisor), dtype=np.float32)


def cached(folder: pathlib.Path, name: str, make) -> tuple[dict, np.ndarray | None]:  # type: ignore[no-untyped-def]
    """The manifest entry and audio of ``name``, made by ``make()`` (entry, audio) on the first call."""
    import soundfile

    audio_file, truth_file = folder / f"{name}.flac", folder / f"{name}.json"
    if not truth_file.exists():
        entry, audio = make()
        if entry["trusted"]:
            soundfile.write(str(audio_file), audio, real_songs.RATE)
        truth_file.write_text(json.dumps(entry))
    entry = json.loads(truth_file.read_text())
    if not entry["trusted"]:
        return entry, None
    audio, _ = soundfile.read(str(audio_file), dtype="float32")
    return entry, audio
