"""The phrase families of the built-in table: meter_, stick_study_, canon_,
echo_, ladder_ and necklace_. Their records as the family rules state them,
and for each family the score structure that its description promises, read
back from the stored rows."""

from fractions import Fraction

import pytest

import kinetrope

CATALOGUE = kinetrope.catalogue()
POSITION = {entry["name"]: i for i, entry in enumerate(CATALOGUE)}
BEAT = kinetrope.PIPS_PER_BEAT
EIGHTH = BEAT // 2

METER_GROUPS = ["2_3", "3_2", "3_2_2", "2_3_2", "3_4", "4_3", "2_2_2_3", "2_3_2_2", "3_2_3_2",
                "3_3_2_3", "2_2_3_2_3", "3_3_3_2", "4_3_3", "3_4_4", "2_3_3_2_3", "3_3_3_4"]
LADDER_DENSITIES = ["2_3_4_6", "3_5_4_2", "2_5_3_7", "4_3_6_5", "2_4_7_3", "3_6_2_5", "5_3_7_4",
                    "6_4_3_2", "2_7_4_5", "7_3_5_2", "4_7_3_6", "5_2_6_3", "3_4_5_7", "6_5_4_3",
                    "7_5_3_4", "4_6_7_5"]
ECHO_KINDS = ["regular", "shrinking", "expanding", "crossed"]


def numbered(prefix):
    return [f"{prefix}{n:02d}" for n in range(1, 17)]


# name, period, dimensions, description: the family rules, restated.
FAMILIES = {
    "meter_": [(f"meter_{g}", 32 * sum(int(n) for n in g.split("_")), 3,
                "Group starts lean alternately left and right; quieter subdivisions mark the "
                "eighth-note grid.") for g in METER_GROUPS],
    "stick_study_": [(name, 512, 2,
                      "Original R/L movement study with accented group leads, followed by its "
                      "hand-swapped answer. Not an official rudiment transcription.")
                     for name in numbered("stick_study_")],
    "canon_": [(f"canon_{nn:02d}_{timing}", 512, 3,
                "A rational-beat motif passes between lateral and depth lanes, with an altered "
                "second-half response.") for nn in range(1, 9) for timing in ("close", "late")],
    "echo_": [(f"echo_{kind}_{n}", 512, 3,
               "An original decaying call and a differently directed answer; echo spacing is "
               "preserved as fractions.") for n in (3, 4, 5, 6) for kind in ECHO_KINDS],
    "ladder_": [(f"ladder_{d}", 512, 3,
                 "Four two-beat regions change subdivision density while accents mark region "
                 "starts.") for d in LADDER_DENSITIES],
    "necklace_": [(name, 512, 3,
                   "A hand-authored binary accent word; its complement moves the other side and "
                   "rising accents add depth.") for name in numbered("necklace_")],
}


def names(prefix):
    return [record[0] for record in FAMILIES[prefix]]


def lanes(name):
    period = CATALOGUE[POSITION[name]]["period_pips"]
    rows = [kinetrope.sample(name, p).as_tuple() for p in range(period)]
    return tuple([row[a] for row in rows] for a in range(3))


def peaks(lane, floor=0.05):
    """(pip, value) of every local extremum of a lane, read around the loop."""
    n = len(lane)
    found = []
    for p in range(n):
        here, before, after = abs(lane[p]), abs(lane[p - 1]), abs(lane[(p + 1) % n])
        if here > floor and here >= before and here > after:
            found.append((p, lane[p]))
    return found


def sign(v):
    return 1 if v > 0 else -1


@pytest.mark.parametrize("prefix", list(FAMILIES))
def test_records_follow_the_family_rule(prefix):
    stored = [(e["name"], e["period_pips"], e["dimensions"], e["description"])
              for e in CATALOGUE if e["name"].startswith(prefix)]
    assert stored == FAMILIES[prefix]
    where = [POSITION[name] for name in names(prefix)]
    assert where == list(range(where[0], where[0] + 16))


def test_canon_echo_ladder_and_necklace_follow_one_another():
    for earlier, later in [("canon_", "echo_"), ("echo_", "ladder_"), ("ladder_", "necklace_")]:
        assert POSITION[names(later)[0]] == POSITION[names(earlier)[-1]] + 1


@pytest.mark.parametrize("name", names("meter_"))
def test_meter_group_starts_alternate_and_outweigh_the_grid(name):
    x, _, z = lanes(name)
    groups = [int(g) for g in name.split("_")[1:]]
    starts = [EIGHTH * sum(groups[:i]) for i in range(len(groups))]
    eighths = range(0, len(x), EIGHTH)
    # One gesture on every eighth note and nowhere else; depth only at group starts.
    assert [p for p, _ in peaks(x)] == list(eighths)
    assert [p for p, _ in peaks(z)] == starts
    sides = [sign(x[p]) for p in starts]
    assert all(a == -b for a, b in zip(sides, sides[1:]))
    quieter = [abs(x[p]) for p in eighths if p not in starts]
    assert min(abs(x[p]) for p in starts) > max(quieter)


@pytest.mark.parametrize("name", names("ladder_"))
def test_ladder_regions_hold_their_stroke_counts_with_accented_starts(name):
    x, y, z = lanes(name)
    region = 2 * BEAT
    densities = [int(d) for d in name.split("_")[1:]]
    for lane in (x, y):
        found = peaks(lane)
        for r, count in enumerate(densities):
            inside = [(p, v) for p, v in found if r * region <= p < (r + 1) * region]
            expected = [r * region + Fraction(k * region, count) for k in range(count)]
            assert len(inside) == count, (r, inside)
            assert all(abs(p - e) <= 1 for (p, _), e in zip(inside, expected)), (r, inside)
            assert inside[0][0] == r * region
            assert abs(inside[0][1]) > max(abs(v) for _, v in inside[1:])
    assert [p for p, _ in peaks(z)] == [r * region for r in range(4)]
    # The phrase has one start: its first accent outweighs the other three.
    for lane in (x, y, z):
        assert abs(lane[0]) > max(abs(lane[r * region]) for r in (1, 2, 3))


@pytest.mark.parametrize("name", names("stick_study_"))
def test_stick_study_answers_with_hands_swapped(name):
    x, y, z = lanes(name)
    half = len(x) // 2
    assert all(x[p + half].hex() == (-x[p] + 0.0).hex() for p in range(half))
    assert all(y[p + half].hex() == y[p].hex() for p in range(half))
    strokes = peaks(x)
    # Strokes sit on the sixteenth-note grid; leads reach further and lift
    # higher than the taps between them, and the phrase opens on a lead.
    assert all(p % (BEAT // 4) == 0 for p, _ in strokes)
    levels = sorted({round(abs(v), 9) for _, v in strokes})
    assert len(levels) == 2
    leads = [p for p, v in strokes if round(abs(v), 9) == levels[1]]
    taps = [p for p, v in strokes if round(abs(v), 9) == levels[0]]
    assert min(y[p] for p in leads) > max(y[p] for p in taps)
    assert strokes[0][0] == 0 and 0 in leads


def test_stick_studies_are_sixteen_different_phrases():
    phrases = {tuple(lanes(name)[0][:256]) for name in names("stick_study_")}
    assert len(phrases) == 16


def necklace_word(x):
    return "".join("1" if x[p] > 0 else "0" for p in range(0, len(x), EIGHTH))


@pytest.mark.parametrize("name", names("necklace_"))
def test_necklace_word_and_complement_move_opposite_sides(name):
    x, y, z = lanes(name)
    steps = list(range(0, len(x), EIGHTH))
    assert [p for p, _ in peaks(x)] == steps
    word = necklace_word(x)
    assert "0" in word and "1" in word
    ones = [p for p in steps if word[p // EIGHTH] == "1"]
    zeros = [p for p in steps if word[p // EIGHTH] == "0"]
    assert min(y[p] for p in ones) > max(y[p] for p in zeros)
    rising = [p for p in ones if word[p // EIGHTH - 1] == "0"]
    assert [p for p, _ in peaks(z)] == rising


def test_necklace_words_are_different_necklaces():
    def rotations(word):
        return {word[i:] + word[:i] for i in range(len(word))}

    words = [necklace_word(lanes(name)[0]) for name in names("necklace_")]
    for i, word in enumerate(words):
        for other in words[i + 1:]:
            assert other not in rotations(word)


@pytest.mark.parametrize("name", names("echo_"))
def test_echo_answer_keeps_the_call_spacing(name):
    x, y, z = lanes(name)
    kind, n = name.split("_")[1], int(name.split("_")[2])
    answer = peaks(z)
    assert len(answer) == n
    call = [(p, v) for p, v in peaks(x) if p < answer[0][0]]
    assert len(call) == n
    # Both decay; the call strikes without depth, the answer mostly in depth.
    for gestures in (call, answer):
        assert all(abs(a) > abs(b) for (_, a), (_, b) in zip(gestures, gestures[1:]))
        # However many echoes, the last is still clearly drawn.
        assert abs(gestures[-1][1]) > 0.25 * abs(gestures[0][1])
    assert all(z[p] == 0.0 for p, _ in call)
    assert all(abs(z[p]) > abs(x[p]) for p, _ in answer)
    # The answer is the call's timing exactly, moved and turned: the call's
    # stretch of x, from halfway back to the answer before it to halfway on
    # to the answer, reappears scaled on z.
    shift = answer[0][0] - call[0][0]
    ratio = z[answer[0][0]] / x[call[0][0]]
    period = len(x)
    for p in range((answer[-1][0] - period) // 2, (call[-1][0] + answer[0][0]) // 2):
        assert abs(z[(p + shift) % period] - ratio * x[p % period]) < 1e-11
    gaps = [b - a for (a, _), (b, _) in zip(call, call[1:])]
    sides = [sign(v) for _, v in call]
    if kind in ("regular", "crossed"):
        assert max(gaps) - min(gaps) <= 1
    else:
        ratios = [b / a for a, b in zip(gaps, gaps[1:])]
        assert max(ratios) - min(ratios) < 0.1
        assert all(r < 0.9 for r in ratios) if kind == "shrinking" else all(r > 1.1 for r in ratios)
    if kind == "crossed":
        assert all(a == -b for a, b in zip(sides, sides[1:]))
    else:
        assert len(set(sides)) == 1


@pytest.mark.parametrize("nn", range(1, 9))
def test_canon_motif_passes_from_lateral_to_depth(nn):
    calls, entries = [], {}
    for timing in ("close", "late"):
        x, y, z = lanes(f"canon_{nn:02d}_{timing}")
        call, answer = peaks(x), peaks(z)
        assert call[0][0] == 0
        assert call[-1][0] < answer[0][0]
        # The answer opens with the call's notes (same spacing, sides and
        # weights) for at least half the motif, then goes its own way.
        kept = 0
        for (cp, cv), (ap, av) in zip(call, answer):
            if abs((ap - answer[0][0]) - cp) > 1 or abs(av - cv) > 0.02:
                break
            kept += 1
        assert 2 * kept >= len(call)
        assert kept < min(len(call), len(answer))
        calls.append([v.hex() for v in x])
        entries[timing] = answer[0][0]
    assert calls[0] == calls[1]
    assert entries["close"] < entries["late"]
