"""The GIF is drawn by the video's painter: each frame puts the point where the pattern is at the
pip of its time, at the tempo asked for."""

import numpy as np
from PIL import Image

from kinetrope_tools import pips_at, sample_many
from kinetrope_tools.patterns.library import PatternSet
from kinetrope_tools.pictures.animation import SIDE, animate
from kinetrope_tools.pictures.layout import layout_for
from kinetrope_tools.pictures.painter import POINT


def test_each_frame_shows_the_point_where_the_pattern_is(tmp_path):
    count = animate(tmp_path / "circle.gif", PatternSet()["circle"], bpm=120.0, beats=2, fps=25)
    assert count == 25
    layout = layout_for(1, SIDE)
    with Image.open(tmp_path / "circle.gif") as gif:
        assert gif.n_frames == count
        for k in range(count):
            gif.seek(k)
            frame = np.asarray(gif.convert("RGB")).astype(int)
            expected = layout.to_pixels(0, sample_many("circle", [pips_at(k / 25, 120.0)]))[0]
            ys, xs = np.nonzero(np.abs(frame - np.array(POINT)).sum(axis=2) < 90)
            seen = np.array([xs.mean() + 0.5, ys.mean() + 0.5])
            assert np.linalg.norm(seen - expected) <= 2.0, (k, seen, expected)
