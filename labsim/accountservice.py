"""The account service (account.php): customers and operators of the laboratory."""

from soapwire import (BOOLEAN, FLOAT, INT, STRING, ComplexType, Field, Operation, Service,
                      ServiceFault)
from sqlfilter import limit_clause, order_clause, where_clause
from store import CUSTOMER_COLUMNS, OPERATOR_COLUMNS

ACCOUNT_NS = "http://ws.korvex2.example/account/"


def account_types(qualified_ns):
    """The account records; ``qualified_ns`` is None for the account service (unqualified
    children) and the account namespace for the services that carry them qualified."""
    q = qualified_ns

    def f(name, type_):
        return Field(name, type_, ns=q)

    account = ComplexType(ACCOUNT_NS, "Account", [
        f("id", INT), f("username", STRING), f("password", STRING), f("autorizzazioni", INT),
        f("stato_account", INT)])
    utente = ComplexType(ACCOUNT_NS, "Utente", [
        f("codice_utente", STRING), f("nome", STRING), f("cognome", STRING),
        f("ragione_sociale", STRING), f("cap", STRING), f("cf", STRING), f("citta", STRING),
        f("email", STRING), f("fax", STRING), f("indirizzo", STRING), f("piva", STRING),
        f("provincia", STRING), f("tel_fisso", STRING), f("tel_cell", STRING),
        f("notifiche", INT), f("pagamento", INT), f("spedizione", FLOAT)],
        base=account, always_typed=True)
    operatore = ComplexType(ACCOUNT_NS, "Operatore", [
        f("codice_operatore", STRING), f("nome", STRING), f("cognome", STRING), f("email", STRING),
        f("tel_fisso", STRING), f("tel_cell", STRING)], base=account, always_typed=True)
    return account, utente, operatore


def authentication_type(ns):
    return ComplexType(ns, "Authentication", [
        Field("isOperator", BOOLEAN, min_occurs=0), Field("username", STRING),
        Field("password", STRING)])


def customer_record(row, with_password=True):
    rec = {k: row[k] for k in CUSTOMER_COLUMNS}
    if not with_password:
        rec["password"] = ""
    return rec


# Fields that a customer may change on its own record; the others are the laboratory's.
CUSTOMER_EDITABLE = ["username", "password", "nome", "cognome", "ragione_sociale", "cap", "cf",
                     "citta", "email", "fax", "indirizzo", "piva", "provincia", "tel_fisso",
                     "tel_cell", "notifiche"]
REGISTRATION_FIELDS = CUSTOMER_EDITABLE


def _require_operator(principal):
    if principal is None or principal["kind"] != "operator":
        raise ServiceFault("Operazione riservata agli operatori del laboratorio")


def build(lab):
    account, utente, operatore = account_types(None)
    auth = authentication_type(ACCOUNT_NS)
    lista_req = {}
    for name in ("listaUtentiRequestType", "listaOperatoriRequestType"):
        lista_req[name] = ComplexType(ACCOUNT_NS, name, [
            Field("offset", INT), Field("length", INT), Field("filter", STRING),
            Field("order", STRING)])
    lista_utenti_resp = ComplexType(ACCOUNT_NS, "listaUtentiResponseType", [
        Field("Utenti", utente, min_occurs=0, max_occurs=None)])
    lista_operatori_resp = ComplexType(ACCOUNT_NS, "listaOperatoriResponseType", [
        Field("Operatori", operatore, min_occurs=0, max_occurs=None)])
    utente_req = {n: ComplexType(ACCOUNT_NS, n, [Field("Utente", utente, nillable=True)])
                  for n in ("inserisciUtenteRequestType", "modificaUtenteRequestType")}
    operatore_req = {n: ComplexType(ACCOUNT_NS, n, [Field("Operatore", operatore, nillable=True)])
                     for n in ("inserisciOperatoreRequestType", "modificaOperatoreRequestType")}
    recupera = ComplexType(ACCOUNT_NS, "recuperaPasswordUtenteRequestType", [
        Field("codice_recupero", STRING), Field("username", STRING)])
    registrazione = ComplexType(ACCOUNT_NS, "registrazioneUtenteRequestType",
                                [Field(n, STRING) for n in REGISTRATION_FIELDS[:-1]]
                                + [Field("notifiche", INT)])

    service = Service("account", "account.php", ACCOUNT_NS, [("ns1", ACCOUNT_NS)], auth)
    service.add_types(account, utente, operatore, auth, lista_utenti_resp, lista_operatori_resp,
                      recupera, registrazione, *lista_req.values(), *utente_req.values(),
                      *operatore_req.values())
    store = lab.store

    def rf(name, type_):
        return Field(name, type_)

    # -- customers ------------------------------------------------------------------------

    def lista_utenti(principal, value, db):
        where, params = where_clause(value["filter"], set(CUSTOMER_COLUMNS))
        if principal["kind"] != "operator":
            where += " AND id=?"
            params.append(principal["account"]["id"])
        order = order_clause(value["order"], set(CUSTOMER_COLUMNS), "id ASC")
        rows = db.execute("SELECT * FROM customers WHERE %s ORDER BY %s%s"
                          % (where, order, limit_clause(value["offset"], value["length"])), params)
        return {"Utenti": [customer_record(r) for r in rows]}

    def inserisci_utente(principal, value, db):
        _require_operator(principal)
        rec = value["Utente"]
        if rec is None:
            raise ServiceFault("Richiesta senza utente")
        _check_username(db, "customers", rec["username"], None)
        return store.insert_account(db, "customers", {k: rec[k] for k in CUSTOMER_COLUMNS})

    def modifica_utente(principal, value, db):
        rec = value["Utente"]
        if rec is None:
            raise ServiceFault("Richiesta senza utente")
        current = store.account_by_id(db, "customers", rec["id"])
        if principal["kind"] == "operator":
            columns = CUSTOMER_COLUMNS
        else:
            if rec["id"] != principal["account"]["id"]:
                raise ServiceFault("Un utente può modificare soltanto i propri dati (id %d, "
                                   "autenticato come id %d)" % (rec["id"], principal["account"]["id"]))
            columns = CUSTOMER_EDITABLE
        if current is None:
            return False
        _check_username(db, "customers", rec["username"], rec["id"])
        return store.update_account(db, "customers", rec["id"], {k: rec[k] for k in columns})

    def esiste_utente(principal, value, db):
        return store.find_account(db, "customers", value) is not None

    def cancella_utente(principal, value, db):
        _require_operator(principal)
        return store.delete_account(db, "customers", value)

    # -- operators ------------------------------------------------------------------------

    def lista_operatori(principal, value, db):
        _require_operator(principal)
        where, params = where_clause(value["filter"], set(OPERATOR_COLUMNS))
        order = order_clause(value["order"], set(OPERATOR_COLUMNS), "id ASC")
        rows = db.execute("SELECT * FROM operators WHERE %s ORDER BY %s%s"
                          % (where, order, limit_clause(value["offset"], value["length"])), params)
        return {"Operatori": [{k: r[k] for k in OPERATOR_COLUMNS} for r in rows]}

    def inserisci_operatore(principal, value, db):
        _require_operator(principal)
        rec = value["Operatore"]
        if rec is None:
            raise ServiceFault("Richiesta senza operatore")
        _check_username(db, "operators", rec["username"], None)
        return store.insert_account(db, "operators", {k: rec[k] for k in OPERATOR_COLUMNS})

    def modifica_operatore(principal, value, db):
        _require_operator(principal)
        rec = value["Operatore"]
        if rec is None:
            raise ServiceFault("Richiesta senza operatore")
        if store.account_by_id(db, "operators", rec["id"]) is None:
            return False
        _check_username(db, "operators", rec["username"], rec["id"])
        return store.update_account(db, "operators", rec["id"], {k: rec[k] for k in OPERATOR_COLUMNS})

    def esiste_operatore(principal, value, db):
        return store.find_account(db, "operators", value) is not None

    def cancella_operatore(principal, value, db):
        _require_operator(principal)
        return store.delete_account(db, "operators", value)

    # -- codes ----------------------------------------------------------------------------

    def prossimo(counter):
        def handler(principal, value, db):
            _require_operator(principal)
            return store.counter(db, counter)
        return handler

    def incrementa(counter):
        def handler(principal, value, db):
            _require_operator(principal)
            store.next_counter(db, counter)
            return True
        return handler

    # -- login, recovery, registration ----------------------------------------------------

    def login(principal, value, db):
        table = "operators" if value.get("isOperator") else "customers"
        rec = store.find_account(db, table, value["username"])
        if rec is None or rec["password"] != value["password"]:
            raise ServiceFault("Login fallito: nome utente o password errati")
        if rec["stato_account"] != 1:
            raise ServiceFault("Login fallito: account non attivo")
        if table == "customers":
            return dict(customer_record(rec), __type__=utente)
        return dict({k: rec[k] for k in OPERATOR_COLUMNS}, __type__=operatore)

    def recupera_password(principal, value, db):
        code, username = value["codice_recupero"], value["username"]
        if code:
            row = db.execute("SELECT username FROM recovery WHERE code=?", (code,)).fetchone()
            if row is None or (username and username != row[0]):
                return False
            rec = store.find_account(db, "customers", row[0])
            db.execute("DELETE FROM recovery WHERE code=?", (code,))
            if rec is None:
                return False
            import secrets
            password = secrets.token_hex(4)
            store.update_account(db, "customers", rec["id"], {"password": password})
            store.add_mail(db, rec["email"], "Nuova password",
                           "Utente %s: la nuova password è %s" % (rec["username"], password))
            return True
        if username:
            rec = store.find_account(db, "customers", username)
            if rec is None:
                return False
            code = store.new_recovery_code(db, username)
            store.add_mail(db, rec["email"], "Codice di recupero password",
                           "Utente %s: il codice di recupero è %s" % (username, code))
            return True
        return False

    def registra(principal, value, db):
        if not value["username"]:
            raise ServiceFault("Registrazione rifiutata: il nome utente è obbligatorio")
        if not value["password"]:
            raise ServiceFault("Registrazione rifiutata: la password è obbligatoria")
        _check_username(db, "customers", value["username"], None)
        rec = {k: value[k] for k in REGISTRATION_FIELDS}
        code = store.counter(db, "codice_utente")
        store.next_counter(db, "codice_utente")
        rec.update(codice_utente="C%04d" % code, stato_account=1, pagamento=1, spedizione=0.0,
                   autorizzazioni=0)
        ident = store.insert_account(db, "customers", rec)
        store.add_mail(db, rec["email"], "Registrazione",
                       "Benvenuto %s: il tuo account è attivo." % rec["username"])
        return ident

    ops = [
        ("listaUtenti", rf("listaUtentiRequest", lista_req["listaUtentiRequestType"]),
         rf("listaUtentiResponse", lista_utenti_resp), lista_utenti, True),
        ("inserisciUtente", rf("inserisciUtenteRequest", utente_req["inserisciUtenteRequestType"]),
         rf("inserisciUtenteResponse", INT), inserisci_utente, True),
        ("modificaUtente", rf("modificaUtenteRequest", utente_req["modificaUtenteRequestType"]),
         rf("modificaUtenteResponse", BOOLEAN), modifica_utente, True),
        ("esisteUtente", rf("esisteUtenteRequest", STRING), rf("esisteUtenteResponse", BOOLEAN),
         esiste_utente, False),
        ("cancellaUtente", rf("cancellaUtenteRequest", INT), rf("cancellaUtenteResponse", BOOLEAN),
         cancella_utente, True),
        ("listaOperatori", rf("listaOperatoriRequest", lista_req["listaOperatoriRequestType"]),
         rf("listaOperatoriResponse", lista_operatori_resp), lista_operatori, True),
        ("inserisciOperatore",
         rf("inserisciOperatoreRequest", operatore_req["inserisciOperatoreRequestType"]),
         rf("inserisciOperatoreResponse", INT), inserisci_operatore, True),
        ("modificaOperatore",
         rf("modificaOperatoreRequest", operatore_req["modificaOperatoreRequestType"]),
         rf("modificaOperatoreResponse", BOOLEAN), modifica_operatore, True),
        ("esisteOperatore", rf("esisteOperatoreRequest", STRING),
         rf("esisteOperatoreResponse", BOOLEAN), esiste_operatore, False),
        ("cancellaOperatore", rf("cancellaOperatoreRequest", INT),
         rf("cancellaOperatoreResponse", BOOLEAN), cancella_operatore, True),
        ("prossimoCodiceUtente", None, rf("prossimoCodiceUtenteResponse", INT),
         prossimo("codice_utente"), True),
        ("prossimoCodiceOperatore", None, rf("prossimoCodiceOperatoreResponse", INT),
         prossimo("codice_operatore"), True),
        ("incrementaCodiceUtente", None, rf("incrementaCodiceUtenteResponse", BOOLEAN),
         incrementa("codice_utente"), True),
        ("incrementaCodiceOperatore", None, rf("incrementaCodiceOperatoreResponse", BOOLEAN),
         incrementa("codice_operatore"), True),
        ("login", rf("loginRequest", auth), Field("loginResponse", account, nillable=True), login,
         False),
        ("recuperaPasswordUtente",
         rf("recuperaPasswordUtenteRequest", recupera), rf("recuperaPasswordUtenteResponse", BOOLEAN),
         recupera_password, False),
        ("registrazioneUtente", rf("registrazioneUtenteRequest", registrazione),
         rf("registrazioneUtenteResponse", INT), registra, False),
    ]
    for name, req, resp, handler, needs_auth in ops:
        service.add(Operation(name, req, resp, handler, auth=needs_auth))
    return service


def _check_username(db, table, username, own_id):
    if not username:
        raise ServiceFault("Il nome utente è obbligatorio")
    row = db.execute("SELECT id FROM %s WHERE username=?" % table, (username,)).fetchone()
    if row is not None and row[0] != own_id:
        raise ServiceFault("Il nome utente '%s' è già in uso" % username)
