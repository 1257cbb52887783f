"""The algorithm functions: registration, argument handling and result dicts."""
import math
from collections import namedtuple

import pytest

import _tesvi
from _tesvi import algorithms

NAMES = ["phase_estimation", "shor_factor", "vqe_hydrogen", "qaoa_maxcut", "simon_hidden_xor",
         "random_walk"]

SIGNATURES = {
    "phase_estimation": "(unitary, eigenstate=None, precision_bits=3, shots=1024, seed=None)",
    "shor_factor": "(n, seed=None)",
    "vqe_hydrogen": "(max_iterations=30, shots=1000, seed=None)",
    "qaoa_maxcut": "(edges=None, num_vertices=None, graph=None, p=2, max_iterations=20, "
                   "shots=1000, seed=None)",
    "simon_hidden_xor": "(secret, seed=None)",
    "random_walk": "(steps)",
}

INSUFFICIENT_60 = "Insufficient memory for 60-qubit simulation (need 18446744073709551615 bytes)"


def test_submodule_lists_the_six_in_order():
    assert algorithms.__all__ == NAMES
    assert _tesvi.__all__[6:12] == NAMES


@pytest.mark.parametrize("name", NAMES)
def test_each_function_exists_twice_bound_to_its_own_module(name):
    top, sub = getattr(_tesvi, name), getattr(algorithms, name)
    assert top is not sub
    assert top.__module__ == "_tesvi" and sub.__module__ == "algorithms"
    assert top.__self__ is _tesvi and sub.__self__ is algorithms
    assert top.__name__ == sub.__name__ == name
    assert top.__text_signature__ == sub.__text_signature__ == SIGNATURES[name]
    assert top.__doc__ is None and sub.__doc__ is None


@pytest.mark.parametrize("call", [
    lambda m: m.shor_factor(91, seed=4),
    lambda m: m.phase_estimation("t", precision_bits=6),
    lambda m: m.simon_hidden_xor([True, False, True]),
    lambda m: m.random_walk(5),
])
def test_both_copies_behave_alike(call):
    assert call(_tesvi) == call(algorithms)


# phase_estimation

@pytest.mark.parametrize("args, kwargs, phase, measured, bits", [
    (("s",), {}, 0.25, 2, 3),
    (("s", ""), {}, 0.25, 2, 3),
    (("s", "one"), {"precision_bits": 1}, 0.5, 1, 1),
    (("t",), {}, 0.125, 1, 3),
    (("t", None, 7), {}, 0.125, 16, 7),
    (("z",), {"precision_bits": 2}, 0.5, 2, 2),
    (("x", "plus"), {}, 0.0, 0, 3),
    (("x", "minus"), {"precision_bits": 4}, 0.5, 8, 4),
    (("i",), {}, 0.0, 0, 3),
    (("identity", "anything at all"), {}, 0.0, 0, 3),
    ((), {"unitary": "s", "shots": 7, "seed": 2**64 - 1, "precision_bits": 5}, 0.25, 8, 5),
])
def test_phase_estimation_values(args, kwargs, phase, measured, bits):
    r = _tesvi.phase_estimation(*args, **kwargs)
    assert list(r) == ["phase", "measured_value", "precision_bits", "counts"]
    shots = kwargs.get("shots", 1024)
    assert r == {"phase": phase, "measured_value": measured, "precision_bits": bits,
                 "counts": {measured: shots}}
    assert type(r["phase"]) is float and type(r["measured_value"]) is int


def test_phase_estimation_zero_shots_and_seeds():
    assert _tesvi.phase_estimation("z", shots=0)["counts"] == {4: 0}
    assert _tesvi.phase_estimation("t", seed=1) == _tesvi.phase_estimation("t", seed=2)


@pytest.mark.parametrize("args", [
    ("x",), ("x", "one"), ("X", "plus"), ("s", "One"), ("s", " one"), ("s", "plus"),
    ("h",), ("", None), ("z", "minus"),
])
def test_phase_estimation_unsupported_pairs(args):
    with pytest.raises(ValueError) as e:
        _tesvi.phase_estimation(*args, precision_bits=0)  # refused before the library runs
    assert str(e.value) == "unsupported phase-estimation unitary/eigenstate pair"


@pytest.mark.parametrize("bits, message", [
    (0, "Simulation error: QPE requires at least one precision qubit"),
    (128, "Circuit exceeds maximum qubit count (129 > 128)"),
    (59, INSUFFICIENT_60),
    (127, "Insufficient memory for 128-qubit simulation (need 18446744073709551615 bytes)"),
])
def test_phase_estimation_library_errors(bits, message):
    with pytest.raises(ValueError) as e:
        _tesvi.phase_estimation("s", precision_bits=bits)
    assert str(e.value) == message


@pytest.mark.parametrize("kwargs, error, message", [
    ({"unitary": 1}, TypeError, "argument 'unitary': 'int' object cannot be converted to "
                                "'PyString'"),
    ({"unitary": "s", "eigenstate": b"one"}, TypeError,
     "argument 'eigenstate': 'bytes' object cannot be converted to 'PyString'"),
    ({"unitary": "s", "precision_bits": None}, TypeError, "argument 'precision_bits': "),
    ({"unitary": "s", "shots": None}, TypeError, "argument 'shots': "),
    ({"unitary": "s", "shots": -1}, OverflowError,
     "out of range integral type conversion attempted"),
    ({"unitary": "s", "precision_bits": -1}, OverflowError, None),
    ({"unitary": "s", "seed": 1.5}, TypeError, "argument 'seed': "),
    ({}, TypeError, "phase_estimation() missing 1 required positional argument: 'unitary'"),
])
def test_phase_estimation_conversions(kwargs, error, message):
    with pytest.raises(error) as e:
        _tesvi.phase_estimation(**kwargs)
    assert type(e.value) is error
    if message is None:
        assert "precision_bits" not in str(e.value)
    else:
        assert str(e.value).startswith(message)


def test_phase_estimation_converts_in_parameter_order():
    # The first failing argument is reported, even when a later one is also wrong.
    with pytest.raises(TypeError, match="^argument 'eigenstate'"):
        _tesvi.phase_estimation("s", 3, None, None)
    with pytest.raises(TypeError) as e:
        _tesvi.phase_estimation("s", None, 3, 4, 5, 6)
    assert str(e.value) == ("phase_estimation() takes from 1 to 5 positional arguments but 6 "
                            "were given")


# shor_factor

@pytest.mark.parametrize("n, factors, base", [
    (4, [2, 2], 2), (10, [2, 5], 2), (2**64 - 2, [2, 2**63 - 1], 2),
    (9, [3, 3], 3), (27, [3, 9], 3), (125, [5, 25], 5), (243, [3, 81], 3),
    (3**39, [3, 3**38], 3),
])
def test_shor_shortcuts(n, factors, base):
    r = _tesvi.shor_factor(n)
    assert list(r) == ["n", "factors", "base_a", "period_r", "period", "attempts", "success"]
    assert r == {"n": n, "factors": factors, "base_a": base, "period_r": 0, "period": 0,
                 "attempts": 1, "success": True}


@pytest.mark.parametrize("seed", [None, 0, 1, 2, 3, 99, 2**64 - 1])
def test_shor_always_splits_fifteen(seed):
    r = _tesvi.shor_factor(15, seed)
    assert r["success"] is True
    assert sorted(r["factors"]) == [3, 5]
    assert r["period_r"] == r["period"] and r["period"] % 2 == 0
    assert pow(r["base_a"], r["period"], 15) == 1
    assert 1 <= r["attempts"] <= 10


@pytest.mark.parametrize("n, attempts", [(7, 5), (251, 10)])
def test_shor_primes_fail_quietly(n, attempts):
    assert _tesvi.shor_factor(n, seed=5) == {
        "n": n, "factors": [1, n], "base_a": 0, "period_r": 0, "period": 0,
        "attempts": attempts, "success": False}


@pytest.mark.parametrize("n, message", [
    (3, "Simulation error: N must be at least 4"),
    (0, "Simulation error: N must be at least 4"),
    (259, "Circuit exceeds maximum qubit count (17 > 16)"),
    (2**64 - 1, "Circuit exceeds maximum qubit count (128 > 16)"),
])
def test_shor_refusals(n, message):
    with pytest.raises(ValueError) as e:
        _tesvi.shor_factor(n)
    assert str(e.value) == message


def test_shor_seed_reproduces_and_arguments_convert():
    assert [_tesvi.shor_factor(221, seed=8) for _ in range(3)] == [_tesvi.shor_factor(221, 8)] * 3
    with pytest.raises(OverflowError):
        _tesvi.shor_factor(-15)
    with pytest.raises(TypeError, match="^argument 'n': "):
        _tesvi.shor_factor(15.0)
    with pytest.raises(TypeError, match="^argument 'seed': "):
        _tesvi.shor_factor(15, seed="1")


# vqe_hydrogen

START_ENERGY = -1.0524 + 0.3979 - 0.3979 - 0.0112


def test_vqe_without_iterations_evaluates_the_start_point():
    r = _tesvi.vqe_hydrogen(0)
    assert list(r) == ["energy", "optimal_params", "params", "energy_history", "iterations",
                       "converged"]
    assert r["energy"] == pytest.approx(START_ENERGY, abs=1e-12)
    assert r["optimal_params"] == r["params"] == [0.0, 0.0]
    assert r["params"] is not r["optimal_params"]
    assert (r["energy_history"], r["iterations"], r["converged"]) == ([], 0, False)


def test_vqe_defaults_run_out_of_iterations():
    r = _tesvi.vqe_hydrogen()
    assert r["energy"] == pytest.approx(-1.2226742, abs=1e-7)
    assert r["optimal_params"][0] == pytest.approx(-1.0744927, abs=1e-7)
    assert r["optimal_params"][1] == pytest.approx(0.0, abs=1e-12)
    assert r["energy_history"][0] == pytest.approx(START_ENERGY, abs=1e-12)
    assert (r["iterations"], r["converged"]) == (30, False)
    assert r["energy"] <= min(r["energy_history"])


def test_vqe_variance_rule_stops_early():
    r = _tesvi.vqe_hydrogen(max_iterations=100)
    assert (r["iterations"], r["converged"]) == (83, True)
    assert len(r["energy_history"]) == 83
    assert r["energy"] == pytest.approx(-1.2443272, abs=1e-7)


def test_vqe_ignores_shots_and_seed():
    results = [_tesvi.vqe_hydrogen(3, shots, seed) for shots, seed in
               [(0, None), (1, 5), (1000, 2**64 - 1), (2**32 - 1, 0)]]
    assert all(r == results[0] for r in results)
    assert results[0]["iterations"] == 3


@pytest.mark.parametrize("kwargs, error, prefix", [
    ({"max_iterations": None}, TypeError, "argument 'max_iterations': "),
    ({"shots": -1}, OverflowError, "out of range integral type conversion attempted"),
    ({"shots": 2**32}, OverflowError, "out of range integral type conversion attempted"),
    ({"seed": -1}, OverflowError, ""),
    ({"iterations": 1}, TypeError,
     "vqe_hydrogen() got an unexpected keyword argument 'iterations'"),
])
def test_vqe_conversions(kwargs, error, prefix):
    with pytest.raises(error) as e:
        _tesvi.vqe_hydrogen(**kwargs)
    assert type(e.value) is error and str(e.value).startswith(prefix)


# qaoa_maxcut

QAOA_KEYS = ["best_solution", "solution", "best_cost", "cost", "optimal_gamma", "optimal_beta",
             "approximation_ratio", "cost_history"]


def test_qaoa_defaults_optimise_the_square():
    r = _tesvi.qaoa_maxcut()
    assert list(r) == QAOA_KEYS
    assert len(r["cost_history"]) == 20
    assert r["cost_history"][0] == pytest.approx(0.0577192, abs=1e-7)
    assert r["best_cost"] == r["cost"] == pytest.approx(3.2224487, abs=1e-7)
    assert r["approximation_ratio"] == pytest.approx(0.8056122, abs=1e-7)
    assert r["best_solution"] == r["solution"] and r["best_solution"] in ("0101", "1010")
    assert len(r["optimal_gamma"]) == len(r["optimal_beta"]) == 2


def test_qaoa_without_iterations_reports_the_start():
    r = _tesvi.qaoa_maxcut(max_iterations=0)
    assert r == {"best_solution": "0000", "solution": "0000", "best_cost": -math.inf,
                 "cost": -math.inf, "optimal_gamma": [0.5, 0.5], "optimal_beta": [0.5, 0.5],
                 "approximation_ratio": -math.inf, "cost_history": []}


@pytest.mark.parametrize("graph, vertices, optimum", [
    ("triangle", 3, 2), ("square", 4, 4), ("petersen_5", 5, 4), ("petersen", 5, 4),
])
def test_qaoa_named_graphs(graph, vertices, optimum):
    r = _tesvi.qaoa_maxcut(graph=graph, p=1, max_iterations=2)
    assert len(r["best_solution"]) == vertices and len(r["optimal_gamma"]) == 1
    assert r["approximation_ratio"] == pytest.approx(r["best_cost"] / optimum)


def test_qaoa_edge_readings():
    Edge = namedtuple("Edge", "u v")
    pairs = _tesvi.qaoa_maxcut([(0, 1)], 2, max_iterations=1)
    weighted = _tesvi.qaoa_maxcut([(0, 1, 2)], 2, max_iterations=1)
    # A pair weighs 1.0; an int weight reads as a float.
    assert _tesvi.qaoa_maxcut(((0, 1, 1.0),), 2, max_iterations=1) == pairs
    assert _tesvi.qaoa_maxcut([(0, 1, 2.0)], 2, max_iterations=1) == weighted != pairs
    assert _tesvi.qaoa_maxcut([Edge(0, 1)], 2, max_iterations=1) == pairs
    # With edges given the graph name is ignored, even an unknown one.
    assert _tesvi.qaoa_maxcut([(0, 1)], 2, "nonsense", max_iterations=1) == pairs


def test_qaoa_empty_edge_list():
    r = _tesvi.qaoa_maxcut([], 3)
    assert r["cost_history"] == [0.0]
    assert r["optimal_gamma"] == r["optimal_beta"] == [0.5, 0.5]
    assert r["approximation_ratio"] is None
    assert r["best_solution"] == "000"


@pytest.mark.parametrize("edges", [
    [[0, 1]], [(0, 1), (1, 2, 1.0)], "01", 5, [(0, -1)], [(0, 1.5)], [(0, 1, "w")],
    [(0, 1, 2, 3)], {(0, 1)}, [(0,)], None.__class__,
], ids=["lists", "mixed", "str", "int", "negative", "float vertex", "str weight", "quadruple",
        "set", "single", "type"])
def test_qaoa_unreadable_edges(edges):
    with pytest.raises(ValueError) as e:
        _tesvi.qaoa_maxcut(edges, 3)
    assert str(e.value) == "edges must be a list of (u, v) or (u, v, weight) tuples"


@pytest.mark.parametrize("kwargs, message", [
    ({"edges": [(0, 1)]}, "num_vertices is required when edges are provided"),
    ({"edges": [(0, 1)], "num_vertices": 0}, "num_vertices must be greater than zero"),
    ({"edges": [(0, 1)], "num_vertices": 1}, "edge (0, 1) is out of range for 1 vertices"),
    ({"edges": [(0, 1), (2, 7), (9, 9)], "num_vertices": 3},
     "edge (2, 7) is out of range for 3 vertices"),
    ({"edges": "01"}, "edges must be a list of (u, v) or (u, v, weight) tuples"),
    ({"graph": "Square"}, "unknown graph 'Square', expected triangle, square, or petersen_5"),
    ({"graph": " square"}, "unknown graph ' square', expected triangle, square, or petersen_5"),
    ({"p": 0}, "Simulation error: QAOA requires at least one layer"),
    ({"p": 0, "graph": "nonsense"},
     "unknown graph 'nonsense', expected triangle, square, or petersen_5"),
    ({"edges": [(0, 12)], "num_vertices": 13}, "Circuit exceeds maximum qubit count (13 > 12)"),
    ({"edges": [(0, 0)], "num_vertices": 1},
     "Two-qubit gate requires different qubits, got 0 and 0"),
])
def test_qaoa_value_errors(kwargs, message):
    with pytest.raises(ValueError) as e:
        _tesvi.qaoa_maxcut(**kwargs)
    assert str(e.value) == message


def test_qaoa_limits_and_shape_errors_surface_only_in_evaluation():
    r = _tesvi.qaoa_maxcut([(0, 0)], 1, max_iterations=0)
    assert r["cost_history"] == [] and r["best_solution"] == "0"
    wide = _tesvi.qaoa_maxcut([(0, 11)], 12, p=1, max_iterations=1)
    assert len(wide["best_solution"]) == 12


@pytest.mark.parametrize("kwargs, error, prefix", [
    ({"p": None}, TypeError, "argument 'p': "),
    ({"max_iterations": None}, TypeError, "argument 'max_iterations': "),
    ({"shots": None}, TypeError, "argument 'shots': "),
    ({"num_vertices": -1, "edges": [(0, 1)]}, OverflowError, ""),
    ({"graph": 3, "edges": [(0, 1)], "num_vertices": 2}, TypeError,
     "argument 'graph': 'int' object cannot be converted to 'PyString'"),
    ({"num_vertices": "2", "edges": "not even read"}, TypeError, "argument 'num_vertices': "),
])
def test_qaoa_conversions_come_first(kwargs, error, prefix):
    with pytest.raises(error) as e:
        _tesvi.qaoa_maxcut(**kwargs)
    assert type(e.value) is error and str(e.value).startswith(prefix)


def test_qaoa_ignores_shots_and_seed():
    results = [_tesvi.qaoa_maxcut(graph="triangle", max_iterations=3, shots=s, seed=seed)
               for s, seed in [(0, None), (1, 1), (1000, 2**64 - 1)]]
    assert all(r == results[0] for r in results)


# simon_hidden_xor

@pytest.mark.parametrize("secret, iterations", [
    ([True], 0), ([True, False], 1), ([False, True], 1), ([True, True, False], 2),
    ((False, True, True, False, True), 4), ([True] * 7, 6), ([False] * 9 + [True], 9),
])
def test_simon_finds_the_secret(secret, iterations):
    r = _tesvi.simon_hidden_xor(secret)
    assert list(r) == ["secret", "iterations_needed"]
    assert r == {"secret": list(secret), "iterations_needed": iterations}
    assert _tesvi.simon_hidden_xor(secret, seed=3) == r


@pytest.mark.parametrize("secret, error, message", [
    ([], ValueError, "Simon secret must be a non-zero bitstring"),
    ([False, False], ValueError, "Simon secret must be a non-zero bitstring"),
    ([True] * 65, ValueError, "Circuit exceeds maximum qubit count (130 > 128)"),
    ([True] * 30, ValueError, INSUFFICIENT_60),
    ("101", TypeError, "argument 'secret': Can't extract `str` to `Vec`"),
    ([1, 0], TypeError, "argument 'secret': 'int' object cannot be converted to 'PyBool'"),
    ({True}, TypeError, "argument 'secret': 'set' object cannot be converted to 'Sequence'"),
    (None, TypeError, "argument 'secret': 'NoneType' object cannot be converted to 'Sequence'"),
])
def test_simon_refusals(secret, error, message):
    with pytest.raises(error) as e:
        _tesvi.simon_hidden_xor(secret)
    assert type(e.value) is error and str(e.value) == message


# random_walk

@pytest.mark.parametrize("steps, probabilities, variance", [
    (1, [0.5, 0.0, 0.5], 1.0),
    (3, [1 / 8, 0.0, 3 / 8, 0.0, 3 / 8, 0.0, 1 / 8], 3.0),
    (4, [1 / 16, 0.0, 3 / 8, 0.0, 1 / 8, 0.0, 3 / 8, 0.0, 1 / 16], 5.0),
])
def test_random_walk_distributions(steps, probabilities, variance):
    r = _tesvi.random_walk(steps)
    assert list(r) == ["positions", "probabilities", "variance"]
    assert r["positions"] == list(range(-steps, steps + 1))
    assert r["probabilities"] == pytest.approx(probabilities, abs=1e-14)
    assert all(p >= q for p, q in zip(r["probabilities"], probabilities))
    assert r["variance"] == pytest.approx(variance, abs=1e-13)


def test_random_walk_zero_steps_and_symmetry():
    assert _tesvi.random_walk(0) == {"positions": [0], "probabilities": [1.0000000000000002],
                                     "variance": 0.0}
    r = _tesvi.random_walk(steps=41)
    p = r["probabilities"]
    assert p == p[::-1]
    assert all(x == 0.0 for x in p[1::2])
    assert r == _tesvi.random_walk(41)


@pytest.mark.parametrize("steps, error", [
    (-1, OverflowError), (None, TypeError), (2.0, TypeError), (2**64, OverflowError),
])
def test_random_walk_conversions(steps, error):
    with pytest.raises(error) as e:
        _tesvi.random_walk(steps)
    if error is TypeError:
        assert str(e.value).startswith("argument 'steps': ")


@pytest.mark.parametrize("steps", [2**40, 2**64 - 1])
def test_random_walk_too_long_for_memory_is_refused(steps):
    with pytest.raises(ValueError) as e:
        _tesvi.random_walk(steps)
    assert str(e.value) == (f"Simulation error: random walk of {steps} steps needs more memory "
                            "than can be allocated")
