"""The built-in table's costs: import time against a bare interpreter start,
and a clean build: the generator, the records source and the rows, each with
its wall time and the compiler's peak memory.

    python bench/bench_table.py            # import time and a clean build
    python bench/bench_table.py --literals # also the rows as a C++ literal source, for comparison
"""

import argparse
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


# Runs a command and prints the peak resident memory (KiB) of its process
# tree; a fresh wrapper per step keeps one step's peak from hiding another's.
PEAK_WRAPPER = (
    "import resource, subprocess, sys; "
    "subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL); "
    "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)"
)


def run_measured(command):
    """Wall seconds and the peak resident memory (MiB) of the command's process tree."""
    start = time.perf_counter()
    result = subprocess.run([sys.executable, "-c", PEAK_WRAPPER, *map(str, command)],
                            check=True, capture_output=True, text=True)
    seconds = time.perf_counter() - start
    return seconds, int(result.stdout) / 1024.0


def import_cost(rounds=40):
    bare, imported = [], []
    for _ in range(rounds):
        for sink, code in ((bare, "pass"), (imported, "import kinetrope")):
            start = time.perf_counter()
            subprocess.run([sys.executable, "-c", code], check=True)
            sink.append(time.perf_counter() - start)
    print("interpreter start, ms (min / median):")
    print(f"  bare python -c pass         {min(bare) * 1e3:7.2f} / {statistics.median(bare) * 1e3:7.2f}")
    print(f"  python -c 'import kinetrope' {min(imported) * 1e3:7.2f} / {statistics.median(imported) * 1e3:7.2f}")
    print(f"  import adds                  {(min(imported) - min(bare)) * 1e3:7.2f} / "
          f"{(statistics.median(imported) - statistics.median(bare)) * 1e3:7.2f}")


def clean_build(literals: bool):
    import pybind11

    cmake = pathlib.Path(sys.executable).with_name("cmake")
    ninja = pathlib.Path(sys.executable).with_name("ninja")
    with tempfile.TemporaryDirectory(prefix="kinetrope-build-") as folder:
        build = pathlib.Path(folder)
        subprocess.run(
            [cmake, "-S", ROOT, "-B", build, "-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}",
             f"-DPython_EXECUTABLE={sys.executable}", f"-Dpybind11_DIR={pybind11.get_cmake_dir()}",
             "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON"],
            check=True, stdout=subprocess.DEVNULL,
        )
        seconds, _ = run_measured([cmake, "--build", build, "-j2"])
        print(f"clean build of the module (-j2): {seconds:.1f} s")

        generated = build / "src" / "data" / "generated"
        generator = build / "src" / "data" / "generate_tables"
        out = pathlib.Path(folder) / "again"
        out.mkdir()
        print("steps of the table, one at a time (wall s, peak MiB of the process tree):")
        seconds, mib = run_measured([generator, out])
        print(f"  run the generator            {seconds:6.2f} s {mib:8.1f} MiB")
        include = ROOT / "src" / "core" / "include"
        compile_flags = ["g++", "-O3", "-std=c++20", "-fPIC", f"-I{include}", "-c"]
        seconds, mib = run_measured(compile_flags + [generated / "builtin_records.cpp", "-o", out / "records.o"])
        print(f"  compile builtin_records.cpp  {seconds:6.2f} s {mib:8.1f} MiB")
        seconds, mib = run_measured(["g++", "-c", generated / "builtin_samples.S", "-o", out / "samples.o"])
        print(f"  assemble builtin_samples.S   {seconds:6.2f} s {mib:8.1f} MiB (.incbin of "
              f"{(generated / 'builtin_samples.bin').stat().st_size / 2**20:.1f} MiB)")
        if literals:
            source = out / "samples_literals.cpp"
            data = (generated / "builtin_samples.bin").read_bytes()
            with source.open("w") as f:
                f.write('extern "C" const unsigned long long kinetrope_rows_as_literals[] = {\n')
                for i in range(0, len(data), 8):
                    f.write(f"0x{int.from_bytes(data[i:i + 8], 'little'):016x}ULL,\n")
                f.write("};\n")
            seconds, mib = run_measured(["g++", "-O3", "-c", source, "-o", out / "literals.o"])
            print(f"  the same rows as literals    {seconds:6.2f} s {mib:8.1f} MiB (for comparison)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--literals", action="store_true")
    parser.add_argument("--no-build", action="store_true")
    args = parser.parse_args()
    import_cost()
    if not args.no_build:
        clean_build(args.literals)


if __name__ == "__main__":
    main()
