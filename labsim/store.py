"""The laboratory's state in one SQLite file: customers, operators, file records, orders,
their rows, password recovery codes and the mails the laboratory would have sent.

The catalogue (print products, formats, papers) and the order states are not kept here:
they are read at start-up from the program's seed catalogue, so the two never disagree.
"""

import os
import secrets
import sqlite3
import threading
import time

SCHEMA = """
CREATE TABLE IF NOT EXISTS counters (name TEXT PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS customers (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    username TEXT NOT NULL UNIQUE, password TEXT NOT NULL DEFAULT '',
    autorizzazioni INTEGER NOT NULL DEFAULT 0, stato_account INTEGER NOT NULL DEFAULT 1,
    codice_utente TEXT NOT NULL DEFAULT '', nome TEXT NOT NULL DEFAULT '',
    cognome TEXT NOT NULL DEFAULT '', ragione_sociale TEXT NOT NULL DEFAULT '',
    cap TEXT NOT NULL DEFAULT '', cf TEXT NOT NULL DEFAULT '', citta TEXT NOT NULL DEFAULT '',
    email TEXT NOT NULL DEFAULT '', fax TEXT NOT NULL DEFAULT '', indirizzo TEXT NOT NULL DEFAULT '',
    piva TEXT NOT NULL DEFAULT '', provincia TEXT NOT NULL DEFAULT '',
    tel_fisso TEXT NOT NULL DEFAULT '', tel_cell TEXT NOT NULL DEFAULT '',
    notifiche INTEGER NOT NULL DEFAULT 2047, pagamento INTEGER NOT NULL DEFAULT 1,
    spedizione REAL NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS operators (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    username TEXT NOT NULL UNIQUE, password TEXT NOT NULL DEFAULT '',
    autorizzazioni INTEGER NOT NULL DEFAULT 0, stato_account INTEGER NOT NULL DEFAULT 1,
    codice_operatore TEXT NOT NULL DEFAULT '', nome TEXT NOT NULL DEFAULT '',
    cognome TEXT NOT NULL DEFAULT '', email TEXT NOT NULL DEFAULT '',
    tel_fisso TEXT NOT NULL DEFAULT '', tel_cell TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS files (
    seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, owner INTEGER NOT NULL,
    dimensione INTEGER NOT NULL DEFAULT 0, percorso TEXT NOT NULL DEFAULT '',
    scaricato INTEGER NOT NULL DEFAULT 0, nome_file TEXT NOT NULL DEFAULT '',
    nome_file_scaricato TEXT NOT NULL DEFAULT '', compresso INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS orders (
    seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, id_utente INTEGER NOT NULL,
    cliente_finale TEXT NOT NULL DEFAULT '', data INTEGER NOT NULL DEFAULT 0,
    note TEXT NOT NULL DEFAULT '', numero INTEGER NOT NULL DEFAULT 0,
    stato INTEGER NOT NULL DEFAULT 1, data_ultima_modifica INTEGER NOT NULL DEFAULT 0,
    spedizione REAL NOT NULL DEFAULT 0, totale REAL NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS rows (
    seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, id_ordine TEXT NOT NULL,
    tipo_riga INTEGER NOT NULL DEFAULT 0, codice_articolo TEXT NOT NULL DEFAULT '',
    descrizione TEXT NOT NULL DEFAULT '', prezzo REAL NOT NULL DEFAULT 0,
    quantita INTEGER NOT NULL DEFAULT 0, id_file TEXT NOT NULL DEFAULT '',
    id_stampa INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS recovery (code TEXT PRIMARY KEY, username TEXT NOT NULL, created INTEGER);
CREATE TABLE IF NOT EXISTS mail (
    seq INTEGER PRIMARY KEY AUTOINCREMENT, recipient TEXT NOT NULL, subject TEXT NOT NULL,
    body TEXT NOT NULL, created INTEGER);
CREATE TABLE IF NOT EXISTS payments (
    seq INTEGER PRIMARY KEY AUTOINCREMENT, id_ordine TEXT NOT NULL, created INTEGER);
"""

CUSTOMER_COLUMNS = ["id", "username", "password", "autorizzazioni", "stato_account", "codice_utente",
                    "nome", "cognome", "ragione_sociale", "cap", "cf", "citta", "email", "fax",
                    "indirizzo", "piva", "provincia", "tel_fisso", "tel_cell", "notifiche",
                    "pagamento", "spedizione"]
OPERATOR_COLUMNS = ["id", "username", "password", "autorizzazioni", "stato_account",
                    "codice_operatore", "nome", "cognome", "email", "tel_fisso", "tel_cell"]
FILE_COLUMNS = ["id", "dimensione", "percorso", "scaricato", "nome_file", "nome_file_scaricato",
                "compresso"]
ORDER_COLUMNS = ["id", "id_utente", "cliente_finale", "data", "note", "numero", "stato",
                 "data_ultima_modifica", "spedizione", "totale"]
ROW_COLUMNS = ["id", "id_ordine", "tipo_riga", "codice_articolo", "descrizione", "prezzo",
               "quantita", "id_file", "id_stampa"]

# The accounts every fresh laboratory starts with (labsim/README.md lists them).
DEMO_CUSTOMERS = [
    dict(username="demo", password="demo", codice_utente="C0001", nome="Mario", cognome="Rossi",
         ragione_sociale="Foto Rossi", cap="20100", citta="Milano", email="demo@lab.example",
         indirizzo="Via Roma 1", provincia="MI", tel_fisso="02 1234567", pagamento=1,
         spedizione=5.0),
    dict(username="paga", password="paga", codice_utente="C0002", nome="Lucia", cognome="Bianchi",
         ragione_sociale="Studio Bianchi", cap="10100", citta="Torino", email="paga@lab.example",
         indirizzo="Corso Francia 2", provincia="TO", tel_cell="333 1234567", pagamento=2,
         spedizione=7.5),
]
DEMO_OPERATORS = [
    dict(username="operatore", password="operatore", codice_operatore="OP01", nome="Anna",
         cognome="Verdi", email="operatore@lab.example", autorizzazioni=255),
]


class Store:
    """All access goes through one connection guarded by one lock; every public method is
    one transaction, committed before it returns."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.RLock()
        self.db = sqlite3.connect(path, check_same_thread=False, isolation_level=None)
        self.db.row_factory = sqlite3.Row
        self.db.execute("PRAGMA journal_mode=WAL")
        self.db.execute("PRAGMA synchronous=FULL")
        self.db.executescript(SCHEMA)
        with self.transaction():
            if self.db.execute("SELECT COUNT(*) FROM counters").fetchone()[0] == 0:
                self._seed()

    def close(self):
        with self.lock:
            self.db.close()

    # -- transactions ---------------------------------------------------------------------

    class _Tx:
        def __init__(self, store):
            self.store = store

        def __enter__(self):
            self.store.lock.acquire()
            self.store.db.execute("BEGIN IMMEDIATE")
            return self.store.db

        def __exit__(self, exc_type, exc, tb):
            try:
                self.store.db.execute("COMMIT" if exc_type is None else "ROLLBACK")
            finally:
                self.store.lock.release()
            return False

    def transaction(self):
        return Store._Tx(self)

    def _seed(self):
        for name, value in (("codice_utente", 3), ("codice_operatore", 2), ("file", 1000),
                            ("riga", 1000), ("ordine", 1000), ("numero", 0)):
            self.db.execute("INSERT INTO counters VALUES (?, ?)", (name, value))
        for c in DEMO_CUSTOMERS:
            self._insert("customers", c)
        for o in DEMO_OPERATORS:
            self._insert("operators", o)

    def _insert(self, table, values):
        keys = [k for k in values if k != "id"]
        cur = self.db.execute("INSERT INTO %s (%s) VALUES (%s)"
                              % (table, ",".join(keys), ",".join("?" * len(keys))),
                              [values[k] for k in keys])
        return cur.lastrowid

    def next_counter(self, db, name):
        value = db.execute("SELECT value FROM counters WHERE name=?", (name,)).fetchone()[0] + 1
        db.execute("UPDATE counters SET value=? WHERE name=?", (value, name))
        return value

    def counter(self, db, name):
        return db.execute("SELECT value FROM counters WHERE name=?", (name,)).fetchone()[0]

    # -- accounts -------------------------------------------------------------------------

    def find_account(self, db, table, username):
        row = db.execute("SELECT * FROM %s WHERE username=?" % table, (username,)).fetchone()
        return dict(row) if row else None

    def account_by_id(self, db, table, ident):
        row = db.execute("SELECT * FROM %s WHERE id=?" % table, (ident,)).fetchone()
        return dict(row) if row else None

    def insert_account(self, db, table, values):
        return self._insert(table, values)

    def update_account(self, db, table, ident, values):
        keys = [k for k in values if k != "id"]
        cur = db.execute("UPDATE %s SET %s WHERE id=?" % (table, ",".join(k + "=?" for k in keys)),
                         [values[k] for k in keys] + [ident])
        return cur.rowcount > 0

    def delete_account(self, db, table, ident):
        return db.execute("DELETE FROM %s WHERE id=?" % table, (ident,)).rowcount > 0

    def add_mail(self, db, recipient, subject, body):
        db.execute("INSERT INTO mail (recipient, subject, body, created) VALUES (?,?,?,?)",
                   (recipient, subject, body, int(time.time())))

    def new_recovery_code(self, db, username):
        code = secrets.token_hex(4).upper()
        db.execute("INSERT INTO recovery VALUES (?,?,?)", (code, username, int(time.time())))
        return code

    # -- counts and the dump for tests ----------------------------------------------------

    def counts(self):
        with self.lock:
            q = lambda t: self.db.execute("SELECT COUNT(*) FROM %s" % t).fetchone()[0]
            return {"customers": q("customers"), "operators": q("operators"),
                    "fileRecords": q("files"), "rows": q("rows"), "orders": q("orders"),
                    "mails": q("mail"), "paymentPageVisits": q("payments")}

    def dump(self):
        with self.lock:
            def rows(sql):
                return [dict(r) for r in self.db.execute(sql)]
            customers = rows("SELECT * FROM customers ORDER BY id")
            return {
                "customers": customers,
                "operators": rows("SELECT * FROM operators ORDER BY id"),
                "fileRecords": rows("SELECT id, owner, dimensione, percorso, scaricato, nome_file, "
                                    "nome_file_scaricato, compresso FROM files ORDER BY seq"),
                "orders": rows("SELECT id, id_utente, cliente_finale, data, note, numero, stato, "
                               "data_ultima_modifica, spedizione, totale FROM orders ORDER BY seq"),
                "rows": rows("SELECT id, id_ordine, tipo_riga, codice_articolo, descrizione, prezzo, "
                             "quantita, id_file, id_stampa FROM rows ORDER BY seq"),
                "mails": rows("SELECT recipient, subject, body FROM mail ORDER BY seq"),
                "paymentPageVisits": rows("SELECT id_ordine FROM payments ORDER BY seq"),
            }


def open_store(data_dir):
    os.makedirs(data_dir, exist_ok=True)
    return Store(os.path.join(data_dir, "labsim.sqlite"))
