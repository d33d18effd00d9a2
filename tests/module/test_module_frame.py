"""The module's face: docstring, registration order, argument conversion of
pips and names, and the version check when loading into another interpreter."""

import decimal
import os
import pathlib
import subprocess
import sys

import pytest

import kinetrope
from number_like import WithIndex, WithIntOnly

PATTERN_FUNCTIONS = [
    "bounce", "sway", "circle", "figure_eight", "step_touch", "box_step", "helix",
    "ochre_background", "single_stroke_roll", "double_stroke_roll", "multiple_bounce_roll",
    "single_paradiddle", "flam", "drag", "five_stroke_roll",
]


def test_docstring_and_beat_constant():
    assert kinetrope.__doc__ == "Integer-pip rhythmic position functions"
    assert type(kinetrope.PIPS_PER_BEAT) is int and kinetrope.PIPS_PER_BEAT == 64


def test_registration_order():
    public = [name for name in vars(kinetrope) if not name.startswith("__")]
    assert public == [
        "PIPS_PER_BEAT", "SampledRecording", "Offset3", "SampledPattern", "PatternLibrary",
        "sample", "catalogue", *PATTERN_FUNCTIONS,
    ]


def test_pattern_functions_follow_the_catalogue_order():
    assert [e["name"] for e in kinetrope.catalogue()[:15]] == PATTERN_FUNCTIONS


@pytest.mark.parametrize("name", PATTERN_FUNCTIONS)
def test_signatures_name_the_python_class(name):
    doc = getattr(kinetrope, name).__doc__
    assert doc.startswith(f"{name}(arg0: typing.SupportsInt | typing.SupportsIndex")
    assert "-> kinetrope.Offset3" in doc


# Every way a converting pip is given: (argument, accepted pip or None when refused).
CONVERTING_PIPS = [
    pytest.param(5, 5, id="int"),
    pytest.param(True, 1, id="bool"),
    pytest.param(WithIndex(5), 5, id="__index__"),
    pytest.param(WithIntOnly(5), 5, id="__int__ only"),
    pytest.param(decimal.Decimal(5), 5, id="Decimal"),
    pytest.param(2**31 - 1, 2**31 - 1, id="largest pip"),
    pytest.param(-(2**31), -(2**31), id="smallest pip"),
    pytest.param(2.0, None, id="integral float"),
    pytest.param(2**31, None, id="one past the largest"),
    pytest.param(-(2**31) - 1, None, id="one below the smallest"),
    pytest.param("5", None, id="str"),
    pytest.param(None, None, id="None"),
]


@pytest.mark.parametrize("argument, pip", CONVERTING_PIPS)
def test_converting_pip_of_the_pattern_functions(argument, pip):
    if pip is None:
        with pytest.raises(TypeError, match=r"^bounce\(\): incompatible function arguments"):
            kinetrope.bounce(argument)
    else:
        assert kinetrope.bounce(argument).as_tuple() == kinetrope.bounce(pip).as_tuple()


@pytest.mark.parametrize("argument, pip", CONVERTING_PIPS)
def test_converting_pip_of_sample(argument, pip):
    if pip is None:
        with pytest.raises(TypeError, match=r"^sample\(\): incompatible function arguments"):
            kinetrope.sample("sway", argument)
    else:
        assert kinetrope.sample("sway", argument).as_tuple() == kinetrope.sway(pip).as_tuple()


@pytest.mark.parametrize("name", PATTERN_FUNCTIONS)
def test_pattern_functions_take_their_pip_by_position_only(name):
    function = getattr(kinetrope, name)
    for keyword in ("pip", "pip_count", "arg0"):
        with pytest.raises(TypeError):
            function(**{keyword: 1})
    with pytest.raises(TypeError):
        function()
    with pytest.raises(TypeError):
        function(1, 2)


def test_sample_keywords():
    assert kinetrope.sample(name="sway", pip_count=-1).as_tuple() == kinetrope.sway(127).as_tuple()
    with pytest.raises(TypeError):
        kinetrope.sample("sway", pip=1)
    with pytest.raises(TypeError):
        kinetrope.sample("sway", 1, pip_count=1)
    with pytest.raises(TypeError):
        kinetrope.sample("sway")


@pytest.mark.parametrize(
    "name",
    [b"sway", bytearray(b"sway"), "sway"],
    ids=["bytes", "bytearray", "str"],
)
def test_names_as_text_or_bytes(name):
    assert kinetrope.sample(name, 32).as_tuple() == (1.0, 0.0, 0.0)


@pytest.mark.parametrize("name", [None, 5, ["sway"], memoryview(b"sway")], ids=repr)
def test_names_of_other_types_fail_conversion(name):
    with pytest.raises(TypeError):
        kinetrope.sample(name, 0)


def test_a_str_that_cannot_be_encoded_fails_conversion():
    with pytest.raises(TypeError):
        kinetrope.sample("sway\ud800", 0)


def test_an_embedded_nul_makes_a_different_name():
    # The exception text travels as a C string, so the message ends at the NUL.
    with pytest.raises(ValueError, match=r"^Unknown dance rudiment: sway$"):
        kinetrope.sample("sway\0", 0)


def test_the_module_object_is_cached_per_interpreter():
    loaded = sys.modules.pop("kinetrope")
    try:
        import kinetrope as again

        assert again is loaded
    finally:
        sys.modules["kinetrope"] = loaded


# Loading the 3.12 build into another interpreter. The loader is asked for lazy
# symbol binding so that the module's entry point itself runs: with immediate
# binding a newer interpreter may refuse the file earlier, over a symbol that
# only 3.12 exports.
LOAD_ELSEWHERE = """
import importlib.util, os, sys
sys.setdlopenflags(os.RTLD_LAZY)
spec = importlib.util.spec_from_file_location("kinetrope", sys.argv[1])
try:
    importlib.util.module_from_spec(spec)
except ImportError as error:
    print(error)
else:
    print("loaded")
"""


def other_interpreters():
    root = pathlib.Path(os.environ.get("PYENV_ROOT", pathlib.Path.home() / ".pyenv")) / "versions"
    found = []
    for minor in ("3.11", "3.13"):
        candidates = sorted(root.glob(f"{minor}.*/bin/python{minor}"))
        found.append(pytest.param(candidates[-1] if candidates else None, id=minor))
    return found


@pytest.mark.parametrize("python", other_interpreters())
def test_other_interpreter_versions_are_refused(python):
    if python is None:
        pytest.skip("interpreter not installed")
    result = subprocess.run(
        [str(python), "-c", LOAD_ELSEWHERE, kinetrope.__file__],
        capture_output=True, text=True, check=True,
    )
    version = subprocess.run(
        [str(python), "-c", "import sys; print(sys.version)"], capture_output=True, text=True, check=True
    ).stdout.strip()
    assert result.stdout.strip() == (
        "Python version mismatch: module was compiled for Python 3.12, "
        f"but the interpreter version is incompatible: {version}."
    )
