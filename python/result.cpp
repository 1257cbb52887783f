// The Python class QuantumResult: read-only views of one run's counts.
#include <cmath>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/format.hpp"
#include "python/binding/call.hpp"
#include "python/classes.hpp"

namespace tesvi_python {
namespace {

using tesvi::format_fixed;
using tesvi_quantum::result::QuantumResult;

constexpr Param kState[] = {required("state")};
constexpr Param kQubit[] = {required("qubit")};

constexpr Signature kProbability{"QuantumResult", "probability", kState,
                                 "Return the observed probability of a basis state."};
constexpr Signature kExpectationZ{
    "QuantumResult", "expectation_z", kQubit,
    "Return the expectation value of Z on the requested measured output bit."};
constexpr Signature kGetItem{"QuantumResult", "__getitem__", kState};
constexpr Signature kMostProbable{"QuantumResult", "most_probable",
                                  "Return the most probable observed state as `(state, count)`."};
constexpr Signature kHistogramData{"QuantumResult", "histogram_data",
                                   "Return histogram rows as `(state, count, probability)`."};
constexpr Signature kHistogram{"QuantumResult", "histogram",
                               "Print an ASCII histogram to standard output."};
constexpr Signature kReprHtml{"QuantumResult", "_repr_html_"};

std::vector<std::tuple<std::string_view, uint32_t, double>> histogram_data(const QuantumResult& r) {
    std::vector<std::tuple<std::string_view, uint32_t, double>> rows;
    for (const auto& row : r.histogram()) rows.emplace_back(row.key, row.count, row.fraction);
    return rows;
}

uint32_t count_of(const QuantumResult& r, std::string_view state) {
    const auto it = r.counts.find(state);
    return it == r.counts.end() ? 0 : it->second;
}

size_t outcomes(const QuantumResult& r) {
    return r.counts.size();
}

std::string repr(const QuantumResult& r) {
    return "QuantumResult(" + std::to_string(r.total_shots) + " shots, " +
           std::to_string(r.counts.size()) + " outcomes)";
}

std::string str_form(const QuantumResult& r) {
    std::string out = "QuantumResult (" + std::to_string(r.total_shots) + " shots):\n";
    for (const auto& row : r.histogram())
        out += "  |" + std::string(row.key) + "> : " + std::to_string(row.count) + " (" +
               format_fixed(row.fraction * 100.0, 1) + "%)\n";
    // The text is ASCII, so trimming ASCII white space trims all of it.
    return out.substr(0, out.find_last_not_of(" \t\n\v\f\r") + 1);
}

std::string html(const QuantumResult& r) {
    std::string rows;
    for (const auto& row : r.histogram()) {
        const double percent = row.fraction * 100.0;
        const double width = std::fmin(std::fmax(percent, 0.0), 100.0);
        rows += "<tr><td>|" + std::string(row.key) + "&gt;</td><td>" + std::to_string(row.count) +
                "</td><td>" + format_fixed(percent, 1) +
                "%</td><td><div style=\"background:#56D4DD;height:0.8rem;width:" +
                format_fixed(width, 1) + "%;min-width:0.5rem\"></div></td></tr>";
    }
    return "<div><strong>QuantumResult</strong><p>" + std::to_string(r.total_shots) +
           " shots</p><table><thead><tr><th>State</th><th>Count</th><th>Probability</th>"
           "<th>Histogram</th></tr></thead><tbody>" +
           rows + "</tbody></table></div>";
}

PyGetSetDef getters[] = {
    property<&QuantumResult::counts>("counts",
                                     "Mapping from measured basis state to observation count."),
    property<&QuantumResult::total_shots>("total_shots",
                                          "Total number of shots accumulated in this result."),
    {},
};

PyMethodDef methods[] = {
    method<kProbability, &QuantumResult::probability>(),
    method_noargs<kMostProbable, &QuantumResult::most_probable>(),
    method_noargs<kHistogramData, &histogram_data>(),
    method_noargs<kHistogram, &QuantumResult::print_histogram>(),
    method<kExpectationZ, &QuantumResult::expectation_z>(),
    method_noargs<kReprHtml, &html>(),
    {},
};

PyType_Slot slots[] = {
    {Py_tp_getset, getters},
    {Py_tp_methods, methods},
    subscript_slot<kGetItem, &count_of>(),
    length_slot<&outcomes>(),
    text_slot<Py_tp_repr, &repr>(),
    text_slot<Py_tp_str, &str_form>(),
    {0, nullptr},
};

}  // namespace

// No constructor slot: results come only from Simulator.run.
const ClassSpec Class<QuantumResult>::spec = {
    "tesvi.QuantumResult",
    "Measurement result collected from repeated circuit execution.",
    slots,
};

}  // namespace tesvi_python
