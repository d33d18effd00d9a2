"""The beat family's records: 68 styles in 16 variants, named, timed, sized
and described by the rules of the two style tables and the variant table."""

import pytest

import kinetrope
from beat_scores import read_scores

CATALOGUE = kinetrope.catalogue()[15:]
BEAT = CATALOGUE[628:]
DASH = "\u2014"

FIRST_SET = (
    "four_floor house_classic house_shuffle house_jack techno_drive techno_toms techno_broken "
    "techno_polymeter ukg_two_step ukg_skip ukg_four_four speed_garage bassline grime_sparse "
    "grime_syncopated grime_half drill_tresillo drill_displaced drill_rolls amen_four_bar "
    "amen_no_ghosts jungle_chops jungle_ghosts jungle_switch dnb_two_step dnb_rolling dnb_half "
    "dubstep_half dubstep_skip trap_trills electro trance rave_breaks dembow disco amapiano"
).split()
SECOND_SET = (
    "jersey_five jersey_call footwork_triplet footwork_sparse funky_toms funky_syncopated "
    "broken_push broken_shuffle afro_bell afro_cross gqom_space gqom_exchange baile_toms "
    "baile_response reggae_one_drop reggae_steppers reggae_rockers son_clave_32 son_clave_23 "
    "psy_rolling psy_offbeat hard_reverse italo_machine electro_robot acid_percussion "
    "techno_rumble ukg_rim_shuffle dnb_push jungle_switchback amapiano_answer dancehall_space "
    "dembow_push"
).split()
BASE = ["bounce", "step", "orbit", "glide"]
EXTENDED = ["surge", "recoil", "flutter", "dive", "pendulum", "figure8", "box", "corkscrew",
            "spiral", "slalom", "spring", "ricochet"]
TITLES = dict(zip(BASE + EXTENDED, [
    "Kick-led bounce", "Snare side-step", "Percussion orbit", "Bass-and-phrase glide",
    "Forward surge", "Backbeat recoil", "Upper-percussion flutter", "Bass-led dive",
    "Weighted pendulum", "Woven figure eight", "Rounded corner tour", "Closed corkscrew",
    "Breathing spiral", "Drum slalom", "Causal spring", "Directional ricochet",
]))
EXTENDED_TAILS = dict(zip(EXTENDED, [
    "Kick thrust through depth with contrasting snare lift and hat detail.",
    "Snare pushes sideways; kick counters downward; delayed echo draws back.",
    "Hat and shaker tremors over a wider kick/snare arc.",
    "Bass drives a broad depth plunge with alternating drum counterweight.",
    "A hanging arc whose amplitude and angular speed respond to the score.",
    "Two crossing lobes expand at kicks with a lifted snare crossing.",
    "Rhythm-weighted phase travels around four softened corners.",
    "Two orbital turns ride a depth wave with percussion-driven radius.",
    "A contracting and expanding double-turn path with a continuous seam.",
    "S-shaped travel with kick lift, snare cutbacks and depth counter-motion.",
    "An event starts at rest, then drives a damped ringing excursion.",
    "Successive onsets send smooth excursions toward a cyclic series of targets.",
]))
SECOND_SET_BASE_TAILS = dict(zip(BASE, [
    "Original Vesper 05 kick-led downstroke and side accents.",
    "Original Vesper 05 alternating lateral kick and snare gestures.",
    "Original Vesper 05 event-weighted orbital speed, radius and depth.",
    "Original Vesper 05 continuous phrase path with bass excursions.",
]))
PERIODS = {"four_floor": 256, "techno_polymeter": 768, "amen_four_bar": 1024,
           "amen_no_ghosts": 1024, "jungle_switch": 1024}
KIND_B = set(
    "speed_garage bassline grime_half drill_tresillo drill_displaced drill_rolls amen_four_bar "
    "amen_no_ghosts dnb_half dubstep_half dubstep_skip trap_trills trance amapiano".split()
) | (set(SECOND_SET) - {"jersey_five", "baile_toms"})


def expected_order():
    order = [(key, v) for key in FIRST_SET for v in BASE]
    order += [(key, v) for key in FIRST_SET for v in EXTENDED]
    order += [(key, v) for key in SECOND_SET for v in BASE + EXTENDED]
    return order


def expected_dimensions(key, variant):
    flat = {"bounce", "step", "orbit"} if key == "four_floor" else set() if key in KIND_B else {"bounce", "step"}
    return 2 if variant in flat else 3


def split(description):
    """label, title and tail of a beat description."""
    label, rest = description.split(f" {DASH} ")
    title, tail = rest.split(". ", 1)
    return label, title, tail


def test_the_family_fills_the_table_in_its_three_blocks():
    assert len(CATALOGUE) == 1716 and len(BEAT) == 1088
    names = [e["name"] for e in BEAT]
    assert names == [f"beat_{key}_{v}" for key, v in expected_order()]
    assert len(set(names)) == 1088
    assert (names[0], names[144], names[576], names[-1]) == (
        "beat_four_floor_bounce", "beat_four_floor_surge", "beat_jersey_five_bounce",
        "beat_dembow_push_ricochet")


def test_periods_and_dimensions_follow_the_style_tables():
    for entry, (key, variant) in zip(BEAT, expected_order()):
        assert entry["period_pips"] == PERIODS.get(key, 512), entry["name"]
        assert entry["dimensions"] == expected_dimensions(key, variant), entry["name"]


@pytest.mark.parametrize(
    "name, period, dimensions",
    [
        ("beat_four_floor_orbit", 256, 2),
        ("beat_four_floor_glide", 256, 3),
        ("beat_house_classic_orbit", 512, 3),
        ("beat_house_classic_step", 512, 2),
        ("beat_techno_polymeter_glide", 768, 3),
        ("beat_amen_four_bar_bounce", 1024, 3),
        ("beat_jungle_switch_ricochet", 1024, 3),
        ("beat_four_floor_ricochet", 256, 3),
        ("beat_baile_toms_step", 512, 2),
        ("beat_jersey_call_step", 512, 3),
    ],
)
def test_named_periods_and_dimensions(name, period, dimensions):
    entry = next(e for e in BEAT if e["name"] == name)
    assert (entry["period_pips"], entry["dimensions"]) == (period, dimensions)


@pytest.mark.parametrize(
    "name, description",
    [
        ("beat_house_classic_bounce", f"House / kick-clap-offbeat hat {DASH} Kick-led bounce. "),
        ("beat_dnb_two_step_glide", f"Drum & bass / two-step foundation {DASH} Bass-and-phrase glide. "),
        ("beat_jersey_five_bounce",
         f"Jersey / five-kick foundation {DASH} Kick-led bounce. "
         "Original Vesper 05 kick-led downstroke and side accents."),
        ("beat_dnb_push_glide",
         f"DnB / kick pickup and ghost reply {DASH} Bass / phrase glide. "
         "Original Vesper 05 continuous phrase path with bass excursions."),
        ("beat_four_floor_spring",
         f"Four to the floor / bare pulse {DASH} Causal spring. "
         "An event starts at rest, then drives a damped ringing excursion."),
    ],
)
def test_quoted_descriptions(name, description):
    assert next(e for e in BEAT if e["name"] == name)["description"] == description


def test_descriptions_follow_the_rules():
    labels, base_tails = {}, {}
    for entry, (key, variant) in zip(BEAT, expected_order()):
        description = entry["description"]
        assert description.encode("utf-8").count(b" \xe2\x80\x94 ") == 1, entry["name"]
        label, title, tail = split(description)
        assert labels.setdefault(key, label) == label, entry["name"]
        second = key in SECOND_SET
        assert title == ("Bass / phrase glide" if second and variant == "glide" else TITLES[variant])
        if variant in EXTENDED:
            assert tail == EXTENDED_TAILS[variant], entry["name"]
        elif second:
            assert tail == SECOND_SET_BASE_TAILS[variant], entry["name"]
        else:
            assert base_tails.setdefault(key, tail) == tail, entry["name"]
    assert len(set(labels.values())) == 68
    # 18 first-set styles have no base tail: their four base descriptions end in ". "
    empty = [key for key, tail in base_tails.items() if tail == ""]
    assert len(empty) == 18
    assert sum(e["description"].endswith(". ") for e in BEAT) == 72


def test_every_score_lasts_its_styles_period():
    scores = read_scores()
    assert list(scores) == FIRST_SET + SECOND_SET
    for key, score in scores.items():
        assert score.period == PERIODS.get(key, 512), key
        assert all(0 <= pip < score.period for hits in score.lanes.values() for pip, _ in hits), key
