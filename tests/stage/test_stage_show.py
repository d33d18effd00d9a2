"""The show file: what a valid show becomes, and every kind of fault named by file, fixture and key."""

from __future__ import annotations

import textwrap

import pytest

from kinetrope_tools.stage.show import ShowError, load_show, parse_show

HEADS = """
[output.sacn]
destination = "127.0.0.1"

[[fixture]]
name = "a"
pattern = "circle"
universe = 1
address = 1

[[fixture]]
name = "b"
pattern = "circle"
universe = 1
address = 5
"""


def parse(text: str):
    return parse_show(textwrap.dedent(text), "show.toml")


def test_groups_hand_their_settings_to_members_and_spread_them_over_the_period():
    show = parse(HEADS + """
[[fixture]]
name = "c"
universe = 1
address = 9
size = 0.25

[[group]]
name = "row"
fixtures = ["a", "b", "c"]
pattern = "figure_eight"
spread = 0.75
invert_pan = true
profile = "pan8_tilt8_dimmer"
size = 0.5
""")
    by_name = {f.name: f for f in show.fixtures}
    assert [by_name[n].pattern for n in "abc"] == ["circle", "circle", "figure_eight"]  # a fixture's own key wins
    assert [by_name[n].spread for n in "abc"] == [0.0, 0.25, 0.5]
    assert all(by_name[n].invert_pan for n in "abc")
    assert [by_name[n].size for n in "abc"] == [0.5, 0.5, 0.25]
    assert by_name["c"].channels == ("pan", "tilt", "dimmer")
    assert show.groups == {"row": ("a", "b", "c")}
    assert show.universes == [1] and show.fps == 44.0 and show.on_stop == "home"


BAD_SHOWS = [
    ("unknown top key", "fsp = 44\n" + HEADS, ["show.toml: key 'fsp': unknown key"]),
    ("unknown fixture key", HEADS.replace('name = "b"', 'name = "b"\npan_rnage = 0.5'),
     ["show.toml: fixture 'b': key 'pan_rnage': unknown key"]),
    ("unknown pattern with the closest names",
     HEADS.replace('pattern = "circle"\nuniverse = 1\naddress = 5', 'pattern = "beat_house_clasic_figure8"\n'
                   'universe = 1\naddress = 5'),
     ["show.toml: fixture 'b': key 'pattern': unknown pattern 'beat_house_clasic_figure8'; did you mean "
      "beat_house_classic_figure8"]),
    ("overlapping channels", HEADS.replace("address = 5", "address = 3"),
     ["show.toml: fixture 'b': key 'address': channels 3..6 of universe 1 overlap fixture 'a' (1..4)"]),
    ("address past 512", HEADS.replace("address = 5", "address = 510"),
     ["show.toml: fixture 'b': key 'address': 510 with 4 channels runs past channel 512 (to 513)"]),
    ("address 0", HEADS.replace("address = 5", "address = 0"),
     ["show.toml: fixture 'b': key 'address': must be a whole number in 1..512"]),
    ("universe 0", HEADS.replace("universe = 1\naddress = 5", "universe = 0\naddress = 5"),
     ["show.toml: fixture 'b': key 'universe': must be a whole number in 1..63999"]),
    ("universe past sACN", HEADS.replace("universe = 1\naddress = 5", "universe = 64000\naddress = 5"),
     ["show.toml: fixture 'b': key 'universe': must be a whole number in 1..63999"]),
    ("universe past Art-Net",
     HEADS.replace("universe = 1\naddress = 5", "universe = 40000\naddress = 5")
     + '[output.artnet]\ndestination = "127.0.0.1"\n',
     ["show.toml: fixture 'b': key 'universe': 40000 is past Art-Net's last universe (32767)"]),
    ("universe without address", HEADS.replace("address = 5\n", ""),
     ["show.toml: fixture 'b': key 'address': is required with universe"]),
    ("a float where a whole number goes", HEADS.replace("address = 5", "address = 5.0"),
     ["show.toml: fixture 'b': key 'address': must be a whole number in 1..512"]),
    ("range of zero", HEADS.replace('name = "b"', 'name = "b"\npan_range = 0'),
     ["show.toml: fixture 'b': key 'pan_range': must be a number in (0, 1]"]),
    ("a string where a flag goes", HEADS.replace('name = "b"', 'name = "b"\ninvert_tilt = "yes"'),
     ["show.toml: fixture 'b': key 'invert_tilt': must be true or false"]),
    ("speed of zero", HEADS.replace('name = "b"', 'name = "b"\nspeed = 0'),
     ["show.toml: fixture 'b': key 'speed': must be a number in (0, 64]"]),
    ("unknown profile", HEADS.replace('name = "b"', 'name = "b"\nprofile = "pan16"'),
     ["show.toml: fixture 'b': key 'profile': unknown profile 'pan16'"]),
    ("fine channel without coarse", HEADS.replace('name = "b"', 'name = "b"\nchannels = ["pan_fine", "tilt"]'),
     ["show.toml: fixture 'b': key 'channels': has pan_fine without pan"]),
    ("no pattern", HEADS.replace('pattern = "circle"\nuniverse = 1\naddress = 5', "universe = 1\naddress = 5"),
     ["show.toml: fixture 'b': key 'pattern': is required"]),
    ("two fixtures of one name", HEADS.replace('name = "b"', 'name = "a"'),
     ["show.toml: fixture 'a': key 'name': another fixture has this name"]),
    ("a name OSC cannot carry", HEADS.replace('name = "b"', 'name = "b/c"'),
     ["show.toml: fixture 'b/c': key 'name': must be 1 to 64 letters"]),
    ("a name that is no string", HEADS.replace('name = "b"', "name = 5"),
     ["show.toml: fixture #2: key 'name': must be 1 to 64 letters"]),
    ("a group named as a fixture", HEADS + '[[group]]\nname = "a"\nfixtures = ["b"]\n',
     ["show.toml: group 'a': key 'name': a fixture has this name"]),
    ("group of a missing fixture", HEADS + '[[group]]\nname = "g"\nfixtures = ["a", "z"]\n',
     ["show.toml: group 'g': key 'fixtures': no fixture is named 'z'"]),
    ("fixture in two groups",
     HEADS + '[[group]]\nname = "g"\nfixtures = ["a"]\n[[group]]\nname = "h"\nfixtures = ["b", "a"]\n',
     ["show.toml: group 'h': key 'fixtures': 'a' is already in group 'g'"]),
    ("group spread past 1", HEADS + '[[group]]\nname = "g"\nfixtures = ["a", "b"]\nspread = 1.5\n',
     ["show.toml: group 'g': key 'spread': must be a number in [0, 1]"]),
    ("unknown group pattern", HEADS + '[[group]]\nname = "g"\nfixtures = ["a"]\npattern = "circel"\n',
     ["show.toml: group 'g': key 'pattern': unknown pattern 'circel'; did you mean circle"]),
    ("unknown output", HEADS + '[output.dmx]\ndestination = "x"\n', ["show.toml: key 'output.dmx': unknown output"]),
    ("OSC destination without a port", HEADS + '[output.osc]\ndestination = "127.0.0.1"\n',
     ["show.toml: output 'osc': key 'destination': must be \"HOST:PORT\""]),
    ("Art-Net without a destination", HEADS + "[output.artnet]\nport = 6454\n",
     ["show.toml: output 'artnet': key 'destination': is required"]),
    ("on_stop neither home nor dark", "on_stop = \"off\"\n" + HEADS,
     ["show.toml: key 'on_stop': must be one of 'home', 'dark'"]),
    ("no outputs", HEADS.replace('[output.sacn]\ndestination = "127.0.0.1"\n', ""),
     ["show.toml: key 'output': the show has no outputs"]),
    ("every fault at once", "fsp = 1\n" + HEADS.replace("address = 5", "address = 600"),
     ["show.toml: key 'fsp': unknown key", "show.toml: fixture 'b': key 'address': must be a whole number"]),
    ("not TOML", "fps = \n", ["show.toml: not valid TOML"]),
]


@pytest.mark.parametrize(("text", "expected"), [case[1:] for case in BAD_SHOWS], ids=[case[0] for case in BAD_SHOWS])
def test_bad_shows_are_refused_naming_file_fixture_and_key(text, expected):
    with pytest.raises(ShowError) as caught:
        parse_show(text, "show.toml")
    problems = caught.value.problems
    assert len(problems) == len(expected), problems
    for problem, start in zip(problems, expected):
        assert problem.startswith(start), problem


def test_a_pack_adds_patterns_a_show_may_name(tmp_path):
    import kinetrope

    from kinetrope_tools import save_pack
    from kinetrope_tools.patterns.packs import load_library

    pack = tmp_path / "pack.json"
    save_pack(pack, [kinetrope.SampledPattern("ramp", "A ramp", [[p / 64 - 1, 0.0, 0.0] for p in range(128)])])
    show_file = tmp_path / "show.toml"
    show_file.write_text(HEADS.replace('pattern = "circle"\nuniverse = 1\naddress = 5',
                                       'pattern = "ramp"\nuniverse = 1\naddress = 5'))
    with pytest.raises(ShowError, match="unknown pattern 'ramp'"):
        load_show(show_file)
    show = load_show(show_file, load_library(pack))
    assert [f.pattern for f in show.fixtures] == ["circle", "ramp"]


def test_the_readme_example_is_a_valid_show_of_four_heads_in_a_chase():
    import pathlib

    readme = (pathlib.Path(__file__).parents[2] / "README.md").read_text()
    example = readme.split("### The show file")[1].split("```toml\n")[1].split("```")[0]
    show = parse_show(example, "README.md")
    assert [f.name for f in show.fixtures] == ["spot_1", "spot_2", "spot_3", "spot_4"]
    assert [f.spread for f in show.fixtures] == [0.0, 0.25, 0.5, 0.75]
    assert {f.pattern for f in show.fixtures} == {"beat_house_classic_figure8"}
    assert [f.channels for f in show.fixtures] == [("pan", "pan_fine", "tilt", "tilt_fine", "dimmer")] * 4
    assert sorted(show.outputs) == ["osc", "sacn"]
