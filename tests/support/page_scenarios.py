"""Scenarios for the page's tests, each run by page_net.py in a network namespace of its own.

    python page_scenarios.py NAME < PARAMS_JSON

brings up loopback and olad (see stage_scenarios.py), starts ``kinetrope
live --page``, opens the page in headless Chromium through Playwright and
drives it as an operator would, reading olad's universes as it goes. It
prints what it saw as one JSON line; the tests judge it. Exit status 77
with a reason on the last line: a part is missing (skip).
"""

from __future__ import annotations

import asyncio
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from typing import Any

from stage_scenarios import Olad, missing, sh
from namespaces import read_params

PAGE_PORT = 8740
# Drawn by the page, read back from it: what the point of each fixture shows.
DRAWN = "window.kinetrope.drawn"
STATE = "({...window.kinetrope.state, offsets: undefined})"


class Show:
    """``kinetrope live`` with its page, in a folder of its own; stderr collected as it goes."""

    def __init__(self, folder: str, show: str, *args: str) -> None:
        with open(os.path.join(folder, "show.toml"), "w") as file:
            file.write(show)
        command = [sys.executable, "-m", "kinetrope_tools.cli", "live", "show.toml", *args]
        self.process = subprocess.Popen(command, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        text=True)
        self.first = ""
        for line in self.process.stderr:
            self.first += line
            found = re.search(r"the page is at (\S+)", line)
            if found:
                self.url = found.group(1)
                return
        self.stop()
        raise RuntimeError(f"no page: {self.first}")

    def stop(self) -> dict[str, Any]:
        if self.process.poll() is None:
            self.process.terminate()  # by its own process id
        try:
            rest = self.process.communicate(timeout=30)[1]
        except subprocess.TimeoutExpired:
            self.process.kill()
            rest = self.process.communicate()[1]
        return {"rc": self.process.returncode, "first": self.first, "stderr": rest}


def chromium(driver: Any) -> Any:
    executable = shutil.which("chromium") or shutil.which("chromium-browser")
    if executable is None:
        missing("no Chromium on this machine: scripts/test.sh installs Debian's chromium package")
    return driver.chromium.launch(executable_path=executable, args=["--no-sandbox"])


def open_page(browser: Any, url: str, problems: list[str]) -> Any:
    page = browser.new_page(viewport={"width": 1280, "height": 860})
    page.on("console", lambda m: problems.append(f"{m.type}: {m.text}") if m.type in ("error", "warning") else None)
    page.on("pageerror", lambda error: problems.append(f"pageerror: {error}"))
    page.goto(url)
    until(page, f"{DRAWN} && {DRAWN}.number > 0 && window.kinetrope.cues", 30.0)
    return page


def until(page: Any, condition: str, timeout: float) -> None:
    """Waits for ``condition`` to hold in the page, asked from here (the page's policy forbids eval within it)."""
    end = time.monotonic() + timeout
    while not page.evaluate(f"!!({condition})"):
        if time.monotonic() > end:
            raise TimeoutError(f"the page never showed {condition}")
        time.sleep(0.02)


def reads(olad: Olad, universe: int, seconds: float, every: float = 0.1) -> list[list[Any]]:
    """olad's universe read again and again: [before, after, values] each."""
    taken = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        before = time.monotonic()
        values = olad.read(universe)
        taken.append([before, time.monotonic(), values[:32]])
        time.sleep(every)
    return taken


def state_of(page: Any) -> dict[str, Any]:
    return page.evaluate(STATE)


def wait_state(page: Any, condition: str, timeout: float = 5.0) -> dict[str, Any]:
    until(page, f"window.kinetrope.state && ({condition})", timeout)
    return state_of(page)


def rates(page: Any, seconds: float) -> list[list[float]]:
    """(at, pip) of the states the page gets over ``seconds``: the pips the show runs at, and when."""
    seen = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        state = state_of(page)
        seen.append([state["at"], state["pip"]])
        time.sleep(0.1)
    return seen


def operate(params: dict[str, Any]) -> dict[str, Any]:
    """The fixed-clock show: the page loads and draws, two pages, cues, switches on keys and buttons, tempo keys."""
    from playwright.sync_api import sync_playwright

    folder = tempfile.mkdtemp(prefix="kinetrope-page-")
    olad = show = None
    result: dict[str, Any] = {"problems": []}
    try:
        olad = Olad(folder)
        olad.patch("E1.31", 0, 1)
        show = Show(folder, params["show"], "--bpm", "120", "--page", str(PAGE_PORT))
        result["url"] = show.url
        with sync_playwright() as driver:
            browser = chromium(driver)
            one = open_page(browser, show.url, result["problems"])
            # What the page draws, against the clock's pip.
            result["drawn"] = []
            for _ in range(8):
                result["drawn"].append(one.evaluate(DRAWN))
                time.sleep(0.13)
            one.screenshot(path=os.path.join(folder, "page.png"))
            # Two pages: the same states, and a control from either shows on both.
            two = open_page(browser, show.url, result["problems"])
            result["in_step"] = []
            for _ in range(10):
                # One, two, one again: two's state should lie between one's.
                numbers = [page.evaluate("window.kinetrope.state.number") for page in (one, two, one)]
                result["in_step"].append(numbers)
                time.sleep(0.05)
            two.click("#freeze")
            result["freeze_on_one"] = wait_state(one, "window.kinetrope.state.frozen")["frozen"]
            two.keyboard.press("F")
            result["thaw_on_one"] = not wait_state(one, "!window.kinetrope.state.frozen")["frozen"]
            # Closing one page mid-show: olad before and after.
            result["before_close"] = reads(olad, 1, 1.0)
            two.close()
            result["after_close"] = reads(olad, 1, 1.5)
            result["one_still_updating"] = wait_state(
                one, f"window.kinetrope.state.number > {state_of(one)['number'] + 5}")["number"] > 0
            # A cue clicked: on the next bar, olad shows the new pattern.
            one.fill("#fade-beats", "0")
            state = state_of(one)
            one.click('.group[data-target="truss"] .cues button[data-pattern="helix"]')
            result["cue"] = {"pip_before_click": state["pip"], "clicked_at": time.monotonic(),
                             "reads": reads(olad, 1, 3.0, every=0.05)}
            result["cue"]["patterns"] = one.evaluate("window.kinetrope.cues.patterns")
            one.screenshot(path=os.path.join(folder, "page-cued.png"))
            # Blackout and home: each key does what its button does.
            result["switches"] = []
            for how, control, on in [("key", "B", True), ("button", "#blackout", False), ("button", "#blackout", True),
                                     ("key", "B", False), ("key", "H", True), ("button", "#home", False)]:
                if how == "key":
                    one.keyboard.press(control)
                else:
                    one.click(control)
                name = "home" if control in ("H", "#home") else "blackout"
                wait_state(one, f"window.kinetrope.state.{name} === {json.dumps(on)}")
                time.sleep(0.25)
                result["switches"].append([how, name, on, olad.read(1)[:32]])
            # Tempo keys: +1, +1, +0.1 and back down by 0.1.
            for key in ("Shift+ArrowUp", "Shift+ArrowUp", "ArrowUp", "ArrowUp", "ArrowDown"):
                one.keyboard.press(key)
                time.sleep(0.15)
            result["tempo_shown"] = wait_state(one, "Math.abs(window.kinetrope.state.bpm - 122.1) < 1e-6")["bpm"]
            result["tempo_rates"] = rates(one, 2.0)
            result["tempo_reads"] = reads(olad, 1, 1.0)
            result["tempo_rates"] += rates(one, 0.5)
            browser.close()
        result["run"] = show.stop()
        show = None
        if params.get("keep"):
            for name in ("page.png", "page-cued.png"):
                shutil.copy(os.path.join(folder, name), os.path.join(params["keep"], name))
    finally:
        if show is not None:
            show.stop()
        if olad is not None:
            olad.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return result


def tap(params: dict[str, Any]) -> dict[str, Any]:
    """A tapped clock: taps on the space bar and on the button set the tempo the show runs at."""
    from playwright.sync_api import sync_playwright

    folder = tempfile.mkdtemp(prefix="kinetrope-page-")
    olad = show = None
    result: dict[str, Any] = {"problems": []}
    try:
        olad = Olad(folder)
        olad.patch("E1.31", 0, 1)
        show = Show(folder, params["show"], "--tap", "--bpm", "100", "--page", str(PAGE_PORT))
        with sync_playwright() as driver:
            browser = chromium(driver)
            page = open_page(browser, show.url, result["problems"])
            result["before"] = state_of(page)["bpm"]
            interval = 60.0 / params["tap_bpm"]
            # The button's middle found first: a click there is then one input event, as quick as a key.
            box = page.locator("#tap").bounding_box()
            middle = (box["x"] + box["width"] / 2, box["y"] + box["height"] / 2)
            result["tapped"] = []
            start = time.monotonic()
            for n in range(8):
                time.sleep(max(0.0, start + n * interval - time.monotonic()))
                result["tapped"].append(time.monotonic())
                if n % 2:
                    page.mouse.click(*middle)
                else:
                    page.keyboard.press("Space")
            time.sleep(0.3)
            result["after"] = state_of(page)["bpm"]
            # A tapped clock takes no tempo from the page: the key says so on the page.
            page.keyboard.press("ArrowUp")
            until(page, "document.getElementById('errors').textContent", 5.0)
            result["tempo_key"] = page.inner_text("#errors")
            result["rates"] = rates(page, 2.0)
            browser.close()
        result["run"] = show.stop()
        show = None
    finally:
        if show is not None:
            show.stop()
        if olad is not None:
            olad.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return result


def hostile(params: dict[str, Any]) -> dict[str, Any]:
    """The page served on another address: the token, the Origin, bad messages, floods and a thousand connections."""
    import aiohttp

    sh("ip", "addr", "add", "10.77.0.1/32", "dev", "lo")  # an address of this namespace that is not loopback
    folder = tempfile.mkdtemp(prefix="kinetrope-page-")
    olad = show = None
    result: dict[str, Any] = {}
    try:
        olad = Olad(folder)
        olad.patch("E1.31", 0, 1)
        show = Show(folder, params["show"], "--bpm", "120", "--page", str(PAGE_PORT), "--page-host", "10.77.0.1")
        result["url"] = show.url
        token = re.search(r"token=([\w-]+)", show.url)
        base = f"http://10.77.0.1:{PAGE_PORT}"

        async def attack() -> dict[str, Any]:
            seen: dict[str, Any] = {}
            async with aiohttp.ClientSession() as session:
                for name, url in [("no token", f"{base}/"), ("wrong token", f"{base}/?token=guess"),
                                  ("token", show.url)]:
                    async with session.get(url) as answer:
                        seen[name] = answer.status
                ws_url = f"{base}/ws?token={token.group(1) if token else ''}"
                for name, origin in [("foreign origin", "http://evil.example"), ("no origin", None)]:
                    headers = {"Origin": origin} if origin else {}
                    try:
                        async with session.ws_connect(ws_url, headers=headers, origin=origin):
                            seen[name] = 101
                    except aiohttp.WSServerHandshakeError as error:
                        seen[name] = error.status
                socket = await session.ws_connect(ws_url, origin=base)
                hello = json.loads((await socket.receive()).data)
                seen["hello"] = hello["type"]
                # Malformed and hostile messages: each answered with an error.
                bad = ["{", "[]", json.dumps({"type": "cue", "target": "/etc/passwd", "pattern": "x", "beats": 1,
                                              "now": True}),
                       json.dumps({"type": "tempo", "by": 1e308}), json.dumps({"type": "path", "pattern": "../x"}),
                       json.dumps({"type": "tap"})]
                errors = []
                for text in bad:
                    await socket.send_str(text)
                    while True:
                        answer = json.loads((await socket.receive()).data)
                        if answer["type"] == "error":
                            errors.append(answer["message"])
                            break
                seen["errors"] = errors
                # A message too big closes that page's socket, not the show.
                await socket.send_str("x" * 100_000)
                closing = await socket.receive()
                while closing.type == aiohttp.WSMsgType.TEXT:
                    closing = await socket.receive()
                seen["too_big"] = closing.type.name
                # A thousand connections at once, most of them never saying anything, and more pages than allowed.
                streams = []
                for _ in range(params.get("connections", 1000)):
                    try:
                        streams.append(await asyncio.open_connection("10.77.0.1", PAGE_PORT))
                    except OSError as error:
                        seen.setdefault("connect_errors", str(error))
                        break
                seen["connections"] = len(streams)
                sockets = []
                refused = 0
                for _ in range(40):
                    try:
                        sockets.append(await session.ws_connect(ws_url, origin=base))
                    except aiohttp.WSServerHandshakeError as error:
                        refused += 1
                        seen["refused_status"] = error.status
                seen["pages_accepted"], seen["pages_refused"] = len(sockets), refused
                for s in sockets:
                    await s.close()
                for _, writer in streams:
                    writer.close()
                # A flood: far more than the budget, as fast as the socket takes them, until cut off.
                socket = await session.ws_connect(ws_url, origin=base)
                sent = 0
                try:
                    for _ in range(params.get("flood", 20000)):
                        await socket.send_str(json.dumps({"type": "tempo", "by": 0.0}))
                        sent += 1
                        if sent % 100 == 0:
                            await asyncio.sleep(0.001)
                    answer = await socket.receive(timeout=5)
                    while answer.type == aiohttp.WSMsgType.TEXT:
                        answer = await socket.receive(timeout=5)
                    seen["flood_end"] = answer.type.name
                except (ConnectionError, aiohttp.ClientError) as error:
                    seen["flood_end"] = type(error).__name__
                seen["flood_sent"] = sent
                # Back at once from the same address: refused for a while.
                try:
                    async with session.ws_connect(ws_url, origin=base):
                        seen["back_at_once"] = 101
                except aiohttp.WSServerHandshakeError as error:
                    seen["back_at_once"] = error.status
                # And the page still answers.
                async with session.get(show.url) as answer:
                    seen["after"] = answer.status
            return seen

        # A second show wanting the same page's address does not start.
        second = subprocess.run([sys.executable, "-m", "kinetrope_tools.cli", "live", "show.toml", "--page",
                                 str(PAGE_PORT), "--page-host", "10.77.0.1", "--seconds", "1"],
                                cwd=folder, capture_output=True, text=True, timeout=60)
        result["second"] = {"rc": second.returncode, "stderr": second.stderr}
        result["started"] = time.monotonic()
        result["attack"] = asyncio.run(attack())
        result["ended"] = time.monotonic()
        result["reads"] = reads(olad, 1, 1.0)
        result["run"] = show.stop()
        show = None
    finally:
        if show is not None:
            show.stop()
        if olad is not None:
            olad.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return result


class Overtime(Exception):
    pass


def overtime(signum: int, frame: Any) -> None:
    raise Overtime("the scenario ran out of time")


if __name__ == "__main__":
    # Out of time, the scenario still stops what it started (its finally blocks run).
    signal.signal(signal.SIGALRM, overtime)
    scenario, params = read_params()
    signal.alarm(int(params.get("deadline", 200)))
    sh("ip", "link", "set", "lo", "up")
    try:
        import playwright  # noqa: F401
    except ImportError:
        missing("playwright is not installed (pip install playwright)")
    print(json.dumps({"operate": operate, "tap": tap, "hostile": hostile}[scenario](params)))
