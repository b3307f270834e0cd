import os
from pathlib import Path

import pytest

import gckmatch

ROOT = Path(__file__).resolve().parents[2]
LEFT = ROOT / "data" / "motorcycle_left.png"
RIGHT = ROOT / "data" / "motorcycle_right.png"


@pytest.fixture(scope="session")
def pair():
    return gckmatch.read_image(LEFT), gckmatch.read_image(RIGHT)


@pytest.fixture(scope="session")
def command_line():
    """The gckmatch command of a linux build: $GCKMATCH_COMMAND or build/linux/tools/gckmatch."""
    path = Path(os.environ.get("GCKMATCH_COMMAND", ROOT / "build" / "linux" / "tools" / "gckmatch"))
    assert path.is_file(), f"no command line at {path}: bash scripts/build.sh linux"
    return path
