#!/usr/bin/python3
"""The laboratory simulator: the laboratory's SOAP services, payment page, update downloads
and FTP server on loopback ports, with its state in a SQLite file.

    /usr/bin/python3 labsim/labsim.py --data DIR [--http-port 0] [--ftp-port 0]

Once it serves, it prints one line on standard output:

    labsim ready endpoint=http://127.0.0.1:<port>/ ftp=127.0.0.1:<port> data=<DIR>

and it stops cleanly on SIGTERM or SIGINT. labsim/README.md describes the services, the
demo accounts and the control interface for tests.
"""

import argparse
import collections
import hashlib
import html
import json
import logging
import os
import signal
import socket
import sys
import threading
import time
import traceback
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # keep the source folder clean

import accountservice  # noqa: E402
import catalogueservice  # noqa: E402
import orderservice  # noqa: E402
import settingsservice  # noqa: E402
from catalogue import Catalogue  # noqa: E402
from soapwire import (BOOLEAN, INT, LONG, STRING, ComplexType, ServiceFault, WireError,  # noqa: E402
                      read_request, write_fault, write_response)
from store import open_store  # noqa: E402

HOST = "127.0.0.1"
DEFAULT_SEED = os.path.join(HERE, os.pardir, "Korvex2Client", "data", "seed-catalogue.sql")
UPDATES_FOLDER = "aggiornamenti"
PROGRAM_VERSION = (2, 1, 13)
# How many requests the status keeps, the latest last.
REQUEST_LOG_SIZE = 200


class Knobs:
    """Faults that tests ask for, matched against operation names at every call."""

    OUTCOMES = ("fault", "httpError", "false", "dropAnswer")

    def __init__(self):
        self.lock = threading.Lock()
        self.rules = []

    def add(self, rule):
        with self.lock:
            self.rules.append(rule)

    def reset(self):
        with self.lock:
            self.rules = []

    def take(self, operation):
        """The rules that act on this call: every delay that fires, and at most one outcome."""
        fired = []
        outcome_taken = False
        with self.lock:
            for rule in list(self.rules):
                if rule["operation"] not in ("*", operation):
                    continue
                if rule["skip"] > 0:
                    rule["skip"] -= 1
                    continue
                is_outcome = rule["action"] in self.OUTCOMES
                if is_outcome and outcome_taken:
                    continue
                outcome_taken = outcome_taken or is_outcome
                fired.append(dict(rule))
                if rule["times"] > 0:
                    rule["times"] -= 1
                    if rule["times"] == 0:
                        self.rules.remove(rule)
        return fired

    def describe(self):
        with self.lock:
            return [dict(r) for r in self.rules]


class Holds:
    """Calls that a test holds until it lets them go (the "hold" knob), oldest first."""

    def __init__(self, stopping):
        self.stopping = stopping
        self.condition = threading.Condition()
        self.waiting = []

    def hold(self, operation):
        """Waits until a release names this call, a reset, or the simulator stops."""
        entry = {"operation": operation, "released": False}
        with self.condition:
            self.waiting.append(entry)
            while not entry["released"] and not self.stopping.is_set():
                self.condition.wait(0.2)
            self.waiting.remove(entry)

    def release(self, operation, count):
        """Lets `count` held calls of the operation ("*": any) go on, the oldest first (-1:
        all held now); answers how many."""
        released = 0
        with self.condition:
            for entry in self.waiting:
                if 0 <= count <= released:
                    break
                if not entry["released"] and operation in ("*", entry["operation"]):
                    entry["released"] = True
                    released += 1
            self.condition.notify_all()
        return released

    def describe(self):
        """The calls held now, by operation."""
        held = {}
        with self.condition:
            for entry in self.waiting:
                if not entry["released"]:
                    held[entry["operation"]] = held.get(entry["operation"], 0) + 1
        return held


class Lab:
    def __init__(self, args):
        self.data_dir = os.path.abspath(args.data)
        os.makedirs(self.data_dir, exist_ok=True)
        self.ftp_root = os.path.join(self.data_dir, "ftp")
        self.updates_dir = os.path.join(self.data_dir, UPDATES_FOLDER)
        os.makedirs(self.ftp_root, exist_ok=True)
        os.makedirs(self.updates_dir, exist_ok=True)
        self.log_path = os.path.join(self.data_dir, "labsim.log")
        self.log_file = open(self.log_path, "a", encoding="utf-8", buffering=1)
        logging.basicConfig(stream=self.log_file, level=logging.INFO,
                            format="%(asctime)s %(name)s %(message)s", datefmt="%H:%M:%S")
        self.stopping = threading.Event()
        self.store = open_store(self.data_dir)
        seed = args.catalogue or DEFAULT_SEED
        self.catalogue = Catalogue(os.path.abspath(seed))
        if not self.catalogue.loaded:
            self.warn("catalogue seed not found at %s: the catalogue is empty" % seed)
        self.knobs = Knobs()
        self.holds = Holds(self.stopping)
        self.calls = {}
        self.calls_lock = threading.Lock()
        self.requests = collections.deque(maxlen=REQUEST_LOG_SIZE)
        self.base_url = None
        self.ftp = None
        self.ftp_address = (HOST, 0)
        self.ftp_user = "laboratorio"
        self.ftp_password = "ftp-laboratorio"
        self.ftp_folder = "ordini"
        self.make_ftp_folder()
        self.updates = {}
        self.download_knobs = Knobs()
        self.services = {}
        for module in (accountservice, orderservice, catalogueservice, settingsservice):
            service = module.build(self)
            self.services["/" + service.script] = service

    # -- logging --------------------------------------------------------------------------

    def log(self, text):
        self.log_file.write("%s %s\n" % (time.strftime("%H:%M:%S"), text))

    def warn(self, text):
        self.log("warning: " + text)
        sys.stderr.write("labsim: %s\n" % text)

    # -- settings served to the program ---------------------------------------------------

    def ftp_settings(self):
        return {"host": self.ftp_address[0], "port": self.ftp_address[1], "folder": self.ftp_folder,
                "username": self.ftp_user, "password": self.ftp_password}

    def update_for(self, component):
        """The update record of a component: what a test set, else the versions in use (no
        update): the program's own version, the seed catalogue's data version."""
        if component in self.updates:
            return self.updates[component]
        if component == 2:
            return {"componente": 2, "major": self.catalogue.data_version(), "minor": 0, "build": 0,
                    "url": ""}
        return {"componente": component, "major": PROGRAM_VERSION[0], "minor": PROGRAM_VERSION[1],
                "build": PROGRAM_VERSION[2], "url": ""}

    def count_call(self, name):
        with self.calls_lock:
            self.calls[name] = self.calls.get(name, 0) + 1

    def record_request(self, name, value):
        """Keeps what a request asked, as plain JSON values, for the tests to read back."""
        with self.calls_lock:
            self.requests.append({"operation": name, "value": plain_value(value)})

    # -- authentication -------------------------------------------------------------------

    def principal(self, db, auth):
        if auth is None:
            return None
        table = "operators" if auth.get("isOperator") else "customers"
        rec = self.store.find_account(db, table, auth["username"])
        if rec is None or rec["password"] != auth["password"] or rec["stato_account"] != 1:
            raise ServiceFault("Autenticazione fallita: credenziali dell'intestazione "
                               "Authentication non valide (utente '%s')" % auth["username"])
        return {"kind": "operator" if table == "operators" else "customer", "account": rec}

    # -- files on the FTP server ----------------------------------------------------------

    def make_ftp_folder(self):
        """The upload folder exists on the server, as the program expects."""
        folder = os.path.normpath(os.path.join(self.ftp_root, self.ftp_folder.lstrip("/")))
        if folder.startswith(self.ftp_root):
            os.makedirs(folder, exist_ok=True)

    def ftp_files(self):
        files = []
        for folder, _, names in os.walk(self.ftp_root):
            for name in names:
                path = os.path.join(folder, name)
                try:
                    size = os.path.getsize(path)
                except OSError:
                    continue
                files.append({"path": os.path.relpath(path, self.ftp_root).replace(os.sep, "/"),
                              "size": size})
        files.sort(key=lambda f: f["path"])
        return files

    def status(self):
        counts = self.store.counts()
        files = self.ftp_files()
        counts["ftpFiles"] = len(files)
        with self.calls_lock:
            calls = dict(self.calls)
            requests = list(self.requests)
        return {"counts": counts, "calls": calls, "requests": requests, "ftpFiles": files, "knobs": self.knobs.describe(),
                "held": self.holds.describe(), "ftpHeld": self.ftp.held() if self.ftp is not None else 0,
                "endpoint": self.base_url, "ftp": {"host": self.ftp_address[0],
                                                   "port": self.ftp_address[1]},
                "ftpSettings": self.ftp_settings(), "data": self.store.dump()}

    # -- control --------------------------------------------------------------------------

    def control(self, cmd):
        action = cmd.get("action")
        if action == "reset":
            self.knobs.reset()
            self.holds.release("*", -1)
            self.download_knobs.reset()
            if self.ftp is not None:
                self.ftp.reset_knobs()
            return {}
        if action == "release":
            operation = cmd.get("operation", "*")
            if not isinstance(operation, str) or not operation:
                raise ValueError("'operation' names the operation (or '*' for every one)")
            return {"released": self.holds.release(operation, int(cmd.get("count", -1)))}
        if action in ("fault", "httpError", "false", "delay", "hold", "dropAnswer"):
            operation = cmd.get("operation")
            if not isinstance(operation, str) or not operation:
                raise ValueError("'operation' names the operation (or '*' for every one)")
            if operation != "*" and not any(operation in s.operations for s in self.services.values()):
                raise ValueError("no service has an operation '%s'" % operation)
            rule = {"action": action, "operation": operation, "times": int(cmd.get("times", 1)),
                    "skip": int(cmd.get("skip", 0))}
            if action == "fault":
                rule["code"] = str(cmd.get("code", "SOAP-ENV:Server"))
                rule["string"] = str(cmd.get("string", "Errore simulato dal laboratorio"))
            elif action == "httpError":
                rule["status"] = int(cmd.get("status", 500))
            elif action == "delay":
                rule["ms"] = int(cmd.get("ms", 1000))
                rule["after"] = bool(cmd.get("after", False))
            elif action == "hold":
                rule["after"] = bool(cmd.get("after", False))
            elif action == "dropAnswer":
                rule["after"] = bool(cmd.get("after", True))
            if rule["times"] == 0:
                raise ValueError("'times' is the number of calls (-1 for every call)")
            self.knobs.add(rule)
            return {}
        if action in ("ftpDropConnection", "ftpFailUploads", "ftpStoreShort", "ftpDelay", "ftpHoldUploads",
                      "ftpRelease"):
            if self.ftp is None:
                raise ValueError("the FTP server is not running")
            self.ftp.control(action, cmd)
            return {}
        if action == "setFtpSettings":
            for key, attr in (("folder", "ftp_folder"), ("username", "ftp_user"),
                              ("password", "ftp_password")):
                if key in cmd:
                    setattr(self, attr, str(cmd[key]))
            self.make_ftp_folder()
            return {}
        if action == "updateFileKnob":
            rule = {"action": action, "operation": str(cmd.get("file", "*")),
                    "times": int(cmd.get("times", 1)), "skip": int(cmd.get("skip", 0))}
            for key in ("status", "stallAfter", "dropAfter", "rate"):
                if key in cmd:
                    rule[key] = int(cmd[key])
            if "location" in cmd:
                rule["location"] = str(cmd["location"])
            rule["noContentLength"] = bool(cmd.get("noContentLength", False))
            if rule["times"] == 0:
                raise ValueError("'times' is the number of downloads (-1 for every one)")
            self.download_knobs.add(rule)
            return {}
        if action == "setUpdate":
            component = int(cmd.get("componente", -1))
            if component not in settingsservice.COMPONENTS:
                raise ValueError("'componente' is 0, 2 or 3")
            url = cmd.get("url")
            if url is None:
                name = str(cmd.get("file", ""))
                url = self.base_url + UPDATES_FOLDER + "/" + urllib.parse.quote(name) if name else ""
            self.updates[component] = {"componente": int(cmd.get("reportedComponent", component)),
                                       "major": int(cmd.get("major", 0)),
                                       "minor": int(cmd.get("minor", 0)),
                                       "build": int(cmd.get("build", 0)), "url": str(url)}
            return {"url": url}
        if action == "clearRequests":
            with self.calls_lock:
                self.requests.clear()
            return {}
        if action == "seedOrder":
            return seed_order(self, cmd)
        if action == "deleteOrder":
            with self.store.transaction() as db:
                ident = str(cmd.get("id", ""))
                if db.execute("SELECT 1 FROM orders WHERE id=?", (ident,)).fetchone() is None:
                    raise ValueError("no order '%s'" % ident)
                db.execute("DELETE FROM rows WHERE id_ordine=?", (ident,))
                db.execute("DELETE FROM orders WHERE id=?", (ident,))
            return {}
        if action == "updateCustomer":
            values = cmd.get("set")
            if not isinstance(values, dict) or not values:
                raise ValueError("'set' holds the fields to change")
            with self.store.transaction() as db:
                rec = self.store.find_account(db, "customers", str(cmd.get("username", "")))
                if rec is None:
                    raise ValueError("no customer '%s'" % cmd.get("username"))
                unknown = [k for k in values if k not in rec or k == "id"]
                if unknown:
                    raise ValueError("unknown customer fields: %s" % ", ".join(unknown))
                self.store.update_account(db, "customers", rec["id"], values)
            return {}
        raise ValueError("unknown action '%s'" % action)


def plain_value(value):
    """A request's value as JSON: records as objects without their type tag, lists, texts and
    numbers as they are."""
    if isinstance(value, dict):
        return {k: plain_value(v) for k, v in value.items() if k != "__type__"}
    if isinstance(value, (list, tuple)):
        return [plain_value(v) for v in value]
    if value is None or isinstance(value, (bool, int, float, str)):
        return value
    return str(value)


def seconds_of(value, default):
    """Seconds since 1970 of a number, or of a local time written "yyyy-MM-dd[ HH:mm[:ss]]"."""
    if value is None:
        return default
    if isinstance(value, (int, float)):
        return int(value)
    text = str(value).strip()
    for fmt in ("%Y-%m-%d %H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%d"):
        try:
            return int(time.mktime(time.strptime(text, fmt)))
        except ValueError:
            pass
    raise ValueError("'%s' is not a time (seconds, or yyyy-MM-dd[ HH:mm[:ss]])" % text)


def seed_order(lab, cmd):
    """An order of a customer as if sent and worked on: any date, any state, its rows with
    their file records. Fields: username (default demo), data, data_ultima_modifica, stato
    (default 2), cliente_finale, note, spedizione (default the customer's), rows (each with
    tipo_riga 0/1/2, codice_articolo, descrizione, prezzo, quantita, nome_file, dimensione,
    id_stampa)."""
    now = int(time.time())
    store = lab.store
    with store.transaction() as db:
        customer = store.find_account(db, "customers", str(cmd.get("username", "demo")))
        if customer is None:
            raise ValueError("no customer '%s'" % cmd.get("username", "demo"))
        data = seconds_of(cmd.get("data"), now)
        modified = seconds_of(cmd.get("data_ultima_modifica"), data)
        ident = "O%d" % store.next_counter(db, "ordine")
        numero = store.next_counter(db, "numero")
        spedizione = float(cmd.get("spedizione", customer["spedizione"]))
        db.execute("INSERT INTO orders (id, id_utente, cliente_finale, data, note, numero, stato, "
                   "data_ultima_modifica, spedizione, totale) VALUES (?,?,?,?,?,?,?,?,?,0)",
                   (ident, customer["id"], str(cmd.get("cliente_finale", "")), data,
                    str(cmd.get("note", "")), numero, int(cmd.get("stato", 2)), modified, spedizione))
        total = spedizione
        rows = cmd.get("rows", [])
        if not isinstance(rows, list):
            raise ValueError("'rows' is a list of rows")
        for r in rows:
            tipo = int(r.get("tipo_riga", 0))
            if tipo not in (0, 1, 2):
                raise ValueError("'tipo_riga' is 0, 1 or 2")
            id_file = ""
            if tipo in (1, 2):
                id_file = "F%d" % store.next_counter(db, "file")
                db.execute("INSERT INTO files (id, owner, dimensione, percorso, scaricato, nome_file, "
                           "nome_file_scaricato, compresso) VALUES (?,?,?,?,0,?,'',0)",
                           (id_file, customer["id"], int(r.get("dimensione", 0)),
                            str(r.get("percorso", "")), str(r.get("nome_file", ""))))
            prezzo = float(r.get("prezzo", 0))
            quantita = int(r.get("quantita", 1))
            db.execute("INSERT INTO rows (id, id_ordine, tipo_riga, codice_articolo, descrizione, prezzo,"
                       " quantita, id_file, id_stampa) VALUES (?,?,?,?,?,?,?,?,?)",
                       ("R%d" % store.next_counter(db, "riga"), ident, tipo,
                        str(r.get("codice_articolo", "")), str(r.get("descrizione", "")), prezzo,
                        quantita, id_file, int(r.get("id_stampa", 0))))
            total += prezzo * quantita
        totale = cmd.get("totale")
        db.execute("UPDATE orders SET totale=? WHERE id=?",
                   (float(totale) if totale is not None else round(total, 2), ident))
    return {"id": ident, "numero": numero}


# ---------------------------------------------------------------------------------------
# HTTP


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "labsim"
    lab = None  # set by serve()

    def log_message(self, fmt, *args):
        self.lab.log("http %s %s" % (self.address_string(), fmt % args))

    # -- plumbing -------------------------------------------------------------------------

    def send(self, status, body, content_type="text/xml; charset=utf-8"):
        self.capture(body, content_type)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.close_connection = True

    def capture(self, body, content_type):
        # With KORVEX_SOAP_CAPTURE set to a folder, every SOAP answer is kept there as
        # <operation>-<hash>.xml: the seeds of the fuzz targets are taken from these.
        folder = os.environ.get("KORVEX_SOAP_CAPTURE")
        if not folder or not content_type.startswith("text/xml") or self.command != "POST":
            return
        action = (self.headers.get("SOAPAction") or "").strip().strip('"')
        operation = action.replace("#", "/").rsplit("/", 1)[-1] or "unknown"
        os.makedirs(folder, exist_ok=True)
        name = "%s-%s.xml" % (operation, hashlib.sha1(body).hexdigest()[:12])
        with open(os.path.join(folder, name), "wb") as out:
            out.write(body)

    def send_json(self, status, value):
        self.send(status, json.dumps(value, indent=1).encode("utf-8"),
                  "application/json; charset=utf-8")

    def send_html(self, status, title, body):
        page = ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title></head>"
                "<body><h1>%s</h1>%s</body></html>\n" % (html.escape(title), html.escape(title), body))
        self.send(status, page.encode("utf-8"), "text/html; charset=utf-8")

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        length = self.headers.get("Content-Length")
        if length is None:
            return None
        return self.rfile.read(int(length))

    def split_path(self):
        parsed = urllib.parse.urlsplit(self.path)
        return parsed.path, urllib.parse.parse_qs(parsed.query)

    # -- GET ------------------------------------------------------------------------------

    def do_GET(self):
        path, query = self.split_path()
        if path == "/__status":
            return self.send_json(200, self.lab.status())
        if path == "/paypal.php":
            return self.payment_page(query)
        if path.startswith("/" + UPDATES_FOLDER + "/"):
            return self.update_file(urllib.parse.unquote(path[len(UPDATES_FOLDER) + 2:]))
        if path in self.lab.services:
            return self.send_html(405, "Servizio SOAP",
                                  "<p>%s accetta soltanto richieste SOAP (POST).</p>" % html.escape(path))
        self.send_html(404, "Pagina non trovata", "<p>%s</p>" % html.escape(path))

    do_HEAD = do_GET

    def payment_page(self, query):
        ident = query.get("id", [""])[0]
        with self.lab.store.transaction() as db:
            order = db.execute("SELECT * FROM orders WHERE id=?", (ident,)).fetchone()
            if order is not None:
                db.execute("INSERT INTO payments (id_ordine, created) VALUES (?, ?)",
                           (ident, int(time.time())))
                customer = self.lab.store.account_by_id(db, "customers", order["id_utente"])
        if order is None:
            return self.send_html(404, "Pagamento", "<p>Ordine inesistente: %s</p>" % html.escape(ident))
        body = ("<p>Ordine <b>%s</b> (numero %d) di %s</p><p>Totale da pagare: <b>%.2f EUR</b> "
                "(spedizione %.2f EUR)</p><p>Stato: %d</p>"
                % (html.escape(order["id"]), order["numero"],
                   html.escape("%s %s" % (customer["nome"], customer["cognome"])) if customer else "",
                   order["totale"], order["spedizione"], order["stato"]))
        self.send_html(200, "Pagamento ordine", body)

    def update_file(self, name):
        rules = self.lab.download_knobs.take(name)
        knob = rules[0] if rules else {}
        if knob:
            self.lab.log("update file %s: knob %s" % (name, knob))
        if "location" in knob:
            self.send_response(knob.get("status", 302))
            self.send_header("Location", knob["location"])
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            return
        if "status" in knob:
            return self.send_html(knob["status"], "Errore del server",
                                  "<p>Errore %d simulato dal laboratorio</p>" % knob["status"])
        path = os.path.join(self.lab.updates_dir, name)
        if "/" in name or name in ("", ".", "..") or not os.path.isfile(path):
            return self.send_html(404, "Aggiornamento non trovato", "<p>%s</p>" % html.escape(name))
        with open(path, "rb") as f:
            data = f.read()
        try:
            if not knob:
                return self.send(200, data, "application/octet-stream")
            self.send_file_slowly(data, knob)
        except OSError:
            # The client went away: its own business.
            self.close_connection = True

    def send_file_slowly(self, data, knob):
        """An update file under a knob: without Content-Length, at a limited rate, stalling
        or dropping the connection after some bytes."""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if not knob.get("noContentLength"):
            self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        if self.command == "HEAD":
            return
        limit = len(data)
        for key in ("stallAfter", "dropAfter"):
            if key in knob:
                limit = min(limit, knob[key])
        rate = knob.get("rate", 0)
        chunk = 65536 if rate <= 0 else max(1, min(65536, rate // 10))
        sent = 0
        try:
            while sent < limit and not self.lab.stopping.is_set():
                piece = data[sent:min(limit, sent + chunk)]
                self.wfile.write(piece)
                self.wfile.flush()
                sent += len(piece)
                if rate > 0:
                    self.lab.stopping.wait(len(piece) / float(rate))
            if "stallAfter" in knob:
                # Silent until the client gives up (or the simulator stops).
                while not self.lab.stopping.wait(0.2):
                    try:
                        self.connection.settimeout(0)
                        if self.connection.recv(1, socket.MSG_PEEK) == b"":
                            break
                    except BlockingIOError:
                        continue
                    except OSError:
                        break
        except OSError:
            pass
        if "dropAfter" in knob or "stallAfter" in knob:
            self.drop()

    # -- POST -----------------------------------------------------------------------------

    def do_POST(self):
        try:
            self.post()
        except Exception:
            self.lab.warn("request %s failed:\n%s" % (self.path, traceback.format_exc()))
            try:
                self.fault(None, "SOAP-ENV:Server", "errore interno del simulatore")
            except OSError:
                pass

    def post(self):
        path, _ = self.split_path()
        if path == "/__control":
            return self.control()
        body = self.read_body()
        service = self.lab.services.get(path)
        if service is None:
            scripts = ", ".join(sorted(s.lstrip("/") for s in self.lab.services))
            return self.fault(None, "SOAP-ENV:Client",
                              "no service at the path '%s' (the services are %s, under the base "
                              "address)" % (path, scripts))
        if body is None:
            return self.fault(service, "SOAP-ENV:Client", "the request has no Content-Length")
        ctype = self.headers.get("Content-Type", "")
        if not ctype.lower().startswith("text/xml"):
            return self.fault(service, "SOAP-ENV:Client",
                              "the Content-Type is '%s'; SOAP 1.1 requests are text/xml" % ctype)
        try:
            request = read_request(body, service, self.headers.get("SOAPAction"))
        except WireError as e:
            self.lab.log("%s refused: %s" % (service.script, e))
            return self.fault(service, e.code, str(e))
        self.serve_operation(service, request)

    def serve_operation(self, service, request):
        lab = self.lab
        op = request.operation
        lab.count_call(op.name)
        lab.record_request(op.name, request.value)
        try:
            # Operations open to anyone look at a header's form only: a header with stale
            # credentials does not stop a login.
            principal = None
            if op.auth:
                with lab.store.transaction() as db:
                    principal = lab.principal(db, request.auth)
            if op.auth and principal is None:
                raise ServiceFault("Autenticazione richiesta: %s vuole l'intestazione Authentication "
                                   "con nome utente e password" % op.name)
        except ServiceFault as e:
            lab.log("%s %s: %s" % (service.script, op.name, e))
            return self.fault(service, e.code, str(e))

        rules = lab.knobs.take(op.name)
        for rule in rules:
            if rule["action"] == "delay" and not rule["after"]:
                lab.stopping.wait(rule["ms"] / 1000.0)
            elif rule["action"] == "hold" and not rule["after"]:
                lab.holds.hold(op.name)
        outcome = next((r for r in rules if r["action"] in Knobs.OUTCOMES), None)
        if outcome is not None:
            lab.log("%s %s: knob %s" % (service.script, op.name, outcome))
        if outcome is not None and outcome["action"] == "fault":
            return self.fault(service, outcome["code"], outcome["string"])
        if outcome is not None and outcome["action"] == "httpError":
            return self.send_html(outcome["status"], "Errore del server",
                                  "<p>Errore %d simulato dal laboratorio</p>" % outcome["status"])
        if outcome is not None and outcome["action"] == "dropAnswer" and not outcome["after"]:
            return self.drop()

        if outcome is not None and outcome["action"] == "false":
            value = false_answer(op.response.type)
        else:
            try:
                with lab.store.transaction() as db:
                    value = op.handler(principal, request.value, db)
            except ServiceFault as e:
                lab.log("%s %s: fault %s" % (service.script, op.name, e))
                return self.fault(service, e.code, str(e))
            except Exception:
                lab.warn("%s %s failed:\n%s" % (service.script, op.name, traceback.format_exc()))
                return self.fault(service, "SOAP-ENV:Server", "errore interno del simulatore")
        lab.log("%s %s: ok" % (service.script, op.name))
        for rule in rules:
            if rule["action"] == "delay" and rule["after"]:
                lab.stopping.wait(rule["ms"] / 1000.0)
            elif rule["action"] == "hold" and rule["after"]:
                lab.holds.hold(op.name)
        if outcome is not None and outcome["action"] == "dropAnswer":
            return self.drop()
        self.send(200, write_response(service, op, value))

    def drop(self):
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def fault(self, service, code, message):
        self.send(500, write_fault(code, message, service=service))

    def control(self):
        body = self.read_body() or b""
        try:
            cmd = json.loads(body.decode("utf-8"))
            if not isinstance(cmd, dict):
                raise ValueError("the command is a JSON object")
            result = self.lab.control(cmd)
        except (ValueError, TypeError) as e:
            return self.send_json(400, {"ok": False, "error": str(e)})
        self.lab.log("control %s" % json.dumps(cmd))
        self.send_json(200, dict(result, ok=True))


def false_answer(type_):
    """What an operation answers when a test asks for a refusal: false, an empty id, 0, or no
    record at all."""
    if isinstance(type_, ComplexType):
        return None
    return {BOOLEAN: False, STRING: "", INT: 0, LONG: 0}.get(type_, 0)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


# ---------------------------------------------------------------------------------------
# main


def main(argv=None):
    parser = argparse.ArgumentParser(description="The laboratory simulator.")
    parser.add_argument("--data", required=True, help="folder of the simulator's state")
    parser.add_argument("--http-port", type=int, default=0, help="HTTP port (0: a free one)")
    parser.add_argument("--ftp-port", type=int, default=0, help="FTP port (0: a free one)")
    parser.add_argument("--catalogue", help="seed catalogue (SQL for SQLite); default: the "
                                            "program's Korvex2Client/data/seed-catalogue.sql")
    parser.add_argument("--exit-on-stdin-eof", action="store_true",
                        help="stop when standard input is closed (for a parent process)")
    args = parser.parse_args(argv)

    lab = Lab(args)
    Handler.lab = lab
    httpd = Server((HOST, args.http_port), Handler)
    lab.base_url = "http://%s:%d/" % (HOST, httpd.server_address[1])

    import ftpserver
    lab.ftp = ftpserver.start(lab, HOST, args.ftp_port)
    lab.ftp_address = lab.ftp.address

    http_thread = threading.Thread(target=httpd.serve_forever, name="http", daemon=True)
    http_thread.start()

    def stop(*_):
        lab.stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.exit_on_stdin_eof:
        def watch_stdin():
            try:
                while os.read(0, 4096):
                    pass
            except OSError:
                pass
            lab.stopping.set()
        threading.Thread(target=watch_stdin, name="stdin", daemon=True).start()

    lab.log("serving %s, FTP %s:%d, data %s" % (lab.base_url, lab.ftp_address[0],
                                                  lab.ftp_address[1], lab.data_dir))
    sys.stdout.write("labsim ready endpoint=%s ftp=%s:%d data=%s\n"
                     % (lab.base_url, lab.ftp_address[0], lab.ftp_address[1], lab.data_dir))
    sys.stdout.flush()

    while not lab.stopping.wait(0.5):
        pass

    httpd.shutdown()
    httpd.server_close()
    lab.ftp.stop()
    lab.store.close()
    lab.log("stopped")
    lab.log_file.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
