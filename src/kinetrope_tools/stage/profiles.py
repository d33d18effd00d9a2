"""Fixture profiles: which DMX channels a fixture has, in the order they follow its address.

A channel is one of a few kinds. Pan and tilt come as a coarse channel alone
(8 bits) or a coarse and a fine channel (16 bits, coarse first, as every
moving head lays them out); a dimmer or a zoom channel follows z.
"""

from __future__ import annotations

CHANNEL_KINDS = ("pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "zoom")

PROFILES: dict[str, tuple[str, ...]] = {
    "pan16_tilt16": ("pan", "pan_fine", "tilt", "tilt_fine"),
    "pan16_tilt16_dimmer": ("pan", "pan_fine", "tilt", "tilt_fine", "dimmer"),
    "pan16_tilt16_zoom": ("pan", "pan_fine", "tilt", "tilt_fine", "zoom"),
    "pan8_tilt8": ("pan", "tilt"),
    "pan8_tilt8_dimmer": ("pan", "tilt", "dimmer"),
    "pan8_tilt8_zoom": ("pan", "tilt", "zoom"),
}
DEFAULT_PROFILE = "pan16_tilt16"


def check_channels(channels: object) -> str | None:
    """Why a list of channel kinds is not a usable layout, or None if it is."""
    if not isinstance(channels, list) or not channels:
        return "must be a non-empty list of channel kinds"
    for kind in channels:
        if kind not in CHANNEL_KINDS:
            return f"unknown channel kind {kind!r} (kinds: {', '.join(CHANNEL_KINDS)})"
    if len(set(channels)) != len(channels):
        return "names a channel kind twice"
    for fine in ("pan_fine", "tilt_fine"):
        if fine in channels and fine.removesuffix("_fine") not in channels:
            return f"has {fine} without {fine.removesuffix('_fine')}"
    return None
