"""The show file: what a valid show becomes, and every kind of fault named by file, fixture and key."""

from __future__ import annotations

import os
import resource
import subprocess
import sys
import textwrap

import pytest

from kinetrope_tools import KinetropeError
from kinetrope_tools.stage.show import MAX_SHOW_BYTES, SHOWN_PROBLEMS, ShowError, load_show, parse_show

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
    ("misspelt top key", "fsp = 44\n" + HEADS, ["show.toml: key 'fsp': unknown key; did you mean fps?"]),
    ("misspelt fixture key", HEADS.replace('name = "b"', 'name = "b"\npan_rnage = 0.5'),
     ["show.toml: fixture 'b': key 'pan_rnage': unknown key; did you mean pan_range?"]),
    ("misspelt address", HEADS.replace("address = 5", "adress = 5"),
     ["show.toml: fixture 'b': key 'adress': unknown key; did you mean address?",
      "show.toml: fixture 'b': key 'address': is required with universe"]),
    ("unknown key like none", HEADS.replace('name = "b"', 'name = "b"\nqqq = 1'),
     ["show.toml: fixture 'b': key 'qqq': unknown key (known: address, channels, fixed,"]),
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
    ("misspelt output", HEADS + '[output.artnte]\ndestination = "x"\n',
     ["show.toml: key 'output.artnte': unknown output (did you mean artnet?)"]),
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
    # Settings are checked where they enter, as what they will be used for.
    ("fps that overflows", "fps = 1e-300\n" + HEADS, ["show.toml: key 'fps': must be a number in [1, 1000]"]),
    ("fps below one a second", "fps = 0.01\n" + HEADS, ["show.toml: key 'fps': must be a number in [1, 1000]"]),
    ("fps past the range", "fps = 1001\n" + HEADS, ["show.toml: key 'fps': must be a number in [1, 1000]"]),
    *[(f"OSC prefix {label}", HEADS + f'[output.osc]\ndestination = "127.0.0.1:9000"\nprefix = "{prefix}"\n',
       ["show.toml: output 'osc': key 'prefix': must be an OSC address such as \"/kinetrope\""])
      for label, prefix in [("with a NUL", "/a\\u0000b"), ("with a space", "/a b"), ("with a pattern character", "/a*"),
                            ("with an empty part", "/a//b"), ("ending in a slash", "/a/"), ("not ASCII", "/\u00e9")]],
    ("sACN with only OSC points", '[output.sacn]\n[[fixture]]\nname = "p"\npattern = "circle"\n',
     ["show.toml: output 'sacn': would send nothing: no fixture has a universe and an address"]),
    ("Art-Net with only OSC points", '[output.artnet]\ndestination = "127.0.0.1"\n'
     '[[fixture]]\nname = "p"\npattern = "circle"\n',
     ["show.toml: output 'artnet': would send nothing: no fixture has a universe and an address"]),
    ("sACN source name past 63 bytes", HEADS.replace('destination = "127.0.0.1"', f'source_name = "{"\u00e9" * 32}"'),
     ["show.toml: output 'sacn': key 'source_name': must be at most 63 bytes of UTF-8 (this is 64)"]),
    ("sACN bind address as a name", HEADS.replace('destination = "127.0.0.1"', 'bind_address = "localhost"'),
     ["show.toml: output 'sacn': key 'bind_address': must be an IPv4 address such as \"0.0.0.0\""]),
    ("sACN bind address out of range", HEADS.replace('destination = "127.0.0.1"', 'bind_address = "10.0.0.256"'),
     ["show.toml: output 'sacn': key 'bind_address': must be an IPv4 address"]),
    ("destination past IPv4", HEADS.replace('destination = "127.0.0.1"', 'destination = "999.999.1.1"'),
     ["show.toml: output 'sacn': key 'destination': '999.999.1.1' is not an IPv4 address"]),
    ("destination no host can have", HEADS.replace('destination = "127.0.0.1"', 'destination = "desk one"'),
     ["show.toml: output 'sacn': key 'destination': 'desk one' is neither a host name nor an IPv4 address"]),
    ("OSC host past IPv4", HEADS + '[output.osc]\ndestination = "999.999.1.1:9000"\n',
     ["show.toml: output 'osc': key 'destination': must be \"HOST:PORT\": '999.999.1.1' is not an IPv4 address"]),
    ("nested too deeply", "x = " + "[" * 3000 + "]" * 3000 + "\n" + HEADS, ["show.toml: not valid TOML: nested too deeply"]),
    ("a number of 5,000 digits", "fps = " + "1" * 5000 + "\n" + HEADS,
     ["show.toml: not valid TOML: a number of more than"]),
    # Profiles and fixed channels.
    ("a channel with no value", HEADS.replace('name = "b"', 'name = "b"\nchannels = ["pan", "tilt", "shutter"]'),
     ["show.toml: fixture 'b': key 'channels': channel 'shutter' neither follows the pattern"]),
    ("a misspelt kind of channel", HEADS.replace('name = "b"', 'name = "b"\nchannels = ["pan", "tilt", "dimer"]'),
     ["show.toml: fixture 'b': key 'channels': channel 'dimer' neither follows the pattern (as pan, pan_fine, tilt, "
      "tilt_fine, dimmer, zoom do) nor has a value in 'fixed'; did you mean dimmer?"]),
    ("a fixed value for no channel", HEADS.replace('name = "b"', 'name = "b"\nfixed = { shuter = 255 }'),
     ["show.toml: fixture 'b': key 'fixed': no channel is named 'shuter' (channels: pan, pan_fine, tilt, tilt_fine)"]),
    ("a misspelt fixed channel", HEADS.replace('name = "b"', 'name = "b"\nchannels = ["pan", "tilt", "shutter"]\n'
                                               'fixed = { shuter = 255, shutter = 1 }'),
     ["show.toml: fixture 'b': key 'fixed': no channel is named 'shuter'; did you mean shutter?"]),
    ("a fixed value past 255", HEADS.replace('name = "b"', 'name = "b"\nchannels = ["pan", "tilt", "shutter"]\n'
                                             'fixed = { shutter = 256 }'),
     ["show.toml: fixture 'b': key 'fixed': channel 'shutter': must be a whole number in 0..255"]),
    ("fixed values that are no table", HEADS.replace('name = "b"', 'name = "b"\nfixed = [255]'),
     ["show.toml: fixture 'b': key 'fixed': must be a table of channel names and values"]),
    ("a group's fixed value for no channel", HEADS + '[[group]]\nname = "g"\nfixtures = ["a", "b"]\nfixed = { gobo = 1 }\n',
     ["show.toml: group 'g': key 'fixed': no channel is named 'gobo'"]),
    ("a profile's fixed value for no channel", HEADS + '[profile.spot]\nchannels = ["pan", "tilt"]\nfixed = { gobo = 1 }\n',
     ["show.toml: profile 'spot': key 'fixed': no channel is named 'gobo'"]),
    ("a profile without channels", HEADS + '[profile.spot]\nfixed = { gobo = 1 }\n',
     ["show.toml: profile 'spot': key 'channels': is required"]),
    ("a profile of a built-in name", HEADS + '[profile.pan8_tilt8]\nchannels = ["pan"]\n',
     ["show.toml: profile 'pan8_tilt8': a built-in profile has this name"]),
    ("a misspelt profile", HEADS.replace('name = "b"', 'name = "b"\nprofile = "pan16_tilt16_dimer"'),
     ["show.toml: fixture 'b': key 'profile': unknown profile 'pan16_tilt16_dimer'; did you mean pan16_tilt16_dimmer?"]),
    ("more channels than fit", HEADS.replace('name = "b"', 'name = "b"\nchannels = ["pan", "tilt", "c1", "c2"]\n'
                                            'fixed = { c1 = 0, c2 = 0 }').replace("address = 5", "address = 510"),
     ["show.toml: fixture 'b': key 'address': 510 with 4 channels runs past channel 512 (to 513)"]),
]


@pytest.mark.parametrize(("text", "expected"), [case[1:] for case in BAD_SHOWS], ids=[case[0] for case in BAD_SHOWS])
def test_bad_shows_are_refused_naming_file_fixture_and_key(text, expected):
    with pytest.raises(ShowError) as caught:
        parse_show(text, "show.toml")
    problems = caught.value.problems
    assert len(problems) == len(expected), problems
    for problem, start in zip(problems, expected):
        assert problem.startswith(start), problem


# Every key a show may hold, by where it goes.
KEYS = {
    "top": ["fps", "beats_per_bar", "crossfade_beats", "on_stop", "output", "profile", "fixture", "group"],
    "fixture": ["name", "pattern", "profile", "channels", "fixed", "invert_pan", "invert_tilt", "swap_pan_tilt",
                "pan_range", "tilt_range", "size", "speed", "phase_pips", "universe", "address"],
    "group": ["fixtures", "spread", "pattern", "profile", "channels", "fixed", "size", "speed"],
    "profile": ["channels", "fixed"],
    "sacn": ["destination", "port", "bind_address", "bind_port", "priority", "source_name"],
    "osc": ["destination", "prefix"],
}


def placed(where, line):
    if where == "top":
        return line + "\n" + HEADS
    if where == "fixture":
        return HEADS.replace('[[fixture]]\nname = "b"', f'[[fixture]]\n{line}\nname = "b"')
    if where == "group":
        return HEADS + f'[[group]]\nname = "g"\nfixtures = ["a"]\n{line}\n'
    if where == "profile":
        return HEADS + f'[profile.p]\n{line}\n'
    if where == "sacn":
        return HEADS.replace('destination = "127.0.0.1"', line)
    return HEADS + f'[output.osc]\ndestination = "127.0.0.1:9000"\n{line}\n'


@pytest.mark.parametrize("value", ["[1]", "{ a = 1 }", "[{ a = 1 }]", "1979-05-27", "true", "inf", "-1", '"\\u0000"',
                                   "[" * 200 + "]" * 200],
                         ids=["list", "table", "array of tables", "date", "flag", "infinity", "negative", "NUL",
                              "deep list"])
def test_a_value_of_any_kind_under_any_key_is_a_fault_said_or_a_valid_show(value):
    for where, keys in KEYS.items():
        for key in keys:
            try:
                parse_show(placed(where, f"{key} = {value}"), "show.toml")
            except ShowError as error:
                assert all(line.startswith("show.toml: ") for line in error.problems), (where, key)


def test_fixed_values_come_from_the_profile_then_the_group_then_the_fixture():
    heads = HEADS.replace('name = "b"', 'name = "b"\nprofile = "wash"\nfixed = { colour = 9 }')
    show = parse(heads.replace("address = 5", "address = 7") + """
[[fixture]]
name = "c"
pattern = "circle"
universe = 1
address = 20
channels = ["pan", "tilt", "dimmer"]
fixed = { dimmer = 255 }

[[fixture]]
name = "d"
pattern = "circle"
universe = 2
address = 1

[profile.wash]
channels = ["pan", "pan_fine", "tilt", "tilt_fine", "shutter", "colour"]
fixed = { shutter = 255, colour = 1 }

[[group]]
name = "row"
fixtures = ["a", "b", "c"]
profile = "wash"
fixed = { colour = 5 }
""")
    by_name = {f.name: f for f in show.fixtures}
    assert by_name["a"].fixed == (("shutter", 255), ("colour", 5))  # the group's over the profile's
    assert by_name["b"].fixed == (("shutter", 255), ("colour", 9))  # its own over both
    assert by_name["c"].fixed == (("dimmer", 255),)  # a layout of its own drops the group's values too
    assert by_name["c"].channels == ("pan", "tilt", "dimmer")
    assert by_name["d"].fixed == () and by_name["d"].channels == ("pan", "pan_fine", "tilt", "tilt_fine")


def test_a_byte_order_mark_is_read_as_packs_read_it(tmp_path):
    assert [f.name for f in parse_show("\ufeff" + HEADS, "show.toml").fixtures] == ["a", "b"]
    show_file = tmp_path / "show.toml"
    show_file.write_bytes(b"\xef\xbb\xbf" + HEADS.encode())
    assert [f.name for f in load_show(show_file).fixtures] == ["a", "b"]


def test_a_flood_of_faults_shows_the_first_few_and_counts_them_all():
    text = "[output.sacn]\n" + "".join(f'[[fixture]]\nname = "f{i}"\npattern = "circle"\nuniverse = 1\naddress = 1\n'
                                       for i in range(1000))
    with pytest.raises(ShowError) as caught:
        parse_show(text, "show.toml")
    error = caught.value
    assert isinstance(error, KinetropeError) and isinstance(error, ValueError)
    assert len(error.problems) == 999
    lines = str(error).splitlines()
    assert lines[:SHOWN_PROBLEMS] == error.problems[:SHOWN_PROBLEMS]
    assert lines[SHOWN_PROBLEMS:] == [f"show.toml: ... and {999 - SHOWN_PROBLEMS} more faults (999 in all)"]


def _fifo(folder):
    os.mkfifo(folder / "show.toml")


def _link_to_zero(folder):
    os.symlink("/dev/zero", folder / "show.toml")


def _folder(folder):
    (folder / "show.toml").mkdir()


def _too_large(folder):
    with open(folder / "show.toml", "wb") as file:
        file.truncate(100 * 2**20)  # sparse: no disk is used


def _one_past_the_limit(folder):
    (folder / "show.toml").write_bytes(HEADS.encode().ljust(MAX_SHOW_BYTES + 1, b" "))


def _limit_memory():
    resource.setrlimit(resource.RLIMIT_AS, (2**31, 2**31))


@pytest.mark.parametrize(("make", "reason"), [
    (_fifo, "a FIFO, not a regular file"),
    (_link_to_zero, "a character device, not a regular file"),
    (_folder, "a folder, not a regular file"),
    (_too_large, "104857600 bytes, larger than 16 MiB"),
    (_one_past_the_limit, "16777217 bytes, larger than 16 MiB"),
], ids=["FIFO", "link to /dev/zero", "folder", "100 MB", "one byte too many"])
def test_only_a_regular_file_of_a_show_s_size_is_read(tmp_path, make, reason):
    make(tmp_path)
    path = tmp_path / "show.toml"
    # In a child with bounded memory and time: reading such a file unguarded waits forever or fills memory.
    code = ("import sys\nfrom kinetrope_tools.stage.show import load_show\n"
            "try:\n    load_show(sys.argv[1])\nexcept OSError as error:\n    print(type(error).__name__, error)\n")
    child = subprocess.run([sys.executable, "-c", code, str(path)], capture_output=True, text=True, timeout=60,
                           preexec_fn=_limit_memory)
    assert child.stdout == f"UnreadableFile {path}: {reason}\n", child.stderr


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


def readme_example(number):
    import pathlib

    readme = (pathlib.Path(__file__).parents[2] / "README.md").read_text()
    return readme.split("### The show file")[1].split("```toml\n")[number].split("```")[0]


def test_the_readme_example_is_a_valid_show_of_four_heads_in_a_chase():
    show = parse_show(readme_example(1), "README.md")
    assert [f.name for f in show.fixtures] == ["spot_1", "spot_2", "spot_3", "spot_4"]
    assert [f.spread for f in show.fixtures] == [0.0, 0.25, 0.5, 0.75]
    assert {f.pattern for f in show.fixtures} == {"beat_house_classic_figure8"}
    assert [f.channels for f in show.fixtures] == [("pan", "pan_fine", "tilt", "tilt_fine", "dimmer")] * 4
    assert sorted(show.outputs) == ["osc", "sacn"]


def test_the_readme_example_of_a_real_head_holds_its_fixed_channels():
    from kinetrope_tools.stage.rig import Rig

    show = parse_show(readme_example(2), "README.md")
    _, dmx = Rig(show).frame(0, home=True)
    spot = [128, 0, 128, 0, 0, 128, 255, 0, 0, 0, 0, 128, 128, 0, 0, 0]  # dimmer and zoom follow z = 0 at home
    own = spot[:5] + [255, 255, 16] + spot[8:]  # spot_2 at full in its own colour
    assert dmx[0, :32].tolist() == spot + own


def test_the_readme_example_of_faults_is_what_the_show_says():
    import pathlib

    readme = (pathlib.Path(__file__).parents[2] / "README.md").read_text()
    said = readme.split("### The show file")[1].split("```text\n")[1].split("```")[0]
    bad = (readme_example(1).replace('name = "spot_1"\n', 'name = "spot_1"\npattern = "beat_house_clasic_figure8"\n')
           .replace("address = 11", "address = 10").replace("speed = 0.5", "sped = 0.5"))
    with pytest.raises(ShowError) as caught:
        parse_show(bad, "show.toml")
    assert "kinetrope live: error: " + str(caught.value) + "\n" == said
