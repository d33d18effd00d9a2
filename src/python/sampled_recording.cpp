#include "bindings.hpp"

#include "kinetrope/sampled_recording.hpp"

namespace kinetrope::python {

void bind_sampled_recording(py::module_& m) {
    py::class_<SampledRecording>(m, "SampledRecording")
        .def(py::init([](std::string name, std::vector<std::string> dimensions,
                         std::vector<std::vector<double>> samples, double bpm, double beat_zero_seconds,
                         std::int32_t start_pip) {
                 return SampledRecording(std::move(name), std::move(dimensions), std::move(samples), bpm,
                                         beat_zero_seconds, start_pip);
             }),
             py::arg("name"), py::arg("dimensions"), py::arg("samples"), py::arg("bpm"),
             py::arg("beat_zero_seconds") = 0.0, py::arg("start_pip") = 0)
        .def_property_readonly("name", &SampledRecording::name)
        .def_property_readonly("dimensions", &SampledRecording::dimensions)
        .def_property_readonly("sample_count", &SampledRecording::sample_count)
        .def_property_readonly("bpm", &SampledRecording::bpm)
        .def_property_readonly("beat_zero_seconds", &SampledRecording::beat_zero_seconds)
        .def_property_readonly("start_pip", &SampledRecording::start_pip)
        .def("sample", &SampledRecording::sample, py::arg("pip").noconvert());
}

}  // namespace kinetrope::python
