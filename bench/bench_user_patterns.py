"""Building user patterns, pattern libraries and recordings, and sampling a
user pattern through a library.

Every build is timed against the time Python takes to build the argument
lists it converts; memory is read from /proc/self/status in a fresh process
per case. Run with the module on the path:

    PYTHONPATH=build/dev/src/python python bench/bench_user_patterns.py
"""

import gc
import json
import subprocess
import sys
import time
import timeit

import kinetrope

PATTERN_POINTS = 65535
LIBRARY_SAMPLES = 1 << 20
RECORDING_VALUES = 1 << 23
MIB = 1 << 20


def best_of(repeats, make):
    """Best wall time of make() over repeats, with the collector off; also
    returns the last result so that it outlives the timing."""
    best, result = float("inf"), None
    for _ in range(repeats):
        result = None
        gc.collect()
        gc.disable()
        try:
            start = time.perf_counter()
            result = make()
            elapsed = time.perf_counter() - start
        finally:
            gc.enable()
        best = min(best, elapsed)
    return best, result


def line(label, seconds, baseline=None, baseline_label="Python args"):
    text = f"  {label:<46} {seconds * 1e3:9.1f} ms"
    if baseline is not None:
        text += f"   {seconds / baseline:5.2f}x {baseline_label}"
    print(text)


def points(count, offset=0):
    return [[((i + offset) % 200) / 100 - 1.0, (i % 7) / 8, -(i % 3) / 4] for i in range(count)]


def bench_pattern():
    print(f"SampledPattern of {PATTERN_POINTS:,} points")
    t_args, args = best_of(7, lambda: points(PATTERN_POINTS))
    t_build, _ = best_of(7, lambda: kinetrope.SampledPattern("long_pattern", "bench", args))
    line("Python builds the point list", t_args)
    line("SampledPattern(name, description, points)", t_build, t_args)


def bench_library():
    counts = [65535] * 16 + [16]
    assert sum(counts) == LIBRARY_SAMPLES
    print(f"PatternLibrary of {len(counts)} patterns, {LIBRARY_SAMPLES:,} samples in all (the limit)")
    t_args, lists = best_of(3, lambda: [points(n, offset=k) for k, n in enumerate(counts)])
    t_patterns, patterns = best_of(
        3, lambda: [kinetrope.SampledPattern(f"pack_{k}", "", pts) for k, pts in enumerate(lists)]
    )
    t_library, _ = best_of(5, lambda: kinetrope.PatternLibrary(patterns))
    line("Python builds the 17 point lists", t_args)
    line("17 SampledPattern objects from them", t_patterns, t_args)
    line("PatternLibrary(patterns), copying all samples", t_library, t_args)


RECORDING_SHAPES = [(1, RECORDING_VALUES), (8, RECORDING_VALUES // 8), (RECORDING_VALUES, 1)]


def recording_args(axes, rows):
    names = [f"a{i}" for i in range(axes)]
    if axes == 1:
        samples = [[(r % 200) / 100 - 1.0] for r in range(rows)]
    elif rows == 1:
        samples = [[(a % 200) / 100 - 1.0 for a in range(axes)]]
    else:
        samples = [[((r + a) % 200) / 100 - 1.0 for a in range(axes)] for r in range(rows)]
    return names, samples


def bench_recordings():
    for axes, rows in RECORDING_SHAPES:
        print(f"SampledRecording of {axes:,} axes x {rows:,} rows = {axes * rows:,} values")
        t_args, (names, samples) = best_of(2, lambda: recording_args(axes, rows))
        t_build, recording = best_of(3, lambda: kinetrope.SampledRecording("take", names, samples, 120.0))
        assert recording.sample_count == rows
        line("Python builds the axis names and rows", t_args)
        line("SampledRecording(...)", t_build, t_args)
        del names, samples, recording


MEMORY_CHILD = """
import gc, json, sys
import kinetrope

def status():
    fields = {}
    with open("/proc/self/status") as f:
        for row in f:
            key, _, value = row.partition(":")
            if key in ("VmRSS", "VmHWM"):
                fields[key] = int(value.split()[0]) * 1024
    return fields

axes, rows = int(sys.argv[1]), int(sys.argv[2])
names = [f"a{i}" for i in range(axes)]
samples = [[((r + a) % 200) / 100 - 1.0 for a in range(axes)] for r in range(rows)]
gc.collect()
before = status()
recording = kinetrope.SampledRecording("take", names, samples, 120.0)
after = status()
del names, samples
gc.collect()
alone = status()
print(json.dumps({"before": before, "after": after, "alone": alone, "count": recording.sample_count}))
"""


def bench_memory():
    print("Memory of the largest recordings (fresh process each; /proc/self/status)")
    for axes, rows in RECORDING_SHAPES[:2]:
        out = subprocess.run(
            [sys.executable, "-c", MEMORY_CHILD, str(axes), str(rows)], check=True, capture_output=True, text=True
        ).stdout
        m = json.loads(out)
        assert m["count"] == rows
        base = m["before"]["VmRSS"]
        print(f"  {axes} axes x {rows:,} rows: flat values {axes * rows * 8 / MIB:.1f} MiB")
        print(f"    resident before the call (Python args built)  {base / MIB:8.1f} MiB")
        print(f"    peak above that during construction           {(m['after']['VmHWM'] - base) / MIB:8.1f} MiB")
        print(f"    resident kept by the recording after the call {(m['after']['VmRSS'] - base) / MIB:8.1f} MiB")
        print(f"    resident with only the recording left         {m['alone']['VmRSS'] / MIB:8.1f} MiB")


def per_call(loops, namespace, calls, rounds=15):
    """Seconds per call of each loop; the loops are timed in turn, round
    after round, and each keeps its best round, so that a busy moment of the
    machine does not fall on one of them only."""
    timers = {label: timeit.Timer(code, globals=namespace) for label, code in loops.items()}
    best = dict.fromkeys(loops, float("inf"))
    for _ in range(rounds):
        for label, timer in timers.items():
            best[label] = min(best[label], timer.timeit(number=1))
    return {label: seconds / calls for label, seconds in best.items()}


def bench_sampling():
    print("Sampling a user pattern: through a library of 16 patterns vs SampledPattern.sample")
    patterns = [
        kinetrope.SampledPattern(f"user_pattern_{k:02d}", "", points(256, offset=k)) for k in range(16)
    ]
    library = kinetrope.PatternLibrary(patterns)
    calls = 200_000
    ns = {
        "pips": range(-calls // 2, calls // 2),
        "direct": patterns[15].sample,
        "direct_first": patterns[0].sample,
        "via": library.sample,
        "module": kinetrope.sample,
    }
    loops = {
        "empty loop": "for p in pips: pass",
        "SampledPattern.sample (16th pattern)": "for p in pips: direct(p)",
        "PatternLibrary.sample, 16th pattern": "for p in pips: via('user_pattern_15', p)",
        "SampledPattern.sample (1st pattern)": "for p in pips: direct_first(p)",
        "PatternLibrary.sample, 1st pattern": "for p in pips: via('user_pattern_00', p)",
        "kinetrope.sample('bounce')": "for p in pips: module('bounce', p)",
        "PatternLibrary.sample('bounce')": "for p in pips: via('bounce', p)",
    }
    t = per_call(loops, ns, calls)
    empty = t.pop("empty loop")
    print(f"  {'per call, Python loop included (net of the empty loop)':<46}")
    for label, seconds in t.items():
        print(f"  {label:<46} {seconds * 1e9:7.1f} ns ({(seconds - empty) * 1e9:6.1f} ns net)")

    comparisons = [
        ("library / direct, 16th pattern", "PatternLibrary.sample, 16th pattern", "SampledPattern.sample (16th pattern)"),
        ("library / direct, 1st pattern", "PatternLibrary.sample, 1st pattern", "SampledPattern.sample (1st pattern)"),
        ("library / module, a default", "PatternLibrary.sample('bounce')", "kinetrope.sample('bounce')"),
    ]
    for label, a, b in comparisons:
        print(f"  {label:<32} {t[a] / t[b]:5.2f}x ({(t[a] - empty) / (t[b] - empty):.2f}x net)"
              + ("   target <= 1.5x" if "direct" in label else ""))


def main():
    print(f"kinetrope user patterns benchmark (Python {sys.version.split()[0]})")
    bench_pattern()
    bench_library()
    bench_sampling()
    bench_recordings()
    bench_memory()


if __name__ == "__main__":
    main()
