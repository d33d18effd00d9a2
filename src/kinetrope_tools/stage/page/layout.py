"""Where each fixture is drawn and in which colour: the show's positions, else a tidy grid."""

from __future__ import annotations

from ..show import Show

# One colour a group, in the order the show lists its groups; fixtures of no
# group share the last.
PALETTE = ("#4cc9f0", "#f72585", "#ffd166", "#06d6a0", "#ff8c42", "#b388ff", "#ef476f", "#8ac926", "#1982c4",
           "#ffca3a")
UNGROUPED = "#c0c7d0"
_ROW = 8  # fixtures of no group, this many to a row


def colours(show: Show) -> list[str]:
    group_colour = {name: PALETTE[i % len(PALETTE)] for i, name in enumerate(show.groups)}
    return [group_colour[f.group] if f.group is not None else UNGROUPED for f in show.fixtures]


def positions(show: Show) -> list[tuple[float, float]]:
    """Every fixture's place seen from above: its own or its group's, else on a grid below the placed ones.

    The grid gives each group of unplaced fixtures a row of its own, one unit
    apart, centred on x = 0, and the fixtures of no group rows of eight.
    """
    placed = [f.position for f in show.fixtures]
    rows: list[list[int]] = []
    by_group: dict[str | None, list[int]] = {}
    for i, fixture in enumerate(show.fixtures):
        if placed[i] is None:
            by_group.setdefault(fixture.group, []).append(i)
    for group, members in by_group.items():
        size = len(members) if group is not None else _ROW
        rows += [members[start:start + size] for start in range(0, len(members), size)]
    given = [p for p in placed if p is not None]
    top = min(y for _, y in given) - 1.0 if given else 0.0
    result = list(placed)
    for r, row in enumerate(rows):
        for c, i in enumerate(row):
            result[i] = (c - (len(row) - 1) / 2, top - r)
    assert all(p is not None for p in result)
    return [p for p in result if p is not None]

