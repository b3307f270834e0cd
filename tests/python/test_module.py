import _thread
import multiprocessing
import subprocess
import threading
from concurrent.futures import ThreadPoolExecutor

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
    bad_options = {
        "k must lie in 1..64": {"k": 0},
        "patch width must lie": {"width": 0},
        "quality must be 'default' or 'high', not 'best'": {"quality": "best"},
        "threads must not be negative": {"threads": -1},
    }
    for message, options in bad_options.items():
        with pytest.raises(gckmatch.MatchError, match=message):
            gckmatch.match(a, b, **options)
    with pytest.raises(ValueError, match="too few patches for k = 1"):
        gckmatch.match_self(a[:8, :8])
    field = gckmatch.match(a, b)
    with pytest.raises(ValueError, match="does not fit in a 100 x 100 image"):
        field.reconstruct(b[:100, :100])
    with pytest.raises(OSError, match="cannot open"):
        gckmatch.read_image(LEFT.with_name("missing.png"))


def test_threads_match_at_once_as_one_after_another(pair):
    a, b = pair
    jobs = [(a, b, {"k": 2}), (b, a, {"seed": 3, "threads": 1}), (a, a[::-1], {"width": 5})]
    serial = [gckmatch.match(x, y, **options) for x, y, options in jobs]
    with ThreadPoolExecutor(len(jobs)) as pool:
        together = list(pool.map(lambda job: gckmatch.match(job[0], job[1], **job[2]), jobs))
    assert all(same_field(x, y) for x, y in zip(serial, together))


def test_ctrl_c_cancels_a_match(pair):
    large = np.tile(pair[0], (3, 3, 1))
    timer = threading.Timer(0.1, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        gckmatch.match(large, large[::-1], quality="high")
    timer.join()


def _best_rows(images):
    return gckmatch.match(images[0], images[1], threads=2).rows


def test_a_pool_forked_after_a_threaded_match_matches(pair):
    """No thread or threading runtime of a match outlives it, so forked workers match as well."""
    parent = gckmatch.match(pair[0], pair[1], threads=0)
    with multiprocessing.get_context("fork").Pool(2) as pool:
        # The timeout only keeps a hang from blocking the suite; it never races a working match.
        rows = pool.map_async(_best_rows, [pair, pair]).get(timeout=600)
    assert all(np.array_equal(r, parent.rows) for r in rows)
