import math

import pytest

import kinetrope
from exact import hexes
from number_like import WithIndex, WithIntOnly

SampledPattern = kinetrope.SampledPattern
PatternLibrary = kinetrope.PatternLibrary

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
PROBE_PIPS = [0, 1, 31, 63, 64, 200, 1023, 1024, -1, -64, -1000, INT32_MIN, INT32_MAX]


def default_entry(name):
    return next(e for e in kinetrope.catalogue() if e["name"] == name)


def default_rows(name):
    return [kinetrope.sample(name, pip).as_tuple() for pip in range(default_entry(name)["period_pips"])]


def exact_default(name):
    """A user pattern that repeats the default pattern of that name exactly."""
    return SampledPattern(name, default_entry(name)["description"], default_rows(name))


def own(name, period=4, description=None):
    rows = [[(i + 1) / (period + 1), -i / (period + 1), 0.0] for i in range(period)]
    return SampledPattern(name, description if description is not None else f"own {name}", rows)


def message(make_library):
    with pytest.raises(ValueError) as caught:
        make_library()
    return str(caught.value)


def test_empty_library_is_the_default_sampler():
    library = PatternLibrary()
    assert library.catalogue() == kinetrope.catalogue()
    assert PatternLibrary([]).catalogue() == kinetrope.catalogue()
    for entry in kinetrope.catalogue():
        for pip in PROBE_PIPS:
            assert hexes(library.sample(entry["name"], pip)) == hexes(kinetrope.sample(entry["name"], pip))


def test_catalogue_order_with_drops():
    given = [
        own("zeta"),
        exact_default("bounce"),
        own("alpha", period=3, description="second"),
        exact_default("weave_1_3"),
        SampledPattern("mid", "", [[0.0, 0.0, 0.5]]),
        exact_default("helix"),
    ]
    library = PatternLibrary(given)
    defaults = kinetrope.catalogue()
    assert library.catalogue() == defaults + [
        {"name": "zeta", "description": "own zeta", "period_pips": 4, "dimensions": 2},
        {"name": "alpha", "description": "second", "period_pips": 3, "dimensions": 2},
        {"name": "mid", "description": "", "period_pips": 1, "dimensions": 3},
    ]
    assert [list(e) for e in library.catalogue()[-3:]] == [["name", "description", "period_pips", "dimensions"]] * 3


def test_catalogue_is_new_on_every_call():
    library = PatternLibrary([own("p")])
    first = library.catalogue()
    first[-1]["name"] = "changed"
    first.pop(0)
    assert library.catalogue()[-1]["name"] == "p"
    assert len(library.catalogue()) == len(kinetrope.catalogue()) + 1


@pytest.mark.parametrize("name", ["bounce", "circle", "helix", "ochre_background", "five_stroke_roll", "weave_1_3"])
def test_exact_default_is_dropped(name):
    library = PatternLibrary([exact_default(name), own("extra")])
    names = [e["name"] for e in library.catalogue()]
    assert names.count(name) == 1
    assert library.catalogue() == kinetrope.catalogue() + [library.catalogue()[-1]]
    for pip in PROBE_PIPS:
        assert hexes(library.sample(name, pip)) == hexes(kinetrope.sample(name, pip))


def off_by_one_ulp(value):
    return math.nextafter(value, 0.0) if value != 0.0 else math.nextafter(0.0, 1.0)


def mutated(name, row, axis):
    rows = [list(r) for r in default_rows(name)]
    rows[row][axis] = off_by_one_ulp(rows[row][axis])
    return SampledPattern(name, default_entry(name)["description"], rows)


OVERRIDE_CASES = [
    ("bounce_x_first", lambda: mutated("bounce", 0, 0)),
    ("bounce_x_last", lambda: mutated("bounce", 63, 0)),
    ("bounce_x_peak", lambda: mutated("bounce", 32, 0)),
    ("bounce_unused_y", lambda: mutated("bounce", 10, 1)),
    ("bounce_unused_z", lambda: mutated("bounce", 63, 2)),
    ("circle_y", lambda: mutated("circle", 17, 1)),
    ("helix_z", lambda: mutated("helix", 100, 2)),
    ("weave_1_3_x", lambda: mutated("weave_1_3", 5, 0)),
    ("bounce_description_space", lambda: SampledPattern("bounce", "One-beat vertical bounce ", default_rows("bounce"))),
    ("bounce_description_case", lambda: SampledPattern("bounce", "one-beat vertical bounce", default_rows("bounce"))),
    ("bounce_description_empty", lambda: SampledPattern("bounce", "", default_rows("bounce"))),
    ("bounce_short_period", lambda: SampledPattern("bounce", "One-beat vertical bounce", default_rows("bounce")[:-1])),
    (
        "bounce_long_period",
        lambda: SampledPattern("bounce", "One-beat vertical bounce", default_rows("bounce") + default_rows("bounce")[:1]),
    ),
    ("bounce_two_periods", lambda: SampledPattern("bounce", "One-beat vertical bounce", default_rows("bounce") * 2)),
    (
        "weave_1_3_description",
        lambda: SampledPattern("weave_1_3", default_entry("weave_1_3")["description"] + ".", default_rows("weave_1_3")),
    ),
]


@pytest.mark.parametrize("make_pattern", [m for _, m in OVERRIDE_CASES], ids=[i for i, _ in OVERRIDE_CASES])
def test_override_refused(make_pattern):
    pattern = make_pattern()
    assert message(lambda: PatternLibrary([own("before"), pattern])) == (
        "Cannot override default pattern: " + pattern.name
    )


def test_negative_zero_equals_zero_in_the_override_check():
    # Offsets are compared by value: -0.0 == 0.0, so a default with an unused
    # axis may be repeated with negative zeros there.
    rows = [(x, -0.0, -0.0) for x, _, _ in default_rows("bounce")]
    library = PatternLibrary([SampledPattern("bounce", "One-beat vertical bounce", rows)])
    assert library.catalogue() == kinetrope.catalogue()
    assert hexes(library.sample("bounce", 3)) == hexes(kinetrope.sample("bounce", 3))


def test_default_names_match_by_exact_bytes():
    # Names near a default's name are ordinary names.
    library = PatternLibrary([own("bounce_"), own("bounc"), own("bounce2")])
    assert [e["name"] for e in library.catalogue()[-3:]] == ["bounce_", "bounc", "bounce2"]


def test_too_many_patterns_bound():
    patterns = [own(f"p{i}", period=1) for i in range(1025)]
    library = PatternLibrary(patterns[:1024])
    assert [e["name"] for e in library.catalogue()[-1024:]] == [f"p{i}" for i in range(1024)]
    assert library.sample("p1023", 7).x == 0.5
    assert message(lambda: PatternLibrary(patterns)) == "Too many patterns"


def test_too_many_is_checked_before_anything_else():
    # 1025 copies of one pattern, and a bad override first: still the count.
    one = own("p", period=1)
    assert message(lambda: PatternLibrary([mutated("bounce", 0, 0)] + [one] * 1024)) == "Too many patterns"


BIG = [[0.5, 0.0, -0.5]] * 65535


def big_patterns(count, prefix="big"):
    return [SampledPattern(f"{prefix}{i}", "", BIG) for i in range(count)]


@pytest.fixture(scope="module")
def sixteen_big():
    return big_patterns(16)


@pytest.mark.parametrize("extra, accepted", [(16, True), (17, False)])
def test_total_samples_bound(sixteen_big, extra, accepted):
    # 16 * 65535 + 16 == 2**20
    patterns = sixteen_big + [SampledPattern("tail", "", [[0.25, 0.0, 0.0]] * extra)]
    if accepted:
        library = PatternLibrary(patterns)
        assert [e["period_pips"] for e in library.catalogue()[-17:]] == [65535] * 16 + [16]
        assert library.sample("big15", -1).as_tuple() == (0.5, 0.0, -0.5)
        assert library.sample("tail", 15).x == 0.25
    else:
        assert message(lambda: PatternLibrary(patterns)) == "Pattern pack is too large"


@pytest.mark.parametrize("last, accepted", [(65487, True), (65488, False)])
def test_dropped_patterns_count_towards_the_total(sixteen_big, last, accepted):
    # 64 (the dropped bounce) + 15 * 65535 + 65487 == 2**20
    patterns = [exact_default("bounce")] + sixteen_big[:15] + [SampledPattern("last", "", BIG[:last])]
    if accepted:
        library = PatternLibrary(patterns)
        assert len(library.catalogue()) == len(kinetrope.catalogue()) + 16
    else:
        assert message(lambda: PatternLibrary(patterns)) == "Pattern pack is too large"


# Per pattern: moved-from, duplicate, size, override; the first failing
# check of the first failing pattern wins.
@pytest.mark.parametrize(
    "make_patterns, expected",
    [
        (lambda: [own("a"), own("b"), own("a")], "Duplicate pattern name: a"),
        (lambda: [own("a"), own("a", description="other")], "Duplicate pattern name: a"),
        (lambda: [exact_default("bounce"), exact_default("bounce")], "Duplicate pattern name: bounce"),
        (lambda: [exact_default("bounce"), mutated("bounce", 0, 0)], "Duplicate pattern name: bounce"),
        # the repeated name also takes the total past 2**20
        (lambda: [own("a", period=16)] + big_patterns(16) + [own("a")], "Duplicate pattern name: a"),
        (lambda: big_patterns(16) + [mutated("bounce", 0, 0)], "Pattern pack is too large"),
        (lambda: [mutated("bounce", 0, 0)] + big_patterns(16), "Cannot override default pattern: bounce"),
        (lambda: [mutated("circle", 0, 0), mutated("bounce", 0, 0)], "Cannot override default pattern: circle"),
        (lambda: [own("x"), mutated("helix", 1, 2), own("x")], "Cannot override default pattern: helix"),
    ],
    ids=[
        "duplicate_own",
        "duplicate_other_description",
        "duplicate_even_if_both_dropped",
        "duplicate_before_override",
        "duplicate_before_size",
        "size_before_override",
        "override_before_later_size",
        "first_override_reported",
        "override_before_later_duplicate",
    ],
)
def test_validation_order(make_patterns, expected):
    assert message(lambda: PatternLibrary(make_patterns())) == expected


def test_sample_looks_up_own_patterns_then_defaults():
    library = PatternLibrary([own("p", period=5), own("q", period=2), exact_default("bounce")])
    for pip in PROBE_PIPS:
        assert hexes(library.sample("p", pip)) == hexes(own("p", period=5).sample(pip))
        assert hexes(library.sample("q", pip)) == hexes(own("q", period=2).sample(pip))
        assert hexes(library.sample(b"q", pip)) == hexes(own("q", period=2).sample(pip))
        assert hexes(library.sample("sway", pip)) == hexes(kinetrope.sample("sway", pip))
    for unknown in ["nope", "p ", "P", "", "bounce_"]:
        with pytest.raises(ValueError) as caught:
            library.sample(unknown, 0)
        assert str(caught.value) == "Unknown dance rudiment: " + unknown


def test_sample_returns_new_offsets():
    library = PatternLibrary([own("p")])
    assert library.sample("p", 0) is not library.sample("p", 0)
    assert type(library.sample("p", 0)) is kinetrope.Offset3


@pytest.mark.parametrize(
    "pip, accepted_as",
    [
        (True, 1),
        (WithIndex(5), 5),
        (INT32_MAX, INT32_MAX),
        (INT32_MIN, INT32_MIN),
        (2.0, None),
        (WithIntOnly(), None),
        (2**31, None),
        (-(2**31) - 1, None),
        ("0", None),
    ],
    ids=["true", "index_object", "int32_max", "int32_min", "float", "int_only", "2**31", "-2**31-1", "str"],
)
def test_strict_pip(pip, accepted_as):
    library = PatternLibrary([own("p", period=7)])
    if accepted_as is None:
        with pytest.raises(TypeError, match="incompatible function arguments"):
            library.sample("p", pip)
        with pytest.raises(TypeError, match="incompatible function arguments"):
            library.sample("bounce", pip)
    else:
        assert hexes(library.sample("p", pip)) == hexes(own("p", period=7).sample(accepted_as))


def test_keywords():
    library = PatternLibrary(patterns=[own("p")])
    assert library.sample(name="p", pip_count=1).as_tuple() == own("p").sample(1).as_tuple()
    with pytest.raises(TypeError):
        PatternLibrary(items=[])
    with pytest.raises(TypeError):
        library.sample("p", pip=1)


def test_callers_patterns_stay_usable():
    given = [own("p", period=3), exact_default("bounce"), own("q")]
    before = [(p.name, p.description, p.period_pips, [hexes(p.sample(i)) for i in range(5)]) for p in given]
    first = PatternLibrary(given)
    second = PatternLibrary(given)  # the same objects again
    with pytest.raises(ValueError):
        PatternLibrary(given + [given[0]])  # and after a refusal
    after = [(p.name, p.description, p.period_pips, [hexes(p.sample(i)) for i in range(5)]) for p in given]
    assert after == before
    assert first.catalogue() == second.catalogue()


def test_accepted_sequences_and_subclasses():
    class Named(SampledPattern):
        pass

    sub = Named("sub", "from a subclass", [[0.0, 0.5, 0.0]])
    for patterns in [(own("p"), sub), (p for p in [own("p"), sub]), {sub: 0}.keys(), map(lambda p: p, [sub])]:
        library = PatternLibrary(patterns)
        assert library.catalogue()[-1] == {"name": "sub", "description": "from a subclass", "period_pips": 1, "dimensions": 2}
    assert sub.sample(0).y == 0.5


@pytest.mark.parametrize(
    "patterns",
    [None, "p", b"p", [None], [1], ["p"], [own("p"), None], [kinetrope.sample("bounce", 0)], own("p"), {"p": 1}],
    ids=["none", "str", "bytes", "none_item", "int_item", "str_item", "none_after_pattern", "offset_item", "single_pattern", "dict"],
)
def test_conversion_failures(patterns):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        PatternLibrary(patterns)


def test_non_utf8_description_fails_in_catalogue_only():
    library = PatternLibrary([SampledPattern("raw", b"\x80", [[0.5, 0.0, 0.0]])])
    assert library.sample("raw", 3).x == 0.5
    for _ in range(2):
        with pytest.raises(UnicodeDecodeError):
            library.catalogue()


def test_members_in_registration_order():
    public = [k for k in vars(PatternLibrary) if not k.startswith("_") or k == "__init__"]
    assert public == ["__init__", "sample", "catalogue"]


@pytest.mark.parametrize("attribute", ["sample", "catalogue", "patterns", "extra"])
def test_instances_take_no_attributes(attribute):
    library = PatternLibrary([own("p")])
    with pytest.raises(AttributeError):
        setattr(library, attribute, 1)
    assert library.sample("p", 0).as_tuple() == own("p").sample(0).as_tuple()
