#include "bindings.hpp"

#include <array>

#include "kinetrope/sampled_pattern.hpp"

namespace kinetrope::python {

void bind_sampled_pattern(py::module_& m) {
    py::class_<SampledPattern>(m, "SampledPattern")
        .def(py::init([](std::string name, std::string description, std::vector<std::array<double, 3>> samples) {
                 std::vector<Offset3> points;
                 points.reserve(samples.size());
                 for (const std::array<double, 3>& point : samples) {
                     points.push_back({point[0], point[1], point[2]});
                 }
                 return SampledPattern(std::move(name), std::move(description), std::move(points));
             }),
             py::arg("name"), py::arg("description"), py::arg("samples"))
        .def_property_readonly("name", &SampledPattern::name)
        .def_property_readonly("description", &SampledPattern::description)
        .def_property_readonly("period_pips", &SampledPattern::period_pips)
        .def("sample", &SampledPattern::sample, py::arg("pip_count").noconvert());
}

}  // namespace kinetrope::python
