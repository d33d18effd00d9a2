"""What every layer of the package stands on: pips, errors, files and optional imports.

Nothing here imports another part of the package.
"""
