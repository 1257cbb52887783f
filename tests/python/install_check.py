"""The user's way in: builds the package from a copy of the sources, with the
README's commands (a virtual environment that sees the system's packages, then
`pip install --no-build-isolation .`: `pip` mode) or with `setup.py build_ext`
(`build_ext` mode), imports _tesvi from there in a fresh interpreter, and
checks that the build left nothing behind in the source tree.

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


def listing(tree):
    return sorted(str(p.relative_to(tree)) for p in tree.rglob("*"))


def main(root, mode):
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        src, site = tmp / "src", tmp / "site"
        copy_sources(root, src)
        before = listing(src)
        env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
        env["CMAKE_BUILD_PARALLEL_LEVEL"] = "4"
        env["TMPDIR"] = str(tmp)  # where setup.py puts its build, so it goes with tmp
        python = sys.executable
        if mode == "pip":
            subprocess.run([python, "-m", "venv", "--system-site-packages", str(tmp / "venv")],
                           check=True)
            python = str(tmp / "venv" / "bin" / "python")
            site = tmp / "venv"
            command = [python, "-m", "pip", "install", "--no-build-isolation", "--no-deps",
                       "--no-cache-dir", "--quiet", str(src)]
        else:
            command = [python, "setup.py", "build_ext", "--parallel", "4", "--build-lib",
                       str(site)]
            env["PYTHONPATH"] = str(site)
        subprocess.run(command, cwd=src, env=env, check=True)
        out = subprocess.run([python, "-c", CHECK, str(site)], cwd=tmp, env=env,
                             capture_output=True, text=True)
        sys.stdout.write(out.stdout + out.stderr)
        if out.returncode != 0 or out.stdout.strip() != (root / "VERSION").read_text().strip():
            return 1
        left = sorted(set(listing(src)) - set(before))
        if left:
            print("the build left files in the source tree:", left[:10])
            return 1
    print(f"{mode}: 1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1]).resolve(), sys.argv[2]))
