"""From a pattern at a pip to DMX channels: the rig against the mapping written out fixture by fixture."""

from __future__ import annotations

import math

import kinetrope
import numpy as np
import pytest

from kinetrope_tools.stage.rig import Rig
from kinetrope_tools.stage.show import parse_show
from stage_reference import channels

PERIODS = {e["name"]: e["period_pips"] for e in kinetrope.catalogue()}
PIPS = [0, 1, 37, 255, 256, 1000, -3, 2**31 - 1, -(2**31)]


def show_of(fixture_lines: str, extra: str = ""):
    text = f'[output.sacn]\n[[fixture]]\nname = "f"\nuniverse = 3\naddress = 100\n{fixture_lines}\n{extra}'
    return parse_show(text, "show.toml")


MAPPINGS = [
    ("default 16-bit", 'pattern = "figure_eight"', {}),
    ("inverted pan", 'pattern = "figure_eight"\ninvert_pan = true', {"invert_pan": True}),
    ("inverted tilt", 'pattern = "figure_eight"\ninvert_tilt = true', {"invert_tilt": True}),
    ("swapped", 'pattern = "figure_eight"\nswap_pan_tilt = true', {"swap": True}),
    ("ranges", 'pattern = "circle"\npan_range = 0.5\ntilt_range = 0.25', {"pan_range": 0.5, "tilt_range": 0.25}),
    ("size", 'pattern = "helix"\nsize = 0.3\nprofile = "pan16_tilt16_zoom"', {"size": 0.3, "extra": "zoom"}),
    ("8-bit with dimmer", 'pattern = "helix"\nprofile = "pan8_tilt8_dimmer"', {"bits": 8, "extra": "dimmer"}),
    ("everything", 'pattern = "helix"\nprofile = "pan8_tilt8_zoom"\nswap_pan_tilt = true\ninvert_pan = true\n'
     'invert_tilt = true\npan_range = 0.7\nsize = 0.9', {"bits": 8, "extra": "zoom", "swap": True,
                                                         "invert_pan": True, "invert_tilt": True, "pan_range": 0.7,
                                                         "size": 0.9}),
]


@pytest.mark.parametrize(("lines", "settings"), [m[1:] for m in MAPPINGS], ids=[m[0] for m in MAPPINGS])
def test_channels_follow_the_mapping_at_every_pip(lines, settings):
    show = show_of(lines)
    rig = Rig(show)
    pattern = show.fixtures[0].pattern
    width = len(show.fixtures[0].channels)
    for pip in PIPS:
        _, dmx = rig.frame(pip)
        assert dmx.shape == (1, 512)
        x, y, z = kinetrope.sample(pattern, pip).as_tuple()
        assert dmx[0, 99:99 + width].tolist() == channels(x, y, z, **settings), pip
        assert not dmx[0, :99].any() and not dmx[0, 99 + width:].any()


def test_the_default_formula_holds_at_the_ends_of_the_travel():
    # x = -1, 0 and +1 give pan 0, 32768 (round half to even of 32767.5) and 65535.
    rig = Rig(show_of('pattern = "sway"'))  # sway swings x from -1 to +1
    for pip, pan in [(0, 32768), (32, 65535), (96, 0)]:
        x = kinetrope.sample("sway", pip).x
        assert round((x + 1) / 2 * 65535) == pan
        _, dmx = rig.frame(pip)
        assert int(dmx[0, 99]) << 8 | int(dmx[0, 100]) == pan


@pytest.mark.parametrize(("speed", "phase"), [(2.0, 0), (0.5, 0), (0.5, 7), (1.0, -100), (3.0, 5)],
                         ids=["double", "half", "half-phased", "phase back", "triple-phased"])
def test_speed_and_phase_move_the_pattern_pip(speed, phase):
    rig = Rig(show_of(f'pattern = "figure_eight"\nspeed = {speed}\nphase_pips = {phase}'))
    for pip in PIPS[:-2] + [123456789]:
        offsets = rig.offsets(pip)
        expected = kinetrope.sample("figure_eight", math.floor(pip * speed) + phase).as_tuple()
        assert offsets[0].tolist() == list(expected), pip


def test_a_group_spread_makes_each_member_lag_the_one_before_and_follows_a_new_pattern():
    names = ["h1", "h2", "h3", "h4"]
    fixtures = "".join(f'[[fixture]]\nname = "{n}"\nuniverse = 1\naddress = {1 + 4 * i}\n'
                       for i, n in enumerate(names))
    text = f'[output.sacn]\n{fixtures}[[group]]\nname = "heads"\nfixtures = {names}\npattern = "circle"\nspread = 1\n'
    text = text.replace("'", '"')
    rig = Rig(parse_show(text, "show.toml"))
    period = PERIODS["circle"]
    quarter = period // 4
    for pip in [0, 5, 300]:
        offsets = rig.offsets(pip)
        for i in range(4):
            assert offsets[i].tolist() == list(kinetrope.sample("circle", pip - i * quarter).as_tuple())
    # A chase from the first head to the last: what h1 shows now, h2 shows a quarter period later.
    assert rig.offsets(quarter)[1].tolist() == rig.offsets(0)[0].tolist() != rig.offsets(0)[1].tolist()
    # A pattern of another period spreads by its own period.
    rig.change("heads", "lfo_breathe", 0, 0, 0)
    new_period = PERIODS["lfo_breathe"]
    offsets = rig.offsets(64)
    for i in range(4):
        assert offsets[i].tolist() == list(kinetrope.sample("lfo_breathe", 64 - round(i / 4 * new_period)).as_tuple())


def test_a_crossfade_holds_the_old_pattern_until_its_start_and_ends_on_the_new_one():
    rig = Rig(show_of('pattern = "circle"'))
    rig.offsets(100)
    rig.change("f", "figure_eight", 256, 512, at_pip=100)
    old = lambda pip: np.array(kinetrope.sample("circle", pip).as_tuple())  # noqa: E731
    new = lambda pip: np.array(kinetrope.sample("figure_eight", pip).as_tuple())  # noqa: E731
    assert rig.offsets(255)[0].tolist() == old(255).tolist()
    assert rig.offsets(256)[0].tolist() == old(256).tolist()
    assert np.allclose(rig.offsets(384)[0], (old(384) + new(384)) / 2, atol=1e-12, rtol=0)
    assert np.allclose(rig.offsets(448)[0], old(448) / 4 + new(448) * 3 / 4, atol=1e-12, rtol=0)
    assert rig.offsets(512)[0].tolist() == new(512).tolist()
    assert rig.offsets(700)[0].tolist() == new(700).tolist()


def test_home_centres_every_channel_and_blackout_zeroes_only_dimmers():
    rig = Rig(show_of('pattern = "helix"\nprofile = "pan16_tilt16_dimmer"'))
    _, dmx = rig.frame(10, home=True)
    assert dmx[0, 99:104].tolist() == [128, 0, 128, 0, 128]  # 32768 and round(127.5) = 128
    _, dmx = rig.frame(10, dimmed=True)
    x, y, z = kinetrope.sample("helix", 10).as_tuple()
    assert dmx[0, 99:104].tolist() == channels(x, y, z)[:4] + [0]


SPOT16 = """
[output.sacn]

[profile.spot16]
channels = ["pan", "tilt", "pan_fine", "tilt_fine", "speed", "dimmer", "shutter", "colour",
            "gobo", "gobo_rotation", "prism", "focus", "zoom", "frost", "control", "macro"]

[profile.spot16.fixed]
speed = 0
shutter = 255
colour = 0
gobo = 0
gobo_rotation = 0
prism = 0
focus = 128
frost = 0
control = 0
macro = 0

[[fixture]]
name = "f"
universe = 3
address = 100
profile = "spot16"
pattern = "helix"
fixed = { colour = 40, dimmer = 255 }
"""
SPOT16_CHANNELS = ["pan", "tilt", "pan_fine", "tilt_fine", "speed", "dimmer", "shutter", "colour", "gobo",
                   "gobo_rotation", "prism", "focus", "zoom", "frost", "control", "macro"]


def test_fixed_channels_hold_their_values_beside_the_moving_ones_in_any_order():
    rig = Rig(parse_show(SPOT16, "show.toml"))
    held = {"speed": 0, "dimmer": 255, "shutter": 255, "colour": 40, "gobo": 0, "gobo_rotation": 0, "prism": 0,
            "focus": 128, "frost": 0, "control": 0, "macro": 0}
    for pip in PIPS:
        _, dmx = rig.frame(pip)
        pan_coarse, pan_fine, tilt_coarse, tilt_fine, zoom = channels(*kinetrope.sample("helix", pip).as_tuple(),
                                                                      extra="zoom")
        following = {"pan": pan_coarse, "tilt": tilt_coarse, "pan_fine": pan_fine, "tilt_fine": tilt_fine,
                     "zoom": zoom}
        expected = [{**held, **following}[name] for name in SPOT16_CHANNELS]
        assert dmx[0, 99:115].tolist() == expected, pip
        assert not dmx[0, :99].any() and not dmx[0, 115:].any()
    # Home centres what moves and keeps what is held; a blackout zeroes every dimmer, a held one too, and no more.
    _, dmx = rig.frame(10, home=True)
    assert dmx[0, 99:115].tolist() == [128, 128, 0, 0, 0, 255, 255, 40, 0, 0, 0, 128, 128, 0, 0, 0]
    _, dmx = rig.frame(10, home=True, dimmed=True)
    assert dmx[0, 99:115].tolist() == [128, 128, 0, 0, 0, 0, 255, 40, 0, 0, 0, 128, 128, 0, 0, 0]


def test_an_unknown_pattern_asked_for_while_playing_names_the_closest_and_changes_nothing():
    rig = Rig(show_of('pattern = "circle"'))
    before = rig.offsets(100).tolist()
    with pytest.raises(KeyError) as caught:  # the frame loop reports a KeyError and drops the command
        rig.change("f", "circel", 256, 512, at_pip=100)
    assert caught.value.args[0] == "unknown pattern 'circel'; did you mean circle?"
    assert rig.offsets(100).tolist() == before and rig.pattern == ["circle"]
