"""Reading a song's audio: one decoder for libsndfile's formats and PyAV's, bounded before decoding."""

import os
import struct

import numpy as np
import pytest
import soundfile

from kinetrope_tools.base.errors import KinetropeError
from kinetrope_tools.music.audio import AudioError, AudioStream, load_audio
from kinetrope_tools.music.tracking import track_beats

av = pytest.importorskip("av")


def _sparse_wav(path, seconds, rate=44100, channels=2):
    """A WAV whose header claims ``seconds`` of 16-bit audio over a sparse file: it takes no disk."""
    size = int(seconds * rate) * channels * 2
    header = b"RIFF" + struct.pack("<I", min(size + 36, 2**32 - 1)) + b"WAVEfmt " + struct.pack(
        "<IHHIIHH", 16, 1, channels, rate, rate * channels * 2, channels * 2, 16
    ) + b"data" + struct.pack("<I", min(size, 2**32 - 37))
    with open(path, "wb") as file:
        file.write(header)
        file.truncate(len(header) + min(size, 2**32 - 37))
    return path


def _one_hertz(path):
    soundfile.write(str(path), np.zeros(600, dtype=np.int16), 1, subtype="PCM_16")
    return path


def _hour_of_silence(path):
    soundfile.write(str(path), np.zeros(8000 * 3600, dtype=np.int16), 8000, subtype="PCM_16")
    return path


@pytest.mark.parametrize(
    ("make", "message"),
    [
        (lambda tmp: _sparse_wav(tmp / "huge.wav", 7 * 3600), "longer than the 30 minutes"),
        (lambda tmp: _one_hertz(tmp / "slow.wav"), "a sample rate of 1 Hz is not a song's"),
        (lambda tmp: _hour_of_silence(tmp / "hour.flac"), "60 minutes is longer than the 30 minutes"),
    ],
    ids=["sparse-4-GiB-wav", "wav-at-1-Hz", "hour-of-silence-flac"],
)
def test_music_implausible_files_are_refused_before_decoding(tmp_path, make, message):
    path = make(tmp_path)
    with pytest.raises(AudioError, match=message) as caught:
        track_beats(path)
    assert str(caught.value).startswith(f"{path}: ") and "\n" not in str(caught.value)
    assert isinstance(caught.value, KinetropeError) and isinstance(caught.value, ValueError)
    # The decoder that render uses refuses them the same way.
    with pytest.raises(AudioError, match=message):
        AudioStream(path)


def test_music_a_fifo_is_refused_not_waited_on(tmp_path):
    fifo = tmp_path / "song.wav"
    os.mkfifo(fifo)
    with pytest.raises(AudioError, match="not a file"):
        load_audio(fifo, 22050)
    with pytest.raises(AudioError, match="not a file"):
        AudioStream(fifo)


def test_music_one_decoder_reads_every_format_at_the_rate_asked(tmp_path):
    rate = 44100
    t = np.arange(rate * 2) / rate
    left, right = 0.5 * np.sin(2 * np.pi * 440 * t), 0.25 * np.sin(2 * np.pi * 220 * t)
    wav = tmp_path / "tones.wav"
    soundfile.write(str(wav), np.stack([left, right], axis=1).astype(np.float32), rate, subtype="FLOAT")
    # A segment at the file's own rate, in both channels, sample for sample.
    stream = AudioStream(wav, start=0.5, seconds=1.0, rates=(44100, 48000))
    try:
        segment = np.concatenate(list(stream.slices()), axis=1)
    finally:
        stream.close()
    assert (stream.rate, stream.layout) == (44100, "stereo")
    assert segment.shape == (2, rate)
    assert np.allclose(segment[0], left[rate // 2 : rate // 2 + rate], atol=1e-6)
    # A rate not among those allowed comes out at 48 kHz.
    stream = AudioStream(wav, rates=(48000, 32000))
    stream.close()
    assert stream.rate == 48000
    # A format libsndfile does not read (AAC in MP4) goes through PyAV, mono, at the rate asked.
    m4a = tmp_path / "tones.m4a"
    with av.open(str(m4a), "w", format="mp4") as box:
        out = box.add_stream("aac", rate=rate, layout="mono")
        frame = av.AudioFrame.from_ndarray(left[None, :].astype(np.float32), format="fltp", layout="mono")
        frame.sample_rate = rate
        for packet in out.encode(frame):
            box.mux(packet)
        for packet in out.encode(None):
            box.mux(packet)
    audio = load_audio(m4a, 22050)
    assert audio.dtype == np.float32 and audio.ndim == 1
    assert abs(len(audio) - 2 * 22050) < 2048
    spectrum = np.abs(np.fft.rfft(audio[2048:-2048]))
    assert np.fft.rfftfreq(len(audio[2048:-2048]), 1 / 22050)[np.argmax(spectrum)] == pytest.approx(440, abs=2)
