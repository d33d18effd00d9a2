"""Beat times and the first downbeat of an audio file.

librosa finds the tempo and the beats by dynamic programming over an onset
envelope; around it, this module reads the file, checks that there is sound and
a beat at all, and (step by step, each measured by bench/bench_beat_tracking.py)
sharpens what librosa returns for dance music.
"""

from __future__ import annotations

import dataclasses
import pathlib
from dataclasses import dataclass

import numpy as np

SAMPLE_RATE = 22050
HOP = 256  # 11.6 ms frames


class AudioError(ValueError):
    """A file that cannot be beat-tracked: missing, not audio, silent, or without a beat."""


@dataclass(frozen=True)
class Steps:
    """The refinements made on top of librosa's tracker (all on by default; the benchmark turns them
    off one by one to measure what each gains)."""

    baseline_only: bool = False

    @classmethod
    def switches(cls) -> list[str]:
        return [f.name for f in dataclasses.fields(cls)]

    def without(self, name: str) -> Steps:
        return dataclasses.replace(self, **{name: False})


def track_beats(
    path: str | pathlib.Path, bpm: float | None = None, bpm_range: tuple[float, float] | None = None
) -> tuple[np.ndarray, int]:
    """The beat times of the audio file at ``path`` in seconds (ascending float64) and the index of the
    first downbeat among them (best effort).

    ``bpm`` fixes the tempo the beats are tracked at; ``bpm_range`` (low, high) bounds the tempo that is
    searched. Raises AudioError (a ValueError) for a missing file, a file that is not audio, silence,
    or a track with no beat.
    """
    audio = load_audio(path)
    return track_audio(audio, SAMPLE_RATE, bpm=bpm, bpm_range=bpm_range, name=str(path))


def load_audio(path: str | pathlib.Path) -> np.ndarray:
    """The file's audio as mono float32 at ``SAMPLE_RATE``."""
    import librosa
    import soundfile

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
    import av

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

    audio = np.asarray(audio, dtype=np.float32)
    if sample_rate != SAMPLE_RATE:
        audio = librosa.resample(audio, orig_sr=sample_rate, target_sr=SAMPLE_RATE, res_type="soxr_hq")
    if not np.all(np.isfinite(audio)):
        raise AudioError(f"{name}: the audio holds samples that are not finite")
    if len(audio) == 0 or float(np.max(np.abs(audio))) < 1e-4:
        raise AudioError(f"{name}: silence, no beat to track")
    onset = librosa.onset.onset_strength(y=audio, sr=SAMPLE_RATE, hop_length=HOP)
    kwargs = {"bpm": float(bpm)} if bpm is not None else {}
    tempo, frames = librosa.beat.beat_track(onset_envelope=onset, sr=SAMPLE_RATE, hop_length=HOP, **kwargs)
    if len(frames) < 4:
        raise AudioError(f"{name}: no steady beat found")
    beats = librosa.frames_to_time(frames, sr=SAMPLE_RATE, hop_length=HOP).astype(np.float64)
    return beats, 0
