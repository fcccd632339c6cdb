"""Construction in time, named points, the weather file and --set, from the
cases of time.toml: each member of ../new/members built with keys set, its
[Physics] lines of one kind, its member.json by dotted path, or the error;
the weather header's fields and files read or refused."""

import copy
import json
import os
import tempfile
import tomllib
import unittest

from support import DATA, HERE
from pourheat.new.describe import read_description
from pourheat.new.member import member_json
from pourheat.new.model import build
from pourheat.new.tables import DescriptionError, override
from pourheat.new.weather import column, read_weather
from pourheat.new.write import project

with open(os.path.join(HERE, "time.toml"), "rb") as f:
    CASES = tomllib.load(f)
MEMBERS = {}


def at_path(data, path):
    for part in path.split("."):
        data = data[int(part)] if isinstance(data, list) else data[part]
    return data


class Time(unittest.TestCase):
    def test_built(self):
        for case in CASES["built"]:
            path = os.path.join(DATA, "members", case["member"] + ".toml")
            if path not in MEMBERS:
                with open(path, "rb") as f:
                    MEMBERS[path] = tomllib.load(f)
            data = copy.deepcopy(MEMBERS[path])
            try:
                for key, value in case.get("set", []):
                    override(data, key, value)
                d = read_description(data, os.path.dirname(path))
                model = build(d)
            except DescriptionError as e:
                self.assertTrue(str(e).startswith(case.get("error", "(none)")), f"{case}: {e}")
                continue
            self.assertNotIn("error", case, case)
            lines = [f"{k}={v}" for k, v in project(d, model, "m", "m.toml").get("physics", [])]
            if "prefix" in case:
                self.assertEqual([s for s in lines if s.startswith(case["prefix"])], case["lines"], case)
            written = json.loads(member_json(d, model))
            for key, value in case.get("json", {}).items():
                self.assertEqual(at_path(written, key), value, f"{case['member']} {key}")

    def test_weather(self):
        for field, kind, unit in CASES["weather"]["columns"]:
            self.assertEqual(column(field), (kind or None, unit or None), field)
        with tempfile.TemporaryDirectory() as work:
            for case in CASES["weather"]["file"]:
                with open(os.path.join(work, "w.csv"), "w", encoding="utf-8") as f:
                    f.write(case["text"])
                if "error" in case:
                    with self.assertRaises(DescriptionError, msg=case["text"]) as caught:
                        read_weather(work, "w.csv")
                    self.assertEqual(str(caught.exception), case["error"])
                    continue
                rows = read_weather(work, "w.csv")["rows"]
                self.assertEqual(len(rows), len(case["rows"]))
                for got, want in zip(rows, case["rows"]):
                    for g, w in zip(got, want, strict=True):
                        self.assertAlmostEqual(g, w, 9, case["text"])


if __name__ == "__main__":
    unittest.main()
