"""Gathers what the beat network learns from: the features of songs whose every beat is known, with
those beats and bar lines.

- the "tune" half of the real-song set (bench/real_songs.py builds it; the "held-out" half is never
  read here, so the benchmark can still measure on it);
- the same half's MIDI songs rendered again with another General MIDI soundfont (MuseScore's), so the
  net hears other instruments play the same parts;
- Planet Blupi's MIDI music (a Debian package no benchmark uses), with both soundfonts;
- with --more, more_songs.py's: game music in MIDI, MMA's accompaniment grooves and Frets on Fire's
  band recordings, from Debian packages no benchmark uses either (655 songs in all). The shipped nets
  were trained without them: three nets of 32 channels trained with them (watched songs' loss 0.170 to
  0.173) took the tracker to 23 of the tuning half's 33 songs at F >= 0.95, against the shipped nets' 26;
- the 68 synthesized styles of bench/songs.py in draws other than the benchmark's own (variations
  1 and up), with more tempi, lead-ins and mixes than the benchmark plays.

Every rendered song's truth is checked against its audio as bench/real_songs.py checks the
benchmark's; songs that fail are left out.

    .venv/bin/python train/beat_data.py [--variations 4] [--seconds 30] [--more [--mma 240]] [--install]

Writes build/train/beat_data.npz: every song's features one after another, where each song starts,
and its beat and bar-line frames.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import functools
import json
import os
import pathlib
import subprocess
import sys
import tempfile

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))

import more_songs  # noqa: E402
import real_songs  # noqa: E402
import songs as synth  # noqa: E402
from kinetrope_tools.clocks.beat_activation import FRAMES_PER_SECOND, Spectrogram  # noqa: E402

REAL = ROOT / "build" / "real_songs"
OUT = ROOT / "build" / "train" / "beat_data.npz"
EXTRA = ROOT / "build" / "train" / "extra"
PACKAGES = ("planetblupi-music-midi", "musescore-general-soundfont-small")
BLUPI = pathlib.Path("/usr/share/planetblupi/music")
SOUNDFONTS = {"fluid": real_songs.SOUNDFONT, "musescore": pathlib.Path("/usr/share/sounds/sf3/MuseScore_General_Lite.sf3")}
SECONDS = 60.0
RECORDED_SECONDS = 150.0


def _render(midi, soundfont: pathlib.Path) -> np.ndarray:  # type: ignore[no-untyped-def]
    """The first SECONDS + 5 s of ``midi`` played with ``soundfont``, mono. The synthesizer's raw output
    is read from a pipe and the synthesizer stopped there: some songs hold a note it renders for ever."""
    with tempfile.TemporaryDirectory() as folder:
        source = pathlib.Path(folder) / "song.mid"
        midi.save(str(source))
        wanted = int((SECONDS + 5.0) * real_songs.RATE) * 2 * 2  # stereo, 16 bits
        with subprocess.Popen(
            ["fluidsynth", "-ni", "-q", "-R", "0", "-C", "0", "-g", "0.6", "-r", str(real_songs.RATE),
             "-T", "raw", "-O", "s16", "-F", "-", str(soundfont), str(source)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
        ) as synth_process:
            assert synth_process.stdout is not None
            raw = synth_process.stdout.read(wanted)
            synth_process.kill()
    samples = np.frombuffer(raw[: len(raw) // 4 * 4], dtype="<i2").reshape(-1, 2).astype(np.float32) / 32768.0
    return np.asarray(samples.mean(axis=1))


def _cut(midi, seconds: float):  # type: ignore[no-untyped-def]
    """``midi`` up to ``seconds`` into the song: the synthesizer renders no more than is used."""
    import mido

    tick, elapsed, tempo, cutoff = 0, 0.0, 500000, None
    for message in mido.merge_tracks(midi.tracks):
        tick += message.time
        elapsed += mido.tick2second(message.time, midi.ticks_per_beat, tempo)
        if message.type == "set_tempo":
            tempo = message.tempo
        if elapsed > seconds:
            cutoff = tick
            break
    if cutoff is None:
        return midi
    cut = mido.MidiFile(type=midi.type, ticks_per_beat=midi.ticks_per_beat)
    for track in midi.tracks:
        kept, at = mido.MidiTrack(), 0
        for message in track:
            if at + message.time > cutoff or message.is_meta and message.type == "end_of_track":
                break
            at += message.time
            kept.append(message)
        cut.tracks.append(kept)
    # Notes still held at the cut would sound on for ever: every channel falls silent there.
    last = cut.tracks[0]
    last.append(mido.MetaMessage("marker", text="cut", time=cutoff - sum(message.time for message in last)))
    for channel in range(16):
        last.append(mido.Message("control_change", channel=channel, control=120, value=0, time=0))
        last.append(mido.Message("control_change", channel=channel, control=123, value=0, time=0))
    return cut


def extra_songs(manifest: dict, *, more: bool, mma_count: int):  # type: ignore[no-untyped-def]
    """(name, audio, rate, beats, downbeats) of the training-only songs, cached under build/train/extra."""
    tune = {name for name, entry in manifest.items() if entry["trusted"] and entry["half"] == "tune"}
    fonts = [font for font, path in SOUNDFONTS.items() if path.exists()]
    sources = [(f"blupi_{path.stem}", path, ("fluid", "musescore")) for path in sorted(BLUPI.glob("*.mid"))]
    sources += [(f"openmsx_{path.stem}", path, ("musescore",))
                for path in sorted(real_songs.OPENMSX.glob("*.mid")) if f"openmsx_{path.stem}" in tune]
    if more:
        sources += [(name, path, ("fluid", "musescore")) for name, path in more_songs.game_sources()]
    EXTRA.mkdir(parents=True, exist_ok=True)

    jobs = []
    for name, path, wanted in sources:
        for font in wanted:
            if font in fonts:
                jobs.append((f"{name}@{font}", functools.partial(_from_file, name, path, font)))
    for number, (name, source) in enumerate(more_songs.mma_sources(mma_count if more else 0)):
        font = fonts[number % len(fonts)]
        jobs.append((f"{name}@{font}", functools.partial(_from_mma, name, source, font)))

    def render(job) -> tuple[str, dict, np.ndarray | None]:  # type: ignore[no-untyped-def]
        name, make = job
        entry, audio = more_songs.cached(EXTRA, name, make)
        return name, entry, audio

    with concurrent.futures.ThreadPoolExecutor(max(1, os.cpu_count() or 1)) as pool:
        rendered = list(pool.map(render, jobs))
    for name, chart in more_songs.frets_on_fire_songs() if more else ():
        rendered.append((name, *more_songs.cached(EXTRA, name, functools.partial(_from_recording, name, chart))))
    for name, entry, audio in rendered:
        if audio is not None:
            yield name, audio, real_songs.RATE, entry["beats"], entry["downbeats"]
        else:
            print(f"{name} left out: {'; '.join(entry['reasons'])}")


def _from_midi(name: str, midi, font: str):  # type: ignore[no-untyped-def]
    """(entry, audio) of ``midi`` played with ``font``, its truth checked."""
    audio = _render(_cut(midi, SECONDS + 5.0), SOUNDFONTS[font])
    entry = real_songs.checked_entry(name, font, real_songs.midi_truth(midi), audio, SECONDS)
    return entry, audio[: int(SECONDS * real_songs.RATE)]


def _from_file(name: str, path: pathlib.Path, font: str):  # type: ignore[no-untyped-def]
    import mido

    try:
        midi = mido.MidiFile(str(path))
    except Exception as error:  # mido raises its own kinds for a malformed meta event or a cut file
        return {"trusted": False, "reasons": [f"unreadable ({error})"]}, None
    return _from_midi(name, midi, font)


def _from_mma(name: str, source: str, font: str):  # type: ignore[no-untyped-def]
    midi = more_songs.mma_midi(source)
    if midi is None:
        return {"trusted": False, "reasons": ["MMA made no MIDI file"]}, None
    return _from_midi(name, midi, font)


def _from_recording(name: str, chart: pathlib.Path):  # type: ignore[no-untyped-def]
    audio, midi = more_songs.recorded_song(chart)
    cut = audio[: int(RECORDED_SECONDS * real_songs.RATE)]
    return real_songs.checked_entry(name, "recorded", real_songs.midi_truth(midi), cut, RECORDED_SECONDS), cut


def frames_of(times: list[float] | np.ndarray, hop_seconds: float) -> np.ndarray:
    return np.round(np.asarray(times, dtype=float) / hop_seconds).astype(np.int64)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--variations", type=int, default=4)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--more", action="store_true",
                        help="also more_songs.py's game music, MMA grooves and band recordings "
                             "(not in the shipped nets)")
    parser.add_argument("--mma", type=int, default=240, help="with --more: how many MMA groove songs")
    parser.add_argument("--install", action="store_true", help="install the Debian packages first (as root)")
    args = parser.parse_args()
    if args.install:
        real_songs.install()
        extra = more_songs.PACKAGES if args.more else ()
        subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends", *PACKAGES, *extra], check=True)
    import soundfile

    features, names, beats, downbeats, has_bars = [], [], [], [], []

    def add(name: str, audio: np.ndarray, rate: int, beat_times, downbeat_times) -> None:
        spectrogram = Spectrogram(rate)
        hop_seconds = spectrogram.hop / rate
        song = spectrogram.frames(audio).astype(np.float32)
        features.append(song)
        names.append(name)
        beats.append(frames_of(beat_times, hop_seconds))
        known = downbeat_times is not None and len(downbeat_times) > 0
        downbeats.append(frames_of(downbeat_times if known else [], hop_seconds))
        has_bars.append(known)
        print(f"{name}: {len(song)} frames, {len(beat_times)} beats", flush=True)

    manifest = json.loads((REAL / "manifest.json").read_text())
    for name, entry in sorted(manifest.items()):
        if entry["trusted"] and entry["half"] == "tune":
            audio, rate = soundfile.read(str(REAL / f"{name}.flac"), dtype="float32")
            if audio.ndim > 1:
                audio = audio.mean(axis=1)
            add(name, audio, rate, entry["beats"], entry.get("downbeats"))
    for name, audio, rate, beat_times, downbeat_times in extra_songs(manifest, more=args.more, mma_count=args.mma):
        add(name, audio, rate, beat_times, downbeat_times)
    grooves = synth.read_grooves()
    for variation in range(1, args.variations + 1):
        for case in synth.evaluation_set(list(grooves), 100 + variation):
            song = case.render(grooves[case.key], args.seconds)
            add(f"{case.key}@{variation}", song.audio, song.sample_rate, song.beats, song.downbeats)
    starts = np.cumsum([0] + [len(f) for f in features])
    OUT.parent.mkdir(parents=True, exist_ok=True)
    np.savez_compressed(
        OUT,
        features=np.concatenate(features),
        starts=starts,
        names=np.array(names),
        beat_starts=np.cumsum([0] + [len(b) for b in beats]),
        beats=np.concatenate(beats),
        downbeat_starts=np.cumsum([0] + [len(d) for d in downbeats]),
        downbeats=np.concatenate(downbeats),
        has_bars=np.array(has_bars),
        frames_per_second=FRAMES_PER_SECOND,
    )
    print(f"{len(names)} songs, {starts[-1]} frames -> {OUT}")


if __name__ == "__main__":
    main()
