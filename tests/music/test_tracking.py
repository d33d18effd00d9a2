"""Beat tracking on short synthesized songs whose every beat is known, its errors, and ``kinetrope beats``."""

import json

import numpy as np
import pytest
import songs as synth
import soundfile

from kinetrope_tools import cli
from kinetrope_tools.clocks import BeatMap
from kinetrope_tools.music.tracking import AudioError, analyse_audio, track_audio, track_beat_map, track_beats

HOUSE = {
    "kick": "x...x...x...x...", "clap": "....x.......x...", "hat": "gg.ggg.ggg.ggg.g", "open hat": "..x...x...x...x."
}
ROCK = {"kick": "x.......x.x.....", "snare": "....x.......x...", "hat": "o.o.o.o.o.o.o.o."}
DNB = {"kick": "x.........x.....", "snare": "....x.......x...", "hat": "o.o.o.o.o.o.o.o."}
# The snare's 3+3+2 draws a tracker a sixteenth early; the kick on every beat holds the beat.
DEMBOW = {"kick": "x...x...x...x...", "snare": "...x..x....x..x.", "hat": "o.o.o.o.o.o.o.o."}
SWUNG = {"kick": "x...x...x...x...", "clap": "....x.......x...", "hat": ".g.o.g.o.g.o.g.o"}
# Four bars of four-on-the-floor, then four of half time: kick on 1 and 3, clap on 3, hats on the beats.
BRIDGE = {
    "kick": " |".join(["x...x...x...x..."] * 4 + ["x.......x......."] * 4),
    "clap": " |".join(["....x.......x..."] * 4 + ["........x......."] * 4),
    "hat": " |".join(["o.o.o.o.o.o.o.o."] * 4 + ["o...o...o...o..."] * 4),
}
# A waltz: the low "oom" on 1, the "pah-pah" on 2 and 3, hats on the eighths; its chords change every bar of three.
WALTZ = synth.Groove(
    "waltz", 192, {"kick": ((0, 1.0),), "snare": ((64, 0.6), (128, 0.6)), "hat": tuple((p, 0.4) for p in range(0, 192, 32))}
)


def matched(beats, truth, window=0.07):
    """The signed error (s) of each true beat's nearest tracked beat, for those within the window."""
    nearest = beats[np.abs(beats[:, None] - truth[None, :]).argmin(axis=0)]
    errors = nearest - truth
    return errors[np.abs(errors) <= window]


def groove(grids, swing=0.0):
    return synth.Groove.from_grids("test", grids, swing)


def song(grids, bpm, seconds=10.0, **options):
    return synth.render(groove(grids, options.pop("swing", 0.0)), bpm, seconds, **options)


@pytest.fixture(scope="module")
def house(tmp_path_factory):
    """Ten seconds of house at 124 BPM that starts on beat 2 of its bar, as a WAV file."""
    made = song(HOUSE, 124.0, start_beat=1, lead_seconds=0.3, seed=3, sample_rate=44100)
    path = tmp_path_factory.mktemp("songs") / "house.wav"
    made.write(path)
    return path, made


@pytest.mark.parametrize(
    ("grids", "bpm", "start_beat", "swing"),
    [
        (HOUSE, 124.0, 0, 0.0),
        (SWUNG, 122.0, 2, 0.25),
        (DNB, 174.0, 3, 0.0),  # the half tempo, 87, is the usual mistake
        (DEMBOW, 98.0, 1, 0.0),  # and here the double, 196, with the snare off the beat
    ],
    ids=["house-124", "swung-house-122", "drum-and-bass-174", "dembow-98"],
)
def test_music_tempo_beats_and_downbeat_of_grooves(grids, bpm, start_beat, swing):
    made = song(grids, bpm, 12.0, start_beat=start_beat, lead_seconds=0.2, swing=swing, seed=7)
    beats, downbeat = track_audio(made.audio, made.sample_rate)
    assert beats.dtype == np.float64 and np.all(np.diff(beats) > 0)
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(bpm, rel=0.02)
    errors = matched(beats, made.beats)
    # All but at most the first beat are found, each within 15 ms of its grid time (the hits
    # themselves are jittered by 3 ms).
    assert len(errors) >= len(made.beats) - 1
    assert len(beats) <= len(made.beats) + 1
    assert np.max(np.abs(errors)) < 0.015
    assert np.any(np.abs(made.downbeats - beats[downbeat]) < 0.02)


def _step():
    first, second = song(ROCK, 120.0, 12.0, lead_seconds=0.2, seed=1), song(ROCK, 150.0, 10.0, seed=2)
    return synth.splice(first, second, 16), [first.beats[16]]


def _crossfade():
    first, second = song(HOUSE, 122.0, 14.0, lead_seconds=0.1, seed=3), song(HOUSE, 128.0, 10.0, seed=4)
    return synth.splice(first, second, 20, crossfade_beats=4), [first.beats[20]]


def _bridge():
    return song(BRIDGE, 140.0, 16.0, lead_seconds=0.2, seed=5), []


def _waltz():
    return synth.render(WALTZ, 150.0, 12.0, lead_seconds=0.2, seed=6, beats_per_bar=3, start_beat=1), []


def _dembow():
    return song(DEMBOW, 98.0, 14.0, lead_seconds=0.2, start_beat=1, seed=7), []


def _ramp():
    return song(HOUSE, 165.0, 16.0, bpm_end=172.0, seed=8), []


@pytest.mark.parametrize(
    "make",
    [_step, _crossfade, _bridge, _waltz, _dembow, _ramp],
    ids=["step-120-150", "dj-crossfade-122-128", "half-time-bridge-140", "waltz-150", "dembow-98", "ramp-165-172"],
)
def test_music_the_beat_holds_through_changes_of_tempo_and_groove(make):
    made, changes = make()
    tracked = analyse_audio(made.audio, made.sample_rate)
    beats = tracked.beats
    found = np.array([np.min(np.abs(beats - t)) <= 0.07 for t in made.beats])
    # Every beat is found but the first (a pick-up the model may start after) and the two after a
    # change (the model may take them to follow it).
    allowed = np.zeros(len(made.beats), dtype=bool)
    allowed[0] = True
    for change in changes:
        after = np.flatnonzero(made.beats >= change - 1e-9)[:2]
        allowed[after] = True
    assert np.all(found | allowed), f"missed beats at {made.beats[~found & ~allowed]}"
    assert len(beats) <= len(made.beats) + 1
    assert tracked.beats_per_bar == made.beats_per_bar
    assert np.any(np.abs(made.downbeats - beats[tracked.downbeat]) < 0.02)
    # The map's pips never run back and count one whole beat (64 pips) from each true beat to the
    # next, through every change.
    beat_map = BeatMap(beats, downbeat=tracked.downbeat)
    times = np.linspace(0.0, made.beats[-1], 2000)
    assert np.all(np.diff([beat_map.pip_at(t) for t in times]) >= 0)
    pips = np.array([beat_map.pip_at(t + 0.004) for t in made.beats[1:]])
    assert np.all(np.abs((pips + 8) % 64 - 8) <= 8)
    steps = np.diff(pips[~allowed[1:][:len(pips)]] if not changes else pips)
    assert np.all(np.abs(steps - 64) <= 16)


@pytest.mark.parametrize("suffix", ["wav", "flac", "ogg", "mp3"])
def test_music_every_format_gives_the_same_beats(house, tmp_path, suffix):
    path, made = house
    again = tmp_path / f"house.{suffix}"
    made.write(again)
    beats, downbeat = track_beats(again)
    reference, reference_downbeat = track_beats(path)
    # Lossy codecs move the onsets a little, never the beats' count or bar.
    assert len(beats) == len(reference) and downbeat == reference_downbeat
    assert np.max(np.abs(beats - reference)) < 0.004
    assert np.max(np.abs(matched(beats, made.beats))) < 0.015


@pytest.mark.parametrize("lane", ["kick", "snare", "hat"])
def test_music_beats_land_on_the_onsets_without_latency(lane):
    """Hits placed exactly (no jitter, no bed): the detector's latency is removed, not just shrunk."""
    made = song({lane: "x...x...x...x..."}, 120.0, 8.0, lead_seconds=0.5, jitter_ms=0.0, bed=False)
    beats, _ = track_audio(made.audio, made.sample_rate)
    errors = matched(beats, made.beats)
    assert len(errors) >= len(made.beats) - 1
    assert abs(float(np.median(errors))) < 0.003


def test_music_beats_carry_through_an_intro_without_drums():
    """Bass and chords alone for the first six seconds: the pulse the drums set goes back to the start."""
    made = song(HOUSE, 124.0, 16.0, drumless_seconds=6.0, lead_seconds=0.1, seed=4)
    beats, _ = track_audio(made.audio, made.sample_rate)
    errors = matched(beats, made.beats)
    assert len(errors) >= len(made.beats) - 1 and len(beats) <= len(made.beats) + 1
    assert beats[0] < 0.2


def test_music_a_four_on_the_floor_loop_gets_its_downbeat_on_the_kick_before_the_snare():
    """Kick on every beat, snare on 2 and 4, no chords: the bar starts on the kick the snare follows."""
    made = song({"kick": "x...x...x...x...", "snare": "....x.......x..."}, 127.3, 10.0, lead_seconds=0.25,
                bed=False, seed=9)
    beats, downbeat = track_audio(made.audio, made.sample_rate)
    assert abs(beats[downbeat] - made.downbeats[0]) < 0.02 or np.any(np.abs(made.downbeats - beats[downbeat]) < 0.02)
    assert np.all(np.abs(made.downbeats[:, None] - beats[downbeat::4][None, :]).min(axis=1)[1:] < 0.02)


@pytest.mark.parametrize(
    ("options", "expected"),
    [({"bpm_range": (80.0, 100.0)}, 87.0), ({"bpm": 87.0}, 87.0), ({"bpm": 180.0}, 174.0)],
    ids=["range-below", "tempo-hint-half", "tempo-hint-near"],
)
def test_music_given_tempo_and_tempo_range_are_followed(options, expected):
    made = song(DNB, 174.0, 12.0, seed=5)
    beats, _ = track_audio(made.audio, made.sample_rate, **options)
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(expected, rel=0.02)


def test_music_given_meter_is_kept():
    made = song(HOUSE, 124.0, 10.0, seed=6)
    beats, downbeat = track_audio(made.audio, made.sample_rate, beats_per_bar=3)
    tracked = analyse_audio(made.audio, made.sample_rate, beats_per_bar=3)
    assert tracked.beats_per_bar == 3 and np.all(np.diff(tracked.bars) == 3)
    assert downbeat == tracked.downbeat


def _write(path, audio, rate=22050):
    soundfile.write(str(path), np.asarray(audio, dtype=np.float32), rate)
    return path


def _noise(tmp_path):
    return _write(tmp_path / "noise.wav", np.random.default_rng(1).normal(0, 0.2, 22050 * 8))


def _tone(tmp_path):
    t = np.arange(22050 * 8) / 22050
    return _write(tmp_path / "tone.wav", 0.5 * np.sin(2 * np.pi * 220 * t))


def _chord(tmp_path):
    t = np.arange(22050 * 8) / 22050
    return _write(tmp_path / "chord.wav", sum(0.2 * np.sin(2 * np.pi * f * t) for f in (220.0, 277.2, 329.6)))


def _not_audio(tmp_path):
    path = tmp_path / "notes.mp3"
    path.write_text("these are notes, not music\n" * 50)
    return path


@pytest.mark.parametrize(
    ("make", "message"),
    [
        (lambda tmp: tmp / "missing.wav", "no such file"),
        (lambda tmp: tmp, "not a file"),
        (_not_audio, "not an audio file"),
        (lambda tmp: _write(tmp / "empty.wav", np.zeros(0)), "no audio"),
        (lambda tmp: _write(tmp / "silence.wav", np.zeros(22050 * 5)), "silence"),
        (lambda tmp: _write(tmp / "short.wav", np.random.default_rng(2).normal(0, 0.2, 2000)), "too short"),
        (_noise, "no steady beat"),
        (_tone, "no steady beat"),
        (_chord, "no steady beat"),
    ],
    ids=[
        "missing", "directory", "text-named-mp3", "empty-wav", "silence", "too-short", "noise", "held-tone",
        "held-chord",
    ],
)
def test_music_files_without_a_beat_get_one_clear_error(tmp_path, make, message):
    path = make(tmp_path)
    with pytest.raises(AudioError, match=message) as caught:
        track_beats(path)
    assert isinstance(caught.value, ValueError)
    assert "\n" not in str(caught.value) and str(path) in str(caught.value)


@pytest.mark.parametrize(
    ("options", "message"),
    [
        ({"bpm": 0.0}, "bpm must be"),
        ({"bpm": float("nan")}, "bpm must be"),
        ({"bpm_range": (140.0, 120.0)}, "bpm_range must be"),
        ({"bpm_range": (120.0,)}, "bpm_range must be"),
        ({"bpm_range": "fast"}, "bpm_range must be"),
        ({"beats_per_bar": 5}, "beats_per_bar must be"),
    ],
    ids=["bpm-zero", "bpm-nan", "range-reversed", "range-one-number", "range-text", "five-beats-a-bar"],
)
def test_music_bad_tempo_options_are_refused_before_reading(options, message):
    with pytest.raises(ValueError, match=message):
        track_beats("no-need-to-exist.wav", **options)


def test_music_command_prints_sections_meter_and_downbeat_and_writes_the_map(house, tmp_path, capsys):
    path, made = house
    output = tmp_path / "beats.json"
    assert cli.main(["beats", str(path), "-o", str(output)]) == 0
    printed = capsys.readouterr().out.splitlines()
    beats, downbeat = track_beats(path)
    loaded = BeatMap.load(output)
    assert np.array_equal(loaded.beats, beats) and loaded.downbeat == downbeat
    fitted = 60.0 / np.polyfit(np.arange(len(beats)), beats, 1)[0]
    assert printed[0] == (
        f"{path}: {fitted:.1f} BPM, 4/4, {len(beats)} beats, first downbeat: beat {downbeat + 1} at {beats[downbeat]:.3f} s"
    )
    assert printed[1] == f"  0:00 {fitted:.1f} BPM"
    assert printed[2] == f"beat map written to {output}"
    document = json.loads(output.read_text())
    assert document["bars"] == list(loaded.bars) and loaded.bars[0] == downbeat
    assert all(b - a == 4 for a, b in zip(loaded.bars, loaded.bars[1:]))


def test_music_command_prints_each_tempo_section(tmp_path, capsys):
    first, second = song(ROCK, 120.0, 14.0, lead_seconds=0.2, seed=1), song(ROCK, 150.0, 12.0, seed=2)
    made = synth.splice(first, second, 20)
    path = _write(tmp_path / "step.wav", made.audio)
    assert cli.main(["beats", str(path)]) == 0
    printed = capsys.readouterr().out.splitlines()
    assert printed[0].startswith(f"{path}: 120.0 to 150.0 BPM, 4/4, ")
    assert printed[1:] == ["  0:00 120.0 BPM", "  0:10 150.0 BPM"]


def test_music_command_errors_are_one_line_and_write_nothing(tmp_path, capsys):
    silence = _write(tmp_path / "silence.wav", np.zeros(22050 * 4))
    output = tmp_path / "beats.json"
    assert cli.main(["beats", str(silence), "-o", str(output)]) == 1
    error = capsys.readouterr().err
    assert error == f"kinetrope beats: error: {silence}: silence, no beat to track\n"
    assert not output.exists()
    assert cli.main(["beats", str(tmp_path / "gone.flac")]) == 1
    assert capsys.readouterr().err == f"kinetrope beats: error: {tmp_path / 'gone.flac'}: no such file\n"
    assert list(tmp_path.iterdir()) == [silence]


@pytest.mark.parametrize(
    "argv",
    [
        ["beats"],
        ["beats", "a.wav", "--bpm", "fast"],
        ["beats", "a.wav", "--bpm", "0"],
        ["beats", "a.wav", "--bpm-range", "130", "120"],
        ["beats", "a.wav", "--beats-per-bar", "5"],
    ],
    ids=["no-song", "bpm-text", "bpm-zero", "range-reversed", "five-beats-a-bar"],
)
def test_music_command_usage_errors_exit_2(argv, capsys):
    with pytest.raises(SystemExit) as caught:
        cli.main(argv)
    assert caught.value.code == 2
    assert len(capsys.readouterr().err.splitlines()) == 1


def test_a_map_from_audio_has_the_tracked_beats_and_bars(tmp_path):
    rate, bpm = 22050, 120.0
    audio = np.zeros(int(rate * 12.0))
    click = np.sin(2 * np.pi * 60 * np.arange(int(rate * 0.08)) / rate) * np.exp(-np.arange(int(rate * 0.08)) / 400)
    for beat in range(22):
        start = int((0.5 + beat * 60 / bpm) * rate)
        audio[start:start + click.size] += click
    path = tmp_path / "clicks.wav"
    soundfile.write(path, audio, rate)
    beat_map = track_beat_map(path)
    assert beat_map.bpm == pytest.approx(bpm, rel=0.02)
    truth = 0.5 + np.arange(2, 20) * 0.5  # away from the ends, every click has a beat within 30 ms
    assert np.all(np.abs(beat_map.beats[:, None] - truth[None, :]).min(axis=0) < 0.03)
    assert beat_map.bars[0] == beat_map.downbeat


def test_a_map_written_before_bars_were_kept_still_loads(tmp_path):
    path = tmp_path / "old.json"
    path.write_text(json.dumps({"beats": [0.5, 1.0, 1.5, 2.0, 2.5, 3.0], "downbeat": 1, "offset": 0}))
    loaded = BeatMap.load(path)
    assert loaded.bars == (1, 5) and loaded.pip_at(1.0) == 0
    assert "bars" not in loaded.to_json()
