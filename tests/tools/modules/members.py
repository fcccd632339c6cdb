"""The member descriptions of the tests and the examples, built in-process."""

import glob
import os
import tomllib

from pourheat.new.describe import read_description
from pourheat.new.model import build
from pourheat.new.write import project
from pourheat.project import project_text

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
DATA = os.path.join(SOURCE, "tests", "tools", "new")
TESTED = sorted(glob.glob(f"{DATA}/members/*.toml"))
MEMBERS = TESTED + sorted(glob.glob(f"{SOURCE}/examples/members/*.toml"))


def name(path):
    return os.path.splitext(os.path.basename(path))[0]


def description(path):
    with open(path, "rb") as f:
        return read_description(tomllib.load(f), os.path.dirname(path))


def built(path):
    """The description, the model, its project and the project file's text."""
    d = description(path)
    model = build(d)
    p = project(d, model, name(path), os.path.basename(path))
    return d, model, p, project_text(p)
