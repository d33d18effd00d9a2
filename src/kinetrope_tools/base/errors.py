"""The one base of every error the package raises on purpose.

Each error also derives from the built-in kind it is (``ValueError`` for a bad
value, ``OSError`` for a device or file, ``LookupError`` for a name), so a
caller may catch either. Messages speak of values and files, never of a
command's flags: the command layer words them for the terminal.
"""


class KinetropeError(Exception):
    """Base of the errors of ``kinetrope_tools``."""
