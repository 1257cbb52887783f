"""The submodule crypto: serialized keys, hashing and measurement-driven random numbers."""
import hashlib

import pytest

from _tesvi import crypto


@pytest.mark.parametrize("level, sizes", [
    (None, (1185, 2401)),
    ("level5", (1569, 3169)),
    (" LEVEL_1 ", (801, 1633)),
    ("ML-KEM-512", (801, 1633)),
    ("\u00a0mlkem768\u2003", (1185, 2401)),
    ("3", (1185, 2401)),
])
def test_kem_round_trip_at_every_level(level, sizes):
    public_key, secret_key = crypto.kem_keygen() if level is None else crypto.kem_keygen(level)
    assert (len(public_key), len(secret_key)) == sizes
    ciphertext, secret = crypto.kem_encapsulate(public_key=public_key)
    assert len(secret) == 32
    assert crypto.kem_decapsulate(secret_key, ciphertext) == secret


@pytest.mark.parametrize("call, kind, message", [
    (lambda: crypto.kem_keygen("768"), ValueError,
     "unknown ML-KEM level '768'; expected level1, level3, or level5"),
    (lambda: crypto.kem_keygen(""), ValueError,
     "unknown ML-KEM level ''; expected level1, level3, or level5"),
    (lambda: crypto.kem_keygen("Level 1"), ValueError,
     "unknown ML-KEM level 'level 1'; expected level1, level3, or level5"),
    (lambda: crypto.kem_keygen(1), TypeError, "argument 'level': "),
    (lambda: crypto.sign_keygen("rsa"), ValueError,
     "unknown signature scheme 'rsa'; expected ml_dsa or slh_dsa"),
    (lambda: crypto.kem_decapsulate(b"", b"\x03"), ValueError,
     "invalid key material: serialized secret key is empty"),
    (lambda: crypto.kem_encapsulate(b"\x02" + bytes(10)), ValueError,
     "invalid key material: unknown ML-KEM security level marker"),
    (lambda: crypto.kem_encapsulate(b"\x03" + bytes(100)), ValueError,
     "invalid key material: error: PublicKey expected 1184 bytes, got 100"),
    (lambda: crypto.kem_encapsulate(bytearray(b"\x03")), TypeError, "argument 'public_key': "),
    (lambda: crypto.verify(b"", b"m", b"\x01"), ValueError,
     "invalid key material: serialized public key is empty"),
    (lambda: crypto.sign(b"", "text"), TypeError, "argument 'message': "),
    (lambda: crypto.shake128(b"", -1), OverflowError, ""),
    (lambda: crypto.shake256(b"", 2**64), OverflowError, ""),
    (lambda: crypto.shake256(b"", 2**28 + 1), ValueError,
     "SHAKE output length 268435457 exceeds the limit of 268435456 bytes"),
    (lambda: crypto.random_bits(2**23 + 1), ValueError,
     "random request of 8388609 bits exceeds the limit of 8388608 bits"),
    (lambda: crypto.random_u64(1), TypeError, "crypto.random_u64() takes no arguments (1 given)"),
])
def test_failures(call, kind, message):
    with pytest.raises(kind) as info:
        call()
    assert str(info.value).startswith(message)


def test_decapsulation_failures_are_runtime_errors():
    public_key, secret_key = crypto.kem_keygen("level1")
    other_public, _ = crypto.kem_keygen("level1")
    foreign, _ = crypto.kem_encapsulate(other_public)
    with pytest.raises(RuntimeError, match="^ciphertext integrity check failed$"):
        crypto.kem_decapsulate(secret_key, foreign)
    wide, _ = crypto.kem_encapsulate(crypto.kem_keygen("level5")[0])
    with pytest.raises(RuntimeError, match="^invalid key material: key and ciphertext security "
                                           "levels do not match$"):
        crypto.kem_decapsulate(secret_key, wide)


@pytest.mark.parametrize("scheme, sizes, deterministic", [
    (None, (1953, 4033), True),
    ("Dilithium", (1953, 4033), True),
    ("SPHINCS+", (33, 65), False),
    ("slh_dsa", (33, 65), False),
])
def test_signatures(scheme, sizes, deterministic):
    public_key, secret_key = crypto.sign_keygen(scheme=scheme)
    assert (len(public_key), len(secret_key)) == sizes
    first = crypto.sign(secret_key, b"message")
    assert (crypto.sign(secret_key, b"message") == first) is deterministic
    assert crypto.verify(public_key, b"message", first) is True
    assert crypto.verify(public_key, b"messagE", first) is False


def test_verify_across_schemes_is_false():
    ml_public, ml_secret = crypto.sign_keygen("mldsa")
    slh_public, slh_secret = crypto.sign_keygen("sphincs")
    assert crypto.verify(ml_public, b"m", crypto.sign(slh_secret, b"m")) is False
    assert crypto.verify(slh_public, b"m", crypto.sign(ml_secret, b"m")) is False


@pytest.mark.parametrize("data", [b"", b"abc", bytes(range(256)) * 3])
def test_hashes_match_fips_202(data):
    assert crypto.sha3_256(data) == hashlib.sha3_256(data).digest()
    assert crypto.sha3_512(data=data) == hashlib.sha3_512(data).digest()
    assert crypto.shake128(data, 200) == hashlib.shake_128(data).digest(200)
    assert crypto.shake256(data, output_len=33) == hashlib.shake_256(data).digest(33)
    assert crypto.shake256(data, 0) == b""


def test_random_numbers():
    assert crypto.random_bits(0) == []
    bits = crypto.random_bits(n=20)
    assert len(bits) == 20 and all(type(b) is bool for b in bits)
    assert crypto.random_bytes(0) == b""
    assert len(crypto.random_bytes(16)) == 16
    assert len(crypto.random_seed()) == 32
    values = {crypto.random_u64() for _ in range(4)}
    assert len(values) == 4 and all(0 <= v < 2**64 for v in values)


def test_function_identity():
    assert crypto.__all__ == ["kem_keygen", "kem_encapsulate", "kem_decapsulate", "sign_keygen",
                              "sign", "verify", "sha3_256", "sha3_512", "shake128", "shake256",
                              "random_bytes", "random_bits", "random_seed", "random_u64"]
    assert crypto.kem_keygen.__text_signature__ == "(level=None)"
    assert crypto.kem_keygen.__doc__ is None
    assert crypto.random_seed.__module__ == "crypto"
