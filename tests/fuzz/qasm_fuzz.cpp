// Fuzz target of the OpenQASM reader. Whatever the bytes, the reader returns
// a well-formed circuit or an error; it never crashes, hangs or exhausts
// memory. A circuit it returns must also survive the writer and read back.
//
// Built with TESVI_LIBFUZZER this is a plain libFuzzer target. Without it, a
// main() mutates a corpus of valid programs with a fixed seed, so the same
// inputs run on every build, as a test.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "quantum/qasm/expansion.hpp"
#include "quantum/qasm/parser.hpp"
#include "quantum/qasm/serializer.hpp"

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;
namespace parser = tesvi_quantum::qasm::parser;

[[noreturn]] void broken(const char* what, std::string_view source) {
    std::fprintf(stderr, "invariant broken: %s\n--- input (%zu bytes) ---\n%.*s\n", what,
                 source.size(), static_cast<int>(std::min<size_t>(source.size(), 4096)),
                 source.data());
    std::abort();
}

bool distinct_and_below(const std::vector<uint64_t>& v, uint64_t limit) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] >= limit) return false;
        for (size_t j = i + 1; j < v.size(); ++j)
            if (v[i] == v[j]) return false;
    }
    return true;
}

bool well_formed_gate(const tesvi_quantum::gate::Gate& g, const std::vector<uint64_t>& qubits,
                      uint64_t num_qubits) {
    const uint64_t k = g.num_qubits;
    return (k == 1 || k == 2) && qubits.size() == k && g.matrix.size() == (k == 1 ? 4u : 16u) &&
           distinct_and_below(qubits, num_qubits);
}

const char* malformed(const Circuit& c) {
    if (c.num_qubits() == 0 || c.num_qubits() > tesvi_quantum::circuit::MAX_QUBITS)
        return "qubit count";
    if (c.num_classical_bits() > parser::MAX_CLASSICAL_BITS) return "classical bit count";
    if (c.instructions().size() > parser::MAX_INSTRUCTIONS) return "instruction count";
    for (const Instruction& ins : c.instructions()) {
        if (const auto* g = ins.get<Instruction::Gate>()) {
            if (!well_formed_gate(g->gate, g->qubits, c.num_qubits())) return "gate";
        } else if (const auto* k = ins.get<Instruction::Conditional>()) {
            if (k->classical_bits.empty()) return "conditional without bits";
            for (uint64_t b : k->classical_bits)
                if (b >= c.num_classical_bits()) return "conditional bit";
            if (!well_formed_gate(k->gate, k->qubits, c.num_qubits())) return "conditional gate";
        } else if (const auto* m = ins.get<Instruction::Measure>()) {
            if (m->qubit >= c.num_qubits() || m->classical_bit >= c.num_classical_bits())
                return "measurement";
        } else if (!distinct_and_below(ins.get<Instruction::Barrier>()->qubits, c.num_qubits())) {
            return "barrier";
        }
    }
    return nullptr;
}

// The written text reads back with the same register sizes. It may fail only
// where the writer copies a non-finite angle ("rx(inf)"), or where a
// conditional over a small register comes back over the whole of "c" and so
// lists more bits than the reader allows.
void check_round_trip(const Circuit& c, std::string_view source) {
    const std::string text = tesvi_quantum::qasm::to_qasm(c);
    const auto again = tesvi_quantum::qasm::parse_qasm(text);
    if (!again) {
        const std::string m = again.error().message();
        for (const char* allowed : {"unknown identifier 'inf'", "unknown identifier 'NaN'",
                                    "conditionals would list more than"})
            if (m.find(allowed) != std::string::npos) return;
        std::fprintf(stderr, "reading back failed: %s\n", m.c_str());
        broken("round trip", source);
    }
    if (again->num_qubits() != c.num_qubits() ||
        again->num_classical_bits() != c.num_classical_bits())
        broken("round trip register sizes", source);
    if (again->instructions().size() > c.instructions().size()) broken("round trip growth", source);
}

// Whether the source parsed; aborts when an invariant breaks.
bool fuzz_one(std::string_view source) {
    const auto circuit = tesvi_quantum::qasm::parse_qasm(source);
    if (!circuit) {
        if (circuit.error().message().empty()) broken("empty error text", source);
        return false;
    }
    if (const char* what = malformed(*circuit)) broken(what, source);
    check_round_trip(*circuit, source);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_one(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}

#ifndef TESVI_LIBFUZZER

#include <fstream>

namespace {

// Valid programs that between them reach every form the reader knows.
std::vector<std::string> seed_corpus() {
    Circuit c = Circuit::create(4).value();
    c.h(0).value().cnot(0, 1).value().rx(2, 0.5).value().crk(1, 3, 2).value().swap(2, 3);
    c.iqft({0, 1, 2}).value().barrier_all();
    c.measure_all();
    c.conditional_gate({0, 1}, 3, tesvi_quantum::gate::x(), {2});
    return {
        "OPENQASM 2.0;\ninclude \"qelib1.inc\";\nqreg q[2];\ncreg c[2];\nh q[0];\n"
        "cx q[0], q[1];\nmeasure q[0] -> c[0];\nmeasure q[1] -> c[1];\n",
        "OPENQASM 2.0;\nqreg q[3];\ncreg c[2];\n"
        "gate g(theta, phi) a, b { rx(theta / 2) a; u2(phi, -pi) b; cx a, b; }\n"
        "gate outer(t) a { g(t * 2, 1e-3) a, q[2]; }\n"
        "outer(pi) q[0];\nif(c==1) g(0.5, 2) q[1], q[0];\nbarrier q, q[1];\n",
        "OPENQASM 2.0;\r\n// comment\r\nqreg a[2];\u00a0qreg b[1];\r\n"
        "ccx a[0], a[1], b[0];\u3000crk(3) a[1], b[0];\r\nu3(1, 2, 3) a[0]; U(0,0,0) b[0];\r\n"
        "CX a[1], a[0]; id b[0]; sdg b[0]; tdg a[1]; u1(--1) a[0];\r\n",
        "OPENQASM 2.0;\nqreg q[1];\ngate g0 a { h a; }\ngate g1 a { g0 a; g0 a; }\n"
        "gate g2 a { g1 a; g1 a; }\ngate r a { r a; }\ng2 q[0];\n",
        tesvi_quantum::qasm::to_qasm(c),
    };
}

// Fragments that mutations splice in: keywords, punctuation, operands,
// numbers near the bounds and multi-byte white space.
const char* const TOKENS[] = {
    "OPENQASM 2.0;",
    "include \"qelib1.inc\";",
    "qreg ",
    "creg ",
    "gate ",
    "measure ",
    "barrier ",
    "if(",
    "==",
    "->",
    "{",
    "}",
    "(",
    ")",
    "[",
    "]",
    ";",
    ",",
    "\n",
    "\r\n",
    " ",
    "//",
    "q[0]",
    "q[1]",
    "c[0]",
    "q",
    "a",
    "b",
    "pi",
    "theta",
    "-",
    "+",
    "*",
    "/",
    "1e308",
    "1e-330",
    ".5",
    "0",
    "18446744073709551615",
    "65536",
    "128",
    "129",
    "h",
    "cx",
    "ccx",
    "crk",
    "u3",
    "rx",
    "id",
    "\u00a0",
    "\u3000",
    "\u2028",
    "\xff",
    "\xe2\x80",
};

struct Rng {
    uint64_t state;
    uint64_t next() {  // splitmix64: the same stream on every platform
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return n ? static_cast<size_t>(next() % n) : 0; }
};

void mutate(std::string& s, const std::vector<std::string>& corpus, Rng& rng) {
    const size_t at = rng.below(s.size() + 1);
    const size_t span = std::min(s.size() - at, rng.below(16) + 1);
    switch (rng.below(7)) {
        case 0:  // flip a byte
            if (!s.empty()) s[rng.below(s.size())] ^= static_cast<char>(1u << rng.below(8));
            break;
        case 1:  // insert a random byte
            s.insert(at, 1, static_cast<char>(rng.below(256)));
            break;
        case 2:  // delete a span
            s.erase(at, span);
            break;
        case 3:  // duplicate a span, sometimes many times
            for (size_t n = rng.below(4) ? 1 : rng.below(64); n > 0; --n)
                s.insert(at, s.substr(at, span));
            break;
        case 4:  // splice a piece of another program
        {
            const std::string& other = corpus[rng.below(corpus.size())];
            const size_t from = rng.below(other.size());
            s.insert(at, other.substr(from, rng.below(64) + 1));
            break;
        }
        default:  // insert a token
            s.insert(at, TOKENS[rng.below(std::size(TOKENS))]);
    }
}

}  // namespace

// qasm_fuzz [iterations [seed [corpus-dir]]]: runs the mutated inputs; with a
// directory, also writes the seed corpus there for a libFuzzer run.
int main(int argc, char** argv) {
    const uint64_t iterations = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10000;
    Rng rng{argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1};
    std::vector<std::string> corpus = seed_corpus();
    if (argc > 3)
        for (size_t i = 0; i < corpus.size(); ++i)
            std::ofstream(std::string(argv[3]) + "/seed" + std::to_string(i) + ".qasm",
                          std::ios::binary)
                << corpus[i];

    constexpr size_t MAX_CORPUS = 512, MAX_INPUT = 1 << 16;
    uint64_t accepted = 0;
    for (uint64_t i = 0; i < iterations; ++i) {
        std::string input = corpus[rng.below(corpus.size())];
        for (size_t n = rng.below(8) + 1; n > 0; --n) mutate(input, corpus, rng);
        if (input.size() > MAX_INPUT) input.resize(MAX_INPUT);
        // Inputs that still parse lead deeper into the reader; keep some.
        if (fuzz_one(input)) {
            ++accepted;
            if (corpus.size() < MAX_CORPUS)
                corpus.push_back(std::move(input));
            else
                corpus[rng.below(MAX_CORPUS)] = std::move(input);
        }
    }
    std::printf("%llu inputs, %llu parsed\n", static_cast<unsigned long long>(iterations),
                static_cast<unsigned long long>(accepted));
    return 0;
}

#endif
