"""The Python class Circuit."""
import copy

import pytest

from _tesvi import Circuit, parse_qasm


@pytest.mark.parametrize("n, error, message", [
    (0, ValueError, "Circuit must have at least 1 qubit"),
    (129, ValueError, "Circuit exceeds maximum qubit count (129 > 128)"),
    (2**64 - 1, ValueError, f"Circuit exceeds maximum qubit count ({2**64 - 1} > 128)"),
    (-1, OverflowError, None),
    (2.0, TypeError, "argument 'num_qubits': "),
])
def test_constructor_failures(n, error, message):
    with pytest.raises(error) as e:
        Circuit(n)
    if message:
        assert str(e.value).startswith(message)


@pytest.mark.parametrize("n", [1, 3, 128])
def test_new_circuit(n):
    c = Circuit(num_qubits=n)
    assert (c.num_qubits, c.num_classical_bits, c.gate_count, c.depth, len(c)) == (n, 0, 0, 0, 0)
    assert not c
    assert repr(c) == f"Circuit({n} qubits, 0 gates, depth 0)"


# Every builder by keyword, with the gates it appends and a call that fails.
BUILDERS = [
    ("h", dict(qubit=2), 1, dict(qubit=3), "Qubit index 3 out of range (circuit has 3 qubits)"),
    ("x", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("y", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("z", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("s", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("sdg", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("t", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("tdg", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("sx", dict(qubit=0), 1, dict(qubit=9), "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("rx", dict(qubit=0, theta=0.5), 1, dict(qubit=9, theta=0.5),
     "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("ry", dict(qubit=0, theta=1), 1, dict(qubit=9, theta=1),
     "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("rz", dict(qubit=0, theta=-2.5), 1, dict(qubit=9, theta=0.0),
     "Qubit index 9 out of range (circuit has 3 qubits)"),
    ("u3", {"qubit": 1, "theta": 0.1, "phi": 0.2, "lambda": 0.3}, 1,
     {"qubit": 3, "theta": 0.1, "phi": 0.2, "lambda": 0.3},
     "Qubit index 3 out of range (circuit has 3 qubits)"),
    ("cnot", dict(control=0, target=1), 1, dict(control=1, target=1),
     "Two-qubit gate requires different qubits, got 1 and 1"),
    ("cx", dict(control=0, target=1), 1, dict(control=0, target=3),
     "Qubit index 3 out of range (circuit has 3 qubits)"),
    ("cy", dict(control=0, target=1), 1, dict(control=2, target=2),
     "Two-qubit gate requires different qubits, got 2 and 2"),
    ("cz", dict(control=0, target=1), 1, dict(control=5, target=1),
     "Qubit index 5 out of range (circuit has 3 qubits)"),
    ("swap", dict(q0=0, q1=2), 1, dict(q0=0, q1=0),
     "Two-qubit gate requires different qubits, got 0 and 0"),
    ("rzz", dict(q0=0, q1=2, theta=0.25), 1, dict(q0=0, q1=4, theta=0.25),
     "Qubit index 4 out of range (circuit has 3 qubits)"),
    ("toffoli", dict(control_0=0, control_1=1, target=2), 15,
     dict(control_0=0, control_1=1, target=1),
     "Two-qubit gate requires different qubits, got 1 and 1"),
    ("crk", dict(control=0, target=1, k=3), 1, dict(control=0, target=0, k=3),
     "Two-qubit gate requires different qubits, got 0 and 0"),
    ("qft", dict(qubits=[0, 1, 2]), 7, dict(qubits=[0, 0]),
     "Two-qubit gate requires different qubits, got 0 and 0"),
    ("iqft", dict(qubits=(2, 1)), 4, dict(qubits=[1, 3]),
     "Qubit index 3 out of range (circuit has 3 qubits)"),
]


@pytest.mark.parametrize("name, good, added, bad, message", BUILDERS, ids=[b[0] for b in BUILDERS])
def test_builders(name, good, added, bad, message):
    c = Circuit(3)
    c.x(0)
    before = c.to_qasm()
    assert getattr(c, name)(**good) is None
    assert c.gate_count == len(c) == 1 + added
    middle = c.to_qasm()
    with pytest.raises(ValueError) as e:
        getattr(c, name)(**bad)
    assert str(e.value) == message
    assert c.to_qasm() == middle and middle != before


def test_cx_is_cnot():
    a, b = Circuit(2), Circuit(2)
    a.cx(0, 1)
    b.cnot(0, 1)
    assert a.to_qasm() == b.to_qasm() and a.draw() == b.draw()


def test_qft_edge_lists():
    c = Circuit(4)
    c.qft([])
    assert c.gate_count == 0
    c.qft([3])
    assert c.to_qasm().endswith("h q[3];")


def test_measure_returns_successive_bits():
    c = Circuit(2)
    assert [c.measure(0), c.measure(1), c.measure(qubit=0)] == [0, 1, 2]
    assert c.num_classical_bits == 3
    with pytest.raises(ValueError, match=r"^Qubit index 2 out of range \(circuit has 2 qubits\)$"):
        c.measure(2)
    assert c.num_classical_bits == 3


def test_measure_into_raises_the_register():
    c = Circuit(2)
    assert c.measure_into(0, classical_bit=5) is None
    assert c.num_classical_bits == 6
    c.measure_into(1, 2)
    assert c.num_classical_bits == 6


OVER_LIMIT = r"^Simulation error: classical bit 65536 out of range \(at most 65536 classical bits\)$"


def test_repeated_measure_stops_at_the_classical_bit_limit():
    c = Circuit(1)
    for _ in range(65536):
        c.measure(0)
    for _ in range(2):
        with pytest.raises(ValueError, match=OVER_LIMIT):
            c.measure(0)
    assert (c.num_classical_bits, c.stats()["measurements"]) == (65536, 65536)
    back = parse_qasm(c.to_qasm())
    assert (back.num_classical_bits, back.stats()["measurements"]) == (65536, 65536)


@pytest.mark.parametrize("call", [
    lambda c, other: c.measure_all(),
    lambda c, other: c.append(other),
    lambda c, other: c.compose(other, [1, 0]),
])
def test_refused_allocations_leave_the_circuit_unchanged(call):
    c = Circuit(2)
    c.measure_into(0, 65534)
    other = Circuit(2)
    other.measure_all()
    before = c.to_qasm()
    with pytest.raises(ValueError, match=OVER_LIMIT):
        call(c, other)
    assert (c.to_qasm(), c.num_classical_bits) == (before, 65535)


def test_measurements_count_instructions_not_bits():
    c = Circuit(1)
    c.measure_into(0, 0)
    c.measure_into(0, 0)
    assert c.num_classical_bits == 1
    assert c.stats()["measurements"] == 2


def test_measure_all_and_barrier_all():
    c = Circuit(2)
    assert c.measure_all() is None and c.barrier_all() is None
    assert c.stats() == {"qubits": 2, "gates": 0, "depth": 0, "measurements": 2}
    assert sorted(c.stats()) == ["depth", "gates", "measurements", "qubits"]


def test_barrier_checks_its_list():
    c = Circuit(2)
    with pytest.raises(ValueError, match="got 1 and 1"):
        c.barrier([1, 1])
    with pytest.raises(ValueError, match="Qubit index 2 out of range"):
        c.barrier([0, 2])
    assert c.to_qasm() == Circuit(2).to_qasm()


@pytest.mark.parametrize("gates, depth", [
    (lambda c: (c.h(0), c.h(1), c.cnot(0, 1)), 2),
    (lambda c: (c.h(0), c.barrier_all(), c.h(1)), 1),
    (lambda c: (c.measure(0), c.measure(1)), 0),
])
def test_depth(gates, depth):
    c = Circuit(2)
    gates(c)
    assert c.depth == depth
    assert c.stats()["depth"] == depth
    assert repr(c) == f"Circuit(2 qubits, {c.gate_count} gates, depth {depth})"


@pytest.mark.parametrize("duplicate", [
    lambda c: c.copy(), copy.copy, copy.deepcopy, lambda c: c.__deepcopy__(_memo=None),
], ids=["copy", "copy.copy", "copy.deepcopy", "__deepcopy__"])
def test_copies_are_independent(duplicate):
    c = Circuit(2)
    c.h(0)
    c.measure(0)
    d = duplicate(c)
    assert type(d) is Circuit and d is not c
    assert d.to_qasm() == c.to_qasm() and d.num_classical_bits == 1
    d.x(1)
    d.measure(1)
    assert (c.gate_count, c.num_classical_bits) == (1, 1)


def test_append():
    c, other = Circuit(2), Circuit(2)
    other.h(1)
    other.measure(1)
    c.measure(0)
    assert c.append(other=other) is None
    assert (c.gate_count, c.num_classical_bits) == (1, 2)
    assert other.gate_count == 1  # read, not changed
    with pytest.raises(ValueError) as e:
        Circuit(3).append(Circuit(2))
    assert str(e.value) == "Circuit qubit count mismatch (3 != 2)"


@pytest.mark.parametrize("method, args", [("append", ()), ("compose", ([0, 1],))])
def test_circuit_into_itself_is_refused(method, args):
    c = Circuit(2)
    c.h(0)
    with pytest.raises(RuntimeError) as e:
        getattr(c, method)(c, *args)
    assert str(e.value) == "Already mutably borrowed"
    assert c.gate_count == 1
    c.h(1)  # the borrow was released
    assert c.gate_count == 2


@pytest.mark.parametrize("mapping, message", [
    ([0, 1], "Qubit mapping length mismatch (2 != 3)"),
    ([0, 5, 1], "Qubit index 5 out of range (circuit has 4 qubits)"),
    ([1, 1, 0], "Two-qubit gate requires different qubits, got 1 and 1"),
])
def test_compose_failures(mapping, message):
    c, other = Circuit(4), Circuit(3)
    other.h(0)
    with pytest.raises(ValueError) as e:
        c.compose(other, mapping)
    assert str(e.value) == message
    assert c.gate_count == 0


class Lazy:
    """A sequence that makes its entries on demand and records how many were asked for."""

    def __init__(self, entry, length=None):
        self.entry, self.length, self.asked = entry, length, 0

    def __len__(self):
        if self.length is None:
            raise TypeError("no length")
        return self.length

    def __getitem__(self, i):
        if self.length is not None and i >= self.length:
            raise IndexError(i)
        self.asked += 1
        return self.entry(i)


OUT_OF_RANGE_2 = "Qubit index 2 out of range (circuit has 2 qubits)"


# A list longer than it can validly be is read no further than the entry that
# makes it too long: a lazy one gives the error its real list would give.
@pytest.mark.parametrize("method", ["qft", "iqft", "barrier"])
@pytest.mark.parametrize("make, message", [
    (lambda: range(10**12), OUT_OF_RANGE_2),
    (lambda: range(10**30), OUT_OF_RANGE_2),
    (lambda: list(range(5)), OUT_OF_RANGE_2),
    (lambda: Lazy(lambda i: i, 10**15), OUT_OF_RANGE_2),
    (lambda: Lazy(lambda i: i), OUT_OF_RANGE_2),
    (lambda: Lazy(lambda i: min(i, 1), 10**15),
     "Two-qubit gate requires different qubits, got 1 and 1"),
    (lambda: [1, 0, 1, 5], "Two-qubit gate requires different qubits, got 1 and 1"),
])
def test_long_qubit_lists_are_cut_at_the_register(method, make, message):
    c, qubits = Circuit(2), make()
    with pytest.raises(ValueError) as e:
        getattr(c, method)(qubits)
    assert str(e.value) == message
    assert c.gate_count == 0
    assert getattr(qubits, "asked", 0) <= 3


@pytest.mark.parametrize("make, length", [
    (lambda: range(10**12), 10**12),
    (lambda: list(range(5)), 5),
    (lambda: Lazy(lambda i: i, 10**15), 10**15),
    (lambda: Lazy(lambda i: i, 5), 5),
])
def test_long_mappings_fail_on_their_length(make, length):
    c, other, mapping = Circuit(4), Circuit(3), make()
    with pytest.raises(ValueError) as e:
        c.compose(other, mapping)
    assert str(e.value) == f"Qubit mapping length mismatch ({length} != 3)"
    assert c.gate_count == 0
    assert getattr(mapping, "asked", 0) <= 4


def test_long_lists_still_convert_their_leading_entries():
    with pytest.raises(TypeError, match="^argument 'qubits': "):
        Circuit(2).qft([0, 1.5, 2, 3])
    with pytest.raises(OverflowError):
        Circuit(4).compose(Circuit(3), Lazy(lambda i: -1, 10**15))


def test_compose_maps_qubits_and_allocates_fresh_bits():
    other = Circuit(2)
    other.h(0)
    other.cnot(0, 1)
    other.measure(1)
    c = Circuit(3)
    c.measure(2)
    c.compose(other, qubit_mapping=(2, 0))
    assert c.num_classical_bits == 2
    assert c.to_qasm().splitlines()[-3:] == ["h q[2];", "cx q[2], q[0];",
                                              "measure q[0] -> c[1];"]


def test_text_forms():
    c = Circuit(2)
    c.h(0)
    c.cnot(0, 1)
    c.measure_all()
    assert str(c) == c.draw() and "[M]" in c.draw()
    assert c.to_qasm().startswith("OPENQASM 2.0;")
    html = c._repr_html_()
    escaped = c.draw().replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    assert html == f"<div><strong>Circuit</strong><pre>{escaped}</pre></div>"
    assert bool(c) and len(c) == 2


@pytest.mark.parametrize("name", ["copy", "stats", "measure_all", "barrier_all", "draw",
                                  "to_qasm", "__copy__", "_repr_html_"])
def test_no_argument_members_refuse_arguments(name):
    c = Circuit(1)
    with pytest.raises(TypeError):
        getattr(c, name)(1)
    assert c.num_classical_bits == 0 and c.to_qasm() == Circuit(1).to_qasm()


@pytest.mark.parametrize("attr", ["num_qubits", "num_classical_bits", "gate_count", "depth"])
def test_getters_are_read_only(attr):
    with pytest.raises(AttributeError):
        setattr(Circuit(1), attr, 5)
