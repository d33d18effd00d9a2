"""How likely each instant is a beat, and a bar's first beat, read from the sound by a small network.

The sound becomes 100 frames a second of a 40-band log-mel spectrum and its
rise (``Spectrogram``). A stack of dilated convolutions (``BeatNet``) reads
about 2.5 s of those frames around each one and gives two activations a
frame in [0, 1]: a beat starts here, a bar starts here. Two sets of weights
ship with the package, both trained by ``train/beat_net.py`` on songs whose
every beat is known: the offline one reads 2.5 s on either side of a frame,
the live one only the past and ``lookahead`` frames ahead, so it can run on
an input as the sound arrives (``LiveBeatNet``).

Only numpy: the weights are plain arrays, the convolutions plain products.
"""

from __future__ import annotations

import functools
import pathlib

import numpy as np

FRAMES_PER_SECOND = 100
BANDS = 40
LOWEST_HERTZ = 30.0
HIGHEST_HERTZ = 11000.0
# Quieter than this (power, against a full-scale sine's 0.25) counts as nothing: -70 dB.
FLOOR = 1e-7
WEIGHTS = pathlib.Path(__file__).resolve().parent / "beat_net"


def hop_of(rate: float) -> int:
    """Samples between frames at ``rate``: a hundredth of a second, rounded."""
    return max(1, int(round(rate / FRAMES_PER_SECOND)))


def window_of(rate: float) -> int:
    """The analysis window at ``rate``: the power of two nearest 46 ms."""
    return int(2 ** round(np.log2(rate * 0.046)))


class Spectrogram:
    """The network's input at sample rate ``rate``: per frame, 40 log-mel bands and their rise since
    the frame before. Frame ``i`` is centred on sample ``i * hop``.

    ``frames(audio)`` takes a whole recording; ``push(block)`` takes one block of a stream at a time
    and returns the frames it completes, the same frames ``frames`` gives for the whole."""

    def __init__(self, rate: float) -> None:
        import librosa

        self.rate = float(rate)
        self.hop = hop_of(rate)
        self.size = window_of(rate)
        self._window = np.hanning(self.size + 1)[:-1].astype(np.float64)
        self._scale = 1.0 / float(self._window.sum()) ** 2
        self._mel = librosa.filters.mel(
            sr=self.rate, n_fft=self.size, n_mels=BANDS, fmin=LOWEST_HERTZ,
            fmax=min(HIGHEST_HERTZ, self.rate / 2), norm=None,
        ).astype(np.float64)
        # The stream: samples not yet framed (with the half window of silence before the first) and
        # the last frame's bands, for the rise.
        self._pending = np.zeros(self.size // 2)
        self._last: np.ndarray | None = None

    def frames(self, audio: np.ndarray) -> np.ndarray:
        """Frames x 80 features of a whole mono recording: one frame every hop from its first sample."""
        audio = np.asarray(audio, dtype=np.float64)
        count = 1 + len(audio) // self.hop
        padded = np.concatenate([np.zeros(self.size // 2), audio, np.zeros(self.size // 2 + self.hop)])
        bands = np.empty((count, BANDS))
        block = 4096
        for first in range(0, count, block):
            last = min(count, first + block)
            bands[first:last] = self._bands(padded[first * self.hop : (last - 1) * self.hop + self.size], last - first)
        return _with_rise(bands, None)

    def push(self, block: np.ndarray) -> np.ndarray:
        """The frames (n x 80) completed by the next ``block`` of the stream."""
        self._pending = np.concatenate([self._pending, np.asarray(block, dtype=np.float64).ravel()])
        count = 0 if len(self._pending) < self.size else 1 + (len(self._pending) - self.size) // self.hop
        if count == 0:
            return np.empty((0, 2 * BANDS))
        bands = self._bands(self._pending[: (count - 1) * self.hop + self.size], count)
        self._pending = self._pending[count * self.hop :]
        features = _with_rise(bands, self._last)
        self._last = bands[-1]
        return features

    def _bands(self, samples: np.ndarray, count: int) -> np.ndarray:
        windows = np.lib.stride_tricks.sliding_window_view(samples, self.size)[:: self.hop][:count]
        spectrum = np.fft.rfft(windows * self._window, axis=1)
        power = (spectrum.real**2 + spectrum.imag**2) * self._scale
        return np.log10(FLOOR + power @ self._mel.T)


def _with_rise(bands: np.ndarray, before: np.ndarray | None) -> np.ndarray:
    previous = np.vstack([bands[:1] if before is None else before[None, :], bands[:-1]])
    return np.hstack([bands, np.maximum(0.0, bands - previous)])


class Weights:
    """A trained network's arrays: the input's mean and spread, the first convolution, the dilated
    blocks and the two outputs; ``causal`` nets read the past and ``lookahead`` frames ahead."""

    def __init__(self, arrays: dict[str, np.ndarray]) -> None:
        arrays = {name: np.asarray(value, dtype=np.float64) for name, value in arrays.items()}
        self.mean, self.spread = arrays["mean"], arrays["spread"]
        self.first, self.first_bias = arrays["first"], arrays["first_bias"]
        self.dilations = [int(d) for d in arrays["dilations"]]
        self.blocks = [(arrays[f"block{i}"], arrays[f"block{i}_bias"]) for i in range(len(self.dilations))]
        self.out, self.out_bias = arrays["out"], arrays["out_bias"]
        self.causal = bool(arrays["causal"])
        self.lookahead = int(arrays["lookahead"])


def load(path: pathlib.Path) -> tuple[Weights, ...]:
    """The nets stored in ``path``: one, or several trained alike from other seeds (their names
    prefixed ``net0.``, ``net1.``, ...), whose activations are averaged."""
    with np.load(path) as stored:
        arrays = {name: stored[name] for name in stored.files}
    prefixes = sorted({name.split(".", 1)[0] for name in arrays if "." in name})
    if not prefixes:
        return (Weights(arrays),)
    return tuple(
        Weights({name.split(".", 1)[1]: value for name, value in arrays.items() if name.startswith(prefix + ".")})
        for prefix in prefixes
    )


@functools.cache
def weights(kind: str) -> tuple[Weights, ...]:
    """The shipped nets: ``"offline"`` or ``"live"``."""
    return load(WEIGHTS / f"{kind}.npz")


def _elu(values: np.ndarray) -> np.ndarray:
    return np.where(values > 0, values, np.expm1(np.minimum(values, 0.0)))


def _taps(dilation: int, causal: bool) -> tuple[int, int, int]:
    return (-2 * dilation, -dilation, 0) if causal else (-dilation, 0, dilation)


def _convolve(x: np.ndarray, kernel: np.ndarray, bias: np.ndarray, dilation: int, causal: bool) -> np.ndarray:
    """``x`` (frames x in) through a three-tap convolution (out x in x 3), zeros outside."""
    frames = len(x)
    out = np.tile(bias, (frames, 1))
    for tap, shift in enumerate(_taps(dilation, causal)):
        shifted = np.zeros_like(x)
        if shift < 0:
            shifted[-shift:] = x[: frames + shift]
        elif shift > 0:
            shifted[: frames - shift] = x[shift:]
        else:
            shifted = x
        out += shifted @ kernel[:, :, tap].T
    return out


def activations(features: np.ndarray, net: Weights) -> np.ndarray:
    """Frames x 2 activations (beat, downbeat) of ``features`` (frames x 80) through ``net``; a causal
    net's row ``i`` is about frame ``i`` (its lookahead already taken off)."""
    x = (np.asarray(features, dtype=np.float64) - net.mean) / net.spread
    x = _elu(_convolve(x, net.first, net.first_bias, 1, net.causal))
    for (kernel, bias), dilation in zip(net.blocks, net.dilations):
        x = x + _elu(_convolve(x, kernel, bias, dilation, net.causal))
    out = 1.0 / (1.0 + np.exp(-(x @ net.out.T + net.out_bias)))
    if net.causal and net.lookahead:
        out = np.vstack([out[net.lookahead :], np.zeros((net.lookahead, out.shape[1]))])
    return np.asarray(out)


def audio_activations(audio: np.ndarray, rate: float, *, kind: str = "offline") -> np.ndarray:
    """``activations`` of a whole mono recording, 100 frames a second from its first sample, averaged
    over the nets of ``kind``."""
    features = Spectrogram(rate).frames(audio)
    return np.asarray(np.mean([activations(features, net) for net in weights(kind)], axis=0))


class LiveBeatNet:
    """The live net, a frame at a time: ``push`` takes new feature frames and returns the activations
    of the frames ``lookahead`` behind them, each computed once from the past alone."""

    def __init__(self, net: Weights | None = None) -> None:
        self.net = net or weights("live")[0]
        if not self.net.causal:
            raise ValueError("a live net must be causal")
        # Each layer: its kernel, bias, dilation and whether it adds to its input; and a ring of as many
        # of its last inputs as its widest tap reaches back, written at ``self._at`` (frames pushed).
        net = self.net
        self._layers = [(net.first, net.first_bias, 1, False),
                        *[(kernel, bias, d, True) for (kernel, bias), d in zip(net.blocks, net.dilations)]]
        self._histories = [np.zeros((2 * d + 1, self._width(i))) for i, d in enumerate([1, *net.dilations])]
        self._at = 0

    def _width(self, layer: int) -> int:
        return int(self.net.first.shape[1] if layer == 0 else self.net.first.shape[0])

    def push(self, features: np.ndarray) -> np.ndarray:
        net = self.net
        rows = []
        for frame in np.atleast_2d(np.asarray(features, dtype=np.float64)):
            x = (frame - net.mean) / net.spread
            for index, (kernel, bias, dilation, residual) in enumerate(self._layers):
                history = self._histories[index]
                size = len(history)
                history[self._at % size] = x
                taps = (history[(self._at - 2 * dilation) % size], history[(self._at - dilation) % size], x)
                value = bias + sum(kernel[:, :, tap] @ taps[tap] for tap in range(3))
                x = x + _elu(value) if residual else _elu(value)
            self._at += 1
            rows.append(1.0 / (1.0 + np.exp(-(net.out @ x + net.out_bias))))
        return np.asarray(rows).reshape(-1, 2)
