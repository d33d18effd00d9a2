"""Beat times and the first downbeat of an audio file.

librosa finds the tempo and the beats by dynamic programming over an onset
envelope; around it, this module reads the file, checks that there is sound and
a beat at all, and (step by step, each measured by bench/bench_beat_tracking.py)
sharpens what librosa returns for dance music.
"""

from __future__ import annotations

import dataclasses
import os
import pathlib
from dataclasses import dataclass

import numpy as np

from ..base.optional import require
from ..clocks.beat_map import BeatMap
from .beat_grid import sounding_span, steady_grid
from .beat_phase import on_the_beat, peaks_near, quarter_slots

SAMPLE_RATE = 22050
HOP = 256  # 11.6 ms frames


class AudioError(ValueError):
    """A file that cannot be beat-tracked: missing, not audio, silent, or without a beat."""


@dataclass(frozen=True)
class Steps:
    """The refinements made on top of librosa's tracker; the benchmark switches each one from its
    default to measure what it gains."""

    # An onset envelope of the low band (kick, bass) plus the middle band (snares, claps, toms), each
    # scaled to its own loudness, instead of the whole spectrum, where hats and cymbals weigh most.
    # Off: with every other step on, the whole spectrum's envelope tracks more of the benchmark's
    # styles (67 against 62 of 68).
    low_band: bool = False
    # The tempo chosen where the onsets fit the beat's sixteenth grid best, within dance tempos.
    dance_tempo: bool = True
    # One steady pulse through the whole sound: gaps filled, slips onto the off-beat replaced, and
    # the pulse carried through intros and outros where the tracker stopped (beat_grid.py).
    steady_grid: bool = True
    # Half the tempo when nothing falls between its beats and the low drums skip every other one:
    # those beats are the song's eighth notes (reggae's hats, at twice its tempo).
    eighths_as_beats: bool = True
    # The beats moved by a quarter, half or three quarters of a beat when the kick, the backbeat
    # and the harmony's change on the bar line fall there (beat_phase.py).
    beat_phase: bool = True
    # Each beat moved to the onset it stands for, found at 3 ms resolution, less the detector's latency.
    onset_refinement: bool = True
    # The first downbeat where the harmony changes and the kick falls, not simply the first beat.
    bar_phase: bool = True

    @classmethod
    def switches(cls) -> list[str]:
        return [f.name for f in dataclasses.fields(cls)]

    def without(self, name: str) -> Steps:
        return dataclasses.replace(self, **{name: False})

    def toggled(self, name: str) -> Steps:
        return dataclasses.replace(self, **{name: not getattr(self, name)})


def track_beats(
    path: str | os.PathLike[str], *, bpm: float | None = None, bpm_range: tuple[float, float] | None = None
) -> tuple[np.ndarray, int]:
    """The beat times of the audio file at ``path`` in seconds (ascending float64) and the index of the
    first downbeat among them (best effort).

    ``bpm`` fixes the tempo the beats are tracked at; ``bpm_range`` (low, high) bounds the tempo that is
    searched. Raises AudioError (a ValueError) for a missing file, a file that is not audio, silence,
    or a track with no beat.
    """
    _check_tempi(bpm, bpm_range)
    audio = load_audio(path)
    return track_audio(audio, SAMPLE_RATE, bpm=bpm, bpm_range=bpm_range, name=str(path))


def track_beat_map(
    path: str | os.PathLike[str], *, bpm: float | None = None, bpm_range: tuple[float, float] | None = None
) -> BeatMap:
    """The beat map of the audio file at ``path``: ``track_beats`` made into a clock on the track's time."""
    beats, downbeat = track_beats(path, bpm=bpm, bpm_range=bpm_range)
    return BeatMap(beats, downbeat=downbeat)


def load_audio(path: str | os.PathLike[str]) -> np.ndarray:
    """The file's audio as mono float32 at ``SAMPLE_RATE``."""
    import librosa
    import soundfile  # type: ignore[import-untyped, unused-ignore]

    path = pathlib.Path(path)
    if not path.exists():
        raise AudioError(f"{path}: no such file")
    if not path.is_file():
        raise AudioError(f"{path}: not a file")
    try:
        audio, rate = soundfile.read(str(path), dtype="float32", always_2d=True)
        audio = audio.mean(axis=1)
    except (soundfile.LibsndfileError, RuntimeError, TypeError):
        audio, rate = _decode_with_av(path)
    if len(audio) == 0:
        raise AudioError(f"{path}: the file holds no audio")
    if rate != SAMPLE_RATE:
        audio = librosa.resample(audio, orig_sr=rate, target_sr=SAMPLE_RATE, res_type="soxr_hq")
    return np.ascontiguousarray(audio, dtype=np.float32)


def _decode_with_av(path: pathlib.Path) -> tuple[np.ndarray, int]:
    """Formats libsndfile does not read (AAC, M4A, video files' audio, ...) through PyAV's own codecs."""
    av = require("av", f"reading {path.suffix or 'this'} files")

    try:
        with av.open(str(path)) as container:
            if not container.streams.audio:
                raise AudioError(f"{path}: no audio stream in the file")
            stream = container.streams.audio[0]
            resampler = av.AudioResampler(format="flt", layout="mono", rate=SAMPLE_RATE)
            chunks = []
            for frame in container.decode(stream):
                for mono in resampler.resample(frame):
                    chunks.append(mono.to_ndarray().reshape(-1))
            for mono in resampler.resample(None):
                chunks.append(mono.to_ndarray().reshape(-1))
    except AudioError:
        raise
    except (av.error.FFmpegError, UnicodeDecodeError, ValueError) as error:
        raise AudioError(f"{path}: not an audio file that can be read ({error.__class__.__name__})") from None
    if not chunks:
        raise AudioError(f"{path}: the file holds no audio")
    return np.concatenate(chunks), SAMPLE_RATE


def track_audio(
    audio: np.ndarray,
    sample_rate: int,
    bpm: float | None = None,
    bpm_range: tuple[float, float] | None = None,
    name: str = "the audio",
    steps: Steps = Steps(),
) -> tuple[np.ndarray, int]:
    """``track_beats`` on mono audio already in memory."""
    import librosa

    low, high = _check_tempi(bpm, bpm_range)
    audio = np.asarray(audio, dtype=np.float32)
    if audio.ndim != 1:
        raise AudioError(f"{name}: expected mono audio (one dimension), got shape {audio.shape}")
    if sample_rate != SAMPLE_RATE:
        audio = librosa.resample(audio, orig_sr=sample_rate, target_sr=SAMPLE_RATE, res_type="soxr_hq")
    if not np.all(np.isfinite(audio)):
        raise AudioError(f"{name}: the audio holds samples that are not finite")
    if len(audio) == 0 or float(np.max(np.abs(audio))) < SILENCE:
        raise AudioError(f"{name}: silence, no beat to track")
    if len(audio) < MIN_SECONDS * SAMPLE_RATE:
        raise AudioError(f"{name}: too short to find a beat in (under {MIN_SECONDS:g} s)")
    bands = _Bands(audio)
    envelope = bands.envelope(steps.low_band)
    if _periodicity(bands.envelope(low_band=False)) < MIN_PERIODICITY:
        raise AudioError(f"{name}: no steady beat found")
    if bpm is not None:
        tempo = float(bpm)
    elif steps.dance_tempo:
        tempo = _dance_tempo(envelope, low, high)
    else:
        tempo = float(librosa.feature.tempo(onset_envelope=envelope, sr=SAMPLE_RATE, hop_length=HOP)[0])
    frames = _track(envelope, tempo)
    halving = bpm is None and steps.dance_tempo and steps.eighths_as_beats and tempo / 2 >= low
    if halving and _eighths_as_beats(envelope, bands.low, frames):
        tempo /= 2
        frames = _track(envelope, tempo)
    if len(frames) < 4:
        raise AudioError(f"{name}: no steady beat found")
    beats = librosa.frames_to_time(frames, sr=SAMPLE_RATE, hop_length=HOP).astype(np.float64)
    first_sound, last_sound = bands.sounding_span()
    if steps.steady_grid:
        beats = steady_grid(beats, first_sound, last_sound, bands.duration)
    if steps.beat_phase:
        chroma = librosa.feature.chroma_stft(y=audio, sr=SAMPLE_RATE, n_fft=4096, hop_length=HOP, tuning=0.0)
        beats = on_the_beat(beats, bands.low, bands.mid, chroma, HOP / SAMPLE_RATE)
        if steps.steady_grid:
            beats = steady_grid(beats, first_sound, last_sound, bands.duration)
    if steps.onset_refinement:
        beats = _refine(beats + COARSE_LEAD, _fine_envelope(audio))
    downbeat = _bar_phase(beats, bands) if steps.bar_phase else 0
    return beats, downbeat


SILENCE = 1e-4  # -80 dB: nothing to hear
MIN_SECONDS = 2.0
# Quieter than this below the track's loud end counts as no sound (a fade's tail, a leading silence).
QUIET_DB = 50.0
# The normalized autocorrelation the whole spectrum's onset envelope must reach at some beat period
# (70-200 BPM) to count as having a beat. Measured: white noise 0.06, a held tone 0, a held three-note
# chord 0.11; the least periodic of the 68 synthesized grooves of the benchmark 0.28.
MIN_PERIODICITY = 0.15
# Dance music: the tempo is searched between these unless the caller gives a range.
DANCE_RANGE = (70.0, 180.0)
# Tempi equally good at the grid are told apart by their distance (in octaves) from this tempo.
DANCE_CENTRE = 130.0
OCTAVE_PENALTY = 0.3


def _check_tempi(bpm: float | None, bpm_range: tuple[float, float] | None) -> tuple[float, float]:
    if bpm is not None:
        bpm = float(bpm)
        if not (np.isfinite(bpm) and 20.0 <= bpm <= 400.0):
            raise ValueError(f"bpm must be between 20 and 400, not {bpm!r}")
    if bpm_range is None:
        return DANCE_RANGE
    try:
        low, high = (float(value) for value in bpm_range)
    except (TypeError, ValueError):
        raise ValueError("bpm_range must be two tempi (low, high)") from None
    if not (np.isfinite(low) and np.isfinite(high) and 20.0 <= low < high <= 400.0):
        raise ValueError(f"bpm_range must be (low, high) with 20 <= low < high <= 400, not ({low!r}, {high!r})")
    return low, high


class _Bands:
    """Log-mel spectral flux of the whole spectrum and of its bands."""

    def __init__(self, audio: np.ndarray) -> None:
        import librosa

        mel = librosa.feature.melspectrogram(
            y=audio, sr=SAMPLE_RATE, n_fft=1024, hop_length=HOP, n_mels=64, fmax=SAMPLE_RATE / 2
        )
        self.power = mel
        level = librosa.power_to_db(mel, ref=np.max, top_db=80.0)
        flux = np.maximum(0.0, np.diff(level, axis=1, prepend=level[:, :1]))
        hertz = librosa.mel_frequencies(n_mels=64, fmax=SAMPLE_RATE / 2)
        self.hertz = hertz
        self.full = flux.mean(axis=0)
        self.low = flux[hertz < 160.0].mean(axis=0)
        self.mid = flux[(hertz >= 160.0) & (hertz < 4000.0)].mean(axis=0)
        self.duration = level.shape[1] * HOP / SAMPLE_RATE
        self.loudness = librosa.power_to_db(mel.sum(axis=0), ref=np.max, top_db=120.0)

    def sounding_span(self) -> tuple[float, float]:
        """From the first sound to the end of the last, in seconds."""
        return sounding_span(self.loudness, HOP / SAMPLE_RATE, QUIET_DB)

    def envelope(self, low_band: bool) -> np.ndarray:
        if not low_band:
            return _scaled(self.full)
        return np.asarray(_scaled(self.mid) + _scaled(self.low))


def _scaled(envelope: np.ndarray) -> np.ndarray:
    top = float(np.percentile(envelope, 95))
    return envelope / top if top > 0 else envelope


def _autocorrelation(envelope: np.ndarray) -> np.ndarray:
    centred = envelope - envelope.mean()
    spectrum = np.fft.rfft(centred, 2 * len(centred))
    return np.asarray(np.fft.irfft(spectrum * np.conj(spectrum))[: len(centred)])


def _periodicity(envelope: np.ndarray) -> float:
    correlation = _autocorrelation(envelope)
    if correlation[0] <= 0:
        return 0.0
    shortest = int(60.0 / 200.0 * SAMPLE_RATE / HOP)
    longest = min(len(correlation) - 1, int(60.0 / 70.0 * SAMPLE_RATE / HOP) + 1)
    if longest <= shortest:
        return 0.0
    return float(np.max(correlation[shortest:longest]) / correlation[0])


def _track(envelope: np.ndarray, tempo: float) -> np.ndarray:
    """The beat frames librosa's dynamic programming finds at ``tempo``."""
    import librosa

    _, frames = librosa.beat.beat_track(onset_envelope=envelope, sr=SAMPLE_RATE, hop_length=HOP, bpm=tempo)
    return np.asarray(frames)


def _frames(times: np.ndarray, count: int) -> np.ndarray:
    return np.asarray(np.clip(np.round(times * SAMPLE_RATE / HOP).astype(int), 0, count - 1))


# The tracker's beats keep a candidate tempo when their median interval is within this share of it.
HELD_TEMPO = 0.05


def _grid_fit(envelope: np.ndarray, tempo: float) -> float:
    """The share of the onset energy (above the median) that falls within a frame of the sixteenth
    grid of the beats tracked at ``tempo``: the beat's own grid holds nearly every hit of a groove,
    a grid two thirds or three halves as fast misses many. A tempo whose beats the tracker does not
    keep (they drift to another pulse, more than HELD_TEMPO away) fits nothing: its grid would be
    that other pulse's."""
    import librosa

    frames = _track(envelope, tempo)
    if len(frames) < 4:
        return 0.0
    beats = librosa.frames_to_time(frames, sr=SAMPLE_RATE, hop_length=HOP)
    if abs(60.0 / float(np.median(np.diff(beats))) / tempo - 1.0) > HELD_TEMPO:
        return 0.0
    grid = quarter_slots(beats)
    near = np.zeros(len(envelope), dtype=bool)
    for shift in (-1, 0, 1):
        near[np.clip(_frames(grid, len(envelope)) + shift, 0, len(envelope) - 1)] = True
    first, last = frames[0], frames[-1]
    strength = envelope[first:last]
    strength = np.maximum(0.0, strength - np.median(strength))
    total = float(strength.sum())
    return float((strength * near[first:last]).sum() / total) if total > 0 else 0.0


# How much the drums' repeating every bar (or two) of four beats weighs in the choice of tempo,
# beside the sixteenth grid's fit (a share of the onsets, 0-1).
BAR_WEIGHT = 1.0


def _bar_repeat(envelope: np.ndarray, tempo: float) -> float:
    """How closely the onsets repeat after one bar of four beats at ``tempo``, or after two (the
    normalized autocorrelation at that lag): a groove repeats bar by bar at its own tempo, while at
    three halves of it four beats end in the middle of the groove's bar."""
    centred = envelope - envelope.mean()
    energy = float(centred @ centred)
    if energy <= 0:
        return 0.0
    best = -1.0
    for bars in (1, 2):
        lag = bars * 4 * 60.0 / tempo * SAMPLE_RATE / HOP
        for frames in range(int(lag) - 1, int(lag) + 3):
            if 0 < frames < len(centred) // 2:
                best = max(best, float(centred[:-frames] @ centred[frames:]) / energy)
    return best


def _dance_tempo(envelope: np.ndarray, low: float, high: float) -> float:
    """The tempo among the autocorrelation's strongest periods and their simple ratios whose
    sixteenth grid best holds the onsets and at which the onsets repeat bar by bar, with a small pull
    towards the middle of dance tempi."""
    import librosa

    tempogram = librosa.feature.tempogram(onset_envelope=envelope, sr=SAMPLE_RATE, hop_length=HOP, win_length=512)
    strength = tempogram.mean(axis=1)
    tempi = librosa.tempo_frequencies(tempogram.shape[0], sr=SAMPLE_RATE, hop_length=HOP)
    inside = (tempi >= low / 2) & (tempi <= high * 2)
    peaks = [
        i for i in range(1, len(strength) - 1)
        if inside[i] and strength[i] >= strength[i - 1] and strength[i] >= strength[i + 1]
    ]
    peaks = sorted(peaks, key=lambda i: -strength[i])[:6]
    # Halves and doubles, and two thirds and three halves: a syncopated groove's
    # strongest period is often a dotted one.
    candidates: list[float] = []
    for tempo in sorted(
        float(tempi[i]) * factor for i in peaks for factor in (0.5, 2 / 3, 1.0, 1.5, 2.0)
    ):
        if low <= tempo <= high and not (candidates and tempo < candidates[-1] * 1.02):
            candidates.append(tempo)
    correlation = _autocorrelation(envelope)
    precise: list[float] = []
    for tempo in sorted(_precise_tempo(correlation, tempo, low, high) for tempo in candidates):
        if not (precise and tempo < precise[-1] * 1.02):
            precise.append(round(tempo, 2))
    candidates = precise
    if not candidates:
        tempo = librosa.feature.tempo(onset_envelope=envelope, sr=SAMPLE_RATE, hop_length=HOP)[0]
        return float(np.clip(tempo, low, high))

    def score(tempo: float) -> float:
        return (
            _grid_fit(envelope, tempo)
            + BAR_WEIGHT * _bar_repeat(envelope, tempo)
            - OCTAVE_PENALTY * abs(float(np.log2(tempo / DANCE_CENTRE)))
        )

    return max(candidates, key=score)


# The tempogram's bins lie 2.4 % apart at 120 BPM (a frame of lag); the tempo between them is found
# where the onsets repeat after 1, 2, 4 and 8 beats at once, searched this far either side in steps
# of PRECISION.
NEAR_TEMPO = 0.03
PRECISION = 0.05  # BPM
REPEATS = (1, 2, 4, 8)


def _precise_tempo(correlation: np.ndarray, tempo: float, low: float, high: float) -> float:
    """The tempo near ``tempo`` at which the envelope's autocorrelation, read between its frames,
    is highest summed over lags of 1, 2, 4 and 8 beats: 8 beats pin the tempo eight times as finely
    as one."""
    tempi = np.arange(max(low, tempo * (1 - NEAR_TEMPO)), min(high, tempo * (1 + NEAR_TEMPO)) + PRECISION, PRECISION)
    if len(tempi) == 0:
        return tempo
    lags = np.outer(60.0 / tempi * SAMPLE_RATE / HOP, REPEATS)
    inside = lags < len(correlation) - 1
    heights = np.where(inside, np.interp(np.where(inside, lags, 0), np.arange(len(correlation)), correlation), 0.0)
    return float(tempi[int(np.argmax(heights.sum(axis=1)))])


# Below this share of the onsets between the beats (on the "e", "&" and "a"), a tempo's beats hold the
# whole groove; measured at the right tempo of the benchmark's styles the share is at least 0.25,
# except for bare four-on-the-floor kicks (0.01-0.03), whose every beat the low drums mark alike.
BARE_BEATS = 0.15
# Below this ratio between the low band's hits on alternate beats, the low drums skip every other beat
# (the lowest at the right tempo: 0.37, a four-on-the-floor over a bass on 1 and the "&" of 3; reggae's
# songs at twice their tempo: 0.04-0.33).
SKIPPED_BEATS = 0.35


def _eighths_as_beats(envelope: np.ndarray, low: np.ndarray, frames: np.ndarray) -> bool:
    """Whether the tracked beat ``frames`` hold every onset while the low drums mark only every other
    one: then each of those beats is an eighth note of a song at half the tempo."""
    import librosa

    if len(frames) < 8:
        return False
    strength = np.maximum(0.0, envelope - np.median(envelope))
    bass = np.maximum(0.0, low - np.median(low))
    slots = _frames(quarter_slots(librosa.frames_to_time(frames, sr=SAMPLE_RATE, hop_length=HOP)), len(envelope))
    per_quarter = peaks_near(strength, slots).reshape(-1, 4).mean(axis=0)
    total = float(per_quarter.sum())
    between = 1.0 - float(per_quarter[0]) / total if total > 0 else 0.0
    hits = peaks_near(bass, frames)
    count = len(hits) // 2 * 2
    alternate = sorted([float(hits[0:count:2].mean()), float(hits[1:count:2].mean())])
    evenness = alternate[0] / alternate[1] if alternate[1] > 0 else 1.0
    return between < BARE_BEATS and evenness < SKIPPED_BEATS


FINE_HOP = 64  # 2.9 ms
# How long before a drum's onset the envelopes peak: the onset enters an analysis window before the
# window's centre reaches it. Measured on single kicks, snares, claps, rims and hats placed exactly
# (bench/bench_beat_tracking.py --latency): the beats of the 46 ms windows of the tracker's envelope
# come 13.5 ms early, the peaks of the 23 ms windows of the fine envelope 8.5 ms early.
COARSE_LEAD = 0.0135
FINE_LEAD = 0.0085


def _fine_envelope(audio: np.ndarray) -> np.ndarray:
    import librosa

    mel = librosa.feature.melspectrogram(y=audio, sr=SAMPLE_RATE, n_fft=512, hop_length=FINE_HOP, n_mels=40)
    level = librosa.power_to_db(mel, ref=np.max, top_db=80.0)
    return np.maximum(0.0, np.diff(level, axis=1, prepend=level[:, :1])).mean(axis=0)


def _onset_near(fine: np.ndarray, floor: float, time: float, reach: float) -> float | None:
    """The time of the strongest onset within ``reach`` seconds of ``time`` if it rises above
    ``floor``, else None."""
    step = FINE_HOP / SAMPLE_RATE
    centre = int(round(time / step))
    first, last = max(0, centre - int(reach / step)), min(len(fine), centre + int(reach / step) + 1)
    if last <= first:
        return None
    peak = first + int(np.argmax(fine[first:last]))
    return peak * step if fine[peak] >= floor else None


def _floor(fine: np.ndarray) -> float:
    """An onset stands out two deviations above the envelope's median."""
    return float(np.median(fine)) + 2.0 * float(np.std(fine))


def _refine(beats: np.ndarray, fine: np.ndarray) -> np.ndarray:
    """Moves each beat to the strongest onset within an eighth of a beat, when one stands out; a
    beat with no onset near it (a rest, an intro) stays where the tracker put it."""
    floor = _floor(fine)
    period = float(np.median(np.diff(beats))) if len(beats) > 1 else 0.5
    refined = beats.copy()
    for index, beat in enumerate(beats):
        onset = _onset_near(fine, floor, beat, min(0.07, period / 8))
        if onset is not None:
            refined[index] = onset + FINE_LEAD
    # Beats stay strictly ascending: a beat whose onset would not follow the one before is dropped.
    keep = np.concatenate([[True], np.diff(refined) > 0])
    return np.asarray(refined[keep])


def _bar_phase(beats: np.ndarray, bands: _Bands) -> int:
    """The index (0-3) of the first downbeat: the phase of four beats where the harmony changes most
    (chords and bass lines move on the bar line) and the low band hits hardest."""
    import librosa

    if len(beats) < 8:
        return 0
    frames = _frames(beats, bands.power.shape[1])
    # The bass and the chords: the bands below 1 kHz, in decibels, the median over each beat so
    # that the drum hits in it weigh little.
    level = librosa.power_to_db(bands.power[bands.hertz < 1000.0], ref=np.max, top_db=80.0)
    segments = librosa.util.sync(level, [int(f) for f in frames], aggregate=np.median)[:, 1 : len(frames)]
    segments = segments - segments.mean(axis=1, keepdims=True)
    segments = segments / (np.linalg.norm(segments, axis=0, keepdims=True) + 1e-9)
    change = np.concatenate([[0.0], 1.0 - np.sum(segments[:, 1:] * segments[:, :-1], axis=0)])
    kick = peaks_near(bands.low, frames)
    change = np.concatenate([change, [0.0]])  # the last beat has no segment after it
    score = _standard(change) + 0.5 * _standard(kick)
    phases = [float(np.mean(score[phase::4])) for phase in range(4)]
    return int(np.argmax(phases))


def _standard(values: np.ndarray) -> np.ndarray:
    spread = float(np.std(values))
    return (values - values.mean()) / spread if spread > 0 else values * 0.0
