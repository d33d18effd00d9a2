// The kinetrope module: its docstring, the beat constant, then every class
// and function in registration order. Classes come before the callables whose
// signatures name them.
#include "bindings.hpp"

PYBIND11_MODULE(kinetrope, m, py::multiple_interpreters::not_supported()) {
    using namespace kinetrope::python;
    m.doc() = "Integer-pip rhythmic position functions";
    m.attr("PIPS_PER_BEAT") = kinetrope::PIPS_PER_BEAT;
    bind_sampled_recording(m);
    bind_offset3(m);
    bind_sampled_pattern(m);
    bind_pattern_library(m);
    bind_default_sampler(m);
    bind_catalogue(m);
    bind_pattern_functions(m);
}
