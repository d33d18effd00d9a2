"""The listening clock on a real audio path: a JACK server of the test's own (dummy backend, no sound
card), jack-play connected to the clock's PortAudio input, read every 10 ms as a show reads it."""

from __future__ import annotations

import numpy as np
import pytest

import listen_show
from listen_path import run_scenario

# A shown beat this close to the true one is on it: the beat F-measure's window. The dummy backend keeps
# time with the CPU, and on a loaded machine its cycles wander by tens of milliseconds.
WINDOW = 0.070
# A cycle the CPU let run late puts everything after it later for good: the room itself went quiet for
# a moment, which no clock can foresee. Beats this close after such a stall are not judged.
STALL_EXCUSES = (-0.2, 0.5)


@pytest.fixture(scope="module")
def show(tmp_path_factory):
    import soundfile

    made = listen_show.show()
    path = tmp_path_factory.mktemp("listen") / "show.wav"
    soundfile.write(str(path), made.audio, listen_show.RATE)
    seconds = len(made.audio) / listen_show.RATE + 0.5
    heard = run_scenario("follow", wav=str(path), seconds=seconds, beats=made.beats.tolist())
    assert heard["truth"] is not None, "nothing arrived at the input"
    assert len(heard["truth"]) == len(made.beats), "the show was not heard to its end"
    truth = np.array(heard["truth"])
    since_stall = truth[:, None] - np.array(heard["stalls"], dtype=float)[None, :]
    excused = ((since_stall >= STALL_EXCUSES[0]) & (since_stall <= STALL_EXCUSES[1])).any(axis=1)
    assert excused.sum() <= len(truth) // 4, f"the audio path stalled {len(heard['stalls'])} times: too loaded to judge"
    return made, heard, truth, listen_show.crossings(heard["readings"]), excused


def reading_at(heard, seconds):
    return [r for r in heard["readings"] if r[0] <= seconds][-1]


def on_beat(crossings, beats, excused):
    return np.array([np.min(np.abs(crossings - beat)) <= WINDOW for beat in beats]) | excused


def test_a_steady_groove_locks_within_eight_beats(show):
    made, heard, truth, crossings, excused = show
    steady = truth[: made.marks["step"]]
    hits = on_beat(crossings, steady, excused[: made.marks["step"]])
    assert hits[8:].all(), f"beats off after the 8th: {np.nonzero(~hits)[0]}"
    assert reading_at(heard, steady[8])[2], "not locked by the 8th beat"
    assert reading_at(heard, steady[-1])[4] == pytest.approx(made.bpms["steady"], rel=0.02)


def test_a_tempo_step_is_followed_within_four_beats(show):
    made, heard, truth, crossings, excused = show
    part = slice(made.marks["step"], made.marks["breakdown"])
    stepped = truth[part]
    hits = on_beat(crossings, stepped, excused[part])
    assert hits[4:].all(), f"beats off after the 4th beat of the new tempo: {np.nonzero(~hits)[0]}"
    assert reading_at(heard, stepped[-1])[4] == pytest.approx(made.bpms["step"], rel=0.02)


def test_a_breakdown_runs_on_and_the_drop_is_on_the_beat(show):
    made, heard, truth, crossings, excused = show
    period = 60.0 / made.bpms["step"]
    breakdown = truth[made.marks["breakdown"] : made.marks["drop"]]
    drop = truth[made.marks["drop"] :]
    judged = ~excused[made.marks["breakdown"] : made.marks["drop"] + 1]
    before, inside = reading_at(heard, breakdown[0]), reading_at(heard, breakdown[-1])
    assert inside[2], "unlocked in the breakdown"
    assert inside[3] < 0.5 * before[3], "confidence did not fall in the breakdown"
    # The phase kept: within a sixteenth note all through the breakdown and on the drop.
    for beat in np.concatenate([breakdown, drop[:1]])[judged]:
        assert np.min(np.abs(crossings - beat)) < period / 4
    back = on_beat(crossings, drop[4:], excused[made.marks["drop"] + 4 :])
    assert back.all(), "not back on the beat within four beats of the drop"
    assert reading_at(heard, drop[-1])[3] > inside[3]


def test_the_pip_never_runs_back_nor_jumps_more_than_an_eighth_of_a_beat(show):
    _, heard, *_ = show
    readings = heard["readings"]
    for (t0, p0, *_), (t1, p1, _, _, bpm) in zip(readings, readings[1:]):
        assert p1 >= p0
        assert p1 - p0 <= (t1 - t0) * bpm / 60 * 64 * 1.05 + 8 + 1


def test_the_thread_ends_with_the_clock(show):
    _, heard, *_ = show
    assert heard["threads_before_close"] == ["kinetrope-listen"]
    assert heard["threads_after_close"] == []
    assert heard["failure"] is None


def test_silence_does_not_lock_and_the_clock_runs_on(tmp_path):
    import soundfile

    path = tmp_path / "silence.wav"
    soundfile.write(str(path), np.zeros(4 * listen_show.RATE, dtype=np.float32), listen_show.RATE)
    heard = run_scenario("follow", wav=str(path), seconds=4.0)
    readings = heard["readings"]
    assert not any(r[2] for r in readings) and all(r[3] == 0.0 for r in readings)
    # It runs at the middle of its range meanwhile, so a show still moves.
    (t0, p0, *_), (t1, p1, *_) = readings[0], readings[-1]
    assert (p1 - p0) / (t1 - t0) / 64 * 60 == pytest.approx((70 * 180) ** 0.5, rel=0.05)


def test_a_server_that_stops_mid_show_is_reported_and_the_clock_runs_on(tmp_path):
    made = listen_show.show(steady=12, stepped=2, breakdown=1, drop=1)
    import soundfile

    path = tmp_path / "groove.wav"
    soundfile.write(str(path), made.audio, listen_show.RATE)
    heard = run_scenario("follow", wav=str(path), seconds=9.0, stop_server_after=5.0)
    assert heard["failure"] == "audio input 'system' stopped sending"
    assert heard["threads_before_close"] == [], "the clock's thread did not end with its input"
    after = [r for r in heard["readings"] if r[0] > heard["stopped_at"] + 3.0]
    assert after and after[-1][1] > after[0][1], "the clock stopped with its input"
    assert after[-1][2], "a clock that had locked must stay locked"


@pytest.mark.parametrize(("params", "message"), [
    ({"server": False}, "no audio input here"),
    ({"device": "mixing desk"}, "no audio input 'mixing desk' (inputs: 0 'system')"),
    ({"device": 7}, "no audio input 7 (inputs: 0 'system')"),
    ({"samplerate": 44100}, "audio input 'system' does not take 44100 Hz"),
], ids=["no-input-at-all", "unknown-name", "unknown-index", "refused-rate"])
def test_an_input_that_cannot_be_had_is_one_clear_error_and_no_thread(params, message):
    refused = run_scenario("refused", **params)
    assert refused["error"] is not None and refused["error"].startswith(message)
    assert "\n" not in refused["error"]
    assert refused["threads"] == []


def test_kinetrope_listen_shows_a_status_line_and_ends_cleanly_on_ctrl_c():
    ran = run_scenario("command", args=["listen"], interrupt_after=3.0)
    assert ran["status"] == 0, ran["stderr"]
    assert "kinetrope listen: system at 48000 Hz" in ran["stderr"]
    assert " bpm  confidence 0.00 " in ran["stdout"]


@pytest.mark.parametrize(("args", "status", "out", "err"), [
    (["devices"], 0, "  0  system, JACK Audio Connection Kit  (2 in, 48000 Hz)\n", ""),
    (["listen", "nowhere"], 1, "", "kinetrope listen: error: no audio input 'nowhere' (inputs: 0 'system')\n"),
], ids=["devices", "listen-unknown"])
def test_commands(args, status, out, err):
    ran = run_scenario("command", args=args)
    assert (ran["status"], ran["stdout"], ran["stderr"]) == (status, out, err)
