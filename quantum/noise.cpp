#include "quantum/noise.hpp"

#include <cmath>

namespace tesvi_quantum::noise {
namespace {

constexpr double E = 2.718281828459045;

// 1 - e^(-t/T) through pow on the constant e, and full damping for T <= 0.
double damping(double t, double relaxation) {
    if (relaxation <= 0.0) return 1.0;
    return clamp01(1.0 - std::pow(E, -t / relaxation));
}

bool any_positive(const std::vector<NoiseChannel>& channels) {
    for (const auto& c : channels)
        if (c.parameter > 0.0) return true;
    return false;
}

}  // namespace

NoiseModel NoiseModel::uniform(double a, double b, double c) {
    return {{NoiseChannel::Depolarizing(clamp01(a))},
            {NoiseChannel::Depolarizing(clamp01(b))},
            {NoiseChannel::ReadoutError(clamp01(c))},
            {}};
}

NoiseModel NoiseModel::from_hardware(double t1, double t2, double g, double f1, double f2,
                                     double fr) {
    const double t = g / 1000.0 > 0.0 ? g / 1000.0 : 0.0;
    const double d1 = damping(t, t1), d2 = damping(t, t2);
    return {
        {NoiseChannel::Depolarizing(clamp01(1.0 - f1)), NoiseChannel::AmplitudeDamping(d1),
         NoiseChannel::PhaseDamping(d2)},
        {NoiseChannel::Depolarizing(clamp01(1.0 - f2)), NoiseChannel::AmplitudeDamping(d1),
         NoiseChannel::PhaseDamping(d2)},
        {NoiseChannel::ReadoutError(clamp01(1.0 - fr))},
        {NoiseChannel::AmplitudeDamping(clamp01(d1 * 0.5)),
         NoiseChannel::PhaseDamping(clamp01(d2 * 0.5))},
    };
}

NoiseModel NoiseModel::ibm_like() {
    return from_hardware(100, 80, 100, 0.999, 0.99, 0.98);
}

NoiseModel NoiseModel::ionq_like() {
    return from_hardware(1000000, 1000000, 100000, 0.9997, 0.995, 0.996);
}

bool NoiseModel::is_ideal() const {
    return !any_positive(single_qubit_channels) && !any_positive(two_qubit_channels) &&
           !any_positive(measurement_channels) && !any_positive(idle_channels);
}

}  // namespace tesvi_quantum::noise
