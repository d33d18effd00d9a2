"""Prints a few samples of every analytic pattern, one beat apart in quarters."""

import kinetrope


def main() -> None:
    print(kinetrope.__doc__)
    print(f"{kinetrope.PIPS_PER_BEAT} pips per beat\n")
    quarter = kinetrope.PIPS_PER_BEAT // 4
    for entry in kinetrope.catalogue()[:15]:
        name = entry["name"]
        print(f"{name} ({entry['period_pips']} pips, {entry['dimensions']}D): {entry['description']}")
        for pip in range(0, 4 * quarter + 1, quarter):
            x, y, z = kinetrope.sample(name, pip).as_tuple()
            print(f"  pip {pip:3d}: ({x:+.4f}, {y:+.4f}, {z:+.4f})")


if __name__ == "__main__":
    main()
