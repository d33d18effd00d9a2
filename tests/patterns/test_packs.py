"""Packs on disk: save_pack and load_pack, and the position of a pattern the module refuses."""

import json
import os
import subprocess
import sys
import textwrap
import threading

import pytest

import kinetrope
from exact import hexes
from kinetrope_tools import PackError, load_library, load_pack, save_pack
from kinetrope_tools.patterns import packs


def ramp(name="ramp", period=64):
    return kinetrope.SampledPattern(name, "A ramp", [[p / period, 0.0, 0.0] for p in range(period)])


def write(tmp_path, document):
    path = tmp_path / "pack.json"
    path.write_text(json.dumps(document) if not isinstance(document, str) else document)
    return path


def record(name="mine", rows=((0.5, 0.0, 0.0),), **extra):
    return {"name": name, "description": "d", "rows": [list(r) for r in rows], **extra}


def test_save_and_load_keep_every_bit(tmp_path):
    # -0.0, the smallest subnormal and a value with a long expansion all survive JSON.
    odd = kinetrope.SampledPattern("odd", "Ünïcode — text", [[-0.0, 5e-324, 0.1], [1.0, -1.0, 1 / 3]])
    path = tmp_path / "pack.json"
    save_pack(path, [ramp(), odd])
    loaded = load_pack(path)
    assert [p.name for p in loaded] == ["ramp", "odd"]
    assert loaded[1].description == "Ünïcode — text"
    for before, after in zip([ramp(), odd], loaded):
        assert [hexes(before.sample(i)) for i in range(before.period_pips)] == [
            hexes(after.sample(i)) for i in range(after.period_pips)
        ]
    document = json.loads(path.read_text())
    assert document["pips_per_beat"] == 64
    assert [(p["period_pips"], p["dimensions"]) for p in document["patterns"]] == [(64, 1), (2, 3)]


def test_a_bare_list_is_a_pack(tmp_path):
    assert [p.name for p in load_pack(write(tmp_path, [record("a"), record("b")]))] == ["a", "b"]


@pytest.mark.parametrize(
    ("document", "message"),
    [
        ([record("ok"), record("Bad")], "patterns[1] ('Bad'): Invalid pattern name"),
        ([record("ok"), record("empty", rows=())], "patterns[1] ('empty'): A pattern requires 1..65535 samples (one per pip)"),
        ([record("big", rows=[(0, 0, 0), (1.5, 0, 0)])],
         "patterns[0] ('big'): Pattern samples must be finite and within [-1, 1]: row 1 is [1.5, 0, 0]"),
        ([record("short", rows=[(0.5, 0)])], "patterns[0] ('short'): row 0 is not three numbers [x, y, z]: [0.5, 0]"),
        ([record("text", rows=[(0.5, "0", 0)])], "patterns[0] ('text'): row 0 is not three numbers"),
        ([record("huge", rows=[(10**400, 0, 0)])],
         "patterns[0] ('huge'): rows hold a number that does not fit a double: row 0 is [1000"),
        ([record("claims", period_pips=2)], "patterns[0] ('claims'): \"period_pips\" is 2 but the rows give 1"),
        ([record("flat", dimensions=3)], "patterns[0] ('flat'): \"dimensions\" is 3 but the rows give 1"),
        ([{"description": "no name", "rows": []}], 'patterns[0]: missing key "name"'),
        ([{"name": 3, "description": "", "rows": []}], 'patterns[0]: "name" must be a string'),
        (["text"], "patterns[0]: a pattern is an object"),
        ({"patterns": 3}, 'a pack is a list of patterns, or an object with a "patterns" list'),
        ({"pips_per_beat": 96, "patterns": []}, "pips_per_beat is 96, not 64"),
        ("[{", "not JSON: Expecting property name enclosed in double quotes at line 1 column 3"),
    ],
    ids=["name", "no-rows", "range", "two-numbers", "string-number", "huge-int", "period", "dimensions",
         "no-name", "name-not-string", "not-object", "not-list", "pips-per-beat", "not-json"],
)
def test_load_pack_names_the_pattern_and_the_fault(tmp_path, document, message):
    with pytest.raises(PackError) as error:
        load_pack(write(tmp_path, document))
    assert str(error.value).startswith(message)


def test_the_library_blames_the_right_pattern(tmp_path):
    bounce_rows = [list(kinetrope.sample("bounce", p).as_tuple()) for p in range(64)]
    changed = [row[:] for row in bounce_rows]
    changed[5][0] = 0.125
    cases = [
        ([record("a"), record("b"), record("a")], "patterns[2] ('a'): Duplicate pattern name: a", 2),
        ([record("a"), {"name": "bounce", "description": "One-beat vertical bounce", "rows": changed}],
         "patterns[1] ('bounce'): Cannot override default pattern: bounce", 1),
    ]
    for document, message, index in cases:
        with pytest.raises(PackError) as error:
            load_library(write(tmp_path, document))
        assert str(error.value) == message
        assert error.value.index == index


def test_a_pack_over_the_limits(tmp_path):
    with pytest.raises(PackError, match=r"^Too many patterns \(1025"):
        load_library(write(tmp_path, [record(f"p{i}") for i in range(1025)]))
    full = [[0.0, 0.0, 0.0]] * 65535
    document = [record(f"p{i}", rows=full) for i in range(16)] + [record("last", rows=full[:17])]
    with pytest.raises(PackError) as error:
        load_library(write(tmp_path, document))
    assert str(error.value).startswith("patterns[16] ('last'): Pattern pack is too large")


def test_an_exact_default_loads_and_is_dropped(tmp_path):
    bounce_rows = [list(kinetrope.sample("bounce", p).as_tuple()) for p in range(64)]
    path = write(tmp_path, [{"name": "bounce", "description": "One-beat vertical bounce", "rows": bounce_rows}])
    assert len(load_library(path).catalogue()) == len(kinetrope.catalogue())


def text_of(rows="[[0.5, 0, 0]]", extra=""):
    return '{"patterns": [{"name": "a", "description": "d", "rows": %s%s}]}' % (rows, extra)


@pytest.mark.parametrize(
    ("content", "message"),
    [
        (text_of(extra=', "descripton": "d"'), """patterns[0] ('a'): unknown key "descripton"; did you mean "description"?"""),
        (text_of(extra=', "period_pip": 1'), """patterns[0] ('a'): unknown key "period_pip"; did you mean "period_pips"?"""),
        (text_of(extra=', "colour": "red"'), """patterns[0] ('a'): unknown key "colour" (known keys: name, description"""),
        ('{"pattern": []}', 'unknown key "pattern"; did you mean "patterns"?'),
        ('[{"name": "a", "rows": [[0, 0, 0]]}]', "patterns[0] ('a'): missing key \"description\""),
        ('[{"name": "a", "description": "d"}]', "patterns[0] ('a'): missing key \"rows\""),
        ('{"pips_per_beat": 64}', 'missing key "patterns"'),
        (text_of(extra=', "rows": []'), """patterns[0] ('a'): key "rows" is given twice"""),
        ('{"patterns": [], "patterns": []}', 'key "patterns" is given twice'),
        ("[" * 100_000, "nested too deeply at line 1 column 33"),
        ('[\n  {"name": "a", "description": "d", "rows": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[0]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]}]',
         "patterns[0] ('a'): row 0 is not three numbers"),
        (text_of(rows="[[%s, 0, 0]]" % ("1" * 5000)), "patterns[0] ('a'): Pattern samples must be finite and within [-1, 1]: row 0"),
        (text_of(rows="[[0, 0, 0], [0, 2, 0]]"), "patterns[0] ('a'): Pattern samples must be finite and within [-1, 1]: row 1 is [0, 2, 0]"),
        (text_of(rows="[[0, 0, 0], [0, NaN, 0]]"), "patterns[0] ('a'): Pattern samples must be finite and within [-1, 1]: row 1 is [0, NaN, 0]"),
        (text_of().encode("utf-16"), "not UTF-8 text, perhaps UTF-16: byte 0xff at line 1 column 1"),
        (b'[\n {"name": "a", "description": "\xff", "rows": [[0, 0, 0]]}]', "not UTF-8 text: byte 0xff at line 2 column 32"),
        ("", "not JSON: Expecting value at line 1 column 1"),
    ],
    ids=["misspelt-description", "misspelt-period", "unknown-key", "misspelt-patterns", "no-description", "no-rows",
         "no-patterns", "repeated-key", "repeated-top-key", "deep-nesting", "nested-row", "huge-integer",
         "row-out-of-range", "nan", "utf-16", "invalid-byte", "empty"],
)
def test_every_fault_of_a_pack_file_is_a_pack_error_that_says_where(tmp_path, content, message):
    path = tmp_path / "pack.json"
    if isinstance(content, bytes):
        path.write_bytes(content)
    else:
        path.write_text(content)
    with pytest.raises(PackError) as error:
        load_pack(path)
    assert str(error.value).startswith(message)


def test_a_byte_order_mark_is_read(tmp_path):
    path = tmp_path / "pack.json"
    path.write_bytes(b"\xef\xbb\xbf" + text_of().encode())
    assert [p.name for p in load_pack(path)] == ["a"]


# Each in a child process with its memory capped: a loader that reads
# /dev/zero to the end fails there instead of taking the machine's memory.
LOAD_IN_CHILD = textwrap.dedent("""
    import os, resource, sys
    # Bounds a reader that would drain /dev/zero. AddressSanitizer reserves
    # terabytes of address space for its shadow, so under it there is no bound.
    if "libasan" not in os.environ.get("LD_PRELOAD", ""):
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
    from kinetrope_tools import PackError, load_pack
    try:
        load_pack(sys.argv[1])
    except PackError as error:
        print(error)
""")


@pytest.fixture
def fifo(tmp_path):
    path = tmp_path / "fifo.json"
    os.mkfifo(path)
    # Should a loader wait for a writer, one comes after a minute: the test
    # then fails instead of hanging.
    def writer():
        if not done.wait(60):
            with open(path, "w") as file:
                file.write("[]")

    done = threading.Event()
    thread = threading.Thread(target=writer, daemon=True)
    thread.start()
    yield path
    done.set()
    thread.join()


@pytest.mark.parametrize(
    ("make", "message"),
    [
        (lambda tmp_path, fifo: tmp_path, "{path}: a folder, not a regular file"),
        (lambda tmp_path, fifo: "/dev/zero", "{path}: a character device, not a regular file"),
        (lambda tmp_path, fifo: fifo, "{path}: a FIFO, not a regular file"),
        (lambda tmp_path, fifo: tmp_path / "missing.json", "{path}: No such file or directory"),
    ],
    ids=["folder", "dev-zero", "fifo", "missing"],
)
def test_only_regular_files_are_read(tmp_path, fifo, make, message):
    path = make(tmp_path, fifo)
    done = subprocess.run([sys.executable, "-c", LOAD_IN_CHILD, str(path)], capture_output=True, text=True, timeout=120)
    assert done.stdout == message.format(path=path) + "\n", done.stderr


def test_a_file_larger_than_any_pack_is_refused_unread(tmp_path):
    path = tmp_path / "large.json"
    with open(path, "wb") as file:  # sparse: no bytes are written
        file.truncate(packs.MAX_PACK_BYTES + 1)
    with pytest.raises(PackError, match=rf"large.json: {packs.MAX_PACK_BYTES + 1} bytes, larger than 96 MiB$"):
        load_pack(path)
    # A link to a pack file is read as the file.
    good = tmp_path / "good.json"
    good.write_text(text_of())
    (tmp_path / "link.json").symlink_to(good)
    assert [p.name for p in load_pack(tmp_path / "link.json")] == ["a"]


def test_more_values_than_a_pack_holds_are_refused_before_parsing(tmp_path, monkeypatch):
    # Smaller limits, to keep the file small: 4 rows of 3 lists and values each.
    monkeypatch.setattr(packs, "_MAX_STRUCTURE", 4 * 4 + 8 + 8)
    path = tmp_path / "pack.json"
    # Brackets and commas in strings are no part of the count.
    path.write_text(json.dumps([record("a", rows=[(0, 0, 0)] * 4) | {"description": "[{,," * 100}]))
    assert load_pack(path)[0].period_pips == 4
    path.write_text(json.dumps([record("a", rows=[(0, 0, 0)] * 20)]))
    with pytest.raises(PackError, match=r"^more lists and values than a pack holds \(at most 1048576 rows in all\)"):
        load_pack(path)


def test_save_pack_replaces_a_link_instead_of_writing_through_it(tmp_path):
    target = tmp_path / "target.txt"
    target.write_text("keep me")
    (tmp_path / "pack.json").symlink_to(target)
    save_pack(tmp_path / "pack.json", [ramp()])
    assert target.read_text() == "keep me"
    assert not (tmp_path / "pack.json").is_symlink()
    assert [p.name for p in load_pack(tmp_path / "pack.json")] == ["ramp"]
    assert sorted(p.name for p in tmp_path.iterdir()) == ["pack.json", "target.txt"]


def test_a_description_of_bytes_that_are_not_utf8_is_named_not_decoded(tmp_path):
    # The module keeps bytes as given; the package must say which pattern it
    # cannot write rather than fail on the decode or leave a half-written file.
    from kinetrope_tools.patterns.library import PatternSet

    good = kinetrope.SampledPattern("fine", "A plain one", [[0.5, 0.0, 0.0]])
    bad = kinetrope.SampledPattern("raw", b"\xff\xfe", [[0.0, 0.0, 0.0]])
    target = tmp_path / "pack.json"
    with pytest.raises(PackError, match=r"^patterns\[1\] \('raw'\): its description is not UTF-8 text"):
        save_pack(target, [good, bad])
    assert list(tmp_path.iterdir()) == []
    with pytest.raises(ValueError, match="description is not UTF-8 text"):
        PatternSet(kinetrope.PatternLibrary([bad]))
