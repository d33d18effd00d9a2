"""Integer-pip rhythmic position functions.

Time is counted in whole pips, ``PIPS_PER_BEAT`` (64) to the beat. Every
pattern is a periodic function from a pip to an ``Offset3`` (x, y, z) in
[-1, 1]: sampling any pip, negative ones included, first wraps it into the
pattern's period (floor modulo). Pips are signed 32-bit integers,
-2147483648 to 2147483647; any other value, and any float, is refused with
TypeError. Pip parameters take ``int`` (``True`` is pip 1) and objects with
``__index__``; ``sample`` and the fifteen pattern functions also convert
objects with ``__int__`` that are not floats.
"""

from collections.abc import Iterable
from typing import Final, SupportsFloat, SupportsIndex, TypedDict, final

_Text = str | bytes | bytearray
_Number = SupportsFloat | SupportsIndex

class _CatalogueEntry(TypedDict):
    name: str
    description: str
    period_pips: int
    dimensions: int

PIPS_PER_BEAT: Final[int]
"""Pips in one beat: 64. A one-beat pattern has a period of 64 pips, a four-beat one 256."""

class SampledRecording:
    """Named axes of values recorded at consecutive pips, with a tempo and a beat origin.

    A recording does not loop: only pips from ``start_pip`` to
    ``start_pip + sample_count - 1`` can be sampled. The tempo and the beat
    origin are kept for the caller and take no part in sampling.
    """

    def __init__(
        self,
        name: _Text,
        dimensions: Iterable[_Text],
        samples: Iterable[Iterable[_Number]],
        bpm: _Number,
        beat_zero_seconds: _Number = 0.0,
        start_pip: SupportsIndex = 0,
    ) -> None:
        """Validates and keeps a recording; nothing about it changes afterwards.

        ``name`` and every axis name in ``dimensions`` are identifiers (1 to 128
        bytes of ``a``-``z``, ``0``-``9``, ``_``, starting with a letter).
        ``samples`` holds one row per pip, one value per axis, each finite and
        within [-1, 1]. ``bpm`` (beats a minute) is finite and above 0;
        ``beat_zero_seconds`` (seconds) is finite; ``start_pip`` is the
        32-bit pip of the first row. At most 8388608 values in all, and the
        pip after the last row must still fit 32 bits.

        Raises ValueError, checked in this order: "Invalid identifier",
        "A finite positive BPM and beat origin are required",
        "Empty recording or recording resource limit exceeded",
        "Invalid identifier" / "Duplicate axis" for an axis,
        "Ragged recording", "Invalid sample". TypeError if an argument has
        the wrong type (a ``str`` is never a list of axis names).
        """

    @property
    def name(self) -> str:
        """The recording's identifier."""

    @property
    def dimensions(self) -> list[str]:
        """The axis names in axis order; a new list on every access."""

    @property
    def sample_count(self) -> int:
        """The number of rows (recorded pips)."""

    @property
    def bpm(self) -> float:
        """The tempo in beats a minute, as given."""

    @property
    def beat_zero_seconds(self) -> float:
        """The time of beat 0 in seconds, as given."""

    @property
    def start_pip(self) -> int:
        """The pip of the first row (signed 32-bit)."""

    def sample(self, pip: SupportsIndex) -> list[float]:
        """The row recorded at ``pip``: one value per axis, in the order of ``dimensions``.

        ``pip`` is a 32-bit integer (floats and ``__int__``-only objects are
        refused with TypeError). Raises IndexError "Pip outside non-looping
        recording" for a pip before ``start_pip`` or after the last row;
        nothing wraps.
        """

@final
class Offset3:
    """An offset (x, y, z), returned by every periodic sampler; read-only.

    Python cannot construct one (``Offset3()`` raises TypeError); every call
    that returns one returns a new object.
    """

    @property
    def x(self) -> float:
        """The offset along the first axis, within [-1, 1]."""

    @property
    def y(self) -> float:
        """The offset along the second axis, within [-1, 1]; 0.0 in a 1-D pattern."""

    @property
    def z(self) -> float:
        """The offset along the third (depth) axis, within [-1, 1]; 0.0 unless the pattern is 3-D."""

    def as_tuple(self) -> tuple[float, float, float]:
        """``(x, y, z)`` as a new tuple of three floats."""

class SampledPattern:
    """A user pattern: one offset for every pip of one period, validated once."""

    def __init__(self, name: _Text, description: _Text, samples: Iterable[Iterable[_Number]]) -> None:
        """Validates and keeps a pattern; nothing about it changes afterwards.

        ``name`` is an identifier (1 to 128 bytes of ``a``-``z``, ``0``-``9``,
        ``_``, starting with a letter). ``description`` is free text.
        ``samples`` holds one point (x, y, z) per pip of the period, 1 to 65535
        points, every number finite and within [-1, 1]; the period in pips is
        their count.

        Raises ValueError, checked in this order: "Invalid pattern name",
        "A pattern requires 1..65535 samples (one per pip)",
        "Pattern samples must be finite and within [-1, 1]". TypeError if a
        point does not hold exactly three numbers or an argument has the
        wrong type.
        """

    @property
    def name(self) -> str:
        """The pattern's identifier."""

    @property
    def description(self) -> str:
        """The description, as given (UnicodeDecodeError if it was given as bytes that are not UTF-8)."""

    @property
    def period_pips(self) -> int:
        """The period in pips (64 a beat): the number of samples, 1 to 65535."""

    def sample(self, pip_count: SupportsIndex) -> Offset3:
        """The offset at ``pip_count``, wrapped into the period (pip -1 is the last sample).

        ``pip_count`` is a 32-bit integer; floats, ``__int__``-only objects
        and values outside 32 bits are refused with TypeError.
        """

class PatternLibrary:
    """A pack of user patterns, sampled by name together with the default patterns."""

    def __init__(self, patterns: Iterable[SampledPattern] = []) -> None:
        """Checks and copies ``patterns`` (the caller's objects stay usable).

        At most 1024 patterns and 1048576 samples in all, names pairwise
        different. A pattern may bear a default pattern's name only if it is
        exactly that pattern (same description, period and every sample, bit
        for bit); it is then dropped.

        Raises ValueError: "Too many patterns", "Duplicate pattern name: "
        + name, "Pattern pack is too large", "Cannot override default
        pattern: " + name. TypeError if an element is not a SampledPattern.
        """

    def sample(self, name: _Text, pip_count: SupportsIndex) -> Offset3:
        """The offset of the named pattern at ``pip_count``: the pack's own patterns first, then the defaults.

        The pip (a 32-bit integer, 64 a beat) is wrapped into the pattern's
        period. Raises ValueError "Unknown dance rudiment: " + name for a
        name that is neither; TypeError for a float, an ``__int__``-only
        object or a value outside 32 bits.
        """

    def catalogue(self) -> list[_CatalogueEntry]:
        """Every default entry (as ``catalogue()``), then one per own pattern in the order given.

        Each entry is a new dict with "name", "description", "period_pips"
        (pips, 64 a beat) and "dimensions" (1 to 3).
        """

def sample(name: _Text, pip_count: SupportsIndex) -> Offset3:
    """The offset of the named default pattern at ``pip_count``, wrapped into its period.

    ``pip_count`` is a 32-bit integer (64 a beat); floats and values outside
    32 bits are refused with TypeError. Names compare as exact bytes; an
    unknown one raises ValueError "Unknown dance rudiment: " + name.
    """

def catalogue() -> list[_CatalogueEntry]:
    """Every default pattern, analytic ones first: a new list of new dicts.

    Each has "name", "description", "period_pips" (pips, 64 a beat; a whole
    number of half beats from 64 to 1024) and "dimensions" (1: x only,
    2: x and y, 3: x, y and z).
    """

def bounce(pip: SupportsIndex, /) -> Offset3:
    """One-beat vertical bounce: 1 beat (64 pips), 1-D. The pip (32-bit, by position only) is wrapped into the period."""

def sway(pip: SupportsIndex, /) -> Offset3:
    """Two-beat side-to-side sway: 2 beats (128 pips), 1-D. The pip (32-bit, by position only) is wrapped into the period."""

def circle(pip: SupportsIndex, /) -> Offset3:
    """One-beat circular orbit: 1 beat (64 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def figure_eight(pip: SupportsIndex, /) -> Offset3:
    """Two-beat figure eight: 2 beats (128 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def step_touch(pip: SupportsIndex, /) -> Offset3:
    """Two-beat side step with a small lift: 2 beats (128 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def box_step(pip: SupportsIndex, /) -> Offset3:
    """Four-beat softened square path: 4 beats (256 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def helix(pip: SupportsIndex, /) -> Offset3:
    """Four-beat double-turn helix: 4 beats (256 pips), 3-D. The pip (32-bit, by position only) is wrapped into the period."""

def ochre_background(pip: SupportsIndex, /) -> Offset3:
    """Ochre/Nimbus four-beat accented background drift: 4 beats (256 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def single_stroke_roll(pip: SupportsIndex, /) -> Offset3:
    """Alternating R/L strokes with smooth attack and decay: 1 beat (64 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def double_stroke_roll(pip: SupportsIndex, /) -> Offset3:
    """RRLL strokes with a softer second motion: 1 beat (64 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def multiple_bounce_roll(pip: SupportsIndex, /) -> Offset3:
    """Decaying same-hand bounce clusters: 1 beat (64 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def single_paradiddle(pip: SupportsIndex, /) -> Offset3:
    """RLRR LRLL with accented lead strokes: 2 beats (128 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def flam(pip: SupportsIndex, /) -> Offset3:
    """Grace motion flowing into an opposite-hand primary motion: 1 beat (64 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def drag(pip: SupportsIndex, /) -> Offset3:
    """Two grace motions flowing into an opposite-hand primary motion: 1 beat (64 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""

def five_stroke_roll(pip: SupportsIndex, /) -> Offset3:
    """Two diddles resolving to an accented fifth motion: 2 beats (128 pips), 2-D. The pip (32-bit, by position only) is wrapped into the period."""
