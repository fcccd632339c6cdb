"""Free-form lists, as the program reads them from the project file and
from series.pr, and the project file's keys, searched strictly forward
from the line after the last one found, as the program looks for them."""

import re


def freeform_tokens(text):
    """Values of a free-form list: blanks, commas and line ends separate
    them, r*v stands for r copies of v, a slash ends the list."""
    out = []
    for tok in re.split(r"[\s,]+", text):
        if not tok:
            continue
        if tok.startswith("/"):
            break
        m = re.fullmatch(r"(\d+)\*(.+)", tok)
        if m:
            out += [m.group(2)] * int(m.group(1))
        else:
            out.append(tok)
    return out


class MissingKey(ValueError):
    """No line with the key after the cursor."""

    def __init__(self, key, after):
        super().__init__(f"no line with {key}")
        self.after = after


# What the program takes for blanks around a line: every byte up to 32.
BLANKS = "".join(map(chr, range(33)))
PHYSICS_HEADER = "[Physics]"


class Cursor:
    """The lines of a project file and the line after the last key found.
    The keys' lines end before the [Physics] block, whose lines (from its
    header on) are kept apart, as the program keeps them."""

    def __init__(self, path):
        with open(path, encoding="latin-1") as f:
            raw = [l.rstrip("\r\n") for l in f]
        end = next((n for n, l in enumerate(raw) if l.strip(BLANKS) == PHYSICS_HEADER), len(raw))
        self.lines = [l[:128] for l in raw[:end]]
        self.physics = [l.strip(BLANKS) for l in raw[end:]]
        self.pos = 0

    def find(self, key):
        """The rest of the first line from the cursor on that holds the key."""
        for n in range(self.pos, len(self.lines)):
            if key in self.lines[n]:
                self.pos = n + 1
                return self.lines[n][self.lines[n].index(key) + len(key):]
        raise MissingKey(key, self.pos)

    def values(self, count):
        """The next `count` values of a free-form list, from the cursor's line on."""
        out = []
        while len(out) < count and self.pos < len(self.lines):
            out += freeform_tokens(self.lines[self.pos])
            self.pos += 1
        if len(out) < count:
            raise ValueError("the file ends early")
        return [float(v) for v in out[:count]]

    def number(self, key):
        return float(freeform_tokens(self.find(key))[0])
