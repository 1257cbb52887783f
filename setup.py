"""Builds the extension module _tesvi through the project's CMake build.

`pip install --no-build-isolation .` and `python3 setup.py build_ext --inplace`
both configure CMake with Ninja (tests and benchmarks off), build the single
target _tesvi and copy _tesvi.abi3.so where setuptools expects it.
"""
import hashlib
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
# pip builds in the source tree; its leftovers (the CMake build, the egg-info)
# go to a directory of their own outside it.
SCRATCH = (Path(tempfile.gettempdir()) /
           f"tesvi-build-{hashlib.sha256(str(ROOT).encode()).hexdigest()[:16]}")
SCRATCH.mkdir(parents=True, exist_ok=True)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release", "-DTESVI_BUILD_TESTS=OFF", "-DTESVI_BUILD_BENCH=OFF",
             f"-DPython3_EXECUTABLE={sys.executable}"],
            check=True)
        jobs = ["--parallel", str(self.parallel)] if self.parallel else []
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_tesvi", *jobs],
                       check=True)
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(build_dir / "python" / "_tesvi.abi3.so", target)


setup(
    version=(ROOT / "VERSION").read_text().strip(),
    ext_modules=[Extension("_tesvi", sources=[], py_limited_api=True)],
    cmdclass={"build_ext": CMakeBuild},
    options={
        "build": {"build_base": str(SCRATCH / "build")},
        "egg_info": {"egg_base": str(SCRATCH)},
        "bdist_wheel": {"py_limited_api": "cp39"},
    },
)
