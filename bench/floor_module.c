/* The floor for a call from Python: a C-API function that takes an int and
   returns a new instance of a tiny C-level type holding three doubles. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

typedef struct {
    PyObject_HEAD
    double x, y, z;
} Triple;

static PyTypeObject TripleType = {
    PyVarObject_HEAD_INIT(NULL, 0)
    .tp_name = "call_floor.Triple",
    .tp_basicsize = sizeof(Triple),
    .tp_flags = Py_TPFLAGS_DEFAULT,
};

static PyObject* triple_at(PyObject* self, PyObject* arg) {
    (void)self;
    long pip = PyLong_AsLong(arg);
    if (pip == -1 && PyErr_Occurred()) return NULL;
    Triple* t = PyObject_New(Triple, &TripleType);
    if (t == NULL) return NULL;
    t->x = (double)pip;
    t->y = 0.0;
    t->z = 0.0;
    return (PyObject*)t;
}

static PyMethodDef methods[] = {{"triple_at", triple_at, METH_O, NULL}, {NULL, NULL, 0, NULL}};
static struct PyModuleDef module = {PyModuleDef_HEAD_INIT, "call_floor", NULL, -1, methods};

PyMODINIT_FUNC PyInit_call_floor(void) {
    if (PyType_Ready(&TripleType) < 0) return NULL;
    return PyModule_Create(&module);
}
