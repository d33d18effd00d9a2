"""Beat tracking on short synthesized songs whose every beat is known, its errors, and ``kinetrope beats``."""

import json

import numpy as np
import pytest
import songs as synth
import soundfile

from kinetrope_tools import cli
from kinetrope_tools.clocks import BeatMap
from kinetrope_tools.music.beat_grid import steady_grid
from kinetrope_tools.music.tracking import AudioError, track_audio, track_beat_map, track_beats

HOUSE = {
    "kick": "x...x...x...x...", "clap": "....x.......x...", "hat": "gg.ggg.ggg.ggg.g", "open hat": "..x...x...x...x."
}
DNB = {"kick": "x.........x.....", "snare": "....x.......x...", "hat": "o.o.o.o.o.o.o.o."}
DEMBOW = {"kick": "x...x...x...x...", "snare": "...x..x....x..x.", "hat": "o.o.o.o.o.o.o.o."}
SWUNG = {"kick": "x...x...x...x...", "clap": "....x.......x...", "hat": ".g.o.g.o.g.o.g.o"}


def matched(beats, truth, window=0.07):
    """The signed error (s) of each true beat's nearest tracked beat, for those within the window."""
    nearest = beats[np.abs(beats[:, None] - truth[None, :]).argmin(axis=0)]
    errors = nearest - truth
    return errors[np.abs(errors) <= window]


def song(grids, bpm, seconds=10.0, **options):
    return synth.render(synth.Groove.from_grids("test", grids, options.pop("swing", 0.0)), bpm, seconds, **options)


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


# Syncopated grooves whose loudest periods mislead: a rim in threes over a shuffled two-step draws
# the tempo to the dotted period (about 168 for 130), and a tresillo kick with off-beat rims draws
# the beats onto the "&"s. The bar the drums repeat in and the backbeat set both right.
SHUFFLE_RIM = {
    "kick": "x.........x..... |x.........x.....", "clap": "....x.......x... |....x.......x...",
    "rim": ".o.....o.o...o.. |.o...o.o.....o.o", "hat": "..o...o...o...o. |..o...o...o...o.",
}
TRESILLO_RIM = {
    "kick": "x.....x...x..... |x.....x.........", "rim": "...o.....o...o.. |...o.....o..o.o.",
    "clap": "....x.......x... |....x.......x...",
}
# Loud open hats on the "&"s and closed hats bunched before them draw the beats a quarter of a beat off.
DISCO = {
    "kick": "x...x...x...x... |x...x...x..xx...", "snare": "....x.......x... |....x......xx...",
    "hat": "ooo..oo.ooo..oo. |ooo..oo.ooo..oo.", "open hat": "...x...x...x...x |...x...x.......x",
}
# Only the hats move between one drop's bars: at twice its tempo they would be the beats themselves.
ONE_DROP = {"kick": "........x.......", "rim": "........x.......", "hat": "o.o.o.o.o.o.o.o."}


@pytest.mark.parametrize(
    ("grids", "bpm", "swing"),
    [
        (SHUFFLE_RIM, 130.0, 0.2),
        (TRESILLO_RIM, 124.0, 0.0),
        (DISCO, 118.0, 0.0),
        (ONE_DROP, 80.0, 0.0),
        (HOUSE, 118.7, 0.0),  # between two of the tempogram's bins (117.5 and 120.2)
    ],
    ids=["rim-in-threes-130", "tresillo-124", "disco-118", "one-drop-80", "house-118.7"],
)
def test_music_syncopated_grooves_keep_their_tempo_and_beat(grids, bpm, swing):
    made = song(grids, bpm, 12.0, start_beat=1, lead_seconds=0.2, swing=swing, seed=5)
    beats, _ = track_audio(made.audio, made.sample_rate)
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(bpm, rel=0.005)
    # On the beats, not between them: nearly every true beat has a tracked beat within 70 ms.
    assert len(matched(beats, made.beats)) >= 0.9 * len(made.beats)


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


def test_music_a_tempo_ramp_is_followed():
    made = song(HOUSE, 124.0, 16.0, bpm_end=136.0, seed=2)
    beats, _ = track_audio(made.audio, made.sample_rate)
    assert len(matched(beats, made.beats, 0.03)) >= len(made.beats) - 2


def test_music_beats_carry_through_an_intro_without_drums():
    """Bass and chords alone for the first six seconds: the pulse the drums set goes back to the start."""
    made = song(HOUSE, 124.0, 16.0, drumless_seconds=6.0, lead_seconds=0.1, seed=4)
    beats, _ = track_audio(made.audio, made.sample_rate)
    errors = matched(beats, made.beats)
    assert len(errors) >= len(made.beats) - 1 and len(beats) <= len(made.beats) + 1
    assert beats[0] < 0.2


def test_music_given_tempo_and_tempo_range_are_followed():
    made = song(DNB, 174.0, 12.0, seed=5)
    beats, _ = track_audio(made.audio, made.sample_rate, bpm_range=(80.0, 100.0))
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(87.0, rel=0.02)
    beats, _ = track_audio(made.audio, made.sample_rate, bpm=87.0)
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(87.0, rel=0.02)


def test_music_a_range_below_the_tempo_gives_its_half():
    """A candidate at 99 BPM (4/5 of 124) once won: the tracker's beats at that tempo drift back to
    124, whose grid they then fit. A tempo whose beats the tracker does not keep is refused."""
    groove = synth.read_grooves()["house_classic"]
    house = synth.render(groove, 124.0, 60.0, start_beat=3, lead_seconds=0.25, sample_rate=44100)
    beats, _ = track_audio(house.audio, house.sample_rate, bpm_range=(60.0, 100.0))
    assert 60.0 / np.median(np.diff(beats)) == pytest.approx(62.0, rel=0.02)


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
    ],
    ids=["bpm-zero", "bpm-nan", "range-reversed", "range-one-number", "range-text"],
)
def test_music_bad_tempo_options_are_refused_before_reading(options, message):
    with pytest.raises(ValueError, match=message):
        track_beats("no-need-to-exist.wav", **options)


def test_music_command_prints_and_writes_the_map(house, tmp_path, capsys):
    path, made = house
    output = tmp_path / "beats.json"
    assert cli.main(["beats", str(path), "-o", str(output)]) == 0
    printed = capsys.readouterr().out.splitlines()
    beats, downbeat = track_beats(path)
    loaded = BeatMap.load(output)
    assert np.array_equal(loaded.beats, beats) and loaded.downbeat == downbeat
    assert printed[0] == (
        f"{path}: {loaded.bpm:.1f} BPM, {len(beats)} beats, "
        f"first downbeat: beat {downbeat + 1} at {beats[downbeat]:.3f} s"
    )
    assert printed[1] == f"beat map written to {output}"
    assert json.loads(output.read_text())  # plain JSON


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
    ],
    ids=["no-song", "bpm-text", "bpm-zero", "range-reversed"],
)
def test_music_command_usage_errors_exit_2(argv, capsys):
    with pytest.raises(SystemExit) as caught:
        cli.main(argv)
    assert caught.value.code == 2
    assert len(capsys.readouterr().err.splitlines()) == 1


def _pulse(count, period=0.5, start=1.0):
    return start + period * np.arange(count)


@pytest.mark.parametrize(
    ("tracked", "first_sound", "last_sound", "expected"),
    [
        # A beat the tracker skipped is put back.
        (np.delete(_pulse(30), 17), 1.0, 15.6, _pulse(30)),
        # The last six beats slipped onto the "&"s: the pulse carries on through them.
        (np.concatenate([_pulse(24), _pulse(30)[24:] + 0.25]), 1.0, 15.6, _pulse(30)),
        # The tracker began late and stopped early: the pulse goes out to both ends of the sound.
        (_pulse(30)[8:22], 1.0, 15.6, _pulse(30)),
        # Never before the track's start, nor after the sound's end.
        (_pulse(30)[8:22], -5.0, 15.3, _pulse(31, start=0.0)),
    ],
    ids=["skipped-beat", "slip-onto-offbeats", "intro-and-outro", "track-ends"],
)
def test_music_steady_grid_carries_one_pulse(tracked, first_sound, last_sound, expected):
    beats = steady_grid(tracked, first_sound, last_sound, duration=30.0)
    assert beats == pytest.approx(expected, abs=1e-9)


def test_music_steady_grid_follows_a_tempo_that_moves_and_leaves_short_runs_alone():
    ramp = np.cumsum(np.linspace(0.5, 0.44, 60))  # 120 BPM speeding up to 136
    tracked = np.delete(ramp, [30, 31])
    carried = steady_grid(tracked, ramp[0], ramp[-1] + 0.01, duration=40.0)
    # The skipped beats come back within 15 ms of where they were, although the tempo quickened
    # through the gap (onset refinement then snaps them to their hits).
    assert carried == pytest.approx(ramp, abs=0.015)
    few = _pulse(6)
    assert np.array_equal(steady_grid(few, 0.0, 10.0, 10.0), few)
    stalled = np.full(12, 1.0)  # beats that do not advance carry no pulse (and do not loop forever)
    assert np.array_equal(steady_grid(stalled, 0.0, 10.0, 10.0), stalled)


def test_a_map_from_audio_has_the_tracked_beats(tmp_path):
    soundfile = pytest.importorskip("soundfile")
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
