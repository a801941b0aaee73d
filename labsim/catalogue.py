"""The laboratory's catalogue, read from the program's seed catalogue at start-up.

The seed is SQL text for SQLite; it is run into an in-memory database that only this
module reads. Tables are read by column position, as the program reads its own copy:
formati (id, text, nome, larghezza, altezza, dpi), carte (id, text, nome),
stampe (id, codice, formato, carta, text, descrizione, prezzo), stati_ordine (stato, label),
config (chiave, valore).
"""

import os
import sqlite3
import threading

# Used only when the seed holds no order states.
DEFAULT_STATES = [(1, "Non inviato"), (2, "In attesa"), (3, "In lavorazione"), (4, "Evaso"),
                  (5, "Spedito"), (6, "Annullato"), (8, "In attesa di pagamento")]

# The laboratory's one department, carried by every print product.
REPARTO = {"id": 1, "nome": "Stampa fotografica", "percorso": "stampe", "tipo": "foto",
           "canale_numero": "01"}


class Catalogue:
    def __init__(self, seed_path):
        self.seed_path = seed_path
        self.lock = threading.Lock()
        self.db = sqlite3.connect(":memory:", check_same_thread=False)
        self.loaded = False
        if seed_path and os.path.exists(seed_path):
            with open(seed_path, encoding="utf-8") as f:
                self.db.executescript(f.read())
            self.loaded = True

    def _rows(self, sql, params=()):
        with self.lock:
            try:
                return [tuple(r) for r in self.db.execute(sql, params)]
            except sqlite3.OperationalError:
                return []

    def states(self):
        rows = self._rows("SELECT stato, label FROM stati_ordine ORDER BY stato")
        return [(int(r[0]), str(r[1])) for r in rows] if rows else list(DEFAULT_STATES)

    def data_version(self):
        rows = self._rows("SELECT valore FROM config WHERE chiave='dbVersion'")
        try:
            return int(rows[0][0]) if rows else 0
        except (TypeError, ValueError):
            return 0

    def formato(self, ident):
        rows = self._rows("SELECT * FROM formati WHERE id=?", (ident,))
        if not rows:
            return None
        r = rows[0]
        return {"id": int(r[0]), "codice_formato": _text(r[1]), "nome": _text(r[2]),
                "larghezza": _int(r[3]), "altezza": _int(r[4]), "dpi": _int(r[5])}

    def carta(self, ident):
        rows = self._rows("SELECT * FROM carte WHERE id=?", (ident,))
        if not rows:
            return None
        r = rows[0]
        return {"id": int(r[0]), "codice_carta": _text(r[1]), "nome": _text(r[2])}

    def stampa(self, ident):
        """A print product as the services carry it, with its paper, format and department;
        None when the catalogue has no product of that id."""
        rows = self._rows("SELECT * FROM stampe WHERE id=?", (ident,))
        if not rows:
            return None
        r = rows[0]
        return {"id": int(r[0]), "codice_stampa": _text(r[1]), "nome": _text(r[4]),
                "descrizione": _text(r[5]), "archiviato": False,
                "carta": self.carta(_int(r[3])), "formato": self.formato(_int(r[2])),
                "reparto": dict(REPARTO), "prezzo": _float(r[6])}

    def stampa_ids(self):
        return [int(r[0]) for r in self._rows("SELECT id FROM stampe ORDER BY id")]


def _text(v):
    return "" if v is None else str(v)


def _int(v):
    try:
        return int(v)
    except (TypeError, ValueError):
        return 0


def _float(v):
    try:
        return float(v)
    except (TypeError, ValueError):
        return 0.0
