"""The module frame: registration, class objects, argument parsing and the
conversion rules shared by every member."""
import gc
import importlib
import subprocess
import sys
import weakref
from pathlib import Path

import pytest

import _tesvi
from _tesvi import Circuit, NoiseModel, QuantumResult, Simulator

CLASSES = [Circuit, Simulator, QuantumResult, NoiseModel]

FULL_ALL = [
    "Circuit", "Simulator", "QuantumResult", "NoiseModel", "parse_qasm", "to_qasm",
    "phase_estimation", "shor_factor", "vqe_hydrogen", "qaoa_maxcut", "simon_hidden_xor",
    "random_walk", "crypto", "crypto", "algorithms", "__version__",
]


def test_all_lists_every_addition_in_registration_order():
    assert _tesvi.__all__ == FULL_ALL
    assert _tesvi.algorithms.__all__ == FULL_ALL[6:12]
    assert _tesvi.__all__.count("crypto") == 2
    assert _tesvi.__version__ == (Path(__file__).parents[2] / "VERSION").read_text().strip()
    assert _tesvi.__doc__ == ""


def test_repeated_initialisation_returns_the_first_module():
    first = sys.modules.pop("_tesvi")
    try:
        again = importlib.import_module("_tesvi")
        assert again is first
        assert again.Circuit is Circuit
        assert again.__all__ == first.__all__
    finally:
        sys.modules["_tesvi"] = first


def test_second_interpreter_is_refused():
    pytest.importorskip("_xxsubinterpreters")
    code = (
        "import _tesvi, _xxsubinterpreters as i\n"
        "sub = i.create()\n"
        "try:\n"
        "    i.run_string(sub, 'import _tesvi')\n"
        "except i.RunFailedError as e:\n"
        "    print(e)\n"
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert "ImportError" in out.stdout and "subinterpreters" in out.stdout


def test_submodules_are_attributes_only():
    assert _tesvi.crypto.__name__ == "crypto"
    assert _tesvi.algorithms.__name__ == "algorithms"
    assert "crypto" not in sys.modules and "_tesvi.crypto" not in sys.modules
    with pytest.raises(ModuleNotFoundError):
        importlib.import_module("_tesvi.crypto")


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_class_objects(cls):
    assert cls.__module__ == "tesvi"
    assert cls.__qualname__ == cls.__name__
    assert cls.__bases__ == (object,)
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@pytest.mark.parametrize("make", [
    lambda: Circuit(1), lambda: Simulator(), lambda: NoiseModel(),
    lambda: Simulator(seed=1).run(Circuit(1), 1),
], ids=["Circuit", "Simulator", "NoiseModel", "QuantumResult"])
def test_instances_have_no_dict_weakref_or_own_equality(make):
    a, b = make(), make()
    assert a != b and a == a
    assert hash(a) != hash(b)
    with pytest.raises(TypeError):
        weakref.ref(a)
    with pytest.raises(AttributeError):
        a.undeclared = 1
    assert not hasattr(a, "__dict__")
    assert not gc.is_tracked(a)


def test_result_has_no_constructor():
    with pytest.raises(TypeError) as e:
        QuantumResult()
    assert str(e.value) == "No constructor defined for QuantumResult"


@pytest.mark.parametrize("obj, signature, doc", [
    (Circuit, "(num_qubits)", "Quantum circuit composed of gates, barriers, and measurements."),
    (Simulator, "(seed=None, noise=None, parallel=True)",
     "State-vector quantum simulator with optional Monte Carlo noise."),
    (QuantumResult, None, "Measurement result collected from repeated circuit execution."),
    (NoiseModel, "()", "Noise model for realistic hardware-aware simulation."),
    (Circuit.h, "($self, qubit)", "Apply a Hadamard gate."),
    (Circuit.cx, "($self, control, target)", "Alias for `cnot`."),
    (Circuit.copy, "($self)", "Return a shallow copy of the circuit."),
    (Circuit.__copy__, "($self)", None),
    (Circuit.__deepcopy__, "($self, _memo)", None),
    (Circuit._repr_html_, "($self)", None),
    (Simulator.run, "($self, circuit, shots=1000)", "Run a circuit for `shots` executions."),
    (QuantumResult._repr_html_, "($self)", None),
    (NoiseModel.ideal, "()", "Return a noiseless profile."),
    (NoiseModel.uniform, "(single_qubit_error, two_qubit_error, readout_error)",
     "Create a uniform depolarizing and readout profile."),
])
def test_text_signatures_and_docstrings(obj, signature, doc):
    assert obj.__text_signature__ == signature
    assert obj.__doc__ == doc


def test_getter_docstrings():
    assert Circuit.depth.__doc__ == "Circuit depth measured in sequential gate layers."
    assert QuantumResult.counts.__doc__ == "Mapping from measured basis state to observation count."


c2 = Circuit(2)


@pytest.mark.parametrize("call, message", [
    (lambda: c2.h(), "Circuit.h() missing 1 required positional argument: 'qubit'"),
    (lambda: c2.cnot(), "Circuit.cnot() missing 2 required positional arguments: 'control' and "
     "'target'"),
    (lambda: c2.u3(0), "Circuit.u3() missing 3 required positional arguments: 'theta', 'phi', "
     "and 'lambda'"),
    (lambda: c2.h(0, 1), "Circuit.h() takes 1 positional arguments but 2 were given"),
    (lambda: c2.h(qbit=0), "Circuit.h() got an unexpected keyword argument 'qbit'"),
    (lambda: c2.cnot(0, control=1), "Circuit.cnot() got multiple values for argument 'control'"),
    (lambda: Circuit(), "Circuit.__new__() missing 1 required positional argument: 'num_qubits'"),
    (lambda: NoiseModel(1), "NoiseModel.__new__() takes 0 positional arguments but 1 was given"),
    (lambda: NoiseModel(x=1), "NoiseModel.__new__() got an unexpected keyword argument 'x'"),
    (lambda: Simulator(1, None, True, 4),
     "Simulator.__new__() takes from 0 to 3 positional arguments but 4 were given"),
    (lambda: Simulator().run(), "Simulator.run() missing 1 required positional argument: "
     "'circuit'"),
    (lambda: NoiseModel.uniform(0.1, 0.2), "NoiseModel.uniform() missing 1 required positional "
     "argument: 'readout_error'"),
])
def test_parsing_failures(call, message):
    with pytest.raises(TypeError) as e:
        call()
    assert str(e.value) == message


def test_positional_count_is_checked_before_keywords():
    with pytest.raises(TypeError, match="takes 1 positional arguments but 2 were given"):
        c2.h(0, 1, bogus=2)


def test_keywords_fill_parameters_in_any_order():
    c = Circuit(3)
    c.u3(**{"lambda": 0.3, "phi": 0.2, "theta": 0.1, "qubit": 2})
    c.cnot(target=0, control=1)
    assert c.gate_count == 2
    assert "U3(0.100,0.200,0.300)" in c.draw()


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class NumpyBool:
    """Stands in for numpy's boolean scalar, which the flag conversion knows by name."""

    def __init__(self, value):
        self.value = value

    def __bool__(self):
        return self.value


NumpyBool.__module__ = "numpy"
NumpyBool.__name__ = "bool_"


class Text(str):
    pass


@pytest.mark.parametrize("value, applied_to", [
    (True, 1), (False, 0), (Index(1), 1),
], ids=["True", "False", "__index__"])
def test_unsigned_accepts_ints_bools_and_index(value, applied_to):
    c = Circuit(2)
    c.h(value)
    assert c.to_qasm().endswith(f"h q[{applied_to}];")


@pytest.mark.parametrize("value, error, message", [
    (-1, OverflowError, None),
    (2**64, OverflowError, None),
    (1.0, TypeError, "argument 'qubit': 'float' object cannot be interpreted as an integer"),
    ("1", TypeError, "argument 'qubit': "),
    (None, TypeError, "argument 'qubit': "),
])
def test_unsigned_failures(value, error, message):
    c = Circuit(2)
    with pytest.raises(error) as e:
        c.h(value)
    assert type(e.value) is error
    if message is None:
        assert "qubit" not in str(e.value)
    else:
        assert str(e.value).startswith(message)
    assert c.gate_count == 0


@pytest.mark.parametrize("shots", [-1, 2**32, 2**63 - 1])
def test_shots_out_of_range(shots):
    with pytest.raises(OverflowError) as e:
        Simulator().run(Circuit(1), shots)
    assert str(e.value) == "out of range integral type conversion attempted"


def test_shots_beyond_signed_64_bits_is_the_interpreters_overflow():
    with pytest.raises(OverflowError) as e:
        Simulator().run(Circuit(1), 2**64)
    assert str(e.value) != "out of range integral type conversion attempted"


@pytest.mark.parametrize("value, ok", [
    (True, True), (False, True), (NumpyBool(True), True), (NumpyBool(False), True),
    (0, False), (1, False), (None, False), ("True", False),
])
def test_flags_are_strict(value, ok):
    if ok:
        Simulator(parallel=value)
        return
    with pytest.raises(TypeError) as e:
        Simulator(parallel=value)
    assert str(e.value) == (f"argument 'parallel': '{type(value).__qualname__}' object cannot be "
                            "converted to 'PyBool'")


@pytest.mark.parametrize("value, ok", [
    ("00", True), (Text("00"), True), (b"00", False), (0, False),
])
def test_text_parameters(value, ok):
    r = Simulator(seed=1).run(Circuit(2), 10)
    if ok:
        assert r.probability(value) == 1.0
        return
    with pytest.raises(TypeError) as e:
        r.probability(value)
    assert str(e.value) == (f"argument 'state': '{type(value).__qualname__}' object cannot be "
                            "converted to 'PyString'")


def test_lone_surrogates_raise_unicode_encode_error_unchanged():
    r = Simulator(seed=1).run(Circuit(1), 10)
    with pytest.raises(UnicodeEncodeError):
        r.probability("\ud800")


@pytest.mark.parametrize("qubits", [[0, 1], (0, 1), range(2), b"\x00\x01", [True, Index(0)]],
                         ids=["list", "tuple", "range", "bytes", "mixed"])
def test_sequences_accepted(qubits):
    c = Circuit(2)
    c.barrier(qubits)
    assert "barrier" in c.to_qasm()


@pytest.mark.parametrize("qubits, message", [
    ("01", "argument 'qubits': Can't extract `str` to `Vec`"),
    (Text("01"), "argument 'qubits': Can't extract `str` to `Vec`"),
    ({0, 1}, "argument 'qubits': 'set' object cannot be converted to 'Sequence'"),
    ({0: 1}, "argument 'qubits': 'dict' object cannot be converted to 'Sequence'"),
    ((q for q in [0]), "argument 'qubits': 'generator' object cannot be converted to 'Sequence'"),
    (3, "argument 'qubits': 'int' object cannot be converted to 'Sequence'"),
    ([0, 1.5], "argument 'qubits': 'float' object cannot be interpreted as an integer"),
])
def test_sequence_failures(qubits, message):
    c = Circuit(2)
    with pytest.raises(TypeError) as e:
        c.qft(qubits)
    assert str(e.value) == message
    assert c.gate_count == 0


def test_negative_element_is_overflow_unchanged():
    with pytest.raises(OverflowError) as e:
        Circuit(2).qft([0, -1])
    assert "qubits" not in str(e.value)


@pytest.mark.parametrize("value, target", [
    (1, "Circuit"), (NoiseModel(), "Circuit"),
])
def test_instance_parameters(value, target):
    with pytest.raises(TypeError) as e:
        Circuit(1).append(value)
    assert str(e.value) == (f"argument 'other': '{type(value).__qualname__}' object cannot be "
                            f"converted to '{target}'")


def test_only_exact_type_errors_are_wrapped_and_the_cause_is_kept():
    class Raises:
        def __init__(self, exc):
            self.exc = exc

        def __index__(self):
            raise self.exc

    root = KeyError("root")
    chained = TypeError("bad index")
    chained.__cause__ = root
    with pytest.raises(TypeError) as e:
        Circuit(1).h(Raises(chained))
    assert str(e.value) == "argument 'qubit': bad index"
    assert e.value is not chained and e.value.__cause__ is root

    class Special(TypeError):
        pass

    special = Special("kept")
    with pytest.raises(Special) as e:
        Circuit(1).h(Raises(special))
    assert e.value is special

    with pytest.raises(ZeroDivisionError):
        Circuit(1).h(Raises(ZeroDivisionError()))


def test_library_errors_are_value_errors_with_one_argument():
    with pytest.raises(ValueError) as e:
        Circuit(3).h(3)
    assert e.value.args == ("Qubit index 3 out of range (circuit has 3 qubits)",)
    assert type(e.value) is ValueError


def test_receiver_is_borrowed_before_arguments_are_converted():
    c = Circuit(2)
    seen = []

    class Reenter:
        def __init__(self, action, value=0):
            self.action, self.value = action, value

        def __index__(self):
            try:
                self.action()
            except RuntimeError as e:
                seen.append(str(e))
            return self.value

    c.h(Reenter(lambda: c.x(0)))  # exclusive while exclusive
    c.h(Reenter(lambda: c.gate_count))  # shared while exclusive
    assert seen == ["Already borrowed", "Already mutably borrowed"]
    assert c.gate_count == 2  # only the two outer calls

    # shared while shared is allowed
    sim = Simulator(seed=3)
    r = sim.run(c, Reenter(lambda: seen.append(c.gate_count), 5))
    assert seen[-1] == 2 and len(seen) == 3
    assert r.total_shots == 5
