#include "bindings.hpp"

namespace kinetrope::python {

py::list catalogue_list(const std::vector<PatternInfo>& entries) {
    py::list list;
    const py::str name_key("name");
    const py::str description_key("description");
    const py::str period_key("period_pips");
    const py::str dimensions_key("dimensions");
    for (const PatternInfo& entry : entries) {
        py::dict row;
        // Descriptions are stored byte for byte; text that is not UTF-8
        // raises UnicodeDecodeError here.
        row[name_key] = py::cast(entry.name);
        row[description_key] = py::cast(entry.description);
        row[period_key] = py::int_(entry.period_pips);
        row[dimensions_key] = py::int_(entry.dimensions);
        list.append(std::move(row));
    }
    return list;
}

}  // namespace kinetrope::python
