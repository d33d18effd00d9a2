// Included first by every binding file, so that all of them see the same
// type casters: the containers of pybind11/stl.h, the lean Offset3 result and
// the zero-copy name view.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string_view>
#include <vector>

#include "kinetrope/pattern_info.hpp"
#include "kinetrope/time.hpp"

namespace py = pybind11;

namespace kinetrope::python {

// A new kinetrope.Offset3 holding a copy of the value (a new reference), or
// nullptr with a Python error set.
PyObject* new_offset3(const Offset3& value) noexcept;

// The catalogue-list conversion: a new list of new dicts with the keys
// "name", "description", "period_pips", "dimensions", in that order.
py::list catalogue_list(const std::vector<PatternInfo>& entries);

void bind_sampled_recording(py::module_& m);
void bind_offset3(py::module_& m);
void bind_sampled_pattern(py::module_& m);
void bind_pattern_library(py::module_& m);
void bind_default_sampler(py::module_& m);
void bind_catalogue(py::module_& m);
void bind_pattern_functions(py::module_& m);

}  // namespace kinetrope::python

namespace pybind11::detail {

// Offset3 results become instances of a small C-level type that holds the
// three doubles inline: no holder allocation and no instance registry. The
// type is never accepted as an argument.
template <>
class type_caster<kinetrope::Offset3> {
public:
    PYBIND11_TYPE_CASTER(kinetrope::Offset3, const_name("kinetrope.Offset3"));

    bool load(handle, bool) { return false; }

    static handle cast(const kinetrope::Offset3& src, return_value_policy, handle) {
        return kinetrope::python::new_offset3(src);
    }
};

// Names are viewed in place for the duration of the call: the UTF-8 form
// that a str caches in itself, or the buffer of a bytes or bytearray. No
// temporary is kept alive. A str that cannot be encoded does not convert.
template <>
class type_caster<std::string_view> {
public:
    PYBIND11_TYPE_CASTER(std::string_view, const_name("str"));

    bool load(handle src, bool) {
        PyObject* obj = src.ptr();
        if (PyUnicode_Check(obj)) {
            Py_ssize_t size = 0;
            const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
            if (data == nullptr) {
                PyErr_Clear();
                return false;
            }
            value = std::string_view(data, static_cast<std::size_t>(size));
            return true;
        }
        if (PyBytes_Check(obj)) {
            value = std::string_view(PyBytes_AS_STRING(obj), static_cast<std::size_t>(PyBytes_GET_SIZE(obj)));
            return true;
        }
        if (PyByteArray_Check(obj)) {
            value = std::string_view(PyByteArray_AS_STRING(obj),
                                     static_cast<std::size_t>(PyByteArray_GET_SIZE(obj)));
            return true;
        }
        return false;
    }

    static handle cast(std::string_view src, return_value_policy, handle) {
        PyObject* text = PyUnicode_DecodeUTF8(src.data(), static_cast<Py_ssize_t>(src.size()), nullptr);
        if (text == nullptr) {
            throw error_already_set();
        }
        return text;
    }
};

}  // namespace pybind11::detail
