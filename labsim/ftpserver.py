"""The laboratory's FTP server, on the simulator's FTP root."""

import os
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer


class _Ftp:
    def __init__(self, lab, host, port):
        authorizer = DummyAuthorizer()
        authorizer.add_user(lab.ftp_user, lab.ftp_password, lab.ftp_root, perm="elradfmwMT")
        handler = type("LabFtpHandler", (FTPHandler,), {})
        handler.authorizer = authorizer
        handler.banner = "Laboratorio: server FTP"
        self.server = ThreadedFTPServer((host, port), handler)
        self.address = self.server.address[:2]
        self.thread = threading.Thread(target=self.server.serve_forever,
                                       kwargs={"timeout": 0.5, "blocking": True}, daemon=True)
        self.thread.start()

    def reset_knobs(self):
        pass

    def control(self, action, cmd):
        raise ValueError("FTP faults are not available yet")

    def stop(self):
        self.server.close_all()


def start(lab, host, port):
    os.makedirs(lab.ftp_root, exist_ok=True)
    return _Ftp(lab, host, port)
