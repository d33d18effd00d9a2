#!/usr/bin/env bash
# Sets everything up, prints a few samples of every analytic pattern and
# renders contact sheets of the analytic patterns into previews/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
"$python" "$project_root/tools/demo.py"
"$python" "$project_root/tools/preview.py" bounce sway circle figure_eight step_touch box_step helix \
    ochre_background '*_roll' single_paradiddle flam drag -o "$project_root/previews/analytic.png"
