"""Limits with their unit, values of a member description in their units,
and the text of times and temperatures (cases.toml)."""

import argparse
import unittest

from support import Cases, cases
from pourheat import units


class Units(Cases):
    def test_limits(self):
        for text, difference, expected in cases("limit"):
            self.expect(lambda: units.parse_temperature(text, difference), expected, argparse.ArgumentTypeError, text)

    def test_quantities(self):
        for value, kind, expected in cases("quantity"):
            self.expect(lambda: units.quantity(value, kind), expected, units.QuantityError, value)

    def test_text(self):
        self.assertEqual([[t, units.hours(t)] for t, _ in cases("hours")], cases("hours"))
        self.assertEqual([[c, d, units.temp(c, d)] for c, d, _ in cases("temp")], cases("temp"))
        self.assertEqual([[s, k, v, units.Shown(s).text(k, v)] for s, k, v, _ in cases("shown")], cases("shown"))


if __name__ == "__main__":
    unittest.main()
