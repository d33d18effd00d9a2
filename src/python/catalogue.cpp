#include "bindings.hpp"

#include "kinetrope/catalogue.hpp"

namespace kinetrope::python {

void bind_catalogue(py::module_& m) {
    m.def("catalogue", [] { return catalogue_list(default_catalogue()); });
}

}  // namespace kinetrope::python
