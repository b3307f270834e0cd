# The compiled part of gckmatch; the package's functions document these calls.
from typing import Callable, Optional

import numpy as np

__version__: str
LIMITS: dict[str, tuple[int, int]]

class MatchError(ValueError): ...

Progress = Optional[Callable[[int, int], object]]

Arrays = Optional[np.ndarray]

def match(a: np.ndarray, b: np.ndarray, width: int, k: int, seed: int, threads: int,
          quality: str, progress: Progress, init_rows: Arrays, init_cols: Arrays,
          init_errors: Arrays) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
def match_self(a: np.ndarray, width: int, k: int, seed: int, threads: int, quality: str,
               progress: Progress, init_rows: Arrays, init_cols: Arrays,
               init_errors: Arrays) -> tuple[np.ndarray, np.ndarray, np.ndarray]: ...
def offsets_picture(rows: np.ndarray, cols: np.ndarray, width: int) -> np.ndarray: ...
def reconstruct(rows: np.ndarray, cols: np.ndarray, width: int, b: np.ndarray) -> np.ndarray: ...
def read_image(path: bytes) -> np.ndarray: ...
