#!/usr/bin/env bash
# Sourced by the other scripts: finds Python 3.12, creates .venv beside the
# project, installs the build and test tools and builds and installs kinetrope.
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
venv="$project_root/.venv"

find_python312() {
    # A pyenv shim answers to python3.12 even when it cannot run it.
    if python3.12 -c "" >/dev/null 2>&1; then
        python3.12 -c "import sys; print(sys.executable)"
        return
    fi
    if command -v pyenv >/dev/null 2>&1; then
        local candidate
        for candidate in "$(pyenv root)"/versions/3.12.*/bin/python3.12; do
            if [ -x "$candidate" ]; then
                echo "$candidate"
                return
            fi
        done
    fi
    echo "kinetrope needs Python 3.12 (python3.12 on PATH or a pyenv 3.12.x)" >&2
    return 1
}

if [ ! -x "$venv/bin/python" ]; then
    python312=$(find_python312)
    "$python312" -m venv "$venv"
fi
python="$venv/bin/python"
"$python" -m pip install --quiet --upgrade pip
"$python" -m pip install --quiet "scikit-build-core>=0.10" "pybind11>=3.0,<4" cmake ninja
# Build in the project's own build folder and install into the venv with the
# runtime dependencies, the test tools and the optional Link and video extras; a rebuild
# only recompiles what changed.
KINETROPE_WARNINGS_AS_ERRORS=${KINETROPE_WARNINGS_AS_ERRORS:-ON} \
    "$python" -m pip install --quiet --no-build-isolation "$project_root[test,link,video]"
