#include "bindings.hpp"

#include "kinetrope/pattern_library.hpp"

namespace kinetrope::python {

void bind_pattern_library(py::module_& m) {
    // The list conversion copies every SampledPattern out of its Python
    // object, so the caller's patterns are never moved from.
    py::class_<PatternLibrary>(m, "PatternLibrary")
        .def(py::init([](std::vector<SampledPattern> patterns) { return PatternLibrary(std::move(patterns)); }),
             py::arg("patterns") = py::list())
        .def("sample", &PatternLibrary::sample, py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue", [](const PatternLibrary& library) { return catalogue_list(library.catalogue()); });
}

}  // namespace kinetrope::python
