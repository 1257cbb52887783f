"""Ctrl-C during a long call: the call stops with KeyboardInterrupt, the
objects it used are as they were and free for the next call. Each case runs in
a child process that the test interrupts with a real SIGINT."""
import os
import signal
import subprocess
import sys
import time

import pytest

CHILD = """
import _tesvi
from _tesvi import Circuit, NoiseModel, Simulator
c = Circuit(3)
c.h(0)
c.cnot(0, 1)
c.measure_all()
noisy = Simulator(seed=5, noise=NoiseModel.ibm())
exact = Simulator(seed=5)

def snapshot():
    return c.draw(), c.gate_count, noisy.run(c, 50).counts, exact.run(c, 50).counts

before = snapshot()
print("ready", flush=True)
try:
    {call}
except KeyboardInterrupt:
    assert snapshot() == before
    c.h(2)  # the circuit is not left borrowed
    print("interrupted", flush=True)
else:
    print("finished", flush=True)
"""

# Each of these runs for minutes to hours when left alone.
LONG_CALLS = [
    "noisy.run(c, 2**32 - 1)",
    "exact.run(c, 2**32 - 1)",
    "_tesvi.qaoa_maxcut(p=10**6)",
    "_tesvi.algorithms.random_walk(10**5)",
    "_tesvi.crypto.random_bytes(2**20)",
]


@pytest.mark.parametrize("call", LONG_CALLS)
def test_sigint_stops_the_call_and_changes_nothing(call):
    child = subprocess.Popen([sys.executable, "-c", CHILD.format(call=call)],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        time.sleep(0.3)
        os.kill(child.pid, signal.SIGINT)
        out, err = child.communicate(timeout=300)
    finally:
        child.kill()
    assert (out, err, child.returncode) == ("interrupted\n", "", 0)
