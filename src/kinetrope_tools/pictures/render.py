"""A video of patterns moving to a song: H.264 frames of each pattern's point beside the song's audio (AAC).

Every pattern has a square panel with its name. Frame k shows the pip that
the clock has in effect at ``start + k / fps`` seconds of the song; the point
sits at the pattern's (x, y) offset at that pip (x to the right, y up), its
size shows depth (z = +1, near, is largest), and a trail traces the path over
the last few pips. A counter under each panel shows the bar and beat (four
beats a bar, pip 0 on a downbeat), the tempo and the song's time.

Frames are drawn with Pillow onto a background drawn once, the song is read
and re-encoded in slices beside them, and the file appears under its name only
when it is complete.
"""

from __future__ import annotations

import dataclasses
import errno
import math
import os
import pathlib
import secrets
from collections.abc import Callable, Iterator, Sequence
from fractions import Fraction
from typing import Any

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import kinetrope

from ..base.optional import require
from ..base.pips import PIP_MIN
from ..clocks import Clock
from ..music.audio import AudioStream
from ..patterns.arrays import rows, sample_many

PIPS_PER_BAR = 4 * kinetrope.PIPS_PER_BEAT
MAX_FRAMES = 180_000  # an hour at 50 frames a second
MAX_FPS = 120
MIN_SIZE, MAX_SIZE = 120, 2160
MAX_WIDTH = 3840
MAX_PATTERNS = 16
TRAIL_PIPS = 24  # how far back the trail reaches: three eighths of a beat
TRAIL_STEP = 2
SMOOTHING = 3  # the still parts are drawn this many times larger and scaled down
FRAMES_PER_BLOCK = 128  # frames whose offsets are looked up at once
AAC_RATES = (96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350)
VIDEO_OPTIONS = {"crf": "20", "preset": "veryfast"}
AUDIO_BIT_RATE = 192_000

BACKGROUND = (18, 20, 26)
PANEL_EDGE = (44, 48, 58)
GUIDE = (40, 44, 54)
LOOP = (70, 76, 92)
INK = (222, 226, 234)
DIM_INK = (130, 136, 150)
TRAIL = (70, 190, 255)
POINT = (255, 92, 48)
POINT_EDGE = (255, 214, 190)
BEAT_OFF = (64, 70, 84)
BEAT_ON = (255, 196, 60)


@dataclasses.dataclass(frozen=True)
class Layout:
    """Where each pattern's panel and plotting square lie in the frame.

    Panels are squares of ``panel`` pixels in ``rows`` rows of ``columns``,
    filled row by row. In each panel a band at the top holds the name, a band
    at the bottom the counter, and the square between them the motion:
    offsets of -1 and +1 lie ``radius`` pixels either side of its centre.
    """

    count: int
    columns: int
    rows: int
    panel: int

    @property
    def width(self) -> int:
        return self.columns * self.panel

    @property
    def height(self) -> int:
        return self.rows * self.panel

    @property
    def header(self) -> int:
        return round(self.panel * 0.1)

    @property
    def footer(self) -> int:
        return round(self.panel * 0.12)

    @property
    def point_radius(self) -> float:
        """The radius of the point at z = 0; it is 1.6 times that when near (z = +1) and 0.4 times when far."""
        return max(3.0, self.panel * 0.03)

    @property
    def radius(self) -> float:
        side = self.panel - self.header - self.footer
        return side / 2 - 1.6 * self.point_radius - 2

    def corner(self, index: int) -> tuple[int, int]:
        """The top-left pixel of panel ``index``."""
        row, column = divmod(index, self.columns)
        return column * self.panel, row * self.panel

    def centre(self, index: int) -> tuple[float, float]:
        """The pixel where offset (0, 0) lies in panel ``index``."""
        left, top = self.corner(index)
        return left + self.panel / 2, top + self.header + (self.panel - self.header - self.footer) / 2

    def to_pixels(self, index: int, offsets: np.ndarray) -> np.ndarray:
        """Pixel positions (..., 2) of offsets (..., 3) in panel ``index``: x to the right, y up."""
        cx, cy = self.centre(index)
        pixels = np.empty(offsets.shape[:-1] + (2,))
        pixels[..., 0] = cx + offsets[..., 0] * self.radius
        pixels[..., 1] = cy - offsets[..., 1] * self.radius
        return pixels


def layout_for(count: int, size: int) -> Layout:
    """Panels for ``count`` patterns in a frame ``size`` pixels high, arranged nearest to 16:9.

    One pattern fills a square frame, two sit side by side, four make a
    square of two by two; panel sides are even, as H.264's 4:2:0 frames need.
    """
    best = None
    for panel_rows in range(1, count + 1):
        columns = math.ceil(count / panel_rows)
        miss = abs(math.log(columns / panel_rows / (16 / 9)))
        if best is None or miss < best[0] - 1e-9:
            best = (miss, columns, panel_rows)
    assert best is not None
    _, columns, panel_rows = best
    panel = size // panel_rows // 2 * 2
    return Layout(count, columns, panel_rows, panel)


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


def _counter(pip: int) -> tuple[int, int]:
    """The bar (from 1) and the beat within it (1 to 4) at ``pip``; bars before pip 0 count 0, -1, ..."""
    beat = pip // kinetrope.PIPS_PER_BEAT
    return beat // 4 + 1, beat % 4 + 1


def _clock_time(seconds: float) -> str:
    minutes, rest = divmod(seconds, 60.0)
    return f"{int(minutes)}:{rest:05.2f}"


class _Painter:
    """Draws frames: the background once, then the moving parts onto a copy of it."""

    def __init__(self, layout: Layout, names: Sequence[str], library: kinetrope.PatternLibrary | None) -> None:
        self.layout = layout
        panel = layout.panel
        self.counter_font = ImageFont.load_default(size=max(8, round(panel * 0.036)))
        self.trail_width = max(1, round(panel * 0.008))
        # Fading from the background to the trail's colour, oldest first.
        steps = TRAIL_PIPS // TRAIL_STEP
        fade = np.linspace(0.12, 1.0, steps)[:, None]
        self.trail_colours = [tuple(int(c) for c in row) for row in np.array(BACKGROUND) * (1 - fade) + np.array(TRAIL) * fade]

        self.background = self._background(names, library)
        self._sprites: dict[tuple[int, int, int], tuple[Image.Image, Image.Image]] = {}
        # Frames are drawn onto one canvas; only what the last frame drew is
        # put back from the background, which costs far less than a copy of it.
        self.canvas = self.background.copy()
        self._drawn: list[tuple[int, int, int, int]] = []

    def _background(self, names: Sequence[str], library: kinetrope.PatternLibrary | None) -> Image.Image:
        """Panels, guides, each pattern's whole path and its name, drawn large and scaled down so edges are smooth."""
        layout, s = self.layout, SMOOTHING
        panel = layout.panel
        large = Image.new("RGB", (layout.width * s, layout.height * s), BACKGROUND)
        draw = ImageDraw.Draw(large)
        name_font = ImageFont.load_default(size=s * max(9, round(panel * 0.045)))
        for index, name in enumerate(names):
            left, top = layout.corner(index)
            draw.rectangle([s * left, s * top, s * (left + panel) - 1, s * (top + panel) - 1], outline=PANEL_EDGE, width=s)
            cx, cy = layout.centre(index)
            r = layout.radius
            draw.rectangle([s * (cx - r), s * (cy - r), s * (cx + r), s * (cy + r)], outline=GUIDE, width=s)
            draw.line([(s * (cx - r), s * cy), (s * (cx + r), s * cy)], fill=GUIDE, width=s)
            draw.line([(s * cx, s * (cy - r)), (s * cx, s * (cy + r))], fill=GUIDE, width=s)
            period = rows(name, library)
            loop = s * layout.to_pixels(index, np.vstack([period, period[:1]]))
            draw.line([tuple(p) for p in loop], fill=LOOP, width=s, joint="curve")
            draw.text((s * (left + panel * 0.04), s * (top + layout.header / 2)), name, fill=INK, font=name_font, anchor="lm")
        return large.resize((layout.width, layout.height), Image.Resampling.LANCZOS)

    def _point(self, x: float, y: float, radius: float) -> tuple[Image.Image, Image.Image, tuple[int, int]]:
        """A smooth disc of ``radius`` centred on (x, y): its colours, its mask and where to paste them.

        Discs are kept by radius and by where the centre falls within its pixel, both to a quarter pixel.
        """
        quarter_x, quarter_y = round(x * 4), round(y * 4)
        key = (round(radius * 4), quarter_x % 4, quarter_y % 4)
        sprite = self._sprites.get(key)
        if sprite is None:
            side = math.ceil(key[0] / 4) * 2 + 4
            s = SMOOTHING * 4
            centre_x, centre_y = side / 2 + key[1] / 4, side / 2 + key[2] / 4
            r = key[0] / 4
            box = [s * (centre_x - r), s * (centre_y - r), s * (centre_x + r), s * (centre_y + r)]
            mask = Image.new("L", (side * s, side * s), 0)
            ImageDraw.Draw(mask).ellipse(box, fill=255)
            colours = Image.new("RGB", (side * s, side * s), POINT_EDGE)
            rim = max(1.0, r * 0.12) * s
            ImageDraw.Draw(colours).ellipse([box[0] + rim, box[1] + rim, box[2] - rim, box[3] - rim], fill=POINT)
            sprite = self._sprites[key] = (
                colours.resize((side, side), Image.Resampling.BOX), mask.resize((side, side), Image.Resampling.BOX)
            )
        side = sprite[0].size[0]
        return sprite[0], sprite[1], (quarter_x // 4 - side // 2, quarter_y // 4 - side // 2)

    def _clipped(self, low: Any, high: Any) -> tuple[int, int, int, int]:
        """The box from ``low`` to ``high`` (x, y) in whole pixels that covers them, inside the frame."""
        width, height = self.canvas.size
        return (
            min(max(math.floor(low[0]), 0), width), min(max(math.floor(low[1]), 0), height),
            min(max(math.ceil(high[0]), 0), width), min(max(math.ceil(high[1]), 0), height),
        )

    def frame(self, seconds: float, pip: int, bpm: float, points: np.ndarray, trails: np.ndarray, depths: np.ndarray) -> Image.Image:
        """The frame at ``seconds`` of the song: points (n, 2), trails (n, steps + 1, 2), depths (n,).

        The image returned is the painter's canvas: it holds this frame until the next call.
        """
        layout = self.layout
        image = self.canvas
        for box in self._drawn:
            image.paste(self.background.crop(box), box[:2])
        self._drawn = []
        draw = ImageDraw.Draw(image)
        bar, beat = _counter(pip)
        counter = f"bar {bar}  beat {beat}"
        status = f"{bpm:5.1f} bpm  {_clock_time(seconds)}"
        for index in range(layout.count):
            trail = trails[index]
            for step, colour in enumerate(self.trail_colours):
                draw.line([tuple(trail[step]), tuple(trail[step + 1])], fill=colour, width=self.trail_width)
            x, y = points[index]
            size = layout.point_radius * (1.0 + 0.6 * float(depths[index]))
            colours, mask, corner = self._point(float(x), float(y), size)
            image.paste(colours, corner, mask)
            reach = np.vstack([trail, [corner, (corner[0] + colours.size[0], corner[1] + colours.size[1])]])
            low, high = reach.min(axis=0) - self.trail_width - 2, reach.max(axis=0) + self.trail_width + 2
            self._drawn.append(self._clipped(low, high))

            left, top = layout.corner(index)
            panel = layout.panel
            self._drawn.append(self._clipped((left, top + panel - layout.footer), (left + panel, top + panel)))
            middle = top + panel - layout.footer / 2
            dot = max(2.0, panel * 0.012)
            for b in range(4):
                cx = left + panel * 0.06 + b * dot * 3.2
                lit = b + 1 == beat
                grow = 1.35 if b == 0 else 1.0  # the downbeat's dot is larger
                r = dot * grow
                draw.ellipse([cx - r, middle - r, cx + r, middle + r], fill=BEAT_ON if lit else BEAT_OFF)
            draw.text((left + panel * 0.06 + 4 * dot * 3.2, middle), counter, fill=INK, font=self.counter_font, anchor="lm")
            draw.text((left + panel * 0.96, middle), status, fill=DIM_INK, font=self.counter_font, anchor="rm")
        return image


def _check_whole(value: Any, name: str, low: int, high: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
        raise ValueError(f"{name} must be a whole number from {low} to {high}")
    return value


def _check_seconds(value: Any, name: str, zero_allowed: bool) -> float:
    number = float(value)
    if not math.isfinite(number) or number < 0 or (number == 0 and not zero_allowed):
        raise ValueError(f"{name} must be a finite number of seconds{', 0 or more' if zero_allowed else ' above 0'}")
    return number


def _new_file(output: pathlib.Path) -> tuple[int, pathlib.Path]:
    """A new file beside ``output`` for writing it, made by this call (never an existing file or link)."""
    for _ in range(100):
        path = output.with_name(f".{output.name}.{secrets.token_hex(6)}.part")
        try:
            return os.open(path, os.O_RDWR | os.O_CREAT | os.O_EXCL | getattr(os, "O_CLOEXEC", 0), 0o666), path
        except FileExistsError:
            continue
    raise FileExistsError(f"{output.parent}: no free name for a temporary file")


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

    ``clock`` is any clock whose seconds are the song's own time (a beat map
    of the song, a fixed tempo from the song's first beat); without one, the
    song's beats are tracked first. The video runs from ``start`` seconds of
    the song for ``seconds`` (or to its end) at ``fps`` frames a second,
    ``size`` pixels high; its audio is that part of the song. ``progress``,
    if given, is called with the number of frames written so far.

    Raises ValueError for a value out of range, an unknown pattern, a song
    that cannot be read, or a video longer than MAX_FRAMES frames; OSError
    for files. The output appears only when complete.
    """
    av = require("av", "kinetrope render")

    names = [str(name) for name in patterns]
    if not 1 <= len(names) <= MAX_PATTERNS:
        raise ValueError(f"give 1 to {MAX_PATTERNS} patterns, not {len(names)}")
    fps = _check_whole(fps, "fps", 1, MAX_FPS)
    size = _check_whole(size, "size", MIN_SIZE, MAX_SIZE)
    start = _check_seconds(start, "start", zero_allowed=True)
    if seconds is not None:
        seconds = _check_seconds(seconds, "seconds", zero_allowed=False)
    layout = layout_for(len(names), size)
    if layout.width > MAX_WIDTH:
        raise ValueError(f"a frame of {layout.width}x{layout.height} pixels is wider than {MAX_WIDTH}; choose a smaller size")
    for name in names:
        rows(name, library)  # an unknown name fails here, before any work

    song = pathlib.Path(song)
    output = pathlib.Path(output)
    if output.is_dir():
        raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), str(output))
    if output.exists() and song.exists() and os.path.samefile(song, output):
        raise ValueError(f"{output}: the output would replace the song")
    audio = AudioStream(song, start=start, seconds=seconds, rates=AAC_RATES)
    try:
        estimate = audio.estimated_seconds()
        if estimate is not None and estimate <= 0:
            raise ValueError(f"--start {start:g} s is past the end of the song ({start + estimate:.2f} s)")
        if estimate is not None and estimate * fps > MAX_FRAMES:
            raise ValueError(
                f"{math.ceil(estimate * fps)} frames is more than {MAX_FRAMES}; render a part with --start and --seconds"
            )
        if clock is None:
            clock = _beat_map_of(song)
        painter = _Painter(layout, names, library)
        output.parent.mkdir(parents=True, exist_ok=True)
        handle, temporary = _new_file(output)
        try:
            with os.fdopen(handle, "w+b") as file, av.open(file, "w", format="mp4") as box:
                frames, samples = _write(box, audio, clock, painter, names, library, fps, start, progress)
            if samples == 0:
                raise ValueError(f"--start {start:g} s is past the end of the song")
            os.replace(temporary, output)
        except BaseException:
            os.unlink(temporary)
            raise
    finally:
        audio.close()
    return Rendered(output, frames, fps, layout.width, layout.height, samples / audio.rate, audio.rate, clock)


def _write(
    box: Any,
    audio: AudioStream,
    clock: Clock,
    painter: _Painter,
    names: Sequence[str],
    library: kinetrope.PatternLibrary | None,
    fps: int,
    start: float,
    progress: Callable[[int], None] | None,
) -> tuple[int, int]:
    """Encodes the song's slices and, between them, every frame up to the audio written; returns (frames, samples)."""
    av = require("av", "kinetrope render")

    layout = painter.layout
    video = box.add_stream("libx264", rate=fps, options=VIDEO_OPTIONS)
    video.width, video.height, video.pix_fmt = layout.width, layout.height, "yuv420p"
    sound = box.add_stream("aac", rate=audio.rate, layout=audio.layout)
    sound.bit_rate = AUDIO_BIT_RATE
    frames = _frames(painter, clock, names, library, fps, start)
    written = samples = 0

    def video_until(count: int) -> None:
        nonlocal written
        if count > MAX_FRAMES:
            raise ValueError(f"the video would pass {MAX_FRAMES} frames; render a part with --start and --seconds")
        while written < count:
            frame = av.VideoFrame.from_image(next(frames))
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


def _frames(
    painter: _Painter,
    clock: Clock,
    names: Sequence[str],
    library: kinetrope.PatternLibrary | None,
    fps: int,
    start: float,
) -> Iterator[Image.Image]:
    """Frame after frame from frame 0; offsets are looked up a block of frames at a time."""
    layout = painter.layout
    back = np.arange(-TRAIL_PIPS, 1, TRAIL_STEP)
    first = 0
    while True:
        times = [start + k / fps for k in range(first, first + FRAMES_PER_BLOCK)]
        pips = np.array([clock.pip_at(t) for t in times], dtype=np.int64)
        bpms = [clock.bpm_at(t) for t in times]
        trail_pips = np.maximum(pips[:, None] + back[None, :], PIP_MIN)  # the trail of pip -2**31 stays in range
        points, trails, depths = [], [], []
        for index, name in enumerate(names):
            trail = sample_many(name, trail_pips, library)  # (frames, steps + 1, 3); the last is the pip itself
            pixels = layout.to_pixels(index, trail)
            trails.append(pixels)
            points.append(pixels[:, -1])
            depths.append(trail[:, -1, 2])
        for k in range(FRAMES_PER_BLOCK):
            yield painter.frame(
                times[k], int(pips[k]), bpms[k],
                np.array([p[k] for p in points]), np.array([t[k] for t in trails]), np.array([d[k] for d in depths]),
            )
        first += FRAMES_PER_BLOCK
