"""sample_many over 1,000,000 pips against a Python loop of sample, and against copying the same bytes.

    .venv/bin/python bench/bench_sample_many.py

All three are timed side by side in one run; the ratios are what counts on a
shared machine. Target: sample_many at least 50x faster than the loop.
"""

import time

import numpy as np

import kinetrope
from kinetrope_tools import rows, sample_many

COUNT = 1_000_000


def best(function, repeats):
    times = []
    for _ in range(repeats):
        started = time.perf_counter()
        function()
        times.append(time.perf_counter() - started)
    return min(times)


def main() -> None:
    pips = np.random.default_rng(1).integers(-(2**31), 2**31 - 1, size=COUNT, endpoint=True)
    as_ints = pips.tolist()
    same_bytes = np.random.default_rng(2).uniform(-1, 1, size=(COUNT, 3))
    print(f"{COUNT:,} random 32-bit pips; best of several runs")
    for name in ("helix", "lfo_breathe", "path_rose_5", "five_stroke_roll", "euclid_2_5"):
        rows(name)  # the one-period table is built once and kept
        sample = kinetrope.sample

        def loop():
            return [sample(name, pip) for pip in as_ints]

        def loop_tuples():
            return [sample(name, pip).as_tuple() for pip in as_ints]

        vectorised = best(lambda: sample_many(name, pips), 7)
        copy = best(lambda: same_bytes.copy(), 7)
        looped = best(loop, 2)
        looped_tuples = best(loop_tuples, 1)
        period = rows(name).shape[0]
        print(
            f"{name:17} (period {period:4}): sample_many {1000 * vectorised:6.1f} ms | "
            f"loop of sample {1000 * looped:6.0f} ms ({looped / vectorised:5.0f}x) | "
            f"loop with as_tuple {1000 * looped_tuples:6.0f} ms ({looped_tuples / vectorised:5.0f}x) | "
            f"numpy copy of the bytes {1000 * copy:5.1f} ms (sample_many {vectorised / copy:4.1f}x the copy)"
        )
    print("target: sample_many at least 50x faster than the loop of sample")


if __name__ == "__main__":
    main()
