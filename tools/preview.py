"""Draws default patterns onto PNG contact sheets: ``kinetrope preview`` under its old name.

    python tools/preview.py 'euclid_*' bounce -o previews/euclid.png
"""

import sys

from kinetrope_tools.cli import main

if __name__ == "__main__":
    sys.exit(main(["preview", *sys.argv[1:]]))
