#!/usr/bin/env bash
# Measures the line coverage that the hostile-input fuzz pass alone reaches:
# of the bindings (src/python) and the core (src/core), with a --coverage
# build of the module in build/coverage, and of the companion package
# (src/kinetrope_tools) with coverage.py. Prints both summaries and leaves
# the detailed reports in build/coverage/report/.
#   bash scripts/fuzz_coverage.sh [SECONDS] [SEED] [FUZZ_SCRIPT]
# Expects the venv that setup.sh creates; installs gcovr and coverage in it.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
venv="$project_root/.venv"
python="$venv/bin/python"
"$python" -m pip install --quiet "gcovr>=7" "coverage>=7"

coverage_build="$project_root/build/coverage"
report="$coverage_build/report"
"$venv/bin/cmake" -S "$project_root" -B "$coverage_build" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$venv/bin/ninja" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-O0 -g --coverage" \
    -DCMAKE_EXE_LINKER_FLAGS="--coverage" -DCMAKE_MODULE_LINKER_FLAGS="--coverage" \
    -DPython_EXECUTABLE="$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" >/dev/null
"$venv/bin/cmake" --build "$coverage_build"
# Counts start from zero: only what this fuzz run reaches is counted.
find "$coverage_build" -name '*.gcda' -delete
rm -rf "$report"
mkdir -p "$report"

cd "$project_root"
# The module from the coverage build, the companion package from the sources,
# copied beside the data the build generated for it as the wheel places them.
staged="$coverage_build/staged"
rm -rf "$staged"
mkdir -p "$staged"
cp -r "$project_root/src/kinetrope_tools" "$staged/"
cp "$coverage_build/src/data/generated/builtin.json" "$staged/kinetrope_tools/patterns/"
PYTHONPATH="$coverage_build/src/python:$staged" \
    "$python" -m coverage run --data-file="$report/.coverage" --source="$staged/kinetrope_tools" \
    "${3:-fuzz/hostile_inputs.py}" --seconds "${1:-60}" --seed "${2:-20261210}" >"$report/fuzz.txt" 2>&1 ||
    echo "(the fuzz pass failed: see $report/fuzz.txt; the coverage is of the run up to then)"
head -n 1 "$report/fuzz.txt"

echo "== src/python and src/core (gcovr, lines)"
"$python" -m gcovr --root "$project_root" --object-directory "$coverage_build" "$coverage_build/src" \
    --filter "$project_root/src/python/" --filter "$project_root/src/core/" \
    --txt "$report/cpp.txt" --html-details "$report/cpp.html" --print-summary >/dev/null
cat "$report/cpp.txt"
echo "== src/kinetrope_tools (coverage.py, lines)"
"$python" -m coverage report --data-file="$report/.coverage" | tee "$report/kinetrope_tools.txt" ||
    echo "no line of it ran"
