#!/usr/bin/env bash
# Sets everything up, then prints a few samples of every analytic pattern.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
"$python" "$project_root/tools/demo.py" "$@"
