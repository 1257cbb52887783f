// Noise as ordered channel lists: after one-qubit gates, after wider gates,
// on recorded measurement bits, and on the qubits a barrier names.
#pragma once

#include <cstdint>
#include <vector>

namespace tesvi_quantum::noise {

struct NoiseChannel {
    enum class Kind : uint8_t {
        Depolarizing,
        AmplitudeDamping,
        PhaseDamping,
        BitFlip,
        PhaseFlip,
        ReadoutError,
    };
    Kind kind;
    double parameter;  // a probability or damping strength, clamped where used

    static NoiseChannel Depolarizing(double p) { return {Kind::Depolarizing, p}; }
    static NoiseChannel AmplitudeDamping(double g) { return {Kind::AmplitudeDamping, g}; }
    static NoiseChannel PhaseDamping(double l) { return {Kind::PhaseDamping, l}; }
    static NoiseChannel BitFlip(double p) { return {Kind::BitFlip, p}; }
    static NoiseChannel PhaseFlip(double p) { return {Kind::PhaseFlip, p}; }
    static NoiseChannel ReadoutError(double p) { return {Kind::ReadoutError, p}; }

    bool operator==(const NoiseChannel&) const = default;
};

struct NoiseModel {
    std::vector<NoiseChannel> single_qubit_channels;
    std::vector<NoiseChannel> two_qubit_channels;
    std::vector<NoiseChannel> measurement_channels;
    std::vector<NoiseChannel> idle_channels;

    static NoiseModel ideal() { return {}; }
    static NoiseModel uniform(double single_qubit_error, double two_qubit_error,
                              double readout_error);
    static NoiseModel from_hardware(double t1_us, double t2_us, double gate_time_ns,
                                    double single_q_fidelity, double two_q_fidelity,
                                    double readout_fidelity);
    static NoiseModel ibm_like();
    static NoiseModel ionq_like();

    // No channel parameter exceeds 0 (a NaN parameter does not).
    bool is_ideal() const;

    bool operator==(const NoiseModel&) const = default;
};

// min(1, max(0, x)). A rate that is not a number counts as no noise at all.
inline double clamp01(double x) {
    return !(x > 0.0) ? 0.0 : (x > 1.0 ? 1.0 : x);
}

}  // namespace tesvi_quantum::noise
