"""Beat maps, and what every clock shares: the protocol, its options and its errors."""

from __future__ import annotations

import json
import math
import os
import pathlib

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from kinetrope_tools import BeatMap, BeatMapError, Clock, FixedTempo, KinetropeError, MidiClock, TapTempo
from kinetrope_tools.clocks import ClockError, LinkError, MidiPortError, TempoError, TrackTime

PIP_MIN, PIP_MAX = -(2**31), 2**31 - 1

# A track at about 124 bpm with a few milliseconds of drift, a tempo ramp
# from beat 8 on, and its first downbeat at beat 2.
SWAY = np.cumsum(np.r_[0.731, np.full(8, 60 / 124) + [0.003, -0.002, 0.004, 0, -0.003, 0.001, 0.002, -0.004],
                       np.linspace(60 / 124, 60 / 132, 8)])


@pytest.fixture
def track() -> BeatMap:
    return BeatMap(SWAY, downbeat=2)


def test_every_clock_follows_the_protocol(track):
    for clock in (track, TapTempo(), FixedTempo(120.0)):
        assert isinstance(clock, Clock)


@pytest.mark.parametrize(("offset", "downbeat", "beat", "pip"), [
    (0, 0, 0, 0),
    (0, 0, 5, 320),
    (0, 2, 2, 0),          # the first downbeat is pip 0
    (0, 2, 0, -128),
    (256, 2, 6, 512),      # moved on by a bar
    (-64, 3, 3, -64),
], ids=["plain", "plain-later", "downbeat", "before-downbeat", "bar-offset", "negative-offset"])
def test_beat_k_sits_at_its_pip(offset, downbeat, beat, pip):
    beat_map = BeatMap(SWAY, offset=offset, downbeat=downbeat)
    assert beat_map.seconds_at(pip) == SWAY[beat]
    assert beat_map.pip_at(SWAY[beat]) == pip
    assert beat_map.pip_at(np.nextafter(SWAY[beat], -math.inf)) == pip - 1


def test_setting_the_downbeat_moves_the_bar_lines(track):
    track.downbeat = 3
    assert track.pip_at(SWAY[3]) == 0
    track.offset = 512
    assert track.pip_at(SWAY[3]) == 512
    assert track.pip_at(SWAY[5]) == 640


def test_between_beats_the_pips_run_evenly_and_past_the_ends_at_the_nearest_tempo(track):
    first, second, last = SWAY[0], SWAY[1], SWAY[-1]
    step, last_step = second - first, SWAY[-1] - SWAY[-2]
    assert track.pip_at(first + step * 0.5) == -128 + 32
    assert track.seconds_at(-128 - 64 * 10) == pytest.approx(first - 10 * step, abs=1e-9)
    assert track.seconds_at(64 * (len(SWAY) - 3) + 64 * 10) == pytest.approx(last + 10 * last_step, abs=1e-9)
    assert track.bpm_at(first - 100) == pytest.approx(60 / step)
    assert track.bpm_at(last + 100) == pytest.approx(60 / last_step)
    assert track.bpm_at(SWAY[12] + 0.01) == pytest.approx(60 / (SWAY[13] - SWAY[12]))
    assert track.bpm == pytest.approx(60 / np.median(np.diff(SWAY)))


def test_every_pip_round_trips_and_pips_never_decrease_across_the_track(track):
    pips = np.arange(track.pip_at(SWAY[0] - 3), track.pip_at(SWAY[-1] + 3))
    times = [track.seconds_at(int(p)) for p in pips]
    assert all(a < b for a, b in zip(times, times[1:]))
    assert [track.pip_at(t) for t in times] == pips.tolist()
    samples = np.linspace(SWAY[0] - 3, SWAY[-1] + 3, 5001)
    assert np.all(np.diff([track.pip_at(t) for t in samples]) >= 0)


@settings(max_examples=150, deadline=None)
@given(
    start=st.floats(-1e5, 1e5),
    steps=st.lists(st.floats(0.25, 2.9), min_size=1, max_size=12),  # 21 to 240 bpm, gaps within 1/16 to 64 beats
    downbeat=st.integers(0, 12),
    offset=st.integers(PIP_MIN, PIP_MAX),
    pip=st.integers(PIP_MIN, PIP_MAX),
)
def test_pip_at_inverts_seconds_at_for_any_pip(start, steps, downbeat, offset, pip):
    beats = start + np.cumsum([0.0, *steps])
    beat_map = BeatMap(beats, offset=offset, downbeat=min(downbeat, len(beats) - 1))
    seconds = beat_map.seconds_at(pip)
    assert beat_map.pip_at(seconds) == pip
    if pip < PIP_MAX:
        assert beat_map.seconds_at(pip + 1) > seconds


@pytest.mark.parametrize(("seconds", "pip"), [(-1e12, None), (1e12, None), (math.nan, None), (math.inf, None)],
                         ids=["far-before", "far-after", "nan", "inf"])
def test_times_outside_the_pip_range_are_refused(track, seconds, pip):
    with pytest.raises(ValueError):
        track.pip_at(seconds)


@pytest.mark.parametrize("pip", [PIP_MAX + 1, PIP_MIN - 1, 1.5, "3"], ids=["over", "under", "float", "str"])
def test_pips_outside_the_range_or_not_whole_are_refused(track, pip):
    with pytest.raises((ValueError, TypeError)):
        track.seconds_at(pip)


def test_the_edge_pips_round_trip(track):
    for pip in (PIP_MIN, PIP_MAX):
        assert track.pip_at(track.seconds_at(pip)) == pip


@pytest.mark.parametrize(("beats", "message"), [
    ([], "the beat list is empty"),
    ([1.0], "at least two beats"),
    ([0.0, 0.5, 0.5, 1.0], "beat 2 (0.5 s) is not after beat 1 (0.5 s)"),
    ([0.0, 0.5, 0.4], "beats must be ascending"),
    ([0.0, math.nan, 1.0], "beat 1 is not a finite time (nan)"),
    ([0.0, 0.5, math.inf], "beat 2 is not a finite time (inf)"),
    ([[0.0, 0.5], [1.0, 1.5]], "flat list"),
    (["0.0", "zero"], "list of times"),
    ([1e9, 1e9 + 1e-6], "too close together"),
    ([0.0, 1e-299], "the beats' tempo is 6e+300 beats a minute"),
    ([0.0, 1e300], "the beats' tempo is 6e-299 beats a minute"),
    ([0.0, 1e307], "a beat map's tempo is from 20 to 999"),
    ([0.0, 0.05, 0.1], "a beat map's tempo is from 20 to 999"),  # 1200 bpm
    ([0.0, 3.1, 6.2], "a beat map's tempo is from 20 to 999"),  # 19.4 bpm
    ([0.0, 0.5, 1.0, 1.5, 1e300], "beats 3 and 4 are 1e+300 s apart"),
    ([0.0, 0.5, 1.0, 1.5, 1e308], "beats 3 and 4 are 1e+308 s apart, inf of the map's beat"),
    ([0.0, 0.5, 1.0, 1.5, 130.0], "beats 3 and 4 are 128.5 s apart, 257 of the map's beat of 0.5 s"),
    ([0.0, 1e-300, 0.5, 1.0, 1.5], "beats 0 and 1 are 1e-300 s apart"),
], ids=["empty", "one", "repeated", "backwards", "nan", "inf", "nested", "words", "crowded", "6e301-bpm", "near-0-bpm",
        "huge", "too-fast", "too-slow", "endless-gap", "gap-past-the-largest-ratio", "gap-of-257-beats", "crowded-beat"])
def test_a_bad_beat_list_is_refused_in_one_line(beats, message):
    with pytest.raises(BeatMapError) as caught:
        BeatMap(beats)
    assert message in str(caught.value) and "\n" not in str(caught.value)


@pytest.mark.parametrize(("field", "value"), [("downbeat", 99), ("downbeat", -1), ("downbeat", 1.0), ("downbeat", True),
                                              ("offset", 2**31), ("offset", 0.5)],
                         ids=["downbeat-past-end", "downbeat-negative", "downbeat-float", "downbeat-bool",
                              "offset-too-large", "offset-float"])
def test_a_bad_downbeat_or_offset_is_refused_and_leaves_the_map_alone(track, field, value):
    with pytest.raises(BeatMapError):
        setattr(track, field, value)
    assert (track.downbeat, track.offset, track.pip_at(SWAY[2])) == (2, 0, 0)


def test_the_beats_are_a_read_only_copy():
    beats = SWAY.copy()
    beat_map = BeatMap(beats)
    beats[0] = -5.0
    assert beat_map.beats[0] == SWAY[0]
    with pytest.raises(ValueError):
        beat_map.beats[0] = 1.0


def test_a_saved_map_loads_back_bit_for_bit(tmp_path, track):
    track.offset = -256
    path = tmp_path / "song.beats.json"
    track.save(path)
    loaded = BeatMap.load(path)
    assert [t.hex() for t in loaded.beats.tolist()] == [t.hex() for t in SWAY.tolist()]
    assert (loaded.downbeat, loaded.offset) == (2, -256)
    assert [loaded.pip_at(t) for t in np.linspace(-5, 15, 301)] == [track.pip_at(t) for t in np.linspace(-5, 15, 301)]
    assert os.listdir(tmp_path) == ["song.beats.json"]


def test_saving_replaces_a_symlink_instead_of_writing_through_it(tmp_path, track):
    precious = tmp_path / "precious.txt"
    precious.write_text("keep me")
    link = tmp_path / "beats.json"
    link.symlink_to(precious)
    track.save(link)
    assert precious.read_text() == "keep me"
    assert not link.is_symlink() and BeatMap.load(link).downbeat == 2


def test_a_failed_save_leaves_the_old_file_and_no_stray_file(tmp_path, track, monkeypatch):
    path = tmp_path / "beats.json"
    path.write_text("old")

    def broken_replace(source, target, **where):
        raise OSError("disk full")

    monkeypatch.setattr(os, "replace", broken_replace)
    with pytest.raises(OSError, match="disk full"):
        track.save(path)
    assert path.read_text() == "old" and os.listdir(tmp_path) == ["beats.json"]


@pytest.mark.parametrize(("text", "message"), [
    (b"", "not JSON"),
    (b"{\"beats\": [0, 0.5", "not JSON"),
    (b"\xff\xfe", "not UTF-8"),
    (b"[0, 0.5, 1.0]", "is an object"),
    (b'{"beats": [0, 0.5], "tempo": 120}', "unknown key 'tempo'"),
    (b'{"downbeat": 0}', '"beats" must be a list'),
    (b'{"beats": "0 0.5 1"}', '"beats" must be a list'),
    (b'{"beats": [0, true, 1]}', '"beats" must be a list'),
    (b'{"beats": []}', "the beat list is empty"),
    (b'{"beats": [0, NaN, 1]}', "not a finite time"),
    (b'{"beats": [0, 1e999]}', "not a finite time"),
    (b'{"beats": [1, 0.5]}', "ascending"),
    (b'{"beats": [0, 0.5, 1], "downbeat": 3}', "downbeat 3 is not the index of a beat"),
    (b'{"beats": [0, 0.5, 1], "offset": 1.5}', "offset must be a whole number"),
    (b'{"beats": [0, 0.5], "beats": [0, 0.6]}', 'key "beats" is given twice'),
    (b'{"beats": [0, 0.5], "offset": 0, "offset": 256}', 'key "offset" is given twice'),
    (b'{"beats": [0, 1e-299]}', "a beat map's tempo is from 20 to 999"),
    (b'{"beats": [0, 1e300]}', "a beat map's tempo is from 20 to 999"),
    (b'{"beats": [0, 0.5], "offset": 1' + b"0" * 4999 + b"}", "a whole number of 5,000 digits"),
    (b'{"beats": [0, 1' + b"0" * 4999 + b"]}", "a whole number of 5,000 digits"),
], ids=["empty-file", "truncated", "binary", "bare-list", "unknown-key", "no-beats", "beats-text", "beats-bool",
        "no-beat", "nan", "overflow", "descending", "downbeat-past-end", "offset-float", "key-twice", "offset-twice",
        "6e301-bpm", "near-0-bpm", "5000-digit-offset", "5000-digit-beat"])
def test_a_bad_file_is_refused_in_one_line_naming_it(tmp_path, text, message):
    path = tmp_path / "beats.json"
    path.write_bytes(text)
    with pytest.raises(BeatMapError) as caught:
        BeatMap.load(path)
    assert message in str(caught.value) and str(path) in str(caught.value) and "\n" not in str(caught.value)


@pytest.mark.parametrize(("make", "message"), [
    (lambda path: os.mkfifo(path), "not a regular file"),
    (lambda path: path.write_bytes(b"[" * 100_000 + b"]" * 100_000), "nested too deeply"),
    (lambda path: path.write_bytes(b" " * (64 * 2**20 + 1)), "larger than 64 MiB"),
    (lambda path: path.mkdir(), "a folder"),
], ids=["fifo", "deep", "huge", "folder"])
def test_a_file_that_could_hang_or_flood_the_reader_is_refused(tmp_path, make, message):
    path = tmp_path / "beats.json"
    make(path)
    with pytest.raises(BeatMapError) as caught:
        BeatMap.load(path)
    assert message in str(caught.value) and str(path) in str(caught.value) and "\n" not in str(caught.value)


def _song(bpm: float, count: int = 64, start: float = 0.4) -> list[float]:
    return [start + k * 60 / bpm for k in range(count)]


# What a tracker or a person makes of real songs, at the edges of the tempo range and of what one gap may hold.
REAL_SONGS = {
    "dirge-20": _song(20),
    "ballad-48": _song(48),
    "drum-and-bass-174": _song(174),
    "speedcore-999": _song(999),
    "a-day-long-set": [t + 86400.0 for t in _song(128)],
    "missed-beats": [t for k, t in enumerate(_song(124)) if k % 7 != 3],
    "a-third-of-the-tempo": [t for k, t in enumerate(_song(150)) if k % 3 == 0 or k > 40],
    "doubled-beats": sorted(_song(128) + [t + 0.06 for t in _song(128)[::8]]),
    "break-of-64-bars": _song(126, 32) + [t + 255 * 60 / 126 for t in _song(126, 32, start=0.4 + 32 * 60 / 126)],
    "fermata-at-the-end": _song(72, 40) + [_song(72, 40)[-1] + 6.0],
    "rubato-intro": list(np.cumsum([0.9, 0.8, 0.7, 0.62, *[0.5] * 40])),
}


@pytest.mark.parametrize("beats", REAL_SONGS.values(), ids=REAL_SONGS.keys())
def test_maps_of_real_songs_load(tmp_path, beats):
    BeatMap(beats).save(tmp_path / "song.json")
    loaded = BeatMap.load(tmp_path / "song.json")
    assert loaded.beats.tolist() == [float(t) for t in beats]
    assert loaded.pip_at(loaded.beats[-1] + 1.0) > loaded.pip_at(loaded.beats[-1])


# -- what every clock shares

def _midi() -> MidiClock:
    import mido

    clock = MidiClock()
    clock.feed(mido.Message("start"), 0.0)
    for n in range(24):
        clock.feed(mido.Message("clock"), n * 60 / (120 * 24))
    return clock


@pytest.mark.parametrize(("make", "seconds"), [
    (lambda: FixedTempo(999.0), 2_015_282.0),
    (lambda: BeatMap(SWAY), 1e9),
    (lambda: TrackTime(BeatMap(SWAY), start_seconds=0.0, started_at=5e6), 5e6 + 1e9),
    (lambda: TapTempo(beat_zero_seconds=0.0), 2e7),
    (_midi, -2e7),
], ids=["fixed-999-bpm-after-23-days", "beat-map", "track-time", "tap", "midi"])
def test_past_its_pips_every_clock_says_so_in_one_line(make, seconds):
    clock = make()
    for _ in range(2):  # the same answer every time: a host says it once
        with pytest.raises(ValueError) as caught:
            clock.pip_at(seconds)
        assert "outside the 32-bit pip range" in str(caught.value) and "\n" not in str(caught.value)

@pytest.mark.parametrize(("error", "kind"), [
    (BeatMapError, ValueError), (TempoError, ValueError), (ClockError, ValueError),
    (MidiPortError, OSError), (LinkError, RuntimeError),
], ids=lambda value: value.__name__)
def test_every_clock_error_is_a_kinetrope_error_of_its_builtin_kind(error, kind):
    assert issubclass(error, KinetropeError) and issubclass(error, kind)


@pytest.mark.parametrize(("make", "message"), [
    (lambda: TapTempo(history=2), "history is a whole number of taps to fit the tempo to, at least 3, not 2"),
    (lambda: TapTempo(history=8.0), "history is a whole number of taps to fit the tempo to, at least 3, not 8.0"),
    (lambda: TapTempo(beats_per_bar=0), "beats_per_bar is a whole number of beats, at least 1, not 0"),
    (lambda: TapTempo(beats_per_bar=True), "beats_per_bar is a whole number of beats, at least 1, not True"),
    (lambda: MidiClock(smoothing=1), "smoothing is a whole number of pulses to fit the tempo to, at least 2, not 1"),
    (lambda: MidiClock(smoothing="24"),
     "smoothing is a whole number of pulses to fit the tempo to, at least 2, not '24'"),
], ids=["history-2", "history-float", "bar-0", "bar-bool", "smoothing-1", "smoothing-text"])
def test_an_option_out_of_range_is_refused_naming_it(make, message):
    with pytest.raises(ClockError) as caught:
        make()
    assert str(caught.value) == message


def test_the_file_is_plain_json_a_person_can_edit(tmp_path):
    path = tmp_path / "beats.json"
    BeatMap([0.5, 1.0, 1.5], downbeat=1).save(path)
    assert json.loads(path.read_text()) == {"beats": [0.5, 1.0, 1.5], "downbeat": 1, "offset": 0}
