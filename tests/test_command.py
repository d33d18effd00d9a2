"""The kinetrope command: each subcommand's output, and errors as one line without a traceback."""

import csv
import json
import pathlib
import subprocess
import sys

import numpy as np
import pytest
from PIL import Image

import kinetrope
from exact import hexes
from kinetrope_tools import load_pack, rows
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
        (["preview", "bounse", "-o", "{tmp}/p.png"], 1, "kinetrope preview: error: unknown pattern 'bounse'; did you mean bounce"),
        (["preview", "zz_*", "-o", "{tmp}/p.png"], 1, "kinetrope preview: error: no pattern matches 'zz_*'"),
        (["export", "helx", "--format", "csv", "-o", "{tmp}"], 1, "kinetrope export: error: unknown pattern 'helx'; did you mean helix"),
        (["export", "helix", "--format", "xml", "-o", "{tmp}"], 2, "kinetrope export: error: argument --format: invalid choice"),
        (["animate", "helix", "--bpm", "0", "-o", "{tmp}/a.gif"], 1, "kinetrope animate: error: --bpm must be a positive number"),
        (["animate", "helix", "--fps", "60", "-o", "{tmp}/a.gif"], 1, "kinetrope animate: error: --fps must divide 100"),
        (["animate", "helix"], 2, "kinetrope animate: error: the following arguments are required: -o/--output"),
        (["pack", "check", "{tmp}/missing.json"], 1, "kinetrope pack check: error: {tmp}/missing.json: No such file or directory"),
        (["gallery", "--pack", "{tmp}/missing.json", "-o", "{tmp}/g"], 1, "kinetrope gallery: error: {tmp}/missing.json: No such file"),
        (["dance"], 2, "kinetrope: error: argument COMMAND: invalid choice: 'dance'"),
    ],
    ids=["unknown-name", "glob-matches-nothing", "export-unknown", "format", "bpm", "fps", "missing-output",
         "missing-pack", "gallery-missing-pack", "unknown-command"],
)
def test_errors_are_one_line(tmp_path, args, status, message):
    done = run(*[a.format(tmp=tmp_path) for a in args])
    assert done.returncode == status
    assert done.stderr.count("\n") == 1, done.stderr
    assert done.stderr.startswith(message.format(tmp=tmp_path))
    assert "Traceback" not in done.stderr


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
        ([pattern("wide", [(0.5, 2.0, 0.0)])], 1, "error: patterns[0] ('wide'): Pattern samples must be finite and within [-1, 1]"),
    ],
    ids=["valid", "name", "duplicate", "override", "range"],
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

    tool = pathlib.Path(__file__).parents[1] / "tools" / "preview.py"
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
