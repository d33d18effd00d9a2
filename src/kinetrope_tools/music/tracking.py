"""Beat times, bar lines and tempo changes of an audio file.

A small network trained on songs whose every beat is known reads the
spectrum and marks, frame by frame, how likely a beat and a bar's first beat
are (clocks/beat_activation.py). Its beat activation drives a model of tempo
and beat phase decoded over the whole song at once (beat_hmm.py), searched
over the whole tempo range: the path that puts its beats where the network
hears them, and none where it hears none, is the beat a listener taps, not
its half or double, and it follows a change of tempo within a beat or two.
Bar lines come from a second layer over the beats (bars.py), led by the
downbeat activation. Each beat is then moved to the onset it stands for, at
3 ms.

Without the network (a switch the benchmark uses to measure what it gains)
the onsets' strength drives the model and the metrical level is chosen first
(tempo_level.py).
"""

from __future__ import annotations

import dataclasses
import os
from dataclasses import dataclass

import numpy as np

from ..clocks.beat_map import BeatMap
from .audio import AudioError, load_audio
from .bars import Bars, bar_lines
from .features import Features, harmonic_change, peaks_near, sounding_span
from .beat_hmm import decode
from .tempo_level import eighths_as_beats, tempo_level

__all__ = ["AudioError", "Tracked", "analyse_audio", "track_audio", "track_beat_map", "track_beats"]

SAMPLE_RATE = 22050
HOP = 128  # 5.8 ms frames
FRAME = HOP / SAMPLE_RATE
SILENCE = 1e-4  # -80 dB: nothing to hear
MIN_SECONDS = 2.0
# Quieter than this below the track's loud end counts as no sound (a fade's tail, a leading silence).
QUIET_DB = 50.0
# The normalized autocorrelation the onset envelope must reach at some beat period (60-200 BPM) to
# count as having a beat. Measured: white noise 0.06, a held tone 0, a held three-note chord 0.11;
# the least periodic of the 68 synthesized grooves of the benchmark 0.28.
MIN_PERIODICITY = 0.15
# The tempo searched when the caller gives no range: a listener's beat lies within it.
DEFAULT_RANGE = (60.0, 200.0)
# Around the chosen tempo, the model follows changes up to this ratio either way; given a tempo, this.
FOLLOW = 1.45
FOLLOW_GIVEN = 1.1
# A beat may come this much before the first sound is measured (the beats lead the onsets).
ONSET_SLACK = 0.03
# Seconds the onset strength is normalized over (its loud end) and centred over (its mean).
LOUDNESS_SECONDS = 6.0
MEAN_SECONDS = 1.0
# How much a beat on a full-strength onset gains, against the cost of tempo changes (beat_hmm.py).
BEAT_GAIN = 1.0
# A quiet stretch (an intro of pads, a breakdown) is scaled up to the song's loud end at most by this share
# of it: its few onsets must not pull the pulse as hard as the drums do.
QUIET_SHARE = 0.6
LOW_WEIGHT = 0.5



@dataclass(frozen=True)
class Steps:
    """Parts of the tracker the benchmark switches off one at a time to measure what each gains;
    ``_analyse`` takes them, the public functions always run them all."""

    # The level chosen on the onsets' sixteenth grid and the bar they repeat in; off: the strongest
    # period of the tempogram.
    level_choice: bool = True
    # Half the tempo when the chosen beats hold every onset while the low drums skip every other one.
    eighths_as_beats: bool = True
    # Each beat moved to the onset it stands for, found at 3 ms resolution, less the detector's latency.
    onset_refinement: bool = True
    # Bar lines from the low band, the backbeat and the harmony; off: a bar of four from the first beat.
    bar_model: bool = True
    # The beat network's activation drives the model; off: the onsets alone.
    beat_net: bool = True

    @classmethod
    def switches(cls) -> list[str]:
        return [f.name for f in dataclasses.fields(cls)]

    def toggled(self, name: str) -> Steps:
        return dataclasses.replace(self, **{name: not getattr(self, name)})


@dataclass(frozen=True)
class Tracked:
    """What the tracker found: beat times (seconds, ascending), the index of every beat a bar starts
    on, and the meter most bars have."""

    beats: np.ndarray
    bars: np.ndarray
    beats_per_bar: int

    @property
    def downbeat(self) -> int:
        """The index of the first downbeat among the beats."""
        return int(self.bars[0]) if len(self.bars) else 0


def track_beats(
    path: str | os.PathLike[str],
    *,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    beats_per_bar: int | None = None,
) -> tuple[np.ndarray, int]:
    """The beat times of the audio file at ``path`` in seconds (ascending float64) and the index of the
    first downbeat among them.

    ``bpm`` is a hint of the tempo (followed within 10 %); ``bpm_range`` (low, high) bounds the tempo
    searched (default 60-200); ``beats_per_bar`` (3 or 4) fixes the meter instead of detecting it.
    Raises AudioError (a ValueError) for a missing file, a file that is not audio or is implausibly
    long, silence, or a track with no beat.
    """
    tracked = analyse_file(path, bpm=bpm, bpm_range=bpm_range, beats_per_bar=beats_per_bar)
    return tracked.beats, tracked.downbeat


def analyse_file(
    path: str | os.PathLike[str],
    *,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    beats_per_bar: int | None = None,
) -> Tracked:
    """``analyse_audio`` on the audio file at ``path``."""
    _check_options(bpm, bpm_range, beats_per_bar)
    audio = load_audio(path, SAMPLE_RATE)
    return analyse_audio(audio, SAMPLE_RATE, bpm=bpm, bpm_range=bpm_range, beats_per_bar=beats_per_bar, name=str(path))


def track_beat_map(
    path: str | os.PathLike[str],
    *,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    beats_per_bar: int | None = None,
) -> BeatMap:
    """The beat map of the audio file at ``path``: every beat and every bar line, as a clock on the
    track's time."""
    tracked = analyse_file(path, bpm=bpm, bpm_range=bpm_range, beats_per_bar=beats_per_bar)
    return BeatMap(tracked.beats, downbeat=tracked.downbeat, bars=tracked.bars.tolist())


def track_audio(
    audio: np.ndarray,
    sample_rate: int,
    *,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    beats_per_bar: int | None = None,
    name: str = "the audio",
) -> tuple[np.ndarray, int]:
    """``track_beats`` on mono audio already in memory."""
    tracked = analyse_audio(audio, sample_rate, bpm=bpm, bpm_range=bpm_range, beats_per_bar=beats_per_bar, name=name)
    return tracked.beats, tracked.downbeat


def analyse_audio(
    audio: np.ndarray,
    sample_rate: int,
    *,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    beats_per_bar: int | None = None,
    name: str = "the audio",
) -> Tracked:
    """Beats and bars of mono audio already in memory (see ``track_beats``)."""
    return _analyse(audio, sample_rate, bpm=bpm, bpm_range=bpm_range, beats_per_bar=beats_per_bar, name=name)


def _analyse(
    audio: np.ndarray,
    sample_rate: int,
    *,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    beats_per_bar: int | None = None,
    name: str = "the audio",
    steps: Steps = Steps(),
) -> Tracked:
    import librosa

    low, high = _check_options(bpm, bpm_range, beats_per_bar)
    audio = np.asarray(audio, dtype=np.float32)
    if audio.ndim != 1:
        raise AudioError(f"{name}: expected mono audio (one dimension), got shape {audio.shape}")
    if not (isinstance(sample_rate, (int, np.integer)) and 4000 <= sample_rate <= 384000):
        raise AudioError(f"{name}: a sample rate of {sample_rate!r} Hz is not a song's")
    if len(audio) > 30 * 60 * sample_rate:
        raise AudioError(f"{name}: longer than the 30 minutes a song may last here; cut it first")
    if sample_rate != SAMPLE_RATE:
        audio = librosa.resample(audio, orig_sr=sample_rate, target_sr=SAMPLE_RATE, res_type="soxr_hq")
    if not np.all(np.isfinite(audio)):
        raise AudioError(f"{name}: the audio holds samples that are not finite")
    if len(audio) == 0 or float(np.max(np.abs(audio))) < SILENCE:
        raise AudioError(f"{name}: silence, no beat to track")
    if len(audio) < MIN_SECONDS * SAMPLE_RATE:
        raise AudioError(f"{name}: too short to find a beat in (under {MIN_SECONDS:g} s)")
    features = Features(audio, SAMPLE_RATE, HOP)
    if features.periodicity() < MIN_PERIODICITY:
        raise AudioError(f"{name}: no steady beat found")
    activation = _net_activation(audio, len(features.onsets)) if steps.beat_net else None
    if activation is not None:
        # The network marks beats where they are heard: no detector latency to take off.
        strength, lead = _net_strength(activation[:, 0]), 0.0
    else:
        strength, lead = _beat_strength(_weighted_onsets(features)), COARSE_LEAD
    if bpm is not None:
        tempo, follow = float(bpm), FOLLOW_GIVEN
    elif activation is not None:
        # The network marks the beat a listener taps, not its half or double: the model searches the
        # whole range at once.
        tempo, follow = float(np.sqrt(low * high)), float(np.sqrt(high / low))
    else:
        tempo = tempo_level(features, strength, low, high, choose=steps.level_choice)
        follow = FOLLOW
    shortest, longest = _periods(tempo, follow, low if bpm_range else None, high if bpm_range else None)
    pulse = decode(strength, shortest, longest)
    if bpm is None and steps.eighths_as_beats and tempo / 2 >= low:
        if not steps.beat_net and eighths_as_beats(features, pulse.frames):
            tempo /= 2
            shortest, longest = _periods(tempo, follow, low if bpm_range else None, high if bpm_range else None)
            pulse = decode(strength, shortest, longest)
    frames = pulse.frames
    first_sound, last_sound = sounding_span(features.loudness, FRAME, QUIET_DB)
    times = frames * FRAME
    keep = (times >= first_sound - ONSET_SLACK - lead) & (times <= last_sound)
    frames = frames[keep]
    if len(frames) < 4:
        raise AudioError(f"{name}: no steady beat found")
    if steps.bar_model:
        chroma = features.chroma(audio, 4 * HOP)
        bars = _bars(features, chroma, frames, beats_per_bar, None if activation is None else activation[:, 1])
    else:
        bars = Bars(np.arange(0, len(frames), beats_per_bar or 4), beats_per_bar or 4)
    beats = frames * FRAME + lead
    if steps.onset_refinement:
        beats = _refine(beats, features.fine_onsets(audio), SAMPLE_RATE / FINE_HOP)
    return Tracked(beats.astype(np.float64), bars.starts, bars.beats_per_bar)


def _periods(tempo: float, follow: float, low: float | None, high: float | None) -> tuple[int, int]:
    """The shortest and longest beat period (frames) followed around ``tempo``."""
    fastest, slowest = tempo * follow, tempo / follow
    if high is not None:
        fastest = min(fastest, high)
    if low is not None:
        slowest = max(slowest, low)
    fastest, slowest = min(fastest, 400.0), max(slowest, 20.0)
    return int(np.floor(60.0 / fastest / FRAME)), int(np.ceil(60.0 / slowest / FRAME))


def _weighted_onsets(features: Features) -> np.ndarray:
    """The whole spectrum's onsets with the low band's added, scaled to the whole's loud end: hats
    and shakers fill every subdivision, while the kick and the bass mark the beat. Measured: 60 of
    the 68 synthesized styles at F >= 0.95 with it, 57 without; the tuning half of the real songs 17
    of 37 either way; the low and middle bands both added: 61 and 16."""
    top = float(np.percentile(features.onsets, 95))
    low = features.low * (top / max(float(np.percentile(features.low, 95)), 1e-9))
    return np.asarray(features.onsets + LOW_WEIGHT * low)


def _beat_strength(onsets: np.ndarray) -> np.ndarray:
    """Per frame, how welcome a beat is there: the onset strength (the peak within a frame, so a hit
    between two frames counts in both) over its recent loud end, less its recent mean."""
    peak = np.maximum(onsets, np.maximum(np.roll(onsets, 1), np.roll(onsets, -1)))
    loud = _running(peak, int(LOUDNESS_SECONDS / FRAME), np.percentile, 95)
    level = np.clip(peak / np.maximum(loud, 1e-9 + QUIET_SHARE * float(np.percentile(loud, 90))), 0.0, 1.5)
    kernel = np.ones(int(MEAN_SECONDS / FRAME)) / int(MEAN_SECONDS / FRAME)
    mean = np.convolve(level, kernel, mode="same")
    return np.asarray(BEAT_GAIN * (level - mean))


def _running(values: np.ndarray, width: int, statistic, *arguments) -> np.ndarray:  # type: ignore[no-untyped-def]
    """``statistic`` over blocks of ``width`` frames, read between the blocks' centres."""
    width = max(1, width)
    starts = np.arange(0, len(values), width // 2 or 1)
    centres, results = [], []
    for start in starts:
        block = values[max(0, start - width // 2) : start + width // 2 + 1]
        centres.append(start)
        results.append(float(statistic(block, *arguments)))
    return np.interp(np.arange(len(values)), centres, results)


def _bars(
    features: Features, chroma: np.ndarray, frames: np.ndarray, beats_per_bar: int | None, downbeat: np.ndarray | None
) -> Bars:
    kick = peaks_near(features.low, frames, reach=2)
    snare = peaks_near(features.mid, frames, reach=2)
    period = float(np.median(np.diff(frames))) / 4 if len(frames) > 1 else 1.0
    harmony = harmonic_change(chroma, frames // 4, beat_frames=period)
    first = None if downbeat is None else peaks_near(downbeat, frames, reach=2)
    return bar_lines(kick, snare, harmony, beats_per_bar=beats_per_bar, downbeat=first)


def _net_activation(audio: np.ndarray, frames: int) -> np.ndarray:
    """The beat network's beat and downbeat activations, read at the tracker's frames."""
    from ..clocks.beat_activation import audio_activations, hop_of

    found = audio_activations(audio, SAMPLE_RATE)
    net_times = np.arange(len(found)) * hop_of(SAMPLE_RATE) / SAMPLE_RATE
    times = np.arange(frames) * FRAME
    return np.stack([np.interp(times, net_times, found[:, column]) for column in range(2)], axis=1)


# The network's activation a is read as the odds of a beat against a frame inside a beat, as if one
# frame in NET_FRAMES were a beat: log((NET_FRAMES - 1) a / (1 - a)), scaled by NET_SCALE against the
# cost of a change of tempo. Chosen on ten songs of the tuning half kept out of the network's training,
# and the 68 synthesized styles: at 4, 6 of 10 at F >= 0.95 (level right on 7) and 65 of 68; at 6, 5
# and 63 (a dembow groove and a dancehall one at double); at 3, 6 (level on 6) and 64; at 2, 3 of 10.
# A scale of 0.15 to 0.3 gave 6 of 10, 1 gave 4.
NET_FRAMES = 4.0
NET_CLIP = 1e-3
NET_SCALE = 0.2


def _net_strength(beat: np.ndarray) -> np.ndarray:
    """How welcome a beat is at each frame, from the network's beat activation: positive where a beat
    is likelier than not, very negative on a frame the network is sure holds none."""
    clipped = np.clip(beat, NET_CLIP, 1 - NET_CLIP)
    return np.asarray(NET_SCALE * (np.log(NET_FRAMES - 1) + np.log(clipped) - np.log(1 - clipped)))


FINE_HOP = 64  # 2.9 ms
# How long before a drum's onset the envelopes peak: the onset enters an analysis window before the
# window's centre reaches it. Measured on single kicks, snares, claps, rims and hats placed exactly
# (bench/bench_beat_tracking.py --latency): the model's beats come 12.7 ms early, the peaks of the
# fine envelope 8-9 ms.
COARSE_LEAD = 0.0127
FINE_LEAD = 0.0085


def _refine(beats: np.ndarray, fine: np.ndarray, rate: float) -> np.ndarray:
    """Moves each beat to the strongest onset within an eighth of its beat (at most 70 ms), when one
    stands out; a beat with no onset near it (a rest, an intro) stays where the model put it. The
    beats keep their order: a beat is never moved past half the way to its neighbours."""
    floor = float(np.median(fine)) + 2.0 * float(np.std(fine))
    refined = beats.copy()
    gaps = np.diff(beats)
    for index, beat in enumerate(beats):
        before = gaps[index - 1] if index > 0 else gaps[0]
        after = gaps[index] if index < len(gaps) else gaps[-1]
        reach = min(0.07, min(before, after) / 8)
        centre = int(round(beat * rate))
        first, last = max(0, centre - int(reach * rate)), min(len(fine), centre + int(reach * rate) + 1)
        if last <= first:
            continue
        peak = first + int(np.argmax(fine[first:last]))
        if fine[peak] >= floor:
            refined[index] = peak / rate + FINE_LEAD
    return refined


def _check_options(
    bpm: float | None, bpm_range: tuple[float, float] | None, beats_per_bar: int | None
) -> tuple[float, float]:
    if beats_per_bar is not None and beats_per_bar not in (3, 4):
        raise ValueError(f"beats_per_bar must be 3 or 4, not {beats_per_bar!r}")
    if bpm is not None:
        bpm = float(bpm)
        if not (np.isfinite(bpm) and 20.0 <= bpm <= 400.0):
            raise ValueError(f"bpm must be between 20 and 400, not {bpm!r}")
    if bpm_range is None:
        return DEFAULT_RANGE
    try:
        low, high = (float(value) for value in bpm_range)
    except (TypeError, ValueError):
        raise ValueError("bpm_range must be two tempi (low, high)") from None
    if not (np.isfinite(low) and np.isfinite(high) and 20.0 <= low < high <= 400.0):
        raise ValueError(f"bpm_range must be (low, high) with 20 <= low < high <= 400, not ({low!r}, {high!r})")
    return low, high
