"""The path families of the built-in table: ribbon_, contour_shaped_, scan_,
reach_, surface_, braid_, arm_coupled_ and dwell_phrase_.

The metadata is restated from the family rules (names, order, periods,
dimensions, descriptions); the properties check what each description promises
on the sampled rows.
"""

import math

import pytest

import kinetrope

PERIOD = 1024
HALF_BEAT = kinetrope.PIPS_PER_BEAT // 2


def numbered(prefix, two_d):
    """Members 01-16, the first `two_d` of them two-dimensional."""
    return [(f"{prefix}{i:02d}", 2 if i <= two_d else 3) for i in range(1, 17)]


PAIRS_8 = [(1, 2), (1, 3), (1, 4), (1, 5), (2, 3), (2, 5), (3, 4), (3, 5)]

# Family: (records as (name, dimensions), description); records in table order.
FAMILIES = {
    "ribbon_": (
        [(f"ribbon_{a}_{b}_{w}", 3) for w in ("slim", "deep") for a, b in PAIRS_8],
        "A curved elliptical spine with variable radial width and linked depth deflection.",
    ),
    "contour_shaped_": (
        numbered("contour_shaped_", 8),
        "Signed-power oval edges with local ripples and an asymmetric bow.",
    ),
    "scan_": (
        [
            (f"scan_{style}_{n}", 3 if style == "depth" else 2)
            for n in (3, 4, 5, 6)
            for style in ("flat", "bowed", "tilted", "depth")
        ],
        "An eased serpentine scan and an explicit outer return to the starting point.",
    ),
    "reach_": (
        [
            (f"reach_{shape}_{n}", 3 if shape == "lift" else 2)
            for n in (3, 4, 5, 7)
            for shape in ("scoop", "hook", "lift", "recoil")
        ],
        "Separate shaped reaches depart from and settle at a shared centre, without reset jumps.",
    ),
    "surface_": (
        [(f"surface_{a}_{b}_{band}", 3) for band in ("low", "wide") for a, b in PAIRS_8],
        "A varying-radius surface path with coupled longitude and latitude; "
        "all three coordinates are retained.",
    ),
    "braid_": (
        [
            (f"braid_{a}_{b}", 3)
            for a, b in PAIRS_8 + [(1, 6), (2, 7), (3, 7), (4, 5), (4, 7), (5, 6), (5, 7), (5, 8)]
        ],
        "An offset tube centreline and a rolling cross-section with a second depth ripple.",
    ),
    "arm_coupled_": (
        numbered("arm_coupled_", 8),
        "Tip position of two kinematically driven links; not a dynamics simulation or anatomical model.",
    ),
    "dwell_phrase_": (
        numbered("dwell_phrase_", 0),
        "Two unequal lift-and-hold gestures, a transfer and a settling return; "
        "holds have finite musical duration.",
    ),
}

# Record number of each family's first member in the full table.
FIRST_RECORD = {
    "ribbon_": 308,
    "contour_shaped_": 324,
    "scan_": 388,
    "reach_": 404,
    "surface_": 420,
    "braid_": 436,
    "arm_coupled_": 452,
    "dwell_phrase_": 468,
}


def rows_of(name):
    return [kinetrope.sample(name, p).as_tuple() for p in range(PERIOD)]


def names_of(family):
    return [name for name, _ in FAMILIES[family][0]]


def winding(points, centre):
    """Signed number of turns a closed loop of 2-D points makes about `centre`."""
    total = 0.0
    previous = math.atan2(points[-1][1] - centre[1], points[-1][0] - centre[0])
    for px, py in points:
        angle = math.atan2(py - centre[1], px - centre[0])
        total += (angle - previous + math.pi) % (2 * math.pi) - math.pi
        previous = angle
    return round(total / (2 * math.pi))


def mean_point(points):
    return tuple(sum(c) / len(points) for c in zip(*points))


def strongest_cycle(lane, up_to=20):
    """The number of cycles per loop with the largest Fourier magnitude."""
    n = len(lane)

    def magnitude(k):
        re = sum(v * math.cos(2 * math.pi * k * i / n) for i, v in enumerate(lane))
        im = sum(v * math.sin(2 * math.pi * k * i / n) for i, v in enumerate(lane))
        return math.hypot(re, im)

    return max(range(1, up_to + 1), key=magnitude)


def sign_changes(lane):
    return sum((lane[i - 1] < 0) != (lane[i] < 0) for i in range(len(lane)))


def constant_runs(rows, shortest):
    """Cyclic runs of identical consecutive rows at least `shortest` long, as (first pip, length)."""
    n = len(rows)
    first_change = next(p for p in range(n) if rows[p] != rows[p - 1])
    runs = []
    p = first_change
    while p < first_change + n:
        end = p
        while end + 1 < first_change + n and rows[(end + 1) % n] == rows[p % n]:
            end += 1
        if end - p + 1 >= shortest:
            runs.append((p % n, end - p + 1))
        p = end + 1
    return runs


# ---- metadata --------------------------------------------------------------


@pytest.mark.parametrize("family", list(FAMILIES))
def test_records_follow_the_family_rule(family):
    records, description = FAMILIES[family]
    entries = [e for e in kinetrope.catalogue() if e["name"].startswith(family)]
    assert [e["name"] for e in entries] == [name for name, _ in records]
    for entry, (name, dimensions) in zip(entries, records):
        assert entry["period_pips"] == PERIOD, name
        assert entry["dimensions"] == dimensions, name
        assert entry["description"] == description, name


def test_families_sit_together_in_table_order():
    position = {e["name"]: i for i, e in enumerate(kinetrope.catalogue())}
    # ribbon_ and contour_shaped_ are adjacent, and so are scan_ to dwell_phrase_
    # (other families, possibly still pending, come between the two groups).
    groups = [("ribbon_", "contour_shaped_"),
              ("scan_", "reach_", "surface_", "braid_", "arm_coupled_", "dwell_phrase_")]
    places = [[position[n] for f in group for n in names_of(f)] for group in groups]
    for group in places:
        assert group == list(range(group[0], group[0] + len(group)))
    assert places[0][-1] < places[1][0]


def test_record_numbers():
    catalogue = kinetrope.catalogue()
    for family, first in FIRST_RECORD.items():
        names = [e["name"] for e in catalogue[15 + first : 15 + first + 16]]
        assert names == names_of(family)


# ---- properties ------------------------------------------------------------


@pytest.mark.parametrize("a,b", PAIRS_8, ids=[f"{a}_{b}" for a, b in PAIRS_8])
def test_ribbon_spine_and_width_cycles(a, b):
    for width in ("slim", "deep"):
        rows = rows_of(f"ribbon_{a}_{b}_{width}")
        xy = [(x, y) for x, y, _ in rows]
        # The spine goes round a times; the depth follows the b swings across it.
        assert abs(winding(xy, mean_point(xy))) == a
        assert sign_changes([z for _, _, z in rows]) == 2 * b
    slim = rows_of(f"ribbon_{a}_{b}_slim")
    deep = rows_of(f"ribbon_{a}_{b}_deep")
    assert max(abs(z) for *_, z in deep) > 1.2 * max(abs(z) for *_, z in slim)


@pytest.mark.parametrize("name", names_of("contour_shaped_"))
def test_contour_is_a_single_oval_loop(name):
    xy = [(x, y) for x, y, _ in rows_of(name)]
    assert abs(winding(xy, mean_point(xy))) == 1


def centre_crossings(rows):
    """(pip, direction, height) where x changes sign, in pip order from 0."""
    found = []
    for p in range(1, len(rows)):
        (x0, y0, _), (x1, y1, _) = rows[p - 1], rows[p]
        if (x0 < 0) != (x1 < 0):
            found.append((p, 1 if x1 > x0 else -1, (y0 + y1) / 2))
    return found


@pytest.mark.parametrize("name", names_of("scan_"))
def test_scan_rows_then_outer_return(name):
    rows_wanted = int(name.rsplit("_", 1)[1])
    rows = rows_of(name)
    crossings = centre_crossings(rows)
    scan, back = crossings[:rows_wanted], crossings[rows_wanted:]
    # Row after row crosses the middle, alternately rightwards and leftwards,
    # each below the previous one, starting rightwards from the left.
    assert rows[0][0] < 0
    assert [d for _, d, _ in scan] == [1 if i % 2 == 0 else -1 for i in range(rows_wanted)]
    heights = [h for *_, h in scan]
    assert heights == sorted(heights, reverse=True) and len(set(heights)) == rows_wanted
    # After an odd number of rows the scan ends on the far side and the way
    # back crosses once, outside (below) every row; after an even number it
    # ends on the starting side and never crosses.
    assert len(back) == rows_wanted % 2
    for _, direction, height in back:
        assert direction == -1 and height < min(heights)


@pytest.mark.parametrize("name", names_of("reach_"))
def test_reaches_settle_at_a_shared_centre(name):
    count = int(name.rsplit("_", 1)[1])
    rows = rows_of(name)
    centre = rows[0]
    assert centre != (0.0, 0.0, 0.0)
    resting = [p for p in range(PERIOD) if rows[p] == centre]
    stays = [p for p in resting if rows[p - 1] != centre]  # each arrival (cyclic)
    assert len(stays) == count
    # Between two stays at the centre the point goes well away from it.
    for first, second in zip(stays, stays[1:] + [stays[0] + PERIOD]):
        gap = [rows[p % PERIOD] for p in range(first, second)]
        assert max(math.dist(r, centre) for r in gap) > 0.3


@pytest.mark.parametrize("a,b", PAIRS_8, ids=[f"{a}_{b}" for a, b in PAIRS_8])
def test_surface_band_and_longitude(a, b):
    highest = {}
    for band in ("low", "wide"):
        rows = rows_of(f"surface_{a}_{b}_{band}")
        radii = [math.hypot(*r) for r in rows]
        latitudes = [math.degrees(math.asin(r[1] / rr)) for r, rr in zip(rows, radii)]
        highest[band] = max(abs(v) for v in latitudes)
        # Circles the vertical axis a times, on a surface whose radius varies.
        assert abs(winding([(x, z) for x, _, z in rows], (0.0, 0.0))) == a
        assert max(radii) > 1.1 * min(radii)
        # The latitude swings b times up and down.
        assert sign_changes(latitudes) == 2 * b
        # It sweeps round its turns: no stall, no hairpin.
        speeds = sorted(math.dist(rows[p - 1], rows[p]) for p in range(PERIOD))
        assert speeds[0] > 0.15 * speeds[PERIOD // 2]
    assert highest["low"] < 30 < 50 < highest["wide"]


@pytest.mark.parametrize("name", names_of("braid_"))
def test_braid_centreline_and_roll(name):
    a, b = (int(v) for v in name.split("_")[1:])
    rows = rows_of(name)
    xy = [(x, y) for x, y, _ in rows]
    centre = mean_point(xy)
    assert math.dist(centre, (0.0, 0.0)) > 0.03  # the tube is set off the origin
    assert abs(winding(xy, centre)) == a
    assert strongest_cycle([z for *_, z in rows]) == b


@pytest.mark.parametrize("name", names_of("dwell_phrase_"))
def test_dwell_phrase_holds(name):
    rows = rows_of(name)
    home = rows[0]
    holds = constant_runs(rows, HALF_BEAT)
    lifted = [(p, n) for p, n in holds if rows[p][1] > home[1] + 0.2]
    resting = [(p, n) for p, n in holds if rows[p] == home]
    assert len(lifted) == 2 and len(resting) == 1 and len(holds) == 3
    # The two lifts reach different heights; each hold, from arrival to
    # departure, lasts a whole number of half beats, and no more than four beats.
    assert rows[lifted[0][0]][1] != rows[lifted[1][0]][1]
    for _, length in lifted:
        assert (length - 1) % HALF_BEAT == 0 and length - 1 <= 4 * kinetrope.PIPS_PER_BEAT
    # The lifts come first, then the point travels before settling home.
    assert lifted[0][0] < lifted[1][0] < resting[0][0]
