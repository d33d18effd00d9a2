#!/usr/bin/env bash
# Sets everything up, builds the gallery of every pattern into gallery/ (only
# what changed since the last build is drawn again) and prints the path of
# its index.html.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
"$venv/bin/kinetrope" gallery -o "$project_root/gallery"
