"""Small synthesized songs whose every hit is known: drums from groove scores over a bass and pad bed.

A groove is lanes of hits in pips (64 a beat, 256 a bar) repeating every
period. ``render`` plays it at a tempo (steady or ramping), with a little human
timing jitter on every drum hit, optionally starting mid-bar and with the drums
coming in late, and returns the audio with the true beat times and the index
of the first downbeat. The drum sounds are plain numpy: a falling sine for the
kick and toms, filtered noise for snares, claps and cymbals, a few partials for
bells. ``evaluation_set`` names the songs the beat tracker is measured on.
"""

from __future__ import annotations

import math
import pathlib
import zlib
from dataclasses import dataclass, field

import numpy as np

from kinetrope_tools.base.pips import PIPS_PER_BEAT
from kinetrope_tools.patterns import builtin_data

PIPS_PER_BAR = 4 * PIPS_PER_BEAT
_WEIGHTS = {"x": 1.0, "o": 0.65, "g": 0.35}


@dataclass(frozen=True)
class Groove:
    """Lanes of (pip, weight) hits that repeat every ``period`` pips."""

    key: str
    period: int
    lanes: dict[str, tuple[tuple[int, float], ...]]

    @classmethod
    def from_grids(cls, key: str, grids: dict[str, str], swing: float = 0.0) -> Groove:
        """A groove from grid strings: sixteenth steps (or eighth-note triplets for a lane named
        "... (triplet)"), ``x`` accent, ``o`` normal, ``g`` ghost, ``.`` rest, bars separated by " |";
        ``swing`` delays every off-sixteenth by that fraction of a sixteenth."""
        lanes: dict[str, list[tuple[int, float]]] = {}
        bars = 0
        for name, grid in grids.items():
            triplet = name.endswith(" (triplet)")
            lane = name.removesuffix(" (triplet)")
            cells = grid.split(" |")
            bars = max(bars, len(cells))
            lanes.setdefault(lane, []).extend(_place(cells, triplet, swing))
        return cls(key, PIPS_PER_BAR * bars, {name: tuple(sorted(hits)) for name, hits in lanes.items()})


def _place(cells: list[str], triplet: bool, swing: float) -> list[tuple[int, float]]:
    delay = round(16 * swing)
    hits = []
    for bar, steps in enumerate(cells):
        for step, symbol in enumerate(steps):
            if symbol == ".":
                continue
            offset = round(PIPS_PER_BAR * step / 12) if triplet else 16 * step + (delay if step % 2 else 0)
            hits.append((PIPS_PER_BAR * bar + offset, _WEIGHTS[symbol]))
    return hits


def read_grooves() -> dict[str, Groove]:
    """Every groove of the beat family, in style order."""
    grooves = {}
    for score in builtin_data.grooves():
        grids = {lane.name + (" (triplet)" if lane.triplet else ""): lane.grid for lane in score.lanes}
        groove = Groove.from_grids(score.key, grids, score.swing)
        grooves[score.key] = Groove(score.key, PIPS_PER_BAR * score.bars, groove.lanes)
    return grooves


# --- the sounds -------------------------------------------------------------------------------------


def _decay(sr: int, seconds: float, tau: float) -> np.ndarray:
    t = np.arange(int(sr * seconds)) / sr
    return np.exp(-t / tau)


def _sweep(sr: int, seconds: float, start_hz: float, end_hz: float, speed: float) -> np.ndarray:
    t = np.arange(int(sr * seconds)) / sr
    frequency = end_hz + (start_hz - end_hz) * np.exp(-t / speed)
    return np.sin(2 * np.pi * np.cumsum(frequency) / sr)


def _bright_noise(rng: np.random.Generator, n: int, order: int = 1) -> np.ndarray:
    noise = rng.standard_normal(n + order)
    for _ in range(order):
        noise = np.diff(noise)
    return noise / (2.0**order)


def _band_noise(rng: np.random.Generator, n: int, width: int) -> np.ndarray:
    noise = rng.standard_normal(n + width)
    smooth = np.convolve(noise, np.ones(width) / width, mode="same")
    return (noise - smooth)[:n] * 0.7


def _attack(sound: np.ndarray, sr: int, seconds: float) -> np.ndarray:
    n = min(len(sound), max(1, int(sr * seconds)))
    sound = sound.copy()
    sound[:n] *= np.linspace(0.0, 1.0, n)
    return sound


def _partials(sr: int, seconds: float, tau: float, hertz: tuple[float, ...]) -> np.ndarray:
    t = np.arange(int(sr * seconds)) / sr
    tone = sum(np.sign(np.sin(2 * np.pi * f * t)) * 0.5 + np.sin(2 * np.pi * f * t) for f in hertz)
    return np.asarray(tone) / len(hertz) * np.exp(-t / tau)


def _drum_sounds(sr: int, rng: np.random.Generator) -> dict[str, np.ndarray]:
    kick = _sweep(sr, 0.45, 160.0, 48.0, 0.035) * _decay(sr, 0.45, 0.16)
    kick[: int(sr * 0.004)] += _bright_noise(rng, int(sr * 0.004)) * 0.6
    snare_tone = _sweep(sr, 0.25, 240.0, 180.0, 0.02) * _decay(sr, 0.25, 0.05)
    snare = 0.55 * snare_tone + 0.8 * _band_noise(rng, int(sr * 0.25), 4) * _decay(sr, 0.25, 0.07)
    clap_noise = _band_noise(rng, int(sr * 0.3), 6)
    clap_envelope = _decay(sr, 0.3, 0.09)
    for burst in (0.0, 0.011, 0.022):
        start = int(sr * burst)
        clap_envelope[start:] += np.exp(-np.arange(len(clap_envelope) - start) / (sr * 0.004)) * 0.8
    clap = clap_noise * clap_envelope * 0.6
    hat_noise = _bright_noise(rng, int(sr * 1.5), 2)
    tom = {
        "tom": _sweep(sr, 0.4, 170.0, 120.0, 0.05) * _decay(sr, 0.4, 0.12),
        "low tom": _sweep(sr, 0.45, 120.0, 82.0, 0.05) * _decay(sr, 0.45, 0.14),
        "high tom": _sweep(sr, 0.35, 240.0, 180.0, 0.05) * _decay(sr, 0.35, 0.1),
    }
    log_drum = np.tanh(2.5 * _sweep(sr, 0.5, 120.0, 70.0, 0.06)) * _decay(sr, 0.5, 0.15)
    rumble = _sweep(sr, 0.8, 60.0, 42.0, 0.1) * _decay(sr, 0.8, 0.3)
    rumble = _attack(rumble, sr, 0.03)
    return {
        "kick": kick,
        "break kick": kick * 0.9,
        "snare": snare,
        "clap": clap,
        "rim": _partials(sr, 0.08, 0.012, (1700.0, 420.0)) * 0.7,
        "hat": hat_noise[: int(sr * 0.06)] * _decay(sr, 0.06, 0.015) * 0.5,
        "open hat": hat_noise[: int(sr * 0.35)] * _decay(sr, 0.35, 0.09) * 0.45,
        "ride": (hat_noise[: int(sr * 0.8)] * 0.3 + _partials(sr, 0.8, 0.35, (3100.0, 4700.0)) * 0.15)
        * _decay(sr, 0.8, 0.3),
        "crash": hat_noise * _decay(sr, 1.5, 0.5) * 0.5,
        "shaker": _attack(hat_noise[: int(sr * 0.09)] * _decay(sr, 0.09, 0.03), sr, 0.012) * 0.45,
        **tom,
        "bell": _partials(sr, 0.5, 0.15, (820.0, 1230.0, 2010.0)) * 0.4,
        "cowbell": _partials(sr, 0.3, 0.07, (560.0, 845.0)) * 0.45,
        "clave": np.sin(2 * np.pi * 2500.0 * np.arange(int(sr * 0.06)) / sr) * _decay(sr, 0.06, 0.012) * 0.6,
        "perc": _sweep(sr, 0.2, 420.0, 330.0, 0.01) * _decay(sr, 0.2, 0.05) * 0.6,
        "log drum": log_drum * 0.8,
        "rumble": rumble * 0.9,
    }


# A bar-long chord sequence over the roots A, F, C and G.
_ROOTS = (55.0, 43.65, 65.41, 49.0)
_BED_BASS = ((0, 1.0), (160, 0.7))  # on 1 and the "&" of 3 when the groove has no bass of its own


def _bass_note(sr: int, hertz: float, seconds: float) -> np.ndarray:
    t = np.arange(int(sr * seconds)) / sr
    tone = np.sin(2 * np.pi * hertz * t) + 0.25 * np.sin(4 * np.pi * hertz * t)
    envelope = np.minimum(t / 0.008, 1.0) * np.exp(-t / 0.5)
    envelope[-int(sr * 0.02) :] *= np.linspace(1.0, 0.0, int(sr * 0.02))
    return np.asarray(tone * envelope * 0.5)


def _pad_chord(sr: int, root: float, seconds: float, rng: np.random.Generator) -> np.ndarray:
    t = np.arange(int(sr * seconds)) / sr
    chord = np.zeros_like(t)
    for ratio in (4.0, 5.0, 6.0, 8.0):
        for detune in (0.997, 1.003):
            chord += np.sin(2 * np.pi * root * ratio * detune * t + rng.uniform(0, 2 * np.pi))
    envelope = np.minimum(t / 0.35, 1.0) * np.minimum((seconds - t) / 0.3, 1.0)
    return np.asarray(chord * envelope * 0.03)


# --- songs ------------------------------------------------------------------------------------------


@dataclass
class Song:
    """Mono audio with its truth: every beat time in seconds and the index of the first downbeat."""

    audio: np.ndarray
    sample_rate: int
    beats: np.ndarray
    downbeat: int
    beats_per_bar: int = 4
    downbeats: np.ndarray = field(init=False)

    def __post_init__(self) -> None:
        self.downbeats = self.beats[self.downbeat :: self.beats_per_bar]

    def write(self, path: str | pathlib.Path) -> None:
        """Writes the audio in the format the file's extension names (WAV, FLAC, OGG, MP3, ...)."""
        import soundfile  # type: ignore[import-untyped, unused-ignore]

        soundfile.write(str(path), self.audio, self.sample_rate)


def _beat_clock(seconds: float, bpm: float, bpm_end: float, lead: float) -> tuple[np.ndarray, np.ndarray]:
    """A fine table of (time, beat position) for a tempo that moves linearly in time from bpm to bpm_end;
    beat position 0 is at ``lead`` seconds."""
    t = np.arange(0.0, seconds + 2.0, 0.0005)
    bpm_t = bpm + (bpm_end - bpm) * np.clip(t / seconds, 0.0, 1.0)
    position = np.concatenate([[0.0], np.cumsum((bpm_t[1:] + bpm_t[:-1]) / 2 * np.diff(t) / 60.0)])
    position -= np.interp(lead, t, position)
    return t, position


def render(
    groove: Groove,
    bpm: float,
    seconds: float,
    *,
    bpm_end: float | None = None,
    start_beat: int = 0,
    lead_seconds: float = 0.0,
    drumless_seconds: float = 0.0,
    jitter_ms: float = 3.0,
    bed: bool = True,
    seed: int = 0,
    sample_rate: int = 22050,
    beats_per_bar: int = 4,
) -> Song:
    """Plays ``groove`` for ``seconds``: the first beat at ``lead_seconds`` is beat ``start_beat`` (0-3) of
    its bar; the tempo moves linearly from ``bpm`` to ``bpm_end`` (default: steady); the drums stay out
    for the first ``drumless_seconds`` while the bass and pad play; every drum hit lands a random few
    milliseconds (standard deviation ``jitter_ms``) off the grid. The bed's chords and bass roots
    change every ``beats_per_bar`` beats (a waltz's groove has a period of three beats)."""
    if not (bpm > 0 and seconds > 0 and 0 <= start_beat < beats_per_bar):
        raise ValueError("bpm and seconds must be positive and start_beat a beat of the bar")
    bar_pips = beats_per_bar * PIPS_PER_BEAT
    rng = np.random.default_rng(seed)
    sr = sample_rate
    table_t, table_position = _beat_clock(seconds, bpm, bpm_end or bpm, lead_seconds)
    last_beat = math.floor(np.interp(seconds, table_t, table_position))
    beats = np.interp(np.arange(0, last_beat + 1), table_position, table_t)
    downbeat = (beats_per_bar - start_beat) % beats_per_bar

    def time_of(pips: np.ndarray) -> np.ndarray:
        # Pips count from the bar line before the first beat.
        return np.asarray(np.interp(pips / PIPS_PER_BEAT - start_beat, table_position, table_t))

    out = np.zeros(int(sr * (seconds + 2.0)))

    def add(sound: np.ndarray, at: float, gain: float) -> None:
        start = int(round(at * sr))
        if start < 0:
            sound, start = sound[-start:], 0
        end = min(len(out), start + len(sound))
        if end > start:
            out[start:end] += gain * sound[: end - start]

    bars = math.ceil((last_beat + start_beat + 1) / beats_per_bar) + 1
    total_pips = bars * bar_pips
    sounds = _drum_sounds(sr, rng)
    for lane, hits in groove.lanes.items():
        if lane == "bass":
            continue
        sound = sounds.get(lane, sounds["perc"])
        for repeat in range(0, total_pips, groove.period):
            for pip, weight in hits:
                at = float(time_of(np.array(repeat + pip)))
                if drumless_seconds <= at < seconds:
                    jitter = float(np.clip(rng.normal(0.0, jitter_ms), -2.5 * jitter_ms, 2.5 * jitter_ms))
                    add(sound, at + jitter / 1000.0, weight * rng.uniform(0.9, 1.0))
    if bed:
        bed_bass = _BED_BASS if beats_per_bar == 4 else _BED_BASS[:1]
        bass_hits = groove.lanes.get("bass") or _repeat_bar(bed_bass, groove.period, bar_pips)
        starts = [repeat + pip for repeat in range(0, total_pips, groove.period) for pip, _ in bass_hits]
        weights = [weight for _ in range(0, total_pips, groove.period) for _, weight in bass_hits]
        times = time_of(np.array(starts, dtype=float))
        for index, (at, weight) in enumerate(zip(times, weights)):
            if at >= seconds:
                break
            following = times[index + 1] if index + 1 < len(times) else at + 0.5
            root = _ROOTS[int(starts[index] // bar_pips) % len(_ROOTS)]
            add(_bass_note(sr, root, max(0.05, min(0.6, following - at))), float(at), 0.8 * weight)
        for bar in range(bars):
            begin, end = time_of(np.array([bar * bar_pips, (bar + 1) * bar_pips], dtype=float))
            if begin < seconds:
                add(_pad_chord(sr, _ROOTS[bar % len(_ROOTS)], float(end - begin) + 0.2, rng), float(begin), 1.0)
    audio = out[: int(sr * seconds)]
    peak = float(np.max(np.abs(audio))) or 1.0
    return Song((audio * (0.9 / peak)).astype(np.float32), sr, beats[beats < seconds], downbeat, beats_per_bar)


def _repeat_bar(
    hits: tuple[tuple[int, float], ...], period: int, bar_pips: int = PIPS_PER_BAR
) -> tuple[tuple[int, float], ...]:
    return tuple((bar + pip, weight) for bar in range(0, period, bar_pips) for pip, weight in hits)


def splice(first: Song, second: Song, at_beat: int, *, crossfade_beats: int = 0) -> Song:
    """``first`` up to its beat ``at_beat``, then ``second`` from its first beat on, that beat landing
    on ``first``'s beat ``at_beat``: a tempo change between sections, or (with ``crossfade_beats``) a
    DJ's mix, where ``first`` fades out over that many of its beats while ``second`` fades in. The
    truth is ``first``'s beats before the splice and ``second``'s from it on. Both songs must share a
    sample rate and a meter."""
    if first.sample_rate != second.sample_rate or first.beats_per_bar != second.beats_per_bar:
        raise ValueError("the two songs must share a sample rate and a meter")
    sr = first.sample_rate
    at = float(first.beats[at_beat])
    offset = at - float(second.beats[0])
    start = int(round(offset * sr))
    fade_end = float(first.beats[min(at_beat + crossfade_beats, len(first.beats) - 1)])
    fade = int(round((fade_end - at) * sr))
    cut = int(round(at * sr))
    length = max(len(first.audio), start + len(second.audio))
    out = np.zeros(length, dtype=np.float32)
    head = first.audio[: cut + fade].copy()
    if fade:
        head[cut : cut + fade] *= np.linspace(1.0, 0.0, fade)[: len(head[cut : cut + fade])]
    out[: len(head)] += head
    tail = second.audio[max(0, -start) :].copy()
    begin = max(0, start)
    if fade:
        rise = cut - begin + fade
        tail[:rise] *= np.concatenate([np.zeros(max(0, cut - begin)), np.linspace(0.0, 1.0, fade)])[: len(tail[:rise])]
    else:
        tail[: max(0, cut - begin)] = 0.0
    out[begin : begin + len(tail)] += tail
    beats = np.concatenate([first.beats[:at_beat], second.beats + offset])
    # The bars carry on across the splice: the second song's first beat keeps its place in the bar.
    downbeat = first.downbeat if first.downbeat < at_beat else at_beat + second.downbeat
    peak = float(np.max(np.abs(out))) or 1.0
    return Song((out * (0.9 / peak)).astype(np.float32), sr, beats[beats < length / sr], downbeat, first.beats_per_bar)


# --- the evaluation set -----------------------------------------------------------------------------

# Tempos typical of each style's genre, by the key's first word (a longer prefix wins).
GENRE_TEMPOS = {
    "four": 124, "house": 124, "techno": 132, "ukg": 132, "speed": 134, "bassline": 138, "grime": 140,
    "drill": 142, "amen": 165, "jungle": 165, "dnb": 174, "dubstep": 140, "trap": 140, "electro": 126,
    "trance": 138, "rave": 135, "dembow": 98, "disco": 118, "amapiano": 112, "jersey": 140,
    "footwork": 160, "funky": 128, "broken": 122, "afro": 110, "gqom": 122, "baile": 130, "reggae": 80,
    "son": 105, "psy": 145, "hard": 150, "italo": 120, "electro_robot": 128, "acid": 128,
    "dancehall": 95,
}


@dataclass(frozen=True)
class Case:
    """One song of the evaluation set."""

    key: str
    bpm: float
    bpm_end: float | None = None
    start_beat: int = 0
    lead_seconds: float = 0.0
    drumless_seconds: float = 0.0
    seed: int = 0

    def render(self, groove: Groove, seconds: float, sample_rate: int = 22050) -> Song:
        return render(
            groove, self.bpm, seconds, bpm_end=self.bpm_end, start_beat=self.start_beat,
            lead_seconds=self.lead_seconds, drumless_seconds=self.drumless_seconds, seed=self.seed,
            sample_rate=sample_rate,
        )


def genre_tempo(key: str) -> float:
    prefixes = [prefix for prefix in GENRE_TEMPOS if key == prefix or key.startswith(prefix + "_")]
    return float(GENRE_TEMPOS[max(prefixes, key=len)])


def evaluation_set(keys: list[str], variation: int = 0) -> list[Case]:
    """One song per style at its genre's tempo, starting on varied beats of the bar after a varied
    lead-in; the trance song ramps from 130 to 142 BPM and the classic house song keeps its drums out
    for its first 8 seconds. A ``variation`` other than 0 draws another set of the same styles: each
    tempo up to 5 % off its genre's (kept within 70-180 BPM), and other starting beats, lead-ins and
    jitter."""
    cases = []
    for index, key in enumerate(keys):
        seed = zlib.crc32(key.encode())
        bpm = genre_tempo(key)
        bpm_end = None
        drumless = 0.0
        start_beat, lead = index % 4, 0.05 + 0.1 * (index % 5)
        if variation:
            rng = np.random.default_rng([seed, variation])
            bpm = round(min(max(bpm * float(rng.uniform(0.95, 1.05)), 70.0), 180.0), 1)
            start_beat, lead = int(rng.integers(4)), round(float(rng.uniform(0.05, 0.5)), 3)
            seed = int(rng.integers(2**31))
        if key == "trance":
            bpm, bpm_end = 130.0, 142.0
        if key == "house_classic":
            drumless = 8.0
        cases.append(Case(key, bpm, bpm_end, start_beat, lead, drumless, seed))
    return cases
