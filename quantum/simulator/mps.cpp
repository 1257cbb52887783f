#include "quantum/simulator/mps.hpp"

#include <Eigen/SVD>
#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <string>

#include "quantum/simulator/simulator.hpp"

namespace tesvi_quantum::simulator::mps {
namespace {

using circuit::Instruction;
using error::fail;
using error::InternalFault;
using error::Result;
using error::TesviError;
using gate::Gate;

// Sampling refuses a chain it cannot weigh rather than drawing from garbage.
constexpr const char* NOT_FINITE = "MPS state holds a non-finite amplitude";

TesviError simulation_error(std::string text) {
    return TesviError::SimulationError{std::move(text)};
}

// Sites are indexed by their dimensions, so a hand-built one whose data does
// not match them must stop the operation before it is read.
const MPSTensor& checked(const MPSTensor& t) {
    const unsigned __int128 entries = static_cast<unsigned __int128>(t.left_dim) * 2 * t.right_dim;
    if (entries != t.data.size())
        throw InternalFault("MPS site data does not match its dimensions");
    return t;
}

size_t at(uint64_t l, unsigned p, uint64_t r, uint64_t right_dim) {
    return static_cast<size_t>((l * 2 + p) * right_dim + r);
}

// The width a site-level operation expects, then a matrix of 4^k entries:
// both kernels index the matrix without looking at its length.
Result<void> check_gate(const Gate& g, uint64_t width) {
    if (g.num_qubits != width)
        return fail(simulation_error("expected " + std::to_string(width) + "-qubit gate, got '" +
                                     g.name + "'"));
    const size_t entries = size_t{1} << (2 * width);
    if (g.matrix.size() != entries)
        return fail(simulation_error("gate '" + g.name + "' has " +
                                     std::to_string(g.matrix.size()) +
                                     " matrix entries, expected " + std::to_string(entries)));
    return {};
}

// G for exchanged qubits: entry (row, column) = G(pi(row), pi(column)) with
// pi swapping local indices 1 and 2.
Gate exchanged(const Gate& g) {
    static constexpr size_t FROM[16] = {0, 2, 1, 3, 8, 10, 9, 11, 4, 6, 5, 7, 12, 14, 13, 15};
    Complex m[16];
    for (size_t i = 0; i < 16; ++i) m[i] = g.matrix[FROM[i]];
    return Gate::two_qubit(g.name + "^swap", m);
}

using Matrix = Eigen::Matrix<std::complex<double>, Eigen::Dynamic, Eigen::Dynamic>;

// X[l * 2 + q0, q1 * R + r] = sum over p of G[q * 4 + p] * theta[l, p, r], with
// theta[l, p0, p1, r] = sum over m of A[l, p0, m] * B[m, p1, r].
Matrix gated_block(const MPSTensor& a, const MPSTensor& b, const Gate& g) {
    const uint64_t L = a.left_dim, M = a.right_dim, R = b.right_dim;
    std::vector<Complex> theta(static_cast<size_t>(L * 4 * R));
    for (uint64_t l = 0; l < L; ++l)
        for (unsigned p0 = 0; p0 < 2; ++p0)
            for (unsigned p1 = 0; p1 < 2; ++p1)
                for (uint64_t r = 0; r < R; ++r) {
                    Complex sum{};
                    for (uint64_t m = 0; m < M; ++m)
                        sum = sum + a.data[at(l, p0, m, M)] * b.data[at(m, p1, r, R)];
                    theta[((l * 2 + p0) * 2 + p1) * R + r] = sum;
                }
    Matrix x(static_cast<Eigen::Index>(2 * L), static_cast<Eigen::Index>(2 * R));
    for (uint64_t l = 0; l < L; ++l)
        for (unsigned q = 0; q < 4; ++q)
            for (uint64_t r = 0; r < R; ++r) {
                Complex sum{};
                for (unsigned p = 0; p < 4; ++p)
                    sum = sum + g.matrix[q * 4 + p] * theta[(l * 4 + p) * R + r];
                x(static_cast<Eigen::Index>(l * 2 + q / 2),
                  static_cast<Eigen::Index>((q % 2) * R + r)) = {sum.re, sum.im};
            }
    return x;
}

// Bytes a two-site update on L x 2 x M and M x 2 x R sites may hold at its
// peak: the chain, plus the 2L x 2R block with the decomposition's working
// copies (its scaled copy, bidiagonal workspace, U, V) and the new sites,
// together at most twelve times the block.
unsigned __int128 update_bytes(uint64_t chain_entries, uint64_t L, uint64_t R) {
    const unsigned __int128 block = static_cast<unsigned __int128>(4 * L) * R;
    return (chain_entries + 12 * block) * sizeof(Complex);
}

// The two new sites of a decomposed block and the weight it dropped.
struct Split {
    MPSTensor left, right;
    double dropped;
};

struct Decomposition {
    Eigen::VectorXd sigma;
    Matrix u, v;
};

// A block that holds NaN or infinity (after a gate built from a NaN angle)
// has no meaningful decomposition; Eigen refuses it and computes no U.
template <class Svd>
std::optional<Decomposition> finite_result(const Svd& svd) {
    if (svd.info() != Eigen::Success || !svd.singularValues().allFinite() ||
        !svd.matrixU().allFinite() || !svd.matrixV().allFinite())
        return std::nullopt;
    return Decomposition{svd.singularValues(), svd.matrixU(), svd.matrixV()};
}

// X = U diag(sigma) V^H with orthonormal U and V, or nothing. Every SWAP of
// the routing hands over a block whose singular values repeat; Eigen's
// divide-and-conquer SVD returns NaN or a non-orthonormal U on such blocks of
// 16 columns or more while reporting success, and on some never returns. The
// one-sided Jacobi SVD orthogonalises rotation by rotation and stays exact.
std::optional<Decomposition> decompose(const Matrix& x) {
    return finite_result(Eigen::JacobiSVD<Matrix>(x, Eigen::ComputeThinU | Eigen::ComputeThinV));
}

// X = U diag(sigma) V^H: the left site takes the first `keep` columns of U,
// the right site sigma_i times row i of V^T (V^T[i, j] = conj(V(j, i))).
Result<Split> split_block(const Matrix& x, uint64_t L, uint64_t R, uint64_t max_bond_dim) {
    const auto svd = decompose(x);
    if (!svd) return fail(simulation_error("MPS SVD failed to compute U"));
    const auto& sigma = svd->sigma;
    const Matrix& u = svd->u;
    const Matrix& v = svd->v;
    const Eigen::Index k = sigma.size();

    Eigen::Index above = 0;
    while (above < k && sigma[above] > MPS_EPSILON) ++above;
    const uint64_t keep = std::min<uint64_t>(std::max<Eigen::Index>(above, 1), max_bond_dim);
    double dropped = 0.0;
    for (Eigen::Index i = static_cast<Eigen::Index>(keep); i < k; ++i)
        dropped = dropped + sigma[i] * sigma[i];

    MPSTensor left{std::vector<Complex>(static_cast<size_t>(L * 2 * keep)), L, keep};
    for (uint64_t l = 0; l < L; ++l)
        for (unsigned q0 = 0; q0 < 2; ++q0)
            for (uint64_t i = 0; i < keep; ++i) {
                const auto e =
                    u(static_cast<Eigen::Index>(l * 2 + q0), static_cast<Eigen::Index>(i));
                left.data[at(l, q0, i, keep)] = {e.real(), e.imag()};
            }
    MPSTensor right{std::vector<Complex>(static_cast<size_t>(keep * 2 * R)), keep, R};
    for (uint64_t i = 0; i < keep; ++i)
        for (unsigned q1 = 0; q1 < 2; ++q1)
            for (uint64_t r = 0; r < R; ++r) {
                const auto e =
                    v(static_cast<Eigen::Index>(q1 * R + r), static_cast<Eigen::Index>(i));
                const Complex vt{e.real(), -e.imag()};
                right.data[at(i, q1, r, R)] = vt * sigma[static_cast<Eigen::Index>(i)];
            }
    return Split{std::move(left), std::move(right), dropped};
}

uint64_t saturated(unsigned __int128 v) {
    return v > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(v);
}

}  // namespace

namespace {

// n, once n and d are known to make a chain; checked before any site is built.
uint64_t chain_length(uint64_t n, uint64_t d) {
    if (d == 0) throw InternalFault("MPS chain needs max_bond_dim >= 1");
    if (n > MPS_MAX_SITES) throw InternalFault("MPS chain is wider than its basis index");
    return n;
}

}  // namespace

MPSSimulator::MPSSimulator(uint64_t n, uint64_t d)
    : tensors(chain_length(n, d), MPSTensor{{Complex{1.0, 0.0}, Complex{0.0, 0.0}}, 1, 1}),
      num_qubits(n),
      max_bond_dim(d) {}

uint64_t MPSSimulator::stored_entries() const {
    uint64_t sum = 0;
    for (const auto& t : tensors) sum += t.data.size();
    return sum;
}

Result<void> MPSSimulator::apply_instructions(const std::vector<Instruction>& instructions) {
    for (const auto& ins : instructions) {
        // Measurements come only after the last gate, so sampling the final
        // chain is the same as measuring; nothing collapses here.
        if (ins.get<Instruction::Conditional>())
            return fail(simulation_error("MPS backend does not support conditional gates"));
        const auto* g = ins.get<Instruction::Gate>();
        if (!g) continue;
        const uint64_t width = g->gate.num_qubits;
        Result<void> r;
        if (width == 1 && g->qubits.size() == 1)
            r = apply_1q(g->qubits[0], g->gate);
        else if (width == 2 && g->qubits.size() == 2)
            r = apply_2q(g->qubits[0], g->qubits[1], g->gate);
        else
            return fail(simulation_error("MPS backend does not support " + std::to_string(width) +
                                         "-qubit gate '" + g->gate.name + "'"));
        if (!r) return r;
    }
    return {};
}

Result<void> MPSSimulator::apply_1q(uint64_t q, const Gate& g) {
    if (q >= num_qubits || q >= tensors.size())
        return fail(TesviError::QubitOutOfRange{q, num_qubits});
    if (auto r = check_gate(g, 1); !r) return r;
    MPSTensor& t = tensors[q];
    checked(t);
    const Complex m0 = g.matrix[0], m1 = g.matrix[1], m2 = g.matrix[2], m3 = g.matrix[3];
    for (uint64_t l = 0; l < t.left_dim; ++l)
        for (uint64_t r = 0; r < t.right_dim; ++r) {
            Complex& a0 = t.data[at(l, 0, r, t.right_dim)];
            Complex& a1 = t.data[at(l, 1, r, t.right_dim)];
            const Complex b0 = m0 * a0 + m1 * a1;
            const Complex b1 = m2 * a0 + m3 * a1;
            a0 = b0;
            a1 = b1;
        }
    return {};
}

Result<void> MPSSimulator::apply_adjacent_2q(uint64_t s, const Gate& g) {
    const uint64_t sites = std::min<uint64_t>(num_qubits, tensors.size());
    if (s >= sites) return fail(TesviError::QubitOutOfRange{s, num_qubits});
    if (s + 1 >= sites) return fail(TesviError::QubitOutOfRange{s + 1, num_qubits});
    if (auto r = check_gate(g, 2); !r) return r;
    const MPSTensor& a = checked(tensors[s]);
    const MPSTensor& b = checked(tensors[s + 1]);
    if (a.right_dim != b.left_dim) throw InternalFault("MPS bond dimensions disagree");
    const uint64_t L = a.left_dim, R = b.right_dim;
    // At least one singular value is always kept, which needs a non-empty block.
    if (L == 0 || R == 0 || a.right_dim == 0) throw InternalFault("MPS chain holds an empty bond");

    const unsigned __int128 need = update_bytes(stored_entries(), L, R);
    if (need > MPS_MAX_BYTES)
        return fail(TesviError::InsufficientMemory{num_qubits, saturated(need)});

    try {
        auto split = split_block(gated_block(a, b, g), L, R, max_bond_dim);
        if (!split) return fail(std::move(split).error());
        tensors[s] = std::move(split->left);
        tensors[s + 1] = std::move(split->right);
        truncation_error += split->dropped;
        return {};
    } catch (const std::bad_alloc&) {
        return fail(TesviError::InsufficientMemory{num_qubits, saturated(need)});
    }
}

Result<void> MPSSimulator::apply_2q(uint64_t a, uint64_t b, const Gate& g) {
    if (a >= num_qubits) return fail(TesviError::QubitOutOfRange{a, num_qubits});
    if (b >= num_qubits) return fail(TesviError::QubitOutOfRange{b, num_qubits});
    if (a == b) return fail(TesviError::DuplicateQubits{a, a});
    if (auto r = check_gate(g, 2); !r) return r;

    const Gate swap = gate::swap();
    const uint64_t low = std::min(a, b), high = std::max(a, b);
    // The higher qubit travels down to the site above the lower one and back.
    for (uint64_t j = high - 1; j > low; --j)
        if (auto r = apply_adjacent_2q(j, swap); !r) return r;
    if (auto r = a < b ? apply_adjacent_2q(low, g) : apply_adjacent_2q(low, exchanged(g)); !r)
        return r;
    for (uint64_t j = low + 1; j < high; ++j)
        if (auto r = apply_adjacent_2q(j, swap); !r) return r;
    return {};
}

namespace {

// propagate_branch into w, for callers that have checked v and t.
void propagate(const std::vector<Complex>& v, const MPSTensor& t, unsigned p,
               std::vector<Complex>& w) {
    w.resize(static_cast<size_t>(t.right_dim));
    for (uint64_t r = 0; r < t.right_dim; ++r) {
        Complex sum{};
        for (size_t l = 0; l < v.size(); ++l) sum = sum + v[l] * t.data[at(l, p, r, t.right_dim)];
        w[r] = sum;
    }
}

double largest_magnitude(const std::vector<Complex>& xs) {
    double top = 0.0;
    for (const Complex& e : xs) top = std::fmax(top, std::fmax(std::fabs(e.re), std::fabs(e.im)));
    return top;
}

// Divides by the largest magnitude: truncation without a canonical form can
// shrink a chain's norm by hundreds of orders of magnitude, and only ratios of
// weights at one site matter to sampling.
void rescale(std::vector<Complex>& xs) {
    const double top = largest_magnitude(xs);
    if (!(top > 0.0) || !std::isfinite(top)) return;
    const double s = 1.0 / top;
    for (Complex& e : xs) e = e * s;
}

// The chain with every site divided by its largest entry. Weight lost to
// truncation collects on single sites (entries near 1e-170 on deep chains),
// whose squares in the environments would be 0 before any rescaling; scaled
// sites keep every representable state representable. A site scale is
// common to both branches of that site, so the ratios sampling decides by
// are unchanged. Nothing, when a site holds NaN or infinity.
std::optional<std::vector<MPSTensor>> scaled_sites(const std::vector<MPSTensor>& tensors) {
    std::vector<MPSTensor> sites = tensors;
    for (MPSTensor& t : sites) {
        if (!std::isfinite(largest_magnitude(t.data))) return std::nullopt;
        rescale(t.data);
    }
    return sites;
}

// E_k, row-major over the right bond of site k: sites k + 1 .. n - 1
// contracted with their conjugates, closed on the last bond by its entry 0
// (the entry amplitude_for_basis reads). The sites right of an update hold
// sigma V^T, which is not an isometry, so the norm of a branch alone is not
// its weight; w E_k w^H is.
std::vector<std::vector<Complex>> right_environments(const std::vector<MPSTensor>& t) {
    std::vector<std::vector<Complex>> env(t.size());
    if (t.empty()) return env;
    const uint64_t last = t.back().right_dim;
    env.back().assign(static_cast<size_t>(last * last), Complex{});
    if (last > 0) env.back()[0] = {1.0, 0.0};
    for (size_t k = t.size() - 1; k > 0; --k) {
        const MPSTensor& a = t[k];
        const uint64_t L = a.left_dim, R = a.right_dim;
        if (t[k - 1].right_dim != L) throw InternalFault("MPS bond dimensions disagree");
        // half[l, p, c] = sum over r of A[l, p, r] E[r, c]
        std::vector<Complex> half(a.data.size());
        for (uint64_t l = 0; l < L; ++l)
            for (unsigned p = 0; p < 2; ++p)
                for (uint64_t c = 0; c < R; ++c) {
                    Complex sum{};
                    for (uint64_t r = 0; r < R; ++r)
                        sum = sum + a.data[at(l, p, r, R)] * env[k][r * R + c];
                    half[at(l, p, c, R)] = sum;
                }
        env[k - 1].assign(static_cast<size_t>(L * L), Complex{});
        for (uint64_t l = 0; l < L; ++l)
            for (uint64_t m = 0; m < L; ++m) {
                Complex sum{};
                for (unsigned p = 0; p < 2; ++p)
                    for (uint64_t c = 0; c < R; ++c)
                        sum = sum + half[at(l, p, c, R)] * a.data[at(m, p, c, R)].conj();
                env[k - 1][l * L + m] = sum;
            }
        rescale(env[k - 1]);
    }
    return env;
}

// w E w^H, real up to rounding.
double weight(const std::vector<Complex>& w, const std::vector<Complex>& env) {
    const size_t R = w.size();
    double sum = 0.0;
    for (size_t r = 0; r < R; ++r) {
        Complex row{};
        for (size_t c = 0; c < R; ++c) row = row + env[r * R + c] * w[c].conj();
        sum = sum + (w[r] * row).re;
    }
    return sum;
}

}  // namespace

Result<SampleList> MPSSimulator::measure(uint32_t shots, RandomStream& rng) const {
    if (tensors.size() > MPS_MAX_SITES)
        throw InternalFault("MPS chain is wider than its basis index");
    for (const auto& t : tensors) checked(t);
    if (!tensors.empty() && tensors[0].left_dim == 0)
        throw InternalFault("MPS chain starts with an empty bond");
    const auto sites = scaled_sites(tensors);
    if (!sites) return fail(simulation_error(NOT_FINITE));
    const auto env = right_environments(*sites);  // also checks that the bonds agree
    std::map<BasisIndex, uint64_t> counts;
    std::vector<Complex> v, w0, w1;
    for (uint32_t shot = 0; shot < shots; ++shot) {
        v.assign(1, Complex{1.0, 0.0});
        BasisIndex basis = 0;
        for (size_t k = 0; k < sites->size(); ++k) {
            propagate(v, (*sites)[k], 0, w0);
            propagate(v, (*sites)[k], 1, w1);
            const double p0 = weight(w0, env[k]), p1 = weight(w1, env[k]);
            if (!std::isfinite(p0) || !std::isfinite(p1)) return fail(simulation_error(NOT_FINITE));
            const double u = rng.uniform();
            // Weights are relative (the environments are rescaled), so the
            // branch is chosen by their ratio alone, and the kept branch is
            // renormalised whenever it has any weight.
            const double total = p0 + p1;
            const bool zero = total > 0.0 && p0 / total > u;
            const double p = zero ? p0 : p1;
            std::swap(v, zero ? w0 : w1);
            if (!zero) basis |= BasisIndex{1} << k;
            if (p > 0.0) {
                const double scale = 1.0 / std::sqrt(p);
                for (Complex& e : v) e = e * scale;
            }
        }
        ++counts[basis];
    }
    SampleList list(counts.begin(), counts.end());
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& x, const auto& y) { return x.second > y.second; });
    return list;
}

std::vector<Complex> propagate_branch(const std::vector<Complex>& v, const MPSTensor& t,
                                      unsigned p) {
    checked(t);
    if (v.size() > t.left_dim) throw InternalFault("MPS left vector is wider than its bond");
    if (p > 1) throw InternalFault("MPS physical value must be 0 or 1");
    std::vector<Complex> w;
    propagate(v, t, p, w);
    return w;
}

std::optional<Complex> amplitude_for_basis(const std::vector<MPSTensor>& tensors,
                                           BasisIndex basis) {
    std::vector<Complex> v{Complex{1.0, 0.0}};
    for (size_t k = 0; k < tensors.size(); ++k) {
        const unsigned bit = k < MPS_MAX_SITES ? static_cast<unsigned>((basis >> k) & 1) : 0;
        v = propagate_branch(v, tensors[k], bit);
    }
    if (v.empty()) return std::nullopt;
    return v[0];
}

namespace {

// Depth-first over the bits of the index, low bit first: every leaf sees the
// same chain of propagations that amplitude_for_basis makes for its index.
void expand(const std::vector<MPSTensor>& tensors, size_t k, const std::vector<Complex>& v,
            uint64_t index, StateArray<Complex>& out) {
    if (k == tensors.size()) {
        out[index] = v.empty() ? Complex{} : v[0];
        return;
    }
    for (unsigned p = 0; p < 2; ++p)
        expand(tensors, k + 1, propagate_branch(v, tensors[k], p), index | (uint64_t{p} << k), out);
}

}  // namespace

StateArray<Complex> dense_amplitudes(const std::vector<MPSTensor>& tensors) {
    if (tensors.size() > MPS_DENSE_MAX_QUBITS)
        throw InternalFault("MPS dense expansion is limited to " +
                            std::to_string(MPS_DENSE_MAX_QUBITS) + " sites");
    StateArray<Complex> out(size_t{1} << tensors.size());
    expand(tensors, 0, {Complex{1.0, 0.0}}, 0, out);
    return out;
}

}  // namespace tesvi_quantum::simulator::mps
