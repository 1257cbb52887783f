// The Python class NoiseModel: an immutable channel profile built by the
// library's constructors, read only by the Simulator constructor.
#include <string>

#include "python/binding/call.hpp"
#include "python/classes.hpp"

namespace _tesvi {
namespace {

using tesvi_quantum::noise::NoiseModel;

constexpr Param kUniformParams[] = {required("single_qubit_error"), required("two_qubit_error"),
                                    required("readout_error")};
constexpr Param kHardwareParams[] = {required("t1_us"),          required("t2_us"),
                                     required("gate_time_ns"),   required("single_q_fidelity"),
                                     required("two_q_fidelity"), required("readout_fidelity")};

constexpr Signature kNew{"NoiseModel", "__new__"};
constexpr Signature kUniform{"NoiseModel", "uniform", kUniformParams};
constexpr Signature kFromHardware{"NoiseModel", "from_hardware", kHardwareParams};

std::string repr(const NoiseModel& m) {
    return "NoiseModel(single_qubit_channels=" + std::to_string(m.single_qubit_channels.size()) +
           ", two_qubit_channels=" + std::to_string(m.two_qubit_channels.size()) +
           ", measurement_channels=" + std::to_string(m.measurement_channels.size()) + ")";
}

PyMethodDef methods[] = {
    static_noargs<&NoiseModel::ideal>("ideal", "ideal()\n--\n\nReturn a noiseless profile."),
    static_noargs<&NoiseModel::ibm_like>(
        "ibm", "ibm()\n--\n\nReturn an IBM-like superconducting profile."),
    static_noargs<&NoiseModel::ionq_like>("ionq",
                                          "ionq()\n--\n\nReturn an IonQ-like trapped-ion profile."),
    static_method<kUniform, &NoiseModel::uniform>(
        "uniform(single_qubit_error, two_qubit_error, readout_error)\n--\n\nCreate a uniform "
        "depolarizing and readout profile."),
    static_method<kFromHardware, &NoiseModel::from_hardware>(
        "from_hardware(t1_us, t2_us, gate_time_ns, single_q_fidelity, two_q_fidelity, "
        "readout_fidelity)\n--\n\nCreate a noise model from hardware parameters."),
    {},
};

PyType_Slot slots[] = {
    {Py_tp_methods, methods},
    constructor<kNew, &NoiseModel::ideal>(),
    text_slot<Py_tp_repr, &repr>(),
    text_slot<Py_tp_str, &repr>(),
    {0, nullptr},
};

}  // namespace

const ClassSpec Class<NoiseModel>::spec = {
    "tesvi.NoiseModel",
    "NoiseModel()\n--\n\nNoise model for realistic hardware-aware simulation.",
    slots,
};

}  // namespace _tesvi
