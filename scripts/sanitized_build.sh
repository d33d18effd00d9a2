#!/usr/bin/env bash
# Sourced by sanitize.sh and fuzz.sh: builds the core, its C++ tests and the
# module with AddressSanitizer and UndefinedBehaviorSanitizer in
# build/sanitize, apart from the normal build, and defines
#   run_sanitized ARGS...   runs the venv's Python on the sanitized module
#   check_reports           fails when any sanitizer wrote a report
# Expects the venv that setup.sh creates.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
venv="$project_root/.venv"
python="$venv/bin/python"

sanitized_build="$project_root/build/sanitize"
sanitizer_reports="$sanitized_build/reports"
sanitizers="-fsanitize=address,undefined"
"$venv/bin/cmake" -S "$project_root" -B "$sanitized_build" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$venv/bin/ninja" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer $sanitizers -fno-sanitize-recover=undefined" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" -DCMAKE_MODULE_LINKER_FLAGS="$sanitizers" \
    -DPython_EXECUTABLE="$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" \
    -DKINETROPE_BUILD_CPP_TESTS=ON -DKINETROPE_WARNINGS_AS_ERRORS=ON >/dev/null
"$venv/bin/cmake" --build "$sanitized_build"

rm -rf "$sanitizer_reports"
mkdir -p "$sanitizer_reports"
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1:log_path=$sanitizer_reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$sanitizer_reports/ubsan"

# The interpreter is not instrumented: the sanitizer runtime has to be loaded
# first, and libstdc++ with it, or C++ exceptions do not unwind through it.
sanitized_module_dir="$sanitized_build/src/python"
run_sanitized() {
    LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)" \
        PYTHONPATH="$sanitized_module_dir${PYTHONPATH:+:$PYTHONPATH}" \
        KINETROPE_EXPECT_MODULE_DIR="$sanitized_module_dir" "$python" "$@"
}

check_reports() {
    if compgen -G "$sanitizer_reports/*" >/dev/null; then
        local report
        for report in "$sanitizer_reports"/*; do
            echo "== sanitizer report $report" >&2
            head -n 80 "$report" >&2
        done
        return 1
    fi
}
