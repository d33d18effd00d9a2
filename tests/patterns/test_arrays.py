"""rows and sample_many: numpy views of the module's own samples, bit for bit."""

import operator
import sys
import threading

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import rows, sample_many
from kinetrope_tools.patterns.arrays import MAX_PIPS, PatternTable
from number_like import WithIndex, WithIntOnly

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
EDGE_PIPS = [0, 1, 63, 64, 65, 255, 256, 1000, -1, -63, -64, -65, -1000, INT32_MIN, INT32_MAX, INT32_MIN + 1]


def looped(name, pips, sampler=kinetrope.sample):
    return np.array([sampler(name, int(p)).as_tuple() for p in pips])


def assert_same_bits(actual, expected):
    assert actual.dtype == np.float64
    assert actual.shape == expected.shape
    assert actual.tobytes() == np.asarray(expected, dtype=np.float64).tobytes()


# One name of each kind and period: analytic (power-of-two and not), tabulated, 3-D.
NAMES = ["bounce", "sway", "helix", "ochre_background", "flam", "lfo_breathe", "rhythm_group_223"]


@pytest.mark.parametrize("name", NAMES)
def test_sample_many_equals_sample_at_every_edge_pip(name):
    assert_same_bits(sample_many(name, EDGE_PIPS), looped(name, EDGE_PIPS))


@pytest.mark.parametrize("name", NAMES)
def test_rows_is_one_period_read_only_and_cached(name):
    entry = next(e for e in kinetrope.catalogue() if e["name"] == name)
    table = rows(name)
    assert table.shape == (entry["period_pips"], 3)
    assert_same_bits(table, looped(name, range(entry["period_pips"])))
    assert rows(name) is table
    with pytest.raises(ValueError):
        table[0, 0] = 0.5


def test_sample_many_random_pips_across_the_32_bit_range():
    pips = np.random.default_rng(7).integers(INT32_MIN, INT32_MAX, size=2000, endpoint=True)
    for name in ("circle", "path_rose_5", "tour_13_4"):
        assert_same_bits(sample_many(name, pips), looped(name, pips))


def test_sample_many_keeps_negative_zero():
    # A one-period pattern with -0.0 in it: a float comparison would miss a lost sign.
    library = kinetrope.PatternLibrary([kinetrope.SampledPattern("signed", "", [[-0.0, 0.5, -0.0], [0.25, -0.0, 0.0]])])
    got = sample_many("signed", [0, 1, -1, -2], library)
    assert_same_bits(got, looped("signed", [0, 1, -1, -2], library.sample))
    assert np.signbit(got[0, 0]) and np.signbit(got[2, 1])


@pytest.mark.parametrize(
    "pips",
    [
        np.array([5, -7], dtype=np.int8),
        np.array([5, 70000], dtype=np.uint32),
        np.array([True, False]),
        [3, -3],
        np.array([[0, 1], [2, 3]], dtype=np.int64),
        [WithIndex(5), 2**31 - 1, np.int64(-3)],
    ],
    ids=["int8", "uint32", "bool", "list", "2-d", "index-objects"],
)
def test_sample_many_accepts_every_integer_kind(pips):
    got = sample_many("sway", pips)
    flat = [operator.index(p) for p in np.asarray(pips, dtype=object).reshape(-1)]
    assert got.shape == np.asarray(pips).shape + (3,)
    assert_same_bits(got.reshape(-1, 3), looped("sway", flat))


@pytest.mark.parametrize(
    ("pips", "shape"),
    [([], (0, 3)), ((), (0, 3)), ([[], []], (2, 0, 3)), (np.array([], dtype=np.int16), (0, 3)),
     (np.zeros((0, 4), dtype=np.uint8), (0, 4, 3))],
    ids=["list", "tuple", "nested-lists", "int16-array", "uint8-0x4"],
)
def test_sample_many_of_no_pips(pips, shape):
    assert sample_many("sway", pips).shape == shape


def test_rows_cannot_be_made_writable():
    table = rows("sway")
    expected = looped("sway", range(table.shape[0]))
    for array in (table, table.base):
        with pytest.raises(ValueError):
            array.flags.writeable = True
        with pytest.raises(ValueError):
            array[0] = 9
    assert_same_bits(rows("sway"), expected)
    assert_same_bits(sample_many("sway", range(table.shape[0])), expected)


def test_threads_asking_first_get_the_same_rows():
    # A library of its own, so no table is built before the threads ask.
    patterns = [kinetrope.SampledPattern(f"p{i}", "", [[i / 100, 0.0, 0.0]] * 300) for i in range(40)]
    library = kinetrope.PatternLibrary(patterns)
    names = [p.name for p in patterns]
    threads_count = 8
    start = threading.Barrier(threads_count)
    seen = [[] for _ in range(threads_count)]

    def ask(slot):
        start.wait()
        seen[slot].extend(rows(name, library) for name in names)

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)  # switch threads as often as possible
    try:
        threads = [threading.Thread(target=ask, args=(slot,)) for slot in range(threads_count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        sys.setswitchinterval(interval)
    for position, name in enumerate(names):
        assert all(got[position] is seen[0][position] for got in seen), name


class MaskedThroughArray:
    """An array-like that hands numpy a masked array."""

    def __array__(self, dtype=None, copy=None):
        return np.ma.masked_array([1, 2], mask=[False, True])


@pytest.mark.parametrize(
    "pips",
    [np.ma.masked_array([1, 2, 3], mask=[False, True, False]), np.ma.masked_array([1, 2]), MaskedThroughArray()],
    ids=["masked", "masked-nothing-masked", "array-protocol"],
)
def test_masked_arrays_are_refused(pips):
    with pytest.raises(TypeError, match="masked array"):
        sample_many("sway", pips)


@pytest.mark.parametrize(
    "pips",
    [np.array([], dtype=np.float64), np.zeros((0, 3)), np.array([], dtype="datetime64[s]"),
     np.array([], dtype="timedelta64[s]"), np.array([], dtype=np.complex128), np.array([], dtype="U1")],
    ids=["float", "float-0x3", "datetime", "timedelta", "complex", "str"],
)
def test_the_dtype_is_judged_when_there_are_no_pips(pips):
    with pytest.raises(TypeError, match="pips must be integers"):
        sample_many("sway", pips)
    with pytest.raises(TypeError, match="pips must be integers"):
        sample_many("sway", np.ones((2,) + pips.shape[1:], dtype=pips.dtype))


@pytest.mark.parametrize(
    "pips", [np.broadcast_to(0, (10**12,)), np.broadcast_to(np.int8(3), (MAX_PIPS + 1,)),
             np.broadcast_to(0, (2**20, 2**20))],
    ids=["10**12", "one-past-the-limit", "2-d"],
)
def test_too_many_pips_are_refused_before_any_is_read(pips):
    with pytest.raises(ValueError, match=rf"too many pips at once \({pips.size}; at most {MAX_PIPS}\)"):
        sample_many("sway", pips)


@pytest.mark.parametrize(
    "pips",
    [
        [INT32_MAX + 1],
        [INT32_MIN - 1],
        np.array([2**40], dtype=np.int64),
        np.array([2**63], dtype=np.uint64),
        [2**70],
        [1.0],
        np.array([2.0]),
        ["3"],
        [WithIntOnly(3)],
        [WithIndex(2**31)],
    ],
    ids=["above-32-bit", "below-32-bit", "int64-2**40", "uint64-2**63", "python-2**70", "float", "float-array",
         "str", "int-only-object", "index-object-above-32-bit"],
)
def test_sample_many_refuses_what_sample_refuses(pips):
    with pytest.raises(TypeError):
        sample_many("sway", pips)


@pytest.mark.parametrize("name", ["Bounce", "", "lfo_breath", "nope"])
def test_unknown_names_raise_the_module_error(name):
    with pytest.raises(ValueError) as from_module:
        kinetrope.sample(name, 0)
    with pytest.raises(ValueError) as from_rows:
        rows(name)
    with pytest.raises(ValueError) as from_many:
        sample_many(name, [0])
    assert str(from_rows.value) == str(from_many.value) == str(from_module.value)


@pytest.fixture
def library():
    ramp = kinetrope.SampledPattern("ramp", "ramp", [[p / 7 - 0.5, 0.0, 0.0] for p in range(7)])
    lift = kinetrope.SampledPattern("lift", "lift", [[0.0, 0.1, p / 100] for p in range(100)])
    return kinetrope.PatternLibrary([ramp, lift])


@pytest.mark.parametrize("name", ["ramp", "lift", "sway", "lfo_breathe"])
def test_library_names_and_defaults_through_a_library(library, name):
    assert_same_bits(sample_many(name, EDGE_PIPS, library), looped(name, EDGE_PIPS, library.sample))
    assert rows(name, library) is rows(name, library)


def test_library_names_are_not_defaults(library):
    with pytest.raises(ValueError, match="Unknown dance rudiment: ramp"):
        rows("ramp")


def test_each_library_has_its_own_rows():
    first = kinetrope.PatternLibrary([kinetrope.SampledPattern("mine", "", [[0.5, 0, 0]])])
    second = kinetrope.PatternLibrary([kinetrope.SampledPattern("mine", "", [[-0.5, 0, 0], [0.5, 0, 0]])])
    assert rows("mine", first).tolist() == [[0.5, 0.0, 0.0]]
    assert rows("mine", second).tolist() == [[-0.5, 0.0, 0.0], [0.5, 0.0, 0.0]]


def test_a_pattern_table_holds_each_pattern_once_end_to_end(library):
    table = PatternTable(library)
    names = ["ramp", "sway", "lift", "helix"]
    places = [table.add(name) for name in names]
    assert [table.add(name) for name in reversed(names)] == places[::-1]  # a second add changes nothing
    assert table.table.shape == (sum(rows(n, library).shape[0] for n in names), 4)
    for name, (first, period) in zip(names, places):
        assert (table.first_row[name], table.period[name]) == (first, period)
        assert_same_bits(table.table[first : first + period, :3], rows(name, library))
        assert not table.table[first : first + period, 3].any()


def test_a_pattern_table_grows_without_changing_what_a_reader_holds():
    table = PatternTable()
    table.add("bounce")
    held = table.table
    copy = held.copy()
    for entry in kinetrope.catalogue()[:200]:
        table.add(entry["name"])
    assert np.array_equal(held, copy)
    assert np.array_equal(table.table[: len(copy)], copy)
    with pytest.raises(ValueError, match="read-only"):
        table.table[0, 0] = 1.0


def test_a_pattern_table_refuses_an_unknown_name_and_stays_as_it_was():
    table = PatternTable()
    table.add("sway")
    before = table.table
    with pytest.raises(ValueError, match="Unknown dance rudiment: nope"):
        table.add("nope")
    assert table.table is before and list(table.first_row) == ["sway"]


@pytest.mark.parametrize("name", [b"bounce", bytearray(b"bounce"), 7], ids=["bytes", "bytearray", "int"])
def test_a_name_that_is_not_text_is_a_type_error(name):
    with pytest.raises(TypeError, match="a pattern name must be a str"):
        rows(name)
