import ctypes
import multiprocessing
import os
import resource
import signal
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from importlib.metadata import metadata

import numpy as np
import pytest

import gckmatch
from conftest import LEFT, RIGHT


def same_field(x, y):
    return (x.width == y.width and np.array_equal(x.rows, y.rows)
            and np.array_equal(x.cols, y.cols) and np.array_equal(x.errors, y.errors))


def exact_errors(a, b, field):
    """Each match's patch error straight from the pixels."""
    height, width, _ = field.rows.shape
    r, c = np.arange(height)[:, None, None], np.arange(width)[None, :, None]
    total = np.zeros(field.rows.shape)
    for dr in range(field.width):
        for dc in range(field.width):
            d = a[r + dr, c + dc].astype(float) - b[field.rows + dr, field.cols + dc]
            total += (d * d).reshape(*field.rows.shape, -1).sum(-1)
    return np.sqrt(total)


@pytest.mark.parametrize("arguments, options", [
    ([], {}),
    (["--k", "3", "-w", "5", "--seed", "7"], {"k": 3, "width": 5, "seed": 7}),
    (["--self", "--k", "2"], {"k": 2}),
    (["--quality", "fast", "--k", "2"], {"quality": "fast", "k": 2}),
    (["--quality", "best", "-w", "6"], {"quality": "best", "width": 6}),
])
def test_field_equals_command_line(pair, command_line, tmp_path, arguments, options):
    a, b = pair
    self = "--self" in arguments
    images = [str(LEFT)] if self else [str(LEFT), str(RIGHT)]
    subprocess.run([command_line, "match", *images, *arguments, "--out", tmp_path], check=True,
                   capture_output=True)
    field = gckmatch.match_self(a, **options) if self else gckmatch.match(a, b, **options)
    saved = np.load(tmp_path / "field.npy")
    assert field.rows.dtype == np.int32 and field.errors.dtype == np.float32
    assert np.array_equal(field.rows, saved[..., 0]) and np.array_equal(field.cols, saved[..., 1])
    assert np.array_equal(field.errors, np.load(tmp_path / "errors.npy"))
    rebuilt = gckmatch.read_image(tmp_path / "reconstruction.png")
    assert np.array_equal(field.reconstruct(a if self else b), rebuilt)
    version = subprocess.run([command_line, "--version"], capture_output=True, text=True).stdout
    assert version.strip() == f"gckmatch {gckmatch.__version__}"
    assert metadata("gckmatch")["License"] == "BSD-3-Clause"


def test_grey_colour_layouts_k_and_self(pair):
    a, b = pair[0][:90, :110], pair[1][:90, :110]
    grey = np.ascontiguousarray(a[..., 1])
    # A grey image is three equal channels.
    assert same_field(gckmatch.match(grey, b), gckmatch.match(np.dstack([grey] * 3), b))
    # Any memory order, strides and direction give the field of the C-ordered copy.
    padded = np.zeros((180, 220, 5), np.uint8)
    padded[::2, ::2, 1:4] = a
    backwards = np.ascontiguousarray(a[::-1, ::-1])[::-1, ::-1]
    expected = gckmatch.match(np.ascontiguousarray(a), b, k=2)
    for view in (np.asfortranarray(a), padded[::2, ::2, 1:4], backwards):
        assert same_field(gckmatch.match(view, b, k=2), expected)

    field = gckmatch.match(a, b, k=4, width=6, quality="high")
    assert field.rows.shape == (85, 105, 4) and field.k == 4
    assert np.allclose(field.errors, exact_errors(a, b, field), rtol=1e-5, atol=1e-3)
    assert np.all(np.diff(field.errors, axis=2) >= 0)
    position = field.rows * 1000 + field.cols
    assert all(len(np.unique(p)) == 4 for p in position.reshape(-1, 4))

    own = gckmatch.match_self(grey, k=3)
    assert np.allclose(own.errors, exact_errors(grey, grey, own), rtol=1e-5, atol=1e-3)
    r, c = np.indices(own.rows.shape[:2])
    assert not np.any((own.rows == r[..., None]) & (own.cols == c[..., None]))


def test_bad_arrays_are_value_errors(pair):
    a, b = pair
    bad_images = {
        "images must be uint8 arrays, not float32": a.astype(np.float32),
        "images must be uint8 arrays, not int16": a.astype(np.int16),
        "images must be uint8 arrays, not bool": a > 0,
        "images must be uint8 arrays, not int64": [[1, 2], [3, 4]],
        "images must have 1 or 3 channels": a[:, ::2, :2],
        "images must have 1 or 3 channels ": np.dstack([a, a[..., :1]]),
        "patch width 8 is larger than a 0 x 0 image": np.zeros((0, 0), np.uint8),
        "patch width 8 is larger than a 370 x 0 image": a[:0],
        "patch width 8 is larger than a 4 x 7 image": a[:14:2, :12:3],
        "not 1-dimensional": a[0, :, 0],
        "not 4-dimensional": a[None],
    }
    for message, image in bad_images.items():
        for call in (lambda: gckmatch.match(image, b), lambda: gckmatch.match(b, image),
                     lambda: gckmatch.match_self(image)):
            with pytest.raises(ValueError, match=message.strip()):
                call()
    # Every value out of the matcher's range is a MatchError, however large; what is no whole
    # number (a bool, a float) a TypeError.
    bad_options = [
        ("k must lie in 1..64", {"k": 0}), ("k must lie in 1..64", {"k": 2**31}),
        ("patch width must lie in 1..104", {"width": 0}),
        ("patch width must lie in 1..104", {"width": 2**31}),
        ("quality must be 'fast', 'default', 'high' or 'best', not 'finest'", {"quality": "finest"}),
        ("threads must lie in 0..1024", {"threads": -1}),
        ("threads must lie in 0..1024", {"threads": 2**31}),
        ("seed must lie in 0..2", {"seed": -1}), ("seed must lie in 0..2", {"seed": 2**64}),
    ]
    for message, options in bad_options:
        for call in (lambda: gckmatch.match(a, b, **options),
                     lambda: gckmatch.match_self(a, **options)):
            with pytest.raises(gckmatch.MatchError, match=message):
                call()
    for options in ({"width": True}, {"k": 2.0}, {"seed": "1"}, {"progress": 1}):
        with pytest.raises(TypeError):
            gckmatch.match(a, b, **options)
    assert gckmatch.match(a[:40, :50], b, width=np.int64(5)).width == 5
    with pytest.raises(ValueError, match="too few patches for k = 1"):
        gckmatch.match_self(a[:8, :8])
    field = gckmatch.match(a, b)
    with pytest.raises(ValueError, match="does not fit in a 100 x 100 image"):
        field.reconstruct(b[:100, :100])
    # Positions are whole numbers inside B, never wrapped or rounded into it.
    rebuilt = field.reconstruct(b)
    wide = gckmatch.Field(field.rows.astype(np.int64), field.cols, field.errors, field.width)
    assert np.array_equal(wide.reconstruct(b), rebuilt)
    for rows, message in ((field.rows + np.int64(2**32), "holds 42949"),
                          (field.rows + 0.7, "must hold whole numbers, not float64")):
        with pytest.raises(gckmatch.MatchError, match=message):
            gckmatch.Field(rows, field.cols, field.errors, field.width).reconstruct(b)


def test_image_files_by_any_name_and_their_faults(tmp_path):
    image = gckmatch.read_image(LEFT)
    # Names as the file system holds them: bytes, paths, and bytes that are no UTF-8.
    odd = os.fsencode(tmp_path) + b"/\xff\xfe.png"
    with open(odd, "wb") as copy:
        copy.write(LEFT.read_bytes())
    for name in (odd, tmp_path / os.fsdecode(b"\xff\xfe.png"), os.fsencode(LEFT)):
        assert np.array_equal(gckmatch.read_image(name), image)
    with pytest.raises(ValueError, match="embedded null byte"):
        gckmatch.read_image(f"{LEFT}\0/no/such.png")
    with pytest.raises(OSError, match="cannot open .*missing.png': no such file"):
        gckmatch.read_image(LEFT.with_name("missing.png"))
    # A critical chunk of a type named by bytes that are no letters, after the header.
    png = LEFT.read_bytes()
    (tmp_path / "chunk.png").write_bytes(png[:33] + b"\0\0\0\0\xc0\xc1\xc2\xc3\0\0\0\0" + png[33:])
    with pytest.raises(OSError, match="chunk.png': not a valid PNG"):
        gckmatch.read_image(tmp_path / "chunk.png")
    with pytest.raises(OSError, match="\udcff\udcfe.png': no such file"):
        gckmatch.read_image(os.fsencode(tmp_path) + b"/missing/\xff\xfe.png")


def test_a_match_larger_than_the_memory_left_is_refused():
    """Under an address-space limit, a match too large for it is a MatchError naming the need,
    before any pixel is copied (the image is one zero, broadcast)."""
    program = ("import numpy as np, gckmatch\n"
               "huge = np.broadcast_to(np.zeros((1, 1), np.uint8), (12000, 12000))\n"
               "gckmatch.match(huge, huge)\n")
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (3 << 30, 3 << 30))
    run = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                         preexec_fn=limit)
    assert "gckmatch._gckmatch.MatchError: the match needs about 5.4 GB of memory" in run.stderr


def test_threads_match_at_once_as_one_after_another(pair):
    a, b = pair
    jobs = [(a, b, {"k": 2}), (b, a, {"seed": 3, "threads": 1}), (a, a[::-1], {"width": 5})]
    serial = [gckmatch.match(x, y, **options) for x, y, options in jobs]
    with ThreadPoolExecutor(len(jobs)) as pool:
        together = list(pool.map(lambda job: gckmatch.match(job[0], job[1], **job[2]), jobs))
    assert all(same_field(x, y) for x, y in zip(serial, together))


def test_ctrl_c_stops_a_match_at_its_next_check(pair):
    """Ctrl-C arriving while a match runs stops it before its next level ends, through the
    module's own check for signals. The interrupt is tripped from C by the match's first progress
    call, so that no Python code (which would take it at once) runs between it and that check;
    the wakeup pipe counts the progress calls, one for a match that stopped in time. Python's own
    handler is put in place: a runner that starts the suite in the background may hand it SIGINT
    ignored, and an ignored signal is never tripped."""
    calls = []
    gckmatch.match(pair[0], pair[1], progress=lambda done, total: calls.append((done, total)))
    assert calls == [(0, 2), (1, 2), (2, 2)]
    tripped, wakeup = os.pipe()
    os.set_blocking(wakeup, False)
    previous = signal.set_wakeup_fd(wakeup)
    handler = signal.signal(signal.SIGINT, signal.default_int_handler)
    try:
        with pytest.raises(KeyboardInterrupt):
            gckmatch.match(pair[0], pair[1], progress=ctypes.pythonapi.PyErr_SetInterrupt)
    finally:
        signal.signal(signal.SIGINT, handler)
        signal.set_wakeup_fd(previous)
    assert os.read(tripped, 64).count(signal.SIGINT) == 1


def _best_rows(images):
    return gckmatch.match(images[0], images[1], threads=2).rows


def test_a_pool_forked_after_a_threaded_match_matches(pair):
    """No thread or threading runtime of a match outlives it, so forked workers match as well."""
    parent = gckmatch.match(pair[0], pair[1], threads=0)
    with multiprocessing.get_context("fork").Pool(2) as pool:
        # The timeout only keeps a hang from blocking the suite; it never races a working match.
        rows = pool.map_async(_best_rows, [pair, pair]).get(timeout=600)
    assert all(np.array_equal(r, parent.rows) for r in rows)


def test_a_start_field_is_no_worse_and_a_bad_one_is_refused(pair):
    a, b = pair[0][:120, :150], pair[1][:110, :140]
    first = gckmatch.match(a, b, k=2, width=6)
    for init in (first, (first.rows, first.cols), (first.rows, first.cols, first.errors)):
        again = gckmatch.match(a, b, k=2, width=6, init=init)
        assert (again.errors[..., 0] <= first.errors[..., 0]).all()
        assert np.allclose(again.errors, exact_errors(a, b, again))
    bad_rows = first.rows.copy()
    bad_rows[3, 4, 1] = 200
    for init, kind in [((first.rows[:-1], first.cols[:-1]), gckmatch.MatchError),
                       ((bad_rows, first.cols), gckmatch.MatchError),
                       ((first.rows + 0.5, first.cols), gckmatch.MatchError),
                       ((first.rows, first.cols[..., :1]), gckmatch.MatchError),
                       ((first.rows, first.cols, first.rows), gckmatch.MatchError),
                       (5, TypeError)]:
        with pytest.raises(kind):
            gckmatch.match(a, b, k=2, width=6, init=init)
    with pytest.raises(gckmatch.MatchError, match="start field has"):
        gckmatch.match(a[:-1], b, width=6, init=first)


def test_offsets_image_is_the_command_lines_picture(pair, command_line, tmp_path):
    field = gckmatch.match(*pair)
    picture = field.offsets_image()
    subprocess.run([command_line, "match", LEFT, RIGHT, "--out", tmp_path], check=True,
                   capture_output=True)
    assert np.array_equal(picture, gckmatch.read_image(tmp_path / "offsets.png"))
    assert picture.shape[0] == pair[0].shape[0] and picture.shape[1] > pair[0].shape[1]
