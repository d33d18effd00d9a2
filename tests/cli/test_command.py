"""The kinetrope command: each subcommand's output, and errors as one line without a traceback."""

import csv
import json
import os
import pathlib
import stat
import subprocess
import sys

import numpy as np
import pytest
import soundfile
from PIL import Image

import kinetrope
from exact import hexes
from kinetrope_tools import BeatMap, load_pack, rows
from kinetrope_tools.cli import main

COMMAND = pathlib.Path(sys.executable).with_name("kinetrope")


def run(*args):
    """The installed console script, as a user runs it."""
    return subprocess.run([str(COMMAND), *map(str, args)], capture_output=True, text=True, timeout=300)


@pytest.mark.parametrize(
    "args", [[], ["gallery"], ["preview"], ["export"], ["pack"], ["pack", "check"], ["animate"]], ids=" ".join
)
def test_help_on_every_subcommand(args):
    done = run(*args, "--help")
    assert done.returncode == 0
    assert done.stdout.startswith("usage: kinetrope")
    assert done.stderr == ""


@pytest.mark.parametrize(
    ("args", "status", "message"),
    [
        (["preview", "bounse", "-o", "{tmp}/p.png"], 2, "kinetrope preview: error: unknown pattern 'bounse'; did you mean bounce"),
        (["preview", "zz_*", "-o", "{tmp}/p.png"], 2, "kinetrope preview: error: no pattern matches 'zz_*'"),
        (["preview", "helix", "--per-sheet", "0", "-o", "{tmp}/p.png"], 2, "kinetrope preview: error: argument --per-sheet: must be at least 1, not 0"),
        (["export", "helx", "--format", "csv", "-o", "{tmp}"], 2, "kinetrope export: error: unknown pattern 'helx'; did you mean helix"),
        (["export", "helix", "--format", "xml", "-o", "{tmp}"], 2, "kinetrope export: error: argument --format: invalid choice"),
        (["animate", "helx", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: unknown pattern 'helx'; did you mean helix"),
        (["animate", "helix", "--bpm", "0", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --bpm: must be from 20 to 999 beats a minute, not 0"),
        (["animate", "helix", "--bpm", "nan", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --bpm: must be from 20 to 999 beats a minute, not nan"),
        (["animate", "helix", "--bpm", "fast", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --bpm: not a number: 'fast'"),
        (["animate", "helix", "--beats", "-1", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --beats: must be a positive number, not -1"),
        (["animate", "helix", "--fps", "30", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --fps: must divide 100"),
        (["animate", "helix", "--fps", "60", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --fps: must divide 100"),
        # Lengths that would take hours or all the memory, refused before anything is drawn.
        (["animate", "bounce", "--bpm", "1e-300", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --bpm: must be from 20 to 999 beats a minute, not 1e-300"),
        (["animate", "bounce", "--beats", "1000", "--bpm", "20", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: 1000 beats at 20 bpm take 1.5e+05 frames at 50 a second; a GIF here holds at most 3000"),
        (["animate", "bounce", "--beats", "100000", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: 100000 beats at 124 bpm take 2.419e+06 frames"),
        (["animate", "bounce", "--bpm", "1e9", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: argument --bpm: must be from 20 to 999 beats a minute, not 1e9"),
        (["animate", "bounce", "--beats", "1e300", "-o", "{tmp}/a.gif"], 2, "kinetrope animate: error: 1e+300 beats run past the last 32-bit pip"),
        (["animate", "helix"], 2, "kinetrope animate: error: the following arguments are required: -o/--output"),
        (["gallery", "--jobs", "0", "-o", "{tmp}/g"], 2, "kinetrope gallery: error: argument --jobs: must be at least 1, not 0"),
        (["pack", "check", "{tmp}/missing.json"], 1, "kinetrope pack check: error: {tmp}/missing.json: No such file or directory"),
        (["pack", "check", "{tmp}"], 1, "kinetrope pack check: error: {tmp}: a folder, not a regular file"),
        (["gallery", "--pack", "{tmp}/missing.json", "-o", "{tmp}/g"], 1, "kinetrope gallery: error: {tmp}/missing.json: No such file"),
        (["dance"], 2, "kinetrope: error: argument COMMAND: invalid choice: 'dance'"),
    ],
    ids=["unknown-name", "glob-matches-nothing", "per-sheet", "export-unknown", "format", "animate-unknown", "bpm",
         "bpm-nan", "bpm-text", "beats", "fps-30", "fps-60", "bpm-1e-300", "gif-too-long", "beats-100000", "bpm-1e9",
         "beats-past-32-bits", "missing-output", "jobs", "missing-pack", "pack-folder", "gallery-missing-pack",
         "unknown-command"],
)
def test_errors_are_one_line(tmp_path, args, status, message):
    done = run(*[a.format(tmp=tmp_path) for a in args])
    assert done.returncode == status
    assert done.stderr.count("\n") == 1, done.stderr
    assert done.stderr.startswith(message.format(tmp=tmp_path)), done.stderr
    assert "Traceback" not in done.stderr
    assert done.stdout == ""
    assert not (tmp_path / "a.gif").exists() and not (tmp_path / "p.png").exists()


def write_pack(tmp_path, patterns):
    path = tmp_path / "pack.json"
    path.write_text(json.dumps({"pips_per_beat": 64, "patterns": patterns}))
    return path


def pattern(name, rows_=((0.5, 0.25, 0.0), (-0.5, 0.0, 0.0))):
    return {"name": name, "description": f"{name} described", "rows": [list(r) for r in rows_]}


@pytest.mark.parametrize(
    ("patterns", "status", "output"),
    [
        ([pattern("one"), pattern("two")], 0, "valid, 2 patterns"),
        ([pattern("one"), pattern("Two")], 1, "error: patterns[1] ('Two'): Invalid pattern name"),
        ([pattern("one"), pattern("one")], 1, "error: patterns[1] ('one'): Duplicate pattern name: one"),
        ([pattern("lfo_breathe")], 1, "error: patterns[0] ('lfo_breathe'): Cannot override default pattern: lfo_breathe"),
        ([pattern("one"), pattern("wide", [(0.5, 0.0, 0.0), (0.5, 2.0, 0.0)])], 1,
         "error: patterns[1] ('wide'): Pattern samples must be finite and within [-1, 1]: row 1 is [0.5, 2.0, 0.0]"),
        ([pattern("one") | {"descripton": "typo"}], 1,
         """error: patterns[0] ('one'): unknown key "descripton"; did you mean "description"?"""),
        ([pattern("one") | {"period_pip": 2}], 1, """error: patterns[0] ('one'): unknown key "period_pip"; did you mean "period_pips"?"""),
        ([{"name": "bare", "rows": [[0.0, 0.0, 0.0]]}], 1, "error: patterns[0] ('bare'): missing key \"description\""),
    ],
    ids=["valid", "name", "duplicate", "override", "range", "misspelt-description", "misspelt-period", "no-description"],
)
def test_pack_check(tmp_path, capsys, patterns, status, output):
    assert main(["pack", "check", str(write_pack(tmp_path, patterns))]) == status
    captured = capsys.readouterr()
    assert output in (captured.out if status == 0 else captured.err)


def test_export_formats_hold_one_period_and_the_metadata(tmp_path, capsys):
    assert main(["export", "helix", "lfo_b*", "--format", "csv", "-o", str(tmp_path / "csv")]) == 0
    # npy and json side by side in one directory: neither overwrites the other.
    assert main(["export", "helix", "--format", "npy", "-o", str(tmp_path / "both")]) == 0
    assert main(["export", "helix", "--format", "json", "-o", str(tmp_path / "both")]) == 0
    expected = rows("helix")
    written = sorted(p.name for p in (tmp_path / "csv").iterdir())
    assert written == sorted(["helix.csv"] + [f"{e['name']}.csv" for e in kinetrope.catalogue() if e["name"].startswith("lfo_b")])

    text = (tmp_path / "csv" / "helix.csv").read_text().splitlines()
    assert text[:5] == [
        "# name: helix", "# description: Four-beat double-turn helix", "# period_pips: 256",
        "# dimensions: 3", "# pips_per_beat: 64",
    ]
    table = list(csv.reader(text[5:]))
    assert table[0] == ["pip", "x", "y", "z"]
    assert [hexes(map(float, r[1:])) for r in table[1:]] == [hexes(r) for r in expected]

    assert np.load(tmp_path / "both" / "helix.npy").tobytes() == expected.tobytes()
    meta = json.loads((tmp_path / "both" / "helix.meta.json").read_text())
    assert meta == {"name": "helix", "description": "Four-beat double-turn helix", "period_pips": 256,
                    "dimensions": 3, "pips_per_beat": 64}

    # The JSON export is a pack: it loads back as a user pattern equal to the default.
    (loaded,) = load_pack(tmp_path / "both" / "helix.json")
    assert (loaded.name, loaded.description, loaded.period_pips) == ("helix", "Four-beat double-turn helix", 256)
    assert [hexes(loaded.sample(p)) for p in range(256)] == [hexes(r) for r in expected]
    kinetrope.PatternLibrary([loaded])  # an exact copy of a default is accepted


def test_export_reads_a_pack(tmp_path):
    pack = write_pack(tmp_path, [pattern("mine")])
    assert main(["export", "mine", "--format", "json", "--pack", str(pack), "-o", str(tmp_path / "out")]) == 0
    (loaded,) = load_pack(tmp_path / "out" / "mine.json")
    assert loaded.sample(1).as_tuple() == (-0.5, 0.0, 0.0)


def test_preview_pages_and_the_old_tool(tmp_path):
    done = run("preview", "euclid_2*", "bounce", "-o", tmp_path / "sheet.png", "--per-sheet", "2")
    assert done.returncode == 0, done.stderr
    chosen = [e["name"] for e in kinetrope.catalogue() if e["name"].startswith("euclid_2")] + ["bounce"]
    pages = [chosen[i : i + 2] for i in range(0, len(chosen), 2)]
    expected = [f"{tmp_path / ('sheet.png' if n == 0 else f'sheet_{n + 1}.png')}: {', '.join(page)}" for n, page in enumerate(pages)]
    assert done.stdout.splitlines() == expected
    with Image.open(tmp_path / "sheet.png") as sheet:
        assert sheet.height > sheet.width / 4  # two rows of pictures

    tool = pathlib.Path(__file__).parents[2] / "tools" / "preview.py"
    done = subprocess.run([sys.executable, str(tool), "helix", "-o", str(tmp_path / "tool.png")], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "tool.png").stat().st_size > 0


def test_animate_one_frame_per_display_frame(tmp_path, capsys):
    path = tmp_path / "helix.gif"
    assert main(["animate", "helix", "--bpm", "124", "--beats", "2", "-o", str(path)]) == 0
    # Two beats at 124 bpm last 120/124 s: 48.4 frames at 50 a second.
    assert capsys.readouterr().out == f"{path}: 48 frames at 50 per second\n"
    with Image.open(path) as gif:
        assert gif.n_frames == 48
        assert gif.info["duration"] == 20
        first = np.asarray(gif.convert("RGB"))
        gif.seek(24)
        middle = np.asarray(gif.convert("RGB"))
    assert not np.array_equal(first, middle)  # the point moved


def test_a_description_stays_on_its_comment_line_in_csv(tmp_path):
    sly = "two\nlines\r\n# name: fake\n0,1,1,1\u2028and a back\\slash\tend"
    pack = write_pack(tmp_path, [{"name": "sly", "description": sly, "rows": [[0.5, 0.0, 0.0], [-0.5, 0.0, 0.0]]}])
    assert main(["export", "sly", "--format", "csv", "--pack", str(pack), "-o", str(tmp_path / "out")]) == 0
    lines = (tmp_path / "out" / "sly.csv").read_text(encoding="utf-8").split("\n")
    assert lines[:5] == [
        "# name: sly",
        "# description: two\\nlines\\r\\n# name: fake\\n0,1,1,1\\u2028and a back\\\\slash\\tend",
        "# period_pips: 2", "# dimensions: 1", "# pips_per_beat: 64",
    ]
    assert list(csv.reader(lines[5:-1])) == [["pip", "x", "y", "z"], ["0", "0.5", "0.0", "0.0"], ["1", "-0.5", "0.0", "0.0"]]
    assert lines[-1] == ""


def planted_link(folder, name):
    """A link at folder/name to a file outside it that must survive."""
    target = folder.parent / f"{name}.target"
    target.write_text("keep me")
    folder.mkdir(exist_ok=True)
    (folder / name).symlink_to(target)
    return target


@pytest.mark.parametrize(
    ("args", "written"),
    [
        (["export", "bounce", "--format", "csv", "-o", "{out}"], ["bounce.csv"]),
        (["export", "bounce", "--format", "json", "-o", "{out}"], ["bounce.json"]),
        (["export", "bounce", "--format", "npy", "-o", "{out}"], ["bounce.npy", "bounce.meta.json"]),
        (["preview", "bounce", "sway", "--per-sheet", "1", "-o", "{out}/sheet.png"], ["sheet.png", "sheet_2.png"]),
        (["animate", "bounce", "--beats", "0.5", "-o", "{out}/bounce.gif"], ["bounce.gif"]),
    ],
    ids=["csv", "json", "npy", "preview", "animate"],
)
def test_a_planted_link_is_replaced_not_written_through(tmp_path, args, written):
    out = tmp_path / "out"
    targets = [planted_link(out, name) for name in written]
    assert main([a.format(out=out) for a in args]) == 0
    assert [t.read_text() for t in targets] == ["keep me"] * len(targets)
    for name in written:
        assert (out / name).is_file() and not (out / name).is_symlink()
    # Nothing else is left beside them (no partial files).
    assert sorted(p.name for p in out.iterdir()) == sorted(written)


def test_texts_are_drawn_as_written(tmp_path):
    # Math markup that matplotlib cannot parse, and TeX asked for by the
    # user's settings: neither may reach the drawing.
    pack = write_pack(tmp_path, [{"name": "dollar", "description": "$\\frac{$ costs $5", "rows": [[0.5, 0.25, 0.0]]}])
    import matplotlib

    with matplotlib.rc_context({"text.usetex": True, "text.parse_math": True}):
        assert main(["preview", "dollar", "helix", "--pack", str(pack), "-o", str(tmp_path / "sheet.png")]) == 0
    done = run("preview", "dollar", "--pack", pack, "-o", tmp_path / "again.png")
    assert done.returncode == 0 and done.stderr == ""

    from kinetrope_tools.pictures.drawing import LargeView
    from kinetrope_tools.patterns.library import PatternSet

    patterns = PatternSet(kinetrope.PatternLibrary(load_pack(pack)))
    view = LargeView()
    with open(tmp_path / "large.png", "wb") as file:
        view.save(patterns["dollar"], patterns.rows("dollar"), file)
    texts = view.fig.findobj(matplotlib.text.Text)
    assert any("$\\frac{$ costs $5" in text.get_text() for text in texts)
    # Every text of the picture is plain: not math, not TeX.
    assert [text.get_text() for text in texts if text._preprocess_math(text.get_text())[1]] == []


def special_file(kind, path):
    if kind == "fifo":
        os.mkfifo(path)
    elif os.geteuid() == 0:
        os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # what /dev/null is
    else:
        pytest.skip("making a device node needs root")


@pytest.fixture(scope="module")
def short_song(tmp_path_factory):
    """Half a second of a quiet hum, with a beat map so that nothing is tracked, and four seconds of
    clicks at 120 BPM for the tracker."""
    folder = tmp_path_factory.mktemp("short_song")
    rate = 22050
    t = np.arange(4 * rate) / rate
    soundfile.write(folder / "hum.wav", 0.1 * np.sin(2 * np.pi * 110 * t[: rate // 2]), rate)
    BeatMap(np.arange(0.0, 2.0, 0.5)).save(folder / "beats.json")
    clicks = 0.02 * np.sin(2 * np.pi * 110 * t)
    burst = np.arange(round(0.03 * rate))
    for beat in np.arange(0.1, 4.0, 0.5):
        at = round(beat * rate)
        clicks[at : at + burst.size] += 0.8 * np.exp(-burst / (0.004 * rate)) * np.sin(2 * np.pi * 1000 * burst / rate)
    soundfile.write(folder / "clicks.wav", clicks, rate)
    return folder


@pytest.mark.parametrize("kind", ["character-device", "fifo"])
@pytest.mark.parametrize(
    ("args", "written"),
    [
        (["render", "{song}/hum.wav", "circle", "--beats", "{song}/beats.json", "--size", "120", "-o", "{out}/v.mp4"], "v.mp4"),
        (["preview", "bounce", "-o", "{out}/sheet.png"], "sheet.png"),
        (["animate", "bounce", "--beats", "0.5", "-o", "{out}/bounce.gif"], "bounce.gif"),
        (["export", "bounce", "--format", "csv", "-o", "{out}"], "bounce.csv"),
        (["export", "bounce", "--format", "npy", "-o", "{out}"], "bounce.meta.json"),
        (["beats", "{song}/clicks.wav", "-o", "{out}/beats.json"], "beats.json"),
    ],
    ids=["render", "preview", "animate", "export-csv", "export-npy", "beats"],
)
def test_output_onto_a_device_or_fifo_is_refused_and_left_alone(tmp_path, short_song, args, written, kind):
    out = tmp_path / "out"
    out.mkdir()
    special_file(kind, out / written)
    before = os.lstat(out / written)
    done = run(*[a.format(song=short_song, out=out) for a in args])
    shown = "character device" if kind == "character-device" else "FIFO"
    assert done.returncode == 1
    assert done.stderr == f"kinetrope {args[0]}: error: {out / written}: a {shown}, not a regular file\n"
    after = os.lstat(out / written)
    assert (after.st_mode, after.st_ino, after.st_rdev) == (before.st_mode, before.st_ino, before.st_rdev)
    assert [p.name for p in out.iterdir()] == [written]  # nothing written beside it
