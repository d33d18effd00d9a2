"""What the tracker reads from the audio: onset strength in bands, loudness and the harmony's change.

The spectrum is taken in blocks of a minute, so a long mix never holds its
whole short-time Fourier transform in memory at once.
"""

from __future__ import annotations

import numpy as np

N_FFT = 1024
MELS = 64
BLOCK_FRAMES = 10000
# The low band (kick, bass) and the middle band (snares, claps, toms, the chords' attacks), in Hz.
LOW_TOP = 160.0
MID_TOP = 4000.0


class Features:
    """Log-mel spectral flux of the whole spectrum and of its low and middle bands, one value a frame
    of ``hop`` samples, and the loudness of each frame."""

    def __init__(self, audio: np.ndarray, rate: int, hop: int) -> None:
        import librosa

        self.rate, self.hop = rate, hop
        mel = _mel_power(audio, rate, hop)
        level = librosa.power_to_db(mel, ref=np.max, top_db=80.0)
        flux = np.maximum(0.0, np.diff(level, axis=1, prepend=level[:, :1]))
        hertz = librosa.mel_frequencies(n_mels=MELS, fmax=rate / 2)
        self.onsets = flux.mean(axis=0)
        self.low = flux[hertz < LOW_TOP].mean(axis=0)
        self.mid = flux[(hertz >= LOW_TOP) & (hertz < MID_TOP)].mean(axis=0)
        self.loudness = librosa.power_to_db(mel.sum(axis=0), ref=np.max, top_db=120.0)

    @property
    def frame_seconds(self) -> float:
        return self.hop / self.rate

    def periodicity(self, fastest: float = 200.0, slowest: float = 60.0) -> float:
        """The highest normalized autocorrelation of the onsets at a beat period between the tempi."""
        correlation = autocorrelation(self.onsets)
        if correlation[0] <= 0:
            return 0.0
        shortest = int(60.0 / fastest / self.frame_seconds)
        longest = min(len(correlation) - 1, int(60.0 / slowest / self.frame_seconds) + 1)
        if longest <= shortest:
            return 0.0
        return float(np.max(correlation[shortest:longest]) / correlation[0])

    def chroma(self, audio: np.ndarray, hop: int) -> np.ndarray:
        """The pitch classes every ``hop`` samples, from 4096-sample frames."""
        import librosa

        basis = librosa.filters.chroma(sr=self.rate, n_fft=4096, tuning=0.0)
        power = banded_power(audio, basis, 4096, hop)
        return np.asarray(power / np.maximum(power.max(axis=0, keepdims=True), 1e-12))

    def fine_onsets(self, audio: np.ndarray, hop: int = 64) -> np.ndarray:
        """The onset strength at ``hop`` samples (2.9 ms at 22.05 kHz), for placing beats on their hits."""
        import librosa

        mel = banded_power(audio, librosa.filters.mel(sr=self.rate, n_fft=512, n_mels=40), 512, hop)
        level = librosa.power_to_db(mel, ref=np.max, top_db=80.0)
        return np.asarray(np.maximum(0.0, np.diff(level, axis=1, prepend=level[:, :1])).mean(axis=0))


def _mel_power(audio: np.ndarray, rate: int, hop: int) -> np.ndarray:
    import librosa

    return banded_power(audio, librosa.filters.mel(sr=rate, n_fft=N_FFT, n_mels=MELS, fmax=rate / 2), N_FFT, hop)


def banded_power(audio: np.ndarray, basis: np.ndarray, n_fft: int, hop: int) -> np.ndarray:
    """``basis`` (bands x bins) applied to the power spectrum of frames of ``audio`` centred every
    ``hop`` samples, a block of frames at a time. The power is taken with numpy: librosa's own is
    compiled by numba on its first call, which costs a new install most of a minute."""
    import librosa

    padded = np.pad(audio, n_fft // 2)
    frames = 1 + (len(padded) - n_fft) // hop
    out = np.empty((basis.shape[0], frames), dtype=np.float32)
    for first in range(0, frames, BLOCK_FRAMES):
        last = min(frames, first + BLOCK_FRAMES)
        piece = padded[first * hop : (last - 1) * hop + n_fft]
        spectrum = librosa.stft(piece, n_fft=n_fft, hop_length=hop, center=False)
        power = spectrum.real**2 + spectrum.imag**2
        out[:, first:last] = basis @ power[:, : last - first]
    return out


def autocorrelation(envelope: np.ndarray) -> np.ndarray:
    centred = envelope - envelope.mean()
    spectrum = np.fft.rfft(centred, 2 * len(centred))
    return np.asarray(np.fft.irfft(spectrum * np.conj(spectrum))[: len(centred)])


def peaks_near(envelope: np.ndarray, frames: np.ndarray, reach: int = 1) -> np.ndarray:
    """The envelope's peak within ``reach`` frames of each frame."""
    frames = np.clip(np.asarray(frames, dtype=int), 0, len(envelope) - 1)
    return np.array([envelope[max(0, f - reach) : f + reach + 1].max() for f in frames])


def quarter_slots(beats: np.ndarray) -> np.ndarray:
    """The times of the four sixteenths of every beat but the last."""
    return np.asarray((beats[:-1, None] + np.diff(beats)[:, None] * np.arange(4) / 4).ravel())


def sounding_span(level_db: np.ndarray, frame_seconds: float, quiet_db: float) -> tuple[float, float]:
    """The time of the first and of the end of the last frame whose level is within ``quiet_db`` of
    the loud end of the track (its 95th percentile)."""
    loud = float(np.percentile(level_db, 95))
    audible = np.flatnonzero(level_db >= loud - quiet_db)
    if len(audible) == 0:
        return 0.0, len(level_db) * frame_seconds
    return float(audible[0] * frame_seconds), float((audible[-1] + 1) * frame_seconds)


def harmonic_change(chroma: np.ndarray, frames: np.ndarray, beat_frames: float) -> np.ndarray:
    """At each frame, how different the pitch classes of the beat after it are from those of the beat
    before it (1 - their cosine similarity); where a beat does not fit in the track, the mean change."""
    frames = np.asarray(frames, dtype=int)
    width = max(1, int(beat_frames))
    total = np.cumsum(np.pad(chroma, ((0, 0), (1, 0))), axis=1)
    inside = (frames - width >= 0) & (frames + width < chroma.shape[1])
    if not np.any(inside):
        return np.zeros(len(frames))
    at = frames[inside]
    before = total[:, at] - total[:, at - width]
    after = total[:, at + width] - total[:, at]
    norms = np.linalg.norm(before, axis=0) * np.linalg.norm(after, axis=0)
    similarity = np.divide((before * after).sum(axis=0), norms, out=np.ones_like(norms), where=norms > 0)
    change = np.full(len(frames), np.nan)
    change[inside] = 1.0 - similarity
    return np.where(inside, change, np.nanmean(change))
