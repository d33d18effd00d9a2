"""Exact comparison of offsets: by the hex form of each double, so that -0.0
against 0.0, or a last-bit difference, is a failure."""


def hexes(values):
    """The exact hex form of every float in a tuple, an Offset3 or a list."""
    if hasattr(values, "as_tuple"):
        values = values.as_tuple()
    return tuple(float(v).hex() for v in values)
