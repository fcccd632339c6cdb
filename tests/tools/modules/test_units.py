"""Limits with their unit, values of a member description in their units,
and the text of times and temperatures."""

import argparse
import unittest

from pourheat import units


class Units(unittest.TestCase):
    def test_limits(self):
        for text, difference, fahrenheit in (("70C", False, 158.0), ("158F", False, 158.0), ("-40 C", False, -40.0),
                                             ("70°C", False, 158.0), ("20C", True, 36.0), ("36f", True, 36.0)):
            self.assertAlmostEqual(units.parse_temperature(text, difference), fahrenheit, msg=text)
        for text, error in (("70", "'70' has no unit: write 70C or 70F"),
                            (" -4.5", "' -4.5' has no unit: write -4.5C or -4.5F"),
                            ("70K", "'70K' is not a temperature with its unit, such as 70C or 158F")):
            with self.assertRaises(argparse.ArgumentTypeError) as caught:
                units.parse_temperature(text)
            self.assertEqual(str(caught.exception), error)

    def test_quantities(self):
        for value, kind, expected in (("3 m", "length", 3.0), ("25 mm", "length", 0.025), ("2ft", "length", 0.6096),
                                      ("50 F", "temperature", 10.0), ("300 K", "temperature", 26.85),
                                      ("-5 °C", "temperature", -5.0), ("0.04 W/(m·K)", "conductivity", 0.04),
                                      ("1.4 kJ/(kg K)", "specific_heat", 1400.0), ("1.2e3 kg/m³", "density", 1200.0),
                                      ("36 hours", "days", 1.5), ("2 days", "time", 48.0), ("9 F", "difference", 5.0),
                                      (12, "hour", 12.0), ("0.5", "number", 0.5)):
            self.assertAlmostEqual(units.quantity(value, kind), expected, msg=value)
        for value, kind, error in (("3 parsecs", "length", "cannot read the unit 'parsecs' (it is in m; known: "
                                                           "cm, ft, in, m, mm)"),
                                   ("3 X", "temperature", "cannot read the unit 'X' (temperatures: C, F, K)"),
                                   (True, "length", "True is not a number"),
                                   ("m 3", "length", "cannot read 'm 3' as a number with a unit"),
                                   ("5 m", "number", "'5 m' should be a plain number, without a unit"),
                                   (float("inf"), "length", "inf is not a finite number")):
            with self.assertRaises(units.QuantityError) as caught:
                units.quantity(value, kind)
            self.assertEqual(str(caught.exception), error)

    def test_text(self):
        self.assertEqual([units.hours(t) for t in (5.0, 40.5, 12.25, 23.944, -0.001)],
                         ["5", "40.5", "12.25", "23.94", "0"])
        self.assertEqual([units.temp(20.0), units.temp(19.44, True), units.fmt_both(36.0, True)],
                         ["20.0 C (68.0 F)", "19.4 C (35.0 F)", "36.0 °F (20.0 °C)"])


if __name__ == "__main__":
    unittest.main()
