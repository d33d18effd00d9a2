"""The beat scores as the tests read them: as the generator writes them for the
companion package, with the hits placed by the same rules, worked out afresh
here (a sixteenth step s of bar b at 256 b + 16 s, an odd step late by
round(16 swing), a triplet step at 256 b + round(256 s / 12)), and the lanes
gathered into the roles that the motions follow."""

from dataclasses import dataclass

from kinetrope_tools.patterns import builtin_data

WEIGHTS = {"x": 1.0, "o": 0.65, "g": 0.35}
KICK = {"kick", "break kick"}
# The backbeat's stand-ins, nearest first; a bare kick pulse has none. A
# timeline (clave, bell, cowbell) leads before a rim, which then runs beneath it.
BACKBEAT_ORDER = [
    {"snare", "clap"},
    {"clave", "bell", "cowbell"},
    {"rim"},
    {"perc"},
    {"tom", "low tom", "high tom"},
    {"hat", "open hat", "ride", "crash", "shaker"},
    {"bass", "log drum", "rumble"},
]
# The upper percussion and its stand-ins, nearest first.
HATS_ORDER = [
    {"hat", "open hat", "ride", "crash", "shaker"},
    {"rim", "perc"},
    {"clave", "bell", "cowbell"},
    {"snare", "clap"},
    {"tom", "low tom", "high tom"},
    {"kick", "break kick"},
]
BASS = {"bass", "log drum", "rumble"}
TOMS = {"tom", "low tom", "high tom"}


@dataclass
class Score:
    key: str
    period: int
    lanes: dict  # lane name -> [(pip, weight)]
    swing: float = 0.0
    triplet: bool = False  # whether any lane runs in triplets

    @property
    def straight(self):
        """No swing and no triplet lane: every hit on the sixteenth grid."""
        return self.swing == 0.0 and not self.triplet

    def merged(self, names):
        """The hits of the named lanes, one per pip, the strongest where
        lanes coincide, in pip order."""
        strongest = {}
        for name, hits in self.lanes.items():
            if name in names:
                for pip, weight in hits:
                    strongest[pip] = max(strongest.get(pip, 0.0), weight)
        return sorted(strongest.items())

    @property
    def kick(self):
        return self.merged(KICK)

    @property
    def backbeat(self):
        return next((hits for hits in map(self.merged, BACKBEAT_ORDER) if hits), [])

    @property
    def hats(self):
        return next(hits for hits in map(self.merged, HATS_ORDER) if hits)

    @property
    def bass(self):
        return self.merged(BASS) or self.merged(KICK | TOMS)

    @property
    def all(self):
        return self.merged(set(self.lanes))


def _place(grid, triplet, swing):
    delay = round(16 * swing)
    hits = []
    for bar, cells in enumerate(grid.split(" |")):
        for step, symbol in enumerate(cells):
            if symbol == ".":
                continue
            offset = round(256 * step / 12) if triplet else 16 * step + (delay if step % 2 else 0)
            hits.append((256 * bar + offset, WEIGHTS[symbol]))
    return hits


def read_scores():
    """Every score in style order, keyed by style."""
    scores = {}
    for score in builtin_data.grooves():
        lanes = {}
        for lane in score.lanes:
            lanes.setdefault(lane.name, []).extend(_place(lane.grid, lane.triplet, score.swing))
        triplet = any(lane.triplet for lane in score.lanes)
        scores[score.key] = Score(score.key, 256 * score.bars, lanes, score.swing, triplet)
    return scores
