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
Ctrl-C cancels a match between two of its levels. :mod:`gckmatch.batch` matches many pairs, on
this machine or on a Dask cluster.
"""
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
        B's channels (in Fortran order). Raises ValueError when B is no image or a match does not
        fit in it.
        """
        return _gckmatch.reconstruct(self.rows, self.cols, self.width, np.asarray(b))

    def __repr__(self) -> str:
        height, width, k = self.rows.shape
        return f"Field({height} x {width} patches of width {self.width}, k = {k})"


def match(a: np.ndarray, b: np.ndarray, width: int = 8, k: int = 1, seed: int = 1,
          threads: int = 0, quality: str = "default") -> Field:
    """The k best matches in B of every width x width patch of A.

    Args:
        a, b: uint8 arrays, H x W (grey) or H x W x 3 (colour), any strides. A grey image matched
            with a colour one is taken as three equal channels.
        width: patch side.
        k: matches kept per patch, 1 to 64.
        seed: the random start; the same seed gives the same field.
        threads: worker threads, 0 for every hardware thread; the field is the same for any count.
        quality: "fast", "default", "high" or "best", each more accurate than the one before for
            more time; "default" balances the two (docs/benchmarks.md has the measured curve).

    Returns:
        A :class:`Field`.

    Raises:
        MatchError (a ValueError): an array of another dtype or shape, too small for the width, or
            options out of range; the message says which.
        KeyboardInterrupt: Ctrl-C during the match.
    """
    arrays = _gckmatch.match(np.asarray(a), np.asarray(b), width, k, seed, threads, quality)
    return Field(*arrays, width)


def match_self(a: np.ndarray, width: int = 8, k: int = 1, seed: int = 1, threads: int = 0,
               quality: str = "default") -> Field:
    """The k nearest other patches of A for every width x width patch of A.

    As :func:`match` with B = A, except that no patch is its own match.
    """
    arrays = _gckmatch.match_self(np.asarray(a), width, k, seed, threads, quality)
    return Field(*arrays, width)


def read_image(path: str) -> np.ndarray:
    """A PNG or JPEG file as the command line reads it: a uint8 H x W x 3 array, or H x W for grey
    files (an alpha channel is dropped), in Fortran order. Raises OSError when it cannot be read."""
    return _gckmatch.read_image(str(path))
