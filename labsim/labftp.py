#!/usr/bin/python3
"""The laboratory's FTP server on loopback, for the tests and the simulator (pyftpdlib).

Standalone (Debian's /usr/bin/python3 with python3-pyftpdlib):

    /usr/bin/python3 labsim/labftp.py --root DIR --user U --password P
        [--host 127.0.0.1] [--port 0] [--readonly SUBDIR]... [--control FILE]
        [--exit-with-stdin]

It prints one line "FTP <host>:<port>" once it listens (port 0 takes a free port), then
serves until SIGTERM or SIGINT (or, with --exit-with-stdin, until its standard input
closes, so that it never outlives the process that started it). One user, whose login
folder is DIR; folders named with --readonly (relative to DIR) may be listed and read but
not written. Transfers and SIZE answers are binary; passive mode is served.

From Python (the simulator):

    server = LabFtpServer(root, user, password, port=0, readonly=(), control_file=None)
    server.start()                 # serves on a thread of its own
    host, port = server.address
    server.faults.set(fail_uploads=2)
    server.stop()

Fault knobs: what a test asks the server to do wrong. They act on uploads (STOR, APPE,
STOU) in the order those arrive, each counter being used up one upload at a time:

    skip_uploads      N   the next N uploads pass untouched before the knobs below apply
    fail_uploads      N   the next N uploads are refused at once with
                          "451 Upload non riuscito (guasto simulato)."
    drop_uploads      N   the next N uploads lose their connection: after drop_after_bytes
                          bytes of data the server resets the data connection and closes
                          the control connection without a reply (the part received stays
                          on disk, as it would after a real crash of the line)
    drop_after_bytes  B   default 65536
    short_uploads     N   the next N uploads are stored without their second half (or
                          without their last short_bytes bytes when that is set) while the
                          server answers "226 Transfer complete." as usual
    short_bytes       B   default 0 (= half of the file)
    delay_seconds     S   every reply of the server, the greeting included, waits S seconds
                          (a float; stays until set back to 0; lowering it lets the replies
                          already waiting go as the new value says)

    hold_uploads      N   the next N uploads (after hold_skip untouched ones) are received
                          whole, but their "226 Transfer complete." waits until the knob
                          release_uploads (or a reset, or the server's end) lets it go
    hold_skip         N   default 0
    release_uploads       (any value) lets every upload held now go on

Uploads shorter than drop_after_bytes finish normally (the drop is used up all the same).

A test outside the process sets knobs through the control file given with --control: it
writes a JSON object of knobs to FILE.tmp and renames it to FILE. The server looks for
FILE every 50 ms and before each command; when it is there, the server applies its knobs
on top of the current ones and deletes it. The deletion is the sign that the knobs are in
force: a test waits for the file to disappear before it goes on. Knobs not named keep
their value; {"reset": true} first puts every knob back to its default.
"""

import argparse
import json
import os
import signal
import socket
import struct
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

KNOBS = ("skip_uploads", "fail_uploads", "drop_uploads", "drop_after_bytes",
         "short_uploads", "short_bytes", "delay_seconds", "hold_uploads", "hold_skip")
DEFAULTS = {"drop_after_bytes": 65536}


class FaultPlan:
    """The fault knobs, shared by every connection of one server. Thread-safe."""

    def __init__(self):
        self._lock = threading.Condition()
        self._knobs = {}
        self._held = 0       # uploads waiting in hold()
        self._released = 0   # of those, let go and not yet gone on
        self.stopping = threading.Event()  # cuts delays and holds short when the server stops
        self.reset()

    def reset(self):
        with self._lock:
            self._knobs = {name: DEFAULTS.get(name, 0) for name in KNOBS}
            self._released = self._held
            self._lock.notify_all()

    def set(self, **knobs):
        unknown = set(knobs) - set(KNOBS) - {"reset", "release_uploads"}
        if unknown:
            raise ValueError("unknown fault knobs: %s" % ", ".join(sorted(unknown)))
        if knobs.pop("reset", False):
            self.reset()
        release = "release_uploads" in knobs
        knobs.pop("release_uploads", None)
        with self._lock:
            for name, value in knobs.items():
                self._knobs[name] = float(value) if name == "delay_seconds" else int(value)
            if release:
                self._released = self._held
            self._lock.notify_all()

    def snapshot(self):
        with self._lock:
            return dict(self._knobs)

    def delay(self):
        with self._lock:
            return self._knobs["delay_seconds"]

    def wait_delay(self):
        """Waits as delay_seconds says, measured from now: a reply already waiting goes as
        soon as the knob is lowered (a reset), or the server stops. False when it stops."""
        start = time.monotonic()
        with self._lock:
            while not self.stopping.is_set():
                left = self._knobs["delay_seconds"] - (time.monotonic() - start)
                if left <= 0:
                    return True
                self._lock.wait(min(left, 0.2))
        return False

    def take_hold(self):
        """Whether the upload that starts now is held once received."""
        with self._lock:
            k = self._knobs
            if k["hold_uploads"] <= 0:
                return False
            if k["hold_skip"] > 0:
                k["hold_skip"] -= 1
                return False
            k["hold_uploads"] -= 1
            return True

    def hold(self):
        """Waits until the held upload is let go, or the server stops."""
        with self._lock:
            self._held += 1
            while self._released == 0 and not self.stopping.is_set():
                self._lock.wait(0.2)
            if self._released > 0:
                self._released -= 1
            self._held -= 1

    def held(self):
        """How many uploads wait, held, now."""
        with self._lock:
            return self._held - self._released

    def take_upload(self):
        """What to do to the upload that starts now: None, "fail", ("drop", bytes) or
        ("short", bytes cut, 0 = half)."""
        with self._lock:
            k = self._knobs
            if k["skip_uploads"] > 0:
                k["skip_uploads"] -= 1
                return None
            if k["fail_uploads"] > 0:
                k["fail_uploads"] -= 1
                return "fail"
            if k["drop_uploads"] > 0:
                k["drop_uploads"] -= 1
                return ("drop", max(0, k["drop_after_bytes"]))
            if k["short_uploads"] > 0:
                k["short_uploads"] -= 1
                return ("short", max(0, k["short_bytes"]))
            return None


class _LabDTPHandler(DTPHandler):
    """Data channel that can break off an upload after a number of bytes."""

    def handle_read(self):
        super().handle_read()
        limit = getattr(self.cmd_channel, "lab_drop_after", None)
        if limit is None or self._closed or self.tot_bytes_received < limit:
            return
        self.cmd_channel.lab_drop_after = None
        # Reset, not a clean close: the client's next write fails as on a broken line.
        try:
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.cmd_channel.close()

    handle_read_event = handle_read  # the base class binds its own reader under this name


class _LabFTPHandler(FTPHandler):
    dtp_handler = _LabDTPHandler
    lab_faults = None        # FaultPlan, set per server
    lab_control_file = None  # path, or None
    lab_drop_after = None
    lab_short = None
    # The clients under test keep one connection for a whole order.
    timeout = 600
    # A refused login is answered at once (pyftpdlib waits 3 seconds by default).
    auth_failed_timeout = 0.1

    lab_hold = False

    def respond(self, resp, logfun=None):
        if self.lab_faults and self.lab_faults.delay() > 0 and not self.lab_faults.wait_delay():
            return
        if self.lab_hold and resp.startswith("226"):
            self.lab_hold = False
            self.lab_faults.hold()
        if logfun is None:
            super().respond(resp)
        else:
            super().respond(resp, logfun=logfun)

    def pre_process_command(self, line, cmd, arg):
        _apply_control_file(self.lab_control_file, self.lab_faults)
        super().pre_process_command(line, cmd, arg)

    def _lab_upload(self, method, *args, **kwargs):
        self.lab_hold = self.lab_faults.take_hold() if self.lab_faults else False
        action = self.lab_faults.take_upload() if self.lab_faults else None
        if action == "fail":
            self.respond("451 Upload non riuscito (guasto simulato).")
            return None
        self.lab_drop_after = action[1] if action and action[0] == "drop" else None
        self.lab_short = action[1] if action and action[0] == "short" else None
        return method(*args, **kwargs)

    def ftp_STOR(self, file, mode='w'):
        return self._lab_upload(super().ftp_STOR, file, mode)

    def ftp_APPE(self, file):
        return self._lab_upload(super().ftp_APPE, file)

    def ftp_STOU(self, line):
        return self._lab_upload(super().ftp_STOU, line)

    def on_file_received(self, file):
        # Runs before the client's next command is read, so a SIZE after the 226 already
        # sees the short file.
        cut, self.lab_short = self.lab_short, None
        if cut is None:
            return
        size = os.path.getsize(file)
        keep = size // 2 if cut == 0 else max(0, size - cut)
        with open(file, "r+b") as stored:
            stored.truncate(keep)

    def on_incomplete_file_received(self, file):
        self.lab_short = None


_control_lock = threading.Lock()


def _apply_control_file(path, faults):
    if not path or faults is None or not os.path.exists(path):
        return
    with _control_lock:
        try:
            with open(path, encoding="utf-8") as control:
                knobs = json.load(control)
            os.remove(path)
        except (OSError, ValueError):
            return  # gone meanwhile, or not JSON: nothing applied
        try:
            faults.set(**knobs)
        except (TypeError, ValueError) as err:
            print("labftp: control file ignored: %s" % err, file=sys.stderr, flush=True)


class LabFtpServer:
    """One FTP server with one user, on a thread of its own or in the foreground."""

    def __init__(self, root, user, password, host="127.0.0.1", port=0, readonly=(),
                 control_file=None, faults=None):
        self.root = os.path.abspath(root)
        self.faults = faults or FaultPlan()
        authorizer = DummyAuthorizer()
        authorizer.add_user(user, password, self.root, perm="elradfmwMT")
        for folder in readonly:
            path = os.path.join(self.root, folder)
            os.makedirs(path, exist_ok=True)
            authorizer.override_perm(user, path, perm="elr", recursive=True)
        handler = type("LabFTPHandler", (_LabFTPHandler,), {
            "authorizer": authorizer,
            "lab_faults": self.faults,
            "lab_control_file": control_file,
            "banner": "Server FTP del laboratorio pronto.",
        })
        self._server = ThreadedFTPServer((host, port), handler)
        self._server.max_cons = 64
        self._thread = None
        self._control_file = control_file
        self._stopping = threading.Event()
        self._poller = None

    @property
    def address(self):
        return self._server.socket.getsockname()[:2]

    def start(self):
        self._thread = threading.Thread(target=self.serve_forever, name="labftp", daemon=True)
        self._thread.start()

    def serve_forever(self):
        if self._control_file and self._poller is None:
            # Knobs written while no command arrives (before a connection, say) take
            # effect too.
            self._poller = threading.Thread(target=self._poll_control_file, name="labftp-control",
                                            daemon=True)
            self._poller.start()
        self._server.serve_forever(timeout=0.2, handle_exit=False)

    def _poll_control_file(self):
        while not self._stopping.wait(0.05):
            _apply_control_file(self._control_file, self.faults)

    def stop(self):
        self._stopping.set()
        self.faults.stopping.set()
        self._server.close_all()
        if self._thread is not None:
            self._thread.join(5)
            self._thread = None


def main(argv=None):
    parser = argparse.ArgumentParser(description="Loopback FTP server of the laboratory simulator.")
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--readonly", action="append", default=[])
    parser.add_argument("--control")
    parser.add_argument("--exit-with-stdin", action="store_true")
    args = parser.parse_args(argv)

    import logging
    logging.basicConfig(level=logging.WARNING)

    os.makedirs(args.root, exist_ok=True)
    server = LabFtpServer(args.root, args.user, args.password, args.host, args.port,
                          args.readonly, args.control)
    stopped = threading.Event()

    def stop(*_):
        stopped.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.start()
    host, port = server.address
    print("FTP %s:%d" % (host, port), flush=True)

    if args.exit_with_stdin:
        def watch_stdin():
            while sys.stdin.buffer.read(4096):
                pass
            stopped.set()
        threading.Thread(target=watch_stdin, daemon=True).start()

    while not stopped.wait(0.2):
        pass
    server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
