"""What the module tests share: the member descriptions of the tests and the
examples, built in-process, and the tables of cases kept in TOML beside the
tests (a number is the value expected, a text the error's message)."""

import glob
import os
import tomllib
import unittest

from pourheat.new.describe import read_description
from pourheat.new.model import build
from pourheat.new.write import project
from pourheat.project import project_text

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
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


def cases(table):
    with open(os.path.join(HERE, "cases.toml"), "rb") as f:
        return tomllib.load(f)[table]


class Cases(unittest.TestCase):
    def expect(self, call, expected, error, what):
        """The value of call() is the number expected; or call() raises
        `error` with the message expected."""
        if not isinstance(expected, str):
            self.assertAlmostEqual(call(), expected, msg=what)
            return
        with self.assertRaises(error, msg=what) as caught:
            call()
        self.assertEqual(str(caught.exception), expected)
