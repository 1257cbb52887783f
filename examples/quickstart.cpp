// A Bell pair: exact counts, then the same circuit on noisy hardware.
#include <cstdio>

#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/simulator.hpp"

int main() {
    using namespace tesvi_quantum;
    auto bell = circuit::Circuit::create(2).value();
    bell.h(0)->cnot(0, 1)->measure_all();

    simulator::Simulator exact{uint64_t{42}};
    auto counts = exact.run(bell, 1000);
    if (!counts) return std::fprintf(stderr, "%s\n", counts.error().message().c_str()), 1;
    counts->print_histogram();

    simulator::Simulator noisy =
        simulator::SimulatorBuilder{uint64_t{42}}.noise(noise::NoiseModel::ibm_like()).build();
    auto noisy_counts = noisy.run(bell, 1000);
    if (!noisy_counts)
        return std::fprintf(stderr, "%s\n", noisy_counts.error().message().c_str()), 1;
    noisy_counts->print_histogram();
}
