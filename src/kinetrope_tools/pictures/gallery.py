"""A static gallery of patterns: index.html with a card per pattern and a page per pattern.

Pictures are named by a hash of what they show (the pattern's rows and
metadata and the drawing code's version), so a second build draws only what
changed, and pictures that nothing shows any more are removed.

The gallery keeps a record of the files it wrote (MANIFEST, in the output
folder) and removes only those. It builds only in a new or empty folder or
in one that holds nothing but what it wrote, so a file of anyone else's is
never deleted; a link, in the folder or in place of one of its subfolders,
is never followed. Every file is written beside its name and renamed over
it when complete.

The record also keeps a hash of each default pattern's rows with a stamp of
the module file they came from: while that file is unchanged, an unchanged
build need not sample every default pattern again to name its pictures.
"""

from __future__ import annotations

import collections
import dataclasses
import hashlib
import json
import multiprocessing
import os
import pathlib
from collections.abc import Callable, Iterable
from typing import TYPE_CHECKING, Any

import jinja2
import numpy as np
from tqdm import tqdm  # type: ignore[import-untyped]

import kinetrope

from ..base.errors import KinetropeError
from ..base.files import Folder
from ..base.instances import library_or_none
from ..patterns.library import PACK_FAMILY, Entry, PatternSet

if TYPE_CHECKING:  # drawing imports matplotlib, which only the workers need
    from .drawing import LargeView, Thumbnail

TEMPLATES = pathlib.Path(__file__).with_name("templates")
STATIC_FILES = ("gallery.css", "gallery.js")
MANIFEST = ".kinetrope-gallery.json"
IMAGES = "img"
PAGES = "patterns"
# A file being written is NAME.part until it is complete.
PARTIAL = ".part"
# At most this many of the files that stop a build are named in its message.
NAMED = 3


class GalleryError(KinetropeError, ValueError):
    """An output folder the gallery will not build in: it holds files that the gallery did not write."""


def _drawing_version() -> str:
    """A hash of everything a picture depends on besides the pattern itself."""
    # Reading the files keeps matplotlib out of a build that draws nothing.
    import importlib.metadata

    package = TEMPLATES.parent.parent
    code = b"".join(package.joinpath(*name).read_bytes() for name in (("pictures", "drawing.py"), ("patterns", "library.py")))
    matplotlib_version = importlib.metadata.version("matplotlib").encode()
    return hashlib.sha256(code + matplotlib_version).hexdigest()[:16]


def _module_stamp() -> list[object]:
    """Where the module's file is, its size and its time: the default patterns' rows come from it."""
    path = os.path.realpath(kinetrope.__file__ or "")
    status = os.stat(path)
    return [path, status.st_size, status.st_mtime_ns]


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


def _rows_hashes(patterns: PatternSet, known: dict[str, str]) -> dict[str, str]:
    """A hash of every pattern's rows; a default pattern's from ``known`` where it is there."""
    hashes = {}
    for entry in patterns.entries:
        found = known.get(entry.name) if entry.family != PACK_FAMILY else None
        if found is None:
            found = _key(np.ascontiguousarray(patterns.rows(entry.name)).tobytes())
        hashes[entry.name] = found
    return hashes


def _cards(patterns: PatternSet, version: str, rows_hashes: dict[str, str]) -> list[Card]:
    cards = []
    for entry in patterns.entries:
        data = rows_hashes[entry.name].encode()
        thumbnail = _key(version.encode(), b"thumbnail", bytes([entry.dimensions]), data)
        text = "\0".join([entry.name, entry.description, entry.family]).encode()
        large = _key(version.encode(), b"large", bytes([entry.dimensions]), text, data)
        cards.append(Card(entry, thumbnail + ".png", large + ".png"))
    return cards


@dataclasses.dataclass
class _Record:
    """What MANIFEST holds: the files the gallery wrote (paths within the output folder), the rows' hashes,
    and for each page a key of what it shows with its size, so an unchanged page is neither drawn nor read."""

    files: set[str] = dataclasses.field(default_factory=set)
    module: list[object] | None = None
    rows: dict[str, str] = dataclasses.field(default_factory=dict)
    pages: dict[str, list[object]] = dataclasses.field(default_factory=dict)

    def dumps(self) -> bytes:
        document = {"files": sorted(self.files), "module": self.module, "rows": self.rows, "pages": self.pages}
        # Compact: json's fast encoder, which an indent would turn off.
        return (json.dumps(document, separators=(",", ":")) + "\n").encode()


def _valid_path(path: object) -> bool:
    """A path the gallery writes: a name in the output folder, or in its pictures' or pages' folder."""
    if not isinstance(path, str):
        return False
    folder, name = _place(path)
    return folder in ("", IMAGES, PAGES) and name not in ("", ".", "..") and "\0" not in name


def _read_record(root: Folder) -> _Record | None:
    """The record of an earlier build; None if there is none. A damaged record is refused."""
    if root.kind(MANIFEST) is None:
        return None
    try:
        if root.kind(MANIFEST) != "file":
            raise ValueError
        document = json.loads(root.read_bytes(MANIFEST))
        files, module, rows = document["files"], document["module"], document["rows"]
        if not (isinstance(files, list) and all(_valid_path(f) for f in files) and isinstance(rows, dict)):
            raise ValueError
    except (OSError, ValueError, KeyError, TypeError):
        raise GalleryError(
            f"{root.path}: {MANIFEST}, the gallery's record of the files it wrote, is damaged; "
            "build into a new or empty folder"
        ) from None
    known = {name: key for name, key in rows.items() if isinstance(key, str)}
    pages = document.get("pages")
    pages = {path: key for path, key in pages.items() if isinstance(key, list)} if isinstance(pages, dict) else {}
    return _Record(set(files), module if isinstance(module, list) else None, known, pages)


def _place(path: str) -> tuple[str, str]:
    """(folder, name) of a path the gallery writes: "" for the output folder itself."""
    folder, _, name = path.rpartition("/")
    return folder, name


def _survey(root: Folder, owned: set[str]) -> tuple[list[str], list[str], set[str]]:
    """What the output folder holds that the gallery did not write, what its own unfinished writes left,
    and which of its files are there."""
    foreign: list[str] = []
    unfinished: list[str] = []
    present: set[str] = set()

    def look(folder: Folder, prefix: str) -> None:
        for name, kind in sorted(folder.kinds().items()):
            path = prefix + name
            if prefix == "" and name in (IMAGES, PAGES):
                if kind == "folder":
                    with folder.subfolder(name) as inner:
                        look(inner, path + "/")
                else:
                    foreign.append(f"{path} (a {kind}, not a folder)")
            elif path == MANIFEST or path in owned:
                if kind == "file":
                    present.add(path)
                else:
                    foreign.append(f"{path} (a {kind})")
            elif path.endswith(PARTIAL) and path[: -len(PARTIAL)] in owned | {MANIFEST} and kind == "file":
                unfinished.append(path)
            else:
                foreign.append(path)

    look(root, "")
    return foreign, unfinished, present


def _remove(root: Folder, paths: Iterable[str]) -> None:
    """Removes files the gallery wrote (never through a link: each folder is opened without following one)."""
    for path in sorted(paths):
        folder, name = _place(path)
        if folder == "":
            root.remove(name)
        elif root.kind(folder) == "folder":
            with root.subfolder(folder) as inner:
                inner.remove(name)


def _check_folder(root: Folder) -> tuple[_Record, set[str]]:
    """The record of what the folder holds and which of its files are there, refusing (GalleryError) a folder
    with anything else in it."""
    record = _read_record(root)
    if record is None:
        record = _Record()
    foreign, unfinished, present = _survey(root, record.files)
    if foreign:
        named = ", ".join(foreign[:NAMED]) + (f" and {len(foreign) - NAMED} more" if len(foreign) > NAMED else "")
        raise GalleryError(
            f"{root.path} holds files the gallery did not write ({named}); "
            "build into a new or empty folder, or remove them"
        )
    _remove(root, unfinished)
    return record, present


# Each worker process keeps one figure of each kind and draws every pattern
# on it, into the pictures' folder, opened once and checked to be the one
# the build checked.
_worker_pictures: tuple[Thumbnail, LargeView] | None = None
_worker_folder: Folder | None = None
_worker_target: tuple[str, tuple[int, int]] | None = None


def _start_worker(images: str, identity: tuple[int, int]) -> None:
    global _worker_pictures, _worker_target
    from . import drawing

    _worker_pictures = (drawing.Thumbnail(), drawing.LargeView())
    _worker_target = (images, identity)


def _images() -> Folder:
    global _worker_folder
    if _worker_folder is None:
        assert _worker_target is not None
        path, identity = _worker_target
        folder = Folder.open(path)
        if folder.identity != identity:
            folder.close()
            raise OSError(f"{path} was replaced while the gallery was drawing into it")
        _worker_folder = folder
    return _worker_folder


def _stop_worker() -> None:
    global _worker_folder, _worker_pictures
    if _worker_folder is not None:
        _worker_folder.close()
    _worker_folder = _worker_pictures = None


def _draw(task: tuple[str, Entry, np.ndarray, str]) -> str:
    kind, entry, rows, name = task
    assert _worker_pictures is not None
    thumbnail, large_view = _worker_pictures
    # A picture appears under its final name only once complete, so an
    # interrupted build never leaves a broken picture that a later build trusts.
    with _images().replacing(name, name + PARTIAL) as file:
        if kind == "thumbnail":
            thumbnail.save(rows, entry.dimensions, file)
        else:
            large_view.save(entry, rows, file)
    return entry.name


def _processes() -> int:
    return max(1, len(os.sched_getaffinity(0)))


def _draw_missing(
    tasks: list[tuple[str, Entry, np.ndarray, str]], processes: int, progress: bool, images: Folder
) -> None:
    if not tasks:
        return
    target = (os.fspath(images.path), images.identity)
    bar = tqdm(total=len(tasks), desc="drawing", unit="picture", disable=not progress)
    with bar:
        if processes == 1:
            _start_worker(*target)
            try:
                for task in tasks:
                    _draw(task)
                    bar.update()
            finally:
                _stop_worker()
            return
        # spawn: a fresh interpreter per worker, whatever threads this one runs.
        context = multiprocessing.get_context("spawn")
        with context.Pool(processes, initializer=_start_worker, initargs=target) as pool:
            for _ in pool.imap_unordered(_draw, tasks, chunksize=4):
                bar.update()


def _write_if_changed(folder: Folder, name: str, text: str) -> int:
    """Writes ``text`` as ``name`` unless the file holds it already; returns its size."""
    data = text.encode("utf-8")
    if not (folder.kind(name) == "file" and folder.read_bytes(name) == data):
        folder.write_bytes(name, data, name + PARTIAL)
    return len(data)


class _Pages:
    """Writes pages that changed: a page whose key and size are as recorded is left unread and undrawn."""

    def __init__(self, record: _Record, present: set[str]) -> None:
        self.before, self.present = record.pages, present
        self.after: dict[str, list[object]] = {}

    def write(self, folder: Folder, path: str, key: str, render: Callable[[], str]) -> None:
        name = _place(path)[1]
        recorded = self.before.get(path)
        if recorded is not None and recorded[0] == key and path in self.present and folder.size(name) == recorded[1]:
            self.after[path] = recorded
            return
        self.after[path] = [key, _write_if_changed(folder, name, render())]


def _counts(values: Iterable[object]) -> list[tuple[object, int]]:
    return sorted(collections.Counter(values).items(), key=lambda item: str(item[0]))


def build(
    output: pathlib.Path,
    *,
    library: kinetrope.PatternLibrary | None = None,
    processes: int | None = None,
    progress: bool = True,
    title: str = "kinetrope patterns",
) -> pathlib.Path:
    """Builds (or brings up to date) the gallery in ``output``.

    Parameters
    ----------
    output : pathlib.Path
        The folder to build in, made if missing (it may be a link a user made).
    library : kinetrope.PatternLibrary, optional
        Whose own patterns join the defaults.
    processes : int, optional
        Drawing processes; by default one per core this process may use.
    progress : bool, optional
        Whether to show a progress bar while drawing.
    title : str, optional
        The title of every page.

    Returns
    -------
    pathlib.Path
        The path of the gallery's index.html.

    Raises
    ------
    GalleryError
        For a folder that holds anything the gallery did not write, before
        anything in it changes (a ``ValueError``).
    WrongTypeError
        For a ``library`` that is not a ``kinetrope.PatternLibrary``, before
        anything is made.
    """
    library = library_or_none(library)
    with Folder.open(output, create=True, follow_link=True) as root:
        record, present = _check_folder(root)
        patterns = PatternSet(library)
        stamp: list[Any] = _module_stamp()
        rows_hashes = _rows_hashes(patterns, record.rows if record.module == stamp else {})
        cards = _cards(patterns, _drawing_version(), rows_hashes)
        pictures = {c.thumbnail for c in cards} | {c.large for c in cards}
        pages = {f"{c.name}.html" for c in cards}
        wanted = (
            {"index.html", *STATIC_FILES}
            | {f"{IMAGES}/{name}" for name in pictures}
            | {f"{PAGES}/{name}" for name in pages}
        )
        # Everything this build may write is recorded before it is written,
        # so an interrupted build leaves nothing that the next one would
        # take for someone else's.
        if not wanted <= record.files:
            started = _Record(record.files | wanted, record.module, record.rows, record.pages)
            root.write_bytes(MANIFEST, started.dumps(), MANIFEST + PARTIAL)

        with root.subfolder(IMAGES) as images, root.subfolder(PAGES) as page_folder:
            tasks = []
            for card in cards:
                for kind, name in (("thumbnail", card.thumbnail), ("large", card.large)):
                    if f"{IMAGES}/{name}" not in present:
                        tasks.append((kind, card.entry, patterns.rows(card.name), name))
            _draw_missing(tasks, processes or _processes(), progress, images)

            environment = jinja2.Environment(
                loader=jinja2.FileSystemLoader(TEMPLATES), autoescape=True, undefined=jinja2.StrictUndefined
            )
            templates = _key(*(TEMPLATES.joinpath(name).read_bytes() for name in ("index.html.j2", "pattern.html.j2")))
            written = _Pages(record, present)
            index_key = _key(templates.encode(), title.encode(), *(repr(c).encode() for c in cards))
            written.write(root, "index.html", index_key, lambda: environment.get_template("index.html.j2").render(
                title=title,
                cards=cards,
                families=_counts(c.family for c in cards),
                dimension_counts=_counts(c.dimensions for c in cards),
                pips_per_beat=kinetrope.PIPS_PER_BEAT,
            ))
            for name in STATIC_FILES:
                _write_if_changed(root, name, (TEMPLATES / name).read_text(encoding="utf-8"))

            page = environment.get_template("pattern.html.j2")
            for position, card in enumerate(cards):
                previous = cards[position - 1].name if position > 0 else None
                following = cards[position + 1].name if position + 1 < len(cards) else None
                key = _key(templates.encode(), title.encode(), repr((card, previous, following)).encode())
                written.write(
                    page_folder, f"{PAGES}/{card.name}.html", key,
                    lambda: page.render(title=title, card=card, previous=previous, next=following),
                )
        _remove(root, record.files - wanted)
        defaults = {e.name for e in patterns.entries if e.family != PACK_FAMILY}
        kept = {name: key for name, key in rows_hashes.items() if name in defaults}
        root.write_bytes(MANIFEST, _Record(wanted, stamp, kept, written.after).dumps(), MANIFEST + PARTIAL)
    return output / "index.html"
