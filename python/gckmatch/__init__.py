"""A dense patch matcher on NumPy arrays.

For every patch of image A (every pixel whose width x width patch fits), :func:`match` finds the k
patches of image B most alike, and :func:`match_self` the k nearest other patches of A itself::

    import gckmatch
    a = gckmatch.read_image("data/motorcycle_left.png")
    b = gckmatch.read_image("data/motorcycle_right.png")
    field = gckmatch.match(a, b, width=8, k=1)
    print(field.rows.shape, field.errors.mean())
    rebuilt = field.reconstruct(b)

Images are uint8 arrays, H x W (grey) or H x W x 3 (colour), in any memory order. The matcher
works on its own copy of the pixels (one copy, column-major with the channels as planes: the layout
of an array in Fortran order), without the GIL, so Python threads can match at the same time.
Ctrl-C stops a match within milliseconds. :mod:`gckmatch.batch` matches many pairs, on this machine
or on a Dask cluster.
"""
import operator
import os
from dataclasses import dataclass

import numpy as np

from . import _gckmatch
from ._gckmatch import MatchError, __version__

__all__ = ["Field", "MatchError", "match", "match_self", "read_image", "__version__"]


@dataclass(frozen=True, eq=False)
class Field:
    """A nearest-neighbour field: the k best matches of every patch of A, best first.

    Attributes:
        rows, cols: int32 arrays of shape (H - width + 1, W - width + 1, k): ``rows[r, c, s]`` and
            ``cols[r, c, s]`` are the 0-based row and column in B of match s of the patch of A whose
            top-left pixel is (r, c).
        errors: float32 array of the same shape: the exact patch error of each match, the root of
            the sum of squared differences over the width x width x channels patch.
        width: the patch side.
    """

    rows: np.ndarray
    cols: np.ndarray
    errors: np.ndarray
    width: int

    @property
    def k(self) -> int:
        """Matches per patch."""
        return self.rows.shape[2]

    def reconstruct(self, b: np.ndarray) -> np.ndarray:
        """A rebuilt from B's pixels, as the command line's reconstruction.png.

        Every pixel is the rounded mean, over the patches of A that cover it, of the pixel at the
        same place in each patch's best match. Returns a uint8 array of A's height and width with
        B's channels (in Fortran order). Raises MatchError (a ValueError) when B is no image, or
        rows or cols hold anything but whole numbers that place every match inside B.
        """
        rows, cols = _positions("rows", self.rows), _positions("cols", self.cols)
        return _gckmatch.reconstruct(rows, cols, _whole("width", self.width), np.asarray(b))

    def offsets_image(self) -> np.ndarray:
        """The offsets of the best matches as colours, as the command line's offsets.png.

        Every pixel of A takes the colour of the offset from its patch to that patch's best match
        (the nearest patch's past the last one): the hue tells the direction (right red, down
        yellow-green, left cyan, up violet), the saturation the length, full from the length that
        95 % of the offsets stay within; white is no offset. On the right, beside it, the key: a
        wheel whose every point has the colour of the offset from its centre to it. Returns a
        uint8 array of A's height and three channels (in Fortran order).
        """
        rows, cols = _positions("rows", self.rows), _positions("cols", self.cols)
        return _gckmatch.offsets_picture(rows, cols, _whole("width", self.width))

    def __repr__(self) -> str:
        height, width, k = self.rows.shape
        return f"Field({height} x {width} patches of width {self.width}, k = {k})"


def match(a: np.ndarray, b: np.ndarray, width: int = 8, k: int = 1, seed: int = 1,
          threads: int = 0, quality: str = "default", progress=None, init=None) -> Field:
    """The k best matches in B of every width x width patch of A.

    Args:
        a, b: uint8 arrays, H x W (grey) or H x W x 3 (colour), any strides. A grey image matched
            with a colour one is taken as three equal channels.
        width: patch side, 1 to 104.
        k: matches kept per patch, 1 to 64.
        seed: the random start, 0 to 2**64 - 1; the same seed gives the same field.
        threads: worker threads, 0 for every hardware thread, at most 1024; the field is the same
            for any count.
        quality: "fast", "default", "high" or "best", each more accurate than the one before for
            more time; "default" balances the two (docs/benchmarks.md has the measured curve).
        progress: None, or a callable taking (done, total), called before the first of the
            match's levels (done = 0) and after each; what it raises stops the match and is raised
            from this call.
        init: None, or a field to start from instead of from scratch: a :class:`Field` of an earlier
            match of an A of this size (any k), or its ``(rows, cols)`` or ``(rows, cols,
            errors)`` arrays. No patch ends worse than its best start match. With errors (a Field
            has them), a patch whose start still measures that error takes only its neighbours'
            matches and the others are searched again: re-matching after a small edit of A costs a
            fraction of a match from scratch.

    Returns:
        A :class:`Field`.

    Raises:
        MatchError (a ValueError): an array of another dtype or shape, too small for the width,
            an option out of range, or a match larger than the memory this process can still
            take; the message says which.
        TypeError: an option that is no whole number (True and 8.0 included).
        KeyboardInterrupt: Ctrl-C during the match, which stops it within milliseconds.
    """
    arrays = _gckmatch.match(np.asarray(a), np.asarray(b), *_options(width, k, seed, threads),
                             quality, _callable(progress), *_start(init))
    return Field(*arrays, int(width))


def match_self(a: np.ndarray, width: int = 8, k: int = 1, seed: int = 1, threads: int = 0,
               quality: str = "default", progress=None, init=None) -> Field:
    """The k nearest other patches of A for every width x width patch of A.

    As :func:`match` with B = A, except that no patch is its own match.
    """
    arrays = _gckmatch.match_self(np.asarray(a), *_options(width, k, seed, threads), quality,
                                  _callable(progress), *_start(init))
    return Field(*arrays, int(width))


def read_image(path) -> np.ndarray:
    """A PNG or JPEG file as the command line reads it: a uint8 H x W x 3 array, or H x W for grey
    files (an alpha channel is dropped), in Fortran order. ``path`` is a str, bytes or
    os.PathLike, as for :func:`open`, and the file is read once, front to back (a pipe will do).
    Raises OSError, naming the file, when it cannot be read or is no such image."""
    raw = os.fsencode(path)
    if b"\0" in raw:
        raise ValueError("embedded null byte")  # as open() says
    return _gckmatch.read_image(raw)


def _whole(name, value):
    """An option as a Python int: bools and numbers with a fraction (8.0 too) are refused."""
    if isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be a whole number, not {value!r}")
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be a whole number, not {value!r}") from None


def _options(width, k, seed, threads):
    """The four numeric options, each in the range the matcher takes."""
    values = {"width": _whole("width", width), "k": _whole("k", k),
              "threads": _whole("threads", threads)}
    for name, value in values.items():
        low, high = _gckmatch.LIMITS[name]
        if not low <= value <= high:
            shown = "patch width" if name == "width" else name
            raise MatchError(f"{shown} must lie in {low}..{high}, not {value}")
    seed = _whole("seed", seed)
    if not 0 <= seed < 2**64:
        raise MatchError(f"seed must lie in 0..2**64 - 1, not {seed}")
    return values["width"], values["k"], seed, values["threads"]


def _callable(progress):
    if progress is not None and not callable(progress):
        raise TypeError("progress must be None or a callable taking (done, total), not "
                        f"{progress!r}")
    return progress


def _start(init):
    """A start field as the module takes it: (rows, cols, errors), each None without a start."""
    if init is None:
        return None, None, None
    if isinstance(init, Field):
        parts = (init.rows, init.cols, init.errors)
    elif isinstance(init, (tuple, list)) and len(init) in (2, 3):
        parts = tuple(init) + (None,) * (3 - len(init))
    else:
        raise TypeError("init must be None, a Field, or (rows, cols[, errors]) arrays, not "
                        f"{type(init).__name__}")
    errors = parts[2]
    if errors is not None:
        errors = np.asarray(errors)
        if errors.dtype.kind != "f":
            raise MatchError(f"init's errors must be floating-point numbers, not {errors.dtype}")
    return _positions("init rows", parts[0]), _positions("init cols", parts[1]), errors


def _positions(name, values):
    """Match positions as int32, refused unless every one is a whole number an image can hold."""
    values = np.asarray(values)
    if values.dtype.kind not in "iu":
        raise MatchError(f"{name} must hold whole numbers, not {values.dtype}")
    if values.size and (values.min() < 0 or values.max() > np.iinfo(np.int32).max):
        bad = values.min() if values.min() < 0 else values.max()
        raise MatchError(f"{name} holds {bad}, which is no position in an image")
    return values.astype(np.int32, copy=False)
