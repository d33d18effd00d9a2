"""The tempo of a stretch of beats, and where a song's tempo changes."""

import numpy as np
import pytest

from kinetrope_tools.music.sections import fitted_bpm, tempo_sections


def _steady(bpm, count, start=0.0):
    return start + 60.0 / bpm * np.arange(count)


def test_music_the_tempo_is_the_line_through_every_beat_not_the_median_gap():
    """Beats on 5.8 ms frames of a 127.3 BPM loop: the median gap reads 127.6, the line 127.3."""
    frame = 128 / 22050
    beats = np.round(_steady(127.3, 64, 0.25) / frame) * frame
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(127.6, abs=0.1)
    assert fitted_bpm(beats) == pytest.approx(127.3, abs=0.02)


def _step():
    first = _steady(120.0, 40)
    return np.concatenate([first, first[-1] + _steady(150.0, 41)[1:]])


def _jittered_step():
    """A tracked song's beats, jittered by a swung hat, before a step from 110 to 140 BPM: one jittery
    gap must not cut off a stretch of its own."""
    gaps = [0.55, 0.54, 0.55, 0.54, 0.55, 0.543, 0.546, 0.551, 0.54, 0.554, 0.537, 0.549, 0.543, 0.546, 0.546,
            0.551, 0.543, 0.552, 0.537, 0.555, 0.534, 0.557, 0.537, 0.555, 0.537, 0.555, 0.537, 0.549]
    gaps += [0.424, 0.436, 0.421, 0.432, 0.427, 0.43] * 3
    return np.concatenate([[0.0], np.cumsum(gaps)])


@pytest.mark.parametrize(
    ("beats", "expected"),
    [
        (_steady(124.0, 100), [(0, 124.0)]),
        (_step(), [(0, 120.0), (39, 150.0)]),
        # A ramp from 120 to 132 BPM (10 %) is cut once, where it has moved more than 4 % from the first stretch.
        (np.concatenate([[0.0], np.cumsum(60.0 / np.linspace(120.0, 132.0, 120))]), [(0, None), (None, None)]),
        (_jittered_step(), [(0, None), (None, None)]),
    ],
    ids=["steady", "step-120-150", "ramp-120-132", "jittered-step-110-140"],
)
def test_music_sections_start_where_the_tempo_changes(beats, expected):
    sections = tempo_sections(beats)
    assert len(sections) == len(expected)
    for section, (first, bpm) in zip(sections, expected):
        if first is not None:
            assert section.first_beat == first and section.seconds == beats[first]
        if bpm is not None:
            assert section.bpm == pytest.approx(bpm, abs=0.05)
    assert [s.first_beat for s in sections] == sorted({s.first_beat for s in sections})
