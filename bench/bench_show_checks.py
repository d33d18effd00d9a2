"""Checking a show file: misspelt pattern names, each answered with the closest names, and a large rig.

Prints, measured in this one run: the time per misspelt name of the indexed
lookup against difflib scoring every name (the same answers), the whole
check of a show of 1,000 fixtures each with its own misspelt pattern, and
the check of a valid show of 20,000 fixtures.
    python bench/bench_show_checks.py
"""

import difflib
import random
import time

import kinetrope
from kinetrope_tools.base.close_names import CloseNames
from kinetrope_tools.stage.show import ShowError, parse_show


def misspellings(count, seed=7):
    """Names of the catalogue with one letter dropped, each name misspelt once."""
    chooser = random.Random(seed)
    names = chooser.sample([e["name"] for e in kinetrope.catalogue()], count)
    words = []
    for name in names:
        place = chooser.randrange(len(name))
        words.append(name[:place] + name[place + 1:])
    return words


def show(patterns, universe_of=lambda i: 1 + i // 128):
    fixtures = "".join(f'[[fixture]]\nname = "f{i}"\npattern = "{p}"\nuniverse = {universe_of(i)}\n'
                       f'address = {1 + 4 * (i % 128)}\n' for i, p in enumerate(patterns))
    return '[output.sacn]\ndestination = "127.0.0.1"\n' + fixtures


def seconds(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def main():
    names = [e["name"] for e in kinetrope.catalogue()]
    words = misspellings(200)
    index = CloseNames(names)
    index.nearest("warm_up")  # the index is made on first use
    indexed = seconds(lambda: [index.nearest(w) for w in words])
    scored = seconds(lambda: [difflib.get_close_matches(w, names) for w in words])
    assert [index.nearest(w) for w in words] == [difflib.get_close_matches(w, names) for w in words]
    print(f"{len(names)} names, {len(words)} misspelt ones: indexed {indexed / len(words) * 1e3:.2f} ms a name, "
          f"difflib {scored / len(words) * 1e3:.2f} ms a name ({scored / indexed:.0f}x)")

    def refused():
        try:
            parse_show(show(misspellings(1000)), "bench.toml")
        except ShowError as error:
            assert len(error.problems) == 1000
    print(f"a show of 1000 fixtures, each with a misspelt pattern: checked in {seconds(refused):.2f} s")
    big = show([names[i % len(names)] for i in range(20_000)])
    print(f"a valid show of 20000 fixtures ({len(big) / 2**20:.1f} MiB): checked in "
          f"{seconds(lambda: parse_show(big, 'bench.toml')):.2f} s")


if __name__ == "__main__":
    main()
