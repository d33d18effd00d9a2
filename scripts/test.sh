#!/usr/bin/env bash
# Sets everything up, then runs every test: the C++ tests of the core and the
# Python tests of the module.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

# GoogleTest for the C++ tests, Chromium for the gallery's browser test, OLA
# (olad) for the stage tests and JACK (jackd2, jack-tools' jack-play) with
# PortAudio for the listening clock's tests come from Debian's packages.
# Without Chromium the browser test skips; without olad or JACK the tests
# against them skip.
missing=()
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v chromium >/dev/null 2>&1 || missing+=(chromium)
command -v olad >/dev/null 2>&1 || missing+=(ola)
command -v jackd >/dev/null 2>&1 || missing+=(jackd2)
command -v jack-play >/dev/null 2>&1 || missing+=(jack-tools)
ldconfig -p 2>/dev/null | grep -q libportaudio.so.2 || missing+=(libportaudio2)
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq libgtest-dev >/dev/null
    if ! command -v chromium >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq chromium >/dev/null ||
            echo "chromium could not be installed: the gallery's browser test will skip" >&2
    fi
    if ! command -v olad >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq ola >/dev/null ||
            echo "ola could not be installed: the stage tests against olad will skip" >&2
    fi
    if ! command -v jackd >/dev/null 2>&1 || ! command -v jack-play >/dev/null 2>&1 ||
            ! ldconfig -p 2>/dev/null | grep -q libportaudio.so.2; then
        DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq jackd2 jack-tools libportaudio2 >/dev/null ||
            echo "jackd2, jack-tools or libportaudio2 could not be installed: the listening clock's tests on a real audio path will skip" >&2
    fi
fi
cpp_build="$project_root/build/cpp-tests"
"$venv/bin/cmake" -S "$project_root" -B "$cpp_build" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$venv/bin/ninja" \
    -DKINETROPE_BUILD_MODULE=OFF -DKINETROPE_BUILD_CPP_TESTS=ON \
    -DKINETROPE_WARNINGS_AS_ERRORS=ON >/dev/null
"$venv/bin/cmake" --build "$cpp_build"
"$venv/bin/ctest" --test-dir "$cpp_build" --output-on-failure

cd "$project_root"
"$python" -m pytest "$@"
