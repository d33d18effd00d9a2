#!/usr/bin/env bash
# Shows that the sanitized pass catches three faults that the tests alone do
# not: each is injected in turn into a scratch copy of the project (a folder
# under /tmp that this script creates and removes), the copy is rebuilt, and
# a short sanitized pass (the tests that reach the faulty code and a short
# fuzz pass) must fail with the sanitizer's or the bounds check's own report.
# The unchanged copy must pass first.
#   bash scripts/inject_faults.sh [FUZZ_SECONDS]
# Expects the venv that setup.sh creates. Exit status 0 when every fault is
# caught.
set -euo pipefail
source_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_seconds=${1:-15}

scratch=$(mktemp -d /tmp/kinetrope-faults.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
tar -C "$source_root" --exclude=./build --exclude=./.venv --exclude=./.git -cf - . | tar -C "$scratch" -xf -
# The copy runs on the project's venv; nothing here installs into it.
ln -s "$source_root/.venv" "$scratch/.venv"

# name|file|text to find|text to put in its place|what the pass must report
faults=(
    "Offset3.as_tuple reads 24 bytes past the object|src/python/offset3.cpp|\
    return Py_BuildValue(\"(ddd)\", v.x, v.y, v.z);|\
    const double past = (&v)[1].x;\n    return Py_BuildValue(\"(ddd)\", v.x, v.y, v.z + past * 0.0);|\
heap-buffer-overflow"
    "the built-in sampler reads the row after its own|src/core/include/kinetrope/builtin_table.hpp|\
    return builtin_row(FirstRow, Period, static_cast<std::size_t>(wrap_pip(pip, Period)));|\
    const auto index = static_cast<std::size_t>(wrap_pip(pip, Period));\n    const Offset3 row = builtin_row(FirstRow, Period, index);\n    return {row.x, row.y, row.z + builtin_row(FirstRow, Period, index + 1).z * 0.0};|\
built-in table read out of bounds"
    "every SampledPattern leaks 64 bytes|src/python/sampled_pattern.cpp|\
                 std::vector<Offset3> points;|\
                 char* volatile leaked = new char[64];\n                 static_cast<void>(leaked);\n                 std::vector<Offset3> points;|\
detected memory leaks"
)

# A short sanitized pass over the copy: the C++ tests, the Python tests that
# reach the three places, and a fuzz pass of the module alone. Its output
# and every sanitizer report go to $1.
short_pass() {
    local log=$1 status=0
    (
        source "$scratch/scripts/sanitized_build.sh"
        "$venv/bin/ctest" --test-dir "$sanitized_build" --output-on-failure || status=1
        cd "$scratch"
        run_sanitized -m pytest -q -p no:cacheprovider tests/module/test_offset3.py tests/module/test_builtin_table.py \
            tests/module/test_default_sampler.py tests/module/test_sampled_pattern.py || status=1
        run_sanitized_leak_checked fuzz/hostile_inputs.py --seed 20261210 --seconds "$fuzz_seconds" \
            --module-only || status=1
        check_reports || status=1
        exit $status
    ) >"$log" 2>&1 || status=1
    cat "$scratch"/build/sanitize/reports/* >>"$log" 2>/dev/null || true
    return $status
}

echo "== the unchanged copy"
if ! short_pass "$scratch/clean.log"; then
    tail -n 60 "$scratch/clean.log"
    echo "the unchanged copy fails its sanitized pass: no fault can be shown" >&2
    exit 1
fi
echo "passes"

caught=0
for fault in "${faults[@]}"; do
    IFS='|' read -r name file find replace expected <<<"$fault"
    echo "== fault: $name ($file)"
    cp "$scratch/$file" "$scratch/$file.orig"
    FIND="$find" REPLACE="$replace" "$source_root/.venv/bin/python" - "$scratch/$file" <<'EOF'
import os, sys
path = sys.argv[1]
text = open(path).read()
find, replace = os.environ["FIND"], os.environ["REPLACE"].replace("\\n", "\n")
if text.count(find) != 1:
    sys.exit(f"{path}: the text to change is not there exactly once")
open(path, "w").write(text.replace(find, replace))
EOF
    log="$scratch/fault$caught.log"
    if short_pass "$log"; then
        echo "MISSED: the sanitized pass passed"
    elif grep -q "$expected" "$log"; then
        echo "caught: the pass failed with \"$expected\":"
        grep -m 3 "$expected" "$log" | cut -c1-200 | sed 's/^/    /'
        caught=$((caught + 1))
    else
        echo "MISSED: the pass failed, but without \"$expected\":"
        tail -n 20 "$log"
    fi
    mv "$scratch/$file.orig" "$scratch/$file"
    touch "$scratch/$file"  # newer than the faulty build, so that it is rebuilt
done
echo "$caught of ${#faults[@]} faults caught"
[ "$caught" -eq "${#faults[@]}" ]
