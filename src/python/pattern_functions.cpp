#include "bindings.hpp"

#include "kinetrope/analytic.hpp"

namespace kinetrope::python {

void bind_pattern_functions(py::module_& m) {
    // The pip is positional only: the parameters carry no keyword name.
    for (const AnalyticPattern& pattern : analytic_patterns) {
        m.def(std::string(pattern.info.name).c_str(), pattern.function);
    }
}

}  // namespace kinetrope::python
