#!/usr/bin/python3
"""What a call of the Python module costs beyond the C++ driver's own work, on the bundled pair.

Usage: python_overhead.py GCKMATCH_COMMAND [RUNS]. Needs the module installed (README, Python).
Times gckmatch.match(a, b, threads=1) from Python and the match time the command line prints for
the same pair and settings (the driver alone, without reading or writing files); each the fastest
of RUNS runs (default 20), since the machine is shared.
"""
import re
import subprocess
import sys
import tempfile
import time

import gckmatch

PAIR = ("data/motorcycle_left.png", "data/motorcycle_right.png")


def module_seconds(a, b, runs):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        gckmatch.match(a, b, threads=1)
        best = min(best, time.perf_counter() - start)
    return best


def driver_seconds(command, runs):
    best = float("inf")
    with tempfile.TemporaryDirectory() as out:
        for _ in range(runs):
            printed = subprocess.run([command, "match", *PAIR, "--threads", "1", "--out", out],
                                     check=True, capture_output=True, text=True).stdout
            best = min(best, float(re.search(r" in ([0-9.]+) s", printed).group(1)))
    return best


def main():
    command = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    a, b = (gckmatch.read_image(path) for path in PAIR)
    module = module_seconds(a, b, runs)
    driver = driver_seconds(command, runs)
    print(f"{a.shape[1]} x {a.shape[0]} pair, one thread, fastest of {runs} runs")
    print(f"module call  {1e3 * module:8.2f} ms")
    print(f"driver alone {1e3 * driver:8.2f} ms")
    print(f"overhead     {1e3 * (module - driver):8.2f} ms ({100 * (module / driver - 1):.1f} %)")


if __name__ == "__main__":
    main()
