"""kinetrope render: frames a second and file sizes at a few sizes, and where the time goes.

    .venv/bin/python bench/bench_render.py [SECONDS]

Renders SECONDS (default 10) of a synthesized house groove at 124 BPM with its
true beat map (the beat tracking is left out: bench_beat_tracking.py measures
it), once per case, and prints frames a second, the file size and megabytes
per minute of video. Then, at 720 with three patterns, it times drawing the
frames alone and drawing plus encoding them, side by side, so the split holds
on a busy machine (drawing includes handing each picture to PyAV, encoding
includes the conversion to YUV).
"""

from __future__ import annotations

import io
import pathlib
import sys
import tempfile
import time
from fractions import Fraction

import av

from kinetrope_tools.clocks import BeatMap
from songs import read_grooves, render as play
from kinetrope_tools.pictures.frames import frames as moving
from kinetrope_tools.pictures.layout import layout_for
from kinetrope_tools.pictures.painter import Painter
from kinetrope_tools.pictures.render import VIDEO_OPTIONS, render

CASES = [
    (["figure_eight"], 480),
    (["figure_eight"], 720),
    (["beat_house_classic_bounce", "figure_eight", "helix"], 720),
    (["beat_house_classic_bounce", "figure_eight", "helix", "circle"], 1080),
]


def main() -> None:
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    song = play(read_grooves()["house_classic"], 124.0, seconds,
                lead_seconds=0.25, sample_rate=44100)
    clock = BeatMap(song.beats, downbeat=song.downbeat)
    with tempfile.TemporaryDirectory() as folder:
        wav = pathlib.Path(folder) / "house.wav"
        song.write(wav)
        print(f"{seconds:g} s of house at 124 BPM, 50 frames a second, libx264 {VIDEO_OPTIONS}, AAC 192 kb/s")
        print(f"{'patterns':>8} {'frame':>10} {'frames/s':>9} {'size':>9} {'MB/min':>7}")
        for names, size in CASES:
            out = pathlib.Path(folder) / "out.mp4"
            started = time.perf_counter()
            done = render(out, wav, names, clock=clock, size=size)
            took = time.perf_counter() - started
            megabytes = out.stat().st_size / 1e6
            print(f"{len(names):>8} {done.width:>5}x{done.height:<4} {done.frames / took:>9.1f} "
                  f"{megabytes:>7.2f}MB {megabytes * 60 / done.seconds:>7.1f}")

    names, count = CASES[2][0], 250
    painter = Painter(layout_for(len(names), 720), names, None)
    started = time.perf_counter()
    frames = moving(painter, clock, fps=50)
    # The painter reuses its canvas, so each frame is handed over as the renderer does.
    pictures = [av.VideoFrame.from_image(next(frames)) for _ in range(count)]
    drawing = time.perf_counter() - started
    started = time.perf_counter()
    with av.open(io.BytesIO(), "w", format="mp4") as box:
        video = box.add_stream("libx264", rate=50, options=VIDEO_OPTIONS)
        video.width, video.height, video.pix_fmt = painter.layout.width, painter.layout.height, "yuv420p"
        for k, frame in enumerate(pictures):
            frame.pts, frame.time_base = k, Fraction(1, 50)
            box.mux(video.encode(frame))
        box.mux(video.encode(None))
    encoding = time.perf_counter() - started
    print(f"{count} frames of 3 patterns at 2160x720: drawing {count / drawing:.0f} frames/s, "
          f"encoding {count / encoding:.0f} frames/s; encoding takes {encoding / (drawing + encoding):.0%} of the time")


if __name__ == "__main__":
    main()
