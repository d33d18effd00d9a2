"""Fixture profiles: which DMX channels a fixture has, in the order they follow its address, and fixed values.

A channel of one of a few kinds follows the pattern. Pan and tilt come as a
coarse channel alone (8 bits) or a coarse and a fine channel (16 bits,
coarse first, as every moving head lays them out); a dimmer or a zoom
channel follows z. Any other channel a real head has (shutter, lamp, colour,
gobo, speed...) is named freely and holds a fixed value, and a channel of a
following kind may be fixed too (a dimmer at full instead of following z).
"""

from __future__ import annotations

import re
from collections.abc import Mapping

from ..base.close_names import CloseNames

CHANNEL_KINDS = ("pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "zoom")
DIMMER = "dimmer"
DMX_VALUES = range(0, 256)

PROFILES: dict[str, tuple[str, ...]] = {
    "pan16_tilt16": ("pan", "pan_fine", "tilt", "tilt_fine"),
    "pan16_tilt16_dimmer": ("pan", "pan_fine", "tilt", "tilt_fine", "dimmer"),
    "pan16_tilt16_zoom": ("pan", "pan_fine", "tilt", "tilt_fine", "zoom"),
    "pan8_tilt8": ("pan", "tilt"),
    "pan8_tilt8_dimmer": ("pan", "tilt", "dimmer"),
    "pan8_tilt8_zoom": ("pan", "tilt", "zoom"),
}
DEFAULT_PROFILE = "pan16_tilt16"

# The name of a channel: a bare TOML key, so that `fixed = { shutter = 255 }` can name it.
CHANNEL_NAME = re.compile(r"[A-Za-z0-9_-]{1,64}")
_KINDS = CloseNames(CHANNEL_KINDS)


def check_channels(channels: object) -> str | None:
    """Why a list of channels is not a usable layout, or None if it is."""
    if not isinstance(channels, list) or not channels:
        return "must be a non-empty list of channel names"
    for name in channels:
        if not isinstance(name, str) or not CHANNEL_NAME.fullmatch(name):
            return "names a channel with other than 1 to 64 letters, digits, '_' or '-'"
    if len(channels) > 512:
        return f"has {len(channels)} channels; a universe has 512"
    seen: set[str] = set()
    for name in channels:
        if name in seen:
            return f"names channel {name!r} twice"
        seen.add(name)
    for fine in ("pan_fine", "tilt_fine"):
        if fine in channels and fine.removesuffix("_fine") not in channels:
            return f"has {fine} without {fine.removesuffix('_fine')}"
    return None


def check_fixed(fixed: object) -> str | None:
    """Why a table of fixed values is not usable, or None if it is (its names are checked against a layout later)."""
    if not isinstance(fixed, dict):
        return "must be a table of channel names and values, such as { shutter = 255 }"
    for name, value in fixed.items():
        if not CHANNEL_NAME.fullmatch(name):
            return "names a channel with other than 1 to 64 letters, digits, '_' or '-'"
        if not isinstance(value, int) or isinstance(value, bool) or value not in DMX_VALUES:
            return f"channel {name!r}: must be a whole number in 0..255"
    return None


def strangers(fixed: Mapping[str, int], channels: tuple[str, ...]) -> str | None:
    """Why ``fixed`` names a channel the layout lacks, or None if it names none."""
    for name in fixed:
        if name not in channels:
            close = CloseNames(channels).nearest(name, n=1)
            hint = f"; did you mean {close[0]}?" if close else f" (channels: {', '.join(channels)})"
            return f"no channel is named {name!r}{hint}"
    return None


def unset(channels: tuple[str, ...], fixed: Mapping[str, int]) -> str | None:
    """Why a layout leaves a channel without a value, or None if each follows the pattern or is fixed."""
    for name in channels:
        if name not in CHANNEL_KINDS and name not in fixed:
            close = _KINDS.nearest(name, n=1, cutoff=0.75)
            hint = f"; did you mean {close[0]}?" if close else ""
            return (f"channel {name!r} neither follows the pattern (as {', '.join(CHANNEL_KINDS)} do) "
                    f"nor has a value in 'fixed'{hint}")
    return None
