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
import contextlib
import io
import os
import tempfile

import numpy as np

from . import Field, match, match_self, read_image

__all__ = ["PairError", "match_pairs", "field_path", "load_field"]


class PairError(Exception):
    """A pair that could not be matched or saved.

    Attributes:
        index: the pair's place in the batch, from 0.
        a, b: its inputs as given (b None for A with itself).
        error: the exception it raised.
        outcomes: set on the PairError that :func:`match_pairs` raises: every pair's outcome, in
            order (a field or path, a PairError, or None for a pair not run).
    """

    def __init__(self, index, a, b, error):
        super().__init__(f"pair {index} ({_described(a)}, {_described(b)}): {error}")
        self.index, self.a, self.b, self.error = index, a, b, error
        self.outcomes = None


def field_path(out_dir, index: int) -> str:
    """Where :func:`match_pairs` writes the field of pair number ``index`` (from 0)."""
    return os.path.join(out_dir, f"pair_{index:05d}.npz")


def load_field(path) -> Field:
    """A field written by :func:`match_pairs`. Raises ValueError for any other file."""
    saved = np.load(path, allow_pickle=False)
    if not isinstance(saved, np.lib.npyio.NpzFile):
        raise ValueError(f"{os.fsdecode(path)} holds one array: load_field reads the .npz files of "
                         "match_pairs, with the arrays rows, cols, errors and width")
    with saved:
        missing = sorted({"rows", "cols", "errors", "width"} - set(saved.files))
        if missing:
            raise ValueError(f"{os.fsdecode(path)} is no field of match_pairs: it lacks "
                             f"{', '.join(missing)}")
        return Field(saved["rows"], saved["cols"], saved["errors"], int(saved["width"]))


def match_pairs(pairs, client=None, out_dir=None, errors="raise", **options):
    """Matches every pair and returns, in the pairs' order, the fields or the files written.

    Args:
        pairs: an iterable of (A, B) or (A, None) pairs of arrays or image paths.
        client: a ``dask.distributed.Client``, whose workers each match one pair per task; None
            matches the pairs one after another in this process, with no Dask at all.
        out_dir: a folder (made if missing, and checked to take files before any work) for the
            fields, ``pair_00000.npz`` and so on (see :func:`field_path`), each with the arrays
            ``rows``, ``cols``, ``errors`` and ``width`` (:func:`load_field` reads one back). The
            file appears whole or not at all. None returns the fields instead.
        errors: "raise" raises the first failing pair's :class:`PairError`, whose ``outcomes``
            hold every pair's outcome: in this process no pair after it is run; on a cluster
            every pair runs and the error is raised once all have ended. "return" puts each
            failing pair's PairError in its place of the list and goes on.
        **options: for :func:`gckmatch.match` (width, k, seed, threads, quality). With a client,
            threads defaults to 1, since Dask already runs one task per worker thread.

    Returns:
        A list of :class:`gckmatch.Field`, or of paths when out_dir is given (PairError for each
        pair that failed, with errors="return").
    """
    if errors not in ("raise", "return"):
        raise ValueError(f"errors must be 'raise' or 'return', not {errors!r}")
    pairs = [tuple(pair) for pair in pairs]
    if any(len(pair) != 2 for pair in pairs):
        raise ValueError("every pair must be (A, B) or (A, None)")
    if out_dir is not None:
        _check_folder(out_dir)
    outcomes = [None] * len(pairs)
    if client is None:
        for i, (a, b) in enumerate(pairs):
            try:
                outcomes[i] = _match_pair(i, a, b, out_dir, options)
            except Exception as error:  # noqa: BLE001 (every failure is reported, with its pair)
                outcomes[i] = PairError(i, a, b, error)
                if errors == "raise":
                    break
    else:
        options.setdefault("threads", 1)
        futures = client.map(_match_pair, range(len(pairs)), [a for a, _ in pairs],
                             [b for _, b in pairs], out_dir=out_dir, options=options, pure=False)
        try:
            for i, ((a, b), future) in enumerate(zip(pairs, futures)):
                try:
                    outcomes[i] = future.result()
                except Exception as error:  # noqa: BLE001 (as above)
                    outcomes[i] = PairError(i, a, b, error)
        except BaseException:
            client.cancel(futures)  # Ctrl-C while waiting: the cluster stops too
            raise
    failed = [outcome for outcome in outcomes if isinstance(outcome, PairError)]
    if failed and errors == "raise":
        failed[0].outcomes = outcomes
        raise failed[0] from failed[0].error
    return outcomes


def _check_folder(out_dir):
    """Makes the folder and writes a file in it, so that one that takes none fails before any
    work."""
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryFile(dir=out_dir) as probe:
        probe.write(b"\n")


def _match_pair(index, a, b, out_dir, options):
    a = _image(a)
    field = match_self(a, **options) if b is None else match(a, _image(b), **options)
    if out_dir is None:
        return field
    path = field_path(out_dir, index)
    # Made whole in memory, then written in one go: a failed write leaves no half file.
    contents = io.BytesIO()
    np.savez(contents, rows=field.rows, cols=field.cols, errors=field.errors, width=field.width)
    partial = f"{path}.{os.getpid()}.partial"
    try:
        with open(partial, "wb") as file:
            file.write(contents.getbuffer())
        os.replace(partial, path)
    except BaseException:
        with contextlib.suppress(OSError):
            os.remove(partial)
        raise
    return path


def _image(image):
    return read_image(image) if isinstance(image, (str, bytes, os.PathLike)) else image


def _described(image):
    if image is None or isinstance(image, (str, bytes, os.PathLike)):
        return repr(image if image is None else os.fsdecode(image))
    shape = getattr(image, "shape", None)
    return f"an array of shape {shape}" if shape is not None else type(image).__name__
