#!/usr/bin/env bash
# Runs the C++ tests, the Python tests and a one-minute hostile-input fuzz
# pass against a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Any failure or sanitizer report fails the run. Run after scripts/test.sh,
# which sets up the venv.
#   bash scripts/sanitize.sh [FUZZ_SECONDS]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/sanitized_build.sh"
status=0
"$venv/bin/ctest" --test-dir "$sanitized_build" --output-on-failure || status=1
cd "$project_root"
# The browser and type-checker tests run other programs (Chromium, mypy),
# which would inherit the preloaded runtime; what they ask of the module the
# other tests cover. The music and stage tests run heavy third-party native
# code (librosa and numba, PyAV, OLA, JACK, network namespaces) under that runtime
# and ask nothing of the module's C++ beyond sample(), which the other tests
# cover.
run_sanitized -m pytest -q -p no:cacheprovider \
    --ignore=tests/pictures/test_gallery_browser.py --ignore=tests/module/test_stubs.py \
    --ignore=tests/pictures/test_render.py --ignore=tests/clocks/test_clocks.py --ignore=tests/clocks/test_link.py \
    --ignore=tests/clocks/test_midi.py --ignore=tests/clocks/test_listening.py --ignore=tests/music \
    --ignore=tests/stage || status=1
run_sanitized fuzz/hostile_inputs.py --seed 20261210 --seconds "${1:-60}" || status=1
# The leak check runs on a short pass of the module alone: after the
# companion package's drawing code has run, LeakSanitizer's tracer now and
# then faults on a thread that it leaves behind.
run_sanitized_leak_checked fuzz/hostile_inputs.py --seed 20261211 --seconds 15 --module-only || status=1
check_reports || status=1
exit $status
