"""Trains the beat network that kinetrope_tools/clocks/beat_activation.py runs, and writes its weights.

Runs in a venv of its own with PyTorch on the CPU (the package itself needs only numpy to run it):

    python -m venv build/train-venv && build/train-venv/bin/pip install torch==2.13.0 numpy
    .venv/bin/python train/beat_data.py                    # the songs' features and beats
    build/train-venv/bin/python train/beat_net.py --kind offline
    build/train-venv/bin/python train/beat_net.py --kind live

Every crop of a song is stretched in time by a random factor (other tempi) and shifted in level; a
few songs of the data are kept out of training to watch the loss on music the net has not seen.
The weights go to src/kinetrope_tools/clocks/beat_net/KIND.npz.

``--dilations`` and ``--crop`` set how far each frame's view reaches and how long a training example
is; ``--data`` reads another song set. The shipped nets reach 1.3 s either way. Nets reaching 10 s
(dilations up to 512, crops of 20 s) did not make the tracker better: one trained on the shipped
nets' songs got 5 of the 10 watched songs to F >= 0.95 (mean F 0.827), one shipped net alone 4
(0.809); three trained on the --more songs got 22 of the tuning half's 33 (mean F 0.829), the
shipped three 25 (0.897). On the songs every net misses, the activation barely rises at the beats.
"""

from __future__ import annotations

import argparse
import pathlib
import time

import numpy as np
import torch
from torch import nn
from torch.nn import functional

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "build" / "train" / "beat_data.npz"
OUT = ROOT / "src" / "kinetrope_tools" / "clocks" / "beat_net"
DILATIONS = (1, 2, 4, 8, 16, 32, 64)
CROP = 1000  # frames: 10 s
STRETCH = (0.8, 1.25)
LEVEL = (-1.5, 1.0)  # log10 of power: -15 to +10 dB
# Songs kept out of training, by name, to watch the loss on.
WATCHED = (
    "freedoom_ampie", "freedoom_ddtbl3", "freedoom_romer2", "hydrogen_gm_kit_demo3", "openmsx_boogi_marabi_redfarn",
    "openmsx_chuggachugga", "openmsx_moo_redfarn", "openmsx_ttsong_iv_imuh3", "openmsx_harp_harmony", "freedoom_stlks2",
)
# Each crop's spectrum is tilted by up to this much (log10 of power) from its lowest band to its highest:
# another mix, another room.
TILT = 0.6
# A frame of silence: every band at the spectrum's floor (log10 of 1e-7), nothing rising.
SILENCE = np.concatenate([np.full(40, -7.0), np.zeros(40)])


class Net(nn.Module):
    def __init__(self, channels: int, causal: bool, dilations: tuple[int, ...] = DILATIONS) -> None:
        super().__init__()
        self.causal = causal
        self.dilations = dilations
        self.first = nn.Conv1d(80, channels, 3)
        self.blocks = nn.ModuleList(nn.Conv1d(channels, channels, 3, dilation=d) for d in dilations)
        self.dropout = nn.Dropout(0.15)
        self.out = nn.Conv1d(channels, 2, 1)

    def pad(self, x: torch.Tensor, dilation: int) -> torch.Tensor:
        return functional.pad(x, (2 * dilation, 0) if self.causal else (dilation, dilation))

    def forward(self, x: torch.Tensor) -> torch.Tensor:
        h = functional.elu(self.first(self.pad(x, 1)))
        for block, dilation in zip(self.blocks, self.dilations):
            h = h + self.dropout(functional.elu(block(self.pad(h, dilation))))
        return self.out(h)


class Songs:
    def __init__(self, path: pathlib.Path) -> None:
        data = np.load(path)
        self.features = data["features"]
        starts, names = data["starts"], [str(n) for n in data["names"]]
        beat_starts, beats = data["beat_starts"], data["beats"]
        down_starts, downs = data["downbeat_starts"], data["downbeats"]
        self.songs = []
        for i, name in enumerate(names):
            self.songs.append({
                "name": name, "first": int(starts[i]), "length": int(starts[i + 1] - starts[i]),
                "beats": beats[beat_starts[i] : beat_starts[i + 1]].astype(float),
                "downbeats": downs[down_starts[i] : down_starts[i + 1]].astype(float),
                "bars": bool(data["has_bars"][i]), "real": not name.split("@")[-1].isdigit(),
            })
        self.mean = self.features.mean(axis=0)
        self.spread = self.features.std(axis=0) + 1e-3

    def crop(self, song: dict, rng: np.random.Generator, *, stretch: float, lookahead: int, frames: int = CROP):  # type: ignore[no-untyped-def]
        """``frames`` frames of ``song`` from a random start, stretched in time by ``stretch``; past the
        song's end the crop is silence, which no target is scored on."""
        span = int(frames * stretch) + 2
        start = int(rng.integers(0, max(1, song["length"] - span)))
        positions = start + np.arange(frames) * stretch
        inside = positions < song["length"] - 1
        index = np.clip(positions.astype(int), 0, song["length"] - 2)
        part = positions - index
        first = song["first"]
        crop = self.features[first + index] * (1 - part)[:, None] + self.features[first + index + 1] * part[:, None]
        crop[~inside] = SILENCE
        crop[:, :40] += rng.uniform(*LEVEL) + np.linspace(-1.0, 1.0, 40) * rng.uniform(-TILT, TILT)
        crop = (crop - self.mean) / self.spread
        targets = np.zeros((2, frames), dtype=np.float32)
        for row, key in enumerate(("beats", "downbeats")):
            at = (song[key] - start) / stretch + lookahead
            for place in at[(at > -2) & (at < frames + 2)]:
                centre = int(round(place))
                for offset, value in ((0, 1.0), (-1, 0.5), (1, 0.5)):
                    if 0 <= centre + offset < frames:
                        targets[row, centre + offset] = max(targets[row, centre + offset], value)
        mask = np.array([1.0, 1.0 if song["bars"] else 0.0], dtype=np.float32)[:, None] * inside[None, :]
        return crop.T.astype(np.float32), targets, mask.astype(np.float32)


def batches(songs: Songs, chosen: list[dict], rng: np.random.Generator, size: int, lookahead: int, frames: int):  # type: ignore[no-untyped-def]
    real = [s for s in chosen if s["real"]]
    made = [s for s in chosen if not s["real"]]
    while True:
        xs, ys, ms = [], [], []
        for item in range(size):
            pool = real if (item % 2 == 0 and real) or not made else made
            song = pool[int(rng.integers(len(pool)))]
            stretch = float(np.exp(rng.uniform(np.log(STRETCH[0]), np.log(STRETCH[1]))))
            x, y, m = songs.crop(song, rng, stretch=stretch, lookahead=lookahead, frames=frames)
            xs.append(x), ys.append(y), ms.append(m)
        yield torch.from_numpy(np.stack(xs)), torch.from_numpy(np.stack(ys)), torch.from_numpy(np.stack(ms))


def loss_of(net: Net, x, y, m) -> torch.Tensor:  # type: ignore[no-untyped-def]
    logits = net(x)
    weight = (1.0 + 4.0 * y) * m
    return (functional.binary_cross_entropy_with_logits(logits, y, weight=weight, reduction="sum") / weight.sum())


def train(
    songs: Songs, *, kind: str, steps: int, channels: int, batch: int, seed: int, watch: bool,
    dilations: tuple[int, ...] = DILATIONS, frames: int = CROP,
) -> dict[str, np.ndarray]:
    """One net trained from ``seed``: its arrays as beat_activation.py reads them."""
    torch.manual_seed(seed)
    rng = np.random.default_rng(seed)
    causal = kind == "live"
    lookahead = 2 if causal else 0
    training = [s for s in songs.songs if not (watch and s["name"].split("@")[0] in WATCHED)]
    watched = [s for s in songs.songs if s["name"] in WATCHED]
    watch_rng = np.random.default_rng(0)
    crops = [songs.crop(s, watch_rng, stretch=1.0, lookahead=lookahead, frames=frames) for s in watched for _ in range(4)]
    wx, wy, wm = (torch.from_numpy(np.stack(part)) for part in zip(*crops))
    net = Net(channels, causal, dilations)
    optimiser = torch.optim.AdamW(net.parameters(), lr=3e-3, weight_decay=1e-3)
    schedule = torch.optim.lr_scheduler.OneCycleLR(optimiser, max_lr=3e-3, total_steps=steps)
    began = time.time()
    feed = batches(songs, training, rng, batch, lookahead, frames)
    best, kept = float("inf"), None
    for step in range(1, steps + 1):
        net.train()
        x, y, m = next(feed)
        loss = loss_of(net, x, y, m)
        optimiser.zero_grad()
        loss.backward()
        optimiser.step()
        schedule.step()
        if step % 250 == 0 or step == steps:
            net.eval()
            with torch.no_grad():
                watched_loss = float(loss_of(net, wx, wy, wm))
            print(f"seed {seed} step {step}: loss {loss.item():.4f}, watched songs {watched_loss:.4f} "
                  f"({time.time() - began:.0f} s)", flush=True)
            # With the watched songs out of training, keep the net that did best on them; else the last.
            if watched_loss < best or not watch:
                best, kept = watched_loss, {k: v.clone() for k, v in net.state_dict().items()}
    assert kept is not None
    net.load_state_dict(kept)
    print(f"seed {seed}: kept the weights with the watched songs' loss at {best:.4f}")
    arrays = {
        "mean": songs.mean, "spread": songs.spread,
        "first": net.first.weight.detach().numpy(), "first_bias": net.first.bias.detach().numpy(),
        "dilations": np.array(dilations), "out": net.out.weight.detach().numpy()[:, :, 0],
        "out_bias": net.out.bias.detach().numpy(), "causal": np.array(causal), "lookahead": np.array(lookahead),
    }
    for i, block in enumerate(net.blocks):
        arrays[f"block{i}"] = block.weight.detach().numpy()
        arrays[f"block{i}_bias"] = block.bias.detach().numpy()
    return {k: np.asarray(v, dtype=np.float32) for k, v in arrays.items()}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kind", choices=("offline", "live"), required=True)
    parser.add_argument("--steps", type=int, default=2000)
    parser.add_argument("--channels", type=int, default=16)
    parser.add_argument("--batch", type=int, default=16)
    parser.add_argument("--dilations", default=",".join(map(str, DILATIONS)),
                        help="comma-separated: the dilated blocks' spacings, which set how far each frame's view reaches")
    parser.add_argument("--crop", type=int, default=CROP, help="frames each training example holds")
    parser.add_argument("--seeds", default="1", help="comma-separated: one net from each, their activations averaged")
    parser.add_argument("--watch", action=argparse.BooleanOptionalAction, default=True,
                        help="keep the watched songs out of training (--no-watch: train on every song)")
    parser.add_argument("--data", type=pathlib.Path, default=DATA, help="the songs, as train/beat_data.py writes them")
    parser.add_argument("--out", type=pathlib.Path, help="default: src/kinetrope_tools/clocks/beat_net/KIND.npz")
    args = parser.parse_args()
    songs = Songs(args.data)
    arrays: dict[str, np.ndarray] = {}
    seeds = [int(seed) for seed in args.seeds.split(",")]
    for index, seed in enumerate(seeds):
        net = train(songs, kind=args.kind, steps=args.steps, channels=args.channels, batch=args.batch, seed=seed,
                    watch=args.watch, dilations=tuple(int(d) for d in args.dilations.split(",")), frames=args.crop)
        arrays.update({f"net{index}.{name}": value for name, value in net.items()} if len(seeds) > 1 else net)
    out = args.out or OUT / f"{args.kind}.npz"
    out.parent.mkdir(parents=True, exist_ok=True)
    np.savez(out, **arrays)
    print(f"weights -> {out}")


if __name__ == "__main__":
    main()
