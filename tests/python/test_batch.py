import numpy as np
import pytest

import gckmatch
from conftest import LEFT, RIGHT
from gckmatch import batch

distributed = pytest.importorskip("distributed")


def test_dask_batch_equals_serial(pair, tmp_path):
    a, b = pair
    pairs = [(LEFT, RIGHT), (b, a[:, ::-1]), (str(RIGHT), None), (a[:120], b[:120])]
    options = {"k": 2, "width": 7}
    serial = batch.match_pairs(pairs, **options)
    assert np.array_equal(serial[0].rows, gckmatch.match(a, b, **options).rows)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None,
                                  host="127.0.0.1") as cluster, distributed.Client(cluster) as client:
        paths = batch.match_pairs(pairs, client=client, out_dir=tmp_path / "fields", **options)
    assert paths == [batch.field_path(tmp_path / "fields", i) for i in range(len(pairs))]
    for path, field in zip(paths, serial):
        saved = batch.load_field(path)
        assert saved.width == field.width == 7
        for name in ("rows", "cols", "errors"):
            assert np.array_equal(getattr(saved, name), getattr(field, name))
