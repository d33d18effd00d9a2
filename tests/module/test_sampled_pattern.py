import decimal
import fractions
import math

import pytest

import kinetrope
from exact import hexes
from identifier_cases import INVALID as INVALID_NAMES
from identifier_cases import VALID as VALID_NAMES
from number_like import WithFloat, WithIndex, WithIntOnly

SampledPattern = kinetrope.SampledPattern

NAME_MESSAGE = "Invalid pattern name"
COUNT_MESSAGE = "A pattern requires 1..65535 samples (one per pip)"
VALUE_MESSAGE = "Pattern samples must be finite and within [-1, 1]"

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
ABOVE_ONE = math.nextafter(1.0, 2.0)


def dimensions_of(pattern):
    # The class does not expose dimensions; a library's catalogue does.
    return kinetrope.PatternLibrary([pattern]).catalogue()[-1]["dimensions"]


@pytest.mark.parametrize("name", [n for _, n in VALID_NAMES], ids=[i for i, _ in VALID_NAMES])
def test_valid_names(name):
    pattern = SampledPattern(name, "", [[0.0, 0.0, 0.0]])
    expected = name.decode() if isinstance(name, bytes) else name
    assert pattern.name == expected


@pytest.mark.parametrize("name", [n for _, n in INVALID_NAMES], ids=[i for i, _ in INVALID_NAMES])
def test_invalid_names(name):
    with pytest.raises(ValueError) as caught:
        SampledPattern(name, "", [[0.0, 0.0, 0.0]])
    assert str(caught.value) == NAME_MESSAGE


POINT = [0.5, -0.5, 0.25]


# Several rules broken at once: the first in the order name, count, values
# is the one reported.
@pytest.mark.parametrize(
    "name, samples, message",
    [
        ("Bad", [], NAME_MESSAGE),
        ("Bad", [[2.0, 0.0, 0.0]], NAME_MESSAGE),
        ("Bad", [POINT] * 65536, NAME_MESSAGE),
        ("ok", [], COUNT_MESSAGE),
        ("ok", [[math.nan, 0.0, 0.0]] * 65536, COUNT_MESSAGE),
        ("ok", [POINT, [0.0, 0.0, math.inf], [2.0, 0.0, 0.0]], VALUE_MESSAGE),
        ("ok", [POINT] * 65535 + [[0.0, ABOVE_ONE, 0.0]], COUNT_MESSAGE),
        ("ok", [POINT] * 65534 + [[0.0, ABOVE_ONE, 0.0]], VALUE_MESSAGE),
    ],
    ids=[
        "name_before_empty",
        "name_before_value",
        "name_before_too_many",
        "empty",
        "count_before_value",
        "first_bad_point",
        "count_before_last_value",
        "value_in_last_of_65535",
    ],
)
def test_validation_order(name, samples, message):
    with pytest.raises(ValueError) as caught:
        SampledPattern(name, "", samples)
    assert str(caught.value) == message


@pytest.mark.parametrize("count, accepted", [(1, True), (65535, True), (65536, False)])
def test_sample_count_bound(count, accepted):
    samples = [[i / 65536, 0.0, 0.0] for i in range(count)]
    if accepted:
        pattern = SampledPattern("p", "", samples)
        assert pattern.period_pips == count
        assert pattern.sample(count - 1).x == (count - 1) / 65536
        assert pattern.sample(count).x == 0.0
    else:
        with pytest.raises(ValueError, match=r"^A pattern requires 1\.\.65535 samples \(one per pip\)$"):
            SampledPattern("p", "", samples)


@pytest.mark.parametrize("axis", [0, 1, 2], ids=["x", "y", "z"])
@pytest.mark.parametrize(
    "value, accepted",
    [
        (-1.0, True),
        (1.0, True),
        (-0.0, True),
        (math.nextafter(1.0, 0.0), True),
        (5e-324, True),
        (ABOVE_ONE, False),
        (-ABOVE_ONE, False),
        (math.inf, False),
        (-math.inf, False),
        (math.nan, False),
        (1e308, False),
    ],
    ids=["-1", "1", "-0", "below_1", "denormal", "above_1", "below_-1", "inf", "-inf", "nan", "huge"],
)
def test_component_range(axis, value, accepted):
    point = [0.0, 0.0, 0.0]
    point[axis] = value
    samples = [[0.5, 0.5, 0.5], point]
    if accepted:
        stored = SampledPattern("p", "", samples).sample(1)
        assert hexes(stored.as_tuple()) == hexes(point)
    else:
        with pytest.raises(ValueError) as caught:
            SampledPattern("p", "", samples)
        assert str(caught.value) == VALUE_MESSAGE


@pytest.mark.parametrize(
    "samples, dimensions",
    [
        ([[0.0, 0.0, 0.0]], 1),
        ([[0.9, 0.0, 0.0], [-1.0, 0.0, 0.0]], 1),
        ([[0.5, -0.0, -0.0], [0.0, -0.0, -0.0]], 1),
        ([[0.0, 0.0, 0.0], [0.0, 0.1, 0.0]], 2),
        ([[0.0, 0.0, 0.1], [0.0, 0.0, 0.0]], 3),
        ([[0.0, 0.0, -0.5], [0.0, 0.5, 0.0]], 3),
        ([[0.0, 0.5, 0.0], [0.0, 0.0, 5e-324]], 3),
    ],
    ids=["origin", "x_only", "negative_zeros", "y_used", "z_without_y", "z_then_y", "y_then_tiny_z"],
)
def test_dimensions(samples, dimensions):
    assert dimensions_of(SampledPattern("p", "", samples)) == dimensions


def test_sampling_wraps_by_floored_modulo():
    period = 64
    pattern = SampledPattern("p", "", [[i / 64, -i / 64, (i % 7) / 8] for i in range(period)])
    for pip in [0, 1, 63, 64, 65, -1, -63, -64, -65, 1000, -1000, INT32_MIN, INT32_MAX]:
        index = pip % period  # Python's % is the floored modulo
        assert hexes(pattern.sample(pip).as_tuple()) == hexes([index / 64, -index / 64, (index % 7) / 8]), pip


@pytest.mark.parametrize("period", [3, 7, 1000, 65535])
def test_sampling_odd_periods_at_the_pip_extremes(period):
    pattern = SampledPattern("p", "", [[i / period, 0.0, 0.0] for i in range(period)])
    for pip in [INT32_MIN, INT32_MIN + 1, INT32_MAX, -1, period, -period - 1]:
        assert pattern.sample(pip).x == (pip % period) / period, pip


def test_single_sample_is_returned_at_every_pip():
    pattern = SampledPattern("p", "", [[-0.0, 1.0, -1.0]])
    for pip in [INT32_MIN, -1, 0, 1, 12345, INT32_MAX]:
        assert hexes(pattern.sample(pip).as_tuple()) == hexes([-0.0, 1.0, -1.0])


def test_each_sample_is_a_new_offset():
    pattern = SampledPattern("p", "", [[0.5, 0.0, 0.0]])
    first, second = pattern.sample(0), pattern.sample(0)
    assert first is not second
    assert type(first) is kinetrope.Offset3


def generator_of(items):
    return (item for item in items)


# Every accepted kind of iterable, for the list of points and for a point.
TWO_POINTS = [(0.5, -0.25, 0.0), (0.0, 1.0, -1.0)]


@pytest.mark.parametrize(
    "make_samples, expected",
    [
        (lambda: [list(p) for p in TWO_POINTS], TWO_POINTS),
        (lambda: tuple(TWO_POINTS), TWO_POINTS),
        (lambda: generator_of(TWO_POINTS), TWO_POINTS),
        (lambda: [generator_of(p) for p in TWO_POINTS], TWO_POINTS),
        (lambda: map(list, TWO_POINTS), TWO_POINTS),
        (lambda: zip([0.5, 0.0], [-0.25, 1.0], [0.0, -1.0]), TWO_POINTS),
        (lambda: {0: TWO_POINTS[0], 1: TWO_POINTS[1]}.values(), TWO_POINTS),
        (lambda: [dict.fromkeys(p).keys() for p in TWO_POINTS], TWO_POINTS),
        (lambda: [range(1, -2, -1), [True, False, -1]], [(1.0, 0.0, -1.0), (1.0, 0.0, -1.0)]),
    ],
    ids=["lists", "tuples", "generator", "generator_points", "map", "zip", "dict_values", "dict_keys_points", "ints"],
)
def test_accepted_iterables(make_samples, expected):
    pattern = SampledPattern("p", "", make_samples())
    assert [hexes(pattern.sample(i).as_tuple()) for i in range(pattern.period_pips)] == [hexes(p) for p in expected]


def test_set_of_points_is_accepted():
    pattern = SampledPattern("p", "", {(0.5, -0.25, 0.0)})
    assert pattern.sample(0).as_tuple() == (0.5, -0.25, 0.0)


def test_numbers_that_convert_to_double():
    point = [fractions.Fraction(1, 4), decimal.Decimal("-0.5"), WithIndex(1)]
    assert SampledPattern("p", "", [point, [WithFloat(), 0, 0]]).sample(0).as_tuple() == (0.25, -0.5, 1.0)


# Wrong types fail in conversion before the core runs: an invalid name beside
# them is never reported.
@pytest.mark.parametrize(
    "name, description, samples",
    [
        ("Bad", "", [[0.0, 0.0]]),
        ("Bad", "", [[0.0, 0.0, 0.0, 0.0]]),
        ("Bad", "", [[]]),
        ("Bad", "", ["abc"]),
        ("Bad", "", [b"abc"]),
        ("Bad", "", "abc"),
        ("Bad", "", b"abc"),
        ("Bad", "", None),
        ("Bad", "", 3),
        ("Bad", "", iter([[0.0, 0.0, 0.0]])),
        ("Bad", "", [{0: 0.0, 1: 0.0, 2: 0.0}]),
        ("Bad", "", [[0.0, "0.5", 0.0]]),
        ("Bad", "", [[0.0, None, 0.0]]),
        ("Bad", "", [[0.0, WithIntOnly(), 0.0]]),
        ("Bad", "", [[0.0, 0.0, 0.0], [0.0, 0.0]]),
        ("Bad", "", generator_of([[0.0, 0.0]])),
        ("Bad", "", [generator_of([0.0, 0.0, 0.0, 0.0])]),
        (None, "", [[0.0, 0.0, 0.0]]),
        ("p", None, [[0.0, 0.0, 0.0]]),
        ("p", 5, [[0.0, 0.0, 0.0]]),
        ("p\udc80", "", [[0.0, 0.0, 0.0]]),
    ],
    ids=[
        "point_of_two",
        "point_of_four",
        "empty_point",
        "str_point",
        "bytes_point",
        "str_samples",
        "bytes_samples",
        "none_samples",
        "int_samples",
        "plain_iterator",
        "dict_point",
        "str_component",
        "none_component",
        "int_only_component",
        "second_point_short",
        "generator_of_short_point",
        "generator_point_of_four",
        "none_name",
        "none_description",
        "int_description",
        "unencodable_name",
    ],
)
def test_conversion_failures(name, description, samples):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        SampledPattern(name, description, samples)


def test_keywords():
    pattern = SampledPattern(samples=[[0.5, 0.0, 0.0]], description="d", name="p")
    assert (pattern.name, pattern.description, pattern.period_pips) == ("p", "d", 1)
    assert pattern.sample(pip_count=-1).x == 0.5
    with pytest.raises(TypeError):
        SampledPattern("p", "d", points=[[0.5, 0.0, 0.0]])
    with pytest.raises(TypeError):
        SampledPattern("p", "d")
    with pytest.raises(TypeError):
        pattern.sample(pip=0)


@pytest.mark.parametrize(
    "pip, index",
    [
        (True, 1),
        (False, 0),
        (WithIndex(-1), 2),
        (INT32_MAX, INT32_MAX % 3),
        (INT32_MIN, INT32_MIN % 3),
        (2.0, None),
        (1.5, None),
        (WithIntOnly(), None),
        (decimal.Decimal(1), None),
        ("1", None),
        (None, None),
        (2**31, None),
        (-(2**31) - 1, None),
        (WithIndex(2**31), None),
    ],
    ids=[
        "true",
        "false",
        "index_object",
        "int32_max",
        "int32_min",
        "float",
        "fraction_float",
        "int_only",
        "decimal",
        "str",
        "none",
        "2**31",
        "-2**31-1",
        "index_2**31",
    ],
)
def test_strict_pip(pip, index):
    pattern = SampledPattern("p", "", [[0.0, 0.0, 0.0], [0.5, 0.0, 0.0], [1.0, 0.0, 0.0]])
    if index is None:
        with pytest.raises(TypeError, match="incompatible function arguments"):
            pattern.sample(pip)
    else:
        assert pattern.sample(pip).x == index / 2


@pytest.mark.parametrize(
    "given, read",
    [
        ("", ""),
        ("Four-beat \u00fc loop", "Four-beat \u00fc loop"),
        (b"caf\xc3\xa9", "caf\u00e9"),
        (bytearray(b"raw"), "raw"),
        ("x" * 100_000, "x" * 100_000),
        ("tab\tand\nnewline\x00nul", "tab\tand\nnewline\x00nul"),
    ],
    ids=["empty", "unicode", "utf8_bytes", "bytearray", "long", "control_chars"],
)
def test_description_is_free_text(given, read):
    assert SampledPattern("p", given, [[0.0, 0.0, 0.0]]).description == read


def test_non_utf8_description_fails_only_when_read():
    pattern = SampledPattern(b"p", b"\xff\xfe", [[0.25, 0.0, 0.0]])
    assert pattern.name == "p"
    assert pattern.period_pips == 1
    assert pattern.sample(5).x == 0.25
    for _ in range(2):  # reading again fails again; nothing changed
        with pytest.raises(UnicodeDecodeError):
            pattern.description


def test_members_in_registration_order():
    public = [k for k in vars(SampledPattern) if not k.startswith("_") or k == "__init__"]
    assert public == ["__init__", "name", "description", "period_pips", "sample"]


@pytest.mark.parametrize("attribute", ["name", "description", "period_pips", "sample", "dimensions", "extra"])
def test_instances_are_read_only(attribute):
    pattern = SampledPattern("p", "d", [[0.0, 0.0, 0.0]])
    with pytest.raises(AttributeError):
        setattr(pattern, attribute, "q")
    with pytest.raises(AttributeError):
        delattr(pattern, attribute)
    assert (pattern.name, pattern.description, pattern.period_pips) == ("p", "d", 1)


def test_dimensions_not_exposed():
    assert not hasattr(SampledPattern("p", "", [[0.0, 0.0, 1.0]]), "dimensions")
