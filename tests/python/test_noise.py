"""The Python class NoiseModel."""
import pytest

from _tesvi import Circuit, NoiseModel, Simulator


def text(single, two, measurement):
    return (f"NoiseModel(single_qubit_channels={single}, two_qubit_channels={two}, "
            f"measurement_channels={measurement})")


@pytest.mark.parametrize("make, counts", [
    (NoiseModel, (0, 0, 0)),
    (NoiseModel.ideal, (0, 0, 0)),
    (lambda: NoiseModel.uniform(0.0, 0.0, 0.0), (1, 1, 1)),
    (lambda: NoiseModel.uniform(single_qubit_error=2.0, two_qubit_error=-1.0, readout_error=0.5),
     (1, 1, 1)),
    (NoiseModel.ibm, (3, 3, 1)),
    (NoiseModel.ionq, (3, 3, 1)),
    (lambda: NoiseModel.from_hardware(100.0, 80.0, 50.0, 0.999, 0.99, 0.98), (3, 3, 1)),
    (lambda: NoiseModel.from_hardware(t1_us=1, t2_us=1, gate_time_ns=1, single_q_fidelity=1,
                                      two_q_fidelity=1, readout_fidelity=1), (3, 3, 1)),
])
def test_text_form_counts_channels(make, counts):
    model = make()
    assert type(model) is NoiseModel
    assert repr(model) == str(model) == text(*counts)


@pytest.mark.parametrize("call, message", [
    (lambda: NoiseModel.uniform("0.1", 0.1, 0.1), "argument 'single_qubit_error': must be real "
     "number, not str"),
    (lambda: NoiseModel.uniform(0.1, None, 0.1), "argument 'two_qubit_error': "),
    (lambda: NoiseModel.from_hardware(1, 1, 1, 1, 1, [1]), "argument 'readout_fidelity': "),
    (lambda: NoiseModel.uniform(0.1, 0.2), "NoiseModel.uniform() missing 1 required positional "
     "argument: 'readout_error'"),
    (lambda: NoiseModel(1), "NoiseModel.__new__() takes 0 positional arguments but 1 was given"),
    (lambda: NoiseModel.ideal(1), "NoiseModel.ideal() takes no arguments (1 given)"),
])
def test_argument_failures(call, message):
    with pytest.raises(TypeError) as e:
        call()
    assert str(e.value).startswith(message)


def test_int_too_large_for_a_float_is_overflow():
    with pytest.raises(OverflowError):
        NoiseModel.uniform(10**400, 0.0, 0.0)


class Rate:
    def __float__(self):
        return 0.5


def test_rates_accept_anything_convertible_to_float():
    assert str(NoiseModel.uniform(Rate(), 1, True)) == text(1, 1, 1)


def test_out_of_range_rates_are_clamped_by_the_library():
    # A readout rate above 1 flips every recorded bit; below 0 it flips none.
    c = Circuit(1)
    c.measure(0)
    flipped = Simulator(seed=1, noise=NoiseModel.uniform(-1.0, -1.0, 2.0)).run(c, 50)
    kept = Simulator(seed=1, noise=NoiseModel.uniform(-1.0, -1.0, -3.0)).run(c, 50)
    assert flipped.counts == {"1": 50} and kept.counts == {"0": 50}


def test_models_have_no_readable_channels():
    assert not [a for a in dir(NoiseModel()) if "channel" in a]
