import math
import sys

import pytest

import kinetrope
from exact import hexes
from identifier_cases import INVALID as INVALID_NAMES
from identifier_cases import VALID as VALID_NAMES
from number_like import WithIndex, WithIntOnly

SampledRecording = kinetrope.SampledRecording

IDENTIFIER = "Invalid identifier"
TEMPO = "A finite positive BPM and beat origin are required"
LIMIT = "Empty recording or recording resource limit exceeded"
DUPLICATE = "Duplicate axis"
RAGGED = "Ragged recording"
SAMPLE = "Invalid sample"
OUTSIDE = "Pip outside non-looping recording"

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
MAX_VALUES = 2**23
ABOVE_ONE = math.nextafter(1.0, 2.0)
# The smallest tempo whose beat, 60 / bpm, is still finite.
SLOWEST_BPM = 60.0 / sys.float_info.max
assert math.isfinite(60.0 / SLOWEST_BPM) and not math.isfinite(60.0 / math.nextafter(SLOWEST_BPM, 0.0))


def message(**overrides):
    arguments = dict(name="rec", dimensions=["x"], samples=[[0.5]], bpm=120.0)
    arguments.update(overrides)
    with pytest.raises(ValueError) as caught:
        SampledRecording(**arguments)
    return str(caught.value)


def test_defaults_and_properties():
    recording = SampledRecording("r", ["x"], [[0.5]], 120.0)
    assert (recording.name, recording.dimensions, recording.sample_count) == ("r", ["x"], 1)
    assert (recording.bpm, recording.beat_zero_seconds, recording.start_pip) == (120.0, 0.0, 0)
    assert recording.sample(0) == [0.5]
    with pytest.raises(IndexError) as caught:
        recording.sample(1)
    assert str(caught.value) == OUTSIDE

    full = SampledRecording(
        name=b"take_2", dimensions=["x", "y", "roll"], samples=[[0.1, 0.2, 0.3]] * 5, bpm=97.5,
        beat_zero_seconds=-2.5, start_pip=-3,
    )
    assert (full.name, full.dimensions, full.sample_count) == ("take_2", ["x", "y", "roll"], 5)
    assert (full.bpm, full.beat_zero_seconds, full.start_pip) == (97.5, -2.5, -3)


@pytest.mark.parametrize("name", [n for _, n in VALID_NAMES], ids=[i for i, _ in VALID_NAMES])
def test_valid_identifiers(name):
    recording = SampledRecording(name, [name, "other"], [[0.0, 0.0]], 60.0)
    text = name.decode() if isinstance(name, bytes) else name
    assert recording.name == text
    assert recording.dimensions == [text, "other"]


@pytest.mark.parametrize("name", [n for _, n in INVALID_NAMES], ids=[i for i, _ in INVALID_NAMES])
def test_invalid_identifiers(name):
    assert message(name=name) == IDENTIFIER
    assert message(dimensions=["x", name], samples=[[0.0, 0.0]]) == IDENTIFIER


@pytest.mark.parametrize(
    "bpm, beat_zero, accepted",
    [
        (120.0, 0.0, True),
        (SLOWEST_BPM, 0.0, True),
        (1e308, 0.0, True),
        (5e-324 * 2**52, 0.0, False),  # smallest normal double
        (math.nextafter(SLOWEST_BPM, 0.0), 0.0, False),
        (1e-310, 0.0, False),
        (5e-324, 0.0, False),
        (0.0, 0.0, False),
        (-0.0, 0.0, False),
        (-120.0, 0.0, False),
        (math.inf, 0.0, False),
        (-math.inf, 0.0, False),
        (math.nan, 0.0, False),
        (120.0, -2.5, True),
        (120.0, -0.0, True),
        (120.0, 1e308, True),
        (120.0, math.inf, False),
        (120.0, -math.inf, False),
        (120.0, math.nan, False),
    ],
    ids=[
        "120",
        "slowest",
        "huge",
        "smallest_normal",
        "below_slowest",
        "1e-310",
        "denormal",
        "zero",
        "negative_zero",
        "negative",
        "inf",
        "-inf",
        "nan",
        "origin_negative",
        "origin_negative_zero",
        "origin_huge",
        "origin_inf",
        "origin_-inf",
        "origin_nan",
    ],
)
def test_tempo_and_origin(bpm, beat_zero, accepted):
    if accepted:
        recording = SampledRecording("r", ["x"], [[0.5]], bpm, beat_zero)
        assert (recording.bpm.hex(), recording.beat_zero_seconds.hex()) == (bpm.hex(), beat_zero.hex())
    else:
        assert message(bpm=bpm, beat_zero_seconds=beat_zero) == TEMPO


# Several rules broken at once: name, tempo, size, axes (each for the rule,
# then for a duplicate), rows (each for its length, then its values).
@pytest.mark.parametrize(
    "overrides, expected",
    [
        (dict(name="Bad", bpm=0.0, dimensions=[], samples=[]), IDENTIFIER),
        (dict(bpm=0.0, dimensions=[], samples=[]), TEMPO),
        (dict(beat_zero_seconds=math.nan, dimensions=["Bad"]), TEMPO),
        (dict(dimensions=[], samples=[[0.5]]), LIMIT),
        (dict(dimensions=["x"], samples=[]), LIMIT),
        (dict(dimensions=["Bad", "x", "x"], samples=[]), LIMIT),
        (dict(dimensions=["Bad"], samples=[[2.0]], start_pip=INT32_MAX), LIMIT),
        (dict(dimensions=["a", "a", "B"], samples=[[0.0] * 3]), DUPLICATE),
        (dict(dimensions=["B", "a", "a"], samples=[[0.0] * 3]), IDENTIFIER),
        (dict(dimensions=["a", "Bad", "Bad"], samples=[[0.0] * 3]), IDENTIFIER),
        (dict(dimensions=["a", "b", "a"], samples=[[0.0]]), DUPLICATE),
        (dict(dimensions=["a", "b", "b"], samples=[[math.nan, 0.0, 0.0]]), DUPLICATE),
        (dict(dimensions=["a", "b"], samples=[[2.0, 0.0], [0.0]]), SAMPLE),
        (dict(dimensions=["a", "b"], samples=[[2.0, 0.0, 0.0], [0.0, 0.0]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, 0.0], [0.0, 0.0], [0.0, 0.0, 0.0]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, math.inf], [2.0]]), SAMPLE),
        (dict(dimensions=["a", "b"], samples=[[]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0], [0.0]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, 0.0, 0.0]] * 3), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, 0.0], [0.0], [2.0, 0.0]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, 0.0], [0.0, 0.0, 2.0], [0.0, 0.0]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, 0.0], [0.0, 0.0], [0.0, 0.0, 0.0], [0.0, 0.0]]), RAGGED),
        (dict(dimensions=["a", "b"], samples=[[0.0, 0.0], [0.0, 2.0], [0.0, 0.0, 0.0]]), SAMPLE),
        (dict(dimensions=["a"], samples=[[0.5]] * 3 + [[0.5, 0.5]] + [[0.5]] * 3), RAGGED),
    ],
    ids=[
        "name_first",
        "tempo_before_size",
        "origin_before_axes",
        "no_axes",
        "no_rows",
        "size_before_axes",
        "start_pip_before_axes",
        "duplicate_before_later_bad_name",
        "bad_name_before_later_duplicate",
        "bad_name_repeated",
        "duplicate_before_ragged",
        "duplicate_before_bad_value",
        "bad_value_before_later_ragged_row",
        "ragged_before_own_bad_value",
        "ragged_last_row",
        "second_value_of_first_row",
        "empty_row",
        "all_rows_short",
        "all_rows_long",
        "ragged_middle_before_bad_value",
        "bad_value_inside_ragged_row",
        "ragged_after_two_whole_rows",
        "bad_value_before_ragged",
        "one_long_row_among_many",
    ],
)
def test_validation_order(overrides, expected):
    assert message(**overrides) == expected


@pytest.mark.parametrize(
    "value, accepted",
    [
        (-1.0, True),
        (1.0, True),
        (-0.0, True),
        (5e-324, True),
        (ABOVE_ONE, False),
        (-ABOVE_ONE, False),
        (math.inf, False),
        (-math.inf, False),
        (math.nan, False),
        (-math.nan, False),
    ],
    ids=["-1", "1", "-0", "denormal", "above_1", "below_-1", "inf", "-inf", "nan", "negative_nan"],
)
def test_value_range(value, accepted):
    rows = [[0.25, 0.5], [0.75, value]]
    if accepted:
        recording = SampledRecording("r", ["a", "b"], rows, 120.0)
        assert hexes(recording.sample(1)) == hexes([0.75, value])
    else:
        assert message(dimensions=["a", "b"], samples=rows) == SAMPLE


def test_sampling_a_range_without_wrap():
    rows = [[i / 8, -i / 8] for i in range(4)]
    recording = SampledRecording("r", ["a", "b"], rows, 120.0, start_pip=10)
    assert recording.sample_count == 4
    for row in range(4):
        assert hexes(recording.sample(10 + row)) == hexes(rows[row])
    for pip in [9, 14, 0, -1, INT32_MIN, INT32_MIN + 10, INT32_MAX]:
        with pytest.raises(IndexError) as caught:
            recording.sample(pip)
        assert str(caught.value) == OUTSIDE


@pytest.mark.parametrize(
    "start_pip, rows, accepted",
    [
        (2147483646, 1, True),
        (2147483647, 1, False),
        (INT32_MAX - 3, 3, True),
        (INT32_MAX - 3, 4, False),
        (INT32_MIN, 2, True),
        (-1, 5, True),
    ],
)
def test_start_pip_limit(start_pip, rows, accepted):
    samples = [[r / 8] for r in range(rows)]
    if accepted:
        recording = SampledRecording("r", ["a"], samples, 120.0, start_pip=start_pip)
        assert recording.start_pip == start_pip
        assert recording.sample(start_pip + rows - 1) == [(rows - 1) / 8]
        assert recording.sample(start_pip) == [0.0]
        if start_pip > INT32_MIN:
            with pytest.raises(IndexError):
                recording.sample(start_pip - 1)
    else:
        assert message(samples=samples, start_pip=start_pip) == LIMIT


# The value limit, 2**23, at the bound and one past it, for one axis and for
# an axis count that does not divide it.
@pytest.mark.parametrize(
    "row, rows, accepted",
    [
        ([0.5], MAX_VALUES, True),
        ([0.5], MAX_VALUES + 1, False),
        ([0.5, -0.5, 1.0], MAX_VALUES // 3, True),
        ([0.5, -0.5, 1.0], MAX_VALUES // 3 + 1, False),
    ],
    ids=["1x8388608", "1x8388609", "3x2796202", "3x2796203"],
)
def test_row_limit(row, rows, accepted):
    names = ["x", "y", "z"][: len(row)]
    samples = [row] * rows
    if accepted:
        recording = SampledRecording("r", names, samples, 120.0, start_pip=-5)
        assert recording.sample_count == rows
        assert recording.sample(-5 + rows - 1) == row
        with pytest.raises(IndexError):
            recording.sample(-5 + rows)
    else:
        assert message(dimensions=names, samples=samples) == LIMIT


@pytest.fixture(scope="module")
def most_axes():
    return [f"a{i}" for i in range(MAX_VALUES)]


def test_axis_limit(most_axes):
    row = [0.25] * (MAX_VALUES - 1) + [-1.0]
    recording = SampledRecording("r", most_axes, [row], 120.0)
    assert recording.sample_count == 1
    values = recording.sample(0)
    assert len(values) == MAX_VALUES and values[0] == 0.25 and values[-1] == -1.0
    dimensions = recording.dimensions
    assert len(dimensions) == MAX_VALUES and dimensions[-1] == f"a{MAX_VALUES - 1}"

    assert message(dimensions=most_axes + ["extra"], samples=[row + [0.0]]) == LIMIT
    assert message(dimensions=most_axes, samples=[row, row]) == LIMIT


def test_duplicate_among_the_most_axes(most_axes):
    names = most_axes[:-1] + ["a4194304"]
    assert message(dimensions=names, samples=[[0.0] * MAX_VALUES]) == DUPLICATE


def test_dimensions_is_a_new_list_each_time():
    recording = SampledRecording("r", ["a", "b"], [[0.0, 0.0]], 120.0)
    first = recording.dimensions
    first.append("c")
    first[0] = "z"
    assert recording.dimensions == ["a", "b"]
    assert recording.dimensions is not recording.dimensions


def test_sample_returns_a_new_list_each_time():
    recording = SampledRecording("r", ["a"], [[0.5]], 120.0)
    first = recording.sample(0)
    first[0] = 0.0
    assert recording.sample(0) == [0.5]


def generator_of(items):
    return (item for item in items)


@pytest.mark.parametrize(
    "dimensions, samples",
    [
        (("a", "b"), ((0.5, -0.5),)),
        (generator_of(["a", "b"]), generator_of([generator_of([0.5, -0.5])])),
        (dict.fromkeys(["a", "b"]).keys(), map(list, [(0.5, -0.5)])),
        ([b"a", bytearray(b"b")], zip([0.5], [-0.5])),
        (["a", "b"], [range(1, -2, -2)]),
        (["a", "b"], [[True, False]]),
    ],
    ids=["tuples", "generators", "keys_and_map", "bytes_names_and_zip", "range_row", "bool_values"],
)
def test_accepted_iterables(dimensions, samples):
    recording = SampledRecording("r", dimensions, samples, 120)
    assert recording.dimensions == ["a", "b"]
    assert recording.sample_count == 1
    assert recording.sample(0) in ([0.5, -0.5], [1.0, -1.0], [1.0, 0.0])


# Wrong types fail in conversion before the core runs, even when a value
# that the core would refuse comes first.
@pytest.mark.parametrize(
    "overrides",
    [
        dict(name="Bad", dimensions="x"),
        dict(dimensions=b"x"),
        dict(dimensions=[1]),
        dict(dimensions=[None]),
        dict(dimensions=["x\udc80"]),
        dict(dimensions={"x": 1}),
        dict(samples="0"),
        dict(samples=["0"]),
        dict(samples=[b"\x00"]),
        dict(samples=[0.5]),
        dict(samples=[["0.5"]]),
        dict(samples=[[WithIntOnly()]]),
        dict(samples=iter([[0.5]])),
        dict(bpm="120"),
        dict(bpm=None),
        dict(bpm=WithIntOnly()),
        dict(beat_zero_seconds="0"),
        dict(start_pip=1.0),
        dict(start_pip="1"),
        dict(start_pip=2**31),
        dict(start_pip=-(2**31) - 1),
        dict(name=None, bpm=0.0),
    ],
    ids=[
        "str_dimensions",
        "bytes_dimensions",
        "int_axis",
        "none_axis",
        "unencodable_axis",
        "dict_dimensions",
        "str_samples",
        "str_row",
        "bytes_row",
        "float_row",
        "str_value",
        "int_only_value",
        "plain_iterator",
        "str_bpm",
        "none_bpm",
        "int_only_bpm",
        "str_origin",
        "float_start_pip",
        "str_start_pip",
        "start_pip_2**31",
        "start_pip_-2**31-1",
        "none_name",
    ],
)
def test_conversion_failures(overrides):
    arguments = dict(name="rec", dimensions=["x"], samples=[[0.5]], bpm=120.0)
    arguments.update(overrides)
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        SampledRecording(**arguments)


def test_numbers_that_convert_to_double():
    recording = SampledRecording("r", ["x"], [[WithIndex(1)]], WithIndex(90), WithIndex(-2))
    assert (recording.sample(0), recording.bpm, recording.beat_zero_seconds) == ([1.0], 90.0, -2.0)


@pytest.mark.parametrize(
    "pip, row",
    [
        (True, 1),
        (False, 0),
        (WithIndex(2), 2),
        (2.0, None),
        (WithIntOnly(), None),
        ("1", None),
        (2**31, None),
        (-(2**31) - 1, None),
        (WithIndex(2**31), None),
    ],
    ids=["true", "false", "index_object", "float", "int_only", "str", "2**31", "-2**31-1", "index_2**31"],
)
def test_strict_pip(pip, row):
    recording = SampledRecording("r", ["a"], [[0.0], [0.5], [1.0]], 120.0)
    if row is None:
        with pytest.raises(TypeError, match="incompatible function arguments"):
            recording.sample(pip)
    else:
        assert recording.sample(pip) == [row / 2]
    assert recording.sample(pip=2) == [1.0]


def test_members_in_registration_order():
    public = [k for k in vars(SampledRecording) if not k.startswith("_") or k == "__init__"]
    assert public == [
        "__init__", "name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip", "sample",
    ]


@pytest.mark.parametrize(
    "attribute", ["name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip", "sample", "extra"]
)
def test_instances_are_read_only(attribute):
    recording = SampledRecording("r", ["a"], [[0.5]], 120.0, 1.5, 7)
    with pytest.raises(AttributeError):
        setattr(recording, attribute, 1)
    with pytest.raises(AttributeError):
        delattr(recording, attribute)
    assert (recording.name, recording.dimensions, recording.sample_count) == ("r", ["a"], 1)
    assert (recording.bpm, recording.beat_zero_seconds, recording.start_pip) == (120.0, 1.5, 7)
