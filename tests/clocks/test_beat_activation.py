"""The beat network's input and its two ways of running: a whole recording, and a stream a block at a time."""

import numpy as np
import pytest
import songs as synth

from kinetrope_tools.clocks.beat_activation import (
    LiveBeatNet,
    Spectrogram,
    activations,
    audio_activations,
    hop_of,
    weights,
)

ROCK = {"kick": "x.......x.x.....", "snare": "....x.......x...", "hat": "o.o.o.o.o.o.o.o."}


@pytest.mark.parametrize("rate", [22050, 44100, 48000])
def test_a_stream_in_blocks_of_any_size_gives_the_frames_of_the_whole(rate):
    audio = np.random.default_rng(rate).normal(scale=0.1, size=int(rate * 1.5))
    whole = Spectrogram(rate).frames(audio)
    stream = Spectrogram(rate)
    sizes = np.random.default_rng(1).integers(1, 3000, size=len(audio))
    pieces, at = [], 0
    for size in sizes:
        pieces.append(stream.push(audio[at : at + size]))
        at += size
        if at >= len(audio):
            break
    streamed = np.vstack(pieces)
    assert abs(len(whole) - rate * 1.5 / stream.hop) <= 2
    assert len(streamed) >= len(whole) - 3
    np.testing.assert_allclose(streamed, whole[: len(streamed)], atol=1e-9)


def test_the_live_net_frame_by_frame_is_the_causal_net_over_the_whole():
    net = weights("live")[0]
    features = Spectrogram(22050).frames(np.random.default_rng(2).normal(scale=0.2, size=22050 * 2))
    whole = activations(features, net)
    live = LiveBeatNet(net)
    pushed = np.vstack([live.push(features[:7]), live.push(features[7:8]), live.push(features[8:])])
    lookahead = net.lookahead
    np.testing.assert_allclose(pushed[lookahead:], whole[: len(whole) - lookahead], atol=1e-9)


def test_an_offline_net_is_refused_where_a_live_one_is_needed():
    with pytest.raises(ValueError, match="causal"):
        LiveBeatNet(weights("offline")[0])


@pytest.mark.parametrize("kind", ["offline", "live"])
def test_both_nets_mark_the_beats_of_a_groove_above_its_offbeats_and_its_bar_lines_above_its_beats(kind):
    made = synth.render(synth.Groove.from_grids("rock", ROCK, 0.0), 112.0, 12.0, lead_seconds=0.2, seed=5)
    found = audio_activations(made.audio, made.sample_rate, kind=kind)
    beats = made.beats[(made.beats > 3.0) & (made.beats < 11.0)]
    period = float(np.median(np.diff(made.beats)))
    frames_a_second = made.sample_rate / hop_of(made.sample_rate)

    def peak(times, column):
        frames = np.round(np.asarray(times) * frames_a_second).astype(int)
        return np.array([found[frame - 2 : frame + 3, column].max() for frame in frames])

    on, off = peak(beats, 0), peak(beats + period / 2, 0)
    assert np.median(on) > 0.8 and np.median(on) > np.median(off) + 0.3
    bar_lines = made.downbeats[(made.downbeats > 3.0) & (made.downbeats < 11.0)]
    others = np.setdiff1d(beats, bar_lines)
    assert np.median(peak(bar_lines, 1)) > 0.5 > np.median(peak(others, 1))
