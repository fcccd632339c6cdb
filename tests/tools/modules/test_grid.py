"""Grid sizing: in the project file written for each member, read back as
the program reads it, the concrete spans the asked dimensions within half a
cell (from a mirror face, counted from the symmetry plane through the
centre of cell 2); and the descriptions that cannot be built, refused with
the key and the reason."""

import glob
import json
import os
import tempfile
import unittest

from members import DATA, TESTED, built, description, name
from pourheat.new.model import build
from pourheat.new.tables import DescriptionError
from pourheat.project import Cursor, read_project


def materials(path):
    """The material of every cell, [k][j][i] from 0, from the section maps."""
    p, c = read_project(path), Cursor(path)
    nx, ny = p["nx"], p["ny"]
    c.find("[Sectiongeometry]")
    maps = []
    for _ in range(p["sectionfiles"]):
        c.find("[section]")
        v = [int(x) for x in c.values(nx * ny)]
        maps.append([v[j * nx:(j + 1) * nx] for j in range(ny)])
    return p, [maps[s - 1] for s in p["layers"]]


class Grid(unittest.TestCase):
    def test_dimensions(self):
        expected = json.load(open(os.path.join(DATA, "expected.json")))["dimensions"]
        with tempfile.TemporaryDirectory() as work:
            for member in TESTED:
                _, model, _, text = built(member)
                path = os.path.join(work, "member.prj")
                with open(path, "w") as f:
                    f.write(text)
                p, imat = materials(path)
                i, j, k = (c - 1 for c in model["monitors"][0][1])  # the core
                for axis, length in expected[name(member)].items():
                    line = {"x": imat[k][j], "y": [row[i] for row in imat[k]],
                            "z": [layer[j][i] for layer in imat]}[axis]
                    at = lo = hi = {"x": i, "y": j, "z": k}[axis]
                    while lo > 0 and line[lo - 1] == 1:
                        lo -= 1
                    while hi + 1 < len(line) and line[hi + 1] == 1:
                        hi += 1
                    mirror = p["faces"][{"x": 0, "y": 3, "z": 4}[axis]] == "N" and lo == 0  # i = 1, j = 1, k = 1
                    d = p["d" + axis]
                    got = (2 * (hi - lo) - 1 if mirror else hi - lo + 1) * d
                    self.assertLessEqual(abs(got - length), d / 2 + 1e-6, f"{member} {axis} from {at}")

    def test_refused(self):
        # The first line of each file: "# error: " and the start of the message.
        for bad in sorted(glob.glob(os.path.join(DATA, "bad", "*.toml"))):
            with open(bad) as f:
                message = f.readline().removeprefix("# error: ").strip()
            with self.assertRaises(DescriptionError, msg=bad) as caught:
                build(description(bad))
            self.assertTrue(str(caught.exception).startswith(message), f"{bad}: {caught.exception}")


if __name__ == "__main__":
    unittest.main()
