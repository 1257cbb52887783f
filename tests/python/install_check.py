"""The user's way in: builds the package from a copy of the sources into a
temporary directory, with pip (`pip` mode) or with `setup.py build_ext`
(`build_ext` mode), and imports _tesvi from there in a fresh interpreter.

Usage: install_check.py SOURCE_ROOT pip|build_ext
"""
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

CHECK = """
import sys
import _tesvi
assert _tesvi.__file__.startswith(sys.argv[1]), _tesvi.__file__
assert _tesvi.__file__.endswith("_tesvi.abi3.so"), _tesvi.__file__
c = _tesvi.Circuit(2)
c.h(0)
c.cnot(0, 1)
c.measure_all()
counts = _tesvi.Simulator(seed=7).run(c, 100).counts
assert set(counts) <= {"00", "11"} and sum(counts.values()) == 100, counts
print(_tesvi.__version__)
"""


def copy_sources(root, dest):
    def ignore(directory, names):
        top = Path(directory) == root
        return [n for n in names
                if n in ("__pycache__", ".pytest_cache") or n.endswith(".egg-info")
                or (top and (n.startswith("build") or n == ".git" or n.endswith(".so")))]

    shutil.copytree(root, dest, ignore=ignore, symlinks=True)


def main(root, mode):
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        src, site = tmp / "src", tmp / "site"
        copy_sources(root, src)
        env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
        env["CMAKE_BUILD_PARALLEL_LEVEL"] = "4"
        if mode == "pip":
            command = [sys.executable, "-m", "pip", "install", "--no-build-isolation", "--no-deps",
                       "--no-cache-dir", "--quiet", "--target", str(site), str(src)]
        else:
            command = [sys.executable, "setup.py", "build_ext", "--parallel", "4",
                       "--build-lib", str(site)]
        subprocess.run(command, cwd=src, env=env, check=True)
        out = subprocess.run([sys.executable, "-c", CHECK, str(site)], cwd=tmp,
                             env=dict(env, PYTHONPATH=str(site)), capture_output=True, text=True)
        sys.stdout.write(out.stdout + out.stderr)
        if out.returncode != 0 or out.stdout.strip() != (root / "VERSION").read_text().strip():
            return 1
    print(f"{mode}: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1]).resolve(), sys.argv[2]))
