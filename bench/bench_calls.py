"""Cost of one call from Python, against a floor built here: a C-API function
that takes an int and returns a new instance of a three-double C type.

Prints ns per call and the ratio to the floor, all measured in this one run.
    python bench/bench_calls.py
"""

import timeit

import kinetrope
from call_floor import load_call_floor


def python_bounce(pip):
    phase = pip % 64
    return (1.0 - abs(phase * 0.015625 - 0.5) * 4.0, 0.0, 0.0)


def ns_per_call(function, args, number=200_000, repeat=5):
    # The call statement is compiled as written, so no argument unpacking or
    # wrapper frame is timed.
    statement = "f(" + ", ".join(repr(a) for a in args) + ")"
    timer = timeit.Timer(statement, globals={"f": function})
    best = min(timer.repeat(repeat=repeat, number=number))
    return best / number * 1e9


def beat_names():
    """The first, middle and last beat names in the bytewise name order."""
    names = sorted((e["name"] for e in kinetrope.catalogue() if e["name"].startswith("beat_")),
                   key=lambda n: n.encode())
    return names[0], names[len(names) // 2], names[-1]


def main():
    floor = load_call_floor()
    cases = [
        ("C-API floor triple_at(p)", floor.triple_at, (37,)),
        ("kinetrope.bounce(p)", kinetrope.bounce, (37,)),
        ("kinetrope.single_paradiddle(p)", kinetrope.single_paradiddle, (37,)),
        ("pure-Python bounce(p) -> tuple", python_bounce, (37,)),
        ("kinetrope.sample('bounce', p)", kinetrope.sample, ("bounce", 37)),
        ("kinetrope.sample('lfo_breathe', p)", kinetrope.sample, ("lfo_breathe", 37)),
        ("kinetrope.sample('weave_5_9', p)", kinetrope.sample, ("weave_5_9", 37)),
    ] + [(f"kinetrope.sample('{name}', p)", kinetrope.sample, (name, 37)) for name in beat_names()]
    # Interleave the rounds so that a noisy neighbour affects every case alike.
    results = {label: float("inf") for label, _, _ in cases}
    for _ in range(3):
        for label, function, args in cases:
            results[label] = min(results[label], ns_per_call(function, args))
    base = results[cases[0][0]]
    direct = results["kinetrope.bounce(p)"]
    print(f"{'call':58s} {'ns/call':>8s} {'x floor':>8s} {'x bounce(p)':>12s}")
    for label, _, _ in cases:
        print(f"{label:58s} {results[label]:8.1f} {results[label] / base:8.2f} {results[label] / direct:12.2f}")


if __name__ == "__main__":
    main()
