"""kinetrope render: the decoded video puts each point where its pattern is at the clock's pip, with the song beside it."""

import math
import os
import pathlib
import signal
import subprocess
import sys
import time

import av
import numpy as np
import pytest
import soundfile

from kinetrope_tools import sample_many
from kinetrope_tools.clocks import BeatMap, FixedTempo
from kinetrope_tools.pictures import render as render_module
from kinetrope_tools.pictures.frames import frames, shown_tempo
from kinetrope_tools.pictures.layout import layout_for
from kinetrope_tools.pictures.painter import POINT, Painter
from kinetrope_tools.pictures.render import render

COMMAND = pathlib.Path(sys.executable).with_name("kinetrope")
RATE = 44100
SONG_SECONDS = 3.0
FPS = 50
SIZE = 360
PATTERNS = ["circle", "helix"]  # a fast orbit, and a slower one whose depth changes the point's size


def ramp_beats(seconds, first_bpm, last_bpm, first_beat):
    """Beat times of a tempo that rises evenly from first_bpm to last_bpm, the first beat at first_beat."""
    beats, t = [], first_beat
    while t < seconds + 1.0:
        beats.append(t)
        t += 60.0 / (first_bpm + (last_bpm - first_bpm) * t / seconds)
    return np.array(beats)


def clicks(beats, seconds, rate=RATE):
    """A stereo song of short 1 kHz clicks on the beats over a quiet hum."""
    t = np.arange(round(seconds * rate)) / rate
    song = 0.03 * np.sin(2 * np.pi * 110 * t)
    burst = np.arange(round(0.03 * rate))
    for beat in beats:
        at = round(beat * rate)
        piece = song[at:at + burst.size]
        piece += 0.8 * np.exp(-burst[:piece.size] / (0.004 * rate)) * np.sin(2 * np.pi * 1000 * burst[:piece.size] / rate)
    return np.column_stack([song, song]).astype(np.float32)


RAMP = ramp_beats(SONG_SECONDS, 100.0, 150.0, 0.12)


@pytest.fixture(scope="module")
def song(tmp_path_factory):
    path = tmp_path_factory.mktemp("song") / "clicks.wav"
    soundfile.write(path, clicks(RAMP, SONG_SECONDS), RATE)
    return path


def decoded(path):
    """(times and RGB frames of the video, the audio as (channels, samples), its rate)."""
    with av.open(str(path)) as box:
        frames = [(frame.time, frame.to_ndarray(format="rgb24")) for frame in box.decode(video=0)]
    with av.open(str(path)) as box:
        stream = box.streams.audio[0]
        audio = np.concatenate([frame.to_ndarray() for frame in box.decode(stream)], axis=1)
        rate = stream.codec_context.sample_rate
    return frames, audio, rate


def point_centre(frame, layout, index):
    """The centroid of the point's colour inside panel ``index``'s plotting square, or None."""
    cx, cy = layout.centre(index)
    reach = int(layout.radius + 2 * layout.point_radius)
    top, left = int(cy) - reach, int(cx) - reach
    square = frame[top:top + 2 * reach, left:left + 2 * reach].astype(int)
    near = np.abs(square - np.array(POINT)).sum(axis=2) < 90
    if near.sum() < 8:
        return None
    ys, xs = np.nonzero(near)
    return np.array([left + xs.mean() + 0.5, top + ys.mean() + 0.5])


def pixels_of(layout, index, offsets):
    """Where offsets should be drawn: x to the right and y up from the panel's centre, 1 at ``radius`` pixels."""
    cx, cy = layout.centre(index)
    return np.column_stack([cx + offsets[:, 0] * layout.radius, cy - offsets[:, 1] * layout.radius])


CLOCKS = {
    "fixed-124": FixedTempo(124.0, beat_zero_seconds=0.05),
    "ramp-100-150": BeatMap(RAMP),
    "ramp-bar-later": BeatMap(RAMP, offset=-3 * 64, downbeat=1),
}


@pytest.mark.parametrize("clock_name", list(CLOCKS))
@pytest.mark.parametrize(("start", "seconds"), [(0.0, None), (0.7, 1.6)], ids=["whole-song", "part"])
def test_music_points_follow_the_clock_and_the_audio_is_the_song(tmp_path, song, clock_name, start, seconds):
    clock = CLOCKS[clock_name]
    done = render(tmp_path / "out.mp4", song, PATTERNS, clock=clock, fps=FPS, size=SIZE, start=start, seconds=seconds)
    length = (SONG_SECONDS - start) if seconds is None else seconds
    frames, audio, rate = decoded(done.path)
    layout = layout_for(len(PATTERNS), SIZE)
    assert (frames[0][1].shape[1], frames[0][1].shape[0]) == (layout.width, layout.height) == (done.width, done.height)

    # The audio is the song's part, and the video covers it to within one frame.
    assert abs(audio.shape[1] / rate - length) <= 1 / FPS
    assert len(frames) == done.frames == math.ceil(length * FPS - 1e-9)
    assert [round(time * FPS) for time, _ in frames] == list(range(len(frames)))

    # The clicks are where they were in the song: the picture and the sound start together.
    loud = np.abs(audio[0]) > 0.4
    onsets = np.flatnonzero(loud & ~np.concatenate([[False], loud[:-1]]))
    onsets = onsets[np.concatenate([[True], np.diff(onsets) > 0.1 * rate])] / rate
    expected = RAMP[(RAMP >= start) & (RAMP < start + length - 0.05)] - start
    assert len(onsets) == len(expected)
    assert np.max(np.abs(onsets - expected)) < 0.003

    # Every point is where its pattern is at the clock's pip, within the motion of one pip.
    checked = 0
    for time, frame in frames:
        pip = clock.pip_at(start + round(time * FPS) / FPS)
        for index, name in enumerate(PATTERNS):
            around = pixels_of(layout, index, sample_many(name, [pip - 1, pip, pip + 1]))
            step = max(np.linalg.norm(around[1] - around[0]), np.linalg.norm(around[2] - around[1]))
            seen = point_centre(frame, layout, index)
            assert seen is not None, (time, name)
            assert np.linalg.norm(seen - around[1]) <= step + 1.5, (time, name, pip, seen, around[1])
            checked += 1
    assert checked == 2 * len(frames)


def test_music_point_size_shows_depth(tmp_path, song):
    # helix runs from far (z = -1) at pip 192 to near (z = +1) at pip 64 and back.
    clock = FixedTempo(60.0)  # one beat a second: pip 64 at 1 s, pip 192 at 3 s
    done = render(tmp_path / "out.mp4", song, ["helix"], clock=clock, fps=FPS, size=SIZE)
    frames, _, _ = decoded(done.path)
    layout = layout_for(1, SIZE)
    areas = {}
    for time, frame in frames:
        pip = clock.pip_at(round(time * FPS) / FPS)
        if pip in (64, 160):
            near = np.abs(frame.astype(int) - np.array(POINT)).sum(axis=2) < 90
            areas[pip] = int(near.sum())
    z = {pip: float(sample_many("helix", [pip])[0, 2]) for pip in areas}
    assert z[64] > 0.9 and z[160] < -0.6
    assert areas[64] > 3 * areas[160]


def test_music_each_frame_is_drawn_as_if_on_a_clean_background():
    # The painter puts back only what the last frame drew; nothing of it may stay behind.
    names = ["beat_house_classic_bounce", "figure_eight", "helix"]
    layout, clock = layout_for(len(names), 240), BeatMap(RAMP)
    in_turn = frames(Painter(layout, names, None), clock, fps=25)
    for k in range(60):
        drawn = np.array(next(in_turn))
        fresh = np.array(next(frames(Painter(layout, names, None), clock, fps=25, start=k / 25)))
        assert np.array_equal(drawn, fresh), k


class FailingClock:
    """A clock that gives up one second into the song, as a clock does past the 32-bit pips."""

    def pip_at(self, seconds):
        if seconds >= 1.0:
            raise ValueError(f"{seconds} s is outside the 32-bit pip range")
        return math.floor(seconds * 128)

    def seconds_at(self, pip):
        return pip / 128

    def bpm_at(self, seconds):
        return 120.0

    def pip_now(self):
        raise NotImplementedError


@pytest.mark.parametrize(
    ("planted", "error"),
    [
        ("file", "outside the 32-bit pip range"),
        ("link", "outside the 32-bit pip range"),
        ("link", None),
    ],
    ids=["failure-keeps-old-file", "failure-keeps-link", "success-replaces-link-not-target"],
)
def test_music_output_appears_whole_and_never_through_a_link(tmp_path, song, planted, error):
    victim = tmp_path / "victim.txt"
    victim.write_text("keep me")
    output = tmp_path / "out" / "video.mp4"
    output.parent.mkdir()
    if planted == "file":
        output.write_text("an older render")
    else:
        output.symlink_to(victim)
    if error:
        with pytest.raises(ValueError, match=error):
            render(output, song, ["circle"], clock=FailingClock(), size=SIZE)
        assert output.is_symlink() or output.read_text() == "an older render"
    else:
        render(output, song, ["circle"], clock=FixedTempo(120.0), size=SIZE, seconds=0.5)
        assert not output.is_symlink() and output.read_bytes()[4:8] == b"ftyp"
    assert victim.read_text() == "keep me"
    assert sorted(p.name for p in output.parent.iterdir()) == ["video.mp4"]  # no temporary file left behind


@pytest.mark.parametrize(
    ("arguments", "message"),
    [
        ({"fps": 0}, "fps must be a whole number from 1 to 120"),
        ({"fps": 50.0}, "fps must be a whole number"),
        ({"fps": True}, "fps must be a whole number"),
        ({"size": 100}, "size must be a whole number from 120 to 2160"),
        ({"start": float("nan")}, "start must be a finite number"),
        ({"seconds": 0}, "seconds must be a finite number of seconds above 0"),
        ({"start": 3.5}, "start 3.5 s is past the end of the song"),
        ({"patterns": []}, "give 1 to 16 patterns, not 0"),
        ({"patterns": ["circle"] * 17}, "give 1 to 16 patterns, not 17"),
        ({"patterns": ["circle"] * 16, "size": 2160}, "a frame of 4320x2160 pixels is wider than 3840"),
        ({"patterns": ["circel"]}, "Unknown dance rudiment: circel"),
    ],
    ids=["fps-0", "fps-float", "fps-bool", "size", "start-nan", "seconds-0", "start-past-end", "no-pattern",
         "17-patterns", "too-wide", "unknown-pattern"],
)
def test_music_refuses_bad_values_before_writing(tmp_path, song, arguments, message):
    patterns = arguments.pop("patterns", ["circle"])
    with pytest.raises(ValueError, match=message):
        render(tmp_path / "out.mp4", song, patterns, clock=FixedTempo(120.0), **arguments)
    assert list(tmp_path.iterdir()) == []


def test_music_refuses_more_frames_than_the_limit(tmp_path, song, monkeypatch):
    monkeypatch.setattr(render_module, "MAX_FRAMES", 100)
    with pytest.raises(ValueError, match="^150 frames is more than 100; render a part of the song with start and seconds$"):
        render(tmp_path / "out.mp4", song, ["circle"], clock=FixedTempo(120.0), fps=FPS)
    assert list(tmp_path.iterdir()) == []


def run(*args):
    """The installed console script, as a user runs it."""
    return subprocess.run([str(COMMAND), *map(str, args)], capture_output=True, text=True, timeout=300)


def test_music_command_help():
    done = run("render", "--help")
    assert done.returncode == 0 and done.stderr == ""
    assert done.stdout.startswith("usage: kinetrope render [-h] -o FILE.mp4")


@pytest.mark.parametrize(
    ("args", "status", "message"),
    [
        (["{song}", "circle", "-o", "{tmp}/a.mp4", "--fps", "0"], 2, "kinetrope render: error: argument --fps: must be from 1 to 120, not 0"),
        (["{song}", "circle", "-o", "{tmp}/a.mp4", "--size", "big"], 2, "kinetrope render: error: argument --size: not a whole number: 'big'"),
        (["{song}", "circle", "-o", "{tmp}/a.mp4", "--start", "-1"], 2, "kinetrope render: error: argument --start: must be at least 0 seconds, not -1"),
        (["{song}", "-o", "{tmp}/a.mp4"], 2, "kinetrope render: error: the following arguments are required: PATTERN"),
        (["{tmp}/missing.wav", "circle", "-o", "{tmp}/a.mp4"], 1, "kinetrope render: error: {tmp}/missing.wav: no such file"),
        (["{tmp}/song.fifo", "circle", "-o", "{tmp}/a.mp4"], 1, "kinetrope render: error: {tmp}/song.fifo: not a file"),
        (["/dev/zero", "circle", "-o", "{tmp}/a.mp4"], 1, "kinetrope render: error: /dev/zero: not a file"),
        (["{tmp}", "circle", "-o", "{tmp}/a.mp4"], 1, "kinetrope render: error: {tmp}: not a file"),
        (["{tmp}/notes.txt", "circle", "-o", "{tmp}/a.mp4"], 1, "kinetrope render: error: {tmp}/notes.txt: not an audio file that can be read"),
        (["{song}", "circel", "-o", "{tmp}/a.mp4"], 2, "kinetrope render: error: unknown pattern 'circel'; did you mean circle?"),
        (["{song}", "circle", "-o", "{song}"], 1, "kinetrope render: error: {song}: the output would replace the song"),
        (["{song}", "circle", "-o", "{tmp}"], 1, "kinetrope render: error: {tmp}: Is a directory"),
        (["{song}", "circle", "-o", "{tmp}/a.mp4", "--start", "3.5"], 1,
         "kinetrope render: error: --start 3.5 s is past the end of the song (3.00 s)"),
    ],
    ids=["fps", "size", "start", "no-pattern", "missing-song", "fifo-song", "device-song", "folder-song", "not-audio",
         "unknown-pattern", "over-the-song", "output-is-a-folder", "start-past-the-end"],
)
def test_music_command_errors_are_one_line(tmp_path, song, args, status, message):
    (tmp_path / "notes.txt").write_text("not a song\n")
    os.mkfifo(tmp_path / "song.fifo")  # nothing ever writes to it: opening it to read would wait for ever
    values = {"song": song, "tmp": tmp_path}
    done = run("render", *[a.format(**values) for a in args])
    assert done.returncode == status
    assert done.stderr.count("\n") == 1, done.stderr
    assert done.stderr.startswith(message.format(**values))
    assert sorted(p.name for p in tmp_path.iterdir()) == ["notes.txt", "song.fifo"]
    assert song.stat().st_size > 0


@pytest.mark.parametrize("beats", ["given", "tracked"])
def test_music_command_renders_with_a_beat_map_given_or_tracked(tmp_path, song, beats):
    extra = []
    if beats == "given":
        BeatMap(RAMP).save(tmp_path / "beats.json")
        extra = ["--beats", tmp_path / "beats.json"]
    done = run("render", song, "circle", "helix", "-o", tmp_path / "out.mp4", "--size", 120, "--start", 1, "--seconds", 1, *extra)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[-1] == f"{tmp_path / 'out.mp4'}: 50 frames at 50 per second, 240x120, 1.00 s of audio"
    assert (len(lines) == 2 and lines[0].startswith(f"{song}: beats tracked, ")) == (beats == "tracked")
    with av.open(str(tmp_path / "out.mp4")) as box:
        assert sum(1 for _ in box.decode(video=0)) == 50


@pytest.mark.parametrize("signum", [signal.SIGTERM, signal.SIGHUP], ids=["SIGTERM", "SIGHUP"])
def test_music_command_ended_by_a_signal_leaves_no_partial_file(tmp_path, signum):
    song, beats, out = tmp_path / "long.wav", tmp_path / "beats.json", tmp_path / "out"
    soundfile.write(song, clicks(np.arange(0.1, 30.0, 0.5), 30.0), RATE)  # many seconds of frames to write
    BeatMap(np.arange(0.1, 31.0, 0.5)).save(beats)
    out.mkdir()
    command = [str(COMMAND), "render", str(song), "circle", "helix", "--beats", str(beats), "-o", str(out / "v.mp4")]
    with subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True) as process:
        try:
            deadline = time.monotonic() + 60
            while not any(p.name.endswith(".part") for p in out.iterdir()):
                assert process.poll() is None and time.monotonic() < deadline, "no partial file while rendering"
                time.sleep(0.01)
            process.send_signal(signum)
            _, errors = process.communicate(timeout=30)
        finally:
            process.kill()
    assert process.returncode == -signum, errors
    assert list(out.iterdir()) == []


def test_the_tempo_shown_is_steady_where_the_beats_wobble():
    # A steady 127.3 BPM whose tracked beats wobble by 4 ms either way: beat to beat the tempo reads from
    # 126.3 to 128.3; the frames show the average over eight beats.
    period = 60 / 127.3
    beats = np.arange(64) * period + np.where(np.arange(64) % 2, 0.004, -0.004)
    clock = BeatMap(beats)
    moments = np.linspace(beats[8], beats[-8], 200)
    wobble = [clock.bpm_at(t) for t in moments]
    shown = [shown_tempo(clock, t, clock.pip_at(t)) for t in moments]
    assert max(wobble) - min(wobble) > 1.5
    assert max(shown) - min(shown) < 0.05 and abs(np.mean(shown) - 127.3) < 0.05
    assert shown_tempo(FixedTempo(124.0), 1.0, 132) == pytest.approx(124.0)
