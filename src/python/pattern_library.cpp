#include "bindings.hpp"

#include "kinetrope/pattern_library.hpp"

namespace kinetrope::python {

void bind_pattern_library(py::module_& m) {
    using Self = Initialised<PatternLibrary>;
    using Patterns = BoundedList<Initialised<SampledPattern>, MAX_LIBRARY_PATTERNS>;
    // Every SampledPattern is copied out of its Python object, so the
    // caller's patterns are never moved from.
    py::class_<PatternLibrary>(m, "PatternLibrary")
        .def(py::init([](const Patterns& given) {
                 std::vector<SampledPattern> patterns;
                 patterns.reserve(given.items.size());
                 for (const Initialised<SampledPattern>& pattern : given.items) {
                     patterns.push_back(*pattern);
                 }
                 return PatternLibrary(std::move(patterns));
             }),
             py::arg("patterns") = py::list())
        .def("sample",
             [](Self self, std::string_view name, std::int32_t pip_count) { return self->sample(name, pip_count); },
             py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue", [](Self self) { return catalogue_list(self->catalogue()); });
}

}  // namespace kinetrope::python
