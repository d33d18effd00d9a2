"""Reading a song's audio: one decoder for every format, with bounds checked before decoding.

libsndfile reads WAV, FLAC, OGG and MP3 directly; everything else (AAC, M4A,
a video's sound) goes through PyAV. Both say the sample rate and the length
before a sample is decoded, so a file that claims an implausible rate or a
length no song has is refused in one line instead of filling the memory, and
decoding stops at the longest song accepted whatever the header said.
"""

from __future__ import annotations

import os
import pathlib
import stat
from collections.abc import Collection, Iterator
from typing import Any

import numpy as np

from ..base.errors import KinetropeError
from ..base.optional import require

# Sample rates outside these are not audio a song is stored in (a WAV at 1 Hz, at 10 MHz).
LOWEST_RATE = 4000
HIGHEST_RATE = 384000
# The longest audio read: a long DJ mix. Longer files are refused before decoding.
LONGEST_SECONDS = 30 * 60.0


class AudioError(KinetropeError, ValueError):
    """A file whose audio cannot be read or tracked: missing, not audio, implausible, silent, or
    without a beat."""


def checked_file(path: str | os.PathLike[str]) -> pathlib.Path:
    """``path`` if it names a regular file; AudioError otherwise (a FIFO is refused, never waited on)."""
    path = pathlib.Path(path)
    try:
        mode = path.stat().st_mode
    except FileNotFoundError:
        raise AudioError(f"{path}: no such file") from None
    except OSError as error:
        raise AudioError(f"{path}: cannot be read ({error.strerror or error})") from None
    if not stat.S_ISREG(mode):
        raise AudioError(f"{path}: not a file")
    return path


def _check_header(path: pathlib.Path, rate: float, seconds: float | None) -> None:
    if not LOWEST_RATE <= rate <= HIGHEST_RATE:
        raise AudioError(
            f"{path}: a sample rate of {rate:g} Hz is not a song's (from {LOWEST_RATE} to {HIGHEST_RATE} Hz)"
        )
    if seconds is not None and seconds > LONGEST_SECONDS:
        raise AudioError(
            f"{path}: {seconds / 60:.0f} minutes is longer than the {LONGEST_SECONDS / 60:.0f} minutes a song "
            "may last here; cut it first"
        )


def load_audio(path: str | os.PathLike[str], rate: int) -> np.ndarray:
    """The file's audio as mono float32 at ``rate``, bounded before and while decoding."""
    import soundfile  # type: ignore[import-untyped, unused-ignore]

    path = checked_file(path)
    try:
        with soundfile.SoundFile(str(path)) as sound:
            _check_header(path, float(sound.samplerate), sound.frames / sound.samplerate if sound.frames > 0 else None)
            limit = int(LONGEST_SECONDS * sound.samplerate) + 1
            audio = sound.read(frames=limit, dtype="float32", always_2d=True).mean(axis=1)
            native = int(sound.samplerate)
    except (soundfile.LibsndfileError, RuntimeError, TypeError):
        stream = AudioStream(path, rates=(rate,), channels=1)
        try:
            chunks = [piece[0] for piece in stream.slices()]
        finally:
            stream.close()
        audio = np.concatenate(chunks) if chunks else np.zeros(0, dtype=np.float32)
        native = rate
    if len(audio) == 0:
        raise AudioError(f"{path}: the file holds no audio")
    if len(audio) > LONGEST_SECONDS * native:
        _check_header(path, native, len(audio) / native)
    if native != rate:
        import librosa

        audio = librosa.resample(audio, orig_sr=native, target_sr=rate, res_type="soxr_hq")
    return np.ascontiguousarray(audio, dtype=np.float32)


class AudioStream:
    """A file's audio through PyAV from ``start`` for ``seconds`` (or to its end), as (channels, n)
    float32 slices.

    The slices are at the file's own rate when it is one of ``rates`` (or when ``rates`` is None),
    else at 48 kHz (or the highest of ``rates``); mono for a mono file or when ``channels`` is 1, else stereo.
    """

    def __init__(
        self,
        path: str | os.PathLike[str],
        *,
        start: float = 0.0,
        seconds: float | None = None,
        rates: Collection[int] | None = None,
        channels: int | None = None,
    ) -> None:
        av = require("av", "reading this file's audio")

        self.path = checked_file(path)
        try:
            self.container = av.open(str(self.path))
        except (av.error.FFmpegError, OSError, UnicodeDecodeError, ValueError) as error:
            raise AudioError(f"{self.path}: not an audio file that can be read ({_reason(error)})") from None
        try:
            if not self.container.streams.audio:
                raise AudioError(f"{self.path}: the file holds no audio")
            self.stream = self.container.streams.audio[0]
            native = self.stream.codec_context.sample_rate or 48000
            _check_header(self.path, float(native), self._header_seconds())
        except BaseException:
            self.container.close()
            raise
        self.rate = native if rates is None or native in rates else (48000 if 48000 in rates else max(rates))
        mono = channels == 1 or self.stream.codec_context.layout.nb_channels == 1
        self.layout = "mono" if mono else "stereo"
        self.start = start
        self.first = round(start * self.rate)
        self.end = None if seconds is None else self.first + round(seconds * self.rate)
        self.longest = round(LONGEST_SECONDS * self.rate)

    def _header_seconds(self) -> float | None:
        if self.container.duration is not None:
            return float(self.container.duration) / 1_000_000
        if self.stream.duration is not None and self.stream.time_base is not None:
            return float(self.stream.duration * self.stream.time_base)
        return None

    def estimated_seconds(self) -> float | None:
        """The segment's length as the container tells it before decoding, or None if it does not."""
        if self.container.duration is None:
            return None
        length = float(self.container.duration) / 1_000_000 - self.start
        if self.end is not None:
            length = min(length, (self.end - self.first) / self.rate)
        return length

    def slices(self) -> Iterator[np.ndarray]:
        """(channels, n) float32 slices of the segment, in order."""
        av = require("av", "reading this file's audio")

        resampler = av.AudioResampler(format="fltp", layout=self.layout, rate=self.rate)
        position = 0  # samples of the whole song decoded so far
        try:
            for frame in self._decoded():
                for out in resampler.resample(frame):
                    array = out.to_ndarray()
                    begin, position = position, position + array.shape[1]
                    if position > self.longest:
                        _check_header(self.path, float(self.rate), position / self.rate)
                    low = max(self.first, begin) - begin
                    high = array.shape[1] if self.end is None else min(self.end, position) - begin
                    if high > low:
                        yield array[:, low:high]
                    if self.end is not None and position >= self.end:
                        return
        except (av.error.FFmpegError, UnicodeDecodeError, ValueError) as error:
            if isinstance(error, AudioError):
                raise
            raise AudioError(f"{self.path}: the audio cannot be decoded ({_reason(error)})") from None

    def _decoded(self) -> Iterator[Any]:
        yield from self.container.decode(self.stream)
        yield None  # flushes the resampler

    def close(self) -> None:
        self.container.close()


def _reason(error: BaseException) -> str:
    text = getattr(error, "strerror", None) or str(error) or error.__class__.__name__
    return str(text).strip().rstrip(".")
