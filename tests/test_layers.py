"""The companion package's layers: each imports only the ones below it, and no
module imports another in a circle, read from the source of every module."""

import ast
import pathlib

import pytest

PACKAGE = pathlib.Path(__file__).resolve().parents[1] / "src" / "kinetrope_tools"
# Lowest first: a module may import from its own layer and the ones before it.
LAYERS = ["base", "patterns", "clocks", "music", "stage", "pictures", "cli"]


def module_name(path):
    parts = list(path.relative_to(PACKAGE.parent).with_suffix("").parts)
    if parts[-1] == "__init__":
        parts.pop()
    return ".".join(parts)


def imports_of(path):
    """Every kinetrope_tools module that ``path`` imports, at the top or inside a function."""
    name = module_name(path)
    package = name if path.name == "__init__.py" else name.rpartition(".")[0]
    found = set()
    for node in ast.walk(ast.parse(path.read_text(), str(path))):
        if isinstance(node, ast.ImportFrom):
            if node.level:
                base = package.split(".")
                base = base[: len(base) - node.level + 1]
                target = ".".join(base + ([node.module] if node.module else []))
            else:
                target = node.module or ""
            if target.startswith("kinetrope_tools"):
                submodules = {f"{target}.{alias.name}" for alias in node.names} & MODULE_NAMES
                found.update(submodules)
                if len(submodules) < len(node.names):
                    found.add(target)
        elif isinstance(node, ast.Import):
            found.update(alias.name for alias in node.names if alias.name.startswith("kinetrope_tools"))
    return found


def layer_of(module):
    parts = module.split(".")
    return LAYERS.index(parts[1]) if len(parts) > 1 and parts[1] in LAYERS else None


MODULES = {module_name(path): path for path in sorted(PACKAGE.rglob("*.py"))}
MODULE_NAMES = set(MODULES)
# A module's own packages run before it whatever it imports: no edge to them.
GRAPH = {
    name: {m for m in imports_of(path) if m in MODULES and m != name and not name.startswith(m + ".")}
    for name, path in MODULES.items()
}


@pytest.mark.parametrize("name", sorted(n for n in MODULES if layer_of(n) is not None))
def test_a_layer_imports_only_the_layers_below(name):
    upward = sorted(m for m in GRAPH[name] if layer_of(m) is not None and layer_of(m) > layer_of(name))
    assert upward == []


def test_the_top_level_is_only_the_public_face():
    # Every module but the package's own __init__ lives in one of the layers.
    assert sorted(n for n in MODULES if n != "kinetrope_tools" and layer_of(n) is None) == []


def test_no_module_imports_another_in_a_circle():
    # A package's __init__ re-exports its modules; an edge from a module to
    # its own package's __init__ is followed like any other.
    state = {}
    cycles = []

    def visit(node, path):
        state[node] = "open"
        for target in sorted(GRAPH[node]):
            if state.get(target) == "open":
                cycles.append(path[path.index(target):] + [target])
            elif target not in state:
                visit(target, path + [target])
        state[node] = "done"

    for name in MODULES:
        if name not in state:
            visit(name, [name])
    assert cycles == []
