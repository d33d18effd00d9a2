"""Files written whole: a new file beside the target, renamed over it once complete.

The new file is created afresh (never an existing file, never through a
link), so a link planted where a file is written is replaced, not written
through, and a reader never sees half a file. Only a regular file, a link
or a new name is replaced: a folder, a device, a FIFO or a socket in its
place is refused before anything is written, and checked again just
before the rename, so nothing is ever renamed over ``/dev/null``. A
``Folder`` does the same inside a directory opened once, not through a
link, for commands that write and remove many files in one place.

A new file that is not complete is removed on any exception, including
``KeyboardInterrupt`` and whatever a signal handler raises; only a process
killed outright (SIGKILL) leaves its ``.NAME.<random>.part`` beside the
target.
"""

from __future__ import annotations

import contextlib
import errno
import os
import pathlib
import secrets
import stat
from collections.abc import Iterator
from typing import BinaryIO

from .errors import KinetropeError

# The new file opens only if nothing, not even a dangling link, has its name.
_CREATE = os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC
_DIRECTORY = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC


class NotAFileError(KinetropeError, OSError):
    """A device, a FIFO or a socket where a file is to be written: refused, never renamed over."""


def _partial_name(name: str) -> str:
    return f".{name}.{secrets.token_hex(6)}.part"


def _kind(mode: int) -> str:
    if stat.S_ISDIR(mode):
        return "a folder"
    if stat.S_ISFIFO(mode):
        return "a FIFO"
    if stat.S_ISCHR(mode):
        return "a character device"
    if stat.S_ISBLK(mode):
        return "a block device"
    return "a socket" if stat.S_ISSOCK(mode) else "not a regular file"


def _check_replaceable(name: str, directory: int | None, shown: str) -> None:
    try:
        mode = os.stat(name, dir_fd=directory, follow_symlinks=False).st_mode
    except FileNotFoundError:
        return
    if stat.S_ISREG(mode) or stat.S_ISLNK(mode):
        return
    if stat.S_ISDIR(mode):
        raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), shown)
    raise NotAFileError(f"{shown}: {_kind(mode)}, not a regular file")


def check_replaceable(path: str | os.PathLike[str]) -> None:
    """Refuses what a whole-file write must not replace, before any work is done for it.

    Parameters
    ----------
    path : str or os.PathLike
        Where a file is to be written.

    Raises
    ------
    IsADirectoryError
        If ``path`` is a folder.
    NotAFileError
        If ``path`` is a device, a FIFO or a socket (an ``OSError``).

    Notes
    -----
    A regular file, a link (which is replaced, not followed) and a name
    that nothing has yet all pass. ``replacing`` checks this itself; call
    it first where writing comes after long work.
    """
    _check_replaceable(os.fspath(path), None, os.fspath(path))


@contextlib.contextmanager
def _written(name: str, partial: str, directory: int | None, shown: str) -> Iterator[BinaryIO]:
    _check_replaceable(name, directory, shown)
    # 0o666 less the umask, as open() would give the file itself.
    descriptor = os.open(partial, _CREATE, 0o666, dir_fd=directory)
    try:
        with open(descriptor, "wb") as file:
            yield file
        # Again: a device or FIFO may have been put there while the file was written.
        _check_replaceable(name, directory, shown)
        os.replace(partial, name, src_dir_fd=directory, dst_dir_fd=directory)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(partial, dir_fd=directory)
        raise


@contextlib.contextmanager
def replacing(path: str | os.PathLike[str]) -> Iterator[BinaryIO]:
    """A binary file that becomes ``path`` when the block ends without an error.

    Parameters
    ----------
    path : str or os.PathLike
        The file to write: a regular file or a link there is replaced (a
        link is never written through), a new name is made.

    Yields
    ------
    BinaryIO
        A new file beside ``path``, open for writing (and seeking).

    Raises
    ------
    IsADirectoryError, NotAFileError
        As ``check_replaceable``, before the block runs.

    Notes
    -----
    On an error, or any exception, the new file is removed and ``path`` is
    left as it was.
    """
    target = pathlib.Path(path)
    partial = target.with_name(_partial_name(target.name))
    with _written(os.fspath(target), os.fspath(partial), None, os.fspath(target)) as file:
        yield file


def write_bytes(path: str | os.PathLike[str], data: bytes) -> None:
    """Puts ``data`` at ``path`` whole.

    Parameters
    ----------
    path : str or os.PathLike
        The file to write, as ``replacing`` takes it.
    data : bytes
        Its whole content.
    """
    with replacing(path) as file:
        file.write(data)


def write_text(path: str | os.PathLike[str], text: str) -> None:
    """Puts ``text`` at ``path`` as UTF-8, whole.

    Parameters
    ----------
    path : str or os.PathLike
        The file to write, as ``replacing`` takes it.
    text : str
        Its whole content, written as UTF-8.
    """
    write_bytes(path, text.encode("utf-8"))


class Folder:
    """A directory opened once and never through a link; files in it are named, written and removed by name.

    Every name is one entry of this directory (no separators), so nothing
    outside it is reached, even if a link is put in place of a subfolder
    while the folder is in use.
    """

    def __init__(self, descriptor: int, path: pathlib.Path) -> None:
        self._descriptor = descriptor
        self.path = path

    @classmethod
    def open(cls, path: str | os.PathLike[str], create: bool = False, follow_link: bool = False) -> Folder:
        """The directory at ``path``; with ``create``, made first if missing.

        A file is refused (OSError), and so is a link unless ``follow_link``
        (for a folder a user names, which may be a link they made).
        """
        location = pathlib.Path(path)
        if create:
            location.mkdir(parents=True, exist_ok=True)
        flags = _DIRECTORY & ~os.O_NOFOLLOW if follow_link else _DIRECTORY
        return cls(os.open(location, flags), location)

    def close(self) -> None:
        if self._descriptor >= 0:
            os.close(self._descriptor)
            self._descriptor = -1

    def __enter__(self) -> Folder:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    @property
    def identity(self) -> tuple[int, int]:
        """(device, inode): another process checks with it that it opened the same directory."""
        status = os.fstat(self._descriptor)
        return status.st_dev, status.st_ino

    @staticmethod
    def _checked(name: str) -> str:
        if not name or name in (".", "..") or "/" in name or "\0" in name:
            raise ValueError(f"not a name within a folder: {name!r}")
        return name

    def names(self) -> list[str]:
        return sorted(os.listdir(self._descriptor))

    def kinds(self) -> dict[str, str]:
        """What each entry is ("file", "folder", "link" or "other"), by name, read with the listing (no stat each)."""
        found = {}
        with os.scandir(self._descriptor) as entries:
            for entry in entries:
                if entry.is_symlink():
                    found[entry.name] = "link"
                elif entry.is_file(follow_symlinks=False):
                    found[entry.name] = "file"
                elif entry.is_dir(follow_symlinks=False):
                    found[entry.name] = "folder"
                else:
                    found[entry.name] = "other"
        return found

    def size(self, name: str) -> int | None:
        """The size of the regular file ``name``; None if there is none (or a link or a folder is there)."""
        try:
            status = os.stat(self._checked(name), dir_fd=self._descriptor, follow_symlinks=False)
        except FileNotFoundError:
            return None
        return status.st_size if stat.S_ISREG(status.st_mode) else None

    def kind(self, name: str) -> str | None:
        """"file", "folder", "link" or "other" for what ``name`` is, None if nothing is."""
        try:
            mode = os.stat(self._checked(name), dir_fd=self._descriptor, follow_symlinks=False).st_mode
        except FileNotFoundError:
            return None
        if stat.S_ISREG(mode):
            return "file"
        if stat.S_ISDIR(mode):
            return "folder"
        return "link" if stat.S_ISLNK(mode) else "other"

    def subfolder(self, name: str) -> Folder:
        """The folder ``name`` in this one, made if missing; a link in its place is refused (OSError)."""
        try:
            os.mkdir(self._checked(name), dir_fd=self._descriptor)
        except FileExistsError:
            pass
        return Folder(os.open(name, _DIRECTORY, dir_fd=self._descriptor), self.path / name)

    def read_bytes(self, name: str) -> bytes:
        """The bytes of the regular file ``name`` (a link is refused)."""
        descriptor = os.open(self._checked(name), os.O_RDONLY | os.O_NOFOLLOW | os.O_CLOEXEC, dir_fd=self._descriptor)
        with open(descriptor, "rb") as file:
            return file.read()

    @contextlib.contextmanager
    def replacing(self, name: str, partial: str | None = None) -> Iterator[BinaryIO]:
        """A binary file that becomes ``name`` when the block ends without an error.

        ``partial`` names the new file while it is written (by default a
        hidden name no one else uses); it must not exist.
        """
        name, partial = self._checked(name), self._checked(partial or _partial_name(name))
        with _written(name, partial, self._descriptor, os.fspath(self.path / name)) as file:
            yield file

    def write_bytes(self, name: str, data: bytes, partial: str | None = None) -> None:
        with self.replacing(name, partial) as file:
            file.write(data)

    def remove(self, name: str) -> None:
        """Removes the entry ``name`` (a link itself, never what it points to); nothing there is no error."""
        with contextlib.suppress(FileNotFoundError):
            os.unlink(self._checked(name), dir_fd=self._descriptor)


class UnreadableFile(KinetropeError, OSError):
    """A file ``read_guarded`` refuses: missing, not a regular file, or too large; the message names it."""


# Opened without blocking (a FIFO must not wait for a writer) and never as
# the process's terminal.
_READ = os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY | os.O_CLOEXEC


def _size(count: int) -> str:
    return f"{count // 2**20} MiB" if count >= 2**20 and count % 2**20 == 0 else f"{count} bytes"


def read_guarded(path: str | os.PathLike[str], *, limit: int) -> bytes:
    """The bytes of the regular file at ``path``, which holds at most ``limit`` bytes.

    A link is followed, but only to a regular file: a folder, FIFO, device
    or socket is refused before it is opened, and checked again once open
    (it may have been swapped in between). A file past ``limit`` is refused
    by its size, and one that grows (or reports no size, as /proc does) is
    read no further than one byte past it. Every refusal is an
    ``UnreadableFile`` whose message starts with the path.
    """
    # As a terminal may show it: a control character in the name is escaped.
    shown = "".join(c if c.isprintable() else repr(c)[1:-1] for c in os.fsdecode(path))

    def refuse(reason: str, error: OSError | None = None) -> UnreadableFile:
        refused = UnreadableFile(f"{shown}: {reason}")
        refused.errno = error.errno if error is not None else None
        return refused

    def check(status: os.stat_result) -> None:
        if not stat.S_ISREG(status.st_mode):
            raise refuse(f"{_kind(status.st_mode)}, not a regular file")
        if status.st_size > limit:
            raise refuse(f"{status.st_size} bytes, larger than {_size(limit)}")

    try:
        check(os.stat(path))
        descriptor = os.open(path, _READ)
    except UnreadableFile:
        raise
    except OSError as error:
        raise refuse(error.strerror or str(error), error) from None
    except ValueError:  # a NUL in the path
        raise refuse("not a usable path") from None
    try:
        check(os.fstat(descriptor))
        with open(descriptor, "rb", closefd=False) as file:
            data = file.read(limit + 1)
    except UnreadableFile:
        raise
    except OSError as error:
        raise refuse(error.strerror or str(error), error) from None
    finally:
        os.close(descriptor)
    if len(data) > limit:
        raise refuse(f"larger than {_size(limit)}")
    return data
