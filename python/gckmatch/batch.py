"""Many pairs at once: one after another in this process, or spread over a Dask cluster.

Each pair is (A, B) or (A, None) for A matched with itself, where A and B are uint8 arrays or paths
of PNG or JPEG files; a path is read where the pair is matched, so on a cluster every worker must
see it (a shared file system). With ``client`` a ``dask.distributed.Client``, the pairs become one
task each::

    from dask.distributed import Client
    import gckmatch.batch
    client = Client("tcp://scheduler-host:8786")  # a running cluster; Client(LocalCluster()) here
    frames = [f"video/{i:04d}.png" for i in range(1000)]
    gckmatch.batch.match_pairs(zip(frames, frames[1:]), client=client, out_dir="fields", k=4)

The engine is Dask's: starting the scheduler and the workers (by hand, on Slurm through
dask-jobqueue, on Kubernetes) is left to the user, as are other engines, such as a Slurm job array
or GNU parallel running the ``gckmatch`` command line once per pair.
"""
import os

import numpy as np

from . import Field, match, match_self, read_image

__all__ = ["match_pairs", "field_path", "load_field"]


def field_path(out_dir: str, index: int) -> str:
    """Where :func:`match_pairs` writes the field of pair number ``index`` (from 0)."""
    return os.path.join(out_dir, f"pair_{index:05d}.npz")


def load_field(path: str) -> Field:
    """A field written by :func:`match_pairs`."""
    with np.load(path) as saved:
        return Field(saved["rows"], saved["cols"], saved["errors"], int(saved["width"]))


def match_pairs(pairs, client=None, out_dir=None, **options):
    """Matches every pair and returns, in the pairs' order, the fields or the files written.

    Args:
        pairs: an iterable of (A, B) or (A, None) pairs of arrays or image paths.
        client: a ``dask.distributed.Client``, whose workers each match one pair per task; None
            matches the pairs one after another in this process, with no Dask at all.
        out_dir: a folder (made if missing) for the fields, ``pair_00000.npz`` and so on (see
            :func:`field_path`), each with the arrays ``rows``, ``cols``, ``errors`` and ``width``
            (:func:`load_field` reads one back). The file appears whole or not at all. None
            returns the fields instead.
        **options: for :func:`gckmatch.match` (width, k, seed, threads, quality). With a client,
            threads defaults to 1, since Dask already runs one task per worker thread.

    Returns:
        A list of :class:`gckmatch.Field`, or of paths when out_dir is given.
    """
    pairs = [tuple(pair) for pair in pairs]
    if any(len(pair) != 2 for pair in pairs):
        raise ValueError("every pair must be (A, B) or (A, None)")
    if client is None:
        return [_match_pair(i, a, b, out_dir, options) for i, (a, b) in enumerate(pairs)]
    options.setdefault("threads", 1)
    futures = client.map(_match_pair, range(len(pairs)), [a for a, _ in pairs],
                         [b for _, b in pairs], out_dir=out_dir, options=options, pure=False)
    return client.gather(futures)


def _match_pair(index, a, b, out_dir, options):
    a = _image(a)
    field = match_self(a, **options) if b is None else match(a, _image(b), **options)
    if out_dir is None:
        return field
    os.makedirs(out_dir, exist_ok=True)
    path = field_path(out_dir, index)
    partial = f"{path}.{os.getpid()}.partial"
    with open(partial, "wb") as file:
        np.savez(file, rows=field.rows, cols=field.cols, errors=field.errors, width=field.width)
    os.replace(partial, path)
    return path


def _image(image):
    return read_image(image) if isinstance(image, (str, os.PathLike)) else image
