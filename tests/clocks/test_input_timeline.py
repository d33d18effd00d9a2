"""When a live input's blocks were heard: counted samples, the moment blocks arrive, the stated latency."""

from __future__ import annotations

import numpy as np
import pytest

from kinetrope_tools.clocks.input_timeline import InputTimeline

RATE = 48000.0
BLOCK = 512
SECONDS = BLOCK / RATE


def placed(arrivals, latencies, rate: float = RATE) -> np.ndarray:
    timeline = InputTimeline(rate)
    return np.array([timeline.block(BLOCK, arrived, latency) for arrived, latency in zip(arrivals, latencies)])


def test_jitter_is_left_out_and_the_stated_latency_taken_off():
    rng = np.random.default_rng(1)
    count = 600
    heard = 10.0 + np.arange(count) * SECONDS
    # Each block arrives 3 ms after it was heard in full, and up to 8 ms later still when the CPU is busy.
    arrivals = heard + SECONDS + 0.003 + rng.exponential(0.002, count).clip(0, 0.008)
    found = placed(arrivals, np.full(count, SECONDS + 0.003))
    error = np.abs(found[50:] - heard[50:])
    assert np.median(error) < 0.0005 and error.max() < 0.002


@pytest.mark.parametrize("late", [0.012, 0.080, 0.300])
def test_an_input_that_falls_behind_for_good_is_followed_within_a_tenth_of_a_second(late):
    count = 400
    heard = 10.0 + np.arange(count) * SECONDS
    heard[200:] += late  # a stall: every block from the 200th on comes that much later
    found = placed(heard + SECONDS, np.full(count, SECONDS))
    settled = 200 + int(np.ceil(0.1 / SECONDS)) + 1
    assert np.abs(found[:200] - heard[:200]).max() < 1e-9
    assert np.abs(found[settled:] - heard[settled:]).max() < 1e-9
    # Meanwhile the blocks are placed no later than they were heard: a late one cannot pull the line.
    assert (found[200:settled] <= heard[200:settled] + 1e-9).all()


def test_a_sample_clock_slower_than_the_host_is_followed():
    count = 3000
    heard = 10.0 + np.arange(count) * SECONDS * 1.001  # the converter runs 0.1 % slow
    found = placed(heard + SECONDS, np.full(count, SECONDS))
    assert np.abs(found - heard).max() < 0.0002


@pytest.mark.parametrize("latency", [None, -0.5, 5.0])
def test_no_latency_or_an_implausible_one_counts_a_block(latency):
    heard = 10.0 + np.arange(20) * SECONDS
    found = placed(heard + SECONDS, [latency] * 20)
    assert found == pytest.approx(heard, abs=1e-9)
