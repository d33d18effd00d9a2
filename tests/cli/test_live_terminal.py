"""``kinetrope live``'s one writer of stderr: whole lines from any thread, and never a wait for the caller."""

from __future__ import annotations

import os
import re
import threading

from kinetrope_tools.cli.live import Terminal


def read_all(fd: int, into: bytearray) -> threading.Thread:
    def read() -> None:
        while chunk := os.read(fd, 65536):
            into.extend(chunk)
    thread = threading.Thread(target=read, daemon=True)
    thread.start()
    return thread


def test_lines_from_many_threads_come_out_whole_between_status_lines():
    reader, writer = os.pipe()
    seen = bytearray()
    reading = read_all(reader, seen)
    terminal = Terminal(fd=writer, limit=100_000)

    def speak(who: int) -> None:
        for i in range(2000):
            terminal.line(f"kinetrope live: control: t{who} line {i} " + "x" * (i % 300))
            terminal.status(f"120.0 bpm  t{who} {i}")

    threads = [threading.Thread(target=speak, args=(who,)) for who in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    terminal.close(wait_seconds=30)
    os.close(writer)
    reading.join(30)
    os.close(reader)
    text = re.sub(r"\r[^\r\n]*?\x1b\[K", "", seen.decode())  # status lines, and the clearing of one
    assert text.endswith("\n")  # nothing left on a line after the show: the prompt starts on its own
    lines = text.rstrip("\n").split("\n") + [""]
    expected = {f"kinetrope live: control: t{who} line {i} " + "x" * (i % 300) for who in range(8) for i in range(2000)}
    assert set(lines[:-1]) == expected and len(lines) - 1 == len(expected)


def test_a_pipe_nobody_reads_never_holds_the_caller_and_says_what_it_left_out():
    reader, writer = os.pipe()
    terminal = Terminal(fd=writer, limit=16)
    handing = threading.Thread(target=lambda: [terminal.line("kinetrope live: control: " + "x" * 200)
                                               for _ in range(20_000)])
    handing.start()
    handing.join(60)
    assert not handing.is_alive()  # a blocking write would have held it once the pipe's 64 KiB were full
    seen = bytearray()
    reading = read_all(reader, seen)
    terminal.close(wait_seconds=30)
    os.close(writer)
    reading.join(30)
    os.close(reader)
    assert re.search(r"kinetrope live: \([\d,]+ lines not shown: the terminal was not keeping up\)", seen.decode())
