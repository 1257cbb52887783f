"""The module functions parse_qasm and to_qasm."""
import pytest

import _tesvi
from _tesvi import Circuit, parse_qasm, to_qasm

HEADER = 'OPENQASM 2.0;\ninclude "qelib1.inc";\n'


def build_everything():
    c = Circuit(4)
    c.h(0); c.x(1); c.y(2); c.z(3); c.s(0); c.sdg(1); c.t(2); c.tdg(3); c.sx(0)
    c.rx(0, 0.5); c.ry(1, 1.25); c.rz(2, -0.75); c.u3(3, 0.1, 0.2, 0.3)
    c.cnot(0, 1); c.cy(1, 2); c.cz(2, 3); c.swap(0, 3); c.rzz(1, 2, 0.4); c.crk(0, 2, 3)
    c.toffoli(0, 1, 2); c.qft([0, 1, 2]); c.iqft([2, 1, 0])
    c.barrier([0, 2]); c.barrier([]); c.barrier_all()
    c.measure(0); c.measure_into(1, 3)
    return c


@pytest.mark.parametrize("make", [
    build_everything,
    lambda: Circuit(1),
    lambda: parse_qasm(HEADER + "qreg q[3];\ncreg c[3];\nh q[0];\ncx q[0],q[2];\n"),
])
def test_round_trip_keeps_counts(make):
    c = make()
    text = to_qasm(c)
    assert text == c.to_qasm() == to_qasm(circuit=c)
    back = parse_qasm(source=text)
    assert (back.num_qubits, back.num_classical_bits) == (c.num_qubits, c.num_classical_bits)
    assert to_qasm(back) == text or "//" in text  # comment lines vanish on reading


def test_parsed_circuit_runs():
    c = parse_qasm(HEADER + "qreg q[2];\ncreg c[2];\nh q[0];\ncx q[0],q[1];\n"
                   "measure q[0] -> c[0];\nmeasure q[1] -> c[1];\n")
    counts = _tesvi.Simulator(seed=5).run(c, 200).counts
    assert set(counts) <= {"00", "11"} and sum(counts.values()) == 200


@pytest.mark.parametrize("call, kind, start", [
    (lambda: parse_qasm(HEADER + "qreg q[2];\nh q[0]\ncx q[0] q[1];\n"), ValueError,
     "Parse error at line "),
    (lambda: parse_qasm(5), TypeError, "argument 'source': "),
    (lambda: to_qasm(5), TypeError, "argument 'circuit': "),
    (lambda: parse_qasm(), TypeError, "parse_qasm() missing 1 required positional argument: "
     "'source'"),
])
def test_failures(call, kind, start):
    with pytest.raises(kind) as info:
        call()
    assert str(info.value).startswith(start)


def test_undeclared_register_has_no_line():
    with pytest.raises(ValueError) as info:
        parse_qasm(HEADER + "qreg q[1];\nh r[0];\n")
    assert "line" not in str(info.value)


def test_function_identity():
    assert parse_qasm.__module__ == "_tesvi" and to_qasm.__module__ == "_tesvi"
    assert parse_qasm.__text_signature__ == "(source)"
    assert parse_qasm.__doc__ == "Parse `OpenQASM` 2.0 source into a circuit."
    assert to_qasm.__doc__ == "Serialize a circuit into `OpenQASM` 2.0 source."
