"""The snapshot the frame loop writes for the page's process, read back as that process reads it."""

from __future__ import annotations

import json
import os

import numpy as np
import pytest

from kinetrope_tools.clocks import FixedTempo
from kinetrope_tools.stage import Live, parse_show
from kinetrope_tools.stage.control import Blackout
from kinetrope_tools.stage.page.state import Board, Publisher
from kinetrope_tools.stage.steering import Cue, Freeze, Speed

SHOW = """
[output.osc]
destination = "127.0.0.1:9"
[[group]]
name = "pair"
fixtures = ["a", "b"]
pattern = "helix"
[[fixture]]
name = "a"
[[fixture]]
name = "b"
size = 0.5
[[fixture]]
name = "c"
pattern = "circle"
"""


@pytest.fixture
def played():
    board = Board.create(3)
    reader = Board.attach(os.dup(board.fd), 3)  # as the page's process has it: the same file, its own mapping
    publisher = Publisher(board)
    live = Live(parse_show(SHOW, "show.toml"), FixedTempo(128, beat_zero_seconds=0.0), [publisher])
    publisher.attach(live)
    yield live, publisher, reader
    reader.close()
    board.close()


def frame(live, publisher, due):
    sent = live.frame_at(due)
    publisher.send(sent)
    return sent


def test_a_reader_sees_nothing_before_the_first_frame_then_the_latest_whole(played):
    live, publisher, reader = played
    assert reader.read() is None
    first = frame(live, publisher, 10.0)
    live.stats.frames, live.stats.late, live.stats.send_errors = 7, 2, 1
    live.apply(Blackout(True), 0.0)
    second = frame(live, publisher, 10.5)
    snapshot = reader.read()
    assert snapshot.number == 2 and snapshot.pip == live.pip == 128 * 64 * 10.5 // 60
    assert np.array_equal(snapshot.offsets, second.offsets) and not np.array_equal(snapshot.offsets, first.offsets)
    assert (snapshot.bpm, snapshot.frames, snapshot.late, snapshot.dropped) == (128.0, 7, 2, 1)
    assert (snapshot.blackout, snapshot.home, snapshot.frozen, snapshot.peers) == (True, False, False, None)


def test_the_cues_are_written_when_they_change_and_only_then(played):
    live, publisher, reader = played
    frame(live, publisher, 1.0)
    before = reader.read()
    assert json.loads(before.cues) == {"type": "cues", "patterns": ["helix", "helix", "circle"],
                                       "fade_start": [0, 0, 0], "fade_end": [0, 0, 0], "speed": [1.0, 1.0, 1.0],
                                       "size": [1.0, 0.5, 1.0]}
    frame(live, publisher, 2.0)
    same = reader.read(before)
    assert same.cues_number == before.cues_number and same.cues is before.cues
    live.apply(Cue("pair", "circle", 2, now=True), 0.0)
    live.apply(Speed("c", 2.0), 0.0)
    assert live.changes_prepared()
    frame(live, publisher, 3.0)
    changed = json.loads(reader.read(same).cues)
    assert changed["patterns"] == ["circle", "circle", "circle"] and changed["speed"] == [1.0, 1.0, 2.0]
    assert changed["fade_end"][0] - changed["fade_start"][0] == 128


def test_a_frozen_show_reports_the_pip_its_heads_hold(played):
    live, publisher, reader = played
    frame(live, publisher, 1.0)
    live.apply(Freeze(True), 0.0)
    frame(live, publisher, 2.0)
    snapshot = reader.read()
    assert snapshot.frozen and snapshot.held == 128 * 64 // 60 and snapshot.pip == 2 * 128 * 64 // 60
