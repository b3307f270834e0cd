import os
import resource
import signal
import subprocess
import sys

import numpy as np
import pytest

import gckmatch
from conftest import LEFT, RIGHT
from gckmatch import batch


def test_dask_batch_equals_serial(pair, tmp_path):
    distributed = pytest.importorskip("distributed")
    a, b = pair
    pairs = [(LEFT, RIGHT), (b, a[:, ::-1]), (str(RIGHT), None), (a[:120], b[:120])]
    options = {"k": 2, "width": 7}
    serial = batch.match_pairs(pairs, **options)
    assert np.array_equal(serial[0].rows, gckmatch.match(a, b, **options).rows)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None,
                                  host="127.0.0.1") as cluster, distributed.Client(cluster) as client:
        # A failing pair is reported in its place; the pairs after it are not lost.
        paths = batch.match_pairs(pairs[:1] + [(tmp_path / "missing.png", None)] + pairs[1:],
                                  client=client, out_dir=tmp_path / "fields", errors="return",
                                  **options)
    assert isinstance(paths.pop(1), batch.PairError)
    assert paths == [batch.field_path(tmp_path / "fields", i) for i in (0, 2, 3, 4)]
    for path, field in zip(paths, serial):
        saved = batch.load_field(path)
        assert saved.width == field.width == 7
        for name in ("rows", "cols", "errors"):
            assert np.array_equal(getattr(saved, name), getattr(field, name))


def test_every_pair_reports_its_outcome(pair, tmp_path):
    """A failing pair is named with its index and inputs; "raise" stops there keeping what came
    before, "return" goes on; the output folder is checked before any work; a failed save leaves
    no partial file (nor a traceback from a half-closed zip file); only fields load as fields."""
    a, b = pair
    missing = tmp_path / "missing.png"
    pairs = [(a, b), (missing, None), (b, a)]
    named = r"pair 1 \('.*missing.png', None\): cannot open"
    with pytest.raises(batch.PairError, match=named) as raised:
        batch.match_pairs(pairs, width=5)
    assert raised.value.index == 1 and isinstance(raised.value.error, OSError)
    done, failed, not_run = raised.value.outcomes
    assert done.rows.shape == (246, 366, 1) and failed is raised.value and not_run is None
    outcomes = batch.match_pairs(pairs, out_dir=tmp_path / "out", errors="return", width=5)
    assert outcomes[0] == batch.field_path(tmp_path / "out", 0)
    assert isinstance(outcomes[1], batch.PairError) and outcomes[1].b is None
    assert batch.load_field(outcomes[2]).rows.shape == (246, 366, 1)
    (tmp_path / "file").write_text("not a folder")
    with pytest.raises(OSError):
        batch.match_pairs([(missing, None)], out_dir=tmp_path / "file")

    program = ("import sys, numpy as np\nfrom gckmatch import batch\n"
               "a = np.zeros((200, 300), np.uint8)\n"
               "batch.match_pairs([(a, None)], out_dir=sys.argv[1])\n")
    limit = lambda: (resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096)),
                     signal.signal(signal.SIGXFSZ, signal.SIG_IGN))
    run = subprocess.run([sys.executable, "-c", program, tmp_path / "full"], capture_output=True,
                         text=True, preexec_fn=limit)
    assert ("PairError: pair 0 (an array of shape (200, 300), None): [Errno 27] File too large"
            in run.stderr)
    assert "Exception ignored" not in run.stderr and os.listdir(tmp_path / "full") == []

    np.save(tmp_path / "rows.npy", done.rows)
    with pytest.raises(ValueError, match="rows.npy holds one array: load_field reads the .npz"):
        batch.load_field(tmp_path / "rows.npy")
