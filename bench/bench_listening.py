"""The listening clock measured on songs whose every beat is known, played block by block.

Each song goes through the path the live clock takes (``BeatFollower.feed``
for each 512-sample block at 48 kHz, then ``SlewedLine.follow``), as fast as
it runs; the beats are where the pips shown cross a beat, as heard. Printed
against the targets:

- per song: whether and when it locked (beats after the first clear beat until
  the shown beats stay within 70 ms of the truth for 8 beats in a row), the beat
  F-measure (+-70 ms) and the median error after that, and the tempo;
- tempo steps of +-6 %: beats until the tempo is within 2 % and the beats
  within 35 ms, from the step;
- a 16-beat breakdown without drums: the phase on the first beat of the drop,
  and the largest jump of the followed line when the drums return;
- CPU: the seconds of one core used for a second of audio at 48 kHz;
- the same songs through aubio's tempo object (GPL, a peer to compare with,
  never a dependency): installed by this benchmark into build/aubio-venv, or
  skipped with the reason printed.

Songs: the 68 synthesized styles (songs.py) and, with --real, the trusted
real songs made by others in build/real_songs (bench/real_songs.py builds
them; 22050 Hz, brought to 48 kHz here). Those come in two halves printed
apart: "tune", which the follower's constants and the beat network were
chosen on, and "held-out", which only measures.

    .venv/bin/python bench/bench_listening.py [--seconds 30] [--styles a,b|none] [--real] [--songs a,b] [--no-peer]
"""

from __future__ import annotations

import argparse
import json
import os
import pathlib
import subprocess
import sys
import time
import zlib

import numpy as np

import songs as synth
from kinetrope_tools.clocks import BeatFollower, SlewedLine

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "listening"
RATE = 48000
BLOCK = 512
WINDOW = 0.070
FRAME = 0.005  # how often the pips shown are read (finer than any show's frames)
TARGETS = {"f": 0.90, "median_ms": 20.0, "share_good": 0.85, "lock_beats": 8, "share_locked": 0.90,
           "step_beats": 4, "breakdown_beats": 0.25, "cpu": 0.10}


# --- playing a song through the clock's path -------------------------------------------------------

class Played:
    """What the clock showed for one song: beat crossings as heard, the followed lines, CPU."""

    def __init__(self, crossings: np.ndarray, lines: list[tuple[float, float, float]], cpu: float, seconds: float):
        self.crossings = crossings
        self.lines = lines  # (time, beat position of the followed line at that time, period) per block
        self.cpu = cpu
        self.seconds = seconds


def play(audio: np.ndarray, rate: int = RATE) -> Played:
    follower = BeatFollower(rate)
    start = 1000.0  # any origin: the clock's seconds are monotonic seconds
    line = SlewedLine(120.0, start)
    crossings: list[float] = []
    lines: list[tuple[float, float, float]] = []
    next_frame = start
    last_pip = None
    cpu = time.process_time()
    for index in range(0, len(audio) - BLOCK + 1, BLOCK):
        heard = start + index / rate
        follower.feed(audio[index : index + BLOCK], heard)
        now = heard + BLOCK / rate  # the block is complete only now
        line.follow(follower.beat, now)
        beat = follower.beat
        if beat is not None:
            lines.append((now - start, beat.position_at(now), beat.period))
        while next_frame <= now + BLOCK / rate:
            pip = line.pip_shown(next_frame)
            if last_pip is not None and pip // 64 > last_pip // 64:
                shown = line.line
                crossings.append(shown.seconds_at(pip // 64 * 64) - start)
            last_pip = pip
            next_frame += FRAME
    cpu = time.process_time() - cpu
    return Played(np.array(crossings), lines, cpu, len(audio) / rate)


# --- measures --------------------------------------------------------------------------------------

def f_measure(truth: np.ndarray, found: np.ndarray) -> tuple[float, float]:
    """F (+-70 ms) and the median absolute error (ms) of the matched beats."""
    if len(truth) == 0 or len(found) == 0:
        return 0.0, float("nan")
    errors = []
    used = np.zeros(len(found), dtype=bool)
    for beat in truth:
        gaps = np.abs(found - beat)
        gaps[used] = np.inf
        nearest = int(np.argmin(gaps))
        if gaps[nearest] <= WINDOW:
            used[nearest] = True
            errors.append(found[nearest] - beat)
    hits = len(errors)
    precision, recall = hits / len(found), hits / len(truth)
    f = 0.0 if hits == 0 else 2 * precision * recall / (precision + recall)
    return f, float(np.median(np.abs(errors)) * 1000.0) if errors else float("nan")


def lock_index(truth: np.ndarray, found: np.ndarray, run: int = 8) -> int | None:
    """The first truth beat from which ``run`` beats in a row each have a shown beat within 70 ms."""
    if len(found) == 0:
        return None
    near = np.array([np.min(np.abs(found - beat)) <= WINDOW for beat in truth])
    for index in range(len(truth) - run + 1):
        if near[index : index + run].all():
            return index
    return None


def first_clear(song_beats: np.ndarray, drumless: float) -> int:
    return int(np.searchsorted(song_beats, drumless))


# --- songs -----------------------------------------------------------------------------------------

def cached(tag: str, make) -> tuple[np.ndarray, dict]:
    audio_path, truth_path = BUILD / f"{tag}.npy", BUILD / f"{tag}.json"
    if audio_path.exists() and truth_path.exists():
        return np.load(audio_path), json.loads(truth_path.read_text())
    audio, truth = make()
    BUILD.mkdir(parents=True, exist_ok=True)
    np.save(audio_path, audio.astype(np.float32))
    truth_path.write_text(json.dumps(truth))
    return audio, truth


SYNTH_CODE = pathlib.Path(synth.__file__).read_bytes()


def synth_song(case: synth.Case, groove: synth.Groove, seconds: float) -> tuple[np.ndarray, dict]:
    recipe = repr((case, seconds, RATE, sorted(groove.lanes.items()))).encode() + SYNTH_CODE
    tag = f"{case.key}-{zlib.crc32(recipe):08x}"

    def make():
        song = case.render(groove, seconds, RATE)
        return song.audio, {"beats": song.beats.tolist(), "clear": case.drumless_seconds, "bpm": case.bpm}

    return cached(tag, make)


def step_song(groove: synth.Groove, bpm: float, ratio: float, seconds: float, seed: int) -> tuple[np.ndarray, dict]:
    """``bpm`` for the first half, then ``bpm * ratio``: two renders spliced on a beat."""
    tag = f"step-{groove.key}-{bpm:g}-{ratio:g}-{seconds:g}-{seed}-{zlib.crc32(SYNTH_CODE):08x}"

    def make():
        first = synth.render(groove, bpm, seconds, seed=seed, sample_rate=RATE, lead_seconds=0.1)
        second = synth.render(groove, bpm * ratio, seconds, seed=seed + 1, sample_rate=RATE, lead_seconds=0.1)
        split = int(np.searchsorted(first.beats, seconds / 2))
        split -= split % 4
        at = first.beats[split]
        # Bar for bar: the second song's beat 4 * k lands on the first song's split beat.
        k = 8
        shift = at - second.beats[k]
        cut = int(round(at * RATE))
        tail = second.audio[int(round(second.beats[k] * RATE)) :]
        audio = np.concatenate([first.audio[:cut], tail])[: int(seconds * RATE)]
        beats = np.concatenate([first.beats[:split], second.beats[k:] + shift])
        beats = beats[beats < len(audio) / RATE]
        return audio, {"beats": beats.tolist(), "step": float(at), "bpm": bpm * ratio}

    return cached(tag, make)


def breakdown_song(groove: synth.Groove, bpm: float, seconds: float, seed: int) -> tuple[np.ndarray, dict]:
    """Drums and bed, then 16 beats of the bed alone, then the drums again (the drop)."""
    tag = f"breakdown-{groove.key}-{bpm:g}-{seconds:g}-{seed}-{zlib.crc32(SYNTH_CODE):08x}"

    def make():
        full = synth.render(groove, bpm, seconds, seed=seed, sample_rate=RATE, lead_seconds=0.1)
        bed = synth.render(groove, bpm, seconds, seed=seed, sample_rate=RATE, lead_seconds=0.1,
                           drumless_seconds=seconds + 1)
        begin = int(np.searchsorted(full.beats, seconds / 3))
        begin -= begin % 4
        start, drop = full.beats[begin], full.beats[begin + 16]
        a, b = int(round(start * RATE)), int(round(drop * RATE))
        audio = full.audio.copy()
        level = np.sqrt(np.mean(full.audio[a:b] ** 2)) / max(1e-9, np.sqrt(np.mean(bed.audio[a:b] ** 2)))
        audio[a:b] = bed.audio[a:b] * min(1.0, 0.5 * level)
        return audio, {"beats": full.beats.tolist(), "breakdown": float(start), "drop": float(drop), "bpm": bpm}

    return cached(tag, make)


# --- reports ---------------------------------------------------------------------------------------

def measure_song(name: str, audio: np.ndarray, truth: dict) -> dict:
    beats = np.array(truth["beats"])
    played = play(audio)
    clear = first_clear(beats, truth.get("clear", 0.0))
    locked = lock_index(beats[clear:], played.crossings)
    result = {"name": name, "cpu": played.cpu / played.seconds, "lock": locked, "f": 0.0, "median_ms": float("nan")}
    if locked is not None:
        after = beats[clear + locked]
        kept = played.crossings[played.crossings >= after - WINDOW]
        result["f"], result["median_ms"] = f_measure(beats[clear + locked :], kept)
    if played.lines:
        result["bpm"] = 60.0 / played.lines[-1][2]
    result["true_bpm"] = 60.0 / float(np.median(np.diff(beats[-16:])))
    return result


def good(result: dict) -> bool:
    return result["f"] >= TARGETS["f"] and result["median_ms"] <= TARGETS["median_ms"]


def print_songs(title: str, results: list[dict]) -> None:
    print(f"\n{title}: {len(results)} songs")
    print(f"  {'song':28s} {'lock':>5s} {'F':>6s} {'med ms':>7s} {'bpm':>7s} {'true':>7s}  ")
    for r in results:
        lock = "-" if r["lock"] is None else str(r["lock"])
        miss = [] if good(r) else ["F/err"]
        if r["lock"] is None or r["lock"] > TARGETS["lock_beats"]:
            miss.append("lock")
        mark = "  short: " + ", ".join(miss) if miss else ""
        print(f"  {r['name']:28s} {lock:>5s} {r['f']:6.3f} {r['median_ms']:7.1f} {r.get('bpm', float('nan')):7.2f} "
              f"{r['true_bpm']:7.2f}{mark}")
    share_good = np.mean([good(r) for r in results])
    share_locked = np.mean([r["lock"] is not None and r["lock"] <= TARGETS["lock_beats"] for r in results])
    print(f"  F >= {TARGETS['f']} with median error <= {TARGETS['median_ms']:g} ms: {share_good:.1%} of songs "
          f"(target >= {TARGETS['share_good']:.0%})")
    print(f"  locked within {TARGETS['lock_beats']} beats of the first clear beat: {share_locked:.1%} "
          f"(target >= {TARGETS['share_locked']:.0%})")


def steps(grooves: dict[str, synth.Groove], seconds: float) -> None:
    print("\ntempo steps of +-6 % (target: followed within 4 beats: tempo within 2 %, beats within 35 ms)")
    for key in ("house_classic", "techno_drive", "dnb_rolling", "reggae_steppers", "disco"):
        if key not in grooves:
            continue
        base = synth.genre_tempo(key)
        for ratio in (1.06, 1 / 1.06):
            if not 70.0 <= base * ratio <= 180.0:  # outside the clock's default range
                continue
            audio, truth = step_song(grooves[key], base, ratio, seconds, seed=zlib.crc32(key.encode()))
            played = play(audio)
            beats = np.array(truth["beats"])
            after = beats[beats >= truth["step"]]
            true_period = 60.0 / truth["bpm"]
            followed = None
            for index in range(len(after) - 8):
                span = after[index : index + 8]
                near = all(np.min(np.abs(played.crossings - beat)) <= 0.035 for beat in span)
                periods = [p for t, _, p in played.lines if span[0] <= t <= span[-1]]
                if near and periods and max(abs(p / true_period - 1) for p in periods) <= 0.02:
                    followed = index
                    break
            verdict = "-" if followed is None else str(followed)
            short = "" if followed is not None and followed <= TARGETS["step_beats"] else "  short"
            print(f"  {key:20s} {base:6.1f} -> {truth['bpm']:6.1f} bpm: followed after {verdict} beats{short}")


def breakdowns(grooves: dict[str, synth.Groove], seconds: float) -> None:
    print("\n16-beat breakdowns without drums (target: phase at the drop within a sixteenth, 0.25 beat)")
    for key in ("house_classic", "techno_drive", "trance", "afro_bell", "disco"):
        if key not in grooves:
            continue
        bpm = synth.genre_tempo(key) if key != "trance" else 138.0
        audio, truth = breakdown_song(grooves[key], bpm, seconds, seed=zlib.crc32(key.encode()))
        played = play(audio)
        drop = truth["drop"]
        period = 60.0 / bpm
        # The phase kept: the shown beat nearest the drop's first beat, before the drums could correct it.
        before = [(t, pos, p) for t, pos, p in played.lines if t <= drop]
        if not before or len(played.crossings) == 0:
            print(f"  {key:20s} never locked  short")
            continue
        t, pos, p = before[-1]
        phase = (pos + (drop - t) / p) % 1.0
        phase = phase - 1.0 if phase > 0.5 else phase
        # The largest change of the followed line from one block to the next, in the 8 beats after the drop.
        jumps = []
        for (t0, pos0, p0), (t1, pos1, _) in zip(played.lines, played.lines[1:]):
            if drop <= t1 <= drop + 8 * period:
                jumps.append(abs(pos1 - (pos0 + (t1 - t0) / p0)))
        jump = max(jumps) if jumps else 0.0
        nearest = played.crossings[np.argmin(np.abs(played.crossings - drop))] - drop
        short = "" if abs(phase) <= TARGETS["breakdown_beats"] and jump <= TARGETS["breakdown_beats"] else "  short"
        print(f"  {key:20s} {bpm:6.1f} bpm: phase at the drop {phase:+.3f} beat (shown beat {nearest * 1000:+.0f} ms), "
              f"largest jump of the followed line {jump:.3f} beat{short}")


def cpu_line(results: list[dict]) -> None:
    cpu = [r["cpu"] for r in results]
    print(f"\nCPU at {RATE} Hz, {BLOCK}-sample blocks: median {np.median(cpu):.2%}, worst {max(cpu):.2%} of one core "
          f"(target <= {TARGETS['cpu']:.0%})")


# --- real songs made by others -------------------------------------------------------------------------

REAL = ROOT / "build" / "real_songs"


def real_songs(seconds: float, only: set[str] | None) -> dict[str, list[tuple[str, np.ndarray, dict]]]:
    """The trusted songs of build/real_songs (made by bench/real_songs.py), by half ("tune", "held-out"),
    at most ``seconds`` long and brought from their 22050 Hz to the clock's rate."""
    import soundfile
    from scipy.signal import resample_poly

    manifest_path = REAL / "manifest.json"
    if not manifest_path.exists():
        print(f"\nreal songs skipped: {manifest_path} is missing (make it with bench/real_songs.py --install)")
        return {}
    manifest = json.loads(manifest_path.read_text())
    halves: dict[str, list[tuple[str, np.ndarray, dict]]] = {"tune": [], "held-out": []}
    for name, entry in sorted(manifest.items()):
        if not entry["trusted"] or (only and name not in only):
            continue
        audio, rate = soundfile.read(str(REAL / f"{name}.flac"), dtype="float32")
        audio = audio.mean(axis=1) if audio.ndim == 2 else audio
        audio = audio[: int(seconds * rate)]
        divisor = np.gcd(RATE, rate)
        audio = resample_poly(audio, RATE // divisor, rate // divisor).astype(np.float32)
        beats = [b for b in entry["beats"] if b < len(audio) / RATE]
        halves[entry["half"]].append((name[:28], audio, {"beats": beats, "clear": 0.0}))
    return halves


# --- the peer ----------------------------------------------------------------------------------------

PEER_VENV = ROOT / "build" / "aubio-venv"

PEER_SCRIPT = r"""
import sys, json, time, numpy as np, aubio
rate, hop = 48000, 512
results = {}
for path in sys.argv[1:]:
    audio = np.load(path).astype(np.float32)
    tempo = aubio.tempo("default", 1024, hop, rate)
    beats = []
    cpu = time.process_time()
    for i in range(0, len(audio) - hop + 1, hop):
        if tempo(audio[i:i + hop])[0]:
            beats.append(tempo.get_last_s())
    results[path] = {"beats": beats, "cpu": (time.process_time() - cpu) / (len(audio) / rate)}
print(json.dumps(results))
"""


def peer_python() -> pathlib.Path | None:
    python = PEER_VENV / "bin" / "python"
    if python.exists() and subprocess.run([str(python), "-c", "import aubio"], capture_output=True).returncode == 0:
        return python
    try:
        subprocess.run([sys.executable, "-m", "venv", str(PEER_VENV)], check=True, capture_output=True)
        subprocess.run([str(python), "-m", "pip", "install", "-q", "numpy", "aubio"], check=True, capture_output=True,
                       timeout=900)
    except (subprocess.SubprocessError, OSError) as error:
        detail = getattr(error, "stderr", b"") or b""
        last = detail.decode(errors="replace").strip().splitlines()[-1:] or [str(error)]
        print(f"\naubio peer skipped: it could not be installed into {PEER_VENV} ({last[0]})")
        return None
    return python


def peer(groups: dict[str, list[tuple[str, np.ndarray, dict]]]) -> None:
    python = peer_python()
    if python is None:
        return
    for title, names_audio_truth in groups.items():
        if names_audio_truth:
            peer_group(python, title, names_audio_truth)


def peer_group(python: pathlib.Path, title: str, names_audio_truth: list[tuple[str, np.ndarray, dict]]) -> None:
    paths = []
    for name, audio, _ in names_audio_truth:
        path = BUILD / f"peer-{zlib.crc32(name.encode()):08x}-{len(audio)}.npy"
        BUILD.mkdir(parents=True, exist_ok=True)
        if not path.exists():
            np.save(path, audio.astype(np.float32))
        paths.append(str(path))
    answer = subprocess.run([str(python), "-c", PEER_SCRIPT, *paths], capture_output=True, text=True)
    if answer.returncode != 0:
        print(f"\naubio peer skipped: it failed ({answer.stderr.strip().splitlines()[-1:]})")
        return
    found = json.loads(answer.stdout)
    rows = []
    for (name, _, truth), path in zip(names_audio_truth, paths):
        beats = np.array(truth["beats"])
        clear = first_clear(beats, truth.get("clear", 0.0))
        crossings = np.array(found[path]["beats"])
        locked = lock_index(beats[clear:], crossings)
        f, median = (0.0, float("nan"))
        if locked is not None:
            after = beats[clear + locked]
            f, median = f_measure(beats[clear + locked :], crossings[crossings >= after - WINDOW])
        rows.append({"name": name, "lock": locked, "f": f, "median_ms": median, "cpu": found[path]["cpu"]})
    share_good = np.mean([good(r) for r in rows])
    share_locked = np.mean([r["lock"] is not None and r["lock"] <= TARGETS["lock_beats"] for r in rows])
    print(f"\naubio's tempo object on the same {len(rows)} {title} (its beats as it reports them, no latency taken out):")
    print(f"  F >= {TARGETS['f']} with median error <= {TARGETS['median_ms']:g} ms: {share_good:.1%}; locked within "
          f"{TARGETS['lock_beats']} beats: {share_locked:.1%}; median F after lock {np.median([r['f'] for r in rows]):.3f}; "
          f"CPU median {np.median([r['cpu'] for r in rows]):.2%}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--styles", help="only these styles (comma-separated keys; 'none' for none)")
    parser.add_argument("--real", action="store_true", help="also the real songs of build/real_songs, by half")
    parser.add_argument("--real-seconds", type=float, default=120.0, help="at most this much of each real song")
    parser.add_argument("--songs", help="only these real songs (comma-separated names)")
    parser.add_argument("--no-peer", action="store_true", help="do not run aubio")
    parser.add_argument("--no-steps", action="store_true", help="skip the tempo steps and breakdowns")
    args = parser.parse_args()
    grooves = synth.read_grooves()
    cases = synth.evaluation_set(list(grooves))
    if args.styles:
        chosen = set(args.styles.split(","))
        cases = [case for case in cases if case.key in chosen]
    print(f"{len(cases)} styles, {args.seconds:g} s each, {os.cpu_count()} cores on the machine")
    groups: dict[str, list[tuple[str, np.ndarray, dict]]] = {"synthesized styles": []}
    everything = []
    if cases:
        results = []
        for case in cases:
            audio, truth = synth_song(case, grooves[case.key], args.seconds)
            groups["synthesized styles"].append((case.key, audio, truth))
            results.append(measure_song(case.key, audio, truth))
        print_songs("synthesized styles", results)
        everything += results
    if args.real:
        only = set(args.songs.split(",")) if args.songs else None
        for half, songs in real_songs(args.real_seconds, only).items():
            if not songs:
                continue
            title = f"real songs, {half} half" + (" (the network learnt from these)" if half == "tune" else "")
            real = [measure_song(name, audio, truth) for name, audio, truth in songs]
            print_songs(title, real)
            groups[f"real songs, {half} half"] = songs
            everything += real
    if not args.no_steps:
        steps(grooves, 40.0)
        breakdowns(grooves, 60.0)
    if everything:
        cpu_line(everything)
    if not args.no_peer:
        peer(groups)


if __name__ == "__main__":
    main()
