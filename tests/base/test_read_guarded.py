"""The one guarded read of a file a user names: a regular file only, never more than the limit, refusals naming it."""

import errno
import os

import pytest

from kinetrope_tools import KinetropeError
from kinetrope_tools.base.files import UnreadableFile, read_guarded


def test_a_file_of_exactly_the_limit_is_read_whole_through_a_link(tmp_path):
    (tmp_path / "f").write_bytes(b"x" * 100)
    os.symlink(tmp_path / "f", tmp_path / "link")
    assert read_guarded(tmp_path / "link", limit=100) == b"x" * 100


@pytest.mark.parametrize(("path", "reason", "code"), [
    ("{tmp}/missing", "No such file or directory", errno.ENOENT),
    ("/proc/self/status", "larger than 16 bytes", None),  # a regular file that reports no size
    ("{tmp}/a\nb", "No such file or directory", errno.ENOENT),
], ids=["missing", "no size given", "control character in the name"])
def test_refusals_name_the_file_as_a_terminal_may_show_it(tmp_path, path, reason, code):
    path = path.format(tmp=tmp_path)
    with pytest.raises(UnreadableFile) as caught:
        read_guarded(path, limit=16)
    assert isinstance(caught.value, KinetropeError) and isinstance(caught.value, OSError)
    assert str(caught.value) == f"{path.replace(chr(10), chr(92) + 'n')}: {reason}"
    assert caught.value.errno == code
