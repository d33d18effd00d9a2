"""Throws hostile input at every constructor, sampler and property of
kinetrope, and at the companion package kinetrope_tools, for a time budget,
from several threads sharing the same objects.

Arguments are drawn from a seeded generator: random and huge integers, NaN,
infinities, -0.0 and subnormals, names as str, bytes and bytearray (NUL,
invalid UTF-8, surrogates), ragged and oversized rows, and objects whose
__index__, __int__, __float__, __len__ or __iter__ raise, lie or mutate the
other arguments of the call, or run the garbage collector with weakref
callbacks and finalizers that disturb the call; subclasses of int, float,
str, bytes and tuple, numpy scalars and arrays, Fraction and Decimal,
memoryview, array and range; keyword arguments; objects that claim one of
the module's classes through __class__, mocks among them. The module's
outcomes must be a result or TypeError, ValueError, IndexError,
OverflowError or MemoryError (subclasses included); the companion package's
targets (companion_targets.py) judge their own. Anything else is a failure,
a call that runs longer than --hang-seconds ends the pass as a hang, and a
crash ends the process.

Run it through hostile_inputs.py:

    python fuzz/hostile_inputs.py --seed 1 --seconds 60 [--threads 4] [--exclude LABEL ...]
"""

from __future__ import annotations

import argparse
import array
import collections
import ctypes
import faulthandler
import gc
import os
import random
import shutil
import sys
import tempfile
import threading
import time
import weakref
from pathlib import Path
from decimal import Decimal
from fractions import Fraction
from unittest import mock

import numpy as np

import kinetrope
from kinetrope import PatternLibrary, SampledPattern, SampledRecording

import companion_targets

ACCEPTED = (TypeError, ValueError, IndexError, OverflowError, MemoryError)
PATTERN_FUNCTIONS = [
    getattr(kinetrope, name)
    for name in (
        "bounce", "sway", "circle", "figure_eight", "step_touch", "box_step", "helix", "ochre_background",
        "single_stroke_roll", "double_stroke_roll", "multiple_bounce_roll", "single_paradiddle", "flam",
        "drag", "five_stroke_roll",
    )
]
DEFAULT_NAMES = [entry["name"] for entry in kinetrope.catalogue()]
EDGE_INTS = [0, 1, -1, 63, 64, 2**31 - 1, -(2**31), 2**31, -(2**31) - 1, 2**32, 2**63, -(2**63) - 1, 10**30]
EDGE_FLOATS = [
    0.0, -0.0, 1.0, -1.0, 0.5, 1.0000000000000002, -1.0000000000000002, float("nan"), float("inf"),
    float("-inf"), 5e-324, -5e-324, 2.2250738585072014e-308, 1e308, 120.0, 0.001,
]


class Shared:
    """Mutable objects that hostile conversions disturb, shared by all threads."""

    def __init__(self) -> None:
        self.name = bytearray(b"lfo_breathe")
        self.rows: list = [[0.5, 0.25], [0.1, 0.2]]
        self.patterns: list = []


class Boom(ValueError):
    """Raised by hostile conversions; a ValueError, so it is an accepted outcome."""


class Hostile:
    """A number-like or sequence-like object whose conversions misbehave."""

    def __init__(self, rng: random.Random, shared: Shared, value) -> None:
        self.rng, self.shared, self.value = rng, shared, value
        self.mode = rng.choice(["plain", "raise", "mutate", "wrong-type", "huge"])

    def _act(self, plain):
        if self.mode == "raise":
            raise Boom("hostile conversion")
        if self.mode == "mutate":
            disturb(self.rng, self.shared)
        if self.mode == "wrong-type":
            return "not a number"
        if self.mode == "huge":
            return 2**100
        return plain

    def __index__(self):
        return self._act(int(self.value) if isinstance(self.value, int) else 0)

    def __int__(self):
        return self._act(int(self.value) if isinstance(self.value, int) else 0)

    def __float__(self):
        result = self._act(float(self.value) if isinstance(self.value, (int, float)) else 0.0)
        return float(result) if isinstance(result, int) and abs(result) < 2**60 else result


class LyingList(list):
    """A list whose __len__ lies, raises or disturbs the call."""

    def __init__(self, items, rng: random.Random, shared: Shared) -> None:
        super().__init__(items)
        self.rng, self.shared = rng, shared
        self.claim = rng.choice([0, 1, 2, len(items) + 1, 10**12, sys.maxsize, -1, "raise", "mutate"])

    def __len__(self):
        if self.claim == "raise":
            raise Boom("hostile length")
        if self.claim == "mutate":
            disturb(self.rng, self.shared)
            return super().__len__()
        return self.claim


class MutatingIterable:
    """An iterable (not a sequence) that disturbs the call while it yields."""

    def __init__(self, items, rng: random.Random, shared: Shared) -> None:
        self.items, self.rng, self.shared = items, rng, shared

    def __iter__(self):
        for index, item in enumerate(self.items):
            if self.rng.random() < 0.3:
                disturb(self.rng, self.shared)
            if self.rng.random() < 0.05:
                raise Boom(f"hostile iteration at {index}")
            yield item


def disturb(rng: random.Random, shared: Shared) -> None:
    choice = rng.randrange(4)
    if choice == 0:
        shared.name[:] = rng.choice([b"", b"x" * rng.randrange(1, 1 << 16), b"bounce", b"\xff\xfe"])
    elif choice == 1:
        shared.rows[:] = [] if rng.random() < 0.5 else [[rng.random()] * rng.randrange(1, 4)]
    elif choice == 2:
        shared.patterns.clear()
    else:
        shared.name.extend(b"_tail")


class IntSub(int):
    pass


class FloatSub(float):
    pass


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


class TupleSub(tuple):
    pass


def claims(cls):
    """A plain object whose __class__ says cls."""

    class Claimant:
        __class__ = property(lambda self: cls)

    return Claimant()


def claimant(rng: random.Random, cls):
    """Something that claims to be an instance of cls without being one."""
    return rng.choice([
        lambda: claims(cls),
        lambda: mock.Mock(spec=cls),
        lambda: mock.NonCallableMagicMock(spec=cls),
        lambda: mock.MagicMock(),
    ])()


class Collecting:
    """A number whose conversion runs the garbage collector over a cycle
    whose weakref callback and finalizer disturb the call."""

    def __init__(self, rng: random.Random, shared: Shared, value) -> None:
        self.rng, self.shared, self.value = rng, shared, value

    def _collect(self):
        rng, shared = self.rng, self.shared

        class Cycle:
            def __del__(self):
                disturb(rng, shared)

        cycle = Cycle()
        cycle.me = cycle
        cycle.ref = weakref.ref(cycle, lambda _: disturb(rng, shared))
        keep_alive = weakref.finalize(cycle, shared.patterns.clear)
        del cycle
        gc.collect(self.rng.choice([0, 2]))
        del keep_alive

    def __index__(self):
        self._collect()
        return int(self.value) if isinstance(self.value, int) else 0

    def __float__(self):
        self._collect()
        return float(self.value)


def odd_number(rng: random.Random, shared: Shared, value):
    """value as one of the many kinds of number Python code passes."""
    is_int = isinstance(value, int)
    kinds = [
        lambda: IntSub(value) if is_int else FloatSub(value),
        lambda: FloatSub(value),
        lambda: np.int32(value) if is_int and -(2**31) <= value < 2**31 else np.float64(value),
        lambda: np.int64(value) if is_int and -(2**63) <= value < 2**63 else np.float32(value),
        lambda: np.uint64(value) if is_int and 0 <= value < 2**64 else np.float16(value),
        lambda: np.bool_(value),
        lambda: np.array(value),
        lambda: np.array([value]),
        lambda: Fraction(value) if is_int or value == value and abs(value) != float("inf") else Fraction(1, 3),
        lambda: Decimal(value) if is_int else Decimal(repr(value)),
        lambda: claimant(rng, int if is_int else float),
        lambda: Collecting(rng, shared, value),
    ]
    with np.errstate(all="ignore"):  # a float32 of 1e308 is inf, as intended
        return rng.choice(kinds)()


def odd_text(rng: random.Random, text: str):
    return rng.choice([
        lambda: StrSub(text),
        lambda: BytesSub(text.encode()),
        lambda: np.str_(text),
        lambda: np.bytes_(text.encode()),
        lambda: memoryview(text.encode()),
        lambda: array.array("b", text.encode()),
        lambda: claimant(rng, str),
    ])()


def odd_sequence(rng: random.Random, items):
    kinds = [lambda: TupleSub(items), lambda: claimant(rng, list), lambda: range(len(items))]
    if all(isinstance(i, float) for i in items):
        kinds += [lambda: array.array("d", items), lambda: memoryview(array.array("d", items)),
                  lambda: np.array(items)]
    if items and all(isinstance(i, (list, tuple)) and len(i) == len(items[0]) for i in items):
        if all(isinstance(v, float) for i in items for v in i):
            kinds.append(lambda: np.array(items, dtype=np.float64).reshape(len(items), -1))
    return rng.choice(kinds)()


class Generator:
    """Draws arguments; about half of the calls get only well-formed values
    (so that construction succeeds and the later checks are reached), the
    rest a mix of well-formed and hostile ones."""

    def __init__(self, rng: random.Random, shared: Shared) -> None:
        self.rng, self.shared = rng, shared
        self.hostile = True

    def pip(self):
        if not self.hostile:
            return self.rng.randrange(-(2**31), 2**31)
        r = self.rng.random()
        if r < 0.4:
            return self.rng.randrange(-(2**31), 2**31)
        if r < 0.7:
            return self.rng.choice(EDGE_INTS)
        if r < 0.8:
            return Hostile(self.rng, self.shared, self.rng.choice(EDGE_INTS))
        if r < 0.9:
            return odd_number(self.rng, self.shared, self.rng.choice(EDGE_INTS))
        return self.rng.choice([True, 1.0, "1", None, b"1", 2**31 - 1])

    def number(self):
        if not self.hostile:
            return self.rng.choice([self.rng.uniform(-1.0, 1.0), 0.0, -0.0, 1.0, -1.0, 5e-324])
        r = self.rng.random()
        if r < 0.4:
            return self.rng.uniform(-1.2, 1.2)
        if r < 0.75:
            return self.rng.choice(EDGE_FLOATS)
        if r < 0.85:
            return Hostile(self.rng, self.shared, self.rng.choice(EDGE_FLOATS + EDGE_INTS))
        if r < 0.95:
            return odd_number(self.rng, self.shared, self.rng.choice(EDGE_FLOATS + [0, 1, -1]))
        return self.rng.choice([1, -(2**70), "0.5", None, True])

    def name(self):
        r = self.rng.random()
        if r < 0.3:
            return self.rng.choice(DEFAULT_NAMES)
        if r < 0.45:
            return self.shared.name
        if r < 0.6:
            return bytearray(self.rng.choice(DEFAULT_NAMES).encode())
        if r < 0.7:
            return odd_text(self.rng, self.rng.choice(DEFAULT_NAMES[:40] + ["p", "Bounce", ""]))
        return self.rng.choice([
            "", "a", "a" * 128, "a" * 129, "Bounce", "lfo_breathe\0", "\ud800", "é", "beat_", b"bounce",
            b"\xff", b"lfo_\0breathe", bytearray(b"\xc3"), None, 7, "x" * 100000,
        ])

    def sequence(self, items):
        if not self.hostile:
            return list(items) if self.rng.random() < 0.8 else tuple(items)
        r = self.rng.random()
        if r < 0.4:
            return list(items)
        if r < 0.55:
            return tuple(items)
        if r < 0.75:
            return LyingList(items, self.rng, self.shared)
        if r < 0.85:
            return MutatingIterable(items, self.rng, self.shared)
        if r < 0.9:
            return (item for item in items)
        if r < 0.95:
            return odd_sequence(self.rng, items)
        return self.rng.choice([None, "abc", b"abc", 3, {1: 2}.keys(), memoryview(b"abc"), range(3)])

    def description(self):
        return self.rng.choice([
            "d", "é", "\0", b"\xff\xfe", b"caf\xc3\xa9", bytearray(b"\x80"), "x" * 10_000,
            odd_text(self.rng, "desc"), None, 3,
        ])

    def points(self):
        count = self.rng.choice([0, 1, 2, 3, 17, 64, 65535, 65536]) if self.rng.random() < 0.1 else self.rng.randrange(1, 40)
        if count > 1000:
            point = [0.5, 0.0, 0.0]
            return [point] * count
        arity = lambda: 3 if self.rng.random() < 0.9 else self.rng.choice([0, 2, 4])
        return self.sequence([self.sequence([self.number() for _ in range(arity())]) for _ in range(count)])

    def axes(self):
        count = self.rng.randrange(0, 5)
        names = [self.rng.choice(["a", "b", "x_1", "a", "", "B", "é", b"a", None]) for _ in range(count)]
        return self.sequence(names)

    def rows(self, width):
        if self.hostile and self.rng.random() < 0.1:
            return self.shared.rows
        count = self.rng.randrange(0, 20)
        ragged = self.hostile and self.rng.random() < 0.1
        return self.sequence(
            [self.sequence([self.number() for _ in range(width + 1 if ragged else width)])
             for _ in range(count)]
        )


class Fuzzer:
    def __init__(self, seed: int, shared: Shared, objects: dict, folder, exclude=()) -> None:
        self.rng = random.Random(seed)
        self.gen = Generator(self.rng, shared)
        self.shared, self.objects = shared, objects
        self.workspace = companion_targets.Workspace(self.rng, folder)
        self.exclude = set(exclude)
        self.outcomes: collections.Counter = collections.Counter()
        self.seconds: collections.Counter = collections.Counter()  # time spent per label
        self.failures: list[str] = []
        # The call under way (label, start) for the hang watchdog.
        self.current: tuple[str, float] | None = None

    def operations(self):
        g = self.gen
        return [
            ("sample", lambda: kinetrope.sample(g.name(), g.pip())),
            ("pattern function", lambda: self.rng.choice(PATTERN_FUNCTIONS)(g.pip())),
            ("catalogue", kinetrope.catalogue),
            ("SampledPattern", self.build_pattern),
            ("SampledPattern.sample", lambda: self.pick("patterns").sample(g.pip())),
            ("SampledPattern properties", lambda: self.read(self.pick("patterns"), "name", "description", "period_pips")),
            ("PatternLibrary", self.build_library),
            ("PatternLibrary.sample", lambda: self.pick("libraries").sample(g.name(), g.pip())),
            ("PatternLibrary.catalogue", lambda: self.pick("libraries").catalogue()),
            ("SampledRecording", self.build_recording),
            ("SampledRecording.sample", self.sample_recording),
            ("SampledRecording properties", lambda: self.read(
                self.pick("recordings"), "name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip")),
            ("uninitialised", self.use_uninitialised),
            ("second __init__", self.init_again),
            ("Offset3", kinetrope.Offset3),
            ("Offset3.as_tuple", self.offset_as_tuple),
            ("default copy dropped", self.copy_default),
            ("library limits", self.library_limits),
            ("recording invalid sample", self.recording_invalid_sample),
            ("claimed class", self.claimed_class),
            ("keyword arguments", self.keyword_arguments),
            ("subclass instances", self.subclass_instances),
        ]

    def weighted_operations(self):
        """(labels, callables, cumulative weights): each module operation
        weighs 1, the companion targets what their table gives."""
        table = [(label, OPERATION_WEIGHTS.get(label, 1.0), operation) for label, operation in self.operations()]
        for label, (weight, target) in companion_targets.TARGETS.items():
            table.append((label, weight, lambda target=target: target(self.workspace)))
        table = [row for row in table if row[0] not in self.exclude]
        cumulative, total = [], 0.0
        for _, weight, _ in table:
            total += weight
            cumulative.append(total)
        return [row[0] for row in table], [row[2] for row in table], cumulative

    def pick(self, kind):
        return self.rng.choice(self.objects[kind])

    @staticmethod
    def read(obj, *names):
        return [getattr(obj, name) for name in names]

    def keep(self, kind, obj):
        pool = self.objects[kind]
        if len(pool) < 64:
            pool.append(obj)
        else:
            pool[self.rng.randrange(len(pool))] = obj
        return obj

    def build_pattern(self):
        name = self.rng.choice(["p", "q", "bounce", "lfo_breathe", self.gen.name()])
        description = self.gen.description() if self.gen.hostile else self.rng.choice(["d", "é", "\0"])
        pattern = kinetrope.SampledPattern(name, description, self.gen.points())
        self.shared.patterns.append(pattern)
        return self.keep("patterns", pattern)

    def build_library(self):
        chosen = [self.pick("patterns") for _ in range(self.rng.randrange(0, 6))]
        if self.rng.random() < 0.2:
            chosen = self.shared.patterns
        if self.rng.random() < 0.05:
            chosen.append(kinetrope.SampledPattern.__new__(kinetrope.SampledPattern))
        if self.rng.random() < 0.05:
            chosen.insert(self.rng.randrange(len(chosen) + 1), claimant(self.rng, SampledPattern))
        return self.keep("libraries", kinetrope.PatternLibrary(self.gen.sequence(chosen)))

    def build_recording(self):
        width = self.rng.randrange(0, 4)
        if self.gen.hostile:
            name, axes = self.rng.choice(["r", "", "R", self.gen.name()]), self.gen.axes()
            bpm, beat_zero = self.gen.number(), self.gen.number()
        else:
            name, axes = "r", ["a", "b", "c"][:width]
            bpm, beat_zero = self.rng.uniform(1.0, 300.0), self.rng.uniform(-10.0, 10.0)
        recording = kinetrope.SampledRecording(name, axes, self.gen.rows(width), bpm, beat_zero, self.gen.pip())
        return self.keep("recordings", recording)

    def sample_recording(self):
        recording = self.pick("recordings")
        if self.gen.hostile:
            return recording.sample(self.gen.pip())
        near = recording.start_pip + self.rng.randrange(-2, recording.sample_count + 2)
        return recording.sample(max(-(2**31), min(2**31 - 1, near)))

    def use_uninitialised(self):
        cls = self.rng.choice([kinetrope.SampledPattern, kinetrope.PatternLibrary, kinetrope.SampledRecording])
        bare = cls.__new__(cls)
        member = self.rng.choice([m for m in dir(cls) if not m.startswith("_")])
        attribute = getattr(bare, member)
        return attribute(self.gen.pip()) if callable(attribute) else attribute

    def init_again(self):
        kind = self.rng.choice(["patterns", "recordings"])
        obj = self.pick(kind)
        before = self.read(obj, "name")
        if kind == "patterns":
            obj.__init__("z", "again", [[0.25, 0.0, 0.0]])
        else:
            obj.__init__("z", ["a"], [[0.25]], 100.0)
        if self.read(obj, "name") != before:
            raise AssertionError("a second __init__ changed a built object")

    def offset_as_tuple(self):
        source = self.rng.choice([
            lambda: kinetrope.sample(self.rng.choice(DEFAULT_NAMES), self.gen.pip()),
            lambda: self.pick("patterns").sample(self.gen.pip()),
            lambda: self.pick("libraries").sample(self.gen.name(), self.gen.pip()),
        ])
        offset = source()
        if offset.as_tuple() != (offset.x, offset.y, offset.z):
            raise AssertionError("as_tuple differs from x, y, z")
        # The method itself checks the type of what it is called on.
        kinetrope.Offset3.as_tuple(self.rng.choice([offset, claimant(self.rng, kinetrope.Offset3), 3]))

    def copy_default(self):
        """A pattern equal to a default bit for bit is dropped; one bit off is refused."""
        entry = self.rng.choice(DEFAULT_ENTRIES)
        name, period = entry["name"], entry["period_pips"]
        rows = [list(kinetrope.sample(name, pip).as_tuple()) for pip in range(period)]
        change = self.rng.random() < 0.3
        if change:
            pip = self.rng.randrange(period)
            rows[pip][0] = rows[pip][0] - 2**-40 if rows[pip][0] > 0 else rows[pip][0] + 2**-40
        copy = kinetrope.SampledPattern(name, entry["description"], rows)
        other = self.objects["seed"]  # the pattern "p", never refused
        try:
            library = kinetrope.PatternLibrary([copy, other] if self.rng.random() < 0.5 else [copy])
        except ValueError as error:
            if change and str(error) == "Cannot override default pattern: " + name:
                return
            raise AssertionError(f"a copy of {name}{' with one bit changed' if change else ''}: {error}") from None
        if change:
            raise AssertionError(f"a changed copy of {name} was accepted")
        if sum(row["name"] == name for row in library.catalogue()) != 1:
            raise AssertionError(f"an exact copy of {name} was not dropped")

    def library_limits(self):
        """Past the limits of a library: too many patterns, too many samples."""
        if self.rng.random() < 0.5:
            count = self.rng.choice([1024, 1025, 5000])
            expected = "Too many patterns" if count > 1024 else "Duplicate pattern name: p"
            patterns = [self.objects["seed"]] * count
        else:
            big = big_patterns()
            count = self.rng.choice([16, 17])
            expected = "Pattern pack is too large" if count > 16 else None
            patterns = big[:count]
        try:
            kinetrope.PatternLibrary(self.gen.sequence(patterns) if self.gen.hostile else patterns)
        except ValueError as error:
            if expected is not None and str(error) == expected or self.gen.hostile:
                return
            raise AssertionError(f"a library of {count} patterns: {error}, expected {expected!r}") from None
        if expected is not None and not self.gen.hostile:
            raise AssertionError(f"a library past its limits was accepted, expected {expected!r}")

    def recording_invalid_sample(self):
        """A recording valid in all but one value."""
        width, count = self.rng.randrange(1, 4), self.rng.randrange(1, 12)
        rows = [[self.rng.uniform(-1, 1) for _ in range(width)] for _ in range(count)]
        rows[self.rng.randrange(count)][self.rng.randrange(width)] = self.rng.choice(
            [float("nan"), float("inf"), -1.0000000000000002, 2.0, -5.0, 1e308])
        try:
            kinetrope.SampledRecording("r", ["a", "b", "c"][:width], self.gen.sequence(rows), 120.0)
        except ValueError as error:
            if str(error) == "Invalid sample" or self.gen.hostile:
                return
            raise AssertionError(f"a recording with an invalid sample: {error}") from None
        if not self.gen.hostile:
            raise AssertionError("a recording with an invalid sample was accepted")

    def claimed_class(self):
        """Every use of an instance, given something that only claims the class."""
        uses = [
            (SampledPattern, lambda o: SampledPattern.sample(o, self.gen.pip())),
            (SampledPattern, lambda o: SampledPattern.name.fget(o)),
            (SampledPattern, lambda o: SampledPattern.description.fget(o)),
            (SampledPattern, lambda o: SampledPattern.period_pips.fget(o)),
            (SampledPattern, lambda o: SampledPattern.__init__(o, "p", "d", [[0.0, 0.0, 0.0]])),
            (SampledPattern, lambda o: PatternLibrary([self.pick("patterns"), o])),
            (PatternLibrary, lambda o: PatternLibrary.sample(o, self.gen.name(), self.gen.pip())),
            (PatternLibrary, lambda o: PatternLibrary.catalogue(o)),
            (PatternLibrary, lambda o: PatternLibrary.__init__(o, [])),
            (SampledRecording, lambda o: SampledRecording.sample(o, self.gen.pip())),
            (SampledRecording, lambda o: SampledRecording.__init__(o, "r", ["a"], [[0.5]], 120.0)),
        ] + [
            (SampledRecording, lambda o, p=p: getattr(SampledRecording, p).fget(o))
            for p in ("name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip")
        ]
        cls, use = self.rng.choice(uses)
        try:
            use(claimant(self.rng, cls))
        except TypeError:
            return
        raise AssertionError("an object that only claims its class was taken as an instance")

    def keyword_arguments(self):
        g, rng = self.gen, self.rng
        calls = {
            "pattern": (SampledPattern, {"name": g.name, "description": g.description, "samples": g.points}),
            "library": (PatternLibrary, {"patterns": lambda: [self.pick("patterns")]}),
            "recording": (SampledRecording, {
                "name": lambda: "r", "dimensions": lambda: ["a"], "samples": lambda: g.rows(1),
                "bpm": g.number, "beat_zero_seconds": g.number, "start_pip": g.pip}),
            "sample": (kinetrope.sample, {"name": g.name, "pip_count": g.pip}),
            "pattern.sample": (self.pick("patterns").sample, {"pip_count": g.pip}),
            "library.sample": (self.pick("libraries").sample, {"name": g.name, "pip_count": g.pip}),
            "recording.sample": (self.pick("recordings").sample, {"pip": g.pip}),
            "pattern function": (rng.choice(PATTERN_FUNCTIONS), {"pip_count": g.pip}),
        }
        function, parameters = calls[rng.choice(list(calls))]
        names = list(parameters)
        split = rng.randrange(len(names) + 1)
        args = [parameters[n]() for n in names[:split]]
        kwargs = {n: parameters[n]() for n in names[split:] if rng.random() < 0.95}
        if rng.random() < 0.2:
            kwargs[rng.choice(["nme", "pip", "self", "name", "samples", "", "x" * 100])] = g.pip()
        return function(*args, **kwargs)

    def subclass_instances(self):
        """Real subclasses are taken as their base."""
        pattern = OwnPattern("own", "d", [[0.25, 0.0, 0.0]] * self.rng.randrange(1, 9))
        library = OwnLibrary([pattern])
        pip = self.rng.randrange(-(2**31), 2**31)
        if library.sample("own", pip).as_tuple() != (0.25, 0.0, 0.0) or pattern.sample(pip).x != 0.25:
            raise AssertionError("a subclass instance was sampled wrongly")
        recording = OwnRecording("r", ["a"], [[0.5]], 120.0)
        return SampledRecording.sample(recording, 0), PatternLibrary([pattern, self.pick("patterns")])

    def run(self, deadline: float) -> None:
        labels, operations, cumulative = self.weighted_operations()
        indices = range(len(labels))
        while time.monotonic() < deadline:
            (index,) = self.rng.choices(indices, cum_weights=cumulative)
            label, operation = labels[index], operations[index]
            self.gen.hostile = self.rng.random() < 0.5
            self.current = (label, time.monotonic())
            try:
                operation()
                outcome = "result"
            except companion_targets.Unacceptable as error:
                outcome = "Unacceptable"
                self.failures.append(f"{label}: {str(error)[:300]}")
            except ACCEPTED as error:
                outcome = type(error).__name__
                if label.startswith("tools "):  # the targets catch what is clean themselves
                    self.failures.append(f"{label}: {type(error).__name__}: {str(error)[:200]}")
            except Exception as error:  # anything else is a fault of the module
                outcome = type(error).__name__
                self.failures.append(f"{label}: {type(error).__name__}: {str(error)[:200]}")
            self.seconds[label] += time.monotonic() - self.current[1]
            self.current = None
            self.outcomes[(label, outcome)] += 1


# Operations that take much longer than a call are drawn less often, so
# that the quick ones keep most of the time.
OPERATION_WEIGHTS = {"library limits": 0.15, "default copy dropped": 0.5}


class OwnPattern(SampledPattern):
    pass


class OwnLibrary(PatternLibrary):
    pass


class OwnRecording(SampledRecording):
    pass


DEFAULT_ENTRIES = kinetrope.catalogue()
_big_patterns: list = []
_big_lock = threading.Lock()


def big_patterns() -> list:
    """17 patterns of 65,535 samples: 16 fit a library, 17 are too many samples."""
    with _big_lock:
        if not _big_patterns:
            rows = [[0.5, 0.0, 0.0]] * 65535
            _big_patterns.extend(kinetrope.SampledPattern(f"big{i}", "", rows) for i in range(17))
        return list(_big_patterns)


def watch(fuzzers, folder: str, hang_seconds: float, memory_limit: int, done: threading.Event) -> None:
    """Ends the pass when a call hangs or the process outgrows its memory limit."""
    page = os.sysconf("SC_PAGE_SIZE")

    def end() -> None:
        faulthandler.dump_traceback(all_threads=True)
        shutil.rmtree(folder, ignore_errors=True)
        os._exit(1)

    while not done.wait(1.0):
        for fuzzer in fuzzers:
            current = fuzzer.current
            if current is not None and time.monotonic() - current[1] > hang_seconds:
                print(f"hang: {current[0]} has run for more than {hang_seconds:.0f} s", file=sys.stderr, flush=True)
                end()
        with open("/proc/self/statm") as statm:
            resident = int(statm.read().split()[1]) * page
        if resident > memory_limit:
            labels = [f.current[0] for f in fuzzers if f.current is not None]
            print(f"memory: {resident >> 20} MiB resident during {labels}", file=sys.stderr, flush=True)
            end()


def seed_objects() -> dict:
    pattern = kinetrope.SampledPattern("p", "seed", [[0.5, 0.0, 0.0], [0.0, 0.5, 0.0]])
    return {
        "seed": pattern,
        "patterns": [pattern],
        "libraries": [kinetrope.PatternLibrary([pattern])],
        "recordings": [kinetrope.SampledRecording("r", ["a", "b"], [[0.5, 0.25], [0.0, -1.0]], 120.0)],
    }


def leaks_found() -> bool:
    """Runs LeakSanitizer's check now, while the interpreter still holds
    everything it uses, when the sanitizer runtime is loaded with leak
    detection on (at exit, the interpreter's own finalization would leave
    objects behind that were never the module's). True when it reports a
    leak."""
    try:
        check = ctypes.CDLL(None)["__lsan_do_recoverable_leak_check"]
    except (OSError, AttributeError):
        return False
    gc.collect()
    return check() != 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--threads", type=int, default=4)
    parser.add_argument("--hang-seconds", type=float, default=30.0, help="a call longer than this is a hang")
    parser.add_argument("--memory-mib", type=int, default=4096, help="resident memory that ends the pass")
    parser.add_argument("--exclude", action="append", default=[], metavar="LABEL", help="leave out an operation")
    parser.add_argument("--module-only", action="store_true", help="leave out the companion package")
    args = parser.parse_args()
    if args.module_only:
        args.exclude += list(companion_targets.TARGETS)

    shared, objects = Shared(), seed_objects()
    # The companion package writes only inside this folder, removed at the end.
    folder = tempfile.mkdtemp(prefix="kinetrope-fuzz-")
    try:
        fuzzers = [Fuzzer(args.seed * 1000 + i, shared, objects, Path(folder), args.exclude)
                   for i in range(args.threads)]
        sys.setswitchinterval(1e-4)  # interleave the threads often
        start = time.monotonic()
        deadline = start + args.seconds
        done = threading.Event()
        watchdog = threading.Thread(
            target=watch, args=(fuzzers, folder, args.hang_seconds, args.memory_mib << 20, done), daemon=True)
        watchdog.start()
        threads = [threading.Thread(target=f.run, args=(deadline,)) for f in fuzzers]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        done.set()
        watchdog.join()
        elapsed = time.monotonic() - start
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    outcomes: collections.Counter = collections.Counter()
    seconds: collections.Counter = collections.Counter()
    failures = []
    for fuzzer in fuzzers:
        outcomes.update(fuzzer.outcomes)
        seconds.update(fuzzer.seconds)
        failures.extend(fuzzer.failures)
    print(f"hostile inputs: seed {args.seed}, {args.threads} threads, {elapsed:.1f} s, "
          f"{sum(outcomes.values())} calls, {len(outcomes)} distinct outcomes")
    for (label, outcome), count in sorted(outcomes.items()):
        print(f"  {label:30} {outcome:20} {count}")
    busy = sum(seconds.values()) or 1.0
    print("share of the time: " + ", ".join(
        f"{label} {100 * spent / busy:.0f}%" for label, spent in seconds.most_common() if spent / busy >= 0.01))
    status = 0
    if failures:
        print(f"{len(failures)} unacceptable outcomes, first ones:", file=sys.stderr)
        for failure in collections.Counter(failures).most_common(10):
            print(f"  {failure[1]} x {failure[0]}", file=sys.stderr)
        status = 1
    del fuzzers, objects, shared
    if leaks_found():
        print("LeakSanitizer found leaks (see its report)", file=sys.stderr)
        status = 1
    return status
