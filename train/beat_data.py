"""Gathers what the beat network learns from: the features of songs whose every beat is known, with
those beats and bar lines.

- the "tune" half of the real-song set (bench/real_songs.py builds it; the "held-out" half is never
  read here, so the benchmark can still measure on it);
- the same half's MIDI songs rendered again with another General MIDI soundfont (MuseScore's), so the
  net hears other instruments play the same parts;
- Planet Blupi's MIDI music (a Debian package no benchmark uses), with both soundfonts;
- the 68 synthesized styles of bench/songs.py in draws other than the benchmark's own (variations
  1 and up), with more tempi, lead-ins and mixes than the benchmark plays.

Every rendered song's truth is checked against its audio as bench/real_songs.py checks the
benchmark's; songs that fail are left out.

    .venv/bin/python train/beat_data.py [--variations 4] [--seconds 30]

Writes build/train/beat_data.npz: every song's features one after another, where each song starts,
and its beat and bar-line frames.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import json
import os
import pathlib
import subprocess
import sys
import tempfile

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))

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


def extra_songs(manifest: dict):  # type: ignore[no-untyped-def]
    """(name, audio, beats, downbeats) of the training-only renders, cached under build/train/extra."""
    import mido
    import soundfile

    tune = {name for name, entry in manifest.items() if entry["trusted"] and entry["half"] == "tune"}
    sources = [(f"blupi_{path.stem}", mido.MidiFile(str(path)), ("fluid", "musescore")) for path in sorted(BLUPI.glob("*.mid"))]
    sources += [(f"openmsx_{path.stem}", mido.MidiFile(str(path)), ("musescore",))
                for path in sorted(real_songs.OPENMSX.glob("*.mid")) if f"openmsx_{path.stem}" in tune]
    EXTRA.mkdir(parents=True, exist_ok=True)
    jobs = [(name, midi, font) for name, midi, fonts in sources for font in fonts if SOUNDFONTS[font].exists()]

    def render(job) -> None:  # type: ignore[no-untyped-def]
        name, midi, font = job
        target, truth_file = EXTRA / f"{name}@{font}.flac", EXTRA / f"{name}@{font}.json"
        if truth_file.exists():
            return
        audio = _render(_cut(midi, SECONDS + 5.0), SOUNDFONTS[font])
        entry = real_songs.checked_entry(name, font, real_songs.midi_truth(midi), audio, SECONDS)
        if entry["trusted"]:
            soundfile.write(str(target), audio[: int(SECONDS * real_songs.RATE)], real_songs.RATE)
        truth_file.write_text(json.dumps(entry))

    with concurrent.futures.ThreadPoolExecutor(max(1, os.cpu_count() or 1)) as pool:
        list(pool.map(render, jobs))
    for name, _, font in jobs:
        target, truth_file = EXTRA / f"{name}@{font}.flac", EXTRA / f"{name}@{font}.json"
        entry = json.loads(truth_file.read_text())
        if entry["trusted"]:
            audio, rate = soundfile.read(str(target), dtype="float32")
            yield f"{name}@{font}", audio, rate, entry["beats"], entry["downbeats"]
        else:
            print(f"{name}@{font} left out: {'; '.join(entry['reasons'])}")


def frames_of(times: list[float] | np.ndarray, hop_seconds: float) -> np.ndarray:
    return np.round(np.asarray(times, dtype=float) / hop_seconds).astype(np.int64)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--variations", type=int, default=4)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--install", action="store_true", help="install the Debian packages first (as root)")
    args = parser.parse_args()
    if args.install:
        real_songs.install()
        subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends", *PACKAGES], check=True)
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
    for name, audio, rate, beat_times, downbeat_times in extra_songs(manifest):
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
