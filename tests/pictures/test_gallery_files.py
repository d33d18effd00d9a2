"""What the gallery may touch: only files it wrote, never through a link, never a folder it did not make.

Pictures are stood in for by a few bytes each (the drawing is the browser
test's business); everything else is the real build.
"""

import json
import os
import subprocess
import sys

import pytest

import kinetrope
from kinetrope_tools.pictures import gallery
from kinetrope_tools.pictures.gallery import MANIFEST, GalleryError, build


def my_pattern(lift=0.5):
    return kinetrope.SampledPattern("my_lift", "A user pattern", [[0.0, lift, 0.0], [0.0, -lift, 0.0]])


LIBRARY = kinetrope.PatternLibrary([my_pattern()])


@pytest.fixture
def drawn(monkeypatch):
    """The pictures each build draws, each written as a few bytes into the folder the build gives."""
    names = []

    def stand_in(tasks, processes, progress, images):
        for kind, entry, rows, name in tasks:
            images.write_bytes(name, f"{kind} of {entry.name}".encode(), name + ".part")
            names.append((kind, entry.name))

    monkeypatch.setattr(gallery, "_draw_missing", stand_in)
    return names


def files_in(folder):
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if not p.is_dir())


def test_the_record_lists_every_file_written(tmp_path, drawn):
    output = tmp_path / "gallery"
    build(output, library=LIBRARY, progress=False)
    record = json.loads((output / MANIFEST).read_text())
    assert sorted(record["files"] + [MANIFEST]) == files_in(output)
    assert len(drawn) == 2 * len(LIBRARY.catalogue())
    drawn.clear()
    build(output, library=LIBRARY, progress=False)
    assert drawn == []


def test_only_what_the_gallery_wrote_is_removed(tmp_path, drawn):
    output = tmp_path / "gallery"
    build(output, library=LIBRARY, progress=False)
    before = set(files_in(output))
    drawn.clear()
    build(output, library=kinetrope.PatternLibrary([my_pattern(0.25)]), progress=False)
    assert sorted(drawn) == [("large", "my_lift"), ("thumbnail", "my_lift")]
    after = set(files_in(output))
    assert len(before - after) == 2 and all(name.startswith("img/") for name in before - after)
    # Without the pack, its pattern's page and pictures go too.
    build(output, progress=False)
    assert {"patterns/my_lift.html"} < after - set(files_in(output))


def outside(tmp_path):
    """A folder beside the gallery whose contents must survive every build."""
    folder = tmp_path / "outside"
    folder.mkdir(exist_ok=True)
    (folder / "precious.png").write_text("keep me")
    return folder


def plant_file(output, tmp_path, path):
    (output / path).parent.mkdir(parents=True, exist_ok=True)
    (output / path).write_text("mine")


def plant_link(output, tmp_path, path):
    (output / path).parent.mkdir(parents=True, exist_ok=True)
    if (output / path).exists():
        (output / path).unlink()
    (output / path).symlink_to(outside(tmp_path) / "precious.png")


def plant_images_link(output, tmp_path, path):
    # The whole pictures folder replaced by a link to a folder of someone else's.
    for picture in (output / "img").iterdir():
        picture.unlink()
    (output / "img").rmdir()
    (output / "img").symlink_to(outside(tmp_path), target_is_directory=True)


def plant_folder(output, tmp_path, path):
    (output / path).mkdir(parents=True)
    (output / path / "inside.txt").write_text("mine")


# (id, plant, path, how the message names it, whether it replaces what only a build writes)
PLANTED = [
    ("file", plant_file, "notes.txt", "notes.txt", False),
    ("picture", plant_file, "img/mine.png", "img/mine.png", False),
    ("page", plant_file, "patterns/mine.html", "patterns/mine.html", False),
    ("subfolder", plant_folder, "img/sub", "img/sub", False),
    ("partial-link", plant_link, "index.html.part", "index.html.part", False),
    ("images-link", plant_images_link, "img", "img (a link, not a folder)", True),
    ("index-link", plant_link, "index.html", "index.html (a link)", True),
    ("page-link", plant_link, "patterns/helix.html", "patterns/helix.html (a link)", True),
]
CASES = [
    (f"{case}-{'after-a-build' if earlier else 'fresh-folder'}", (plant, path, named, earlier))
    for case, plant, path, named, needs_a_build in PLANTED
    for earlier in (False, True)
    if earlier or not needs_a_build
]


@pytest.mark.parametrize(("plant", "path", "named", "earlier"), [c for _, c in CASES], ids=[i for i, _ in CASES])
def test_a_folder_holding_what_the_gallery_did_not_write_is_refused(tmp_path, drawn, plant, path, named, earlier):
    output = tmp_path / "gallery"
    if earlier:
        build(output, library=LIBRARY, progress=False)
    plant(output, tmp_path, path)
    before = {p: p.lstat().st_mtime_ns for p in [*output.rglob("*"), *tmp_path.glob("outside/*")]}
    with pytest.raises(GalleryError) as error:
        build(output, library=LIBRARY, progress=False)
    message = str(error.value)
    assert message.startswith(f"{output} holds files the gallery did not write ({named}")
    assert message.endswith("build into a new or empty folder, or remove them") and "\n" not in message
    # Nothing changed, in the folder or where its links point.
    assert {p: p.lstat().st_mtime_ns for p in [*output.rglob("*"), *tmp_path.glob("outside/*")]} == before
    if (tmp_path / "outside").exists():
        assert sorted(os.listdir(tmp_path / "outside")) == ["precious.png"]
        assert (tmp_path / "outside" / "precious.png").read_text() == "keep me"


def test_the_command_refuses_in_one_line(tmp_path):
    (tmp_path / "notes.txt").write_text("mine")
    command = [str(os.path.join(os.path.dirname(sys.executable), "kinetrope")), "gallery", "--quiet", "-o", str(tmp_path)]
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    assert done.returncode == 1
    assert done.stderr == (
        f"kinetrope gallery: error: {tmp_path} holds files the gallery did not write (notes.txt); "
        "build into a new or empty folder, or remove them\n"
    )
    assert os.listdir(tmp_path) == ["notes.txt"]


def test_what_an_interrupted_build_left_is_cleared(tmp_path, drawn):
    output = tmp_path / "gallery"
    build(output, library=LIBRARY, progress=False)
    record = json.loads((output / MANIFEST).read_text())
    picture = next(name for name in record["files"] if name.startswith("img/"))
    # A picture and a page half written, as a build stopped mid-write leaves them.
    (output / (picture + ".part")).write_bytes(b"half")
    (output / "patterns" / "helix.html.part").write_text("half")
    build(output, library=LIBRARY, progress=False)
    assert not (output / (picture + ".part")).exists()
    assert not (output / "patterns" / "helix.html.part").exists()


def test_the_record_of_rows_is_trusted_only_for_the_same_module(tmp_path, drawn):
    output = tmp_path / "gallery"
    build(output, library=LIBRARY, progress=False)
    record = json.loads((output / MANIFEST).read_text())
    real = record["rows"]["helix"]
    # A record from another build of the module, whose helix differed.
    record["module"][1] += 1
    record["rows"]["helix"] = "0" * 24
    (output / MANIFEST).write_text(json.dumps(record))
    drawn.clear()
    build(output, library=LIBRARY, progress=False)
    assert drawn == []
    assert json.loads((output / MANIFEST).read_text())["rows"]["helix"] == real


@pytest.mark.parametrize(
    "record",
    ["not json", '{"files": "index.html", "module": null, "rows": {}}',
     '{"files": ["../outside/precious.png"], "module": null, "rows": {}}',
     '{"files": ["img/../../x"], "module": null, "rows": {}}'],
    ids=["not-json", "files-not-a-list", "path-outside", "path-climbing"],
)
def test_a_damaged_record_is_refused(tmp_path, drawn, record):
    output = tmp_path / "gallery"
    output.mkdir()
    (output / MANIFEST).write_text(record)
    precious = outside(tmp_path) / "precious.png"
    with pytest.raises(GalleryError, match="the gallery's record of the files it wrote, is damaged"):
        build(output, library=LIBRARY, progress=False)
    assert precious.read_text() == "keep me"
    assert sorted(os.listdir(output)) == [MANIFEST]
