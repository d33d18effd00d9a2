"""Builds the C-API floor module of the benchmarks into a temporary folder."""

import importlib.util
import pathlib
import subprocess
import sys
import sysconfig
import tempfile


def load_call_floor():
    source = pathlib.Path(__file__).with_name("floor_module.c")
    folder = pathlib.Path(tempfile.mkdtemp(prefix="kinetrope-bench-"))
    target = folder / ("call_floor" + sysconfig.get_config_var("EXT_SUFFIX"))
    compiler = (sysconfig.get_config_var("CC") or "cc").split()[0]
    subprocess.run(
        [compiler, "-O2", "-shared", "-fPIC", "-I", sysconfig.get_paths()["include"], str(source), "-o", str(target)],
        check=True,
    )
    found = importlib.util.spec_from_file_location("call_floor", target)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    sys.modules["call_floor"] = module
    return module
