"""The laboratory's FTP server (labftp.py) on the simulator's FTP root, with the
simulator's control commands for its fault knobs."""

import os

from labftp import LabFtpServer


class LabFtp:
    def __init__(self, lab, host, port):
        self.server = LabFtpServer(lab.ftp_root, lab.ftp_user, lab.ftp_password, host=host, port=port)
        self.server.start()
        self.address = tuple(self.server.address)

    def reset_knobs(self):
        self.server.faults.reset()

    def control(self, action, cmd):
        times = int(cmd.get("times", 1))
        if times < 1:
            raise ValueError("'times' is the number of uploads (1 or more)")
        knobs = {}
        if "skip" in cmd:
            knobs["skip_uploads"] = int(cmd["skip"])
        if action == "ftpDropConnection":
            knobs.update(drop_uploads=times, drop_after_bytes=int(cmd.get("afterBytes", 65536)))
        elif action == "ftpFailUploads":
            knobs.update(fail_uploads=times)
        elif action == "ftpStoreShort":
            knobs.update(short_uploads=times, short_bytes=int(cmd.get("bytes", 0)))
        elif action == "ftpDelay":
            knobs = {"delay_seconds": float(cmd.get("ms", 0)) / 1000.0}
        elif action == "ftpHoldUploads":
            knobs = {"hold_uploads": times, "hold_skip": int(cmd.get("skip", 0))}
        elif action == "ftpRelease":
            knobs = {"release_uploads": True}
        else:
            raise ValueError("unknown FTP action '%s'" % action)
        self.server.faults.set(**knobs)

    def held(self):
        return self.server.faults.held()

    def stop(self):
        self.server.stop()


def start(lab, host, port):
    os.makedirs(lab.ftp_root, exist_ok=True)
    return LabFtp(lab, host, port)
