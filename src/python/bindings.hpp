// Included first by every binding file, so that all of them see the same
// type casters: the containers of pybind11/stl.h, the lean Offset3 result and
// the zero-copy name view.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
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

// A bound instance of T whose __init__ has run. `T.__new__(T)` makes an
// instance with no value behind it; taking `self` (or an argument) as
// Initialised<T> refuses such an instance with a TypeError instead of
// reading memory that holds no T. It keeps a reference to the instance, so
// the value outlives whatever Python code runs before it is used.
template <typename T>
class Initialised {
public:
    Initialised() = default;
    Initialised(py::object owner, const T& value) : owner_(std::move(owner)), value_(&value) {}
    const T& operator*() const noexcept { return *value_; }
    const T* operator->() const noexcept { return value_; }

private:
    py::object owner_;
    const T* value_ = nullptr;
};

// A list argument converted like std::vector<T>, except that the room
// reserved up front is at most `Limit` elements, whatever __len__ claims:
// the elements the object actually yields decide the outcome.
template <typename T, std::size_t Limit>
struct BoundedList {
    std::vector<T> items;
};

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
// that a str caches in itself, or the buffer of a bytes. Both are immutable
// and the call holds a reference to them. A bytearray is copied. A str that
// cannot be encoded does not convert.
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
            // A bytearray can be resized by Python code that runs while later
            // arguments convert (an __index__, another thread), so its bytes
            // are copied rather than viewed.
            owned_.assign(PyByteArray_AS_STRING(obj), static_cast<std::size_t>(PyByteArray_GET_SIZE(obj)));
            value = owned_;
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

private:
    std::string owned_;
};

// A list argument as the std::vector conversion takes it: any sequence but
// str and bytes as it is, and, when converting, a generator, set, dict view,
// map or zip exhausted into a tuple first. False when it is none of these.
inline bool as_list_argument(handle src, bool convert, object& out) {
    if (!object_is_convertible_to_std_vector(src)) {
        return false;
    }
    if (isinstance<sequence>(src)) {
        out = reinterpret_borrow<object>(src);
        return true;
    }
    if (!convert) {
        return false;
    }
    out = tuple(reinterpret_borrow<iterable>(src));
    return true;
}

template <typename T>
class type_caster<kinetrope::python::Initialised<T>> {
public:
    PYBIND11_TYPE_CASTER(kinetrope::python::Initialised<T>, make_caster<T>::name);

    bool load(handle src, bool) {
        // The object's own type decides, as in pybind11's casters: isinstance
        // believes a __class__ that an object (a mock, say) claims, and the
        // memory of anything else is not laid out as a bound instance.
        const type_info* info = get_type_info(typeid(T));
        if (info == nullptr || PyType_IsSubtype(Py_TYPE(src.ptr()), info->type) == 0) {
            return false;
        }
        auto* inst = reinterpret_cast<instance*>(src.ptr());
        value_and_holder v_h = inst->get_value_and_holder(info);
        if (!v_h || !v_h.holder_constructed()) {
            throw type_error(get_fully_qualified_tp_name(Py_TYPE(src.ptr())) +
                             " object is not initialised: its __init__ was never called");
        }
        value = kinetrope::python::Initialised<T>(reinterpret_borrow<object>(src), *v_h.template value_ptr<T>());
        return true;
    }
};

template <typename T, std::size_t Limit>
class type_caster<kinetrope::python::BoundedList<T, Limit>> {
    using List = kinetrope::python::BoundedList<T, Limit>;
    using element_caster = make_caster<T>;

public:
    PYBIND11_TYPE_CASTER(List, make_caster<std::vector<T>>::name);

    bool load(handle src, bool convert) {
        object items;
        if (!as_list_argument(src, convert, items)) {
            return false;
        }
        value.items.clear();
        value.items.reserve(std::min(reinterpret_borrow<sequence>(items).size(), Limit));
        for (const handle item : items) {
            element_caster element;
            if (!element.load(item, convert)) {
                return false;
            }
            value.items.push_back(cast_op<T&&>(std::move(element)));
        }
        return true;
    }
};

}  // namespace pybind11::detail
