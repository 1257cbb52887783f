// The Python class NoiseModel: an immutable channel profile built by the
// library's constructors, read only by the Simulator constructor.
#include <string>

#include "python/binding/call.hpp"
#include "python/classes.hpp"

namespace tesvi_python {
namespace {

using tesvi_quantum::noise::NoiseModel;

constexpr Param kUniformParams[] = {required("single_qubit_error"), required("two_qubit_error"),
                                    required("readout_error")};
constexpr Param kHardwareParams[] = {required("t1_us"),          required("t2_us"),
                                     required("gate_time_ns"),   required("single_q_fidelity"),
                                     required("two_q_fidelity"), required("readout_fidelity")};

constexpr Signature kNew{"NoiseModel", "__new__",
                         "Noise model for realistic hardware-aware simulation."};
constexpr Signature kUniform{"NoiseModel", "uniform", kUniformParams,
                             "Create a uniform depolarizing and readout profile."};
constexpr Signature kFromHardware{"NoiseModel", "from_hardware", kHardwareParams,
                                  "Create a noise model from hardware parameters."};
constexpr Signature kIdeal{"NoiseModel", "ideal", "Return a noiseless profile."};
constexpr Signature kIbm{"NoiseModel", "ibm", "Return an IBM-like superconducting profile."};
constexpr Signature kIonq{"NoiseModel", "ionq", "Return an IonQ-like trapped-ion profile."};

std::string repr(const NoiseModel& m) {
    return "NoiseModel(single_qubit_channels=" + std::to_string(m.single_qubit_channels.size()) +
           ", two_qubit_channels=" + std::to_string(m.two_qubit_channels.size()) +
           ", measurement_channels=" + std::to_string(m.measurement_channels.size()) + ")";
}

PyMethodDef methods[] = {
    static_noargs<kIdeal, &NoiseModel::ideal>(),
    static_noargs<kIbm, &NoiseModel::ibm_like>(),
    static_noargs<kIonq, &NoiseModel::ionq_like>(),
    static_method<kUniform, &NoiseModel::uniform>(),
    static_method<kFromHardware, &NoiseModel::from_hardware>(),
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
    docstring<kNew, Form::Class>(),
    slots,
};

}  // namespace tesvi_python
