"""Builds the isocontour package's compiled core, isocontour._isocontour, with this project's
own CMake: the library and the module only (no tool, no tests), for the interpreter that runs
the build. pyproject.toml holds the rest of the package's description.

Needs CMake >= 3.25 and a C++20 compiler on PATH, and pybind11 (a build requirement; the
system's pybind11 CMake package serves as well). ISOCONTOUR_CMAKE_BUILD_DIR names a CMake build
directory to use (and reuse) instead of one under setuptools' build directory;
CMAKE_BUILD_PARALLEL_LEVEL the build's jobs.
"""

import glob
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def cmake_version():
    """The one version of the library and the package: CMakeLists.txt's project() line."""
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(isocontour\s+VERSION\s+([0-9][0-9.]*)", f.read())
    if not found:
        raise RuntimeError("no project(isocontour VERSION ...) in CMakeLists.txt")
    return found.group(1)


class CMakeBuild(build_ext):
    """build_ext for a module CMake builds: configure, build the target, copy the module."""

    def build_extension(self, ext):
        build = os.environ.get("ISOCONTOUR_CMAKE_BUILD_DIR") or os.path.join(
            os.path.abspath(self.build_temp), "cmake")
        args = ["-S", HERE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                "-DISOCONTOUR_BUILD_TOOL=OFF", "-DISOCONTOUR_BUILD_TESTS=OFF",
                "-DISOCONTOUR_BUILD_PYTHON=ON", f"-DPython_EXECUTABLE={sys.executable}"]
        try:
            import pybind11
            args.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass  # the system's pybind11 CMake package, found by CMake itself
        if not os.path.exists(os.path.join(build, "CMakeCache.txt")) and shutil.which("ninja"):
            args += ["-G", "Ninja"]
        subprocess.check_call(["cmake", *args])
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.check_call(["cmake", "--build", build, "--target", "isocontour_python",
                               "--parallel", jobs])
        built = [f for f in glob.glob(os.path.join(build, "python", "isocontour", "_isocontour.*"))
                 if not f.endswith(".pyi")]
        if len(built) != 1:
            raise RuntimeError(f"expected one compiled _isocontour in {build}, found {built}")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


setup(version=cmake_version(),
      ext_modules=[Extension("isocontour._isocontour", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
