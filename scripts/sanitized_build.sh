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
# libstdc++'s own checks: _GLIBCXX_ASSERTIONS tests every index of a vector,
# span, array and string against its size; _GLIBCXX_SANITIZE_VECTOR tells
# AddressSanitizer where a vector's elements end inside its capacity, which
# needs every vector to be built and grown by code compiled with it: so the
# C++ tests build GoogleTest from the sources Debian ships beside the library.
# The built-in rows, placed by the assembler beyond AddressSanitizer's sight,
# get their own bounds check.
checks="-D_GLIBCXX_ASSERTIONS -D_GLIBCXX_SANITIZE_VECTOR"
"$venv/bin/cmake" -S "$project_root" -B "$sanitized_build" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$venv/bin/ninja" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer $sanitizers -fno-sanitize-recover=undefined $checks" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" -DCMAKE_MODULE_LINKER_FLAGS="$sanitizers" \
    -DPython_EXECUTABLE="$python" -Dpybind11_DIR="$("$python" -m pybind11 --cmakedir)" \
    -DKINETROPE_BUILD_CPP_TESTS=ON -DKINETROPE_WARNINGS_AS_ERRORS=ON \
    -DKINETROPE_CHECKED_TABLE_READS=ON -DKINETROPE_GTEST_SOURCES=/usr/src/googletest/googletest >/dev/null
"$venv/bin/cmake" --build "$sanitized_build"

rm -rf "$sanitizer_reports"
mkdir -p "$sanitizer_reports"
# Leak detection is off by default and turned on for the fuzz pass alone
# (run_sanitized_leak_checked), which runs the module's code and little else.
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1:log_path=$sanitizer_reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$sanitizer_reports/ubsan"
export LSAN_OPTIONS="suppressions=$project_root/scripts/lsan_suppressions.txt:print_suppressions=0"

# The interpreter is not instrumented: the sanitizer runtime has to be loaded
# first, and libstdc++ with it, or C++ exceptions do not unwind through it.
# PYTHONMALLOC=malloc makes every Python object, the module's Offset3
# results among them, a block of its own from the sanitizer's malloc, with
# guard zones around it; Python's own small-object allocator would hide a
# read past an object inside its pools.
sanitized_module_dir="$sanitized_build/src/python"
run_sanitized() {
    LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)" \
        PYTHONMALLOC=malloc \
        PYTHONPATH="$sanitized_module_dir${PYTHONPATH:+:$PYTHONPATH}" \
        KINETROPE_EXPECT_MODULE_DIR="$sanitized_module_dir" "$python" "$@"
}

# As run_sanitized, with leak detection for a program that asks for the check
# itself (the fuzz pass does, through __lsan_do_recoverable_leak_check, while
# the interpreter still holds all it uses); the allocations listed in
# lsan_suppressions.txt are left out. No check at exit: the interpreter's own
# finalization leaves objects behind by design.
run_sanitized_leak_checked() {
    ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=0/detect_leaks=1:leak_check_at_exit=0}" run_sanitized "$@"
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
