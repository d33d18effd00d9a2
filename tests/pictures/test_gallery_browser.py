"""The gallery as a user sees it: built from every pattern, opened in headless Chromium."""

import os
import pathlib
import shutil

import pytest

import kinetrope
from kinetrope_tools.pictures import gallery as gallery_module
from kinetrope_tools.pictures.gallery import GalleryError, build

ARTIFACTS = pathlib.Path(__file__).parents[2] / "build" / "test-artifacts"
# The gallery of the last run. Its pictures are named by a hash of what they
# show, so a build that starts from it still draws every picture that
# changed; a fresh clone draws them all.
EARLIER = pathlib.Path(__file__).parents[2] / "build" / "test-gallery"


def chromium():
    for name in ("chromium", "chromium-browser"):
        if path := shutil.which(name):
            return path
    pytest.skip("no Chromium on this machine: scripts/test.sh installs Debian's chromium package")


def user_pattern(lift):
    return kinetrope.SampledPattern("my_lift", "A user pattern from a pack", [[0.0, lift, 0.0], [0.0, -lift, 0.0]])


LIBRARY = kinetrope.PatternLibrary([user_pattern(0.5)])
CATALOGUE = LIBRARY.catalogue()


@pytest.fixture(scope="module")
def gallery(tmp_path_factory):
    output = tmp_path_factory.mktemp("gallery") / "site"
    if EARLIER.is_dir():
        # Linked, not copied: the gallery never writes into a file, it puts
        # a new one in its place, so the earlier gallery stays as it was.
        shutil.copytree(EARLIER, output, copy_function=os.link)
    try:
        index = build(output, library=LIBRARY, progress=False)
    except GalleryError:  # an earlier gallery left incomplete: start afresh
        shutil.rmtree(output)
        index = build(output, library=LIBRARY, progress=False)
    shutil.rmtree(EARLIER, ignore_errors=True)
    shutil.copytree(output, EARLIER, copy_function=os.link)
    return index


@pytest.fixture(scope="module")
def browser():
    executable = chromium()
    playwright = pytest.importorskip("playwright.sync_api")
    with playwright.sync_playwright() as driver:
        # The browser is Debian's, never one that playwright downloads.
        launched = driver.chromium.launch(executable_path=executable, args=["--no-sandbox"])
        yield launched
        launched.close()


# The pictures in view: the lazy ones below load only as they come into view.
IN_VIEW_LOADED = """Array.from(document.images)
    .filter(image => image.getBoundingClientRect().top < window.innerHeight)
    .every(image => image.complete)"""

# Brings every card's picture into view in turn and waits for it: the width
# of each, 0 for one that did not load.
SCROLL_THROUGH = """async () => {
    const widths = [];
    for (const image of document.querySelectorAll(".card img")) {
        image.scrollIntoView({block: "center"});
        if (!image.complete) {
            await new Promise((resolve, reject) => {
                image.addEventListener("load", resolve, {once: true});
                image.addEventListener("error", resolve, {once: true});
                setTimeout(() => reject(new Error("no load for " + image.alt)), 30000);
            });
        }
        widths.push(image.naturalWidth);
    }
    return widths;
}"""


@pytest.fixture
def page(browser, gallery):
    opened = browser.new_page(viewport={"width": 1280, "height": 900})
    opened.goto(gallery.as_uri())
    opened.wait_for_function(IN_VIEW_LOADED, timeout=120_000)
    yield opened
    opened.close()


def shown(page):
    return page.eval_on_selector_all(".card:not([hidden])", "cards => cards.map(card => card.dataset.name)")


def matching(words, family=None, dimensions=None):
    """The names the page should show, by the rule it states: every word in the name or description."""
    return [
        e["name"]
        for e in CATALOGUE
        if all(w in (e["name"] + " " + e["description"]).lower() for w in words)
        and (family is None or e["name"].startswith(family))
        and (dimensions is None or e["dimensions"] == dimensions)
    ]


def test_every_card_shows_its_picture(page):
    names = [e["name"] for e in CATALOGUE]
    assert shown(page) == names and names[-1] == "my_lift"
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    page.screenshot(path=ARTIFACTS / "gallery.png")
    # Pictures load as they come into view: once the page has loaded, the
    # first cards show theirs and those far below have not been fetched.
    loaded = page.eval_on_selector_all(".card img", "images => images.map(image => image.naturalWidth > 0)")
    assert loaded[0] and not any(loaded[-100:]) and sum(loaded) < len(loaded) / 10
    widths = page.evaluate(SCROLL_THROUGH)
    assert len(widths) == len(names)
    assert min(widths) > 0


def test_a_card_reads_its_period_in_beats(page):
    helix = page.locator('.card[data-name="helix"] .meta').inner_text()
    bounce = page.locator('.card[data-name="bounce"] .meta').inner_text()
    assert helix == "shape · 4 beats · 3-D"
    assert bounce == "shape · 1 beat · 1-D"
    assert page.locator('.card[data-name="my_lift"] .meta').inner_text() == "pack · 0.03125 beats · 2-D"


def test_typing_in_the_search_narrows_the_cards(page):
    page.locator("#search").press_sequentially("paradiddle")
    expected = matching(["paradiddle"])
    assert shown(page) == expected
    assert {"single_paradiddle", "rudiment_paradiddle_diddle"} <= set(expected)
    assert page.locator("#count").inner_text() == f"{len(expected)} of {len(CATALOGUE)} patterns"

    page.locator("#search").fill("euclid_3 alternating")
    assert shown(page) == matching(["euclid_3", "alternating"])

    page.locator("#search").fill("no pattern is called this")
    assert shown(page) == []
    assert page.locator("#none").is_visible()
    page.screenshot(path=ARTIFACTS / "gallery-empty-search.png")


def test_filters_by_family_and_dimensions(page):
    page.select_option("#family", "euclid")
    euclid = matching([], family="euclid_")
    assert shown(page) == euclid and len(euclid) == 16

    page.select_option("#dimensions", "3")
    assert shown(page) == matching([], family="euclid_", dimensions=3)

    page.select_option("#family", "")
    page.select_option("#dimensions", "1")
    expected = matching([], dimensions=1)
    assert shown(page) == expected and "lfo_breathe" in expected
    page.locator("#search").fill("lfo")
    assert shown(page) == matching(["lfo"], dimensions=1)
    page.screenshot(path=ARTIFACTS / "gallery-filtered.png")


def test_a_card_opens_its_large_view(page):
    page.click('.card[data-name="helix"] h2 a')
    page.wait_for_load_state("load")
    assert page.locator("h1").inner_text() == "helix"
    assert page.locator("img.large").evaluate("image => image.naturalWidth") > 0
    page.click("a[rel=next]")
    assert page.locator("h1").inner_text() == "ochre_background"
    page.screenshot(path=ARTIFACTS / "pattern-page.png", full_page=True)


def test_a_second_build_draws_only_what_changed(gallery, tmp_path, monkeypatch):
    output = tmp_path / "again"
    shutil.copytree(gallery.parent, output, copy_function=os.link)
    drawn = []
    monkeypatch.setattr(gallery_module, "_draw_missing", lambda tasks, *_: drawn.extend(tasks))

    build(output, library=LIBRARY, progress=False)
    assert drawn == []

    changed = kinetrope.PatternLibrary([user_pattern(0.25)])
    build(output, library=changed, progress=False)
    assert sorted((kind, entry.name) for kind, entry, _, _ in drawn) == [("large", "my_lift"), ("thumbnail", "my_lift")]
    # The old pictures of my_lift are removed, and the pages name the new ones.
    before = {p.name for p in (gallery.parent / "img").iterdir()}
    after = {p.name for p in (output / "img").iterdir()}
    assert after < before and len(before - after) == 2
    index = (output / "index.html").read_text()
    page = (output / "patterns" / "my_lift.html").read_text()
    thumbnail, large = sorted(drawn, key=lambda task: task[0] != "thumbnail")
    assert f"img/{thumbnail[3]}" in index and f"img/{large[3]}" in page
