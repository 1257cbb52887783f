"""Python-side costs of exact-road sampling and of the state conversions, as
ratios to one limit pass over a 24-qubit state (a streaming in-place
read-modify-write of 256 MiB) measured by simulator_bench in the same run.

    PYTHONPATH=build/python python3 bench/simulator/sampling_dict.py build/bench/simulator/simulator_bench
"""
import json
import statistics
import subprocess
import sys
import time

import _tesvi as T

REPEATS = 5


def limit_seconds(bench):
    out = subprocess.run([bench, "--benchmark_filter=Sampling/limit", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)["benchmarks"][0]["real_time"] / 1e3


def median_seconds(fn):
    times = []
    for _ in range(REPEATS):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def uniform(n):
    c = T.Circuit(n)
    for q in range(n):
        c.h(q)
    return c


def main():
    limit = limit_seconds(sys.argv[1])
    sim = T.Simulator(seed=1)
    rows = []
    for n in (20, 24):
        c = uniform(n)
        rows.append((f"run {n}q, 1e6 shots", median_seconds(lambda: sim.run(c, 1000000))))
        rows.append((f"run + counts dict {n}q, 1e6 shots",
                     median_seconds(lambda: sim.run(c, 1000000).counts)))
        rows.append((f"statevector {n}q", median_seconds(lambda: sim.statevector(c))))
        rows.append((f"probabilities {n}q", median_seconds(lambda: sim.probabilities(c))))
    print(f"limit pass (24 qubits): {limit * 1e3:.1f} ms")
    for name, t in rows:
        print(f"{name:36s} {t * 1e3:9.1f} ms {t / limit:8.1f} limit passes")


if __name__ == "__main__":
    main()
