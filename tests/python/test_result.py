"""The Python class QuantumResult."""
import io
import sys

import pytest

from _tesvi import Circuit, NoiseModel, Simulator


def run(prep, n=2, shots=1000, seed=11, noise=None):
    c = Circuit(n)
    prep(c)
    return Simulator(seed=seed, noise=noise).run(c, shots)


@pytest.fixture
def bell():
    return run(lambda c: (c.h(0), c.cnot(0, 1), c.measure_all()))


def test_counts_and_totals(bell):
    counts = bell.counts
    assert set(counts) == {"00", "11"} and sum(counts.values()) == 1000
    assert bell.total_shots == 1000 and len(bell) == 2
    assert repr(bell) == "QuantumResult(1000 shots, 2 outcomes)"
    snapshot = dict(counts)
    counts["00"] = -5
    counts["zz"] = 1
    assert bell.counts == snapshot and bell.counts is not counts


def test_lookup_and_probability(bell):
    counts = bell.counts
    assert bell["00"] == counts["00"] and bell["01"] == 0
    assert bell.probability("11") == counts["11"] / 1000
    assert bell.probability(state="01") == 0.0
    with pytest.raises(TypeError) as e:
        bell[0]
    assert str(e.value) == "argument 'state': 'int' object cannot be converted to 'PyString'"


def test_result_is_not_iterable(bell):
    with pytest.raises(TypeError):
        iter(bell)


def test_most_probable_and_histogram_rows(bell):
    counts = bell.counts
    key, count = bell.most_probable()
    assert count == max(counts.values()) and counts[key] == count
    rows = bell.histogram_data()
    assert [r[1] for r in rows] == sorted(counts.values(), reverse=True)
    assert all(r[2] == r[1] / 1000 for r in rows)
    assert rows[0][1] == count


@pytest.mark.parametrize("qubit, expected", [(0, -1.0), (1, 1.0), (2, -1.0)])
def test_expectation_z(qubit, expected):
    r = run(lambda c: (c.x(0), c.x(2), c.measure_all()), n=3, shots=50)
    assert r.expectation_z(qubit=qubit) == expected


@pytest.mark.parametrize("qubit, error, message", [
    (2, ValueError, "Qubit index 2 out of range (circuit has 2 qubits)"),
    (-1, OverflowError, None),
    ("0", TypeError, "argument 'qubit': "),
])
def test_expectation_z_failures(bell, qubit, error, message):
    with pytest.raises(error) as e:
        bell.expectation_z(qubit)
    if message:
        assert str(e.value).startswith(message)


def test_text_form():
    r = run(lambda c: (c.x(0), c.measure_all()), shots=8)
    assert str(r) == "QuantumResult (8 shots):\n  |10> : 8 (100.0%)"


def test_text_form_rows_follow_the_histogram(bell):
    lines = str(bell).split("\n")
    assert lines[0] == "QuantumResult (1000 shots):"
    expected = [f"  |{k}> : {n} ({100 * p:.1f}%)" for k, n, p in bell.histogram_data()]
    assert lines[1:] == expected
    assert not str(bell).endswith("\n")


def test_noisy_run_without_measurements_has_the_empty_key():
    r = run(lambda c: c.h(0), n=1, shots=40, noise=NoiseModel.ibm())
    assert r.counts == {"": 40} and r[""] == 40
    assert str(r) == "QuantumResult (40 shots):\n  |> : 40 (100.0%)"


def test_html_form(bell):
    rows = "".join(
        f"<tr><td>|{k}&gt;</td><td>{n}</td><td>{100 * p:.1f}%</td><td><div style=\""
        f"background:#56D4DD;height:0.8rem;width:{100 * p:.1f}%;min-width:0.5rem\"></div>"
        "</td></tr>" for k, n, p in bell.histogram_data())
    assert bell._repr_html_() == (
        "<div><strong>QuantumResult</strong><p>1000 shots</p><table><thead><tr><th>State</th>"
        "<th>Count</th><th>Probability</th><th>Histogram</th></tr></thead><tbody>"
        f"{rows}</tbody></table></div>")


def test_histogram_prints_to_file_descriptor_one(bell, capfd):
    saved = sys.stdout
    sys.stdout = io.StringIO()
    try:
        assert bell.histogram() is None
        redirected = sys.stdout.getvalue()
    finally:
        sys.stdout = saved
    out = capfd.readouterr().out
    assert redirected == ""
    assert out.startswith("Results (1000 shots, 2 qubits):\n")
    assert "|00>:" in out and "|11>:" in out
