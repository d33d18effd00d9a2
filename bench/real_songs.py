"""Rebuilds the evaluation set of real music made by others, with each song's known beats and bars.

The songs come from Debian's packages, rendered here so that their beat times
are known exactly:
- the drum machine Hydrogen's demo songs, rendered by its command-line
  renderer ``h2cli``; the truth is the song's grid (48 ticks a beat at its
  tempo, bars of four); one of them is also rendered with a tempo marker added,
  so its second half runs faster;
- MIDI songs (OpenTTD's OpenMSX music set and Freedoom's soundtrack) rendered
  with fluidsynth and the FluidR3 General MIDI soundfont; the truth is the MIDI
  file's tempo map (every quarter note) and its time signature (the bars);
- a DJ-style mix of two of them: the second song brought in over the first at
  the first's tempo, bar on bar, then moved to its own tempo over eight beats.

No truth is taken on trust. A MIDI song's notes must lie on its tempo map's
grid (sixteenths or triplets), and for every song the onsets of the rendered
audio must stand out at the claimed beats; the renderer's latency is measured
there and taken out of the truth. Songs that fail are kept apart with the reason.
Each song goes into one of two halves: "tune" (the tracker's constants may be
chosen while looking at it) and "held-out" (only measured).

    python bench/real_songs.py [--install] [--seconds 120]

Writes build/real_songs/NAME.flac and build/real_songs/manifest.json; the audio
is never committed. --install installs the Debian packages first (as root).
"""

from __future__ import annotations

import argparse
import io
import json
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zlib

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "build" / "real_songs"
PACKAGES = ("hydrogen", "openttd-openmsx", "freedoom", "fluidsynth", "fluid-soundfont-gm")
DEMO_SONGS = pathlib.Path("/usr/share/hydrogen/data/demo_songs")
OPENMSX = pathlib.Path("/usr/share/games/openttd/baseset/openmsx")
FREEDOOM = pathlib.Path("/usr/share/games/doom/freedoom2.wad")
SOUNDFONT = pathlib.Path("/usr/share/sounds/sf2/FluidR3_GM.sf2")
RATE = 22050
# A song's onsets at its claimed beats must be this much stronger than on average.
LEAST_CONTRAST = 1.25
# This share of a MIDI song's notes must lie within a 64th note of its sixteenth or triplet grid.
LEAST_ON_GRID = 0.8
# The renderer's latency is searched in this range (seconds).
LAGS = np.arange(-0.03, 0.1, 0.001)


def install() -> None:
    missing = [name for name in PACKAGES if subprocess.run(
        ["dpkg", "-s", name], capture_output=True).returncode != 0]
    if missing:
        subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends", *missing], check=True)


# --- truths -----------------------------------------------------------------------------------------


def midi_truth(midi) -> dict:  # type: ignore[no-untyped-def]
    """Every quarter note's time from the tempo map, the bar lines from the time signatures, and how
    much of the music lies on the grid."""
    import mido

    per_beat = midi.ticks_per_beat
    tempos, signatures, notes = [(0, 500000)], [], []
    for track in midi.tracks:
        tick = 0
        for message in track:
            tick += message.time
            if message.type == "set_tempo":
                tempos.append((tick, message.tempo))
            elif message.type == "time_signature":
                signatures.append((tick, message.numerator, message.denominator))
            elif message.type == "note_on" and message.velocity > 0:
                notes.append(tick)
    tempos.sort(key=lambda pair: pair[0])
    notes = np.array(sorted(notes))
    last_tick = int(notes[-1]) if len(notes) else 0
    ticks = np.arange(0, last_tick + per_beat, per_beat)

    def seconds(at: np.ndarray) -> np.ndarray:
        out = np.zeros(len(at))
        for index, value in enumerate(at):
            time, previous_tick, tempo = 0.0, 0, 500000
            for change_tick, change in tempos:
                if change_tick > value:
                    break
                time += (change_tick - previous_tick) * tempo / 1e6 / per_beat
                previous_tick, tempo = change_tick, change
            out[index] = time + (value - previous_tick) * tempo / 1e6 / per_beat
        return out

    beats = seconds(ticks)
    sixteenth, triplet = per_beat / 4, per_beat / 3
    slack = per_beat / 16
    on_grid = np.minimum(
        np.abs(notes - np.round(notes / sixteenth) * sixteenth), np.abs(notes - np.round(notes / triplet) * triplet)
    ) <= slack
    meters = {(numerator, denominator) for _, numerator, denominator in signatures}
    meter = None
    if len(meters) == 1:
        numerator, denominator = meters.pop()
        if denominator == 4 and numerator in (3, 4):
            meter = numerator
    first_note = float(seconds(np.array([notes[0]]))[0]) if len(notes) else 0.0
    bpms = sorted({round(mido.tempo2bpm(tempo), 1) for tick, tempo in tempos if tick <= last_tick})
    return {
        "beats": beats, "meter": meter, "on_grid": float(on_grid.mean()) if len(notes) else 0.0,
        "first_note": first_note, "tempi": bpms if len(tempos) > 1 else [120.0],
    }


def hydrogen_truth(song: pathlib.Path) -> dict:
    """The grid of a Hydrogen song: its patterns' lengths in ticks (48 a beat) at its tempo."""
    root = ElementTree.parse(song).getroot()
    bpm = float(root.findtext("bpm"))
    sizes = {p.findtext("name"): int(p.findtext("size")) for p in root.iter("pattern")}
    ticks = 0
    for group in root.find("patternSequence").findall("group"):
        ticks += max((sizes[p.text] for p in group.findall("patternID")), default=0)
    markers = sorted(
        (int(m.findtext("BAR")), float(m.findtext("BPM"))) for m in root.iter("newBPM")
    ) if root.find("BPMTimeLine") is not None else []
    beats, time, bar_bpm = [], 0.0, bpm
    group_ticks = []
    for group in root.find("patternSequence").findall("group"):
        group_ticks.append(max((sizes[p.text] for p in group.findall("patternID")), default=0))
    for column, length in enumerate(group_ticks):
        for marker_bar, marker_bpm in markers:
            if marker_bar == column:
                bar_bpm = marker_bpm
        for tick in range(0, length, 48):
            beats.append(time)
            time += 60.0 / bar_bpm
    beats.append(time)
    tempi = sorted({bpm, *(b for _, b in markers)})
    meter = 4 if all(size % 192 == 0 for size in group_ticks) else None
    return {"beats": np.array(beats), "meter": meter, "on_grid": 1.0, "first_note": 0.0, "tempi": tempi}


# --- rendering --------------------------------------------------------------------------------------


def render_midi(midi) -> np.ndarray:  # type: ignore[no-untyped-def]
    import soundfile

    with tempfile.TemporaryDirectory() as folder:
        source, wav = pathlib.Path(folder) / "song.mid", pathlib.Path(folder) / "song.wav"
        midi.save(str(source))
        subprocess.run(
            ["fluidsynth", "-ni", "-q", "-g", "0.6", "-r", str(RATE), "-F", str(wav), str(SOUNDFONT), str(source)],
            check=True, capture_output=True,
        )
        audio, rate = soundfile.read(str(wav), dtype="float32", always_2d=True)
    assert rate == RATE
    return audio.mean(axis=1)


def render_hydrogen(song: pathlib.Path) -> np.ndarray:
    import librosa
    import soundfile

    with tempfile.TemporaryDirectory() as folder:
        wav = pathlib.Path(folder) / "song.wav"
        # A private home whose settings let the song's tempo markers act (they are off by default).
        settings = pathlib.Path(folder) / ".hydrogen" / "hydrogen.conf"
        settings.parent.mkdir()
        default = (DEMO_SONGS.parent / "hydrogen.default.conf").read_text(encoding="utf-8")
        settings.write_text(default.replace("<useTimeLine>false<", "<useTimeLine>true<"), encoding="utf-8")
        subprocess.run(
            ["h2cli", "-s", str(song), "-o", str(wav)], check=True, capture_output=True, timeout=900,
            env={**os.environ, "HOME": folder},
        )
        audio, rate = soundfile.read(str(wav), dtype="float32", always_2d=True)
    return librosa.resample(audio.mean(axis=1), orig_sr=rate, target_sr=RATE, res_type="soxr_hq")


def with_tempo_marker(song: pathlib.Path, folder: pathlib.Path, bar: int, bpm: float) -> pathlib.Path:
    """A copy of a Hydrogen song whose tempo changes to ``bpm`` at pattern column ``bar``."""
    text = song.read_text(encoding="utf-8")
    marker = f"<BPMTimeLine><newBPM><BAR>{bar}</BAR><BPM>{bpm:g}</BPM></newBPM></BPMTimeLine>"
    copy = folder / f"{song.stem}_marker.h2song"
    copy.write_text(text.replace("<BPMTimeLine/>", marker), encoding="utf-8")
    return copy


def freedoom_songs() -> dict:
    """The MIDI lumps of Freedoom's second IWAD, by lump name."""
    import mido

    data = FREEDOOM.read_bytes()
    count, directory = struct.unpack("<ii", data[4:12])
    songs = {}
    for index in range(count):
        position, size, raw = struct.unpack("<ii8s", data[directory + 16 * index : directory + 16 * index + 16])
        name = raw.rstrip(b"\0").decode("ascii", "replace")
        lump = data[position : position + size]
        if name.startswith("D_") and lump[:4] == b"MThd":
            songs[f"freedoom_{name[2:].lower()}"] = mido.MidiFile(file=io.BytesIO(lump))
    return songs


# --- checking a truth against its audio ------------------------------------------------------------


def onset_strength(audio: np.ndarray) -> tuple[np.ndarray, float]:
    import librosa

    hop = 64
    envelope = librosa.onset.onset_strength(y=audio, sr=RATE, hop_length=hop, n_fft=1024, lag=1, center=True)
    return envelope, hop / RATE


def align(audio: np.ndarray, beats: np.ndarray) -> tuple[float, float]:
    """The renderer's latency (the lag at which the onsets stand out most at the claimed beats) and
    how much they stand out there (mean strength at the beats over the mean strength)."""
    envelope, frame = onset_strength(audio)
    mean = float(envelope.mean()) or 1.0
    best = (0.0, 0.0)
    for lag in LAGS:
        frames = np.round((beats + lag) / frame).astype(int)
        frames = frames[(frames >= 1) & (frames < len(envelope) - 1)]
        if len(frames) == 0:
            continue
        value = float(np.maximum(envelope[frames], np.maximum(envelope[frames - 1], envelope[frames + 1])).mean())
        if value > best[1]:
            best = (float(lag), value)
    return best[0], best[1] / mean


# --- the mix ----------------------------------------------------------------------------------------


def retimed(midi, bpms: list[float]):  # type: ignore[no-untyped-def]
    """A copy of ``midi`` whose tempo map is replaced: beat k at ``bpms[k]`` (the last one on)."""
    import mido

    copy = mido.MidiFile(ticks_per_beat=midi.ticks_per_beat, type=midi.type)
    for number, track in enumerate(midi.tracks):
        events, tick = [], 0
        for message in track:
            tick += message.time
            if message.type != "set_tempo":
                events.append((tick, message))
        if number == 0:
            events += [(k * midi.ticks_per_beat, mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(bpm)))
                       for k, bpm in enumerate(bpms)]
            events.sort(key=lambda pair: (pair[0], pair[1].type != "set_tempo"))
        out, previous = mido.MidiTrack(), 0
        for at, message in events:
            out.append(message.copy(time=at - previous))
            previous = at
        copy.tracks.append(out)
    return copy


def dj_mix(first, second, first_bpm: float, second_bpm: float, seconds: float):  # type: ignore[no-untyped-def]
    """The first song for 32 beats; the second comes in over the next 16 at the first's tempo,
    beat on beat, while the first fades; then it moves to its own tempo over 8 beats. Each song's
    truth is aligned to its own rendering before the two are laid over each other."""
    ramp = [first_bpm] * 16 + list(np.linspace(first_bpm, second_bpm, 9)[1:]) + [second_bpm]
    a_midi, b_midi = retimed(first, [first_bpm]), retimed(second, ramp)
    a, b = render_midi(a_midi), render_midi(b_midi)
    a_beats, b_beats = midi_truth(a_midi)["beats"], midi_truth(b_midi)["beats"]
    a_beats = a_beats + align(a, a_beats[a_beats < len(a) / RATE])[0]
    b_lag = align(b, b_beats[b_beats < len(b) / RATE])[0]
    # B's first beat lands on A's 33rd: B's audio starts that much earlier than its truth says.
    entry = float(a_beats[32])
    start = int(round((entry - b_lag) * RATE))
    length = int(seconds * RATE)
    fade = int(round((a_beats[48] - entry) * RATE))
    mix = np.zeros(length, dtype=np.float32)
    gain = np.zeros(len(a), dtype=np.float32)
    cut = int(round(entry * RATE))
    gain[:cut] = 1.0
    gain[cut : cut + fade] = np.linspace(1, 0, fade)[: len(gain[cut : cut + fade])]
    mix[: min(length, len(a))] += (a * gain)[:length]
    piece = b[: max(0, length - start)].copy()
    ramp_in = int(round(entry * RATE)) - start + fade
    piece[:ramp_in] *= np.linspace(0, 1, ramp_in)[: len(piece[:ramp_in])]
    mix[start : start + len(piece)] += piece
    truth = np.concatenate([a_beats[a_beats < entry - 0.05], entry + b_beats - b_beats[0]])
    return mix, truth[truth < seconds]


# --- the set ----------------------------------------------------------------------------------------


def held_out(name: str) -> bool:
    """Half the songs, fixed by name, are only measured, never tuned on."""
    return zlib.crc32(name.encode()) % 2 == 1


def build(seconds: float) -> None:
    import mido
    import soundfile

    OUT.mkdir(parents=True, exist_ok=True)
    manifest: dict[str, dict] = {}
    sources: list[tuple[str, str, object]] = []
    for song in sorted(DEMO_SONGS.glob("*.h2song")):
        sources.append((f"hydrogen_{song.stem.lower()}", "hydrogen demo song (h2cli)", song))
    with tempfile.TemporaryDirectory() as folder:
        marked = with_tempo_marker(DEMO_SONGS / "GM_kit_demo2.h2song", pathlib.Path(folder), 8, 140.0)
        sources.append(("hydrogen_gm_kit_demo2_to_140", "hydrogen demo song with a tempo marker (h2cli)", marked))
        for path in sorted(OPENMSX.glob("*.mid")):
            sources.append((f"openmsx_{path.stem}", "OpenMSX MIDI (fluidsynth, FluidR3 GM)", mido.MidiFile(str(path))))
        for name, midi in freedoom_songs().items():
            sources.append((name, "Freedoom MIDI (fluidsynth, FluidR3 GM)", midi))
        for name, origin, source in sources:
            target = OUT / f"{name}.flac"
            print(f"{name}: ", end="", flush=True)
            if isinstance(source, pathlib.Path):
                truth = hydrogen_truth(source)
                audio = render_hydrogen(source) if not target.exists() else None
            else:
                truth = midi_truth(source)
                audio = render_midi(source) if not target.exists() else None
            if audio is None:
                audio, _ = soundfile.read(str(target), dtype="float32")
            entry = checked_entry(name, origin, truth, audio, seconds)
            manifest[name] = entry
            if entry["trusted"]:
                soundfile.write(str(target), audio[: int(seconds * RATE)], RATE)
            print(entry["note"])
        mix_name = "dj_mix_openmsx_chemistry_lab_into_the_fast_route"
        first, second = mido.MidiFile(str(OPENMSX / "chemistry_lab.mid")), mido.MidiFile(str(OPENMSX / "the_fast_route.mid"))
        audio, beats = dj_mix(first, second, 119.0, 128.0, seconds)
        truth = {"beats": beats, "meter": None, "on_grid": 1.0, "first_note": 0.0, "tempi": [119.0, 128.0]}
        (OUT / f"{mix_name}.flac").unlink(missing_ok=True)
        entry = checked_entry(mix_name, "DJ-style mix of two OpenMSX songs, 119 into 128 BPM", truth, audio, seconds)
        manifest[mix_name] = entry
        if entry["trusted"]:
            soundfile.write(str(OUT / f"{mix_name}.flac"), audio, RATE)
        print(f"{mix_name}: {entry['note']}")
    (OUT / "manifest.json").write_text(json.dumps(manifest, indent=1))
    trusted = [name for name, entry in manifest.items() if entry["trusted"]]
    print(f"{len(trusted)} of {len(manifest)} songs trusted; "
          f"held out: {sum(manifest[n]['half'] == 'held-out' for n in trusted)}")


def checked_entry(name: str, origin: str, truth: dict, audio: np.ndarray, seconds: float) -> dict:
    """A rendered song's manifest entry: its truth moved by the renderer's latency measured on the audio
    and cut to the excerpt, and whether it is trusted (with the reasons when it is not)."""
    beats = truth["beats"]
    end = min(seconds, len(audio) / RATE)
    lag, contrast = align(audio[: int(end * RATE)], beats[beats < end])
    beats = beats + lag
    # The beats from the first note on, to the end of the excerpt or of the music.
    beats = beats[(beats >= truth["first_note"] + lag - 0.05) & (beats < end)]
    meter = truth["meter"]
    downbeats = []
    if meter:
        first = int(np.searchsorted(truth["beats"] + lag, beats[0] - 1e-6))
        downbeats = [float(b) for k, b in enumerate(beats) if (first + k) % meter == 0]
    reasons = []
    if truth["on_grid"] < LEAST_ON_GRID:
        reasons.append(f"only {100 * truth['on_grid']:.0f} % of the notes on the tempo map's grid")
    if contrast < LEAST_CONTRAST:
        reasons.append(f"onsets at the claimed beats only {contrast:.2f} x the mean")
    weakest = _weakest_stretch(audio, beats)
    if weakest is not None and weakest[1] < LEAST_CONTRAST and contrast >= LEAST_CONTRAST:
        reasons.append(f"from {weakest[0]:.0f} s the onsets at the claimed beats are only {weakest[1]:.2f} x the mean")
    if len(beats) < 16:
        reasons.append("fewer than 16 beats")
    intervals = np.diff(beats)
    bpm = 60.0 / float(np.median(intervals)) if len(intervals) else 0.0
    changes = _changes(beats)
    note = (
        f"{bpm:.1f} BPM, {'%d/4' % meter if meter else 'bars unknown'}, lag {1000 * lag:+.0f} ms, "
        f"onset contrast {contrast:.2f}, {100 * truth['on_grid']:.0f} % on grid"
        + (f", tempo changes at {', '.join(f'{t:.1f} s' for t in changes)}" if changes else "")
        + (f"; KEPT APART: {'; '.join(reasons)}" if reasons else "")
    )
    return {
        "origin": origin, "beats": beats.tolist(), "downbeats": downbeats, "meter": meter, "bpm": bpm,
        "changes": changes, "trusted": not reasons, "reasons": reasons, "note": note,
        "half": "held-out" if held_out(name) else "tune",
    }


STRETCH = 15.0  # seconds


def _weakest_stretch(audio: np.ndarray, beats: np.ndarray) -> tuple[float, float] | None:
    """The start and contrast of the stretch of STRETCH seconds where the truth fits the audio least
    (a truth right for one half of a song and wrong for the other passes on the whole)."""
    envelope, frame = onset_strength(audio)
    mean = float(envelope.mean()) or 1.0
    worst = None
    for start in np.arange(0.0, max(beats[-1] - STRETCH / 2, 0.0), STRETCH / 2):
        inside = beats[(beats >= start) & (beats < start + STRETCH)]
        frames = np.round(inside / frame).astype(int)
        frames = frames[(frames >= 1) & (frames < len(envelope) - 1)]
        if len(frames) < 8:
            continue
        value = float(np.maximum(envelope[frames], np.maximum(envelope[frames - 1], envelope[frames + 1])).mean()) / mean
        if worst is None or value < worst[1]:
            worst = (float(start), value)
    return worst


# A change of this share between the mean beat of the four beats before and after a beat marks a tempo change.
CHANGE = 0.04


def _changes(beats: np.ndarray) -> list[float]:
    """The times at which the tempo steps by more than CHANGE (ramps count where they pass it)."""
    intervals = np.diff(beats)
    changes: list[float] = []
    reference = None
    for k in range(4, len(intervals)):
        before = float(np.mean(intervals[k - 4 : k]))
        reference = before if reference is None else reference
        if abs(intervals[k] / reference - 1.0) > CHANGE and abs(float(np.mean(intervals[k : k + 4])) / reference - 1.0) > CHANGE:
            changes.append(float(beats[k]))
            reference = float(np.mean(intervals[k : k + 4]))
    return changes


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--install", action="store_true", help="install the Debian packages first (as root)")
    parser.add_argument("--seconds", type=float, default=120.0, help="each song's excerpt, from its start")
    args = parser.parse_args()
    if args.install:
        install()
    for tool in ("fluidsynth", "h2cli"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is not installed: run with --install (as root)")
    build(args.seconds)


if __name__ == "__main__":
    main()
