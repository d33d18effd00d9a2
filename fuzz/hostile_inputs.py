"""Throws hostile input at every constructor, sampler and property of
kinetrope for a time budget, from several threads sharing the same objects.

Arguments are drawn from a seeded generator: random and huge integers, NaN,
infinities, -0.0 and subnormals, names as str, bytes and bytearray (NUL,
invalid UTF-8, surrogates), ragged and oversized rows, and objects whose
__index__, __int__, __float__, __len__ or __iter__ raise, lie or mutate the
other arguments of the call. The only acceptable outcomes are a result or
TypeError, ValueError, IndexError, OverflowError or MemoryError (subclasses
included); anything else is a failure, and a crash ends the process.

    python fuzz/hostile_inputs.py --seed 1 --seconds 60 [--threads 4]
"""

from __future__ import annotations

import argparse
import collections
import random
import sys
import threading
import time

import kinetrope

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
        if r < 0.85:
            return Hostile(self.rng, self.shared, self.rng.choice(EDGE_INTS))
        return self.rng.choice([True, 1.0, "1", None, b"1", 2**31 - 1])

    def number(self):
        if not self.hostile:
            return self.rng.choice([self.rng.uniform(-1.0, 1.0), 0.0, -0.0, 1.0, -1.0, 5e-324])
        r = self.rng.random()
        if r < 0.4:
            return self.rng.uniform(-1.2, 1.2)
        if r < 0.75:
            return self.rng.choice(EDGE_FLOATS)
        if r < 0.9:
            return Hostile(self.rng, self.shared, self.rng.choice(EDGE_FLOATS + EDGE_INTS))
        return self.rng.choice([1, -(2**70), "0.5", None, True])

    def name(self):
        r = self.rng.random()
        if r < 0.3:
            return self.rng.choice(DEFAULT_NAMES)
        if r < 0.45:
            return self.shared.name
        if r < 0.6:
            return bytearray(self.rng.choice(DEFAULT_NAMES).encode())
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
        if r < 0.92:
            return (item for item in items)
        return self.rng.choice([None, "abc", b"abc", 3, {1: 2}.keys()])

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
    def __init__(self, seed: int, shared: Shared, objects: dict) -> None:
        self.rng = random.Random(seed)
        self.gen = Generator(self.rng, shared)
        self.shared, self.objects = shared, objects
        self.outcomes: collections.Counter = collections.Counter()
        self.failures: list[str] = []

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
        ]

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
        pattern = kinetrope.SampledPattern(name, self.rng.choice(["d", "é", "\0"]), self.gen.points())
        self.shared.patterns.append(pattern)
        return self.keep("patterns", pattern)

    def build_library(self):
        chosen = [self.pick("patterns") for _ in range(self.rng.randrange(0, 6))]
        if self.rng.random() < 0.2:
            chosen = self.shared.patterns
        if self.rng.random() < 0.05:
            chosen.append(kinetrope.SampledPattern.__new__(kinetrope.SampledPattern))
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

    def run(self, deadline: float) -> None:
        operations = self.operations()
        while time.monotonic() < deadline:
            label, operation = self.rng.choice(operations)
            self.gen.hostile = self.rng.random() < 0.5
            try:
                operation()
                outcome = "result"
            except ACCEPTED as error:
                outcome = type(error).__name__
            except Exception as error:  # anything else is a fault of the module
                outcome = type(error).__name__
                self.failures.append(f"{label}: {type(error).__name__}: {str(error)[:200]}")
            self.outcomes[(label, outcome)] += 1


def seed_objects() -> dict:
    pattern = kinetrope.SampledPattern("p", "seed", [[0.5, 0.0, 0.0], [0.0, 0.5, 0.0]])
    return {
        "patterns": [pattern],
        "libraries": [kinetrope.PatternLibrary([pattern])],
        "recordings": [kinetrope.SampledRecording("r", ["a", "b"], [[0.5, 0.25], [0.0, -1.0]], 120.0)],
    }


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--threads", type=int, default=4)
    args = parser.parse_args()

    shared, objects = Shared(), seed_objects()
    fuzzers = [Fuzzer(args.seed * 1000 + i, shared, objects) for i in range(args.threads)]
    sys.setswitchinterval(1e-4)  # interleave the threads often
    start = time.monotonic()
    deadline = start + args.seconds
    threads = [threading.Thread(target=f.run, args=(deadline,)) for f in fuzzers]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    elapsed = time.monotonic() - start

    outcomes: collections.Counter = collections.Counter()
    failures = []
    for fuzzer in fuzzers:
        outcomes.update(fuzzer.outcomes)
        failures.extend(fuzzer.failures)
    print(f"hostile inputs: seed {args.seed}, {args.threads} threads, {elapsed:.1f} s, "
          f"{sum(outcomes.values())} calls, {len(outcomes)} distinct outcomes")
    for (label, outcome), count in sorted(outcomes.items()):
        print(f"  {label:30} {outcome:20} {count}")
    if failures:
        print(f"{len(failures)} unacceptable outcomes, first ones:", file=sys.stderr)
        for failure in collections.Counter(failures).most_common(10):
            print(f"  {failure[1]} x {failure[0]}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
