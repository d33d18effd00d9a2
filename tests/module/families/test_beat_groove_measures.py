"""Each beat variant carries its groove, measured over all 68 styles at once:
styles whose drums differ move differently, a fill shows, nothing trembles
faster than a moving head follows, and each shape keeps its own promise
(the eight's lobes on beats 1 and 3, the slalom's cutbacks on the backbeat).
The measures are in beat_measures.py; each test here is one table over all
styles of one variant."""

import numpy as np
import pytest

import beat_measures as m

@pytest.mark.parametrize("variant", ["orbit", "box", "glide", "corkscrew", "spiral"])
def test_styles_whose_drums_differ_move_differently(variant):
    assert m.twins(variant) == []


@pytest.mark.parametrize("variant", ["orbit", "box", "glide", "figure8", "pendulum"])
def test_a_fill_makes_the_point_travel_further(variant):
    ratios = m.fill_ratios(variant)
    assert len(ratios) >= 20
    assert m.fill_ratio(variant) >= 1.3, sorted(ratios.items(), key=lambda kv: kv[1])[:5]


@pytest.mark.parametrize("variant", m.VARIANTS)
def test_no_axis_reverses_more_than_a_moving_head_follows(variant):
    tremors = {s: n for s in m.STYLES if (n := m.reversals_per_beat(m.rows(s, variant))) > m.MOST_REVERSALS}
    assert tremors == {}


def test_the_reversal_count_sees_a_tremor_and_ignores_a_wiggle():
    pips = np.arange(512)
    block = np.zeros((512, 3))
    block[:, 0] = 0.5 * np.sin(2 * np.pi * pips / 16)  # a 16-pip cycle: 8 a beat
    block[:, 1] = 0.5 * np.sin(2 * np.pi * pips / 14)  # a 14-pip cycle: more than 8
    block[:, 2] = 0.009 * np.sin(2 * np.pi * pips / 4)  # below the epsilon
    assert m.reversals_per_beat(block[:, [0, 2, 2]]) == 8
    assert m.reversals_per_beat(block) > 8
    assert m.reversals_per_beat(block[:, [2, 2, 2]]) == 0


@pytest.mark.parametrize("variant", ["figure8"])
def test_the_eights_lobes_fall_on_beats_1_and_3(variant):
    late = {s: max(o) for s in m.STYLES if m.SCORES[s].straight and max(o := m.lobe_offsets(s, variant)) > 4}
    assert late == {}


@pytest.mark.parametrize("variant", ["step", "flutter"])
def test_the_point_crosses_centre_in_every_style(variant):
    assert [s for s in m.STYLES if not m.crosses_centre(m.rows(s, variant))] == []


@pytest.mark.parametrize("variant", ["slalom"])
def test_the_slalom_cuts_back_on_every_backbeat(variant):
    missed = {s: pips for s in m.STYLES if (pips := m.missed_cutbacks(s, variant))}
    assert missed == {}


@pytest.mark.parametrize("variant", ["bounce", "step", "recoil", "surge"])
def test_a_bell_timeline_keeps_the_drums_from_repeating_every_beat(variant):
    assert m.beat_repeat(m.rows("afro_bell", variant)) > 0.3
