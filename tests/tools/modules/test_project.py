"""The project file: the few values the pictures read, the lines that stop
them (cases.toml), the reader and the writer agreeing on every member, and
the [Physics] block that a description gives (cases.toml)."""

import copy
import os
import tempfile
import tomllib
import unittest

from support import DATA, MEMBERS, SOURCE, built, cases, name
from pourheat.new.describe import read_description
from pourheat.new.model import build
from pourheat.new.write import project
from pourheat.charts import concrete_cells
from pourheat.described import material_grid
from pourheat.project import ProjectError, project_text, read_grid, read_project


class ProjectFile(unittest.TestCase):
    def test_grid(self):
        # Keys searched forward; a text value is the rest of the line.
        self.assertEqual(read_grid(os.path.join(SOURCE, "docs", "examples", "block", "block.prj")),
                         {"nx": 8, "ny": 8, "nz": 10, "dx": 0.2, "dy": 0.2, "dz": 0.2, "output": "block.out"})
        with tempfile.NamedTemporaryFile("w", suffix=".prj") as f:
            for text, error in cases("grid"):
                f.seek(0), f.truncate(), f.write(text), f.flush()
                with self.assertRaises(ProjectError) as caught:
                    read_grid(f.name)
                self.assertEqual(str(caught.exception), f"{f.name}: {error}")

    def test_concrete_cells(self):
        for folder, count, box in cases("concrete_cells"):
            path = os.path.join(DATA, "written", folder, folder + ".prj")
            m = read_project(path)
            cells = concrete_cells(m, material_grid(path, m))
            self.assertEqual([len(cells), [[min(c[a] for c in cells), max(c[a] for c in cells)] for a in range(3)]],
                             [count, box], folder)

    def test_round_trip(self):
        # What the reader takes back, written again, is the same text.
        with tempfile.TemporaryDirectory() as work:
            for member in MEMBERS:
                _, _, p, text = built(member)
                path = os.path.join(work, name(member) + ".prj")
                with open(path, "w") as f:
                    f.write(text)
                back = read_project(path)
                back.update(head=p["head"], sections=p["sections"])  # not read
                self.assertEqual(project_text(back), text, member)

    def test_physics(self):
        # The block's lines from the description, the last of the file.
        with open(os.path.join(DATA, "members", "footing-sound.toml"), "rb") as f:
            base = tomllib.load(f)
        for case in cases("physics"):
            data = copy.deepcopy(base)
            for table, keys in case["replace"].items():
                data[table] = {**data.get(table, {}), **keys} if keys else {}
            d = read_description(data, DATA)
            p = project(d, build(d), "m", "m.toml")
            lines = [f"{k}={v}" for k, v in p.get("physics", [])]
            self.assertEqual([s for s in lines if not s.startswith(("point=", "section="))], case["lines"], case)
            tail = "\n".join(["[Physics]", *lines, "[End Physics]"]) + "\n"
            self.assertEqual(project_text(p).endswith(tail), bool(case["lines"]), case)


if __name__ == "__main__":
    unittest.main()
