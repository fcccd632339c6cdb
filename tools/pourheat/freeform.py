"""Free-form lists, as the program reads them from the project file and
from series.pr."""

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
