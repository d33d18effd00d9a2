#include "bindings.hpp"

#include "kinetrope/default_sampler.hpp"

namespace kinetrope::python {

void bind_default_sampler(py::module_& m) {
    m.def("sample", &kinetrope::sample, py::arg("name"), py::arg("pip_count"));
}

}  // namespace kinetrope::python
