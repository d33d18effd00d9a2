"""Beat tracking measured on synthesized songs whose every beat is known.

Every one of the 68 groove styles is rendered (songs) at a
tempo typical of its genre over a bass and pad bed, with a few milliseconds of
human jitter on each hit, starting on varied beats of the bar; one song ramps its
tempo and one keeps its drums out for its first 8 seconds. Each song is an
excerpt of --seconds (default 30) seconds. The rendered audio is cached under
build/beat_set/ (a second run only tracks).

Printed per style and overall: the beat F-measure within +-70 ms over the whole
excerpt, whether the tempo is right (the median beat interval within 4 % of the
truth's, so not half or double), the median absolute error of the matched beats
in ms, whether the first downbeat is right, and the time to map a 4-minute
track from its file (WAV and MP3).

    .venv/bin/python bench/bench_beat_tracking.py [--seconds 30] [--styles house_classic,...]
        [--steps]   also run each refinement switched from its default, to show what each one gains
        [--no-timing]
        [--variation N]  another draw of the same styles: tempos, starts, lead-ins and jitter changed
"""

from __future__ import annotations

import argparse
import dataclasses
import json
import os
import pathlib
import sys
import time
import zlib

import numpy as np

import songs as synth
from kinetrope_tools.music import tracking

ROOT = pathlib.Path(__file__).resolve().parent.parent
CACHE = ROOT / "build" / "beat_set"
WINDOW = 0.070
SYNTH_CODE = pathlib.Path(synth.__file__).read_bytes()


def cached_song(
    case: synth.Case, groove: synth.Groove, seconds: float, sample_rate: int = 22050
) -> tuple[np.ndarray, int, np.ndarray, int]:
    # The file name changes whenever the song would: its case, length, score or the synth's code.
    recipe = repr((case, seconds, sample_rate, sorted(groove.lanes.items()))).encode() + SYNTH_CODE
    tag = f"{case.key}-{zlib.crc32(recipe):08x}"
    audio_path, truth_path = CACHE / f"{tag}.npy", CACHE / f"{tag}.json"
    if audio_path.exists() and truth_path.exists():
        truth = json.loads(truth_path.read_text())
        return np.load(audio_path), sample_rate, np.array(truth["beats"]), truth["downbeat"]
    song = case.render(groove, seconds, sample_rate)
    CACHE.mkdir(parents=True, exist_ok=True)
    np.save(audio_path, song.audio)
    truth_path.write_text(json.dumps({"beats": song.beats.tolist(), "downbeat": song.downbeat}))
    return song.audio, sample_rate, song.beats, song.downbeat


def match(estimate: np.ndarray, truth: np.ndarray) -> list[tuple[int, int]]:
    """One-to-one pairs (estimate index, truth index) within the window, nearest first."""
    pairs = []
    for i, t in enumerate(truth):
        j = int(np.searchsorted(estimate, t))
        candidates = [k for k in (j - 1, j) if 0 <= k < len(estimate) and abs(estimate[k] - t) <= WINDOW]
        if candidates:
            pairs.append((min(candidates, key=lambda k: abs(estimate[k] - t)), i))
    used, unique = set(), []
    for k, i in sorted(pairs, key=lambda p: abs(estimate[p[0]] - truth[p[1]])):
        if k not in used:
            used.add(k)
            unique.append((k, i))
    return sorted(unique)


@dataclasses.dataclass
class Result:
    key: str
    bpm: float
    f_measure: float
    tempo_ok: bool
    errors_ms: np.ndarray  # signed: estimate - truth
    downbeat_ok: bool
    estimated_bpm: float

    @property
    def good(self) -> bool:
        return self.f_measure >= 0.95 and self.tempo_ok


def evaluate(case: synth.Case, groove: synth.Groove, seconds: float, steps: tracking.Steps) -> Result:
    audio, rate, truth, truth_downbeat = cached_song(case, groove, seconds)
    try:
        beats, downbeat = tracking.track_audio(audio, rate, steps=steps)
    except tracking.AudioError:
        beats, downbeat = np.zeros(0), 0
    pairs = match(beats, truth)
    precision = len(pairs) / len(beats) if len(beats) else 0.0
    recall = len(pairs) / len(truth)
    f = 2 * precision * recall / (precision + recall) if pairs else 0.0
    truth_interval = float(np.median(np.diff(truth)))
    interval = float(np.median(np.diff(beats))) if len(beats) > 1 else 0.0
    tempo_ok = abs(interval - truth_interval) <= 0.04 * truth_interval
    errors = np.array([(beats[k] - truth[i]) * 1000 for k, i in pairs])
    paired = dict(pairs)
    downbeat_ok = downbeat in paired and (paired[downbeat] - truth_downbeat) % 4 == 0
    return Result(case.key, case.bpm, f, tempo_ok, errors, downbeat_ok, 60 / interval if interval else 0.0)


def summary(results: list[Result]) -> str:
    good = sum(r.good for r in results)
    errors = np.concatenate([r.errors_ms for r in results])
    late = np.median(errors)
    errors = np.abs(errors)
    downbeats = sum(r.downbeat_ok for r in results)
    n = len(results)
    return (
        f"F>=0.95 at the right tempo: {good}/{n} = {100 * good / n:.1f} % (target >= 90 %); "
        f"mean F {np.mean([r.f_measure for r in results]):.3f}; "
        f"median |error| {np.median(errors):.1f} ms (target <= 15), median signed {late:+.1f} ms; "
        f"downbeat right: {downbeats}/{n} = {100 * downbeats / n:.1f} % (target >= 80 %)"
    )


def run(
    cases: list[synth.Case], grooves: dict[str, synth.Groove], seconds: float, steps: tracking.Steps, table: bool
) -> list[Result]:
    results = []
    if table:
        print(f"{'style':22} {'bpm':>7} {'found':>7} {'F':>6} {'tempo':>6} {'med ms':>7} {'downbeat':>8}")
    for case in cases:
        result = evaluate(case, grooves[case.key], seconds, steps)
        results.append(result)
        if table:
            bpm = f"{case.bpm:g}" + (f">{case.bpm_end:g}" if case.bpm_end else "")
            median = f"{np.median(np.abs(result.errors_ms)):.1f}" if len(result.errors_ms) else "-"
            flag = "" if result.good and result.downbeat_ok else "  <"
            print(
                f"{case.key:22} {bpm:>7} {result.estimated_bpm:7.1f} {result.f_measure:6.3f} "
                f"{'ok' if result.tempo_ok else 'WRONG':>6} {median:>7} "
                f"{'ok' if result.downbeat_ok else 'wrong':>8}{flag}"
            )
    return results


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
        beats, _ = tracking.track_beats(file)
        wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
        print(f"4-minute track ({file.suffix[1:].upper()}, 44.1 kHz): mapped in {wall:.2f} s wall, {cpu:.2f} s CPU, "
              f"{len(beats)} beats (target: within 10 s on 2 cores)")


def latency() -> None:
    """Where the refined beats sit against the onsets of single drum sounds placed exactly on the beat
    (no jitter, no bed), with the latencies that tracking.COARSE_LEAD and FINE_LEAD remove put back."""
    for lane in ("kick", "snare", "clap", "rim", "hat"):
        groove = synth.Groove.from_grids(lane, {lane: "x...x...x...x..."})
        song = synth.render(groove, 120.0, 20.0, lead_seconds=0.5, jitter_ms=0.0, bed=False)
        found = []
        unrefined = tracking.Steps().without("onset_refinement")
        for steps, lead in ((unrefined, 0.0), (tracking.Steps(), tracking.FINE_LEAD)):
            beats, _ = tracking.track_audio(song.audio, song.sample_rate, bpm=120.0, steps=steps)
            pairs = match(beats, song.beats)
            found.append((np.median([beats[k] - song.beats[i] for k, i in pairs]) - lead) * 1000)
        print(
            f"{lane:5}: the tracker's beats {found[0]:+.1f} ms from the onsets, "
            f"the fine envelope's peaks {found[1]:+.1f} ms"
        )


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--styles", help="comma-separated style keys (default: all 68)")
    parser.add_argument("--steps", action="store_true", help="also measure with each refinement switched from its default")
    parser.add_argument("--no-timing", action="store_true")
    parser.add_argument(
        "--variation", type=int, default=0,
        help="another draw of the set (tempos up to 5 %% off, other starts and jitter) to see how far the "
        "tuned constants carry beyond the songs they were tuned on",
    )
    parser.add_argument("--latency", action="store_true", help="only measure the detector's latency")
    args = parser.parse_args()
    if args.latency:
        latency()
        return
    grooves = synth.read_grooves()
    keys = list(grooves)
    cases = synth.evaluation_set(keys, args.variation)
    if args.styles:
        chosen = set(args.styles.split(","))
        cases = [case for case in cases if case.key in chosen]
    print(f"{len(cases)} styles, {args.seconds:g} s excerpts, {os.cpu_count()} cores on the machine")
    results = run(cases, grooves, args.seconds, tracking.Steps(), table=True)
    print("all refinements:", summary(results))
    if args.steps:
        for name in tracking.Steps.switches():
            steps = tracking.Steps().toggled(name)
            label = "with" if getattr(steps, name) else "without"
            print(f"{label} {name}:", summary(run(cases, grooves, args.seconds, steps, table=False)))
            sys.stdout.flush()
    if not args.no_timing:
        timing()


if __name__ == "__main__":
    main()
