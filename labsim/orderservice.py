"""The orders service (ordini.php): file records, orders and their rows, order states."""

import time

from accountservice import ACCOUNT_NS, account_types, authentication_type, customer_record
from soapwire import (BOOLEAN, DATETIME, FLOAT, INT, LONG, STRING, ComplexType, Field,
                      Operation, Service, ServiceFault)
from sqlfilter import limit_clause, order_clause, where_clause
from store import FILE_COLUMNS, ORDER_COLUMNS

ORDINI_NS = "http://ws.korvex2.example/ordini/"
PRODOTTI_NS = "http://ws.korvex2.example/prodotti/"

# Order states with a fixed meaning for the laboratory.
STATO_NON_INVIATO = 1
STATO_IN_ATTESA = 2
STATO_ATTESA_PAGAMENTO = 8

# Customers whose `pagamento` is this pay through the payment page.
PAGAMENTO_ONLINE = 2


def catalogue_types(ns_q):
    """The catalogue records with children qualified in the catalogue namespace."""
    def f(name, type_, **kw):
        return Field(name, type_, ns=ns_q, **kw)

    carta = ComplexType(PRODOTTI_NS, "Carta", [f("id", INT), f("codice_carta", STRING),
                                                f("nome", STRING)])
    formato = ComplexType(PRODOTTI_NS, "Formato", [
        f("id", INT), f("codice_formato", STRING), f("nome", STRING), f("larghezza", INT),
        f("altezza", INT), f("dpi", INT)])
    reparto = ComplexType(PRODOTTI_NS, "Reparto", [
        f("id", INT), f("nome", STRING), f("percorso", STRING), f("tipo", STRING),
        f("canale_numero", STRING)])
    stampa = ComplexType(PRODOTTI_NS, "Stampa", [
        f("id", INT), f("codice_stampa", STRING), f("nome", STRING), f("descrizione", STRING),
        f("archiviato", BOOLEAN), f("carta", carta, nillable=True),
        f("formato", formato, nillable=True), f("reparto", reparto, nillable=True),
        f("prezzo", FLOAT)])
    return stampa, carta, formato, reparto


def build(lab):
    account, utente, operatore = account_types(ACCOUNT_NS)
    stampa, carta, formato, reparto = catalogue_types(PRODOTTI_NS)
    auth = authentication_type(ORDINI_NS)
    T = lambda name, fields, **kw: ComplexType(ORDINI_NS, name, fields, **kw)

    file_t = T("File", [Field("id", STRING), Field("dimensione", LONG), Field("percorso", STRING),
                        Field("scaricato", BOOLEAN), Field("nome_file", STRING),
                        Field("nome_file_scaricato", STRING), Field("compresso", BOOLEAN)])
    lista_req = T("listaRequestType", [Field("offset", INT), Field("length", INT),
                                       Field("filter", STRING), Field("order", STRING),
                                       Field("guid", STRING)])
    lista_file_resp = T("listaFileResponseType", [Field("Files", file_t, min_occurs=0,
                                                        max_occurs=None)])
    ordine = T("Ordine", [])
    riga = T("OrdineRiga", [
        Field("ordine", ordine, nillable=True), Field("id", STRING), Field("codice_articolo", STRING),
        Field("descrizione", STRING), Field("prezzo", FLOAT), Field("quantita", INT),
        Field("tipo_riga", INT)])
    riga_file = T("OrdineRigaFile", [Field("file", file_t, nillable=True)], base=riga,
                  always_typed=True)
    riga_stampa = T("OrdineRigaStampa", [Field("file", file_t, nillable=True),
                                         Field("stampa", stampa, nillable=True)],
                    base=riga, always_typed=True)
    ordine.own_fields = [
        Field("id", STRING), Field("cliente_finale", STRING), Field("data", DATETIME),
        Field("note", STRING), Field("numero", INT), Field("stato", INT),
        Field("utente", utente, nillable=True),
        Field("righe_ordine", riga, min_occurs=0, max_occurs=None),
        Field("data_ultima_modifica", DATETIME), Field("spedizione", FLOAT), Field("totale", FLOAT)]
    riga_req = T("OrdineRigaRequest", [
        Field("id_ordine", STRING), Field("id", STRING), Field("codice_articolo", STRING),
        Field("descrizione", STRING), Field("prezzo", FLOAT), Field("quantita", INT)])
    riga_file_req = T("OrdineRigaFileRequest", [Field("id_file", STRING)], base=riga_req,
                      always_typed=True)
    riga_stampa_req = T("OrdineRigaStampaRequest", [Field("id_file", STRING),
                                                    Field("id_stampa", INT)],
                        base=riga_req, always_typed=True)
    ordine_req = T("OrdineRequest", [
        Field("id_utente", INT), Field("id", STRING), Field("cliente_finale", STRING),
        Field("data", DATETIME), Field("note", STRING), Field("numero", INT), Field("stato", INT),
        Field("righe_ordine", riga_req, min_occurs=0, max_occurs=None)])
    ordine_req_type = T("OrdineRequestType", [Field("OrdineRequest", ordine_req, nillable=True)])
    riga_req_type = T("RigaOrdineRequestType", [Field("OrdineRigaRequest", riga_req, min_occurs=1,
                                                      max_occurs=None, nillable=True)])
    lista_ordini_resp = T("listaOrdiniResponseType", [Field("Ordini", ordine, min_occurs=0,
                                                            max_occurs=None)])
    intestazione_req = T("listaOrdiniIntestazioneRequestType", [
        Field("username", STRING), Field("cliente", STRING), Field("endUser", STRING),
        Field("numeroDa", INT), Field("numeroA", INT), Field("dataDa", STRING),
        Field("dataA", STRING), Field("stati", INT, min_occurs=0, max_occurs=None),
        Field("limiteDa", INT), Field("limiteA", INT)])
    stato_t = T("StatoOrdine", [Field("stato", INT), Field("label", STRING)])
    stati_resp = T("listaStatiOrdineResponseType", [Field("statiOrdine", stato_t, min_occurs=0,
                                                          max_occurs=None)])
    imposta_req = T("impostaStatoOrdineRequestType", [Field("IdOrdine", STRING),
                                                      Field("Stato", INT)])

    service = Service("ordini", "ordini.php", ORDINI_NS,
                      [("ns1", ACCOUNT_NS), ("ns2", PRODOTTI_NS), ("ns3", ORDINI_NS)], auth)
    service.add_types(account, utente, operatore, stampa, carta, formato, reparto, auth, file_t,
                      lista_req, lista_file_resp, ordine, riga, riga_file, riga_stampa, riga_req,
                      riga_file_req, riga_stampa_req, ordine_req, ordine_req_type, riga_req_type,
                      lista_ordini_resp, intestazione_req, stato_t, stati_resp, imposta_req)
    store = lab.store
    catalogue = lab.catalogue

    # -- helpers --------------------------------------------------------------------------

    def owner_clause(principal, column):
        if principal["kind"] == "operator":
            return "1", []
        return "%s=?" % column, [principal["account"]["id"]]

    def own_file(db, principal, ident):
        where, params = owner_clause(principal, "owner")
        row = db.execute("SELECT * FROM files WHERE id=? AND %s" % where, [ident] + params).fetchone()
        return dict(row) if row else None

    def own_order(db, principal, ident):
        where, params = owner_clause(principal, "id_utente")
        row = db.execute("SELECT * FROM orders WHERE id=? AND %s" % where, [ident] + params).fetchone()
        return dict(row) if row else None

    def file_record(row):
        return {"id": row["id"], "dimensione": row["dimensione"], "percorso": row["percorso"],
                "scaricato": bool(row["scaricato"]), "nome_file": row["nome_file"],
                "nome_file_scaricato": row["nome_file_scaricato"],
                "compresso": bool(row["compresso"])}

    def check_row(db, principal, r):
        kind = r["__type__"]
        if kind is riga_file_req or kind is riga_stampa_req:
            if not r["id_file"]:
                raise ServiceFault("La riga '%s' non indica il file (id_file vuoto)"
                                   % r["descrizione"])
            if own_file(db, principal, r["id_file"]) is None:
                raise ServiceFault("La riga '%s' indica il file %s, che non esiste"
                                   % (r["descrizione"], r["id_file"]))
        if kind is riga_stampa_req and catalogue.stampa(r["id_stampa"]) is None:
            raise ServiceFault("La riga '%s' indica il prodotto %d, che non esiste nel catalogo"
                               % (r["descrizione"], r["id_stampa"]))

    def insert_row(db, order_id, r, reuse_id=""):
        kind = r["__type__"]
        tipo = 1 if kind is riga_file_req else 2 if kind is riga_stampa_req else 0
        ident = reuse_id or "R%d" % store.next_counter(db, "riga")
        db.execute("INSERT INTO rows (id, id_ordine, tipo_riga, codice_articolo, descrizione, prezzo,"
                   " quantita, id_file, id_stampa) VALUES (?,?,?,?,?,?,?,?,?)",
                   (ident, order_id, tipo, r["codice_articolo"], r["descrizione"], r["prezzo"],
                    r["quantita"], r.get("id_file", ""), r.get("id_stampa", 0)))
        return ident

    def update_total(db, order_id):
        row = db.execute("SELECT spedizione FROM orders WHERE id=?", (order_id,)).fetchone()
        if row is None:
            return
        total = db.execute("SELECT COALESCE(SUM(prezzo * quantita), 0) FROM rows WHERE id_ordine=?",
                           (order_id,)).fetchone()[0]
        db.execute("UPDATE orders SET totale=? WHERE id=?", (round(total + row[0], 2), order_id))

    def customer_of(db, principal, id_utente):
        if principal["kind"] == "customer":
            if id_utente != principal["account"]["id"]:
                raise ServiceFault("L'ordine è intestato all'utente %d, ma la richiesta è "
                                   "dell'utente %d" % (id_utente, principal["account"]["id"]))
            return principal["account"]
        customer = store.account_by_id(db, "customers", id_utente)
        if customer is None:
            raise ServiceFault("L'utente %d non esiste" % id_utente)
        return customer

    def state_for(customer, stato):
        if stato == STATO_IN_ATTESA and customer["pagamento"] == PAGAMENTO_ONLINE:
            return STATO_ATTESA_PAGAMENTO
        return stato

    def order_value(db, row, with_rows):
        customer = store.account_by_id(db, "customers", row["id_utente"])
        value = {"id": row["id"], "cliente_finale": row["cliente_finale"], "data": row["data"],
                 "note": row["note"], "numero": row["numero"], "stato": row["stato"],
                 "utente": dict(customer_record(customer, with_password=False), __type__=utente)
                 if customer else None,
                 "righe_ordine": [],
                 "data_ultima_modifica": row["data_ultima_modifica"],
                 "spedizione": row["spedizione"], "totale": row["totale"]}
        if with_rows:
            for r in db.execute("SELECT * FROM rows WHERE id_ordine=? ORDER BY seq", (row["id"],)):
                item = {"ordine": None, "id": r["id"], "codice_articolo": r["codice_articolo"],
                        "descrizione": r["descrizione"], "prezzo": r["prezzo"],
                        "quantita": r["quantita"], "tipo_riga": r["tipo_riga"]}
                f = db.execute("SELECT * FROM files WHERE id=?", (r["id_file"],)).fetchone()
                if r["tipo_riga"] == 1:
                    item.update(__type__=riga_file, file=file_record(f) if f else None)
                elif r["tipo_riga"] == 2:
                    item.update(__type__=riga_stampa, file=file_record(f) if f else None,
                                stampa=catalogue.stampa(r["id_stampa"]))
                value["righe_ordine"].append(item)
        return value

    # -- files ----------------------------------------------------------------------------

    def inserisci_file(principal, value, db):
        ident = "F%d" % store.next_counter(db, "file")
        db.execute("INSERT INTO files (id, owner, dimensione, percorso, scaricato, nome_file, "
                   "nome_file_scaricato, compresso) VALUES (?,?,?,?,?,?,?,?)",
                   (ident, principal["account"]["id"], value["dimensione"], value["percorso"],
                    int(value["scaricato"]), value["nome_file"], value["nome_file_scaricato"],
                    int(value["compresso"])))
        return ident

    def modifica_file(principal, value, db):
        if own_file(db, principal, value["id"]) is None:
            return False
        db.execute("UPDATE files SET dimensione=?, percorso=?, scaricato=?, nome_file=?, "
                   "nome_file_scaricato=?, compresso=? WHERE id=?",
                   (value["dimensione"], value["percorso"], int(value["scaricato"]),
                    value["nome_file"], value["nome_file_scaricato"], int(value["compresso"]),
                    value["id"]))
        return True

    def cancella_file(principal, value, db):
        if own_file(db, principal, value) is None:
            return False
        db.execute("DELETE FROM files WHERE id=?", (value,))
        return True

    def lista_file(principal, value, db):
        where, params = where_clause(value["filter"], set(FILE_COLUMNS))
        own, own_params = owner_clause(principal, "owner")
        where = "%s AND %s" % (where, own)
        params += own_params
        if value["guid"]:
            where += " AND id=?"
            params.append(value["guid"])
        order = order_clause(value["order"], set(FILE_COLUMNS), "seq ASC")
        rows = db.execute("SELECT * FROM files WHERE %s ORDER BY %s%s"
                          % (where, order, limit_clause(value["offset"], value["length"])), params)
        return {"Files": [file_record(r) for r in rows]}

    # -- rows -----------------------------------------------------------------------------

    def inserisci_righe(principal, value, db):
        ids = []
        for r in value["OrdineRigaRequest"]:
            if r is None:
                raise ServiceFault("La richiesta contiene una riga nulla")
            if own_order(db, principal, r["id_ordine"]) is None:
                raise ServiceFault("La riga indica l'ordine '%s', che non esiste" % r["id_ordine"])
            check_row(db, principal, r)
            ids.append(insert_row(db, r["id_ordine"], r))
            update_total(db, r["id_ordine"])
        return ids[0]

    def modifica_righe(principal, value, db):
        for r in value["OrdineRigaRequest"]:
            if r is None:
                raise ServiceFault("La richiesta contiene una riga nulla")
            row = db.execute("SELECT id_ordine FROM rows WHERE id=?", (r["id"],)).fetchone()
            if row is None or own_order(db, principal, row[0]) is None:
                return False
            check_row(db, principal, r)
            db.execute("DELETE FROM rows WHERE id=?", (r["id"],))
            insert_row(db, row[0], r, reuse_id=r["id"])
            update_total(db, row[0])
        return True

    def cancella_riga(principal, value, db):
        row = db.execute("SELECT id_ordine FROM rows WHERE id=?", (value,)).fetchone()
        if row is None or own_order(db, principal, row[0]) is None:
            return False
        db.execute("DELETE FROM rows WHERE id=?", (value,))
        update_total(db, row[0])
        return True

    # -- orders ---------------------------------------------------------------------------

    def inserisci_ordine(principal, value, db):
        o = value["OrdineRequest"]
        if o is None:
            raise ServiceFault("La richiesta non contiene l'ordine")
        customer = customer_of(db, principal, o["id_utente"])
        for r in o["righe_ordine"]:
            check_row(db, principal, r)
        ident = "O%d" % store.next_counter(db, "ordine")
        numero = store.next_counter(db, "numero")
        db.execute("INSERT INTO orders (id, id_utente, cliente_finale, data, note, numero, stato, "
                   "data_ultima_modifica, spedizione, totale) VALUES (?,?,?,?,?,?,?,?,?,0)",
                   (ident, customer["id"], o["cliente_finale"], o["data"], o["note"], numero,
                    state_for(customer, o["stato"]), int(time.time()), customer["spedizione"]))
        for r in o["righe_ordine"]:
            insert_row(db, ident, r)
        update_total(db, ident)
        return ident

    def modifica_ordine(principal, value, db):
        o = value["OrdineRequest"]
        if o is None:
            raise ServiceFault("La richiesta non contiene l'ordine")
        current = own_order(db, principal, o["id"])
        if current is None:
            return False
        customer = customer_of(db, principal, o["id_utente"])
        if customer["id"] != current["id_utente"]:
            raise ServiceFault("L'ordine %s non è intestato all'utente %d" % (o["id"], customer["id"]))
        for r in o["righe_ordine"]:
            check_row(db, principal, r)
        db.execute("UPDATE orders SET cliente_finale=?, data=?, note=?, stato=?, "
                   "data_ultima_modifica=? WHERE id=?",
                   (o["cliente_finale"], o["data"], o["note"], state_for(customer, o["stato"]),
                    int(time.time()), o["id"]))
        old = {r[0] for r in db.execute("SELECT id FROM rows WHERE id_ordine=?", (o["id"],))}
        db.execute("DELETE FROM rows WHERE id_ordine=?", (o["id"],))
        for r in o["righe_ordine"]:
            insert_row(db, o["id"], r, reuse_id=r["id"] if r["id"] in old else "")
        update_total(db, o["id"])
        return True

    def cancella_ordine(principal, value, db):
        if own_order(db, principal, value) is None:
            return False
        db.execute("DELETE FROM rows WHERE id_ordine=?", (value,))
        db.execute("DELETE FROM orders WHERE id=?", (value,))
        return True

    def lista_ordini(principal, value, db):
        where, params = where_clause(value["filter"], set(ORDER_COLUMNS))
        own, own_params = owner_clause(principal, "id_utente")
        where = "%s AND %s" % (where, own)
        params += own_params
        if value["guid"]:
            where += " AND id=?"
            params.append(value["guid"])
        order = order_clause(value["order"], set(ORDER_COLUMNS), "seq ASC")
        rows = db.execute("SELECT * FROM orders WHERE %s ORDER BY %s%s"
                          % (where, order, limit_clause(value["offset"], value["length"])),
                          params).fetchall()
        return {"Ordini": [order_value(db, r, with_rows=True) for r in rows]}

    def lista_intestazioni(principal, value, db):
        terms, params = [], []
        own, own_params = owner_clause(principal, "o.id_utente")
        terms.append(own)
        params += own_params
        if value["username"]:
            terms.append("c.username=?")
            params.append(value["username"])
        if value["cliente"]:
            terms.append("(c.nome || ' ' || c.cognome LIKE ? OR c.ragione_sociale LIKE ?)")
            params += ["%" + value["cliente"] + "%"] * 2
        if value["endUser"]:
            terms.append("o.cliente_finale LIKE ?")
            params.append("%" + value["endUser"] + "%")
        if value["numeroDa"] > 0:
            terms.append("o.numero>=?")
            params.append(value["numeroDa"])
        if value["numeroA"] > 0:
            terms.append("o.numero<=?")
            params.append(value["numeroA"])
        for key, op in (("dataDa", ">="), ("dataA", "<=")):
            if value[key]:
                day = _parse_day(value[key])
                terms.append("date(o.data, 'unixepoch', 'localtime') %s ?" % op)
                params.append(day)
        states = value["stati"]
        if states and -1 not in states:
            terms.append("o.stato IN (%s)" % ",".join("?" * len(states)))
            params += states
        start = max(0, value["limiteDa"])
        limit = value["limiteA"] - start if value["limiteA"] > 0 else -1
        rows = db.execute("SELECT o.* FROM orders o JOIN customers c ON c.id=o.id_utente WHERE %s "
                          "ORDER BY o.data, o.seq LIMIT %d OFFSET %d"
                          % (" AND ".join(terms), limit, start), params).fetchall()
        return {"Ordini": [order_value(db, r, with_rows=False) for r in rows]}

    def lista_stati(principal, value, db):
        return {"statiOrdine": [{"stato": s, "label": label} for s, label in catalogue.states()]}

    def imposta_stato(principal, value, db):
        if own_order(db, principal, value["IdOrdine"]) is None:
            return False
        db.execute("UPDATE orders SET stato=?, data_ultima_modifica=? WHERE id=?",
                   (value["Stato"], int(time.time()), value["IdOrdine"]))
        return True

    def rf(name, type_):
        return Field(name, type_)

    ops = [
        ("inserisciFile", file_t, STRING, inserisci_file),
        ("modificaFile", file_t, BOOLEAN, modifica_file),
        ("cancellaFile", STRING, BOOLEAN, cancella_file),
        ("listaFile", lista_req, lista_file_resp, lista_file),
        ("inserisciRigaOrdine", riga_req_type, STRING, inserisci_righe),
        ("modificaRigaOrdine", riga_req_type, BOOLEAN, modifica_righe),
        ("cancellaRigaOrdine", STRING, BOOLEAN, cancella_riga),
        ("inserisciOrdine", ordine_req_type, STRING, inserisci_ordine),
        ("modificaOrdine", ordine_req_type, BOOLEAN, modifica_ordine),
        ("cancellaOrdine", STRING, BOOLEAN, cancella_ordine),
        ("listaOrdini", lista_req, lista_ordini_resp, lista_ordini),
        ("listaOrdiniIntestazione", intestazione_req, lista_ordini_resp, lista_intestazioni),
        ("listaStatiOrdine", None, stati_resp, lista_stati),
        ("impostaStatoOrdine", imposta_req, BOOLEAN, imposta_stato),
    ]
    for name, req, resp, handler in ops:
        service.add(Operation(name, rf(name + "Request", req) if req is not None else None,
                              rf(name + "Response", resp), handler, auth=True))
    return service


def _parse_day(text):
    import re
    m = re.match(r"^\s*(\d{4})-(\d{2})-(\d{2})", text)
    if not m:
        raise ServiceFault("Data non valida: '%s' (atteso aaaa-mm-gg)" % text)
    return "%s-%s-%s" % m.groups()
