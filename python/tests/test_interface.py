# What editors and help() show: every public name of the module is in the
# stubs with the module's own parameters, and everything has a docstring.
import ast
import re
from pathlib import Path

STUBS = Path(__file__).resolve().parent.parent / "pulsebench.pyi"


def stub_definitions():
    tree = ast.parse(STUBS.read_text())
    return {node.name: node for node in tree.body if isinstance(node, (ast.FunctionDef, ast.ClassDef))}


def test_the_stubs_name_every_function_and_class_with_its_parameters(pb):
    stubs = stub_definitions()
    assert set(stubs) == {name for name in dir(pb) if not name.startswith("_")}
    for name, node in stubs.items():
        if isinstance(node, ast.FunctionDef):
            signature = getattr(pb, name).__doc__.splitlines()[0]
            parameters = re.findall(r"(\w+):", signature.split("->")[0])
            assert [a.arg for a in node.args.args + node.args.kwonlyargs] == parameters, name
            assert node.args.kwonlyargs == [] or "*" in signature, name


def test_every_function_class_and_property_has_a_docstring(pb):
    assert pb.__version__ and pb.__doc__
    for name in (n for n in dir(pb) if not n.startswith("_")):
        item = getattr(pb, name)
        assert item.__doc__ and len(item.__doc__.strip().splitlines()[-1]) > 10, name
        if isinstance(item, type):
            for attribute, value in vars(item).items():
                if isinstance(value, property):
                    assert value.__doc__, f"{name}.{attribute}"
