"""Hostile values thrown at every public member: each call either succeeds or
raises the conversion's or the library's own exception with its own text, the
process survives, and a failed call leaves the circuit as it was."""
import math
import operator

import pytest

from _tesvi import Circuit, NoiseModel, QuantumResult, Simulator


class Text(str):
    pass


class BadSeq(list):
    def __iter__(self):
        raise ValueError("boom")


class IndexRaises:
    def __index__(self):
        raise ValueError("boom")


class Reenters:
    """Changes the circuit under test from inside the conversion."""

    def __init__(self, subject):
        self.subject = subject

    def __index__(self):
        self.subject.h(0)
        return 0


HOSTILE = {
    "None": lambda s: None,
    "float": lambda s: 1.5,
    "nan": lambda s: math.nan,
    "minus_one": lambda s: -1,
    "two_64": lambda s: 2**64,
    "huge_list": lambda s: [0] * 1_000_000,
    "str_subclass": lambda s: Text("0"),
    "index_raises": lambda s: IndexRaises(),
    "bad_sequence": lambda s: BadSeq([0]),
    "reenters": lambda s: Reenters(s),
    "list_reenters": lambda s: [Reenters(s)],
}

QUALNAME = {"None": "NoneType", "float": "float", "nan": "float", "minus_one": "int",
            "two_64": "int", "huge_list": "list", "str_subclass": "Text",
            "index_raises": "IndexRaises", "bad_sequence": "BadSeq", "reenters": "Reenters",
            "list_reenters": "list"}

OK = "ok"  # success, or a ValueError of the library's own
ANY = "any text"  # the library's own message
BORROWED = (RuntimeError, "Already borrowed")


def expected(kind, hostile, param, borrows_subject):
    wrap = f"argument '{param}': "
    q = QUALNAME[hostile]
    reentry = BORROWED if borrows_subject else OK
    if kind == "any":
        return OK
    if kind in ("u64", "u32", "seed"):
        if hostile == "None" and kind == "seed":
            return OK
        return {
            "minus_one": (OverflowError, "out of range integral type conversion attempted"
                          if kind == "u32" else None),
            "two_64": (OverflowError, None),
            "index_raises": (ValueError, "boom"),
            "reenters": reentry,
        }.get(hostile, (TypeError, wrap + f"'{q}' object cannot be interpreted as an integer"))
    if kind == "f64":
        if hostile in ("float", "nan", "minus_one", "two_64"):
            return OK
        return {
            "index_raises": (ValueError, "boom"),
            "reenters": reentry,
        }.get(hostile, (TypeError, wrap + f"must be real number, not {q}"))
    if kind == "flag":
        return (TypeError, wrap + f"'{q}' object cannot be converted to 'PyBool'")
    if kind == "text":
        if hostile == "str_subclass":
            return OK
        return (TypeError, wrap + f"'{q}' object cannot be converted to 'PyString'")
    if kind == "list":
        return {
            "huge_list": (ValueError, ANY),
            "str_subclass": (TypeError, wrap + "Can't extract `str` to `Vec`"),
            "bad_sequence": (ValueError, "boom"),
            "list_reenters": reentry,
        }.get(hostile, (TypeError, wrap + f"'{q}' object cannot be converted to 'Sequence'"))
    if kind == "noise":
        if hostile == "None":
            return OK
        return (TypeError, wrap + f"'{q}' object cannot be converted to 'NoiseModel'")
    assert kind == "circuit"
    return (TypeError, wrap + f"'{q}' object cannot be converted to 'Circuit'")


def circuit3():
    c = Circuit(3)
    c.h(1)
    c.measure(2)
    return c


def measured_result():
    c = Circuit(2)
    c.measure_all()
    return Simulator(seed=1).run(c, 10)


Q, ANGLE = ("u64", 0), ("f64", 0.5)
ONE_QUBIT = ["h", "x", "y", "z", "s", "sdg", "t", "tdg", "sx"]

# (member, receiver, parameters as (name, kind, good value)); the receiver
# says whose member it is and which circuit a re-entrant conversion changes.
MEMBERS = (
    [("Circuit", "ctor", [("num_qubits", "u64", 2)])]
    + [(g, "circuit", [("qubit",) + Q]) for g in ONE_QUBIT + ["measure"]]
    + [(g, "circuit", [("qubit",) + Q, ("theta",) + ANGLE]) for g in ["rx", "ry", "rz"]]
    + [("u3", "circuit", [("qubit",) + Q, ("theta",) + ANGLE, ("phi",) + ANGLE,
                          ("lambda",) + ANGLE])]
    + [(g, "circuit", [("control", "u64", 0), ("target", "u64", 1)])
       for g in ["cnot", "cx", "cy", "cz"]]
    + [("swap", "circuit", [("q0", "u64", 0), ("q1", "u64", 1)]),
       ("rzz", "circuit", [("q0", "u64", 0), ("q1", "u64", 1), ("theta",) + ANGLE]),
       ("toffoli", "circuit", [("control_0", "u64", 0), ("control_1", "u64", 1),
                               ("target", "u64", 2)]),
       ("crk", "circuit", [("control", "u64", 0), ("target", "u64", 1), ("k", "u64", 2)]),
       ("measure_into", "circuit", [("qubit",) + Q, ("classical_bit", "u64", 4)]),
       ("append", "circuit", [("other", "circuit", "fresh3")]),
       ("compose", "circuit", [("other", "circuit", "fresh2"),
                               ("qubit_mapping", "list", [0, 2])]),
       ("__deepcopy__", "circuit", [("_memo", "any", None)])]
    + [(g, "circuit", [("qubits", "list", [0, 1])]) for g in ["qft", "iqft", "barrier"]]
    + [("Simulator", "ctor", [("seed", "seed", 1), ("noise", "noise", None),
                              ("parallel", "flag", True)]),
       ("run", "simulator", [("circuit", "circuit", "subject"), ("shots", "u32", 10)]),
       ("statevector", "simulator", [("circuit", "circuit", "subject")]),
       ("probabilities", "simulator", [("circuit", "circuit", "subject")]),
       ("probability", "result", [("state", "text", "00")]),
       ("expectation_z", "result", [("qubit",) + Q]),
       ("__getitem__", "result", [("state", "text", "00")]),
       ("uniform", "noise", [(p, "f64", 0.1) for p in
                             ["single_qubit_error", "two_qubit_error", "readout_error"]]),
       ("from_hardware", "noise", [(p, "f64", 1.0) for p in
                                   ["t1_us", "t2_us", "gate_time_ns", "single_q_fidelity",
                                    "two_q_fidelity", "readout_fidelity"]])]
)

CASES = [(m, i, h) for m in MEMBERS for i in range(len(m[2])) for h in HOSTILE]


def snapshot(c):
    return c.to_qasm(), c.num_classical_bits, c.gate_count, c.draw()


def bind(name, receiver, subject):
    """The callable under test and whether the call borrows the subject circuit."""
    if receiver == "ctor":
        return {"Circuit": Circuit, "Simulator": Simulator}[name], False
    if receiver == "circuit":
        return getattr(subject, name), True
    if receiver == "simulator":
        return getattr(Simulator(seed=1), name), True
    if receiver == "result":
        r = measured_result()
        return (lambda key: operator.getitem(r, key)) if name == "__getitem__" else \
            getattr(r, name), False
    return getattr(NoiseModel, name), False


@pytest.mark.parametrize("member, position, hostile", CASES,
                         ids=[f"{m[0]}-{m[2][i][0]}-{h}" for m, i, h in CASES])
def test_hostile_argument(member, position, hostile):
    name, receiver, params = member
    subject = circuit3()
    fn, borrows = bind(name, receiver, subject)
    goods = {"subject": subject, "fresh3": Circuit(3), "fresh2": Circuit(2)}
    args = [goods.get(good, good) if isinstance(good, str) else good for _, _, good in params]
    param, kind, _ = params[position]
    args[position] = HOSTILE[hostile](subject)
    want = expected(kind, hostile, param, borrows)
    before = snapshot(subject)
    try:
        fn(*args)
    except Exception as e:  # noqa: BLE001 - the table says which are right
        assert want != OK or type(e) is ValueError, f"unexpected {type(e).__name__}: {e}"
        if want != OK:
            error, message = want
            assert type(e) is error, f"{type(e).__name__}: {e}"
            if message is None:
                assert f"'{param}'" not in str(e)
            elif message is ANY:
                pass
            elif message.endswith(": ") or message == "boom":
                assert str(e).startswith(message)
            else:
                assert str(e) == message
        if borrows:
            assert snapshot(subject) == before
        if isinstance(e, TypeError) and str(e).startswith("argument"):
            assert str(e).startswith(f"argument '{param}': ")
    else:
        assert want == OK, f"accepted, expected {want}"
    # Whatever happened, the subject is free again.
    subject.x(0)


@pytest.mark.parametrize("member", [
    "copy", "stats", "measure_all", "barrier_all", "draw", "to_qasm", "__copy__", "_repr_html_",
])
@pytest.mark.parametrize("hostile", list(HOSTILE))
def test_no_argument_members_refuse_any_argument(member, hostile):
    c = circuit3()
    before = snapshot(c)
    with pytest.raises(TypeError):
        getattr(c, member)(HOSTILE[hostile](c))
    assert snapshot(c) == before


@pytest.mark.parametrize("call", [
    lambda r: r.most_probable(None), lambda r: r.histogram_data(1), lambda r: r.histogram([]),
    lambda r: r._repr_html_(r), lambda r: NoiseModel.ideal(0), lambda r: NoiseModel.ibm(None),
    lambda r: NoiseModel.ionq(x=1),
])
def test_no_argument_result_and_noise_members(call):
    with pytest.raises(TypeError):
        call(measured_result())


def test_builder_after_a_reentrant_failure_still_works():
    c = circuit3()
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        c.cnot(Reenters(c), 1)
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        Simulator(seed=1).run(c, Reenters(c))
    c.cnot(0, 1)
    assert c.gate_count == 2


def test_results_and_noise_models_survive_reentrant_use():
    r = measured_result()
    calls = []

    class Reads:
        def __index__(self):
            calls.append((len(r), r["00"], str(r), NoiseModel.ideal()))
            return 0

    assert r.expectation_z(Reads()) == 1.0
    assert calls and calls[0][:2] == (1, 10)
    assert type(QuantumResult) is type and len(r) == 1
