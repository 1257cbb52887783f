"""The Python class Simulator."""
import pytest

from _tesvi import Circuit, NoiseModel, QuantumResult, Simulator


def bell():
    c = Circuit(2)
    c.h(0)
    c.cnot(0, 1)
    return c


def measured_bell():
    c = bell()
    c.measure_all()
    return c


@pytest.mark.parametrize("kwargs", [{}, dict(seed=None, noise=None), dict(parallel=True),
                                    dict(seed=None, noise=NoiseModel(), parallel=True)])
def test_default_construction_is_unseeded_ideal_parallel(kwargs):
    # Two unseeded runs of a 20-qubit uniform superposition agree only by chance.
    c = Circuit(20)
    for q in range(20):
        c.h(q)
    c.measure_all()
    sim = Simulator(**kwargs)
    assert sim.run(c, 4).counts != sim.run(c, 4).counts
    assert sim.statevector(bell())[0] == pytest.approx((2**-0.5, 0.0))


@pytest.mark.parametrize("kwargs, error, needle", [
    (dict(parallel=None), TypeError, "argument 'parallel': 'NoneType' object cannot be converted "
     "to 'PyBool'"),
    (dict(parallel=0), TypeError, "argument 'parallel': 'int' object cannot be converted to "
     "'PyBool'"),
    (dict(seed=-1), OverflowError, None),
    (dict(seed=2**64), OverflowError, None),
    (dict(seed=1.5), TypeError, "argument 'seed': "),
    (dict(noise=0.1), TypeError, "argument 'noise': 'float' object cannot be converted to "
     "'NoiseModel'"),
    (dict(noise=Circuit(1)), TypeError, "argument 'noise': 'Circuit' object cannot be converted "
     "to 'NoiseModel'"),
])
def test_constructor_failures(kwargs, error, needle):
    with pytest.raises(error) as e:
        Simulator(**kwargs)
    if needle:
        assert str(e.value).startswith(needle)
    else:
        assert "seed" not in str(e.value)


@pytest.mark.parametrize("seed", [0, 7, 2**64 - 1])
def test_seeded_runs_repeat(seed):
    sim = Simulator(seed)
    first = sim.run(measured_bell(), 500).counts
    assert Simulator(seed=seed, parallel=False).run(measured_bell(), 500).counts == first
    assert sim.run(circuit=measured_bell(), shots=500).counts == first
    assert sum(first.values()) == 500 and set(first) <= {"00", "11"}


def test_run_returns_a_new_result():
    sim = Simulator(seed=1)
    r = sim.run(measured_bell())
    assert type(r) is QuantumResult and r.total_shots == 1000
    assert sim.run(measured_bell()) is not r


@pytest.mark.parametrize("shots, error, message", [
    (0, ValueError, "Shot count must be greater than zero, got 0"),
    (2**32, OverflowError, "out of range integral type conversion attempted"),
    (None, TypeError, "argument 'shots': "),
    (10.0, TypeError, "argument 'shots': "),
])
def test_run_shot_failures(shots, error, message):
    with pytest.raises(error) as e:
        Simulator(1).run(measured_bell(), shots)
    assert str(e.value).startswith(message)


def test_run_needs_a_circuit():
    with pytest.raises(TypeError) as e:
        Simulator().run(NoiseModel())
    assert str(e.value) == ("argument 'circuit': 'NoiseModel' object cannot be converted to "
                            "'Circuit'")


@pytest.mark.parametrize("kwargs", [{}, dict(seed=3, noise=NoiseModel.ibm(), parallel=False)])
def test_text_form_is_constant(kwargs):
    sim = Simulator(**kwargs)
    assert repr(sim) == str(sim) == "Simulator(StateVector)"


@pytest.mark.parametrize("n", [1, 3])
def test_statevector_of_a_new_circuit(n):
    sim = Simulator()
    state = sim.statevector(Circuit(n))
    assert state == [(1.0, 0.0)] + [(0.0, 0.0)] * (2**n - 1)
    assert all(type(a) is tuple and type(a[0]) is float for a in state)
    assert sim.probabilities(Circuit(n)) == [1.0] + [0.0] * (2**n - 1)


def test_statevector_basis_order_and_probabilities():
    c = Circuit(3)
    c.x(0)  # qubit 0 is the least significant bit of the index
    c.ry(2, 1.0)
    sim = Simulator(seed=5)
    state = sim.statevector(circuit=c)
    probs = sim.probabilities(c)
    assert probs == [re * re + im * im for re, im in state]
    assert probs[1] > 0 and probs[5] > 0 and probs[1] + probs[5] == pytest.approx(1.0)


@pytest.mark.parametrize("noise, ok", [
    (NoiseModel(), True),
    (NoiseModel.uniform(0.0, 0.0, 0.0), True),
    (NoiseModel.ibm(), False),
    (NoiseModel.uniform(0.0, 0.0, 0.01), False),
])
def test_statevector_refuses_enabled_noise(noise, ok):
    sim = Simulator(noise=noise)
    for call in (sim.statevector, sim.probabilities):
        if ok:
            assert len(call(bell())) == 4
            continue
        with pytest.raises(ValueError) as e:
            call(bell())
        assert str(e.value) == "Simulation error: statevector is unavailable when noise is enabled"


def test_statevector_of_terminal_measurements_is_the_state_before_them():
    sim = Simulator()
    assert sim.statevector(measured_bell()) == sim.statevector(bell())


@pytest.mark.parametrize("late", [
    lambda c: (c.measure(0), c.h(1)),
    lambda c: (c.measure(0), c.measure(0), c.x(0)),
])
def test_statevector_refuses_mid_circuit_measurement(late):
    c = bell()
    late(c)
    sim = Simulator()
    for call in (sim.statevector, sim.probabilities):
        with pytest.raises(ValueError) as e:
            call(c)
        assert str(e.value) == ("Simulation error: statevector is unavailable for circuits with "
                                "mid-circuit measurements")


def test_noise_model_is_copied_not_shared():
    model = NoiseModel.uniform(0.2, 0.2, 0.2)
    a, b = Simulator(seed=9, noise=model), Simulator(seed=9, noise=model)
    del model
    first = a.run(measured_bell(), 300).counts
    assert len(first) > 2  # the noise reached the run
    assert b.run(measured_bell(), 300).counts == first


def test_memory_refusal_is_a_value_error():
    with pytest.raises(ValueError, match="^Insufficient memory for 60-qubit simulation"):
        Simulator().statevector(Circuit(60))


# A one-qubit program whose 16 measurements write 16 bits of a 65536-bit
# register: up to 65536 distinct keys of 64 KiB each.
WIDE_KEYS = ("import _tesvi as T\n"
             "src = 'OPENQASM 2.0;\\ninclude \"qelib1.inc\";\\nqreg q[1];\\ncreg c[65536];\\n'\n"
             "src += ''.join(f'h q[0];\\nmeasure q[0] -> c[{i}];\\n' for i in range(16)) + 'x q[0];\\n'\n"
             "r = T.Simulator(seed=1).run(T.parse_qasm(src), SHOTS)\n")
# 20 qubits in uniform superposition measured 200,000 times: keys of 200,000 characters.
LONG_KEYS = ("import _tesvi as T\n"
             "c = T.Circuit(20)\n"
             "for q in range(20): c.h(q)\n"
             "for i in range(200000): c.measure(i % 20)\n"
             "r = T.Simulator(seed=1).run(c, SHOTS)\n")


def run_under_4gib(code):
    """Runs code in a child limited to 4 GiB of address space; returns its last output line."""
    import os
    import subprocess
    import sys

    import _tesvi
    env = dict(os.environ, PYTHONPATH=os.path.dirname(_tesvi.__file__))
    child = ("try:\n" + "".join("    " + line + "\n" for line in code.splitlines()) +
             "    print('ok')\n"
             "except Exception as e:\n"
             "    print(type(e).__name__ + ': ' + str(e))\n")
    out = subprocess.run(["prlimit", f"--as={4 << 30}", "--", sys.executable, "-c", child],
                         env=env, capture_output=True, text=True, timeout=300)
    return out.stdout.strip().splitlines()[-1] if out.stdout.strip() else out.stderr


@pytest.mark.parametrize("code, expected", [
    ("T.Simulator().statevector(T.Circuit(26))",
     "ValueError: Insufficient memory for 26-qubit simulation"),
    ("T.Simulator().probabilities(T.Circuit(27))",
     "ValueError: Insufficient memory for 27-qubit simulation"),
    (WIDE_KEYS.replace("SHOTS", "200000"), "ValueError: Insufficient memory for 1-qubit simulation"),
    (LONG_KEYS.replace("SHOTS", "100000"), "ValueError: Insufficient memory for 20-qubit simulation"),
    ("assert len(T.Simulator().probabilities(T.Circuit(22))) == 1 << 22", "ok"),
    (WIDE_KEYS.replace("SHOTS", "300") + "assert sum(r.counts.values()) == 300", "ok"),
    (LONG_KEYS.replace("SHOTS", "20") + "assert len(next(iter(r.counts))) == 200000", "ok"),
])
def test_memory_limits_are_checked_before_building(code, expected):
    # The results above need more than 4 GiB as Python objects or as count
    # keys; each must be refused before it is built, and what fits must run.
    assert run_under_4gib("import _tesvi as T\n" + code).startswith(expected)
