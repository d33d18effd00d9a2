"""The typed stubs against the built module: stubtest, mypy --strict on typed use, and every signature."""

import ast
import pathlib
import subprocess
import sys

import pytest

import kinetrope

ROOT = pathlib.Path(__file__).parents[2]
STUB = ROOT / "src" / "python" / "kinetrope.pyi"
TYPING = ROOT / "tests" / "typing"
MYPY_CACHE = ROOT / "build" / "mypy-cache"


def run(*args):
    return subprocess.run([sys.executable, *args], capture_output=True, text=True, cwd=ROOT, timeout=600)


def test_stubtest_finds_the_stubs_consistent_with_the_module():
    done = run("-m", "mypy.stubtest", "kinetrope", "--allowlist", str(TYPING / "stubtest_allowlist.txt"),
               "--mypy-config-file", str(TYPING / "mypy.ini"))
    assert done.returncode == 0, done.stdout + done.stderr


def test_typed_use_passes_mypy_strict():
    done = run("-m", "mypy", "--strict", "--cache-dir", str(MYPY_CACHE), str(TYPING / "usage.py"),
               str(ROOT / "src" / "kinetrope_tools"))
    assert done.returncode == 0, done.stdout + done.stderr


def test_the_installed_stubs_are_the_source():
    module = pathlib.Path(kinetrope.__file__)
    for installed in (module.with_name("kinetrope.pyi"), module.with_name("kinetrope-stubs") / "__init__.pyi"):
        assert installed.read_bytes() == STUB.read_bytes()


def split_top_level(text):
    """Splits at commas outside brackets and quotes."""
    parts, depth, quote, current = [], 0, None, ""
    for char in text:
        if quote:
            quote = None if char == quote else quote
        elif char in "\"'":
            quote = char
        elif char in "([":
            depth += 1
        elif char in ")]":
            depth -= 1
        elif char == "," and depth == 0:
            parts.append(current.strip())
            current = ""
            continue
        current += char
    return [p for p in parts + [current.strip()] if p]


def runtime_parameters(function):
    """(name, default) of each parameter, from the signature line the binding library writes."""
    line = function.__doc__.splitlines()[0]
    inside = line[line.index("(") + 1 : line.rindex(") ->")]
    parameters = []
    for part in split_top_level(inside):
        name = part.split(":")[0].strip()
        default = part.split(" = ", 1)[1] if " = " in part else None
        if name != "self":
            parameters.append((name, default))
    return parameters


def stub_parameters(node):
    arguments = node.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [None] * (len(positional) - len(arguments.defaults)) + [ast.unparse(d) for d in arguments.defaults]
    parameters = []
    for index, (argument, default) in enumerate(zip(positional, defaults)):
        if argument.arg == "self":
            continue
        # The binding library calls a positional-only parameter arg0, arg1, ...
        name = f"arg{index}" if argument in arguments.posonlyargs else argument.arg
        parameters.append((name, default))
    return parameters


def stub_callables():
    tree = ast.parse(STUB.read_text())
    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            yield node.name, getattr(kinetrope, node.name), node
        elif isinstance(node, ast.ClassDef):
            for member in node.body:
                if isinstance(member, ast.FunctionDef) and not any(
                    isinstance(d, ast.Name) and d.id == "property" for d in member.decorator_list
                ):
                    yield f"{node.name}.{member.name}", getattr(getattr(kinetrope, node.name), member.name), member


CALLABLES = list(stub_callables())


@pytest.mark.parametrize(("function", "node"), [(f, n) for _, f, n in CALLABLES], ids=[c[0] for c in CALLABLES])
def test_stub_signatures_match_the_module(function, node):
    if function.__doc__ is None:
        # A plain C method (Offset3.as_tuple) writes no signature: it takes no argument.
        assert stub_parameters(node) == []
        with pytest.raises(TypeError):
            function(kinetrope.bounce(0), 1)
        return
    assert stub_parameters(node) == runtime_parameters(function)


def test_every_public_name_has_a_documented_stub():
    tree = ast.parse(STUB.read_text())
    documented = {}
    for position, node in enumerate(tree.body):
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            documented[node.name] = ast.get_docstring(node)
            if isinstance(node, ast.ClassDef):
                for member in node.body:
                    if isinstance(member, ast.FunctionDef):
                        documented[f"{node.name}.{member.name}"] = ast.get_docstring(member)
        elif isinstance(node, ast.AnnAssign):
            following = tree.body[position + 1]
            documented[node.target.id] = following.value.value if isinstance(following, ast.Expr) else None
    public = {name for name in dir(kinetrope) if not name.startswith("_")}
    assert public <= documented.keys()
    assert [name for name, text in documented.items() if not text and not name.startswith("_")] == []
