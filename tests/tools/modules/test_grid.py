"""Grid sizing: the cells along each axis of every member (expected.json);
the starting temperatures of the boundary materials; in the sound mode
covers folded into the film or as cells, and the presets' ages at the
reference temperature (cases.toml); in the model of each
member the concrete (material 1 and the lifts') through the core spans the asked
dimensions within half a cell (from a mirror face, counted from the
symmetry plane through the centre of cell 2); and the descriptions that
cannot be built, refused with the key and the reason, each before a cell
is made."""

import glob
import json
import os
import unittest

from support import DATA, MEMBERS, TESTED, cases, description, name
from pourheat.new.describe import age_factor
from pourheat.new.grid import cover_cells, folded_film
from pourheat.new.model import build, start_temperature
from pourheat.new.write import project
from pourheat.new.tables import DescriptionError


class Grid(unittest.TestCase):
    def test_cells(self):
        expected = json.load(open(os.path.join(DATA, "expected.json")))["cells"]
        for member in MEMBERS:
            d = description(member)
            model = build(d)
            label = name(member) if member in TESTED else "example-" + name(member)
            self.assertEqual([model[a].n for a in "xyz"], expected[label], label)
            # Boundary materials start at the nearest whole degree of their own temperature.
            starts = {b["material"]: b["initial"] for b in project(d, model, "m", "m.toml")["boundaries"]}
            own = {"air": d["air"]["points"][0][1], "soil": d.get("soil", {}).get("T")}
            for m, T in own.items():
                if m in model["number"]:
                    self.assertEqual(starts[model["number"][m]], start_temperature(T), f"{label}: {m}")
        for T, whole in cases("start_temperature"):
            self.assertEqual(start_temperature(T), whole, T)

    def test_dimensions(self):
        expected = json.load(open(os.path.join(DATA, "expected.json")))["dimensions"]
        for member in TESTED:
            model = build(description(member))
            imat = model["imat"]
            concrete = {n for m, n in model["number"].items() if m == "concrete" or m.startswith("lift")}
            i, j, k = (c - 1 for c in model["monitors"][0][1])  # the core
            for axis, length in expected[name(member)].items():
                line = {"x": imat[k][j], "y": [row[i] for row in imat[k]], "z": [layer[j][i] for layer in imat]}[axis]
                lo = hi = {"x": i, "y": j, "z": k}[axis]
                while lo > 0 and line[lo - 1] in concrete:
                    lo -= 1
                while hi + 1 < len(line) and line[hi + 1] in concrete:
                    hi += 1
                a = model[axis]
                got = (2 * (hi - lo) - 1 if a.mirror_lo and lo == 0 else hi - lo + 1) * a.d
                self.assertLessEqual(abs(got - length), a.d / 2 + 1e-6, f"{member}: {axis} {got} m")

    def test_refused(self):
        # The first line of each file: "# error: " and the start of the message.
        for bad in sorted(glob.glob(os.path.join(DATA, "bad", "*.toml"))):
            with open(bad) as f:
                message = f.readline().removeprefix("# error: ").strip()
            with self.assertRaises(DescriptionError, msg=bad) as caught:
                build(description(bad))
            self.assertTrue(str(caught.exception).startswith(message), f"{bad}: {caught.exception}")

    def test_sound(self):
        # Covers folded into the film or as cells; the presets' ages at the reference.
        for h, covers, film in cases("folded_film"):
            self.assertAlmostEqual(folded_film(h, covers), film, 6, covers)
        for t, d, in_air, n in cases("cover_cells"):
            self.assertEqual(cover_cells({"t": t}, d, in_air), n, (t, d, in_air))
        for E, reference, factor in cases("age_factor"):
            self.assertAlmostEqual(age_factor(E, reference), factor, 6, (E, reference))


if __name__ == "__main__":
    unittest.main()
