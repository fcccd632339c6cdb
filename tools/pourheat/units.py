"""Units and quantities: degrees Celsius and Fahrenheit, a limit written
with its unit (70C, 158F), a value of a member description in any of its
units (3 m, 25 mm, 50 F), and the text of times and temperatures in the
tools' lines and labels."""

import argparse
import math
import re


def f2c(f):
    return (f - 32.0) / 1.8


def c2f(c):
    return c * 1.8 + 32.0


# ---------------------------------------------------------------- limits

NUMBER = r"[-+]?(?:\d+(?:\.\d*)?|\.\d+)"
WITH_UNIT = re.compile(rf"\s*({NUMBER})\s*°?\s*([cCfF])\s*")


def parse_with_unit(text):
    """A temperature or difference written with its unit, 70C, 158F (also
    70 C, 70°C): the value and the upper-case unit. A bare number is refused,
    since 160 could mean either unit, and so is one too large to be finite."""
    m = WITH_UNIT.fullmatch(text)
    if m and not math.isfinite(float(m.group(1))):
        raise argparse.ArgumentTypeError(f"'{text.strip()[:20]}...' is too large a temperature")
    if m:
        return float(m.group(1)), m.group(2).upper()
    if re.fullmatch(rf"\s*{NUMBER}\s*", text):
        raise argparse.ArgumentTypeError(f"'{text}' has no unit: write {text.strip()}C or {text.strip()}F")
    raise argparse.ArgumentTypeError(f"'{text}' is not a temperature with its unit, such as 70C or 158F")


def parse_temperature(text, difference=False):
    """A temperature with its unit, 70C or 158F; returned in degrees
    Fahrenheit. A difference converts by the factor 1.8 alone."""
    value, unit = parse_with_unit(text)
    if unit == "F":
        return value
    return value * 1.8 if difference else c2f(value)


def positive(kind):
    """An option's value of `kind` (int, float) that must be finite and above 0."""
    def read(text):
        try:
            value = kind(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"'{text}' is not a number")
        if not (math.isfinite(value) and value > 0):
            raise argparse.ArgumentTypeError(f"'{text}' is not above 0")
        return value
    return read


# ---------------------------------------------------------------- description values

# Per kind of value: its unit, and the factor of each unit that it may be
# written in. Temperatures convert by their own formulas.
UNITS = {
    "length": ("m", {"m": 1.0, "cm": 0.01, "mm": 0.001, "ft": 0.3048, "in": 0.0254}),
    "time": ("h", {"h": 1.0, "hr": 1.0, "hour": 1.0, "hours": 1.0, "min": 1 / 60,
                   "d": 24.0, "day": 24.0, "days": 24.0}),
    "days": ("d", {"d": 1.0, "day": 1.0, "days": 1.0, "h": 1 / 24, "hour": 1 / 24, "hours": 1 / 24}),
    "conductivity": ("W/(m K)", {"w/mk": 1.0, "w/m/k": 1.0}),
    "specific_heat": ("J/(kg K)", {"j/kgk": 1.0, "j/kg/k": 1.0, "kj/kgk": 1000.0, "kj/kg/k": 1000.0}),
    "density": ("kg/m3", {"kg/m3": 1.0}),
    "heat": ("kJ/kg", {"kj/kg": 1.0, "j/g": 1.0, "j/kg": 0.001}),
    "film": ("W/(m2 K)", {"w/m2k": 1.0, "w/m2/k": 1.0}),
    "activation": ("kJ/mol", {"kj/mol": 1.0, "j/mol": 0.001}),
    "difference": ("K", {"k": 1.0, "c": 1.0, "f": 5 / 9}),
    "hour": ("h", {"h": 1.0}),
    "stress": ("MPa", {"mpa": 1.0, "n/mm2": 1.0, "kpa": 0.001, "psi": 0.00689475729, "ksi": 6.89475729}),
    "number": ("", {}),
}
TEMPERATURE = {"c": lambda v: v, "f": lambda v: (v - 32.0) * 5 / 9, "k": lambda v: v - 273.15}
QUANTITY = re.compile(r"\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*(.*?)\s*$")


class QuantityError(ValueError):
    """A value that cannot be read as its kind: what is wrong with it."""


def unit_key(text):
    """'W/(m K)', 'W/m·K', 'kg/m³', '°C' -> 'w/mk', 'w/mk', 'kg/m3', 'c'."""
    t = text.lower().replace("³", "3").replace("²", "2").replace("deg", "")
    return re.sub(r"[\s°()·*^.]", "", t)


def quantity(value, kind):
    """A number in the default unit of `kind`, or a text '<number> <unit>'.
    Temperatures come back in degrees Celsius."""
    if isinstance(value, bool) or not isinstance(value, (int, float, str)):
        raise QuantityError(f"{value!r} is not a number")
    if isinstance(value, str):
        m = QUANTITY.fullmatch(value)
        if not m:
            raise QuantityError(f"cannot read '{value}' as a number with a unit")
        number, unit = float(m.group(1)), unit_key(m.group(2))
    else:
        try:
            number, unit = float(value), ""
        except OverflowError:
            raise QuantityError(f"{str(value)[:12]}... is too large a number")
    if not math.isfinite(number):
        raise QuantityError(f"{value!r} is not a finite number")
    if kind == "temperature":
        if unit and unit not in TEMPERATURE:
            raise QuantityError(f"cannot read the unit '{m.group(2)}' (temperatures: C, F, K)")
        return TEMPERATURE[unit or "c"](number)
    default, scales = UNITS[kind]
    if not unit:
        return number
    if not scales:
        raise QuantityError(f"'{value}' should be a plain number, without a unit")
    if unit not in scales:
        known = ", ".join(sorted(scales))
        raise QuantityError(f"cannot read the unit '{m.group(2)}' (it is in {default}; known: {known})")
    return number * scales[unit]


# ---------------------------------------------------------------- text

def hours(t):
    """A time in hours, without trailing zeros: 5, 40.5, 12.25."""
    text = f"{t:.2f}".rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def temp(c, difference=False):
    """A temperature (or a difference) in degrees Celsius and Fahrenheit."""
    f = c * 1.8 if difference else c * 1.8 + 32.0
    return f"{c:.1f} C ({f:.1f} F)"


def fmt_both(f, difference=False):
    """A temperature in degrees Fahrenheit and Celsius, for labels."""
    c = f / 1.8 if difference else f2c(f)
    return f"{f:.1f} °F ({c:.1f} °C)"


# ---------------------------------------------------------------- the page's units

# Per kind of quantity: the SI unit and the US unit with the factor from SI
# (temperatures convert by their own formula, differences by 1.8 alone).
SHOWN = {
    "temperature": ("°C", "°F", None),
    "difference": ("°C", "°F", 1.8),
    "length": ("m", "ft", 1 / 0.3048),
    "thickness": ("mm", "in", 1 / 25.4),
    "r_value": ("m²K/W", "h ft² °F/Btu", 5.678263),
    "conductivity": ("W/(m K)", "Btu/(h ft °F)", 0.5778693),
    "density": ("kg/m³", "lb/ft³", 0.06242796),
    "content": ("kg/m³", "lb/yd³", 1.685555),
    "specific_heat": ("J/(kg K)", "Btu/(lb °F)", 1 / 4186.8),
    "heat": ("kJ/kg", "Btu/lb", 0.4299226),
    "strength": ("MPa", "psi", 145.0377),
    "wind": ("m/s", "mph", 2.236936),
    "solar": ("W/m²", "Btu/(h ft²)", 0.3169983),
}


class Shown:
    """Values as the page shows them: in SI or US units, one unit per kind."""

    def __init__(self, system="SI"):
        self.us = system == "US"

    def unit(self, kind):
        return SHOWN[kind][1 if self.us else 0]

    def value(self, kind, si):
        if not self.us or si is None:
            return si
        if kind == "temperature":
            return c2f(si)
        return si * SHOWN[kind][2]

    def text(self, kind, si, digits=1):
        """'68.3 °C', '155.0 °F', '1.5 m'; '' for a missing value."""
        if si is None:
            return ""
        v = self.value(kind, si)
        return f"{v:.{digits}f} {self.unit(kind)}" if digits is not None else f"{v:g} {self.unit(kind)}"

    def label(self, what, kind):
        return f"{what} ({self.unit(kind)})"
