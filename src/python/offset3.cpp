#include "bindings.hpp"

namespace kinetrope::python {
namespace {

struct Offset3Object {
    PyObject_HEAD
    Offset3 value;
};

PyObject* refuse_construction(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "kinetrope.Offset3: No constructor defined!");
    return nullptr;
}

void dealloc_offset3(PyObject* self) { PyObject_Free(self); }

PyObject* as_tuple(PyObject* self, PyObject*) {
    const Offset3& v = reinterpret_cast<Offset3Object*>(self)->value;
    return Py_BuildValue("(ddd)", v.x, v.y, v.z);
}

PyMemberDef offset3_members[] = {
    {"x", Py_T_DOUBLE, offsetof(Offset3Object, value.x), Py_READONLY, nullptr},
    {"y", Py_T_DOUBLE, offsetof(Offset3Object, value.y), Py_READONLY, nullptr},
    {"z", Py_T_DOUBLE, offsetof(Offset3Object, value.z), Py_READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyMethodDef as_tuple_method = {"as_tuple", &as_tuple, METH_NOARGS, nullptr};

// A static type: its instances hold the three doubles inline, carry no
// instance dictionary and need no reference to the type counted.
PyTypeObject offset3_type = [] {
    PyTypeObject type{};
    type.ob_base.ob_base.ob_refcnt = 1;  // as PyVarObject_HEAD_INIT would set it
    type.tp_name = "kinetrope.Offset3";
    type.tp_basicsize = sizeof(Offset3Object);
    type.tp_dealloc = &dealloc_offset3;
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
    type.tp_members = offset3_members;
    type.tp_new = &refuse_construction;
    return type;
}();

}  // namespace

PyObject* new_offset3(const Offset3& value) noexcept {
    Offset3Object* self = PyObject_New(Offset3Object, &offset3_type);
    if (self != nullptr) {
        self->value = value;
    }
    return reinterpret_cast<PyObject*>(self);
}

void bind_offset3(py::module_& m) {
    if (PyType_Ready(&offset3_type) < 0) {
        throw py::error_already_set();
    }
    // as_tuple is added after the members so that the class lists x, y, z,
    // as_tuple in that order.
    py::object method = py::reinterpret_steal<py::object>(PyDescr_NewMethod(&offset3_type, &as_tuple_method));
    if (!method || PyDict_SetItemString(offset3_type.tp_dict, "as_tuple", method.ptr()) < 0) {
        throw py::error_already_set();
    }
    PyType_Modified(&offset3_type);
    m.add_object("Offset3", py::handle(reinterpret_cast<PyObject*>(&offset3_type)));
}

}  // namespace kinetrope::python
