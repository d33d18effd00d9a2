#include "bindings.hpp"

#include <array>

#include "kinetrope/sampled_pattern.hpp"

namespace kinetrope::python {

void bind_sampled_pattern(py::module_& m) {
    using Self = Initialised<SampledPattern>;
    using Points = BoundedList<std::array<double, 3>, MAX_PATTERN_SAMPLES>;
    py::class_<SampledPattern>(m, "SampledPattern")
        .def(py::init([](std::string name, std::string description, Points samples) {
                 std::vector<Offset3> points;
                 points.reserve(samples.items.size());
                 for (const std::array<double, 3>& point : samples.items) {
                     points.push_back({point[0], point[1], point[2]});
                 }
                 return SampledPattern(std::move(name), std::move(description), std::move(points));
             }),
             py::arg("name"), py::arg("description"), py::arg("samples"))
        .def_property_readonly("name", [](Self self) -> const std::string& { return self->name(); })
        .def_property_readonly("description",
                               [](Self self) -> const std::string& { return self->description(); })
        .def_property_readonly("period_pips", [](Self self) { return self->period_pips(); })
        .def("sample", [](Self self, std::int32_t pip_count) { return self->sample(pip_count); },
             py::arg("pip_count").noconvert());
}

}  // namespace kinetrope::python
