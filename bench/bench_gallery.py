"""Builds the gallery of every default pattern from cold, then again unchanged, and prints the times.

    .venv/bin/python bench/bench_gallery.py [--jobs N] [--pad-to 1731] [--unchanged-runs 5]

Target: the cold build within 120 s on 2 cores; the unchanged build in seconds.
--pad-to adds smooth 3-D stand-in patterns of 512 pips (as a pack, so at most
1024) until the gallery holds that many, to time a catalogue larger than the
one built here.
"""

import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

import kinetrope
from kinetrope_tools.pictures.gallery import build
from kinetrope_tools.patterns.packs import save_pack


def stand_ins(count: int) -> list[kinetrope.SampledPattern]:
    """Smooth closed 3-D curves of 512 pips, a few harmonics each."""
    rng = np.random.default_rng(3)
    phase = np.arange(512) / 512 * 2 * np.pi
    patterns = []
    for index in range(count):
        harmonics = rng.integers(1, 6, size=(3, 3))
        weights = rng.uniform(-0.3, 0.3, size=(3, 3))
        rows = np.stack([(weights[axis] * np.sin(np.outer(phase, harmonics[axis]))).sum(axis=1) for axis in range(3)], axis=1)
        patterns.append(kinetrope.SampledPattern(f"stand_in_{index}", "A stand-in for timing", rows.tolist()))
    return patterns


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--jobs", type=int, help="drawing processes (default: one per core)")
    parser.add_argument("--pad-to", type=int, default=0, metavar="N", help="add stand-in patterns up to N in all")
    parser.add_argument("--unchanged-runs", type=int, default=5, metavar="N", help="unchanged builds to time (default: 5)")
    args = parser.parse_args()
    defaults = len(kinetrope.catalogue())
    # A pack holds at most 1024 patterns.
    extra = stand_ins(min(1024, max(0, args.pad_to - defaults)))
    library = kinetrope.PatternLibrary(extra) if extra else None
    patterns = defaults + len(extra)
    cores = len(os.sched_getaffinity(0))
    with tempfile.TemporaryDirectory() as directory:
        output = pathlib.Path(directory) / "gallery"
        pack = pathlib.Path(directory) / "pack.json"
        save_pack(pack, extra)
        started, cpu = time.perf_counter(), os.times()
        build(output, library=library, processes=args.jobs)
        cold = time.perf_counter() - started
        after = os.times()
        cold_cpu = (after.user + after.system + after.children_user + after.children_system) - (
            cpu.user + cpu.system + cpu.children_user + cpu.children_system
        )
        # The unchanged build as a user runs it: a new process, nothing cached.
        command = [str(pathlib.Path(sys.executable).with_name("kinetrope")), "gallery", "--quiet", "-o", str(output)]
        if extra:
            command += ["--pack", str(pack)]
        warm = []
        for _ in range(args.unchanged_runs):
            started = time.perf_counter()
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
            warm.append(time.perf_counter() - started)
        pictures = len(list((output / "img").iterdir()))
        size = sum(p.stat().st_size for p in output.rglob("*") if p.is_file())
    print(f"{patterns} patterns ({defaults} defaults, {len(extra)} stand-ins), {pictures} pictures, {size / 2**20:.0f} MiB, {cores} cores, "
          f"load average {os.getloadavg()[0]:.1f}")
    print(f"cold build:      {cold:7.1f} s wall, {cold_cpu:7.1f} s CPU ({1000 * cold_cpu / pictures:.0f} ms CPU a picture)")
    print(f"unchanged build: {statistics.median(warm):7.2f} s wall, median of {len(warm)} "
          f"(fastest {min(warm):.2f} s, slowest {max(warm):.2f} s; the kinetrope command in a new process)")
    print(f"target: cold within 120 s on 2 cores -> {'met' if cold <= 120 else 'NOT met'}")


if __name__ == "__main__":
    main()
