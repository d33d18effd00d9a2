#include "bindings.hpp"

#include "kinetrope/sampled_recording.hpp"

namespace pybind11::detail {

// The rows argument is converted straight into one flat array of doubles,
// reserved once from the first row's length, instead of one vector per row:
// the recording then adopts that array. It accepts exactly what the
// conversion of a list of lists of doubles accepts, element by element, and
// shows the same signature.
template <>
class type_caster<kinetrope::FlatRows> {
    using nested_caster = make_caster<std::vector<std::vector<double>>>;

public:
    PYBIND11_TYPE_CASTER(kinetrope::FlatRows, nested_caster::name);

    bool load(handle src, bool convert) {
        object rows;
        if (!as_list_argument(src, convert, rows)) {
            return false;
        }
        const std::size_t count = reinterpret_borrow<sequence>(rows).size();
        kinetrope::FlatRows flat;
        std::size_t index = 0;
        for (const handle item : rows) {
            object row;
            if (!as_list_argument(item, convert, row)) {
                return false;
            }
            // A row is as long as what it yields; its __len__ only sizes the
            // first reservation.
            const std::size_t row_start = flat.values.size();
            if (index == 0) {
                const std::size_t claimed = reinterpret_borrow<sequence>(row).size();
                // More than the limit is refused later whatever the lengths;
                // past it the array just grows.
                const std::size_t limit = kinetrope::MAX_RECORDING_VALUES;
                flat.values.reserve(claimed != 0 && count > limit / claimed ? limit : count * claimed);
            }
            for (const handle element : row) {
                make_caster<double> number;
                if (!number.load(element, convert)) {
                    return false;
                }
                flat.values.push_back(cast_op<double>(number));
            }
            const std::size_t length = flat.values.size() - row_start;
            if (index == 0) {
                flat.row_length = length;
            }
            if (length == flat.row_length && flat.leading_rows == index) {
                ++flat.leading_rows;
            }
            ++index;
        }
        flat.row_count = index;
        value = std::move(flat);
        return true;
    }

};

}  // namespace pybind11::detail

namespace kinetrope::python {

void bind_sampled_recording(py::module_& m) {
    using Self = Initialised<SampledRecording>;
    using Axes = BoundedList<std::string, MAX_RECORDING_VALUES>;
    py::class_<SampledRecording>(m, "SampledRecording")
        .def(py::init([](std::string name, Axes dimensions, FlatRows samples, double bpm, double beat_zero_seconds,
                         std::int32_t start_pip) {
                 return SampledRecording(std::move(name), std::move(dimensions.items), std::move(samples), bpm,
                                         beat_zero_seconds, start_pip);
             }),
             py::arg("name"), py::arg("dimensions"), py::arg("samples"), py::arg("bpm"),
             py::arg("beat_zero_seconds") = 0.0, py::arg("start_pip") = 0)
        .def_property_readonly("name", [](Self self) -> const std::string& { return self->name(); })
        .def_property_readonly("dimensions",
                               [](Self self) -> const std::vector<std::string>& { return self->dimensions(); })
        .def_property_readonly("sample_count", [](Self self) { return self->sample_count(); })
        .def_property_readonly("bpm", [](Self self) { return self->bpm(); })
        .def_property_readonly("beat_zero_seconds", [](Self self) { return self->beat_zero_seconds(); })
        .def_property_readonly("start_pip", [](Self self) { return self->start_pip(); })
        .def("sample", [](Self self, std::int32_t pip) { return self->sample(pip); }, py::arg("pip").noconvert());
}

}  // namespace kinetrope::python
