"""Instances checked by their own type, as the module checks them.

An object is taken as an instance of a class only when its type is that
class or a real subclass of it: what its ``__class__`` claims (a mock made
with ``spec=``, a property, another class's instance dressed up) is never
asked, so every claimant is refused with the one error a wrong type gets.
"""

from __future__ import annotations

from typing import TypeVar, cast

import kinetrope

from .errors import KinetropeError

T = TypeVar("T")


class WrongTypeError(KinetropeError, TypeError):
    """A value of a type a call does not take."""


def instance_of(value: object, cls: type[T], what: str) -> T:
    """``value`` itself if its own type is ``cls`` or a subclass of it.

    Parameters
    ----------
    value : object
        What a caller gave.
    cls : type
        The class the call takes.
    what : str
        The value's name, for the message ("library", "patterns[2]").

    Returns
    -------
    object
        ``value``, unchanged.

    Raises
    ------
    WrongTypeError
        For any other type, whatever ``value.__class__`` says (a ``TypeError``).
    """
    if not issubclass(type(value), cls):
        raise WrongTypeError(f"{what} must be a {cls.__module__}.{cls.__qualname__}, not {type(value).__qualname__}")
    return cast(T, value)


def library_or_none(library: object) -> kinetrope.PatternLibrary | None:
    """``library`` if it is None or a ``kinetrope.PatternLibrary`` (see ``instance_of``); WrongTypeError if not.

    Parameters
    ----------
    library : kinetrope.PatternLibrary or None
        A library of patterns, or None for the defaults alone.

    Returns
    -------
    kinetrope.PatternLibrary or None
        ``library``, unchanged.
    """
    return None if library is None else instance_of(library, kinetrope.PatternLibrary, "library")
