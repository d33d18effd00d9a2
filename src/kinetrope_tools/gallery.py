"""A static gallery of patterns: index.html with a card per pattern and a page per pattern.

Pictures are named by a hash of what they show (the pattern's rows and
metadata and the drawing code's version), so a second build draws only what
changed, and pictures that nothing shows any more are removed.
"""

from __future__ import annotations

import collections
import dataclasses
import hashlib
import multiprocessing
import os
import pathlib
from collections.abc import Iterable
from typing import TYPE_CHECKING

import jinja2
import numpy as np
from tqdm import tqdm  # type: ignore[import-untyped]

import kinetrope

from .patterns import Entry, PatternSet

if TYPE_CHECKING:  # drawing imports matplotlib, which only the workers need
    from .drawing import LargeView, Thumbnail

TEMPLATES = pathlib.Path(__file__).with_name("templates")
STATIC_FILES = ("gallery.css", "gallery.js")


def _drawing_version() -> str:
    """A hash of everything a picture depends on besides the pattern itself."""
    # Reading the files keeps matplotlib out of a build that draws nothing.
    import importlib.metadata

    code = b"".join(TEMPLATES.parent.joinpath(name).read_bytes() for name in ("drawing.py", "patterns.py"))
    matplotlib_version = importlib.metadata.version("matplotlib").encode()
    return hashlib.sha256(code + matplotlib_version).hexdigest()[:16]


@dataclasses.dataclass(frozen=True)
class Card:
    entry: Entry
    thumbnail: str
    large: str

    @property
    def name(self) -> str:
        return self.entry.name

    def __getattr__(self, name: str) -> object:
        # The templates read the entry's fields straight from the card.
        return getattr(self.entry, name)


def _key(*parts: bytes) -> str:
    digest = hashlib.sha256()
    for part in parts:
        digest.update(len(part).to_bytes(8, "little"))
        digest.update(part)
    return digest.hexdigest()[:24]


def _cards(patterns: PatternSet, version: str) -> list[Card]:
    cards = []
    for entry in patterns.entries:
        data = np.ascontiguousarray(patterns.rows(entry.name)).tobytes()
        thumbnail = _key(version.encode(), b"thumbnail", bytes([entry.dimensions]), data)
        text = "\0".join([entry.name, entry.description, entry.family]).encode()
        large = _key(version.encode(), b"large", bytes([entry.dimensions]), text, data)
        cards.append(Card(entry, thumbnail + ".png", large + ".png"))
    return cards


# Each worker process keeps one figure of each kind and draws every pattern on it.
_worker_pictures: tuple[Thumbnail, LargeView] | None = None


def _start_worker() -> None:
    global _worker_pictures
    from . import drawing

    _worker_pictures = (drawing.Thumbnail(), drawing.LargeView())


def _draw(task: tuple[str, Entry, np.ndarray, pathlib.Path]) -> str:
    kind, entry, rows, path = task
    assert _worker_pictures is not None
    thumbnail, large_view = _worker_pictures
    partial = path.with_suffix(".part")
    if kind == "thumbnail":
        thumbnail.save(rows, entry.dimensions, partial)
    else:
        large_view.save(entry, rows, partial)
    # A picture appears under its final name only once complete, so an
    # interrupted build never leaves a broken picture that a later build trusts.
    partial.replace(path)
    return entry.name


def _processes() -> int:
    return max(1, len(os.sched_getaffinity(0)))


def _draw_missing(
    tasks: list[tuple[str, Entry, np.ndarray, pathlib.Path]], processes: int, progress: bool
) -> None:
    if not tasks:
        return
    bar = tqdm(total=len(tasks), desc="drawing", unit="picture", disable=not progress)
    with bar:
        if processes == 1:
            _start_worker()
            for task in tasks:
                _draw(task)
                bar.update()
            return
        # spawn: a fresh interpreter per worker, whatever threads this one runs.
        context = multiprocessing.get_context("spawn")
        with context.Pool(processes, initializer=_start_worker) as pool:
            for _ in pool.imap_unordered(_draw, tasks, chunksize=4):
                bar.update()


def _write_if_changed(path: pathlib.Path, text: str) -> None:
    if not path.exists() or path.read_text(encoding="utf-8") != text:
        # A new file put in place whole: never a half-written page, and never
        # a write through a link that another gallery shares.
        partial = path.with_name(path.name + ".part")
        partial.write_text(text, encoding="utf-8")
        partial.replace(path)


def _counts(values: Iterable[object]) -> list[tuple[object, int]]:
    return sorted(collections.Counter(values).items(), key=lambda item: str(item[0]))


def build(
    output: pathlib.Path,
    library: kinetrope.PatternLibrary | None = None,
    *,
    processes: int | None = None,
    progress: bool = True,
    title: str = "kinetrope patterns",
) -> pathlib.Path:
    """Builds (or brings up to date) the gallery in ``output``; returns the path of its index.html."""
    patterns = PatternSet(library)
    images = output / "img"
    pages = output / "patterns"
    images.mkdir(parents=True, exist_ok=True)
    pages.mkdir(parents=True, exist_ok=True)

    cards = _cards(patterns, _drawing_version())
    tasks = []
    for card in cards:
        for kind, name in (("thumbnail", card.thumbnail), ("large", card.large)):
            if not (images / name).exists():
                tasks.append((kind, card.entry, patterns.rows(card.name), images / name))
    _draw_missing(tasks, processes or _processes(), progress)

    wanted = {c.thumbnail for c in cards} | {c.large for c in cards}
    for stale in images.iterdir():
        if stale.name not in wanted:
            stale.unlink()

    environment = jinja2.Environment(
        loader=jinja2.FileSystemLoader(TEMPLATES), autoescape=True, undefined=jinja2.StrictUndefined
    )
    index = environment.get_template("index.html.j2").render(
        title=title,
        cards=cards,
        families=_counts(c.family for c in cards),
        dimension_counts=_counts(c.dimensions for c in cards),
        pips_per_beat=kinetrope.PIPS_PER_BEAT,
    )
    _write_if_changed(output / "index.html", index)
    for name in STATIC_FILES:
        _write_if_changed(output / name, (TEMPLATES / name).read_text(encoding="utf-8"))

    page = environment.get_template("pattern.html.j2")
    names = {f"{c.name}.html" for c in cards}
    for position, card in enumerate(cards):
        previous = cards[position - 1].name if position > 0 else None
        following = cards[position + 1].name if position + 1 < len(cards) else None
        html = page.render(title=title, card=card, previous=previous, next=following)
        _write_if_changed(pages / f"{card.name}.html", html)
    for stale in pages.iterdir():
        if stale.name not in names:
            stale.unlink()
    return output / "index.html"
