"""A still of ``kinetrope render``: the picture in the README, or a frame of any render.

    python tools/render_still.py                          # docs/render.png from a synthesized house groove
    python tools/render_still.py --video out.mp4 --at 12.5 -o still.png   # a frame of a video of your own

Without --video it synthesizes twelve seconds of a house groove at 124 BPM,
renders three patterns to it with ``kinetrope render`` (the beats tracked from
the audio, as for any song) and keeps the frame at --at seconds. --keep-video
keeps that MP4 too.
"""

from __future__ import annotations

import argparse
import pathlib
import subprocess
import sys
import tempfile

import av

PROJECT = pathlib.Path(__file__).resolve().parent.parent
GROOVE = "house_classic"
PATTERNS = ["beat_house_classic_bounce", "figure_eight", "helix"]


def still(video: pathlib.Path, at: float, output: pathlib.Path) -> None:
    """Saves the frame shown at ``at`` seconds of ``video`` (the last one that has begun) as a PNG."""
    with av.open(str(video)) as box:
        chosen = None
        for frame in box.decode(video=0):
            if frame.time is not None and frame.time > at + 1e-9:
                break
            chosen = frame
    if chosen is None:
        raise SystemExit(f"{video}: no frame at {at} s")
    output.parent.mkdir(parents=True, exist_ok=True)
    chosen.to_image().save(output)


def demo_video(folder: pathlib.Path, size: int) -> pathlib.Path:
    from songs import read_grooves, render

    song = render(read_grooves()[GROOVE], 124.0, 12.0,
                  lead_seconds=0.25, sample_rate=44100)
    song.write(folder / "house.wav")
    video = folder / "house.mp4"
    command = pathlib.Path(sys.executable).with_name("kinetrope")
    subprocess.run([str(command), "render", str(folder / "house.wav"), *PATTERNS, "-o", str(video), "--size", str(size)],
                   check=True)
    return video


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--video", type=pathlib.Path, help="a render to take the still from (default: render the demo)")
    parser.add_argument("--at", type=float, default=6.3, metavar="S", help="the time of the still (default: 6.3)")
    parser.add_argument("--size", type=int, default=480, help="height of the demo render (default: 480)")
    parser.add_argument("--keep-video", type=pathlib.Path, metavar="FILE.mp4", help="where to keep the demo render")
    parser.add_argument("-o", "--output", type=pathlib.Path, default=PROJECT / "docs/render.png")
    args = parser.parse_args()
    if args.video:
        still(args.video, args.at, args.output)
    else:
        with tempfile.TemporaryDirectory() as folder:
            video = demo_video(pathlib.Path(folder), args.size)
            still(video, args.at, args.output)
            if args.keep_video:
                video.replace(args.keep_video)
    print(args.output)


if __name__ == "__main__":
    main()
