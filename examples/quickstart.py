"""A first tour of tesvi: a Bell pair, noise, amplitudes, OpenQASM and post-quantum keys."""
import sys

import _tesvi
from _tesvi import Circuit, NoiseModel, Simulator, crypto


def main():
    # A Bell pair: H on qubit 0, then CNOT onto qubit 1, then measure both.
    bell = Circuit(2)
    bell.h(0)
    bell.cx(0, 1)
    bell.measure_all()
    print(bell.draw())
    print()

    # Exact sampling; a seed makes the counts reproducible.
    result = Simulator(seed=42).run(bell, shots=1000)
    print("counts:", dict(sorted(result.counts.items())))
    sys.stdout.flush()  # the histogram is written straight to file descriptor 1
    result.histogram()

    # The same circuit on an IBM-like noise profile: trajectories, one per shot.
    noisy = Simulator(seed=42, noise=NoiseModel.ibm()).run(bell, shots=1000)
    print("noisy counts:", dict(sorted(noisy.counts.items())))

    # The state before measurement.
    prepare = Circuit(2)
    prepare.h(0)
    prepare.cx(0, 1)
    amplitudes = Simulator().statevector(prepare)
    print("state vector:", [complex(re, im) for re, im in amplitudes])
    print()

    print(bell.to_qasm())
    print()

    # A post-quantum key exchange: both sides end with the same 32-byte secret.
    public_key, secret_key = crypto.kem_keygen("ml-kem-768")
    ciphertext, sender_secret = crypto.kem_encapsulate(public_key)
    assert crypto.kem_decapsulate(secret_key, ciphertext) == sender_secret
    print(f"ML-KEM-768 shared secret: {sender_secret.hex()}")
    print(f"tesvi {_tesvi.__version__}")


if __name__ == "__main__":
    main()
