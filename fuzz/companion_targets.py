"""Fuzz targets of the companion package, kinetrope_tools: one function per
target, listed in TARGETS.

A target takes a Workspace (a seeded generator, a folder that the fuzz pass
created and removes, and the files made there so far), makes one call with
hostile input and checks what it can of the result. It returns normally for
a result or a clean refusal and raises Unacceptable for anything else;
exceptions that escape it are judged by the caller. A new target (a beat
map, a show file, an OSC control message) is one more function and one more
entry in TARGETS.

Every path a target hands to the package lies inside the workspace folder.
"""

from __future__ import annotations

import array
import contextlib
import io
import json
import math
import os
import pathlib
import random
import string
import threading
from fractions import Fraction
from typing import Any, Callable

import numpy as np

import kinetrope
import kinetrope_tools
from kinetrope_tools import cli

from kinetrope_tools.patterns.packs import PackError, dumps_pack

PIP_MIN, PIP_MAX = -(2**31), 2**31 - 1
DEFAULT_NAMES = [entry["name"] for entry in kinetrope.catalogue()]

# matplotlib and the pictures it draws are not for several threads at once.
DRAWING = threading.Lock()
# Held while a target redirects the process's stderr, and while one parses OSC: python-osc warns of a
# datagram it cannot read through the root logger, whose last-resort handler writes to whatever
# sys.stderr is at that moment, which may be another target's redirection.
STDERR = threading.Lock()


class Unacceptable(Exception):
    """A result or an error that the package must not give."""


class Workspace:
    def __init__(self, rng: random.Random, folder: pathlib.Path) -> None:
        self.rng, self.folder = rng, folder
        self.count = 0

    def path(self, suffix: str) -> pathlib.Path:
        """A new path inside the folder; nothing is there yet."""
        self.count += 1
        return self.folder / f"t{threading.get_ident()}_{self.count}{suffix}"


def one_line(text: str) -> bool:
    return "\n" not in text.strip()


# --- packs -----------------------------------------------------------------

def valid_pack_text(rng: random.Random) -> str:
    patterns = []
    for i in range(rng.randrange(0, 4)):
        count = rng.choice([1, 2, 3, 64])
        points = [[rng.uniform(-1, 1), rng.choice([0.0, rng.uniform(-1, 1)]), 0.0] for _ in range(count)]
        patterns.append(kinetrope.SampledPattern(f"p{i}", rng.choice(["", "d", "é — x"]), points))
    if rng.random() < 0.3:
        name = rng.choice(DEFAULT_NAMES[:40])
        entry = next(e for e in kinetrope.catalogue() if e["name"] == name)
        rows = [list(kinetrope.sample(name, p).as_tuple()) for p in range(entry["period_pips"])]
        patterns.append(kinetrope.SampledPattern(name, entry["description"], rows))
    return dumps_pack(patterns)


def mutate_document(rng: random.Random, document: Any) -> Any:
    """One structural change to a parsed pack."""
    odd = rng.choice([
        None, True, 1, -1, 2**64, 1.5, float("nan"), "", "x", [], {}, [[0.1, 0.2]], [[0, 0, 0]] * 3,
        [[True, 0, 0]], [["0", 0, 0]], [[1e400, 0, 0]], {"name": "p"}, "a" * 200,
    ])
    patterns = document["patterns"] if isinstance(document, dict) else document
    if patterns and rng.random() < 0.8:
        record = rng.choice(patterns)
        key = rng.choice(["name", "description", "rows", "period_pips", "dimensions", "extra"])
        if rng.random() < 0.2:
            record.pop(key, None)
        else:
            record[key] = odd
    elif isinstance(document, dict):
        document[rng.choice(["pips_per_beat", "patterns", "format"])] = odd
    else:
        document.append(odd)
    return document


def mutate_text(rng: random.Random, text: str) -> bytes:
    """A textual or byte-level change to a pack."""
    data = text.encode("utf-8")
    kind = rng.randrange(12)
    if kind == 0 and data:
        i = rng.randrange(len(data))
        return data[:i] + bytes([rng.randrange(256)]) + data[i + 1:]
    if kind == 1:
        return data[: rng.randrange(len(data) + 1)]
    if kind == 2:
        depth = rng.choice([10, 1000, 100_000])
        return b"[" * depth + b"]" * depth
    if kind == 3:
        return b'[{"name": "p", "rows": [[' + b"1" * rng.choice([400, 4301, 20000]) + b', 0, 0]]}]'
    if kind == 4:
        return b"\xef\xbb\xbf" + data
    if kind == 5:
        return text.encode(rng.choice(["utf-16", "utf-16-le", "utf-32"]))
    if kind == 6:
        return b'[{"name": "p", "name": "q", "description": "", "rows": [[0, 0, 0]]}]'
    if kind == 7:
        return b'[{"name": "p", "rows": [[NaN, Infinity, -Infinity]]}]'
    if kind == 8:
        return b'[{"name": "p", "description": "\\ud800 \xff", "rows": [[0, 0, 0]]}]'
    if kind == 9:
        return b""
    if kind == 10 and rng.random() < 0.2:
        rows = b",".join([b"[0.5, 0, 0]"] * rng.choice([65535, 65536]))
        return b'[{"name": "p", "rows": [' + rows + b"]}]"
    return json.dumps(mutate_document(rng, json.loads(text)), allow_nan=True).encode()


def hostile_pack_path(ws: Workspace) -> pathlib.Path:
    """A pack file inside the workspace, or something there that is no regular file."""
    rng = ws.rng
    r = rng.random()
    if r < 0.04:
        return ws.folder  # a folder
    if r < 0.06:
        fifo = ws.path(".fifo")
        os.mkfifo(fifo)
        return fifo
    if r < 0.08:
        return ws.path(".missing")
    path = ws.path(".json")
    path.write_bytes(mutate_text(rng, valid_pack_text(rng)) if rng.random() < 0.9 else valid_pack_text(rng).encode())
    if rng.random() < 0.05:
        link = ws.path(".json")
        link.symlink_to(path)
        return link
    return path


def target_load_pack(ws: Workspace) -> None:
    path = hostile_pack_path(ws)
    try:
        patterns = kinetrope_tools.load_pack(path)
    except PackError as error:
        if not one_line(str(error)):
            raise Unacceptable(f"PackError over several lines: {str(error)[:200]!r}") from None
        return
    # Every pattern that loads is one the module built; the library may still
    # refuse them together, with a PackError.
    with contextlib.suppress(PackError):
        kinetrope_tools.patterns.packs.library_of(patterns)
    if patterns and rng_choice(ws, [True, False]):
        again = ws.path(".json")
        kinetrope_tools.save_pack(again, patterns)
        if [p.name for p in kinetrope_tools.load_pack(again)] != [p.name for p in patterns]:
            raise Unacceptable("a saved pack does not load back the same patterns")


def rng_choice(ws: Workspace, items: list) -> Any:
    return ws.rng.choice(items)


# --- arrays ----------------------------------------------------------------

def odd_pips(rng: random.Random) -> Any:
    base = np.array([rng.randrange(-1000, 1000) for _ in range(rng.randrange(0, 40))], dtype=np.int64)
    kind = rng.randrange(16)
    if kind == 0:
        return np.ma.masked_array(base, mask=[rng.random() < 0.5 for _ in base])
    if kind == 1:
        return np.broadcast_to(np.int64(rng.randrange(-5, 5)), (rng.choice([0, 1, 1000, 10**6]),))
    if kind == 2:
        return np.broadcast_to(np.int64(0), (rng.choice([10**9, 10**12]),))
    if kind == 3:
        return np.empty((0,), dtype=rng.choice([np.float64, "datetime64[s]", np.complex128, "U3", object]))
    if kind == 4:
        return np.arange(60, dtype=np.int32).reshape(6, 10)[::2, ::-3]  # not contiguous
    if kind == 5:
        return base.astype(rng.choice([np.int8, np.uint8, np.int16, np.uint32, np.uint64, np.bool_, np.float16]))
    if kind == 6:
        return np.array([2**31, -(2**31) - 1, 2**63 - 1][: rng.randrange(1, 4)], dtype=np.int64)
    if kind == 7:
        return np.array([np.uint64(2**64 - 1)], dtype=np.uint64)
    if kind == 8:
        return np.array([1, 2**80, Fraction(1, 2), "1", None][: rng.randrange(1, 6)], dtype=object)
    if kind == 9:
        return base.astype(np.float64)
    if kind == 10:
        return [rng.randrange(-5, 5) for _ in range(5)] + [rng.choice([True, 2**40, 1.0, "x"])]
    if kind == 11:
        return array.array("i", base.astype(np.int32).tolist())
    if kind == 12:
        return memoryview(base.astype(np.int64)) if rng.random() < 0.5 else range(-3, 300, 7)
    if kind == 13:
        return np.int32(rng.randrange(-100, 100)) if rng.random() < 0.5 else rng.choice([np.float64(1.0), 7, -1])
    if kind == 14:
        view = np.zeros((4, 4), dtype=np.int64)
        view.flags.writeable = False
        return view.T
    return base


def target_sample_many(ws: Workspace) -> None:
    rng = ws.rng
    name = rng.choice(DEFAULT_NAMES + ["", "nope", "Bounce"])
    pips = odd_pips(rng)
    library = None
    if rng.random() < 0.2:
        library = kinetrope.PatternLibrary([kinetrope.SampledPattern("own", "", [[0.5, 0.0, 0.0]] * rng.randrange(1, 70))])
        name = rng.choice(["own", name])
    array_in = np.asarray(pips) if not isinstance(pips, np.ma.MaskedArray) else pips
    try:
        result = kinetrope_tools.sample_many(name, pips, library)
    except (TypeError, ValueError, MemoryError) as error:
        if not one_line(str(error)):
            raise Unacceptable(f"refusal over several lines: {str(error)[:200]!r}") from None
        return
    # What was accepted must be integers, not masked, and sampled exactly.
    if isinstance(pips, np.ma.MaskedArray):
        raise Unacceptable("a masked array was sampled with its mask ignored")
    if array_in.dtype.kind not in "iubO":
        raise Unacceptable(f"an array of {array_in.dtype} was accepted")
    if result.shape != array_in.shape + (3,):
        raise Unacceptable(f"result shape {result.shape} for pips of shape {array_in.shape}")
    flat = array_in.reshape(-1)
    for i in range(min(3, flat.size)):
        at = rng.randrange(flat.size)
        pip = int(flat[at])
        expected = (library.sample(name, pip) if library else kinetrope.sample(name, pip)).as_tuple()
        if tuple(result.reshape(-1, 3)[at]) != expected:
            raise Unacceptable(f"sample_many differs from sample at pip {pip}")


def target_rows(ws: Workspace) -> None:
    rng = ws.rng
    name = rng.choice(DEFAULT_NAMES)
    table = kinetrope_tools.rows(name)
    # The cached rows can be changed by no one.
    attempts = [lambda: table.__setitem__(0, 9.0), lambda: setattr(table.flags, "writeable", True)]
    if isinstance(table.base, np.ndarray):
        attempts.append(lambda: setattr(table.base.flags, "writeable", True))
    for attempt in attempts:
        try:
            attempt()
        except ValueError:
            continue
        raise Unacceptable(f"the rows of {name} could be made writable or written")
    pip = rng.randrange(table.shape[0])
    if tuple(table[pip]) != kinetrope.sample(name, pip).as_tuple():
        raise Unacceptable(f"rows({name!r})[{pip}] differs from sample")


# --- clock -----------------------------------------------------------------

HOSTILE_SECONDS = [0.0, -0.0, 1.0, -1.0, 1e9, 1e15, 1e17, 1e300, -1e300, float("nan"), float("inf"), 5e-324]
HOSTILE_BPM = [124.0, 1e-300, 5e-324, 1e300, 0.0, -1.0, float("nan"), float("inf"), 1e9, 1e15, 1e17]


def target_clock(ws: Workspace) -> None:
    rng = ws.rng
    seconds = rng.choice(HOSTILE_SECONDS + [rng.uniform(-1e6, 1e6)])
    bpm = rng.choice(HOSTILE_BPM + [rng.uniform(1, 300)])
    zero = rng.choice(HOSTILE_SECONDS + [0.0] * 6)
    try:
        pip = kinetrope_tools.pips_at(seconds, bpm, beat_zero_seconds=zero)
    except ValueError:
        return
    if not (isinstance(pip, int) and PIP_MIN <= pip <= PIP_MAX):
        raise Unacceptable(f"pips_at({seconds}, {bpm}, {zero}) gave {pip!r}")
    try:
        start = kinetrope_tools.seconds_at(pip, bpm, beat_zero_seconds=zero)
    except ValueError:
        return
    if math.isfinite(start) and start > seconds:
        raise Unacceptable(f"pips_at({seconds}, {bpm}, {zero}) = {pip}, which begins after that time")


# --- the kinetrope command ---------------------------------------------------

def hostile_number(rng: random.Random) -> str:
    return rng.choice([
        "1", "0", "-1", "124", "1e-300", "5e-324", "1e300", "nan", "inf", "-inf", "100000", "0.001", "3",
        "x", "", "1_0", "0x10", "7" * 400, "-0",
    ])


def hostile_name(rng: random.Random) -> str:
    # Globs that match a few patterns only: drawing them all would take minutes.
    return rng.choice(DEFAULT_NAMES[:50] + ["bounc?", "sw*y", "[", "", "-x", "nope", "é", "a" * 300, "\x00"])


def command_line(ws: Workspace) -> list[str]:
    rng = ws.rng
    pack = ["--pack", str(hostile_pack_path(ws))] if rng.random() < 0.3 else []
    command = rng.choice(["export", "pack", "animate", "preview", "help", "junk"])
    if command == "export":
        out = ws.path("") if rng.random() < 0.9 else ws.path(".file")
        if out.suffix == ".file":
            out.write_text("a file where a folder is expected")
        names = [hostile_name(rng) for _ in range(rng.randrange(1, 3))]
        fmt = rng.choice(["csv", "json", "npy", "xml"])
        return ["export", *names, "--format", fmt, "-o", str(out), *pack]
    if command == "pack":
        return ["pack", "check", str(hostile_pack_path(ws))]
    if command == "animate":
        args = ["animate", rng.choice(["bounce", "lfo_breathe", "sway", "nope"]), "-o", str(ws.path(".gif"))]
        if rng.random() < 0.5:
            args += ["--bpm", hostile_number(rng)]
        if rng.random() < 0.5:
            args += ["--fps", rng.choice(["50", "25", "1", "0", "-50", "3", "100000", "x"])]
        # Short unless hostile: a long animation at a sound tempo is honest work.
        beats = ["1", "0.5", "2", "0", "-1", "nan", "inf", "1e300", "100000", "x", "1e-300", "5e-324"]
        return args + ["--beats", rng.choice(beats)] + pack
    if command == "preview":
        return ["preview", hostile_name(rng), "-o", str(ws.path(".png")),
                "--per-sheet", rng.choice(["1", "0", "-3", "x"]), *pack]
    if command == "help":
        return [rng.choice(["--help", "-h", "export", "pack", ""])]
    return [rng.choice(string.printable) * rng.randrange(1, 4), "--" + rng.choice(["", "x", "pack"])]


def target_command(ws: Workspace) -> None:
    argv = command_line(ws)
    out, err = io.StringIO(), io.StringIO()
    with DRAWING, STDERR, contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        try:
            status = cli.main(argv)
        except SystemExit as leave:  # argparse: usage errors and --help
            status = leave.code if isinstance(leave.code, int) else 2
    text = err.getvalue()
    if status not in (0, 1, 2):
        raise Unacceptable(f"kinetrope {argv!r}: exit status {status!r}")
    if status == 0 and text:
        raise Unacceptable(f"kinetrope {argv!r}: succeeded but wrote {text[:200]!r}")
    if status != 0 and (not one_line(text) or "unexpected" in text or "Traceback" in text):
        raise Unacceptable(f"kinetrope {argv!r}: exit {status} with {text[:300]!r}")


# --- beat maps -----------------------------------------------------------------

def mutate_bytes(rng: random.Random, data: bytes) -> bytes:
    """A byte-level change to any text or datagram: a byte changed, a cut, an insertion or a repeat."""
    i = rng.randrange(len(data) + 1)
    kind = rng.randrange(4)
    if kind == 0 and i < len(data):
        return data[:i] + bytes([rng.randrange(256)]) + data[i + 1:]
    if kind == 1:
        return data[:i]
    if kind == 2:
        return data[:i] + bytes(rng.randrange(256) for _ in range(rng.randint(1, 16))) + data[i:]
    j = rng.randint(i, min(len(data), i + 64))
    return data[:j] + data[i:j] * rng.choice([2, 50]) + data[j:]


def hostile_beats(rng: random.Random) -> Any:
    """A list of beat times: a plausible one, or one broken in a single way."""
    start, gap = rng.uniform(-5, 5), rng.choice([0.5, 0.48, 1e-9, 1e-300, 60.0, rng.uniform(0.2, 1.5)])
    beats: list[Any] = [start + gap * k * rng.uniform(0.97, 1.03) for k in range(rng.randint(0, 40))]
    if beats and rng.random() < 0.5:
        k = rng.randrange(len(beats))
        beats[k] = rng.choice([math.nan, math.inf, -math.inf, beats[0] - 1, 1e308, -1e308, "1.0", None,
                               True, [1.0], Fraction(1, 3), np.float32(2.5), 2**70])
    return rng.choice([beats, tuple(beats), np.array(beats, dtype=object), iter(beats)]) if beats else beats


def target_beat_map(ws: Workspace) -> None:
    rng = ws.rng
    try:
        if rng.random() < 0.5:
            track = kinetrope_tools.BeatMap(hostile_beats(rng), offset=rng.choice([0, 64, -7, 2**40]),
                                            downbeat=rng.choice([0, 1, 3, -1, 10**6]))
        else:
            document = {"beats": hostile_beats(rng), "offset": rng.choice([0, 1.5, "0", 2**33]),
                        "downbeat": rng.choice([0, 2, None])}
            try:
                text = json.dumps(document, default=float)
            except (TypeError, ValueError):
                return
            path = ws.path(".json")
            path.write_bytes(mutate_bytes(rng, text.encode()) if rng.random() < 0.5 else text.encode())
            track = kinetrope_tools.BeatMap.load(path)
    except ValueError as error:  # BeatMapError among them
        if not one_line(str(error)):
            raise Unacceptable(f"beat map refused over several lines: {str(error)[:200]!r}") from None
        return
    for _ in range(4):
        pip = rng.randint(PIP_MIN, PIP_MAX) if rng.random() < 0.3 else rng.randint(-5000, 5000)
        try:
            start = track.seconds_at(pip)
            back = track.pip_at(start)
        except ValueError:
            continue
        if back != pip:
            raise Unacceptable(f"{track!r}: pip_at(seconds_at({pip})) = {back}")
        with contextlib.suppress(ValueError):
            if track.pip_at(start + 1e-3) < pip:
                raise Unacceptable(f"{track!r}: pips run backwards after pip {pip}")


# --- show files and control messages -------------------------------------------

SHOW_TEXT = """fps = 44
[output.osc]
destination = "127.0.0.1:9000"

[[fixture]]
name = "a"
pattern = "circle"
universe = 1
address = 1

[[fixture]]
name = "b"
pattern = "beat_house_classic_figure8"
universe = 1
address = 5
profile = "pan8_tilt8"
invert_pan = true
size = 0.5
speed = 2

[[group]]
name = "pair"
fixtures = ["a", "b"]
spread = 0.5
"""


def target_show(ws: Workspace) -> None:
    from kinetrope_tools.stage.show import ShowError, parse_show

    data = SHOW_TEXT.encode()
    for _ in range(ws.rng.choice([0, 1, 1, 2, 5])):
        data = mutate_bytes(ws.rng, data)
    try:
        parse_show(data.decode("utf-8", "replace"), "show.toml")
    except ShowError as error:
        if not all(line.startswith("show.toml") for line in str(error).splitlines()):
            raise Unacceptable(f"a show refused without naming its file: {str(error)[:300]!r}") from None


def hostile_osc_argument(rng: random.Random) -> Any:
    return rng.choice(["circle", "all", "", "a", "x" * 5000, "\x00", 1, -1, 0, 2**31 - 1, 1.5, math.nan,
                       math.inf, True, None, b"\xff" * 8, (1, 2)])


def control_message(ws: Workspace, reports: Any) -> None:
    from pythonosc.osc_message_builder import OscMessageBuilder
    from kinetrope_tools.stage.control import Interpreter, command_of

    rng = ws.rng
    address = rng.choice(["/kinetrope/pattern", "/kinetrope/tap", "/kinetrope/tempo", "/kinetrope/blackout",
                          "/kinetrope/home", "/kinetrope", "/", "/kinetrope/pattern/extra", "/other"])
    args = tuple(hostile_osc_argument(rng) for _ in range(rng.randint(0, 4)))
    if rng.random() < 0.5:
        # Straight to the interpreter of messages, with any Python values.
        command_of(address, args, reports)
        return
    # Through python-osc's own parser, as a datagram from the network arrives.
    builder = OscMessageBuilder(address=address)
    for value in args:
        with contextlib.suppress(Exception):
            builder.add_arg(value)
    try:
        datagram = builder.build().dgram
    except Exception:
        datagram = address.encode()
    if rng.random() < 0.6:
        datagram = mutate_bytes(rng, datagram)
    # As the control server takes a datagram off its socket.
    with STDERR:
        Interpreter(lambda command: None, reports).datagram(datagram, "fuzz")


def target_control(ws: Workspace) -> None:
    from kinetrope_tools.stage.reports import Reports

    complaints: list[str] = []
    control_message(ws, Reports(complaints.append))
    if any(not line.startswith("control: ") or not line.isprintable() for line in complaints):
        raise Unacceptable(f"a control message answered with {complaints[:3]!r}")


def hostile_timetag(rng: random.Random) -> int:
    return rng.choice([0, 1, 0xFFFFFFF0 << 32, 2**64 - 1, rng.randrange(2**64), (2208988800 + 10**9) << 32])


def timed_bundle(rng: random.Random, depth: int = 0) -> bytes:
    """A bundle of control messages (and, now and then, bundles) with hostile timetags."""
    from pythonosc.osc_message_builder import OscMessageBuilder

    elements = []
    for _ in range(rng.randint(0, 4)):
        if depth < 3 and rng.random() < 0.3:
            element = timed_bundle(rng, depth + 1)
        else:
            builder = OscMessageBuilder(rng.choice(["/kinetrope/home", "/kinetrope/tap", "/kinetrope/tempo",
                                                    "/kinetrope/blackout", "/kinetrope/*", "/x"]))
            for value in [rng.choice([0, 1, 90.0, "x"]) for _ in range(rng.randint(0, 2))]:
                builder.add_arg(value)
            element = builder.build().dgram
        elements.append(len(element).to_bytes(4, "big") + element)
    return b"#bundle\0" + hostile_timetag(rng).to_bytes(8, "big") + b"".join(elements)


def target_timed_bundles(ws: Workspace) -> None:
    """A bundle is handled at once, whatever its timetag: nothing waits for the time it names."""
    import time as clock

    from kinetrope_tools.stage.control import Interpreter
    from kinetrope_tools.stage.reports import Reports

    datagram = timed_bundle(ws.rng)
    if ws.rng.random() < 0.3:
        datagram = mutate_bytes(ws.rng, datagram)
    made: list[Any] = []
    with STDERR:
        started = clock.monotonic()
        Interpreter(made.append, Reports([].append)).datagram(datagram, "127.0.0.1")
        elapsed = clock.monotonic() - started
    if elapsed > 1.0:
        raise Unacceptable(f"a bundle took {elapsed:.1f} s to handle: {datagram[:64].hex()}")


class _NullOutput:
    def send(self, frame: Any) -> None:
        pass

    def close(self) -> None:
        pass


def target_tap_storm(ws: Workspace) -> None:
    """Taps in bursts, flams and repeats, applied by the frame loop as they would come from the control port:
    no tap may raise out of the loop, and the pip stays a pip."""
    from kinetrope_tools.clocks import TapTempo
    from kinetrope_tools.stage import control
    from kinetrope_tools.stage.loop import Live
    from kinetrope_tools.stage.reports import Reports
    from kinetrope_tools.stage.show import parse_show

    rng = ws.rng
    show = parse_show('[output.osc]\ndestination = "127.0.0.1:9"\n[[fixture]]\nname = "a"\npattern = "circle"\n',
                      "show.toml")
    clock = TapTempo(rng.choice([20.0, 120.0, 400.0]), beat_zero_seconds=0.0)
    live = Live(show, clock, [_NullOutput()], reports=Reports([].append))
    at = 0.0
    for _ in range(rng.randint(1, 60)):
        at += rng.choice([0.0, 0.0, 1e-9, 0.001, 0.033, 0.15, 0.5, rng.uniform(0, 3), 5e-324])
        live.apply(control.Tap(at), at)
        frame = live.frame_at(at)
        if not (isinstance(live.pip, int) and PIP_MIN <= live.pip <= PIP_MAX and frame.offsets.shape == (1, 3)):
            raise Unacceptable(f"after taps to {at} s the loop's pip is {live.pip!r}")


def target_unread_stderr(ws: Workspace) -> None:
    """The command's terminal writer, its stderr a pipe nobody reads: handing it lines never blocks."""
    import time as clock

    from kinetrope_tools.cli.live import Terminal

    reader, writer = os.pipe()
    terminal = Terminal(fd=writer, limit=ws.rng.choice([1, 16, 256]))
    try:
        started = clock.monotonic()
        for i in range(ws.rng.choice([10, 1_000, 20_000])):
            terminal.line(f"kinetrope live: control: line {i} " + "x" * ws.rng.choice([0, 80, 5000]))
            if i % 7 == 0:
                terminal.status(f"status {i}")
        handed = clock.monotonic() - started
        terminal.close(wait_seconds=0.05)
        if handed > 5.0:
            raise Unacceptable(f"handing lines to a terminal nobody reads took {handed:.1f} s")
    finally:
        os.close(reader)  # the writer thread, if still in a write, gets EPIPE and ends
        terminal.close(wait_seconds=5.0)
        os.close(writer)


# label: (weight, target). The weight is how often the target is drawn,
# against the module's operations, which weigh 1 each.
TARGETS: dict[str, tuple[float, Callable[[Workspace], None]]] = {
    "tools load_pack": (0.5, target_load_pack),
    "tools sample_many": (1.0, target_sample_many),
    "tools rows": (0.3, target_rows),
    "tools clock": (1.0, target_clock),
    "tools command": (0.05, target_command),
    "tools beat map": (0.5, target_beat_map),
    "tools show": (0.3, target_show),
    "tools control": (0.2, target_control),
    "tools timed bundles": (0.2, target_timed_bundles),
    "tools tap storm": (0.1, target_tap_storm),
    "tools unread stderr": (0.02, target_unread_stderr),
}
