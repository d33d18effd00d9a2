"""A video of patterns moving to a song: H.264 frames of each pattern's point beside the song's audio (AAC).

Every pattern has a square panel (see ``layout``) drawn by the ``painter``;
frame k shows the pip that the clock has in effect at ``start + k / fps``
seconds of the song (see ``frames``). The song is read and re-encoded in
slices beside the frames, and the file appears under its name only when it
is complete (see ``base.files``).
"""

from __future__ import annotations

import dataclasses
import math
import os
import pathlib
import stat
from collections.abc import Callable, Iterator, Mapping, Sequence
from fractions import Fraction
from typing import Any

import numpy as np

import kinetrope

from ..base.errors import KinetropeError
from ..base.files import check_replaceable, replacing
from ..base.instances import library_or_none
from ..base.optional import require
from ..clocks import Clock
from ..music.audio import AudioStream
from ..patterns.arrays import rows
from .frames import frames
from .layout import Layout, layout_for
from .painter import Painter

MAX_FRAMES = 180_000  # an hour at 50 frames a second
MAX_FPS = 120
MIN_SIZE, MAX_SIZE = 120, 2160
MAX_WIDTH = 3840
MAX_PATTERNS = 16
AAC_RATES = (96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350)
VIDEO_OPTIONS = {"crf": "20", "preset": "veryfast"}
AUDIO_BIT_RATE = 192_000


class RenderError(KinetropeError, ValueError):
    """A value ``render`` refuses.

    Parameters
    ----------
    template : str
        The message, with each value it names written as ``{name}``.
    about : tuple of str
        The names of the values written so (``"start"``, ``"seconds"``).

    Notes
    -----
    ``str()`` names the values by their parameters' names; ``worded``
    names them as a caller knows them (a command, by its options).
    """

    def __init__(self, template: str, *, about: tuple[str, ...] = ()) -> None:
        self.template = template
        self.about = about
        super().__init__(self.worded({}))

    def worded(self, names: Mapping[str, str]) -> str:
        """The message with each value named as ``names`` says, the others by their parameters' names."""
        text = self.template
        for name in self.about:
            text = text.replace("{" + name + "}", names.get(name, name))
        return text


class SongError(KinetropeError, OSError):
    """A song that is not there or is not a file (a folder, a FIFO, a device)."""


@dataclasses.dataclass(frozen=True)
class Rendered:
    """What ``render`` wrote."""

    path: pathlib.Path
    frames: int
    fps: int
    width: int
    height: int
    seconds: float  # the length of the audio written
    sample_rate: int
    clock: Clock  # the clock the frames followed: the one given, or the song's tracked beat map


def _check_whole(value: Any, name: str, low: int, high: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
        raise RenderError(f"{name} must be a whole number from {low} to {high}")
    return value


def _check_seconds(value: Any, name: str, zero_allowed: bool) -> float:
    number = float(value)
    if not math.isfinite(number) or number < 0 or (number == 0 and not zero_allowed):
        raise RenderError(f"{name} must be a finite number of seconds{', 0 or more' if zero_allowed else ' above 0'}")
    return number


def _check_song(song: pathlib.Path) -> None:
    # Before anything opens it: opening a FIFO would wait for a writer, and a
    # device would be read without end.
    try:
        mode = os.stat(song).st_mode
    except FileNotFoundError:
        raise SongError(f"{song}: no such file") from None
    if not stat.S_ISREG(mode):
        raise SongError(f"{song}: not a file")




def _beat_map_of(song: pathlib.Path) -> Clock:
    from ..music.tracking import track_beat_map

    return track_beat_map(song)


def render(
    output: str | os.PathLike[str],
    song: str | os.PathLike[str],
    patterns: Sequence[str],
    *,
    clock: Clock | None = None,
    fps: int = 50,
    size: int = 720,
    start: float = 0.0,
    seconds: float | None = None,
    library: kinetrope.PatternLibrary | None = None,
    progress: Callable[[int], None] | None = None,
) -> Rendered:
    """Writes an MP4 of each pattern's point moving to ``song`` as ``clock`` counts its pips.

    Parameters
    ----------
    output : str or os.PathLike
        The MP4 to write; it appears only when complete (a link there is
        replaced, never written through).
    song : str or os.PathLike
        An audio file FFmpeg reads (WAV, FLAC, OGG, MP3, ...).
    patterns : sequence of str
        1 to MAX_PATTERNS pattern names, one panel each.
    clock : Clock, optional
        Any clock whose seconds are the song's own time (a beat map of the
        song, a fixed tempo from the song's first beat); without one, the
        song's beats are tracked first.
    fps : int, optional
        Frames a second, 1 to MAX_FPS.
    size : int, optional
        The video's height in pixels, MIN_SIZE to MAX_SIZE (and at most
        MAX_WIDTH wide).
    start : float, optional
        Where the video begins in the song, in seconds.
    seconds : float, optional
        How long it runs; by default to the song's end.
    library : kinetrope.PatternLibrary, optional
        Where the names are looked up besides the defaults.
    progress : callable, optional
        Called with the number of frames written so far.

    Returns
    -------
    Rendered
        What was written.

    Raises
    ------
    RenderError
        For a value out of range, a start past the song's end, or a video
        longer than MAX_FRAMES frames (a ``ValueError``).
    SongError
        For a song that is not there or is not a regular file (an ``OSError``).
    ValueError
        For an unknown pattern or a song that cannot be read.
    OSError
        For the output: a folder, a device or a FIFO there is refused
        (see ``base.files.check_replaceable``).
    WrongTypeError
        For a ``library`` that is not a ``kinetrope.PatternLibrary``.
    """
    av = require("av", "kinetrope render")

    library = library_or_none(library)
    names = [str(name) for name in patterns]
    if not 1 <= len(names) <= MAX_PATTERNS:
        raise RenderError(f"give 1 to {MAX_PATTERNS} patterns, not {len(names)}")
    fps = _check_whole(fps, "fps", 1, MAX_FPS)
    size = _check_whole(size, "size", MIN_SIZE, MAX_SIZE)
    start = _check_seconds(start, "start", zero_allowed=True)
    if seconds is not None:
        seconds = _check_seconds(seconds, "seconds", zero_allowed=False)
    layout = layout_for(len(names), size)
    if layout.width > MAX_WIDTH:
        raise RenderError(f"a frame of {layout.width}x{layout.height} pixels is wider than {MAX_WIDTH}; choose a smaller size")
    for name in names:
        rows(name, library)  # an unknown name fails here, before any work

    song = pathlib.Path(song)
    output = pathlib.Path(output)
    check_replaceable(output)
    _check_song(song)
    if output.exists() and os.path.samefile(song, output):
        raise RenderError(f"{output}: the output would replace the song")
    audio = AudioStream(song, start=start, seconds=seconds, rates=AAC_RATES)
    try:
        estimate = audio.estimated_seconds()
        if estimate is not None and estimate <= 0:
            raise RenderError(f"{{start}} {start:g} s is past the end of the song ({start + estimate:.2f} s)", about=("start",))
        if estimate is not None and estimate * fps > MAX_FRAMES:
            raise RenderError(
                f"{math.ceil(estimate * fps)} frames is more than {MAX_FRAMES}; "
                "render a part of the song with {start} and {seconds}",
                about=("start", "seconds"),
            )
        if clock is None:
            clock = _beat_map_of(song)
        painter = Painter(layout, names, library)
        output.parent.mkdir(parents=True, exist_ok=True)
        with replacing(output) as file, av.open(file, "w", format="mp4") as box:
            written, samples = _write(box, audio, frames(painter, clock, fps=fps, start=start), layout, fps, progress)
            if samples == 0:
                raise RenderError(f"{{start}} {start:g} s is past the end of the song", about=("start",))
    finally:
        audio.close()
    return Rendered(output, written, fps, layout.width, layout.height, samples / audio.rate, audio.rate, clock)


def _write(
    box: Any,
    audio: AudioStream,
    pictures: Iterator[Any],
    layout: Layout,
    fps: int,
    progress: Callable[[int], None] | None,
) -> tuple[int, int]:
    """Encodes the song's slices and, between them, every frame up to the audio written; returns (frames, samples)."""
    av = require("av", "kinetrope render")

    video = box.add_stream("libx264", rate=fps, options=VIDEO_OPTIONS)
    video.width, video.height, video.pix_fmt = layout.width, layout.height, "yuv420p"
    sound = box.add_stream("aac", rate=audio.rate, layout=audio.layout)
    sound.bit_rate = AUDIO_BIT_RATE
    written = samples = 0

    def video_until(count: int) -> None:
        nonlocal written
        if count > MAX_FRAMES:
            raise RenderError(
                f"the video would pass {MAX_FRAMES} frames; render a part of the song with {{start}} and {{seconds}}",
                about=("start", "seconds"),
            )
        while written < count:
            frame = av.VideoFrame.from_image(next(pictures))
            frame.pts, frame.time_base = written, Fraction(1, fps)
            box.mux(video.encode(frame))
            written += 1
            if progress is not None:
                progress(written)

    for piece in audio.slices():
        frame = av.AudioFrame.from_ndarray(np.ascontiguousarray(piece), format="fltp", layout=audio.layout)
        frame.sample_rate, frame.pts, frame.time_base = audio.rate, samples, Fraction(1, audio.rate)
        box.mux(sound.encode(frame))
        samples += piece.shape[1]
        # Frames whose time the audio has reached, so the two stay interleaved.
        video_until(samples * fps // audio.rate)
    box.mux(sound.encode(None))
    video_until(-(-samples * fps // audio.rate))  # cover the whole audio
    box.mux(video.encode(None))
    return written, samples
