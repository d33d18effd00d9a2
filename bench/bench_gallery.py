"""Builds the gallery of every default pattern from cold, then again unchanged, and prints the times.

    .venv/bin/python bench/bench_gallery.py [--jobs N]

Target: the cold build within 120 s on 2 cores; the unchanged build in seconds.
"""

import argparse
import os
import pathlib
import subprocess
import sys
import tempfile
import time

import kinetrope
from kinetrope_tools.gallery import build


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--jobs", type=int, help="drawing processes (default: one per core)")
    args = parser.parse_args()
    patterns = len(kinetrope.catalogue())
    cores = len(os.sched_getaffinity(0))
    with tempfile.TemporaryDirectory() as directory:
        output = pathlib.Path(directory)
        started, cpu = time.perf_counter(), os.times()
        build(output, processes=args.jobs)
        cold = time.perf_counter() - started
        after = os.times()
        cold_cpu = (after.user + after.system + after.children_user + after.children_system) - (
            cpu.user + cpu.system + cpu.children_user + cpu.children_system
        )
        # The unchanged build as a user runs it: a new process, nothing cached.
        command = [str(pathlib.Path(sys.executable).with_name("kinetrope")), "gallery", "--quiet", "-o", str(output)]
        started = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        warm = time.perf_counter() - started
        pictures = len(list((output / "img").iterdir()))
        size = sum(p.stat().st_size for p in output.rglob("*") if p.is_file())
    print(f"{patterns} patterns, {pictures} pictures, {size / 2**20:.0f} MiB, {cores} cores, "
          f"load average {os.getloadavg()[0]:.1f}")
    print(f"cold build:      {cold:7.1f} s wall, {cold_cpu:7.1f} s CPU ({1000 * cold_cpu / pictures:.0f} ms CPU a picture)")
    print(f"unchanged build: {warm:7.2f} s wall (the kinetrope command in a new process)")
    print(f"target: cold within 120 s on 2 cores -> {'met' if cold <= 120 else 'NOT met'}")


if __name__ == "__main__":
    main()
