"""Builds the gckmatch Python module: `pip install --no-build-isolation .` from this folder.

The extension compiles the matcher, the cores and the file input and output straight from their
folders (every .cpp file, so new ones are picked up); stb's headers are needed to build it, its
library nowhere. The version is CMake's project version, read from CMakeLists.txt and written
through cmake/version.h.in as for every other front end.
"""
import glob
import os
import re
import subprocess

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

ROOT = os.path.dirname(os.path.abspath(__file__))
FOLDERS = ["matcher", "projection", "hashing", "error", "propagation", "io"]


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        return file.read()


def project_version():
    found = re.search(r"project\(gckmatch\s+VERSION\s+([0-9]+)\.([0-9]+)(\.[0-9]+)?",
                      read("CMakeLists.txt"))
    if not found:
        raise RuntimeError("CMakeLists.txt names no project version")
    return found.group(1), found.group(2), found.group(3) or ""


def stb_include_dirs():
    try:
        flags = subprocess.run(["pkg-config", "--cflags-only-I", "stb"], check=True,
                               capture_output=True, text=True).stdout.split()
        return [flag[2:] for flag in flags]
    except (OSError, subprocess.CalledProcessError):
        return ["/usr/include/stb"]


class BuildWithVersion(build_ext):
    """Writes gckmatch/version.h from cmake/version.h.in before compiling."""

    def run(self):
        major, minor, patch = project_version()
        header = (read("cmake/version.h.in")
                  .replace("@PROJECT_VERSION@", f"{major}.{minor}{patch}")
                  .replace("@PROJECT_VERSION_MAJOR@", major)
                  .replace("@PROJECT_VERSION_MINOR@", minor))
        public = os.path.join(self.build_temp, "public")
        os.makedirs(os.path.join(public, "gckmatch"), exist_ok=True)
        with open(os.path.join(public, "gckmatch", "version.h"), "w", encoding="utf-8") as file:
            file.write(header)
        for extension in self.extensions:
            extension.include_dirs.append(public)
        # A source added since an earlier build may be older than the module it left behind, which
        # the timestamp check would then keep: always compile.
        self.force = True
        super().run()


def sources():
    found = sorted(glob.glob("python/src/*.cpp"))
    for folder in FOLDERS:
        found += sorted(glob.glob(f"{folder}/*.cpp"))
    return found


# The matcher's own flags: Release as CMake builds it; its threads are the standard library's.
compile_args = ["-O3", "-DNDEBUG", "-pthread"]
link_args = ["-pthread"]

ParallelCompile("GCK_BUILD_JOBS", default=2).install()

major, minor, patch = project_version()
setup(
    name="gckmatch",
    version=f"{major}.{minor}{patch}",
    description="A dense patch matcher on NumPy arrays",
    license="BSD-3-Clause",
    license_files=["LICENSE"],
    classifiers=["License :: OSI Approved :: BSD License"],
    package_dir={"": "python"},
    packages=["gckmatch"],
    package_data={"gckmatch": ["py.typed", "*.pyi"]},
    ext_modules=[
        Pybind11Extension(
            "gckmatch._gckmatch",
            sources(),
            include_dirs=["."] + stb_include_dirs(),
            libraries=["z"],
            extra_compile_args=compile_args,
            extra_link_args=link_args,
            cxx_std=17,
        )
    ],
    cmdclass={"build_ext": BuildWithVersion},
    install_requires=["numpy"],
    extras_require={"batch": ["distributed"]},
    python_requires=">=3.9",
    zip_safe=False,
)
