"""Prints the groove measures of the beat family, variant by variant, over all
68 styles: twins, fill ratio, reversals a beat, and the measures particular to
some variants (lobes on the beat, travel, crossing centre, stillness, repeated
bars, cutbacks, role response of the radius).

    .venv/bin/python bench/beat_review.py [--samples builtin_samples.bin] [variant ...]

With --samples, the rows come from a table the generator has just written
(build/<tag>/src/data/generated/builtin_samples.bin, or a file written by
running generate_tables on a directory of one's own) instead of the module.
"""

import pathlib
import sys

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests"))

import beat_measures as m  # noqa: E402


def line(label, value):
    print(f"  {label:<34} {value}")


def review(variant):
    print(variant)
    pairs = m.twins(variant)
    with_twin = {s for a, b, _ in pairs for s in (a, b)}
    closest = min(pairs, key=lambda t: t[2]) if pairs else None
    line("twins (pairs / styles with a twin)", f"{len(pairs)} / {len(with_twin)}" + (f"; closest {closest}" if closest else ""))
    ratios = m.fill_ratios(variant)
    low = min(ratios, key=ratios.get)
    line("fill ratio (median over styles)", f"{m.fill_ratio(variant):.3f} over {len(ratios)} styles; lowest {low} {ratios[low]:.3f}")
    most, style = m.most_reversals(variant)
    line("reversals a beat (most)", f"{most} ({style})")
    blocks = {s: m.rows(s, variant) for s in m.STYLES}
    steps = max((float(np.abs(np.roll(b, -1, axis=0) - b).max()), s) for s, b in blocks.items())
    line("largest step a pip", f"{steps[0]:.3f} ({steps[1]})")
    repeats = sorted((m.beat_repeat(b), s) for s, b in blocks.items())
    line("repeat after a beat (least / size)", f"{repeats[0][0]:.3f} ({repeats[0][1]})")
    spreads = [m.repeat_bar_spread(s, variant) for s in m.STYLES]
    line("identical bars apart (median, max)", f"{np.median(spreads):.2f}, {max(spreads):.2f}")
    crossing = [s for s, b in blocks.items() if not m.crosses_centre(b)]
    line("styles whose x never crosses centre", f"{len(crossing)} {crossing[:4]}")
    still = [m.still_share(b) for b in blocks.values()]
    line("still share (min, median)", f"{min(still):.2f}, {np.median(still):.2f}")
    ys = [m.travel(b, 1) for b in blocks.values()]
    line("y travel (min, median)", f"{min(ys):.2f}, {np.median(ys):.2f}")
    if variant == "figure8":
        med, worst = m.lobe_drift()
        line("lobes off beats 1 and 3 (straight)", f"median {med:.1f}, worst {worst} pips")
    if variant == "slalom":
        missed = {s: m.missed_cutbacks(s) for s in m.STYLES}
        line("styles missing a cutback", str([s for s, v in missed.items() if v]))
    if variant in ("orbit", "box", "glide", "corkscrew", "spiral"):
        reach = [float(np.percentile(m.radius(b), 99)) for b in blocks.values()]
        line("x-y reach (99th pct: min, max)", f"{min(reach):.2f}, {max(reach):.2f}")
        for role in ("kick", "backbeat"):
            response = [m.radius_response(s, variant, role) for s in m.STYLES]
            line(f"radius change after {role} (median)", f"{np.median(response):+.3f}; "
                 f"outward in {sum(r > 0 for r in response)} styles")
    if variant == "glide":
        apart = [m.shift_distance(b, m.rows(s, "dive")) / m.size(b) for s, b in blocks.items()]
        line("distance from dive / size (min)", f"{min(apart):.2f}")


def main():
    args = sys.argv[1:]
    if args[:1] == ["--samples"]:
        m.read_generated(args[1])
        args = args[2:]
    for variant in args or m.VARIANTS:
        review(variant)


if __name__ == "__main__":
    main()
