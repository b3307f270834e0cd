#!/usr/bin/env python3
"""line_coverage.py <build folder> <source root> [--lines]: line coverage of the gateways, the bridge
and the cores from the .gcda files of a --coverage build, one line per folder. A line counts as run
if any translation unit ran it (headers are compiled into many). --lines also names every line that
never ran."""
import collections
import glob
import json
import os
import subprocess
import sys

FOLDERS = ("mex", "bridge", "projection", "hashing", "error", "propagation")


def runs_per_line(build, root):
    runs = collections.defaultdict(dict)  # source -> line -> ran
    for gcda in glob.glob(os.path.join(build, "**", "*.gcda"), recursive=True):
        report = subprocess.run(
            ["gcov", "--stdout", "--json-format", "-o", os.path.dirname(gcda), gcda],
            capture_output=True, text=True, check=True, cwd=build).stdout
        for unit in filter(str.strip, report.splitlines()):
            unit = json.loads(unit)
            for source in unit["files"]:
                path = os.path.normpath(
                    os.path.join(unit.get("current_working_directory", build), source["file"]))
                relative = os.path.relpath(path, root)
                if relative.split(os.sep)[0] not in FOLDERS:
                    continue
                for line in source["lines"]:
                    number = line["line_number"]
                    runs[relative][number] = runs[relative].get(number, False) or line["count"] > 0
    return runs


def main():
    build, root = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    runs = runs_per_line(build, root)
    totals = collections.defaultdict(lambda: [0, 0])
    for source, lines in runs.items():
        folder = totals[source.split(os.sep)[0]]
        folder[0] += sum(lines.values())
        folder[1] += len(lines)
    for folder in FOLDERS:
        ran, count = totals[folder]
        if count:
            print(f"{folder:12s} {ran:5d} of {count:5d} lines  {100 * ran / count:5.1f}%")
    if "--lines" in sys.argv:
        for source in sorted(runs):
            text = open(os.path.join(root, source)).read().splitlines()
            for number in sorted(n for n, ran in runs[source].items() if not ran):
                print(f"{source}:{number}: {text[number - 1].strip()}")


if __name__ == "__main__":
    main()
