#!/usr/bin/env bash
# A longer hostile-input fuzz pass against the sanitized module, on demand.
#   bash scripts/fuzz.sh [SECONDS] [SEED]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source "$(dirname "${BASH_SOURCE[0]}")/sanitized_build.sh"
status=0
run_sanitized "$project_root/fuzz/hostile_inputs.py" --seconds "${1:-600}" --seed "${2:-1}" || status=1
# With leak detection, on the module alone (see sanitize.sh).
run_sanitized_leak_checked "$project_root/fuzz/hostile_inputs.py" --seconds 30 --seed "${2:-1}" --module-only || status=1
check_reports || status=1
exit $status
