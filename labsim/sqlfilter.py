"""The selection and ordering texts that the clients send in list requests.

The clients build filters as terms ``column LIKE 'value'`` (or ``column = 'value'``) joined
by `` AND ``, and pass ordering texts such as ``numero DESC``. They are translated here into
parameterised SQL over a fixed set of columns, so that nothing a client sends reaches the
database as SQL text.
"""

import re

from soapwire import ServiceFault

# A value is quoted with apostrophes, an apostrophe inside it doubled.
_TERM = re.compile(r"\s*([A-Za-z_][A-Za-z0-9_]*)\s*(LIKE|=|<>|!=)\s*'((?:[^']|'')*)'\s*", re.IGNORECASE)
_AND = re.compile(r"AND\b", re.IGNORECASE)
_ORDER = re.compile(r"\s*([A-Za-z_][A-Za-z0-9_]*)(?:\s+(ASC|DESC))?\s*$", re.IGNORECASE)


def where_clause(text, columns, prefix=""):
    """Returns (sql, params) for a filter text; an empty text selects everything."""
    text = text or ""
    if not text.strip():
        return "1", []
    terms = []
    params = []
    pos = 0
    while True:
        m = _TERM.match(text, pos)
        if not m:
            raise ServiceFault("Filtro non valido: '%s' (atteso: campo LIKE 'valore' AND ...)" % text)
        column, op, value = m.group(1), m.group(2).upper(), m.group(3).replace("''", "'")
        if column not in columns:
            raise ServiceFault("Filtro non valido: il campo '%s' non esiste (campi: %s)"
                               % (column, ", ".join(sorted(columns))))
        sql_op = {"LIKE": "LIKE", "=": "=", "<>": "<>", "!=": "<>"}[op]
        terms.append("%s%s %s ?" % (prefix, column, sql_op))
        params.append(value)
        pos = m.end()
        if pos >= len(text):
            break
        a = _AND.match(text, pos)
        if not a:
            raise ServiceFault("Filtro non valido: '%s' (i termini si uniscono con AND)" % text)
        pos = a.end()
    return " AND ".join(terms), params


def order_clause(text, columns, default, prefix=""):
    text = (text or "").strip()
    if not text:
        return default
    parts = []
    for piece in text.split(","):
        m = _ORDER.match(piece)
        if not m or m.group(1) not in columns:
            raise ServiceFault("Ordinamento non valido: '%s' (campi: %s)"
                               % (text, ", ".join(sorted(columns))))
        parts.append("%s%s %s" % (prefix, m.group(1), (m.group(2) or "ASC").upper()))
    return ", ".join(parts)


def limit_clause(offset, length):
    """``length`` 0 (or less) means no limit; ``offset`` counts from 0."""
    offset = max(0, int(offset or 0))
    length = int(length or 0)
    if length <= 0:
        return " LIMIT -1 OFFSET %d" % offset
    return " LIMIT %d OFFSET %d" % (length, offset)
