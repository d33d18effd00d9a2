"""Files written whole replace a regular file, a link or nothing; a folder, a device, a FIFO or a
socket in their place is refused and left as it was, and no new file is left behind."""

import os
import socket
import stat

import pytest

from kinetrope_tools.base.files import Folder, NotAFileError, check_replaceable, replacing, write_bytes


def make_device(path):
    if os.geteuid() != 0:
        pytest.skip("making a device node needs root")
    os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # what /dev/null is


def make_socket(path):
    with socket.socket(socket.AF_UNIX) as listener:
        listener.bind(str(path))


SPECIAL = {
    "character-device": (make_device, NotAFileError, "a character device, not a regular file"),
    "fifo": (os.mkfifo, NotAFileError, "a FIFO, not a regular file"),
    "socket": (make_socket, NotAFileError, "a socket, not a regular file"),
    "folder": (os.mkdir, IsADirectoryError, "Is a directory"),
}


def through_path(folder, name):
    write_bytes(folder / name, b"new")


def through_folder(folder, name):
    with Folder.open(folder) as opened:
        opened.write_bytes(name, b"new")


WRITERS = {"write_bytes": through_path, "Folder.write_bytes": through_folder}


def kind_of(path):
    return stat.S_IFMT(os.lstat(path).st_mode)


@pytest.mark.parametrize("writer", WRITERS)
@pytest.mark.parametrize("special", SPECIAL)
def test_a_special_file_is_refused_and_left_as_it_was(tmp_path, special, writer):
    make, error, message = SPECIAL[special]
    target = tmp_path / "out.bin"
    make(target)
    before = kind_of(target)
    with pytest.raises(error, match=message) as refused:
        WRITERS[writer](tmp_path, "out.bin")
    assert isinstance(refused.value, OSError)
    assert str(target) in str(refused.value)
    assert kind_of(target) == before
    assert [p.name for p in tmp_path.iterdir()] == ["out.bin"]  # no new file left beside it


@pytest.mark.parametrize("special", SPECIAL)
def test_a_special_file_is_refused_before_any_work(tmp_path, special):
    make, error, _ = SPECIAL[special]
    make(tmp_path / "out.bin")
    with pytest.raises(error):
        check_replaceable(tmp_path / "out.bin")


@pytest.mark.parametrize("existing", ["nothing", "file", "link"])
def test_a_file_a_link_or_a_new_name_is_replaced(tmp_path, existing):
    target, victim = tmp_path / "out.bin", tmp_path / "victim"
    victim.write_bytes(b"keep me")
    if existing == "file":
        target.write_bytes(b"old")
    elif existing == "link":
        target.symlink_to(victim)
    check_replaceable(target)
    write_bytes(target, b"new")
    assert not target.is_symlink() and target.read_bytes() == b"new"
    assert victim.read_bytes() == b"keep me"


def test_a_fifo_put_in_place_while_writing_is_not_renamed_over(tmp_path):
    target = tmp_path / "out.bin"
    with pytest.raises(NotAFileError):
        with replacing(target) as file:
            file.write(b"new")
            os.mkfifo(target)
    assert stat.S_ISFIFO(os.lstat(target).st_mode)
    assert [p.name for p in tmp_path.iterdir()] == ["out.bin"]

